// The window without a logger: the port choice "None", the settings summary, the trace
// question, the Convert Time Period, conversions and Report.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <fstream>

#include "core/profile_store.h"
#include "tests/ui/window_fakes.h"
#include "ui/datalog_dlg.h"
#include "ui/period_picker.h"
#include "ui/qt_window_services.h"
#include "ui/record_options_form.h"
#include "ui/trace_panel.h"

namespace pelmora::test {
namespace {

// A trace summary and conversion that answer from what the test set.
class ScriptedTrace : public TraceServices {
  public:
    DecompressResult Decompress(const std::string&, const std::string&, const DecompressOptions&,
                                ProgressSink*) override {
        DecompressResult r;
        r.status = DecompressStatus::OpenRawFailed;
        return r;
    }
    // summary holds local times; the instants follow from the zone asked for.
    TraceSummary Scan(const std::string&, const ZoneRules& zone, int) override {
        ++scans;
        TraceSummary s = summary;
        s.beginUtc = zone.ToUtc(s.begin);
        s.endUtc = zone.ToUtc(s.end);
        return s;
    }
    ConvertResult Convert(const ConvertRequest& request, ConvertObserver& observer) override {
        from = request.begin;
        to = request.end;
        folder = request.traceFolder;
        outputs.push_back(request.outputPath);
        observer.OnProgress(100);
        std::ofstream(request.outputPath) << "converted\n";
        ConvertResult result;
        result.written.push_back(request.outputPath);
        return result;
    }
    TraceSummary summary;
    int scans = 0;
    TimeValue from = 0;
    TimeValue to = 0;
    std::string folder;
    std::vector<std::string> outputs;
};

}  // namespace

class OfflineTest : public QObject {
    Q_OBJECT

  private:
    struct Run {
        QTemporaryDir dir;
        MemoryProfileStore profile;
        FakeServices services;
        ScriptedTrace trace;
        NoDevice device;
        std::unique_ptr<CdatalogDlg> dlg;

        std::string TracePath() const { return dir.filePath("TraceLog.ltp").toStdString(); }
        void WriteTrace() const { std::ofstream(TracePath()) << std::string(44, '\0'); }
        bool Start(const QString& port = QStringLiteral("None")) {
            services.ports.answers.push_back({true, port, QStringLiteral("4800")});
            CdatalogDlg::Config c;
            c.profile = &profile;
            c.device = &device;
            c.trace = &trace;
            c.services = services.Get();
            c.dataFolder = dir.path().toStdString();
            c.computerOffsetMinutes = 480;
            dlg = std::make_unique<CdatalogDlg>(std::move(c));
            const bool started = dlg->OnInitDialog();
            if (started) {
                dlg->show();
            }
            return started;
        }
        void LoadedSummary(TimeValue begin, TimeValue end) {
            trace.summary.status = TraceSummaryStatus::Ok;
            trace.summary.begin = begin;
            trace.summary.end = end;
            trace.summary.beginLabel = FormatTime(begin, "%Y/%m/%d %H");
            trace.summary.endLabel = FormatTime(end, "%Y/%m/%d %H");
            trace.summary.message = "Begin: ...";
        }
    };

  private slots:
    // The computer's zone, as computerOffsetMinutes says: +8:00 all year.
    void initTestCase() { qputenv("TZ", "Asia/Taipei"); }

