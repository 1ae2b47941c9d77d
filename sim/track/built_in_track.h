#pragma once
// Spelling used by the simulated flash; see builtin_track.h.
#include "sim/track/builtin_track.h"

namespace pelmora {

inline std::vector<RawRecord> BuiltInTrackRecords(const BuiltinTrackOptions& options = {}) {
    return BuiltinTrackRecords(options);
}

}  // namespace pelmora
