#pragma once
// The Read's settings in the profile section "Serial", shared by the window and pelmora-cli:
// "DownloadRate" (0 the fastest the logger takes, or 57600, 115200, 230400) and "FullRead" (1:
// every Read fetches the whole log). Values outside these are treated as missing.
//
// The rate each logger last downloaded at is kept in the section "LoggerRates", keyed by its
// device ID, so the next Read tries that one first instead of repeating the whole trial.
#include <string>

#include "core/profile_store.h"

namespace pelmora {

inline constexpr const char* kKeyDownloadRate = "DownloadRate";
inline constexpr const char* kKeyFullRead = "FullRead";
inline constexpr const char* kSectionLoggerRates = "LoggerRates";

bool IsDownloadRateSetting(int rate);
int LoadDownloadRate(const ProfileStore& profile);
bool LoadFullRead(const ProfileStore& profile);

// The profile key of a logger's device ID: '/' and '\\' would make groups of the profile, and a
// control character has no place in a file a person edits, so those and '%' are written %XX.
// An empty ID (the logger has none) is "%".
std::string LoggerKey(const std::string& deviceId);
// The rate this logger was last read at (a download rate, or its own when it took none); 0 when
// none is known or the value is not a rate of the baud-rate command.
int LoadLoggerRate(const ProfileStore& profile, const std::string& deviceId);
// Written only when it differs from what is there, so a Read at the same rate leaves the
// profile alone.
void SaveLoggerRate(ProfileStore& profile, const std::string& deviceId, int rate);

}  // namespace pelmora
