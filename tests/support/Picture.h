#pragma once
// A white memory bitmap to draw a windowless control into, and to read back
// pixel by pixel: what a control draws, without a window or a screen.

#include "toolkit/Controls.h"

#include <memory>
#include <string>

namespace vtest {

class Picture {
 public:
  Picture(int Width, int Height);
  // Paints the control with its canvas on the bitmap; with Clip, only inside
  // the control's own size, as its parent clips it.
  void Draw(TGraphicControl& Control, bool Clip = false);
  // What the screen shows with its top-left corner at (X, Y): another
  // process's windows too.
  void CopyScreen(int X, int Y);
  COLORREF At(int X, int Y) const { return GetPixel(FDC.Get(), X, Y); }
  // How many pixels of the area, or of the whole bitmap, have the colour.
  int Count(COLORREF Color, RECT Area) const;
  int Count(COLORREF Color) const { return Count(Color, All()); }
  RECT All() const { return {0, 0, FBitmap.Width(), FBitmap.Height()}; }
  // Writes the bitmap to a 24-bit BMP file; false when it cannot.
  bool SaveBmp(const std::string& Path) const;
  // The bitmap's own context, to draw on or hand to a window's paint.
  HDC Handle() const { return FDC.Get(); }

 private:
  TBitmap FBitmap;
  TMemoryDC FDC{nullptr};
  std::unique_ptr<TSelection> FSelected;  // the bitmap in FDC for the picture's life
};

}  // namespace vtest