    void noneStartsOfflineWithEverythingDisabled() {
        Run r;
        QVERIFY(r.Start());
        QCOMPARE(r.dlg->windowTitle(), QStringLiteral("Pelmora"));
        QVERIFY(!r.dlg->deviceMode());
        for (const char* name :
             {"clearButton", "readButton", "stopButton", "configureButton", "setButton",
              "convertButton", "reportButton", "changeSettingButton"}) {
            QVERIFY2(!Child<QPushButton>(*r.dlg, name)->isEnabled(), name);
        }
        for (const char* name : {"idEdit", "distanceEdit", "timeEdit", "speedEdit"}) {
            QVERIFY2(!Child<QLineEdit>(*r.dlg, name)->isEnabled(), name);
        }
        QCOMPARE(Child<QLabel>(*r.dlg, "beginLabel")->text(), QStringLiteral("0"));
        QCOMPARE(Child<QLabel>(*r.dlg, "endLabel")->text(), QStringLiteral("0"));
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Ready"));
        QCOMPARE(Child<QComboBox>(*r.dlg, "beginHour")->count(), 24);
        QCOMPARE(Child<QComboBox>(*r.dlg, "endHour")->itemText(23), QStringLiteral("23"));
        QVERIFY(r.services.boxes.shown.empty());  // no trace file: no question
        QVERIFY(!r.dlg->statusPollActive());
        // Before any trace the period shows today in the chosen zone.
        QCOMPARE(Child<QDateEdit>(*r.dlg, "beginDate")->date(), QDate(2026, 12, 1));
        QCOMPARE(r.dlg->tracePanel().period().endLocal(), MakeTimeValue(2026, 12, 1, 0, 0, 0));
    }

    void cancellingThePortChoiceEndsBeforeTheWindowShows() {
        Run r;
        r.services.ports.answers.push_back({});
        CdatalogDlg::Config c;
        c.profile = &r.profile;
        c.device = &r.device;
        c.trace = &r.trace;
        c.services = r.services.Get();
        c.dataFolder = r.dir.path().toStdString();
        CdatalogDlg dlg(std::move(c));
        QVERIFY(!dlg.OnInitDialog());
        QVERIFY(!dlg.isVisible());
    }

    void aPortThatCannotOpenAsksForThePortAgain() {
        Run r;
        r.services.ports.answers.push_back(
            {true, QStringLiteral("/dev/pelmora-missing"), QStringLiteral("4800")});
        QVERIFY(r.Start());
        QCOMPARE(r.services.ports.asked, 2);
        // The cause under the headline.
        const QString text = QStringLiteral(
            "Incorrect port !\n/dev/pelmora-missing: no such device (is the logger plugged in "
            "and switched on?)");
        QVERIFY2(r.services.boxes.Has(text), qPrintable(r.services.boxes.Texts().join('|')));
        QCOMPARE(r.services.boxes.Find(text)->icon, BoxIcon::Error);
        QVERIFY(!r.dlg->deviceMode());
    }

    void escapeLeavesTheWindowOpen() {
        Run r;
        QVERIFY(r.Start());
        QTest::keyClick(r.dlg.get(), Qt::Key_Escape);
        QVERIFY(r.dlg->isVisible());
    }

