#pragma once
// The track view window: the map of the trace over its speed and altitude chart. It reads the
// trace on a thread of its own, so a long trace never blocks the main window.
//
// Thread contract: the window and its widgets belong to the GUI thread; the loading thread
// only fills a model it alone holds and hands it over through the GUI call queue.
#include <QDialog>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "convert/track_model.h"
#include "ui/tile_source.h"

class QLabel;

namespace pelmora {

class GuiCallQueue;

class LibraryPane;
class TrackChartView;
class TrackMapWidget;

class CTrackViewDlg : public QDialog {
    Q_OBJECT

  public:
    struct Config {
        std::string dataFolder;  // holds TraceLog.ltp; SetTraceFolder changes it
        TrackViewOptions options;
        TileSettings tiles;
    };

    explicit CTrackViewDlg(Config config, QWidget* parent = nullptr);
    ~CTrackViewDlg() override;

    // Reads the trace again (after a download, or with other settings).
    void Reload(const TrackViewOptions& options);
    // Reads the trace of another folder from now on (a trace opened from a file), and reloads.
    void SetTraceFolder(const std::string& folder, const TrackViewOptions& options);
    const std::string& traceFolder() const { return m_config.dataFolder; }
    // Moves (and if need be shrinks) the window beside mainWindow on its screen: to the right
    // where there is room, else to the left, else below; over it only when no side can hold
    // the window at its minimum size.
    void PlaceBeside(const QWidget& mainWindow);
    // Highlights the fixes of [beginUtc, endUtc] on the map.
    void SetPeriod(TimeValue beginUtc, TimeValue endUtc);

    bool loaded() const { return m_model != nullptr; }
    const TrackModel* model() const { return m_model.get(); }
    TrackMapWidget* mapWidget() const { return m_map; }
    TrackChartView* chartView() const { return m_chart; }
    TileSource* tiles() const { return m_tiles; }
    LibraryPane* libraryPane() const { return m_library; }

  signals:
    // A period chosen on the chart, in local times of the chosen zone.
    void periodChosen(TimeValue beginLocal, TimeValue endLocal);
    // The trace was read (true) or could not be (false, the reason shown in the window).
    void modelLoaded(bool ok);

  private:
    void StopLoading();
    void OnLoaded(std::shared_ptr<TrackModel> model, TraceReadStatus status,
                  const std::string& problem);

    Config m_config;
    TileSource* m_tiles = nullptr;
    TrackMapWidget* m_map = nullptr;
    TrackChartView* m_chart = nullptr;
    QLabel* m_info = nullptr;
    LibraryPane* m_library = nullptr;
    std::shared_ptr<TrackModel> m_model;
    TimeValue m_beginUtc = INT64_MIN;
    TimeValue m_endUtc = INT64_MAX;
    std::atomic<bool> m_stopLoad{false};
    std::thread m_loader;            // joined before the window goes
    std::uint64_t m_generation = 0;  // of the last load asked for; the GUI thread's
    GuiCallQueue* m_guiCalls = nullptr;
};

}  // namespace pelmora
