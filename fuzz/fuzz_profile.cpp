// A hand-edited or damaged profile file: every read must fall back or pass through, never crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/conversion_settings.h"
#include "core/zone_bias.h"
#include "link/port_list.h"
#include "ui/qt_profile_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        "/tmp/pelmora-fuzz-profile-" + std::to_string(getpid()) + ".ini";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    {
        const pelmora::QtProfileStore profile(path);
        pelmora::ConversionSettings s;
        pelmora::LoadConversionSettings(profile, 480, s);
        pelmora::PickForBias(profile.ProfileReadInt(pelmora::kSectionSetting, "TimeZoneBias", 0));
        const std::string port =
            profile.ProfileReadText(pelmora::kSectionSerial, "ComPort", pelmora::kDefaultComPort);
        pelmora::BuildPortChoices({"/dev/ttyS0"}, port);
        pelmora::BaudRateIndex(profile.ProfileReadText(pelmora::kSectionSerial, "BaudRate",
                                                       pelmora::kDefaultBaudRate));
    }
    std::remove(path.c_str());
    return 0;
}
