#include "controls/ExLabel.h"

#include "controls/ExPanel.h"

// ---- TKVRLabel ----

TKVRLabel::TKVRLabel(TComponent* AOwner) : TLabel(AOwner) {}

void TKVRLabel::SetColorBorder(TColor Value) {
  if (Value == FColorBorder) return;
  FColorBorder = Value;
  Invalidate();
}

void TKVRLabel::SetColorShadow(TColor Value) {
  if (Value == FColorShadow) return;
  FColorShadow = Value;
  Invalidate();
}

void TKVRLabel::SetShowBorder(bool Value) {
  if (Value == FShowBorder) return;
  FShowBorder = Value;
  FitToText();
  Invalidate();
}

void TKVRLabel::SetShowShadow(bool Value) {
  if (Value == FShowShadow) return;
  FShowShadow = Value;
  FitToText();
  Invalidate();
}

void TKVRLabel::SetAutoSize(bool Value) {
  TLabel::SetAutoSize(Value);
  FitToText();
}

void TKVRLabel::ChangeScale(int NewDpi, int OldDpi) {
  // First: the fit that the new font brings counts them.
  FBorderThickness = ScaleToDpi(1, NewDpi);
  FShadowOffset = ScaleToDpi(1, NewDpi);
  TLabel::ChangeScale(NewDpi, OldDpi);
  FitToText();  // also where the font height came out the same
}

void TKVRLabel::TextChanged() {
  TLabel::TextChanged();
  FitToText();
}

void TKVRLabel::FontChanged() {
  TLabel::FontChanged();
  FitToText();
}

void TKVRLabel::DrawLabelText(RECT& R, UINT Flags) {
  std::string Text = Caption();
  // An empty caption, or a lone accelerator mark, still measures as one line
  // of text.
  if ((Flags & DT_CALCRECT) && (Text.empty() || (ShowAccelChar() && Text == "&"))) Text += ' ';
  if (!ShowAccelChar()) Flags |= DT_NOPREFIX;
  TCanvas& C = Canvas();
  C.Font().Assign(Font());
  auto Draw = [&] { C.DrawTextRect(Text, R, Flags); };

  // Disabled: engraved, without outline or shadow.
  if (!Enabled()) {
    OffsetRect(&R, 1, 1);
    C.Font().SetColor(clBtnHighlight);
    Draw();
    OffsetRect(&R, -1, -1);
    C.Font().SetColor(clBtnShadow);
    Draw();
    return;
  }

  const int W = FBorderThickness, D = FShadowOffset;
  if (HighContrast() && !(Flags & DT_CALCRECT)) {
    // Copies in other colours would blur the letters: the text alone, where
    // it stands otherwise, in the text colour of the ground it is on (the
    // caption strip's, or the window's). It measures as before.
    if (FShowBorder) OffsetRect(&R, W, W);
    C.Font().SetColor(dynamic_cast<const TKVRPanel*>(Parent()) ? 0x80000000 | COLOR_CAPTIONTEXT : Font().Color());
    Draw();
    return;
  }
  RECT S = R;  // where the copies start
  // With both effects, room for them on the far sides.
  if (FShowShadow && FShowBorder) {
    if (Alignment() == TAlignment::taRightJustify) {
      R.right -= 2 * W + D;
      S = R;
    }
    if (Layout() == TTextLayout::tlBottom) {
      R.top -= 2 * W + D;
      S = R;
    }
  }
  const int E = FShowShadow ? D : 0;
  if (FShowBorder) {
    // Nine copies around the text (and its shadow): each later one over the
    // earlier ones.
    const POINT Copies[] = {{0, 0},         {W, 0},         {2 * W, 0},
                            {0, W + E},     {W + E, W + E}, {2 * W + E, W + E},
                            {0, 2 * W + E}, {W, 2 * W + E}, {2 * W + E, 2 * W + E}};
    C.Font().SetColor(FColorBorder);
    for (const POINT& Offset : Copies) {
      R = S;
      OffsetRect(&R, Offset.x, Offset.y);
      Draw();
    }
    R = S;
    OffsetRect(&R, W, W);
  }
  if (FShowShadow) {
    OffsetRect(&R, D, D);
    C.Font().SetColor(FColorShadow);
    Draw();
    OffsetRect(&R, -D, -D);
    C.Font().SetColor(Font().Color());
    Draw();
    OffsetRect(&R, D, D);
  } else {
    C.Font().SetColor(Font().Color());
    Draw();
  }
  // Measured, the rectangle takes in the effects' room.
  if (FShowBorder) OffsetRect(&R, 2 * W, 2 * W);
}

