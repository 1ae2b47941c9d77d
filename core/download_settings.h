#pragma once
// The Read's settings in the profile section "Serial", shared by the window and pelmora-cli:
// "DownloadRate" (0 the fastest the logger takes, or 57600, 115200, 230400) and "FullRead" (1:
// every Read fetches the whole log). Values outside these are treated as missing.
#include "core/profile_store.h"

namespace pelmora {

inline constexpr const char* kKeyDownloadRate = "DownloadRate";
inline constexpr const char* kKeyFullRead = "FullRead";

bool IsDownloadRateSetting(int rate);
int LoadDownloadRate(const ProfileStore& profile);
bool LoadFullRead(const ProfileStore& profile);

}  // namespace pelmora
