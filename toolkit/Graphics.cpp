#include "toolkit/Graphics.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Handles.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

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

// GDI objects shared by description: each is made when its first user asks
// for it and deleted when its last user lets go. The window's controls and
// canvases use a handful of fonts, glyphs and brushes each many times, and
// the system counts every object a process holds while it idles. Used from
// the user-interface thread only.
template <class Key, class Value>
class TShared {
 public:
  // A use of the object of that description; Make makes it when there is
  // none. An object that could not be made (a null handle) is not kept.
  template <class Make>
  Value Acquire(const Key& K, Make MakeValue) {
    for (Entry& E : FEntries)
      if (E.K == K) {
        ++E.Users;
        return E.V;
      }
    const Value V = MakeValue();
    if (V.Handle) FEntries.push_back({K, V, 1});
    return V;
  }
  // Ends a use; the last one deletes the object.
  void Release(HGDIOBJ Handle) {
    for (auto It = FEntries.begin(); It != FEntries.end(); ++It) {
      if (It->V.Handle != Handle) continue;
      if (--It->Users == 0) {
        Platform().DeleteObject(Handle);
        FEntries.erase(It);
      }
      return;
    }
  }

 private:
  struct Entry {
    Key K;
    Value V;
    int Users;
  };
  std::vector<Entry> FEntries;
};

// The toolkit's one store of each kind.
template <class Key, class Value>
TShared<Key, Value>& Store() {
  static TShared<Key, Value> Objects;
  return Objects;
}

struct TFontShape {
  std::string Name;
  int Height;
  TFontStyles Style;
  BYTE Charset;
  bool operator==(const TFontShape&) const = default;
};
struct TSharedFont {
  HFONT Handle;
};
auto& Fonts = Store<TFontShape, TSharedFont>;

struct TSharedBitmap {
  HBITMAP Handle;
  int Width, Height;
  COLORREF Transparent;
};
auto& Bitmaps = Store<std::string, TSharedBitmap>;

struct TSharedBrush {
  HBRUSH Handle;
};
auto& Brushes = Store<TBrushUse::TKey, TSharedBrush>;

// The checkered face of a button that stays down.
HBRUSH MakeDownPattern(COLORREF Face, COLORREF Light) {
  TWindowDC Screen(nullptr);
  TBitmapHandle Pattern(Platform().CreateCompatibleBitmap(Screen.Get(), 8, 8));
  {
    TMemoryDC Memory(Screen.Get());
    TSelection Selected(Memory.Get(), Pattern.Get());
    for (int Y = 0; Y < 8; ++Y)
      for (int X = 0; X < 8; ++X) SetPixel(Memory.Get(), X, Y, ((X + Y) & 1) ? Light : Face);
  }
  // The brush keeps its own copy of the pattern.
  return Platform().CreatePatternBrush(Pattern.Get());
}

// A font of that shape, with the bitmap face's stand-ins.
HFONT MakeFont(const TFontShape& Shape) {
  LOGFONTA Log = {};
  // A negative height asks for the character height, without the internal
  // leading: 11 pixels is 8 points at 96 pixels per inch.
  Log.lfHeight = -Shape.Height;
  Log.lfWeight = (Shape.Style & fsBold) ? FW_BOLD : FW_NORMAL;
  Log.lfItalic = (Shape.Style & fsItalic) ? TRUE : FALSE;
  Log.lfUnderline = (Shape.Style & fsUnderline) ? TRUE : FALSE;
  Log.lfStrikeOut = (Shape.Style & fsStrikeOut) ? TRUE : FALSE;
  Log.lfCharSet = Shape.Charset;
  Log.lfOutPrecision = OUT_DEFAULT_PRECIS;
  Log.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  Log.lfQuality = DEFAULT_QUALITY;
  Log.lfPitchAndFamily = DEFAULT_PITCH;
  lstrcpynA(Log.lfFaceName, Shape.Name.c_str(), LF_FACESIZE);
  HFONT Made = Platform().CreateFontIndirectA(&Log);
  // "MS Sans Serif" is a bitmap face of a few sizes (character heights up
  // to 29 pixels in Windows', 16 in Wine's): a height it lacks comes out at
  // a size it has, and the text would not grow with the display's scale.
  // The TrueType face of the same design takes its place then, and where
  // that is missing too (Wine has none), Tahoma, which followed it in the
  // system's dialogs with nearly its widths.
  if (Made && lstrcmpiA(Shape.Name.c_str(), "MS Sans Serif") == 0 && !HasHeight(Made, Shape.Height)) {
    for (const char* Scalable : {"Microsoft Sans Serif", "Tahoma"}) {
      lstrcpynA(Log.lfFaceName, Scalable, LF_FACESIZE);
      HFONT Font = Platform().CreateFontIndirectA(&Log);
      if (Font && FaceName(Font) == Scalable) {
        Platform().DeleteObject(Made);
        return Font;
      }
      if (Font) Platform().DeleteObject(Font);
    }
  }
  return Made;
}

}  // namespace

COLORREF TextColorToRGB(TColor Color) {
  if (HighContrastOn && !(Color & 0x80000000)) return GetSysColor(COLOR_WINDOWTEXT);
  return ColorToRGB(Color);
}

TFont::TFont() = default;

TFont::~TFont() { FreeHandle(); }

