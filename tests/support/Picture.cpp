#include "tests/support/Picture.h"

namespace vtest {

Picture::Picture(int Width, int Height) {
  FBitmap.SetSize(Width, Height);
  RECT Whole = All();
  FillRect(FBitmap.Handle(), &Whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void Picture::Draw(TGraphicControl& Control, bool Clip) {
  TSavedDC Saved(FBitmap.Handle());
  if (Clip) IntersectClipRect(FBitmap.Handle(), 0, 0, Control.Width(), Control.Height());
  TCanvasHandle Attached(Control.Canvas(), FBitmap.Handle());
  Control.Paint();
}

void Picture::CopyScreen(int X, int Y) {
  TWindowDC Screen(nullptr);
  BitBlt(FBitmap.Handle(), 0, 0, FBitmap.Width(), FBitmap.Height(), Screen.Get(), X, Y, SRCCOPY);
}

int Picture::Count(COLORREF Color, RECT Area) const {
  int N = 0;
  for (int Y = Area.top; Y < Area.bottom; ++Y)
    for (int X = Area.left; X < Area.right; ++X) N += At(X, Y) == Color;
  return N;
}

}  // namespace vtest
