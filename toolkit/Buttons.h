#pragma once
// The speed button: a windowless push button that can stay down, alone or in
// an exclusive group, with an optional glyph beside its caption.

#include "toolkit/Controls.h"

#include <string>

class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* AOwner);

  bool Down() const { return FDown; }
  // Pressing one button of a group releases the others of its parent; the
  // last one down stays down unless the group may be all up.
  void SetDown(bool Value);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int Value) { FGroupIndex = Value; }
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }
  // A flat button shows its frame only under the pointer, or when down.
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  // The glyph: its bottom-left pixel's colour is drawn transparent. It is
  // the one drawn for the button's DPI (see TBitmapResource::LoadForDpi).
  void LoadGlyph(const char* Resource);
  const TBitmapResource& Glyph() const { return FGlyph; }

  // A click as the user makes it: a grouped button goes down (or, when its
  // group may be all up, toggles), then OnClick runs.
  void Click() override;
  void Paint() override;
  bool DialogChar(char Key) override;
  bool CanTakeFocus() const override { return true; }
  RECT FocusRect() const override;
  // A button of an exclusive group (one always down) is a page tab, selected
  // while down; any other is a push button, pressed while down.
  long AccRole() const override;
  long AccState() const override;
  int AccTabGroup() const override { return AccRole() == ROLE_SYSTEM_PAGETAB ? FGroupIndex : 0; }
  std::string AccDefaultAction() const override;
  // The bounds and font, and the glyph drawn for the new DPI.
  void ChangeScale(int NewDpi, int OldDpi) override;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  bool AcceptsDoubleClicks() const override { return false; }

 private:
  bool FDown = false;
  int FGroupIndex = 0;
  bool FAllowAllUp = false;
  bool FFlat = false;
  bool FDragging = false;  // the left button went down here and is held
  bool FPressed = false;   // ... and the pointer is over the button
  bool FHot = false;       // the pointer is over the button
  TBitmapResource FGlyph;
  TBrushUse FDownBrush;    // the face while down, got at the first paint that needs it
  std::string FGlyphName;  // the 96-DPI glyph's resource; empty: none
};
