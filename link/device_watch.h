#pragma once
// Waiting for a logger to be plugged in or out, without polling: the wait blocks until the
// system reports a change that may concern the device (inotify for a path, udev's events for a
// USB logger) and then looks again. Nothing wakes it while nothing changes.
//
// Thread contract: one thread uses a watch at a time. Stop() may come from any thread (and from
// a signal handler: it only writes to a pipe).
#include <string>

namespace pelmora {

class DeviceWatch {
  public:
    DeviceWatch();
    virtual ~DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    // The port to open when the logger is there; empty when it is not.
    virtual std::string Present() = 0;

    // Blocks until Present() is non-empty (present) or empty (!present). False when stopped or
    // when the system's events cannot be had (error says why).
    [[nodiscard]] bool WaitUntil(bool present, std::string& error);
    void Stop();
    // Wake-ups so far (each a return from the blocking wait).
    unsigned long wakeUps() const { return wakeUps_; }

  protected:
    // The descriptor that becomes readable on a change; -1 when it could not be set up.
    virtual int EventFd() = 0;
    // Reads the pending events and arms anew; false on an error.
    virtual bool Drain(std::string& error) = 0;
    // The device went since the last call, even if it is back already (an unplug and a replug
    // between two looks count as one each).
    virtual bool TakeVanished() { return false; }

  private:
    int stopPipe_[2] = {-1, -1};
    unsigned long wakeUps_ = 0;
};

// A device path: the folder that holds it is watched (the nearest one that exists, while it is
// missing), and, while the path is a symbolic link, the folder of what it points to, so a link
// to a pseudo-terminal and a /dev/serial/by-id name both count as gone once their device is.
class PathWatch : public DeviceWatch {
  public:
    explicit PathWatch(std::string path);
    ~PathWatch() override;

    std::string Present() override;

  protected:
    int EventFd() override;
    bool Drain(std::string& error) override;
    bool TakeVanished() override;

  private:
    bool Arm(std::string& error);

    std::string path_;
    std::string name_;  // the path's last part, as the folder's events name it
    int fd_ = -1;
    bool vanished_ = false;
};

}  // namespace pelmora
