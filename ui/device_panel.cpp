#include "ui/device_panel.h"

#include <QDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <utility>

#include "core/clean_text.h"
#include "core/download_settings.h"
#include "core/profile_store.h"
#include "core/string_table.h"
#include "link/device_texts.h"
#include "ui/qt_text.h"
#include "ui/record_options_form.h"
#include "ui/status_log.h"
#include "ui/window_texts.h"
#include "ui_datalog_dlg.h"

namespace pelmora {
DevicePanel::DevicePanel(Config config, Ui::CdatalogDlg& ui, QDialog& dialog,
                         DeviceController& controller, RecordOptionsForm& form, StatusLog& log,
                         WindowVoice voice)
    : QObject(&dialog),
      m_config(std::move(config)),
      m_ui(ui),
      m_dialog(dialog),
      m_controller(controller),
      m_form(form),
      m_log(log),
      m_voice(std::move(voice)) {}

void DevicePanel::ShowStatus(const LogStatus& status) {
    m_lastStatus = status;
    m_ui.percentageEdit->setText(Q(LogUsagePercentText(status)));
    m_ui.progressBar->setValue(LogUsageProgress(status));
    if (m_refillOptions) {
        m_refillOptions = false;
        m_form.Fill(static_cast<int>(status.minTime), static_cast<int>(status.minDistance),
                    static_cast<int>(status.minSpeed));
    }
    QStringList block;
    for (const std::string& line : LogStatusLines(status)) {
        block << Q(line);
    }
    m_log.AppendBlock(block);
}

void DevicePanel::ShowResult(DeviceCommand command, CommandResult result) {
    if (command == DeviceCommand::Clear && result == CommandResult::Cancelled) {
        m_voice.line(QStringLiteral("Not cleared."));  // the user said no to the second question
        return;
    }
    if (result != CommandResult::Done) {
        // Said as it is, and nothing in the window changes as if the command had worked.
        const QString cause = Q(ResultText(result));
        m_voice.line(cause);
        if (result != CommandResult::Disconnected) {
            m_voice.box(cause, BoxIcon::Warning);
        }
        return;
    }
    switch (command) {
        case DeviceCommand::Clear:
            m_voice.line(QString::fromLatin1(kLogClearSuccessful));
            break;
        case DeviceCommand::Configure:
            m_voice.line(QString::fromLatin1(kLogConfigureSuccessful));
            m_voice.box(QtText(IDS_CONFIGURE_DONE), BoxIcon::None);
            break;
        case DeviceCommand::SetId:
            m_voice.box(QtText(IDS_SET_DONE), BoxIcon::None);
            break;
    }
}

void DevicePanel::ShowProgress(const DownloadProgress& progress) {
    m_voice.progress(progress.Percent());
    m_readProgressText = Q(ProgressText(progress));
    m_voice.status(QString::fromLatin1(kStatusReading) + QLatin1Char(' ') + m_readProgressText);
}

bool DevicePanel::TellReadEnd(const DownloadResult& result, bool stopAsked) {
    m_voice.progress(-1);
    if (std::exchange(m_rateTrial, false) &&
        (result.outcome == DownloadOutcome::Done || result.outcome == DownloadOutcome::EmptyLog)) {
        SaveLoggerRate(*m_config.profile, *m_loggerId, result.rate);
    }
    switch (result.outcome) {
        case DownloadOutcome::Done:
            if (stopAsked) {
                // The last range was in flight when Stop came: the log is whole, so it counts.
                m_voice.line(QString::fromLatin1(kLineWholeLogBeforeStop));
            }
            return true;
        case DownloadOutcome::StatusFailed:
            m_voice.line(Q(ResultText(result.status)));
            break;
        case DownloadOutcome::Stopped:       // said by the Read itself
        case DownloadOutcome::Disconnected:  // said with the port
        case DownloadOutcome::EmptyLog:      // said by the Read itself
            break;
        case DownloadOutcome::GaveUp:
        case DownloadOutcome::DeviceError:
        case DownloadOutcome::WriteFailed:
        case DownloadOutcome::LineDead:
            m_voice.line(Q(OutcomeText(result.outcome)));
            break;
    }
    m_voice.status(QString::fromLatin1(kStatusReady));
    return false;
}

void DevicePanel::Forget() {
    m_lastStatus.reset();
    m_loggerId.reset();
    m_refillOptions = true;
    m_form.SetId({});
    m_ui.percentageEdit->clear();
    m_ui.progressBar->setValue(0);
}

void DevicePanel::OnClear() {
    if (!m_config.boxes->AskOkCancel(&m_dialog, QLatin1String(kWindowTitle),
                                     QtText(IDS_CLEAR_CONFIRM))) {
        return;
    }
    // Once more, from the device thread, when the logger's log holds what no download here has.
    m_controller.Clear(m_config.dataFolder);
    emit commandGiven();
}

void DevicePanel::OnConfigure() {
    if (!m_form.Save()) {
        return;
    }
    // The fields then show what the logger holds, after its next status.
    m_refillOptions = true;
    m_controller.Configure(m_form.options());
    emit commandGiven();
}

void DevicePanel::OnSet() {
    if (!m_form.Save()) {
        return;
    }
    const std::string id = m_form.id().toStdString();
    if (const std::string problem = DeviceIdProblem(id); !problem.empty()) {
        m_voice.box(Q(problem), BoxIcon::Warning);
        return;
    }
    m_controller.SetId(id);
    emit commandGiven();
}

void DevicePanel::OnRead() {
    if (!AcceptsCommands(m_controller.state())) {
        return;
    }
    m_voice.status(QString::fromLatin1(kStatusReading));
    m_readProgressText.clear();
    m_voice.progress(0);
    DownloadRequest request;
    request.dataFolder = m_config.dataFolder;
    if (m_config.profile != nullptr) {
        request.rate = LoadDownloadRate(*m_config.profile);
        request.full = LoadFullRead(*m_config.profile);
        m_rateTrial = request.rate == 0 && m_loggerId.has_value();
        if (m_rateTrial) {
            request.firstRate = LoadLoggerRate(*m_config.profile, *m_loggerId);
        }
    }
    m_controller.Read(request);
    emit commandGiven();
}

void DevicePanel::OnStop() {
    // Said at once; the Read notices before its next range.
    m_voice.status(Q(StateText(DeviceState::Stopping)));
    m_voice.progress(-1);
    m_controller.Stop();
    emit commandGiven();
}

}  // namespace pelmora
