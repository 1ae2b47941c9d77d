#pragma once
// The free offset of the Application Setting dialog: an hours list of 27 items ("-12" .. "-1",
// "-0", "0" .. "13") and a minutes list of 60. Items "-0" and "0" both mean zero hours but give
// the minutes opposite signs.
#include <string>

namespace pelmora {

inline constexpr int kHoursItemCount = 27;
inline constexpr int kMinutesItemCount = 60;
inline constexpr int kHoursItemZero = 13;  // "0"

// The hours list's texts in order.
std::string HoursItemText(int index);
// "00" .. "59".
std::string MinutesItemText(int index);

struct BiasPick {
    int hoursIndex = -1;    // -1: the bias lies outside the hours list
    int minutesIndex = -1;  // -1: no minutes item
};
// The list items that show a stored bias (minutes east of UTC).
BiasPick PickForBias(long long biasMinutes);

struct ZoneBiasResult {
    int bias = 0;         // minutes east of UTC
    std::string display;  // "Bias +8:00", "Bias -0:30"
};
// The bias and label of a pick; both indices must be valid list positions.
ZoneBiasResult BiasForPick(int hoursIndex, int minutesIndex);
// The label of a bias given as a number (the command line's --tz-bias): "Bias +8:00".
std::string BiasDisplay(int biasMinutes);

}  // namespace pelmora
