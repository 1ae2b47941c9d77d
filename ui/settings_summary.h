#pragma once
// The texts of the "Application Setting" group and the Record Option unit labels, made from the
// conversion settings record. No widget here: the window only places them. The Record Option
// labels name the logger's units (metres, km/h); the rest name the conversion's unit.
#include <string>

#include "core/conversion_settings.h"

namespace pelmora {

struct SettingsSummaryTexts {
    std::string timeZone;        // 11033
    std::string conversionType;  // 11035
    std::string stopPeriod;      // 11046
    std::string distanceLabel;   // 11075
    std::string speedLabel;      // 11044
    std::string speedUnit;       // 11045
    std::string stopDistance;    // 11060
    std::string overSpeed;       // 11053
    std::string speedUnitLabel;  // ConversionSettings::SpeedUnitLabel
};

SettingsSummaryTexts MakeSettingsSummary(const ConversionSettings& settings);

// " KML(Path), KML(Point), NMEA, NMEA(with ID), CSV, GPX" after "Conversion type:".
std::string ConversionTypeText(int conversionBits);

}  // namespace pelmora
