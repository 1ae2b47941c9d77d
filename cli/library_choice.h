#pragma once
// What convert and preview read instead of the current trace: a trip, a day, the whole season or
// the last Read's new fixes from the library (--trip N, --day YYYY-MM-DD, --library, --new). The
// chosen fixes are written to a scratch folder as a trace, so the conversion reads only them.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "core/zone_rules.h"
#include "library/season_library.h"

namespace pelmora::cli {

// --gap-minutes M, --gap-km K (default the profile's Setting/TripGapMinutes, TripGapKm).
void AddTripGapOptions(ArgParser& parser);
TripGaps GetTripGaps(const ArgParser& parser);

void AddLibraryChoiceOptions(ArgParser& parser);
// True when one of --trip, --day, --library, --new is given (UsageError for more than one).
bool HasLibraryChoice(const ArgParser& parser);

// "2024-05-18" for a day's local begin; "2024-05-18-0942" for a trip's.
std::string RunDateName(const FixRun& run, const ZoneRules& zone, bool withTime);
// A run's local time as "2024-05-18T09:42:10+02:00".
std::string IsoLocal(TimeValue utc, const ZoneRules& zone);
std::string IsoUtc(TimeValue utc);

// A scratch folder holding TraceLog.ltp of the chosen fixes; removed with the object.
class ChosenTrace {
  public:
    ChosenTrace() = default;
    ~ChosenTrace();
    ChosenTrace(const ChosenTrace&) = delete;
    ChosenTrace& operator=(const ChosenTrace&) = delete;

    const std::string& folder() const { return folder_; }
    TimeValue beginUtc = 0;
    TimeValue endUtc = 0;

    // Writes the run's fixes; throws CommandFailure with the cause.
    void Write(SeasonLibrary& library, const FixRun& run);

  private:
    std::string folder_;
};

// Opens the data folder's library; throws CommandFailure with the cause.
std::unique_ptr<SeasonLibrary> OpenLibrary(const std::string& dataFolder);

// The run the options choose; throws CommandFailure when the library has no such trip or day.
FixRun ChosenRun(const ArgParser& parser, SeasonLibrary& library, const ZoneRules& zone);

}  // namespace pelmora::cli
