#pragma once
// The outcome of a ranged read of sectors, and of one attempt of it.
#include <cstdint>

namespace pelmora {

enum class [[nodiscard]] RangeResult : std::uint8_t{
    Done,
    AttemptFailed,  // one attempt: NACK, silence, a bad trailer
    GaveUp,         // an attempt failed thirty times
    Stopped,        // stopped on request
    LineDead,       // nothing usable arrived for the dead-line limit
    Disconnected,   // the line went away
};

}  // namespace pelmora
