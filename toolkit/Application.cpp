#include "toolkit/Application.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"

#include <commctrl.h>

// A private message of the application window: show the next pending error.
constexpr UINT CM_SHOWPENDINGERROR = WM_APP + 0x100;

TApplication* Application = nullptr;

std::string DefaultTitleFromPath(const std::string& ExePath) {
  std::string Path(ExePath);
  if (!Path.empty()) OemToCharBuffA(Path.c_str(), Path.data(), static_cast<DWORD>(Path.size()));
  std::string::size_type Slash = Path.find_last_of('\\');
  std::string Name = Slash == std::string::npos ? Path : Path.substr(Slash + 1);
  std::string::size_type Period = Name.find('.');
  if (Period != std::string::npos) Name.resize(Period);
  if (Name.size() > 1) CharLowerBuffA(Name.data() + 1, static_cast<DWORD>(Name.size() - 1));
  return Name;
}

// ---- the application window ----

class TApplication::TAppWindow : public TWindowObject {
 public:
  TAppWindow(TApplication* Owner, const std::string& Title) : FOwner(Owner) {
    TCreateParams Params;
    Params.ClassName = "TApplication";
    Params.Caption = Title;
    // Never shown: it owns the forms, so they get no task-bar button, and it
    // receives what is broadcast to applications.
    Params.Style = WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;
    Params.X = GetSystemMetrics(SM_CXSCREEN) / 2;
    Params.Y = GetSystemMetrics(SM_CYSCREEN) / 2;
    CreateWindowHandle(Params);
  }
  ~TAppWindow() override { DestroyWindowHandle(); }

 protected:
  void WndProc(TMessage& Message) override {
    if (!FOwner->AppWndProc(Message)) DefaultHandler(Message);
  }

 private:
  TApplication* FOwner;  // not owned
};

TApplication::TApplication() : TComponent(nullptr) {
  FWindow = std::make_unique<TAppWindow>(this, DefaultTitleFromPath(AnsiText(Platform().ExePath())));
  // Errors caught at window procedures wait for the next message loop, which
  // shows them in the error box.
  SetHandlerErrorSink([this](std::exception_ptr Error) { QueueException(Error); });
  UpdateHighContrast();
}

TApplication::~TApplication() {
  DestroyForms();
  SetHandlerErrorSink(nullptr);
  FWindow.reset();
}

HWND TApplication::Handle() const { return FWindow->WindowHandle(); }

std::string TApplication::Title() const {
  char Buffer[256];
  int Length = GetWindowTextA(Handle(), Buffer, sizeof Buffer);
  return std::string(Buffer, static_cast<size_t>(Length > 0 ? Length : 0));
}

void TApplication::SetTitle(const std::string& Value) { SetWindowTextA(Handle(), Value.c_str()); }

void TApplication::Created(TCustomForm* Form) {
  if (!FMainForm) FMainForm = Form;
}

bool TApplication::CloseMainForm(TCustomForm* Form) {
  if (Form != FMainForm) return false;
  Terminate();
  return true;
}

void TApplication::Run() {
  if (FMainForm && FShowMainForm) FMainForm->Show();
  while (!FTerminated) {
    if (!ProcessMessage()) MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

bool TApplication::ProcessMessage() {
  MSG Msg;
  if (!PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  // Whatever a message runs, an error it does not catch ends only that
  // handler and is shown; the loop, and the program, go on. Window
  // procedures catch their own; an accelerator's handler runs here, outside
  // any of them.
  try {
    DispatchOne(Msg);
  } catch (...) {
    HandleException(std::current_exception());
  }
  return true;
}

void TApplication::DispatchOne(MSG& Msg) {
  // The dialog manager gives the forms Tab-key navigation and the
  // accelerators of its system controls; those of windowless controls
  // (labels, speed buttons) come first.
  HWND Top = Msg.hwnd ? GetAncestor(Msg.hwnd, GA_ROOT) : nullptr;
  if (auto* Form = dynamic_cast<TCustomForm*>(TWindowObject::FromHandle(Top))) {
    if (Msg.message == WM_SYSCHAR && Form->DialogChar(static_cast<char>(Msg.wParam))) return;
    if (Msg.message == WM_KEYDOWN && Form->DialogKey(Msg)) return;
    if (IsDialogMessageA(Top, &Msg)) return;
  }
  TranslateMessage(&Msg);
  DispatchMessageA(&Msg);
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::Restore() {
  if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
}

void TApplication::DestroyForms() {
  RunDestroyHandlers();
  FMainForm = nullptr;
  DestroyComponents();
}

void TApplication::RunDestroyHandlers() {
  // Each destroy handler runs while every form still exists; each once.
  std::vector<TComponent*> Forms(Components().rbegin(), Components().rend());
  for (TComponent* Component : Forms)
    if (auto* Form = dynamic_cast<TCustomForm*>(Component)) Form->BeforeDestruction();
}

void TApplication::EndSession() {
  if (FSessionEnding) return;
  FSessionEnding = true;
  // The forms are not freed here: this may run inside any handler of theirs
  // (a sent message reaches a thread that waits in a menu, a box, or a call
  // to the shell), which must find its objects whole when it returns.
  RunDestroyHandlers();
  Terminate();
}

HWND TApplication::BoxOwner() const {
  HWND Active = GetActiveWindow();
  return Active && IsWindowVisible(Active) ? Active : Handle();
}

void TApplication::HandleException(std::exception_ptr Error) {
  // At the session's end nobody answers a box; what failed stays as it was.
  if (FSessionEnding) return;
  std::string Text = ExceptionMessage(Error) + ".";
  Platform().MessageBoxA(BoxOwner(), Text.c_str(), Title().c_str(), MB_OK | MB_ICONERROR);
}

void TApplication::QueueException(std::exception_ptr Error) {
  FPendingErrors.push_back(Error);
  PostMessageA(Handle(), CM_SHOWPENDINGERROR, 0, 0);
}

int TApplication::MessageBox(const std::string& Text) {
  if (FSessionEnding) return IDOK;
  return Platform().MessageBoxA(BoxOwner(), Text.c_str(), Title().c_str(), MB_OK);
}

void TApplication::UpdateHighContrast() {
  HIGHCONTRASTA Setting = {};
  Setting.cbSize = sizeof Setting;
  SetHighContrast(Platform().SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof Setting, &Setting, 0) &&
                  (Setting.dwFlags & HCF_HIGHCONTRASTON));
  for (TComponent* Component : Components())
    if (auto* Form = dynamic_cast<TCustomForm*>(Component); Form && Form->HandleAllocated())
      RedrawWindow(Form->WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

bool TApplication::AppWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CM_SHOWPENDINGERROR:
      if (!FPendingErrors.empty()) {
        std::exception_ptr Error = FPendingErrors.front();
        FPendingErrors.erase(FPendingErrors.begin());
        HandleException(Error);
      }
      return true;
    case WM_QUERYENDSESSION:
      // Nothing to ask the user: the end of the run keeps everything.
      Message.Result = TRUE;
      return true;
    case WM_ENDSESSION:
      // Every top-level window of the program is told; this one, which owns
      // them all, ends the run for all.
      if (Message.WParam) EndSession();
      Message.Result = 0;
      return true;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // Sent to every top-level window, this hidden one included; the
      // default handling follows.
      UpdateHighContrast();
      return false;
    default:
      return false;
  }
}

void ToolkitStartup() {
  INITCOMMONCONTROLSEX Controls = {sizeof Controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&Controls);
  if (!Application) Application = new TApplication();
}

void ToolkitCleanup() {
  delete Application;
  Application = nullptr;
}
