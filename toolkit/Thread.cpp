#include "toolkit/Thread.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Window.h"

namespace {

constexpr UINT CM_THREADDONE = WM_APP + 0x101;

}  // namespace

// It belongs to the thread that made the first worker, the user-interface
// thread, and lives as long as the process.
HWND TThread::CompletionWindow() {
  static TUtilityWindow Window(TUtilityWindow::TKind::MessageOnly, [](TMessage& Message) {
    if (Message.Msg != CM_THREADDONE) return false;
    reinterpret_cast<TThread*>(Message.LParam)->DeliverCompletion();
    return true;
  });
  return Window.Handle();
}

TThread::TThread() {
  FSyncWindow = CompletionWindow();
  FCompleted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!FCompleted) throw Exception("Thread creation error: " + std::to_string(GetLastError()));
  FHandle = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, nullptr);
  if (!FHandle) {
    const DWORD Error = GetLastError();
    CloseHandle(FCompleted);
    throw Exception("Thread creation error: " + std::to_string(Error));
  }
}

TThread::~TThread() {
  if (FHandle) CloseHandle(FHandle);
  if (FCompleted) CloseHandle(FCompleted);
}

void TThread::Start() { ResumeThread(FHandle); }

void TThread::DeliverCompletion() {
  // The worker is let go even when the completion fails; it may free itself
  // at once, so nothing here touches the object after that.
  struct TRelease {
    HANDLE Completed;
    ~TRelease() { SetEvent(Completed); }
  } Release{FCompleted};
  OnTerminate(this);
}

DWORD WINAPI TThread::ThreadProc(LPVOID Parameter) {
  auto* Thread = static_cast<TThread*>(Parameter);
  try {
    Thread->Execute();
  } catch (...) {
    // An error of the work itself ends the work; the completion still runs.
  }
  // A full message queue refuses the post for a moment; a window that is
  // gone means the process is ending, and nobody is left to tell.
  bool Posted = false;
  while (!(Posted = PostMessageA(Thread->FSyncWindow, CM_THREADDONE, 0, reinterpret_cast<LPARAM>(Thread)) != FALSE) &&
         IsWindow(Thread->FSyncWindow))
    Sleep(10);
  if (Posted) WaitForSingleObject(Thread->FCompleted, INFINITE);
  if (Thread->FreeOnTerminate) delete Thread;
  return 0;
}
