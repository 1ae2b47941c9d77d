#include "ui/track_chart.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QDateTime>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/track_colours.h"

namespace pelmora {
namespace {

constexpr std::size_t kChartBuckets = 1200;
const QColor kStopShade(0xe0, 0x20, 0x20, 40);  // kStopRed, faint

// The axis runs on UTC seconds, continuous across clock changes; its labels are local clock
// times of the zone.
qreal AxisX(TimeValue utc) {
    return static_cast<qreal>(utc) * 1000.0;
}

struct TimeTick {
    TimeValue utc = 0;
    QString label;
};

// "+2:00", "-5:00", "+5:30".
QString ShortOffset(std::int64_t seconds) {
    const std::int64_t minutes = std::llabs(seconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60)
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// Ticks on round local clock times (1, 2, 5, 10, 15, 30 minutes; 1, 2, 3, 6, 12 hours; days),
// about eight over [low, high], and one at each change of the zone's offset, labelled with both
// offsets: "03:00" over "-5:00→-4:00".
std::vector<TimeTick> TimeTicks(const ZoneRules& zone, TimeValue low, TimeValue high) {
    constexpr TimeValue kSteps[] = {60,   120,   300,   600,   900,   1800,   3600,
                                    7200, 10800, 21600, 43200, 86400, 172800, 604800};
    constexpr TimeValue kMostTicks = 8;
    TimeValue step = kSteps[std::size(kSteps) - 1];
    for (const TimeValue candidate : kSteps) {
        if ((high - low) / candidate + 1 <= kMostTicks) {
            step = candidate;
            break;
        }
    }
    const char* pattern = high - low > 86400 ? "%m-%d %H:%M" : "%H:%M";
    std::vector<TimeTick> changes;
    // Offsets change rarely: look every hour, then find the second.
    for (TimeValue t = low; t < high;) {
        const TimeValue next = std::min(high, t + 3600);
        if (zone.OffsetAt(next) != zone.OffsetAt(t)) {
            TimeValue before = t;
            TimeValue after = next;
            while (after - before > 1) {
                const TimeValue mid = before + (after - before) / 2;
                (zone.OffsetAt(mid) == zone.OffsetAt(before) ? before : after) = mid;
            }
            // Two lines: the clock time, then the offsets before and after ("-5:00→-4:00").
            changes.push_back(
                {after, QString::fromStdString(FormatTime(zone.ToLocal(after), pattern)) +
                            QStringLiteral("<br>") + ShortOffset(zone.OffsetAt(before)) +
                            QChar(0x2192) + ShortOffset(zone.OffsetAt(after))});
        }
        t = next;
    }
    // Within each stretch of one offset, the UTC times whose local time is a whole step: the
    // repeated autumn hour is labelled twice, the skipped spring hour not at all.
    std::vector<TimeTick> ticks;
    std::vector<TimeValue> bounds{low};
    for (const TimeTick& c : changes) {
        bounds.push_back(c.utc);
    }
    bounds.push_back(high + 1);
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
        const TimeValue offset = zone.OffsetAt(bounds[k]);
        const TimeValue local = bounds[k] + offset;
        const TimeValue firstLocal = local + (((step - local % step) % step) + step) % step;
        for (TimeValue utc = firstLocal - offset; utc < bounds[k + 1]; utc += step) {
            const bool nearChange =
                std::any_of(changes.begin(), changes.end(),
                            [&](const TimeTick& c) { return std::llabs(c.utc - utc) < step / 2; });
            if (!nearChange) {
                ticks.push_back({utc, QString::fromStdString(FormatTime(utc + offset, pattern))});
            }
        }
    }
    ticks.insert(ticks.end(), changes.begin(), changes.end());
    std::sort(ticks.begin(), ticks.end(),
              [](const TimeTick& a, const TimeTick& b) { return a.utc < b.utc; });
    return ticks;
}

}  // namespace

TrackChartView::TrackChartView(QWidget* parent) : QChartView(new QChart, parent) {
    setRenderHint(QPainter::Antialiasing, true);
    // Moves without a button reach the view only when its viewport tracks them.
    viewport()->setMouseTracking(true);
    chart()->legend()->setAlignment(Qt::AlignTop);
    chart()->setMargins(QMargins(4, 4, 4, 4));
    // The view paints the background, so the stops drawn on it stay visible.
    chart()->setBackgroundVisible(false);
    m_band = new QRubberBand(QRubberBand::Rectangle, this);
    ApplyPalette();
}

void TrackChartView::ApplyPalette() {
    const QPalette& p = palette();
    const QColor text = p.color(QPalette::Text);
    const QColor grid = GridColour(p);
    setBackgroundBrush(p.color(QPalette::Base));
    chart()->setTitleBrush(text);
    chart()->legend()->setLabelColor(text);
    // Axes come new with each model, styled by the chart's theme.
    for (QAbstractAxis* axis : chart()->axes()) {
        axis->setLabelsColor(text);
        axis->setTitleBrush(text);
        axis->setLinePenColor(grid);
        axis->setGridLineColor(grid);
        axis->setMinorGridLineColor(grid);
    }
    if (m_speed != nullptr) {
        m_speed->setColor(PeriodBlue(IsDarkSurface(p.color(QPalette::Base))));
    }
}

void TrackChartView::changeEvent(QEvent* event) {
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        ApplyPalette();
    }
}

