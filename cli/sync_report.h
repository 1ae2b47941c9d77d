#pragma once
// What a sync tells: the new trips a download brought into the season library, as a line on
// standard output and as the desktop notification's text.
#include <cstdint>
#include <memory>
#include <string>

#include "library/season_library.h"

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

// The library step of a sync. Opened before the Read, so that what the library takes in from the
// archive on opening (downloads of earlier runs) is not counted as this sync's.
class SyncLibrary {
  public:
    // Throws CommandFailure with the cause when the library cannot be opened.
    explicit SyncLibrary(const std::string& dataFolder);
    // Adds the download (data.log, archived as archivePath) and returns the trips that hold fixes
    // new to the library. Throws CommandFailure when the library cannot take it in.
    NewTrips Add(const std::string& rawPath, const std::string& archivePath,
                 const std::string& source, TripGaps gaps);

  private:
    std::string dataFolder_;
    std::unique_ptr<SeasonLibrary> library_;
};

// The desktop's notification service; a Qt-backed piece sets it when pelmora-cli is built with
// one. Returns false when no service answered (the line on standard output is all then).
using DesktopNotifier = bool (*)(const std::string& text);
void SetDesktopNotifier(DesktopNotifier notifier);
DesktopNotifier GetDesktopNotifier();

}  // namespace pelmora::cli
