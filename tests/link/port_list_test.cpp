#include "link/port_list.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

using Names = std::vector<std::string>;

TEST(PortListTest, SortsShorterFirstThenInByteOrder) {
    EXPECT_EQ(SortPortNames({"/dev/ttyS10", "/dev/ttyS2"}), (Names{"/dev/ttyS2", "/dev/ttyS10"}));
    EXPECT_EQ(SortPortNames({"/dev/ttyS2", "/dev/ttyS10"}), (Names{"/dev/ttyS2", "/dev/ttyS10"}));
    EXPECT_EQ(SortPortNames({"/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0"}),
              (Names{"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1"}));
    EXPECT_EQ(SortPortNames({}), Names{});
}

TEST(PortListTest, KeepsTheFirst64FoundAndDropsEmptyAndRepeatedNames) {
    Names found;
    for (int i = 99; i >= 0; --i) {
        found.push_back("/dev/ttyUSB" + std::to_string(i));
    }
    const Names sorted = SortPortNames(found);
    ASSERT_EQ(sorted.size(), kMaxPortNames);
    // The first 64 found are 99 down to 36.
    EXPECT_EQ(sorted.front(), "/dev/ttyUSB36");
    EXPECT_EQ(sorted.back(), "/dev/ttyUSB99");
    EXPECT_EQ(SortPortNames({"", "/dev/ttyS1", "/dev/ttyS1"}), (Names{"/dev/ttyS1"}));
}

TEST(PortListTest, ChoicesStartWithNoneAndProposeTheStoredPort) {
    const Names ports = {"/dev/ttyS0", "/dev/ttyUSB0"};
    struct Row {
        const char* stored;
        Names entries;
        int selected;
    };
    const Row rows[] = {
        {"/dev/ttyUSB0", {"None", "/dev/ttyS0", "/dev/ttyUSB0"}, 2},
        {"None", {"None", "/dev/ttyS0", "/dev/ttyUSB0"}, 0},
        {"NONE", {"None", "/dev/ttyS0", "/dev/ttyUSB0"}, 0},
        {"/DEV/TTYS0", {"None", "/dev/ttyS0", "/dev/ttyUSB0"}, 1},
        // The default of an empty profile names no device here.
        {"Com1", {"None", "/dev/ttyS0", "/dev/ttyUSB0"}, 0},
        {"", {"None", "/dev/ttyS0", "/dev/ttyUSB0"}, 0},
        // Not found by the scan but openable: offered after the found ones.
        {"/dev/pts/3", {"None", "/dev/ttyS0", "/dev/ttyUSB0", "/dev/pts/3"}, 3},
        {"/dev/rfcomm0", {"None", "/dev/ttyS0", "/dev/ttyUSB0", "/dev/rfcomm0"}, 3},
    };
    for (const Row& row : rows) {
        const PortChoices c = BuildPortChoices(ports, row.stored);
        EXPECT_EQ(c.entries, row.entries) << row.stored;
        EXPECT_EQ(c.selected, row.selected) << row.stored;
    }
}

TEST(PortListTest, ExactSpellingWinsOverACaseInsensitiveMatch) {
    const PortChoices c = BuildPortChoices({"/dev/ttyS0", "/dev/ttys0"}, "/dev/ttys0");
    EXPECT_EQ(c.selected, 2);
}

TEST(PortListTest, NoPortsFoundLeavesOnlyNone) {
    const PortChoices c = BuildPortChoices({}, "Com1");
    EXPECT_EQ(c.entries, Names{"None"});
    EXPECT_EQ(c.selected, 0);
}

TEST(PortListTest, BaudRatesAndTheirFallback) {
    EXPECT_EQ(BaudRateTexts(),
              (Names{"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(BaudRateIndex("115200"), 6);
    EXPECT_EQ(BaudRateIndex("2400"), 0);
    EXPECT_EQ(BaudRateIndex("4800"), 1);
    EXPECT_EQ(BaudRateIndex("300"), 1);
    EXPECT_EQ(BaudRateIndex(""), 1);
    EXPECT_EQ(BaudRateIndex(" 9600"), 1);
}

}  // namespace
}  // namespace pelmora
