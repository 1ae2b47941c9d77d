#pragma once
// The one window of the program and the controller behind it: start-up and device detection,
// the device commands, the conversion side, the timers, the status log.
//
// Thread contract: every widget and member of the window belongs to the GUI thread, except the
// atomics below. The device commands run on the device thread (which owns the port and runs
// the NMEA reader between commands), the decoding and conversion on the work thread; both reach
// the window only through its GuiCallQueue. The factory-reset question is a blocking call into the
// GUI thread that ends when the window closes.
#include <QDialog>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "core/conversion_settings.h"
#include "core/profile_store.h"
#include "core/time_value.h"
#include "link/device_session.h"
#include "ui/main_menu.h"
#include "ui/trace_services.h"
#include "ui/window_services.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QStatusBar;
class QTimer;

namespace Ui {
class CdatalogDlg;
}

namespace pelmora {

class CTrackViewDlg;
class GuiCallQueue;
class StatusLog;
class JobThread;

enum ActivityState : int {
    ActivityNotConnected = 0,
    ActivityIdle = 1,
    ActivityStoppedIdle = 2,
    ActivityReading = 3,
    ActivityStopRequested = 4,
};

class CdatalogDlg : public QDialog, public DeviceEventSink {
    Q_OBJECT

  public:
    static constexpr int kStatusPollMs = 10000;  // timer 1
    static constexpr int kConvertDelayMs = 10;   // timer 4
    static constexpr int kDetectMs = 1000;       // timer 6
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

    // Start-up up to the port choice and the connection. False when the port choice was
    // cancelled: the window is not to be shown.
    bool OnInitDialog();

    void EnableCommands(bool on);
    // Sets the Convert Time Period, local times of the chosen zone, to whole minutes: begin from
    // the start of its minute, end to the last second of its minute. Pickers, hour lists and the
    // exact times follow.
    void SetConvertPeriod(TimeValue beginLocal, TimeValue endLocal);
    // The menu bar; other windows' menus are inserted before its Help menu.
    const MainMenu& menu() const { return m_menu; }
    // Opens (or raises) the track view window; it follows the period, the settings and the trace.
    void OpenTrackView();
    CTrackViewDlg* trackView() const { return m_trackView; }
    // Callable from any thread.
    void AddStatusLine(const QString& line);

    // True once the run ended because the port choice was cancelled after a port failed.
    bool processEndRequested() const { return m_endRequested; }
    QStringList statusLog() const;
    QStringList receivedMessages() const { return m_received; }
    int activityState() const { return m_activity.load(); }
    bool deviceMode() const { return m_deviceMode; }
    bool traceLoaded() const { return m_traceLoaded; }
    TimeValue beginTime() const { return m_beginTime; }
    TimeValue endTime() const { return m_endTime; }
    TimeValue beginUtc() const { return m_beginUtc; }
    TimeValue endUtc() const { return m_endUtc; }
    const ConversionSettings& conversionSettings() const { return m_settings; }
    QString lastOutputFolder() const { return m_lastOutputDir; }
    QString statusText() const;
    // The last progress of a Read: "1.2 of 4.0 MB, 22.4 kB/s, 2 min 05 s left".
    QString readProgressText() const { return m_readProgressText; }
    bool statusPollActive() const;
    // Idle: no device command, decoding or conversion is queued or running.
    bool workIdle() const;

    // "Save" exchange of the Record Option fields and the ID; false after a range prompt, the
    // focus then in the field at fault.
    bool SaveExchange();
    void LoadExchange();

    // DeviceEventSink: any thread.
    void OnQueryLogStatus(unsigned char* frame) override;
    void OnPostMsg(unsigned char* text) override;
    void OnBinaryMsg(int code) override;

  signals:
    void processEnd();
    void conversionFinished(bool ok);
    // The window menu's About entry: the application shows its about box.
    void aboutRequested();

