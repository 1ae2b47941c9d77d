#include "ui/trace_panel.h"

#include <QClipboard>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "core/app_paths.h"
#include "core/convert_texts.h"
#include "core/job_thread.h"
#include "core/string_table.h"
#include "decode/trace_fix.h"
#include "ui/library_pane.h"
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
constexpr int kConvertDelayMs = 10;  // timer 4

}  // namespace

// The decoding's and conversion's reports, on the work thread, handed to the window.
class TracePanel::WorkReport : public ProgressSink, public ConvertObserver {
  public:
    explicit WorkReport(TracePanel& panel) : m_panel(panel) {}
    void OnProgress(int percent) override {
        m_panel.m_voice.post([p = &m_panel, percent] { p->m_voice.progress(percent); });
    }
    void OnMessage(std::string_view text, MessageSeverity severity) override {
        const BoxIcon icon = severity == MessageSeverity::Error     ? BoxIcon::Error
                             : severity == MessageSeverity::Warning ? BoxIcon::Warning
                                                                    : BoxIcon::Information;
        m_panel.m_voice.post(
            [p = &m_panel, t = Q(std::string(text)), icon] { p->m_voice.box(t, icon); });
    }
    void OnStatus(std::string_view text) override {
        m_panel.m_voice.post([p = &m_panel, t = Q(std::string(text))] { p->m_voice.status(t); });
    }

  private:
    TracePanel& m_panel;
};

TracePanel::TracePanel(Config config, Ui::CdatalogDlg& ui, QDialog& dialog, RecordOptionsForm& form,
                       Voice voice)
    : QObject(&dialog),
      m_config(std::move(config)),
      m_ui(ui),
      m_dialog(dialog),
      m_form(form),
      m_voice(std::move(voice)),
      m_workThread(std::make_unique<JobThread>()) {
    m_traceFolder = m_config.dataFolder;
    if (m_config.profile != nullptr) {
        m_lastOutputDir =
            Q(m_config.profile->ProfileReadText(kWindowSection, kLastOutputFolderKey, ""));
    }
    // Until a period is set the pickers show nothing rather than a made-up date.
    for (QDateEdit* picker : {m_ui.beginDate, m_ui.endDate}) {
        picker->setSpecialValueText(QStringLiteral(" "));
        picker->setDate(picker->minimumDate());
    }
    const int timeWidth =
        m_dialog.fontMetrics().horizontalAdvance(QStringLiteral("8888/88/88 88:88:88 "));
    for (QLabel* label : {m_ui.beginExact, m_ui.endExact, m_ui.beginLabel, m_ui.endLabel}) {
        label->setMinimumWidth(timeWidth);
    }
    m_period = new PeriodPicker({m_ui.beginDate, m_ui.endDate, m_ui.beginHour, m_ui.endHour,
                                 m_ui.beginExact, m_ui.endExact},
                                this);
    connect(m_period, &PeriodPicker::changed, this, &TracePanel::OnPeriodChanged);
    m_timer4 = new QTimer(this);
    m_timer4->setInterval(kConvertDelayMs);
    connect(m_timer4, &QTimer::timeout, this, &TracePanel::OnConvertTimer);
    m_ui.reportButton->setEnabled(false);  // until a conversion has written something
}

TracePanel::~TracePanel() {
    Shutdown();
}

void TracePanel::Shutdown() {
    m_timer4->stop();
    m_workThread->Shutdown();
}

bool TracePanel::idle() const {
    return !m_working && !m_timer4->isActive() && !m_workThread->Busy();
}

void TracePanel::ShowToday() {
    m_period->ShowToday(m_config.services.clock->Now());
}

void TracePanel::SetEnabled(bool periodEditable) {
    m_period->SetEnabled(periodEditable);
}

TrackViewOptions TracePanel::ViewOptions() const {
    return {m_settings, m_form.options().minTime, m_form.options().minDistance};
}

