// pelmora-cli's device commands, run as a user would run them, on the built-in simulated logger.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/logger_sim.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status = -1;
    std::string out;
};

class CliDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/pelmora-cli-device-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
    }
    void TearDown() override { fs::remove_all(root_); }

    // Runs pelmora-cli with its own profile and data folders; stdin is not a terminal.
    CliRun Cli(const std::string& args) {
        const std::string command = "XDG_CONFIG_HOME='" + (root_ / "config").string() +
                                    "' XDG_DATA_HOME='" + (root_ / "data").string() + "' '" +
                                    PELMORA_CLI + "' " + args + " </dev/null 2>&1";
        CliRun run;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return run;
        }
        std::array<char, 4096> buffer{};
        std::size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
            run.out.append(buffer.data(), n);
        }
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    std::string ReadText(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path root_;
};

TEST_F(CliDevice, ReadDownloadsAndDecodes) {
    const fs::path dir = root_ / "out";
    const CliRun run = Cli("read --simulate --baud 57600 --data-dir '" + dir.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("read successful...\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Decompress is completed...\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Total mileage:"), std::string::npos) << run.out;
    const auto expected = sim::BuiltInFlash().ExpectedDownload();
    const std::string raw = ReadText(dir / "data.log");
    EXPECT_EQ(raw, std::string(expected.begin(), expected.end()));
    EXPECT_GT(fs::file_size(dir / "TraceLog.ltp"), 0u);
    EXPECT_EQ(fs::file_size(dir / "TraceLog.ltp") % 22, 0u);

    // The trace that Read left is what Convert works on.
    const CliRun convert = Cli("convert --data-dir '" + dir.string() + "' --output '" +
                               (dir / "track.kml").string() +
                               "' --formats kml-path,kml-point,nmea,nmea-id,csv");
    ASSERT_EQ(convert.status, 0) << convert.out;
    for (const char* name :
         {"track.kml", "track_point.kml", "track.txt", "track_id.txt", "track.csv"}) {
        ASSERT_TRUE(fs::exists(dir / name)) << name;
        EXPECT_GT(fs::file_size(dir / name), 0u) << name;
    }
}

TEST_F(CliDevice, CommandsPrintTheSystemsTexts) {
    const struct {
        const char* args;
        int status;
        const char* output;  // expected at the start of the output
    } rows[] = {
        {"status --simulate", 0, "-----------------  Log Status  -----------------\nSector left: "},
        {"id --simulate", 0, "\n"},
        {"set-id 'Blue van' --simulate", 0, "Set done.\n"},
        {"configure --time 5 --distance 10 --speed 0 --simulate", 0,
         "Log Configure Successful...\n"},
        {"clear --simulate", 1, "pelmora-cli: not cleared"},  // no terminal to say yes on
        {"clear --simulate --yes", 0, "Log Clear Successful...\n"},
        {"configure --time 70000 --distance 0 --speed 0 --simulate", 2, ""},
        {"configure --time 5 --simulate", 2, ""},
        {"set-id 123456789012345678901234567890123 --simulate", 2, ""},
        {"set-id \"$(printf 'clear\\033[2J')\" --simulate", 2, ""},  // no terminal escapes
        {"status", 2, ""},
        {"status --simulate --port /dev/null", 2, ""},
        {"status --port /nonexistent/tty", 1, "pelmora-cli: Incorrect port !"},
    };
    for (const auto& row : rows) {
        const CliRun run = Cli(row.args);
        EXPECT_EQ(run.status, row.status) << row.args << "\n" << run.out;
        EXPECT_EQ(run.out.rfind(row.output, 0), 0u) << row.args << "\n" << run.out;
    }
}

TEST_F(CliDevice, ConnectionOnAPortIsRecorded) {
    sim::LoggerSimOptions options;
    options.baud = 9600;
    options.paced = false;
    options.deviceId = "TRUCK 4";
    sim::LoggerSim logger(options);
    ASSERT_TRUE(logger.Start());
    const CliRun run = Cli("id --port '" + logger.SlavePath() + "' --baud 9600");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "TRUCK 4\n");
    EXPECT_EQ(ReadText(root_ / "config" / "Pelmora" / "receiver.ini"),
              "[GPS]\ncomport=" + logger.SlavePath() + "\nbaudrate=9600\n");
    logger.Stop();
}

// A logger whose download was cut short stays at the download rate: every command finds it there
// and switches it back.
TEST_F(CliDevice, ALoggerLeftAtADownloadRateIsSwitchedBack) {
    for (const int rate : {57600, 230400}) {
        sim::LoggerSimOptions options;
        options.baud = rate;
        options.paced = false;
        sim::LoggerSim logger(options);
        ASSERT_TRUE(logger.Start());
        const CliRun run = Cli("status --port '" + logger.SlavePath() + "' --baud 9600");
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_NE(run.out.find("pelmora-cli: The logger was at " + std::to_string(rate) +
                               " bit/s; switched back to 9600 bit/s...\n"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("Sector left: "), std::string::npos) << run.out;
        EXPECT_EQ(logger.Baud(), 9600);
    }
}

TEST_F(CliDevice, APortHeldByAnotherProgramNamesIt) {
    sim::LoggerSim logger;
    ASSERT_TRUE(logger.Start());
    const std::string path = logger.SlavePath();
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        execlp("flock", "flock", "--no-fork", path.c_str(), "sleep", "30", nullptr);
        _exit(127);
    }
    const std::string expected = "pelmora-cli: Incorrect port ! (" + path +
                                 ": busy: held by sleep (pid " + std::to_string(holder) + "))\n";
    CliRun run;
    for (int i = 0; i < 50 && run.out != expected; ++i) {  // until the holder has its lock
        run = Cli("id --port '" + path + "'");
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, expected);
    kill(holder, SIGTERM);
    waitpid(holder, nullptr, 0);
}

}  // namespace
}  // namespace pelmora
