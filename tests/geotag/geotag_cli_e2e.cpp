// pelmora-cli geotag on a trace with a stop gap and a handful of tiny JPEGs whose times the
// exiv2 program writes: positions against an interpolation of the decoded fixes, photos left
// alone byte for byte, times and modes kept, the camera's zone and clock error, the sidecar.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../support/cli_sandbox.h"
#include "convert/trace_reader.h"
#include "core/time_value.h"
#include "decode/geodesy.h"
#include "decode/trace_fix.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::CliSandbox;
using testing::Slurp;

// The track, UTC 2026-12-08: 10:00:00-10:02:00 every 10 s, a stop until 10:07:00, then on to
// 10:09:00. The photos are in Europe/Berlin (+01:00 in December) unless they say otherwise.
const TimeValue kStart = MakeTimeValue(2026, 12, 8, 10, 0, 0);

struct PhotoCase {
    const char* name;
    const char* dateTimeOriginal;  // empty: none
    const char* subSec;
    const char* offset;
    double utc;           // the true instant (seconds on the calendar) when tagged
    const char* outcome;  // "tagged" or the reason the line gives
};

const PhotoCase kCases[] = {
    {"on_fix.jpg", "2026:12:08 11:00:20", "", "", double(kStart + 20), "tagged"},
    // OffsetTimeOriginal wins over the chosen zone (Berlin would put it two hours later).
    {"between.jpg", "2026:12:08 13:00:45", "25", "+03:00", double(kStart + 45) + 0.25, "tagged"},
    {"no_offset.jpg", "2026:12:08 11:01:33", "", "", double(kStart + 93), "tagged"},
    {"stop_gap.jpg", "2026:12:08 11:04:30", "", "", 0, "gap of 300 s"},
    {"before.jpg", "2026:12:08 10:30:00", "", "", 0, "outside the track"},
    // Within the maximum gap after the last fix: that fix's position.
    {"just_after.jpg", "2026:12:08 11:09:30", "", "", double(kStart + 570), "tagged"},
    {"tagged.jpg", "2026:12:08 11:01:00", "", "", 0, "already tagged"},
    {"no_time.jpg", "", "", "", 0, "no time"},
};

// The slow camera (3 min 20 s behind): set by its photo of a clock that showed 11:08:00.
const PhotoCase kSlowCases[] = {
    {"clock.jpg", "2026:12:08 11:04:40", "", "", double(kStart + 480), "tagged"},
    {"late.jpg", "2026:12:08 11:05:15", "", "", double(kStart + 515), "tagged"},
};

