// pelmora-cli preview: the track view's map and chart for a period, drawn offscreen into a PNG.
// The only command that needs Qt's painting, so it lives beside the view and not in cli/.
#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/height_option.h"
#include "cli/zone_options.h"
#include "convert/track_model.h"
#include "core/app_paths.h"
#include "core/atomic_file.h"
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
    AddHeightsOption(parser);
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
    const std::string folder = DataDir(parser);

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
    const std::string output = *parser.Get("--output");
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QImageWriter writer(&png, "png");
    if (!writer.write(image)) {
        return Fail(output + ": " + writer.errorString().toStdString());
    }
    AtomicFile file;
    if (!file.Open(output) ||
        !file.Write(png.data().constData(), static_cast<std::size_t>(png.size())) ||
        !file.Commit()) {
        return Fail(output + ": " + std::strerror(errno));
    }
    return kExitSuccess;
}

const CommandRegistrar kPreview{
    "preview",
    "preview --output PNG [--data-dir DIR] [--width W] [--height H] [--begin 'YYYY-MM-DD "
    "HH:MM:SS'] [--end '...'] [--tz-bias MINUTES | --time-zone NAME|local] "
    "[--heights sea|ellipsoid]",
    "draw the track view's map and speed chart of the period into a PNG, offscreen", RunPreview};

}  // namespace
}  // namespace pelmora::cli
