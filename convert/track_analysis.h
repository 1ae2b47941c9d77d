#pragma once
// The filters and passes of a conversion run over the kept points, in place.
#include <cstdint>
#include <vector>

#include "convert/convert_point.h"

namespace pelmora {

// Metres beyond which a point far from both neighbours is a spike: 100 x the record period
// (0 counts as 1 s), or 10 x the record distance when that is larger.
double SpikeThreshold(int recordTimePeriod, int recordDistance);

// Removes single-point jumps; the first and the last point are never candidates.
void RemoveSpikes(std::vector<TrackPoint>& points, double threshold);

// Bearing of each point towards the next, whole degrees 0-359; the last keeps 0.
void ComputeBearings(std::vector<TrackPoint>& points);
// Degrees (not truncated) from p towards q; only meaningful when they differ.
double BearingBetween(double latP, double lonP, double latQ, double lonQ);

struct StopAnalysisSettings {
    int speedUnit = 1;
    int stopDistance = 0;  // metres, or feet with MPH
    int overSpeed = 0;     // in the speed unit; 0 marks nothing
};

// Sets each point's distance from the last kept point, removes points closer than the stop
// distance, flags over-speed points and the point of highest speed.
void AnalyseStops(std::vector<TrackPoint>& points, const StopAnalysisSettings& settings);

}  // namespace pelmora
