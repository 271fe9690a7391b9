#pragma once
// The CPU the real program uses while it monitors at a 30-second interval
// against a server that answers: its cost to a machine it sits on all day.

#include "bench/Plan.h"

#include <string>

namespace bench {

std::string CpuUseSection(const Plan& P);

}  // namespace bench
