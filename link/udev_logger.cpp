#include "link/udev_logger.h"

#include <limits.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "link/udev_ptr.h"

namespace pelmora {
namespace {

// The USB device above a tty, where idVendor, idProduct and serial sit together (what the rule's
// ATTRS match).
udev_device* UsbParent(udev_device* tty) {
    return udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
}

std::string Attribute(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    return value != nullptr ? value : "";
}

bool Matches(udev_device* tty, const LoggerIdentity& identity) {
    udev_device* usb = UsbParent(tty);
    return usb != nullptr && Attribute(usb, "idVendor") == identity.vendor &&
           Attribute(usb, "idProduct") == identity.product &&
           Attribute(usb, "serial") == identity.serial;
}

}  // namespace

LoggerIdentity IdentityOfPort(const std::string& path) {
    LoggerIdentity identity;
    identity.path = path;
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real) == nullptr) {
        return identity;
    }
    const std::string node = real;
    UdevPtr<udev> context(udev_new());
    if (!context) {
        return identity;
    }
    const std::string name = node.substr(node.find_last_of('/') + 1);
    UdevPtr<udev_device> tty(
        udev_device_new_from_subsystem_sysname(context.get(), "tty", name.c_str()));
    if (!tty) {
        return identity;
    }
    if (udev_device* usb = UsbParent(tty.get())) {
        const std::string serial = Attribute(usb, "serial");
        if (!serial.empty()) {
            LoggerIdentity usbIdentity;
            usbIdentity.vendor = Attribute(usb, "idVendor");
            usbIdentity.product = Attribute(usb, "idProduct");
            usbIdentity.serial = serial;
            if (ParseLoggerIdentity(IdentityText(usbIdentity)).IsUsb()) {
                return usbIdentity;
            }
        }
    }
    // No serial number: the by-id name still names this adapter on whichever port it gets.
    udev_list_entry* link = nullptr;
    udev_list_entry_foreach(link, udev_device_get_devlinks_list_entry(tty.get())) {
        const std::string linkName = udev_list_entry_get_name(link);
        if (linkName.rfind("/dev/serial/by-id/", 0) == 0) {
            identity.path = linkName;
            break;
        }
    }
    return identity;
}

std::string FindUsbPort(const LoggerIdentity& identity) {
    if (!identity.IsUsb()) {
        return {};
    }
    UdevPtr<udev> context(udev_new());
    if (!context) {
        return {};
    }
    UdevPtr<udev_enumerate> scan(udev_enumerate_new(context.get()));
    // Matched on the USB device's own attributes, as the rule matches them (udev's ID_SERIAL_SHORT
    // has spaces and odd characters replaced).
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0) {
        return {};
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        UdevPtr<udev_device> tty(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (tty && Matches(tty.get(), identity)) {
            const char* node = udev_device_get_devnode(tty.get());
            if (node != nullptr && *node != '\0') {
                return node;
            }
        }
    }
    return {};
}

UdevWatch::UdevWatch(LoggerIdentity identity) : identity_(std::move(identity)) {
    udev_ = udev_new();
    if (udev_ == nullptr) {
        return;
    }
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ != nullptr &&
        (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
         udev_monitor_enable_receiving(monitor_) < 0)) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
}

UdevWatch::~UdevWatch() {
    if (monitor_ != nullptr) {
        udev_monitor_unref(monitor_);
    }
    if (udev_ != nullptr) {
        udev_unref(udev_);
    }
}

int UdevWatch::EventFd() {
    return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
}

bool UdevWatch::Drain(std::string& /*error*/) {
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        udev_device_unref(device);
    }
    return true;
}

std::unique_ptr<DeviceWatch> WatchFor(const LoggerIdentity& identity) {
    if (identity.IsUsb()) {
        return std::make_unique<UdevWatch>(identity);
    }
    return std::make_unique<PathWatch>(identity.path);
}

}  // namespace pelmora
