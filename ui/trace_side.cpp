// The window's trace side: the settings summary, the trace in hand and its summary, decoding
// after a Read, the Convert Time Period, Convert, Report, the settings dialog, Open trace... and
// the track view.
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QTimer>

#include "core/app_paths.h"
#include "core/convert_texts.h"
#include "core/job_thread.h"
#include "core/string_table.h"
#include "decode/trace_fix.h"
#include "ui/datalog_dlg.h"
#include "ui/output_files.h"
#include "ui/period_picker.h"
#include "ui/qt_text.h"
#include "ui/record_options_form.h"
#include "ui/settings_summary.h"
#include "ui/track_view_dlg.h"
#include "ui/window_texts.h"
#include "ui_datalog_dlg.h"

namespace pelmora {
namespace {

constexpr const char* kWindowSection = "Window";
constexpr const char* kLastOutputFolderKey = "LastOutputFolder";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

// The decoding's and conversion's reports, on the work thread, handed to the window.
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

TimeValue CdatalogDlg::beginTime() const {
    return m_period->beginLocal();
}
TimeValue CdatalogDlg::endTime() const {
    return m_period->endLocal();
}
TimeValue CdatalogDlg::beginUtc() const {
    return m_period->beginUtc();
}
TimeValue CdatalogDlg::endUtc() const {
    return m_period->endUtc();
}

void CdatalogDlg::SettingsSummary() {
    LoadConversionSettings(*m_config.profile, m_config.computerOffsetMinutes, m_settings);
    const SettingsSummaryTexts t = MakeSettingsSummary(m_settings);
    m_settings.SpeedUnitLabel = t.speedUnitLabel;
    m_ui->timeZoneText->setText(Q(t.timeZone));
    m_ui->conversionText->setText(Q(t.conversionType));
    m_ui->stopPeriodText->setText(Q(t.stopPeriod));
    m_ui->distanceLabel->setText(Q(t.distanceLabel));
    m_ui->speedLabel->setText(Q(t.speedLabel));
    m_ui->speedUnitText->setText(Q(t.speedUnit));
    m_ui->stopDistanceText->setText(Q(t.stopDistance));
    m_ui->overSpeedText->setText(Q(t.overSpeed));
    // The minimum distance and speed start from 0 again with every summary.
    m_form->Fill(m_form->options().minTime, 0, 0);
    m_period->SetZone(m_settings.Zone);
    LabelTrace();
}

// "Open old Log file": asked once a run, at the first connection or "None".
void CdatalogDlg::TraceQuestion() {
    if (m_traceAsked || m_traceLoaded) {
        return;
    }
    m_traceAsked = true;
    const std::string tracePath = JoinPath(m_config.dataFolder, kTraceLogName);
    if (QFile(Q(tracePath)).exists() &&
        m_config.services.boxes->AskYesNo(this, QLatin1String(kWindowTitle),
                                          QtText(IDS_OPEN_OLD_LOG))) {
        ApplyTraceSummary(m_config.trace->Scan(tracePath, m_settings.Zone, m_settings.SpeedUnit),
                          true);
    }
}

void CdatalogDlg::ApplyTraceSummary(const TraceSummary& summary, bool tell) {
    switch (summary.status) {
        case TraceSummaryStatus::OpenFailed:
            ShowBox(Q(summary.message), BoxIcon::Error);
            return;
        case TraceSummaryStatus::NoData:
        case TraceSummaryStatus::NoStopData:
            ShowBox(Q(summary.message), BoxIcon::Warning);
            return;
        case TraceSummaryStatus::Ok:
            break;
    }
    m_traceLoaded = true;
    m_traceBeginUtc = summary.beginUtc;
    m_traceEndUtc = summary.endUtc;
    LabelTrace();
    m_period->SetUtc(summary.beginUtc, summary.endUtc);
    if (tell) {
        ShowBox(Q(summary.message), BoxIcon::None);
    }
    if (m_trackView != nullptr) {
        m_trackView->SetTraceFolder(
            m_traceFolder, {m_settings, m_form->options().minTime, m_form->options().minDistance});
    }
    DrawState();
}

// The trace's first and last hour on the clock of the chosen zone.
void CdatalogDlg::LabelTrace() {
    if (!m_traceLoaded) {
        m_ui->beginLabel->setText(QStringLiteral("0"));
        m_ui->endLabel->setText(QStringLiteral("0"));
        return;
    }
    m_ui->beginLabel->setText(
        Q(FormatTime(m_settings.Zone.ToLocal(m_traceBeginUtc), "%Y/%m/%d %H")));
    m_ui->endLabel->setText(Q(FormatTime(m_settings.Zone.ToLocal(m_traceEndUtc), "%Y/%m/%d %H")));
}

void CdatalogDlg::StartDecompression() {
    const std::string raw = JoinPath(m_config.dataFolder, kRawLogName);
    const std::string trace = JoinPath(m_config.dataFolder, kTraceLogName);
    DecompressOptions options;
    options.nowUtc = m_config.services.clock->Now();
    const ConversionSettings settings = m_settings;
    m_working = true;
    DrawState();
    m_workThread->Post([this, raw, trace, options, settings]() mutable {
        WorkReport report(*this);
        // The summary is worked out while the trace is written, not read back from it.
        TraceSummaryBuilder summarizer;
        options.summary = &summarizer;
        const DecompressResult result = m_config.trace->Decompress(raw, trace, options, &report);
        if (!result.ok()) {
            PostToGui([this, message = Q(result.message)] {
                // The fixes before a bad record are kept, but the user is told to read again.
                if (!message.isEmpty() && !m_quitAfterRead) {
                    ShowBox(message, BoxIcon::Warning);
                }
                SetStatus(QString::fromLatin1(kStatusReady));
                WorkEnded();
            });
            return;
        }
        const TraceSummary summary =
            summarizer.Finish(result.fixes * kTraceFixSize, settings.Zone, settings.SpeedUnit);
        PostToGui([this, summary] {
            SetStatus(QString::fromLatin1(kStatusReadingDone));
            if (!m_quitAfterRead) {
                m_traceFolder = m_config.dataFolder;
                ApplyTraceSummary(summary, true);
            }
            AppendLine(QString::fromLatin1(kLineDecompressDone));
            WorkEnded();
        });
    });
}

void CdatalogDlg::WorkEnded() {
    SetReadProgress(-1);
    m_working = false;
    DrawState();
    if (m_quitAfterRead) {
        done(QDialog::Rejected);  // the Read and its decoding have ended
    }
}

void CdatalogDlg::SetConvertPeriod(TimeValue beginLocal, TimeValue endLocal) {
    m_period->SetLocal(beginLocal, endLocal);
}

void CdatalogDlg::OnPeriodChanged(TimeValue beginUtc, TimeValue endUtc) {
    if (m_trackView != nullptr) {
        // The same instants a conversion would take.
        m_trackView->SetPeriod(beginUtc, endUtc);
    }
}

void CdatalogDlg::OpenTrackView() {
    if (m_trackView == nullptr) {
        CTrackViewDlg::Config config;
        config.dataFolder = m_traceFolder;
        config.options = {m_settings, m_form->options().minTime, m_form->options().minDistance};
        config.tiles = LoadTileSettings(*m_config.profile);
        m_trackView = new CTrackViewDlg(std::move(config), this);
        connect(m_trackView, &CTrackViewDlg::periodChosen, this, &CdatalogDlg::SetConvertPeriod);
        m_trackView->SetPeriod(m_period->beginUtc(), m_period->endUtc());
        m_trackView->PlaceBeside(*this);
    }
    m_trackView->show();
    m_trackView->raise();
    m_trackView->activateWindow();
}

void CdatalogDlg::OnConvert() {
    SetStatus(QString::fromLatin1(kStatusConverting));
    if (!m_period->MakeValid()) {
        ShowBox(QtText(IDS_WRONG_CONVERT_TIME), BoxIcon::Error);
        return;
    }
    // Refused before the file dialog: with no output type there is nothing to convert into.
    if (m_settings.Conversion == 0) {
        SetStatus(QString::fromLatin1(kStatusReady));
        if (m_config.services.boxes->AskOkCancel(
                this, QLatin1String(kWindowTitle),
                QString::fromLatin1(convert_text::kNoOutputChosen) + QLatin1Char('\n') +
                    tr("Open Change Setting now?"))) {
            OnChangeSetting();
        }
        return;
    }
    m_form->Save();
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
    m_working = true;
    m_ui->reportButton->setEnabled(false);
    DrawState();
    m_timer4->start();
}

void CdatalogDlg::OnConvertTimer() {
    m_timer4->stop();
    ConvertRequest request;
    request.traceFolder = m_traceFolder;
    request.outputPath = m_outputPath.toStdString();
    request.begin = m_period->beginUtc();
    request.end = m_period->endUtc();
    request.settings = m_settings;
    request.recordDistance = m_form->options().minDistance;
    request.recordTimePeriod = m_form->options().minTime;
    request.idText = m_form->id().toStdString();
    m_workThread->Post([this, request] {
        WorkReport report(*this);
        const ConvertResult result = m_config.trace->Convert(request, report);
        const bool ok = result.ok();
        PostToGui([this, ok, written = result.written] {
            for (const std::string& path : written) {
                AppendLine(WrittenLine(Q(path)));
            }
            if (ok) {
                SetStatus(QString::fromLatin1(kStatusConvertingDone));
            }
            WorkEnded();
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
    if (!m_config.services.settings->EditSettings(this)) {
        return;
    }
    // The period keeps its instants and the trace's labels follow the zone.
    SettingsSummary();
    if (m_trackView != nullptr) {
        // Zone, unit and stop settings change what it shows.
        m_trackView->Reload({m_settings, m_form->options().minTime, m_form->options().minDistance});
        m_trackView->SetPeriod(m_period->beginUtc(), m_period->endUtc());
    }
}

void CdatalogDlg::OnOpenTrace() {
    if (m_working || m_timer4->isActive() || m_state == DeviceState::Reading ||
        m_state == DeviceState::Stopping) {
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
    const TraceSummary summary =
        m_config.trace->Scan(path.toStdString(), m_settings.Zone, m_settings.SpeedUnit);
    if (summary.status != TraceSummaryStatus::Ok) {
        ApplyTraceSummary(summary, true);
        return;
    }
    m_traceFolder = QFileInfo(path).absolutePath().toStdString();
    AppendLine(tr("Opened the trace %1").arg(QDir::toNativeSeparators(path)));
    SetStatus(QString::fromLatin1(kStatusReady));
    ApplyTraceSummary(summary, true);
}

}  // namespace pelmora
