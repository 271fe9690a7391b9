#include "toolkit/Controls.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Handles.h"

#include <windowsx.h>

#include <algorithm>

namespace {

TShiftState KeysToShift(WPARAM Keys) {
  TShiftState Shift = 0;
  if (Keys & MK_SHIFT) Shift |= ssShift;
  if (Keys & MK_CONTROL) Shift |= ssCtrl;
  if (Keys & MK_LBUTTON) Shift |= ssLeft;
  if (Keys & MK_RBUTTON) Shift |= ssRight;
  if (Keys & MK_MBUTTON) Shift |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) Shift |= ssAlt;
  return Shift;
}

// Windows 8's EVENT_OBJECT_LIVEREGIONCHANGED; older systems pass it on unread.
constexpr DWORD EventLiveRegionChanged = 0x8019;

bool IsMouseMessage(UINT Msg) { return Msg >= WM_MOUSEFIRST && Msg <= WM_MBUTTONDBLCLK; }

TGetObjectHandler GetObjectHandler = nullptr;

// Whether A lies before B on screen: higher up, or on the same line further left.
bool BeforeOnScreen(const TControl* A, const TControl* B) {
  return A->Top() < B->Top() || (A->Top() == B->Top() && A->Left() < B->Left());
}

}  // namespace

void SetGetObjectHandler(TGetObjectHandler Handler) { GetObjectHandler = Handler; }

// ---- TControl ----

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  FFont.OnChange = [this] { FontChanged(); };
}

TControl::~TControl() {
  FFont.OnChange = nullptr;
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* Value) {
  if (Value == FParent) return;
  if (FParent) FParent->RemoveControl(this);
  if (Value) Value->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  RECT Old = BoundsRect();
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  // A windowless control leaves its old place to be painted again.
  if (FParent && !FParent->FCreating && !dynamic_cast<TWinControl*>(this) && FParent->HandleAllocated())
    InvalidateRect(FParent->WindowHandle(), &Old, TRUE);
  BoundsChanged();
  if (FParent && FAlign != TAlign::alNone) FParent->AlignControls();
}

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  FAlign = Value;
  if (FParent) FParent->AlignControls();
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  VisibleChanged();
  AccNotify(Value ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE);
  // Gone, it may have taken the focus with it; back, it may be where the
  // focus belongs.
  if (FParent) FParent->ControlStateChanged();
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  EnabledChanged();
  AccNotify(EVENT_OBJECT_STATECHANGE);
  if (FParent) FParent->ControlStateChanged();
}

void TControl::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  TextChanged();
  AccNotify(EVENT_OBJECT_NAMECHANGE);
  // A screen reader speaks a changed name of the focused control only; a
  // status line is a live region, which it speaks wherever the focus is.
  if (FLiveSetting != TLiveSetting::Off && FParent && FParent->HandleAllocated() &&
      IsWindowVisible(GetAncestor(FParent->WindowHandle(), GA_ROOT)))
    AccNotify(EventLiveRegionChanged);
}

void TControl::AccNotify(DWORD Event) const {
  // A window of a system class raises its own events.
  if (dynamic_cast<const TWinControl*>(this) || !FParent || !FParent->HandleAllocated()) return;
  NotifyWinEvent(Event, FParent->WindowHandle(), OBJID_CLIENT, FParent->ChildIdOf(this));
}

bool TControl::Showing() const {
  for (const TControl* C = this; C; C = C->FParent) {
    if (!C->FParent)
      return !dynamic_cast<const TWinControl*>(C) ||
             IsWindowVisible(static_cast<const TWinControl*>(C)->WindowHandle());
    if (!C->FVisible) return false;
  }
  return true;
}

std::string TControl::AccName() const {
  if (!FAccessibleName.empty()) return FAccessibleName;
  std::string Name;
  bool Letters = false;
  for (size_t I = 0; I < FCaption.size(); ++I) {
    if (FCaption[I] == '&' && ++I == FCaption.size()) break;
    Name += FCaption[I];
    if (IsCharAlphaNumericA(FCaption[I])) Letters = true;
  }
  // "..." tells a listener nothing; the hint says what the button does.
  return Letters || FHint.empty() ? Name : FHint;
}

