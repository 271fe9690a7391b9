#pragma once
// A job on a thread of its own, joined with a bound. A job that outlives its
// bound is left running, never killed (killing a thread inside WinINet or
// winsock can leave their locks held): so a job must own everything it uses,
// by value or through shared pointers, never by reference to the caller.

#include "bench/Unique.h"

#include <functional>

namespace bench {

class Worker {
 public:
  // Starts the job at once; throws std::runtime_error when no thread can be made.
  explicit Worker(std::function<void()> Job);
  // Waits for the job as Join(DestructorBoundMs) does, then lets go of it.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Waits until the job has returned or TimeoutMs has passed; returns whether it returned.
  bool Join(unsigned TimeoutMs);

  static constexpr unsigned DestructorBoundMs = 10000;

 private:
  static DWORD WINAPI Run(LPVOID Parameter);

  UniqueHandle FThread;
};

}  // namespace bench
