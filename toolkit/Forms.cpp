#include "toolkit/Forms.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Platform.h"
#include "toolkit/Thread.h"

#include <commctrl.h>

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
  FWindow = std::make_unique<TAppWindow>(this, DefaultTitleFromPath(Platform().ExePath()));
  FSyncWindow = std::make_unique<TUtilityWindow>(TUtilityWindow::TKind::MessageOnly, [](TMessage& Message) {
    if (Message.Msg != CM_THREADDONE) return false;
    // The worker waits inside SendMessage until this returns.
    TThread::RunCompletion(reinterpret_cast<TThread*>(Message.LParam));
    return true;
  });
}

TApplication::~TApplication() {
  DestroyForms();
  FSyncWindow.reset();
  FWindow.reset();
}

HWND TApplication::Handle() const { return FWindow->WindowHandle(); }

HWND TApplication::SyncHandle() const { return FSyncWindow->Handle(); }

std::string TApplication::Title() const {
  char Buffer[256];
  int Length = GetWindowTextA(Handle(), Buffer, sizeof Buffer);
  return std::string(Buffer, static_cast<size_t>(Length > 0 ? Length : 0));
}

void TApplication::SetTitle(const std::string& Value) { SetWindowTextA(Handle(), Value.c_str()); }

void TApplication::Created(TCustomForm* Form) {
  if (!FMainForm) FMainForm = Form;
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
  // The dialog manager gives the forms Tab-key navigation and the
  // accelerators of its system controls; those of windowless controls
  // (labels, speed buttons) come first.
  HWND Top = Msg.hwnd ? GetAncestor(Msg.hwnd, GA_ROOT) : nullptr;
  if (auto* Form = dynamic_cast<TCustomForm*>(TWindowObject::FromHandle(Top))) {
    if (Msg.message == WM_SYSCHAR && Form->DialogChar(static_cast<char>(Msg.wParam))) return true;
    if (IsDialogMessageA(Top, &Msg)) return true;
  }
  TranslateMessage(&Msg);
  DispatchMessageA(&Msg);
  return true;
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
  // Each destroy handler runs while every form still exists.
  std::vector<TComponent*> Forms(Components().rbegin(), Components().rend());
  for (TComponent* Component : Forms)
    if (auto* Form = dynamic_cast<TCustomForm*>(Component)) Form->BeforeDestruction();
  FMainForm = nullptr;
  DestroyComponents();
}

HWND TApplication::BoxOwner() const {
  // A box belongs to the window the user works in, so it is modal to it and
  // the focus returns there when it closes; with none, to the hidden window.
  HWND Active = GetActiveWindow();
  return Active && IsWindowVisible(Active) ? Active : Handle();
}

void TApplication::HandleException(std::exception_ptr Error) {
  std::string Text = ExceptionMessage(Error) + ".";
  Platform().MessageBoxA(BoxOwner(), Text.c_str(), Title().c_str(), MB_OK | MB_ICONERROR);
}

void TApplication::QueueException(std::exception_ptr Error) {
  FPendingErrors.push_back(Error);
  PostMessageA(Handle(), CM_SHOWPENDINGERROR, 0, 0);
}

int TApplication::MessageBox(const std::string& Text) {
  return Platform().MessageBoxA(BoxOwner(), Text.c_str(), Title().c_str(), MB_OK);
}

bool TApplication::AppWndProc(TMessage& Message) {
  if (Message.Msg != CM_SHOWPENDINGERROR) return false;
  if (!FPendingErrors.empty()) {
    std::exception_ptr Error = FPendingErrors.front();
    FPendingErrors.pop_front();
    HandleException(Error);
  }
  return true;
}

void QueueHandlerError(std::exception_ptr Error) {
  if (Application)
    Application->QueueException(Error);
  else
    Platform().MessageBoxA(nullptr, (ExceptionMessage(Error) + ".").c_str(), nullptr, MB_OK | MB_ICONERROR);
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

// ---- TCustomForm ----

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  SetVisible(false);
  BeginLoading();
}

TCustomForm::~TCustomForm() = default;

