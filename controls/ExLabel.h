#pragma once
// The window's decorative labels. TKVRLabel draws its caption plain, with an
// outline (its "border") in one colour, with a drop shadow in another, or
// with both; it is the standard label with the routine that draws and
// measures the caption replaced, so that it fits itself to the text with the
// effects. TKVRActiveLabel reacts to the pointer: while the pointer is over
// it, it can underline itself and take a hover colour, or switch its outline
// or shadow on, and it can show the hand cursor.

#include "toolkit/StdCtrls.h"

#include <cstdint>

class TKVRLabel : public TLabel {
 public:
  explicit TKVRLabel(TComponent* AOwner);

  TColor ColorBorder() const { return FColorBorder; }
  void SetColorBorder(TColor Value);
  TColor ColorShadow() const { return FColorShadow; }
  void SetColorShadow(TColor Value);
  bool ShowBorder() const { return FShowBorder; }
  void SetShowBorder(bool Value);
  bool ShowShadow() const { return FShowShadow; }
  void SetShowShadow(bool Value);

  // The standard setter, then one more fit, whatever the value was.
  void SetAutoSize(bool Value) override;
  // The outline and the shadow keep their share of the text: they lie
  // 1 pixel from it at 96 DPI, and as far as that scales to at another.
  void ChangeScale(int NewDpi, int OldDpi) override;

 protected:
  void DrawLabelText(RECT& Rect, UINT Flags) override;
  void TextChanged() override;
  void FontChanged() override;

 private:
  TColor FColorBorder = 0x80000000 | COLOR_INFOBK;
  TColor FColorShadow = clWhite;
  bool FShowBorder = false;
  bool FShowShadow = false;
  // How far each outline copy lies from the text, and the shadow from the
  // text, rightwards and downwards; in pixels, 1 at 96 DPI.
  int FBorderThickness = 1;
  int FShadowOffset = 1;
};

// What hovering does to a TKVRActiveLabel.
enum TActiveLabelStyle : std::uint8_t {
  alsNone = 0,          // nothing
  alsInternet = 1,      // underline and ColorActive, as a link
  alsBorder = 2,        // the outline
  alsShadow = 3,        // the shadow
  alsBorderShadow = 4,  // both
};

class TKVRActiveLabel : public TKVRLabel {
 public:
  explicit TKVRActiveLabel(TComponent* AOwner);

  // The hand cursor over the label, always, not only while it is hovered.
  bool CursorActive() const { return FCursorActive; }
  void SetCursorActive(bool Value);
  // The font colour while hovered, for alsInternet.
  TColor ColorActive() const { return FColorActive; }
  void SetColorActive(TColor Value);
  TActiveLabelStyle LabelStyle() const { return FLabelStyle; }
  void SetLabelStyle(TActiveLabelStyle Value);
  // Whether the pointer counts as over the label.
  bool MouseInside() const { return FMouseInside; }

  // A label that acts on a click takes the focus as a button does; one in
  // the Internet style is a link.
  bool CanTakeFocus() const override { return static_cast<bool>(OnClick); }
  long AccRole() const override { return FLabelStyle == alsInternet ? ROLE_SYSTEM_LINK : TKVRLabel::AccRole(); }
  long AccState() const override { return FLabelStyle == alsInternet ? STATE_SYSTEM_LINKED : 0; }
  std::string AccDefaultAction() const override {
    return OnClick ? (FLabelStyle == alsInternet ? "Jump" : "Click") : "";
  }

  // Raised on every pointer move while the pointer counts as inside, and on
  // every move over the label while it does not.
  TNotifyEvent OnMouseIn;
  TNotifyEvent OnMouseOut;

 protected:
  // The label tracks the pointer itself: it takes the capture when the
  // pointer comes over it, with its form active, and lets it go at the first
  // move outside its bounds.
  void MouseMove(TShiftState Shift, int X, int Y) override;
  virtual void DoMouseIn() { OnMouseIn(this); }
  virtual void DoMouseOut() { OnMouseOut(this); }

 private:
  void Enter();
  void Leave();

  bool FCursorActive = false;
  TColor FColorActive = clBlack;
  TActiveLabelStyle FLabelStyle = alsNone;
  bool FMouseInside = false;
  // The font colour that leaving restores, taken from the font once, when the
  // label is made.
  TColor FNormalColor;
};
