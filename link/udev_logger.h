#pragma once
// The remembered logger as udev knows it: the identity of a port (USB vendor, product and serial
// number, else its /dev/serial/by-id name, else its path), the port a USB identity has now, and
// a wait on udev's events for it.
#include <memory>
#include <string>

#include "link/device_watch.h"
#include "link/remembered_logger.h"

struct udev;
struct udev_monitor;

namespace pelmora {

// What to remember for the port at path. A path udev does not know (a pseudo-terminal, a link
// to one) is remembered as it is.
LoggerIdentity IdentityOfPort(const std::string& path);
// The device node of the tty with this USB identity; empty when it is not plugged in.
std::string FindUsbPort(const LoggerIdentity& identity);

// Waits on udev's tty events (after udev has set the node's permissions and links).
class UdevWatch : public DeviceWatch {
  public:
    explicit UdevWatch(LoggerIdentity identity);
    ~UdevWatch() override;

    std::string Present() override { return FindUsbPort(identity_); }

  protected:
    int EventFd() override;
    bool Drain(std::string& error) override;

  private:
    LoggerIdentity identity_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

// A watch for the identity: udev's events for a USB one, the path's folder otherwise.
std::unique_ptr<DeviceWatch> WatchFor(const LoggerIdentity& identity);

}  // namespace pelmora