int Sh(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

// WGS-84 geodetic to the trace's whole-metre ECEF.
void WriteFix(std::FILE* f, TimeValue t, double lat, double lon, double h) {
    const double phi = lat / kDegreesPerRadian, lambda = lon / kDegreesPerRadian;
    const double n = wgs84::kA / std::sqrt(1 - wgs84::kE2 * std::sin(phi) * std::sin(phi));
    const CalendarFields c = BreakTimeValue(t);
    ASSERT_TRUE(WriteTraceFix(f, c.year, c.month, c.day, c.hour, c.minute, float(c.second),
                              std::int32_t(std::lround((n + h) * std::cos(phi) * std::cos(lambda))),
                              std::int32_t(std::lround((n + h) * std::cos(phi) * std::sin(lambda))),
                              std::int32_t(std::lround((n * (1 - wgs84::kE2) + h) * std::sin(phi))),
                              20));
}

void MakePhoto(const std::string& base, const std::string& path, const PhotoCase& c) {
    fs::copy_file(base, path);
    std::string command = "exiv2";
    if (*c.dateTimeOriginal) {
        command += std::string(" -M'set Exif.Photo.DateTimeOriginal ") + c.dateTimeOriginal + "'";
    }
    if (*c.subSec) {
        command += std::string(" -M'set Exif.Photo.SubSecTimeOriginal ") + c.subSec + "'";
    }
    if (*c.offset) {
        command += std::string(" -M'set Exif.Photo.OffsetTimeOriginal ") + c.offset + "'";
    }
    if (std::string(c.name) == "tagged.jpg") {
        command +=
            " -M'set Exif.GPSInfo.GPSLatitudeRef N' -M'set Exif.GPSInfo.GPSLatitude 1/1 2/1 3/1'";
    }
    if (command != "exiv2") {
        ASSERT_EQ(Sh(command + " '" + path + "'"), 0) << command;
    }
    // An old time and a private mode, both to be kept.
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
}

// "key value" lines of the GPS tags, as the exiv2 program prints them unformatted.
std::map<std::string, std::string> Exiv2Gps(const std::string& path) {
    std::map<std::string, std::string> tags;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(
        popen(("exiv2 -g Exif.GPSInfo -Pkv '" + path + "' 2>/dev/null").c_str(), "r"), pclose);
    char line[512];
    while (pipe && std::fgets(line, sizeof line, pipe.get())) {
        std::istringstream in(line);
        std::string key, value;
        in >> key;
        std::getline(in >> std::ws, value);
        tags[key.substr(key.rfind('.') + 1)] = value;
    }
    return tags;
}

double Rationals(const std::string& text, int count) {
    std::istringstream in(text);
    double sum = 0, scale = 1;
    for (int i = 0; i < count; ++i) {
        long long n = 0, d = 1;
        char slash = 0;
        in >> n >> slash >> d;
        sum += double(n) / double(d) / scale;
        scale *= 60;
    }
    return sum;
}

struct Expected {
    double lat, lon, alt;
};

// Straight between the decoded fixes around t: at these steps a line and the great circle part
// by millimetres. After the track: its last fix.
Expected Interpolate(const std::vector<TrackPoint>& fixes, double t) {
    if (t >= double(fixes.back().time)) {
        return {fixes.back().latitude, fixes.back().longitude, fixes.back().height};
    }
    for (std::size_t i = 0; i + 1 < fixes.size(); ++i) {
        const TrackPoint& a = fixes[i];
        const TrackPoint& b = fixes[i + 1];
        if (double(a.time) <= t && t <= double(b.time)) {
            const double f = (t - double(a.time)) / double(b.time - a.time);
            return {a.latitude + f * (b.latitude - a.latitude),
                    a.longitude + f * (b.longitude - a.longitude),
                    a.height + f * (b.height - a.height)};
        }
    }
    ADD_FAILURE() << "no fixes around " << t;
    return {};
}

class GeotagCli : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        box_ = new CliSandbox;
        const std::string home = box_->Home();
        fs::create_directories(home + "/data");
        fs::create_directories(home + "/photos");
        fs::create_directories(home + "/slow");
        fs::create_directories(home + "/side");
        std::FILE* f = std::fopen((home + "/data/TraceLog.ltp").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (int s = 0; s <= 540; s += 10) {
            if (s > 120 && s < 420) {
                continue;  // the stop
            }
            WriteFix(f, kStart + s, 52.5 + s * 0.00004, 13.4 + s * 0.00006, 100 + s * 0.5);
        }
        std::fclose(f);
        TraceReadOptions options;
        options.begin = INT64_MIN;
        options.end = INT64_MAX;
        fixes_ = new std::vector<TrackPoint>;
        ASSERT_EQ(ReadTraceLog(home + "/data", options, *fixes_, nullptr), TraceReadStatus::Ok);

        const std::string base = home + "/base.jpg";
        ASSERT_EQ(Sh("convert -size 8x8 xc:gray '" + base + "'"), 0) << "ImageMagick's convert";
        for (const PhotoCase& c : kCases) {
            MakePhoto(base, home + "/photos/" + c.name, c);
        }
        for (const PhotoCase& c : kSlowCases) {
            MakePhoto(base, home + "/slow/" + c.name, c);
        }
        MakePhoto(base, home + "/side/side.jpg", kCases[2]);
        std::FILE* broken = std::fopen((home + "/photos/broken.jpg").c_str(), "wb");
        std::fputs("not a photo", broken);
        std::fclose(broken);

        before_ = new std::map<std::string, std::string>;
        for (const auto& entry : fs::directory_iterator(home + "/photos")) {
            (*before_)[entry.path().filename().string()] = Slurp(entry.path().string());
        }
        const std::string common =
            "geotag --data-dir '" + home + "/data' --time-zone Europe/Berlin ";
        dryRun_ = new CliRun(box_->Run(common + "--dry-run '" + home + "/photos'"));
        dryRunBytes_ = new std::map<std::string, std::string>;
        for (const auto& entry : fs::directory_iterator(home + "/photos")) {
            (*dryRunBytes_)[entry.path().filename().string()] = Slurp(entry.path().string());
        }
        run_ = new CliRun(box_->Run(common + "'" + home + "/photos'"));
        slow_ = new CliRun(box_->Run(common + "--sync '" + home +
                                     "/slow/clock.jpg=2026-12-08T11:08:00' '" + home + "/slow'"));
        side_ = new CliRun(box_->Run(common + "--xmp '" + home + "/side/side.jpg'"));
    }
    static void TearDownTestSuite() {
        delete box_;
        delete fixes_;
        delete before_;
        delete dryRunBytes_;
        delete dryRun_;
        delete run_;
        delete slow_;
        delete side_;
    }

    static std::string Photo(const std::string& folder, const char* name) {
        return box_->Home() + "/" + folder + "/" + name;
    }

    // The line of a photo in a run's output.
    static std::string LineOf(const CliRun& run, const char* name) {
        std::istringstream lines(run.out);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.find(std::string("/") + name + "  ") != std::string::npos) {
                return line;
            }
        }
        return {};
    }

    static void ExpectTags(const std::string& path, double utc) {
        const auto tags = Exiv2Gps(path);
        const Expected e = Interpolate(*fixes_, utc);
        const double lat = Rationals(tags.at("GPSLatitude"), 3);
        const double lon = Rationals(tags.at("GPSLongitude"), 3);
        EXPECT_EQ(tags.at("GPSLatitudeRef"), "N");
        EXPECT_EQ(tags.at("GPSLongitudeRef"), "E");
        EXPECT_LT(GreatCircleDistance(lat, lon, e.lat, e.lon), 1.0) << path;
        EXPECT_NEAR(Rationals(tags.at("GPSAltitude"), 1), e.alt, 1.0) << path;
        EXPECT_EQ(tags.at("GPSAltitudeRef"), "0");
        const auto day = BreakTimeValue(TimeValue(utc));
        char date[16];
        std::snprintf(date, sizeof date, "%04d:%02d:%02d", day.year, day.month, day.day);
        EXPECT_EQ(tags.at("GPSDateStamp"), date);
        const double seconds =
            Rationals(tags.at("GPSTimeStamp"), 1) * 3600 +
            Rationals(tags.at("GPSTimeStamp").substr(tags.at("GPSTimeStamp").find(' ') + 1), 2) *
                60;
        EXPECT_NEAR(double(MakeTimeValue(day.year, day.month, day.day, 0, 0, 0)) + seconds, utc,
                    1.0)
            << path;
        EXPECT_EQ(tags.at("GPSMapDatum"), "WGS-84");
        EXPECT_EQ(tags.at("GPSVersionID"), "2 3 0 0");
    }

    static CliSandbox* box_;
    static std::vector<TrackPoint>* fixes_;
    static std::map<std::string, std::string>* before_;
    static std::map<std::string, std::string>* dryRunBytes_;
    static CliRun* dryRun_;
    static CliRun* run_;
    static CliRun* slow_;
    static CliRun* side_;
};

