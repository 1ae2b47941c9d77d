// The acknowledged send of SerialPort.
#include <chrono>
#include <thread>

#include "link/serial_port.h"

namespace pelmora {

int SerialPort::ClassifyReply(const unsigned char* frame, int size, int last) {
    if (frame == nullptr || last < 6 || last >= size) {
        return 0;
    }
    if (frame[0] != 0xA0 || frame[1] != 0xA1 || frame[last - 1] != 0x0D || frame[last] != 0x0A) {
        return 0;
    }
    // An ACK must carry a nonzero byte after its id; the receiver sends 0 there when it did not
    // take the command.
    if (frame[4] == kAckId && frame[5] != 0) {
        return kSendAck;
    }
    if (frame[4] == kNackId) {
        return kSendNack;
    }
    return 0;
}

int SerialPort::SendAndWaitAck(const unsigned char* frame, int length, int attempts, int waitMs) {
    if (!IsConnected()) {
        return kSendNotConnected;
    }
    FlushInput();
    unsigned char buffer[kAckLineCapacity + 4] = {};
    for (int attempt = 0; attempt < attempts; ++attempt) {
        Write(frame, length);
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start <= std::chrono::milliseconds(waitMs)) {
            if (LineDead()) {
                return kSendTimeout;  // ten more seconds would not revive a dead line
            }
            const int r = ReadLine(buffer, kAckLineCapacity);
            if (r > 0) {
                // The bytes up to the LF (or the NUL after a cut line) are valid.
                const int kind = ClassifyReply(buffer, r + 1, buffer[3] + 6);
                if (kind != 0) {
                    return kind;
                }
            } else if (!IsConnected() || HungUp()) {
                return kSendTimeout;
            } else {
                // A failed read returns at once; keep the wait from spinning.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    return kSendTimeout;
}

bool SerialPort::SendOnly(const unsigned char* frame, int length) {
    if (IsConnected()) {
        FlushInput();
        Write(frame, length);
    }
    return true;
}

}  // namespace pelmora
