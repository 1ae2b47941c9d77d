#include "cli/sync_report.h"

#include <cstdio>

namespace pelmora::cli {
namespace {

std::string TripsWord(int trips) {
    return std::to_string(trips) + (trips == 1 ? " new trip" : " new trips");
}

std::string KmText(double km) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f km", km);
    return text;
}

DesktopNotifier& Notifier() {
    static DesktopNotifier notifier = nullptr;
    return notifier;
}

}  // namespace

std::string NewTripsText(const NewTrips& added) {
    if (!added.known) {
        return "New data was downloaded.";
    }
    const std::int64_t minutes = (added.seconds + 30) / 60;
    std::string span = std::to_string(minutes % 60) + " min";
    if (minutes >= 60) {
        span = std::to_string(minutes / 60) + " h " + span;
    }
    return TripsWord(added.trips) + ", " + KmText(added.km) + ", " + span;
}

std::string NotificationText(const NewTrips& added) {
    if (!added.known) {
        return "Pelmora: new data downloaded";
    }
    return "Pelmora: " + TripsWord(added.trips) + " downloaded (" + KmText(added.km) + ")";
}

void SetDesktopNotifier(DesktopNotifier notifier) {
    Notifier() = notifier;
}

DesktopNotifier GetDesktopNotifier() {
    return Notifier();
}

// The season library is not in this tree yet: the sync reports what it cannot know as such.
NewTrips AddToLibrary(const std::string& /*folder*/) {
    return {};
}

}  // namespace pelmora::cli
