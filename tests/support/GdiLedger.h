#pragma once
// The GDI objects that the toolkit makes and deletes, counted through the
// platform seam.

#include "toolkit/Platform.h"

#include <windows.h>

#include <set>

namespace vtest {

// Counts the GDI objects and memory contexts made and deleted, and every
// delete of an object that is still selected into a context (Wine allows it,
// Windows refuses and the object leaks). Install() swaps the seam's entries;
// a vtest::ScopedPlatform puts them back.
struct GdiLedger {
  static GdiLedger& Get() {
    static GdiLedger Ledger;
    return Ledger;
  }
  long Made = 0, Deleted = 0, SelectedDeletes = 0;
  long Bitmaps = 0;        // of those made: the bitmaps compatible with a context
  std::set<HDC> Contexts;  // every context something was selected into

  template <class T>
  static T Made_(T Handle) {
    if (Handle) ++Get().Made;
    return Handle;
  }
  static HBRUSH WINAPI CreateSolidBrush(COLORREF C) { return Made_(::CreateSolidBrush(C)); }
  static HBRUSH WINAPI CreatePatternBrush(HBITMAP B) { return Made_(::CreatePatternBrush(B)); }
  static HPEN WINAPI CreatePen(int S, int W, COLORREF C) { return Made_(::CreatePen(S, W, C)); }
  static HFONT WINAPI CreateFontIndirectA(const LOGFONTA* F) { return Made_(::CreateFontIndirectA(F)); }
  static HBITMAP WINAPI CreateCompatibleBitmap(HDC D, int W, int H) {
    ++Get().Bitmaps;
    return Made_(::CreateCompatibleBitmap(D, W, H));
  }
  static HBITMAP WINAPI CreateBitmap(int W, int H, UINT P, UINT B, const void* Bits) {
    return Made_(::CreateBitmap(W, H, P, B, Bits));
  }
  static HDC WINAPI CreateCompatibleDC(HDC D) { return Made_(::CreateCompatibleDC(D)); }
  static HANDLE WINAPI LoadImageA(HINSTANCE I, LPCSTR N, UINT Type, int W, int H, UINT F) {
    HANDLE Image = ::LoadImageA(I, N, Type, W, H, F);
    return Type == IMAGE_BITMAP ? Made_(Image) : Image;  // icons are no GDI objects
  }
  static HGDIOBJ WINAPI SelectObject(HDC D, HGDIOBJ O) {
    Get().Contexts.insert(D);
    return ::SelectObject(D, O);
  }
  static BOOL WINAPI DeleteObject(HGDIOBJ O) {
    // Still selected into a context that still exists: Windows refuses.
    const DWORD Type = GetObjectType(O);
    for (HDC D : Get().Contexts)
      if (GetObjectType(D) != 0 && GetCurrentObject(D, Type) == O) ++Get().SelectedDeletes;
    BOOL Done = ::DeleteObject(O);
    if (Done) ++Get().Deleted;
    return Done;
  }
  static BOOL WINAPI DeleteDC(HDC D) {
    Get().Contexts.erase(D);
    BOOL Done = ::DeleteDC(D);
    if (Done) ++Get().Deleted;
    return Done;
  }
  static void Install() {
    Get() = GdiLedger();
    TPlatform& P = Platform();
    P.CreateSolidBrush = CreateSolidBrush;
    P.CreatePatternBrush = CreatePatternBrush;
    P.CreatePen = CreatePen;
    P.CreateFontIndirectA = CreateFontIndirectA;
    P.CreateCompatibleBitmap = CreateCompatibleBitmap;
    P.CreateBitmap = CreateBitmap;
    P.CreateCompatibleDC = CreateCompatibleDC;
    P.LoadImageA = LoadImageA;
    P.SelectObject = SelectObject;
    P.DeleteObject = DeleteObject;
    P.DeleteDC = DeleteDC;
  }
  long Live() const { return Made - Deleted; }
};

}  // namespace vtest
