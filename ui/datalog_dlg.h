#pragma once
// The one window of the program. It draws what the device controller says (the connection's
// state, every command's outcome); its trace panel runs the trace side (decoding after a Read,
// the Convert Time Period, Convert, Report, the settings and the track view).
//
// Thread contract: every widget and member belongs to the GUI thread. The device controller's
// reports come through a QueuedDeviceObserver and the trace panel's through the same
// GuiCallQueue: the one way into the GUI thread.
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "core/profile_store.h"
#include "link/device_controller.h"
#include "link/device_session.h"
#include "ui/main_menu.h"
#include "ui/trace_services.h"
#include "ui/window_services.h"

namespace Ui {
class CdatalogDlg;
}

namespace pelmora {

class CGeotagDlg;
class DevicePanel;
class GuiCallQueue;
class QueuedDeviceObserver;
class RememberedLoggerWatch;
class RecordOptionsForm;
class StatusLog;
class TracePanel;
class WindowStatusBar;

class CdatalogDlg : public QDialog, private DeviceObserver {
    Q_OBJECT

  public:
    static constexpr int kStatusPollMs = 10000;  // timer 1
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
    // The menu bar; other windows' menus are inserted before its Help menu.
    const MainMenu& menu() const { return m_menu; }
    TracePanel& tracePanel() { return *m_panel; }
    DevicePanel& devicePanel() { return *m_device; }
    RecordOptionsForm& recordOptions() { return *m_form; }

    // For tests and the application.
    bool processEndRequested() const { return m_endRequested; }
    QStringList statusLog() const;
    QStringList receivedMessages() const { return m_received; }
    DeviceState deviceState() const { return m_state; }
    bool deviceMode() const { return m_state != DeviceState::Offline; }
    QString statusText() const;
    // The connection's state as the status bar shows it: "Connected (/dev/ttyUSB0)".
    QString connectionText() const;
    bool statusPollActive() const;
    // Idle: no device command, decoding or conversion is queued or running.
    bool workIdle() const;

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
    // Start-up and the port.
    bool AskPortAndConnect(bool startup);
    bool UseChoice(const PortChoice& choice);
    void OnChangePort();
    // File > Geotag photos...: one dialog at a time, with the trace of the data folder.
    void OpenGeotag();
    // The remembered logger was plugged in: connect to it and read what is new.
    void WatchRememberedLogger();
    void OnRememberedLogger(const QString& port);
    void EndRun();
    void Ready();  // connected or offline: the settings, the old trace, today's period

    // DeviceObserver, on the GUI thread.
    void OnStateChanged(DeviceState state) override;
    void OnConnectFinished(const ConnectOutcome& outcome) override;
    void OnLogStatus(const LogStatus& status) override;
    void OnCommandFinished(DeviceCommand command, CommandResult result) override;
    void OnNmeaLine(const std::string& line) override;
    void OnDisconnected(const std::string& port) override;
    void OnReadFinished(const DownloadResult& result) override;
    void ReadProgress(const DownloadProgress& progress) override;
    bool ConfirmFactoryReset() override;
    bool ConfirmClearUndownloaded() override;
    void StatusLine(const std::string& line) override;

    // What is enabled follows from the connection's state and the trace work alone.
    void DrawState();
    void OnWorkChanged();
    void ShowBox(const QString& text, BoxIcon icon);
    void SetStatus(const QString& text);
    void AppendLine(const QString& line);

    std::unique_ptr<Ui::CdatalogDlg> m_ui;
    Config m_config;
    MainMenu m_menu;
    StatusLog* m_log = nullptr;
    WindowStatusBar* m_statusBar = nullptr;
    RecordOptionsForm* m_form = nullptr;
    TracePanel* m_panel = nullptr;
    DevicePanel* m_device = nullptr;
    QTimer* m_timer1 = nullptr;
    QPointer<CGeotagDlg> m_geotag;

    DeviceState m_state = DeviceState::Disconnected;  // as last drawn
    QString m_portName;
    int m_baudRate = 0;
    std::string m_storedBaudRate;  // the profile's rate before the port choice
    bool m_startup = true;         // until the first connection or "None": Cancel ends the run
    bool m_askingPort = false;
    QStringList m_received;
    bool m_endRequested = false;
    bool m_closing = false;
    bool m_quitAfterRead = false;  // the window was closed during a Read
    RememberedLoggerWatch* m_rememberedWatch = nullptr;
    bool m_readWhenConnected = false;  // connected for the remembered logger: read at once

    // The reports' way into the GUI thread; outlives the threads that post to it.
    std::unique_ptr<GuiCallQueue> m_guiCalls;
    std::unique_ptr<QueuedDeviceObserver> m_reports;
    // Declared last: destroyed first, so no report outlives the members it uses.
    std::unique_ptr<DeviceController> m_controller;
};

}  // namespace pelmora
