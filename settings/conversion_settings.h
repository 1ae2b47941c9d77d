#pragma once
// The conversion settings record and the rules that derive it from the profile.
#include <cstdint>
#include <string>

#include "settings/profile_store.h"

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

enum TimeZoneChoice : int { ZoneUtc = 0, ZoneComputer = 1, ZoneCountry = 2, ZoneBias = 3 };

inline constexpr const char* kSectionSetting = "Setting";
inline constexpr const char* kSectionSerial = "Serial";

struct ConversionSettings {
    std::int32_t Conversion = 0;
    std::int32_t ConversionCount = 0;
    std::string TimeZoneDisplay;
    std::int32_t TimeZoneBias = 0;  // minutes east of UTC
    std::int64_t ZoneOffset = 0;    // seconds added to UTC fix times
    std::string GmtLabel;
    std::int32_t SpeedUnit = UnitKmh;
    std::string SpeedUnitLabel;
    std::int32_t StopPeriod = 0;    // minutes
    std::int32_t StopDistance = 0;  // metres, or feet with UnitMph
    std::int32_t OverSpeed = 0;     // in the speed unit; 0 marks nothing
};

// Reloads the record from the "Setting" section. computerOffsetMinutes is the computer zone's
// standard offset east of UTC (daylight saving never applies), used when no zone is stored.
void LoadConversionSettings(const ProfileStore& profile, int computerOffsetMinutes,
                            ConversionSettings& settings);

// "(UTC)", "(GMT+5:30)", "(GMT-0:30)".
std::string GmtLabelFor(int biasMinutes);
int CountConversions(int conversionBits);
// "m/s", "KM/h" or "MPH"; any value other than 1 or 2 reads as m/s.
std::string SpeedUnitText(int speedUnit);
// "Meter" or "Feet" for the stop-point distance.
std::string DistanceUnitText(int speedUnit);

}  // namespace pelmora
