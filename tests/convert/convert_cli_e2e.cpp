// pelmora-cli decode then convert, as the user runs them, on the sample raw log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/cli_sandbox.h"

namespace {

namespace fs = std::filesystem;

using pelmora::testing::CliRun;
using pelmora::testing::Slurp;

class ConvertCli : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(home_ + "/out"); }

    void WriteProfile(const std::string& text) const { sandbox_.WriteProfile(text); }
    CliRun Cli(const std::string& args) const { return sandbox_.Run(args); }
    void Decode() const {
        const CliRun r = Cli("decode --data-dir '" + home_ + "/d' '" + PELMORA_SOURCE_DIR +
                             "/data/sample-data.log'");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::vector<std::string> Outputs() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(home_ + "/out")) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Convert(const std::string& more) const {
        return "convert --data-dir '" + home_ + "/d' --output '" + home_ + "/out/drive.kml' " +
               more;
    }

    pelmora::testing::CliSandbox sandbox_;
    const std::string& home_ = sandbox_.Home();
};

TEST_F(ConvertCli, DecodeThenConvertWritesEveryFormat) {
    const std::string profile = "[Setting]\nTimeZoneDisplay=UTC\nTimeZoneBias=0\n";
    WriteProfile(profile);
    Decode();
    const CliRun r = Cli(Convert("--formats kml-path,kml-point,nmea,nmea-id,csv,gpx --id CAR7"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Outputs(),
              (std::vector<std::string>{"drive.csv", "drive.gpx", "drive.kml", "drive.txt",
                                        "drive_id.txt", "drive_point.kml"}));
    const std::string o = home_ + "/out/drive";
    EXPECT_EQ(r.out, o + ".txt\n" + o + "_id.txt\n" + o + ".csv\n" + o + ".kml\n" + o +
                         "_point.kml\n" + o + ".gpx\n");
    const std::string csv = Slurp(o + ".csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2388);  // header and 2387 fixes
    EXPECT_EQ(csv.substr(csv.find('\n') + 1, 26), "2024, 05, 18, 07, 42, 10, ");
    EXPECT_EQ(Slurp(o + "_id.txt").substr(0, 11), "CAR7$GPRMC,");
    // Options are for this run only.
    EXPECT_EQ(Slurp(home_ + "/config/Pelmora/Pelmora.ini"), profile);
}

TEST_F(ConvertCli, ProfileChoosesFormatsAndOptionsOverrideIt) {
    WriteProfile("[Setting]\nTimeZoneDisplay=UTC\nTimeZoneBias=0\nConversion=8\nSpeedUnit=2\n");
    Decode();
    CliRun r = Cli(Convert(""));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Outputs(), std::vector<std::string>{"drive.csv"});
    EXPECT_NE(Slurp(home_ + "/out/drive.csv").find("Speed(MPH)"), std::string::npos);

    // Local times at +8 h: the first fix is 07:42:10 UTC, 15:42:10 local.
    r =
        Cli(Convert("--tz-bias 480 --speed-unit kmh --begin '2024-05-18 15:42:12' "
                    "--end '2024-05-18 15:42:16'"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = Slurp(home_ + "/out/drive.csv");
    EXPECT_NE(csv.find("Speed(KM/h)"), std::string::npos);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
    EXPECT_EQ(csv.substr(csv.find('\n') + 1, 26), "2024, 05, 18, 15, 42, 12, ");
}

// The sample drive is in May: Berlin keeps summer time (+2:00), and its clock picks the fixes.
TEST_F(ConvertCli, NamedZoneGivesSummerTimeInEveryOutputAndThePeriod) {
    WriteProfile("[Setting]\nTimeZoneDisplay=UTC\nTimeZoneBias=0\n");
    Decode();
    CliRun r =
        Cli(Convert("--formats kml-path,kml-point,csv --time-zone Europe/Berlin "
                    "--begin '2024-05-18 09:42:12' --end '2024-05-18 09:42:16'"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = Slurp(home_ + "/out/drive.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
    EXPECT_EQ(csv.substr(csv.find('\n') + 1, 26), "2024, 05, 18, 09, 42, 12, ");
    for (const char* kml : {"/out/drive.kml", "/out/drive_point.kml"}) {
        const std::string text = Slurp(home_ + kml);
        EXPECT_NE(text.find("2024-05-18 09:42:12(GMT+2:00)"), std::string::npos) << kml;
        EXPECT_EQ(text.find("(GMT+1:00)"), std::string::npos) << kml;
    }
    r = Cli("summary --data-dir '" + home_ + "/d' --time-zone Europe/Berlin");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 38), "Begin: 2024-05-18 09:42:10 (GMT+2:00)\n") << r.out;
}

TEST_F(ConvertCli, FailuresExitOneWithTheMessageAndWriteNothing) {
    WriteProfile("[Setting]\nTimeZoneDisplay=UTC\nTimeZoneBias=0\nConversion=31\n");
    CliRun r = Cli(Convert(""));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("pelmora-cli: Open trace log file failed!", 0), 0u) << r.err;

    Decode();
    r = Cli(Convert("--begin '2030-01-01 00:00:00'"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pelmora-cli: No log data!\n");

    r = Cli(Convert("--begin '2024-05-18 09:00:00' --end '2024-05-18 08:00:00'"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pelmora-cli: Wrong Convert Time\n");

    // A writer that cannot write says why.
    r = Cli("convert --data-dir '" + home_ + "/d' --formats csv --output '" + home_ +
            "/none/drive.kml'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("drive.csv: No such file or directory)"), std::string::npos) << r.err;

    // Without the geoid's grid heights above the sea cannot be had; above the ellipsoid they can.
    const char* projData = std::getenv("PROJ_DATA");
    const std::string saved = projData != nullptr ? projData : "";
    setenv("PROJ_DATA", (home_ + "/d").c_str(), 1);
    r = Cli(Convert("--formats csv"));
    const CliRun ellipsoid = Cli(Convert("--formats csv --heights ellipsoid"));
    projData != nullptr ? setenv("PROJ_DATA", saved.c_str(), 1) : unsetenv("PROJ_DATA");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("egm96_15.gtx"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("package proj-data"), std::string::npos) << r.err;
    EXPECT_EQ(ellipsoid.status, 0) << ellipsoid.err;
    fs::remove(home_ + "/out/drive.csv");

    std::ofstream(home_ + "/d/TraceLog.ltp", std::ios::app) << "x";
    r = Cli(Convert(""));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "pelmora-cli: Trace log file is invalid!\n");
    EXPECT_TRUE(Outputs().empty());
}

TEST_F(ConvertCli, UsageErrorsExitTwo) {
    WriteProfile("[Setting]\nTimeZoneDisplay=UTC\nTimeZoneBias=0\n");
    for (const char* args :
         // An output whose extension names no type, and no type in the profile.
         {"convert", "convert --output x.dat", "convert --output x.kml --formats kml,csv",
          "convert --output x.kml --formats csv --speed-unit knots",
          "convert --output x.kml --formats csv --begin yesterday",
          "convert --output x.kml --formats csv --record-distance 20001",
          "convert --output x.kml --formats csv --time-zone Mars/Olympus",
          "convert --output x.kml --formats csv --time-zone local --tz-bias 60",
          "summary --tz-bias 1441", "convert --output x.kml --formats csv --heights geoid",
          // An output that names no file would be a hidden ".csv".
          "convert --output '' --formats csv", "convert --output /tmp --formats csv",
          "convert --output /tmp/ --formats csv",
          // A CR LF in the ID would forge NMEA lines.
          "convert --output x.kml --formats nmea-id --id \"$(printf 'ab\\r\\n$GPRMC,')\""}) {
        EXPECT_EQ(Cli(args).status, 2) << args;
    }
}

}  // namespace
