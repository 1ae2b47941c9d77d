#include "settings/udev_port_enumerator.h"

#include <libudev.h>

#include <memory>

namespace pelmora {
namespace {
struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;
}  // namespace

std::vector<std::string> UdevPortEnumerator::EnumerateComPorts() const {
    std::vector<std::string> paths;
    UdevPtr<udev> context(udev_new());
    if (!context) {
        return paths;
    }
    UdevPtr<udev_enumerate> scan(udev_enumerate_new(context.get()));
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0) {
        return paths;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        const char* syspath = udev_list_entry_get_name(entry);
        if (syspath == nullptr) {
            continue;
        }
        UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), syspath));
        if (!device) {
            continue;
        }
        // Virtual consoles and pseudo-terminals have no parent device; serial hardware has.
        // The parent is owned by the child and must not be unreferenced.
        if (udev_device_get_parent(device.get()) == nullptr) {
            continue;
        }
        const char* node = udev_device_get_devnode(device.get());
        if (node != nullptr && *node != '\0') {
            paths.emplace_back(node);
        }
    }
    return paths;
}

}  // namespace pelmora
