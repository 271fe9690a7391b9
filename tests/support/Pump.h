#pragma once
// Bounded waits for tests that run on the user-interface thread: messages keep
// flowing (worker completions, timers, posted refreshes) while they wait.

#include <functional>

namespace vtest {

// Handles messages until Done() holds or TimeoutMs has passed; returns Done().
bool PumpUntil(const std::function<bool()>& Done, unsigned TimeoutMs);

// Handles messages for DurationMs.
void PumpFor(unsigned DurationMs);

}  // namespace vtest
