#pragma once
// The Library pane beside the track: the season's days, each opening into its trips (date, local
// times, duration, km, maximum speed), with a search by date. The library is read, imported into
// and cut on a thread of the pane's own; the tree is filled on the GUI thread from its results.
//
// Thread contract: the widget belongs to the GUI thread; the worker holds its own library object
// and reaches the widget only through the GUI call queue.
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/zone_rules.h"
#include "library/trip_splitter.h"

class QDateEdit;
class QLabel;
class QTreeWidget;

namespace pelmora {

class GuiCallQueue;

class LibraryPane : public QWidget {
    Q_OBJECT

  public:
    explicit LibraryPane(QWidget* parent = nullptr);
    ~LibraryPane() override;

    // Reads the days of the zone and the trips of the gaps from the library of dataFolder.
    void Fill(const std::string& dataFolder, const ZoneRules& zone, TripGaps gaps);
    // Adds raw logs to the library, then fills again; imported() tells what was added.
    void Import(std::vector<std::string> paths);
    // Selects the day of that local date, when the library holds one.
    bool FindDay(int year, int month, int day);

    QTreeWidget* tree() const { return m_tree; }
    bool busy() const { return m_worker.joinable() && !m_idle.load(); }

  signals:
    // The selected days and trips were written as a trace into folder (TraceLog.ltp); run is
    // their span.
    void traceReady(const QString& folder, TimeValue beginUtc, TimeValue endUtc);
    void filled(int days, int trips);
    void imported(const QString& text);
    void failed(const QString& text);

  private:
    void Run(std::function<void()> job);
    void OnFilled(std::vector<FixRun> days, std::vector<FixRun> trips);
    void OnSelection();

    std::string m_folder;
    ZoneRules m_zone;
    TripGaps m_gaps;
    std::vector<FixRun> m_days;
    std::vector<FixRun> m_trips;
    QTreeWidget* m_tree = nullptr;
    QDateEdit* m_date = nullptr;
    QLabel* m_state = nullptr;
    GuiCallQueue* m_guiCalls = nullptr;
    std::atomic<bool> m_idle{true};
    std::thread m_worker;  // one job at a time; joined before the next and by the destructor
};

}  // namespace pelmora
