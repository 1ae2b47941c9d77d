// The acknowledged send of SerialPort.
#include <algorithm>
#include <chrono>
#include <cstdint>

#include "link/serial_port.h"

namespace pelmora {

ReplyKind SerialPort::ClassifyReply(const unsigned char* frame, int size, int last) {
    if (frame == nullptr || last < 6 || last >= size) {
        return ReplyKind::Other;
    }
    if (frame[0] != 0xA0 || frame[1] != 0xA1 || frame[last - 1] != 0x0D || frame[last] != 0x0A) {
        return ReplyKind::Other;
    }
    // An ACK must carry a nonzero byte after its id; the receiver sends 0 there when it did not
    // take the command.
    if (frame[4] == kAckId && frame[5] != 0) {
        return ReplyKind::Ack;
    }
    if (frame[4] == kNackId) {
        return ReplyKind::Nack;
    }
    return ReplyKind::Other;
}

CommandResult SerialPort::SendAndWaitAck(const unsigned char* frame, int length, int attempts,
                                         int waitMs) {
    using std::chrono::milliseconds;
    if (!IsConnected()) {
        return CommandResult::NotConnected;
    }
    FlushInput();
    unsigned char buffer[kAckLineCapacity + 4] = {};
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (CancelRequested()) {
            return CommandResult::Cancelled;
        }
        Write(frame, length);
        const auto deadline = std::chrono::steady_clock::now() + milliseconds(waitMs);
        for (;;) {
            if (CancelRequested()) {
                return CommandResult::Cancelled;
            }
            if (LineDead()) {
                return CommandResult::NoAnswer;  // ten more seconds would not revive a dead line
            }
            auto left =
                std::chrono::ceil<milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            // The dead line is told when it comes, not at the end of the attempt.
            if (const std::int64_t limit = deadLimitMs_.load(); limit > 0) {
                left = std::max(milliseconds(1),
                                std::min(left, milliseconds(limit) - SinceLastAnswer()));
            }
            // Each byte may take the rest of the wait: a silent line costs one poll an attempt.
            const int r = ReadLine(buffer, kAckLineCapacity, left);
            if (r > 0) {
                // The bytes up to the LF (or the NUL after a cut line) are valid.
                switch (ClassifyReply(buffer, r + 1, buffer[3] + 6)) {
                    case ReplyKind::Ack:
                        MarkAnswered();
                        return CommandResult::Done;
                    case ReplyKind::Nack:
                        MarkAnswered();
                        return CommandResult::Refused;
                    case ReplyKind::Other:
                        break;
                }
            } else if (HungUp()) {
                return CommandResult::Disconnected;
            } else if (!IsConnected()) {
                return CommandResult::NotConnected;
            }
        }
    }
    return CommandResult::NoAnswer;
}

bool SerialPort::SendOnly(const unsigned char* frame, int length) {
    if (IsConnected()) {
        FlushInput();
        Write(frame, length);
    }
    return true;
}

}  // namespace pelmora
