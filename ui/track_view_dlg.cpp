#include "ui/track_view_dlg.h"

#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include "core/convert_texts.h"
#include "ui/track_chart.h"
#include "ui/track_map_widget.h"

namespace pelmora {

CTrackViewDlg::CTrackViewDlg(Config config, QWidget* parent)
    : QDialog(parent), m_config(std::move(config)) {
    setWindowTitle(QStringLiteral("Track"));
    setWindowFlag(Qt::Window, true);
    setModal(false);
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
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_info);
    resize(960, 720);

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
    {
        std::lock_guard lock(m_loadedMutex);  // a model of the last load not yet taken is stale
        m_loaded.reset();
        m_hasLoaded = false;
    }
    m_config.options = options;
    m_info->setText(QStringLiteral("Reading the trace..."));
    m_loader = std::thread([this, folder = m_config.dataFolder, options] {
        auto model = std::make_shared<TrackModel>();
        const TraceReadStatus status = LoadTrackModel(folder, options, *model, &m_stopLoad);
        if (status == TraceReadStatus::Stopped) {
            return;
        }
        {
            std::lock_guard lock(m_loadedMutex);
            m_loaded = std::move(model);
            m_loadedStatus = status;
            m_hasLoaded = true;
        }
        // A queued call by name carries only the wake-up and is built and freed inside QtCore;
        // the model passes through our mutex, where ThreadSanitizer sees the hand-over. Dropped
        // with the window if it went meanwhile (the destructor joins).
        QMetaObject::invokeMethod(this, "TakeLoaded", Qt::QueuedConnection);
    });
}

void CTrackViewDlg::TakeLoaded() {
    std::shared_ptr<TrackModel> model;
    TraceReadStatus status = TraceReadStatus::Ok;
    {
        std::lock_guard lock(m_loadedMutex);
        if (!m_hasLoaded) {
            return;
        }
        model = std::move(m_loaded);
        status = m_loadedStatus;
        m_hasLoaded = false;
    }
    OnLoaded(std::move(model), status);
}

void CTrackViewDlg::OnLoaded(std::shared_ptr<TrackModel> model, TraceReadStatus status) {
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
        m_map->SetPeriod(m_model->PeriodRange(beginUtc, endUtc));
    }
}

}  // namespace pelmora
