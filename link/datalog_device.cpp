#include "link/datalog_device.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "link/log_filter.h"
#include "link/marked_data.h"

namespace pelmora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kFrameBufferSize = kMaxPayload + kFrameOverhead;
constexpr std::chrono::milliseconds kRangeByteWait{250};

}  // namespace

CommandResult DatalogDevice::Send(const Payload& payload) {
    SerialPort* port = Port();
    if (port == nullptr || !port->IsConnected() || payload.size() > kMaxPayload) {
        return CommandResult::NotConnected;
    }
    unsigned char frame[kFrameBufferSize];
    const int length = BuildFrame(frame, payload.data(), static_cast<int>(payload.size()));
    return port->SendAndWaitAck(frame, length, ackAttempts_, ackWaitMs_);
}

CommandResult DatalogDevice::Unanswered() const {
    const SerialPort* port = Port();
    if (port == nullptr) {
        return CommandResult::NotConnected;
    }
    if (port->HungUp()) {
        return CommandResult::Disconnected;
    }
    return port->CancelRequested() ? CommandResult::Cancelled : CommandResult::NoAnswer;
}

CommandResult DatalogDevice::Query(
    const Payload& payload, int kind,
    const std::function<bool(const unsigned char*, std::size_t)>& accept) {
    const CommandResult sent = Send(payload);
    if (sent != CommandResult::Done) {
        return sent;
    }
    // A reply that is not the one awaited (a bad checksum, a short frame) is passed over; the
    // wait as a whole stays bounded.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timings.replyWaitMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return Unanswered();
        }
        std::memset(reply_, 0, sizeof reply_);
        const int size = WaitReply(kind, reply_, static_cast<int>(left));
        if (size <= 0) {
            return Unanswered();
        }
        if (accept(reply_, static_cast<std::size_t>(std::min(size, kReplyCapacity)))) {
            return CommandResult::Done;
        }
    }
}

CommandResult DatalogDevice::QueryLogStatus(LogStatus* status) {
    std::optional<LogStatus> parsed;
    const CommandResult result = Query(LogStatusPayload(), kLogStatusReplyKind,
                                       [&](const unsigned char* frame, std::size_t size) {
                                           parsed = ParseLogStatusReply(frame, size);
                                           return parsed.has_value();
                                       });
    if (result == CommandResult::Done && status != nullptr) {
        *status = *parsed;
    }
    return result;
}

CommandResult DatalogDevice::QuerySectorsUsed(std::uint32_t& sectors, std::uint32_t& total,
                                              LogStatus* status) {
    LogStatus parsed;
    sectors = 0;
    const CommandResult result = QueryLogStatus(&parsed);
    if (result != CommandResult::Done) {
        return result;
    }
    if (status != nullptr) {
        *status = parsed;
    }
    total = parsed.totalSectors;
    sectors = SectorsToRead(parsed).value_or(0);
    return result;
}

CommandResult DatalogDevice::ClearLog() {
    return Send(ClearLogPayload());
}

CommandResult DatalogDevice::ConfigureLog(std::uint32_t minTime, std::uint32_t minDistance,
                                          std::uint32_t minSpeed) {
    return Send(ConfigureLogPayload(minTime, minDistance, minSpeed));
}

CommandResult DatalogDevice::SetDeviceId(std::string_view text) {
    return Send(SetDeviceIdPayload(text));
}

CommandResult DatalogDevice::QueryDeviceId(std::string& id, bool quick) {
    if (quick) {
        ackAttempts_ = timings.probeAttempts;
        ackWaitMs_ = timings.probeWaitMs;
    }
    struct Restore {
        DatalogDevice& d;
        ~Restore() {
            d.ackAttempts_ = SerialPort::kAckAttempts;
            d.ackWaitMs_ = SerialPort::kAckWaitMs;
        }
    } restore{*this};
    std::optional<std::string> text;
    const CommandResult result = Query(QueryDeviceIdPayload(), kDeviceIdReplyKind,
                                       [&](const unsigned char* frame, std::size_t size) {
                                           text = ParseDeviceIdReply(frame, size);
                                           return text.has_value();
                                       });
    if (result == CommandResult::Done) {
        id = *text;
    }
    return result;
}

bool DatalogDevice::SetBaudRate(int rate, std::uint8_t attribute, CommandResult* ack, bool quick) {
    SerialPort* port = Port();
    const auto payload = SetBaudRatePayload(rate, attribute);
    if (port == nullptr || !port->IsConnected() || !payload) {
        return false;
    }
    // The logger may answer at either rate: the port is reopened regardless.
    if (quick) {
        ackAttempts_ = timings.probeAttempts;
        ackWaitMs_ = timings.probeWaitMs;
    }
    const CommandResult sent = Send(*payload);
    ackAttempts_ = SerialPort::kAckAttempts;
    ackWaitMs_ = SerialPort::kAckWaitMs;
    if (ack != nullptr) {
        *ack = sent;
    }
    const std::string path = port->PortPath();
    port->Close();
    const bool opened = port->Open(path, rate);
    if (opened) {
        port->FlushInput();
    }
    std::this_thread::sleep_for(timings.reopenWait);
    return opened;
}

bool DatalogDevice::SetPortRate(int rate) {
    SerialPort* port = Port();
    if (port == nullptr || !port->IsConnected() || !port->ChangeRate(rate)) {
        return false;
    }
    port->FlushInput();
    return true;
}

CommandResult DatalogDevice::Probe(LogStatus* status) {
    ackAttempts_ = timings.probeAttempts;
    ackWaitMs_ = timings.probeWaitMs;
    const CommandResult result = QueryLogStatus(status);
    ackAttempts_ = SerialPort::kAckAttempts;
    ackWaitMs_ = SerialPort::kAckWaitMs;
    return result;
}

