// The window's frame around the Part's controls: the status bar and its read-progress bar, the
// detection state, the place on the screen, and the menu's Open trace... and Port... commands.
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "core/app_paths.h"
#include "decode/trace_summary.h"
#include "link/port_list.h"
#include "ui/datalog_dlg.h"
#include "ui/window_texts.h"
#include "ui_datalog_dlg.h"

namespace pelmora {
namespace {

constexpr const char* kWindowSection = "Window";
constexpr const char* kGeometryKey = "Geometry";

}  // namespace

void CdatalogDlg::SetupFrame() {
    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(false);
    m_pane0 = new QLabel(m_statusBar);
    m_pane1 = new QLabel(m_statusBar);
    // Long status texts are cut rather than widening the window.
    for (QLabel* pane : {m_pane0, m_pane1}) {
        pane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    m_statusBar->addWidget(m_pane0, 1);
    m_statusBar->addPermanentWidget(m_pane1);
    // Read, decoding and conversion progress has a bar of its own: the form's bar keeps
    // showing the logger's memory use.
    m_readProgress = new QProgressBar(m_statusBar);
    m_readProgress->setObjectName(QStringLiteral("readProgressBar"));
    m_readProgress->setRange(0, 100);
    m_readProgress->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24);
    m_readProgress->setToolTip(tr("Progress of the running read, decoding or conversion"));
    m_readProgress->hide();
    m_statusBar->addPermanentWidget(m_readProgress);
    static_cast<QGridLayout*>(layout())->addWidget(m_statusBar, 6, 0, 1, -1);

    // Labels whose texts change keep the window's width: they wrap or are cut, never widen it.
    for (QLabel* label : {m_ui->timeZoneText, m_ui->conversionText, m_ui->speedUnitText,
                          m_ui->stopPeriodText, m_ui->stopDistanceText, m_ui->overSpeedText}) {
        label->setWordWrap(true);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    // Until a period is set the pickers show nothing rather than a made-up date.
    for (QDateEdit* picker : {m_ui->beginDate, m_ui->endDate}) {
        picker->setSpecialValueText(QStringLiteral(" "));
        picker->setDate(picker->minimumDate());
    }
    const int timeWidth = fontMetrics().horizontalAdvance(QStringLiteral("8888/88/88 88:88:88 "));
    for (QLabel* label : {m_ui->beginExact, m_ui->endExact, m_ui->beginLabel, m_ui->endLabel}) {
        label->setMinimumWidth(timeWidth);
    }
}

void CdatalogDlg::SetReadProgress(int position) {
    if (position < 0) {
        m_readProgress->hide();
        m_readProgress->setValue(0);
        return;
    }
    m_readProgress->setValue(position);
    m_readProgress->show();
}

void CdatalogDlg::SetDetecting(bool on) {
    // Until the logger answered, the groups hold no values worth reading or editing.
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui->recordOptionGroup, m_ui->convertPeriodGroup, m_ui->applicationSettingGroup,
             m_ui->percentageEdit, m_ui->progressBar}) {
        w->setEnabled(!on);
    }
    m_menu.openTrace->setEnabled(!on);
    SetStatus(on ? tr("Connecting to %1...").arg(m_portName) : QString::fromLatin1(kStatusReady));
}

void CdatalogDlg::RestorePlacement() {
    const QByteArray saved = QByteArray::fromBase64(QByteArray::fromStdString(
        m_config.profile->ProfileReadText(kWindowSection, kGeometryKey, "")));
    if (!saved.isEmpty() && restoreGeometry(saved)) {
        return;
    }
    // First run: the natural size, within the screen's free area.
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size();
        resize(size().boundedTo(room));
    }
}

void CdatalogDlg::SavePlacement() {
    if (m_config.profile == nullptr) {
        return;
    }
    m_config.profile->ProfileWriteText(kWindowSection, kGeometryKey,
                                       saveGeometry().toBase64().toStdString());
}

void CdatalogDlg::OnOpenTrace() {
    if (!workIdle() || m_activity.load() == ActivityReading) {
        return;
    }
    const QString path = m_config.services.saveFile->ChooseOpenFile(
        this, QString::fromStdString(m_traceFolder),
        {tr("Decoded trace (%1)").arg(QLatin1String(kTraceLogName))});
    if (path.isEmpty()) {
        return;
    }
    // The conversion reads the trace by its folder, so the file keeps its name.
    if (QFileInfo(path).fileName() != QLatin1String(kTraceLogName)) {
        ShowBox(tr("Choose a file named %1.").arg(QLatin1String(kTraceLogName)), BoxIcon::Warning);
        return;
    }
    m_traceFolder = QFileInfo(path).absolutePath().toStdString();
    ApplyTraceSummary(
        m_config.trace->Scan(path.toStdString(), m_settings.Zone, m_settings.SpeedUnit));
}

void CdatalogDlg::OnChangePort() {
    m_storedBaudRate =
        m_config.profile->ProfileReadText(kSectionSerial, "BaudRate", kDefaultBaudRate);
    const PortChoice choice = m_config.services.ports->ChoosePort(this);
    if (!choice.accepted) {
        return;
    }
    // Leave the current link the way closing the window does, then start over.
    m_timer1->stop();
    m_timer6->stop();
    ShutdownDevice();
    m_activity.store(ActivityNotConnected);
    m_refillOptions.store(true);
    EnableCommands(false);
    m_ui->stopButton->setEnabled(false);
    m_percentageText.clear();
    m_ui->percentageEdit->clear();
    m_ui->progressBar->setValue(0);
    if (choice.port != QLatin1String("None") && UseChoice(choice)) {
        return;
    }
    // "None", or a port that did not open (its cause shown): work offline on the trace in hand.
    m_deviceMode = false;
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    m_ui->convertButton->setEnabled(m_traceLoaded);
    m_ui->changeSettingButton->setEnabled(m_traceLoaded);
    SetStatus(QString::fromLatin1(kStatusReady));
}

}  // namespace pelmora
