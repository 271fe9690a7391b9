#pragma once
// Before a counter of Resources is trusted, it must move when the resource
// does: this makes a known number of each resource in this process, reads
// the counter before and after, and says which counters follow.

#include <string>

namespace bench {

struct Observable {
  bool Handles = false;
  bool GdiObjects = false;
  bool Windows = false;
  bool Threads = false;
  bool PrivateBytes = false;       // read through this process's own pseudo-handle
  bool OtherPrivateBytes = false;  // read through a real handle, as for another process
  bool UnixCpu = false;            // CPU time from /proc (CpuTime.h)
};

struct MeasureCheck {
  Observable Works;
  std::string Markdown;  // one table: counter, source, what was made, expected and seen change, verdict
};

MeasureCheck CheckMeasures();

// The CPU check runs this program again with this argument (and a marker);
// such a run spins, then idles until its parent lets go.
extern const char* const SpinArgument;
int RunSpinChild();

// How each counter is read, for the tables' notes.
extern const char* const HandleSource;
extern const char* const GdiSource;
extern const char* const WindowSource;
extern const char* const ThreadSource;
extern const char* const PrivateSource;
extern const char* const UnixCpuSource;

}  // namespace bench