CommandResult DatalogDevice::FactoryReset() {
    SerialPort* port = Port();
    if (port == nullptr || !port->IsConnected()) {
        return CommandResult::NotConnected;
    }
    port->FlushInput();
    return Send(FactoryResetPayload());
}

void DatalogDevice::RestartReceiver() {
    SerialPort* port = Port();
    if (port == nullptr || !port->IsConnected()) {
        return;
    }
    const Payload payload = RestartReceiverPayload();
    unsigned char frame[kFrameBufferSize];
    const int length = BuildFrame(frame, payload.data(), static_cast<int>(payload.size()));
    port->SendOnly(frame, length);
}

int DatalogDevice::PortBaudRate() const {
    const SerialPort* port = Port();
    return port != nullptr ? port->BaudRate() : 0;
}

RangeResult DatalogDevice::ReadRange(std::uint32_t first, std::uint32_t end, std::uint32_t step,
                                     std::span<std::uint8_t> dest, std::size_t& count,
                                     std::uint8_t commandId, const RangeControl& control) {
    std::fill(dest.begin(), dest.end(), std::uint8_t{0});
    if (step == 0 || end > 0x10000u) {
        return RangeResult::GaveUp;  // no request could name these sectors
    }
    for (std::uint32_t s = first; s < end; s += step) {
        if (control.stop != nullptr && control.stop->load()) {
            return RangeResult::Stopped;
        }
        if (const SerialPort* port = Port(); port != nullptr && port->CancelRequested()) {
            return RangeResult::Stopped;
        }
        const std::uint32_t n = std::min(step, end - s);
        const std::size_t offset = std::min(count, dest.size());
        const std::size_t room =
            std::min<std::size_t>(static_cast<std::size_t>(n) * kSectorSize, dest.size() - offset);
        const std::size_t before = count;
        auto progress = [&](std::size_t got) {
            if (control.progress) {
                control.progress(before + got);
            }
        };
        for (int attempt = 1;; ++attempt) {
            std::size_t got = 0;
            const RangeResult result =
                ReadRangeStep(s, n, dest.subspan(offset, room), got, commandId, progress);
            // The request of the 31st attempt goes out, but its outcome is not used.
            if (attempt > kRangeAttempts) {
                return RangeResult::GaveUp;
            }
            if (result == RangeResult::Done) {
                count += got;
                break;
            }
            if (result == RangeResult::Stopped || result == RangeResult::Disconnected ||
                result == RangeResult::LineDead) {
                return result;  // the range in flight is abandoned, not waited for
            }
            const SerialPort* port = Port();
            if (port != nullptr && port->HungUp()) {
                return RangeResult::Disconnected;
            }
            if (port != nullptr && port->CancelRequested()) {
                return RangeResult::Stopped;  // an abort, not waiting for the range to complete
            }
            // The wait is for a logger that has to recover from a failed attempt; after a good
            // one the next request may go at once (the request wait still precedes it).
            std::this_thread::sleep_for(timings.retryWait);
            if (port != nullptr && port->SinceLastAnswer() >= timings.deadLine) {
                return RangeResult::LineDead;
            }
        }
    }
    if (commandId == kReadTrackLogId && control.filter) {
        count = FilterLogRecords(dest.data(), std::min(count, dest.size()));
    }
    return RangeResult::Done;
}

RangeResult DatalogDevice::ReadRangeStep(std::uint32_t s, std::uint32_t n,
                                         std::span<std::uint8_t> dest, std::size_t& got,
                                         std::uint8_t commandId,
                                         const std::function<void(std::size_t)>& progress) {
    got = 0;
    const Payload payload =
        ReadRangePayload(commandId, static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(n));
    std::this_thread::sleep_for(timings.requestWait);
    switch (Send(payload)) {
        case CommandResult::Done:
            break;
        case CommandResult::Cancelled:
            return RangeResult::Stopped;
        case CommandResult::Disconnected:
            return RangeResult::Disconnected;
        default:
            return RangeResult::AttemptFailed;
    }
    return ReceiveMarkedData(static_cast<std::uint16_t>(s), dest, got, progress);
}

RangeResult DatalogDevice::ReceiveMarkedData(std::uint16_t s, std::span<std::uint8_t> dest,
                                             std::size_t& got,
                                             const std::function<void(std::size_t)>& progress) {
    got = 0;
    SerialPort* port = Port();
    if (port == nullptr || !port->IsConnected()) {
        return RangeResult::AttemptFailed;
    }
    ReceiveOptions options;
    options.dataWait = timings.dataWait;
    options.progress = progress;
    options.interrupted = [port] {
        if (port->HungUp()) {
            return RangeResult::Disconnected;
        }
        // Garbage streams without end: a range (at most 16 sectors, 11.4 s at 57600 bit/s) that
        // has not completed within the dead-line limit of its ACK never will.
        if (port->LineDead()) {
            return RangeResult::LineDead;
        }
        return port->CancelRequested() ? RangeResult::Stopped : RangeResult::Done;
    };
    // A silent line wakes the wait a few times a second until the data wait is over.
    const auto wait = std::min<std::chrono::milliseconds>(timings.dataWait, kRangeByteWait);
    const ByteReader read = [port, wait](std::uint8_t* buffer, std::size_t size) -> std::size_t {
        const int n =
            port->ReadAvailable(buffer, static_cast<int>(std::min<std::size_t>(size, 4096)), wait);
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    };
    const RangeResult result = pelmora::ReceiveMarkedData(s, dest, got, read, options);
    if (result == RangeResult::Done) {
        port->MarkAnswered();  // a whole range, its checksum right
    }
    return result;
}

}  // namespace pelmora
