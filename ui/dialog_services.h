#pragma once
// The window's port choice and Application Setting dialog, backed by the settings dialogs.
#include <string>
#include <vector>

#include "core/profile_store.h"
#include "core/time_zone_catalogue.h"
#include "link/port_list.h"
#include "ui/window_services.h"

namespace pelmora {

// The system's ports, and the built-in simulated logger's path offered beside them.
class ExtendedPortEnumerator : public PortEnumerator {
  public:
    ExtendedPortEnumerator(const PortEnumerator& system, std::vector<std::string> extra)
        : m_system(system), m_extra(std::move(extra)) {}
    std::vector<std::string> EnumerateComPorts() const override;
    std::vector<PortInfo> EnumeratePorts() const override;

  private:
    const PortEnumerator& m_system;
    std::vector<std::string> m_extra;
};

class SetDlgPortChooser : public PortChooser {
  public:
    // boxes: what the download service and the udev rule of a newly remembered logger say.
    SetDlgPortChooser(ProfileStore& profile, const PortEnumerator& ports, MessageBoxes& boxes)
        : m_profile(profile), m_ports(ports), m_boxes(boxes) {}
    PortChoice ChoosePort(QWidget* parent) override;

  private:
    ProfileStore& m_profile;
    const PortEnumerator& m_ports;
    MessageBoxes& m_boxes;
};

class TimeDlgSettingsEditor : public SettingsEditor {
  public:
    TimeDlgSettingsEditor(ProfileStore& profile, const TimeZoneSource& zones)
        : m_profile(profile), m_zones(zones) {}
    bool EditSettings(QWidget* parent) override;

  private:
    ProfileStore& m_profile;
    const TimeZoneSource& m_zones;
};

}  // namespace pelmora
