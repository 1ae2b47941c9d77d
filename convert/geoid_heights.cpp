#include "convert/geoid_heights.h"

#include <proj.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace pelmora {
namespace {

// Enough to keep the calls few and the buffers in the cache.
constexpr std::size_t kBatch = 4096;

std::string MissingGridText(const char* cause) {
    return std::string("Heights above the sea need the EGM96 geoid grid ") + kGeoidGrid +
           ", which PROJ cannot open (" + cause + "): install the package " + kGeoidPackage +
           ", or choose heights above the ellipsoid (--heights ellipsoid).";
}

}  // namespace

GeoidModel::GeoidModel() {
    context_ = proj_context_create();
    if (context_ == nullptr) {
        problem_ = MissingGridText("no PROJ context");
        return;
    }
    // The grid is a file of proj-data: nothing is fetched, whatever the user's PROJ settings.
    proj_context_set_enable_network(context_, 0);
    proj_log_level(context_, PJ_LOG_NONE);
    // Forward, the grid's value is added to the height given: from 0, N itself.
    operation_ = proj_create(
        context_, (std::string("+proj=vgridshift +grids=") + kGeoidGrid + " +multiplier=1").c_str());
    if (operation_ == nullptr) {
        const int error = proj_context_errno(context_);
        problem_ = MissingGridText(proj_context_errno_string(context_, error));
    }
}

GeoidModel::~GeoidModel() {
    if (operation_ != nullptr) {
        proj_destroy(operation_);
    }
    if (context_ != nullptr) {
        proj_context_destroy(context_);
    }
}

bool GeoidModel::Separations(std::span<const double> latitudes, std::span<const double> longitudes,
                             std::span<double> out) {
    if (!ok()) {
        return false;
    }
    const std::size_t n = std::min({latitudes.size(), longitudes.size(), out.size()});
    constexpr double kRadians = std::numbers::pi / 180;
    std::array<double, kBatch> lon{};
    std::array<double, kBatch> lat{};
    for (std::size_t from = 0; from < n; from += kBatch) {
        const std::size_t count = std::min(kBatch, n - from);
        for (std::size_t i = 0; i < count; ++i) {
            lon[i] = longitudes[from + i] * kRadians;
            lat[i] = latitudes[from + i] * kRadians;
            out[from + i] = 0;
        }
        const std::size_t done =
            proj_trans_generic(operation_, PJ_FWD, lon.data(), sizeof(double), count, lat.data(),
                               sizeof(double), count, out.data() + from, sizeof(double), count,
                               nullptr, 0, 0);
        if (done != count) {
            problem_ = MissingGridText(proj_context_errno_string(context_, proj_errno(operation_)));
            return false;
        }
    }
    return true;
}

bool ApplyHeightReference(std::vector<TrackPoint>& points, HeightReference reference,
                          std::string& problem) {
    if (reference == HeightReference::Ellipsoid) {
        return true;
    }
    GeoidModel geoid;
    if (!geoid.ok()) {
        problem = geoid.problem();
        return false;
    }
    std::array<double, kBatch> lat{};
    std::array<double, kBatch> lon{};
    std::array<double, kBatch> separation{};
    for (std::size_t from = 0; from < points.size(); from += kBatch) {
        const std::size_t count = std::min(kBatch, points.size() - from);
        for (std::size_t i = 0; i < count; ++i) {
            lat[i] = points[from + i].latitude;
            lon[i] = points[from + i].longitude;
        }
        if (!geoid.Separations({lat.data(), count}, {lon.data(), count},
                               {separation.data(), count})) {
            problem = geoid.problem();
            // Nothing half done: the heights already lowered go back up.
            for (std::size_t i = 0; i < from; ++i) {
                points[i].height += points[i].geoid;
                points[i].geoid = 0;
            }
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            // A value the grid does not hold (none on a global grid) counts as no separation.
            const double n = std::isfinite(separation[i]) ? separation[i] : 0.0;
            TrackPoint& p = points[from + i];
            p.geoid = static_cast<float>(n);
            p.height -= n;
        }
    }
    return true;
}

}  // namespace pelmora
