#pragma once
// Payloads of the datalog commands, most significant byte first. Each builder returns the payload
// only; the caller frames it (A0 A1, length, payload, XOR, CR LF).
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pelmora {

using Payload = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kLogStatusId = 0x17;
inline constexpr std::uint8_t kConfigureLogId = 0x18;
inline constexpr std::uint8_t kClearLogId = 0x19;
inline constexpr std::uint8_t kReadTrackLogId = 0x1D;
inline constexpr std::uint8_t kQueryDeviceIdId = 0x74;
inline constexpr std::uint8_t kSetDeviceIdId = 0x75;
inline constexpr std::uint8_t kSetBaudRateId = 0x05;
inline constexpr std::uint8_t kFactoryResetId = 0x04;
inline constexpr std::uint8_t kRestartReceiverId = 0x01;

// Reply ids and the low byte of their kind code.
inline constexpr std::uint8_t kLogStatusReplyKind = 6;
inline constexpr std::uint8_t kDeviceIdReplyKind = 208;

// The fixed maxima that Configure always sends.
inline constexpr std::uint32_t kConfigureMaxTime = 65535;
inline constexpr std::uint32_t kConfigureMaxDistance = 20000;
inline constexpr std::uint32_t kConfigureMaxSpeed = 4000;

inline constexpr std::size_t kDeviceIdMaxLength = 80;
inline constexpr std::size_t kSetDeviceIdPayloadSize = 82;

// Index of a supported line rate in the baud-rate command; nullopt for any other rate.
std::optional<std::uint8_t> BaudRateIndex(int rate);

Payload LogStatusPayload();
Payload ClearLogPayload();
Payload QueryDeviceIdPayload();
Payload FactoryResetPayload();
Payload RestartReceiverPayload();
// Minimum time (s), distance (m) and speed (km/h) between fixes; the maxima are fixed.
Payload ConfigureLogPayload(std::uint32_t minTime, std::uint32_t minDistance,
                            std::uint32_t minSpeed);
// The text is cut at 80 bytes: the length byte and the fixed 82-byte payload hold no more.
Payload SetDeviceIdPayload(std::string_view text);
// nullopt for a rate the logger does not know.
std::optional<Payload> SetBaudRatePayload(int rate, std::uint8_t attribute);
Payload ReadRangePayload(std::uint8_t commandId, std::uint16_t firstSector,
                         std::uint16_t sectorCount);

}  // namespace pelmora
