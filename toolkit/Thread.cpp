#include "toolkit/Thread.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Forms.h"

TThread::TThread() {
  if (!Application) throw Exception("Threads need the application object");
  FSyncWindow = Application->SyncHandle();
  FHandle = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, nullptr);
  if (!FHandle) throw Exception("Thread creation error: " + std::to_string(GetLastError()));
}

TThread::~TThread() {
  if (FHandle) CloseHandle(FHandle);
}

void TThread::Start() { ResumeThread(FHandle); }

DWORD WINAPI TThread::ThreadProc(LPVOID Parameter) {
  auto* Thread = static_cast<TThread*>(Parameter);
  try {
    Thread->Execute();
  } catch (...) {
    // An error of the work itself ends the work; the completion still runs.
  }
  // Synchronous: returns once the completion has run on the user-interface
  // thread, or at once when that thread's window is gone (the process ends).
  SendMessageA(Thread->FSyncWindow, CM_THREADDONE, 0, reinterpret_cast<LPARAM>(Thread));
  if (Thread->FreeOnTerminate) delete Thread;
  return 0;
}

void TThread::RunCompletion(TThread* Thread) { Thread->OnTerminate(Thread); }
