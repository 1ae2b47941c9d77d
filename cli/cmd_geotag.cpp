// pelmora-cli geotag: photos tagged with the decoded trace's position at the time each was taken.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/height_option.h"
#include "cli/zone_options.h"
#include "core/app_paths.h"
#include "geotag/geotag_job.h"
#include "geotag/photo_list.h"
#include "geotag/photo_tags.h"

namespace pelmora::cli {
namespace {

// "2026-12-08 14:03:22.500+03:00": the camera's clock, in its own zone when it has one.
std::string CameraText(const PhotoPlan& plan) {
    std::string text = FormatMillis(plan.camera.local * 1000 + plan.camera.millis);
    if (plan.camera.offsetSeconds) {
        text += FormatOffset(*plan.camera.offsetSeconds);
    }
    return text;
}

std::string PositionText(const TrackPosition& p) {
    char text[96];
    std::snprintf(text, sizeof text, "%.7f %.7f %.1f m", p.latitude, p.longitude, p.altitude);
    return text;
}

std::int64_t OffsetFromOptions(const ArgParser& parser) {
    if (parser.Has("--offset") && parser.Has("--sync")) {
        throw UsageError("give either --offset or --sync");
    }
    if (parser.Has("--offset")) {
        // A year either way is more than any camera's clock is off.
        return *parser.GetInt("--offset", -366LL * 86400, 366LL * 86400) * 1000;
    }
    if (!parser.Has("--sync")) {
        return 0;
    }
    const std::string sync = *parser.Get("--sync");
    const std::size_t equals = sync.rfind('=');
    TimeValue trueLocal = 0;
    std::string when = equals == std::string::npos ? std::string() : sync.substr(equals + 1);
    if (when.size() > 10 && when[10] == 'T') {
        when[10] = ' ';
    }
    if (equals == std::string::npos || equals == 0 || !ParseTimeValue(when, trueLocal)) {
        throw UsageError("--sync takes PHOTO=YYYY-MM-DDTHH:MM:SS, the local time the photo shows");
    }
    std::string error;
    const auto offset = SyncOffsetMillis(sync.substr(0, equals), trueLocal, error);
    if (!offset) {
        throw CommandFailure("--sync: " + error);
    }
    return *offset;
}

int RunGeotag(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    AddZoneOptions(parser);
    AddHeightsOption(parser);
    parser.Value("--offset").Value("--sync").Value("--max-gap");
    parser.Flag("--dry-run").Flag("--overwrite").Flag("--xmp");
    parser.Positionals(1, SIZE_MAX);
    parser.Parse();

    GeotagOptions options;
    ConversionSettings settings = LoadProfileSettings();
    ApplyZoneOptions(parser, settings);
    ApplyHeightsOption(parser, settings);
    options.zone = settings.Zone;
    options.maxGapSeconds = static_cast<double>(
        parser.GetIntOr("--max-gap", static_cast<long long>(kDefaultMaxGapSeconds), 0, 31 * 86400));
    options.dryRun = parser.Has("--dry-run");
    options.overwrite = parser.Has("--overwrite");
    options.sidecar = parser.Has("--xmp");
    InitPhotoTags();
    options.offsetMillis = OffsetFromOptions(parser);

    const std::string folder = DataDir(parser);
    std::vector<TrackPoint> fixes;
    std::string geoidProblem;
    const TraceReadStatus track = LoadTrack(folder, fixes, settings.Heights, &geoidProblem);
    if (track == TraceReadStatus::NoGeoid) {
        return Fail(geoidProblem);
    }
    if (track != TraceReadStatus::Ok) {
        return Fail("no trace to take positions from (" + JoinPath(folder, kTraceLogName) +
                    ": run pelmora-cli decode or read first)");
    }
    std::vector<std::string> problems;
    const std::vector<std::string> photos = CollectPhotos(parser.positionals(), problems);
    for (const std::string& problem : problems) {
        Warn(problem);
    }

    TerminalProgress progress("Geotag");
    int tagged = 0, left = 0, failed = static_cast<int>(problems.size());
    for (std::size_t i = 0; i < photos.size(); ++i) {
        const PhotoPlan plan = PlanPhoto(photos[i], fixes, options);
        const PhotoResult result = ApplyPlan(plan, options);
        std::string line = plan.path;
        if (plan.hasTime) {
            line += "  " + CameraText(plan) + "  " + FormatMillis(plan.utcMillis) + " UTC";
        }
        if (plan.outcome == PhotoOutcome::Tag) {
            line += "  " + PositionText(plan.position) + "  ";
            if (options.dryRun) {
                line += plan.toSidecar ? "would write " + SidecarPath(plan.path) : "would tag";
                ++tagged;
            } else if (result.written) {
                line += plan.toSidecar ? "wrote " + SidecarPath(plan.path) : "tagged";
                ++tagged;
            } else {
                line += "cannot write: " + result.error;
                ++failed;
            }
        } else {
            line += "  " + OutcomeText(plan);
            ++(plan.outcome == PhotoOutcome::Unreadable ? failed : left);
        }
        progress.Finish();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        progress.OnProgress(static_cast<int>((i + 1) * 100 / photos.size()));
    }
    progress.Finish();
    std::printf("%zu photos: %d %s, %d left as they were, %d not read or not written%s\n",
                photos.size() + problems.size(), tagged, options.dryRun ? "to tag" : "tagged", left,
                failed, options.dryRun ? " (dry run: nothing changed)" : "");
    return failed == 0 ? kExitSuccess : kExitFailure;
}

const CommandRegistrar kGeotag{
    "geotag",
    "geotag [--data-dir DIR] [--tz-bias MINUTES | --time-zone NAME|local] "
    "[--offset SECONDS | --sync PHOTO=YYYY-MM-DDTHH:MM:SS] [--max-gap SECONDS] [--dry-run] "
    "[--overwrite] [--xmp] [--heights sea|ellipsoid] PHOTO|FOLDER...",
    "tag photos with the trace's position at the time each was taken (the camera's zone from the "
    "photo, else the chosen one; --offset or --sync corrects its clock)",
    RunGeotag};

}  // namespace
}  // namespace pelmora::cli