std::string TControl::AccKeyboardShortcut() const {
  char Key = AcceleratorChar();
  if (!Key) return {};
  CharUpperBuffA(&Key, 1);
  return std::string("Alt+") + Key;
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  ColorChanged();
}

bool TControl::FormActive() const {
  const TControl* Top = this;
  while (Top->FParent) Top = Top->FParent;
  auto* Window = dynamic_cast<const TWinControl*>(Top);
  return Window && Window->ActiveFlag();
}

int TControl::CurrentDpi() const {
  const TControl* Top = this;
  while (Top->FParent) Top = Top->FParent;
  auto* Window = dynamic_cast<const TWinControl*>(Top);
  return Window ? Window->PixelsPerInch() : DefaultDpi;
}

void TControl::ChangeScale(int NewDpi, int OldDpi) {
  SetBounds(FDesignBounds[0].Rescale(FLeft, OldDpi, NewDpi), FDesignBounds[1].Rescale(FTop, OldDpi, NewDpi),
            FDesignBounds[2].Rescale(FWidth, OldDpi, NewDpi), FDesignBounds[3].Rescale(FHeight, OldDpi, NewDpi));
  // After the bounds: a label that fits itself to its text does so with the
  // new font, where the new bounds put it.
  ChangeFontScale(NewDpi, OldDpi);
}

void TControl::ChangeFontScale(int NewDpi, int OldDpi) {
  FFont.SetHeight(FDesignFontHeight.Rescale(FFont.Height(), OldDpi, NewDpi));
}

void TControl::Invalidate() {
  if (FParent && FParent->HandleAllocated()) {
    RECT R = BoundsRect();
    InvalidateRect(FParent->WindowHandle(), &R, TRUE);
  }
}

void TControl::Click() { OnClick(this); }

char TControl::AcceleratorChar() const {
  for (size_t I = 0; I + 1 < FCaption.size(); ++I) {
    if (FCaption[I] != '&') continue;
    if (FCaption[I + 1] != '&') return FCaption[I + 1];
    ++I;  // "&&" stands for one ampersand
  }
  return 0;
}

bool TControl::IsAccelerator(char Key) const {
  const char Marked = AcceleratorChar();
  if (!Marked) return false;
  char Pair[2] = {Marked, Key};
  CharUpperBuffA(Pair, 2);
  return Pair[0] == Pair[1];
}

bool TControl::MouseCapture() const {
  if (auto* Self = dynamic_cast<const TWinControl*>(this))
    return Self->HandleAllocated() && GetCapture() == Self->WindowHandle();
  return FParent && FParent->FCaptureControl == this && GetCapture() == FParent->WindowHandle();
}

void TControl::SetMouseCapture(bool Value) {
  if (auto* Self = dynamic_cast<TWinControl*>(this)) {
    if (Value)
      SetCapture(Self->Handle());
    else if (MouseCapture())
      ReleaseCapture();
    return;
  }
  if (!FParent) return;
  auto* Windowless = static_cast<TGraphicControl*>(this);
  if (Value)
    FParent->CapturePointer(Windowless);
  else
    FParent->ReleasePointer(Windowless);
}