// ---- TKVRActiveLabel ----

TKVRActiveLabel::TKVRActiveLabel(TComponent* AOwner) : TKVRLabel(AOwner), FNormalColor(Font().Color()) {
  SetCursor(FCursorActive ? crHandPoint : crDefault);
}

void TKVRActiveLabel::SetCursorActive(bool Value) {
  if (Value == FCursorActive) return;
  FCursorActive = Value;
  SetCursor(Value ? crHandPoint : crDefault);
  Invalidate();
}

void TKVRActiveLabel::SetColorActive(TColor Value) {
  if (Value == FColorActive) return;
  FColorActive = Value;
  Invalidate();
}

void TKVRActiveLabel::SetLabelStyle(TActiveLabelStyle Value) {
  if (Value == FLabelStyle) return;
  FLabelStyle = Value;
  // A style that switches an effect on hovering starts with it off.
  if (Value == alsBorder || Value == alsBorderShadow) SetShowBorder(false);
  if (Value == alsShadow || Value == alsBorderShadow) SetShowShadow(false);
  Invalidate();
}

void TKVRActiveLabel::MouseMove(TShiftState Shift, int X, int Y) {
  TKVRLabel::MouseMove(Shift, X, Y);
  if (!MouseCapture()) {
    // Coming over the label: only an enabled, visible one on the active form
    // counts the pointer as inside, and then follows it with the capture.
    if (Enabled() && Visible() && FormActive()) {
      FMouseInside = true;
      SetMouseCapture(true);
    }
  } else if (X < 0 || Y < 0 || X > Width() || Y > Height()) {
    // The first move outside: the column right of the label and the row below
    // it still count as inside.
    FMouseInside = false;
    SetMouseCapture(false);
  }
  if (FMouseInside) {
    DoMouseIn();
    Enter();
  } else {
    DoMouseOut();
    Leave();
  }
}

void TKVRActiveLabel::Enter() {
  switch (FLabelStyle) {
    case alsInternet:
      // A hover colour equal to the font's shows nothing, not even the
      // underline: the colour decides whether the look changes.
      if (Font().Color() != FColorActive) {
        Font().SetStyle(Font().Style() | fsUnderline);
        Font().SetColor(FColorActive);
        Invalidate();
      }
      break;
    case alsBorder:
      if (!ShowBorder()) SetShowBorder(true);
      break;
    case alsShadow:
      if (!ShowShadow()) SetShowShadow(true);
      break;
    case alsBorderShadow:
      // Only when the two agree.
      if (!ShowBorder() && !ShowShadow()) {
        SetShowBorder(true);
        SetShowShadow(true);
      }
      break;
    default:
      break;
  }
}

void TKVRActiveLabel::Leave() {
  switch (FLabelStyle) {
    case alsInternet:
      if (Font().Color() != FNormalColor) {
        Font().SetStyle(Font().Style() & ~fsUnderline);
        Font().SetColor(FNormalColor);
        Invalidate();
      }
      break;
    case alsBorder:
      if (ShowBorder()) SetShowBorder(false);
      break;
    case alsShadow:
      if (ShowShadow()) SetShowShadow(false);
      break;
    case alsBorderShadow:
      if (ShowBorder() && ShowShadow()) {
        SetShowBorder(false);
        SetShowShadow(false);
      }
      break;
    default:
      break;
  }
}
