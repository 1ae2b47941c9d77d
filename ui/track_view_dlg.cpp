#include "ui/track_view_dlg.h"

#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "core/convert_texts.h"
#include "ui/gui_call_queue.h"
#include "ui/library_pane.h"
#include "ui/track_chart.h"
#include "ui/track_map_widget.h"

namespace pelmora {

namespace {

// The window manager's frame around a window's client area; none before it was first shown.
QMargins FrameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

}  // namespace

CTrackViewDlg::CTrackViewDlg(Config config, QWidget* parent)
    : QDialog(parent), m_config(std::move(config)) {
    setWindowTitle(QStringLiteral("Track"));
    setWindowFlag(Qt::Window, true);
    setModal(false);
    m_guiCalls = new GuiCallQueue(this);
    m_tiles = new TileSource(m_config.tiles, this);
    m_map = new TrackMapWidget(m_tiles, this);
    m_chart = new TrackChartView(this);
    m_info = new QLabel(this);
    m_info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_map);
    splitter->addWidget(m_chart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({600, 400});  // the chart's own size hint would leave it a strip
    m_chart->setMinimumHeight(200);
    // The season's days and trips beside the track.
    m_library = new LibraryPane(this);
    auto* beside = new QSplitter(Qt::Horizontal, this);
    beside->addWidget(m_library);
    beside->addWidget(splitter);
    beside->setStretchFactor(1, 1);
    beside->setSizes({320, 880});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(beside, 1);
    layout->addWidget(m_info);
    resize(1280, 720);

    connect(m_chart, &TrackChartView::periodSelected, this, &CTrackViewDlg::periodChosen);
    connect(m_chart, &TrackChartView::hovered, this, [this](qint64 index) {
        m_map->SetHover(index < 0 ? std::nullopt
                                  : std::optional<std::size_t>(static_cast<std::size_t>(index)));
        m_info->setText(m_chart->hoverText());
    });
    Reload(m_config.options);
}

CTrackViewDlg::~CTrackViewDlg() {
    StopLoading();
}

void CTrackViewDlg::StopLoading() {
    m_stopLoad.store(true);
    if (m_loader.joinable()) {
        m_loader.join();
    }
    m_stopLoad.store(false);
}

void CTrackViewDlg::Reload(const TrackViewOptions& options) {
    StopLoading();
    // A model of an earlier load still queued is stale: its generation no longer matches.
    const std::uint64_t generation = ++m_generation;
    m_config.options = options;
    m_info->setText(QStringLiteral("Reading the trace..."));
    m_loader = std::thread([this, folder = m_config.dataFolder, options, generation] {
        auto model = std::make_shared<TrackModel>();
        std::string problem;
        const TraceReadStatus status =
            LoadTrackModel(folder, options, *model, &m_stopLoad, &problem);
        if (status == TraceReadStatus::Stopped) {
            return;
        }
        // Dropped with the window if it went meanwhile (the destructor joins first).
        m_guiCalls->Post([this, model = std::move(model), status, generation,
                          problem = std::move(problem)]() mutable {
            if (generation == m_generation) {
                OnLoaded(std::move(model), status, problem);
            }
        });
    });
}

void CTrackViewDlg::SetTraceFolder(const std::string& folder, const TrackViewOptions& options) {
    m_config.dataFolder = folder;  // the loading thread reads its own copy
    Reload(options);
}

void CTrackViewDlg::PlaceBeside(const QWidget& mainWindow) {
    const QScreen* screen = mainWindow.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect avail = screen->availableGeometry();
    const QRect main = mainWindow.frameGeometry();
    // Not yet shown, this window has no frame: the main window's, from the same window
    // manager, stands in for it.
    const QMargins frame = FrameMargins(isVisible() ? *this : mainWindow);
    const QSize wanted = size().grownBy(frame);
    const QSize least = minimumSizeHint().expandedTo(minimumSize()).grownBy(frame);

    // The screen's free bands right of, left of and below the main window, in that order.
    const QRect bands[] = {
        QRect(QPoint(main.right() + 1, avail.top()), avail.bottomRight()),
        QRect(avail.topLeft(), QPoint(main.left() - 1, avail.bottom())),
        QRect(QPoint(avail.left(), main.bottom() + 1), avail.bottomRight()),
    };
    const auto holds = [](const QRect& band, QSize s) {
        return band.width() >= s.width() && band.height() >= s.height();
    };
    int chosen = -1;
    for (int i = 0; i < 3 && chosen < 0; ++i) {
        if (holds(bands[i], wanted)) {
            chosen = i;
        }
    }
    if (chosen < 0) {
        // No band holds the whole window: the largest that holds it at its minimum, shrunk.
        qint64 best = 0;
        for (int i = 0; i < 3; ++i) {
            const qint64 area = qint64(bands[i].width()) * bands[i].height();
            if (holds(bands[i], least) && area > best) {
                best = area;
                chosen = i;
            }
        }
    }
    const QRect band = chosen >= 0 ? bands[chosen] : avail;  // else over it, on the screen
    const QSize placed = wanted.boundedTo(band.size());
    // Next to the main window: level with its top beside it, under its left edge below it.
    int x = chosen == 1 ? band.right() + 1 - placed.width() : band.left();
    int y = band.top();
    if (chosen != 2) {
        y = std::clamp(main.top(), band.top(), band.bottom() + 1 - placed.height());
    }
    if (chosen == 2 || chosen < 0) {
        x = std::clamp(chosen < 0 ? main.right() + 1 : main.left(), band.left(),
                       band.right() + 1 - placed.width());
    }
    resize(placed.shrunkBy(frame));
    move(x, y);  // a window's position is its frame's
}

void CTrackViewDlg::OnLoaded(std::shared_ptr<TrackModel> model, TraceReadStatus status,
                             const std::string& problem) {
    const bool ok = status == TraceReadStatus::Ok;
    // The widgets let go of the old model before it is freed.
    m_map->SetModel(ok ? model.get() : nullptr);
    m_chart->SetModel(ok ? model.get() : nullptr);
    m_model = ok ? std::move(model) : nullptr;
    switch (status) {
        case TraceReadStatus::Ok:
            m_info->setText(QStringLiteral("%1 fixes").arg(m_model->points().size()));
            break;
        case TraceReadStatus::OpenFailed:
            m_info->setText(QLatin1String(convert_text::kOpenTraceFailed));
            break;
        case TraceReadStatus::Invalid:
            m_info->setText(QLatin1String(convert_text::kTraceInvalid));
            break;
        case TraceReadStatus::NoGeoid:
            m_info->setText(QString::fromStdString(problem));
            break;
        default:
            m_info->setText(QLatin1String(convert_text::kNoLogData));
            break;
    }
    SetPeriod(m_beginUtc, m_endUtc);
    emit modelLoaded(ok);
}

void CTrackViewDlg::SetPeriod(TimeValue beginUtc, TimeValue endUtc) {
    m_beginUtc = beginUtc;
    m_endUtc = endUtc;
    if (m_model != nullptr) {
        const IndexRange period = m_model->PeriodRange(beginUtc, endUtc);
        m_map->SetPeriod(period);
        if (period.empty()) {
            m_chart->SetPeriodBand(1, 0);
        } else {
            m_chart->SetPeriodBand(m_model->points()[period.first].time,
                                   m_model->points()[period.last - 1].time);
        }
    }
}

}  // namespace pelmora
