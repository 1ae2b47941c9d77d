#include "ui/geotag_dlg.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "convert/track_model.h"
#include "geotag/photo_list.h"
#include "geotag/photo_tags.h"
#include "ui/gui_call_queue.h"

namespace pelmora {

// The track in Web Mercator, fitted to the widget, with the photos' points on it; the selected
// photo drawn larger. No tiles: the dialog must not wait for the network.
class TrackSketch : public QWidget {
  public:
    explicit TrackSketch(QWidget* parent) : QWidget(parent) { setMinimumSize(220, 220); }
    void SetTrack(std::shared_ptr<const std::vector<TrackPoint>> fixes) {
        m_track.clear();
        if (fixes) {
            // A few thousand points draw the shape; the photos need no more.
            const std::size_t step = std::max<std::size_t>(1, fixes->size() / 4000);
            for (std::size_t i = 0; i < fixes->size(); i += step) {
                m_track.push_back(ProjectMercator((*fixes)[i].latitude, (*fixes)[i].longitude));
            }
        }
        update();
    }
    void SetPoints(std::vector<WorldPoint> points, int selected) {
        m_points = std::move(points);
        m_selected = selected;
        update();
    }
    void SetSelected(int selected) {
        m_selected = selected;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0xf4, 0xf1, 0xe8));
        if (m_track.empty()) {
            p.drawText(rect(), Qt::AlignCenter, tr("No trace"));
            return;
        }
        WorldRect box{1, 1, 0, 0};
        for (const WorldPoint& w : m_track) {
            box.left = std::min(box.left, w.x);
            box.right = std::max(box.right, w.x);
            box.top = std::min(box.top, w.y);
            box.bottom = std::max(box.bottom, w.y);
        }
        const double margin = 12;
        const double span = std::max({box.right - box.left, box.bottom - box.top, 1e-9});
        const double scale = std::min(width() - 2 * margin, height() - 2 * margin) / span;
        const double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
        const auto at = [&](WorldPoint w) {
            return QPointF(width() / 2.0 + (w.x - cx) * scale, height() / 2.0 + (w.y - cy) * scale);
        };
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path(at(m_track.front()));
        for (const WorldPoint& w : m_track) {
            path.lineTo(at(w));
        }
        p.setPen(QPen(QColor(0x30, 0x60, 0xc0), 2));
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        for (std::size_t i = 0; i < m_points.size(); ++i) {
            if (std::isnan(m_points[i].x)) {
                continue;  // a photo without a position
            }
            const bool chosen = static_cast<int>(i) == m_selected;
            p.setBrush(chosen ? QColor(0xe0, 0x20, 0x20) : QColor(0xf0, 0x90, 0x10));
            p.drawEllipse(at(m_points[i]), chosen ? 6.0 : 3.5, chosen ? 6.0 : 3.5);
        }
    }

  private:
    std::vector<WorldPoint> m_track;
    std::vector<WorldPoint> m_points;  // by table row; NaN x for a photo without a position
    int m_selected = -1;
};

namespace {

QString CameraText(const PhotoPlan& plan) {
    std::string text = FormatMillis(plan.camera.local * 1000 + plan.camera.millis);
    if (plan.camera.offsetSeconds) {
        text += FormatOffset(*plan.camera.offsetSeconds);
    }
    return QString::fromStdString(text);
}

QString ResultText(const PhotoPlan& plan, bool dryRun) {
    if (plan.outcome != PhotoOutcome::Tag) {
        return QString::fromStdString(OutcomeText(plan));
    }
    const QString sidecar = QString::fromStdString(SidecarPath(plan.path)).section('/', -1);
    if (dryRun) {
        return plan.toSidecar ? CGeotagDlg::tr("to write %1").arg(sidecar)
                              : CGeotagDlg::tr("to tag");
    }
    return plan.toSidecar ? CGeotagDlg::tr("wrote %1").arg(sidecar) : CGeotagDlg::tr("tagged");
}

TimeValue FromDateTime(const QDateTime& dt) {
    return dt.toSecsSinceEpoch();
}

QDateTime ToDateTime(TimeValue t) {
    return QDateTime::fromSecsSinceEpoch(t, Qt::UTC);
}

}  // namespace