void TCustomForm::SetClientSize(int AWidth, int AHeight) {
  FClientWidth = AWidth;
  FClientHeight = AHeight;
  if (HandleAllocated()) {
    RECT R = {0, 0, AWidth, AHeight};
    AdjustWindowRectEx(&R, static_cast<DWORD>(GetWindowLongPtrA(WindowHandle(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(WindowHandle(), GWL_EXSTYLE)));
    SetBounds(Left(), Top(), R.right - R.left, R.bottom - R.top);
  }
}

void TCustomForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ClassName = "TForm";
  Params.Style = WS_CLIPCHILDREN;  // never WS_VISIBLE: Show makes it visible
  if (!Enabled()) Params.Style |= WS_DISABLED;
  Params.WndParent = Application ? Application->Handle() : nullptr;
  if (FBorderStyle == TFormBorderStyle::bsDialog) {
    Params.Style |= WS_POPUP | WS_CAPTION;
    Params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
  } else {
    Params.Style |= WS_OVERLAPPEDWINDOW;
  }
  if (FSystemMenu) Params.Style |= WS_SYSMENU;
}

void TCustomForm::CreateHandle() {
  TWinControl::CreateHandle();
  if (FClientWidth > 0 || FClientHeight > 0) SetClientSize(FClientWidth, FClientHeight);
}

void TCustomForm::Show() {
  SetVisible(true);
  if (HandleAllocated()) SetWindowPos(WindowHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TCustomForm::SetWindowStateNormal() {
  if (Visible() && HandleAllocated() && IsIconic(WindowHandle())) ShowWindow(WindowHandle(), SW_RESTORE);
}

void TCustomForm::Close() {
  if (Application && Application->MainForm() == this)
    Application->Terminate();
  else
    Hide();
}

void TCustomForm::VisibleChanged() {
  if (Visible()) OnShow(this);
  if (HandleAllocated()) ShowWindow(WindowHandle(), Visible() ? SW_SHOW : SW_HIDE);
}

LRESULT TCustomForm::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage Message = {Msg, WParam, LParam, 0};
  WndProc(Message);
  return Message.Result;
}

void TCustomForm::FocusChanged(TWinControl* Control) {
  if (Control == FActiveControl) return;
  if (FChangingFocus || Destroying()) {
    // An exit handler moved the focus itself: that control is now the one.
    // A form being taken apart runs no exit or enter handler.
    FActiveControl = Control;
    return;
  }
  TWinControl* Old = FActiveControl;
  FActiveControl = Control;
  if (Old) {
    FChangingFocus = true;
    try {
      Old->OnExit(Old);
    } catch (...) {
      FChangingFocus = false;
      throw;
    }
    FChangingFocus = false;
  }
  if (FActiveControl == Control) Control->OnEnter(Control);
}

namespace {

bool DialogCharIn(TWinControl* Parent, char Key) {
  if (!Parent->Visible() || !Parent->Enabled()) return false;
  for (TControl* Child : Parent->Controls()) {
    if (auto* Windowless = dynamic_cast<TGraphicControl*>(Child)) {
      if (Windowless->Visible() && Windowless->Enabled() && Windowless->DialogChar(Key)) return true;
    } else if (auto* Windowed = dynamic_cast<TWinControl*>(Child)) {
      if (DialogCharIn(Windowed, Key)) return true;
    }
  }
  return false;
}

}  // namespace

bool TCustomForm::DialogChar(char Key) { return DialogCharIn(this, Key); }

void TCustomForm::CreateHints() {
  // One tooltip window serves every control of the form that has a hint.
  FHintWindow = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, WindowHandle(), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (!FHintWindow) return;
  std::vector<TControl*> Pending(Controls().begin(), Controls().end());
  while (!Pending.empty()) {
    TControl* C = Pending.back();
    Pending.pop_back();
    if (auto* W = dynamic_cast<TWinControl*>(C))
      Pending.insert(Pending.end(), W->Controls().begin(), W->Controls().end());
    if (!C->ShowHint() || C->Hint().empty() || !C->Parent()) continue;
    TOOLINFOA Tool = {};
    Tool.cbSize = sizeof Tool;
    Tool.uFlags = TTF_SUBCLASS;
    Tool.lpszText = const_cast<char*>(C->Hint().c_str());
    if (auto* W = dynamic_cast<TWinControl*>(C)) {
      Tool.uFlags |= TTF_IDISHWND;
      Tool.hwnd = C->Parent()->Handle();
      Tool.uId = reinterpret_cast<UINT_PTR>(W->Handle());
    } else {
      Tool.hwnd = C->Parent()->Handle();
      Tool.uId = reinterpret_cast<UINT_PTR>(C);
      Tool.rect = C->BoundsRect();
    }
    SendMessageA(FHintWindow, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&Tool));
  }
}

void TCustomForm::AfterConstruction() {
  HandleNeeded();
  EndLoading();
  CreateHints();
  try {
    OnCreate(this);
  } catch (...) {
    // The creation handler runs before the event loop: its error is shown at
    // once, and the program goes on.
    Application->HandleException(std::current_exception());
  }
}

void TCustomForm::BeforeDestruction() {
  // From here on no event of the form's components reaches the form: a late
  // worker completion or timer tick would find it half taken apart.
  BeginDestruction();
  try {
    OnDestroy(this);
  } catch (...) {
    Application->HandleException(std::current_exception());
  }
}

void TCustomForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case WM_ACTIVATE:
      FActive = LOWORD(Message.WParam) != WA_INACTIVE;
      // Coming back, the focus returns to the control that had it.
      if (FActive && FActiveControl && FActiveControl->CanFocus()) {
        ::SetFocus(FActiveControl->Handle());
        return;
      }
      break;
    default:
      break;
  }
  TWinControl::WndProc(Message);
}
