#include "toolkit/Buttons.h"

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 23, 22); }

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  // The last button down of a group that may not be all up stays down.
  if (FDown && !Value && !FAllowAllUp) return;
  FDown = Value;
  if (Value && Parent()) {
    for (TControl* Sibling : Parent()->Controls()) {
      auto* Other = dynamic_cast<TSpeedButton*>(Sibling);
      if (Other && Other != this && Other->FGroupIndex == FGroupIndex && Other->FDown) {
        Other->FDown = false;
        Other->Invalidate();
      }
    }
  }
  Invalidate();
}

void TSpeedButton::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  Invalidate();
}

void TSpeedButton::Click() {
  if (FGroupIndex != 0) {
    if (!FDown)
      SetDown(true);
    else if (FAllowAllUp)
      SetDown(false);
  }
  TGraphicControl::Click();
}
