#include "toolkit/Controls.h"

#include "toolkit/Exceptions.h"

#include <algorithm>

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
  if (FParent && !FParent->FCreating) {
    // A windowless control leaves its old place to be painted again.
    if (!dynamic_cast<TWinControl*>(this) && FParent->HandleAllocated())
      InvalidateRect(FParent->WindowHandle(), &Old, TRUE);
  }
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
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  EnabledChanged();
}

void TControl::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  TextChanged();
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  ColorChanged();
}

void TControl::Invalidate() {
  if (FParent && FParent->HandleAllocated()) {
    RECT R = BoundsRect();
    InvalidateRect(FParent->WindowHandle(), &R, TRUE);
  }
}

void TControl::Click() { OnClick(this); }

// ---- TGraphicControl ----

void TGraphicControl::VisibleChanged() {
  // The area must be painted whether the control appears or goes.
  TControl::Invalidate();
}

void TGraphicControl::BoundsChanged() { Invalidate(); }

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  // The owned components go first, while this control is still whole, then
  // the window; any child control of another owner is cut loose.
  DestroyComponents();
  for (TControl* Child : std::vector<TControl*>(FControls)) Child->SetParent(nullptr);
  DestroyWindowHandle();
  if (FBrush) DeleteObject(FBrush);
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
  CreateWindowHandle(Params);
  SendMessageA(WindowHandle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
  // The children's windows follow, in tab order, so the dialog manager's Tab
  // key walks them in that order.
  FCreating = true;
  std::vector<TWinControl*> Windowed;
  for (TControl* Child : FControls)
    if (auto* W = dynamic_cast<TWinControl*>(Child)) Windowed.push_back(W);
  std::stable_sort(Windowed.begin(), Windowed.end(),
                   [](TWinControl* A, TWinControl* B) { return A->FTabOrder < B->FTabOrder; });
  for (TWinControl* W : Windowed)
    if (!W->HandleAllocated()) W->CreateHandle();
  FCreating = false;
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
  auto It = std::find(FControls.begin(), FControls.end(), Control);
  if (It != FControls.end()) FControls.erase(It);
  Control->FParent = nullptr;
}

void TWinControl::AlignControls() {
  RECT Client = ClientRect();
  if (HandleAllocated()) GetClientRect(WindowHandle(), &Client);
  RECT Free = Client;
  for (TAlign Kind : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    for (TControl* C : FControls) {
      if (C->Align() != Kind || !C->Visible()) continue;
      int W = C->Width(), H = C->Height();
      switch (Kind) {
        case TAlign::alTop:
          C->FLeft = Free.left, C->FTop = Free.top, C->FWidth = Free.right - Free.left, C->FHeight = H;
          Free.top += H;
          break;
        case TAlign::alBottom:
          C->FLeft = Free.left, C->FTop = Free.bottom - H, C->FWidth = Free.right - Free.left, C->FHeight = H;
          Free.bottom -= H;
          break;
        case TAlign::alLeft:
          C->FLeft = Free.left, C->FTop = Free.top, C->FWidth = W, C->FHeight = Free.bottom - Free.top;
          Free.left += W;
          break;
        case TAlign::alRight:
          C->FLeft = Free.right - W, C->FTop = Free.top, C->FWidth = W, C->FHeight = Free.bottom - Free.top;
          Free.right -= W;
          break;
        default:
          C->FLeft = Free.left, C->FTop = Free.top;
          C->FWidth = std::max(0L, Free.right - Free.left), C->FHeight = std::max(0L, Free.bottom - Free.top);
          break;
      }
      C->BoundsChanged();
    }
  }
  if (HandleAllocated()) InvalidateRect(WindowHandle(), nullptr, TRUE);
}

void TWinControl::SetTabStop(bool Value) {
  if (Value == FTabStop) return;
  FTabStop = Value;
  if (HandleAllocated()) {
    LONG_PTR Style = GetWindowLongPtrA(WindowHandle(), GWL_STYLE);
    SetWindowLongPtrA(WindowHandle(), GWL_STYLE, Value ? (Style | WS_TABSTOP) : (Style & ~WS_TABSTOP));
  }
}

bool TWinControl::Focused() const { return HandleAllocated() && GetFocus() == WindowHandle(); }

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

void TWinControl::Invalidate() {
  if (HandleAllocated()) InvalidateRect(WindowHandle(), nullptr, TRUE);
}

void TWinControl::BoundsChanged() {
  if (HandleAllocated()) {
    MoveWindow(WindowHandle(), Left(), Top(), Width(), Height(), TRUE);
  }
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
  if (FBrush) DeleteObject(FBrush);
  FBrush = nullptr;
  Invalidate();
}

HBRUSH TWinControl::ColorBrush() {
  // System colours are resolved anew at each paint, so a new desktop colour
  // shows at once; the brush is only kept while it still matches.
  COLORREF Wanted = ColorToRGB(Color());
  LOGBRUSH Log;
  if (FBrush && GetObjectA(FBrush, sizeof Log, &Log) && Log.lbColor == Wanted) return FBrush;
  if (FBrush) DeleteObject(FBrush);
  FBrush = CreateSolidBrush(Wanted);
  return FBrush;
}

HBRUSH TWinControl::CtlColor(HDC DC) {
  SetTextColor(DC, ColorToRGB(Font().Color()));
  SetBkColor(DC, ColorToRGB(Color()));
  return ColorBrush();
}

void TWinControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_COMMAND:
      if (Message.LParam) {
        auto* Child = dynamic_cast<TWinControl*>(FromHandle(reinterpret_cast<HWND>(Message.LParam)));
        if (Child) {
          Child->CommandNotify(HIWORD(Message.WParam));
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
    case WM_ERASEBKGND: {
      // A system control paints its own background, with the brush of
      // WM_CTLCOLOR*.
      if (Superclassed()) break;
      RECT R;
      GetClientRect(WindowHandle(), &R);
      FillRect(reinterpret_cast<HDC>(Message.WParam), &R, ColorBrush());
      Message.Result = 1;
      return;
    }
    default:
      break;
  }
  DefaultHandler(Message);
}
