#include "app/OneInstanceU.h"

#include "toolkit/Application.h"
#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"

std::string InstanceName;
std::string InstanceMessageText = "Only one instance of %s can be executed !";
bool ShowInstanceMessage = true;

UINT InstanceMessage = 0;
HANDLE InstanceMutex = nullptr;
WNDPROC OldWndProc = nullptr;
DWORD InstanceStatus = 0;

namespace {

bool StartedUp = false;
bool CleanedUp = false;

// The copy that tells us another one runs: the mutex exists, or exists but is
// not ours to open (another user's session).
void SecondInstance() {
  if (ShowInstanceMessage) Application->MessageBox(Format(InstanceMessageText, {InstanceName}));
  ExitSecondInstance(true);
}

void UnhookApplicationWindow() {
  if (!OldWndProc) return;
  SetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OldWndProc));
  OldWndProc = nullptr;
}

}  // namespace

void OneInstanceStartup() {
  if (StartedUp) return;
  StartedUp = true;
  // Before the program sets its own title, the title is the toolkit's
  // default, derived from the executable's name.
  if (InstanceName.empty()) InstanceName = Application->Title();
  InstanceMessage = RegisterWindowMessageA(InstanceName.c_str());
  CheckInstance();
}

void OneInstanceCleanup() {
  if (CleanedUp) return;
  CleanedUp = true;
  UnhookApplicationWindow();
  // The mutex stays open: it exists exactly as long as this process.
}

void CheckInstance() {
  InstanceMutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, InstanceName.c_str());
  if (InstanceMutex || GetLastError() == ERROR_ACCESS_DENIED) {
    SecondInstance();
    return;
  }
  SetupFirstInstance();
}

void SetupFirstInstance() {
  HookApplicationWindow();
  InstanceMutex = CreateMutexA(nullptr, FALSE, InstanceName.c_str());
  DWORD Error = GetLastError();
  // Opening, then creating, is not one step: a copy started at the same
  // moment may have created the mutex in between. Then this copy is the
  // later one after all.
  if ((InstanceMutex && Error == ERROR_ALREADY_EXISTS) || (!InstanceMutex && Error == ERROR_ACCESS_DENIED)) {
    UnhookApplicationWindow();
    SecondInstance();
    return;
  }
  if (!InstanceMutex) InstanceStatus |= isMutexFailed;
}

void HookApplicationWindow() {
  // SetWindowLongPtrA keeps the whole 64-bit procedure address.
  OldWndProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InstanceWndProc)));
  if (!OldWndProc) InstanceStatus |= isHookFailed;
}

void ExitSecondInstance(bool Broadcast) {
  Application->SetShowMainForm(false);
  if (Broadcast) {
    DWORD Recipients = BSM_APPLICATIONS;
    BroadcastSystemMessageA(BSF_IGNORECURRENTTASK | BSF_POSTMESSAGE, &Recipients, InstanceMessage, 0, 0);
  }
  Application->Terminate();
}

LRESULT CALLBACK InstanceWndProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message != InstanceMessage) return CallWindowProcA(OldWndProc, Window, Message, WParam, LParam);
  if (IsIconic(Application->Handle())) {
    if (TCustomForm* Main = Application->MainForm()) Main->SetWindowStateNormal();
    Application->Restore();
  }
  // A hidden main window stays hidden: it only becomes the foreground
  // window, as far as the system allows.
  if (TCustomForm* Main = Application->MainForm()) ForceForeground(Main->WindowHandle());
  return 0;
}

bool ForceForeground(HWND Window) {
  DWORD ForegroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  DWORD ThisThread = GetCurrentThreadId();
  // Joined to the foreground thread's input, this thread may take the
  // foreground; only for the one call.
  AttachThreadInput(ThisThread, ForegroundThread, TRUE);
  bool Accepted = SetForegroundWindow(Window) != FALSE;
  if (!Accepted) {
    std::string Text = "Error " + std::to_string(GetLastError()) + " from SetForegroundWindow";
    Platform().OutputDebugStringA(Text.c_str());
  }
  AttachThreadInput(ThisThread, ForegroundThread, FALSE);
  return Accepted;
}
