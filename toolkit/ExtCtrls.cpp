#include "toolkit/ExtCtrls.h"

#include "toolkit/Exceptions.h"

// ---- TTimer ----

namespace {
constexpr UINT_PTR TimerId = 1;
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  FWindow = std::make_unique<TUtilityWindow>(TUtilityWindow::TKind::MessageOnly, [this](TMessage& Message) {
    if (Message.Msg != WM_TIMER) return false;
    OnTimer(this);
    return true;
  });
}

TTimer::~TTimer() {
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
