#pragma once
// The Serial Port Setting dialog shown at start-up: a port (or "None" to work offline) and a
// baud rate, read from the profile section "Serial" on opening and written back only on OK.
// Beside each path its list says what is behind it, and the list follows devices plugged in
// and out while the dialog is open.
#include <QDialog>
#include <memory>
#include <string>

#include "core/profile_store.h"
#include "link/port_list.h"
#include "link/remembered_logger.h"

namespace Ui {
class CSetDlg;
}
class QCheckBox;
class QComboBox;
class QLabel;

namespace pelmora {

class CSetDlg : public QDialog {
    Q_OBJECT

  public:
    // The profile and the enumerator must outlive the dialog. The port list is built on opening.
    CSetDlg(ProfileStore& profile, const PortEnumerator& ports, QWidget* parent = nullptr);
    ~CSetDlg() override;

    // After OK: the chosen port text ("None" or a device path) and rate text ("4800").
    QString portText() const { return m_portText; }
    QString baudRateText() const { return m_baudRateText; }
    // The rate in bit/s after OK, 0 before.
    int baudRate() const { return m_baudRateText.toInt(); }
    // True after OK on "None": work without a logger.
    bool isOffline() const { return m_portText == QLatin1String(kPortNone); }
    // After OK: "Download automatically when this logger is plugged in" was turned on or off
    // (Serial/AutoSyncDevice written); the logger remembered now, empty when none.
    bool autoSyncChanged() const { return m_autoSyncChanged; }
    const LoggerIdentity& rememberedLogger() const { return m_remembered; }

  public slots:
    void accept() override;
    // Lists the ports anew (a device came or went), keeping the user's choice.
    void RefreshPorts();

  private:
    void OnInitDialog();
    void FillPortList(const std::string& selected);
    void ShowPortInfo();

    std::unique_ptr<Ui::CSetDlg> m_ui;
    ProfileStore& m_profile;
    const PortEnumerator& m_ports;
    QLabel* m_portInfo = nullptr;
    QComboBox* m_downloadRate = nullptr;  // Serial/DownloadRate
    QCheckBox* m_fullRead = nullptr;      // Serial/FullRead
    QCheckBox* m_autoSync = nullptr;      // Serial/AutoSyncDevice
    LoggerIdentity m_remembered;
    bool m_autoSyncChanged = false;
    QString m_portText;
    QString m_baudRateText;
};

}  // namespace pelmora
