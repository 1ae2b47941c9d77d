#include "sim/sim_frame.h"

#include <algorithm>

namespace pelmora::sim {

std::uint8_t PayloadChecksum(std::span<const std::uint8_t> payload) {
    std::uint8_t x = 0;
    for (const std::uint8_t b : payload) {
        x ^= b;
    }
    return x;
}

std::vector<std::uint8_t> BuildFrame(std::span<const std::uint8_t> payload) {
    const std::size_t n = std::min<std::size_t>(payload.size(), 255);
    const auto body = payload.first(n);
    std::vector<std::uint8_t> frame;
    frame.reserve(n + 7);
    frame.push_back(0xA0);
    frame.push_back(0xA1);
    frame.push_back(0x00);
    frame.push_back(static_cast<std::uint8_t>(n));
    frame.insert(frame.end(), body.begin(), body.end());
    frame.push_back(PayloadChecksum(body));
    frame.push_back(0x0D);
    frame.push_back(0x0A);
    return frame;
}

std::vector<std::uint8_t> AckFrame(std::uint8_t answeredId) {
    const std::uint8_t payload[] = {kAckId, answeredId == 0 ? std::uint8_t{0xFF} : answeredId};
    return BuildFrame(payload);
}

std::vector<std::uint8_t> NackFrame(std::uint8_t answeredId) {
    const std::uint8_t payload[] = {kNackId, answeredId == 0 ? std::uint8_t{0xFF} : answeredId};
    return BuildFrame(payload);
}

std::span<const std::uint8_t> ScannedFrame::Payload() const {
    if (bytes.size() < 7) {
        return {};
    }
    return std::span<const std::uint8_t>(bytes).subspan(4, bytes.size() - 7);
}

std::uint8_t ScannedFrame::Id() const {
    return bytes.size() > 7 ? bytes[4] : 0;
}

void FrameScanner::Feed(std::span<const std::uint8_t> bytes, std::vector<ScannedFrame>& out) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    std::size_t pos = 0;
    while (pos < buffer_.size()) {
        // Ground state: anything that does not start A0 A1 00 is skipped.
        if (buffer_[pos] != 0xA0) {
            ++pos;
            continue;
        }
        const std::size_t have = buffer_.size() - pos;
        if (have < 2) {
            break;
        }
        if (buffer_[pos + 1] != 0xA1) {
            ++pos;
            continue;
        }
        if (have < 4) {
            break;
        }
        if (buffer_[pos + 2] != 0x00) {
            ++pos;  // the length's high byte is always 0
            continue;
        }
        const std::size_t total = std::size_t{buffer_[pos + 3]} + 7;
        if (have < total) {
            break;
        }
        const auto* frame = buffer_.data() + pos;
        if (frame[total - 2] != 0x0D || frame[total - 1] != 0x0A) {
            ++pos;
            continue;
        }
        ScannedFrame scanned;
        scanned.bytes.assign(frame, frame + total);
        const auto payload = scanned.Payload();
        scanned.checksumOk = PayloadChecksum(payload) == frame[total - 3];
        out.push_back(std::move(scanned));
        pos += total;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
}

}  // namespace pelmora::sim
