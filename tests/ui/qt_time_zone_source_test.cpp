#include "ui/qt_time_zone_source.h"

#include <gtest/gtest.h>

#include <QTimeZone>
#include <cstdlib>

namespace pelmora {
namespace {

TEST(QtTimeZoneSourceTest, EveryZoneCarriesItsStandardOffset) {
    const QtTimeZoneSource source;
    const std::vector<CRegTimeZoneInfo> zones = source.Zones();
    if (zones.empty()) {
        GTEST_SKIP() << "no time-zone data on this system";
    }
    for (const CRegTimeZoneInfo& z : zones) {
        EXPECT_EQ(z.Display.rfind("(UTC", 0), 0u) << z.Display;
        EXPECT_NE(z.Display.find(z.Id), std::string::npos) << z.Display;
        EXPECT_EQ(z.TZI.StandardBias, 0);
    }
}

TEST(QtTimeZoneSourceTest, KnownZonesReadAsExpected) {
    if (!QTimeZone::isTimeZoneIdAvailable("Asia/Taipei") ||
        !QTimeZone::isTimeZoneIdAvailable("America/New_York")) {
        GTEST_SKIP() << "no time-zone data on this system";
    }
    const QtTimeZoneSource source;
    const CTimeZoneInfoManager catalogue(source);
    int taipei = -1;
    int newYork = -1;
    for (int i = 0; i < catalogue.Count(); ++i) {
        if (catalogue.At(i).Id == "Asia/Taipei") {
            taipei = i;
        } else if (catalogue.At(i).Id == "America/New_York") {
            newYork = i;
        }
    }
    ASSERT_GE(taipei, 0);
    ASSERT_GE(newYork, 0);
    EXPECT_EQ(catalogue.At(taipei).Display, "(UTC+08:00) Asia/Taipei");
    EXPECT_EQ(catalogue.At(taipei).TZI.Bias, -480);
    // Standard time only, even while New York keeps daylight saving time.
    EXPECT_EQ(catalogue.At(newYork).Display, "(UTC-05:00) America/New_York");
    EXPECT_EQ(catalogue.At(newYork).TZI.Bias, 300);
    EXPECT_LT(newYork, taipei);
    for (int i = 1; i < catalogue.Count(); ++i) {
        EXPECT_GE(catalogue.At(i - 1).TZI.Bias, catalogue.At(i).TZI.Bias);
    }
}

TEST(QtTimeZoneSourceTest, TheComputerZoneIsInTheCatalogue) {
    const QtTimeZoneSource source;
    const CTimeZoneInfoManager catalogue(source);
    const ComputerZoneInfo computer = source.ComputerZone();
    if (catalogue.Count() == 0) {
        GTEST_SKIP() << "no time-zone data on this system";
    }
    const int found = catalogue.FindComputerZone(computer);
    ASSERT_TRUE(catalogue.IsValidIndex(found));
    EXPECT_EQ(catalogue.At(found).TZI.Bias, computer.Bias);
}

TEST(QtTimeZoneSourceTest, ComputerZoneFollowsTz) {
    if (!QTimeZone::isTimeZoneIdAvailable("Asia/Kolkata")) {
        GTEST_SKIP() << "no time-zone data on this system";
    }
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    const QtTimeZoneSource source;
    const CTimeZoneInfoManager catalogue(source);
    struct Row {
        const char* tz;
        const char* id;
        int bias;
    };
    for (const Row& row : {Row{"Asia/Kolkata", "Asia/Kolkata", -330}, Row{"Etc/UTC", "UTC", 0},
                           Row{"America/New_York", "America/New_York", 300}}) {
        setenv("TZ", row.tz, 1);
        const ComputerZoneInfo computer = source.ComputerZone();
        EXPECT_EQ(computer.Bias, row.bias) << row.tz;
        const int found = catalogue.FindComputerZone(computer);
        EXPECT_EQ(catalogue.At(found).Id, row.id) << row.tz;
    }
    if (old != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
}

}  // namespace
}  // namespace pelmora
