// The window on the simulated logger: detection (a logger at another rate switched back, a port
// no rate works on, a busy port, a receiver that is no logger), the connect worker and the status
// poll, Read with its rate switch, decoding and summary, Stop during a read and during its last
// range, closing during a read, Clear, Configure, Set.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>

#include "core/conversion_settings.h"
#include "core/profile_store.h"
#include "link/datalog_payloads.h"
#include "link/link_error.h"
#include "link/link_session.h"
#include "link/serial_port.h"
#include "sim/logger_sim.h"
#include "tests/ui/window_fakes.h"
#include "ui/datalog_dlg.h"
#include "ui/device_panel.h"
#include "ui/period_picker.h"
#include "ui/trace_panel.h"

namespace pelmora::test {
namespace {

using namespace std::chrono_literals;

// The longest wait of a whole download of the built-in track, status poll included.
constexpr int kReadTimeoutMs = 180000;
// The status poll period and one detection tick of slack.
constexpr int kPollTimeoutMs = CdatalogDlg::kStatusPollMs + 2000;

std::vector<sim::ReceivedFrame> FramesWithId(const sim::LoggerSim& logger, std::uint8_t id) {
    std::vector<sim::ReceivedFrame> found;
    for (const sim::ReceivedFrame& f : logger.Frames()) {
        if (f.Id() == id) {
            found.push_back(f);
        }
    }
    return found;
}

struct Run {
    explicit Run(sim::LoggerSimOptions options = {}) : logger(std::move(options)) {}

    QTemporaryDir dir;
    MemoryProfileStore profile;
    FakeServices services;
    sim::LoggerSim logger;
    std::unique_ptr<LinkSession> session;
    CoreTraceServices trace;
    std::unique_ptr<CdatalogDlg> dlg;

    bool Start(int baud) {
        std::string error;
        if (!logger.Start(&error)) {
            qWarning("simulator: %s", error.c_str());
            return false;
        }
        return StartWithoutLogger(baud);
    }
    // The window on the logger's port, the logger started already.
    bool StartWithoutLogger(int baud) {
        session = std::make_unique<LinkSession>(dir.filePath("config").toStdString());
        services.ports.answers.push_front(
            {true, QString::fromStdString(logger.SlavePath()), QString::number(baud)});
        CdatalogDlg::Config c;
        c.profile = &profile;
        c.device = session.get();
        c.trace = &trace;
        c.services = services.Get();
        c.dataFolder = dir.path().toStdString();
        dlg = std::make_unique<CdatalogDlg>(std::move(c));
        if (!dlg->OnInitDialog()) {
            return false;
        }
        dlg->show();
        return true;
    }
    // Detection, the device ID and the first log status.
    bool Connected() {
        return QTest::qWaitFor(
            [this] {
                return dlg->deviceState() == DeviceState::Connected &&
                       dlg->statusLog().contains(
                           QStringLiteral("-----------------  Log Status  -----------------"));
            },
            15000);
    }
    QString File(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void Click(const char* name) {
        QTest::mouseClick(Child<QPushButton>(*dlg, name), Qt::LeftButton);
    }
    bool Idle() {
        const bool idle = QTest::qWaitFor([this] { return dlg->workIdle(); }, 20000);
        QTest::qWait(50);  // the ended worker's report, posted to the GUI thread, runs too
        return idle;
    }
    // The window connected at baud with a Read under way: the logger has served a range.
    bool ReadUnderway(int baud) {
        if (!Start(baud) || !Connected() || !Idle()) {
            return false;
        }
        Click("readButton");
        return QTest::qWaitFor([this] { return logger.RangesServed() >= 1; }, 30000);
    }
};

sim::LoggerSimOptions At(int baud, bool paced = false) {
    sim::LoggerSimOptions o;
    o.baud = baud;
    o.paced = paced;
    o.deviceId = "PELMORA-7";
    return o;
}

}  // namespace

class DeviceTest : public QObject {
    Q_OBJECT

