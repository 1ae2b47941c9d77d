#pragma once
// The output files of a conversion, named after the path the user chose: its folder and name
// are kept, each writer sets its own suffix and extension.
#include <string>

namespace pelmora {

enum class ConvertOutput { KmlPath, KmlPoint, Nmea, NmeaWithId, Csv, Gpx };

// "track.kml" gives track.kml, track_point.kml, track.txt, track_id.txt, track.csv, track.gpx.
std::string OutputPathFor(const std::string& chosen, ConvertOutput output);
// The file name without folder and extension ("track" for /tmp/track.gpx).
std::string OutputStem(const std::string& path);

}  // namespace pelmora
