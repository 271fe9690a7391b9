#include "toolkit/Forms.h"

#include "toolkit/Accessible.h"

#include <commctrl.h>

#include <algorithm>

// ---- TCustomForm ----

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  InstallAccessibility();
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

namespace {

// The windowless controls inside Parent, at any depth, that can hold the focus.
void CollectFocusable(TWinControl* Parent, std::vector<TGraphicControl*>& Found) {
  if (!Parent->Visible() || !Parent->Enabled()) return;
  for (TControl* Child : Parent->Controls()) {
    if (auto* W = dynamic_cast<TWinControl*>(Child))
      CollectFocusable(W, Found);
    else if (auto* G = dynamic_cast<TGraphicControl*>(Child); G->CanTakeFocus() && G->Visible() && G->Enabled())
      Found.push_back(G);
  }
}

bool ShiftDown(int Key) { return GetKeyState(Key) < 0; }

}  // namespace

TTabStop TCustomForm::FocusedStop() const {
  auto* W = dynamic_cast<TWinControl*>(FromHandle(GetFocus()));
  if (!W) return {};
  if (!W->IsField() && W->FocusedControl()) return {W, W->FocusedControl()};
  return {W, nullptr};
}

bool TCustomForm::FocusShows() const {
  TTabStop Stop = FocusedStop();
  if (!Stop.Window || Stop.Window == this) return false;
  if (!Stop.Window->CanFocus() || !Stop.Window->Showing()) return false;
  if (Stop.Graphic) return Stop.Graphic->Visible() && Stop.Graphic->Enabled();
  return Stop.Window->IsField();
}

void TCustomForm::CheckFocus() {
  if (!FActive || Destroying() || !HandleAllocated()) return;
  HWND Focus = GetFocus();
  // The focus is in another window of ours (a box, a dialog): not ours to move.
  if (Focus && Focus != WindowHandle() && !IsChild(WindowHandle(), Focus)) return;
  // A control that only holds the focus because no Tab stop was left (the
  // fields of the page on show all locked) gives it back to the first one
  // as soon as there is one again.
  const TTabStop Stop = FocusShows() ? FocusedStop() : TTabStop{};
  if (Stop.Window && !(Stop.Graphic && Stop.Graphic == FParkedOn)) return;
  FParkedOn = nullptr;
  if (FocusFirstTabStop()) return;
  if (Stop.Window) {
    FParkedOn = Stop.Graphic;
    return;
  }
  std::vector<TGraphicControl*> Focusable;
  CollectFocusable(this, Focusable);
  if (Focusable.empty()) return;
  Focusable.front()->SetFocus();
  FParkedOn = Focusable.front();
}

void TCustomForm::ControlStateChanged() {
  if (FFocusCheckPosted || !HandleAllocated()) return;
  FFocusCheckPosted = PostMessageA(WindowHandle(), CM_CHECKFOCUS, 0, 0) != FALSE;
}

void TCustomForm::SelectNext(bool Forward) {
  const std::vector<TTabStop> Stops = TabStops();
  if (Stops.empty()) return;
  const auto It = std::find(Stops.begin(), Stops.end(), FocusedStop());
  size_t Next = Forward ? 0 : Stops.size() - 1;
  if (It != Stops.end())
    Next = (static_cast<size_t>(It - Stops.begin()) + (Forward ? 1 : Stops.size() - 1)) % Stops.size();
  const TTabStop& To = Stops[Next];
  To.Focus();
  // As the dialog manager does: a field reached by the keyboard has its
  // text selected, and the keyboard's focus cues are shown from now on.
  if (!To.Graphic && GetFocus() == To.Window->WindowHandle() &&
      (SendMessageA(To.Window->WindowHandle(), WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
    SendMessageA(To.Window->WindowHandle(), EM_SETSEL, 0, -1);
  SendMessageA(WindowHandle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

bool TCustomForm::DialogKey(const MSG& Msg) {
  if (Msg.message != WM_KEYDOWN || ShiftDown(VK_CONTROL) || ShiftDown(VK_MENU)) return false;
  switch (Msg.wParam) {
    case VK_TAB:
      SelectNext(!ShiftDown(VK_SHIFT));
      return true;
    case VK_SPACE:
    case VK_RETURN: {
      TTabStop Stop = FocusedStop();
      if (!Stop.Graphic || ShiftDown(VK_SHIFT)) return false;
      // A key held down clicks once.
      if (!(Msg.lParam & (1 << 30))) Stop.Graphic->Click();
      return true;
    }
    default:
      return false;
  }
}

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
  StopEvents();
  try {
    OnDestroy(this);
  } catch (...) {
    if (!Host()) throw;
    Host()->ShowFormError(std::current_exception());
  }
  // Only then are the components told, and the tray icon leaves: the files
  // are written first, since removing the icon is a call into the shell's
  // process, which at the end of a session may answer late or not at all.
  BeginDestruction();
}

void TCustomForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case WM_SETFOCUS:
      // The window itself took the focus (no control of it could, or a page
      // that went handed it here): none of its controls has it, and none is
      // to get it back when the window is activated again. Nothing shows
      // where the keys go, so a control takes it over.
      FActiveControl = nullptr;
      ControlStateChanged();
      break;
    case CM_CHECKFOCUS:
      FFocusCheckPosted = false;
      CheckFocus();
      return;
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
      // Coming back, the focus returns to the control that had it, or to
      // one that shows it.
      if (FActive && FActiveControl && FActiveControl->CanFocus()) {
        ::SetFocus(FActiveControl->Handle());
        CheckFocus();
        return;
      }
      if (FActive) {
        TWinControl::WndProc(Message);
        CheckFocus();
        return;
      }
      break;
    default:
      break;
  }
  TWinControl::WndProc(Message);
}
