#include "core/zone_bias.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

TEST(ZoneBiasTest, HoursListRunsFromMinusTwelveThroughMinusZeroToThirteen) {
    EXPECT_EQ(HoursItemText(0), "-12");
    EXPECT_EQ(HoursItemText(11), "-1");
    EXPECT_EQ(HoursItemText(12), "-0");
    EXPECT_EQ(HoursItemText(13), "0");
    EXPECT_EQ(HoursItemText(26), "13");
    EXPECT_EQ(MinutesItemText(0), "00");
    EXPECT_EQ(MinutesItemText(59), "59");
}

TEST(ZoneBiasTest, StoredBiasReopensOnItsItems) {
    struct Row {
        long long bias;
        const char* hours;  // nullptr: no hours item
        int minutes;
    };
    const Row rows[] = {
        {-30, "-0", 30},   {330, "5", 30},          {-330, "-5", 30}, {0, "0", 0},
        {480, "8", 0},     {-779, "-12", 59},       {839, "13", 59},  {-780, nullptr, 0},
        {840, nullptr, 0}, {INT32_MIN, nullptr, 8},
    };
    for (const Row& row : rows) {
        const BiasPick pick = PickForBias(row.bias);
        if (row.hours == nullptr) {
            EXPECT_EQ(pick.hoursIndex, -1) << row.bias;
        } else {
            ASSERT_GE(pick.hoursIndex, 0) << row.bias;
            EXPECT_EQ(HoursItemText(pick.hoursIndex), row.hours) << row.bias;
        }
        EXPECT_EQ(pick.minutesIndex, row.minutes) << row.bias;
    }
}

TEST(ZoneBiasTest, PickGivesBiasAndLabel) {
    struct Row {
        int hoursIndex;
        int minutes;
        int bias;
        const char* display;
    };
    const Row rows[] = {
        {12, 45, -45, "Bias -0:45"},  {13, 45, 45, "Bias +0:45"},   {12, 30, -30, "Bias -0:30"},
        {13, 30, 30, "Bias +0:30"},   {21, 0, 480, "Bias +8:00"},   {7, 30, -330, "Bias -5:30"},
        {0, 59, -779, "Bias -12:59"}, {26, 59, 839, "Bias +13:59"}, {13, 0, 0, "Bias +0:00"},
    };
    for (const Row& row : rows) {
        const ZoneBiasResult r = BiasForPick(row.hoursIndex, row.minutes);
        EXPECT_EQ(r.bias, row.bias);
        EXPECT_EQ(r.display, row.display);
        // Every pick reopens on itself.
        const BiasPick back = PickForBias(r.bias);
        if (row.hoursIndex != 12 || row.minutes != 0) {  // "-0:00" reopens as "0:00"
            EXPECT_EQ(back.hoursIndex, row.hoursIndex) << row.display;
        }
        EXPECT_EQ(back.minutesIndex, row.minutes);
    }
}

}  // namespace
}  // namespace pelmora
