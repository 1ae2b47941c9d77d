#include "trace/fix_clock.h"

#include "trace/trace_fix.h"

namespace pelmora {

void TraceFixClock::Set(TimeValue t) {
    constexpr TimeValue kDay = 86400;
    // Compared as a difference, not t < dayStart_ + kDay: a damaged stream can put t anywhere.
    if (!haveDay_ || t < dayStart_ || t - dayStart_ >= kDay) {
        const CalendarFields f = BreakTimeValue(t);
        dayStart_ = t - (static_cast<TimeValue>(f.hour) * 3600 + f.minute * 60 + f.second);
        dateWord_ = TraceFixDateWord(f.year, f.month, f.day);
        haveDay_ = true;
    }
    halfSeconds_ = static_cast<std::uint16_t>((t - dayStart_) / 2);
}

}  // namespace pelmora
