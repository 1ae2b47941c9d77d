#include "cli/library_choice.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "cli/cli_common.h"
#include "core/app_paths.h"
#include "core/time_value.h"

namespace pelmora::cli {
namespace {

constexpr const char* kChoices[] = {"--trip", "--day", "--library", "--new"};

bool ParseDay(const std::string& text, TimeValue& day) {
    return ParseTimeValue(text + " 00:00:00", day) && text.size() == 10;
}

}  // namespace

void AddTripGapOptions(ArgParser& parser) {
    parser.Value("--gap-minutes").Value("--gap-km");
}

TripGaps GetTripGaps(const ArgParser& parser) {
    TripGaps gaps;
    const long long profileMinutes = Profile().ProfileReadInt("Setting", "TripGapMinutes", 30);
    gaps.seconds = 60 * (profileMinutes >= 1 && profileMinutes <= 100000 ? profileMinutes : 30);
    const std::string profileKm = Profile().ProfileReadText("Setting", "TripGapKm", "2");
    char* end = nullptr;
    const double km = std::strtod(profileKm.c_str(), &end);
    gaps.metres =
        end != profileKm.c_str() && *end == '\0' && km > 0 && km <= 100000 ? km * 1000 : 2000;
    gaps.seconds = 60 * parser.GetIntOr("--gap-minutes", gaps.seconds / 60, 1, 100000);
    if (const auto text = parser.Get("--gap-km")) {
        const double k = std::strtod(text->c_str(), &end);
        if (end == text->c_str() || *end != '\0' || !(k > 0) || k > 100000) {
            throw UsageError("--gap-km takes kilometres above 0, e.g. 2 or 0.5");
        }
        gaps.metres = k * 1000;
    }
    return gaps;
}

void AddLibraryChoiceOptions(ArgParser& parser) {
    parser.Value("--trip").Value("--day").Flag("--library").Flag("--new");
    AddTripGapOptions(parser);
}

bool HasLibraryChoice(const ArgParser& parser) {
    int given = 0;
    for (const char* option : kChoices) {
        given += parser.Has(option) ? 1 : 0;
    }
    if (given > 1) {
        throw UsageError("give one of --trip, --day, --library and --new");
    }
    return given == 1;
}

std::string RunDateName(const FixRun& run, const ZoneRules& zone, bool withTime) {
    return FormatTime(zone.ToLocal(run.beginUtc), withTime ? "%Y-%m-%d-%H%M" : "%Y-%m-%d");
}

std::string IsoUtc(TimeValue utc) {
    return FormatTime(utc, "%Y-%m-%dT%H:%M:%SZ");
}

std::string IsoLocal(TimeValue utc, const ZoneRules& zone) {
    const std::int64_t offset = zone.OffsetAt(utc);
    const std::int64_t magnitude = offset < 0 ? -offset : offset;
    char zoneText[16];
    std::snprintf(zoneText, sizeof zoneText, "%c%02d:%02d", offset < 0 ? '-' : '+',
                  static_cast<int>(magnitude / 3600), static_cast<int>(magnitude % 3600 / 60));
    return FormatTime(utc + offset, "%Y-%m-%dT%H:%M:%S") + zoneText;
}

ChosenTrace::~ChosenTrace() {
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

void ChosenTrace::Write(SeasonLibrary& library, const FixRun& run) {
    std::string base = library.folder() + "/chosen-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) {
        throw CommandFailure("Cannot create a scratch folder in " + library.folder());
    }
    folder_ = base;
    std::string error;
    if (!library.WriteTrace(run, JoinPath(folder_, kTraceLogName), error)) {
        throw CommandFailure(error);
    }
    beginUtc = run.beginUtc;
    endUtc = run.endUtc;
}

std::unique_ptr<SeasonLibrary> OpenLibrary(const std::string& dataFolder) {
    std::string error;
    auto library = SeasonLibrary::Open(dataFolder, error);
    if (!library) {
        throw CommandFailure(error);
    }
    return library;
}

FixRun ChosenRun(const ArgParser& parser, SeasonLibrary& library, const ZoneRules& zone) {
    if (parser.Has("--trip")) {
        const long long n = *parser.GetInt("--trip", 1, INT32_MAX);
        const std::vector<FixRun> trips = library.Trips(GetTripGaps(parser));
        if (static_cast<std::size_t>(n) > trips.size()) {
            throw CommandFailure("The library has " + std::to_string(trips.size()) +
                                 " trips, no trip " + std::to_string(n) +
                                 " (pelmora-cli trips lists them)");
        }
        return trips[static_cast<std::size_t>(n - 1)];
    }
    if (parser.Has("--day")) {
        TimeValue day = 0;
        if (!ParseDay(*parser.Get("--day"), day)) {
            throw UsageError("--day takes a date YYYY-MM-DD");
        }
        for (const FixRun& run : library.Days(zone)) {
            if (LocalDay(zone, run.beginUtc) == day / 86400) {
                return run;
            }
        }
        throw CommandFailure("The library holds no fix on " + *parser.Get("--day") +
                             " (pelmora-cli trips --by day lists the days)");
    }
    if (parser.Has("--new")) {
        if (const std::optional<FixRun> added = library.LastAdded()) {
            return *added;
        }
        throw CommandFailure("No Read or import has added fixes to the library yet");
    }
    const FixRun whole = library.Whole();
    if (whole.fixes == 0) {
        throw CommandFailure("The library is empty (pelmora-cli import adds logs)");
    }
    return whole;
}

}  // namespace pelmora::cli
