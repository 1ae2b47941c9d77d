#include "link/datalog_payloads.h"

#include <algorithm>
#include <array>

namespace pelmora {

namespace {

void PutBigEndian32(Payload& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void PutBigEndian16(Payload& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

}  // namespace

std::optional<std::uint8_t> BaudRateIndex(int rate) {
    static constexpr std::array<int, 7> kRates = {4800, 9600, 19200, 38400, 57600, 115200, 230400};
    const auto it = std::find(kRates.begin(), kRates.end(), rate);
    if (it == kRates.end()) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(it - kRates.begin());
}

Payload LogStatusPayload() {
    return {kLogStatusId};
}
Payload ClearLogPayload() {
    return {kClearLogId};
}
Payload QueryDeviceIdPayload() {
    return {kQueryDeviceIdId};
}
Payload FactoryResetPayload() {
    return {kFactoryResetId, 0x01};
}

Payload RestartReceiverPayload() {
    Payload out(15, 0);
    out[0] = kRestartReceiverId;
    out[1] = 0x01;
    return out;
}

Payload ConfigureLogPayload(std::uint32_t minTime, std::uint32_t minDistance,
                            std::uint32_t minSpeed) {
    Payload out;
    out.reserve(27);
    out.push_back(kConfigureLogId);
    PutBigEndian32(out, kConfigureMaxTime);
    PutBigEndian32(out, minTime);
    PutBigEndian32(out, kConfigureMaxDistance);
    PutBigEndian32(out, minDistance);
    PutBigEndian32(out, kConfigureMaxSpeed);
    PutBigEndian32(out, minSpeed);
    out.push_back(1);  // datalog enabled
    out.push_back(0);  // FIFO one-way
    return out;
}

Payload SetDeviceIdPayload(std::string_view text) {
    const std::size_t length = std::min(text.size(), kDeviceIdMaxLength);
    Payload out(kSetDeviceIdPayloadSize, 0);
    out[0] = kSetDeviceIdId;
    out[1] = static_cast<std::uint8_t>(length);
    std::copy_n(text.begin(), length, out.begin() + 2);
    return out;
}

std::optional<Payload> SetBaudRatePayload(int rate, std::uint8_t attribute) {
    const auto index = BaudRateIndex(rate);
    if (!index) {
        return std::nullopt;
    }
    return Payload{kSetBaudRateId, 0x00, *index, attribute};
}

Payload ReadRangePayload(std::uint8_t commandId, std::uint16_t firstSector,
                         std::uint16_t sectorCount) {
    Payload out;
    out.reserve(5);
    out.push_back(commandId);
    PutBigEndian16(out, firstSector);
    PutBigEndian16(out, sectorCount);
    return out;
}

}  // namespace pelmora
