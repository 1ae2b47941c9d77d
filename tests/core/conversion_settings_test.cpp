#include "core/conversion_settings.h"

#include <gtest/gtest.h>

#include "core/profile_store.h"

namespace pelmora {
namespace {

ConversionSettings Load(const MemoryProfileStore& profile, int computerOffset = 480) {
    ConversionSettings s;
    LoadConversionSettings(profile, computerOffset, s);
    return s;
}

TEST(ConversionSettingsTest, EmptyProfileTakesTheDefaultsAndTheComputerZone) {
    MemoryProfileStore profile;
    const ConversionSettings s = Load(profile, 480);
    EXPECT_EQ(s.TimeZoneDisplay, "Computer Time");
    EXPECT_EQ(s.TimeZoneBias, 480);
    EXPECT_EQ(s.ZoneOffset, 480 * 60);
    EXPECT_EQ(s.GmtLabel, "(GMT+8:00)");
    EXPECT_EQ(s.Conversion, 0);
    EXPECT_EQ(s.ConversionCount, 0);
    EXPECT_EQ(s.SpeedUnit, UnitKmh);
    EXPECT_EQ(s.SpeedUnitLabel, "KM/h");
    EXPECT_EQ(s.StopPeriod, 10);
    EXPECT_EQ(s.StopDistance, 0);
    EXPECT_EQ(s.OverSpeed, 0);
}

TEST(ConversionSettingsTest, BiasGivesLabelAndOffset) {
    struct Row {
        int bias;
        const char* label;
        std::int64_t offset;
    };
    const Row rows[] = {
        {-30, "(GMT-0:30)", -1800},   {330, "(GMT+5:30)", 19800},  {0, "(UTC)", 0},
        {-330, "(GMT-5:30)", -19800}, {780, "(GMT+13:00)", 46800},
    };
    for (const Row& row : rows) {
        MemoryProfileStore profile;
        profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "Bias");
        profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", row.bias);
        const ConversionSettings s = Load(profile);
        EXPECT_EQ(s.GmtLabel, row.label) << row.bias;
        EXPECT_EQ(s.ZoneOffset, row.offset) << row.bias;
        EXPECT_EQ(s.TimeZoneDisplay, "Bias");
    }
}

TEST(ConversionSettingsTest, ZeroBiasIsUtcWhateverTheDisplaySays) {
    MemoryProfileStore profile;
    profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "(UTC+08:00) Asia/Taipei");
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", 0);
    EXPECT_EQ(Load(profile).GmtLabel, "(UTC)");
}

TEST(ConversionSettingsTest, EmptyStoredDisplayBehavesLikeNone) {
    MemoryProfileStore profile;
    profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "");
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", 60);
    const ConversionSettings s = Load(profile, -300);
    EXPECT_EQ(s.TimeZoneDisplay, "Computer Time");
    EXPECT_EQ(s.TimeZoneBias, -300);
    EXPECT_EQ(s.GmtLabel, "(GMT-5:00)");
}

TEST(ConversionSettingsTest, ConversionCountCountsEachFormat) {
    struct Row {
        int bits;
        int count;
    };
    const Row rows[] = {{0, 0},  {31, 5}, {16, 1}, {8, 1}, {1 | 4, 2},
                        {32, 1}, {63, 6}, {64, 0}, {-1, 6}};
    for (const Row& row : rows) {
        MemoryProfileStore profile;
        profile.ProfileWriteInt(kSectionSetting, "Conversion", row.bits);
        const ConversionSettings s = Load(profile);
        EXPECT_EQ(s.Conversion, row.bits);
        EXPECT_EQ(s.ConversionCount, row.count) << row.bits;
    }
}

TEST(ConversionSettingsTest, ProfileFromBeforeGpxLoadsUnchanged) {
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "Conversion", ConvKmlPath | ConvCsv | ConvNmeaWithId);
    const ConversionSettings s = Load(profile);
    EXPECT_EQ(s.Conversion, 25);
    EXPECT_EQ(s.Conversion & ConvGpx, 0);
    EXPECT_EQ(s.ConversionCount, 3);
}

TEST(ConversionSettingsTest, SpeedUnitGivesItsTextsAndOtherValuesLabelMps) {
    struct Row {
        int unit;
        const char* speed;
        const char* distance;
    };
    const Row rows[] = {{0, "m/s", "Meter"}, {1, "KM/h", "Meter"}, {2, "MPH", "Feet"}};
    for (const Row& row : rows) {
        MemoryProfileStore profile;
        profile.ProfileWriteInt(kSectionSetting, "SpeedUnit", row.unit);
        const ConversionSettings s = Load(profile);
        EXPECT_EQ(s.SpeedUnit, row.unit);
        EXPECT_EQ(s.SpeedUnitLabel, row.speed);
        EXPECT_EQ(DistanceUnitText(row.unit), row.distance);
    }
    EXPECT_EQ(SpeedUnitText(9), "m/s");
    EXPECT_EQ(DistanceUnitText(-1), "Meter");
}

TEST(ConversionSettingsTest, ReloadKeepsTheCurrentUnitWhenNoneIsStored) {
    MemoryProfileStore profile;
    ConversionSettings s;
    s.SpeedUnit = UnitMph;
    LoadConversionSettings(profile, 0, s);
    EXPECT_EQ(s.SpeedUnit, UnitMph);
    EXPECT_EQ(s.SpeedUnitLabel, "MPH");
}

TEST(ConversionSettingsTest, NonNumericStoredIntegerFallsBackToItsDefault) {
    MemoryProfileStore profile;
    profile.ProfileWriteText(kSectionSetting, "StopPeriod", "ten");
    profile.ProfileWriteText(kSectionSetting, "Conversion", "0x10");
    profile.ProfileWriteText(kSectionSetting, "OverSpeed", " 120 ");
    const ConversionSettings s = Load(profile);
    EXPECT_EQ(s.StopPeriod, 10);
    EXPECT_EQ(s.Conversion, 0);
    EXPECT_EQ(s.OverSpeed, 120);
}

TEST(MemoryProfileStoreTest, KindsMeetAsInTheIniFile) {
    MemoryProfileStore profile;
    profile.ProfileWriteInt("Serial", "BaudRate", 4800);
    EXPECT_EQ(profile.ProfileReadText("Serial", "BaudRate", "x"), "4800");
    profile.ProfileWriteText("Setting", "TimeZoneBias", "-45");
    EXPECT_EQ(profile.ProfileReadInt("Setting", "TimeZoneBias", 0), -45);
    EXPECT_TRUE(profile.Contains("Setting", "TimeZoneBias"));
    EXPECT_FALSE(profile.Contains("Serial", "TimeZoneBias"));
}

}  // namespace
}  // namespace pelmora
