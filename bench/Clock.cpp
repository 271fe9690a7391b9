#include "bench/Clock.h"

#include <windows.h>

namespace bench {

double NowMs() {
  static const double TicksPerMs = [] {
    LARGE_INTEGER Frequency;
    QueryPerformanceFrequency(&Frequency);
    return static_cast<double>(Frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER Now;
  QueryPerformanceCounter(&Now);
  return static_cast<double>(Now.QuadPart) / TicksPerMs;
}

}  // namespace bench
