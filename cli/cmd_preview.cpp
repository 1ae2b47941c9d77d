// pelmora-cli preview: the track view's map and chart for a period, drawn offscreen into a PNG.
// The only command that needs Qt's painting, so it lives beside the view and not in cli/.
#include <QApplication>
#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/library_choice.h"
#include "cli/zone_options.h"
#include "convert/track_model.h"
#include "core/app_paths.h"
#include "core/convert_texts.h"
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

int RunPreview(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    for (const char* option : {"--output", "--width", "--height", "--begin", "--end"}) {
        parser.Value(option);
    }
    AddZoneOptions(parser);
    AddLibraryChoiceOptions(parser);
    parser.Parse();
    if (!parser.Has("--output")) {
        throw UsageError("--output PNG is required");
    }
    const int width = static_cast<int>(parser.GetIntOr("--width", 1024, 64, 8192));
    const int height = static_cast<int>(parser.GetIntOr("--height", 768, 64, 8192));

    TrackViewOptions options;
    ConversionSettings& s = options.settings;
    s = LoadProfileSettings();
    ApplyZoneOptions(parser, s);
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
    std::string folder = DataDir(parser);
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

    TrackModel model;
    switch (LoadTrackModel(folder, options, model)) {
        case TraceReadStatus::Ok:
            break;
        case TraceReadStatus::OpenFailed:
            return Fail(std::string(convert_text::kOpenTraceFailed) + " (no " +
                        JoinPath(folder, kTraceLogName) + ": run pelmora-cli decode first)");
        case TraceReadStatus::Invalid:
            return Fail(convert_text::kTraceInvalid);
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
    // Written beside the target and renamed into place: no half-written picture is left.
    QSaveFile file(QString::fromStdString(*parser.Get("--output")));
    QImageWriter writer(&file, "png");
    if (!file.open(QIODevice::WriteOnly) || !writer.write(image) || !file.commit()) {
        const QString why =
            file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        return Fail(*parser.Get("--output") + ": " + why.toStdString());
    }
    return kExitSuccess;
}

const CommandRegistrar kPreview{
    "preview",
    "preview --output PNG [--data-dir DIR] [--width W] [--height H] [--begin 'YYYY-MM-DD "
    "HH:MM:SS'] [--end '...'] [--tz-bias MINUTES | --time-zone NAME|local] "
    "[--trip N | --day YYYY-MM-DD | --library | --new] [--gap-minutes M] [--gap-km K]",
    "draw the track view's map and speed chart of the period into a PNG, offscreen", RunPreview};

}  // namespace
}  // namespace pelmora::cli
