#pragma once
// A worker thread object. It runs Execute on a thread of its own; when that
// has returned, its completion (OnTerminate) runs on the user-interface thread
// while the worker waits, and only then may the object free itself. Nothing
// ever waits for a worker: one that is still running when the process ends is
// simply ended with it.
//
// The completion travels as a message posted to a hidden window of this unit,
// made on the user-interface thread by the first thread object (they are all
// made there), and the worker waits for a signal that the completion has run.
// Posted, never sent: a sent message is handled by a thread that waits inside
// any call to another thread or process (every call to the shell's
// notification area is one), so the completion would run in the middle of
// whatever that thread was doing. A posted one runs only from a message loop,
// between two handlers.

#include "toolkit/Classes.h"

#include <windows.h>

#include <atomic>

class TThread : public TObject {
 public:
  // The thread is made suspended; Start lets it run.
  TThread();
  ~TThread() override;

  void Start();
  // Asks the work to give up; Execute polls Terminated.
  void Terminate() { FTerminated.store(true); }
  bool Terminated() const { return FTerminated.load(); }

  // Free the object on the worker thread once its completion has run.
  bool FreeOnTerminate = false;
  // The completion, run on the user-interface thread. Read and written only
  // on that thread: clearing it drops the completion (for an owner that is
  // going away).
  TNotifyEvent OnTerminate;

 protected:
  virtual void Execute() = 0;

 private:
  static DWORD WINAPI ThreadProc(LPVOID Parameter);
  // The window that completions are posted to.
  static HWND CompletionWindow();
  // On the user-interface thread: runs the completion, then lets the worker go.
  void DeliverCompletion();

  std::atomic<bool> FTerminated{false};
  HANDLE FHandle = nullptr;     // owned
  HANDLE FCompleted = nullptr;  // owned: set once the completion has run
  HWND FSyncWindow = nullptr;   // not owned: the user-interface thread's completion window
};
