#include "controls/ExImage.h"

namespace {

// The colour of band Band of Bands, from Start (band 0) to End (the last
// band, exactly); a single band has the start colour.
COLORREF BandColor(COLORREF Start, COLORREF End, int Band, int Bands) {
  auto Channel = [Band, Bands](int From, int To) {
    return Bands > 1 ? From + MulDiv(Band, To - From, Bands - 1) : From;
  };
  return RGB(Channel(GetRValue(Start), GetRValue(End)), Channel(GetGValue(Start), GetGValue(End)),
             Channel(GetBValue(Start), GetBValue(End)));
}

}  // namespace

TKVRGradientImage::TKVRGradientImage(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 105, 25); }

void TKVRGradientImage::SetAutoSize(bool Value) {
  FAutoSize = Value;
  Invalidate();
}

void TKVRGradientImage::SetBeginColor(TColor Value) {
  FBeginColor = Value;
  DrawNow();
}

void TKVRGradientImage::SetEndColor(TColor Value) {
  FEndColor = Value;
  DrawNow();
}

void TKVRGradientImage::SetFillDirection(TFillDirection Value) {
  if (Value == FFillDirection) return;
  FFillDirection = Value;
  DrawNow();
}

void TKVRGradientImage::SetNumberOfColors(TNumberOfColors Value) {
  FNumberOfColors = Value;
  Invalidate();
}

void TKVRGradientImage::DrawNow() {
  // Outside a paint the canvas draws on the parent window's context. A
  // control with no parent window yet (one still being laid out) has nothing
  // to draw on, and a hidden one must not show itself: both only keep the
  // value, which their next paint shows.
  if (Visible() && Parent() && Parent()->HandleAllocated()) DrawGradient();
  Invalidate();
}

void TKVRGradientImage::DrawGradient() {
  const int W = Width(), H = Height();
  if (W <= 0 || H <= 0) return;
  TBitmap Bitmap;
  Bitmap.SetSize(W, H);

  const bool Rows = FFillDirection == fdTopToBottom || FFillDirection == fdBottomToTop;
  // Band 0 always lies at the top or at the left, so the two directions that
  // run the other way swap the colours instead. Resolved here, at every
  // drawing: a system colour shows the desktop's colour of the moment.
  const bool Forward = FFillDirection == fdTopToBottom || FFillDirection == fdLeftToRight;
  // In high contrast the strip is one solid caption colour.
  const COLORREF Start =
      HighContrast() ? GetSysColor(COLOR_ACTIVECAPTION) : ColorToRGB(Forward ? FBeginColor : FEndColor);
  const COLORREF End = HighContrast() ? Start : ColorToRGB(Forward ? FEndColor : FBeginColor);

  const int Bands = FNumberOfColors;
  const int Extent = Rows ? H : W;
  TCanvas& Fill = Bitmap.Canvas();
  Fill.SetBrushStyle(TBrushStyle::bsSolid);
  for (int I = 0; I < Bands; ++I) {
    // Rounded edges tile the bitmap exactly; where the extent is no multiple
    // of the band count, the bands differ by at most one pixel, and where it
    // is smaller, many are empty.
    const int From = MulDiv(I, Extent, Bands), To = MulDiv(I + 1, Extent, Bands);
    if (From == To) continue;
    Fill.SetBrushColor(BandColor(Start, End, I, Bands));
    Fill.FillRect(Rows ? RECT{0, From, W, To} : RECT{From, 0, To, H});
  }
  // One copy to the surface, so the bands never show one by one.
  Canvas().Draw(0, 0, Bitmap);
}