void TracePanel::SettingsSummary() {
    LoadConversionSettings(*m_config.profile, m_config.computerOffsetMinutes, m_settings);
    const SettingsSummaryTexts t = MakeSettingsSummary(m_settings);
    m_settings.SpeedUnitLabel = t.speedUnitLabel;
    m_ui.timeZoneText->setText(Q(t.timeZone));
    m_ui.conversionText->setText(Q(t.conversionType));
    m_ui.stopPeriodText->setText(Q(t.stopPeriod));
    m_ui.distanceLabel->setText(Q(t.distanceLabel));
    m_ui.speedLabel->setText(Q(t.speedLabel));
    m_ui.speedUnitText->setText(Q(t.speedUnit));
    m_ui.stopDistanceText->setText(Q(t.stopDistance));
    m_ui.overSpeedText->setText(Q(t.overSpeed));
    // The minimum distance and speed start from 0 again with every summary.
    m_form.Fill(m_form.options().minTime, 0, 0);
    m_period->SetZone(m_settings.Zone);
    LabelTrace();
}

// "Open old Log file": asked once a run, at the first connection or "None".
void TracePanel::TraceQuestion() {
    if (m_traceAsked || m_traceLoaded) {
        return;
    }
    m_traceAsked = true;
    const std::string tracePath = JoinPath(m_config.dataFolder, kTraceLogName);
    if (QFile(Q(tracePath)).exists() &&
        m_config.services.boxes->AskYesNo(&m_dialog, QLatin1String(kWindowTitle),
                                          QtText(IDS_OPEN_OLD_LOG))) {
        ApplyTraceSummary(m_config.trace->Scan(tracePath, m_settings.Zone, m_settings.SpeedUnit),
                          true);
    }
}

void TracePanel::ApplyTraceSummary(const TraceSummary& summary, bool tell) {
    switch (summary.status) {
        case TraceSummaryStatus::OpenFailed:
            m_voice.box(Q(summary.message), BoxIcon::Error);
            return;
        case TraceSummaryStatus::NoData:
        case TraceSummaryStatus::NoStopData:
            m_voice.box(Q(summary.message), BoxIcon::Warning);
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
        m_voice.box(Q(summary.message), BoxIcon::None);
    }
    if (m_trackView != nullptr) {
        m_trackView->SetTraceFolder(m_traceFolder, ViewOptions());
    }
    emit workChanged();
}

// The trace's first and last hour on the clock of the chosen zone.
void TracePanel::LabelTrace() {
    if (!m_traceLoaded) {
        m_ui.beginLabel->setText(QStringLiteral("0"));
        m_ui.endLabel->setText(QStringLiteral("0"));
        return;
    }
    m_ui.beginLabel->setText(
        Q(FormatTime(m_settings.Zone.ToLocal(m_traceBeginUtc), "%Y/%m/%d %H")));
    m_ui.endLabel->setText(Q(FormatTime(m_settings.Zone.ToLocal(m_traceEndUtc), "%Y/%m/%d %H")));
}

void TracePanel::StartDecompression() {
    const std::string raw = JoinPath(m_config.dataFolder, kRawLogName);
    const std::string trace = JoinPath(m_config.dataFolder, kTraceLogName);
    DecompressOptions options;
    options.nowUtc = m_config.services.clock->Now();
    const ConversionSettings settings = m_settings;
    m_working = true;
    emit workChanged();
    m_workThread->Post([this, raw, trace, options, settings]() mutable {
        WorkReport report(*this);
        // The summary is worked out while the trace is written, not read back from it.
        TraceSummaryBuilder summarizer;
        options.summary = &summarizer;
        const DecompressResult result = m_config.trace->Decompress(raw, trace, options, &report);
        if (!result.ok()) {
            m_voice.post([this, message = Q(result.message)] {
                // The fixes before a bad record are kept, but the user is told to read again.
                if (!message.isEmpty() && !m_quiet) {
                    m_voice.box(message, BoxIcon::Warning);
                }
                m_voice.status(QString::fromLatin1(kStatusReady));
                WorkEnded();
            });
            return;
        }
        const TraceSummary summary =
            summarizer.Finish(result.fixes * kTraceFixSize, settings.Zone, settings.SpeedUnit);
        m_voice.post([this, summary] {
            m_voice.status(QString::fromLatin1(kStatusReadingDone));
            if (!m_quiet) {
                m_traceFolder = m_config.dataFolder;
                ApplyTraceSummary(summary, true);
            }
            m_voice.line(QString::fromLatin1(kLineDecompressDone));
            WorkEnded();
        });
    });
}

void TracePanel::WorkEnded() {
    m_voice.progress(-1);
    m_working = false;
    emit workChanged();
}