    void oldTraceQuestionLoadsTheTrace() {
        Run r;
        r.WriteTrace();
        r.LoadedSummary(MakeTimeValue(2026, 3, 4, 7, 10, 0), MakeTimeValue(2026, 3, 5, 18, 0, 0));
        QVERIFY(r.Start());
        QCOMPARE(r.services.boxes.shown.at(0).text, QStringLiteral("Open old Log file"));
        QCOMPARE(r.services.boxes.shown.at(0).caption, QStringLiteral("Pelmora"));
        QCOMPARE(r.services.boxes.shown.at(0).kind, QStringLiteral("yesno"));
        QVERIFY(r.services.boxes.Has(QStringLiteral("Begin: ...")));
        QVERIFY(r.dlg->tracePanel().traceLoaded());
        QVERIFY(Child<QPushButton>(*r.dlg, "convertButton")->isEnabled());
        QVERIFY(Child<QPushButton>(*r.dlg, "changeSettingButton")->isEnabled());
        QVERIFY(!Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        QVERIFY(!Child<QPushButton>(*r.dlg, "reportButton")->isEnabled());
        QCOMPARE(Child<QLabel>(*r.dlg, "beginLabel")->text(), QStringLiteral("2026/03/04 07"));
        QCOMPARE(Child<QLabel>(*r.dlg, "endLabel")->text(), QStringLiteral("2026/03/05 18"));
        QCOMPARE(Child<QDateEdit>(*r.dlg, "beginDate")->date(), QDate(2026, 3, 4));
        QCOMPARE(Child<QDateEdit>(*r.dlg, "endDate")->date(), QDate(2026, 3, 5));
        QCOMPARE(Child<QComboBox>(*r.dlg, "beginHour")->currentIndex(), 7);
        QCOMPARE(Child<QComboBox>(*r.dlg, "endHour")->currentIndex(), 18);
    }

    void answeringNoLeavesTheTraceUnloaded() {
        Run r;
        r.WriteTrace();
        r.services.boxes.yes = false;
        QVERIFY(r.Start());
        QCOMPARE(r.trace.scans, 0);
        QVERIFY(!Child<QPushButton>(*r.dlg, "convertButton")->isEnabled());
        QCOMPARE(Child<QLabel>(*r.dlg, "beginLabel")->text(), QStringLiteral("0"));
    }

    void settingsSummaryShowsTheProfile() {
        Run r;
        r.profile.ProfileWriteInt("Setting", "Conversion", 0x1F | 32);
        r.profile.ProfileWriteInt("Setting", "SpeedUnit", 2);
        r.profile.ProfileWriteInt("Setting", "StopDistance", 30);
        r.profile.ProfileWriteInt("Setting", "OverSpeed", 70);
        r.profile.ProfileWriteInt("Setting", "StopPeriod", 5);
        QVERIFY(r.Start());
        QCOMPARE(Child<QLabel>(*r.dlg, "conversionText")->text(),
                 QStringLiteral("Conversion type: KML(Path), KML(Point), NMEA, NMEA(with ID), "
                                "CSV, GPX"));
        // The Record Option fields hold what the logger takes: metres and km/h in every unit.
        QCOMPARE(Child<QLabel>(*r.dlg, "distanceLabel")->text(),
                 QStringLiteral("Distance (Meter):"));
        QCOMPARE(Child<QLabel>(*r.dlg, "speedLabel")->text(), QStringLiteral("Speed (KM/h):"));
        QCOMPARE(Child<QLabel>(*r.dlg, "speedUnitText")->text(),
                 QStringLiteral("Speed unit setting: MPH"));
        QCOMPARE(Child<QLabel>(*r.dlg, "stopDistanceText")->text(),
                 QStringLiteral("Stop point minimum distance: 30 Feet"));
        QCOMPARE(Child<QLabel>(*r.dlg, "overSpeedText")->text(),
                 QStringLiteral("Over-speed setting: 70 MPH"));
        QCOMPARE(Child<QLabel>(*r.dlg, "stopPeriodText")->text(),
                 QStringLiteral("Stop point minimum period: 5 Minute"));
        QCOMPARE(Child<QLineEdit>(*r.dlg, "distanceEdit")->text(), QStringLiteral("0"));
        QCOMPARE(Child<QLineEdit>(*r.dlg, "speedEdit")->text(), QStringLiteral("0"));
        QCOMPARE(r.dlg->tracePanel().settings().SpeedUnitLabel, std::string("MPH"));
    }

    void changeSettingRerunsTheSummaryOnOk() {
        Run r;
        r.WriteTrace();
        r.LoadedSummary(MakeTimeValue(2026, 3, 4, 7, 0, 0), MakeTimeValue(2026, 3, 4, 9, 0, 0));
        QVERIFY(r.Start());
        r.services.settings.onOk = [&r] { r.profile.ProfileWriteInt("Setting", "SpeedUnit", 0); };
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "changeSettingButton"), Qt::LeftButton);
        QCOMPARE(r.services.settings.shown, 1);
        QCOMPARE(Child<QLabel>(*r.dlg, "speedUnitText")->text(),
                 QStringLiteral("Speed unit setting: m/s"));
    }

