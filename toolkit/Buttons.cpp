#include "toolkit/Buttons.h"

#include "toolkit/Handles.h"

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 23, 22); }

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  if (FDown && !Value && !FAllowAllUp) return;
  FDown = Value;
  if (Value && Parent()) {
    for (TControl* Sibling : Parent()->Controls()) {
      auto* Other = dynamic_cast<TSpeedButton*>(Sibling);
      if (Other && Other != this && Other->FGroupIndex == FGroupIndex && Other->FDown) {
        Other->FDown = false;
        Other->Invalidate();
        Other->AccNotify(EVENT_OBJECT_STATECHANGE);
      }
    }
  }
  Invalidate();
  AccNotify(EVENT_OBJECT_STATECHANGE);
}

RECT TSpeedButton::FocusRect() const {
  RECT R = ClientRect();
  const int Inset = ScaleToDpi(FFlat ? 2 : 3, CurrentDpi());
  InflateRect(&R, -Inset, -Inset);
  return R;
}

long TSpeedButton::AccRole() const {
  return FGroupIndex != 0 && !FAllowAllUp ? ROLE_SYSTEM_PAGETAB : ROLE_SYSTEM_PUSHBUTTON;
}

long TSpeedButton::AccState() const {
  if (!FDown) return 0;
  return AccRole() == ROLE_SYSTEM_PAGETAB ? STATE_SYSTEM_SELECTED : STATE_SYSTEM_PRESSED;
}

std::string TSpeedButton::AccDefaultAction() const { return AccRole() == ROLE_SYSTEM_PAGETAB ? "Switch" : "Press"; }

void TSpeedButton::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  Invalidate();
}

void TSpeedButton::LoadGlyph(const char* Resource) {
  FGlyph.LoadForDpi(Resource, CurrentDpi());
  FGlyphName = Resource;
  Invalidate();
}

void TSpeedButton::ChangeScale(int NewDpi, int OldDpi) {
  TGraphicControl::ChangeScale(NewDpi, OldDpi);
  if (!FGlyphName.empty()) FGlyph.LoadForDpi(FGlyphName, NewDpi);
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

bool TSpeedButton::DialogChar(char Key) {
  if (!IsAccelerator(Key)) return false;
  Click();
  return true;
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == TMouseButton::mbLeft) {
    FDragging = FPressed = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  if (FDragging) {
    bool Inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
    if (Inside != FPressed) {
      FPressed = Inside;
      Invalidate();
    }
  }
  TGraphicControl::MouseMove(Shift, X, Y);
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == TMouseButton::mbLeft && FDragging) {
    FDragging = FPressed = false;
    Invalidate();
  }
  TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TSpeedButton::MouseEnter() {
  FHot = true;
  if (FFlat) Invalidate();
}

void TSpeedButton::MouseLeave() {
  FHot = false;
  if (FFlat) Invalidate();
}

void TSpeedButton::Paint() {
  HDC DC = Canvas().Handle();
  RECT R = ClientRect();
  const bool Sunken = FPressed || FDown;
  if (FFlat) {
    Canvas().SetBrushStyle(TBrushStyle::bsSolid);
    Canvas().SetBrushColor(Color());
    Canvas().FillRect(R);
    if (FDown && !FPressed) {
      // In high contrast a dither pattern under the caption cannot be read:
      // the face is solid, in the system's selection colours.
      RECT Inner = R;
      InflateRect(&Inner, -1, -1);
      if (HighContrast())
        FillRect(DC, &Inner, GetSysColorBrush(COLOR_HIGHLIGHT));
      else
        FillRect(DC, &Inner, FDownBrush.DownPattern());
    }
    if (Sunken || (FHot && Enabled())) DrawEdge(DC, &R, Sunken ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  } else {
    DrawFrameControl(DC, &R, DFC_BUTTON, DFCS_BUTTONPUSH | (Sunken ? DFCS_PUSHED : 0));
  }

  // The glyph, then the caption beside it; the whole block centred, and
  // shifted a pixel down-right while pressed.
  Canvas().Font().Assign(Font());
  Canvas().SetBrushStyle(TBrushStyle::bsClear);
  RECT Text = {0, 0, 0, 0};
  if (!Caption().empty()) Canvas().DrawTextRect(Caption(), Text, DT_CALCRECT | DT_SINGLELINE);
  const int Spacing = (!FGlyph.Empty() && !Caption().empty()) ? ScaleToDpi(4, CurrentDpi()) : 0;
  const int BlockWidth = FGlyph.Width() + Spacing + (Text.right - Text.left);
  int X = (Width() - BlockWidth + 1) / 2 + (Sunken ? 1 : 0);
  const int Shift = Sunken ? 1 : 0;
  // In high contrast the glyph and the caption take the text colour of the
  // face they are on.
  const bool Selected = HighContrast() && FFlat && FDown && !FPressed;
  const int TextIndex = Selected ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT;
  if (!FGlyph.Empty()) {
    DrawGlyph(DC, X, (Height() - FGlyph.Height()) / 2 + Shift, FGlyph, Enabled(), HighContrast() ? TextIndex : -1);
    X += FGlyph.Width() + Spacing;
  }
  if (Caption().empty()) return;
  RECT Place = {X, Shift, X + Text.right - Text.left, Height() + Shift};
  const UINT Flags = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
  if (!Enabled()) {
    OffsetRect(&Place, 1, 1);
    Canvas().Font().SetColor(clBtnHighlight);
    Canvas().DrawTextRect(Caption(), Place, Flags);
    OffsetRect(&Place, -1, -1);
    Canvas().Font().SetColor(clBtnShadow);
  } else if (HighContrast()) {
    Canvas().Font().SetColor(0x80000000 | static_cast<TColor>(TextIndex));
  }
  Canvas().DrawTextRect(Caption(), Place, Flags);
}
