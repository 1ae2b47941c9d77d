#include "link/datalog_device.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "link/datalog_codes.h"
#include "link/log_filter.h"
#include "link/marked_data.h"

namespace pelmora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kFrameBufferSize = kMaxPayload + kFrameOverhead;

}  // namespace

int DatalogDevice::Send(const Payload& payload) {
    SerialPort* port = Port();
    if (port == nullptr || !port->IsConnected() || payload.size() > kMaxPayload) {
        return kDatalogNotConnected;
    }
    unsigned char frame[kFrameBufferSize];
    const int length = BuildFrame(frame, payload.data(), static_cast<int>(payload.size()));
    return port->SendAndWaitAck(frame, length, ackAttempts_, ackWaitMs_);
}

int DatalogDevice::Query(const Payload& payload, int kind,
                         const std::function<bool(const unsigned char*, std::size_t)>& accept) {
    const int code = Send(payload);
    if (code != kDatalogAck) {
        return code;
    }
    // A reply that is not the one awaited (a bad checksum, a short frame) is passed over; the
    // wait as a whole stays bounded.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timings.replyWaitMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return kDatalogTimeout;
        }
        std::memset(reply_, 0, sizeof reply_);
        const int size = WaitReply(kind, reply_, static_cast<int>(left));
        if (size <= 0) {
            return kDatalogTimeout;
        }
        if (accept(reply_, static_cast<std::size_t>(std::min(size, kReplyCapacity)))) {
            return kDatalogAck;
        }
    }
}

int DatalogDevice::Report(int code) {
    binary_msg.Fire(code);
    return code;
}

int DatalogDevice::QueryLogStatus(LogStatus* status) {
    std::optional<LogStatus> parsed;
    const int code = Query(LogStatusPayload(), kLogStatusReplyKind,
                           [&](const unsigned char* frame, std::size_t size) {
                               parsed = ParseLogStatusReply(frame, size);
                               return parsed.has_value();
                           });
    if (code != kDatalogAck) {
        return Report(code);
    }
    if (status != nullptr) {
        *status = *parsed;
    }
    query_log_status.Fire(reply_);
    return kDatalogAck;
}

int DatalogDevice::QuerySectorsUsed(std::uint32_t& sectors, std::uint32_t& total, LogStatus* status,
                                    int* ackCode) {
    std::optional<LogStatus> parsed;
    const int code = Query(LogStatusPayload(), kLogStatusReplyKind,
                           [&](const unsigned char* frame, std::size_t size) {
                               parsed = ParseLogStatusReply(frame, size);
                               return parsed.has_value();
                           });
    if (ackCode != nullptr) {
        *ackCode = code;
    }
    if (code != kDatalogAck) {
        // A reply wait that expired is reported like a lost ACK, so that 9 keeps meaning "a
        // logger without sectors" to the caller.
        Report(code);
        return kDatalogNotConnected;
    }
    if (status != nullptr) {
        *status = *parsed;
    }
    total = parsed->totalSectors;
    const auto toRead = SectorsToRead(*parsed);
    if (!toRead) {
        sectors = 0;
        return kDatalogTimeout;
    }
    sectors = *toRead;
    return kDatalogAck;
}

int DatalogDevice::ClearLog() {
    const int code = Send(ClearLogPayload());
    return Report(code == kDatalogAck ? kDatalogCleared : code);
}

int DatalogDevice::ConfigureLog(std::uint32_t minTime, std::uint32_t minDistance,
                                std::uint32_t minSpeed) {
    const int code = Send(ConfigureLogPayload(minTime, minDistance, minSpeed));
    return Report(code == kDatalogAck ? kDatalogConfigured : code);
}

int DatalogDevice::SetDeviceId(std::string_view text) {
    const int code = Send(SetDeviceIdPayload(text));
    return Report(code == kDatalogAck ? kDatalogIdSet : code);
}

int DatalogDevice::QueryDeviceId(std::string& id) {
    std::optional<std::string> text;
    const int code = Query(QueryDeviceIdPayload(), kDeviceIdReplyKind,
                           [&](const unsigned char* frame, std::size_t size) {
                               text = ParseDeviceIdReply(frame, size);
                               return text.has_value();
                           });
    if (code != kDatalogAck) {
        return Report(code);
    }
    id = *text;
    return kDatalogAck;
}