CGeotagDlg::CGeotagDlg(Config config, QWidget* parent)
    : QDialog(parent), m_config(std::move(config)) {
    InitPhotoTags();
    setWindowTitle(tr("Geotag photos"));

    m_photos = new QPushButton(tr("&Photos..."), this);
    m_folder = new QPushButton(tr("&Folder..."), this);
    m_offset = new QSpinBox(this);
    m_offset->setRange(-366 * 86400, 366 * 86400);
    m_offset->setSuffix(tr(" s"));
    m_offset->setToolTip(tr("Seconds to add to the camera's time"));
    m_maxGap = new QSpinBox(this);
    m_maxGap->setRange(0, 31 * 86400);
    m_maxGap->setValue(static_cast<int>(kDefaultMaxGapSeconds));
    m_maxGap->setSuffix(tr(" s"));
    m_overwrite = new QCheckBox(tr("Replace positions photos have"), this);
    m_sidecar = new QCheckBox(tr("Write XMP sidecars, not the photos"), this);
    m_shows = new QDateTimeEdit(this);
    m_shows->setTimeSpec(Qt::UTC);
    m_shows->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    m_sync = new QPushButton(tr("Set the &offset"), this);
    m_sync->setToolTip(tr("The selected photo shows this local time (a photo of a clock)"));

    auto* choose = new QHBoxLayout;
    choose->addWidget(m_photos);
    choose->addWidget(m_folder);
    choose->addStretch();
    auto* syncRow = new QHBoxLayout;
    syncRow->addWidget(m_shows);
    syncRow->addWidget(m_sync);
    auto* form = new QFormLayout;
    form->addRow(tr("Camera offset:"), m_offset);
    form->addRow(tr("The selected photo shows:"), syncRow);
    form->addRow(tr("Maximum gap:"), m_maxGap);
    form->addRow(QString(), m_overwrite);
    form->addRow(QString(), m_sidecar);

    m_table = new QTableWidget(0, 7, this);
    m_table->setHorizontalHeaderLabels({tr("Photo"), tr("Camera time"), tr("UTC"), tr("Position"),
                                        tr("Altitude"), tr("Gap"), tr("Result")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_sketch = new TrackSketch(this);
    auto* split = new QSplitter(this);
    split->addWidget(m_table);
    split->addWidget(m_sketch);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_apply = new QPushButton(tr("&Apply"), this);
    auto* close = new QPushButton(tr("&Close"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_progress, 1);
    bottom->addWidget(m_apply);
    bottom->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choose);
    layout->addLayout(form);
    layout->addWidget(split, 1);
    layout->addWidget(m_summary);
    layout->addLayout(bottom);
    resize(980, 560);
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
    }

    connect(m_photos, &QPushButton::clicked, this, &CGeotagDlg::ChoosePhotos);
    connect(m_folder, &QPushButton::clicked, this, &CGeotagDlg::ChooseFolder);
    connect(m_offset, &QSpinBox::valueChanged, this, &CGeotagDlg::Replan);
    connect(m_maxGap, &QSpinBox::valueChanged, this, &CGeotagDlg::Replan);
    connect(m_overwrite, &QCheckBox::toggled, this, &CGeotagDlg::Replan);
    connect(m_sidecar, &QCheckBox::toggled, this, &CGeotagDlg::Replan);
    connect(m_sync, &QPushButton::clicked, this,
            [this] { SyncSelectedTo(FromDateTime(m_shows->dateTime())); });
    connect(m_apply, &QPushButton::clicked, this, &CGeotagDlg::Apply);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = m_table->currentRow();
        m_sketch->SetSelected(row);
        if (row >= 0 && row < static_cast<int>(m_plans.size()) && m_plans[row].hasTime) {
            const PhotoPlan& plan = m_plans[static_cast<std::size_t>(row)];
            m_shows->setDateTime(ToDateTime(plan.camera.local + offsetSeconds()));
        }
        DrawEnabled();
    });
    DrawEnabled();
}

CGeotagDlg::~CGeotagDlg() {
    m_stop = true;
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CGeotagDlg::ChoosePhotos() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, tr("Photos to geotag"), QString(),
        tr("Photos (*.jpg *.jpeg *.tif *.tiff *.png *.webp *.dng *.cr2 *.nef *.arw *.orf *.rw2 "
           "*.pef *.raf *.JPG *.JPEG *.TIF *.DNG *.CR2 *.NEF *.ARW *.ORF *.RW2 *.PEF *.RAF);;"
           "All files (*)"));
    if (!files.isEmpty()) {
        SetPhotos(files);
    }
}

