#include "core/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/convert/convert_test_util.h"

namespace pelmora {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

bool Write(const std::string& path) {
    AtomicFile file;
    return file.Open(path) && file.Write("x", 1) && file.Commit();
}

// A pid that no process has: a child that has been reaped.
pid_t GonePid() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

TEST(AtomicFile, NewFileGetsTheUmaskAndAReplacedOneKeepsItsMode) {
    test::TempDir dir;
    const mode_t old = umask(027);
    EXPECT_TRUE(Write(dir / "new.kml"));
    umask(old);
    EXPECT_EQ(ModeOf(dir / "new.kml"), 0640u);

    test::WriteFile(dir / "private.kml", "old");
    chmod((dir / "private.kml").c_str(), 0600);
    EXPECT_TRUE(Write(dir / "private.kml"));
    EXPECT_EQ(ModeOf(dir / "private.kml"), 0600u);
    EXPECT_EQ(test::ReadFile(dir / "private.kml"), "x");
}

TEST(AtomicFile, TemporariesOfGoneProcessesAreRemovedByTheNextWrite) {
    test::TempDir dir;
    const std::string stale = dir / ("t.kml.tmp-" + std::to_string(GonePid()) + "-Ab12Cd");
    const std::string live = dir / "t.kml.tmp-1-Ab12Cd";  // init never goes
    const std::string other = dir / ("u.kml.tmp-" + std::to_string(GonePid()) + "-Ab12Cd");
    for (const std::string& path : {stale, live, other}) {
        test::WriteFile(path, "partial");
    }
    EXPECT_TRUE(Write(dir / "t.kml"));
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(other));  // another file's: removed when it is written
}

TEST(AtomicFile, TerminationSignalsRemoveTheLiveTemporaries) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        test::TempDir dir;
        const pid_t child = fork();
        if (child == 0) {
            signal(sig, SIG_DFL);
            InstallTemporaryCleanup();
            AtomicFile file;
            if (!file.Open(dir / "big.ltp") || !file.Write("data", 4)) {
                _exit(3);
            }
            std::fflush(file.file());
            raise(sig);
            _exit(4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << sig;
    }
}

}  // namespace
}  // namespace pelmora