void TrackChartView::SetModel(const TrackModel* model) {
    m_model = model;
    QChart* c = chart();
    c->removeAllSeries();
    for (QAbstractAxis* axis : c->axes()) {
        c->removeAxis(axis);
        delete axis;
    }
    m_speed = nullptr;
    m_timeAxis = nullptr;
    if (model == nullptr || model->empty()) {
        return;
    }
    const ConversionSettings& s = model->options().settings;
    const IndexRange all{0, model->points().size()};
    const std::vector<ChartSample> samples = model->ChartSeries(all, kChartBuckets);
    const TimeValue t0 = samples.front().time;
    const TimeValue t1 = std::max(samples.back().time, t0 + 60);

    m_speed = new QLineSeries;
    m_speed->setName(QStringLiteral("Speed (%1)").arg(QString::fromStdString(s.SpeedUnitLabel)));
    auto* height = new QLineSeries;
    height->setName(QStringLiteral("Altitude (m)"));
    double low = 0, high = 1;
    QList<QPointF> speedPoints, heightPoints;
    for (const ChartSample& p : samples) {
        speedPoints.append({AxisX(p.time), p.speed});
        heightPoints.append({AxisX(p.time), p.height});
        low = std::min(low, p.height);
        high = std::max(high, p.height);
    }
    m_speed->replace(speedPoints);
    height->replace(heightPoints);
    const double top =
        std::max({model->highestSpeed(), static_cast<double>(s.OverSpeed), 1.0}) * 1.1;

    // The stops are shaded behind the chart (drawBackground): an area series of hundreds of
    // stops takes half a second a frame. This empty one only gives the legend its entry.
    auto* stopArea = new QAreaSeries;
    stopArea->setUpperSeries(new QLineSeries(stopArea));  // the area does not own its edge
    stopArea->setName(QStringLiteral("Stops"));
    stopArea->setColor(kStopShade);
    stopArea->setBorderColor(Qt::transparent);

    auto* xAxis = new QCategoryAxis;
    xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // The offset in force, from the zone's rules; both when the trace crosses a change.
    const std::string first = s.Zone.LabelAt(model->points().front().time);
    const std::string last = s.Zone.LabelAt(model->points().back().time);
    xAxis->setTitleText(QString::fromStdString(first == last ? first : first + " - " + last));
    m_timeAxis = xAxis;
    auto* speedAxis = new QValueAxis;
    speedAxis->setRange(0, top);
    speedAxis->applyNiceNumbers();
    speedAxis->setLabelFormat(QStringLiteral("%d"));
    auto* heightAxis = new QValueAxis;
    heightAxis->setRange(low, high + (high - low) * 0.1);
    heightAxis->applyNiceNumbers();
    heightAxis->setLabelFormat(QStringLiteral("%d"));
    c->addAxis(xAxis, Qt::AlignBottom);
    c->addAxis(speedAxis, Qt::AlignLeft);
    c->addAxis(heightAxis, Qt::AlignRight);

    c->addSeries(stopArea);
    c->addSeries(height);
    c->addSeries(m_speed);
    height->setColor(kAltitudeGreen);
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(stopArea), static_cast<QAbstractSeries*>(m_speed)}) {
        series->attachAxis(xAxis);
        series->attachAxis(speedAxis);
    }
    height->attachAxis(xAxis);
    height->attachAxis(heightAxis);
    if (s.OverSpeed != 0) {
        auto* limit = new QLineSeries;
        limit->setName(QStringLiteral("Over speed"));
        limit->append(AxisX(t0), s.OverSpeed);
        limit->append(AxisX(t1), s.OverSpeed);
        limit->setPen(QPen(kStopRed, 1.5, Qt::DashLine));
        c->addSeries(limit);
        limit->attachAxis(xAxis);
        limit->attachAxis(speedAxis);
    }
    if (model->stops().empty()) {
        c->legend()->markers(stopArea).front()->setVisible(false);
    }
    ShowTimeRange(t0, t1);
    ApplyPalette();
}