void CGeotagDlg::ChooseFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Folder of photos"));
    if (!folder.isEmpty()) {
        SetPhotos({folder});
    }
}

void CGeotagDlg::SetPhotos(const QStringList& names) {
    m_names = names;
    Replan();
}

void CGeotagDlg::SetOffsetSeconds(int seconds) {
    m_offset->setValue(seconds);
}

int CGeotagDlg::offsetSeconds() const {
    return m_offset->value();
}

bool CGeotagDlg::SyncSelectedTo(TimeValue trueLocal) {
    const int row = m_table->currentRow();
    if (row < 0 || row >= static_cast<int>(m_plans.size()) ||
        !m_plans[static_cast<std::size_t>(row)].hasTime) {
        return false;
    }
    const CameraTime& camera = m_plans[static_cast<std::size_t>(row)].camera;
    const std::int64_t millis = trueLocal * 1000 - (camera.local * 1000 + camera.millis);
    SetOffsetSeconds(static_cast<int>(std::llround(static_cast<double>(millis) / 1000.0)));
    return true;
}

void CGeotagDlg::SelectRow(int row) {
    m_table->selectRow(row);
}

QString CGeotagDlg::summary() const {
    return m_summary->text();
}

GeotagOptions CGeotagDlg::Options() const {
    GeotagOptions options;
    options.zone = m_config.zone;
    options.offsetMillis = static_cast<std::int64_t>(m_offset->value()) * 1000;
    options.maxGapSeconds = m_maxGap->value();
    options.overwrite = m_overwrite->isChecked();
    options.sidecar = m_sidecar->isChecked();
    return options;
}

void CGeotagDlg::Replan() {
    if (m_names.isEmpty()) {
        return;
    }
    StartJob(false);
}

void CGeotagDlg::Apply() {
    if (busy() || m_plans.empty()) {
        return;
    }
    m_tagged = m_left = m_failed = 0;
    m_progress->setValue(0);
    m_summary->clear();
    StartJob(true);
}

// One job at a time; a replan asked for meanwhile runs when it ends.
void CGeotagDlg::StartJob(bool apply) {
    if (busy()) {
        m_replanWanted = m_replanWanted || !apply;
        return;
    }
    m_replanWanted = false;
    m_applying = apply;
    m_stop = false;
    std::vector<std::string> names;
    for (const QString& n : m_names) {
        names.push_back(n.toStdString());
    }
    const GeotagOptions options = Options();
    std::vector<PhotoPlan> plans = apply ? m_plans : std::vector<PhotoPlan>{};
    std::weak_ptr<int> alive = m_alive;
    GuiCallQueue* calls = m_config.calls;
    const std::string folder = m_config.dataFolder;
    std::shared_ptr<const std::vector<TrackPoint>> fixes = m_fixes;
    m_worker = std::thread([this, apply, names = std::move(names), options,
                            plans = std::move(plans), alive, calls, folder, fixes]() mutable {
        const auto post = [&](std::function<void()> call) {
            calls->Post([alive, call = std::move(call)] {
                if (!alive.expired()) {
                    call();
                }
            });
        };
        if (!fixes) {
            auto loaded = std::make_shared<std::vector<TrackPoint>>();
            const bool ok = LoadTrack(folder, *loaded) == TraceReadStatus::Ok;
            fixes = loaded;
            post([this, loaded, ok, folder] {
                m_fixes = loaded;
                m_sketch->SetTrack(loaded);
                if (!ok) {
                    m_summary->setText(tr("No trace in %1: read the logger first.")
                                           .arg(QString::fromStdString(folder)));
                }
            });
        }
        if (!apply) {
            std::vector<std::string> problems;
            std::vector<PhotoPlan> made;
            for (const std::string& photo : CollectPhotos(names, problems)) {
                if (m_stop) {
                    return;
                }
                made.push_back(PlanPhoto(photo, *fixes, options));
            }
            post([this, made = std::move(made)]() mutable { ShowPlans(std::move(made)); });
        } else {
            for (std::size_t i = 0; i < plans.size() && !m_stop; ++i) {
                const PhotoResult result = ApplyPlan(plans[i], options);
                post([this, i, result] { ShowResult(i, result); });
            }
        }
        post([this] { JobDone(); });
    });
    DrawEnabled();
}

