#pragma once
// Line and frame assembly over any source of single bytes, so the rules can be exercised on a
// byte buffer without a port (tests, fuzzing) and shared by the serial transport.
#include <atomic>
#include <cstddef>
#include <vector>

namespace pelmora {

inline constexpr unsigned char kFrameStart0 = 0xA0;
inline constexpr unsigned char kFrameStart1 = 0xA1;

// One byte at a time with the transport's result convention.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // 1: a byte was stored; -1: nothing arrived within the poll bound; 0: cancelled, a failed
    // request or a closed source.
    virtual int ReadByte(unsigned char* byte) = 0;
    // True while a stop has been asked for; assembly ends after the byte in hand.
    virtual bool CancelRequested() const = 0;
};

// Assembles one NMEA line or binary frame into buffer (capacity + 1 bytes). A line ends at CR LF:
// the result counts the bytes before the LF and a NUL follows the LF. The pair A0 A1 restarts the
// buffer with a frame, dropping whatever came before it. Stops at capacity (result capacity), on
// a time-out or a cancel (result: the bytes so far). The byte after the counted ones is always
// NUL, so the buffer is a terminated string however assembly ended.
int AssembleLine(ByteSource& source, unsigned char* buffer, int capacity);

// As AssembleLine, but once A0 A1 is seen the frame is read by its length byte (A0 A1, length,
// payload, checksum, CR LF), so payload bytes 0D 0A never cut a reply. The result is the number
// of bytes stored: n + 7 for a whole frame, the bytes up to and including the LF for a text line.
// A NUL follows the stored bytes when there is room (buffer of capacity + 1 bytes).
int AssembleReply(ByteSource& source, unsigned char* buffer, int capacity);

// A byte source over a fixed buffer: after the last byte every read times out (-1), or reports
// a failed request (0) when hangUp is set, the way a line that went away does.
class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(std::vector<unsigned char> bytes, bool hangUp = false);

    int ReadByte(unsigned char* byte) override;
    bool CancelRequested() const override { return cancel_.load(); }

    // Cancel once `afterBytes` more bytes have been delivered (0: at once).
    void CancelAfter(std::size_t afterBytes);
    std::size_t Consumed() const { return pos_; }
    std::size_t Remaining() const { return bytes_.size() - pos_; }

  private:
    std::vector<unsigned char> bytes_;
    std::size_t pos_ = 0;
    bool hangUp_;
    std::size_t cancelAt_ = static_cast<std::size_t>(-1);
    std::atomic<bool> cancel_{false};
};

}  // namespace pelmora
