#pragma once
// Where the track was at a given instant: along the great circle between the two fixes around
// it, the altitude interpolated too, within the maximum gap.
#include <span>
#include <string>
#include <vector>

#include "convert/convert_point.h"
#include "convert/trace_reader.h"

namespace pelmora {

enum class Placement {
    Found,         // on the track
    OutsideTrack,  // before its first fix or after its last by more than the maximum gap
    Gap,           // between two fixes further apart than the maximum gap
};

struct TrackPosition {
    Placement placement = Placement::OutsideTrack;
    double latitude = 0;   // degrees
    double longitude = 0;  // degrees
    double altitude = 0;   // metres, as FixAltitude gives them
    // Seconds between the two fixes around the instant (0 on a fix), or from the track's
    // nearest end when the instant is outside it.
    double gapSeconds = 0;
};

// The altitude a photo gets from a fix: its height as the conversion writes it, above the sea
// unless the ellipsoid was asked for when the track was loaded.
double FixAltitude(const TrackPoint& fix);

// fixes in time order. An instant within maxGapSeconds before the first fix or after the last
// takes that fix's position; an instant between two fixes more than maxGapSeconds apart has none.
TrackPosition LocateOnTrack(std::span<const TrackPoint> fixes, double utcSeconds,
                            double maxGapSeconds);

// The whole trace of folder (TraceLog.ltp, else TraceLog.lte) in time order, its heights above
// the given reference. problem, when given, says why the geoid is missing (NoGeoid).
TraceReadStatus LoadTrack(const std::string& folder, std::vector<TrackPoint>& fixes,
                          HeightReference heights = HeightReference::Sea,
                          std::string* problem = nullptr);

}  // namespace pelmora