void CGeotagDlg::JobDone() {
    m_worker.join();
    const bool applied = m_applying;
    m_applying = false;
    if (m_replanWanted) {
        Replan();
    }
    DrawEnabled();
    if (applied) {
        emit this->applied();
    }
}

void CGeotagDlg::ShowPlans(std::vector<PhotoPlan> plans) {
    m_plans = std::move(plans);
    const int selected = m_table->currentRow();
    m_table->setRowCount(static_cast<int>(m_plans.size()));
    std::vector<WorldPoint> points;
    for (std::size_t i = 0; i < m_plans.size(); ++i) {
        const PhotoPlan& plan = m_plans[i];
        const bool placed =
            plan.outcome == PhotoOutcome::Tag || plan.outcome == PhotoOutcome::AlreadyTagged;
        const QString gap = plan.hasTime && plan.outcome != PhotoOutcome::NoTime
                                ? tr("%1 s").arg(std::llround(plan.position.gapSeconds))
                                : QString();
        const QString cells[] = {
            QString::fromStdString(plan.path).section('/', -1),
            plan.hasTime ? CameraText(plan) : QString(),
            plan.hasTime ? QString::fromStdString(FormatMillis(plan.utcMillis)) : QString(),
            placed ? QStringLiteral("%1, %2")
                         .arg(plan.position.latitude, 0, 'f', 6)
                         .arg(plan.position.longitude, 0, 'f', 6)
                   : QString(),
            placed ? tr("%1 m").arg(plan.position.altitude, 0, 'f', 1) : QString(),
            gap,
            ResultText(plan, true),
        };
        for (int c = 0; c < 7; ++c) {
            m_table->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
        }
        m_table->item(static_cast<int>(i), ColPhoto)->setToolTip(QString::fromStdString(plan.path));
        points.push_back(placed ? ProjectMercator(plan.position.latitude, plan.position.longitude)
                                : WorldPoint{std::nan(""), 0});
    }
    m_sketch->SetPoints(std::move(points), selected);
    m_table->resizeColumnsToContents();
    m_progress->setValue(0);
    int toTag = 0;
    for (const PhotoPlan& plan : m_plans) {
        toTag += plan.outcome == PhotoOutcome::Tag ? 1 : 0;
    }
    if (m_fixes && !m_fixes->empty()) {
        m_summary->setText(tr("%1 photos, %2 to tag.").arg(m_plans.size()).arg(toTag));
    }
    DrawEnabled();
    emit planned();
}

void CGeotagDlg::ShowResult(std::size_t index, const PhotoResult& result) {
    if (index >= m_plans.size()) {
        return;
    }
    const PhotoPlan& plan = m_plans[index];
    QString text;
    if (plan.outcome != PhotoOutcome::Tag) {
        text = ResultText(plan, false);
        ++(plan.outcome == PhotoOutcome::Unreadable ? m_failed : m_left);
    } else if (result.written) {
        text = ResultText(plan, false);
        ++m_tagged;
    } else {
        text = tr("cannot write: %1").arg(QString::fromStdString(result.error));
        ++m_failed;
    }
    m_table->item(static_cast<int>(index), ColResult)->setText(text);
    m_progress->setValue(static_cast<int>((index + 1) * 100 / m_plans.size()));
    if (index + 1 == m_plans.size()) {
        m_summary->setText(tr("%1 photos: %2 tagged, %3 left as they were, %4 not read or not "
                              "written")
                               .arg(m_plans.size())
                               .arg(m_tagged)
                               .arg(m_left)
                               .arg(m_failed));
    }
}

void CGeotagDlg::DrawEnabled() {
    const bool idle = !busy();
    const int row = m_table->currentRow();
    const bool timed = row >= 0 && row < static_cast<int>(m_plans.size()) &&
                       m_plans[static_cast<std::size_t>(row)].hasTime;
    m_photos->setEnabled(idle);
    m_folder->setEnabled(idle);
    m_apply->setEnabled(idle && !m_plans.empty());
    m_sync->setEnabled(idle && timed);
    m_shows->setEnabled(timed);
    // What the tags would be cannot change while they are written.
    for (QWidget* w : std::initializer_list<QWidget*>{m_offset, m_maxGap, m_overwrite, m_sidecar}) {
        w->setEnabled(!m_applying);
    }
}

}  // namespace pelmora
