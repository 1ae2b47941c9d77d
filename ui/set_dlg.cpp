#include "ui/set_dlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QLabel>
#include <QStandardItemModel>
#include <QTreeView>

#include "core/conversion_settings.h"
#include "core/download_settings.h"
#include "link/udev_logger.h"
#include "ui/qt_text.h"
#include "ui/udev_port_monitor.h"
#include "ui_set_dlg.h"

namespace pelmora {

CSetDlg::CSetDlg(ProfileStore& profile, const PortEnumerator& ports, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CSetDlg>()), m_profile(profile), m_ports(ports) {
    m_ui->setupUi(this);
    // The open list shows each path with what is behind it; the edit field keeps the bare path.
    auto* view = new QTreeView(m_ui->portList);
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    m_ui->portList->setView(view);
    // The list's own inline completion turned a typed "/dev/pts/1" into a listed "/dev/pts/10" on
    // Return; a popup only proposes. Case-sensitive, as paths are: it also keeps Return and
    // leaving the field from swapping the text for an entry spelled in another case.
    auto* completer = new QCompleter(m_ui->portList->model(), this);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    m_ui->portList->setCompleter(completer);
    m_portInfo = new QLabel(this);
    m_portInfo->setObjectName(QStringLiteral("portInfo"));
    auto* grid = static_cast<QGridLayout*>(layout());
    grid->addWidget(m_portInfo, 2, 0, 1, 2);
    // The Read's own settings go between the port and the buttons.
    QLayoutItem* buttons = grid->itemAtPosition(3, 0);
    if (buttons != nullptr) {
        grid->removeItem(buttons);
    }
    m_downloadRate = new QComboBox(this);
    m_downloadRate->setObjectName(QStringLiteral("downloadRateList"));
    m_downloadRate->addItem(QStringLiteral("Fastest"), 0);
    for (const int rate : {230400, 115200, 57600}) {
        m_downloadRate->addItem(QString::number(rate), rate);
    }
    grid->addWidget(new QLabel(QStringLiteral("Download speed"), this), 3, 0);
    grid->addWidget(m_downloadRate, 3, 1);
    m_fullRead = new QCheckBox(QStringLiteral("Always read the whole log"), this);
    m_fullRead->setObjectName(QStringLiteral("fullReadCheck"));
    grid->addWidget(m_fullRead, 4, 0, 1, 2);
    m_autoSync = new QCheckBox(
        QStringLiteral("Download automatically when this logger is plugged in"), this);
    m_autoSync->setObjectName(QStringLiteral("autoSyncCheck"));
    grid->addWidget(m_autoSync, 5, 0, 1, 2);
    if (buttons != nullptr) {
        grid->addItem(buttons, 6, 0, 1, 2);
    }
    connect(m_ui->portList, &QComboBox::currentIndexChanged, this, &CSetDlg::ShowPortInfo);
    connect(m_ui->portList, &QComboBox::editTextChanged, this, &CSetDlg::ShowPortInfo);
    auto* monitor = new UdevPortMonitor(this);
    connect(monitor, &UdevPortMonitor::portsChanged, this, &CSetDlg::RefreshPorts);
    OnInitDialog();
}

CSetDlg::~CSetDlg() {
    // ~QDialog hides a shown dialog, and the port field losing the focus may still select an
    // entry: nothing of this class may run by then.
    disconnect(m_ui->portList, nullptr, this, nullptr);
}

void CSetDlg::OnInitDialog() {
    setWindowTitle(QtText(IDS_SERIAL_PORT_SETTING));
    m_ui->comPortLabel->setText(QtText(IDS_COM_PORT));
    m_ui->baudRateLabel->setText(QtText(IDS_BAUD_RATE));
    m_ui->okButton->setText(QtText(IDS_OK));

    const std::string storedPort =
        m_profile.ProfileReadText(kSectionSerial, "ComPort", kDefaultComPort);
    const std::string storedRate =
        m_profile.ProfileReadText(kSectionSerial, "BaudRate", kDefaultBaudRate);

    FillPortList(storedPort);
    m_downloadRate->setCurrentIndex(
        std::max(0, m_downloadRate->findData(LoadDownloadRate(m_profile))));
    m_fullRead->setChecked(LoadFullRead(m_profile));
    // Ticked when the stored port is the remembered logger.
    m_remembered = LoadRememberedLogger(m_profile);
    m_autoSync->setChecked(!m_remembered.empty() &&
                           IdentityText(IdentityOfPort(storedPort)) == IdentityText(m_remembered));

    m_ui->baudRateList->clear();
    for (const std::string& rate : BaudRateTexts()) {
        m_ui->baudRateList->addItem(QString::fromStdString(rate));
    }
    m_ui->baudRateList->setCurrentIndex(BaudRateIndex(storedRate));
}

void CSetDlg::FillPortList(const std::string& selected) {
    const std::vector<PortInfo> ports = m_ports.EnumeratePorts();
    std::vector<std::string> paths;
    for (const PortInfo& p : ports) {
        paths.push_back(p.path);
    }
    const PortChoices choices = BuildPortChoices(SortPortNames(std::move(paths)), selected);
    auto* model = new QStandardItemModel(0, 2, m_ui->portList);
    for (const std::string& entry : choices.entries) {
        const QString info = QString::fromStdString(DescriptionOf(ports, entry));
        auto* path = new QStandardItem(QString::fromStdString(entry));
        path->setToolTip(info);
        auto* behind = new QStandardItem(info);
        behind->setToolTip(info);
        model->appendRow({path, behind});
    }
    m_ui->portList->setModel(model);  // the combo box deletes the model it owned before
    if (QCompleter* completer = m_ui->portList->completer()) {
        completer->setModel(model);
    }
    m_ui->portList->setCurrentIndex(choices.selected);
    if (auto* view = qobject_cast<QTreeView*>(m_ui->portList->view())) {
        view->resizeColumnToContents(0);
    }
    ShowPortInfo();
}

void CSetDlg::ShowPortInfo() {
    const int i = m_ui->portList->currentIndex();
    const bool listed = i >= 0 && m_ui->portList->itemText(i) == m_ui->portList->currentText();
    m_portInfo->setText(listed ? m_ui->portList->model()->index(i, 1).data().toString()
                               : QString());
}

void CSetDlg::RefreshPorts() {
    FillPortList(m_ui->portList->currentText().trimmed().toStdString());
}

void CSetDlg::accept() {
    // The port list is editable so a path the scan does not find can be typed; it is used as
    // typed, since paths differ by case. Only "None" is a word, taken in any case.
    QString port = m_ui->portList->currentText().trimmed();
    if (port.isEmpty() || port.compare(QLatin1String(kPortNone), Qt::CaseInsensitive) == 0) {
        port = QLatin1String(kPortNone);
    }
    m_portText = port;
    m_baudRateText = m_ui->baudRateList->currentText();
    m_profile.ProfileWriteText(kSectionSerial, "ComPort", m_portText.toStdString());
    m_profile.ProfileWriteText(kSectionSerial, "BaudRate", m_baudRateText.toStdString());
    m_profile.ProfileWriteInt(kSectionSerial, kKeyDownloadRate,
                              m_downloadRate->currentData().toInt());
    m_profile.ProfileWriteInt(kSectionSerial, kKeyFullRead, m_fullRead->isChecked() ? 1 : 0);
    // The logger is remembered by what names it on every plug-in (its USB serial number, its
    // /dev/serial/by-id name), not by the port it has today.
    const LoggerIdentity before = m_remembered;
    const bool offline = m_portText == QLatin1String(kPortNone);
    if (m_autoSync->isChecked() && !offline) {
        m_remembered = IdentityOfPort(m_portText.toStdString());
    } else if (!m_autoSync->isChecked() && !offline &&
               IdentityText(IdentityOfPort(m_portText.toStdString())) ==
                   IdentityText(m_remembered)) {
        m_remembered = {};
    }
    m_autoSyncChanged = IdentityText(before) != IdentityText(m_remembered);
    if (m_autoSyncChanged) {
        SaveRememberedLogger(m_profile, m_remembered);
    }
    QDialog::accept();
}

}  // namespace pelmora
