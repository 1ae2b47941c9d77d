// pelmora-cli's device commands, run as a user would run them, on the built-in simulated logger.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

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
    // Starts pelmora-cli with its output in root_/spawn.out, for tests that signal it. No fork:
    // ThreadSanitizer refuses it in a process whose simulated logger runs a thread.
    pid_t Spawn(std::vector<std::string> args) {
        const std::string out = (root_ / "spawn.out").string();
        std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (root_ / "config").string(),
                                        "XDG_DATA_HOME=" + (root_ / "data").string()};
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0 &&
                std::strncmp(*e, "XDG_DATA_HOME=", 14) != 0) {
                env.emplace_back(*e);
            }
        }
        args.insert(args.begin(), PELMORA_CLI);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        const int failed = posix_spawn(&pid, args[0].c_str(), &actions, nullptr,
                                       Pointers(args).data(), Pointers(env).data());
        posix_spawn_file_actions_destroy(&actions);
        return failed == 0 ? pid : -1;
    }
    static std::vector<char*> Pointers(std::vector<std::string>& strings) {
        std::vector<char*> pointers;
        for (auto& s : strings) {
            pointers.push_back(s.data());
        }
        pointers.push_back(nullptr);
        return pointers;
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
    EXPECT_NE(run.out.find("\nThe logger is 0.9 % full (19.5 kB of 2.1 MB).\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Decompress is completed...\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Total mileage:"), std::string::npos) << run.out;
    const auto expected = sim::BuiltInFlash().ExpectedDownload();
    const std::string raw = ReadText(dir / "data.log");
    EXPECT_EQ(raw, std::string(expected.begin(), expected.end()));
    EXPECT_GT(fs::file_size(dir / "TraceLog.ltp"), 0u);
    EXPECT_EQ(fs::file_size(dir / "TraceLog.ltp") % 22, 0u);

    // The trace that Read left is what Convert works on.
    const CliRun convert =
        Cli("convert --data-dir '" + dir.string() + "' --output '" + (dir / "track.kml").string() +
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
        // Nothing downloaded yet; no terminal to say yes on.
        {"clear --simulate", 1,
         "pelmora-cli: not cleared: the logger holds data that has not been downloaded (read it "
         "first, or --yes clears it anyway)\n"},
        {"clear --simulate --yes", 0, "Log Clear Successful...\n"},
        {"read --simulate --baud 57600", 0, ""},
        // Everything downloaded: only the terminal is missing.
        {"clear --simulate --baud 57600", 1,
         "pelmora-cli: not cleared: no terminal to ask on; --yes clears without asking\n"},
        {"configure --time 70000 --distance 0 --speed 0 --simulate", 2, ""},
        {"configure --time 5 --simulate", 2, ""},
        {"set-id 123456789012345678901234567890123 --simulate", 2, ""},
        {"set-id \"$(printf 'clear\\033[2J')\" --simulate", 2, ""},       // no terminal escapes
        {"set-id \"$(printf 'next\\302\\205line')\" --simulate", 2, ""},  // nor a C1 NEL
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

// Every Read that does not complete keeps data.log and TraceLog.ltp, exits 1, says so, and
// leaves the logger at its own rate.
TEST_F(CliDevice, FailedReadsKeepThePreviousDownload) {
    struct Row {
        const char* legend;
        std::function<void(sim::LoggerSimOptions&)> options;
        std::function<void(sim::LoggerSim&)> arrange;
        std::vector<int> signals;  // sent once the first range is on its way
        bool canRestore = true;    // a logger that is gone cannot be switched back
        const char* says = "";     // in the output besides the kept download
    };
    const auto paced = [](sim::LoggerSimOptions& o) {
        o.paced = true;
        o.flash.SetWriteOffset(40 * sim::kSectorSize);  // three ranges
    };
    const Row rows[] = {
        {"refused",
         {},
         [](sim::LoggerSim& l) { l.NackNext(1000); },
         {},
         true,
         "pelmora-cli: The logger refused the command\n"},
        // NMEA, and no answer to any command: a GPS receiver, as far as anyone can tell.
        {"unanswered",
         {},
         [](sim::LoggerSim& l) { l.IgnoreNext(1000); },
         {},
         true,
         ": not a data logger (it sends NMEA but does not answer the device-ID query); the "
         "previous download was kept\n"},
        {"silent", [](sim::LoggerSimOptions& o) { o.silent = true; }, {}, {}},
        {"unplugged",
         {},
         [](sim::LoggerSim& l) { l.HangUpMidRange(5000); },
         {},
         false,
         "pelmora-cli: The logger was disconnected (/dev/pts/"},
        {"silent mid-range", {}, [](sim::LoggerSim& l) { l.SilenceMidRange(5000); }, {}, false},
        {"Ctrl-C", paced, {}, {SIGINT}},
        {"SIGTERM twice", paced, {}, {SIGTERM, SIGTERM}},
        {"SIGHUP", paced, {}, {SIGHUP}},
    };
    const fs::path dir = root_ / "data";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        fs::create_directories(dir);
        std::ofstream(dir / "data.log") << "previous log";
        std::ofstream(dir / "TraceLog.ltp") << "previous trace";
        sim::LoggerSimOptions options;
        options.baud = 9600;
        options.paced = false;
        if (row.options) {
            row.options(options);
        }
        sim::LoggerSim logger(options);
        ASSERT_TRUE(logger.Start());
        if (row.arrange) {
            row.arrange(logger);
        }
        const pid_t pid = Spawn(
            {"read", "--port", logger.SlavePath(), "--baud", "9600", "--data-dir", dir.string()});
        ASSERT_GT(pid, 0);
        if (!row.signals.empty()) {
            for (int i = 0; i < 3000 && logger.RangesServed() == 0; ++i) {
                usleep(10000);
            }
            for (const int signal : row.signals) {
                kill(pid, signal);
                usleep(200000);
            }
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_TRUE(ReadText(dir / "data.log") == "previous log");
        EXPECT_TRUE(ReadText(dir / "TraceLog.ltp") == "previous trace");
        EXPECT_NE(ReadText(root_ / "spawn.out").find("previous download was kept"),
                  std::string::npos)
            << ReadText(root_ / "spawn.out");
        EXPECT_NE(ReadText(root_ / "spawn.out").find(row.says), std::string::npos)
            << ReadText(root_ / "spawn.out");
        if (row.canRestore) {
            EXPECT_EQ(logger.Baud(), 9600);
        }
        logger.Stop();
    }
}

// Ctrl-C twice ends a range that is streaming: the second within a second, the logger back at
// its own rate, data.log as it was, exit status 1.
TEST_F(CliDevice, ASecondCtrlCEndsTheStreamingRangeAtOnce) {
    const fs::path dir = root_ / "data";
    fs::create_directories(dir);
    std::ofstream(dir / "data.log") << "previous log";
    sim::LoggerSimOptions options;
    options.baud = 9600;
    options.paced = true;
    options.commandEndsRange = true;
    options.flash.SetWriteOffset(100 * sim::kSectorSize);  // 16 sectors stream for 2.8 s
    sim::LoggerSim logger(options);
    ASSERT_TRUE(logger.Start());
    const pid_t pid =
        Spawn({"read", "--port", logger.SlavePath(), "--baud", "9600", "--data-dir", dir.string()});
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 3000 && logger.RangesServed() == 0; ++i) {
        usleep(10000);
    }
    const std::size_t sent = logger.BytesSent();
    for (int i = 0; i < 500 && logger.BytesSent() < sent + 4096; ++i) {
        usleep(10000);
    }
    kill(pid, SIGINT);
    usleep(300000);
    kill(pid, SIGINT);
    const auto second = std::chrono::steady_clock::now();
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() - second < std::chrono::seconds(20)) {
        usleep(5000);
    }
    const auto took = std::chrono::steady_clock::now() - second;
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    const std::string out = ReadText(root_ / "spawn.out");
    EXPECT_LT(took, std::chrono::seconds(1)) << out;
    EXPECT_EQ(logger.RangesServed(), 1u) << "no second range was asked for";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << "\n" << out;
    EXPECT_NE(out.find("Stopping after this range (Ctrl-C again to stop now)...\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(ReadText(dir / "data.log"), "previous log");
    EXPECT_EQ(logger.Baud(), 9600);
    logger.Stop();
}

// Cleared on the logger and recorded anew, the log is smaller than the last download and still
// not downloaded: clear refuses without --yes, and the logger keeps it.
TEST_F(CliDevice, ClearJudgesByContentNotBySize) {
    sim::LoggerSimOptions options;
    options.paced = false;
    sim::LoggerSim logger(options);
    ASSERT_TRUE(logger.Start());
    const std::string port =
        "--port '" + logger.SlavePath() + "' --data-dir '" + (root_ / "data").string() + "'";
    ASSERT_EQ(Cli("read " + port).status, 0);
    logger.RecordAnew();
    const CliRun run = Cli("clear " + port);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_EQ(run.out,
              "pelmora-cli: not cleared: the logger holds data that has not been downloaded (read "
              "it first, or --yes clears it anyway)\n");
    for (const sim::ReceivedFrame& frame : logger.Frames()) {
        EXPECT_NE(frame.Id(), 0x19) << "no clear was sent";
    }
    EXPECT_EQ(logger.Baud(), 4800);
    logger.Stop();
}

// An empty logger is no failure: said so, nothing written, nothing to decode, status 0.
TEST_F(CliDevice, AnEmptyLoggerIsReadWithoutFailing) {
    sim::LoggerSimOptions options;
    options.paced = false;
    options.flash = sim::FlashImage(sim::kDefaultTotalSectors);
    sim::LoggerSim logger(options);
    ASSERT_TRUE(logger.Start());
    const fs::path dir = root_ / "out";
    const CliRun run = Cli("read --port '" + logger.SlavePath() + "' --baud 4800 --data-dir '" +
                           dir.string() + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("The logger holds no log: nothing to download.\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("Decompress"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(dir / "data.log"));
    EXPECT_FALSE(fs::exists(dir / "downloads"));
    logger.Stop();
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
    // At a rate its owner chose the logger stays, whatever --baud says: nothing asks it over.
    for (const char* asked : {"115200", "2400"}) {  // a download rate, and one it has not
        sim::LoggerSimOptions options;
        options.paced = false;
        sim::LoggerSim logger(options);
        ASSERT_TRUE(logger.Start());
        const CliRun run =
            Cli("id --port '" + logger.SlavePath() + "' --baud " + std::string(asked));
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(run.out.rfind("pelmora-cli: The logger talks at 4800 bit/s, not the " +
                                    std::string(asked) + " asked for",
                                0),
                  0u)
            << run.out;
        EXPECT_EQ(logger.Baud(), 4800);
        EXPECT_TRUE(logger.RateChanges().empty());
    }
}

// A logger still sending a range that a killed program asked for is waited out, then found.
TEST_F(CliDevice, ALoggerStillStreamingARangeIsWaitedOut) {
    sim::LoggerSimOptions options;
    options.baud = 57600;
    sim::LoggerSim logger(options);
    ASSERT_TRUE(logger.Start());
    {
        // The killed program's last request: four sectors from 0 (2.8 s at 57600 bit/s).
        const int fd = open(logger.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        const unsigned char request[] = {0xA0, 0xA1, 0, 5, 0x1D, 0, 0, 0, 4, 0x19, 0x0D, 0x0A};
        ASSERT_EQ(write(fd, request, sizeof request), static_cast<ssize_t>(sizeof request));
        for (int i = 0; i < 300 && logger.RangesServed() == 0; ++i) {
            usleep(10000);
        }
        close(fd);
    }
    ASSERT_EQ(logger.RangesServed(), 1u);
    const CliRun run = Cli("status --port '" + logger.SlavePath() + "' --baud 9600");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("pelmora-cli: The logger was still sending a range that another "
                           "program asked for: waited for its end...\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(logger.Baud(), 9600);
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

// ---- sync: a logger that comes and goes behind a link, as a plugged-in logger does ----

// Voluntary context switches of every thread of pid: each blocking wait that returns is one.
long WakeUps(pid_t pid) {
    long total = 0;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream in(task.path() / "status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return total;
}

std::uintmax_t ArchiveBytes(const fs::path& folder) {
    std::uintmax_t bytes = 0;
    for (const auto& file : fs::recursive_directory_iterator(folder / "downloads")) {
        bytes += file.is_regular_file() ? file.file_size() : 0;
    }
    return bytes;
}

// Waits (bounded) until the spawned program has said `text` `times` times.
bool Said(const fs::path& out, const std::string& text, int times = 1) {
    for (int i = 0; i < 2000; ++i) {
        std::ifstream in(out, std::ios::binary);
        const std::string said(std::istreambuf_iterator<char>(in), {});
        int seen = 0;
        for (std::size_t at = said.find(text); at != std::string::npos;
             at = said.find(text, at + 1)) {
            ++seen;
        }
        if (seen >= times) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

TEST_F(CliDevice, SyncWaitsForTheLoggerAndThenFindsNothingNew) {
    sim::LoggerSimOptions options;
    options.paced = false;
    options.deviceId = "VAN 2";
    options.highestRate = 57600;  // the trial goes down from 230400 every time but the first
    sim::LoggerSim logger(options);
    ASSERT_TRUE(logger.Start());
    const fs::path link = root_ / "LINK";
    const fs::path dir = root_ / "data";
    const pid_t pid =
        Spawn({"sync", "--port", link.string(), "--wait", "--data-dir", dir.string()});
    ASSERT_GT(pid, 0);
    // Waiting costs no wake-ups: it blocks on the folder's events.
    usleep(300000);
    const long before = WakeUps(pid);
    usleep(1000000);
    EXPECT_LE(WakeUps(pid) - before, 1);
    fs::create_symlink(logger.SlavePath(), link);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const std::string first = ReadText(root_ / "spawn.out");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << first;
    EXPECT_NE(first.find("The logger did not take 230400 bit/s"), std::string::npos) << first;
    EXPECT_NE(first.find("1 new trip, "), std::string::npos) << first;
    const std::uintmax_t archived = ArchiveBytes(dir);

    // Again: the rate that worked is tried first, and nothing new is stored.
    const CliRun again =
        Cli("sync --port '" + link.string() + "' --data-dir '" + dir.string() + "'");
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(again.out.find("did not take"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("Nothing new on the logger.\n"), std::string::npos) << again.out;
    EXPECT_EQ(ArchiveBytes(dir), archived);
    logger.Stop();
}

// --watch syncs at each plug-in; a logger unplugged mid-sync leaves the previous download, and
// the next plug-in syncs again.
TEST_F(CliDevice, SyncWatchesPlugInsAndSurvivesAnUnplugMidSync) {
    sim::LoggerSimOptions options;
    options.paced = false;
    sim::LoggerSim first(options);
    ASSERT_TRUE(first.Start());
    const fs::path link = root_ / "LINK";
    const fs::path dir = root_ / "data";
    const fs::path out = root_ / "spawn.out";
    const pid_t pid =
        Spawn({"sync", "--port", link.string(), "--watch", "--data-dir", dir.string()});
    ASSERT_GT(pid, 0);
    fs::create_symlink(first.SlavePath(), link);
    ASSERT_TRUE(Said(out, " new trip")) << ReadText(out);
    const std::string kept = ReadText(dir / "data.log");

    fs::remove(link);
    first.GrowLog(0.5);
    // Held so that the hung-up pseudo-terminal's number, which LINK still names, is not handed
    // to a logger of another test running beside this one: the watching sync would take it.
    const int hold = ::open(first.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    first.HangUpMidRange(4096);
    fs::create_symlink(first.SlavePath(), link);
    ASSERT_TRUE(Said(out, "previous download was kept")) << ReadText(out);
    EXPECT_EQ(ReadText(dir / "data.log"), kept);

    sim::LoggerSim second(options);
    ASSERT_TRUE(second.Start());
    fs::remove(link);
    fs::create_symlink(second.SlavePath(), link);
    ASSERT_TRUE(Said(out, "Nothing new on the logger.")) << ReadText(out);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    second.Stop();
    if (hold >= 0) {
        ::close(hold);
    }
}

}  // namespace
}  // namespace pelmora
