#include "core/zone_rules.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "core/conversion_settings.h"
#include "core/profile_store.h"
#include "core/time_value.h"

namespace pelmora {
namespace {

TimeValue At(const char* text) {
    TimeValue t = 0;
    EXPECT_TRUE(ParseTimeValue(text, t)) << text;
    return t;
}

// The instant each clock change of 2024 happens, the second before and the second itself.
TEST(ZoneRulesTest, LocalTimeAndLabelAcrossEachChange) {
    struct Row {
        const char* zone;
        const char* utc;
        const char* local;
        const char* label;
    };
    const Row rows[] = {
        {"Europe/Berlin", "2024-03-31 00:59:59", "2024-03-31 01:59:59", "(GMT+1:00)"},
        {"Europe/Berlin", "2024-03-31 01:00:00", "2024-03-31 03:00:00", "(GMT+2:00)"},
        {"Europe/Berlin", "2024-10-27 00:59:59", "2024-10-27 02:59:59", "(GMT+2:00)"},
        {"Europe/Berlin", "2024-10-27 01:00:00", "2024-10-27 02:00:00", "(GMT+1:00)"},
        {"America/New_York", "2024-03-10 06:59:59", "2024-03-10 01:59:59", "(GMT-5:00)"},
        {"America/New_York", "2024-03-10 07:00:00", "2024-03-10 03:00:00", "(GMT-4:00)"},
        {"America/New_York", "2024-11-03 05:59:59", "2024-11-03 01:59:59", "(GMT-4:00)"},
        {"America/New_York", "2024-11-03 06:00:00", "2024-11-03 01:00:00", "(GMT-5:00)"},
        {"Australia/Sydney", "2024-04-06 15:59:59", "2024-04-07 02:59:59", "(GMT+11:00)"},
        {"Australia/Sydney", "2024-04-06 16:00:00", "2024-04-07 02:00:00", "(GMT+10:00)"},
        {"Australia/Sydney", "2024-10-05 15:59:59", "2024-10-06 01:59:59", "(GMT+10:00)"},
        {"Australia/Sydney", "2024-10-05 16:00:00", "2024-10-06 03:00:00", "(GMT+11:00)"},
    };
    for (const Row& row : rows) {
        const ZoneRules zone = *ZoneRules::Named(row.zone);
        // Fresh and after a lookup far away: the cached span must never serve the wrong side.
        for (const TimeValue warm : {At("2024-01-15 12:00:00"), At("2024-07-15 12:00:00")}) {
            zone.OffsetAt(warm);
            EXPECT_EQ(FormatTime(zone.ToLocal(At(row.utc)), "%Y-%m-%d %H:%M:%S"), row.local)
                << row.zone << " " << row.utc;
            EXPECT_EQ(zone.LabelAt(At(row.utc)), row.label) << row.zone << " " << row.utc;
        }
    }
}

TEST(ZoneRulesTest, LocalTimesMapBackByTheRules) {
    struct Row {
        const char* zone;
        const char* local;
        const char* utc;  // skipped: the change's instant; repeated: the first occurrence
    };
    const Row rows[] = {
        {"Europe/Berlin", "2024-07-01 12:00:00", "2024-07-01 10:00:00"},
        {"Europe/Berlin", "2024-03-31 02:30:00", "2024-03-31 01:00:00"},
        {"Europe/Berlin", "2024-10-27 02:30:00", "2024-10-27 00:30:00"},
        {"America/New_York", "2024-03-10 02:30:00", "2024-03-10 07:00:00"},
        {"America/New_York", "2024-11-03 01:30:00", "2024-11-03 05:30:00"},
        {"Australia/Sydney", "2024-04-07 02:30:00", "2024-04-06 15:30:00"},
        {"Australia/Sydney", "2024-10-06 02:30:00", "2024-10-05 16:00:00"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ZoneRules::Named(row.zone)->ToUtc(At(row.local)), At(row.utc))
            << row.zone << " " << row.local;
    }
}

TEST(ZoneRulesTest, FixedOffsetsNamesAndExtremes) {
    const ZoneRules bias = ZoneRules::Fixed(-30 * 60);
    EXPECT_EQ(bias.ToLocal(At("2024-07-01 12:00:00")), At("2024-07-01 11:30:00"));
    EXPECT_EQ(bias.ToUtc(At("2024-07-01 11:30:00")), At("2024-07-01 12:00:00"));
    EXPECT_EQ(bias.LabelAt(0), "(GMT-0:30)");
    EXPECT_EQ(ZoneRules().LabelAt(0), "(UTC)");
    for (const char* bad : {"Mars/Olympus", "../../etc/passwd", "/etc/localtime", ""}) {
        EXPECT_FALSE(ZoneRules::Named(bad)) << bad;
    }
    const ZoneRules berlin = *ZoneRules::Named("Europe/Berlin");
    EXPECT_EQ(berlin.ToLocal(INT64_MAX), INT64_MAX);
    EXPECT_LT(berlin.ToUtc(INT64_MIN), 0);
    EXPECT_EQ(berlin.ToLocal(At("2024-07-01 12:00:00")), At("2024-07-01 14:00:00"));
}

// "local" follows the computer's zone (TZ here), as "Computer Time" does.
TEST(ZoneRulesTest, LocalIsTheComputersZone) {
    ::setenv("TZ", "America/New_York", 1);
    const ZoneRules local = *ZoneRules::Named(kLocalZoneId);
    ::unsetenv("TZ");
    EXPECT_EQ(local.LabelAt(At("2024-07-01 12:00:00")), "(GMT-4:00)");
    EXPECT_EQ(local.LabelAt(At("2024-01-01 12:00:00")), "(GMT-5:00)");
    // A POSIX rule string, as libc reads it: the same zone without a zoneinfo file.
    ::setenv("TZ", "EST+5EDT,M3.2.0/2,M11.1.0/2", 1);
    const ZoneRules rule = *ZoneRules::Named(kLocalZoneId);
    EXPECT_EQ(rule.LabelAt(At("2024-07-01 12:00:00")), "(GMT-4:00)");
    EXPECT_EQ(rule.LabelAt(At("2024-01-01 12:00:00")), "(GMT-5:00)");
    EXPECT_EQ(rule.ToUtc(At("2024-03-10 02:30:00")), At("2024-03-10 07:00:00"));
    EXPECT_EQ(rule.ToUtc(At("2024-11-03 01:30:00")), At("2024-11-03 05:30:00"));
    ::unsetenv("TZ");
    ::tzset();
}

// Profiles written before "TimeZoneId" keep their display, bias and label; a computer or catalogue
// zone gains its rules, a UTC or free bias stays the fixed offset it was.
TEST(ZoneRulesTest, ProfilesOldAndNewLoadTheirZone) {
    struct Row {
        const char* display;
        int bias;
        const char* id;  // nullptr: not stored
        const char* loadedId;
        const char* summerLocal;  // of 2024-07-01 12:00:00 UTC
        const char* winterLabel;  // of 2024-01-01 12:00:00 UTC
    };
    const Row rows[] = {
        {"UTC", 0, nullptr, "", "12:00", "(UTC)"},
        {"Bias +8:00", 480, nullptr, "", "20:00", "(GMT+8:00)"},
        {"Bias -0:30", -30, nullptr, "", "11:30", "(GMT-0:30)"},
        {"(UTC+01:00) Europe/Berlin", 60, nullptr, "Europe/Berlin", "14:00", "(GMT+1:00)"},
        {"Computer Time", 60, nullptr, "local", "14:00", "(GMT+1:00)"},
        {"(UTC-05:00) America/New_York", -300, "America/New_York", "America/New_York", "08:00",
         "(GMT-5:00)"},
        {"(UTC+01:00) Mars/Olympus", 60, "Mars/Olympus", "", "13:00", "(GMT+1:00)"},
    };
    ::setenv("TZ", "Europe/Berlin", 1);
    for (const Row& row : rows) {
        MemoryProfileStore profile;
        profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", row.display);
        profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", row.bias);
        if (row.id != nullptr) {
            profile.ProfileWriteText(kSectionSetting, "TimeZoneId", row.id);
        }
        ConversionSettings s;
        LoadConversionSettings(profile, 0, s);
        EXPECT_EQ(s.TimeZoneDisplay, row.display);
        EXPECT_EQ(s.TimeZoneBias, row.bias);
        EXPECT_EQ(s.GmtLabel, GmtLabelFor(row.bias));
        EXPECT_EQ(s.TimeZoneId, row.loadedId) << row.display;
        EXPECT_EQ(FormatTime(s.Zone.ToLocal(At("2024-07-01 12:00:00")), "%H:%M"), row.summerLocal)
            << row.display;
        EXPECT_EQ(s.Zone.LabelAt(At("2024-01-01 12:00:00")), row.winterLabel) << row.display;
    }
    ::unsetenv("TZ");
}

// A stored value outside what the dialog and the command line accept reads as missing.
TEST(ZoneRulesTest, ProfileValuesOutOfRangeReadAsTheirDefault) {
    struct Row {
        const char* key;
        int stored;
        int ConversionSettings::*field;
        int expected;
    };
    const Row rows[] = {
        {"TimeZoneBias", 2147483647, &ConversionSettings::TimeZoneBias, 0},
        {"TimeZoneBias", INT32_MIN, &ConversionSettings::TimeZoneBias, 0},
        {"TimeZoneBias", -1440, &ConversionSettings::TimeZoneBias, -1440},
        {"StopPeriod", -5, &ConversionSettings::StopPeriod, 10},
        {"StopDistance", -1, &ConversionSettings::StopDistance, 0},
        {"OverSpeed", 1000001, &ConversionSettings::OverSpeed, 0},
        {"SpeedUnit", 3, &ConversionSettings::SpeedUnit, UnitKmh},
        {"SpeedUnit", 2, &ConversionSettings::SpeedUnit, UnitMph},
    };
    for (const Row& row : rows) {
        MemoryProfileStore profile;
        profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "Bias");
        profile.ProfileWriteInt(kSectionSetting, row.key, row.stored);
        ConversionSettings s;
        LoadConversionSettings(profile, 0, s);
        EXPECT_EQ(s.*row.field, row.expected) << row.key << "=" << row.stored;
    }
}

}  // namespace
}  // namespace pelmora
