#pragma once
// Wall time for the measurements. The performance counter, not the tick
// count: a probe takes a few milliseconds, and the tick count moves in steps
// of up to 16 ms on Windows.

namespace bench {

// Milliseconds since an arbitrary fixed point, with sub-millisecond resolution.
double NowMs();

}  // namespace bench
