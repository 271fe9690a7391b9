#include "toolkit/Graphics.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Handles.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <utility>

namespace {
bool HighContrastOn = false;
}  // namespace

bool HighContrast() { return HighContrastOn; }

void SetHighContrast(bool Value) { HighContrastOn = Value; }

COLORREF ColorToRGB(TColor Color) {
  if (Color & 0x80000000) return GetSysColor(static_cast<int>(Color & 0xFF));
  return Color & 0x00FFFFFF;
}

namespace {

// The face a font came out as, and whether its character height is about
// the one asked for (within an eighth), as the screen's context sets it.
std::string FaceName(HFONT Font, int* CharacterHeight = nullptr) {
  TWindowDC Screen(nullptr);
  if (!Screen.Get()) return {};
  HGDIOBJ Old = SelectObject(Screen.Get(), Font);
  if (!Old) return {};
  char Face[LF_FACESIZE] = "";
  TEXTMETRICA Metrics = {};
  if (!GetTextFaceA(Screen.Get(), LF_FACESIZE, Face) || !GetTextMetricsA(Screen.Get(), &Metrics)) Face[0] = '\0';
  SelectObject(Screen.Get(), Old);
  if (CharacterHeight) *CharacterHeight = Metrics.tmHeight - Metrics.tmInternalLeading;
  return Face;
}

bool HasHeight(HFONT Font, int Height) {
  int Got = 0;
  return FaceName(Font, &Got).empty() || std::abs(Got - Height) <= Height / 8;
}

}  // namespace

COLORREF TextColorToRGB(TColor Color) {
  if (HighContrastOn && !(Color & 0x80000000)) return GetSysColor(COLOR_WINDOWTEXT);
  return ColorToRGB(Color);
}

TFont::TFont() = default;

TFont::~TFont() { FreeHandle(); }

void TFont::FreeHandle() {
  if (FHandle) Platform().DeleteObject(FHandle);
  FHandle = nullptr;
}

void TFont::Changed(bool Shape) {
  // The colour is no part of a GDI font: only a change of its shape makes a
  // new one.
  if (Shape) FreeHandle();
  if (OnChange) OnChange();
}

void TFont::SetName(const std::string& Value) {
  if (Value == FName) return;
  FName = Value;
  Changed();
}

void TFont::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed(false);
}

void TFont::SetCharset(BYTE Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Changed();
}

void TFont::Assign(const TFont& Source) {
  if (&Source == this) return;
  const bool Shape =
      FName != Source.FName || FHeight != Source.FHeight || FStyle != Source.FStyle || FCharset != Source.FCharset;
  FName = Source.FName;
  FHeight = Source.FHeight;
  FStyle = Source.FStyle;
  FColor = Source.FColor;
  FCharset = Source.FCharset;
  Changed(Shape);
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTA Log = {};
    // A negative height asks for the character height, without the internal
    // leading: 11 pixels is 8 points at 96 pixels per inch.
    Log.lfHeight = -FHeight;
    Log.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    Log.lfItalic = (FStyle & fsItalic) ? TRUE : FALSE;
    Log.lfUnderline = (FStyle & fsUnderline) ? TRUE : FALSE;
    Log.lfStrikeOut = (FStyle & fsStrikeOut) ? TRUE : FALSE;
    Log.lfCharSet = FCharset;
    Log.lfOutPrecision = OUT_DEFAULT_PRECIS;
    Log.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    Log.lfQuality = DEFAULT_QUALITY;
    Log.lfPitchAndFamily = DEFAULT_PITCH;
    lstrcpynA(Log.lfFaceName, FName.c_str(), LF_FACESIZE);
    FHandle = Platform().CreateFontIndirectA(&Log);
    // "MS Sans Serif" is a bitmap face of a few sizes (character heights up
    // to 29 pixels in Windows', 16 in Wine's): a height it lacks comes out at
    // a size it has, and the text would not grow with the display's scale.
    // The TrueType face of the same design takes its place then, and where
    // that is missing too (Wine has none), Tahoma, which followed it in the
    // system's dialogs with nearly its widths.
    if (FHandle && lstrcmpiA(FName.c_str(), "MS Sans Serif") == 0 && !HasHeight(FHandle, FHeight)) {
      for (const char* Scalable : {"Microsoft Sans Serif", "Tahoma"}) {
        lstrcpynA(Log.lfFaceName, Scalable, LF_FACESIZE);
        HFONT Font = Platform().CreateFontIndirectA(&Log);
        if (Font && FaceName(Font) == Scalable) {
          Platform().DeleteObject(FHandle);
          FHandle = Font;
          break;
        }
        if (Font) Platform().DeleteObject(Font);
      }
    }
  }
  return FHandle;
}

