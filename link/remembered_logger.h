#pragma once
// The remembered logger: the one that is downloaded when it is plugged in. Its identity is kept
// in the profile ("Serial" "AutoSyncDevice") as text that survives replugging: "usb:VVVV:PPPP:
// SERIAL" (the USB vendor, product and serial number udev reports), or a path that names it
// whichever port it gets (a /dev/serial/by-id link, a simulated logger's pseudo-terminal or a
// link to one). Empty: no logger is remembered.
#include <string>

#include "core/profile_store.h"

namespace pelmora {

inline constexpr const char* kKeyAutoSyncDevice = "AutoSyncDevice";

struct LoggerIdentity {
    std::string path;  // when not a USB identity
    std::string vendor, product, serial;
    bool IsUsb() const { return !vendor.empty(); }
    bool empty() const { return path.empty() && vendor.empty(); }
};

// Parses the profile's text; a malformed "usb:" text is no identity.
LoggerIdentity ParseLoggerIdentity(const std::string& text);
std::string IdentityText(const LoggerIdentity& identity);
// "the logger on /dev/serial/by-id/usb-...", "the USB logger 067b:2303 (serial 12AB)".
std::string IdentityLabel(const LoggerIdentity& identity);

LoggerIdentity LoadRememberedLogger(const ProfileStore& profile);
void SaveRememberedLogger(ProfileStore& profile, const LoggerIdentity& identity);

// The udev rule of 70-pelmora.rules for this logger alone (vendor, product and serial, never a
// chip alone): its user gets the port without the dialout group, ModemManager leaves it
// unprobed and gpsd's hot-plug start is cleared. Empty, with the reason in problem, when the
// identity cannot be matched safely (a path, no serial number, characters a rule cannot hold).
std::string UdevRuleText(const LoggerIdentity& identity, std::string& problem);
inline constexpr const char* kUdevRuleName = "70-pelmora.rules";
inline constexpr const char* kUdevRulePath = "/etc/udev/rules.d/70-pelmora.rules";

}  // namespace pelmora
