#pragma once
// The receiver object: binary frames, the reply wait, and the reader thread that reads the
// receiver's NMEA text while no command runs.
//
// Thread contract: the owner (the device thread) calls SetPort, SetListener, StartReader,
// StopReader and the commands, one at a time; while the reader runs, nothing else reads the port.
// The listener is called on the reader thread. `link` is read from any thread.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>

#include "link/link_state.h"
#include "link/serial_port.h"

namespace pelmora {

// Reply kinds of FrameKind for the ids the library knows; any other id gives itself.
inline constexpr int kKindLogStatus = 6;        // id 0x94
inline constexpr int kKindSoftwareFeature = 8;  // id 0x85
inline constexpr int kKindDeviceId = 208;       // id 0xD0

inline constexpr int kMaxPayload = 255;
inline constexpr int kFrameOverhead = 7;

// What the reader thread tells while no command runs.
class LinkListener {
  public:
    virtual ~LinkListener() = default;
    // One line of the receiver's text, as it arrived (up to its CR LF).
    virtual void OnNmeaLine(std::string_view line) = 0;
    // The line went away under the open port (an unplugged adapter, a closed peer): the reader
    // has ended.
    virtual void OnLineLost() = 0;
};

class ReceiverProtocol {
  public:
    static constexpr int kLineCapacity = 1024;
    static constexpr int kLineBufferSize = 1028;
    static constexpr int kReplyCapacity = 512;
    // An idle reader's one wait for a byte per turn: a silent line wakes it four times a second.
    static constexpr int kReaderWaitMs = 250;
    static constexpr int kStopGraceMs = 100;
    // A reader that has not ended this long after the stop is reported (StopReader false).
    static constexpr int kStopJoinMs = 3000;
    // The reply wait after an ACK ends after this long without the wanted frame.
    static constexpr int kReplyWaitMs = 3000;

    ReceiverProtocol();
    virtual ~ReceiverProtocol();
    ReceiverProtocol(const ReceiverProtocol&) = delete;
    ReceiverProtocol& operator=(const ReceiverProtocol&) = delete;

    // Writes A0 A1 00 n, the payload, the XOR of the payload, 0D 0A into dest (n + 7 bytes) and
    // returns n + 7; 0 when n is outside 0..255.
    static int BuildFrame(unsigned char* dest, const unsigned char* payload, int n);
    // The kind of a received frame of size valid bytes: 0 when its checksum does not match or the
    // frame is shorter than its length byte says; the kind code of the id otherwise.
    static int FrameKind(const unsigned char* frame, int size);

    // The port is not owned; set it after a successful Open (nullptr detaches).
    void SetPort(SerialPort* port) { port_ = port; }
    SerialPort* Port() const { return port_; }

    // The reply wait used after an ACK: reads replies (by length) with capacity 512 until one has
    // the wanted kind's low byte. Returns the frame's size (> 0), or 0 when none came within
    // waitMs, or at once on a cancel, a hang-up or a port that is not connected. buffer holds at
    // least kReplyCapacity + 1 bytes.
    int WaitReply(int kind, unsigned char* buffer, int waitMs = kReplyWaitMs);

    // Clears the port's cancel and starts the reader loop on its own thread; false when one still
    // runs.
    bool StartReader();
    // Stops it: sets the stop and cancel flags, waits 100 ms, waits (bounded) for the thread's
    // end, clears both flags. False when the thread did not end in time (it is then left with
    // its flags set and joined by the next StopReader or the destructor).
    bool StopReader();
    bool ReaderRunning() const { return readerRunning_.load(); }

    // Not owned; set while the reader is stopped (nullptr: nobody listens).
    void SetListener(LinkListener* listener) { listener_.store(listener); }

    LinkState link;

  protected:
    void ReaderLoop();

  private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> readerRunning_{false};
    std::thread reader_;
    std::mutex finishMutex_;
    std::condition_variable finishCv_;
    bool readerFinished_ = true;  // guarded by finishMutex_
    unsigned char line_[kLineBufferSize] = {};
    SerialPort* port_ = nullptr;
    std::atomic<LinkListener*> listener_{nullptr};
};

}  // namespace pelmora
