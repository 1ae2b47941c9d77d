#include "ui/datalog_dlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTime>
#include <QTimer>
#include <utility>

#include "core/app_paths.h"
#include "core/string_table.h"
#include "link/device_texts.h"
#include "link/port_list.h"
#include "link/remembered_logger.h"
#include "link/udev_logger.h"
#include "ui/auto_sync.h"
#include "ui/device_panel.h"
#include "ui/geotag_dlg.h"
#include "ui/gui_call_queue.h"
#include "ui/qt_text.h"
#include "ui/queued_device_observer.h"
#include "ui/record_options_form.h"
#include "ui/status_log.h"
#include "ui/trace_panel.h"
#include "ui/window_status_bar.h"
#include "ui/window_texts.h"
#include "ui_datalog_dlg.h"

namespace pelmora {
namespace {

constexpr const char* kAppTitle = "pelmora";  // the application-level boxes' caption

}  // namespace

CdatalogDlg::CdatalogDlg(Config config, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CdatalogDlg>()),
      m_config(std::move(config)),
      m_guiCalls(std::make_unique<GuiCallQueue>()) {
    m_ui->setupUi(this);
    m_statusBar = new WindowStatusBar(this);
    static_cast<QGridLayout*>(layout())->addWidget(m_statusBar, 6, 0, 1, -1);
    // Labels whose texts change keep the window's width: they wrap or are cut, never widen it.
    for (QLabel* label : {m_ui->timeZoneText, m_ui->conversionText, m_ui->speedUnitText,
                          m_ui->stopPeriodText, m_ui->stopDistanceText, m_ui->overSpeedText}) {
        label->setWordWrap(true);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/pelmora/pelmora.png")));
    m_log = new StatusLog(m_ui->statusLog, kMaxListLines,
                          [] { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); });
    m_form =
        new RecordOptionsForm({m_ui->distanceEdit, m_ui->timeEdit, m_ui->speedEdit, m_ui->idEdit},
                              m_config.services.boxes, this);
    WindowVoice voice;
    voice.status = [this](const QString& text) { SetStatus(text); };
    voice.line = [this](const QString& line) { AppendLine(line); };
    voice.box = [this](const QString& text, BoxIcon icon) { ShowBox(text, icon); };
    voice.progress = [this](int position) { m_statusBar->SetProgress(position); };
    voice.post = [this](std::function<void()> call) { m_guiCalls->Post(std::move(call)); };
    m_panel = new TracePanel({m_config.profile, m_config.trace, m_config.services,
                              m_config.dataFolder, m_config.computerOffsetMinutes},
                             *m_ui, *this, *m_form, voice);
    connect(m_panel, &TracePanel::workChanged, this, &CdatalogDlg::OnWorkChanged);
    connect(m_panel, &TracePanel::conversionFinished, this, &CdatalogDlg::conversionFinished);

    m_timer1 = new QTimer(this);
    m_timer1->setInterval(kStatusPollMs);
    connect(m_timer1, &QTimer::timeout, this, [this] {
        if (m_state == DeviceState::Connected) {
            m_controller->QueryStatus();
        }
    });

    connect(m_ui->convertButton, &QPushButton::clicked, m_panel, &TracePanel::OnConvert);
    connect(m_ui->reportButton, &QPushButton::clicked, m_panel, &TracePanel::OnReport);
    connect(m_ui->changeSettingButton, &QPushButton::clicked, m_panel,
            &TracePanel::OnChangeSetting);
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
    connect(m_menu.port, &QAction::triggered, this, &CdatalogDlg::OnChangePort);
    connect(m_menu.openTrace, &QAction::triggered, m_panel, &TracePanel::OnOpenTrace);
    QAction* geotag = new QAction(tr("&Geotag photos..."), m_menu.file);
    m_menu.file->insertAction(
        m_menu.file->actions().at(m_menu.file->actions().indexOf(m_menu.quit) - 1), geotag);
    connect(geotag, &QAction::triggered, this, &CdatalogDlg::OpenGeotag);
    connect(m_menu.importLogs, &QAction::triggered, m_panel, &TracePanel::OnImportLogs);
    layout()->setMenuBar(m_menu.bar);
    QMenu* view = new QMenu(QStringLiteral("&View"), m_menu.bar);
    m_menu.bar->insertMenu(m_menu.help->menuAction(), view);
    connect(view->addAction(QStringLiteral("&Track...")), &QAction::triggered, m_panel,
            &TracePanel::OpenTrackView);
    // A dialog's default button would turn Enter in an edit into a command.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
    }
    m_reports =
        std::make_unique<QueuedDeviceObserver>(static_cast<DeviceObserver&>(*this), *m_guiCalls);
    m_controller = std::make_unique<DeviceController>(*m_config.device, *m_reports);
    m_device = new DevicePanel({m_config.profile, m_config.services.boxes, m_config.dataFolder},
                               *m_ui, *this, *m_controller, *m_form, *m_log, voice);
    connect(m_device, &DevicePanel::commandGiven, this,
            [this] { OnStateChanged(m_controller->state()); });
    connect(m_ui->clearButton, &QPushButton::clicked, m_device, &DevicePanel::OnClear);
    connect(m_ui->readButton, &QPushButton::clicked, m_device, &DevicePanel::OnRead);
    connect(m_ui->stopButton, &QPushButton::clicked, m_device, &DevicePanel::OnStop);
    connect(m_ui->configureButton, &QPushButton::clicked, m_device, &DevicePanel::OnConfigure);
    connect(m_ui->setButton, &QPushButton::clicked, m_device, &DevicePanel::OnSet);
    m_panel->SettingsSummary();
    DrawState();
    WatchRememberedLogger();
}

