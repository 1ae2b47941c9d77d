#pragma once
// One kept fix of a conversion run. CPointObject parses the record; the run keeps only the fields
// the analysis and the writers read, so a million-fix trace stays under 100 MB.
#include <cstdint>

#include "core/time_value.h"
#include "decode/geodesy.h"

namespace pelmora {

struct TrackPoint {
    TimeValue time = 0;       // UTC calendar fields, after the duplicate-second step
    TimeValue localTime = 0;  // time in the zone, by its rules at this fix
    double latitude = 0;      // degrees
    double longitude = 0;     // degrees
    double height = 0;        // metres above the chosen reference: the sea (default) or ellipsoid
    double speed = 0;         // km/h
    double distance = 0;      // metres from the previous kept point (stop-distance analysis)
    Direction direction;      // on the unit sphere: every distance is ArcMetres between these
    float geoid = 0;          // EGM96 separation N in metres; 0 with heights above the ellipsoid
    std::int32_t speedInUnit = 0;
    std::int16_t bearing = 0;  // degrees 0-359 towards the next point
    bool maxSpeed = false;
    bool overSpeed = false;
};

}  // namespace pelmora
