#pragma once
// The track view's colours, shared by the map and the chart. Text, grid and background come from
// the widget's palette; the accents stay readable on light and dark surfaces, except the
// period's blue, which needs a lighter shade on a dark one.
#include <QColor>
#include <QPalette>

namespace pelmora {

inline bool IsDarkSurface(const QColor& surface) {
    return surface.lightness() < 128;
}

inline QColor PeriodBlue(bool darkSurface) {
    return darkSurface ? QColor(0x5a, 0x9b, 0xff) : QColor(0x17, 0x50, 0xc8);
}

// Grid lines a quarter of the way from the base to the text: faint, yet never lost in the
// background, as the palette's own Mid can be on dark themes.
inline QColor GridColour(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    return QColor((3 * base.red() + text.red()) / 4, (3 * base.green() + text.green()) / 4,
                  (3 * base.blue() + text.blue()) / 4);
}

inline const QColor kTrackGrey(0x8a, 0xa0, 0xb8);
inline const QColor kStopRed(0xe0, 0x20, 0x20);
inline const QColor kAltitudeGreen(0x40, 0xa0, 0x40);

}  // namespace pelmora