  private slots:
    void startOnTheSimulator() {
        Run r(At(4800));
        QVERIFY(r.Start(4800));
        QVERIFY(r.Connected());
        QCOMPARE(r.dlg->windowTitle(),
                 QStringLiteral("Pelmora - ") + QString::fromStdString(r.logger.SlavePath()));
        QCOMPARE(Child<QLineEdit>(*r.dlg, "idEdit")->text(), QStringLiteral("PELMORA-7"));
        QVERIFY(QRegularExpression(QStringLiteral("^ ?\\d+\\.\\d\\d$"))
                    .match(Child<QLineEdit>(*r.dlg, "percentageEdit")->text())
                    .hasMatch());
        const QStringList log = r.dlg->statusLog();
        QVERIFY(log.contains(QStringLiteral("Datalog: Enable")) ||
                log.contains(QStringLiteral("Datalog: Disable")));
        QVERIFY(std::any_of(log.begin(), log.end(),
                            [](const QString& l) { return l.startsWith("Sector left: "); }) ||
                std::any_of(log.begin(), log.end(),
                            [](const QString& l) { return l.startsWith("Circular Sector"); }));
        for (const char* name :
             {"clearButton", "readButton", "configureButton", "setButton", "changeSettingButton"}) {
            QVERIFY2(Child<QPushButton>(*r.dlg, name)->isEnabled(), name);
        }
        QVERIFY(!Child<QPushButton>(*r.dlg, "stopButton")->isEnabled());
        QVERIFY(r.dlg->statusPollActive());
        QVERIFY(!r.dlg->receivedMessages().isEmpty());
        // The refill of the Record Option fields from the logger's options.
        QCOMPARE(Child<QLineEdit>(*r.dlg, "timeEdit")->text(),
                 QString::number(r.logger.Options().minTime));
        // The link record of this connection.
        QVERIFY(QFileInfo::exists(r.dir.filePath("config/receiver.ini")));
    }

