#include "ui/udev_port_monitor.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstring>

namespace pelmora {

UdevPortMonitor::UdevPortMonitor(QObject* parent) : QObject(parent) {
    // Without udev (a container, a chroot) the list is simply not refreshed.
    m_udev = udev_new();
    if (m_udev == nullptr) {
        return;
    }
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        return;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdevPortMonitor::OnEvent);
}

UdevPortMonitor::~UdevPortMonitor() {
    delete m_notifier;
    if (m_monitor != nullptr) {
        udev_monitor_unref(m_monitor);
    }
    if (m_udev != nullptr) {
        udev_unref(m_udev);
    }
}

void UdevPortMonitor::OnEvent() {
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        const char* action = udev_device_get_action(device);
        if (action != nullptr &&
            (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
            changed = true;
        }
        udev_device_unref(device);
    }
    if (changed) {
        emit portsChanged();
    }
}

}  // namespace pelmora