CdatalogDlg::~CdatalogDlg() {
    // Its work thread reports through m_guiCalls: it goes first.
    delete m_geotag.data();
    m_reports->Close();
    m_controller.reset();
    m_panel->Shutdown();
}

void CdatalogDlg::OpenGeotag() {
    if (m_geotag == nullptr) {
        m_geotag =
            new CGeotagDlg({m_config.dataFolder, m_panel->settings().Zone, m_guiCalls.get()}, this);
        m_geotag->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_geotag->show();
    m_geotag->raise();
    m_geotag->activateWindow();
}

bool CdatalogDlg::OnInitDialog() {
    if (!AskPortAndConnect(true)) {
        return false;
    }
    RestorePlacement(*this, *m_config.profile);
    return true;
}

// ---- start-up and the port ----

// The port choice; false when it was cancelled.
bool CdatalogDlg::AskPortAndConnect(bool startup) {
    if (m_askingPort) {
        return true;  // the dialog is up already
    }
    m_storedBaudRate =
        m_config.profile->ProfileReadText(kSectionSerial, "BaudRate", kDefaultBaudRate);
    m_askingPort = true;
    const PortChoice choice = m_config.services.ports->ChoosePort(this);
    m_askingPort = false;
    WatchRememberedLogger();  // the dialog may have remembered another logger, or none
    if (!choice.accepted) {
        // Before the window shows, the caller ends the run.
        if (startup && isVisible()) {
            EndRun();
        }
        return false;
    }
    return UseChoice(choice);
}

void CdatalogDlg::WatchRememberedLogger() {
    delete m_rememberedWatch;
    m_rememberedWatch = nullptr;
    const LoggerIdentity logger = LoadRememberedLogger(*m_config.profile);
    if (logger.empty()) {
        return;
    }
    m_rememberedWatch = new RememberedLoggerWatch(logger, this);
    connect(m_rememberedWatch, &RememberedLoggerWatch::appeared, this,
            &CdatalogDlg::OnRememberedLogger);
}

void CdatalogDlg::OnRememberedLogger(const QString& port) {
    // Only a window that has no logger in hand takes it; one at work is not interrupted.
    if (m_askingPort || m_closing ||
        (m_state != DeviceState::Disconnected && m_state != DeviceState::Offline)) {
        return;
    }
    AppendLine(tr("The remembered logger was plugged in (%1): connecting...").arg(port));
    const QString rate =
        Q(m_config.profile->ProfileReadText(kSectionSerial, "BaudRate", kDefaultBaudRate));
    m_readWhenConnected = true;
    UseChoice({true, port, rate});
}

bool CdatalogDlg::UseChoice(const PortChoice& choice) {
    if (choice.port == QLatin1String(kPortNone)) {
        m_startup = false;
        m_controller->GoOffline();
        OnStateChanged(DeviceState::Offline);
        AppendLine(tr("Working offline on the decoded trace"));
        Ready();
        return true;
    }
    m_portName = choice.port;
    m_baudRate = choice.baudRate.toInt();
    m_device->Forget();
    const LinkError error = m_controller->Connect(m_portName.toStdString(), m_baudRate);
    if (!error.ok()) {
        AppendLine(Q(error.message));
        ShowBox(QtText(IDS_INCORRECT_PORT) + QLatin1Char('\n') + Q(error.message), BoxIcon::Error);
        m_readWhenConnected = false;
        if (error.fault == LinkFault::PermissionDenied) {
            // A logger udev names by its serial number can be given to the user by a rule.
            if (const LoggerIdentity logger = IdentityOfPort(m_portName.toStdString());
                logger.IsUsb()) {
                OfferUdevRule(this, *m_config.services.boxes, logger);
            }
        }
        return AskPortAndConnect(m_startup);
    }
    SetStatus(tr("Connecting to %1...").arg(m_portName));
    OnStateChanged(m_controller->state());
    return true;
}

void CdatalogDlg::OnConnectFinished(const ConnectOutcome& outcome) {
    if (outcome.ok()) {
        m_startup = false;
        if (outcome.waitedOutRange) {
            AppendLine(QString::fromLatin1(kWaitedOutRangeText));
        }
        if (outcome.keptRate) {
            // The configured rate is what is wrong: offered to be saved, the logger left alone.
            const QString told = Q(KeptRateText(outcome.foundRate, m_baudRate));
            AppendLine(told);
            if (m_config.services.boxes->AskYesNo(
                    this, QLatin1String(kWindowTitle),
                    told + tr(".\nUse %1 bit/s from now on?").arg(outcome.foundRate))) {
                m_config.profile->ProfileWriteText(kSectionSerial, "BaudRate",
                                                   std::to_string(outcome.foundRate));
                m_storedBaudRate = std::to_string(outcome.foundRate);
            }
            m_baudRate = outcome.foundRate;
        } else if (outcome.foundRate != 0) {
            AppendLine(Q(SwitchedBackText(outcome.foundRate, m_baudRate)));
        }
        m_form->SetId(Q(outcome.id));
        m_device->SetLoggerId(outcome.id);
        Ready();
        m_controller->QueryStatus();
        if (std::exchange(m_readWhenConnected, false)) {
            AppendLine(tr("Reading what is new on the remembered logger..."));
            m_device->OnRead();
        }
        return;
    }
    m_readWhenConnected = false;
    const LinkFault fault = outcome.error.fault;
    const bool rate = fault == LinkFault::WrongRate || fault == LinkFault::NotSwitched;
    if (rate) {
        // A rate no logger answers at is not proposed again.
        m_config.profile->ProfileWriteText(kSectionSerial, "BaudRate", m_storedBaudRate);
    }
    const QString headline = outcome.notALogger ? QString()
                             : rate             ? QtText(IDS_INCORRECT_BAUDRATE) + QLatin1Char('\n')
                                                : QtText(IDS_INCORRECT_PORT) + QLatin1Char('\n');
    AppendLine(Q(outcome.error.message));
    SetStatus(Q(outcome.error.message));
    ShowBox(headline + Q(outcome.error.message),
            outcome.notALogger ? BoxIcon::Warning : BoxIcon::Error);
    if (outcome.notALogger) {
        // A GPS receiver: the window stays, for the trace side, with the device commands off.
        Ready();
        SetStatus(Q(outcome.error.message));
        return;
    }
    // The port dialog again; at start-up its Cancel ends the run.
    AskPortAndConnect(m_startup);
}

void CdatalogDlg::Ready() {
    m_startup = false;
    SetStatus(QString::fromLatin1(kStatusReady));
    m_panel->SettingsSummary();
    m_panel->TraceQuestion();
    m_panel->ShowToday();
}

void CdatalogDlg::OnDisconnected(const std::string& port) {
    const QString text = Q(DisconnectedText(port));
    AppendLine(text);
    SetStatus(text);
    m_timer1->stop();
    // Offered once; its Cancel keeps the window, disconnected, on the trace in hand.
    AskPortAndConnect(false);
}

void CdatalogDlg::OnChangePort() {
    const PortChoice choice = m_config.services.ports->ChoosePort(this);
    WatchRememberedLogger();
    if (!choice.accepted) {
        return;  // Cancel keeps the connection in hand
    }
    const bool wasConnected = AcceptsCommands(m_state);
    const PortChoice previous{true, m_portName, QString::number(m_baudRate)};
    m_timer1->stop();
    AppendLine(tr("Port changed to %1").arg(choice.port));
    // A port that cannot be opened, and no other chosen instead: back to the one that worked.
    if (!UseChoice(choice) && wasConnected && !m_closing) {
        AppendLine(tr("Back to %1").arg(previous.port));
        UseChoice(previous);
    }
}

void CdatalogDlg::EndRun() {
    m_endRequested = true;
    emit processEnd();
    done(QDialog::Rejected);
}

void CdatalogDlg::done(int result) {
    if (!m_closing && isVisible() && m_config.profile != nullptr) {
        SavePlacement(*this, *m_config.profile);
    }
    m_closing = true;
    m_reports->Close();
    m_timer1->stop();
    m_controller->Shutdown();
    m_panel->Shutdown();
    QDialog::done(result);
}

void CdatalogDlg::closeEvent(QCloseEvent* event) {
    const bool reading = m_state == DeviceState::Reading || m_state == DeviceState::Stopping;
    if (reading) {
        // The logger is at the download rate: the Read ends now and switches it back, and the
        // window closes when it has.
        event->ignore();
        if (m_quitAfterRead ||
            !m_config.services.boxes->AskYesNo(this, QLatin1String(kWindowTitle),
                                               QString::fromLatin1(kAskStopReadAndQuit))) {
            return;
        }
        m_quitAfterRead = true;
        m_panel->SetQuiet(true);
        m_controller->StopNow();
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

// ---- the device's state and reports ----

void CdatalogDlg::OnStateChanged(DeviceState state) {
    if (state == m_state) {
        return;
    }
    m_state = state;
    if (state == DeviceState::Connected) {
        m_startup = false;  // from now on a Cancel of the port dialog keeps the window
    }
    AppendLine(connectionText());
    if (state == DeviceState::Stopping) {
        SetStatus(Q(StateText(state)));
    }
    // The logger's status is polled while it is connected and nothing else is on the line.
    if (state == DeviceState::Connected || state == DeviceState::Busy) {
        if (!m_timer1->isActive()) {
            m_timer1->start();
        }
    } else {
        m_timer1->stop();
    }
    DrawState();
}

// What may be done follows from the connection's state and the trace work alone.
void CdatalogDlg::DrawState() {
    const bool working = m_panel->working();
    const bool commands = AcceptsCommands(m_state) && !working;
    const bool reading = m_state == DeviceState::Reading || m_state == DeviceState::Stopping;
    const bool linked =
        m_state == DeviceState::Connected || m_state == DeviceState::Busy || reading;
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui->clearButton, m_ui->configureButton, m_ui->readButton, m_ui->idEdit,
             m_ui->setButton, m_ui->distanceEdit, m_ui->timeEdit, m_ui->speedEdit}) {
        w->setEnabled(commands);
    }
    m_ui->stopButton->setEnabled(m_state == DeviceState::Reading);
    const bool trace = m_panel->traceLoaded();
    m_ui->convertButton->setEnabled(trace && !reading && !working);
    m_ui->changeSettingButton->setEnabled((AcceptsCommands(m_state) || trace) && !reading &&
                                          !working);
    m_panel->SetEnabled(!reading && !working);
    m_menu.port->setEnabled(!reading && !working);
    m_menu.openTrace->setEnabled(!reading && !working && m_state != DeviceState::Connecting);
    // Until the logger answered, the groups hold no values worth reading or editing.
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui->recordOptionGroup, m_ui->convertPeriodGroup, m_ui->applicationSettingGroup,
             m_ui->percentageEdit, m_ui->progressBar}) {
        w->setEnabled(m_state != DeviceState::Connecting);
    }
    setWindowTitle(linked ? QStringLiteral("%1 - %2").arg(QLatin1String(kWindowTitle), m_portName)
                          : QString::fromLatin1(kWindowTitle));
    m_statusBar->SetConnection(connectionText());
}

