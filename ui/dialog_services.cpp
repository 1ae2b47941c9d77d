#include "ui/dialog_services.h"

#include "ui/set_dlg.h"
#include "ui/time_dlg.h"

namespace pelmora {

std::vector<std::string> ExtendedPortEnumerator::EnumerateComPorts() const {
    std::vector<std::string> ports = m_extra;
    for (std::string& port : m_system.EnumerateComPorts()) {
        ports.push_back(std::move(port));
    }
    return ports;
}

std::vector<PortInfo> ExtendedPortEnumerator::EnumeratePorts() const {
    std::vector<PortInfo> ports;
    for (const std::string& path : m_extra) {
        ports.push_back({path, "Simulated logger"});
    }
    for (PortInfo& port : m_system.EnumeratePorts()) {
        ports.push_back(std::move(port));
    }
    return ports;
}

PortChoice SetDlgPortChooser::ChoosePort(QWidget* parent) {
    CSetDlg dlg(m_profile, m_ports, parent);
    PortChoice choice;
    choice.accepted = dlg.exec() == QDialog::Accepted;
    choice.port = dlg.portText();
    choice.baudRate = dlg.baudRateText();
    return choice;
}

bool TimeDlgSettingsEditor::EditSettings(QWidget* parent) {
    CTimeDlg dlg(m_profile, m_zones, nullptr, parent);
    return dlg.exec() == QDialog::Accepted;
}

}  // namespace pelmora
