// The receiver's line as a byte stream: NMEA lines and binary frames assembled the way the
// reader loop (ReadLine) and the reply wait (ReadReply) do, each result classified as a frame
// (FrameKind), as an ACK/NACK (ClassifyReply) and as a sentence (RecognizeSentence).
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "link/byte_source.h"
#include "link/link_state.h"
#include "link/nmea_sentence.h"
#include "link/receiver_protocol.h"
#include "link/serial_port.h"

namespace {

constexpr int kCapacities[] = {pelmora::ReceiverProtocol::kLineCapacity,
                               pelmora::ReceiverProtocol::kReplyCapacity,
                               pelmora::SerialPort::kAckLineCapacity,
                               80,
                               9,
                               1};

void Classify(unsigned char* buffer, int n, int capacity, pelmora::LinkState& link) {
    pelmora::ReceiverProtocol::FrameKind(buffer, n);
    for (int last = n - 2; last <= n; ++last) {
        const pelmora::ReplyKind c = pelmora::SerialPort::ClassifyReply(buffer, n, last);
        if (c != pelmora::ReplyKind::Other) {
            FUZZ_CHECK(last < n && buffer[last] == 0x0A);
        }
    }
    link.AfterRead(n);
    if (n != 0) {
        const int code = pelmora::RecognizeSentence(buffer, static_cast<std::size_t>(capacity) + 1);
        FUZZ_CHECK(code >= 0 && code <= pelmora::kSentenceBadChecksum);
        link.AfterSentence(code);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    const int capacity = kCapacities[(mode >> 2) % std::size(kCapacities)];
    const bool reply = (mode & 1) != 0;
    const bool hangUp = (mode & 2) != 0;
    pelmora::MemoryByteSource source(std::vector<unsigned char>(data + 1, data + size), hangUp);
    if ((mode & 0x80) != 0 && size > 2) {
        source.CancelAfter(data[1] % (size - 1));
    }

    // One byte of slack past the assembler's capacity + 1, poisoned: any write there is a bug.
    std::vector<unsigned char> buffer(static_cast<std::size_t>(capacity) + 2);
    pelmora::LinkState link;
    for (int calls = 0; calls <= static_cast<int>(size); ++calls) {
        const std::size_t before = source.Remaining();
        std::memset(buffer.data(), 0xCC, buffer.size());
        const int n = reply ? pelmora::AssembleReply(source, buffer.data(), capacity)
                            : pelmora::AssembleLine(source, buffer.data(), capacity);
        FUZZ_CHECK(n >= 0 && n <= capacity);
        FUZZ_CHECK(buffer[static_cast<std::size_t>(capacity) + 1] == 0xCC);
        if (!reply) {
            // A NUL right after the counted bytes, or after the LF that ended the line.
            const auto at = static_cast<std::size_t>(n);
            FUZZ_CHECK(buffer[at] == 0 ||
                       (buffer[at] == 0x0A && at < static_cast<std::size_t>(capacity) &&
                        buffer[at + 1] == 0));
        } else if (n < capacity) {
            FUZZ_CHECK(buffer[static_cast<std::size_t>(n)] == 0);
        }
        buffer[static_cast<std::size_t>(capacity)] = 0;  // as the readers' buffers are zeroed
        Classify(buffer.data(), n, capacity, link);
        if (source.Remaining() == 0 || source.CancelRequested() ||
            (source.Remaining() == before && n == 0)) {
            break;
        }
    }
    return 0;
}
