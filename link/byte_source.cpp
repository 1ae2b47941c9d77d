#include "link/byte_source.h"

#include <utility>

namespace pelmora {

namespace {
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kLf = 0x0A;
}  // namespace

int AssembleLine(ByteSource& source, unsigned char* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    int i = 0;
    do {
        const int r = source.ReadByte(&buffer[i]);
        if (r <= 0 || source.CancelRequested()) {
            break;
        }
        if (i > 1 && buffer[i] == kLf && buffer[i - 1] == kCr) {
            buffer[i + 1] = 0;
            return i;
        }
        if (i > 1 && buffer[i] == kFrameStart1 && buffer[i - 1] == kFrameStart0) {
            buffer[0] = kFrameStart0;
            buffer[1] = kFrameStart1;
            i = 2;
        } else {
            ++i;
        }
    } while (i < capacity);
    buffer[i] = 0;
    return i;
}

int AssembleReply(ByteSource& source, unsigned char* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    int i = 0;
    bool frame = false;
    int need = 0;  // whole frame size once the length byte is in
    while (i < capacity) {
        const int r = source.ReadByte(&buffer[i]);
        if (r <= 0 || source.CancelRequested()) {
            break;
        }
        if (frame) {
            ++i;
            if (i == 4) {
                need = buffer[3] + 7;
            }
            if (need > 0 && i >= need) {
                break;
            }
            continue;
        }
        if (i >= 1 && buffer[i] == kFrameStart1 && buffer[i - 1] == kFrameStart0) {
            // Whatever came before the start sequence was noise or a cut line.
            buffer[0] = kFrameStart0;
            buffer[1] = kFrameStart1;
            i = 2;
            frame = true;
            continue;
        }
        if (i > 1 && buffer[i] == kLf && buffer[i - 1] == kCr) {
            ++i;
            break;
        }
        ++i;
    }
    buffer[i] = 0;
    return i;
}

MemoryByteSource::MemoryByteSource(std::vector<unsigned char> bytes, bool hangUp)
    : bytes_(std::move(bytes)), hangUp_(hangUp) {}

int MemoryByteSource::ReadByte(unsigned char* byte) {
    if (pos_ >= cancelAt_) {
        cancel_.store(true);
    }
    if (pos_ >= bytes_.size()) {
        return hangUp_ ? 0 : -1;
    }
    if (cancel_.load()) {
        return 0;
    }
    *byte = bytes_[pos_++];
    return 1;
}

void MemoryByteSource::CancelAfter(std::size_t afterBytes) {
    cancelAt_ = pos_ + afterBytes;
    if (afterBytes == 0) {
        cancel_.store(true);
    }
}

}  // namespace pelmora
