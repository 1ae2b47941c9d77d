#pragma once
// The byte transport to the logger's receiver: one tty device (a USB or Bluetooth serial port,
// or a pseudo-terminal) on POSIX termios, raw 8N1 without flow control.
//
// Every read sleeps in poll() on the port and on a cancel descriptor of its own until bytes come,
// the wait's bound passes or a cancel arrives: a silent line costs no turns of a loop.
//
// Thread contract: one thread at a time opens, closes, reads and writes (the device thread; the
// receiver's reader loop and the commands take turns under StopReader/StartReader). SetCancel,
// CancelRequested, IsConnected, HungUp, LostErrno, WakeUps and BaudRate may be called from any
// thread; SetCancel(1) also from a signal handler. LastError and LastErrno belong to the thread
// that called Open. The write observer is set before use.
#include <termios.h>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
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
    // How long a read waits for its next byte unless told otherwise.
    static constexpr std::chrono::milliseconds kByteWait{100};
    static constexpr int kAckAttempts = 10;
    static constexpr int kAckWaitMs = 1000;  // per attempt
    static constexpr int kAckLineCapacity = 1024;

    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device path at the rate (bit/s). False when it cannot: LastError says why
    // (missing, busy, permission denied, not a serial device, unsupported rate). Busy also when
    // another process has the terminal open without a lock, found before the line is set up and
    // named in the message. A failure after the device was opened releases it, so a later Open of
    // the same path is not refused.
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
    // At most max bytes of what the line holds, waiting up to `wait` for the first: > 0, or 0 on
    // a time-out, a cancel, a failure or when not connected.
    int ReadAvailable(unsigned char* buffer, int max, std::chrono::milliseconds wait = kByteWait);
    // One byte: 1 stored, -1 when none came within the byte wait (kByteWait, or the one of the
    // ReadLine or ReadReply in progress), 0 on cancel, failure or not opened.
    int ReadByte(unsigned char* byte) override;
    bool CancelRequested() const override { return cancel_.load(); }
    // One line or frame (AssembleLine) into buffer of capacity + 1 bytes, each byte awaited up to
    // byteWait; 0 when not connected.
    int ReadLine(unsigned char* buffer, int capacity,
                 std::chrono::milliseconds byteWait = kByteWait);
    // One reply frame read by its length, or a text line (AssembleReply); 0 when not connected.
    int ReadReply(unsigned char* buffer, int capacity,
                  std::chrono::milliseconds byteWait = kByteWait);
    // Nonzero ends every read and wait in progress at once, and each later one before it
    // starts, until SetCancel(0). Async-signal-safe for a nonzero flag (an atomic store and a
    // write(2) on the cancel descriptor).
    void SetCancel(int flag);
    bool IsConnected() const { return connected_.load(); }
    // The line went away under an open port (an unplugged adapter, a closed pseudo-terminal
    // peer, poll's POLLHUP or POLLERR, a read's EIO): reads fail at once and the ACK wait gives
    // up without its ten attempts. LostErrno is the failed call's errno (0 for a poll event).
    bool HungUp() const { return hungUp_.load(); }
    int LostErrno() const { return lostErrno_.load(); }
    // How often a wait of this port has returned from poll(): what a silent line costs.
    std::uint64_t WakeUps() const { return wakeUps_.load(std::memory_order_relaxed); }

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

    // How long since the line last carried something well-formed: an ACK or NACK, a reply frame
    // with its checksum right, or a whole range (since the open, or the last MarkAnswered). Bytes
    // alone do not count: a line garbled by a wrong rate carries bytes and nothing else.
    std::chrono::milliseconds SinceLastAnswer() const;
    void MarkAnswered();
    // A line without an answer this long counts as dead: the ACK wait gives up at once (0: never).
    void SetDeadLineLimit(std::chrono::milliseconds limit) { deadLimitMs_.store(limit.count()); }
    bool LineDead() const;

    // True when the rate (bit/s) is one the line can be set to.
    static bool IsSupportedRate(int baudRate);

  private:
    enum class Wait : std::uint8_t { Readable, TimedOut, Cancelled, Lost };
    int PollRead(unsigned char* buffer, int max, std::chrono::milliseconds wait);
    Wait WaitReadable(std::chrono::milliseconds wait);
    void LoseLine(int e);
    void DrainCancel();
    std::size_t WriteChunk(const unsigned char* data, std::size_t k);
    bool Fail(LinkError error);
    void ReleaseHandle();

    std::atomic<bool> cancel_{false};
    int cancelFd_ = -1;  // an eventfd, readable while a cancel is pending
    std::chrono::milliseconds byteWait_ = kByteWait;
    std::atomic<std::uint64_t> wakeUps_{0};
    std::atomic<int> lostErrno_{0};
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