CliSandbox* GeotagCli::box_ = nullptr;
std::vector<TrackPoint>* GeotagCli::fixes_ = nullptr;
std::map<std::string, std::string>* GeotagCli::before_ = nullptr;
std::map<std::string, std::string>* GeotagCli::dryRunBytes_ = nullptr;
CliRun* GeotagCli::dryRun_ = nullptr;
CliRun* GeotagCli::run_ = nullptr;
CliRun* GeotagCli::slow_ = nullptr;
CliRun* GeotagCli::side_ = nullptr;

TEST_F(GeotagCli, EachPhotoTaggedAsTheTrackSaysOrLeftByteForByte) {
    EXPECT_EQ(run_->status, 1) << "broken.jpg is not a photo\n" << run_->out << run_->err;
    EXPECT_NE(LineOf(*run_, "broken.jpg").find("cannot read"), std::string::npos) << run_->out;
    EXPECT_NE(run_->out.find("9 photos: 4 tagged, 4 left as they were, 1 not read or not written"),
              std::string::npos)
        << run_->out;
    for (const PhotoCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string line = LineOf(*run_, c.name);
        EXPECT_NE(line.find(std::string("  ") + c.outcome), std::string::npos) << line;
        if (std::string(c.outcome) == "tagged") {
            ExpectTags(Photo("photos", c.name), c.utc);
        } else {
            EXPECT_TRUE(Slurp(Photo("photos", c.name)) == before_->at(c.name));
        }
    }
}

