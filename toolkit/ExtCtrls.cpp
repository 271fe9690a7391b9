#include "toolkit/ExtCtrls.h"

#include "toolkit/Exceptions.h"

// ---- TTimer ----

namespace {
constexpr UINT_PTR TimerId = 1;
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  FWindow = std::make_unique<TUtilityWindow>(TUtilityWindow::TKind::MessageOnly, [this](TMessage& Message) {
    if (Message.Msg != WM_TIMER) return false;
    if (!Destroying()) OnTimer(this);
    return true;
  });
}

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
}

void TTimer::DestructionBegun() {
  FEnabled = false;
  UpdateTimer();
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (FRunning) KillTimer(FWindow->Handle(), TimerId);
  FRunning = false;
  if (FEnabled && FInterval != 0 && OnTimer) {
    // The system caps the period itself (USER_TIMER_MAXIMUM, about 24.8 days).
    if (!SetTimer(FWindow->Handle(), TimerId, FInterval, nullptr)) throw Exception("Not enough timers available");
    FRunning = true;
  }
}

// ---- TImage ----

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 105, 105); }

void TImage::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Invalidate();
}

void TImage::Paint() {
  if (!FTransparent) {
    Canvas().SetBrushStyle(TBrushStyle::bsSolid);
    Canvas().SetBrushColor(Color());
    Canvas().FillRect(ClientRect());
  }
  // An icon carries its own transparency mask.
  if (!FPicture.Empty()) DrawIconEx(Canvas().Handle(), 0, 0, FPicture.Handle(), 0, 0, 0, nullptr, DI_NORMAL);
}

// ---- TNotebook ----

void TPage::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ClassName = "TPage";
}

TNotebook::TNotebook(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 150, 150); }

void TNotebook::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ClassName = "TNotebook";
}

TPage* TNotebook::AddPage() {
  auto* Page = new TPage(Owner() ? Owner() : this);
  Page->SetVisible(false);
  Page->SetAlign(TAlign::alClient);
  Page->SetParent(this);
  FPages.push_back(Page);
  if (FPageIndex < 0) SetPageIndex(0);
  return Page;
}

void TNotebook::SetPageIndex(int Value) {
  if (Value < 0 || Value >= PageCount() || Value == FPageIndex) return;
  // A control on the page that goes keeps no focus: the notebook takes it.
  HWND Focus = GetFocus();
  if (FPageIndex >= 0 && Focus && HandleAllocated() &&
      IsChild(FPages[static_cast<size_t>(FPageIndex)]->WindowHandle(), Focus))
    SetFocus();
  FPageIndex = Value;
  // Show the new page before hiding the others, so nothing flashes.
  FPages[static_cast<size_t>(Value)]->SetVisible(true);
  for (int I = 0; I < PageCount(); ++I)
    if (I != Value) FPages[static_cast<size_t>(I)]->SetVisible(false);
  AlignControls();
}

// ---- TPanel ----

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 41); }

void TPanel::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ClassName = "TPanel";
}

void TPanel::SetBevelOuter(TPanelBevel Value) {
  if (Value == FBevelOuter) return;
  FBevelOuter = Value;
  Invalidate();
}

void TPanel::Paint(TCanvas& Canvas) {
  RECT R = ClientRect();
  if (FBevelOuter != TPanelBevel::bvNone)
    DrawEdge(Canvas.Handle(), &R, FBevelOuter == TPanelBevel::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
  if (Caption().empty()) return;
  Canvas.Font().Assign(Font());
  Canvas.SetBrushStyle(TBrushStyle::bsClear);
  Canvas.DrawTextRect(Caption(), R, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// ---- TBevel ----

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 50, 50); }

void TBevel::Paint() {
  // Engraved: the shadow, the highlight beside it.
  Canvas().Line(clBtnShadow, 0, 0, 0, Height());
  Canvas().Line(clBtnHighlight, 1, 0, 1, Height());
}
