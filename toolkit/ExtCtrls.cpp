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

void TImage::ChangeScale(int NewDpi, int OldDpi) {
  TGraphicControl::ChangeScale(NewDpi, OldDpi);
  FPicture.SetSize(FDesignPictureSize.Rescale(FPicture.Size(), OldDpi, NewDpi));
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

bool TNotebook::FocusOnPage(int Index) const {
  HWND Focus = GetFocus();
  return Index >= 0 && Focus && FPages[static_cast<size_t>(Index)]->HandleAllocated() &&
         IsChild(FPages[static_cast<size_t>(Index)]->WindowHandle(), Focus);
}

void TNotebook::SetPageIndex(int Value) {
  if (Value < 0 || Value >= PageCount() || Value == FPageIndex) return;
  // A control on the page that goes keeps no focus: the notebook takes it,
  // and hands it on once the new page is on show. It takes it while the old
  // page is still the one on show, so the control's exit handler runs
  // first: a field check that puts the focus back in its field keeps its
  // page, and a handler that shows another page has the last word.
  const int Old = FPageIndex;
  bool HandOn = false;
  if (HandleAllocated() && FocusOnPage(Old)) {
    SetFocus();
    if (FPageIndex != Old || FocusOnPage(Old)) return;
    HandOn = GetFocus() == WindowHandle();
  }
  FPageIndex = Value;
  TPage* Page = FPages[static_cast<size_t>(Value)];
  // Show the new page before hiding the others, so nothing flashes.
  Page->SetVisible(true);
  for (int I = 0; I < PageCount(); ++I)
    if (I != Value) FPages[static_cast<size_t>(I)]->SetVisible(false);
  AlignControls();
  // The focus goes on to the new page's first field, or to the top-level
  // window when the page has none: a container with the focus shows no caret
  // and takes no keys.
  if (HandOn && !Page->FocusFirstTabStop()) ::SetFocus(GetAncestor(WindowHandle(), GA_ROOT));
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
