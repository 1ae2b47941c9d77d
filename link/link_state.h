#pragma once
// What the reader loop found out about the line: whether a receiver answers at all (LinkAlive)
// and whether what it sends is NMEA (LineKind 1) or something else (2, typically a receiver at
// another rate). The window's device detection reads them once a second.
//
// Thread contract: the reader thread writes; any thread reads. RestartProbe and ResetProbeCount
// are meant for a stopped reader but are safe at any time.
#include <atomic>

namespace pelmora {

inline constexpr int kLineKindNone = 0;  // nothing recognised yet
inline constexpr int kLineKindNmea = 1;
inline constexpr int kLineKindOther = 2;

struct LinkState {
    std::atomic<bool> LinkAlive{false};
    std::atomic<int> LineKind{kLineKindNone};
    // Set at start and by RestartProbe only: the first reads after it decide LinkAlive.
    std::atomic<bool> ProbePending{true};
    std::atomic<int> probeCount{0};

    static constexpr int kProbeReads = 5;

    // The reader (re)starts: the probe counts afresh.
    void ResetProbeCount() { probeCount.store(0); }
    // Arms the probe again (a reconnect): LinkAlive is decided anew by the next reads.
    void RestartProbe() {
        probeCount.store(0);
        ProbePending.store(true);
    }
    // After each read of the reader loop, with the count it returned.
    void AfterRead(int count);
    // After a line was recognised, with its sentence code (0: not NMEA).
    void AfterSentence(int code);
};

}  // namespace pelmora
