#include "toolkit/Forms.h"

#include <commctrl.h>

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
    const SIZE Outer = WindowSizeAt(FDpi);
    SetBounds(Left(), Top(), Outer.cx, Outer.cy);
  }
}

SIZE TCustomForm::WindowSizeAt(int Dpi) const {
  const HWND Window = WindowHandle();
  const RECT R = WindowRectForClient(
      {0, 0, FDesignClientWidth.At(FClientWidth, FDpi, Dpi), FDesignClientHeight.At(FClientHeight, FDpi, Dpi)},
      static_cast<DWORD>(GetWindowLongPtrA(Window, GWL_STYLE)),
      static_cast<DWORD>(GetWindowLongPtrA(Window, GWL_EXSTYLE)), Dpi);
  return {R.right - R.left, R.bottom - R.top};
}

void TCustomForm::ScaleTo(int Dpi) {
  if (Dpi <= 0 || Dpi == FDpi) return;
  const int Old = FDpi;
  // First: a control that loads a picture for the DPI asks the form for it.
  FDpi = Dpi;
  FClientWidth = FDesignClientWidth.Rescale(FClientWidth, Old, Dpi);
  FClientHeight = FDesignClientHeight.Rescale(FClientHeight, Old, Dpi);
  ChangeFontScale(Dpi, Old);
  for (TControl* Child : std::vector<TControl*>(Controls())) Child->ChangeScale(Dpi, Old);
  AlignControls();
}

void TCustomForm::ScaleWindow(int Dpi, const RECT* Suggested) {
  ScaleTo(Dpi);
  if (Suggested && Suggested->right > Suggested->left && Suggested->bottom > Suggested->top)
    SetWindowPos(WindowHandle(), nullptr, Suggested->left, Suggested->top, Suggested->right - Suggested->left,
                 Suggested->bottom - Suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  else
    SetClientSize(FClientWidth, FClientHeight);
  // The hints of windowless controls were registered at their old places.
  if (FHintWindow) {
    DestroyWindow(FHintWindow);
    FHintWindow = nullptr;
    CreateHints();
  }
}

void TCustomForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ClassName = "TForm";
  Params.Style = WS_CLIPCHILDREN;  // never WS_VISIBLE: Show makes it visible
  if (!Enabled()) Params.Style |= WS_DISABLED;
  Params.WndParent = Host() ? Host()->FormOwnerWindow() : nullptr;
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
  // The layout's figures are those of 96 DPI; the window now has its own.
  ScaleTo(WindowDpi(WindowHandle()));
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
  if (TFormHost* H = Host(); H && H->CloseMainForm(this)) return;
  Hide();
}

void TCustomForm::VisibleChanged() {
  // A hidden window hears of no change of its monitor's scale: it is laid
  // out for the scale of now before anyone sees it.
  if (Visible() && HandleAllocated())
    if (const int Dpi = MonitorDpi(WindowHandle()); Dpi != FDpi) ScaleWindow(Dpi, nullptr);
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
    // once, and the program goes on. A form of no application passes it on.
    if (!Host()) throw;
    Host()->ShowFormError(std::current_exception());
  }
}

void TCustomForm::BeforeDestruction() {
  // Once: the end of a session runs it, and the form is freed later, if at
  // all.
  if (Destroying()) return;
  // From here on no event of the form's components reaches the form: a late
  // worker completion or timer tick would find it half taken apart.
  BeginDestruction();
  try {
    OnDestroy(this);
  } catch (...) {
    if (!Host()) throw;
    Host()->ShowFormError(std::current_exception());
  }
}

void TCustomForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case WM_SETFOCUS:
      // The window itself took the focus (no control of it could, or a page
      // that went handed it here): none of its controls has it, and none is
      // to get it back when the window is activated again.
      FActiveControl = nullptr;
      break;
    case WM_GETDPISCALEDSIZE:
      // Asked before WM_DPICHANGED for the window's size at the new DPI: the
      // system's own guess scales the outer size, borders and all, and can
      // leave the client area a pixel or two off the layout's.
      if (auto* Size = reinterpret_cast<SIZE*>(Message.LParam)) {
        *Size = WindowSizeAt(LOWORD(Message.WParam));
        Message.Result = TRUE;
        return;
      }
      break;
    case WM_DPICHANGED:
      // Moved to a monitor of another scale, or the scale changed: laid out
      // again for the new DPI, in the rectangle the system suggests, which
      // keeps the window where the user sees it (without one, where it is).
      ScaleWindow(LOWORD(Message.WParam), reinterpret_cast<const RECT*>(Message.LParam));
      Message.Result = 0;
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
