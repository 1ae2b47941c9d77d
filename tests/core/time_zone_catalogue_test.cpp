#include "core/time_zone_catalogue.h"

#include <gtest/gtest.h>

#include "fake_time_zone_source.h"

namespace pelmora {
namespace {

std::vector<std::string> Ids(const CTimeZoneInfoManager& m) {
    std::vector<std::string> ids;
    for (int i = 0; i < m.Count(); ++i) {
        ids.push_back(m.At(i).Id);
    }
    return ids;
}

TEST(TimeZoneCatalogueTest, SortsWestToEastThenByStandardNameInByteOrder) {
    const FakeTimeZoneSource source(
        {
            MakeZone("Asia/Taipei", -480, "CST"),
            MakeZone("America/New_York", 300, "EST"),
            MakeZone("Europe/London", 0, "GMT"),
            MakeZone("Asia/Kolkata", -330, "IST"),
            MakeZone("Asia/Shanghai", -480, "China Standard Time"),
            MakeZone("Asia/Manila", -480, "PST"),
            MakeZone("Asia/Lower", -480, "aaa"),  // lower case after upper case
            MakeZone("Pacific/Honolulu", 600, "HST"),
        },
        {});
    const CTimeZoneInfoManager m(source);
    EXPECT_EQ(Ids(m), (std::vector<std::string>{"Pacific/Honolulu", "America/New_York",
                                                "Europe/London", "Asia/Kolkata", "Asia/Taipei",
                                                "Asia/Shanghai", "Asia/Manila", "Asia/Lower"}));
}

TEST(TimeZoneCatalogueTest, EqualBiasAndNameKeepTheSourceOrder) {
    const FakeTimeZoneSource source(
        {MakeZone("Europe/Paris", -60, "CET"), MakeZone("Europe/Berlin", -60, "CET"),
         MakeZone("Europe/Amsterdam", -60, "CET")},
        {});
    const CTimeZoneInfoManager m(source);
    EXPECT_EQ(Ids(m),
              (std::vector<std::string>{"Europe/Paris", "Europe/Berlin", "Europe/Amsterdam"}));
}

TEST(TimeZoneCatalogueTest, FindsTheComputerZoneByIdThenByOffsetsAndName) {
    const FakeTimeZoneSource source(
        {MakeZone("Europe/Paris", -60, "CET"), MakeZone("Europe/Berlin", -60, "CET"),
         MakeZone("America/Chicago", 360, "CST"), MakeZone("Asia/Taipei", -480, "CST")},
        {});
    const CTimeZoneInfoManager m(source);
    // Sorted: Chicago, Paris, Berlin, Taipei.
    EXPECT_EQ(m.FindComputerZone({-60, 0, "CET", "Europe/Berlin"}), 2);
    // An identifier the catalogue lacks: the first zone with the same offsets and name.
    EXPECT_EQ(m.FindComputerZone({-60, 0, "CET", "Europe/Unknown"}), 1);
    // The name alone is not enough: Taipei's "CST" is not Chicago's.
    EXPECT_EQ(m.FindComputerZone({-480, 0, "CST", ""}), 3);
    // Nothing with that name: the first zone with the same offsets.
    EXPECT_EQ(m.FindComputerZone({-60, 0, "Central European Time", "Etc/GMT-1"}), 1);
    EXPECT_EQ(m.FindComputerZone({-480, 15, "CST", ""}), 0);
    EXPECT_EQ(m.FindComputerZone({0, 0, "Nowhere", "Nowhere"}), 0);
}

TEST(TimeZoneCatalogueTest, EmptySourceGivesAnEmptyCatalogue) {
    const FakeTimeZoneSource source({}, {-480, 0, "CST", "Asia/Taipei"});
    const CTimeZoneInfoManager m(source);
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(m.FindComputerZone(source.ComputerZone()), 0);
    EXPECT_FALSE(m.IsValidIndex(0));
    EXPECT_FALSE(m.IsValidIndex(-1));
}

}  // namespace
}  // namespace pelmora
