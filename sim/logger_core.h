#pragma once
// The simulated logger's command set on bytes: given one received frame it says what goes back on
// the line (ACK or NACK, the reply frame, the ranged read's stream) and keeps the logger's state.
// No I/O and no threads: LoggerSim drives it; tests drive it directly.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/flash_image.h"

namespace pelmora::sim {

// Record options and counters of the log status reply.
struct LogOptions {
    std::uint32_t maxTime = 65535;
    std::uint32_t minTime = 5;
    std::uint32_t maxDistance = 20000;
    std::uint32_t minDistance = 0;
    std::uint32_t maxSpeed = 4000;
    std::uint32_t minSpeed = 0;
    std::uint8_t datalogEnable = 1;
    std::uint8_t fifoMode = 0;  // 0 one-way, else circular (bit 15 of "sectors left")
    std::uint32_t poiEntries = 0;
    std::uint8_t autologFull = 0;
    std::uint8_t poiLogFull = 0;
    bool operator==(const LogOptions&) const = default;
};

// The seven rates of the baud-rate command, by index; -1 outside 0..6.
int RateForIndex(int index);
int IndexForRate(int rate);

// What a logger does when asked for a rate above the highest it takes.
enum class RateRefusal : std::uint8_t {
    Nack,        // says no and stays
    AckAndKeep,  // says yes and stays: the client hears nothing at the new rate
};

// How the ranged read's trailer carries the first sector back.
enum class EchoStyle : std::uint8_t {
    Sector,  // s, least significant byte first
    LfCr,    // the two bytes LF CR: "no echo", accepted for any s
};

// The stream after the ACK of a ranged read: data of n sectors, "END" NUL, "CHECKSUM=", XOR of the
// data, echo. Sectors past the flash read as erased.
struct RangeStream {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> marker;   // 'E' 'N' 'D' 0
    std::vector<std::uint8_t> trailer;  // "CHECKSUM=" x echo-lo echo-hi
};
RangeStream BuildRangeStream(const FlashImage& flash, std::uint16_t first, std::uint16_t count,
                             EchoStyle echo);

// The log status reply frame (id 0x94), multi-byte fields least significant byte first.
std::vector<std::uint8_t> LogStatusFrame(const FlashImage& flash, const LogOptions& options);
// The device ID reply frame (id 0xD0): length 255 and no text when the ID is empty.
std::vector<std::uint8_t> DeviceIdFrame(const std::string& id);

enum class Command : std::uint8_t {
    Unknown,
    QueryLogStatus,
    ConfigureLog,
    ClearLog,
    ReadRange,
    QueryDeviceId,
    SetDeviceId,
    SetBaudRate,
    FactoryReset,
    Restart,
};
Command CommandOf(std::uint8_t id);

struct CoreAnswer {
    Command command = Command::Unknown;
    bool ack = false;                  // ACK (true) or NACK (false), when one is sent
    bool acknowledge = true;           // false: the command takes no ACK (restart)
    std::vector<std::uint8_t> reply;   // reply frame after the ACK, or empty
    std::optional<RangeStream> range;  // ranged read stream after the ACK
    std::uint16_t rangeFirst = 0;
    std::uint16_t rangeCount = 0;
    int newBaud = 0;  // switch to this rate once the ACK has left (0: keep)
};

class LoggerCore {
  public:
    explicit LoggerCore(FlashImage flash = BuiltInFlash());

    // One frame whose checksum and trailer were good. Malformed payloads (wrong length, rate index
    // out of range, ID text over 80 bytes, range outside the flash) are NACKed and change nothing.
    CoreAnswer Handle(std::span<const std::uint8_t> payload);

    const FlashImage& Flash() const { return flash_; }
    void SetFlash(FlashImage flash) { flash_ = std::move(flash); }
    const LogOptions& Options() const { return options_; }
    void SetOptions(const LogOptions& options) { options_ = options; }
    const std::string& DeviceId() const { return deviceId_; }
    void SetDeviceId(std::string id);
    // Rates above highest are refused as `how` says (0: every rate of the table is taken).
    void SetRateLimit(int highest, RateRefusal how) {
        rateLimit_ = highest;
        rateRefusal_ = how;
    }
    EchoStyle Echo() const { return echo_; }
    void SetEcho(EchoStyle echo) { echo_ = echo; }
    // Factory state: default options, empty ID, an erased healthy flash (a logger that reported
    // errors has its sectors back).
    void FactoryReset();

  private:
    FlashImage flash_;
    LogOptions options_;
    std::string deviceId_;
    EchoStyle echo_ = EchoStyle::Sector;
    int rateLimit_ = 0;
    RateRefusal rateRefusal_ = RateRefusal::Nack;
};

}  // namespace pelmora::sim