void TControl::MouseMessage(UINT Msg, WPARAM Keys, int X, int Y) {
  if (Destroying()) return;
  TShiftState Shift = KeysToShift(Keys);
  switch (Msg) {
    case WM_MOUSEMOVE:
      MouseMove(Shift, X, Y);
      break;
    case WM_LBUTTONDOWN:
      SetMouseCapture(true);
      FClicked = true;
      MouseDown(TMouseButton::mbLeft, Shift, X, Y);
      break;
    case WM_LBUTTONDBLCLK:
      SetMouseCapture(true);
      DblClick();
      MouseDown(TMouseButton::mbLeft, Shift | ssDouble, X, Y);
      break;
    case WM_LBUTTONUP:
      SetMouseCapture(false);
      if (FClicked) {
        FClicked = false;
        if (X >= 0 && Y >= 0 && X < FWidth && Y < FHeight) Click();
      }
      MouseUp(TMouseButton::mbLeft, Shift, X, Y);
      break;
    case WM_RBUTTONDOWN:
      MouseDown(TMouseButton::mbRight, Shift, X, Y);
      break;
    case WM_RBUTTONUP:
      MouseUp(TMouseButton::mbRight, Shift, X, Y);
      break;
    default:
      break;
  }
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) { OnMouseMove(this, Shift, X, Y); }

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) { OnMouseUp(this, Button, Shift, X, Y); }

// ---- TGraphicControl ----

void TGraphicControl::VisibleChanged() {
  // The area must be painted whether the control appears or goes.
  TControl::Invalidate();
}

void TGraphicControl::BoundsChanged() { Invalidate(); }

bool TGraphicControl::Focused() const {
  TWinControl* Host = Parent();
  return Host && Host->FFocusedControl == this && Host->HandleAllocated() && GetFocus() == Host->WindowHandle();
}

void TGraphicControl::SetFocus() {
  TWinControl* Host = Parent();
  if (!Host) return;
  TGraphicControl* Old = Host->FFocusedControl;
  Host->FFocusedControl = this;
  if (Old && Old != this) Old->Invalidate();
  if (GetFocus() != Host->Handle()) {
    // The window's WM_SETFOCUS paints the rectangle and tells the others.
    ::SetFocus(Host->Handle());
    return;
  }
  Invalidate();
  AccNotify(EVENT_OBJECT_FOCUS);
}

void TTabStop::Focus() const {
  if (Graphic)
    Graphic->SetFocus();
  else
    Window->SetFocus();
}
// ---- TControlCanvas ----

HDC TControlCanvas::BorrowHandle() {
  TWinControl* Parent = FControl.Parent();
  if (!Parent || !Parent->HandleAllocated()) return nullptr;
  HDC DC = GetDC(Parent->WindowHandle());
  if (!DC) return nullptr;
  FBorrowedFrom = Parent->WindowHandle();
  SetViewportOrgEx(DC, FControl.Left(), FControl.Top(), nullptr);
  IntersectClipRect(DC, 0, 0, FControl.Width(), FControl.Height());
  return DC;
}

void TControlCanvas::ReturnHandle(HDC DC) {
  ReleaseDC(FBorrowedFrom, DC);
  FBorrowedFrom = nullptr;
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  if (Parent()) Parent()->ControlDestroying(this);
  // The owned components go first, while this control is still whole, then
  // the window; any child control of another owner is cut loose.
  DestroyComponents();
  for (TControl* Child : std::vector<TControl*>(FControls)) Child->SetParent(nullptr);
  DestroyWindowHandle();
}

HWND TWinControl::Handle() {
  if (!HandleAllocated()) CreateHandle();
  return WindowHandle();
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.ClassName = "TWinControl";
  Params.Caption = Caption();
  Params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (Visible()) Params.Style |= WS_VISIBLE;
  if (!Enabled()) Params.Style |= WS_DISABLED;
  if (FTabStop) Params.Style |= WS_TABSTOP;
  Params.X = Left();
  Params.Y = Top();
  Params.Width = Width();
  Params.Height = Height();
  if (Parent()) Params.WndParent = Parent()->Handle();
}

