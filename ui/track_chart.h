#pragma once
// Speed (in the chosen unit) and altitude over local clock time, the over-speed threshold as a
// line and the stops shaded. Dragging across it chooses a period to the minute; hovering names
// the fix under the pointer.
#include <QChartView>
#include <QRubberBand>
#include <QString>

#include "convert/track_model.h"

class QCategoryAxis;
class QLineSeries;

namespace pelmora {

class TrackChartView : public QChartView {
    Q_OBJECT

  public:
    explicit TrackChartView(QWidget* parent = nullptr);

    // model must outlive the view or be replaced before it goes; nullptr empties the chart.
    void SetModel(const TrackModel* model);
    // Narrows the time axis to [begin, end] (UTC: the axis is continuous across clock changes
    // and labelled in local clock time, a change of offset as a tick of its own).
    void ShowTimeRange(TimeValue begin, TimeValue end);
    // The Convert Time Period, shown as a band behind the curves (UTC); begin > end shows none.
    void SetPeriodBand(TimeValue begin, TimeValue end);
    // The UTC time under a point of the view, and its local time in the zone.
    TimeValue TimeAt(QPointF viewPoint) const;
    TimeValue LocalTimeAt(QPointF viewPoint) const;
    // "2011-03-09 08:12:40  62 KM/h  24.951234, 121.453210  41 m" for a fix of the model.
    QString DescribeFix(std::size_t index) const;
    QString hoverText() const { return m_hoverText; }

  signals:
    // Local times of the chosen zone: begin on its minute, end on the last second of its minute.
    void periodSelected(TimeValue beginLocal, TimeValue endLocal);
    // A fix index, or -1 when the pointer left the chart.
    void hovered(qint64 index);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void changeEvent(QEvent* event) override;

  private:
    // Background, axes, grid and legend in the palette's colours; the chart's theme would keep
    // them black on white under a dark theme.
    void ApplyPalette();

    const TrackModel* m_model = nullptr;
    QLineSeries* m_speed = nullptr;
    QCategoryAxis* m_timeAxis = nullptr;
    QRubberBand* m_band = nullptr;
    int m_pressX = -1;
    TimeValue m_bandBegin = 1;
    TimeValue m_bandEnd = 0;
    QString m_hoverText;
};

}  // namespace pelmora
