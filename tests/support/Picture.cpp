#include "tests/support/Picture.h"

namespace vtest {

Picture::Picture(int Width, int Height) {
  FBitmap.SetSize(Width, Height);
  FSelected = std::make_unique<TSelection>(FDC.Get(), FBitmap.Handle());
  RECT Whole = All();
  FillRect(FDC.Get(), &Whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void Picture::Draw(TGraphicControl& Control, bool Clip) {
  TSavedDC Saved(FDC.Get());
  if (Clip) IntersectClipRect(FDC.Get(), 0, 0, Control.Width(), Control.Height());
  TCanvasHandle Attached(Control.Canvas(), FDC.Get());
  Control.Paint();
}

void Picture::CopyScreen(int X, int Y) {
  TWindowDC Screen(nullptr);
  BitBlt(FDC.Get(), 0, 0, FBitmap.Width(), FBitmap.Height(), Screen.Get(), X, Y, SRCCOPY);
}

bool Picture::SaveBmp(const std::string& Path) const {
  BITMAPINFOHEADER Info = {};
  Info.biSize = sizeof Info;
  Info.biWidth = FBitmap.Width();
  Info.biHeight = FBitmap.Height();
  Info.biPlanes = 1;
  Info.biBitCount = 24;
  const DWORD Row = (static_cast<DWORD>(Info.biWidth) * 3 + 3) & ~3u;
  std::string Pixels(Row * static_cast<DWORD>(Info.biHeight), '\0');
  HBITMAP Bitmap = static_cast<HBITMAP>(GetCurrentObject(FDC.Get(), OBJ_BITMAP));
  if (!Bitmap || GetDIBits(FDC.Get(), Bitmap, 0, static_cast<UINT>(Info.biHeight), Pixels.data(),
                           reinterpret_cast<BITMAPINFO*>(&Info), DIB_RGB_COLORS) != Info.biHeight)
    return false;
  BITMAPFILEHEADER File = {};
  File.bfType = 0x4D42;  // "BM"
  File.bfOffBits = sizeof File + sizeof Info;
  File.bfSize = File.bfOffBits + static_cast<DWORD>(Pixels.size());
  HANDLE Out = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Out == INVALID_HANDLE_VALUE) return false;
  DWORD Written = 0, Total = 0;
  bool Ok = WriteFile(Out, &File, sizeof File, &Written, nullptr) && (Total += Written, true) &&
            WriteFile(Out, &Info, sizeof Info, &Written, nullptr) && (Total += Written, true) &&
            WriteFile(Out, Pixels.data(), static_cast<DWORD>(Pixels.size()), &Written, nullptr) &&
            (Total += Written, true);
  return CloseHandle(Out) && Ok && Total == File.bfSize;
}

int Picture::Count(COLORREF Color, RECT Area) const {
  int N = 0;
  for (int Y = Area.top; Y < Area.bottom; ++Y)
    for (int X = Area.left; X < Area.right; ++X) N += At(X, Y) == Color;
  return N;
}

}  // namespace vtest