void TWinControl::CreateHandle() {
  TCreateParams Params;
  CreateParams(Params);
  if ((Params.Style & WS_CHILD) && !Params.WndParent) throw Exception("Control has no parent window");
  // A child window of our own class holds controls (a panel, a notebook, a
  // page). The dialog manager's Tab key walks into such a window, and out of
  // it again, only when it is marked WS_EX_CONTROLPARENT; unmarked, the walk
  // never reaches the fields inside and, from the last of them, stops on the
  // container itself. A system control (edit, button) is a field.
  if (!Params.SuperClass && (Params.Style & WS_CHILD)) Params.ExStyle |= WS_EX_CONTROLPARENT;
  CreateWindowHandle(Params);
  SendMessageA(WindowHandle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
  // The children's windows follow, in tab order, so the dialog manager's Tab
  // key walks them in that order.
  FCreating = true;
  for (TWinControl* W : WindowedInTabOrder())
    if (!W->HandleAllocated()) W->CreateHandle();
  FCreating = false;
}

std::vector<TWinControl*> TWinControl::WindowedInTabOrder() const {
  // Each goes in after those of its order or lower, so that equal orders
  // keep the order the windows came in (a window has a few children: the
  // library's stable sort would cost more code than the work it saves).
  std::vector<TWinControl*> Windowed;
  for (TControl* Child : FControls) {
    auto* W = dynamic_cast<TWinControl*>(Child);
    if (!W) continue;
    auto At = Windowed.end();
    while (At != Windowed.begin() && (*(At - 1))->FTabOrder > W->FTabOrder) --At;
    Windowed.insert(At, W);
  }
  return Windowed;
}

std::vector<TTabStop> TWinControl::TabStops() const {
  std::vector<TTabStop> Stops;
  if (!Visible() || !Enabled()) return Stops;
  const std::vector<TWinControl*> Windowed = WindowedInTabOrder();
  // Each windowless stop goes before the first windowed control that comes
  // after every windowed one lying before it on screen.
  std::vector<std::vector<TGraphicControl*>> Before(Windowed.size() + 1);
  for (TControl* Child : FControls) {
    auto* G = dynamic_cast<TGraphicControl*>(Child);
    if (!G || !G->TabStop() || !G->CanTakeFocus() || !G->Visible() || !G->Enabled()) continue;
    size_t Slot = 0;
    for (size_t I = 0; I < Windowed.size(); ++I)
      if (BeforeOnScreen(Windowed[I], G)) Slot = I + 1;
    auto& Here = Before[Slot];
    Here.insert(std::upper_bound(Here.begin(), Here.end(), G,
                                 [](const TControl* A, const TControl* B) { return BeforeOnScreen(A, B); }),
                G);
  }
  for (size_t I = 0; I <= Windowed.size(); ++I) {
    for (TGraphicControl* G : Before[I]) Stops.push_back({const_cast<TWinControl*>(this), G});
    if (I == Windowed.size()) break;
    TWinControl* W = Windowed[I];
    if (W->FTabStop && W->CanFocus()) {
      Stops.push_back({W, nullptr});
    } else {
      std::vector<TTabStop> Inside = W->TabStops();
      Stops.insert(Stops.end(), Inside.begin(), Inside.end());
    }
  }
  return Stops;
}

bool TWinControl::FocusFirstTabStop() {
  std::vector<TTabStop> Stops = TabStops();
  if (Stops.empty()) return false;
  Stops.front().Focus();
  return true;
}

long TWinControl::ChildIdOf(const TControl* Control) const {
  auto It = std::find(FControls.begin(), FControls.end(), Control);
  return It == FControls.end() ? 0 : static_cast<long>(It - FControls.begin()) + 1;
}

void TWinControl::InsertControl(TControl* Control) {
  FControls.push_back(Control);
  Control->FParent = this;
  if (auto* W = dynamic_cast<TWinControl*>(Control)) {
    if (HandleAllocated() && !W->HandleAllocated()) {
      W->CreateHandle();
    } else if (HandleAllocated()) {
      ::SetParent(W->WindowHandle(), WindowHandle());
    }
  }
  if (Control->Align() != TAlign::alNone) AlignControls();
  Control->Invalidate();
}

void TWinControl::RemoveControl(TControl* Control) {
  Control->Invalidate();
  if (FCaptureControl == Control) Control->SetMouseCapture(false);
  if (FMouseControl == Control) FMouseControl = nullptr;
  if (FFocusedControl == Control) {
    FFocusedControl = nullptr;
    ControlStateChanged();
  }
  auto It = std::find(FControls.begin(), FControls.end(), Control);
  if (It != FControls.end()) FControls.erase(It);
  Control->FParent = nullptr;
}

TGraphicControl* TWinControl::ControlAtPos(POINT Point) const {
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It) {
    auto* C = dynamic_cast<TGraphicControl*>(*It);
    if (!C || !C->Visible() || !C->Enabled()) continue;
    RECT R = C->BoundsRect();
    if (PtInRect(&R, Point)) return C;
  }
  return nullptr;
}

