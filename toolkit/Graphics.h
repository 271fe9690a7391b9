#pragma once
// Colours, fonts and icon pictures.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// A colour: a value with its top bit set is a system colour whose low byte is
// the system colour index, resolved whenever it is drawn; any other value is
// 0x00BBGGRR.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindowText = 0x80000000 | COLOR_WINDOWTEXT;
constexpr TColor clBtnFace = 0x80000000 | COLOR_BTNFACE;
constexpr TColor clBtnShadow = 0x80000000 | COLOR_BTNSHADOW;
constexpr TColor clBtnHighlight = 0x80000000 | COLOR_BTNHIGHLIGHT;
constexpr TColor clInfoBk = 0x80000000 | COLOR_INFOBK;

// High contrast: while the system's setting is on, the in-house painting uses
// only the system's colour pairs. The application object keeps the switch
// (it reads the setting at the start and whenever it changes); painting code
// asks it here.
bool HighContrast();
void SetHighContrast(bool Value);

// The RGB value of a colour at this moment.
COLORREF ColorToRGB(TColor Color);
// The same for the colour of text: in high contrast a fixed colour (a maroon
// title, a white caption, a black hover colour) gives way to the window text
// colour.
COLORREF TextColorToRGB(TColor Color);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

// A font description with its GDI font got on demand. The toolkit keeps one
// GDI font per shape (face, character height at the control's DPI, style,
// character set), shared by every TFont of that shape and deleted with its
// last: a window of many controls uses a handful of fonts. Any change raises
// OnChange; a change of its shape (not of its colour) lets go of the GDI
// font.
class TFont {
 public:
  TFont();
  ~TFont();
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  const std::string& Name() const { return FName; }
  int Height() const { return FHeight; }  // character height in pixels
  TFontStyles Style() const { return FStyle; }
  TColor Color() const { return FColor; }
  BYTE Charset() const { return FCharset; }

  void SetName(const std::string& Value);
  void SetHeight(int Value);
  void SetStyle(TFontStyles Value);
  void SetColor(TColor Value);
  void SetCharset(BYTE Value);
  void Assign(const TFont& Source);

  HFONT Handle();

  std::function<void()> OnChange;

 private:
  void Changed(bool Shape = true);
  void FreeHandle();

  std::string FName = "MS Sans Serif";
  int FHeight = 11;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
  BYTE FCharset = DEFAULT_CHARSET;
  HFONT FHandle = nullptr;  // shared: one use of the toolkit's font of this shape
};

// An icon picture: empty, one icon handle that it owns, or an icon of the
// executable's resources at a size, whose handle is loaded when first asked
// for (a picture that is only handed on, or never shown, holds none: the
// system keeps two or three bitmaps for each icon).
class TIcon {
 public:
  TIcon() = default;
  ~TIcon();
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  bool Empty() const { return FHandle == nullptr && FResource.empty(); }
  // The icon handle, loaded from the resource on the first call; 0 while empty.
  HICON Handle() const;
  // Copies another picture's image, and the resource it came from; none
  // empties this one.
  void Assign(const TIcon* Source);
  // Takes ownership of an icon handle, from no resource.
  void SetHandle(HICON Value);
  // The Size by Size image of an icon of the executable's resources (the
  // nearest size the icon has, fitted); throws when there is no such icon.
  // The picture keeps the name, so that it can load itself again at another
  // size.
  void LoadFromResource(const char* Name, int Size = 16);
  // The size of the image: the one it was loaded at, or of its handle.
  int Size() const;
  // The picture's image at another size, from its resource, so the image is
  // drawn for that size, not stretched; a picture from no resource keeps its
  // image.
  void SetSize(int Size);

 private:
  void TakeHandle(HICON Value) const;

  mutable HICON FHandle = nullptr;  // owned; loaded on demand for a resource
  std::string FResource;            // the icon resource it came from, if any
  int FSize = 0;                    // the size it was loaded at; 0: not from a resource
};

enum class TBrushStyle { bsSolid, bsClear };

class TBitmap;

// Drawing on a device context. The context is attached from outside (a
// paint's, a screen's) and never owned; the font and the brush are the
// canvas's own, selected into the context by each call that uses them. A
// canvas with no context attached may borrow one for each drawing call (a
// windowless control's canvas does, outside its parent's paint).
class TCanvas {
 public:
  TCanvas() = default;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  virtual ~TCanvas() { SetHandle(nullptr); }

  HDC Handle() const { return FHandle; }
  // Attaches a context (none detaches); the context's state is restored on
  // detaching.
  void SetHandle(HDC Value);

  TFont& Font() { return FFont; }
  TColor BrushColor() const { return FBrushColor; }
  void SetBrushColor(TColor Value) { FBrushColor = Value; }
  TBrushStyle BrushStyle() const { return FBrushStyle; }
  void SetBrushStyle(TBrushStyle Value) { FBrushStyle = Value; }

  // Fills with the brush colour (nothing for a clear brush).
  void FillRect(const RECT& Rect);
  // One DrawTextA call with the canvas's font and font colour; a clear brush
  // draws only the glyphs.
  int DrawTextRect(const std::string& Text, RECT& Rect, UINT Format);
  // A line in a colour, from (X1, Y1) up to, not including, (X2, Y2).
  void Line(TColor Color, int X1, int Y1, int X2, int Y2);
  // Copies a whole bitmap with its top-left corner at (X, Y).
  void Draw(int X, int Y, const TBitmap& Bitmap);

 protected:
  // A context for one drawing call while none is attached, and its return;
  // none: the call draws nothing.
  virtual HDC BorrowHandle() { return nullptr; }
  virtual void ReturnHandle(HDC) {}

