#include "settings/set_dlg.h"

#include "settings/conversion_settings.h"
#include "settings/qt_text.h"
#include "ui_set_dlg.h"

namespace pelmora {

CSetDlg::CSetDlg(ProfileStore& profile, const PortEnumerator& ports, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CSetDlg>()), m_profile(profile), m_ports(ports) {
    m_ui->setupUi(this);
    OnInitDialog();
}

CSetDlg::~CSetDlg() = default;

void CSetDlg::OnInitDialog() {
    setWindowTitle(QtText(IDS_SERIAL_PORT_SETTING));
    m_ui->comPortLabel->setText(QtText(IDS_COM_PORT));
    m_ui->baudRateLabel->setText(QtText(IDS_BAUD_RATE));
    m_ui->okButton->setText(QtText(IDS_OK));

    const std::string storedPort =
        m_profile.ProfileReadText(kSectionSerial, "ComPort", kDefaultComPort);
    const std::string storedRate =
        m_profile.ProfileReadText(kSectionSerial, "BaudRate", kDefaultBaudRate);

    const PortChoices choices =
        BuildPortChoices(SortPortNames(m_ports.EnumerateComPorts()), storedPort);
    m_ui->portList->clear();
    for (const std::string& entry : choices.entries) {
        m_ui->portList->addItem(QString::fromStdString(entry));
    }
    m_ui->portList->setCurrentIndex(choices.selected);

    m_ui->baudRateList->clear();
    for (const std::string& rate : BaudRateTexts()) {
        m_ui->baudRateList->addItem(QString::fromStdString(rate));
    }
    m_ui->baudRateList->setCurrentIndex(BaudRateIndex(storedRate));
}

void CSetDlg::accept() {
    // The port list is editable so a path the scan does not find can be typed; a typed text
    // equal to a listed entry but for case takes the entry's spelling.
    QString port = m_ui->portList->currentText().trimmed();
    if (port.isEmpty()) {
        port = QLatin1String(kPortNone);
    }
    if (m_ui->portList->findText(port, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0) {
        const int listed = m_ui->portList->findText(port, Qt::MatchFixedString);
        if (listed >= 0) {
            port = m_ui->portList->itemText(listed);
        }
    }
    m_portText = port;
    m_baudRateText = m_ui->baudRateList->currentText();
    m_profile.ProfileWriteText(kSectionSerial, "ComPort", m_portText.toStdString());
    m_profile.ProfileWriteText(kSectionSerial, "BaudRate", m_baudRateText.toStdString());
    QDialog::accept();
}

}  // namespace pelmora
