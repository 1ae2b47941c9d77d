#include "decode/fix_clock.h"

#include "decode/trace_fix.h"

namespace pelmora {

void TraceFixClock::NewDay(TimeValue t) {
    const CalendarFields f = BreakTimeValue(t);
    dayStart_ = t - (static_cast<TimeValue>(f.hour) * 3600 + f.minute * 60 + f.second);
    dateWord_ = TraceFixDateWord(f.year, f.month, f.day);
    haveDay_ = true;
}

}  // namespace pelmora
