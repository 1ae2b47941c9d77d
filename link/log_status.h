#pragma once
// The logger's replies to the log-status and device-ID queries, read from a received frame
// (A0 A1 00 n payload...). Unlike the command payloads, the log status is least significant byte
// first. A reply shorter than the fields it is read for is rejected, never read past its end.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelmora {

inline constexpr std::uint32_t kLogStartAddress = 8192;
inline constexpr std::uint32_t kSectorSize = 4096;

struct LogStatus {
    std::uint32_t writeAddress = 0;
    std::uint16_t sectorsLeft = 0;  // as received: bit 15 marks a circular log
    std::uint16_t totalSectors = 0;
    std::uint32_t maxTime = 0;
    std::uint32_t minTime = 0;
    std::uint32_t maxDistance = 0;
    std::uint32_t minDistance = 0;
    std::uint32_t maxSpeed = 0;
    std::uint32_t minSpeed = 0;
    std::uint8_t datalogEnable = 0;
    std::uint8_t fifoMode = 0;
    std::uint32_t poiEntries = 0;
    std::uint8_t autologFull = 0;
    std::uint8_t poiLogFull = 0;

    std::uint16_t SectorsLeftCount() const { return sectorsLeft & 0x7FFF; }
    bool Circular() const { return (sectorsLeft & 0x8000) != 0; }
    // Bytes the log occupies; 0 for a write address below the log's start (it would wrap).
    std::uint32_t UsedLogBytes() const;
};

// frame/size: the received bytes from A0 on. nullopt unless the frame is a log-status reply (id
// 0x94) whose length byte and received bytes both cover every field.
std::optional<LogStatus> ParseLogStatusReply(const std::uint8_t* frame, std::size_t size);

// Sectors to download: all of them when none is left, else the used ones and the one being
// written. nullopt for a logger that reports no sectors at all (a device error).
std::optional<std::uint32_t> SectorsToRead(const LogStatus& status);

// The ID text of a device-ID reply (id 0xD0): empty for the length 255 ("no ID"), at most 80
// bytes. nullopt when the frame is not such a reply or is shorter than the text it announces.
std::optional<std::string> ParseDeviceIdReply(const std::uint8_t* frame, std::size_t size);

// "%3.2f" of used bytes x 100 / ((total + 1) x 4096), the product in 64 bits.
std::string LogUsagePercentText(const LogStatus& status);
// Integer part of used bytes x 100 / (total x 4096); 0 when the logger reports no sectors.
int LogUsageProgress(const LogStatus& status);

// The status block the window adds to its log, from "-----------------  Log Status  ..." on.
std::vector<std::string> LogStatusLines(const LogStatus& status);

}  // namespace pelmora
