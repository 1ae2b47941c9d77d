#pragma once
// The byte transport to the logger's receiver: one tty device (a USB or Bluetooth serial port,
// or a pseudo-terminal) on POSIX termios, raw 8N1 without flow control.
//
// Thread contract: one thread at a time opens, closes, reads and writes (the device thread; the
// receiver's reader loop and the commands take turns under StopReader/StartReader). SetCancel,
// CancelRequested, IsConnected and BaudRate may be called from any thread. LastError and
// LastErrno belong to the thread that called Open. The write observer is set before use.
#include <termios.h>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "link/byte_source.h"
#include "link/command_result.h"
#include "link/link_error.h"

namespace pelmora {

// What a received frame says of the command before it.
enum class ReplyKind : std::uint8_t { Other, Ack, Nack };

inline constexpr unsigned char kAckId = 0x83;
inline constexpr unsigned char kNackId = 0x84;

class SerialPort : public ByteSource {
  public:
    static constexpr std::size_t kChunkSize = 512;  // bytes per write request
    static constexpr int kWriteWaitMs = 1000;       // per chunk, for room on the line
    static constexpr int kEmptyPolls = 100;         // a read gives up after this many
    static constexpr int kAckAttempts = 10;
    static constexpr int kAckWaitMs = 1000;  // per attempt
    static constexpr int kAckLineCapacity = 1024;

    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device path at the rate (bit/s). False when it cannot: LastError says why
    // (missing, busy, permission denied, not a serial device, unsupported rate). A failure after
    // the device was opened releases it, so a later Open of the same path is not refused.
    bool Open(const std::string& path, int baudRate);
    // Safe to call when closed.
    void Close();
    // Changes the rate of the open port in place (the download's switch to 57600 and back).
    bool ChangeRate(int baudRate);

    // Drops pending input; output is not aborted.
    void FlushInput();
    // Sends n bytes in chunks of at most 512, each given at most 1000 ms for room on the line.
    // Returns n, or 0 when not opened; a chunk that cannot go out is not reported (the ACK wait
    // is what detects a lost frame).
    int Write(const unsigned char* data, int n);
    // At most max bytes of what the line holds: > 0, or 0 on a time-out (100 empty polls about
    // 1 ms apart), a cancel, a failure or when not connected.
    int ReadAvailable(unsigned char* buffer, int max);
    // One byte: 1 stored, -1 time-out after 100 empty polls, 0 on cancel, failure or not opened.
    int ReadByte(unsigned char* byte) override;
    bool CancelRequested() const override { return cancel_.load(); }
    // One line or frame (AssembleLine) into buffer of capacity + 1 bytes; 0 when not connected.
    int ReadLine(unsigned char* buffer, int capacity);
    // One reply frame read by its length, or a text line (AssembleReply); 0 when not connected.
    int ReadReply(unsigned char* buffer, int capacity);
    // Nonzero makes the polling reads give up at their next poll with 0.
    void SetCancel(int flag);
    bool IsConnected() const { return connected_.load(); }
    // The line went away under an open port (an unplugged adapter, a closed pseudo-terminal
    // peer): reads fail at once and the ACK wait gives up without its ten attempts.
    bool HungUp() const { return hungUp_.load(); }

    // Ack when frame[0..1] are A0 A1, frame[last-1] is CR, frame[last] is LF, the id at offset 4
    // is 0x83 and the byte after it is nonzero; Nack for the same trailer with id 0x84; Other
    // otherwise, including when last is not within the size valid bytes. The checksum is not
    // checked here.
    static ReplyKind ClassifyReply(const unsigned char* frame, int size, int last);
    // Flushes input once, then up to 10 times writes the frame and waits up to 1000 ms for an
    // ACK or NACK: Done, Refused, NoAnswer, Disconnected (the line went away), Cancelled, or
    // NotConnected (nothing sent). Other frames and NMEA lines that arrive meanwhile are read
    // and dropped. attempts and waitMs shorten the wait for a probe that must not take ten
    // seconds.
    CommandResult SendAndWaitAck(const unsigned char* frame, int length,
                                 int attempts = kAckAttempts, int waitMs = kAckWaitMs);
    // When connected: FlushInput, then Write; no wait. Always true.
    bool SendOnly(const unsigned char* frame, int length);

    const std::string& PortPath() const { return path_; }
    int BaudRate() const { return baud_.load(); }
    // Why the last Open or ChangeRate failed, for the status log and the command line.
    const LinkError& LastLinkError() const { return error_; }
    const std::string& LastError() const { return error_.message; }
    int LastErrno() const { return error_.sysErrno; }

    // Called after every write request with the bytes asked for and the bytes that went out.
    using WriteObserver = std::function<void(std::size_t requested, std::size_t written)>;
    void SetWriteObserver(WriteObserver observer) { writeObserver_ = std::move(observer); }

    // Waits (bounded) until what was written has left the port: a rate change or a close
    // right after a send would otherwise garble the frame's last bytes.
    void DrainOutput();

    // How long no byte has arrived (since the open, or the last ResetSilence).
    std::chrono::milliseconds Silence() const;
    void ResetSilence();
    // A line silent this long counts as dead: the ACK wait gives up at once (0: never).
    void SetDeadLineLimit(std::chrono::milliseconds limit) { deadLimitMs_.store(limit.count()); }
    bool LineDead() const;

    // True when the rate (bit/s) is one the line can be set to.
    static bool IsSupportedRate(int baudRate);

  private:
    int PollRead(unsigned char* buffer, int max);
    std::size_t WriteChunk(const unsigned char* data, std::size_t k);
    bool Fail(LinkError error);
    void ReleaseHandle();

    std::atomic<bool> cancel_{false};
    int fd_ = -1;
    bool opened_ = false;
    std::atomic<bool> connected_{false};
    std::atomic<bool> hungUp_{false};
    std::string path_;
    std::atomic<int> baud_{0};
    std::atomic<std::int64_t> lastByteNs_{0};  // steady clock
    std::atomic<std::int64_t> deadLimitMs_{0};
    bool haveSaved_ = false;
    termios saved_{};
    LinkError error_;
    WriteObserver writeObserver_;
};

}  // namespace pelmora
