#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/link_record.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

class LinkRecord : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/pelmora-link-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string Read(const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path root_;
};

TEST_F(LinkRecord, WritesPortAndRate) {
    const fs::path folder = root_ / "config" / "Pelmora";
    SaveReceiverSettings({"/dev/ttyUSB0", 57600, ""}, folder);
    EXPECT_EQ(Read(folder / "receiver.ini"), "[GPS]\ncomport=/dev/ttyUSB0\nbaudrate=57600\n");
    SaveReceiverSettings({"/dev/rfcomm1", 9600, "/opt/fw.bin"}, folder);
    EXPECT_EQ(Read(folder / "receiver.ini"),
              "[GPS]\ncomport=/dev/rfcomm1\nbaudrate=9600\nfirmware=/opt/fw.bin\n");
}

TEST_F(LinkRecord, FailuresAreSilentAndValuesCannotBreakTheFile) {
    SaveReceiverSettings({"/dev/pts/3\n[Other]", 4800, ""}, root_);
    EXPECT_EQ(Read(root_ / "receiver.ini"), "[GPS]\nbaudrate=4800\n");

    const fs::path locked = root_ / "locked";
    fs::create_directory(locked);
    chmod(locked.c_str(), 0500);
    SaveReceiverSettings({"/dev/ttyUSB0", 57600, ""}, locked);  // must neither throw nor crash
    if (geteuid() != 0) {
        EXPECT_FALSE(fs::exists(locked / "receiver.ini"));
    }
    SaveReceiverSettings({"/dev/ttyUSB0", 57600, ""}, "");
}

}  // namespace
}  // namespace pelmora
