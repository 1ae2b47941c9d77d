#pragma once
// The one window of the program. It draws what the device controller says (the connection's
// state, every command's outcome) and runs the trace side: decoding after a Read, the Convert
// Time Period, Convert, Report, the settings and the track view.
//
// Thread contract: every widget and member belongs to the GUI thread. The device controller's
// reports and the work thread's (decoding, conversion) reach the window only through its
// GuiCallQueue, the one way into the GUI thread. The factory-reset question is a blocking call
// into the GUI thread that ends when the window closes.
#include <QDialog>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "core/conversion_settings.h"
#include "core/profile_store.h"
#include "core/time_value.h"
#include "link/device_controller.h"
#include "link/device_session.h"
#include "ui/main_menu.h"
#include "ui/trace_services.h"
#include "ui/window_services.h"

class QLabel;
class QProgressBar;
class QStatusBar;
class QTimer;

namespace Ui {
class CdatalogDlg;
}

namespace pelmora {

class CTrackViewDlg;
class GuiCallQueue;
class JobThread;
class PeriodPicker;
class RecordOptionsForm;
class StatusLog;

class CdatalogDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kStatusPollMs = 10000;  // timer 1
    static constexpr int kConvertDelayMs = 10;   // timer 4
    static constexpr int kMaxListLines = 2000;   // both lists keep their newest lines

    struct Config {
        ProfileStore* profile = nullptr;
        DeviceSession* device = nullptr;
        TraceServices* trace = nullptr;
        WindowServices services;
        std::string dataFolder;         // data.log and TraceLog.ltp
        int computerOffsetMinutes = 0;  // the computer zone's standard offset east of UTC
    };

    explicit CdatalogDlg(Config config, QWidget* parent = nullptr);
    ~CdatalogDlg() override;

    // Start-up up to the port choice. False when it was cancelled: the window is not shown.
    bool OnInitDialog();

    // Sets the Convert Time Period from local times of the chosen zone, to whole minutes.
    void SetConvertPeriod(TimeValue beginLocal, TimeValue endLocal);
    // The menu bar; other windows' menus are inserted before its Help menu.
    const MainMenu& menu() const { return m_menu; }
    // Opens (or raises) the track view beside the window; it follows the period, the settings
    // and the trace.
    void OpenTrackView();
    CTrackViewDlg* trackView() const { return m_trackView; }

    // For tests and the application.
    bool processEndRequested() const { return m_endRequested; }
    QStringList statusLog() const;
    QStringList receivedMessages() const { return m_received; }
    DeviceState deviceState() const { return m_state; }
    bool deviceMode() const { return m_state != DeviceState::Offline; }
    bool traceLoaded() const { return m_traceLoaded; }
    TimeValue beginTime() const;
    TimeValue endTime() const;
    TimeValue beginUtc() const;
    TimeValue endUtc() const;
    const ConversionSettings& conversionSettings() const { return m_settings; }
    QString lastOutputFolder() const { return m_lastOutputDir; }
    QString statusText() const;
    // The connection's state as the status bar shows it: "Connected (/dev/ttyUSB0)".
    QString connectionText() const;
    // The last progress of a Read: "1.2 of 4.0 MB, 22.4 kB/s, 2 min 05 s left".
    QString readProgressText() const { return m_readProgressText; }
    bool statusPollActive() const;
    // Idle: no device command, decoding or conversion is queued or running.
    bool workIdle() const;
    RecordOptionsForm& recordOptions() { return *m_form; }

  signals:
    void processEnd();
    void conversionFinished(bool ok);
    // The window menu's About entry: the application shows its about box.
    void aboutRequested();

  public slots:
    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class DeviceReports;
    class WorkReport;

    // Start-up and the port (datalog_dlg.cpp).
    bool AskPortAndConnect(bool startup);
    bool UseChoice(const PortChoice& choice);
    void OnConnectFinished(const ConnectOutcome& outcome);
    void OnDisconnected(const QString& port);
    void EndRun();
    void OnChangePort();

    // The device's reports and commands (datalog_dlg.cpp).
    void DrawState();
    void OnStateChanged(DeviceState state);
    void OnLogStatus(const LogStatus& status);
    void OnCommandFinished(DeviceCommand command, CommandResult result);
    void OnReadFinished(const DownloadResult& result);
    bool AskFactoryReset();
    void OnClear();
    void OnRead();
    void OnStop();
    void OnConfigure();
    void OnSet();

    // The trace side (trace_side.cpp).
    void SettingsSummary();
    void TraceQuestion();
    void ApplyTraceSummary(const TraceSummary& summary, bool tell);
    void LabelTrace();
    void StartDecompression();
    void WorkEnded();
    void OnConvert();
    void OnConvertTimer();
    void OnReport();
    void OnChangeSetting();
    void OnOpenTrace();
    void OnPeriodChanged(TimeValue beginUtc, TimeValue endUtc);

    // The frame around the form (window_frame.cpp).
    void SetupFrame();
    void SetReadProgress(int position);  // -1 hides the bar
    void RestorePlacement();
    void SavePlacement();
    void ShowBox(const QString& text, BoxIcon icon);
    void SetStatus(const QString& text);
    void AppendLine(const QString& line);
    void PostToGui(std::function<void()> call);

    std::unique_ptr<Ui::CdatalogDlg> m_ui;
    Config m_config;
    MainMenu m_menu;
    CTrackViewDlg* m_trackView = nullptr;  // children: they go with the window
    StatusLog* m_log = nullptr;
    PeriodPicker* m_period = nullptr;
    RecordOptionsForm* m_form = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_pane0 = nullptr;
    QLabel* m_pane1 = nullptr;
    QProgressBar* m_readProgress = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_timer4 = nullptr;

    DeviceState m_state = DeviceState::Disconnected;  // as last drawn
    QString m_portName;
    int m_baudRate = 0;
    std::string m_storedBaudRate;  // the profile's rate before the port choice
    bool m_startup = true;         // until the first connection or "None": Cancel ends the run
    bool m_askingPort = false;
    bool m_traceAsked = false;  // "Open old Log file" is asked once
    std::optional<LogStatus> m_lastStatus;
    bool m_refillOptions = true;
    QString m_readProgressText;
    QStringList m_received;

    std::string m_traceFolder;  // holds the trace that Convert reads
    bool m_traceLoaded = false;
    TimeValue m_traceBeginUtc = 0;
    TimeValue m_traceEndUtc = 0;
    ConversionSettings m_settings;
    QString m_outputPath;
    QString m_lastOutputDir;
    bool m_working = false;  // decoding or converting
    bool m_endRequested = false;
    bool m_quitAfterRead = false;  // the window was closed during a Read
    std::atomic<bool> m_closing{false};

    // The reports' way into the GUI thread; outlives the threads that post to it.
    std::unique_ptr<GuiCallQueue> m_guiCalls;
    std::unique_ptr<JobThread> m_workThread;
    std::unique_ptr<DeviceReports> m_reports;
    // Declared last: destroyed first, so no report outlives the members it uses.
    std::unique_ptr<DeviceController> m_controller;
};

}  // namespace pelmora