void TracePanel::SetConvertPeriod(TimeValue beginLocal, TimeValue endLocal) {
    m_period->SetLocal(beginLocal, endLocal);
}

void TracePanel::OnPeriodChanged(TimeValue beginUtc, TimeValue endUtc) {
    if (m_trackView != nullptr) {
        // The same instants a conversion would take.
        m_trackView->SetPeriod(beginUtc, endUtc);
    }
}

void TracePanel::OpenTrackView() {
    if (m_trackView == nullptr) {
        CTrackViewDlg::Config config;
        config.dataFolder = m_traceFolder;
        config.options = ViewOptions();
        config.tiles = LoadTileSettings(*m_config.profile);
        m_trackView = new CTrackViewDlg(std::move(config), &m_dialog);
        connect(m_trackView, &CTrackViewDlg::periodChosen, this, &TracePanel::SetConvertPeriod);
        connect(m_trackView->libraryPane(), &LibraryPane::traceReady, this,
                &TracePanel::OnLibraryTrace);
        connect(m_trackView->libraryPane(), &LibraryPane::imported, this,
                [this](const QString& text) { m_voice.line(text); });
        connect(m_trackView->libraryPane(), &LibraryPane::failed, this,
                [this](const QString& text) { m_voice.line(text); });
        FillLibrary();
        m_trackView->SetPeriod(m_period->beginUtc(), m_period->endUtc());
        m_trackView->PlaceBeside(m_dialog);
    }
    m_trackView->show();
    m_trackView->raise();
    m_trackView->activateWindow();
}

void TracePanel::OnConvert() {
    m_voice.status(QString::fromLatin1(kStatusConverting));
    if (!m_period->MakeValid()) {
        m_voice.box(QtText(IDS_WRONG_CONVERT_TIME), BoxIcon::Error);
        return;
    }
    // Refused before the file dialog: with no output type there is nothing to convert into.
    if (m_settings.Conversion == 0) {
        m_voice.status(QString::fromLatin1(kStatusReady));
        if (m_config.services.boxes->AskOkCancel(
                &m_dialog, QLatin1String(kWindowTitle),
                QString::fromLatin1(convert_text::kNoOutputChosen) + QLatin1Char('\n') +
                    tr("Open Change Setting now?"))) {
            OnChangeSetting();
        }
        return;
    }
    m_form.Save();
    const QString chosen = m_config.services.saveFile->ChooseSaveFile(
        &m_dialog, m_lastOutputDir, OutputFilters(QtText(IDS_LOGGER_FILES), QtText(IDS_ALL_FILES)));
    if (chosen.isEmpty()) {
        m_voice.status(QString::fromLatin1(kStatusReady));
        return;
    }
    // One name stands for up to six files: ask once, naming every one that would be replaced.
    const QStringList existing = ExistingOutputs(PlannedOutputs(chosen, m_settings.Conversion));
    if (!existing.isEmpty() &&
        !m_config.services.boxes->AskOkCancel(&m_dialog, QLatin1String(kWindowTitle),
                                              ReplaceQuestion(existing))) {
        m_voice.status(QString::fromLatin1(kStatusReady));
        return;
    }
    m_outputPath = chosen;
    // The folder of this output replaces the previous one whole.
    m_lastOutputDir = QFileInfo(chosen).absolutePath() + QLatin1Char('/');
    m_config.profile->ProfileWriteText(kWindowSection, kLastOutputFolderKey,
                                       m_lastOutputDir.toStdString());
    m_working = true;
    m_ui.reportButton->setEnabled(false);
    emit workChanged();
    m_timer4->start();
}

void TracePanel::OnConvertTimer() {
    m_timer4->stop();
    ConvertRequest request;
    request.traceFolder = m_traceFolder;
    request.outputPath = m_outputPath.toStdString();
    request.begin = m_period->beginUtc();
    request.end = m_period->endUtc();
    request.settings = m_settings;
    request.recordDistance = m_form.options().minDistance;
    request.recordTimePeriod = m_form.options().minTime;
    request.idText = m_form.id().toStdString();
    m_workThread->Post([this, request] {
        WorkReport report(*this);
        const ConvertResult result = m_config.trace->Convert(request, report);
        const bool ok = result.ok();
        m_voice.post([this, ok, written = result.written] {
            for (const std::string& path : written) {
                m_voice.line(WrittenLine(Q(path)));
            }
            if (ok) {
                m_voice.status(QString::fromLatin1(kStatusConvertingDone));
            }
            WorkEnded();
            m_ui.reportButton->setEnabled(ok);
            emit conversionFinished(ok);
        });
    });
}

