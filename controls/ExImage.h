#pragma once
// The gradient image: a windowless control that fills its whole area with a
// linear colour gradient of solid bands, from a begin colour to an end colour
// in one of four directions. The main window's caption strip is one, with the
// title and the strip's buttons on top of it.

#include "toolkit/Controls.h"

#include <cstdint>

// Band 0 lies at the top for the first two directions and at the left for the
// other two; the "...ToTop" and "...ToLeft" ones put the begin colour at the
// far end (bottom, right).
enum TFillDirection : std::uint8_t { fdTopToBottom, fdBottomToTop, fdLeftToRight, fdRightToLeft };

// Meant as 1..255, but any 8-bit value is taken: 0 draws no band at all.
using TNumberOfColors = std::uint8_t;

class TKVRGradientImage : public TGraphicControl {
 public:
  explicit TKVRGradientImage(TComponent* AOwner);
  long AccRole() const override { return ROLE_SYSTEM_GRAPHIC; }

  // Stored only: the control keeps its size.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TColor BeginColor() const { return FBeginColor; }
  // Draws at once and asks for a repaint, even when the value is the same.
  void SetBeginColor(TColor Value);
  TColor EndColor() const { return FEndColor; }
  // Draws at once and asks for a repaint, even when the value is the same.
  void SetEndColor(TColor Value);
  TFillDirection FillDirection() const { return FFillDirection; }
  // A changed direction draws at once and asks for a repaint.
  void SetFillDirection(TFillDirection Value);
  TNumberOfColors NumberOfColors() const { return FNumberOfColors; }
  void SetNumberOfColors(TNumberOfColors Value);

  void Paint() override { DrawGradient(); }

 private:
  // Fills a bitmap of the control's size band by band and copies it to the
  // canvas in one piece.
  void DrawGradient();
  // A colour or direction setter's drawing at once, then the repaint request.
  void DrawNow();

  bool FAutoSize = false;
  TColor FBeginColor = clMaroon;
  TColor FEndColor = clBtnFace;
  TFillDirection FFillDirection = fdLeftToRight;
  TNumberOfColors FNumberOfColors = 255;
};
