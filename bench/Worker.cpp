#include "bench/Worker.h"

#include <memory>
#include <stdexcept>

namespace bench {

Worker::Worker(std::function<void()> Job) {
  // The thread owns its copy of the job, so one left running after the
  // Worker is gone still has it.
  auto Owned = std::make_unique<std::function<void()>>(std::move(Job));
  FThread.Reset(CreateThread(nullptr, 0, Run, Owned.get(), 0, nullptr));
  if (!FThread) throw std::runtime_error("cannot create a thread (error " + std::to_string(GetLastError()) + ")");
  Owned.release();
}

Worker::~Worker() { Join(DestructorBoundMs); }

bool Worker::Join(unsigned TimeoutMs) { return WaitForSingleObject(FThread.Get(), TimeoutMs) == WAIT_OBJECT_0; }

DWORD WINAPI Worker::Run(LPVOID Parameter) {
  std::unique_ptr<std::function<void()>> Job(static_cast<std::function<void()>*>(Parameter));
  try {
    (*Job)();
  } catch (...) {
    // A failed job reports through the state it shares with its caller.
  }
  return 0;
}

}  // namespace bench
