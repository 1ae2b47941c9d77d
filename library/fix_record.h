#pragma once
// One fix of the library as the trace file holds it (22 bytes, see decode/trace_fix.h), with the
// few fields the library needs: its 2-second slot, UTC time, position and speed.
#include <cstdint>

#include "core/time_value.h"
#include "decode/trace_fix.h"

namespace pelmora {

// Orders fixes by time: the packed date word (year, month, day from the high bits down) above
// the halved seconds of the day, so a plain integer comparison is the calendar order.
inline std::uint32_t FixSlot(const std::uint8_t* fix) {
    return (static_cast<std::uint32_t>(ReadLe16(fix)) << 16) | ReadLe16(fix + 2);
}

// Two fixes of one slot are the same fix when they are at the same place.
inline bool SamePosition(const std::uint8_t* a, const std::uint8_t* b) {
    for (int i = 4; i < 16; ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

inline int FixSpeedKmh(const std::uint8_t* fix) {
    return ReadLe16(fix + 18) & 0x3FF;
}

// False for time words that name no calendar time (the converter skips such fixes too).
bool FixHasValidTime(const std::uint8_t* fix);

// The UTC time of fixes, remembering the start of the last day so that consecutive fixes cost
// no calendar arithmetic.
class FixClockReader {
  public:
    TimeValue Utc(const std::uint8_t* fix);

  private:
    std::uint16_t dateWord_ = 0;
    TimeValue dayStart_ = 0;
    bool known_ = false;
};

}  // namespace pelmora