  public slots:
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Start-up and detection.
    bool ChoosePortAndConnect();
    bool UseChoice(const PortChoice& choice);
    LinkError Connect(const QString& port, int baudRate);
    void SearchLoggerRate(bool heard);
    void OnRateSearched(const RateSearchResult& found);
    void OnLoggerFound();
    void NotALogger();
    void PortFailed(const QString& headline, const LinkError& error);
    void EndRun();
    void GoOffline();
    void SettingsSummary();
    void TraceQuestion();
    void FillHourLists();
    void SetPeriod(TimeValue beginUtc, TimeValue endUtc);
    void ApplyTraceSummary(const TraceSummary& summary);
    void OnDetectTimer();
    void ShutdownDevice();

    // Device commands.
    bool RequireConnection();
    void StartConnectWorker();
    void StartStatusWorker();
    void StartConfigureWorker();
    void StartDecompression();
    void OnReadEnded(int code);  // a DownloadLog outcome
    void DecompressionEnded();
    void RunInCommonFrame(std::function<void()> command, std::function<void()> report);
    void PostToGui(std::function<void()> call);
    bool AskFactoryReset();
    void OnStatusPoll();
    void OnClear();
    void OnRead();
    void OnStop();
    void OnConfigure();
    void OnSet();

    // Conversion side.
    void OnConvert();
    void OnConvertTimer();
    void OnReport();
    void OnChangeSetting();
    void OnBeginDateChanged();
    void OnEndDateChanged();
    void OnBeginHour(int index);
    void OnEndHour(int index);
    void ShowPeriod();
    void ReloadTrackView();

    // The frame around the form (window_frame.cpp).
    void SetupFrame();
    // -1 hides the bar.
    void SetReadProgress(int position);
    void SetDetecting(bool on);
    void RestorePlacement();
    void SavePlacement();
    void OnOpenTrace();
    void OnChangePort();

    bool ExchangeField(QLineEdit* edit, int minimum, int maximum, int& value);
    void ShowBox(const QString& text, BoxIcon icon);
    void SetStatus(const QString& text);
    void AppendLine(const QString& line);
    void SetMemoryProgress(int position);

    class ReadReport;
    class WorkReport;

    std::unique_ptr<Ui::CdatalogDlg> m_ui;
    Config m_config;
    MainMenu m_menu;
    CTrackViewDlg* m_trackView = nullptr;  // a child: goes with the window
    StatusLog* m_log = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_pane0 = nullptr;
    QLabel* m_pane1 = nullptr;
    QProgressBar* m_readProgress = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_timer4 = nullptr;
    QTimer* m_timer6 = nullptr;

    QString m_logPath;
    QString m_percentageText;
    QString m_readProgressText;
    int m_minDistance = 0;
    int m_minTime = 0;
    int m_minSpeed = 0;
    QString m_deviceId;
    QString m_outputPath;
    QString m_lastOutputDir;
    std::string m_traceFolder;  // holds the trace that Convert reads
    QString m_portName;
    int m_baudRate = 0;
    bool m_deviceMode = true;
    bool m_traceLoaded = false;
    // The Convert Time Period: local times in the zone as the pickers show them, and the instants
    // they stand for. The instants are the truth: a zone change moves only the clock values.
    TimeValue m_beginTime = 0;
    TimeValue m_endTime = 0;
    TimeValue m_beginUtc = 0;
    TimeValue m_endUtc = 0;
    ConversionSettings m_settings;
    QStringList m_received;
    bool m_endRequested = false;
    bool m_inExchange = false;
    bool m_readInFlight = false;
    bool m_quitAfterRead = false;  // the window was closed during a Read
    bool m_handlersBound = false;
    std::string m_storedBaudRate;  // the profile's rate before the port choice

    std::atomic<int> m_activity{ActivityNotConnected};
    std::atomic<std::uint32_t> m_usedLogBytes{0};
    std::atomic<bool> m_refillOptions{true};
    std::atomic<bool> m_stopRead{false};
    std::atomic<bool> m_closing{false};

    // The workers' calls into the GUI thread; outlives the threads that post to it.
    std::unique_ptr<GuiCallQueue> m_guiCalls;
    // Declared last: destroyed first, so no job outlives the members it uses.
    std::unique_ptr<JobThread> m_workThread;
    std::unique_ptr<JobThread> m_deviceThread;
};

}  // namespace pelmora
