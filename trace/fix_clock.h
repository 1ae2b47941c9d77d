#pragma once
// The two time words of a TraceFix for a run of fix times. Consecutive fixes almost always fall
// on the same day, so the calendar date is worked out once per day rather than once per fix.
#include <cstdint>

#include "trace/time_value.h"

namespace pelmora {

class TraceFixClock {
  public:
    // Sets the words for the UTC time t (whole seconds).
    void Set(TimeValue t);
    std::uint16_t DateWord() const { return dateWord_; }
    std::uint16_t HalfSeconds() const { return halfSeconds_; }

  private:
    bool haveDay_ = false;
    TimeValue dayStart_ = 0;
    std::uint16_t dateWord_ = 0;
    std::uint16_t halfSeconds_ = 0;
};

}  // namespace pelmora