    // The whole trace stays whole: its instants are kept, its clock values follow the zone.
    void periodFollowsAZoneChange() {
        Run r;
        r.profile.ProfileWriteInt("Setting", "Conversion", 1);
        r.WriteTrace();
        const TimeValue begin = MakeTimeValue(2026, 7, 4, 7, 10, 0);  // +8:00
        const TimeValue end = MakeTimeValue(2026, 7, 4, 9, 0, 0);
        r.LoadedSummary(begin, end);
        QVERIFY(r.Start());
        r.services.settings.onOk = [&r] {
            r.profile.ProfileWriteText("Setting", "TimeZoneDisplay", "(UTC+01:00) Europe/Berlin");
            r.profile.ProfileWriteInt("Setting", "TimeZoneBias", 60);
            r.profile.ProfileWriteText("Setting", "TimeZoneId", "Europe/Berlin");
        };
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "changeSettingButton"), Qt::LeftButton);
        QCOMPARE(r.dlg->tracePanel().period().beginLocal(),
                 begin - 6 * 3600);  // Berlin summer time, +2:00
        QCOMPARE(r.dlg->tracePanel().period().endLocal(), end - 6 * 3600);
        QCOMPARE(Child<QComboBox>(*r.dlg, "beginHour")->currentIndex(), 1);
        r.services.saveFile.answers.push_back(r.dir.filePath("moved.kml"));
        QSignalSpy finished(r.dlg.get(), &CdatalogDlg::conversionFinished);
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "convertButton"), Qt::LeftButton);
        QVERIFY(finished.wait(5000));
        QCOMPARE(r.trace.from, begin - 8 * 3600);
        QCOMPARE(r.trace.to, end - 8 * 3600);
    }

    void beginAfterEndIsRefused() {
        Run r;
        r.WriteTrace();
        const TimeValue begin = MakeTimeValue(2026, 3, 4, 7, 0, 0);
        r.LoadedSummary(begin, begin);
        QVERIFY(r.Start());
        // One hour later than the end.
        Child<QComboBox>(*r.dlg, "beginHour")->setCurrentIndex(8);
        QMetaObject::invokeMethod(Child<QComboBox>(*r.dlg, "beginHour"), "activated",
                                  Q_ARG(int, 8));
        QCOMPARE(r.dlg->tracePanel().period().beginLocal(), begin + 3600);
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "convertButton"), Qt::LeftButton);
        const ShownBox* box = r.services.boxes.Find(QStringLiteral("Wrong Convert Time"));
        QVERIFY(box != nullptr);
        QCOMPARE(box->icon, BoxIcon::Error);
        QCOMPARE(box->caption, QStringLiteral("Pelmora"));
        QCOMPARE(r.dlg->tracePanel().period().endLocal(), begin + 3600);
        QCOMPARE(Child<QComboBox>(*r.dlg, "endHour")->currentIndex(), 8);
        QVERIFY(r.services.saveFile.filters.isEmpty());  // no save dialog
    }

    void convertWithNoOutputTypeIsRefused() {
        Run r;  // a fresh profile chooses no output type
        r.WriteTrace();
        r.LoadedSummary(MakeTimeValue(2026, 3, 4, 7, 0, 0), MakeTimeValue(2026, 3, 4, 9, 0, 0));
        QVERIFY(r.Start());
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "convertButton"), Qt::LeftButton);
        // The refusal offers the dialog where a type is chosen.
        const ShownBox* box = r.services.boxes.Find(QStringLiteral(
            "No output type is chosen: choose KML, NMEA, CSV or GPX in Change Setting.\n"
            "Open Change Setting now?"));
        QVERIFY(box != nullptr);
        QCOMPARE(box->kind, QStringLiteral("okcancel"));
        QCOMPARE(r.services.settings.shown, 1);
        QVERIFY(r.services.saveFile.filters.isEmpty());
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Ready"));
        QVERIFY(r.trace.outputs.empty());
    }

    void equalBeginAndEndConvert() {
        Run r;
        r.profile.ProfileWriteInt("Setting", "Conversion", 1);
        r.WriteTrace();
        const TimeValue t = MakeTimeValue(2026, 3, 4, 7, 0, 0);
        r.LoadedSummary(t, t);
        QVERIFY(r.Start());
        r.services.saveFile.answers.push_back(r.dir.filePath("same.kml"));
        QSignalSpy finished(r.dlg.get(), &CdatalogDlg::conversionFinished);
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "convertButton"), Qt::LeftButton);
        QVERIFY(finished.wait(5000));
        QVERIFY(!r.services.boxes.Has(QStringLiteral("Wrong Convert Time")));
        // The period goes to the conversion in UTC: the profile's default is the computer's
        // zone, here 8 hours east.
        QCOMPARE(r.trace.from, t - 8 * 3600);
        QCOMPARE(r.trace.to, t - 8 * 3600);
    }

    void cancelledSaveDialogSaysReady() {
        Run r;
        r.profile.ProfileWriteInt("Setting", "Conversion", 1);
        r.WriteTrace();
        r.LoadedSummary(MakeTimeValue(2026, 3, 4, 7, 0, 0), MakeTimeValue(2026, 3, 4, 9, 0, 0));
        QVERIFY(r.Start());
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "convertButton"), Qt::LeftButton);
        QCOMPARE(r.services.saveFile.filters,
                 QStringList({QStringLiteral("Logger Files (*.kml *.txt *.csv *.gpx)"),
                              QStringLiteral("All Files (*.*)")}));
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Ready"));
        QVERIFY(r.trace.outputs.empty());
        QVERIFY(Child<QPushButton>(*r.dlg, "convertButton")->isEnabled());
    }

    void reportOpensTheFolderOfTheLastConversion() {
        Run r;
        r.profile.ProfileWriteInt("Setting", "Conversion", 1);
        r.WriteTrace();
        r.LoadedSummary(MakeTimeValue(2026, 3, 4, 7, 0, 0), MakeTimeValue(2026, 3, 4, 9, 0, 0));
        QVERIFY(r.Start());
        QVERIFY(QDir(r.dir.path()).mkpath("a-long-folder-name/inner"));
        QVERIFY(QDir(r.dir.path()).mkpath("b"));
        const QString first = r.dir.filePath("a-long-folder-name/inner/first.kml");
        const QString second = r.dir.filePath("b/second.kml");
        QSignalSpy finished(r.dlg.get(), &CdatalogDlg::conversionFinished);
        for (const QString& path : {first, second}) {
            r.services.saveFile.answers.push_back(path);
            QTest::mouseClick(Child<QPushButton>(*r.dlg, "convertButton"), Qt::LeftButton);
            QCOMPARE(r.dlg->statusText(), QStringLiteral("Converting......"));
            QVERIFY(finished.wait(5000));
            QCOMPARE(r.dlg->statusText(), QStringLiteral("Converting done"));
            // Offline only Convert, Report and Change Setting come back.
            QVERIFY(Child<QPushButton>(*r.dlg, "reportButton")->isEnabled());
            QVERIFY(Child<QPushButton>(*r.dlg, "convertButton")->isEnabled());
            QVERIFY(Child<QPushButton>(*r.dlg, "changeSettingButton")->isEnabled());
            QVERIFY(!Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
            QVERIFY(!Child<QPushButton>(*r.dlg, "clearButton")->isEnabled());
        }
        QCOMPARE(r.trace.outputs.size(), std::size_t{2});
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "reportButton"), Qt::LeftButton);
        QCOMPARE(r.services.folders.opened, QStringList({r.dir.filePath("b") + "/"}));
    }

    void recordOptionRangesPromptAndKeepTheFocus() {
        Run r;
        QVERIFY(r.Start());
        // Offline the fields are disabled; their checks are the same connected.
        for (const char* name : {"distanceEdit", "timeEdit", "speedEdit"}) {
            Child<QLineEdit>(*r.dlg, name)->setEnabled(true);
        }
        r.dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(r.dlg.get()));
        QLineEdit* speed = Child<QLineEdit>(*r.dlg, "speedEdit");
        speed->setFocus();
        QTRY_VERIFY(speed->hasFocus());
        speed->setText(QStringLiteral("5000"));
        Child<QLineEdit>(*r.dlg, "timeEdit")->setFocus();
        QVERIFY(r.services.boxes.Has(QStringLiteral("Enter an integer between 0 and 4000.")));
        QTRY_VERIFY(speed->hasFocus());

        r.services.boxes.shown.clear();
        speed->setText(QStringLiteral("4000"));
        Child<QLineEdit>(*r.dlg, "distanceEdit")->setText(QStringLiteral("20001"));
        QVERIFY(!r.dlg->recordOptions().Save());
        QVERIFY(r.services.boxes.Has(QStringLiteral("Enter an integer between 0 and 20000.")));
        Child<QLineEdit>(*r.dlg, "distanceEdit")->setText(QStringLiteral("20000"));
        Child<QLineEdit>(*r.dlg, "timeEdit")->setText(QStringLiteral("x"));
        QVERIFY(!r.dlg->recordOptions().Save());
        QVERIFY(r.services.boxes.Has(QStringLiteral("Enter an integer.")));
        Child<QLineEdit>(*r.dlg, "timeEdit")->setText(QStringLiteral("65535"));
        QVERIFY(r.dlg->recordOptions().Save());
    }

    // The period set from elsewhere (a chart) covers whole minutes and shows its exact ends;
    // the menu's commands follow their buttons.
    void periodToTheMinuteAndMenuFollowButtons() {
        Run r;
        r.profile.ProfileWriteInt("Setting", "Conversion", 1);
        r.WriteTrace();
        r.LoadedSummary(MakeTimeValue(2026, 3, 4, 7, 0, 0), MakeTimeValue(2026, 3, 4, 9, 0, 0));
        QVERIFY(r.Start());
        r.dlg->tracePanel().SetConvertPeriod(MakeTimeValue(2026, 3, 4, 7, 12, 34),
                                             MakeTimeValue(2026, 3, 5, 9, 45, 0));
        QCOMPARE(r.dlg->tracePanel().period().beginLocal(), MakeTimeValue(2026, 3, 4, 7, 12, 0));
        QCOMPARE(r.dlg->tracePanel().period().endLocal(), MakeTimeValue(2026, 3, 5, 9, 45, 59));
        QCOMPARE(Child<QComboBox>(*r.dlg, "beginHour")->currentIndex(), 7);
        QCOMPARE(Child<QDateEdit>(*r.dlg, "endDate")->date(), QDate(2026, 3, 5));
        QCOMPARE(Child<QLabel>(*r.dlg, "beginExact")->text(),
                 QStringLiteral("2026/03/04 07:12:00"));
        QCOMPARE(Child<QLabel>(*r.dlg, "endExact")->text(), QStringLiteral("2026/03/05 09:45:59"));

        const MainMenu& m = r.dlg->menu();
        QVERIFY(m.convert->isEnabled());
        QVERIFY(!m.read->isEnabled() && !m.report->isEnabled());
        r.services.saveFile.answers.push_back(r.dir.filePath("menu.kml"));
        QSignalSpy finished(r.dlg.get(), &CdatalogDlg::conversionFinished);
        m.convert->trigger();
        QVERIFY(finished.wait(5000));
        QVERIFY(m.report->isEnabled());
        QCOMPARE(r.trace.from, MakeTimeValue(2026, 3, 4, 7, 12, 0) - 8 * 3600);
    }

    // One name stands for several files: the dialog opens where the last ones went, asks once
    // naming every file it would replace, and the log names each file written. Report says
    // where they are when no program opens the folder.
    void convertNamesItsFilesAndAsksOnceBeforeReplacing() {
        Run r;
        r.WriteTrace();
        r.LoadedSummary(MakeTimeValue(2026, 3, 4, 7, 0, 0), MakeTimeValue(2026, 3, 4, 9, 0, 0));
        QVERIFY(QDir(r.dir.path()).mkpath("out"));
        const QString out = r.dir.filePath("out") + "/";
        r.profile.ProfileWriteText("Window", "LastOutputFolder", out.toStdString());
        r.profile.ProfileWriteInt("Setting", "Conversion", 1 | 8 | 32);  // KML path, CSV, GPX
        for (const char* name : {"trip.kml", "trip.gpx", "trip_point.kml"}) {
            std::ofstream((out + name).toStdString()) << "old\n";
        }
        QVERIFY(r.Start());
        QSignalSpy finished(r.dlg.get(), &CdatalogDlg::conversionFinished);
        r.services.boxes.shown.clear();
        r.services.boxes.ok = false;
        r.services.saveFile.answers.push_back(out + "trip.kml");
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "convertButton"), Qt::LeftButton);
        QCOMPARE(r.services.saveFile.folder, out);
        QCOMPARE(r.services.boxes.shown.size(), std::size_t{1});
        const QString question = r.services.boxes.shown[0].text;
        QVERIFY(question.contains(out + "trip.kml") && question.contains(out + "trip.gpx"));
        QVERIFY(!question.contains("trip.csv") && !question.contains("trip_point"));
        QVERIFY(r.trace.outputs.empty());
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Ready"));

        // A trace opened from elsewhere is the one converted.
        QVERIFY(QDir(r.dir.path()).mkpath("kept"));
        r.services.saveFile.answers.push_back(r.dir.filePath("kept/TraceLog.ltp"));
        r.dlg->menu().openTrace->trigger();

        r.services.boxes.ok = true;
        r.services.saveFile.answers.push_back(out + "trip.kml");
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "convertButton"), Qt::LeftButton);
        QVERIFY(finished.wait(5000));
        QVERIFY2(r.dlg->statusLog().contains("Written: " + out + "trip.kml"),
                 qPrintable(r.dlg->statusLog().join("|")));
        QCOMPARE(QString::fromStdString(r.trace.folder), r.dir.filePath("kept"));
        // Conversion progress has its own bar; the memory bar is left alone.
        QVERIFY(Child<QProgressBar>(*r.dlg, "readProgressBar")->isHidden());
        QCOMPARE(Child<QProgressBar>(*r.dlg, "progressBar")->value(), 0);

        r.services.folders.opens = false;
        r.services.boxes.copy = true;
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "reportButton"), Qt::LeftButton);
        QCOMPARE(r.services.boxes.shown.back().kind, QStringLiteral("copy"));
        QVERIFY(r.services.boxes.shown.back().text.contains(out));
        QCOMPARE(QGuiApplication::clipboard()->text(), out);

        // The questions that guard data default to Cancel, so Enter erases nothing.
        const auto box = MakeOkCancelBox(nullptr, "Pelmora", "erase?");
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
    }

    // Fits a 1366x768 screen, keeps its width when texts grow, comes back where it was left;
    // no two mnemonics clash.
    void windowFitsKeepsItsWidthAndPlace() {
        Run r;
        r.WriteTrace();  // Change Setting works on a trace in hand
        r.LoadedSummary(MakeTimeValue(2026, 3, 4, 7, 0, 0), MakeTimeValue(2026, 3, 4, 9, 0, 0));
        QVERIFY(r.Start());
        QVERIFY2(r.dlg->minimumSizeHint().height() <= 700 && r.dlg->width() <= 1366,
                 qPrintable(QString("%1x%2").arg(r.dlg->width()).arg(r.dlg->height())));
        const int width = r.dlg->width();
        r.profile.ProfileWriteInt("Setting", "Conversion", 63);
        r.profile.ProfileWriteText("Setting", "TimeZoneDisplay", std::string(200, 'W'));
        QTest::mouseClick(Child<QPushButton>(*r.dlg, "changeSettingButton"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(r.dlg->width(), width);

        const QSize moved(width + 40, r.dlg->minimumSizeHint().height() + 20);
        r.dlg->resize(moved);
        r.dlg->close();
        r.dlg.reset();
        QVERIFY(r.Start());
        QCOMPARE(r.dlg->size(), moved);

        QSet<QChar> keys;
        QStringList texts;
        for (QAction* menu : r.dlg->menu().bar->actions()) {
            texts << menu->text();
        }
        for (QAbstractButton* b : r.dlg->findChildren<QAbstractButton*>()) {
            texts << b->text();
        }
        for (QLabel* l : r.dlg->findChildren<QLabel*>()) {
            texts << l->text();
        }
        for (const QString& text : texts) {
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            if (at >= 0 && at + 1 < text.size()) {
                const QChar key = text.at(at + 1).toLower();
                QVERIFY2(!keys.contains(key), qPrintable(text));
                keys << key;
            }
        }
        QVERIFY(keys.size() >= 10);
    }

    // Until the logger answered the window says whom it waits for and offers nothing to edit;
    // Port... leaves the link and connects anew without a restart.
    void connectingShowsThePortAndPortReconnects() {
        Run r;
        r.device.opens = true;
        QVERIFY(r.Start(QStringLiteral("/dev/pelmora-test")));
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Connecting to /dev/pelmora-test..."));
        QCOMPARE(Child<QDateEdit>(*r.dlg, "beginDate")->text(), QStringLiteral(" "));
        for (const char* name :
             {"recordOptionGroup", "convertPeriodGroup", "applicationSettingGroup"}) {
            QVERIFY2(!Child<QWidget>(*r.dlg, name)->isEnabled(), name);
        }
        r.device.nmea = true;
        QTRY_COMPARE_WITH_TIMEOUT(r.dlg->statusText(), QStringLiteral("Ready"), 5000);
        QVERIFY(Child<QWidget>(*r.dlg, "convertPeriodGroup")->isEnabled());
        QTRY_VERIFY(Child<QPushButton>(*r.dlg, "readButton")->isEnabled());

        r.services.ports.answers.push_back({true, QStringLiteral("None"), QStringLiteral("4800")});
        r.dlg->menu().port->trigger();
        QTRY_VERIFY(!r.device.IsOpen());
        QVERIFY(!r.dlg->deviceMode());
        QVERIFY(!Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        QCOMPARE(r.dlg->windowTitle(), QStringLiteral("Pelmora"));

        r.device.nmea = false;
        r.services.ports.answers.push_back(
            {true, QStringLiteral("/dev/pelmora-other"), QStringLiteral("4800")});
        r.dlg->menu().port->trigger();
        QVERIFY(r.device.IsOpen());
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Connecting to /dev/pelmora-other..."));
        r.device.nmea = true;
        QTRY_COMPARE_WITH_TIMEOUT(r.dlg->windowTitle(),
                                  QStringLiteral("Pelmora - /dev/pelmora-other"), 5000);
    }

    // Port... to a port that is not there: the cause, and back to the port that worked.
    void aMissingPortFromTheMenuKeepsTheWorkingOne() {
        Run r;
        r.device.opens = true;
        r.device.nmea = true;
        QVERIFY(r.Start(QStringLiteral("/dev/pelmora-test")));
        QTRY_COMPARE_WITH_TIMEOUT(r.dlg->deviceState(), DeviceState::Connected, 5000);
        r.device.missing = "/dev/pelmora-gone";
        r.services.ports.answers.push_back(
            {true, QStringLiteral("/dev/pelmora-gone"), QStringLiteral("4800")});
        r.dlg->menu().port->trigger();
        QVERIFY(r.services.boxes.Has(
            QStringLiteral("Incorrect port !\n/dev/pelmora-gone: no such device (is the logger "
                           "plugged in and switched on?)")));
        QTRY_COMPARE_WITH_TIMEOUT(r.dlg->deviceState(), DeviceState::Connected, 5000);
        QCOMPARE(r.dlg->windowTitle(), QStringLiteral("Pelmora - /dev/pelmora-test"));
    }

    // Offline the device commands are off and stay off: no "Please connect" box to dismiss,
    // and the status bar names the state.
    void offlineTheDeviceCommandsStayDisabled() {
        Run r;
        QVERIFY(r.Start());
        QCOMPARE(r.dlg->connectionText(), QStringLiteral("Offline"));
        for (const char* name : {"clearButton", "readButton", "configureButton", "setButton"}) {
            QVERIFY2(!Child<QPushButton>(*r.dlg, name)->isEnabled(), name);
        }
        QVERIFY(r.services.boxes.shown.empty());
    }
};

}  // namespace pelmora::test

QTEST_MAIN(pelmora::test::OfflineTest)
#include "offline_test.moc"
