// The season library at scale: a raw log of 6 million fixes (one a second, a 45-minute stop every
// 40 minutes) imported into an empty library, imported again (adding nothing), its trips, and the
// trace of one trip. For the choice of where fixes live, the same fixes as rows of an SQLite
// table keyed by slot and position. Files go to a scratch folder (tmpfs when /dev/shm exists).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "library/season_library.h"
#include "sim/track/raw_record_encoder.h"

namespace {

constexpr long kFixes = 6'000'000;

std::string Scratch() {
    const std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return base + "/pelmora-bench-library-" + std::to_string(getpid());
}

bool WriteRawLog(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    pelmora::RawTrackEncoder encoder;
    pelmora::TrackFix fix;
    fix.utc = pelmora::MakeTimeValue(2025, 6, 1, 8, 0, 0);
    fix.x = 4177000;
    fix.y = 850000;
    fix.z = 4727000;
    for (long i = 0; i < kFixes; ++i) {
        fix.utc += i % 2400 == 2399 ? 2700 : 1;
        fix.forceFull = i % 2400 == 2399;
        fix.x += static_cast<std::int32_t>(i % 7) - 3;
        fix.y += static_cast<std::int32_t>(i % 11) - 5 + 15;
        fix.z += static_cast<std::int32_t>(i % 5) - 2;
        fix.speedKmh = static_cast<int>(i % 90);
        const pelmora::RawRecord r = encoder.Add(fix);
        std::fwrite(r.data(), 1, r.size(), f);
    }
    return std::fclose(f) == 0;
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_LibraryImport(benchmark::State& state) {
    const std::string folder = Scratch();
    std::filesystem::create_directories(folder);
    const std::string raw = folder + "/big.log";
    if (!WriteRawLog(raw)) {
        state.SkipWithError("cannot write the raw log");
        return;
    }
    pelmora::ImportOptions options;
    options.nowUtc = pelmora::MakeTimeValue(2026, 12, 1, 0, 0, 0);
    for (auto _ : state) {
        std::string error;
        auto library = pelmora::SeasonLibrary::Open(folder, error);
        if (!library) {
            state.SkipWithError(error.c_str());
            break;
        }
        auto start = std::chrono::steady_clock::now();
        const pelmora::ImportResult first = library->ImportLog(raw, options);
        state.counters["import_s"] = Seconds(start);
        state.counters["import_peak_rss_MiB"] = PeakRssMiB();
        state.counters["fixes"] = static_cast<double>(first.added);
        start = std::chrono::steady_clock::now();
        const pelmora::ImportResult again = library->ImportLog(raw, options);
        state.counters["reimport_s"] = Seconds(start);
        state.counters["reimport_added"] = static_cast<double>(again.added);
        start = std::chrono::steady_clock::now();
        const std::vector<pelmora::FixRun> trips = library->Trips({});
        state.counters["trips_s"] = Seconds(start);
        state.counters["trips"] = static_cast<double>(trips.size());
        start = std::chrono::steady_clock::now();
        const auto days = library->Days(*pelmora::ZoneRules::Named("Europe/Berlin"));
        state.counters["days_s"] = Seconds(start);
        start = std::chrono::steady_clock::now();
        if (!trips.empty() &&
            !library->WriteTrace(trips[trips.size() / 2], folder + "/t.ltp", error)) {
            state.SkipWithError(error.c_str());
        }
        state.counters["one_trip_trace_s"] = Seconds(start);
        benchmark::DoNotOptimize(days);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LibraryImport)->Iterations(1)->Unit(benchmark::kSecond);

// The alternative: each fix a row, its identity a unique key, one transaction.
void BM_FixesAsSqliteRows(benchmark::State& state) {
    const std::string folder = Scratch() + "-sql";
    std::filesystem::create_directories(folder);
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open((folder + "/rows.sqlite").c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA journal_mode=WAL; CREATE TABLE fixes(slot INTEGER, x INTEGER, y "
                     "INTEGER, z INTEGER, rest BLOB, UNIQUE(slot, x, y, z)); BEGIN",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO fixes VALUES (?, ?, ?, ?, ?)", -1, &insert,
                           nullptr);
        const unsigned char rest[6] = {};
        for (long i = 0; i < kFixes; ++i) {
            sqlite3_bind_int64(insert, 1, i * 2);
            sqlite3_bind_int64(insert, 2, 4177000 + i % 7);
            sqlite3_bind_int64(insert, 3, 850000 + i);
            sqlite3_bind_int64(insert, 4, 4727000);
            sqlite3_bind_blob(insert, 5, rest, sizeof rest, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        state.counters["file_MiB"] =
            static_cast<double>(std::filesystem::file_size(folder + "/rows.sqlite")) / 1048576.0;
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FixesAsSqliteRows)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