QString CdatalogDlg::connectionText() const {
    const QString state = Q(StateText(m_state));
    const bool named = m_state != DeviceState::Offline && m_state != DeviceState::Disconnected;
    return named && !m_portName.isEmpty() ? QStringLiteral("%1 (%2)").arg(state, m_portName)
                                          : state;
}

void CdatalogDlg::OnLogStatus(const LogStatus& status) {
    m_device->ShowStatus(status);
}

void CdatalogDlg::OnCommandFinished(DeviceCommand command, CommandResult result) {
    m_device->ShowResult(command, result);
}

void CdatalogDlg::OnReadFinished(const DownloadResult& result) {
    const bool stopAsked = m_state == DeviceState::Stopping || m_quitAfterRead;
    // Nothing new: data.log and its trace are as they were.
    if (m_device->TellReadEnd(result, stopAsked) &&
        (!result.nothingNew || !m_panel->showsDataFolder())) {
        m_panel->StartDecompression();
        return;
    }
    if (m_quitAfterRead) {
        done(QDialog::Rejected);  // the Read has ended: the window closes as asked
    }
}

bool CdatalogDlg::ConfirmFactoryReset() {
    // Enter must not reset the logger: No is the default.
    return m_config.services.boxes->AskYesNoDefaultNo(this, QLatin1String(kAppTitle),
                                                      QString::fromLatin1(kAskFactoryReset));
}

