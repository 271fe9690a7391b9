#pragma once
// This program started again in a helper role (--spin, --serve): a process
// of our own that a measurement looks at from outside, or that keeps its
// work out of the process being measured. Its standard input and output are
// pipes to us; it ends when its input closes, so none outlives the
// benchmark, even one that crashed.

#include "bench/Unique.h"

#include <optional>
#include <string>

namespace bench {

class ChildProcess {
 public:
  // Starts "<this program> <Arguments>"; throws std::runtime_error when it cannot.
  explicit ChildProcess(const std::string& Arguments);
  // Closes its input, waits a little for it to end, then ends it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  DWORD Pid() const { return FPid; }
  // The next line it writes, without the line end; nullopt when none comes
  // within TimeoutMs.
  std::optional<std::string> ReadLine(unsigned TimeoutMs);

 private:
  UniqueHandle FProcess;
  UniqueHandle FInput;   // our end of its standard input
  UniqueHandle FOutput;  // our end of its standard output
  DWORD FPid = 0;
  std::string FPending;  // read beyond the last line returned
};

// The helper's side: returns when its standard input closes, that is when
// the ChildProcess that started it is gone.
void WaitForParentToLetGo();

}  // namespace bench
