#pragma once
// One geotag run, shared by pelmora-cli and the window: each photo's time and position worked
// out (the plan), then the tags written for the photos that get a position (apply).
//
// Thread contract: a GeotagOptions and its zone belong to one thread; call InitPhotoTags
// (photo_tags.h) before the first plan.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/convert_point.h"
#include "core/zone_rules.h"
#include "geotag/exif_time.h"
#include "geotag/track_position.h"

namespace pelmora {

inline constexpr double kDefaultMaxGapSeconds = 60;

struct GeotagOptions {
    ZoneRules zone;                 // for photos without OffsetTimeOriginal
    std::int64_t offsetMillis = 0;  // added to the camera's time
    double maxGapSeconds = kDefaultMaxGapSeconds;
    bool overwrite = false;  // replace a position the photo has
    bool sidecar = false;    // write NAME.xmp beside every photo
    bool dryRun = false;
};

enum class PhotoOutcome {
    Tag,            // has a position to write (or was written, see PhotoResult)
    NoTime,         // no DateTimeOriginal
    OutsideTrack,   // before or after the track
    Gap,            // in a gap of the track longer than the maximum
    AlreadyTagged,  // has a position and no --overwrite
    Unreadable,     // exiv2 cannot read it
};

struct PhotoPlan {
    std::string path;
    PhotoOutcome outcome = PhotoOutcome::Unreadable;
    std::string error;  // for Unreadable
    bool hasTime = false;
    CameraTime camera;
    std::int64_t utcMillis = 0;  // corrected, when hasTime
    TrackPosition position;
    bool toSidecar = false;  // written into NAME.xmp
};

PhotoPlan PlanPhoto(const std::string& path, std::span<const TrackPoint> fixes,
                    const GeotagOptions& options);

struct PhotoResult {
    bool written = false;
    std::string error;  // a write that failed
};

// Writes the plan's position (outcome Tag, not a dry run); anything else is left alone.
[[nodiscard]] PhotoResult ApplyPlan(const PhotoPlan& plan, const GeotagOptions& options);

// The offset that makes photo's camera time read trueLocal (its local time, whole seconds).
// nullopt with error set when the photo has no readable time.
std::optional<std::int64_t> SyncOffsetMillis(const std::string& photo, TimeValue trueLocal,
                                             std::string& error);

// "no time", "outside the track", "gap of 300 s", "already tagged", or the read error.
std::string OutcomeText(const PhotoPlan& plan);

}  // namespace pelmora
