#include "sim/logger_core.h"

#include <algorithm>
#include <array>

#include "sim/sim_frame.h"

namespace pelmora::sim {
namespace {

constexpr std::array<int, 7> kRates = {4800, 9600, 19200, 38400, 57600, 115200, 230400};

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::uint32_t GetBe32(std::span<const std::uint8_t> p, std::size_t at) {
    return std::uint32_t{p[at]} << 24 | std::uint32_t{p[at + 1]} << 16 |
           std::uint32_t{p[at + 2]} << 8 | std::uint32_t{p[at + 3]};
}

CoreAnswer Nack(Command command) {
    CoreAnswer answer;
    answer.command = command;
    answer.ack = false;
    return answer;
}

CoreAnswer Ack(Command command) {
    CoreAnswer answer;
    answer.command = command;
    answer.ack = true;
    return answer;
}

}  // namespace

int RateForIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kRates.size())) {
        return -1;
    }
    return kRates[static_cast<std::size_t>(index)];
}

int IndexForRate(int rate) {
    const auto it = std::find(kRates.begin(), kRates.end(), rate);
    return it == kRates.end() ? -1 : static_cast<int>(it - kRates.begin());
}

RangeStream BuildRangeStream(const FlashImage& flash, std::uint16_t first, std::uint16_t count,
                             EchoStyle echo) {
    RangeStream stream;
    stream.data.assign(std::size_t{count} * kSectorSize, 0xFF);
    for (std::uint16_t i = 0; i < count; ++i) {
        const auto sector = flash.Sector(static_cast<std::uint16_t>(first + i));
        std::copy(sector.begin(), sector.end(),
                  stream.data.begin() + static_cast<std::ptrdiff_t>(std::size_t{i} * kSectorSize));
    }
    stream.marker = {'E', 'N', 'D', 0};
    const char* label = "CHECKSUM=";
    stream.trailer.assign(label, label + 9);
    stream.trailer.push_back(PayloadChecksum(stream.data));
    if (echo == EchoStyle::LfCr) {
        stream.trailer.push_back(0x0A);
        stream.trailer.push_back(0x0D);
    } else {
        stream.trailer.push_back(static_cast<std::uint8_t>(first & 0xFF));
        stream.trailer.push_back(static_cast<std::uint8_t>(first >> 8));
    }
    return stream;
}

std::vector<std::uint8_t> LogStatusFrame(const FlashImage& flash, const LogOptions& options) {
    std::vector<std::uint8_t> payload{0x94};
    PutLe(payload, flash.TotalSectors() == 0 ? 0 : flash.WriteAddress(), 4);
    std::uint32_t left = flash.SectorsLeft() & 0x7FFF;
    if (options.fifoMode != 0) {
        left |= 0x8000;
    }
    PutLe(payload, left, 2);
    PutLe(payload, flash.TotalSectors(), 2);
    PutLe(payload, options.maxTime, 4);
    PutLe(payload, options.minTime, 4);
    PutLe(payload, options.maxDistance, 4);
    PutLe(payload, options.minDistance, 4);
    PutLe(payload, options.maxSpeed, 4);
    PutLe(payload, options.minSpeed, 4);
    payload.push_back(options.datalogEnable);
    payload.push_back(options.fifoMode);
    PutLe(payload, options.poiEntries, 4);
    payload.push_back(options.autologFull);
    payload.push_back(options.poiLogFull);
    return BuildFrame(payload);
}