bool DatalogDevice::SetBaudRate(int rate, std::uint8_t attribute, int* ackCode) {
    SerialPort* port = Port();
    const auto payload = SetBaudRatePayload(rate, attribute);
    if (port == nullptr || !port->IsConnected() || !payload) {
        return false;
    }
    // The logger may answer at either rate: the port is reopened regardless.
    const int code = Send(*payload);
    if (ackCode != nullptr) {
        *ackCode = code;
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

int DatalogDevice::Probe(LogStatus* status) {
    std::optional<LogStatus> parsed;
    ackAttempts_ = timings.probeAttempts;
    ackWaitMs_ = timings.probeWaitMs;
    const int code = Query(LogStatusPayload(), kLogStatusReplyKind,
                           [&](const unsigned char* frame, std::size_t size) {
                               parsed = ParseLogStatusReply(frame, size);
                               return parsed.has_value();
                           });
    ackAttempts_ = SerialPort::kAckAttempts;
    ackWaitMs_ = SerialPort::kAckWaitMs;
    if (code == kDatalogAck && status != nullptr) {
        *status = *parsed;
    }
    return code;
}

int DatalogDevice::FactoryReset() {
    SerialPort* port = Port();
    if (port == nullptr || !port->IsConnected()) {
        return kDatalogNotConnected;
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

int DatalogDevice::ReadRange(std::uint32_t first, std::uint32_t end, std::uint32_t step,
                             std::span<std::uint8_t> dest, std::size_t& count,
                             std::uint8_t commandId, const RangeControl& control) {
    std::fill(dest.begin(), dest.end(), std::uint8_t{0});
    if (step == 0 || end > 0x10000u) {
        return Report(kRangeGaveUp);  // no request could name these sectors
    }
    for (std::uint32_t s = first; s < end; s += step) {
        if (control.stop != nullptr && control.stop->load()) {
            return kRangeStopped;
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
            const int result =
                ReadRangeStep(s, n, dest.subspan(offset, room), got, commandId, progress);
            // The request of the 31st attempt goes out, but its outcome is not used.
            if (attempt > kRangeAttempts) {
                return Report(kRangeGaveUp);
            }
            // The wait is for a logger that has to recover from a failed attempt; after a good
            // one the next request may go at once (the request wait still precedes it).
            if (result != kRangeDone) {
                std::this_thread::sleep_for(timings.retryWait);
            }
            if (result == kRangeDone) {
                count += got;
                break;
            }
            const SerialPort* port = Port();
            if (port != nullptr && port->CancelRequested()) {
                return kRangeStopped;  // an abort, not waiting for the range to complete
            }
            if (port != nullptr && port->Silence() >= timings.deadLine) {
                return kRangeLineDead;
            }
        }
    }
    if (commandId == kReadTrackLogId && control.filter) {
        count = FilterLogRecords(dest.data(), std::min(count, dest.size()));
    }
    return kRangeDone;
}

int DatalogDevice::ReadRangeStep(std::uint32_t s, std::uint32_t n, std::span<std::uint8_t> dest,
                                 std::size_t& got, std::uint8_t commandId,
                                 const std::function<void(std::size_t)>& progress) {
    got = 0;
    const Payload payload =
        ReadRangePayload(commandId, static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(n));
    std::this_thread::sleep_for(timings.requestWait);
    if (Send(payload) != kDatalogAck) {
        return kRangeAttemptFailed;
    }
    return ReceiveMarkedData(static_cast<std::uint16_t>(s), dest, got, progress);
}

int DatalogDevice::ReceiveMarkedData(std::uint16_t s, std::span<std::uint8_t> dest,
                                     std::size_t& got,
                                     const std::function<void(std::size_t)>& progress) {
    got = 0;
    SerialPort* port = Port();
    if (port == nullptr || !port->IsConnected()) {
        return kRangeAttemptFailed;
    }
    ReceiveOptions options;
    options.dataWait = timings.dataWait;
    options.progress = progress;
    const ByteReader read = [port](std::uint8_t* buffer, std::size_t size) -> std::size_t {
        const int n =
            port->ReadAvailable(buffer, static_cast<int>(std::min<std::size_t>(size, 4096)));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    };
    return pelmora::ReceiveMarkedData(s, dest, got, read, options);
}

}  // namespace pelmora
