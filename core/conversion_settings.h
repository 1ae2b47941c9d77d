#pragma once
// The conversion settings record and the rules that derive it from the profile.
#include <cstdint>
#include <string>

#include "core/profile_store.h"
#include "core/zone_rules.h"

namespace pelmora {

enum ConversionBits : int {
    ConvKmlPath = 1,
    ConvKmlPoint = 2,
    ConvNmea = 4,
    ConvCsv = 8,
    ConvNmeaWithId = 16,
    ConvGpx = 32,  // added after the first profiles; the older bits keep their meaning
};

enum SpeedUnitValue : int { UnitMps = 0, UnitKmh = 1, UnitMph = 2 };

// What heights are measured from: mean sea level (the EGM96 geoid), or the WGS-84 ellipsoid the
// logger's positions are on. Profile "Setting" "HeightReference": "sea" (default) or "ellipsoid".
enum class HeightReference { Sea, Ellipsoid };
inline constexpr const char* kHeightReferenceKey = "HeightReference";
// "sea" or "ellipsoid"; false for any other text.
bool ParseHeightReference(const std::string& text, HeightReference& out);
const char* HeightReferenceName(HeightReference reference);

enum TimeZoneChoice : int { ZoneUtc = 0, ZoneComputer = 1, ZoneCountry = 2, ZoneBias = 3 };

inline constexpr const char* kSectionSetting = "Setting";
inline constexpr const char* kSectionSerial = "Serial";

struct ConversionSettings {
    std::int32_t Conversion = 0;
    std::int32_t ConversionCount = 0;
    std::string TimeZoneDisplay;
    std::int32_t TimeZoneBias = 0;  // minutes east of UTC: the stored (standard) offset
    std::int64_t ZoneOffset = 0;    // TimeZoneBias in seconds
    std::string GmtLabel;           // of TimeZoneBias
    // The zone's rules: every local time and its label comes from here, never from ZoneOffset,
    // so daylight saving applies for a named or the computer's zone.
    std::string TimeZoneId;  // "local", an IANA name, or empty for a fixed offset
    ZoneRules Zone;
    std::int32_t SpeedUnit = UnitKmh;
    std::string SpeedUnitLabel;
    std::int32_t StopPeriod = 0;    // minutes
    std::int32_t StopDistance = 0;  // metres, or feet with UnitMph
    std::int32_t OverSpeed = 0;     // in the speed unit; 0 marks nothing
    HeightReference Heights = HeightReference::Sea;
};

// An integer of the "Setting" section with the range the dialog and the command-line options
// accept. A stored value outside it reads as missing: its default.
struct SettingRange {
    const char* key;
    int defaultValue;
    int min;
    int max;
};
inline constexpr SettingRange kTimeZoneTypeRange{"TimeZoneType", ZoneComputer, ZoneUtc, ZoneBias};
// Whole days either way: wider than any zone (+14:00) and the dialog's hours (-12:59 .. +13:59).
inline constexpr SettingRange kTimeZoneBiasRange{"TimeZoneBias", 0, -1440, 1440};
inline constexpr SettingRange kSpeedUnitRange{"SpeedUnit", UnitKmh, UnitMps, UnitMph};
inline constexpr SettingRange kStopPeriodRange{"StopPeriod", 10, 0, 1000000};
inline constexpr SettingRange kStopDistanceRange{"StopDistance", 0, 0, 100000000};
inline constexpr SettingRange kOverSpeedRange{"OverSpeed", 0, 0, 1000000};

int ReadSetting(const ProfileStore& profile, const SettingRange& range);
int ReadSetting(const ProfileStore& profile, const SettingRange& range, int defaultValue);

// The zone of a profile: "TimeZoneId" when stored and known; for a profile written before that
// key, "Computer Time" is the computer's zone and a catalogue label "(UTC+01:00) Europe/Berlin"
// names its zone; anything else (UTC, a free bias, an unknown name) is the fixed offset of
// biasMinutes.
ZoneRules ZoneOfProfile(const std::string& id, const std::string& display, int biasMinutes,
                        std::string* resolvedId = nullptr);

// Reloads the record from the "Setting" section. computerOffsetMinutes is the computer zone's
// standard offset east of UTC, the stored bias when no zone is stored; the computer's rules then
// give the local times.
void LoadConversionSettings(const ProfileStore& profile, int computerOffsetMinutes,
                            ConversionSettings& settings);
// Overrides the zone for one run (--time-zone, --tz-bias): the record as the dialog would store
// that choice.
void SetFixedZone(ConversionSettings& settings, int biasMinutes, const std::string& display);
bool SetNamedZone(ConversionSettings& settings, const std::string& id);

// "(UTC)", "(GMT+5:30)", "(GMT-0:30)".
std::string GmtLabelFor(int biasMinutes);
int CountConversions(int conversionBits);
// "m/s", "KM/h" or "MPH"; any value other than 1 or 2 reads as m/s.
std::string SpeedUnitText(int speedUnit);
// "Meter" or "Feet" for the stop-point distance.
std::string DistanceUnitText(int speedUnit);

}  // namespace pelmora
