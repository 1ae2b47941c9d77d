#pragma once
// The window's trace side: the settings summary, the trace in hand and its summary, decoding after
// a Read, the Convert Time Period, Convert, Report, the settings dialog, Open trace... and the
// track view. The window gives it the form and a way to speak (status bar, status log, boxes).
//
// Thread contract: the GUI thread, but for its work thread (decoding, conversion), whose reports
// reach the GUI thread only through the window's `post`.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "convert/track_model.h"
#include "core/conversion_settings.h"
#include "core/profile_store.h"
#include "core/time_value.h"
#include "ui/trace_services.h"
#include "ui/window_services.h"
#include "ui/window_voice.h"

class QDialog;
class QTimer;

namespace Ui {
class CdatalogDlg;
}

namespace pelmora {

class CTrackViewDlg;
class JobThread;
class PeriodPicker;
class RecordOptionsForm;

class TracePanel : public QObject {
    Q_OBJECT

  public:
    struct Config {
        ProfileStore* profile = nullptr;
        TraceServices* trace = nullptr;
        WindowServices services;
        std::string dataFolder;         // data.log and TraceLog.ltp
        int computerOffsetMinutes = 0;  // the computer zone's standard offset east of UTC
    };
    using Voice = WindowVoice;

    TracePanel(Config config, Ui::CdatalogDlg& ui, QDialog& dialog, RecordOptionsForm& form,
               Voice voice);
    ~TracePanel() override;

    void SettingsSummary();
    // "Open old Log file": asked once a run.
    void TraceQuestion();
    // Before any trace: the period shows today.
    void ShowToday();
    // Decodes the data folder's new data.log; workEnded when done.
    void StartDecompression();
    void OnConvert();
    void OnReport();
    void OnChangeSetting();
    void OnOpenTrace();
    // File > Import logs...: raw logs into the season library, shown in the Library pane.
    void OnImportLogs();
    void SetConvertPeriod(TimeValue beginLocal, TimeValue endLocal);
    void OpenTrackView();
    void SetEnabled(bool periodEditable);
    // Ends the work thread (the window closes).
    void Shutdown();

    bool working() const { return m_working; }
    bool idle() const;
    bool traceLoaded() const { return m_traceLoaded; }
    // The trace in hand is the data folder's (not one opened from elsewhere).
    bool showsDataFolder() const { return m_traceLoaded && m_traceFolder == m_config.dataFolder; }
    const PeriodPicker& period() const { return *m_period; }
    const ConversionSettings& settings() const { return m_settings; }
    QString lastOutputFolder() const { return m_lastOutputDir; }
    CTrackViewDlg* trackView() const { return m_trackView; }
    // Set while the window closes: nothing more is shown.
    void SetQuiet(bool quiet) { m_quiet = quiet; }

  signals:
    // Decoding or conversion began or ended: the window redraws what is enabled.
    void workChanged();
    void conversionFinished(bool ok);

  private:
    class WorkReport;

    void ApplyTraceSummary(const TraceSummary& summary, bool tell);
    void LabelTrace();
    void WorkEnded();
    void OnConvertTimer();
    void OnPeriodChanged(TimeValue beginUtc, TimeValue endUtc);
    // A day or trip chosen in the Library pane: its fixes are the trace now.
    void OnLibraryTrace(const QString& folder, TimeValue beginUtc, TimeValue endUtc);
    void FillLibrary();
    TrackViewOptions ViewOptions() const;

    Config m_config;
    Ui::CdatalogDlg& m_ui;
    QDialog& m_dialog;
    RecordOptionsForm& m_form;
    Voice m_voice;
    PeriodPicker* m_period = nullptr;
    CTrackViewDlg* m_trackView = nullptr;  // a child of the dialog: goes with the window
    QTimer* m_timer4 = nullptr;

    std::string m_traceFolder;  // holds the trace that Convert reads
    bool m_traceLoaded = false;
    bool m_traceAsked = false;
    TimeValue m_traceBeginUtc = 0;
    TimeValue m_traceEndUtc = 0;
    ConversionSettings m_settings;
    QString m_outputPath;
    QString m_lastOutputDir;
    bool m_working = false;
    bool m_quiet = false;
    std::unique_ptr<JobThread> m_workThread;  // declared last: ended first
};

}  // namespace pelmora