 private:
  // The attached context, or one borrowed for the scope of a drawing call.
  class TDrawingDC {
   public:
    explicit TDrawingDC(TCanvas& Canvas)
        : FCanvas(Canvas), FBorrowed(Canvas.FHandle ? nullptr : Canvas.BorrowHandle()) {}
    ~TDrawingDC() {
      if (FBorrowed) FCanvas.ReturnHandle(FBorrowed);
    }
    TDrawingDC(const TDrawingDC&) = delete;
    TDrawingDC& operator=(const TDrawingDC&) = delete;
    HDC Get() const { return FBorrowed ? FBorrowed : FCanvas.FHandle; }

   private:
    TCanvas& FCanvas;
    HDC FBorrowed;
  };

  HDC FHandle = nullptr;  // not owned
  int FSavedState = 0;
  TFont FFont;
  TColor FBrushColor = clWhite;
  TBrushStyle FBrushStyle = TBrushStyle::bsSolid;
};

// An off-screen bitmap compatible with the screen, with a canvas of its own.
// A new size makes a new bitmap, whose content is blank (black). The bitmap
// is selected into a memory context only while something draws on it or
// copies it: an idle bitmap holds no context.
class TBitmap {
 public:
  TBitmap() : FCanvas(*this) {}
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetWidth(int Value) { SetSize(Value, FHeight); }
  void SetHeight(int Value) { SetSize(FWidth, Value); }
  void SetSize(int AWidth, int AHeight);
  // Drawing on the bitmap: each call selects it into a memory context of its own.
  TCanvas& Canvas() { return FCanvas; }
  HBITMAP Handle() const { return FBitmap; }

 private:
  class TBitmapCanvas : public TCanvas {
   public:
    explicit TBitmapCanvas(TBitmap& Bitmap) : FBitmap(Bitmap) {}

   protected:
    HDC BorrowHandle() override;
    void ReturnHandle(HDC DC) override;

   private:
    TBitmap& FBitmap;
    HGDIOBJ FOriginal = nullptr;  // not owned: the context's own bitmap while the bitmap is in it
  };

  HBITMAP FBitmap = nullptr;  // owned
  int FWidth = 0, FHeight = 0;
  TBitmapCanvas FCanvas;
};

// A context attached to a canvas for the owner's lifetime, detached at the
// end (also when an exception passes).
class TCanvasHandle {
 public:
  TCanvasHandle(TCanvas& Canvas, HDC DC) : FCanvas(Canvas) { FCanvas.SetHandle(DC); }
  ~TCanvasHandle() { FCanvas.SetHandle(nullptr); }
  TCanvasHandle(const TCanvasHandle&) = delete;
  TCanvasHandle& operator=(const TCanvasHandle&) = delete;

 private:
  TCanvas& FCanvas;
};

// A bitmap of the executable's resources. The toolkit keeps one GDI bitmap
// per resource, shared by every TBitmapResource that loaded it (the glyphs
// of many buttons) and deleted with its last.
class TBitmapResource {
 public:
  TBitmapResource() = default;
  ~TBitmapResource();
  TBitmapResource(const TBitmapResource&) = delete;
  TBitmapResource& operator=(const TBitmapResource&) = delete;

  void Load(const char* Name);
  // A picture drawn for several scales: Name at 96 DPI, and Name_120,
  // Name_144 and Name_192 (those there are) for 125, 150 and 200 %. Loads the
  // largest drawn for no more than Dpi, so that it fits where its 96-DPI
  // original fits scaled.
  void LoadForDpi(const std::string& Name, int Dpi);
  HBITMAP Handle() const { return FHandle; }
  bool Empty() const { return FHandle == nullptr; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // The colour of the bottom-left pixel, which glyphs draw as transparent.
  COLORREF TransparentColor() const { return FTransparent; }

 private:
  HBITMAP FHandle = nullptr;  // shared: one use of the toolkit's bitmap of this resource
  int FWidth = 0, FHeight = 0;
  COLORREF FTransparent = 0;
};

// A use of one of the toolkit's brushes: it keeps one GDI brush per
// description (a solid colour, or the checkered face of a button that stays
// down), shared by every user of that description and deleted with the last.
class TBrushUse {
 public:
  TBrushUse() = default;
  ~TBrushUse() { Reset(); }
  TBrushUse(const TBrushUse&) = delete;
  TBrushUse& operator=(const TBrushUse&) = delete;

  // A solid brush of the colour.
  HBRUSH Solid(COLORREF Color) { return Get({false, Color, 0}); }
  // The checkered face of a button that stays down, as the classic look has
  // it, in the button face and highlight colours of the moment.
  HBRUSH DownPattern() { return Get({true, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNHIGHLIGHT)}); }
  // Lets go of the brush.
  void Reset();

  struct TKey {
    bool Pattern;
    COLORREF Color, Light;
    bool operator==(const TKey&) const = default;
  };

 private:
  // The brush of that description, kept while the description stays.
  HBRUSH Get(const TKey& Key);
  HBRUSH FHandle = nullptr;  // shared: one use of the toolkit's brush of FKey
  TKey FKey = {};
};

// Draws a glyph with its bottom-left pixel's colour left out; a disabled
// glyph is drawn embossed in the highlight and shadow colours. With a system
// colour index in Solid (high contrast), an enabled glyph's shape is drawn in
// that colour alone.
void DrawGlyph(HDC DC, int X, int Y, const TBitmapResource& Glyph, bool Enabled, int Solid = -1);
