#pragma once
// Places marker labels so that none covers another: each label tries a few spots around its
// marker and takes the first free one; with none free it is left out (the marker stays).
#include <QRectF>
#include <QSizeF>
#include <optional>
#include <vector>

namespace pelmora {

class LabelPlacer {
  public:
    // The box for a label of size beside a marker of radius at, preferring below it when
    // preferBelow (a start beside the stop before it); nullopt when every spot is taken.
    std::optional<QRectF> Place(QPointF at, double radius, QSizeF size, bool preferBelow) {
        const double gap = radius + 2;
        const QPointF above(gap, -gap - size.height());
        const QPointF below(gap, gap);
        const QPointF spots[] = {preferBelow ? below : above,
                                 preferBelow ? above : below,
                                 QPointF(-gap - size.width(), above.y()),
                                 QPointF(-gap - size.width(), below.y()),
                                 QPointF(gap, above.y() - size.height()),
                                 QPointF(gap, below.y() + size.height())};
        for (const QPointF& spot : spots) {
            const QRectF box(at + spot, size);
            bool free = true;
            for (const QRectF& taken : m_taken) {
                if (taken.intersects(box)) {
                    free = false;
                    break;
                }
            }
            if (free) {
                m_taken.push_back(box);
                return box;
            }
        }
        return std::nullopt;
    }

  private:
    std::vector<QRectF> m_taken;
};

}  // namespace pelmora
