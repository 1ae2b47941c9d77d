#include "convert/geoid_heights.h"

#include <proj.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <unordered_map>

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
        context_,
        (std::string("+proj=vgridshift +grids=") + kGeoidGrid + " +multiplier=1").c_str());
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
        const std::size_t done = proj_trans_generic(
            operation_, PJ_FWD, lon.data(), sizeof(double), count, lat.data(), sizeof(double),
            count, out.data() + from, sizeof(double), count, nullptr, 0, 0);
        if (done != count) {
            problem_ = MissingGridText(proj_context_errno_string(context_, proj_errno(operation_)));
            return false;
        }
    }
    return true;
}

namespace {

// The grid's nodes lie every 15' of latitude and longitude, and PROJ interpolates bilinearly
// between the four around a position. A trace stays for many fixes within one cell (28 km at
// most), so PROJ is asked, in batches, for the nodes of the cells the trace enters, and each fix
// is interpolated between them as PROJ would: a million fixes need a few hundred lookups.
constexpr double kStep = 0.25;  // degrees
constexpr std::int64_t kColumns = 1440;

struct Cell {
    std::int64_t row = 0;     // floor(latitude / step), -360 .. 359
    std::int64_t column = 0;  // floor((longitude + 180) / step), 0 .. 1439
    bool operator==(const Cell&) const = default;
};

Cell CellOf(double latitude, double longitude) {
    Cell c;
    c.row = std::clamp(static_cast<std::int64_t>(std::floor(latitude / kStep)),
                       static_cast<std::int64_t>(-360), static_cast<std::int64_t>(359));
    c.column = static_cast<std::int64_t>(std::floor((longitude + 180) / kStep));
    c.column = ((c.column % kColumns) + kColumns) % kColumns;
    return c;
}

// Node (row, column) of the grid, the column wrapped around the globe.
std::int64_t NodeKey(std::int64_t row, std::int64_t column) {
    return (row + 400) * 2000 + (column % kColumns);
}

std::array<std::int64_t, 4> CornerKeys(const Cell& c) {
    return {NodeKey(c.row, c.column), NodeKey(c.row, c.column + 1), NodeKey(c.row + 1, c.column),
            NodeKey(c.row + 1, c.column + 1)};
}

}  // namespace

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
    // The nodes around every fix, each once.
    std::unordered_map<std::int64_t, double> nodes;
    Cell last{INT64_MIN, 0};
    for (const TrackPoint& p : points) {
        const Cell c = CellOf(p.latitude, p.longitude);
        if (c == last) {
            continue;
        }
        last = c;
        for (const std::int64_t key : CornerKeys(c)) {
            nodes.emplace(key, 0.0);
        }
    }
    std::vector<std::int64_t> keys;
    std::vector<double> lat, lon, separation;
    keys.reserve(nodes.size());
    for (const auto& [key, value] : nodes) {
        keys.push_back(key);
        lat.push_back(static_cast<double>(key / 2000 - 400) * kStep);
        lon.push_back(static_cast<double>(key % 2000) * kStep - 180);
    }
    separation.resize(keys.size());
    if (!geoid.Separations(lat, lon, separation)) {
        problem = geoid.problem();
        return false;
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        // A value the grid does not hold (none on a global grid) counts as no separation.
        nodes[keys[i]] = std::isfinite(separation[i]) ? separation[i] : 0.0;
    }
    last = Cell{INT64_MIN, 0};
    std::array<double, 4> corner{};
    for (TrackPoint& p : points) {
        const Cell c = CellOf(p.latitude, p.longitude);
        if (!(c == last)) {
            last = c;
            const std::array<std::int64_t, 4> k = CornerKeys(c);
            for (std::size_t i = 0; i < 4; ++i) {
                corner[i] = nodes[k[i]];
            }
        }
        const double fy = p.latitude / kStep - static_cast<double>(c.row);
        const double fx = (p.longitude + 180) / kStep - std::floor((p.longitude + 180) / kStep);
        const double n = (1 - fy) * ((1 - fx) * corner[0] + fx * corner[1]) +
                         fy * ((1 - fx) * corner[2] + fx * corner[3]);
        p.geoid = static_cast<float>(n);
        p.height -= n;
    }
    return true;
}

}  // namespace pelmora
