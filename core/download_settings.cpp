#include "core/download_settings.h"

#include <cstdio>

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

std::string LoggerKey(const std::string& deviceId) {
    if (deviceId.empty()) {
        return "%";
    }
    std::string key;
    for (const char c : deviceId) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == '%') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            key += escaped;
        } else {
            key += c;
        }
    }
    return key;
}

int LoadLoggerRate(const ProfileStore& profile, const std::string& deviceId) {
    const int rate = profile.ProfileReadInt(kSectionLoggerRates, LoggerKey(deviceId), 0);
    // A logger that takes no download rate is read at its own one: that is remembered too.
    for (const int known : {4800, 9600, 19200, 38400, 57600, 115200, 230400}) {
        if (rate == known) {
            return rate;
        }
    }
    return 0;
}

void SaveLoggerRate(ProfileStore& profile, const std::string& deviceId, int rate) {
    if (rate <= 0 || LoadLoggerRate(profile, deviceId) == rate) {
        return;
    }
    profile.ProfileWriteInt(kSectionLoggerRates, LoggerKey(deviceId), rate);
}

}  // namespace pelmora
