#include "toolkit/Graphics.h"

#include "toolkit/Exceptions.h"

COLORREF ColorToRGB(TColor Color) {
  if (Color & 0x80000000) return GetSysColor(static_cast<int>(Color & 0xFF));
  return Color & 0x00FFFFFF;
}

TFont::TFont() = default;

TFont::~TFont() { FreeHandle(); }

void TFont::FreeHandle() {
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
}

void TFont::Changed() {
  FreeHandle();
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
  Changed();
}

void TFont::SetCharset(BYTE Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Changed();
}

void TFont::Assign(const TFont& Source) {
  if (&Source == this) return;
  FName = Source.FName;
  FHeight = Source.FHeight;
  FStyle = Source.FStyle;
  FColor = Source.FColor;
  FCharset = Source.FCharset;
  Changed();
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
    FHandle = CreateFontIndirectA(&Log);
  }
  return FHandle;
}

TIcon::~TIcon() { SetHandle(nullptr); }

void TIcon::SetHandle(HICON Value) {
  if (FHandle == Value) return;
  if (FHandle) DestroyIcon(FHandle);
  FHandle = Value;
}

void TIcon::Assign(const TIcon* Source) {
  if (Source == this) return;
  SetHandle(Source && Source->FHandle ? CopyIcon(Source->FHandle) : nullptr);
}

void TIcon::LoadFromResource(const char* Name) {
  HICON Icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), Name, IMAGE_ICON, 16, 16, 0));
  if (!Icon) throw Exception(std::string("Cannot load the icon ") + Name);
  SetHandle(Icon);
}
