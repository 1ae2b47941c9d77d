#include "ui/datalog_dlg.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <future>
#include <utility>

#include "core/app_paths.h"
#include "core/clean_text.h"
#include "core/convert_texts.h"
#include "core/download_settings.h"
#include "core/int_text.h"
#include "core/job_thread.h"
#include "decode/trace_fix.h"
#include "link/log_status.h"
#include "link/port_list.h"
#include "ui/gui_call_queue.h"
#include "ui/output_files.h"
#include "ui/qt_text.h"
#include "ui/settings_summary.h"
#include "ui/status_log.h"
#include "ui/track_view_dlg.h"
#include "ui/window_texts.h"
#include "ui_datalog_dlg.h"

namespace pelmora {
namespace {

constexpr const char* kAppTitle = "pelmora";  // the application-level boxes' caption
constexpr int kReplyFrameCapacity = 512;      // the link's reply buffer
// The window's own profile section: its place on the screen and the last output folder.
constexpr const char* kWindowSection = "Window";
constexpr const char* kLastOutputFolderKey = "LastOutputFolder";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QDate DateOf(TimeValue t) {
    const CalendarFields f = BreakTimeValue(t);
    return QDate(f.year, f.month, f.day);
}

// The date of a picker with the time of day kept from the member.
TimeValue WithDate(TimeValue t, QDate date) {
    const CalendarFields f = BreakTimeValue(t);
    return MakeTimeValue(date.year(), date.month(), date.day(), f.hour, f.minute, f.second);
}

TimeValue WithHour(TimeValue t, int hour) {
    const CalendarFields f = BreakTimeValue(t);
    return MakeTimeValue(f.year, f.month, f.day, hour, f.minute, f.second);
}

TimeValue FloorMod(TimeValue t, TimeValue n) {
    return ((t % n) + n) % n;
}

std::string PercentText(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%3.2f", value);
    return buf;
}

}  // namespace

// The download's reports, on the device thread, forwarded to the window.
class CdatalogDlg::ReadReport : public DownloadObserver {
  public:
    explicit ReadReport(CdatalogDlg& dlg) : m_dlg(dlg) {}
    void ReadProgress(const DownloadProgress& progress) override {
        m_dlg.PostToGui([d = &m_dlg, progress] {
            if (d->m_activity.load() == ActivityReading) {
                d->SetReadProgress(progress.Percent());
                d->m_readProgressText = Q(ProgressText(progress));
                d->SetStatus(QString::fromLatin1(kStatusReading) + QLatin1Char(' ') +
                             d->m_readProgressText);
            }
        });
    }
    bool ConfirmFactoryReset() override { return m_dlg.AskFactoryReset(); }
    void StatusLine(const std::string& line) override { m_dlg.AddStatusLine(Q(line)); }

  private:
    CdatalogDlg& m_dlg;
};

// The decoding's and conversion's reports, on the work thread, forwarded to the window.
class CdatalogDlg::WorkReport : public ProgressSink, public ConvertObserver {
  public:
    explicit WorkReport(CdatalogDlg& dlg) : m_dlg(dlg) {}
    void OnProgress(int percent) override {
        m_dlg.PostToGui([d = &m_dlg, percent] { d->SetReadProgress(percent); });
    }
    void OnMessage(std::string_view text, MessageSeverity severity) override {
        const BoxIcon icon = severity == MessageSeverity::Error     ? BoxIcon::Error
                             : severity == MessageSeverity::Warning ? BoxIcon::Warning
                                                                    : BoxIcon::Information;
        m_dlg.PostToGui([d = &m_dlg, t = Q(std::string(text)), icon] { d->ShowBox(t, icon); });
    }
    void OnStatus(std::string_view text) override {
        m_dlg.PostToGui([d = &m_dlg, t = Q(std::string(text))] { d->SetStatus(t); });
    }

  private:
    CdatalogDlg& m_dlg;
};

CdatalogDlg::CdatalogDlg(Config config, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CdatalogDlg>()),
      m_config(std::move(config)),
      m_guiCalls(std::make_unique<GuiCallQueue>()),
      m_workThread(std::make_unique<JobThread>()),
      m_deviceThread(std::make_unique<JobThread>()) {
    m_ui->setupUi(this);
    SetupFrame();
    m_traceFolder = m_config.dataFolder;
    if (m_config.profile != nullptr) {
        m_lastOutputDir =
            Q(m_config.profile->ProfileReadText(kWindowSection, kLastOutputFolderKey, ""));
    }
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/pelmora/pelmora.png")));

    m_log = new StatusLog(m_ui->statusLog, kMaxListLines,
                          [] { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); });

    m_timer1 = new QTimer(this);
    m_timer1->setInterval(kStatusPollMs);
    connect(m_timer1, &QTimer::timeout, this, &CdatalogDlg::OnStatusPoll);
    m_timer4 = new QTimer(this);
    m_timer4->setInterval(kConvertDelayMs);
    connect(m_timer4, &QTimer::timeout, this, &CdatalogDlg::OnConvertTimer);
    m_timer6 = new QTimer(this);
    m_timer6->setInterval(kDetectMs);
    connect(m_timer6, &QTimer::timeout, this, &CdatalogDlg::OnDetectTimer);

