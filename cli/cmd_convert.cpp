// pelmora-cli convert: the decoded trace into the chosen outputs, with the profile's conversion
// settings; options override them for this run only and are never written back.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/height_option.h"
#include "cli/library_choice.h"
#include "cli/output_guard.h"
#include "cli/zone_options.h"
#include "convert/convert_paths.h"
#include "convert/convert_pipeline.h"
#include "core/app_paths.h"
#include "core/clean_text.h"
#include "core/conversion_settings.h"
#include "core/convert_texts.h"
#include "core/time_value.h"

namespace pelmora::cli {
namespace {

struct FormatName {
    const char* name;
    int bit;
};

constexpr FormatName kFormats[] = {
    {"kml-path", ConvKmlPath}, {"kml-point", ConvKmlPoint},
    {"nmea", ConvNmea},        {"nmea-id", ConvNmeaWithId},
    {"csv", ConvCsv},          {"gpx", ConvGpx},
};

int ParseFormats(const std::string& list) {
    int bits = 0;
    std::stringstream words(list);
    std::string word;
    while (std::getline(words, word, ',')) {
        bool known = false;
        for (const FormatName& f : kFormats) {
            if (word == f.name) {
                bits |= f.bit;
                known = true;
            }
        }
        if (!known) {
            throw UsageError("unknown format '" + word +
                             "' (kml-path, kml-point, nmea, nmea-id, csv, gpx)");
        }
    }
    return bits;
}

int ParseSpeedUnit(const std::string& text) {
    if (text == "mps")
        return UnitMps;
    if (text == "kmh")
        return UnitKmh;
    if (text == "mph")
        return UnitMph;
    throw UsageError("--speed-unit takes mps, kmh or mph");
}

// With no output type in the profile and no --formats, the output's name says what it wants.
int FormatOfExtension(const std::string& output) {
    const std::string ext = std::filesystem::path(output).extension().string();
    for (const auto& [name, bit] :
         {std::pair{".kml", int{ConvKmlPath}}, std::pair{".gpx", int{ConvGpx}},
          std::pair{".csv", int{ConvCsv}}, std::pair{".txt", int{ConvNmea}}}) {
        if (ext == name) {
            return bit;
        }
    }
    return 0;
}

// "DIR/NAME-2024-05-18.kml" for "DIR/NAME.kml".
std::string EachOutput(const std::string& output, const std::string& date) {
    const std::filesystem::path path(output);
    return (path.parent_path() / (path.stem().string() + "-" + date + path.extension().string()))
        .string();
}

TimeValue ParseLocalTime(const ArgParser& parser, const std::string& option) {
    TimeValue t = 0;
    if (!ParseTimeValue(*parser.Get(option), t)) {
        throw UsageError(option + " takes a local time 'YYYY-MM-DD HH:MM:SS'");
    }
    return t;
}

// Messages of the run: failures are kept for the exit status, a writer's failure is shown at
// once with the command going on.
class CommandObserver : public ConvertObserver {
  public:
    void OnProgress(int percent) override { progress_.OnProgress(percent); }
    void OnMessage(std::string_view text, MessageSeverity) override {
        progress_.Finish();
        last_ = text;
    }
    const std::string& last() const { return last_; }
    void Finish() { progress_.Finish(); }

