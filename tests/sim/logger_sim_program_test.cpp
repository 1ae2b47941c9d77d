// pelmora-logger-sim as a program: path on the first line, NMEA on that path, ends when its
// standard input closes, refuses bad options with status 2.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "test_client.h"

namespace pelmora::sim {
namespace {

using namespace std::chrono_literals;

struct Child {
    pid_t pid = -1;
    int in = -1;   // the child's standard input
    int out = -1;  // the child's standard output
};

Child Spawn(const std::vector<std::string>& args) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        close(toChild[1]);
        close(fromChild[0]);
        std::vector<char*> argv;
        std::string program = PELMORA_LOGGER_SIM;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    return {pid, toChild[1], fromChild[0]};
}

std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    return line;
}

// Waits for the child's end within the bound; -1 when it did not end (then it is killed).
int WaitExit(pid_t pid, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(LoggerSimProgram, PrintsItsPathServesNmeaAndEndsWithItsInput) {
    Child child = Spawn({"--baud", "9600"});
    ASSERT_GT(child.pid, 0);
    const std::string path = ReadLine(child.out);
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    {
        testing::TestClient client(path, 9600);
        ASSERT_TRUE(client.IsOpen());
        client.Flush();
        const auto got = client.ReadUntil(
            [](const std::vector<std::uint8_t>& b) {
                const std::string text(b.begin(), b.end());
                return text.find("$GPRMC,") != std::string::npos;
            },
            3000ms);
        EXPECT_NE(std::string(got.begin(), got.end()).find("$GPRMC,"), std::string::npos);
    }
    close(child.in);
    EXPECT_EQ(WaitExit(child.pid, 3000ms), 0);
    close(child.out);
}

TEST(LoggerSimProgram, EndsOnTerminate) {
    Child child = Spawn({"--silent"});
    ASSERT_GT(child.pid, 0);
    ASSERT_FALSE(ReadLine(child.out).empty());
    kill(child.pid, SIGTERM);
    EXPECT_EQ(WaitExit(child.pid, 3000ms), 0);
    close(child.in);
    close(child.out);
}

TEST(LoggerSimProgram, BadOptionIsAUsageError) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--split-marker", "4"},
                                                 {"--baud"},
                                                 {"--nack", "-1"},
                                                 {"--random-faults", "7"},
                                                 {"--what"}}) {
        Child child = Spawn(args);
        ASSERT_GT(child.pid, 0);
        EXPECT_EQ(WaitExit(child.pid, 3000ms), 2) << args[0];
        close(child.in);
        close(child.out);
    }
}

}  // namespace
}  // namespace pelmora::sim