    connect(m_ui->clearButton, &QPushButton::clicked, this, &CdatalogDlg::OnClear);
    connect(m_ui->readButton, &QPushButton::clicked, this, &CdatalogDlg::OnRead);
    connect(m_ui->stopButton, &QPushButton::clicked, this, &CdatalogDlg::OnStop);
    connect(m_ui->configureButton, &QPushButton::clicked, this, &CdatalogDlg::OnConfigure);
    connect(m_ui->setButton, &QPushButton::clicked, this, &CdatalogDlg::OnSet);
    connect(m_ui->convertButton, &QPushButton::clicked, this, &CdatalogDlg::OnConvert);
    connect(m_ui->reportButton, &QPushButton::clicked, this, &CdatalogDlg::OnReport);
    connect(m_ui->changeSettingButton, &QPushButton::clicked, this, &CdatalogDlg::OnChangeSetting);
    connect(m_ui->beginDate, &QDateEdit::dateChanged, this, &CdatalogDlg::OnBeginDateChanged);
    connect(m_ui->endDate, &QDateEdit::dateChanged, this, &CdatalogDlg::OnEndDateChanged);
    connect(m_ui->beginHour, &QComboBox::activated, this, &CdatalogDlg::OnBeginHour);
    connect(m_ui->endHour, &QComboBox::activated, this, &CdatalogDlg::OnEndHour);
    for (QLineEdit* edit : {m_ui->distanceEdit, m_ui->timeEdit, m_ui->speedEdit}) {
        edit->installEventFilter(this);
    }
    // No window here has a system menu to extend: the About entry goes into the Help menu.
    m_menu = BuildMainMenu(this);
    m_menu.about->setText(
        QString::fromLatin1(kAboutMenuText).replace(QLatin1String("%s"), QLatin1String(kAppTitle)));
    connect(m_menu.about, &QAction::triggered, this, &CdatalogDlg::aboutRequested);
    connect(m_menu.quit, &QAction::triggered, this, &QWidget::close);
    BindToButton(m_menu.convert, m_ui->convertButton);
    BindToButton(m_menu.report, m_ui->reportButton);
    BindToButton(m_menu.read, m_ui->readButton);
    BindToButton(m_menu.stop, m_ui->stopButton);
    BindToButton(m_menu.clear, m_ui->clearButton);
    BindToButton(m_menu.configure, m_ui->configureButton);
    BindToButton(m_menu.setId, m_ui->setButton);
    EnableUnlessButton(m_menu.port, m_ui->stopButton);
    connect(m_menu.port, &QAction::triggered, this, &CdatalogDlg::OnChangePort);
    connect(m_menu.openTrace, &QAction::triggered, this, &CdatalogDlg::OnOpenTrace);
    layout()->setMenuBar(m_menu.bar);
    QMenu* view = new QMenu(QStringLiteral("&View"), m_menu.bar);
    m_menu.bar->insertMenu(m_menu.help->menuAction(), view);
    connect(view->addAction(QStringLiteral("&Track...")), &QAction::triggered, this,
            &CdatalogDlg::OpenTrackView);
    // A dialog's default button would turn Enter in an edit into a command.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
    }
}

CdatalogDlg::~CdatalogDlg() {
    m_closing.store(true);
    ShutdownDevice();
    m_workThread->Shutdown();
    m_deviceThread->Shutdown();
}

bool CdatalogDlg::OnInitDialog() {
    EnableCommands(false);
    if (!ChoosePortAndConnect()) {
        return false;
    }
    SetDetecting(m_timer6->isActive());
    RestorePlacement();
    return true;
}

// ---- start-up and device detection ----

void CdatalogDlg::GoOffline() {
    m_deviceMode = false;
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    SettingsSummary();
    TraceQuestion();
    FillHourLists();
}

// The port choice until a port opens or "None" is chosen; false when it was cancelled.
bool CdatalogDlg::ChoosePortAndConnect() {
    for (;;) {
        m_storedBaudRate =
            m_config.profile->ProfileReadText(kSectionSerial, "BaudRate", kDefaultBaudRate);
        const PortChoice choice = m_config.services.ports->ChoosePort(this);
        if (!choice.accepted) {
            return false;
        }
        if (UseChoice(choice)) {
            return true;
        }
    }
}

// Offline for "None", else opens the port and starts the detection; false after telling the
// user why the port cannot be used.
bool CdatalogDlg::UseChoice(const PortChoice& choice) {
    if (!m_handlersBound) {
        m_config.device->BindHandlers(*this);
        m_handlersBound = true;
    }
    if (choice.port == QLatin1String(kPortNone)) {
        GoOffline();
        return true;
    }
    m_deviceMode = true;
    m_portName = choice.port;
    m_baudRate = choice.baudRate.toInt();
    const LinkError error = Connect(m_portName, m_baudRate);
    if (!error.ok()) {
        ShowBox(QtText(IDS_INCORRECT_PORT) + QLatin1Char('\n') + Q(error.message), BoxIcon::Error);
        return false;
    }
    m_timer6->start();
    SetDetecting(true);
    return true;
}

LinkError CdatalogDlg::Connect(const QString& port, int baudRate) {
    // The device thread owns the port from the start; it is idle here, so the wait is short.
    std::promise<LinkError> opened;
    std::future<LinkError> result = opened.get_future();
    DeviceSession* device = m_config.device;
    const std::string path = port.toStdString();
    m_deviceThread->Post([device, path, baudRate, &opened] {
        LinkError error = device->Open(path, baudRate);
        if (!error.ok()) {
            device->Close();
            opened.set_value(std::move(error));
            return;
        }
        device->ResetBuffers();
        device->StartReader();
        device->RecordLink(path, baudRate);
        opened.set_value({});
    });
    LinkError error = result.get();
    if (error.ok()) {
        m_received.clear();
    }
    return error;
}

