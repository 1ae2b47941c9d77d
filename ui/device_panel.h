#pragma once
// The window's device side: Read, Stop, Clear, Configure and Set ID given to the device
// controller, and what comes back shown as it is (the logger's status and memory use, each
// command's outcome, a Read's progress and end).
//
// Thread contract: the GUI thread only.
#include <QObject>
#include <QString>
#include <optional>
#include <string>

#include "link/device_controller.h"
#include "ui/window_voice.h"

class QDialog;

namespace Ui {
class CdatalogDlg;
}

namespace pelmora {

class ProfileStore;
class RecordOptionsForm;
class StatusLog;

class DevicePanel : public QObject {
    Q_OBJECT

  public:
    struct Config {
        ProfileStore* profile = nullptr;
        MessageBoxes* boxes = nullptr;
        std::string dataFolder;
    };

    DevicePanel(Config config, Ui::CdatalogDlg& ui, QDialog& dialog, DeviceController& controller,
                RecordOptionsForm& form, StatusLog& log, WindowVoice voice);

    void OnClear();
    void OnConfigure();
    void OnSet();
    void OnRead();
    void OnStop();

    void ShowStatus(const LogStatus& status);
    void ShowResult(DeviceCommand command, CommandResult result);
    void ShowProgress(const DownloadProgress& progress);
    // Tells how a Read ended; true when a log was written (to be decoded).
    bool TellReadEnd(const DownloadResult& result, bool stopAsked);
    // Another connection: its status and Record Options come afresh.
    void Forget();
    // The connected logger's device ID: the rate it took last time is tried first.
    void SetLoggerId(std::string id) { m_loggerId = std::move(id); }

    QString readProgressText() const { return m_readProgressText; }

  signals:
    // A command was given: the window draws the controller's state at once.
    void commandGiven();

  private:
    Config m_config;
    Ui::CdatalogDlg& m_ui;
    QDialog& m_dialog;
    DeviceController& m_controller;
    RecordOptionsForm& m_form;
    StatusLog& m_log;
    WindowVoice m_voice;
    std::optional<LogStatus> m_lastStatus;
    bool m_refillOptions = true;
    QString m_readProgressText;
    std::optional<std::string> m_loggerId;  // known once connected
    bool m_rateTrial = false;               // the Read in hand chooses its rate
};

}  // namespace pelmora
