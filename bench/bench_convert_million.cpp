// Converts a generated 1,000,000-fix trace into the outputs and prints the wall time of each
// stage and the peak resident memory. A timed command, not a Google Benchmark loop: one run of
// this size is the figure that matters.
//   bench_convert_million [--fixes N] [--dir DIR] [--keep] [--gpx] [--time-zone NAME]
// The trace runs from 2011-03-09 for about two weeks: America/New_York changes to summer time
// on its way, so that zone measures the rules' cost at its worst along a real track.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/million_trace.h"
#include "convert/convert_pipeline.h"
#include "core/conversion_settings.h"
#include "decode/trace_fix.h"
#include "sim/track/builtin_track.h"

namespace {

using Clock = std::chrono::steady_clock;

struct QuietObserver : pelmora::ConvertObserver {
    void OnProgress(int) override {}
    void OnMessage(std::string_view text, pelmora::MessageSeverity) override {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    }
};

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// User plus system CPU seconds of this process: on a shared machine the wall time also counts
// the other processes' turns.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const char* g_zone = nullptr;  // --time-zone; none: the fixed bias of +8:00

bool Run(const std::string& dir, int conversion, const char* legend) {
    pelmora::ConvertRequest request;
    request.traceFolder = dir;
    request.outputPath = dir + "/million.kml";
    request.begin = INT64_MIN;
    request.end = INT64_MAX;
    request.settings.TimeZoneBias = 480;
    request.settings.ZoneOffset = 480 * 60;
    request.settings.GmtLabel = pelmora::GmtLabelFor(480);
    request.settings.Zone = pelmora::ZoneRules::Fixed(480 * 60);
    if (g_zone != nullptr && !pelmora::SetNamedZone(request.settings, g_zone)) {
        std::fprintf(stderr, "unknown zone %s\n", g_zone);
        return false;
    }
    request.settings.SpeedUnit = pelmora::UnitKmh;
    request.settings.SpeedUnitLabel = pelmora::SpeedUnitText(pelmora::UnitKmh);
    request.settings.StopPeriod = 10;
    request.settings.StopDistance = 5;
    request.settings.OverSpeed = 100;
    // The geoid's lookups belong to the figure, as every conversion makes them by default.
    request.settings.Heights = pelmora::HeightReference::Sea;
    request.settings.Conversion = conversion;
    request.settings.ConversionCount = pelmora::CountConversions(conversion);
    request.recordTimePeriod = 1;
    request.idText = "BENCH";
    QuietObserver observer;
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    const pelmora::ConvertResult result = pelmora::ConvertTraceLog(request, observer);
    const double seconds = Seconds(start);
    const double cpu = CpuSeconds() - cpuStart;
    std::uintmax_t bytes = 0;
    for (const std::string& path : result.written) {
        bytes += std::filesystem::file_size(path);
    }
    std::printf("%-36s wall %6.3f s  cpu %6.3f s  %6.1f MB in %zu files\n", legend, seconds, cpu,
                static_cast<double>(bytes) / 1e6, result.written.size());
    return result.ok() && result.failed.empty();
}

}  // namespace

int main(int argc, char** argv) {
    long fixes = 1000000;
    std::string dir;
    bool keep = false;
    bool gpx = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fixes") == 0 && i + 1 < argc) {
            fixes = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir = argv[++i];
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else if (std::strcmp(argv[i], "--gpx") == 0) {
            gpx = true;
        } else if (std::strcmp(argv[i], "--time-zone") == 0 && i + 1 < argc) {
            g_zone = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--fixes N] [--dir DIR] [--keep] [--gpx] [--time-zone NAME]\n",
                         argv[0]);
            return 2;
        }
    }
    bool made = false;
    if (dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "pelmora-bench-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = pattern;
        made = true;
    }
    auto start = Clock::now();
    if (!pelmora::bench::WriteMillionTrace(dir + "/TraceLog.ltp", fixes)) {
        std::perror("trace");
        return 1;
    }
    std::printf("%ld fixes in %s/TraceLog.ltp (%.3f s to generate)\n", fixes, dir.c_str(),
                Seconds(start));
    const int five = pelmora::ConvKmlPath | pelmora::ConvKmlPoint | pelmora::ConvNmea |
                     pelmora::ConvNmeaWithId | pelmora::ConvCsv;
    // A conversion with no output chosen is refused, so the cheapest row writes the CSV.
    bool ok = Run(dir, pelmora::ConvCsv, "CSV alone");
    ok = Run(dir, five, "KML path+point, NMEA, NMEA+ID, CSV") && ok;
    ok = Run(dir, pelmora::ConvKmlPath, "KML path alone") && ok;
    if (gpx) {
        ok = Run(dir, pelmora::ConvGpx, "GPX alone") && ok;
    }
    std::printf("peak resident memory: %.1f MB\n", static_cast<double>(PeakRssKb()) / 1024.0);
    if (made && !keep) {
        std::filesystem::remove_all(dir);
    }
    return ok ? 0 : 1;
}