void CdatalogDlg::OnDetectTimer() {
    DeviceSession* device = m_config.device;
    const bool alive = device->LinkAlive();
    const int kind = device->LineKind();
    if (alive && kind == 1) {
        m_timer6->stop();
        OnLoggerFound();
    } else if (!alive || kind == 2) {
        // Silent or unreadable at the chosen rate: perhaps a logger left at another one.
        m_timer6->stop();
        SearchLoggerRate(alive);
    }
}

void CdatalogDlg::SearchLoggerRate(bool heard) {
    DeviceSession* device = m_config.device;
    const int configured = m_baudRate;
    m_deviceThread->Post([this, device, configured, heard] {
        if (!device->IsOpen() || m_closing.load()) {
            return;
        }
        device->StopReader();
        const RateSearchResult found = device->FindLoggerRate(configured, heard);
        if (found.error.ok()) {
            device->StartReader();
        } else {
            device->Close();
        }
        PostToGui([this, found] { OnRateSearched(found); });
    });
}

void CdatalogDlg::OnRateSearched(const RateSearchResult& found) {
    if (found.error.ok()) {
        if (found.foundRate != 0) {
            AppendLine(Q(SwitchedBackText(found.foundRate, m_baudRate)));
        }
        OnLoggerFound();
        return;
    }
    const bool rate =
        found.error.fault == LinkFault::WrongRate || found.error.fault == LinkFault::NotSwitched;
    if (rate) {
        // A rate no logger answers at is not proposed again.
        m_config.profile->ProfileWriteText(kSectionSerial, "BaudRate", m_storedBaudRate);
    }
    PortFailed(QtText(rate ? IDS_INCORRECT_BAUDRATE : IDS_INCORRECT_PORT), found.error);
}

// The box with the cause, then the port choice again; its Cancel ends the run.
void CdatalogDlg::PortFailed(const QString& headline, const LinkError& error) {
    SetDetecting(false);
    const QString text = headline + QLatin1Char('\n') + Q(error.message);
    // Outside the call in hand: the box and the dialog run event loops of their own.
    QTimer::singleShot(0, this, [this, text] {
        ShowBox(text, BoxIcon::Error);
        if (!ChoosePortAndConnect()) {
            EndRun();
        }
    });
}

void CdatalogDlg::OnLoggerFound() {
    SetDetecting(false);
    setWindowTitle(QStringLiteral("%1 - %2").arg(QLatin1String(kWindowTitle), m_portName));
    SettingsSummary();
    if (!m_traceLoaded) {  // a reconnect (Port...) keeps the trace in hand
        TraceQuestion();
    }
    FillHourLists();
    StartConnectWorker();
}

void CdatalogDlg::EndRun() {
    m_timer6->stop();
    ShutdownDevice();
    m_endRequested = true;
    emit processEnd();
    done(QDialog::Rejected);
}

void CdatalogDlg::ShutdownDevice() {
    if (!m_deviceThread || m_config.device == nullptr) {
        return;
    }
    m_stopRead.store(true);
    std::promise<void> closed;
    std::future<void> result = closed.get_future();
    DeviceSession* device = m_config.device;
    m_deviceThread->Post([device, &closed] {
        if (device->IsOpen()) {
            device->StopReader();
            device->Close();
        }
        closed.set_value();
    });
    // A command in hand ends within its own bounded waits.
    if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        m_deviceThread->Shutdown();
    }
}

void CdatalogDlg::done(int result) {
    if (!m_closing.exchange(true) && isVisible()) {
        SavePlacement();
    }
    m_timer1->stop();
    m_timer4->stop();
    m_timer6->stop();
    ShutdownDevice();
    QDialog::done(result);
}

void CdatalogDlg::closeEvent(QCloseEvent* event) {
    if (m_readInFlight) {
        // The logger is at the download rate: the Read ends through its Stop path, which
        // switches it back, and the window closes when the read worker has ended.
        event->ignore();
        if (m_quitAfterRead ||
            !m_config.services.boxes->AskYesNo(this, QLatin1String(kWindowTitle),
                                               QString::fromLatin1(kAskStopReadAndQuit))) {
            return;
        }
        m_quitAfterRead = true;
        m_activity.store(ActivityStopRequested);
        m_stopRead.store(true);
        m_ui->stopButton->setEnabled(false);
        return;
    }
    done(QDialog::Rejected);
    event->accept();
}

void CdatalogDlg::keyPressEvent(QKeyEvent* event) {
    // A dialog closes on Escape; this one is the whole program, and may be in a Read.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CdatalogDlg::SettingsSummary() {
    LoadConversionSettings(*m_config.profile, m_config.computerOffsetMinutes, m_settings);
    const SettingsSummaryTexts t = MakeSettingsSummary(m_settings);
    m_settings.SpeedUnitLabel = t.speedUnitLabel;
    m_ui->timeZoneText->setText(Q(t.timeZone));
    m_ui->conversionText->setText(Q(t.conversionType));
    m_ui->stopPeriodText->setText(Q(t.stopPeriod));
    m_minDistance = 0;
    m_minSpeed = 0;
    m_ui->distanceLabel->setText(Q(t.distanceLabel));
    m_ui->speedLabel->setText(Q(t.speedLabel));
    m_ui->speedUnitText->setText(Q(t.speedUnit));
    m_ui->stopDistanceText->setText(Q(t.stopDistance));
    m_ui->overSpeedText->setText(Q(t.overSpeed));
    LoadExchange();
}

