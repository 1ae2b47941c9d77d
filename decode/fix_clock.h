#pragma once
// The two time words of a TraceFix for a run of fix times. Consecutive fixes almost always fall
// on the same day, so the calendar date is worked out once per day rather than once per fix.
#include <cstdint>

#include "core/time_value.h"

namespace pelmora {

class TraceFixClock {
  public:
    // Sets the words for the UTC time t (whole seconds).
    void Set(TimeValue t) {
        // Compared as a difference, not t < dayStart_ + kDay: a damaged stream can put t
        // anywhere.
        if (!haveDay_ || t < dayStart_ || t - dayStart_ >= kDay) {
            NewDay(t);
        }
        halfSeconds_ = static_cast<std::uint16_t>((t - dayStart_) / 2);
    }
    std::uint16_t DateWord() const { return dateWord_; }
    std::uint16_t HalfSeconds() const { return halfSeconds_; }

  private:
    static constexpr TimeValue kDay = 86400;
    void NewDay(TimeValue t);

    bool haveDay_ = false;
    TimeValue dayStart_ = 0;
    std::uint16_t dateWord_ = 0;
    std::uint16_t halfSeconds_ = 0;
};

}  // namespace pelmora
