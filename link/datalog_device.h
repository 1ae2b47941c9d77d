#pragma once
// The datalog commands of the logger and the ranged read of its track log, on top of the framed,
// acknowledged protocol. Each command builds one frame, waits for the ACK (10 x 1000 ms) and,
// where it has one, for its reply frame; the outcome is returned and reported through binary_msg
// as the window expects.
//
// Thread contract: as ReceiverProtocol: one thread (the device thread) runs the commands, one at a
// time, with the reader stopped; the events fire on that thread. RangeControl::stop may be set
// from any thread.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "link/datalog_payloads.h"
#include "link/event_handlers.h"
#include "link/log_status.h"
#include "link/receiver_protocol.h"

namespace pelmora {

// The waits of the commands and the ranged read; tests shorten some of them.
struct DatalogTimings {
    int replyWaitMs = ReceiverProtocol::kReplyWaitMs;  // reply frame after the ACK, then 9
    std::chrono::milliseconds requestWait{50};         // before each range request
    std::chrono::milliseconds retryWait{150};          // after each range attempt
    std::chrono::milliseconds dataWait{5000};          // silence that fails a range attempt
    std::chrono::milliseconds reopenWait{100};         // after reopening at a new rate
    // A line without a single byte this long is dead: ReadRange ends with 98 instead of
    // spending its thirty attempts (about six minutes) on it.
    std::chrono::milliseconds deadLine{15000};
    // The probe of a new rate: a few short ACK waits, not ten of a second each.
    int probeAttempts = 4;
    int probeWaitMs = 300;
};

// What a ranged read watches and reports.
struct RangeControl {
    const std::atomic<bool>* stop = nullptr;  // honoured before each range: result 99
    // Bytes received so far, the current range's partial data included.
    std::function<void(std::uint64_t)> progress;
    // The record filter of the track log; off to receive the sectors as the logger sent them.
    bool filter = true;
};

inline constexpr int kRangeAttempts = 30;

class DatalogDevice : public ReceiverProtocol {
  public:
    DatalogDevice() = default;

    EventList<Vantrel_datalog::AbstracttQuery_log_statusHandler> query_log_status;

    // On ACK and a well-formed reply: fires query_log_status with the reply frame (at least 45
    // valid bytes, zero-filled to 513) and returns 1; otherwise fires binary_msg with the code
    // (0, 2, 9; 9 also when no reply came) and returns it. status receives the parsed reply.
    int QueryLogStatus(LogStatus* status = nullptr);
    // 1 with the sectors to read and the total; 9 when the logger reports no sectors; 0 when the
    // query failed, after firing binary_msg with its code (ackCode receives it).
    int QuerySectorsUsed(std::uint32_t& sectors, std::uint32_t& total, LogStatus* status = nullptr,
                         int* ackCode = nullptr);
    // Fire binary_msg and return: 25 / 24 / 117 on ACK, else the ACK-wait code.
    int ClearLog();
    int ConfigureLog(std::uint32_t minTime, std::uint32_t minDistance, std::uint32_t minSpeed);
    int SetDeviceId(std::string_view text);
    // 1 with the ID text (empty for "no ID"); otherwise fires binary_msg with the code and
    // returns it (9 when no reply came).
    int QueryDeviceId(std::string& id);
    // Asks the logger for the rate, then reopens the same port at it whatever the answer was.
    // False when not connected, for an unknown rate, or when the port does not reopen. ackCode
    // receives the answer to the request (1 ACK, 2 NACK, 9 none).
    bool SetBaudRate(int rate, std::uint8_t attribute, int* ackCode = nullptr);
    // Sets the port alone to the rate (after a switch the logger refused) and drops its input.
    bool SetPortRate(int rate);
    // A log-status query with the short ACK waits of the probe: 1 when the logger answers at the
    // port's rate. No event fires.
    int Probe(LogStatus* status = nullptr);
    // Flushes input, then the ACK wait; returns its code, fires nothing.
    int FactoryReset();
    // No answer is expected; nothing happens when not connected.
    void RestartReceiver();
    // The open port's rate (bit/s); 0 without a port.
    int PortBaudRate() const;

    // Reads sectors [first, end) in requests of step sectors into dest at count (the caller sets
    // it to 0), each range tried up to 30 times 150 ms apart; with the track log's command id the
    // record filter then keeps each sector's records. 0 done, 9 gave up (binary_msg 9 fired), 99
    // stopped before a range, 98 when the line went dead. dest is cleared first and never
    // written past.
    int ReadRange(std::uint32_t first, std::uint32_t end, std::uint32_t step,
                  std::span<std::uint8_t> dest, std::size_t& count, std::uint8_t commandId,
                  const RangeControl& control = {});
    // One request of n sectors from s and its answer: 0 with got bytes, or 8.
    int ReadRangeStep(std::uint32_t s, std::uint32_t n, std::span<std::uint8_t> dest,
                      std::size_t& got, std::uint8_t commandId,
                      const std::function<void(std::size_t)>& progress = {});
    // The answer of one range from the port: 0 with got bytes, or 8.
    int ReceiveMarkedData(std::uint16_t s, std::span<std::uint8_t> dest, std::size_t& got,
                          const std::function<void(std::size_t)>& progress = {});

    DatalogTimings timings;

  private:
    int Send(const Payload& payload);
    int ackAttempts_ = SerialPort::kAckAttempts;
    int ackWaitMs_ = SerialPort::kAckWaitMs;
    // The ACK wait, then (on ACK) the reply wait for kind whose frame `accept` takes; the reply
    // stays in reply_. Returns 1, the ACK-wait code, or 9 when no acceptable reply came.
    int Query(const Payload& payload, int kind,
              const std::function<bool(const unsigned char*, std::size_t)>& accept);
    int Report(int code);

    unsigned char reply_[kReplyCapacity + 1] = {};
};

}  // namespace pelmora