TIcon::~TIcon() { TakeHandle(nullptr); }

void TIcon::TakeHandle(HICON Value) {
  if (FHandle == Value) return;
  if (FHandle) DestroyIcon(FHandle);
  FHandle = Value;
}

void TIcon::SetHandle(HICON Value) {
  TakeHandle(Value);
  FResource.clear();
  FSize = 0;
}

void TIcon::Assign(const TIcon* Source) {
  if (Source == this) return;
  TakeHandle(Source && Source->FHandle ? CopyIcon(Source->FHandle) : nullptr);
  FResource = Source && Source->FHandle ? Source->FResource : std::string();
  FSize = Source && Source->FHandle ? Source->FSize : 0;
}

void TIcon::LoadFromResource(const char* Name, int Size) {
  HICON Icon = static_cast<HICON>(Platform().LoadImageA(GetModuleHandleA(nullptr), Name, IMAGE_ICON, Size, Size, 0));
  if (!Icon) throw Exception(std::string("Cannot load the icon ") + Name);
  TakeHandle(Icon);
  FResource = Name;
  FSize = Size;
}

int TIcon::Size() const {
  if (FSize || !FHandle) return FSize;
  ICONINFO Info = {};
  if (!GetIconInfo(FHandle, &Info)) return 0;
  BITMAP Mask = {};
  GetObjectA(Info.hbmMask, sizeof Mask, &Mask);
  if (Info.hbmMask) DeleteObject(Info.hbmMask);
  if (Info.hbmColor) DeleteObject(Info.hbmColor);
  return Mask.bmWidth;
}

void TIcon::SetSize(int Size) {
  if (FResource.empty() || Size <= 0 || Size == FSize) return;
  const std::string Name = FResource;
  LoadFromResource(Name.c_str(), Size);
}

// ---- TCanvas ----

void TCanvas::SetHandle(HDC Value) {
  if (Value == FHandle) return;
  if (FHandle) RestoreDC(FHandle, FSavedState);
  FHandle = Value;
  FSavedState = FHandle ? SaveDC(FHandle) : 0;
}

void TCanvas::FillRect(const RECT& Rect) {
  TDrawingDC DC(*this);
  if (!DC.Get() || FBrushStyle == TBrushStyle::bsClear) return;
  TBrushHandle Brush(Platform().CreateSolidBrush(ColorToRGB(FBrushColor)));
  ::FillRect(DC.Get(), &Rect, Brush.Get());
}

int TCanvas::DrawTextRect(const std::string& Text, RECT& Rect, UINT Format) {
  TDrawingDC DC(*this);
  if (!DC.Get()) return 0;
  // Selected for this call only: the font may change (and its GDI font be
  // deleted) before the next one.
  TSelection Font(DC.Get(), FFont.Handle());
  SetTextColor(DC.Get(), TextColorToRGB(FFont.Color()));
  if (FBrushStyle == TBrushStyle::bsClear) {
    SetBkMode(DC.Get(), TRANSPARENT);
  } else {
    SetBkMode(DC.Get(), OPAQUE);
    SetBkColor(DC.Get(), ColorToRGB(FBrushColor));
  }
  return Platform().DrawTextA(DC.Get(), Text.c_str(), static_cast<int>(Text.size()), &Rect, Format);
}

void TCanvas::Line(TColor Color, int X1, int Y1, int X2, int Y2) {
  TDrawingDC DC(*this);
  if (!DC.Get()) return;
  TPenHandle Pen(Platform().CreatePen(PS_SOLID, 1, ColorToRGB(Color)));
  TSelection Selected(DC.Get(), Pen.Get());
  MoveToEx(DC.Get(), X1, Y1, nullptr);
  LineTo(DC.Get(), X2, Y2);
}

void TCanvas::Draw(int X, int Y, const TBitmap& Bitmap) {
  TDrawingDC DC(*this);
  if (!DC.Get() || Bitmap.Width() <= 0 || Bitmap.Height() <= 0) return;
  BitBlt(DC.Get(), X, Y, Bitmap.Width(), Bitmap.Height(), Bitmap.Handle(), 0, 0, SRCCOPY);
}

// ---- TBitmap ----

TBitmap::TBitmap() : FDC(Platform().CreateCompatibleDC(nullptr)) {
  if (!FDC) throw Exception("Cannot create a memory device context");
  FCanvas.SetHandle(FDC);
}

TBitmap::~TBitmap() {
  FCanvas.SetHandle(nullptr);
  SetSize(0, 0);
  Platform().DeleteDC(FDC);
}