void TWinControl::AlignControls() {
  RECT Client = ClientRect();
  if (HandleAllocated()) GetClientRect(WindowHandle(), &Client);
  RECT Free = Client;
  for (TAlign Kind : {TAlign::alTop, TAlign::alRight, TAlign::alClient}) {
    for (TControl* C : FControls) {
      if (C->Align() != Kind || !C->Visible()) continue;
      int W = C->Width(), H = C->Height();
      RECT New = Free;
      switch (Kind) {
        case TAlign::alTop:
          New.bottom = Free.top + H;
          Free.top += H;
          break;
        case TAlign::alRight:
          New.left = Free.right - W;
          Free.right -= W;
          break;
        default:
          break;
      }
      C->FLeft = New.left;
      C->FTop = New.top;
      C->FWidth = std::max(0L, New.right - New.left);
      C->FHeight = std::max(0L, New.bottom - New.top);
      C->BoundsChanged();
    }
  }
  if (HandleAllocated()) InvalidateRect(WindowHandle(), nullptr, TRUE);
}

void TWinControl::ChangeScale(int NewDpi, int OldDpi) {
  TControl::ChangeScale(NewDpi, OldDpi);
  // A copy: nothing here adds or removes a child, but a child's own scaling
  // must not be able to pull the list from under the loop.
  for (TControl* Child : std::vector<TControl*>(FControls)) Child->ChangeScale(NewDpi, OldDpi);
  AlignControls();
}

void TWinControl::SetTabStop(bool Value) {
  if (Value == FTabStop) return;
  FTabStop = Value;
  if (HandleAllocated()) {
    LONG_PTR Style = GetWindowLongPtrA(WindowHandle(), GWL_STYLE);
    SetWindowLongPtrA(WindowHandle(), GWL_STYLE, Value ? (Style | WS_TABSTOP) : (Style & ~WS_TABSTOP));
  }
}

bool TWinControl::CanFocus() const {
  // Enabled all the way up to the top-level window, and shown up to it (that
  // window itself, a form, may be hidden).
  for (const TControl* C = this; C; C = C->Parent()) {
    if (!C->Enabled()) return false;
    if (!C->Parent()) return true;
    if (!C->Visible()) return false;
  }
  return true;
}

void TWinControl::ControlFocused(TWinControl* Control) {
  if (Parent()) Parent()->ControlFocused(Control);
}

void TWinControl::ControlDestroying(TWinControl* Control) {
  if (Parent()) Parent()->ControlDestroying(Control);
}

void TWinControl::ControlStateChanged() {
  if (Parent()) Parent()->ControlStateChanged();
}

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

void TWinControl::Invalidate() {
  if (HandleAllocated()) InvalidateRect(WindowHandle(), nullptr, TRUE);
}

void TWinControl::BoundsChanged() {
  if (HandleAllocated()) MoveWindow(WindowHandle(), Left(), Top(), Width(), Height(), TRUE);
  AlignControls();
}