TEST_F(GeotagCli, DryRunChangesNoByte) {
    EXPECT_EQ(dryRun_->status, 1) << dryRun_->out;
    EXPECT_NE(LineOf(*dryRun_, "on_fix.jpg").find("would tag"), std::string::npos) << dryRun_->out;
    EXPECT_TRUE(*dryRunBytes_ == *before_);
}

TEST_F(GeotagCli, TimesAndModesKept) {
    for (const char* folder : {"photos", "slow", "side"}) {
        for (const auto& entry : fs::directory_iterator(box_->Home() + "/" + folder)) {
            if (entry.path().filename() == "broken.jpg" || entry.path().extension() == ".xmp") {
                continue;
            }
            struct stat st {};
            ASSERT_EQ(stat(entry.path().c_str(), &st), 0);
            EXPECT_EQ(st.st_mtim.tv_sec, 1000000000) << entry.path();
            EXPECT_EQ(st.st_mode & 0777, 0640u) << entry.path();
        }
    }
}

TEST_F(GeotagCli, SlowCameraSetByItsPhotoOfAClock) {
    EXPECT_EQ(slow_->status, 0) << slow_->out << slow_->err;
    for (const PhotoCase& c : kSlowCases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(LineOf(*slow_, c.name).find("tagged"), std::string::npos) << slow_->out;
        ExpectTags(Photo("slow", c.name), c.utc);
    }
}

TEST_F(GeotagCli, XmpSidecarInsteadOfThePhoto) {
    EXPECT_EQ(side_->status, 0) << side_->out << side_->err;
    EXPECT_TRUE(Slurp(Photo("side", "side.jpg")) == before_->at("no_offset.jpg"));
    const std::string xmp = Slurp(Photo("side", "side.xmp"));
    EXPECT_NE(xmp.find("exif:GPSLatitude="), std::string::npos) << xmp;
}

// exiftool, an independent reader, finds the same positions in the photos and the sidecar.
TEST_F(GeotagCli, ExiftoolReadsTheSameTags) {
    if (Sh("exiftool -ver") != 0) {
        GTEST_SKIP() << "exiftool is not installed";
    }
    struct Read {
        const char* folder;
        const char* name;
        double utc;
    };
    for (const Read& r :
         {Read{"photos", "between.jpg", kCases[1].utc}, Read{"slow", "late.jpg", kSlowCases[1].utc},
          Read{"side", "side.xmp", kCases[2].utc}}) {
        SCOPED_TRACE(r.name);
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(
            popen(("exiftool -n -p '$GPSLatitude $GPSLongitude $GPSAltitude' '" +
                   Photo(r.folder, r.name) + "' 2>/dev/null")
                      .c_str(),
                  "r"),
            pclose);
        double lat = 0, lon = 0, alt = 0;
        ASSERT_EQ(std::fscanf(pipe.get(), "%lf %lf %lf", &lat, &lon, &alt), 3);
        const Expected e = Interpolate(*fixes_, r.utc);
        EXPECT_LT(GreatCircleDistance(lat, lon, e.lat, e.lon), 1.0);
        EXPECT_NEAR(alt, e.alt, 1.0);
    }
}

}  // namespace
}  // namespace pelmora
