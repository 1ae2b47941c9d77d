// A folder of 500 photos (1024x768 JPEGs, one every 7 s of an hour's trace) geotagged as
// pelmora-cli geotag does it: listed, each photo's time read and placed on the track, the tags
// written through a temporary copy. Wall time, files on /tmp.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/time_value.h"
#include "decode/trace_fix.h"
#include "geotag/geotag_job.h"
#include "geotag/photo_list.h"
#include "geotag/photo_tags.h"

namespace {

using namespace pelmora;
namespace fs = std::filesystem;

constexpr int kPhotos = 500;
const TimeValue kStart = MakeTimeValue(2026, 12, 8, 10, 0, 0);

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Folder {
    std::string root = "/tmp/pelmora-bench-geotag-" + std::to_string(getpid());
    std::vector<std::string> originals;  // the photos' bytes before tagging

    Folder() {
        fs::create_directories(root + "/data");
        fs::create_directories(root + "/photos");
        // An hour's drive, a fix every 5 s (about 50 km/h north-east).
        std::FILE* f = std::fopen((root + "/data/TraceLog.ltp").c_str(), "wb");
        for (int s = 0; s <= 3600; s += 5) {
            const CalendarFields c = BreakTimeValue(kStart + s);
            WriteTraceFix(f, c.year, c.month, c.day, c.hour, c.minute, static_cast<float>(c.second),
                          3800000 + s * 3, 900000 + s * 4, 5000000 + s * 2, 50);
        }
        std::fclose(f);
        const std::string base = root + "/base.jpg";
        const std::string make = "convert -size 1024x768 plasma: -quality 85 '" + base +
                                 "' && exiv2 -M'set Exif.Photo.DateTimeOriginal 2026:12:08 "
                                 "10:00:00' '" +
                                 base + "'";
        if (std::system(make.c_str()) != 0) {
            std::fprintf(stderr, "could not make %s (ImageMagick and exiv2 needed)\n",
                         base.c_str());
            std::exit(1);
        }
        // Each copy gets its own time by rewriting the digits in place.
        const std::string bytes = Slurp(base);
        const std::size_t at = bytes.find("2026:12:08 10:00:00");
        for (int i = 0; i < kPhotos; ++i) {
            std::string copy = bytes;
            const std::string stamp = FormatTime(kStart + 3600 + 7 * i, "%Y:%m:%d %H:%M:%S");
            copy.replace(at, stamp.size(), stamp);
            originals.push_back(copy);
        }
        Restore();
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string Photo(int i) const {
        char name[32];
        std::snprintf(name, sizeof name, "/photos/IMG_%04d.jpg", i);
        return root + name;
    }
    void Restore() const {
        for (int i = 0; i < kPhotos; ++i) {
            std::ofstream(Photo(i), std::ios::binary) << originals[static_cast<std::size_t>(i)];
        }
    }
};

void BM_GeotagFolder500(benchmark::State& state) {
    Folder folder;
    InitPhotoTags();
    GeotagOptions options;
    options.zone = ZoneRules::Fixed(3600);
    for (auto _ : state) {
        state.PauseTiming();
        folder.Restore();
        state.ResumeTiming();
        std::vector<TrackPoint> fixes;
        LoadTrack(folder.root + "/data", fixes);
        std::vector<std::string> problems;
        int written = 0;
        for (const std::string& photo : CollectPhotos({folder.root + "/photos"}, problems)) {
            written += ApplyPlan(PlanPhoto(photo, fixes, options), options).written ? 1 : 0;
        }
        if (written != kPhotos) {
            state.SkipWithError("not every photo was tagged");
        }
    }
    state.counters["photos_per_s"] =
        benchmark::Counter(kPhotos, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["photo_bytes"] = static_cast<double>(folder.originals[0].size());
}
BENCHMARK(BM_GeotagFolder500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
