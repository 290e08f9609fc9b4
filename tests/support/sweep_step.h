// How densely the long sweeps (kill points, power cuts) run: every point natively; under the
// sanitizers and under Wine, where each run costs several times as much and what is sought is
// other faults, every QXV_SWEEP_STEP-th point (tools/test-all sets it there).
#pragma once

#include <cstdlib>

namespace qxv_test {

inline long sweep_step() {
    const char *text = std::getenv("QXV_SWEEP_STEP");
    const long step = text != nullptr ? std::atol(text) : 1;
    return step > 0 ? step : 1;
}

} // namespace qxv_test
