#pragma once
// A scripted peer on the master side of a pseudo-terminal: the test's stand-in for a receiver.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pelmora::test {

class PtyPeer {
  public:
    using Bytes = std::vector<unsigned char>;
    // Called on the peer's thread with each whole frame the client wrote; returns the answer.
    using Responder = std::function<Bytes(const Bytes& frame)>;

    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }

    // Set before Start.
    void SetResponder(Responder responder) { responder_ = std::move(responder); }
    // Sends these bytes every period while running (a receiver's own output).
    void SetStream(Bytes bytes, std::chrono::milliseconds period) {
        stream_ = std::move(bytes);
        period_ = period;
    }

    void Start();
    void Stop();
    // Writes bytes to the client now (from the test's thread).
    void Send(const Bytes& bytes);
    // Closes the master: the client's line hangs up.
    void HangUp();

    Bytes Received() const;
    int FramesReceived() const { return frames_.load(); }
    // Waits (bounded) until at least count bytes came from the client.
    bool WaitForBytes(std::size_t count, std::chrono::milliseconds bound) const;

  private:
    void Run();
    void WriteAll(const Bytes& bytes);

    int master_ = -1;
    std::string slavePath_;
    Responder responder_;
    Bytes stream_;
    std::chrono::milliseconds period_{0};
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> frames_{0};
    mutable std::mutex mutex_;
    Bytes received_;  // guarded
    std::mutex writeMutex_;
};

// Waits (bounded) until pred holds; true when it did.
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds bound);

PtyPeer::Bytes FrameOf(const PtyPeer::Bytes& payload);

}  // namespace pelmora::test
