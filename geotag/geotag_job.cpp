#include "geotag/geotag_job.h"

#include <cmath>

#include "geotag/photo_tags.h"

namespace pelmora {
namespace {

bool ReadCameraTime(const PhotoTags& tags, CameraTime& camera) {
    if (!ParseExifDateTime(tags.dateTimeOriginal, camera.local)) {
        return false;
    }
    camera.millis = ParseSubSeconds(tags.subSecTimeOriginal);
    camera.offsetSeconds = ParseExifOffset(tags.offsetTimeOriginal);
    return true;
}

}  // namespace

PhotoPlan PlanPhoto(const std::string& path, std::span<const TrackPoint> fixes,
                    const GeotagOptions& options) {
    PhotoPlan plan;
    plan.path = path;
    const PhotoTags tags = ReadPhotoTags(path);
    if (!tags.readable) {
        plan.error = tags.error;
        return plan;
    }
    plan.toSidecar = options.sidecar || !tags.writableInPlace;
    plan.hasTime = ReadCameraTime(tags, plan.camera);
    if (!plan.hasTime) {
        plan.outcome = PhotoOutcome::NoTime;
        return plan;
    }
    plan.utcMillis = PhotoUtcMillis(plan.camera, options.offsetMillis, options.zone);
    plan.position =
        LocateOnTrack(fixes, static_cast<double>(plan.utcMillis) / 1000.0, options.maxGapSeconds);
    switch (plan.position.placement) {
        case Placement::OutsideTrack:
            plan.outcome = PhotoOutcome::OutsideTrack;
            return plan;
        case Placement::Gap:
            plan.outcome = PhotoOutcome::Gap;
            return plan;
        case Placement::Found:
            break;
    }
    plan.outcome =
        tags.hasPosition && !options.overwrite ? PhotoOutcome::AlreadyTagged : PhotoOutcome::Tag;
    return plan;
}

PhotoResult ApplyPlan(const PhotoPlan& plan, const GeotagOptions& options) {
    if (plan.outcome != PhotoOutcome::Tag || options.dryRun) {
        return {};
    }
    const GpsFix fix{plan.position.latitude, plan.position.longitude, plan.position.altitude,
                     plan.utcMillis};
    const TagWrite write = plan.toSidecar ? WriteGpsSidecar(plan.path, fix, options.overwrite)
                                          : WriteGpsInPlace(plan.path, fix, options.overwrite);
    return {write.ok, write.error};
}

std::optional<std::int64_t> SyncOffsetMillis(const std::string& photo, TimeValue trueLocal,
                                             std::string& error) {
    const PhotoTags tags = ReadPhotoTags(photo);
    CameraTime camera;
    if (!tags.readable) {
        error = tags.error;
        return std::nullopt;
    }
    if (!ReadCameraTime(tags, camera)) {
        error = photo + ": no DateTimeOriginal to set the clock by";
        return std::nullopt;
    }
    return trueLocal * 1000 - (camera.local * 1000 + camera.millis);
}

std::string OutcomeText(const PhotoPlan& plan) {
    switch (plan.outcome) {
        case PhotoOutcome::Tag:
            return {};
        case PhotoOutcome::NoTime:
            return "no time";
        case PhotoOutcome::OutsideTrack:
            return "outside the track";
        case PhotoOutcome::Gap:
            return "gap of " + std::to_string(std::llround(plan.position.gapSeconds)) + " s";
        case PhotoOutcome::AlreadyTagged:
            return "already tagged";
        case PhotoOutcome::Unreadable:
            return "cannot read: " + plan.error;
    }
    return {};
}

}  // namespace pelmora
