#include "library/fix_record.h"

namespace pelmora {

bool FixHasValidTime(const std::uint8_t* fix) {
    const TraceFixDateTime f = DecodeTraceFixDateTime(fix);
    return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= 31 && f.hour <= 23;
}

TimeValue FixClockReader::Utc(const std::uint8_t* fix) {
    const std::uint16_t date = ReadLe16(fix);
    if (!known_ || date != dateWord_) {
        const TraceFixDateTime f = DecodeTraceFixDateTime(date, 0);
        dayStart_ = MakeTimeValue(f.year, f.month, f.day, 0, 0, 0);
        dateWord_ = date;
        known_ = true;
    }
    return dayStart_ + 2 * static_cast<TimeValue>(ReadLe16(fix + 2));
}

}  // namespace pelmora
