#pragma once
// Trips and days: runs of consecutive fixes of the library. A trip ends where the next fix is
// more than a time gap later or more than a distance gap away (either one splits); a day ends
// where the next fix falls on a later calendar day of the chosen zone.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/time_value.h"
#include "core/zone_rules.h"
#include "library/fix_record.h"

namespace pelmora {

struct TripGaps {
    TimeSpan seconds = 30 * 60;
    double metres = 2000;
};

// A trip, a day, or a stored piece of one: fixes [firstFix, firstFix + fixes) of the library.
struct FixRun {
    std::uint64_t firstFix = 0;
    std::uint64_t fixes = 0;
    TimeValue beginUtc = 0;
    TimeValue endUtc = 0;
    double metres = 0;  // along the fixes, great-circle steps
    int maxSpeedKmh = 0;
    std::int32_t firstX = 0, firstY = 0, firstZ = 0;  // ECEF metres, for the gap to a neighbour
    std::int32_t lastX = 0, lastY = 0, lastZ = 0;
    TimeSpan Duration() const { return endUtc - beginUtc; }
};

// Metres between two ECEF positions along the great circle of the trace's sphere.
double FixDistance(std::int32_t x1, std::int32_t y1, std::int32_t z1, std::int32_t x2,
                   std::int32_t y2, std::int32_t z2);

// Splits fixes fed in library order. With a zone, it also splits where the local calendar day
// moves on (a clock set back over midnight keeps the hour in the day it began).
class TripSplitter {
  public:
    explicit TripSplitter(TripGaps gaps, std::optional<ZoneRules> days = std::nullopt);
    // index: the fix's place in the library.
    void Add(const std::uint8_t* fix, std::uint64_t index);
    std::vector<FixRun> Finish();

  private:
    void Close();
    TripGaps gaps_;
    std::optional<ZoneRules> zone_;
    FixClockReader clock_;
    std::vector<FixRun> runs_;
    FixRun current_;
    bool open_ = false;
    std::int64_t localDay_ = 0;
    double lastLat_ = 0, lastLon_ = 0;
};

// Joins consecutive runs (each split at gaps no larger than gaps) into trips.
std::vector<FixRun> JoinRuns(std::span<const FixRun> runs, TripGaps gaps);
// The step from run's last fix to next's first when a trip would join them (no gap longer than
// gaps), else nullopt.
std::optional<double> JoiningStep(const FixRun& run, const FixRun& next, TripGaps gaps);
// Extends run by next, which follows it, counting step metres between them.
void AppendRun(FixRun& run, const FixRun& next, double step);

// The local calendar day of a UTC time, as days since 1970-01-01.
std::int64_t LocalDay(const ZoneRules& zone, TimeValue utc);

}  // namespace pelmora
