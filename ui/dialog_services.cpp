#include "ui/dialog_services.h"

#include "ui/auto_sync.h"
#include "ui/set_dlg.h"
#include "ui/time_dlg.h"
#include "ui/window_texts.h"

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
    if (choice.accepted && dlg.autoSyncChanged()) {
        // The service downloads the remembered logger while the window is closed; the rule
        // gives the user its port and keeps other programs off it.
        const bool on = !dlg.rememberedLogger().empty();
        QString error;
        if (!SetSyncService(on, error)) {
            m_boxes.Show(parent, QLatin1String(kWindowTitle),
                         QStringLiteral("The download service was not %1 (%2). By hand: "
                                        "systemctl --user %3 --now %4")
                             .arg(on ? QStringLiteral("started") : QStringLiteral("stopped"), error,
                                  on ? QStringLiteral("enable") : QStringLiteral("disable"),
                                  QLatin1String(kSyncServiceName)),
                         BoxIcon::Warning);
        }
        if (on && dlg.rememberedLogger().IsUsb()) {
            OfferUdevRule(parent, m_boxes, dlg.rememberedLogger());
        }
    }
    return choice;
}

bool TimeDlgSettingsEditor::EditSettings(QWidget* parent) {
    CTimeDlg dlg(m_profile, m_zones, nullptr, parent);
    return dlg.exec() == QDialog::Accepted;
}

}  // namespace pelmora
