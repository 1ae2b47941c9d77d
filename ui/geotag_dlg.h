#pragma once
// File > Geotag photos...: photos or a folder chosen, each photo's time and place on the decoded
// trace shown in a table and on a sketch of the track, the camera's offset typed or worked out
// from a photo of a known time, then the tags written with a progress bar and a summary.
//
// Thread contract: the dialog and its widgets belong to the GUI thread. Reading the photos and
// writing their tags run on one work thread at a time, which owns copies of what it needs and
// reports only through the window's GuiCallQueue; the dialog joins it before it goes.
#include <QDialog>
#include <QStringList>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "convert/convert_point.h"
#include "core/time_value.h"
#include "core/zone_rules.h"
#include "geotag/geotag_job.h"

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace pelmora {

class GuiCallQueue;
class TrackSketch;

class CGeotagDlg : public QDialog {
    Q_OBJECT

  public:
    struct Config {
        std::string dataFolder;  // holds TraceLog.ltp
        ZoneRules zone;          // for photos without OffsetTimeOriginal
        GuiCallQueue* calls = nullptr;
    };
    enum Column { ColPhoto, ColCamera, ColUtc, ColPosition, ColAltitude, ColGap, ColResult };

    explicit CGeotagDlg(Config config, QWidget* parent = nullptr);
    ~CGeotagDlg() override;

    // Files or folders; their photos are read and placed on the track.
    void SetPhotos(const QStringList& names);
    void SetOffsetSeconds(int seconds);
    // The selected photo shows trueLocal (its own local time): the offset follows.
    bool SyncSelectedTo(TimeValue trueLocal);
    void SelectRow(int row);
    void Apply();

    bool busy() const { return m_worker.joinable(); }
    const std::vector<PhotoPlan>& plans() const { return m_plans; }
    QTableWidget* table() const { return m_table; }
    QProgressBar* progressBar() const { return m_progress; }
    QString summary() const;
    int offsetSeconds() const;

  signals:
    void planned();
    void applied();

  private:
    void ChoosePhotos();
    void ChooseFolder();
    void Replan();
    void StartJob(bool apply);
    void JobDone();
    void ShowPlans(std::vector<PhotoPlan> plans);
    void ShowResult(std::size_t index, const PhotoResult& result);
    void DrawEnabled();
    GeotagOptions Options() const;

    Config m_config;
    QStringList m_names;
    std::shared_ptr<const std::vector<TrackPoint>> m_fixes;  // loaded by the first job
    std::vector<PhotoPlan> m_plans;
    int m_tagged = 0;
    int m_left = 0;
    int m_failed = 0;
    bool m_replanWanted = false;
    bool m_applying = false;  // the running job writes tags

    QTableWidget* m_table = nullptr;
    TrackSketch* m_sketch = nullptr;
    QSpinBox* m_offset = nullptr;
    QSpinBox* m_maxGap = nullptr;
    QCheckBox* m_overwrite = nullptr;
    QCheckBox* m_sidecar = nullptr;
    QDateTimeEdit* m_shows = nullptr;
    QPushButton* m_sync = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_photos = nullptr;
    QPushButton* m_folder = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_summary = nullptr;

    std::atomic<bool> m_stop{false};
    std::thread m_worker;
    // Calls posted by the worker run only while this lives (the queue outlives the dialog).
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

}  // namespace pelmora