void CdatalogDlg::TraceQuestion() {
    const std::string tracePath = JoinPath(m_config.dataFolder, kTraceLogName);
    QFile trace(Q(tracePath));
    if (trace.open(QIODevice::ReadOnly)) {
        trace.close();
        if (m_config.services.boxes->AskYesNo(this, QLatin1String(kWindowTitle),
                                              QtText(IDS_OPEN_OLD_LOG))) {
            ApplyTraceSummary(
                m_config.trace->Scan(tracePath, m_settings.Zone, m_settings.SpeedUnit));
            return;
        }
    }
    m_ui->beginLabel->setText(QStringLiteral("0"));
    m_ui->endLabel->setText(QStringLiteral("0"));
}

void CdatalogDlg::ApplyTraceSummary(const TraceSummary& summary) {
    if (!summary.beginLabel.empty()) {
        m_ui->beginLabel->setText(Q(summary.beginLabel));
    }
    if (!summary.endLabel.empty()) {
        m_ui->endLabel->setText(Q(summary.endLabel));
    }
    switch (summary.status) {
        case TraceSummaryStatus::OpenFailed:
            ShowBox(Q(summary.message), BoxIcon::Error);
            return;
        case TraceSummaryStatus::NoData:
        case TraceSummaryStatus::NoStopData:
            m_activity.store(ActivityIdle);
            m_ui->convertButton->setEnabled(false);
            ShowBox(Q(summary.message), BoxIcon::Warning);
            return;
        case TraceSummaryStatus::Ok:
            break;
    }
    SetPeriod(summary.beginUtc, summary.endUtc);
    ShowBox(Q(summary.message), BoxIcon::None);
    m_ui->convertButton->setEnabled(true);
    m_ui->changeSettingButton->setEnabled(true);
    m_traceLoaded = true;
    ReloadTrackView();
}

void CdatalogDlg::FillHourLists() {
    for (QComboBox* list : {m_ui->beginHour, m_ui->endHour}) {
        list->clear();
        for (int hour = 0; hour < 24; ++hour) {
            list->addItem(QString::number(hour));
        }
    }
    if (!m_traceLoaded && m_beginTime == 0 && m_endTime == 0) {
        // Before any trace: today in the chosen zone, rather than 1970.
        const TimeValue local = m_settings.Zone.ToLocal(m_config.services.clock->Now());
        m_beginTime = local - local % 86400;
        m_endTime = m_beginTime;
        m_beginUtc = m_settings.Zone.ToUtc(m_beginTime);
        m_endUtc = m_beginUtc;
    }
    ShowPeriod();
}

void CdatalogDlg::SetPeriod(TimeValue beginUtc, TimeValue endUtc) {
    m_beginUtc = beginUtc;
    m_endUtc = endUtc;
    m_beginTime = m_settings.Zone.ToLocal(beginUtc);
    m_endTime = m_settings.Zone.ToLocal(endUtc);
    ShowPeriod();
}

void CdatalogDlg::SetConvertPeriod(TimeValue beginLocal, TimeValue endLocal) {
    m_beginTime = beginLocal - FloorMod(beginLocal, 60);
    m_endTime = endLocal - FloorMod(endLocal, 60) + 59;
    m_beginUtc = m_settings.Zone.ToUtc(m_beginTime);
    m_endUtc = m_settings.Zone.ToUtc(m_endTime);
    ShowPeriod();
}

void CdatalogDlg::OpenTrackView() {
    if (m_trackView == nullptr) {
        CTrackViewDlg::Config config;
        config.dataFolder = m_config.dataFolder;
        config.options = {m_settings, m_minTime, m_minDistance};
        config.tiles = LoadTileSettings(*m_config.profile);
        m_trackView = new CTrackViewDlg(std::move(config), this);
        connect(m_trackView, &CTrackViewDlg::periodChosen, this, &CdatalogDlg::SetConvertPeriod);
        ShowPeriod();
    }
    m_trackView->show();
    m_trackView->raise();
    m_trackView->activateWindow();
}

void CdatalogDlg::ReloadTrackView() {
    if (m_trackView != nullptr) {
        m_trackView->Reload({m_settings, m_minTime, m_minDistance});
        ShowPeriod();
    }
}

void CdatalogDlg::ShowPeriod() {
    const QSignalBlocker b1(m_ui->beginDate);
    const QSignalBlocker b2(m_ui->endDate);
    // The hour lists hide minutes and seconds: the exact ends are shown beside them.
    m_ui->beginExact->setText(Q(FormatTime(m_beginTime, "%Y/%m/%d %H:%M:%S")));
    m_ui->endExact->setText(Q(FormatTime(m_endTime, "%Y/%m/%d %H:%M:%S")));
    m_ui->beginDate->setDate(DateOf(m_beginTime));
    m_ui->endDate->setDate(DateOf(m_endTime));
    if (m_ui->beginHour->count() == 24) {
        m_ui->beginHour->setCurrentIndex(BreakTimeValue(m_beginTime).hour);
        m_ui->endHour->setCurrentIndex(BreakTimeValue(m_endTime).hour);
    }
    if (m_trackView != nullptr) {
        // The same instants a conversion would take.
        m_trackView->SetPeriod(m_beginUtc, m_endUtc);
    }
}

// ---- commands' enabled states, data exchange ----

