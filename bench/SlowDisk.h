#pragma once
// The window's answer times while lines are logged to a disk that takes 2 s
// for each write: the log's writer thread takes the waits, never the
// window.

#include "bench/Plan.h"

#include <string>

namespace bench {

std::string SlowDiskSection(const Plan& P);

}  // namespace bench
