#include "core/string_table.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

// The texts are the program's own, misspellings included.
TEST(StringTableTest, TextsStandVerbatim) {
    EXPECT_EQ(LoadString(IDS_ABOUT_BOX), "About %s");
    EXPECT_EQ(LoadString(IDS_WITH_ID), "with ID");
    EXPECT_EQ(LoadString(IDS_STOP_MIN_DISTANCE), "Stop point minimum distance");
    EXPECT_EQ(LoadString(IDS_CLEAR_CONFIRM),
              "All records in device will be cleared!\nWill you Continue?");
    EXPECT_EQ(LoadString(IDS_INCORRECT_BAUDRATE), "Incorrect baudrate !");
    EXPECT_EQ(LoadString(IDS_COMPUTER_TIME), "Computer Time");
    EXPECT_EQ(LoadString(12345), "");
    EXPECT_EQ(LoadString(0), "");
}

}  // namespace
}  // namespace pelmora
