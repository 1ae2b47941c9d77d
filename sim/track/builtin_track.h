#pragma once
// The built-in recorded drive: a Saturday round trip from central Munich north on the motorway
// to Freising and the airport and back, with turns, traffic-light halts, speeds up to 110 km/h
// and three stops of more than ten minutes during which the logger paused. Fixes every 1-5 s,
// mostly compact records, a full record at the start, after each stop and every 60 records.
// Deterministic: the same options always give the same bytes.
//
//   std::vector<RawRecord> records = BuiltinTrackRecords();   // lay these into flash sectors
//   std::vector<std::uint8_t> log = BuiltinTrackLog();        // what a download yields (data.log)
#include <cstdint>
#include <vector>

#include "core/time_value.h"
#include "sim/track/raw_record_encoder.h"

namespace pelmora {

struct BuiltinTrackOptions {
    // UTC time of the first fix. The default (2024-05-18 07:42:10) lies past the GPS week
    // rollover of 2019, so decoding it needs the rollover mend.
    TimeValue startUtc = MakeTimeValue(2024, 5, 18, 7, 42, 10);
    TrackEncoderOptions encoder{};

    // The same drive on 2011-03-09, before the rollover: decodes without any mend.
    static BuiltinTrackOptions Before2019() {
        BuiltinTrackOptions o;
        o.startUtc = MakeTimeValue(2011, 3, 9, 7, 42, 10);
        return o;
    }
};

struct BuiltinTrackFix {
    TrackFix fix;         // what the logger records
    double latitude = 0;  // degrees, WGS-84, before rounding to whole ECEF metres
    double longitude = 0;
    double height = 0;  // metres
};

// The fixes of the drive in time order.
std::vector<BuiltinTrackFix> BuiltinTrackFixes(const BuiltinTrackOptions& options = {});
// One encoded record (18 or 8 bytes) per fix.
std::vector<RawRecord> BuiltinTrackRecords(const BuiltinTrackOptions& options = {});
// The plain concatenation of the records.
std::vector<std::uint8_t> BuiltinTrackLog(const BuiltinTrackOptions& options = {});

// WGS-84 geodetic (degrees, metres) to ECEF metres.
void GeodeticToEcef(double latitudeDeg, double longitudeDeg, double height, double& x, double& y,
                    double& z);

}  // namespace pelmora