void CdatalogDlg::EnableCommands(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui->clearButton, m_ui->configureButton, m_ui->readButton, m_ui->changeSettingButton,
             m_ui->idEdit, m_ui->setButton, m_ui->distanceEdit, m_ui->timeEdit, m_ui->speedEdit}) {
        w->setEnabled(on);
    }
    m_ui->convertButton->setEnabled(on && m_traceLoaded);
    m_ui->reportButton->setEnabled(false);
    m_ui->progressBar->setRange(0, 100);
}

bool CdatalogDlg::ExchangeField(QLineEdit* edit, int minimum, int maximum, int& value) {
    const std::optional<int> parsed = ParseDecimalInt(edit->text().toStdString());
    if (!parsed) {
        m_config.services.boxes->Show(this, QLatin1String(kAppTitle),
                                      QString::fromLatin1(kIntegerPrompt), BoxIcon::Warning);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    if (*parsed < minimum || *parsed > maximum) {
        m_config.services.boxes->Show(this, QLatin1String(kAppTitle),
                                      QString::fromLatin1(kRangePrompt).arg(minimum).arg(maximum),
                                      BoxIcon::Warning);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = *parsed;
    return true;
}

bool CdatalogDlg::SaveExchange() {
    if (m_inExchange) {
        return false;
    }
    m_inExchange = true;
    const bool ok = ExchangeField(m_ui->distanceEdit, 0, 20000, m_minDistance) &&
                    ExchangeField(m_ui->timeEdit, 0, 65535, m_minTime) &&
                    ExchangeField(m_ui->speedEdit, 0, 4000, m_minSpeed);
    if (ok) {
        m_deviceId = m_ui->idEdit->text().left(32);
    }
    m_inExchange = false;
    return ok;
}

void CdatalogDlg::LoadExchange() {
    m_ui->percentageEdit->setText(m_percentageText);
    m_ui->distanceEdit->setText(QString::number(m_minDistance));
    m_ui->timeEdit->setText(QString::number(m_minTime));
    m_ui->speedEdit->setText(QString::number(m_minSpeed));
    m_ui->idEdit->setText(m_deviceId);
}

bool CdatalogDlg::eventFilter(QObject* watched, QEvent* event) {
    // Leaving a Record Option field checks it; a value out of range keeps the focus there.
    if (event->type() == QEvent::FocusOut && !m_inExchange && isVisible()) {
        m_inExchange = true;
        if (watched == m_ui->distanceEdit) {
            ExchangeField(m_ui->distanceEdit, 0, 20000, m_minDistance);
        } else if (watched == m_ui->timeEdit) {
            ExchangeField(m_ui->timeEdit, 0, 65535, m_minTime);
        } else if (watched == m_ui->speedEdit) {
            ExchangeField(m_ui->speedEdit, 0, 4000, m_minSpeed);
        }
        m_inExchange = false;
    }
    return QDialog::eventFilter(watched, event);
}

// ---- status log, status bar, boxes ----

void CdatalogDlg::AddStatusLine(const QString& line) {
    PostToGui([this, line] { AppendLine(line); });
}

void CdatalogDlg::AppendLine(const QString& line) {
    m_log->Append(line);
}

QStringList CdatalogDlg::statusLog() const {
    return m_log->Lines();
}

QString CdatalogDlg::statusText() const {
    return m_pane0 ? m_pane0->text() : QString();
}

bool CdatalogDlg::statusPollActive() const {
    return m_timer1->isActive();
}

bool CdatalogDlg::workIdle() const {
    return !m_deviceThread->Busy() && !m_workThread->Busy() && !m_timer4->isActive();
}

void CdatalogDlg::SetStatus(const QString& text) {
    if (m_pane0) {
        m_pane0->setText(text);
    }
}

void CdatalogDlg::SetMemoryProgress(int position) {
    m_ui->progressBar->setValue(position);
}

void CdatalogDlg::ShowBox(const QString& text, BoxIcon icon) {
    m_config.services.boxes->Show(this, QLatin1String(kWindowTitle), text, icon);
}

void CdatalogDlg::PostToGui(std::function<void()> call) {
    m_guiCalls->Post(std::move(call));
}

// ---- device events ----

void CdatalogDlg::OnQueryLogStatus(unsigned char* frame) {
    if (frame == nullptr) {
        return;
    }
    // The link hands over a checked frame; its own length byte bounds it.
    const std::size_t size =
        std::min<std::size_t>(static_cast<std::size_t>(frame[3]) + 7, kReplyFrameCapacity);
    const std::optional<LogStatus> status = ParseLogStatusReply(frame, size);
    if (!status) {
        return;
    }
    const LogStatus s = *status;
    m_usedLogBytes.store(s.UsedLogBytes());
    const bool refill = m_refillOptions.exchange(false);
    PostToGui([this, s, refill] {
        m_percentageText = Q(LogUsagePercentText(s));
        m_ui->percentageEdit->setText(m_percentageText);
        SetMemoryProgress(LogUsageProgress(s));
        if (refill) {
            m_minTime = static_cast<int>(s.minTime);
            m_minDistance = static_cast<int>(s.minDistance);
            m_minSpeed = static_cast<int>(s.minSpeed);
            m_ui->timeEdit->setText(QString::number(m_minTime));
            m_ui->distanceEdit->setText(QString::number(m_minDistance));
            m_ui->speedEdit->setText(QString::number(m_minSpeed));
        }
        QStringList block;
        for (const std::string& line : LogStatusLines(s)) {
            block << Q(line);
        }
        m_log->AppendBlock(block);
    });
}

void CdatalogDlg::OnPostMsg(unsigned char* text) {
    if (text == nullptr) {
        return;
    }
    const QString line = QString::fromLatin1(reinterpret_cast<const char*>(text)).trimmed();
    PostToGui([this, line] {
        m_received << line;
        if (m_received.size() > kMaxListLines) {
            m_received.removeFirst();
        }
    });
}

void CdatalogDlg::OnBinaryMsg(int code) {
    switch (code) {
        case 2:
            AddStatusLine(QStringLiteral("Target NACK..."));
            break;
        case 9:
            AddStatusLine(QStringLiteral("Target Timeout..."));
            break;
        case 24:
            AddStatusLine(QStringLiteral("Log Configure Successful..."));
            break;
        case 25:
            AddStatusLine(QStringLiteral("Log Clear Successful..."));
            break;
        default:
            break;
    }
}

// The download reports its progress itself; these two events are never raised.

// ---- device commands ----

bool CdatalogDlg::RequireConnection() {
    if (m_config.device->IsOpen()) {
        return true;
    }
    m_config.services.boxes->Show(this, QLatin1String(kAppTitle), QString::fromLatin1(kAskConnect),
                                  BoxIcon::Warning);
    return false;
}

void CdatalogDlg::RunInCommonFrame(std::function<void()> command, std::function<void()> report) {
    DeviceSession* device = m_config.device;
    m_deviceThread->Post([this, device, command = std::move(command), report = std::move(report)] {
        if (!device->IsOpen() || m_closing.load()) {
            return;
        }
        device->StopReader();
        command();
        device->StartReader();
        if (report) {
            PostToGui(report);
        }
    });
}

void CdatalogDlg::StartConnectWorker() {
    auto id = std::make_shared<std::string>();
    auto code = std::make_shared<int>(0);
    DeviceSession* device = m_config.device;
    RunInCommonFrame([device, id, code] { *code = device->QueryDeviceId(*id); },
                     [this, id, code] {
                         if (*code != 1) {
                             NotALogger();
                             return;
                         }
                         m_deviceId = Q(*id).left(32);
                         m_ui->idEdit->setText(m_deviceId);
                         EnableCommands(true);
                         m_activity.store(ActivityIdle);
                         m_timer1->start();
                         m_ui->progressBar->setRange(0, 100);
                         StartStatusWorker();
                     });
}

// NMEA, but no answer to the device-ID query: a GPS receiver, not a logger. The device
// commands stay disabled; the trace side works as offline.
void CdatalogDlg::NotALogger() {
    const QString text = Q(NotALoggerError(m_portName.toStdString()).message);
    AppendLine(text);
    ShowBox(text, BoxIcon::Warning);
    m_ui->convertButton->setEnabled(m_traceLoaded);
    m_ui->changeSettingButton->setEnabled(true);
    DeviceSession* device = m_config.device;
    m_deviceThread->Post([device] {
        device->StopReader();
        device->Close();
    });
}

void CdatalogDlg::OnStatusPoll() {
    if (m_activity.load() == ActivityNotConnected) {
        m_timer1->stop();
    }
    StartStatusWorker();
}

void CdatalogDlg::StartStatusWorker() {
    if (!RequireConnection()) {
        return;
    }
    DeviceSession* device = m_config.device;
    RunInCommonFrame([device] { device->QueryLogStatus(); }, nullptr);
}

void CdatalogDlg::OnClear() {
    if (!RequireConnection()) {
        return;
    }
    if (!m_config.services.boxes->AskOkCancel(this, QLatin1String(kWindowTitle),
                                              QtText(IDS_CLEAR_CONFIRM))) {
        return;
    }
    // Once more when the last status shows more log than the last download holds.
    if (HoldsUndownloadedData(m_config.dataFolder, m_usedLogBytes.load()) &&
        !m_config.services.boxes->AskOkCancel(this, QLatin1String(kWindowTitle),
                                              QString::fromLatin1(kAskClearUndownloaded))) {
        return;
    }
    DeviceSession* device = m_config.device;
    RunInCommonFrame([device] { device->ClearLog(); },
                     [this] {
                         m_percentageText = Q(PercentText(0.0));
                         SetMemoryProgress(0);
                         LoadExchange();
                     });
}

void CdatalogDlg::OnConfigure() {
    if (!SaveExchange()) {
        return;
    }
    m_refillOptions.store(true);
    if (!RequireConnection()) {
        return;
    }
    StartConfigureWorker();
}

void CdatalogDlg::StartConfigureWorker() {
    RecordOptionsCommand options;
    options.minTime = m_minTime;
    options.minDistance = m_minDistance;
    options.minSpeed = m_minSpeed;
    DeviceSession* device = m_config.device;
    RunInCommonFrame([device, options] { device->ConfigureLog(options); },
                     [this] { ShowBox(QtText(IDS_CONFIGURE_DONE), BoxIcon::None); });
}

void CdatalogDlg::OnSet() {
    if (!SaveExchange()) {
        return;
    }
    if (!RequireConnection()) {
        return;
    }
    const std::string id = m_deviceId.toStdString();
    if (const std::string problem = DeviceIdProblem(id); !problem.empty()) {
        ShowBox(Q(problem), BoxIcon::Warning);
        return;
    }
    DeviceSession* device = m_config.device;
    RunInCommonFrame([device, id] { device->WriteDeviceId(id); },
                     [this] { ShowBox(QtText(IDS_SET_DONE), BoxIcon::None); });
}

void CdatalogDlg::OnRead() {
    SetStatus(QString::fromLatin1(kStatusReading));
    // data.log and TraceLog.ltp stay until a new download is complete: a failed Read keeps them.
    const std::string folder = m_config.dataFolder;
    m_logPath = Q(JoinPath(folder, kRawLogName));
    m_readProgressText.clear();
    m_activity.store(ActivityReading);
    m_traceFolder = folder;
    SetReadProgress(2);
    EnableCommands(false);
    m_ui->stopButton->setEnabled(true);
    m_timer1->stop();
    if (!RequireConnection()) {
        return;
    }
    m_stopRead.store(false);
    m_readInFlight = true;
    DeviceSession* device = m_config.device;
    DownloadRequest request;
    request.dataFolder = folder;
    if (m_config.profile != nullptr) {
        request.rate = LoadDownloadRate(*m_config.profile);
        request.full = LoadFullRead(*m_config.profile);
    }
    m_deviceThread->Post([this, device, request] {
        if (!device->IsOpen() || m_closing.load()) {
            PostToGui([this] { OnReadEnded(kDownloadStatusFailed); });
            return;
        }
        device->StopReader();
        ReadReport report(*this);
        const DownloadResult result = device->ReadLog(request, report, m_stopRead);
        device->StartReader();
        PostToGui([this, code = result.code] { OnReadEnded(code); });
    });
}

// Commands come back only here, when the read worker has ended, whatever Stop asked for.
void CdatalogDlg::OnReadEnded(int code) {
    m_readInFlight = false;
    const bool stopAsked = m_activity.load() == ActivityStopRequested;
    if (code == kDownloadDone) {
        m_ui->stopButton->setEnabled(false);
        if (stopAsked) {
            // The last range was in flight when Stop came: the log is whole, so it counts.
            AppendLine(QString::fromLatin1(kLineWholeLogBeforeStop));
        }
        StartDecompression();
        return;
    }
    if (code == kDownloadDeviceError && !stopAsked && !m_quitAfterRead) {
        return;  // the user leaves this read with Stop
    }
    m_activity.store(ActivityIdle);
    EnableCommands(true);
    m_ui->stopButton->setEnabled(false);
    SetReadProgress(-1);
    SetStatus(QString::fromLatin1(kStatusReady));
    m_timer1->start();
    if (m_quitAfterRead) {
        close();
    }
}

bool CdatalogDlg::AskFactoryReset() {
    // A blocking call into the GUI thread that also ends when the window closes.
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> result = answer->get_future();
    PostToGui([this, answer] {
        // Enter must not reset the logger: No is the default.
        answer->set_value(m_config.services.boxes->AskYesNoDefaultNo(
            this, QLatin1String(kAppTitle), QString::fromLatin1(kAskFactoryReset)));
    });
    while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (m_closing.load()) {
            return false;
        }
    }
    return result.get();
}

void CdatalogDlg::StartDecompression() {
    const std::string raw = m_logPath.toStdString();
    const std::string trace = JoinPath(m_config.dataFolder, kTraceLogName);
    DecompressOptions options;
    options.nowUtc = m_config.services.clock->Now();
    const ConversionSettings settings = m_settings;
    m_workThread->Post([this, raw, trace, options, settings]() mutable {
        WorkReport report(*this);
        // The summary is worked out while the trace is written, not read back from it.
        TraceSummaryBuilder summarizer;
        options.summary = &summarizer;
        const DecompressResult result = m_config.trace->Decompress(raw, trace, options, &report);
        if (!result.ok()) {
            PostToGui([this, message = Q(result.message)] {
                // The fixes before a bad record are kept, but the user is told to read again.
                SetReadProgress(-1);
                if (!message.isEmpty() && !m_quitAfterRead) {
                    ShowBox(message, BoxIcon::Warning);
                }
                SetStatus(QString::fromLatin1(kStatusReady));
                DecompressionEnded();
            });
            return;
        }
        const TraceSummary summary =
            summarizer.Finish(result.fixes * kTraceFixSize, settings.Zone, settings.SpeedUnit);
        PostToGui([this, summary] {
            SetReadProgress(-1);
            SetStatus(QString::fromLatin1(kStatusReadingDone));
            if (!m_quitAfterRead) {
                ApplyTraceSummary(summary);
                ShowPeriod();
            }
            AppendLine(QString::fromLatin1(kLineDecompressDone));
            DecompressionEnded();
        });
    });
}

void CdatalogDlg::DecompressionEnded() {
    const int activity = m_activity.load();
    if (activity == ActivityReading || activity == ActivityStopRequested) {
        m_activity.store(ActivityIdle);
    }
    EnableCommands(true);
    m_timer1->start();
    if (m_quitAfterRead) {
        close();
    }
}

void CdatalogDlg::OnStop() {
    const int activity = m_activity.load();
    if (activity == ActivityReading && m_readInFlight) {
        // The download notices the request before its next range; the commands come back
        // when the read worker has ended (OnReadEnded), not before.
        m_activity.store(ActivityStopRequested);
        m_stopRead.store(true);
        m_ui->stopButton->setEnabled(false);
        SetReadProgress(-1);
        LoadExchange();
        return;
    }
    SetStatus(QString::fromLatin1(kStatusReady));
    EnableCommands(true);
    m_ui->stopButton->setEnabled(false);
    if (activity == ActivityIdle) {
        m_activity.store(ActivityStoppedIdle);
        if (RequireConnection()) {
            StartConfigureWorker();
        }
    } else if (activity == ActivityReading) {
        // No download is running (the logger reported no sectors): nothing would notice the
        // request, so the poll resumes here.
        m_activity.store(ActivityIdle);
        m_timer1->start();
        SetReadProgress(-1);
        LoadExchange();
    }
}

// ---- conversion side ----

void CdatalogDlg::OnBeginDateChanged() {
    m_beginTime = WithDate(m_beginTime, m_ui->beginDate->date());
    m_beginUtc = m_settings.Zone.ToUtc(m_beginTime);
    ShowPeriod();
}

void CdatalogDlg::OnEndDateChanged() {
    m_endTime = WithDate(m_endTime, m_ui->endDate->date());
    m_endUtc = m_settings.Zone.ToUtc(m_endTime);
    ShowPeriod();
}

void CdatalogDlg::OnBeginHour(int index) {
    m_beginTime = WithHour(m_beginTime, index);
    m_beginUtc = m_settings.Zone.ToUtc(m_beginTime);
    ShowPeriod();
}

void CdatalogDlg::OnEndHour(int index) {
    m_endTime = WithHour(m_endTime, index);
    m_endUtc = m_settings.Zone.ToUtc(m_endTime);
    ShowPeriod();
}

void CdatalogDlg::OnConvert() {
    SetStatus(QString::fromLatin1(kStatusConverting));
    if (m_beginTime > m_endTime) {
        m_endTime = m_beginTime;
        m_endUtc = m_beginUtc;
        ShowPeriod();
        ShowBox(QtText(IDS_WRONG_CONVERT_TIME), BoxIcon::Error);
        return;
    }
    // Refused before the file dialog: with no output type there is nothing to convert into.
    if (m_settings.Conversion == 0) {
        SetStatus(QString::fromLatin1(kStatusReady));
        ShowBox(QString::fromLatin1(convert_text::kNoOutputChosen), BoxIcon::Warning);
        return;
    }
    SaveExchange();
    m_outputPath.clear();
    const QString chosen = m_config.services.saveFile->ChooseSaveFile(
        this, m_lastOutputDir, OutputFilters(QtText(IDS_LOGGER_FILES), QtText(IDS_ALL_FILES)));
    if (chosen.isEmpty()) {
        SetStatus(QString::fromLatin1(kStatusReady));
        return;
    }
    // One name stands for up to six files: ask once, naming every one that would be replaced.
    const QStringList existing = ExistingOutputs(PlannedOutputs(chosen, m_settings.Conversion));
    if (!existing.isEmpty() && !m_config.services.boxes->AskOkCancel(
                                   this, QLatin1String(kWindowTitle), ReplaceQuestion(existing))) {
        SetStatus(QString::fromLatin1(kStatusReady));
        return;
    }
    m_outputPath = chosen;
    // The folder of this output replaces the previous one whole.
    m_lastOutputDir = QFileInfo(chosen).absolutePath() + QLatin1Char('/');
    m_config.profile->ProfileWriteText(kWindowSection, kLastOutputFolderKey,
                                       m_lastOutputDir.toStdString());
    LoadExchange();
    EnableCommands(false);
    m_timer4->start();
}

void CdatalogDlg::OnConvertTimer() {
    m_timer4->stop();
    m_timer1->stop();
    ConvertRequest request;
    request.traceFolder = m_traceFolder;
    request.outputPath = m_outputPath.toStdString();
    request.begin = m_beginUtc;
    request.end = m_endUtc;
    request.settings = m_settings;
    request.recordDistance = m_minDistance;
    request.recordTimePeriod = m_minTime;
    request.idText = m_deviceId.toStdString();
    m_workThread->Post([this, request] {
        WorkReport report(*this);
        const ConvertResult result = m_config.trace->Convert(request, report);
        const bool ok = result.ok();
        PostToGui([this, ok, written = result.written] {
            SetReadProgress(-1);
            for (const std::string& path : written) {
                AppendLine(WrittenLine(Q(path)));
            }
            if (ok) {
                SetStatus(QString::fromLatin1(kStatusConvertingDone));
            }
            if (m_deviceMode) {
                EnableCommands(true);
                m_timer1->start();
            } else {
                // Offline the device commands stay disabled, also after a failure.
                m_ui->convertButton->setEnabled(m_traceLoaded);
                m_ui->changeSettingButton->setEnabled(true);
            }
            m_ui->reportButton->setEnabled(ok);
            emit conversionFinished(ok);
        });
    });
}

void CdatalogDlg::OnReport() {
    if (m_config.services.folders->OpenFolder(m_lastOutputDir)) {
        return;
    }
    // No file manager answered: say where the files are, and let the path be pasted elsewhere.
    const QString folder = QDir::toNativeSeparators(m_lastOutputDir);
    if (m_config.services.boxes->OfferCopy(this, QLatin1String(kWindowTitle),
                                           FolderNotOpenedText(folder))) {
        QGuiApplication::clipboard()->setText(folder);
    }
}

void CdatalogDlg::OnChangeSetting() {
    if (m_config.services.settings->EditSettings(this)) {
        SettingsSummary();
        // The period keeps its instants, so "the whole trace" stays whole in the new zone.
        SetPeriod(m_beginUtc, m_endUtc);
        ReloadTrackView();  // zone, unit and stop settings change what it shows
    }
}

}  // namespace pelmora
