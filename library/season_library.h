#pragma once
// The season library: every fix downloaded or imported, each once, in time order. The fixes live
// in a trace file (22-byte records, library/fixes-N.ltp) beside an SQLite index
// (library/index.sqlite) that names the current file and holds its pieces (runs split at short
// gaps, from which trips and days are joined without reading the fixes), the imports and the
// archived downloads already taken in. An import writes a new fixes file, then switches to it in
// one transaction: a kill at any point leaves the library as it was before.
//
// Thread contract: one object per thread; several objects and processes may share a folder
// (imports take SQLite's write lock for their whole run).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/progress_sink.h"
#include "core/time_value.h"
#include "core/zone_rules.h"
#include "library/sqlite_db.h"
#include "library/trip_splitter.h"

namespace pelmora {

inline constexpr const char* kLibraryFolderName = "library";
inline constexpr const char* kLibraryIndexName = "index.sqlite";
inline constexpr int kLibrarySchemaVersion = 1;
// The stored runs split at every gap above these; trips with smaller gaps need a pass over the
// fixes.
inline constexpr TripGaps kStoredRunGaps{60, 500};

struct ImportOptions {
    std::string source;               // what was imported (a path), kept in the list of imports
    std::string archiveName;          // its name in the archive (downloads/): never taken in again
    std::optional<TimeValue> nowUtc;  // resolves the GPS week of a raw log; the clock if empty
    ProgressSink* progress = nullptr;
};

struct ImportResult {
    bool ok = false;
    std::string error;            // the cause, with the path
    std::uint64_t added = 0;      // fixes new to the library
    std::uint64_t total = 0;      // fixes in the library afterwards
    TimeValue firstAddedUtc = 0;  // the span of the new fixes, when added > 0
    TimeValue lastAddedUtc = 0;
};

class SeasonLibrary {
  public:
    // Opens the library of a data folder, creating it, or rebuilding it from the archive when
    // its files are missing or fail the integrity check; then takes in the archived downloads
    // it does not hold yet (all of them on first use). nullptr with the cause in error.
    [[nodiscard]] static std::unique_ptr<SeasonLibrary> Open(const std::string& dataFolder,
                                                             std::string& error);
    // Removes the library's files and builds it again from every archived download.
    [[nodiscard]] static std::unique_ptr<SeasonLibrary> Rebuild(const std::string& dataFolder,
                                                                std::string& error);

    // Decodes a raw log (data.log bytes) and adds its fixes that the library lacks.
    [[nodiscard]] ImportResult ImportLog(const std::string& rawPath,
                                         const ImportOptions& options = {});
    // The same for decoded fixes: a trace file of 22-byte records.
    [[nodiscard]] ImportResult ImportTrace(const std::string& tracePath,
                                           const ImportOptions& options = {});

    std::uint64_t FixCount();
    // Trips split at a time gap or a distance gap (either).
    std::vector<FixRun> Trips(TripGaps gaps);
    // Calendar days of the zone.
    std::vector<FixRun> Days(const ZoneRules& zone);
    // Every fix; fixes == 0 for an empty library.
    FixRun Whole();
    // The span of the fixes that the last import adding any added.
    std::optional<FixRun> LastAdded();

    // Writes the run's fixes as a trace file (TraceLog.ltp form), reading only them.
    [[nodiscard]] bool WriteTrace(const FixRun& run, const std::string& tracePath,
                                  std::string& error);

    const std::string& folder() const { return libraryFolder_; }

  private:
    explicit SeasonLibrary(std::string dataFolder);
    [[nodiscard]] bool OpenIndex(std::string& error);
    [[nodiscard]] bool TakeInArchive(std::string& error);
    std::vector<FixRun> StoredRuns();
    std::string FixesPath();
    ImportResult Merge(const std::string& tracePath, const ImportOptions& options);

    std::string dataFolder_;
    std::string libraryFolder_;
    SqliteDb db_;
};

}  // namespace pelmora
