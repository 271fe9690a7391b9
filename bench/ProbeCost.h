#pragma once
// What a probe costs: the program's component against the same WinINet
// calls on a bare thread and against a plain winsock GET, rounds
// interleaved so that the machine's ups and downs fall on all three alike.

#include "bench/Plan.h"

#include <string>

namespace bench {

// Runs the rounds against a loopback server answering 200; returns the
// section's markdown.
std::string ProbeCostSection(const Plan& P);

}  // namespace bench
