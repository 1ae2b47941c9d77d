#include "ui/qt_profile_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/conversion_settings.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

// Each test gets its own XDG_CONFIG_HOME so nothing touches the user's profile.
class QtProfileStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pelmora-profile-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadOld_ = old != nullptr;
        if (hadOld_) {
            old_ = old;
        }
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }
    void TearDown() override {
        if (hadOld_) {
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        fs::remove_all(root_);
    }
    std::string IniPath() const { return (fs::path(root_) / "Pelmora" / "Pelmora.ini").string(); }
    void WriteIni(const std::string& text) const {
        fs::create_directories(fs::path(IniPath()).parent_path());
        std::ofstream(IniPath()) << text;
    }
    std::string ReadIni() const {
        std::ifstream in(IniPath());
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string root_;
    std::string old_;
    bool hadOld_ = false;
};

TEST_F(QtProfileStoreTest, LivesUnderXdgConfigHome) {
    EXPECT_EQ(DefaultProfilePath(), IniPath());
    QtProfileStore store;
    EXPECT_EQ(store.path(), IniPath());
}

TEST_F(QtProfileStoreTest, RoundTripsIntegersAndTextsAcrossInstances) {
    {
        QtProfileStore store;
        store.ProfileWriteInt(kSectionSetting, "TimeZoneType", 3);
        store.ProfileWriteInt(kSectionSetting, "TimeZoneBias", -45);
        store.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "Bias -0:45");
        store.ProfileWriteInt(kSectionSetting, "Conversion", 8 | 32);
        store.ProfileWriteText(kSectionSerial, "ComPort", "/dev/ttyUSB0");
        store.ProfileWriteText(kSectionSerial, "BaudRate", "115200");
        store.ProfileWriteText(kSectionSetting, "Commas", "(UTC+01:00) Amsterdam, Berlin, Bern");
        store.ProfileWriteText(kSectionSetting, "Quotes", "say \"hi\"; = \\ @at");
        store.ProfileWriteText(kSectionSetting, "Spaces", "  padded  ");
        store.ProfileWriteText(kSectionSetting, "Unicode", "Zone \xc3\xa9t\xc3\xa9");
        store.ProfileWriteText(kSectionSetting, "Empty", "");
        store.ProfileWriteText(kSectionSetting, "Key with spaces %=;", "odd");
    }
    ASSERT_TRUE(fs::exists(IniPath()));
    const QtProfileStore store;
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "TimeZoneType", 1), 3);
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "TimeZoneBias", 0), -45);
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""), "Bias -0:45");
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "Conversion", 0), 40);
    EXPECT_EQ(store.ProfileReadText(kSectionSerial, "ComPort", "Com1"), "/dev/ttyUSB0");
    EXPECT_EQ(store.ProfileReadText(kSectionSerial, "BaudRate", "4800"), "115200");
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "Commas", ""),
              "(UTC+01:00) Amsterdam, Berlin, Bern");
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "Quotes", ""), "say \"hi\"; = \\ @at");
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "Spaces", ""), "  padded  ");
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "Unicode", ""), "Zone \xc3\xa9t\xc3\xa9");
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "Empty", "default"), "");
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "Key with spaces %=;", ""), "odd");
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "Missing", "fallback"), "fallback");
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "Missing", 10), 10);

    // The file keeps the sections "Setting" and "Serial", readable by hand.
    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("[Setting]"), std::string::npos);
    EXPECT_NE(ini.find("[Serial]"), std::string::npos);
    EXPECT_NE(ini.find("TimeZoneBias=-45"), std::string::npos);
}

TEST_F(QtProfileStoreTest, HandEditedValuesReadSafely) {
    WriteIni(
        "[Setting]\n"
        "TimeZoneDisplay=Amsterdam, Berlin\n"
        "StopPeriod=ten\n"
        "StopDistance=1, 2\n"
        "OverSpeed= 120 \n"
        "Conversion=0x10\n"
        "SpeedUnit=99999999999\n"
        "TimeZoneBias=@Invalid()\n"
        "TimeZoneType=@Rect(1 2 3 4)\n"
        "[Serial]\n"
        "ComPort=\"/dev/pts/3\"\n");
    const QtProfileStore store;
    // An unquoted comma makes a list of the value; it reads back as the text it was.
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""), "Amsterdam, Berlin");
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "StopPeriod", 10), 10);
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "StopDistance", 0), 0);
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "OverSpeed", 0), 120);
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "Conversion", 0), 0);
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "SpeedUnit", 1), 1);
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "TimeZoneBias", 0), 0);
    EXPECT_EQ(store.ProfileReadInt(kSectionSetting, "TimeZoneType", 1), 1);
    EXPECT_EQ(store.ProfileReadText(kSectionSetting, "TimeZoneType", "none"), "none");
    EXPECT_EQ(store.ProfileReadText(kSectionSerial, "ComPort", "Com1"), "/dev/pts/3");
}

TEST_F(QtProfileStoreTest, LoadsTheRecordFromTheFile) {
    WriteIni(
        "[Setting]\n"
        "TimeZoneDisplay=UTC\n"
        "TimeZoneBias=0\n"
        "Conversion=31\n"
        "SpeedUnit=2\n");
    const QtProfileStore store;
    ConversionSettings s;
    LoadConversionSettings(store, 480, s);
    EXPECT_EQ(s.TimeZoneDisplay, "UTC");
    EXPECT_EQ(s.GmtLabel, "(UTC)");
    EXPECT_EQ(s.ConversionCount, 5);
    EXPECT_EQ(s.SpeedUnitLabel, "MPH");
    EXPECT_EQ(s.StopPeriod, 10);
}

TEST_F(QtProfileStoreTest, UnwritableFolderWritesSilently) {
    // A file where the folder should be: nothing can be stored, and nothing fails loudly.
    const fs::path blocker = fs::path(root_) / "Pelmora";
    std::ofstream(blocker) << "not a folder";
    QtProfileStore store;
    store.ProfileWriteInt(kSectionSetting, "StopPeriod", 5);
    store.ProfileWriteText(kSectionSerial, "ComPort", "None");
    EXPECT_TRUE(fs::is_regular_file(blocker));
}

}  // namespace
}  // namespace pelmora