void TFont::FreeHandle() {
  if (FHandle) Fonts().Release(FHandle);
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
    const TFontShape Shape{FName, FHeight, FStyle, FCharset};
    FHandle = Fonts().Acquire(Shape, [&] { return TSharedFont{MakeFont(Shape)}; }).Handle;
  }
  return FHandle;
}

TIcon::~TIcon() { TakeHandle(nullptr); }

void TIcon::TakeHandle(HICON Value) const {
  if (FHandle == Value) return;
  if (FHandle) DestroyIcon(FHandle);
  FHandle = Value;
}

HICON TIcon::Handle() const {
  if (!FHandle && !FResource.empty()) {
    HICON Icon = static_cast<HICON>(
        Platform().LoadImageA(GetModuleHandleA(nullptr), FResource.c_str(), IMAGE_ICON, FSize, FSize, 0));
    if (!Icon) throw Exception("Cannot load the icon " + FResource);
    FHandle = Icon;
  }
  return FHandle;
}

void TIcon::SetHandle(HICON Value) {
  TakeHandle(Value);
  FResource.clear();
  FSize = 0;
}

void TIcon::Assign(const TIcon* Source) {
  if (Source == this) return;
  const bool FromResource = Source && !Source->FResource.empty();
  TakeHandle(Source && !FromResource && Source->FHandle ? CopyIcon(Source->FHandle) : nullptr);
  FResource = FromResource ? Source->FResource : std::string();
  FSize = FromResource ? Source->FSize : 0;
}

void TIcon::LoadFromResource(const char* Name, int Size) {
  if (!FindResourceA(GetModuleHandleA(nullptr), Name, RT_GROUP_ICON))
    throw Exception(std::string("Cannot load the icon ") + Name);
  TakeHandle(nullptr);
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
  TakeHandle(nullptr);
  FSize = Size;
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
  if (!DC.Get() || !Bitmap.Handle()) return;
  TMemoryDC Source(DC.Get());
  TSelection Selected(Source.Get(), Bitmap.Handle());
  BitBlt(DC.Get(), X, Y, Bitmap.Width(), Bitmap.Height(), Source.Get(), 0, 0, SRCCOPY);
}

// ---- TBitmap ----

TBitmap::~TBitmap() { SetSize(0, 0); }

void TBitmap::SetSize(int AWidth, int AHeight) {
  if (AWidth == FWidth && AHeight == FHeight) return;
  if (FBitmap) Platform().DeleteObject(FBitmap);
  FBitmap = nullptr;
  FWidth = std::max(AWidth, 0);
  FHeight = std::max(AHeight, 0);
  if (FWidth == 0 || FHeight == 0) return;
  // Compatible with the screen, not with a memory context (whose own
  // bitmap is one monochrome pixel).
  TWindowDC Screen(nullptr);
  FBitmap = Platform().CreateCompatibleBitmap(Screen.Get(), FWidth, FHeight);
  if (!FBitmap)
    throw Exception("Cannot create a bitmap of " + std::to_string(FWidth) + " by " + std::to_string(FHeight) +
                    " pixels");
}

HDC TBitmap::TBitmapCanvas::BorrowHandle() {
  if (!FBitmap.FBitmap) return nullptr;
  HDC DC = Platform().CreateCompatibleDC(nullptr);
  if (!DC) return nullptr;
  FOriginal = Platform().SelectObject(DC, FBitmap.FBitmap);
  return DC;
}

void TBitmap::TBitmapCanvas::ReturnHandle(HDC DC) {
  // Out of the context before it goes: a bitmap must not stay selected into
  // a deleted context, and may later be deleted itself.
  Platform().SelectObject(DC, FOriginal);
  Platform().DeleteDC(DC);
}

// ---- TBitmapResource ----

TBitmapResource::~TBitmapResource() {
  if (FHandle) Bitmaps().Release(FHandle);
}

void TBitmapResource::Load(const char* Name) {
  const TSharedBitmap Loaded = Bitmaps().Acquire(Name, [Name] {
    TBitmapHandle Bitmap(
        static_cast<HBITMAP>(Platform().LoadImageA(GetModuleHandleA(nullptr), Name, IMAGE_BITMAP, 0, 0, 0)));
    if (!Bitmap) throw Exception(std::string("Cannot load the bitmap ") + Name);
    BITMAP Info = {};
    GetObjectA(Bitmap.Get(), sizeof Info, &Info);
    COLORREF Transparent = 0;
    {
      TMemoryDC Memory(nullptr);
      TSelection Selected(Memory.Get(), Bitmap.Get());
      Transparent = GetPixel(Memory.Get(), 0, Info.bmHeight - 1);
    }
    return TSharedBitmap{Bitmap.Release(), Info.bmWidth, Info.bmHeight, Transparent};
  });
  if (FHandle) Bitmaps().Release(FHandle);
  FHandle = Loaded.Handle;
  FWidth = Loaded.Width;
  FHeight = Loaded.Height;
  FTransparent = Loaded.Transparent;
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

// ---- TBrushUse ----

HBRUSH TBrushUse::Get(const TKey& Key) {
  if (FHandle && Key == FKey) return FHandle;
  Reset();
  FHandle = Brushes()
                .Acquire(Key,
                         [&] {
                           return TSharedBrush{Key.Pattern ? MakeDownPattern(Key.Color, Key.Light)
                                                           : Platform().CreateSolidBrush(Key.Color)};
                         })
                .Handle;
  FKey = Key;
  return FHandle;
}

void TBrushUse::Reset() {
  if (FHandle) Brushes().Release(FHandle);
  FHandle = nullptr;
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
