// pelmora-cli as the user runs it: exit status, standard output and standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/cli_sandbox.h"

namespace {

using pelmora::testing::CliRun;

class CliTest : public ::testing::Test {
  protected:
    void WriteProfile(const std::string& text) const { sandbox_.WriteProfile(text); }
    CliRun Cli(const std::string& args) const { return sandbox_.Run(args); }

    pelmora::testing::CliSandbox sandbox_;
    const std::string& home_ = sandbox_.Home();
};

const std::string kSample = std::string(PELMORA_SOURCE_DIR) + "/data/sample-data.log";

TEST_F(CliTest, DecodePrintsTheSummaryInTheProfilesZone) {
    WriteProfile("[Setting]\nTimeZoneDisplay=Bias +8:00\nTimeZoneBias=480\nSpeedUnit=2\n");
    const CliRun r = Cli("decode --data-dir '" + home_ + "/d' '" + kSample + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Begin: 2024-05-18 15:42:10 (GMT+8:00)\n"
              "End: 2024-05-18 17:41:26 (GMT+8:00)\n"
              "Total time: 0 day 01 hour 59 min 16 sec\n"
              "Total mileage: 44.501 Mile\n");
    EXPECT_EQ(r.err, "");  // no progress when standard error is not a terminal
    struct stat st {};
    ASSERT_EQ(stat((home_ + "/d/TraceLog.ltp").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 2387 * 22);

    const CliRun again = Cli("summary --data-dir '" + home_ + "/d'");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, r.out);
}

// Each failure names the trace and the reason, as convert does.
TEST_F(CliTest, SummaryFailuresSayTheirCause) {
    const std::string d = home_ + "/d";
    const std::string trace = d + "/TraceLog.ltp";
    const struct {
        const char* arrange;  // shell commands; the trace is $T
        std::string err;
    } rows[] = {
        {":", "pelmora-cli: Open trace log file failed! (" + trace +
                  ": No such file or directory: run pelmora-cli decode first)\n"},
        {"printf 'garbage!' > \"$T\"", "pelmora-cli: No stop log data! (" + trace +
                                           ": 8 bytes, no whole number of 22-byte fixes: not "
                                           "a trace file)\n"},
        {"mkfifo \"$T\"",
         "pelmora-cli: Open trace log file failed! (" + trace + ": a FIFO, not a regular file)\n"},
    };
    for (const auto& row : rows) {
        std::system(
            ("rm -rf '" + d + "' && mkdir -p '" + d + "' && T='" + trace + "' && " + row.arrange)
                .c_str());
        const CliRun r = Cli("summary --data-dir '" + d + "'");
        EXPECT_EQ(r.status, 1) << row.arrange;
        EXPECT_EQ(r.err, row.err) << row.arrange;
    }
}

TEST_F(CliTest, DecodeDefaultsToTheDataFolder) {
    WriteProfile("[Setting]\nTimeZoneDisplay=UTC\nTimeZoneBias=0\n");
    const std::string share = home_ + "/share/Pelmora";
    // The data folder is created when missing; then it holds no data.log.
    CliRun r = Cli("decode");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pelmora-cli: Open raw log file failed! (" + share +
                         "/data.log: No such file or directory)\n");
    std::system(("cp '" + kSample + "' '" + share + "/data.log'").c_str());
    r = Cli("decode");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 32), "Begin: 2024-05-18 07:42:10 (UTC)");
    EXPECT_NE(r.out.find("Total mileage: 71.602 KM\n"), std::string::npos);
}

TEST_F(CliTest, DecodeFailures) {
    const std::string d = home_ + "/d";
    std::system(("mkdir -p '" + d + "' && printf '\\377\\377' > '" + d + "/bad.log' && : > '" + d +
                 "/empty.log'")
                    .c_str());
    CliRun r = Cli("decode --data-dir '" + d + "' '" + d + "/bad.log'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("pelmora-cli: To double check data, please download log data again.", 0),
              0u)
        << r.err;
    r = Cli("decode --data-dir '" + d + "' '" + d + "/empty.log'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pelmora-cli: No log data!\n");
    // A FIFO without a writer is refused, not waited on.
    std::system(("mkfifo '" + d + "/fifo.log'").c_str());
    r = Cli("decode --data-dir '" + d + "' '" + d + "/fifo.log'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pelmora-cli: Open raw log file failed! (" + d +
                         "/fifo.log: a FIFO, not a regular file)\n");
}

// The season from the command line: logs imported once, their trips and days, and conversions
// of exactly a trip's or a day's fixes, on a fresh profile where the output's name picks the type.
TEST_F(CliTest, ImportTripsAndConvertFromTheLibrary) {
    const std::string d = " --data-dir '" + home_ + "/d' ";
    CliRun r = Cli("import" + d + "'" + kSample + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kSample + ": 2387 fixes added (2387 in the library)\n");
    EXPECT_EQ(Cli("import" + d + "'" + kSample + "'").out,
              kSample + ": 0 fixes added (2387 in the library)\n");
    r = Cli("trips" + d + "--time-zone Europe/Berlin --gap-minutes 10 --json");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 190),
              "[\n  {\"number\": 1, \"begin_utc\": \"2024-05-18T07:42:10Z\", \"end_utc\": "
              "\"2024-05-18T07:53:04Z\", \"begin_local\": \"2024-05-18T09:42:10+02:00\", "
              "\"end_local\": \"2024-05-18T09:53:04+02:00\", \"seconds\": 654");
    EXPECT_NE(r.out.find("\"number\": 4,"), std::string::npos);
    EXPECT_NE(r.out.find("\"fixes\": 963}"), std::string::npos);  // trip 2
    r = Cli("convert" + d + "--gap-minutes 10 --trip 2 --output '" + home_ + "/t.csv'");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string csv = pelmora::testing::Slurp(home_ + "/t.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 963 + 1);  // and the heading
    r = Cli("convert" + d + "--time-zone Europe/Berlin --day 2024-05-18 --output '" + home_ +
            "/day.csv'");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string day = pelmora::testing::Slurp(home_ + "/day.csv");
    EXPECT_EQ(std::count(day.begin(), day.end(), '\n'), 2387 + 1);
    EXPECT_EQ(Cli("convert" + d + "--day 2024-05-19 --output '" + home_ + "/x.csv'").status, 1);
    r = Cli("convert" + d + "--time-zone Europe/Berlin --gap-minutes 10 --each trip --output '" +
            home_ + "/e.kml'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, home_ + "/e-2024-05-18-0942.kml\n" + home_ + "/e-2024-05-18-1007.kml\n" +
                         home_ + "/e-2024-05-18-1058.kml\n" + home_ + "/e-2024-05-18-1119.kml\n");
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    for (const char* args : {"", "nonsense", "decode --bogus", "decode a b", "decode --data-dir"}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage: pelmora-cli"), std::string::npos) << args;
        EXPECT_EQ(r.out, "") << args;
    }
}

TEST_F(CliTest, HelpListsTheCommands) {
    CliRun r = Cli("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("decode [--data-dir DIR] [RAW]"), std::string::npos);
    r = Cli("decode --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: pelmora-cli decode [--data-dir DIR] [RAW]\n", 0), 0u);
}

}  // namespace
