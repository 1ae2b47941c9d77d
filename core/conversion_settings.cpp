#include "core/conversion_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <utility>

#include "core/string_table.h"

namespace pelmora {

std::string GmtLabelFor(int biasMinutes) {
    return OffsetLabel(static_cast<std::int64_t>(biasMinutes) * 60);
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

bool ParseHeightReference(const std::string& text, HeightReference& out) {
    if (text == "sea") {
        out = HeightReference::Sea;
    } else if (text == "ellipsoid") {
        out = HeightReference::Ellipsoid;
    } else {
        return false;
    }
    return true;
}

const char* HeightReferenceName(HeightReference reference) {
    return reference == HeightReference::Ellipsoid ? "ellipsoid" : "sea";
}

int ReadSetting(const ProfileStore& profile, const SettingRange& range) {
    return ReadSetting(profile, range, range.defaultValue);
}

int ReadSetting(const ProfileStore& profile, const SettingRange& range, int defaultValue) {
    const int value = profile.ProfileReadInt(kSectionSetting, range.key, defaultValue);
    return value < range.min || value > range.max ? defaultValue : value;
}

namespace {

// The zone named by a catalogue label "(UTC+08:00) Asia/Taipei", as older versions stored it.
std::string ZoneIdOfDisplay(const std::string& display) {
    const std::size_t close = display.find(") ");
    if (display.rfind("(UTC", 0) != 0 || close == std::string::npos) {
        return {};
    }
    return display.substr(close + 2);
}

// The smaller of two offsets half a year apart, about now: the standard one.
int StandardOffsetMinutes(const ZoneRules& zone) {
    const std::int64_t now = std::time(nullptr);
    const std::int64_t year = now - now % (365 * 86400LL);
    const std::int64_t offset = std::min(zone.OffsetAt(year), zone.OffsetAt(year + 182 * 86400LL));
    return static_cast<int>(offset / 60);
}

void SetZoneFields(ConversionSettings& s, ZoneRules zone, int biasMinutes, std::string display) {
    s.TimeZoneDisplay = std::move(display);
    s.TimeZoneBias = biasMinutes;
    s.ZoneOffset = static_cast<std::int64_t>(biasMinutes) * 60;
    s.GmtLabel = GmtLabelFor(biasMinutes);
    s.TimeZoneId = zone.Id();
    s.Zone = std::move(zone);
}

}  // namespace

ZoneRules ZoneOfProfile(const std::string& id, const std::string& display, int biasMinutes,
                        std::string* resolvedId) {
    std::string name = id;
    if (name.empty()) {
        name = display == LoadString(IDS_COMPUTER_TIME) ? std::string(kLocalZoneId)
                                                        : ZoneIdOfDisplay(display);
    }
    std::optional<ZoneRules> zone;
    if (!name.empty()) {
        zone = ZoneRules::Named(name);
    }
    if (!zone) {
        zone = ZoneRules::Fixed(static_cast<std::int64_t>(biasMinutes) * 60);
    }
    if (resolvedId != nullptr) {
        *resolvedId = zone->Id();
    }
    return *zone;
}

void SetFixedZone(ConversionSettings& s, int biasMinutes, const std::string& display) {
    SetZoneFields(s, ZoneRules::Fixed(static_cast<std::int64_t>(biasMinutes) * 60), biasMinutes,
                  display);
}

bool SetNamedZone(ConversionSettings& s, const std::string& id) {
    std::optional<ZoneRules> zone = ZoneRules::Named(id);
    if (!zone) {
        return false;
    }
    const int bias = StandardOffsetMinutes(*zone);
    std::string display(LoadString(IDS_COMPUTER_TIME));
    if (id != kLocalZoneId) {
        char label[32];
        const int magnitude = std::abs(bias);
        std::snprintf(label, sizeof label, "(UTC%c%02d:%02d) ", bias < 0 ? '-' : '+',
                      magnitude / 60, magnitude % 60);
        display = label + id;
    }
    SetZoneFields(s, std::move(*zone), bias, std::move(display));
    return true;
}

void LoadConversionSettings(const ProfileStore& profile, int computerOffsetMinutes,
                            ConversionSettings& s) {
    std::string display = profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", "");
    int bias = ReadSetting(profile, kTimeZoneBiasRange);
    std::string id = profile.ProfileReadText(kSectionSetting, "TimeZoneId", "");
    if (display.empty()) {
        display = std::string(LoadString(IDS_COMPUTER_TIME));
        bias = computerOffsetMinutes;
        id = kLocalZoneId;
    }
    ZoneRules zone = ZoneOfProfile(id, display, bias);
    SetZoneFields(s, std::move(zone), bias, std::move(display));
    s.Conversion = profile.ProfileReadInt(kSectionSetting, "Conversion", 0);
    s.ConversionCount = CountConversions(s.Conversion);
    // With nothing stored the unit of the last load stays.
    s.SpeedUnit = ReadSetting(profile, kSpeedUnitRange, s.SpeedUnit);
    s.StopPeriod = ReadSetting(profile, kStopPeriodRange);
    s.StopDistance = ReadSetting(profile, kStopDistanceRange);
    s.OverSpeed = ReadSetting(profile, kOverSpeedRange);
    s.SpeedUnitLabel = SpeedUnitText(s.SpeedUnit);
    // Anything but "ellipsoid" reads as the default: heights above the sea.
    s.Heights = HeightReference::Sea;
    (void)ParseHeightReference(profile.ProfileReadText(kSectionSetting, kHeightReferenceKey, "sea"),
                               s.Heights);
}

}  // namespace pelmora