void TrackChartView::drawBackground(QPainter* painter, const QRectF& rect) {
    QChartView::drawBackground(painter, rect);
    if (m_model == nullptr || m_speed == nullptr) {
        return;
    }
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    if (m_bandBegin <= m_bandEnd) {
        const double x0 =
            chart()->mapToScene(chart()->mapToPosition({AxisX(m_bandBegin), 0}, m_speed)).x();
        const double x1 =
            chart()->mapToScene(chart()->mapToPosition({AxisX(m_bandEnd), 0}, m_speed)).x();
        QColor band = PeriodBlue(IsDarkSurface(palette().color(QPalette::Base)));
        band.setAlpha(36);
        const QRectF shade = QRectF(QPointF(x0, plot.top()), QPointF(x1, plot.bottom())) & plot;
        if (!shade.isEmpty()) {
            painter->fillRect(shade, band);
        }
    }
    // Each band at least a pixel wide and two pixels from the one before: stops close in time
    // stay apart instead of merging into one area.
    double lastRight = -1e9;
    for (const TrackStop& stop : m_model->stops()) {
        double x0 =
            chart()->mapToScene(chart()->mapToPosition({AxisX(stop.beginUtc), 0}, m_speed)).x();
        double x1 =
            chart()->mapToScene(chart()->mapToPosition({AxisX(stop.endUtc), 0}, m_speed)).x();
        x0 = std::max(x0, lastRight + 2);
        x1 = std::max(x1 - 1, x0 + 1);
        lastRight = x1;
        const QRectF shade = QRectF(QPointF(x0, plot.top()), QPointF(x1, plot.bottom())) & plot;
        if (!shade.isEmpty()) {
            painter->fillRect(shade, kStopShade);
        }
    }
}

void TrackChartView::ShowTimeRange(TimeValue begin, TimeValue end) {
    if (m_timeAxis == nullptr || m_model == nullptr) {
        return;
    }
    end = std::max(end, begin + 60);
    for (const QString& label : m_timeAxis->categoriesLabels()) {
        m_timeAxis->remove(label);
    }
    m_timeAxis->setRange(AxisX(begin), AxisX(end));
    m_timeAxis->setStartValue(AxisX(begin));
    // A category axis keys its ticks by label: repeated clock times (days, the autumn hour) get
    // an invisible mark each to stay apart.
    int n = 0;
    for (const TimeTick& tick : TimeTicks(m_model->options().settings.Zone, begin, end)) {
        if (tick.utc > begin) {
            m_timeAxis->append(tick.label + QString(n++, QChar(0x200B)), AxisX(tick.utc));
        }
    }
}

void TrackChartView::SetPeriodBand(TimeValue begin, TimeValue end) {
    m_bandBegin = begin;
    m_bandEnd = end;
    // The background is cached by the view: drawn again only when told.
    resetCachedContent();
    viewport()->update();
}

TimeValue TrackChartView::TimeAt(QPointF viewPoint) const {
    if (m_speed == nullptr) {
        return 0;
    }
    const QPointF value =
        chart()->mapToValue(chart()->mapFromScene(mapToScene(viewPoint.toPoint())), m_speed);
    return static_cast<TimeValue>(std::floor(value.x() / 1000.0));
}

TimeValue TrackChartView::LocalTimeAt(QPointF viewPoint) const {
    if (m_model == nullptr) {
        return 0;
    }
    return m_model->options().settings.Zone.ToLocal(TimeAt(viewPoint));
}

QString TrackChartView::DescribeFix(std::size_t index) const {
    const TrackPoint& p = m_model->points()[index];
    return QStringLiteral("%1  %2 %3  %4, %5  %6 m")
        .arg(QString::fromStdString(FormatTime(p.localTime, "%Y-%m-%d %H:%M:%S")))
        .arg(p.speedInUnit)
        .arg(QString::fromStdString(m_model->options().settings.SpeedUnitLabel))
        .arg(p.latitude, 0, 'f', 6)
        .arg(p.longitude, 0, 'f', 6)
        .arg(static_cast<int>(p.height));
}

void TrackChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_speed != nullptr) {
        m_pressX = static_cast<int>(event->position().x());
        m_band->setGeometry(QRect(m_pressX, 0, 1, height()));
        m_band->show();
    }
    event->accept();
}

void TrackChartView::mouseMoveEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    if (m_pressX >= 0) {
        m_band->setGeometry(QRect(std::min(x, m_pressX), 0, std::abs(x - m_pressX) + 1, height()));
    }
    if (m_model != nullptr && !m_model->empty()) {
        const std::size_t index = m_model->NearestByTime(TimeAt(event->position()));
        m_hoverText = DescribeFix(index);
        QToolTip::showText(event->globalPosition().toPoint(), m_hoverText, this);
        emit hovered(static_cast<qint64>(index));
    }
    event->accept();
}

void TrackChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_pressX < 0) {
        return;
    }
    m_band->hide();
    const int x = static_cast<int>(event->position().x());
    const int from = std::min(x, m_pressX);
    const int to = std::max(x, m_pressX);
    m_pressX = -1;
    if (to - from < 3) {
        return;  // a click, not a drag
    }
    const TimeValue begin = LocalTimeAt(QPointF(from, event->position().y()));
    const TimeValue end = LocalTimeAt(QPointF(to, event->position().y()));
    // The period is chosen to the minute: from the start of the first to the end of the last.
    const auto floorMinute = [](TimeValue t) { return t - (((t % 60) + 60) % 60); };
    emit periodSelected(floorMinute(begin), floorMinute(end) + 59);
    event->accept();
}

void TrackChartView::leaveEvent(QEvent* event) {
    // The fix's text goes with the pointer.
    QToolTip::hideText();
    m_hoverText.clear();
    emit hovered(-1);
    QChartView::leaveEvent(event);
}

}  // namespace pelmora
