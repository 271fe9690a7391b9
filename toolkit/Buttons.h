#pragma once
// The speed button: a windowless push button that can stay down, alone or in
// an exclusive group.

#include "toolkit/Controls.h"

class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* AOwner);

  bool Down() const { return FDown; }
  // Pressing one button of a group releases the others of its parent.
  void SetDown(bool Value);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int Value) { FGroupIndex = Value; }
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);

  // A click as the user makes it: a grouped button goes down (or, when its
  // group may be all up, toggles), then OnClick runs.
  void Click() override;

 private:
  bool FDown = false;
  int FGroupIndex = 0;
  bool FAllowAllUp = false;
  bool FFlat = false;
};
