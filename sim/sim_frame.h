#pragma once
// Binary frames as the simulated logger sees them: A0 A1, length (high byte 0), payload, XOR
// checksum of the payload, CR LF. The scanner is an incremental byte state machine that works on
// whatever the line delivers; bytes outside a frame (noise, NMEA echoes) are skipped.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelmora::sim {

inline constexpr std::uint8_t kAckId = 0x83;
inline constexpr std::uint8_t kNackId = 0x84;

std::uint8_t PayloadChecksum(std::span<const std::uint8_t> payload);
// A0 A1 00 n payload checksum 0D 0A; payloads longer than 255 bytes are cut at 255.
std::vector<std::uint8_t> BuildFrame(std::span<const std::uint8_t> payload);
// ACK / NACK frames: id 0x83 / 0x84 followed by the id of the frame they answer (never 0, so that
// the client's "offset-5 byte nonzero" test holds even for a frame whose id is 0).
std::vector<std::uint8_t> AckFrame(std::uint8_t answeredId);
std::vector<std::uint8_t> NackFrame(std::uint8_t answeredId);

struct ScannedFrame {
    std::vector<std::uint8_t> bytes;  // exactly as received, A0 .. 0A
    bool checksumOk = false;
    std::span<const std::uint8_t> Payload() const;
    std::uint8_t Id() const;  // 0 for an empty payload
};

class FrameScanner {
  public:
    // Appends every frame completed by these bytes. A frame whose trailer is not CR LF is no
    // frame: scanning resumes right after its A0, so a real frame start inside it is not lost.
    void Feed(std::span<const std::uint8_t> bytes, std::vector<ScannedFrame>& out);
    void Reset() { buffer_.clear(); }
    std::size_t Pending() const { return buffer_.size(); }

  private:
    std::vector<std::uint8_t> buffer_;
};

}  // namespace pelmora::sim
