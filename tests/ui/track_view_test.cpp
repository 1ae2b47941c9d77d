// The track view window: the trace drawn, a chart selection that sets the main window's period
// and shows on the map, tiles from a server on 127.0.0.1 and then from the cache.
#include <QAction>
#include <QCategoryAxis>
#include <QLineSeries>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <cerrno>

#include "core/profile_store.h"
#include "tests/ui/window_fakes.h"
#include "ui/datalog_dlg.h"
#include "ui/label_placer.h"
#include "ui/library_pane.h"
#include "ui/map_painter.h"
#include "ui/period_picker.h"
#include "ui/trace_panel.h"
#include "ui/track_chart.h"
#include "ui/track_colours.h"
#include "ui/track_map_widget.h"
#include "ui/track_view_dlg.h"

namespace pelmora::test {
namespace {

// Pixels of the colour map_painter draws the period in (its antialiased core).
int PeriodPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.blue() > 170 && c.red() < 60 && c.green() < 110;
        }
    }
    return n;
}

bool HasColour(const QImage& image, QColor colour) {
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            if (image.pixelColor(x, y) == colour)
                return true;
        }
    }
    return false;
}

// Answers every GET with one solid tile and closes; remembers the requests.
class TileServer : public QTcpServer {
  public:
    TileServer() {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(QColor(Qt::magenta));
        QBuffer buffer(&m_png);
        buffer.open(QIODevice::WriteOnly);
        tile.save(&buffer, "PNG");
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_pending[s] += s->readAll();
                    if (!m_pending[s].contains("\r\n\r\n"))
                        return;
                    // One request a connection: a client that sent more asks again elsewhere.
                    disconnect(s, &QTcpSocket::readyRead, nullptr, nullptr);
                    requests << QString::fromLatin1(m_pending.take(s));
                    s->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n"
                        "Content-Length: " +
                        QByteArray::number(m_png.size()) + "\r\n\r\n");
                    s->write(m_png);
                    s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QStringList requests;

  private:
    QByteArray m_png;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

}  // namespace

class TrackViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // A view of folder without map tiles.
    static CTrackViewDlg::Config Quiet(const QString& folder) {
        CTrackViewDlg::Config config;
        config.dataFolder = folder.toStdString();
        config.options.settings.SpeedUnitLabel = "KM/h";
        config.tiles.enabled = false;
        return config;
    }

    static bool WaitLoaded(CTrackViewDlg& v) {
        QSignalSpy loaded(&v, &CTrackViewDlg::modelLoaded);
        return (v.loaded() || loaded.wait(20000)) && v.loaded();
    }

  private slots:
    void initTestCase() {
        DecompressOptions o;
        o.nowUtc = MakeTimeValue(2026, 12, 1, 0, 0, 0);
        const DecompressResult r =
            DecompressLog(PELMORA_SOURCE_DIR "/data/sample-data.log",
                          m_dir.filePath("TraceLog.ltp").toStdString(), o, nullptr);
        QVERIFY(r.fixes > 100);
    }

    void chartSelectionSetsThePeriodAndTheMapHighlightsIt() {
        MemoryProfileStore profile;
        profile.ProfileWriteInt("Setting", "MapTiles", 0);  // no network in tests
        FakeServices services;
        services.ports.answers.push_back({true, QStringLiteral("None"), QStringLiteral("4800")});
        CoreTraceServices trace;
        NoDevice device;
        CdatalogDlg::Config c{&profile, &device, &trace, services.Get(), m_dir.path().toStdString(),
                              480};
        CdatalogDlg dlg(std::move(c));
        QVERIFY(dlg.OnInitDialog());
        QVERIFY(dlg.tracePanel().traceLoaded());
        dlg.show();

        QAction* entry = nullptr;
        for (QAction* a : dlg.menu().bar->findChildren<QAction*>()) {
            if (a->text() == QStringLiteral("&Track..."))
                entry = a;
        }
        QVERIFY(entry != nullptr);
        entry->trigger();
        CTrackViewDlg* view = dlg.tracePanel().trackView();
        QVERIFY(view != nullptr);
        QVERIFY(WaitLoaded(*view));
        view->resize(800, 600);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        const int whole = PeriodPixels(view->mapWidget()->grab().toImage());
        QVERIFY2(whole > 300, qPrintable(QString::number(whole)));

        // Drag across the middle fifth of the plot.
        TrackChartView* chart = view->chartView();
        const QRectF plot = chart->chart()->plotArea();
        const QPoint from(int(plot.left() + plot.width() * 0.4), int(plot.center().y()));
        const QPoint to(int(plot.left() + plot.width() * 0.6), from.y());
        QTest::mousePress(chart->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseRelease(chart->viewport(), Qt::LeftButton, {}, to);
        const TimeValue at = chart->LocalTimeAt(from);
        QCOMPARE(dlg.tracePanel().period().beginLocal(), at - at % 60);
        QCOMPARE(dlg.tracePanel().period().endLocal() % 60, 59);
        QVERIFY(dlg.tracePanel().period().endLocal() - dlg.tracePanel().period().beginLocal() >
                600);

        const TrackModel& model = *view->model();
        const IndexRange period = view->mapWidget()->period();
        const IndexRange want = model.PeriodRange(dlg.tracePanel().period().beginUtc(),
                                                  dlg.tracePanel().period().endUtc());
        QCOMPARE(period.first, want.first);
        QCOMPARE(period.last, want.last);
        QVERIFY(period.first > 0 && period.last < model.points().size());
        QVERIFY(PeriodPixels(view->mapWidget()->grab().toImage()) < whole * 3 / 4);

        // Hovering names the fix under the pointer.
        QMouseEvent move(QEvent::MouseMove, QPointF(from),
                         chart->viewport()->mapToGlobal(QPointF(from)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(chart->viewport(), &move);
        QVERIFY(chart->hoverText().contains(QStringLiteral("KM/h")));
    }

    // The Library pane fills on its thread with the archived downloads, days opening into
    // trips; choosing a trip makes its fixes the window's trace, the map's and the chart's.
    void libraryPaneChoosesATrip() {
        QTemporaryDir data;
        QVERIFY(QDir(data.path()).mkpath(QStringLiteral("downloads")));
        QVERIFY(QFile::copy(QStringLiteral(PELMORA_SOURCE_DIR "/data/sample-data.log"),
                            data.filePath(QStringLiteral("downloads/2024-05-18T120000Z.log"))));
        MemoryProfileStore profile;
        profile.ProfileWriteInt("Setting", "MapTiles", 0);
        profile.ProfileWriteInt("Setting", "TripGapMinutes", 10);
        FakeServices services;
        services.ports.answers.push_back({true, QStringLiteral("None"), QStringLiteral("4800")});
        CoreTraceServices trace;
        NoDevice device;
        CdatalogDlg::Config c{&profile, &device, &trace, services.Get(), data.path().toStdString(),
                              0};
        CdatalogDlg dlg(std::move(c));
        QVERIFY(dlg.OnInitDialog());
        dlg.tracePanel().OpenTrackView();
        CTrackViewDlg* view = dlg.tracePanel().trackView();
        LibraryPane* pane = view->libraryPane();
        QSignalSpy filled(pane, &LibraryPane::filled);
        QVERIFY(pane->tree()->topLevelItemCount() == 1 || filled.wait(20000));
        QCOMPARE(pane->tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* day = pane->tree()->topLevelItem(0);
        QCOMPARE(day->childCount(), 4);
        QCOMPARE(day->child(1)->text(0), QStringLiteral("Trip 2"));
        QSignalSpy ready(pane, &LibraryPane::traceReady);
        day->child(1)->setSelected(true);
        QVERIFY(ready.wait(20000));
        QCOMPARE(QFileInfo(QString::fromStdString(view->traceFolder() + "/TraceLog.ltp")).size(),
                 963 * 22);
        QCOMPARE(dlg.tracePanel().period().beginUtc(), MakeTimeValue(2024, 5, 18, 8, 7, 0));
    }

    // Labels of many trips' markers on one spot never cover each other: moved, or left out.
    void markerLabelsNeverOverlap() {
        LabelPlacer placer;
        std::vector<QRectF> placed;
        for (int i = 0; i < 40; ++i) {
            const QPointF at(100 + (i % 4) * 3, 100 + (i % 3) * 2);
            if (const auto box = placer.Place(at, 5, QSizeF(40, 14), i % 2 == 1)) {
                placed.push_back(*box);
            }
        }
        QVERIFY(placed.size() >= 6);
        for (std::size_t i = 0; i < placed.size(); ++i) {
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                QVERIFY(!placed[i].intersects(placed[j]));
            }
        }
    }

    // The wheel zooms around the pointer: the place under it stays there. A fitted view shows
    // the whole extent inside its margins.
    // Across the autumn change the two 02:00-03:00 hours follow each other on the axis, and the
    // change is a tick of its own with both offsets.
    void chartTimeRunsOnAcrossTheAutumnChange() {
        TrackViewOptions options;
        ConversionSettings& s = options.settings;
        QVERIFY(SetNamedZone(s, "Europe/Berlin"));
        s.StopPeriod = 0;
        std::vector<TrackPoint> points;
        const TimeValue change = MakeTimeValue(2024, 10, 27, 1, 0, 0);  // 03:00 CEST, 02:00 CET
        for (TimeValue t = change - 5400; t <= change + 5400; t += 60) {
            TrackPoint p;
            p.time = t;
            p.localTime = s.Zone.ToLocal(t);
            p.latitude = 52.5 + static_cast<double>(t - change) * 4e-6;
            p.longitude = 13.4;
            const double lat = p.latitude / kDegreesPerRadian;
            const double lon = p.longitude / kDegreesPerRadian;
            p.direction = {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon),
                           std::sin(lat)};
            p.speed = p.speedInUnit = 30;
            points.push_back(p);
        }
        const TrackModel model(std::move(points), options);
        TrackChartView chart;
        chart.resize(900, 300);
        chart.SetModel(&model);
        auto* x = qobject_cast<QCategoryAxis*>(chart.chart()->axes(Qt::Horizontal).value(0));
        QVERIFY(x != nullptr);
        QStringList changes;
        qreal previous = x->startValue();
        for (const QString& label : x->categoriesLabels()) {
            QVERIFY2(x->endValue(label) > previous, qPrintable(label));
            previous = x->endValue(label);
            if (label.contains(QChar(0x2192))) {
                changes << label;
                QCOMPARE(x->endValue(label), static_cast<qreal>(change) * 1000);
            }
        }
        QCOMPARE(changes.size(), 1);
        QVERIFY2(changes[0].startsWith("02:00<br>+2:00") && changes[0].contains("+1:00"),
                 qPrintable(changes[0]));
        const auto* speed = qobject_cast<QLineSeries*>(chart.chart()->series().value(2));
        QVERIFY(speed != nullptr);
        const QList<QPointF> drawn = speed->points();
        for (qsizetype i = 1; i < drawn.size(); ++i)
            QVERIFY(drawn[i].x() > drawn[i - 1].x());
    }

    void zoomKeepsThePlaceUnderThePointerAndFitShowsAll() {
        const QRect rect(0, 0, 640, 400);
        const WorldRect bounds{0.80, 0.40, 0.81, 0.42};
        MapView view = MapView::Fit(bounds, rect, 24);
        for (const WorldPoint corner :
             {WorldPoint{bounds.left, bounds.top}, WorldPoint{bounds.right, bounds.bottom}}) {
            const QPointF at = view.ToScreen(corner, rect);
            QVERIFY(rect.adjusted(23, 23, -23, -23).contains(at.toPoint()));
        }
        const QPointF pointer(100, 300);
        const WorldPoint under = view.ToWorld(pointer, rect);
        for (const double steps : {1.5, -3.0, 0.25}) {
            view.ZoomAround(steps, pointer, rect);
            const WorldPoint now = view.ToWorld(pointer, rect);
            QVERIFY(std::abs(now.x - under.x) < 1e-12 && std::abs(now.y - under.y) < 1e-12);
        }
    }

    // Beside the main window, never over its period pickers while the screen has room.
    void opensBesideTheMainWindow_data() {
        QTest::addColumn<QRectF>("main");  // fractions of the screen's available area
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QString>("side");
        QTest::newRow("right") << QRectF(0, 0, 0.3, 0.5) << QSizeF(0.4, 0.4) << "right";
        QTest::newRow("left") << QRectF(0.6, 0.1, 0.4, 0.5) << QSizeF(0.4, 0.4) << "left";
        QTest::newRow("below") << QRectF(0, 0, 1, 0.4) << QSizeF(0.5, 0.5) << "below";
        QTest::newRow("right, shrunk") << QRectF(0, 0, 0.3, 1) << QSizeF(1, 1) << "right";
        QTest::newRow("no room") << QRectF(0, 0, 1, 1) << QSizeF(0.5, 0.5) << "";
    }
    void opensBesideTheMainWindow() {
        QFETCH(QRectF, main);
        QFETCH(QSizeF, size);
        QFETCH(QString, side);
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        const auto onScreen = [&avail](const QRectF& f) {
            return QRect(int(avail.x() + avail.width() * f.x()),
                         int(avail.y() + avail.height() * f.y()), int(avail.width() * f.width()),
                         int(avail.height() * f.height()));
        };
        QWidget mainWindow;
        mainWindow.setGeometry(onScreen(main));
        QTemporaryDir none;
        CTrackViewDlg view(Quiet(none.path()));
        view.resize(onScreen(QRectF(QPointF(), size)).size());
        view.PlaceBeside(mainWindow);
        const QRect placed = view.frameGeometry();
        const QRect under = mainWindow.frameGeometry();
        QVERIFY(avail.contains(placed));
        if (side.isEmpty())
            return;  // covering it cannot be helped
        QVERIFY(!placed.intersects(under));
        QCOMPARE(side == "right", placed.left() > under.right());
        QCOMPARE(side == "left", placed.right() < under.left());
        QCOMPARE(side == "below", placed.top() > under.bottom());
    }

    // File > Open trace...: the view reads the opened trace's folder, and keeps to it on reloads.
    void followsAnotherTraceFolder() {
        QTemporaryDir empty;
        CTrackViewDlg view(Quiet(m_dir.path()));
        QVERIFY(WaitLoaded(view));
        const TrackViewOptions options = view.model()->options();
        QSignalSpy loaded(&view, &CTrackViewDlg::modelLoaded);
        const auto next = [&loaded]() {
            return loaded.wait(20000) && loaded.takeFirst().at(0).toBool();
        };
        view.SetTraceFolder(empty.path().toStdString(), options);
        QVERIFY(!next());
        view.Reload(options);
        QVERIFY(!next());
        view.SetTraceFolder(m_dir.path().toStdString(), options);
        QVERIFY(next());
    }

    // A dark theme gives light text on a dark chart and a dark map; a light one the reverse.
    void followsThePalette() {
        CTrackViewDlg view(Quiet(m_dir.path()));
        view.setPalette(QPalette(QColor(0x30, 0x30, 0x30)));
        QVERIFY(WaitLoaded(view));
        view.resize(640, 480);
        for (const bool dark : {true, false}) {
            if (!dark)
                view.setPalette(QPalette(QColor(0xe8, 0xe8, 0xe8)));
            const auto readsOnIt = [dark](const QColor& c) {
                return dark ? c.lightness() > 160 : c.lightness() < 96;
            };
            QChart* chart = view.chartView()->chart();
            QVERIFY(!chart->axes().isEmpty());
            for (const QAbstractAxis* axis : chart->axes())
                QVERIFY(readsOnIt(axis->labelsColor()));
            QVERIFY(readsOnIt(chart->legend()->labelColor()));
            QCOMPARE(IsDarkSurface(view.chartView()->backgroundBrush().color()), dark);
            const QImage map = view.mapWidget()->grab().toImage();
            QCOMPARE(IsDarkSurface(map.pixelColor(2, 2)), dark);
        }
    }

    void tilesComeFromTheServerThenFromTheCache() {
        TileServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QTemporaryDir cache;
        CTrackViewDlg::Config config;
        config.dataFolder = m_dir.path().toStdString();
        config.options.settings.SpeedUnitLabel = "KM/h";
        config.tiles.urlTemplate =
            QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server.serverPort());
        config.tiles.cacheDir = cache.path();
        config.tiles.userAgent = TileUserAgent();

        const QColor magenta(Qt::magenta);
        int asked = 0;
        {
            CTrackViewDlg view(config);
            view.resize(800, 600);
            view.show();
            QVERIFY(WaitLoaded(view));
            QTRY_VERIFY_WITH_TIMEOUT(!server.requests.isEmpty(), 10000);
            // Every visible tile arrives; then nothing more is asked.
            QTRY_VERIFY_WITH_TIMEOUT(HasColour(view.mapWidget()->grab().toImage(), magenta), 10000);
            QTest::qWait(500);
            asked = int(server.requests.size());
            QTRY_COMPARE_WITH_TIMEOUT(view.tiles()->fetchedFromNetwork(), asked, 10000);
            QVERIFY2(asked <= 20, "only the visible tiles");
            QVERIFY(server.requests.front().contains(QStringLiteral("User-Agent: Pelmora/")));
            const QString path = server.requests.front().section(QLatin1Char(' '), 1, 1);
            QVERIFY(QFile::exists(cache.path() + path));
        }
        CTrackViewDlg again(config);
        again.resize(800, 600);
        again.show();
        QVERIFY(WaitLoaded(again));
        QVERIFY(HasColour(again.mapWidget()->grab().toImage(), magenta));
        QTest::qWait(300);
        QCOMPARE(int(server.requests.size()), asked);
    }
};

}  // namespace pelmora::test

QTEST_MAIN(pelmora::test::TrackViewTest)
#include "track_view_test.moc"
