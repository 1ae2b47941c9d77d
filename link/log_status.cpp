#include "link/log_status.h"

#include <cstdio>

namespace pelmora {

namespace {

constexpr std::size_t kLogStatusPayloadSize = 41;  // frame offsets 4..44
constexpr std::size_t kFrameHeader = 4;            // A0 A1 00 n
constexpr std::size_t kDeviceIdTextMax = 80;

std::uint32_t Little32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Little16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// Payload bytes that are both announced by the length byte and actually received.
std::size_t PayloadAvailable(const std::uint8_t* frame, std::size_t size) {
    if (frame == nullptr || size <= kFrameHeader || frame[0] != 0xA0 || frame[1] != 0xA1) {
        return 0;
    }
    const std::size_t announced = frame[3];
    const std::size_t received = size - kFrameHeader;
    return announced < received ? announced : received;
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

std::uint32_t LogStatus::UsedLogBytes() const {
    return writeAddress > kLogStartAddress ? writeAddress - kLogStartAddress : 0;
}

std::optional<LogStatus> ParseLogStatusReply(const std::uint8_t* frame, std::size_t size) {
    if (PayloadAvailable(frame, size) < kLogStatusPayloadSize || frame[4] != 0x94) {
        return std::nullopt;
    }
    LogStatus s;
    s.writeAddress = Little32(frame + 5);
    s.sectorsLeft = Little16(frame + 9);
    s.totalSectors = Little16(frame + 11);
    s.maxTime = Little32(frame + 13);
    s.minTime = Little32(frame + 17);
    s.maxDistance = Little32(frame + 21);
    s.minDistance = Little32(frame + 25);
    s.maxSpeed = Little32(frame + 29);
    s.minSpeed = Little32(frame + 33);
    s.datalogEnable = frame[37];
    s.fifoMode = frame[38];
    s.poiEntries = Little32(frame + 39);
    s.autologFull = frame[43];
    s.poiLogFull = frame[44];
    return s;
}

std::optional<std::uint32_t> SectorsToRead(const LogStatus& status) {
    if (status.totalSectors == 0) {
        return std::nullopt;
    }
    const std::uint32_t left = status.SectorsLeftCount();
    const std::uint32_t total = status.totalSectors;
    if (left == 0) {
        return total;
    }
    // A logger reporting more sectors left than it has would give a negative count.
    return left > total ? 1u : total - left + 1;
}

std::optional<std::string> ParseDeviceIdReply(const std::uint8_t* frame, std::size_t size) {
    const std::size_t available = PayloadAvailable(frame, size);
    if (available < 2 || frame[4] != 0xD0) {
        return std::nullopt;
    }
    const std::size_t length = frame[5];
    if (length == 255) {
        return std::string();
    }
    const std::size_t taken = length < kDeviceIdTextMax ? length : kDeviceIdTextMax;
    if (available < 2 + taken) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(frame + 6), taken);
}

std::string LogUsagePercentText(const LogStatus& status) {
    const std::uint64_t used100 = static_cast<std::uint64_t>(status.UsedLogBytes()) * 100;
    const std::uint64_t divisor = (static_cast<std::uint64_t>(status.totalSectors) + 1) * 4096;
    return Format("%3.2f", static_cast<double>(used100) / static_cast<double>(divisor));
}

int LogUsageProgress(const LogStatus& status) {
    if (status.totalSectors == 0) {
        return 0;
    }
    const std::uint64_t used100 = static_cast<std::uint64_t>(status.UsedLogBytes()) * 100;
    const std::uint64_t divisor = static_cast<std::uint64_t>(status.totalSectors) * 4096;
    return static_cast<int>(used100 / divisor);
}

std::vector<std::string> LogStatusLines(const LogStatus& s) {
    std::vector<std::string> lines;
    lines.emplace_back("-----------------  Log Status  -----------------");
    const int left = s.SectorsLeftCount();
    const int total = s.totalSectors;
    if (left == 0 && !s.Circular()) {
        lines.emplace_back("Sector Full!");
    } else if (total != 0) {
        lines.push_back(Format(
            s.Circular() ? "Circular Sector left: %d / %d" : "Sector left: %d / %d", left, total));
    } else {
        lines.push_back(
            Format(s.Circular() ? "Circular Sector left: %d" : "Sector left: %d", left));
    }
    // The logger's 32-bit values print as the signed integers the window has always shown.
    lines.push_back(
        Format("max T: %d, min T: %d", static_cast<int>(s.maxTime), static_cast<int>(s.minTime)));
    lines.push_back(Format("max D: %d, min D: %d", static_cast<int>(s.maxDistance),
                           static_cast<int>(s.minDistance)));
    lines.push_back(
        Format("max V: %d, min V: %d", static_cast<int>(s.maxSpeed), static_cast<int>(s.minSpeed)));
    lines.emplace_back(s.datalogEnable == 1 ? "Datalog: Enable" : "Datalog: Disable");
    lines.emplace_back(s.fifoMode != 0 ? "FIFO mode: Circular" : "FIFO mode: Oneway");
    lines.push_back(Format("POI entry : %d", static_cast<int>(s.poiEntries)));
    lines.push_back(Format("Autolog full : %d", static_cast<int>(s.autologFull)));
    lines.push_back(Format("POIlog full : %d", static_cast<int>(s.poiLogFull)));
    return lines;
}

}  // namespace pelmora
