#include "settings/qt_time_zone_source.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cstdio>
#include <cstdlib>

namespace pelmora {
namespace {

std::string DisplayFor(int offsetSeconds, const QByteArray& id) {
    const int minutes = offsetSeconds / 60;
    const int magnitude = std::abs(minutes);
    char buf[300];
    std::snprintf(buf, sizeof buf, "(UTC%c%02d:%02d) %s", minutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60, id.constData());
    return buf;
}

// The C locale keeps the names independent of the user's language, so a catalogue sorts the
// same for everyone.
std::string StandardNameOf(const QTimeZone& zone) {
    return zone.displayName(QTimeZone::StandardTime, QTimeZone::LongName, QLocale::c())
        .toStdString();
}

}  // namespace

std::vector<CRegTimeZoneInfo> QtTimeZoneSource::Zones() const {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QList<QByteArray> ids = QTimeZone::availableTimeZoneIds();
    std::vector<CRegTimeZoneInfo> zones;
    zones.reserve(static_cast<std::size_t>(ids.size()));
    int index = 0;
    for (const QByteArray& id : ids) {
        const QTimeZone zone(id);
        if (!zone.isValid()) {
            continue;
        }
        CRegTimeZoneInfo info;
        const int standard = zone.standardTimeOffset(now);
        info.Display = DisplayFor(standard, id);
        info.Std = StandardNameOf(zone);
        if (zone.hasDaylightTime()) {
            info.Dlt = zone.displayName(QTimeZone::DaylightTime, QTimeZone::LongName, QLocale::c())
                           .toStdString();
            info.TZI.DaylightBias = -(zone.daylightTimeOffset(now) / 60);
        }
        info.MapID = id.toStdString();
        info.Id = id.toStdString();
        info.Index = index++;
        // Only the standard offset counts: daylight saving never enters a bias.
        info.TZI.Bias = -(standard / 60);
        info.TZI.StandardBias = 0;
        zones.push_back(std::move(info));
    }
    return zones;
}

ComputerZoneInfo QtTimeZoneSource::ComputerZone() const {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    ComputerZoneInfo info;
    info.Bias = -(zone.standardTimeOffset(now) / 60);
    info.StandardBias = 0;
    info.Std = StandardNameOf(zone);
    info.Id = zone.id().toStdString();
    return info;
}

}  // namespace pelmora