    void readAt9600SwitchesToTheFastestRateAndBack() {
        Run r(At(9600));
        r.profile.ProfileWriteInt("Setting", "Conversion", 1);  // KML path: Convert runs
        QVERIFY(r.Start(9600));
        QVERIFY(r.Connected());
        QVERIFY(r.Idle());
        r.logger.ClearLogs();
        r.Click("readButton");
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Reading......"));
        QVERIFY(Child<QPushButton>(*r.dlg, "stopButton")->isEnabled());
        QVERIFY(!Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        QVERIFY(!r.dlg->statusPollActive());
        QTRY_VERIFY_WITH_TIMEOUT(
            r.dlg->statusLog().contains(QStringLiteral("Decompress is completed...")),
            kReadTimeoutMs);
        QVERIFY(r.dlg->statusLog().contains(QStringLiteral("read successful...")));
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Reading done"));
        // The read had its own bar; the memory bar still shows the logger's memory use.
        QVERIFY(Child<QProgressBar>(*r.dlg, "readProgressBar")->isHidden());
        QVERIFY(Child<QProgressBar>(*r.dlg, "progressBar")->value() < 100);
        const std::vector<sim::RateChange> changes = r.logger.RateChanges();
        QCOMPARE(changes.size(), std::size_t{2});
        QCOMPARE(changes[0].from, 9600);
        QCOMPARE(changes[0].to, 230400);
        QCOMPARE(changes[1].to, 9600);
        QVERIFY(r.dlg->statusLog().contains(QStringLiteral("Reading at 230400 bit/s...")));
        QVERIFY2(r.dlg->devicePanel().readProgressText().contains(QStringLiteral(" kB/s")),
                 qPrintable(r.dlg->devicePanel().readProgressText()));
        QVERIFY(QFileInfo(r.File("data.log")).size() > 0);
        QVERIFY(QFileInfo(r.File("TraceLog.ltp")).size() > 0);
        // The summary box and the period it set.
        const auto summary = std::find_if(
            r.services.boxes.shown.begin(), r.services.boxes.shown.end(),
            [](const ShownBox& b) { return b.text.startsWith(QStringLiteral("Begin")); });
        QVERIFY(summary != r.services.boxes.shown.end());
        QVERIFY(summary->text.contains(QStringLiteral("Total mileage: ")));
        QCOMPARE(summary->caption, QStringLiteral("Pelmora"));
        QVERIFY(r.dlg->tracePanel().traceLoaded());
        QVERIFY(r.dlg->tracePanel().period().beginLocal() <
                r.dlg->tracePanel().period().endLocal());
        QCOMPARE(Child<QDateEdit>(*r.dlg, "beginDate")->date(),
                 QDate::fromString(QString::fromStdString(FormatTime(
                                       r.dlg->tracePanel().period().beginLocal(), "%Y-%m-%d")),
                                   Qt::ISODate));
        QCOMPARE(Child<QLabel>(*r.dlg, "beginLabel")->text(),
                 QString::fromStdString(
                     FormatTime(r.dlg->tracePanel().period().beginLocal(), "%Y/%m/%d %H")));
        QVERIFY(Child<QPushButton>(*r.dlg, "convertButton")->isEnabled());
        QVERIFY(Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        QVERIFY(!Child<QPushButton>(*r.dlg, "stopButton")->isEnabled());
        QVERIFY(r.dlg->statusPollActive());

        // Convert the whole trace, then Report opens its folder.
        QVERIFY(QDir(r.dir.path()).mkpath(QStringLiteral("out")));
        r.services.saveFile.answers.push_back(r.dir.filePath(QStringLiteral("out/track.kml")));
        QSignalSpy finished(r.dlg.get(), &CdatalogDlg::conversionFinished);
        r.Click("convertButton");
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QVERIFY(Child<QPushButton>(*r.dlg, "reportButton")->isEnabled());
        QVERIFY(Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        r.Click("reportButton");
        QCOMPARE(r.services.folders.opened,
                 QStringList({r.dir.filePath(QStringLiteral("out")) + "/"}));

        // Cleared on the logger and recorded anew: a smaller log, yet not downloaded.
        QVERIFY(r.Idle());
        r.logger.RecordAnew();
        r.Click("clearButton");
        QTRY_VERIFY_WITH_TIMEOUT(
            r.services.boxes.Find(QString::fromLatin1(kAskClearUndownloaded)) != nullptr, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(FramesWithId(r.logger, kClearLogId).size(), std::size_t{1},
                                  15000);
    }

    void stopDuringAReadKeepsThePreviousDownloadAndTheCommandsUntilItEnds() {
        // Paced at the line's rate, and three ranges long, so the download can be stopped
        // between two ranges.
        sim::LoggerSimOptions o = At(57600, true);
        o.flash.SetWriteOffset(40 * kSectorSize);
        Run r(std::move(o));
        r.profile.ProfileWriteInt("Serial", "DownloadRate", 57600);
        for (const char* name : {"data.log", "TraceLog.ltp"}) {
            QFile f(r.File(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("previous");
        }
        QVERIFY(r.ReadUnderway(57600));
        r.Click("stopButton");
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Stopping..."));
        QTRY_COMPARE_WITH_TIMEOUT(r.dlg->deviceState(), DeviceState::Stopping, 100);
        QVERIFY(!Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        QVERIFY(Child<QProgressBar>(*r.dlg, "readProgressBar")->isHidden());
        QTRY_VERIFY2_WITH_TIMEOUT(r.dlg->statusLog().contains(QStringLiteral("read fail...")),
                                  qPrintable(r.dlg->statusLog().join('|')), 30000);
        QTRY_COMPARE(r.dlg->deviceState(), DeviceState::Connected);
        QTRY_COMPARE(r.dlg->statusText(), QStringLiteral("Ready"));
        QVERIFY(Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        QVERIFY(r.dlg->statusPollActive());
        for (const char* name : {"data.log", "TraceLog.ltp"}) {
            QFile f(r.File(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("previous"));
        }
        QVERIFY(r.dlg->statusLog().contains(QStringLiteral("The previous download was kept...")));
        // At the pinned 57600 there is no rate switch at all.
        QVERIFY(r.logger.RateChanges().empty());
        // The poll resumes: a new log-status query within one period.
        const std::size_t queries = FramesWithId(r.logger, kLogStatusId).size();
        QTRY_VERIFY_WITH_TIMEOUT(FramesWithId(r.logger, kLogStatusId).size() > queries,
                                 kPollTimeoutMs);
        QVERIFY(!r.dlg->statusLog().contains(QStringLiteral("Decompress is completed...")));
    }

    void clearEmptiesTheMemoryFigures() {
        Run r(At(4800));
        QVERIFY(r.Start(4800));
        QVERIFY(r.Connected());
        QVERIFY(r.Idle());
        r.Click("clearButton");
        const ShownBox* ask = r.services.boxes.Find(
            QStringLiteral("All records in device will be cleared!\nWill you Continue?"));
        QVERIFY(ask != nullptr);
        QCOMPARE(ask->kind, QStringLiteral("okcancel"));
        // Nothing of the logger's log was ever downloaded into this folder: asked once the
        // device thread has compared.
        QTRY_VERIFY_WITH_TIMEOUT(
            r.services.boxes.Find(QString::fromLatin1(kAskClearUndownloaded)) != nullptr, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            r.dlg->statusLog().contains(QStringLiteral("Log Clear Successful...")), 15000);
        QTRY_COMPARE(Child<QLineEdit>(*r.dlg, "percentageEdit")->text(), QStringLiteral("0.00"));
        QCOMPARE(Child<QProgressBar>(*r.dlg, "progressBar")->value(), 0);
        QCOMPARE(FramesWithId(r.logger, kClearLogId).size(), std::size_t{1});
    }

    void clearCancelledSendsNothing() {
        Run r(At(4800));
        QVERIFY(r.Start(4800));
        QVERIFY(r.Connected());
        r.services.boxes.ok = false;
        r.Click("clearButton");
        QVERIFY(r.Idle());
        QVERIFY(FramesWithId(r.logger, kClearLogId).empty());
    }

    void configureSendsTheRecordOptions() {
        Run r(At(4800));
        QVERIFY(r.Start(4800));
        QVERIFY(r.Connected());
        QVERIFY(r.Idle());
        Child<QLineEdit>(*r.dlg, "timeEdit")->setText(QStringLiteral("5"));
        Child<QLineEdit>(*r.dlg, "distanceEdit")->setText(QStringLiteral("10"));
        Child<QLineEdit>(*r.dlg, "speedEdit")->setText(QStringLiteral("20"));
        r.Click("configureButton");
        QTRY_VERIFY_WITH_TIMEOUT(r.services.boxes.Has(QStringLiteral("Configure done.")), 15000);
        QVERIFY(r.dlg->statusLog().contains(QStringLiteral("Log Configure Successful...")));
        const auto frames = FramesWithId(r.logger, kConfigureLogId);
        QCOMPARE(frames.size(), std::size_t{1});
        QCOMPARE(r.logger.Options().minTime, 5u);
        QCOMPARE(r.logger.Options().minDistance, 10u);
        QCOMPARE(r.logger.Options().minSpeed, 20u);
        QCOMPARE(r.logger.Options().maxTime, 65535u);
        QCOMPARE(r.logger.Options().maxDistance, 20000u);
        QCOMPARE(r.logger.Options().maxSpeed, 4000u);
    }

    void configureOutOfRangeSendsNothing() {
        Run r(At(4800));
        QVERIFY(r.Start(4800));
        QVERIFY(r.Connected());
        Child<QLineEdit>(*r.dlg, "speedEdit")->setText(QStringLiteral("5000"));
        r.Click("configureButton");
        QVERIFY(r.services.boxes.Has(QStringLiteral("Enter an integer between 0 and 4000.")));
        QVERIFY(r.Idle());
        QVERIFY(FramesWithId(r.logger, kConfigureLogId).empty());
    }

    void setWithAnEmptyIdSendsLengthZero() {
        Run r(At(4800));
        QVERIFY(r.Start(4800));
        QVERIFY(r.Connected());
        QVERIFY(r.Idle());
        Child<QLineEdit>(*r.dlg, "idEdit")->clear();
        r.Click("setButton");
        QTRY_VERIFY_WITH_TIMEOUT(r.services.boxes.Has(QStringLiteral("Set done.")), 15000);
        const auto frames = FramesWithId(r.logger, kSetDeviceIdId);
        QCOMPARE(frames.size(), std::size_t{1});
        // A0 A1 00 n, id, then the length byte.
        QVERIFY(frames[0].bytes.size() > 5);
        QCOMPARE(int{frames[0].bytes[5]}, 0);
        QVERIFY(r.logger.DeviceId().empty());
    }

    void aLoggerWithNoSectorsOffersTheFactoryReset() {
        Run r(At(4800));
        QVERIFY(r.Start(4800));
        QVERIFY(r.Connected());
        QVERIFY(r.Idle());
        r.logger.SetFlash(sim::FlashImage{});
        r.services.boxes.yes = true;
        r.Click("readButton");
        const QString question =
            QStringLiteral("The device has errors. Reset to factory default ?");
        QTRY_VERIFY_WITH_TIMEOUT(r.services.boxes.Has(question), 20000);
        QCOMPARE(r.services.boxes.Find(question)->caption, QStringLiteral("pelmora"));
        QTRY_VERIFY_WITH_TIMEOUT(!FramesWithId(r.logger, kFactoryResetId).empty(), 15000);
        QVERIFY(r.Idle());
        // The Read ends with the reset; the commands and the poll come back by themselves.
        QTRY_COMPARE(r.dlg->deviceState(), DeviceState::Connected);
        QVERIFY(!Child<QPushButton>(*r.dlg, "stopButton")->isEnabled());
        QVERIFY(r.dlg->statusPollActive());
        QVERIFY(!r.dlg->statusLog().contains(QStringLiteral("Decompress is completed...")));
    }

    void aLoggerLeftAtAnotherRateIsSwitchedBack() {
        Run r(At(57600));
        QVERIFY(r.Start(9600));
        QVERIFY(r.Connected());
        QCOMPARE(r.logger.Baud(), 9600);
        QVERIFY(r.dlg->statusLog().contains(
            QStringLiteral("The logger was at 57600 bit/s; switched back to 9600 bit/s...")));
        QVERIFY(Child<QPushButton>(*r.dlg, "readButton")->isEnabled());

        // At a rate its owner chose it stays; the window offers to keep that rate.
        Run kept(At(4800));
        QVERIFY(kept.Start(9600));
        QVERIFY(kept.Connected());
        QVERIFY(kept.dlg->statusLog().contains(
            QStringLiteral("The logger talks at 4800 bit/s, not the 9600 asked for")));
        QCOMPARE(kept.logger.Baud(), 4800);
        QVERIFY(kept.logger.RateChanges().empty());
        QCOMPARE(kept.profile.ProfileReadText(kSectionSerial, "BaudRate", ""), std::string("4800"));
    }

    // A line no rate makes sense of: the box with its cause, the port choice again, and its
    // Cancel ends the run. A rate that failed is not proposed next time.
    void detectionFailureShowsTheCauseAndAsksAgain_data() {
        QTest::addColumn<int>("loggerRate");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("text");
        QTest::newRow("unreadable") << 2400 << false
                                    << "Incorrect baudrate !\n%1: what arrives is unreadable at "
                                       "any rate from 4800 to 230400 bit/s";
        QTest::newRow("silent") << 4800 << true
                                << "Incorrect port !\n%1: nothing arrives at any rate from 4800 "
                                   "to 230400 bit/s (is the logger switched on and on this port?)";
    }
    void detectionFailureShowsTheCauseAndAsksAgain() {
        QFETCH(int, loggerRate);
        QFETCH(bool, silent);
        QFETCH(QString, text);
        sim::LoggerSimOptions o = At(loggerRate, true);
        o.silent = silent;
        Run r(std::move(o));
        r.profile.ProfileWriteText(kSectionSerial, "BaudRate", "9600");
        QVERIFY(r.Start(4800));
        QSignalSpy ended(r.dlg.get(), &CdatalogDlg::processEnd);
        QVERIFY(ended.wait(30000));
        const QString expected = text.arg(QString::fromStdString(r.logger.SlavePath()));
        QVERIFY2(r.services.boxes.Has(expected), qPrintable(r.services.boxes.Texts().join('|')));
        QCOMPARE(r.services.boxes.Find(expected)->icon, BoxIcon::Error);
        QCOMPARE(r.services.ports.asked, 2);
        QVERIFY(r.dlg->processEndRequested());
        QVERIFY(!r.dlg->isVisible());
        QVERIFY(!r.session->IsOpen());
        QCOMPARE(r.profile.ProfileReadText(kSectionSerial, "BaudRate", ""), std::string("9600"));
    }

    void aPortHeldByAnotherProgramNamesIt() {
        Run r(At(4800));
        std::string error;
        QVERIFY(r.logger.Start(&error));
        // posix_spawn, not fork: ThreadSanitizer refuses a fork of a threaded process.
        const std::string path = r.logger.SlavePath();
        std::vector<std::string> args = {"flock", "--no-fork", path, "sleep", "30"};
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        pid_t holder = 0;
        QCOMPARE(posix_spawnp(&holder, "flock", nullptr, nullptr, argv.data(), environ), 0);
        QTRY_VERIFY(!PortHolders(path, true).empty());
        r.services.ports.answers.push_back({true, QStringLiteral("None"), QStringLiteral("4800")});
        QVERIFY(r.StartWithoutLogger(4800));
        const QString expected =
            QStringLiteral("Incorrect port !\n%1: busy: held by sleep (pid %2)")
                .arg(QString::fromStdString(r.logger.SlavePath()))
                .arg(holder);
        QVERIFY2(r.services.boxes.Has(expected), qPrintable(r.services.boxes.Texts().join('|')));
        QCOMPARE(r.services.ports.asked, 2);
        kill(holder, SIGTERM);
        waitpid(holder, nullptr, 0);
    }

    void aReceiverThatIsNoLoggerLeavesTheCommandsDisabled() {
        sim::LoggerSimOptions o = At(4800);
        o.commands = false;
        Run r(std::move(o));
        QVERIFY(r.Start(4800));
        const QString text = QString::fromStdString(r.logger.SlavePath()) +
                             QStringLiteral(
                                 ": not a data logger (it sends NMEA but does not "
                                 "answer the device-ID query)");
        QTRY_VERIFY_WITH_TIMEOUT(r.services.boxes.Has(text), 30000);
        for (const char* name : {"clearButton", "readButton", "configureButton", "setButton"}) {
            QVERIFY2(!Child<QPushButton>(*r.dlg, name)->isEnabled(), name);
        }
        QCOMPARE(r.dlg->deviceState(), DeviceState::Disconnected);
        QCOMPARE(r.dlg->windowTitle(), QStringLiteral("Pelmora"));
        QVERIFY(!r.dlg->statusPollActive());
    }

    void stopDuringTheLastRangeKeepsTheWholeLog() {
        // One range, paced: Stop arrives while it is on the line.
        sim::LoggerSimOptions o = At(57600, true);
        o.flash.SetWriteOffset(12 * kSectorSize);
        Run r(std::move(o));
        QVERIFY(r.ReadUnderway(57600));
        r.Click("stopButton");
        QCOMPARE(r.dlg->statusText(), QStringLiteral("Stopping..."));
        QVERIFY(!Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        QVERIFY(!Child<QPushButton>(*r.dlg, "stopButton")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(
            r.dlg->statusLog().contains(QStringLiteral("Decompress is completed...")),
            kReadTimeoutMs);
        QVERIFY(r.dlg->statusLog().contains(
            QStringLiteral("The whole log had arrived before the stop: kept and decoded...")));
        QVERIFY(Child<QPushButton>(*r.dlg, "readButton")->isEnabled());
        QVERIFY(QFileInfo(r.File("TraceLog.ltp")).size() > 0);
        const auto summaries = std::count_if(
            r.services.boxes.shown.begin(), r.services.boxes.shown.end(),
            [](const ShownBox& b) { return b.text.startsWith(QStringLiteral("Begin")); });
        QCOMPARE(summaries, 1);
    }

    // A refusal or a silence is said as such: no "done", and the memory figures stay.
    void refusedOrUnansweredCommandsShowTheCause_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("cause");
        QTest::newRow("clear refused")
            << "clearButton" << false << "The logger refused the command";
        QTest::newRow("configure refused")
            << "configureButton" << false << "The logger refused the command";
        QTest::newRow("set unanswered") << "setButton" << true << "The logger did not answer";
    }
    void refusedOrUnansweredCommandsShowTheCause() {
        QFETCH(QString, button);
        QFETCH(bool, silent);
        QFETCH(QString, cause);
        Run r(At(4800));
        QVERIFY(r.Start(4800));
        QVERIFY(r.Connected());
        QVERIFY(r.Idle());
        const QString percent = Child<QLineEdit>(*r.dlg, "percentageEdit")->text();
        // Every attempt of the ACK wait goes unanswered, or the first is refused.
        if (silent) {
            r.logger.IgnoreNext(SerialPort::kAckAttempts);
        } else {
            r.logger.NackNext(1);
        }
        r.services.boxes.shown.clear();
        r.Click(button.toLatin1().constData());
        QTRY_VERIFY_WITH_TIMEOUT(r.services.boxes.Has(cause), 20000);
        QVERIFY(r.Idle());
        for (const QString& text : r.services.boxes.Texts()) {
            QVERIFY2(!text.endsWith(QStringLiteral("done.")), qPrintable(text));
        }
        QVERIFY(!r.dlg->statusLog().contains(QStringLiteral("Log Clear Successful...")));
        QCOMPARE(Child<QLineEdit>(*r.dlg, "percentageEdit")->text(), percent);
        QCOMPARE(r.dlg->deviceState(), DeviceState::Connected);
    }

    // Pulled out while idle or while reading: Disconnected, commands off, the port dialog
    // offered once, the previous download kept.
    void anUnpluggedLoggerIsDisconnected_data() {
        QTest::addColumn<bool>("reading");
        QTest::newRow("idle") << false;
        QTest::newRow("reading") << true;
    }
    void anUnpluggedLoggerIsDisconnected() {
        QFETCH(bool, reading);
        sim::LoggerSimOptions o = At(57600, true);
        o.flash.SetWriteOffset(40 * kSectorSize);
        Run r(std::move(o));
        r.profile.ProfileWriteInt("Serial", "DownloadRate", 57600);
        QVERIFY(r.Start(57600));
        QVERIFY(r.Connected());
        QVERIFY(r.Idle());
        r.services.boxes.shown.clear();
        if (reading) {
            r.logger.HangUpMidRange(kSectorSize);
            r.Click("readButton");
        } else {
            r.logger.Stop();
        }
        const QString port = QString::fromStdString(r.logger.SlavePath());
        QTRY_COMPARE_WITH_TIMEOUT(r.dlg->deviceState(), DeviceState::Disconnected, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(r.dlg->statusLog().contains(
                                     QStringLiteral("The logger was disconnected (%1)").arg(port)),
                                 5000);
        QTRY_COMPARE(r.services.ports.asked, 2);
        for (const char* name :
             {"clearButton", "readButton", "configureButton", "setButton", "stopButton"}) {
            QVERIFY2(!Child<QPushButton>(*r.dlg, name)->isEnabled(), name);
        }
        QCOMPARE(r.dlg->windowTitle(), QStringLiteral("Pelmora"));
        QVERIFY(!QFile::exists(r.File("data.log")));
        if (!reading) {
            QTest::qWait(CdatalogDlg::kStatusPollMs + 500);  // no poll, no second dialog
        }
        QCOMPARE(r.services.ports.asked, 2);
        QVERIFY2(r.services.boxes.shown.empty(), qPrintable(r.services.boxes.Texts().join('|')));
    }

    // Right after a Clear the logger holds no log: nothing is written, nothing replaced.
    // A window working offline takes the remembered logger when it is plugged in (a link to the
    // simulator appears), connects and reads what is new without a click.
    void theRememberedLoggerIsReadWhenPluggedIn() {
        Run r(At(4800));
        QVERIFY(r.logger.Start());
        const QString link = r.File("LINK");
        r.profile.ProfileWriteText(kSectionSerial, "AutoSyncDevice", link.toStdString());
        r.session = std::make_unique<LinkSession>(r.dir.filePath("config").toStdString());
        r.services.ports.answers.push_front({true, QStringLiteral("None"), QStringLiteral("4800")});
        CdatalogDlg::Config c;
        c.profile = &r.profile;
        c.device = r.session.get();
        c.trace = &r.trace;
        c.services = r.services.Get();
        c.dataFolder = r.dir.path().toStdString();
        r.dlg = std::make_unique<CdatalogDlg>(std::move(c));
        QVERIFY(r.dlg->OnInitDialog());
        QCOMPARE(r.dlg->deviceState(), DeviceState::Offline);
        QVERIFY(QFile::link(QString::fromStdString(r.logger.SlavePath()), link));
        QVERIFY(QTest::qWaitFor(
            [&r] { return r.dlg->statusLog().contains(QStringLiteral("read successful...")); },
            kReadTimeoutMs));
        QVERIFY(r.dlg->statusLog().contains(
            QStringLiteral("The remembered logger was plugged in (%1): connecting...").arg(link)));
        QVERIFY(QFileInfo::exists(r.File("data.log")));
        QVERIFY(r.Idle());
    }

    void aReadOfAnEmptyLogLeavesTheDownloadAndTheTrace() {
        Run r(At(57600, false));
        for (const char* name : {"data.log", "TraceLog.ltp"}) {
            QFile f(r.File(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("previous");
        }
        r.services.boxes.yes = false;  // not the old trace: "previous" is none
        QVERIFY(r.Start(57600));
        QVERIFY(r.Connected());
        QVERIFY(r.Idle());
        r.logger.SetFlash(sim::FlashImage(512));
        r.Click("readButton");
        QTRY_VERIFY_WITH_TIMEOUT(r.dlg->statusLog().contains(QStringLiteral(
                                     "The logger holds no log: nothing to download.")),
                                 30000);
        QTRY_COMPARE(r.dlg->deviceState(), DeviceState::Connected);
        QVERIFY(r.Idle());
        for (const char* name : {"data.log", "TraceLog.ltp"}) {
            QFile f(r.File(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("previous"));
        }
        QVERIFY(!QDir(r.File("downloads")).exists() || QDir(r.File("downloads")).isEmpty());
        QVERIFY(!r.dlg->statusLog().contains(QStringLiteral("Decompress is completed...")));
    }

    void closingDuringAReadAsksThenSwitchesTheLoggerBack() {
        sim::LoggerSimOptions o = At(9600, true);
        o.flash.SetWriteOffset(40 * kSectorSize);
        Run r(std::move(o));
        QVERIFY(r.ReadUnderway(9600));
        r.services.boxes.yes = false;
        r.dlg->close();
        QVERIFY(r.dlg->isVisible());  // No: the Read goes on
        r.services.boxes.yes = true;
        r.dlg->close();
        QVERIFY(r.dlg->isVisible());  // until the read worker has ended
        QTRY_VERIFY_WITH_TIMEOUT(!r.dlg->isVisible(), 60000);
        QCOMPARE(r.logger.Baud(), 9600);
        QVERIFY(!r.session->IsOpen());
    }
};

}  // namespace pelmora::test

QTEST_MAIN(pelmora::test::DeviceTest)
#include "device_test.moc"
