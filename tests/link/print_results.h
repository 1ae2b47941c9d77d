#pragma once
// Failed expectations name the link's results instead of dumping their bytes.
#include <ostream>

#include "link/command_result.h"
#include "link/datalog_codes.h"
#include "link/log_download.h"

namespace pelmora {

inline void PrintTo(CommandResult result, std::ostream* os) {
    *os << ResultText(result);
}

inline void PrintTo(DownloadOutcome outcome, std::ostream* os) {
    *os << OutcomeText(outcome);
}

inline void PrintTo(RangeResult result, std::ostream* os) {
    constexpr const char* kNames[] = {"Done",    "AttemptFailed", "GaveUp",
                                      "Stopped", "LineDead",      "Disconnected"};
    const auto i = static_cast<std::size_t>(result);
    *os << (i < std::size(kNames) ? kNames[i] : "?");
}

}  // namespace pelmora
