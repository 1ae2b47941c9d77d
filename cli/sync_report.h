#pragma once
// What a sync tells: the new trips a download brought into the season library, as a line on
// standard output and as the desktop notification's text.
#include <cstdint>
#include <string>

namespace pelmora::cli {

struct NewTrips {
    bool known = false;  // the library said what it added
    int trips = 0;
    double km = 0;
    std::int64_t seconds = 0;
};

// "2 new trips, 84.2 km, 1 h 52 min"; "1 new trip, 3.0 km, 12 min". Unknown: "New data was
// downloaded.".
std::string NewTripsText(const NewTrips& added);
// "Pelmora: 2 new trips downloaded (84.2 km)".
std::string NotificationText(const NewTrips& added);

// The library step of a sync: adds folder's data.log to the season library and returns the trips
// it brought that were not there before. Throws CommandFailure when the library cannot take it
// (the download itself is kept).
NewTrips AddToLibrary(const std::string& folder);

// The desktop's notification service; a Qt-backed piece sets it when pelmora-cli is built with
// one. Returns false when no service answered (the line on standard output is all then).
using DesktopNotifier = bool (*)(const std::string& text);
void SetDesktopNotifier(DesktopNotifier notifier);
DesktopNotifier GetDesktopNotifier();

}  // namespace pelmora::cli
