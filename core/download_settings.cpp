#include "core/download_settings.h"

#include "core/conversion_settings.h"

namespace pelmora {

bool IsDownloadRateSetting(int rate) {
    return rate == 0 || rate == 57600 || rate == 115200 || rate == 230400;
}

int LoadDownloadRate(const ProfileStore& profile) {
    const int rate = profile.ProfileReadInt(kSectionSerial, kKeyDownloadRate, 0);
    return IsDownloadRateSetting(rate) ? rate : 0;
}

bool LoadFullRead(const ProfileStore& profile) {
    return profile.ProfileReadInt(kSectionSerial, kKeyFullRead, 0) == 1;
}

}  // namespace pelmora
