#pragma once
// Why the link to the logger cannot be used, said so that the user can act on it: the port is
// missing, busy (and which program holds it), forbidden (and how to get access), or what is on
// it is silent, unreadable at every rate, or no data logger. The window and pelmora-cli print
// the same text.
#include <cstdint>
#include <string>
#include <vector>

namespace pelmora {

enum class LinkFault : std::uint8_t {
    None,
    Missing,           // no such device (unplugged, switched off, a typo)
    Busy,              // another program holds it
    PermissionDenied,  // the user may not open it
    NotSerial,         // opened, but not a terminal device
    UnsupportedRate,   // the line cannot be set to the rate
    LineSetup,         // the terminal settings were refused
    Lost,              // the line went away under an open port
    Other,
    // What is on the port.
    Silent,       // nothing at all arrived at any rate
    WrongRate,    // bytes arrived, but no NMEA and no answer at any rate
    NotSwitched,  // found at another rate, and it did not go back to the configured one
    NotALogger,   // NMEA, but no answer to the device-ID query
};

struct LinkError {
    LinkFault fault = LinkFault::None;
    int sysErrno = 0;     // errno of the failed call, 0 when none
    std::string message;  // "<path>: <cause>", with what to do where there is something
    bool ok() const { return fault == LinkFault::None; }
};

// The error of an open of path that failed with errno e.
LinkError OpenError(const std::string& path, int e);
// Busy: a lock (flock) or an exclusive open (EBUSY) held by another program.
LinkError BusyError(const std::string& path, bool byLock);
// Busy, naming the holders found ("held by minicom (pid 4242)").
LinkError BusyError(const std::string& path, const std::vector<std::string>& holders);

// path answers NMEA but not the device-ID query.
LinkError NotALoggerError(const std::string& path);

// Processes that hold path: "minicom (pid 4242)". With byLock only the holders of a flock
// on it (from /proc/locks), otherwise every other process with it open (from /proc/*/fd), but
// for the one at a pseudo-terminal's master end. This process never counts.
std::vector<std::string> PortHolders(const std::string& path, bool byLock);
// How to get access to a device the user may not open: the group that owns it, or, for a USB
// device, the udev rule of the remembered logger.
std::string AccessAdvice(const std::string& path);

}  // namespace pelmora
