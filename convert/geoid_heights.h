#pragma once
// Heights above mean sea level: the separation N of the EGM96 geoid from the WGS-84 ellipsoid,
// looked up by PROJ in the grid egm96_15.gtx (package proj-data), with network access off. The
// sea-level height is the ellipsoidal height less N.
#include <span>
#include <string>
#include <vector>

#include "convert/convert_point.h"
#include "core/conversion_settings.h"

struct pj_ctx;
struct PJconsts;

namespace pelmora {

inline constexpr const char* kGeoidGrid = "egm96_15.gtx";
inline constexpr const char* kGeoidPackage = "proj-data";

class GeoidModel {
  public:
    // Builds the transformation once; ok() is false when PROJ cannot (the grid is missing).
    GeoidModel();
    ~GeoidModel();
    GeoidModel(const GeoidModel&) = delete;
    GeoidModel& operator=(const GeoidModel&) = delete;

    bool ok() const { return operation_ != nullptr; }
    // Why ok() is false: the missing file, the package that holds it, and the way around it.
    const std::string& problem() const { return problem_; }

    // N in metres at each latitude and longitude (degrees), whole spans in batches. False when
    // the transformation failed (its cause in problem()).
    [[nodiscard]] bool Separations(std::span<const double> latitudes,
                                   std::span<const double> longitudes, std::span<double> out);

  private:
    pj_ctx* context_ = nullptr;
    PJconsts* operation_ = nullptr;
    std::string problem_;
};

// Sets each point's height above the chosen reference: above the sea, each point keeps N in
// geoid and loses it from its height (the reader gives heights above the ellipsoid); above the
// ellipsoid nothing changes and N stays 0. False, with the cause in problem, when the geoid is
// needed and missing: then no point was changed.
[[nodiscard]] bool ApplyHeightReference(std::vector<TrackPoint>& points, HeightReference reference,
                                        std::string& problem);

}  // namespace pelmora