void TBitmap::SetSize(int AWidth, int AHeight) {
  if (AWidth == FWidth && AHeight == FHeight) return;
  if (FBitmap) {
    // Out of the context before it goes: a selected bitmap cannot be deleted.
    Platform().SelectObject(FDC, FOriginal);
    Platform().DeleteObject(FBitmap);
    FBitmap = nullptr;
  }
  FWidth = std::max(AWidth, 0);
  FHeight = std::max(AHeight, 0);
  if (FWidth == 0 || FHeight == 0) return;
  // Compatible with the screen, not with the memory context (whose own
  // bitmap is one monochrome pixel).
  TWindowDC Screen(nullptr);
  FBitmap = Platform().CreateCompatibleBitmap(Screen.Get(), FWidth, FHeight);
  if (!FBitmap)
    throw Exception("Cannot create a bitmap of " + std::to_string(FWidth) + " by " + std::to_string(FHeight) +
                    " pixels");
  FOriginal = Platform().SelectObject(FDC, FBitmap);
}

// ---- TBitmapResource ----

TBitmapResource::~TBitmapResource() {
  if (FHandle) Platform().DeleteObject(FHandle);
}

void TBitmapResource::Load(const char* Name) {
  TBitmapHandle Bitmap(
      static_cast<HBITMAP>(Platform().LoadImageA(GetModuleHandleA(nullptr), Name, IMAGE_BITMAP, 0, 0, 0)));
  if (!Bitmap) throw Exception(std::string("Cannot load the bitmap ") + Name);
  BITMAP Info = {};
  GetObjectA(Bitmap.Get(), sizeof Info, &Info);
  {
    TMemoryDC Memory(nullptr);
    TSelection Selected(Memory.Get(), Bitmap.Get());
    FTransparent = GetPixel(Memory.Get(), 0, Info.bmHeight - 1);
  }
  if (FHandle) Platform().DeleteObject(FHandle);
  FHandle = Bitmap.Release();
  FWidth = Info.bmWidth;
  FHeight = Info.bmHeight;
}

void TBitmapResource::LoadForDpi(const std::string& Name, int Dpi) {
  for (int Drawn : {192, 144, 120}) {
    if (Drawn > Dpi) continue;
    const std::string Scaled = Name + "_" + std::to_string(Drawn);
    if (FindResourceA(GetModuleHandleA(nullptr), Scaled.c_str(), RT_BITMAP)) {
      Load(Scaled.c_str());
      return;
    }
  }
  Load(Name.c_str());
}

void DrawGlyph(HDC DC, int X, int Y, const TBitmapResource& Glyph, bool Enabled, int Solid) {
  if (Glyph.Empty()) return;
  const int W = Glyph.Width(), H = Glyph.Height();
  TMemoryDC Source(DC);
  TSelection SourceBitmap(Source.Get(), Glyph.Handle());
  // A monochrome mask: white where the ground is, black where the glyph is.
  TMemoryDC MaskDC(DC);
  TBitmapHandle Mask(Platform().CreateBitmap(W, H, 1, 1, nullptr));
  TSelection MaskBitmap(MaskDC.Get(), Mask.Get());
  SetBkColor(Source.Get(), Glyph.TransparentColor());
  BitBlt(MaskDC.Get(), 0, 0, W, H, Source.Get(), 0, 0, SRCCOPY);

  SetBkColor(DC, RGB(255, 255, 255));
  SetTextColor(DC, RGB(0, 0, 0));
  if (Enabled && Solid >= 0) {
    TSelection Brush(DC, GetSysColorBrush(Solid));
    // Where the mask is black, paint the brush; elsewhere keep the destination.
    BitBlt(DC, X, Y, W, H, MaskDC.Get(), 0, 0, 0x00B8074A);
  } else if (Enabled) {
    // Glyph pixels over the destination, ground pixels leave it alone.
    BitBlt(DC, X, Y, W, H, Source.Get(), 0, 0, SRCINVERT);
    BitBlt(DC, X, Y, W, H, MaskDC.Get(), 0, 0, SRCAND);
    BitBlt(DC, X, Y, W, H, Source.Get(), 0, 0, SRCINVERT);
  } else {
    // The glyph's shape in highlight, one pixel down-right, then in shadow.
    const std::pair<int, int> Colors[] = {{1, COLOR_BTNHIGHLIGHT}, {0, COLOR_BTNSHADOW}};
    for (const auto& [Offset, Index] : Colors) {
      TSelection Brush(DC, GetSysColorBrush(Index));
      // Where the mask is black, paint the brush; elsewhere keep the destination.
      BitBlt(DC, X + Offset, Y + Offset, W, H, MaskDC.Get(), 0, 0, 0x00B8074A);
    }
  }
}
