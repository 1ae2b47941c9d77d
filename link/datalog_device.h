#pragma once
// The datalog commands of the logger and the ranged read of its track log, on top of the framed,
// acknowledged protocol. Each command builds one frame, waits for the ACK (10 x 1000 ms) and,
// where it has one, for its reply frame; the outcome is returned.
//
// Thread contract: as ReceiverProtocol: one thread (the device thread) runs the commands, one at a
// time, with the reader stopped. RangeControl::stop may be set from any thread.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "link/command_result.h"
#include "link/datalog_codes.h"
#include "link/datalog_payloads.h"
#include "link/log_status.h"
#include "link/receiver_protocol.h"

namespace pelmora {

// The waits of the commands and the ranged read; tests shorten some of them.
struct DatalogTimings {
    int replyWaitMs = ReceiverProtocol::kReplyWaitMs;  // reply frame after the ACK
    std::chrono::milliseconds requestWait{50};         // before each range request
    std::chrono::milliseconds retryWait{150};          // after each range attempt
    std::chrono::milliseconds dataWait{5000};          // silence that fails a range attempt
    std::chrono::milliseconds reopenWait{100};         // after reopening at a new rate
    // A line without a well-formed answer this long (silent, or garbled by a wrong rate) is dead:
    // ReadRange ends with LineDead instead of spending its thirty attempts (about six minutes)
    // on it.
    std::chrono::milliseconds deadLine{15000};
    // The probe of a new rate: a few short ACK waits, not ten of a second each.
    int probeAttempts = 4;
    int probeWaitMs = 300;
};

// What a ranged read watches and reports.
struct RangeControl {
    const std::atomic<bool>* stop = nullptr;  // honoured before each range: Stopped
    // Bytes received so far, the current range's partial data included.
    std::function<void(std::uint64_t)> progress;
    // The record filter of the track log; off to receive the sectors as the logger sent them.
    bool filter = true;
};

inline constexpr int kRangeAttempts = 30;

class DatalogDevice : public ReceiverProtocol {
  public:
    DatalogDevice() = default;

    // On ACK and a well-formed reply: Done, with the parsed reply in status.
    CommandResult QueryLogStatus(LogStatus* status = nullptr);
    // The log-status query, then the sectors a Read asks for and the flash's total; sectors is
    // 0 when the logger reports none (a logger with errors).
    CommandResult QuerySectorsUsed(std::uint32_t& sectors, std::uint32_t& total,
                                   LogStatus* status = nullptr);
    CommandResult ClearLog();
    CommandResult ConfigureLog(std::uint32_t minTime, std::uint32_t minDistance,
                               std::uint32_t minSpeed);
    CommandResult SetDeviceId(std::string_view text);
    // Done with the ID text (empty for "no ID"). quick: the probe's short ACK waits.
    CommandResult QueryDeviceId(std::string& id, bool quick = false);
    // Asks the logger for the rate, then reopens the same port at it whatever the answer was.
    // False when not connected, for an unknown rate, or when the port does not reopen. ack
    // receives the answer to the request. quick: the probe's short ACK waits, for a logger that
    // answers at once if it hears at all.
    bool SetBaudRate(int rate, std::uint8_t attribute, CommandResult* ack = nullptr,
                     bool quick = false);
    // Sets the port alone to the rate (after a switch the logger refused) and drops its input.
    bool SetPortRate(int rate);
    // A log-status query with the short ACK waits of the probe: Done when the logger answers at
    // the port's rate.
    CommandResult Probe(LogStatus* status = nullptr);
    // Flushes input, then the ACK wait.
    CommandResult FactoryReset();
    // No answer is expected; nothing happens when not connected.
    void RestartReceiver();
    // The open port's rate (bit/s); 0 without a port.
    int PortBaudRate() const;

    // Reads sectors [first, end) in requests of step sectors into dest at count (the caller sets
    // it to 0), each range tried up to 30 times 150 ms apart; with the track log's command id the
    // record filter then keeps each sector's records. Stopped before a range on control.stop, and
    // at once on the port's cancel, even while the range's bytes stream; LineDead when the line
    // went dead, Disconnected when it went away. dest is cleared first and never written past.
    RangeResult ReadRange(std::uint32_t first, std::uint32_t end, std::uint32_t step,
                          std::span<std::uint8_t> dest, std::size_t& count, std::uint8_t commandId,
                          const RangeControl& control = {});
    // One request of n sectors from s and its answer: Done with got bytes, AttemptFailed, or
    // Stopped and Disconnected as ReadRange.
    RangeResult ReadRangeStep(std::uint32_t s, std::uint32_t n, std::span<std::uint8_t> dest,
                              std::size_t& got, std::uint8_t commandId,
                              const std::function<void(std::size_t)>& progress = {});
    // The answer of one range from the port: Done with got bytes, AttemptFailed, Stopped (the
    // port's cancel, looked at on every read) or Disconnected.
    RangeResult ReceiveMarkedData(std::uint16_t s, std::span<std::uint8_t> dest, std::size_t& got,
                                  const std::function<void(std::size_t)>& progress = {});

    DatalogTimings timings;

  private:
    CommandResult Send(const Payload& payload);
    int ackAttempts_ = SerialPort::kAckAttempts;
    int ackWaitMs_ = SerialPort::kAckWaitMs;
    // The ACK wait, then (on ACK) the reply wait for kind whose frame `accept` takes; the reply
    // stays in reply_. NoAnswer when no acceptable reply came.
    CommandResult Query(const Payload& payload, int kind,
                        const std::function<bool(const unsigned char*, std::size_t)>& accept);
    // What a wait that ended without its answer means: the line gone, a cancel, or silence.
    CommandResult Unanswered() const;

    unsigned char reply_[kReplyCapacity + 1] = {};
};

}  // namespace pelmora
