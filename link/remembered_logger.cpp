#include "link/remembered_logger.h"

#include <algorithm>
#include <cctype>

#include "core/conversion_settings.h"

namespace pelmora {
namespace {

constexpr std::string_view kUsbPrefix = "usb:";

bool IsUsbId(const std::string& text) {
    return text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

// A rule value is a glob pattern between double quotes: only characters that match themselves.
bool SafeInRule(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ||
               c == '.' || c == ':' || c == '+' || c == ' ';
    });
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

LoggerIdentity ParseLoggerIdentity(const std::string& text) {
    LoggerIdentity identity;
    if (text.rfind(kUsbPrefix, 0) != 0) {
        identity.path = text;
        return identity;
    }
    const std::string rest = text.substr(kUsbPrefix.size());
    const std::size_t a = rest.find(':');
    const std::size_t b = a == std::string::npos ? a : rest.find(':', a + 1);
    if (b == std::string::npos) {
        return {};
    }
    identity.vendor = Lower(rest.substr(0, a));
    identity.product = Lower(rest.substr(a + 1, b - a - 1));
    identity.serial = rest.substr(b + 1);
    if (!IsUsbId(identity.vendor) || !IsUsbId(identity.product) || identity.serial.empty()) {
        return {};
    }
    return identity;
}

std::string IdentityText(const LoggerIdentity& identity) {
    if (identity.IsUsb()) {
        return std::string(kUsbPrefix) + identity.vendor + ":" + identity.product + ":" +
               identity.serial;
    }
    return identity.path;
}

std::string IdentityLabel(const LoggerIdentity& identity) {
    if (identity.IsUsb()) {
        return "the USB logger " + identity.vendor + ":" + identity.product + " (serial " +
               identity.serial + ")";
    }
    return "the logger on " + identity.path;
}

LoggerIdentity LoadRememberedLogger(const ProfileStore& profile) {
    return ParseLoggerIdentity(profile.ProfileReadText(kSectionSerial, kKeyAutoSyncDevice, ""));
}

void SaveRememberedLogger(ProfileStore& profile, const LoggerIdentity& identity) {
    profile.ProfileWriteText(kSectionSerial, kKeyAutoSyncDevice, IdentityText(identity));
}

std::string UdevRuleText(const LoggerIdentity& identity, std::string& problem) {
    problem.clear();
    if (identity.empty()) {
        problem =
            "no logger is remembered: tick \"Download automatically when this logger is "
            "plugged in\" in the Serial Port Setting dialog first";
        return {};
    }
    if (!identity.IsUsb()) {
        problem = identity.path +
                  ": udev reports no USB vendor, product and serial number for this logger, and "
                  "a rule for its chip alone would take every such adapter; use the dialout "
                  "group instead";
        return {};
    }
    if (!IsUsbId(identity.vendor) || !IsUsbId(identity.product) || !SafeInRule(identity.serial)) {
        problem = "the serial number \"" + identity.serial +
                  "\" holds characters a udev rule cannot match as they stand; use the dialout "
                  "group instead";
        return {};
    }
    // ATTRS match the USB device itself, where vendor, product and serial sit together.
    return "# " + std::string(kUdevRuleName) +
           ": written by pelmora-cli udev-rule for the remembered logger only.\n"
           "# The user at the seat gets its port without the dialout group; ModemManager does "
           "not probe it\n# and gpsd's hot-plug start (60-gpsd.rules) is cleared, so Pelmora "
           "finds the port free.\n"
           "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"" +
           identity.vendor + "\", ATTRS{idProduct}==\"" + identity.product +
           "\", ATTRS{serial}==\"" + identity.serial +
           "\", TAG+=\"uaccess\", ENV{ID_MM_DEVICE_IGNORE}=\"1\", ENV{SYSTEMD_WANTS}=\"\"\n";
}

}  // namespace pelmora
