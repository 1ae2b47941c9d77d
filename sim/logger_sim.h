#pragma once
// LoggerSim: a simulated logger on a pseudo-terminal. Clients open SlavePath() like a serial
// device.
//
// Thread contract: one private thread owns the master side (reads frames, answers, emits NMEA).
// Every public call may be made from any thread at any time; state is guarded by one mutex and the
// wait calls block on a condition variable with a bound. Stop() (and the destructor) never hang:
// the thread is joined within a bounded time, and a client closing or reopening the slave (EIO on
// the master) is normal operation.
//
// Deterministic by default: no faults unless asked for; random faults come from a seeded
// generator of our own (same sequence on every platform).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/flash_image.h"
#include "sim/logger_core.h"

namespace pelmora::sim {

struct LoggerSimOptions {
    int baud = 4800;       // the logger's own rate (the profile's default rate)
    bool silent = false;   // send nothing at all: no NMEA, no answers
    bool commands = true;  // false: NMEA only, no answer to any frame (a receiver, no logger)
    bool paced = true;     // bytes leave at the line's byte rate (10 bits per byte)
    FlashImage flash = BuiltInFlash();
    std::string deviceId;  // empty: the ID query answers "no ID"
    EchoStyle echo = EchoStyle::Sector;
    int highestRate = 0;  // 0: every rate of the table; above it the logger refuses
    RateRefusal refusal = RateRefusal::Nack;
    // A frame that arrives while a ranged read streams ends that stream: the rest of it is
    // dropped and the logger answers the new command at once. Off: the answer waits until the
    // stream has gone out.
    bool commandEndsRange = false;
};

// What the simulated logger did with a frame.
enum class FrameAnswer : std::uint8_t {
    Ack,
    Nack,
    NoAck,    // the command takes no ACK (restart)
    Ignored,  // silence or an injected loss: no answer at all
    LostAck,  // executed, but its ACK never left (injected)
};

struct ReceivedFrame {
    std::vector<std::uint8_t> bytes;  // exactly as received, A0 .. 0A
    bool checksumOk = false;
    FrameAnswer answer = FrameAnswer::Ignored;
    int simBaud = 0;  // the logger's rate when it arrived
    std::uint8_t Id() const { return bytes.size() > 4 ? bytes[4] : 0; }
};

enum class RateChangeCause : std::uint8_t { Command, Hook };
struct RateChange {
    int from = 0;
    int to = 0;
    RateChangeCause cause = RateChangeCause::Command;
};

// Kinds drawn by the random-fault mode (and injectable one by one).
enum class FaultKind : std::uint8_t {
    Nack,         // NACK instead of executing
    LoseAck,      // execute, drop the ACK bytes
    Ignore,       // frame lost on the way in: no answer, no effect
    CorruptData,  // ranged read: one data byte flipped (trailer keeps the true checksum)
    SplitMarker,  // ranged read: the end marker split across two deliveries
    StallRange,   // ranged read: silence after part of the data (no marker, no trailer)
};

class LoggerSim {
  public:
    explicit LoggerSim(LoggerSimOptions options = {});
    ~LoggerSim();
    LoggerSim(const LoggerSim&) = delete;
    LoggerSim& operator=(const LoggerSim&) = delete;

    // Opens the pseudo-terminal and starts the thread. False with a message on failure.
    bool Start(std::string* error = nullptr);
    // Idempotent, bounded.
    void Stop();
    bool Running() const;
    // The slave device path ("/dev/pts/N"); empty before Start().
    std::string SlavePath() const;

    // ---- line ----
    int Baud() const;
    void SetBaud(int baud);  // logged as RateChangeCause::Hook
    void SetSilent(bool silent);
    void SetPaced(bool paced);
    // The speed the client set on its side of the line (0 before the sim started).
    int ClientBaud() const;

    // ---- logs ----
    std::vector<ReceivedFrame> Frames() const;
    std::vector<RateChange> RateChanges() const;
    std::size_t BytesSent() const;  // every byte written to the line, NMEA included
    std::size_t RangesServed() const;
    void ClearLogs();

    // ---- logger state ----
    FlashImage Flash() const;
    void SetFlash(FlashImage flash);  // e.g. FlashImage{} for the "device has errors" road
    std::vector<std::uint8_t> ExpectedDownload() const;
    LogOptions Options() const;
    void SetOptions(const LogOptions& options);
    std::string DeviceId() const;
    void SetDeviceId(const std::string& id);
    void SetEcho(EchoStyle echo);
    void SetRateLimit(int highest, RateRefusal how);
    // The logger records on: appends these records to its log (false when it is full).
    bool AppendRecords(const std::vector<std::vector<std::uint8_t>>& records);
    // Records on until the log is this much longer, repeating its own records.
    void GrowLog(double fraction);
    // Cleared, then recording anew: the log's later half laid from the flash's start.
    void RecordAnew();

    // ---- faults (one-shot counts add up; 0 clears) ----
    void NackNext(int frames);
    void LoseAckNext(int frames);
    void IgnoreNext(int frames);
    // NACK the next `frames` baud-rate commands that ask for `rate`; other frames are answered.
    void RefuseRateChanges(int frames, int rate);
    void CorruptNextRanges(int ranges);
    // Split the end marker of every following ranged read after 1, 2 or 3 of its bytes; the first
    // part is delivered (the client has read it) before the rest is written. 0: off.
    void SplitEndMarker(int boundary);
    // Next ranged read: fall silent after this many data bytes, then answer normally again.
    void StallNextRange(std::size_t afterDataBytes);
    // Next ranged read: fall silent for good after this many data bytes (a logger whose battery
    // died): no answer, no NMEA, until SetSilent(false).
    void SilenceMidRange(std::size_t afterDataBytes);
    // Next ranged read: close the master (hang up the line) after this many data bytes. The sim
    // stops; Running() turns false.
    void HangUpMidRange(std::size_t afterDataBytes);
    // Next ranged read: after this many data bytes the client's line is set to clientRate, as
    // stty or a modem prober on its port would do. The rest of the range is dropped; the logger
    // stays at its rate and chatters NMEA ten times a second while the client's rate differs, so
    // the client hears nothing but garbage and the logger none of its frames.
    void GarbleMidRange(std::size_t afterDataBytes, int clientRate);
    // Random mode for soak runs (0: off): each log status, device ID or ranged read frame draws a
    // fault with this probability, only of kinds the client recovers from by retrying: lost ACK
    // or ignored frame for the queries; NACK, ignore, corrupt data, split marker or stall for
    // ranged reads.
    void SetRandomFaults(std::uint64_t seed, double probability);
    // Counts of faults actually applied, by kind (index = FaultKind value).
    std::vector<std::size_t> FaultsApplied() const;

    // ---- waits for tests (bounded; true when the condition held in time) ----
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;
    bool WaitForRateChanges(std::size_t count, std::chrono::milliseconds timeout) const;
    // Everything queued for the line has been written.
    bool WaitUntilDrained(std::chrono::milliseconds timeout) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pelmora::sim