std::vector<std::uint8_t> DeviceIdFrame(const std::string& id) {
    std::vector<std::uint8_t> payload{0xD0};
    if (id.empty()) {
        payload.push_back(255);
    } else {
        const std::size_t n = std::min<std::size_t>(id.size(), 80);
        payload.push_back(static_cast<std::uint8_t>(n));
        payload.insert(payload.end(), id.begin(), id.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return BuildFrame(payload);
}

Command CommandOf(std::uint8_t id) {
    switch (id) {
        case 0x17:
            return Command::QueryLogStatus;
        case 0x18:
            return Command::ConfigureLog;
        case 0x19:
            return Command::ClearLog;
        case 0x1D:
            return Command::ReadRange;
        case 0x74:
            return Command::QueryDeviceId;
        case 0x75:
            return Command::SetDeviceId;
        case 0x05:
            return Command::SetBaudRate;
        case 0x04:
            return Command::FactoryReset;
        case 0x01:
            return Command::Restart;
        default:
            return Command::Unknown;
    }
}

LoggerCore::LoggerCore(FlashImage flash) : flash_(std::move(flash)) {}

void LoggerCore::SetDeviceId(std::string id) {
    if (id.size() > 80) {
        id.resize(80);
    }
    deviceId_ = std::move(id);
}

void LoggerCore::FactoryReset() {
    options_ = LogOptions{};
    deviceId_.clear();
    const std::uint16_t total =
        flash_.TotalSectors() == 0 ? kDefaultTotalSectors : flash_.TotalSectors();
    flash_ = FlashImage(total);
}

CoreAnswer LoggerCore::Handle(std::span<const std::uint8_t> payload) {
    if (payload.empty()) {
        return Nack(Command::Unknown);
    }
    const Command command = CommandOf(payload[0]);
    const std::size_t n = payload.size();
    switch (command) {
        case Command::QueryLogStatus: {
            if (n != 1) {
                return Nack(command);
            }
            CoreAnswer answer = Ack(command);
            answer.reply = LogStatusFrame(flash_, options_);
            return answer;
        }
        case Command::ConfigureLog: {
            if (n != 27) {
                return Nack(command);
            }
            options_.maxTime = GetBe32(payload, 1);
            options_.minTime = GetBe32(payload, 5);
            options_.maxDistance = GetBe32(payload, 9);
            options_.minDistance = GetBe32(payload, 13);
            options_.maxSpeed = GetBe32(payload, 17);
            options_.minSpeed = GetBe32(payload, 21);
            options_.datalogEnable = payload[25];
            options_.fifoMode = payload[26];
            return Ack(command);
        }
        case Command::ClearLog: {
            if (n != 1 || flash_.TotalSectors() == 0) {
                return Nack(command);
            }
            flash_.Erase();
            return Ack(command);
        }
        case Command::ReadRange: {
            if (n != 5) {
                return Nack(command);
            }
            const auto first = static_cast<std::uint16_t>(payload[1] << 8 | payload[2]);
            const auto count = static_cast<std::uint16_t>(payload[3] << 8 | payload[4]);
            if (count == 0 || std::size_t{first} + count > flash_.TotalSectors()) {
                return Nack(command);
            }
            CoreAnswer answer = Ack(command);
            answer.range = BuildRangeStream(flash_, first, count, echo_);
            answer.rangeFirst = first;
            answer.rangeCount = count;
            return answer;
        }
        case Command::QueryDeviceId: {
            if (n != 1) {
                return Nack(command);
            }
            CoreAnswer answer = Ack(command);
            answer.reply = DeviceIdFrame(deviceId_);
            return answer;
        }
        case Command::SetDeviceId: {
            if (n != 82 || payload[1] > 80) {
                return Nack(command);
            }
            const auto text = payload.subspan(2, payload[1]);
            deviceId_.assign(text.begin(), text.end());
            return Ack(command);
        }
        case Command::SetBaudRate: {
            if (n != 4) {
                return Nack(command);
            }
            const int rate = RateForIndex(payload[2]);
            if (rate < 0) {
                return Nack(command);
            }
            if (rateLimit_ != 0 && rate > rateLimit_ && rateRefusal_ == RateRefusal::Nack) {
                return Nack(command);
            }
            CoreAnswer answer = Ack(command);
            if (rateLimit_ == 0 || rate <= rateLimit_) {
                answer.newBaud = rate;
            }
            return answer;
        }
        case Command::FactoryReset: {
            if (n != 2) {
                return Nack(command);
            }
            FactoryReset();
            return Ack(command);
        }
        case Command::Restart: {
            CoreAnswer answer;
            answer.command = command;
            answer.acknowledge = false;
            answer.ack = n == 15;
            return answer;
        }
        case Command::Unknown:
            break;
    }
    return Nack(command);
}

}  // namespace pelmora::sim
