#pragma once
// Thousands of probes of the program's component back to back in this
// process, with its resource counters read every so many probes: a leak per
// probe shows as steady growth. The counters are checked first (MeasureCheck),
// and one that does not follow its resource is reported as not observable.

#include "bench/Plan.h"

#include <string>

namespace bench {

// The markdown of the counter check and of the soak.
std::string SoakSection(const Plan& P);

}  // namespace bench