void TracePanel::OnReport() {
    if (m_config.services.folders->OpenFolder(m_lastOutputDir)) {
        return;
    }
    // No file manager answered: say where the files are, and let the path be pasted elsewhere.
    const QString folder = QDir::toNativeSeparators(m_lastOutputDir);
    if (m_config.services.boxes->OfferCopy(&m_dialog, QLatin1String(kWindowTitle),
                                           FolderNotOpenedText(folder))) {
        QGuiApplication::clipboard()->setText(folder);
    }
}

void TracePanel::OnChangeSetting() {
    if (!m_config.services.settings->EditSettings(&m_dialog)) {
        return;
    }
    // The period keeps its instants and the trace's labels follow the zone.
    SettingsSummary();
    if (m_trackView != nullptr) {
        // Zone, unit and stop settings change what it shows.
        m_trackView->Reload(ViewOptions());
        m_trackView->SetPeriod(m_period->beginUtc(), m_period->endUtc());
    }
}

void TracePanel::OnOpenTrace() {
    if (!idle()) {
        return;
    }
    const QString path = m_config.services.saveFile->ChooseOpenFile(
        &m_dialog, QString::fromStdString(m_traceFolder),
        {tr("Decoded trace (%1)").arg(QLatin1String(kTraceLogName))});
    if (path.isEmpty()) {
        return;
    }
    // The conversion reads the trace by its folder, so the file keeps its name.
    if (QFileInfo(path).fileName() != QLatin1String(kTraceLogName)) {
        m_voice.box(tr("Choose a file named %1.").arg(QLatin1String(kTraceLogName)),
                    BoxIcon::Warning);
        return;
    }
    const TraceSummary summary =
        m_config.trace->Scan(path.toStdString(), m_settings.Zone, m_settings.SpeedUnit);
    if (summary.status != TraceSummaryStatus::Ok) {
        ApplyTraceSummary(summary, true);
        return;
    }
    m_traceFolder = QFileInfo(path).absolutePath().toStdString();
    m_voice.line(tr("Opened the trace %1").arg(QDir::toNativeSeparators(path)));
    m_voice.status(QString::fromLatin1(kStatusReady));
    ApplyTraceSummary(summary, true);
}

void TracePanel::FillLibrary() {
    TripGaps gaps;
    gaps.seconds =
        60 *
        std::clamp(m_config.profile->ProfileReadInt("Setting", "TripGapMinutes", 30), 1, 100000);
    const double km = std::strtod(
        m_config.profile->ProfileReadText("Setting", "TripGapKm", "2").c_str(), nullptr);
    gaps.metres = km > 0 && km <= 100000 ? km * 1000 : 2000;
    m_trackView->libraryPane()->Fill(m_config.dataFolder, m_settings.Zone, gaps);
}

void TracePanel::OnImportLogs() {
    const QStringList paths = QFileDialog::getOpenFileNames(
        &m_dialog, tr("Import logs"), QString::fromStdString(m_config.dataFolder),
        tr("Raw logs (*.log);;All files (*)"));
    if (paths.isEmpty()) {
        return;
    }
    OpenTrackView();
    std::vector<std::string> files;
    for (const QString& path : paths) {
        files.push_back(path.toStdString());
    }
    m_trackView->libraryPane()->Import(std::move(files));
}

void TracePanel::OnLibraryTrace(const QString& folder, TimeValue beginUtc, TimeValue endUtc) {
    if (!idle()) {
        return;
    }
    const std::string trace = JoinPath(folder.toStdString(), kTraceLogName);
    const TraceSummary summary = m_config.trace->Scan(trace, m_settings.Zone, m_settings.SpeedUnit);
    if (summary.status != TraceSummaryStatus::Ok) {
        ApplyTraceSummary(summary, true);
        return;
    }
    m_traceFolder = folder.toStdString();
    ApplyTraceSummary(summary, false);
    SetConvertPeriod(m_settings.Zone.ToLocal(beginUtc), m_settings.Zone.ToLocal(endUtc));
}

}  // namespace pelmora
