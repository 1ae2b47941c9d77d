#include "ui/qt_time_zone_source.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

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

struct ZoneNames {
    std::string standard;
    std::string daylight;
};

// Looking the names up is nearly all the cost of a catalogue (about 0.25 ms a zone, 100 ms for
// the whole list); they do not change while the program runs, so each zone's are looked up once.
// The offsets are read afresh every time. The C locale keeps the names independent of the user's
// language, so the catalogue sorts the same for everyone.
ZoneNames NamesOf(const QTimeZone& zone) {
    static std::mutex mutex;
    static std::map<QByteArray, ZoneNames> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    auto [it, inserted] = cache.try_emplace(zone.id());
    if (inserted) {
        it->second.standard =
            zone.displayName(QTimeZone::StandardTime, QTimeZone::LongName, QLocale::c())
                .toStdString();
        if (zone.hasDaylightTime()) {
            it->second.daylight =
                zone.displayName(QTimeZone::DaylightTime, QTimeZone::LongName, QLocale::c())
                    .toStdString();
        }
    }
    return it->second;
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
        ZoneNames names = NamesOf(zone);
        info.Std = std::move(names.standard);
        info.Dlt = std::move(names.daylight);
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
    info.Std = NamesOf(zone).standard;
    info.Id = zone.id().toStdString();
    // Many systems name UTC "Etc/UTC", which the zone list does not carry.
    if (info.Bias == 0 && !zone.hasDaylightTime() && !QTimeZone::isTimeZoneIdAvailable(zone.id()) &&
        QTimeZone::isTimeZoneIdAvailable(QByteArrayLiteral("UTC"))) {
        info.Id = "UTC";
        info.Std = NamesOf(QTimeZone(QByteArrayLiteral("UTC"))).standard;
    }
    return info;
}

}  // namespace pelmora
