#include "settings/conversion_settings.h"

#include <cstdio>
#include <cstdlib>

#include "settings/string_table.h"

namespace pelmora {

std::string GmtLabelFor(int biasMinutes) {
    if (biasMinutes == 0) {
        return "(UTC)";
    }
    const long long magnitude = std::llabs(static_cast<long long>(biasMinutes));
    char buf[48];
    std::snprintf(buf, sizeof buf, biasMinutes > 0 ? "(GMT+%lld:%02lld)" : "(GMT-%lld:%02lld)",
                  magnitude / 60, magnitude % 60);
    return buf;
}

int CountConversions(int bits) {
    int count = 0;
    for (const int bit : {ConvKmlPath, ConvKmlPoint, ConvNmea, ConvNmeaWithId, ConvCsv, ConvGpx}) {
        if ((bits & bit) != 0) {
            ++count;
        }
    }
    return count;
}

std::string SpeedUnitText(int speedUnit) {
    switch (speedUnit) {
        case UnitKmh:
            return std::string(LoadString(IDS_KMH));
        case UnitMph:
            return std::string(LoadString(IDS_MPH));
        default:
            return std::string(LoadString(IDS_MPS));
    }
}

std::string DistanceUnitText(int speedUnit) {
    return std::string(LoadString(speedUnit == UnitMph ? IDS_FEET : IDS_METER));
}

void LoadConversionSettings(const ProfileStore& profile, int computerOffsetMinutes,
                            ConversionSettings& s) {
    s.TimeZoneDisplay = profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", "");
    s.TimeZoneBias = profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", 0);
    if (s.TimeZoneDisplay.empty()) {
        s.TimeZoneDisplay = std::string(LoadString(IDS_COMPUTER_TIME));
        s.TimeZoneBias = computerOffsetMinutes;
    }
    s.ZoneOffset = static_cast<std::int64_t>(s.TimeZoneBias) * 60;
    s.GmtLabel = GmtLabelFor(s.TimeZoneBias);
    s.Conversion = profile.ProfileReadInt(kSectionSetting, "Conversion", 0);
    s.ConversionCount = CountConversions(s.Conversion);
    s.SpeedUnit = profile.ProfileReadInt(kSectionSetting, "SpeedUnit", s.SpeedUnit);
    s.StopPeriod = profile.ProfileReadInt(kSectionSetting, "StopPeriod", 10);
    s.StopDistance = profile.ProfileReadInt(kSectionSetting, "StopDistance", 0);
    s.OverSpeed = profile.ProfileReadInt(kSectionSetting, "OverSpeed", 0);
    s.SpeedUnitLabel = SpeedUnitText(s.SpeedUnit);
}

}  // namespace pelmora