  private:
    TerminalProgress progress_{"Convert"};
    std::string last_;
};

int ConvertOne(const ConvertRequest& request);

int RunConvert(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    for (const char* option :
         {"--output", "--begin", "--end", "--formats", "--speed-unit", "--stop-period",
          "--stop-distance", "--over-speed", "--record-time", "--record-distance", "--id"}) {
        parser.Value(option);
    }
    AddZoneOptions(parser);
    AddHeightsOption(parser);
    AddLibraryChoiceOptions(parser);
    parser.Value("--each");
    parser.Parse();
    if (!parser.Has("--output")) {
        throw UsageError("--output PATH is required");
    }
    // An empty name or a folder would give hidden files such as ".kml".
    const std::string output = *parser.Get("--output");
    std::error_code ec;
    if (OutputStem(output).empty() || std::filesystem::is_directory(output, ec)) {
        throw UsageError("--output '" + output + "' names no file");
    }

    ConvertRequest request;
    ConversionSettings& s = request.settings;
    s = LoadProfileSettings();
    ApplyZoneOptions(parser, s);
    ApplyHeightsOption(parser, s);
    if (parser.Has("--speed-unit")) {
        s.SpeedUnit = ParseSpeedUnit(*parser.Get("--speed-unit"));
        s.SpeedUnitLabel = SpeedUnitText(s.SpeedUnit);
    }
    if (parser.Has("--formats")) {
        s.Conversion = ParseFormats(*parser.Get("--formats"));
    }
    if (s.Conversion == 0) {
        s.Conversion = FormatOfExtension(output);
    }
    s.ConversionCount = CountConversions(s.Conversion);
    if (s.Conversion == 0) {
        throw UsageError(std::string(convert_text::kNoOutputChosen) +
                         " Or give --formats, or an output ending in .kml, .gpx, .csv or .txt.");
    }
    // The same ranges as the dialog and the profile.
    for (const auto& [option, range, field] :
         {std::tuple{"--stop-period", kStopPeriodRange, &s.StopPeriod},
          std::tuple{"--stop-distance", kStopDistanceRange, &s.StopDistance},
          std::tuple{"--over-speed", kOverSpeedRange, &s.OverSpeed}}) {
        *field = static_cast<std::int32_t>(parser.GetIntOr(option, *field, range.min, range.max));
    }
    request.recordTimePeriod = static_cast<int>(parser.GetIntOr("--record-time", 0, 0, 65535));
    request.recordDistance = static_cast<int>(parser.GetIntOr("--record-distance", 0, 0, 20000));
    request.idText = parser.GetOr("--id", "");
    if (const std::string problem = DeviceIdProblem(request.idText); !problem.empty()) {
        throw UsageError("--id: " + problem);
    }

    // The period is given in local time of the chosen zone, as the window shows it, and maps to
    // UTC by the zone's rules.
    request.begin = INT64_MIN;
    request.end = INT64_MAX;
    if (parser.Has("--begin")) {
        request.begin = s.Zone.ToUtc(ParseLocalTime(parser, "--begin"));
    }
    if (parser.Has("--end")) {
        request.end = s.Zone.ToUtc(ParseLocalTime(parser, "--end"));
    }
    if (request.begin > request.end) {
        return Fail("Wrong Convert Time");
    }
    request.traceFolder = DataDir(parser);
    request.outputPath = output;
    if (const std::string problem = OutputProblem(output, request.traceFolder); !problem.empty()) {
        return Fail(problem);
    }
    const bool each = parser.Has("--each");
    if (!HasLibraryChoice(parser) && !each) {
        return ConvertOne(request);
    }
    auto library = OpenLibrary(request.traceFolder);
    std::vector<FixRun> runs;
    if (each) {
        const std::string by = *parser.Get("--each");
        if (by != "trip" && by != "day") {
            throw UsageError("--each takes trip or day");
        }
        // Inside the chosen part of the library (all of it by default).
        const FixRun within = ChosenRun(parser, *library, s.Zone);
        for (const FixRun& run :
             by == "day" ? library->Days(s.Zone) : library->Trips(GetTripGaps(parser))) {
            if (run.endUtc >= within.beginUtc && run.beginUtc <= within.endUtc) {
                runs.push_back(run);
            }
        }
    } else {
        runs.push_back(ChosenRun(parser, *library, s.Zone));
    }
    int status = kExitSuccess;
    bool any = false;
    for (const FixRun& run : runs) {
        ConvertRequest one = request;
        one.begin = std::max(request.begin, run.beginUtc);
        one.end = std::min(request.end, run.endUtc);
        if (one.begin > one.end) {
            continue;
        }
        if (each) {
            one.outputPath =
                EachOutput(output, RunDateName(run, s.Zone, *parser.Get("--each") == "trip"));
        }
        ChosenTrace trace;
        trace.Write(*library, run);
        one.traceFolder = trace.folder();
        any = true;
        status = std::max(status, ConvertOne(one));
    }
    if (!any) {
        return Fail(convert_text::kNoLogData);
    }
    return status;
}

int ConvertOne(const ConvertRequest& request) {
    CommandObserver observer;
    const ConvertResult result = ConvertTraceLog(request, observer);
    observer.Finish();
    if (!result.ok()) {
        if (result.status == ConvertStatus::OpenFailed) {
            return Fail(observer.last() + " (no " + JoinPath(request.traceFolder, kTraceLogName) +
                        " or " + kTraceLogExtendedName + ": run pelmora-cli decode first)");
        }
        return Fail(observer.last().empty() ? std::string("conversion stopped") : observer.last());
    }
    for (const std::string& path : result.written) {
        std::printf("%s\n", path.c_str());
    }
    for (std::size_t i = 0; i < result.failed.size(); ++i) {
        Warn("Output file is invalid! (" + result.failed[i] + ": " +
             std::strerror(result.failedErrors[i]) + ")");
    }
    return result.failed.empty() ? kExitSuccess : kExitFailure;
}

const CommandRegistrar kConvert{
    "convert",
    "convert --output PATH [--data-dir DIR] [--begin 'YYYY-MM-DD HH:MM:SS'] [--end '...'] "
    "[--formats kml-path,kml-point,nmea,nmea-id,csv,gpx] [--speed-unit mps|kmh|mph] "
    "[--tz-bias MINUTES | --time-zone NAME|local] [--stop-period MIN] [--stop-distance N] "
    "[--over-speed N] "
    "[--record-time S] [--record-distance M] [--id TEXT] [--heights sea|ellipsoid] "
    "[--trip N | --day YYYY-MM-DD | --library | --new] [--each trip|day] [--gap-minutes M] "
    "[--gap-km K]",
    "convert DIR/TraceLog.ltp, or a trip, a day, the season or the last Read's new fixes from the "
    "library, into the chosen outputs named after PATH (NAME-YYYY-MM-DD[-HHMM] with --each); "
    "begin and end are local times in the chosen zone (default: all); heights above the sea "
    "(EGM96) unless --heights ellipsoid",
    RunConvert};

}  // namespace
}  // namespace pelmora::cli
