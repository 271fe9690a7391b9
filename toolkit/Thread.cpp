#include "toolkit/Thread.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Window.h"

namespace {

constexpr UINT CM_THREADDONE = WM_APP + 0x101;

// The window that completions are sent to. It belongs to the thread that
// made the first worker, the user-interface thread, and lives as long as the
// process.
HWND CompletionWindow() {
  static TUtilityWindow Window(TUtilityWindow::TKind::MessageOnly, [](TMessage& Message) {
    if (Message.Msg != CM_THREADDONE) return false;
    // The worker waits inside SendMessage until this returns.
    auto* Thread = reinterpret_cast<TThread*>(Message.LParam);
    Thread->OnTerminate(Thread);
    return true;
  });
  return Window.Handle();
}

}  // namespace

TThread::TThread() {
  FSyncWindow = CompletionWindow();
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
