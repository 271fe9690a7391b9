#pragma once
// The real program's start, with an empty kept log and with longer ones: the
// time to its first probe, how long its window goes without answering
// meanwhile, its memory afterwards; then the time from WM_CLOSE to its exit
// and the log it leaves; and each figure over the empty log's.

#include "bench/Plan.h"

#include <string>

namespace bench {

std::string StartAndCloseSection(const Plan& P);

// A kept log of Lines lines as the program writes them ("Connected to
// http://127.0.0.1:1234/ - 12/8/2026 9:01:56 AM", CR LF), a second apart.
std::string LongLog(int Lines);

}  // namespace bench
