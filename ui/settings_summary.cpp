#include "ui/settings_summary.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "core/string_table.h"
#include "ui/window_texts.h"

namespace pelmora {
namespace {

std::string Text(int id) {
    return std::string(LoadString(id));
}

std::string Pair(const std::string& a, const std::string& b) {
    return a + ": " + b;
}

std::string Triple(const std::string& a, int value, const std::string& unit) {
    return a + ": " + std::to_string(value) + " " + unit;
}

std::string Label(const std::string& what, const std::string& unit) {
    return what + " (" + unit + "):";
}

}  // namespace

std::string ConversionTypeText(int bits) {
    const std::vector<std::pair<int, std::string>> entries = {
        {ConvKmlPath, " KML(" + Text(IDS_PATH) + ")"},
        {ConvKmlPoint, " KML(" + Text(IDS_POINT) + ")"},
        {ConvNmea, " NMEA"},
        {ConvNmeaWithId, " NMEA(" + Text(IDS_WITH_ID) + ")"},
        {ConvCsv, " CSV"},
        {ConvGpx, " GPX"},
    };
    std::string text = Text(IDS_CONVERSION_TYPE) + ":";
    bool first = true;
    for (const auto& [bit, entry] : entries) {
        if ((bits & bit) == 0) {
            continue;
        }
        if (!first) {
            text += ",";
        }
        text += entry;
        first = false;
    }
    return text;
}

SettingsSummaryTexts MakeSettingsSummary(const ConversionSettings& s) {
    SettingsSummaryTexts t;
    t.timeZone = Pair(Text(IDS_TIME_ZONE_SETTING), s.TimeZoneDisplay);
    t.conversionType = ConversionTypeText(s.Conversion);
    t.stopPeriod = Triple(Text(IDS_STOP_MIN_PERIOD), s.StopPeriod, Text(IDS_MINUTE));

    // The Record Option numbers go to the logger unconverted, so their labels name the logger's
    // own units whatever unit the conversion shows.
    t.distanceLabel = Label(kTextDistance, Text(IDS_METER));
    t.speedLabel = Label(kTextSpeed, Text(IDS_KMH));

    std::string speedUnit;
    std::string distanceUnit = Text(IDS_METER);
    switch (s.SpeedUnit) {
        case UnitKmh:
            speedUnit = Text(IDS_KMH);
            break;
        case UnitMph:
            speedUnit = Text(IDS_MPH);
            distanceUnit = Text(IDS_FEET);
            break;
        default:
            speedUnit = Text(IDS_MPS);
            break;
    }
    t.speedUnit = Pair(Text(IDS_SPEED_UNIT_SETTING), speedUnit);
    t.stopDistance = Triple(Text(IDS_STOP_MIN_DISTANCE), s.StopDistance, distanceUnit);
    t.overSpeed = Triple(Text(IDS_OVER_SPEED_SETTING), s.OverSpeed, speedUnit);
    t.speedUnitLabel = speedUnit;
    return t;
}

}  // namespace pelmora
