// Feeds arbitrary line bytes through the line and frame assembly, the reply checks and the
// sentence recognition: nothing may read or write outside its buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "receiver/byte_source.h"
#include "receiver/nmea_sentence.h"
#include "receiver/receiver_protocol.h"
#include "receiver/serial_port.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelmora;
    if (size == 0) {
        return 0;
    }
    // The first byte picks a small capacity now and then, to reach the capacity edges.
    const int capacity = (data[0] & 1) ? 1 + data[0] % 64 : ReceiverProtocol::kLineCapacity;
    std::vector<unsigned char> bytes(data + 1, data + size);
    {
        MemoryByteSource source(bytes, (data[0] & 2) != 0);
        std::vector<unsigned char> buffer(static_cast<std::size_t>(capacity) + 1);
        while (source.Remaining() > 0) {
            const int n = AssembleLine(source, buffer.data(), capacity);
            if (n <= 0) {
                break;
            }
            (void)SerialPort::ClassifyReply(buffer.data(), n + 1, buffer[3 % (n + 1)] + 6);
            std::vector<unsigned char> line(buffer.begin(), buffer.begin() + n + 1);
            (void)RecognizeSentence(line.data(), line.size());
        }
    }
    {
        MemoryByteSource source(bytes);
        std::vector<unsigned char> buffer(static_cast<std::size_t>(capacity) + 1);
        while (source.Remaining() > 0) {
            const int n = AssembleReply(source, buffer.data(), capacity);
            if (n <= 0) {
                break;
            }
            (void)ReceiverProtocol::FrameKind(buffer.data(), n);
        }
    }
    return 0;
}
