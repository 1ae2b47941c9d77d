#include "core/clean_text.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

TEST(CleanText, NamesDropControlsAndReplaceBytesThatAreNotUtf8) {
    const struct {
        const char* legend;
        std::string name;
        std::string clean;
    } rows[] = {
        {"plain", "trip 7", "trip 7"},
        {"C0, DEL and C1 controls",
         "a\x01\tb\x7F"
         "c\xC2\x85",
         "abc"},
        {"UTF-8 kept", "caf\xC3\xA9 \xE6\x97\x85", "caf\xC3\xA9 \xE6\x97\x85"},
        {"Latin-1 byte", "caf\xE9", "caf\xEF\xBF\xBD"},
        {"cut sequence at the end", "x\xE6\x97", "x\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"no XML character", "\xEF\xBF\xBF", "\xEF\xBF\xBD"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CleanName(row.name), row.clean) << row.legend;
    }
}

TEST(CleanText, DeviceIdRule) {
    EXPECT_EQ(DeviceIdProblem("CAR-7 caf\xC3\xA9"), "");
    EXPECT_EQ(DeviceIdProblem(std::string(32, 'x')), "");
    EXPECT_EQ(DeviceIdProblem(std::string(33, 'x')), "The ID takes at most 32 bytes.");
    std::string wide;
    for (int i = 0; i < 17; ++i) {
        wide += "\xC3\xA9";  // 17 letters, 34 bytes
    }
    EXPECT_EQ(DeviceIdProblem(wide), "The ID takes at most 32 bytes.");
    for (const char* forged : {"ab\r\n$GPRMC,", "\x1B[2J", "tab\there", "del\x7F", "nel\xC2\x85",
                               "line\xE2\x80\xA8sep", "para\xE2\x80\xA9"}) {
        EXPECT_EQ(DeviceIdProblem(forged),
                  "The ID must not contain control characters or line breaks.")
            << forged;
    }
    EXPECT_EQ(DeviceIdProblem("caf\xE9"), "The ID must be valid UTF-8 text.");
}

}  // namespace
}  // namespace pelmora
