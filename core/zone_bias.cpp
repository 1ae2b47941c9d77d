#include "core/zone_bias.h"

#include <cstdio>

#include "core/string_table.h"

namespace pelmora {

std::string HoursItemText(int index) {
    char buf[16];
    if (index < kHoursItemZero) {
        std::snprintf(buf, sizeof buf, "-%d", 12 - index);
    } else {
        std::snprintf(buf, sizeof buf, "%d", index - kHoursItemZero);
    }
    return buf;
}

std::string MinutesItemText(int index) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", index);
    return buf;
}

BiasPick PickForBias(long long bias) {
    // 64-bit so that a stored INT_MIN has a magnitude.
    BiasPick pick;
    long long hoursIndex = 0;
    long long minutes = 0;
    if (bias < 0) {
        const long long a = -bias;
        hoursIndex = 12 - a / 60;
        minutes = a % 60;
    } else {
        hoursIndex = bias / 60 + kHoursItemZero;
        minutes = bias % 60;
    }
    if (hoursIndex >= 0 && hoursIndex < kHoursItemCount) {
        pick.hoursIndex = static_cast<int>(hoursIndex);
    }
    pick.minutesIndex = static_cast<int>(minutes);
    return pick;
}

ZoneBiasResult BiasForPick(int hoursIndex, int minutesIndex) {
    ZoneBiasResult result;
    const std::string label(LoadString(IDS_BIAS));
    char buf[64];
    if (hoursIndex > 12) {
        const int hours = hoursIndex - kHoursItemZero;
        result.bias = hours * 60 + minutesIndex;
        std::snprintf(buf, sizeof buf, "%s +%d:%02d", label.c_str(), hours, minutesIndex);
    } else {
        const int hours = hoursIndex - 12;  // zero or negative
        result.bias = hours * 60 - minutesIndex;
        std::snprintf(buf, sizeof buf, "%s -%d:%02d", label.c_str(), -hours, minutesIndex);
    }
    result.display = buf;
    return result;
}

std::string BiasDisplay(int biasMinutes) {
    const long long magnitude =
        biasMinutes < 0 ? -static_cast<long long>(biasMinutes) : biasMinutes;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %c%lld:%02lld", std::string(LoadString(IDS_BIAS)).c_str(),
                  biasMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return buf;
}

}  // namespace pelmora
