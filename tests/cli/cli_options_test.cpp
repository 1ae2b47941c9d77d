#include <gtest/gtest.h>

#include "cli/cli_options.h"

namespace pelmora::cli {
namespace {

ArgParser Parser(std::vector<std::string> args) {
    ArgParser p(std::move(args));
    p.Value("--port").Value("--baud").Value("--tz-bias").Flag("--simulate").Positionals(0, 1);
    return p;
}

TEST(ArgParser, ValuesFlagsAndPositionals) {
    ArgParser p = Parser({"--port", "/dev/ttyUSB0", "--baud=57600", "--simulate", "raw.log"});
    p.Parse();
    EXPECT_EQ(p.Get("--port"), "/dev/ttyUSB0");
    EXPECT_EQ(p.GetInt("--baud", 1, 115200), 57600);
    EXPECT_TRUE(p.Has("--simulate"));
    EXPECT_FALSE(p.Has("--tz-bias"));
    EXPECT_EQ(p.GetIntOr("--tz-bias", -30, -720, 840), -30);
    ASSERT_EQ(p.positionals().size(), 1u);
    EXPECT_EQ(p.positionals()[0], "raw.log");
}

TEST(ArgParser, NegativeNumbersAndDashDash) {
    ArgParser p = Parser({"--tz-bias", "-30", "--", "--simulate"});
    p.Parse();
    EXPECT_EQ(p.GetInt("--tz-bias", -720, 840), -30);
    EXPECT_FALSE(p.Has("--simulate"));
    EXPECT_EQ(p.positionals(), std::vector<std::string>{"--simulate"});
}

TEST(ArgParser, UsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"},
             {"--port"},
             {"--port", "a", "--port", "b"},
             {"--simulate", "--simulate"},
             {"--simulate=1"},
             {"a", "b"},
         }) {
        ArgParser p = Parser(args);
        EXPECT_THROW(p.Parse(), UsageError) << args[0];
    }
    for (const char* bad : {"", "12x", "0x10", "9999999999999999999999", "+", "1000"}) {
        ArgParser p = Parser({"--tz-bias", bad});
        p.Parse();
        EXPECT_THROW(p.GetInt("--tz-bias", -720, 840), UsageError) << bad;
    }
}

TEST(ArgParser, MissingPositional) {
    ArgParser p({});
    p.Positionals(1, 1);
    EXPECT_THROW(p.Parse(), UsageError);
}

}  // namespace
}  // namespace pelmora::cli
