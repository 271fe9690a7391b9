#include "controls/ExPanel.h"

void TKVRPanel::CreateParams(TCreateParams& Params) {
  TPanel::CreateParams(Params);
  Params.ClassName = "TKVRPanel";
}

void TKVRPanel::SetEraseBackground(bool Value) {
  if (Value == FEraseBackground) return;
  FEraseBackground = Value;
  Invalidate();
}

void TKVRPanel::SetPaintPanel(bool Value) {
  if (Value == FPaintPanel) return;
  FPaintPanel = Value;
  Invalidate();
}

void TKVRPanel::Paint(TCanvas& Canvas) {
  if (!FPaintPanel) return;
  // With the erase off, the panel's own painting is all there is: without
  // its fill, whatever was on the screen before would show through.
  if (!FEraseBackground) {
    Canvas.SetBrushStyle(TBrushStyle::bsSolid);
    Canvas.SetBrushColor(Color());
    Canvas.FillRect(ClientRect());
  }
  TPanel::Paint(Canvas);
}

bool TKVRPanel::DoEraseBackground(HDC DC) {
  // Not erased: the result stays 0 and the area is left to the panel's own
  // painting and to its children.
  return FEraseBackground && TPanel::DoEraseBackground(DC);
}
