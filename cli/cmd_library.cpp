// pelmora-cli import, trips and library: the season library from the command line.
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/library_choice.h"
#include "cli/zone_options.h"
#include "core/app_paths.h"
#include "library/download_archive.h"
#include "library/season_library.h"

namespace pelmora::cli {
namespace {

int RunImport(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    parser.Positionals(1, SIZE_MAX);
    parser.Parse();
    const std::string folder = DataDir(parser);
    auto library = OpenLibrary(folder);
    int status = kExitSuccess;
    for (const std::string& path : parser.positionals()) {
        // Kept in the archive first, so that a rebuild brings it back.
        std::string error;
        const ArchiveResult archived = ArchiveLogFile(folder, path, std::time(nullptr), error);
        if (!archived.ok) {
            Warn(error);
            status = kExitFailure;
            continue;
        }
        ImportOptions options;
        options.source = path;
        options.archiveName = archived.name;
        TerminalProgress progress("Import");
        options.progress = &progress;
        const ImportResult r = library->ImportLog(path, options);
        progress.Finish();
        if (!r.ok) {
            Warn(r.error);
            status = kExitFailure;
            continue;
        }
        std::printf("%s: %" PRIu64 " fixes added (%" PRIu64 " in the library)\n", path.c_str(),
                    r.added, r.total);
    }
    return status;
}

const CommandRegistrar kImport{"import", "import [--data-dir DIR] FILE...",
                               "add raw logs (data.log of another computer or an older one) to "
                               "the season library; print the fixes added",
                               RunImport};

std::string Duration(TimeSpan s) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d", s / 3600,
                  static_cast<int>(s % 3600 / 60), static_cast<int>(s % 60));
    return text;
}

int RunTrips(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    AddZoneOptions(parser);
    AddTripGapOptions(parser);
    parser.Value("--by").Value("--since").Value("--until").Flag("--json");
    parser.Parse();
    const std::string by = parser.GetOr("--by", "trip");
    if (by != "trip" && by != "day") {
        throw UsageError("--by takes trip or day");
    }
    ConversionSettings settings = LoadProfileSettings();
    ApplyZoneOptions(parser, settings);
    const ZoneRules& zone = settings.Zone;
    TimeValue since = INT64_MIN, until = INT64_MAX;
    for (const auto& [option, bound] :
         {std::pair{"--since", &since}, std::pair{"--until", &until}}) {
        if (const auto text = parser.Get(option)) {
            if (text->size() != 10 || !ParseTimeValue(*text + " 00:00:00", *bound)) {
                throw UsageError(std::string(option) + " takes a date YYYY-MM-DD");
            }
            *bound /= 86400;
        }
    }
    const TripGaps gaps = GetTripGaps(parser);
    auto library = OpenLibrary(DataDir(parser));
    const std::vector<FixRun> runs = by == "day" ? library->Days(zone) : library->Trips(gaps);
    const bool json = parser.Has("--json");
    if (json) {
        std::printf("[");
    }
    bool first = true;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const FixRun& r = runs[i];
        const std::int64_t day = LocalDay(zone, r.beginUtc);
        if (day < since || day > until) {
            continue;
        }
        const double km = r.metres / 1000;
        if (json) {
            std::printf(
                "%s\n  {\"number\": %zu, %s\"begin_utc\": \"%s\", \"end_utc\": \"%s\", "
                "\"begin_local\": \"%s\", \"end_local\": \"%s\", \"seconds\": %" PRId64
                ", \"km\": %.3f, \"max_speed_kmh\": %d, \"fixes\": %" PRIu64 "}",
                first ? "" : ",", i + 1,
                by == "day" ? ("\"date\": \"" + RunDateName(r, zone, false) + "\", ").c_str() : "",
                IsoUtc(r.beginUtc).c_str(), IsoUtc(r.endUtc).c_str(),
                IsoLocal(r.beginUtc, zone).c_str(), IsoLocal(r.endUtc, zone).c_str(), r.Duration(),
                km, r.maxSpeedKmh, r.fixes);
        } else {
            std::printf("%4zu  %s  %s  %9s  %8.1f km  %4d km/h  %8" PRIu64 " fixes\n", i + 1,
                        FormatTime(zone.ToLocal(r.beginUtc), "%Y-%m-%d %H:%M:%S").c_str(),
                        FormatTime(zone.ToLocal(r.endUtc), "%Y-%m-%d %H:%M:%S").c_str(),
                        Duration(r.Duration()).c_str(), km, r.maxSpeedKmh, r.fixes);
        }
        first = false;
    }
    if (json) {
        std::printf("%s]\n", first ? "" : "\n");
    }
    return kExitSuccess;
}

const CommandRegistrar kTrips{
    "trips",
    "trips [--data-dir DIR] [--tz-bias MINUTES | --time-zone NAME|local] [--by trip|day] "
    "[--gap-minutes M] [--gap-km K] [--since YYYY-MM-DD] [--until YYYY-MM-DD] [--json]",
    "list the season's trips or days: number, local begin and end, duration, distance, maximum "
    "speed, fixes",
    RunTrips};

int RunLibrary(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    parser.Positionals(1, 3);
    parser.Parse();
    const std::vector<std::string>& words = parser.positionals();
    const std::string folder = DataDir(parser);
    if (words[0] == "rebuild" && words.size() == 1) {
        std::string error;
        auto library = SeasonLibrary::Rebuild(folder, error);
        if (!library) {
            return Fail(error);
        }
        std::printf("%" PRIu64 " fixes from %zu archived downloads\n", library->FixCount(),
                    ArchivedDownloads(folder).size());
        return kExitSuccess;
    }
    if (words[0] == "export" && words.size() == 3) {
        std::string error;
        if (!ExportArchivedDownload(folder, words[1], words[2], error)) {
            return Fail(error);
        }
        return kExitSuccess;
    }
    throw UsageError("library takes rebuild, or export NAME OUT");
}

const CommandRegistrar kLibrary{
    "library", "library rebuild|export NAME OUT [--data-dir DIR]",
    "rebuild the season library from the archive, or write an archived download out whole",
    RunLibrary};

}  // namespace
}  // namespace pelmora::cli
