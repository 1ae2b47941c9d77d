// The remembered logger: its identity as the profile keeps it, the udev rule made for it (parsed
// as udev reads a rule line), and the download rate kept per logger.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "core/download_settings.h"
#include "core/profile_store.h"
#include "link/remembered_logger.h"

namespace pelmora {
namespace {

// udev's rule syntax: comma-separated KEY[{attr}] OP "value", no quote or backslash inside.
// Returns the first fault, empty when every line parses and matches before it assigns.
std::string RuleSyntaxFault(const std::string& rules) {
    static const std::regex pair(R"re(^(SUBSYSTEM|ATTRS|TAG|ENV)(\{[A-Za-z0-9_]+\})?)re"
                                 R"re((==|!=|\+=|-=|:=|=)"([^"\\]*)"$)re");
    std::istringstream in(rules);
    std::string line;
    int rulesSeen = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        ++rulesSeen;
        bool assigned = false;
        std::size_t matches = 0;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ',')) {
            field.erase(0, field.find_first_not_of(' '));
            std::smatch m;
            if (!std::regex_match(field, m, pair)) {
                return "not KEY OP \"value\": " + field;
            }
            const bool match = m[3] == "==" || m[3] == "!=";
            if (match && assigned) {
                return "a match after an assignment: " + field;
            }
            if (match != (m[1] == "SUBSYSTEM" || m[1] == "ATTRS")) {
                return "operator does not fit its key: " + field;
            }
            matches += match ? 1 : 0;
            assigned = assigned || !match;
        }
        if (matches < 4) {
            return "matches less than subsystem, vendor, product and serial: " + line;
        }
    }
    return rulesSeen == 1 ? "" : "not one rule line";
}

TEST(RememberedLogger, IdentityAndItsRule) {
    const struct {
        const char* stored;
        const char* text;     // as written back
        const char* problem;  // in the refusal; empty: a rule is made
    } rows[] = {
        {"usb:067B:2303:A1B2 c", "usb:067b:2303:A1B2 c", ""},
        {"/dev/serial/by-id/usb-Prolific_USB-Serial-if00-port0",
         "/dev/serial/by-id/usb-Prolific_USB-Serial-if00-port0", "chip alone"},
        {"/dev/pts/4", "/dev/pts/4", "chip alone"},
        {"usb:067b:2303:", "", "no logger is remembered"},  // no serial: not an identity
        {"usb:67b:2303:X", "", "no logger is remembered"},
        {"", "", "no logger is remembered"},
        {"usb:10c4:ea60:0001\"", "usb:10c4:ea60:0001\"", "cannot match"},
        {"usb:10c4:ea60:*", "usb:10c4:ea60:*", "cannot match"},  // would match every serial
        {"usb:10c4:ea60:a|b", "usb:10c4:ea60:a|b", "cannot match"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored);
        const LoggerIdentity identity = ParseLoggerIdentity(row.stored);
        EXPECT_EQ(IdentityText(identity), row.text);
        std::string problem;
        const std::string rule = UdevRuleText(identity, problem);
        if (*row.problem == '\0') {
            EXPECT_EQ(RuleSyntaxFault(rule), "") << rule;
            EXPECT_NE(rule.find("ATTRS{serial}==\"" + identity.serial + "\""), std::string::npos);
            for (const char* action : {"TAG+=\"uaccess\"", "ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
                                       "ENV{SYSTEMD_WANTS}=\"\""}) {
                EXPECT_NE(rule.find(action), std::string::npos) << action;
            }
        } else {
            EXPECT_EQ(rule, "");
            EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
        }
    }
}

TEST(RememberedLogger, DownloadRateIsKeptPerDeviceId) {
    MemoryProfileStore profile;
    SaveLoggerRate(profile, "VAN/1", 57600);
    SaveLoggerRate(profile, "", 9600);  // a logger without an ID, read at its own rate
    EXPECT_EQ(LoadLoggerRate(profile, "VAN/1"), 57600);
    EXPECT_EQ(LoadLoggerRate(profile, ""), 9600);
    EXPECT_EQ(LoadLoggerRate(profile, "VAN"), 0);
    EXPECT_TRUE(profile.Contains(kSectionLoggerRates, "VAN%2F1"));  // no profile group made
    profile.ProfileWriteInt(kSectionLoggerRates, "VAN", 12345);
    EXPECT_EQ(LoadLoggerRate(profile, "VAN"), 0);
}

}  // namespace
}  // namespace pelmora