bool CdatalogDlg::ConfirmClearUndownloaded() {
    return m_config.services.boxes->AskOkCancel(this, QLatin1String(kWindowTitle),
                                                QString::fromLatin1(kAskClearUndownloaded));
}

void CdatalogDlg::ReadProgress(const DownloadProgress& progress) {
    if (m_state == DeviceState::Reading) {
        m_device->ShowProgress(progress);
    }
}

void CdatalogDlg::StatusLine(const std::string& line) {
    AppendLine(Q(line));
}

void CdatalogDlg::OnNmeaLine(const std::string& line) {
    m_received << Q(line).trimmed();
    if (m_received.size() > kMaxListLines) {
        m_received.removeFirst();
    }
}

// ---- status log, status bar, boxes ----

void CdatalogDlg::AppendLine(const QString& line) {
    m_log->Append(line);
}

QStringList CdatalogDlg::statusLog() const {
    return m_log->Lines();
}

QString CdatalogDlg::statusText() const {
    return m_statusBar->activity();
}

bool CdatalogDlg::statusPollActive() const {
    return m_timer1->isActive();
}

bool CdatalogDlg::workIdle() const {
    return m_controller->Idle() && m_panel->idle();
}

void CdatalogDlg::OnWorkChanged() {
    DrawState();
    if (m_quitAfterRead && m_panel->idle()) {
        done(QDialog::Rejected);  // the Read and its decoding have ended
    }
}

void CdatalogDlg::SetStatus(const QString& text) {
    m_statusBar->SetActivity(text);
}

void CdatalogDlg::ShowBox(const QString& text, BoxIcon icon) {
    m_config.services.boxes->Show(this, QLatin1String(kWindowTitle), text, icon);
}

}  // namespace pelmora
