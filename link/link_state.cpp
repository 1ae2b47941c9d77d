#include "link/link_state.h"

namespace pelmora {

void LinkState::AfterRead(int count) {
    const bool pending = ProbePending.load();
    if (pending) {
        probeCount.fetch_add(1);
    }
    if (count != 0 && pending) {
        LinkAlive.store(true);
        ProbePending.store(false);
    } else if (probeCount.load() >= kProbeReads) {
        // A receiver that stays silent for five reads after the start is taken as absent.
        LinkAlive.store(false);
        ProbePending.store(false);
    }
}

void LinkState::AfterSentence(int code) {
    if (code != 0) {
        LinkAlive.store(true);
        LineKind.store(kLineKindNmea);
    } else {
        LineKind.store(kLineKindOther);
    }
}

}  // namespace pelmora
