#pragma once
// The texts of the conversion run, the trace summary and the writers, verbatim.
namespace pelmora::convert_text {

inline constexpr const char* kOpenTraceFailed = "Open trace log file failed!";
inline constexpr const char* kTraceInvalid = "Trace log file is invalid!";
inline constexpr const char* kNoLogData = "No log data!";
inline constexpr const char* kNoStopLogData = "No stop log data!";
inline constexpr const char* kOutputInvalid = "Output file is invalid!";
inline constexpr const char* kConvertingDone = "Converting done";
// A run with nothing chosen used to say "Converting done" with nothing written.
inline constexpr const char* kNoOutputChosen =
    "No output type is chosen: choose KML, NMEA, CSV or GPX in Change Setting.";

inline constexpr const char* kLongitude = "Longitude";
inline constexpr const char* kLatitude = "Latitude";
inline constexpr const char* kAltitude = "Altitude";
inline constexpr const char* kSpeed = "Speed";
inline constexpr const char* kTime = "Time";
inline constexpr const char* kBegin = "Begin";
inline constexpr const char* kEnd = "End";
inline constexpr const char* kStart = "Start";
inline constexpr const char* kStop = "Stop";
inline constexpr const char* kMaxSpeed = "Max Speed";
inline constexpr const char* kPath = "Path";
inline constexpr const char* kTotalTime = "Total time: %D day %H hour %M min %S sec";
inline constexpr const char* kTotalMileageMile = "Total mileage: %.3f Mile";
inline constexpr const char* kTotalMileageKm = "Total mileage: %.3f KM";
inline constexpr const char* kStopTime = "Stop time: %lld day %d hour %d min %d sec";

inline constexpr const char* kYear = "Year";
inline constexpr const char* kMonth = "Month";
inline constexpr const char* kDay = "Day";
inline constexpr const char* kHour = "Hour";
inline constexpr const char* kMinute = "Minute";
inline constexpr const char* kSecond = "Second";
inline constexpr const char* kBearing = "Bearing";

}  // namespace pelmora::convert_text
