#include "cli/sync_report.h"

#include <cstdio>

#include "cli/cli_common.h"
#include "library/download_archive.h"

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
    if (added.trips == 0) {
        return "New records were downloaded; their fixes were in the library already.";
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

SyncLibrary::SyncLibrary(const std::string& dataFolder) : dataFolder_(dataFolder) {
    std::string error;
    library_ = SeasonLibrary::Open(dataFolder, error);
    if (!library_) {
        throw CommandFailure(error);
    }
}

NewTrips SyncLibrary::Add(const std::string& rawPath, const std::string& archivePath,
                          const std::string& source, TripGaps gaps) {
    ImportOptions options;
    options.source = source;
    // The archive's name of the download (its file name without the extension), so that the
    // next opening does not take it in a second time.
    std::string name = archivePath.substr(archivePath.find_last_of('/') + 1);
    name = name.substr(0, name.find('.'));
    options.archiveName = name;
    const ImportResult imported = library_->ImportLog(rawPath, options);
    if (!imported.ok) {
        throw CommandFailure(imported.error);
    }
    // A whole copy the Read archived is stored as its sectors now, not at the next opening.
    std::string error;
    if (!TakeInWholeCopies(dataFolder_, error)) {
        Warn(error);
    }
    NewTrips added;
    added.known = true;
    if (imported.added == 0) {
        return added;
    }
    for (const FixRun& trip : library_->Trips(gaps)) {
        if (trip.endUtc >= imported.firstAddedUtc && trip.beginUtc <= imported.lastAddedUtc) {
            ++added.trips;
            added.km += trip.metres / 1000.0;
            added.seconds += trip.Duration();
        }
    }
    return added;
}

}  // namespace pelmora::cli