void TWinControl::VisibleChanged() {
  if (HandleAllocated()) ShowWindow(WindowHandle(), Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
  if (HandleAllocated()) EnableWindow(WindowHandle(), Enabled());
}

void TWinControl::TextChanged() {
  if (HandleAllocated()) SetWindowTextA(WindowHandle(), Caption().c_str());
}

void TWinControl::FontChanged() {
  if (HandleAllocated()) SendMessageA(WindowHandle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
}

void TWinControl::ColorChanged() {
  FBrush.Reset();
  Invalidate();
}

HBRUSH TWinControl::ColorBrush() {
  // System colours are resolved anew at each paint, so a new desktop colour
  // shows at once; the brush is only kept while it still matches. It is
  // never selected into a context, so it can go at any time.
  return FBrush.Solid(ColorToRGB(Color()));
}

HBRUSH TWinControl::CtlColor(HDC DC) {
  SetTextColor(DC, TextColorToRGB(Font().Color()));
  SetBkColor(DC, ColorToRGB(Color()));
  return ColorBrush();
}

bool TWinControl::DoEraseBackground(HDC DC) {
  RECT R;
  GetClientRect(WindowHandle(), &R);
  FillRect(DC, &R, ColorBrush());
  return true;
}

void TWinControl::PaintHandler() {
  // The paint ends, and every context state is restored, also when a paint
  // routine throws.
  TPaintDC PS(WindowHandle());
  const HDC DC = PS.Get();
  {
    TCanvasHandle Attached(FCanvas, DC);
    Paint(FCanvas);
  }
  // The windowless children, in their order: later ones over earlier ones.
  for (TControl* Child : FControls) {
    auto* C = dynamic_cast<TGraphicControl*>(Child);
    if (!C || !C->Visible() || C->Width() <= 0 || C->Height() <= 0) continue;
    RECT Bounds = C->BoundsRect(), Overlap;
    if (!IntersectRect(&Overlap, &Bounds, &PS.Area())) continue;
    TSavedDC Saved(DC);
    SetViewportOrgEx(DC, C->Left(), C->Top(), nullptr);
    IntersectClipRect(DC, 0, 0, C->Width(), C->Height());
    TCanvasHandle Attached(C->Canvas(), DC);
    C->Paint();
    if (C->Focused()) {
      RECT Focus = C->FocusRect();
      // XOR-drawn in the text colours, so it shows on any ground.
      SetTextColor(DC, RGB(0, 0, 0));
      SetBkColor(DC, RGB(255, 255, 255));
      DrawFocusRect(DC, &Focus);
    }
  }
}

void TWinControl::UpdateMouseControl(TGraphicControl* Control) {
  if (Control == FMouseControl) return;
  TGraphicControl* Old = FMouseControl;
  FMouseControl = Control;
  if (Old) Old->MouseLeave();
  if (Control) {
    Control->MouseEnter();
    // Tell us when the pointer leaves the window altogether.
    TRACKMOUSEEVENT Track = {sizeof Track, TME_LEAVE, WindowHandle(), 0};
    TrackMouseEvent(&Track);
  }
}

void TWinControl::CapturePointer(TGraphicControl* Control) {
  if (!HandleAllocated()) return;
  // Taking the capture first: the window that loses it (maybe this one, when
  // another of its controls held it) hears WM_CAPTURECHANGED before the new
  // holder is set.
  if (GetCapture() != WindowHandle()) SetCapture(WindowHandle());
  FCaptureControl = Control;
}

void TWinControl::ReleasePointer(TGraphicControl* Control) {
  if (FCaptureControl != Control) return;
  FCaptureControl = nullptr;
  if (GetCapture() == WindowHandle()) ReleaseCapture();
}

bool TWinControl::RouteMouse(TMessage& Message) {
  POINT Point = {GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
  TGraphicControl* Under = ControlAtPos(Point);
  if (FCaptureControl) {
    RECT Bounds = FCaptureControl->BoundsRect();
    Under = PtInRect(&Bounds, Point) ? FCaptureControl : nullptr;
  }
  if (Message.Msg == WM_MOUSEMOVE) UpdateMouseControl(Under);
  TControl* Target = FCaptureControl ? static_cast<TControl*>(FCaptureControl) : Under;
  if (!Target) return false;
  UINT Msg = Message.Msg;
  if (Msg == WM_LBUTTONDBLCLK && !Target->AcceptsDoubleClicks()) Msg = WM_LBUTTONDOWN;
  Target->MouseMessage(Msg, Message.WParam, Point.x - Target->Left(), Point.y - Target->Top());
  return true;
}

bool TWinControl::SetCursorFor() {
  POINT Point;
  GetCursorPos(&Point);
  ScreenToClient(WindowHandle(), &Point);
  TGraphicControl* Control = FCaptureControl ? FCaptureControl : ControlAtPos(Point);
  int Cursor = Control ? Control->Cursor() : this->Cursor();
  if (Cursor != crHandPoint) return false;
  ::SetCursor(LoadCursorA(nullptr, IDC_HAND));
  return true;
}

void TWinControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_COMMAND:
      if (Message.LParam) {
        auto* Child = dynamic_cast<TWinControl*>(FromHandle(reinterpret_cast<HWND>(Message.LParam)));
        if (Child) {
          if (!Child->Destroying()) Child->CommandNotify(HIWORD(Message.WParam));
          return;
        }
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      auto* Child = dynamic_cast<TWinControl*>(FromHandle(reinterpret_cast<HWND>(Message.LParam)));
      if (Child) {
        Message.Result = reinterpret_cast<LRESULT>(Child->CtlColor(reinterpret_cast<HDC>(Message.WParam)));
        return;
      }
      break;
    }
    case WM_ERASEBKGND:
      // A system control paints its own background, with the brush of
      // WM_CTLCOLOR*.
      if (Superclassed()) break;
      Message.Result = DoEraseBackground(reinterpret_cast<HDC>(Message.WParam)) ? 1 : 0;
      return;
    case WM_PAINT:
      if (Superclassed()) break;
      PaintHandler();
      return;
    case WM_SETFOCUS:
      DefaultHandler(Message);
      if (FFocusedControl) {
        FFocusedControl->Invalidate();
        FFocusedControl->AccNotify(EVENT_OBJECT_FOCUS);
      }
      if (Parent()) Parent()->ControlFocused(this);
      return;
    case WM_KILLFOCUS:
      if (FFocusedControl) FFocusedControl->Invalidate();
      break;
    case WM_GETOBJECT:
      if (GetObjectHandler && GetObjectHandler(*this, Message)) return;
      break;
    case CM_ACCDEFAULTACTION: {
      long Id = static_cast<long>(Message.WParam);
      if (Id >= 1 && Id <= static_cast<long>(FControls.size())) {
        TControl* C = FControls[static_cast<size_t>(Id - 1)];
        if (C->Enabled() && C->Visible()) C->AccDoDefaultAction();
      } else if (Id == CHILDID_SELF && Enabled()) {
        AccDoDefaultAction();
      }
      return;
    }
    case WM_SETCURSOR:
      if (LOWORD(Message.LParam) == HTCLIENT && reinterpret_cast<HWND>(Message.WParam) == WindowHandle() &&
          SetCursorFor()) {
        Message.Result = TRUE;
        return;
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      // The window moved or changed size by other means (the system's move
      // loop, say): the stored bounds follow it.
      const auto* Pos = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
      bool Resized = !(Pos->flags & SWP_NOSIZE) && (Pos->cx != Width() || Pos->cy != Height());
      if (!(Pos->flags & SWP_NOMOVE)) FLeft = Pos->x, FTop = Pos->y;
      if (!(Pos->flags & SWP_NOSIZE)) FWidth = Pos->cx, FHeight = Pos->cy;
      if (Resized) AlignControls();
      break;
    }
    case WM_MOUSELEAVE:
      UpdateMouseControl(nullptr);
      break;
    case WM_CAPTURECHANGED:
      // Lost to another window: no control here holds it any more.
      if (reinterpret_cast<HWND>(Message.LParam) != WindowHandle()) FCaptureControl = nullptr;
      break;
    default:
      if (IsMouseMessage(Message.Msg) && !Superclassed()) {
        if (!RouteMouse(Message)) {
          POINT Point = {GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
          MouseMessage(Message.Msg, Message.WParam, Point.x, Point.y);
          DefaultHandler(Message);
        }
        return;
      }
      break;
  }
  DefaultHandler(Message);
}
