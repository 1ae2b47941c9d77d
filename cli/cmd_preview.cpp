// pelmora-cli preview: the track view's map and chart for a period, drawn offscreen into a PNG.
// The only command that needs Qt's painting, so it lives beside the view and not in cli/.
#include <sys/stat.h>

#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/height_option.h"
#include "cli/library_choice.h"
#include "cli/output_guard.h"
#include "cli/zone_options.h"
#include "convert/track_model.h"
#include "core/app_paths.h"
#include "core/atomic_file.h"
#include "core/convert_texts.h"
#include "core/regular_file.h"
#include "decode/trace_fix.h"
#include "ui/preview.h"
#include "ui/tile_source.h"

namespace pelmora::cli {
namespace {

TimeValue LocalTimeOption(const ArgParser& parser, const std::string& option) {
    TimeValue t = 0;
    if (!ParseTimeValue(*parser.Get(option), t)) {
        throw UsageError(option + " takes a local time 'YYYY-MM-DD HH:MM:SS'");
    }
    return t;
}

int DrawPreview(const std::string& folder, const std::string& output, TrackViewOptions& options,
                TimeValue begin, TimeValue end, int width, int height);

int RunPreview(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    for (const char* option : {"--output", "--width", "--height", "--begin", "--end"}) {
        parser.Value(option);
    }
    AddZoneOptions(parser);
    AddHeightsOption(parser);
    AddLibraryChoiceOptions(parser);
    parser.Parse();
    if (!parser.Has("--output")) {
        throw UsageError("--output PNG is required");
    }
    if (parser.Get("--output")->empty()) {
        throw UsageError("--output needs a file name");
    }
    const int width = static_cast<int>(parser.GetIntOr("--width", 1024, 64, 8192));
    const int height = static_cast<int>(parser.GetIntOr("--height", 768, 64, 8192));

    TrackViewOptions options;
    ConversionSettings& s = options.settings;
    s = LoadProfileSettings();
    ApplyZoneOptions(parser, s);
    ApplyHeightsOption(parser, s);
    // Local times of the zone, mapped to UTC by its rules as convert does.
    TimeValue begin = INT64_MIN;
    TimeValue end = INT64_MAX;
    if (parser.Has("--begin")) {
        begin = s.Zone.ToUtc(LocalTimeOption(parser, "--begin"));
    }
    if (parser.Has("--end")) {
        end = s.Zone.ToUtc(LocalTimeOption(parser, "--end"));
    }
    if (begin > end) {
        return Fail("Wrong Convert Time");
    }
    const std::string dataFolder = DataDir(parser);
    // Only a PNG name, never one of the data folder's files or something not a regular file.
    const std::string output = WithExtension(*parser.Get("--output"), ".png");
    for (const std::string& path : {*parser.Get("--output"), output}) {
        if (const std::string problem = OutputProblem(path, dataFolder); !problem.empty()) {
            return Fail(problem);
        }
    }
    std::string folder = dataFolder;
    // A trip, a day, the season or the last Read's new fixes: only those are read.
    ChosenTrace chosen;
    if (HasLibraryChoice(parser)) {
        auto library = OpenLibrary(folder);
        const FixRun run = ChosenRun(parser, *library, s.Zone);
        chosen.Write(*library, run);
        folder = chosen.folder();
        begin = std::max(begin, run.beginUtc);
        end = std::min(end, run.endUtc);
        if (begin > end) {
            return Fail(convert_text::kNoLogData);
        }
    }
    try {
        return DrawPreview(folder, output, options, begin, end, width, height);
    } catch (const std::bad_alloc&) {
        struct stat st {};
        const std::string trace = JoinPath(folder, kTraceLogName);
        const long long fixes = ::stat(trace.c_str(), &st) == 0
                                    ? static_cast<long long>(st.st_size / kTraceFixSize)
                                    : 0;
        return Fail("out of memory drawing the " + std::to_string(fixes) + " fixes of " + trace +
                    ": choose a shorter period with --begin and --end");
    }
}

int DrawPreview(const std::string& folder, const std::string& output, TrackViewOptions& options,
                TimeValue begin, TimeValue end, int width, int height) {
    TrackModel model;
    std::string problem;
    switch (LoadTrackModel(folder, options, model, nullptr, &problem)) {
        case TraceReadStatus::Ok:
            break;
        case TraceReadStatus::OpenFailed:
            return Fail(std::string(convert_text::kOpenTraceFailed) + " (no " +
                        JoinPath(folder, kTraceLogName) + ": run pelmora-cli decode first)");
        case TraceReadStatus::Invalid:
            return Fail(convert_text::kTraceInvalid);
        case TraceReadStatus::NoGeoid:
            return Fail(problem);
        default:
            return Fail(convert_text::kNoLogData);
    }
    const IndexRange period = model.PeriodRange(begin, end);
    if (period.empty()) {
        return Fail(convert_text::kNoLogData);
    }

    // Scripts run this without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "pelmora-cli";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // Tiles already in the cache show; a script never waits on the network.
    TileSettings tiles = LoadTileSettings(Profile());
    tiles.fetch = false;
    TileSource source(tiles);
    const QImage image = RenderPreview(model, period, QSize(width, height), &source);
    // Encoded in memory, then written beside the target under the very bytes it was given (a
    // QString would turn a byte that is not UTF-8 into U+FFFD) and renamed into place.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        return Fail(output + ": " + writer.errorString().toStdString());
    }
    // Written beside the target and renamed into place: no half-written picture is left, and
    // a signal removes the temporary.
    AtomicFile file;
    if (!file.Open(output) || !file.Write(png.constData(), static_cast<std::size_t>(png.size())) ||
        !file.Commit()) {
        const std::string kind = NotRegularProblem(output);
        return Fail(kind.empty() ? output + ": " + std::strerror(errno) : kind);
    }
    return kExitSuccess;
}

const CommandRegistrar kPreview{
    "preview",
    "preview --output PNG [--data-dir DIR] [--width W] [--height H] [--begin 'YYYY-MM-DD "
    "HH:MM:SS'] [--end '...'] [--tz-bias MINUTES | --time-zone NAME|local] "
    "[--trip N | --day YYYY-MM-DD | --library | --new] [--gap-minutes M] [--gap-km K] "
    "[--heights sea|ellipsoid]",
    "draw the track view's map and speed chart of the period into a PNG, offscreen", RunPreview};

}  // namespace
}  // namespace pelmora::cli
