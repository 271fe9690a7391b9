#pragma once
// What the program holds while it idles, beside the least a tray monitor
// can hold (bench/MinimalTray.cpp): private bytes, GDI objects by kind,
// windows, handles and threads, each read some seconds after the start; and
// what each system library the program loads only when needed would cost
// the minimal program if it were loaded at its start.

#include "bench/Plan.h"

#include <string>

namespace bench {

std::string FootprintSection(const Plan& P);

}  // namespace bench
