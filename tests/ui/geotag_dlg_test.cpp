// File > Geotag photos...: the photos of a folder placed on the trace in the table, the offset
// set from a photo of a clock, Apply on its thread with the progress bar and the summary.
// PELMORA_SCREENSHOT=PATH also saves the dialog's picture (the README's).
#include <QDir>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "core/time_value.h"
#include "decode/geodesy.h"
#include "decode/trace_fix.h"
#include "ui/geotag_dlg.h"
#include "ui/gui_call_queue.h"

namespace pelmora::test {
namespace {

const TimeValue kStart = MakeTimeValue(2026, 12, 8, 10, 0, 0);

std::string Slurp(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A lap around the Tiergarten, a fix every 10 s from 10:00 to 10:10 UTC with a stop 10:02-10:07.
void WriteTrace(const QString& path) {
    std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
    for (int s = 0; s <= 600; s += 10) {
        if (s > 120 && s < 420) {
            continue;
        }
        const double a = s / 600.0 * 6.283;
        const double phi = (52.514 + 0.004 * std::sin(a)) / kDegreesPerRadian;
        const double lambda = (13.35 + 0.008 * std::cos(a)) / kDegreesPerRadian;
        const double n = wgs84::kA / std::sqrt(1 - wgs84::kE2 * std::sin(phi) * std::sin(phi));
        const CalendarFields c = BreakTimeValue(kStart + s);
        WriteTraceFix(f, c.year, c.month, c.day, c.hour, c.minute, float(c.second),
                      std::int32_t(std::lround((n + 80) * std::cos(phi) * std::cos(lambda))),
                      std::int32_t(std::lround((n + 80) * std::cos(phi) * std::sin(lambda))),
                      std::int32_t(std::lround((n * (1 - wgs84::kE2) + 80) * std::sin(phi))), 15);
    }
    std::fclose(f);
}

}  // namespace

class GeotagDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void placesSyncsAndApplies() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString photos = dir.filePath("photos");
        QVERIFY(QDir().mkpath(photos));
        WriteTrace(dir.filePath("TraceLog.ltp"));
        // Berlin is +01:00 in December. The camera is 3 min 20 s slow: its clock photo shows
        // 11:08:00 and the camera wrote 11:04:40; both photos are in the stop until the offset
        // is set.
        const struct {
            const char* name;
            const char* time;
        } shots[] = {{"a_walk.jpg", "2026:12:08 11:06:10"},
                     {"b_clock.jpg", "2026:12:08 11:04:40"},
                     {"c_early.jpg", "2026:12:08 10:30:00"}};
        const QString base = dir.filePath("base.jpg");
        QCOMPARE(std::system(("convert -size 8x8 xc:gray '" + base.toStdString() + "'").c_str()),
                 0);
        for (const auto& shot : shots) {
            const QString path = photos + "/" + shot.name;
            QVERIFY(QFile::copy(base, path));
            const std::string command = std::string("exiv2 -M'set Exif.Photo.DateTimeOriginal ") +
                                        shot.time + "' '" + path.toStdString() + "'";
            QCOMPARE(std::system(command.c_str()), 0);
        }
        const std::string early = Slurp(photos + "/c_early.jpg");

        GuiCallQueue calls;
        CGeotagDlg dialog({dir.path().toStdString(), *ZoneRules::Named("Europe/Berlin"), &calls});
        dialog.show();
        QSignalSpy planned(&dialog, &CGeotagDlg::planned);
        dialog.SetPhotos({photos});
        QTRY_COMPARE(planned.count(), 1);
        QTableWidget* table = dialog.table();
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(0, CGeotagDlg::ColResult)->text(), QStringLiteral("gap of 300 s"));
        QCOMPARE(table->item(1, CGeotagDlg::ColResult)->text(), QStringLiteral("gap of 300 s"));
        QCOMPARE(table->item(2, CGeotagDlg::ColResult)->text(),
                 QStringLiteral("outside the track"));
        QCOMPARE(table->item(0, CGeotagDlg::ColUtc)->text(), QStringLiteral("2026-12-08 10:06:10"));

        dialog.SelectRow(1);
        QVERIFY(dialog.SyncSelectedTo(MakeTimeValue(2026, 12, 8, 11, 8, 0)));
        QCOMPARE(dialog.offsetSeconds(), 200);
        QTRY_COMPARE(planned.count(), 2);
        QTRY_VERIFY(!dialog.busy());
        QCOMPARE(table->item(0, CGeotagDlg::ColResult)->text(), QStringLiteral("to tag"));
        QCOMPARE(table->item(1, CGeotagDlg::ColResult)->text(), QStringLiteral("to tag"));
        QCOMPARE(table->item(1, CGeotagDlg::ColUtc)->text(), QStringLiteral("2026-12-08 10:08:00"));

        QSignalSpy applied(&dialog, &CGeotagDlg::applied);
        dialog.Apply();
        QTRY_COMPARE(applied.count(), 1);
        QCOMPARE(dialog.progressBar()->value(), 100);
        QCOMPARE(dialog.summary(),
                 QStringLiteral("3 photos: 2 tagged, 1 left as they were, 0 not read or not "
                                "written"));
        QCOMPARE(table->item(0, CGeotagDlg::ColResult)->text(), QStringLiteral("tagged"));
        QVERIFY(Slurp(photos + "/c_early.jpg") == early);
        const std::string check = "exiv2 -g Exif.GPSInfo.GPSLatitude -Pv '" +
                                  (photos + "/b_clock.jpg").toStdString() + "' | grep -q /";
        QCOMPARE(std::system(check.c_str()), 0);

        if (const char* shot = std::getenv("PELMORA_SCREENSHOT")) {
            dialog.SelectRow(0);
            QVERIFY(dialog.grab().save(QString::fromLocal8Bit(shot)));
        }
    }
};

}  // namespace pelmora::test

QTEST_MAIN(pelmora::test::GeotagDlgTest)
#include "geotag_dlg_test.moc"
