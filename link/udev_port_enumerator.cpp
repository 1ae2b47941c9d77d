#include "link/udev_port_enumerator.h"

#include <algorithm>
#include <memory>
#include <string>

#include "link/udev_ptr.h"

namespace pelmora {
namespace {

std::string Property(udev_device* device, const char* name) {
    const char* value = udev_device_get_property_value(device, name);
    return value != nullptr ? value : "";
}

// "Vendor Model (by-id name)": the hardware database's names where udev has them, else the
// strings the USB device reports (underscores for spaces).
std::string Describe(udev_device* device) {
    std::string vendor = Property(device, "ID_VENDOR_FROM_DATABASE");
    if (vendor.empty()) {
        vendor = Property(device, "ID_VENDOR");
    }
    std::string model = Property(device, "ID_MODEL_FROM_DATABASE");
    if (model.empty()) {
        model = Property(device, "ID_MODEL");
    }
    std::string text = vendor;
    if (!model.empty()) {
        text += (text.empty() ? "" : " ") + model;
    }
    std::replace(text.begin(), text.end(), '_', ' ');
    udev_list_entry* link = nullptr;
    udev_list_entry_foreach(link, udev_device_get_devlinks_list_entry(device)) {
        const std::string name = udev_list_entry_get_name(link);
        const std::string byId = "/dev/serial/by-id/";
        if (name.rfind(byId, 0) == 0) {
            const std::string id = name.substr(byId.size());
            text += text.empty() ? id : " (" + id + ")";
            break;
        }
    }
    return text;
}
}  // namespace

std::vector<std::string> UdevPortEnumerator::EnumerateComPorts() const {
    std::vector<std::string> paths;
    for (PortInfo& port : EnumeratePorts()) {
        paths.push_back(std::move(port.path));
    }
    return paths;
}

std::vector<PortInfo> UdevPortEnumerator::EnumeratePorts() const {
    std::vector<PortInfo> paths;
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
            paths.push_back({node, Describe(device.get())});
        }
    }
    return paths;
}

}  // namespace pelmora
