#pragma once
// Scoped owners of the handles the toolkit makes or borrows. Each gives its
// handle back (ends the paint, releases or deletes the context, puts back the
// object it selected, deletes or closes what it made) when it goes out of
// scope, also when an exception passes: a paint that throws still ends, and a
// context gets back what was selected into it before anything is deleted.
//
// The GDI calls go through the platform seam, so that a test can count what
// is made and deleted, and see a delete of an object still selected, which
// Windows refuses (the object then leaks) and Wine allows.

#include "toolkit/Platform.h"

#include <utility>

// A GDI object (brush, pen, bitmap, font) made by the toolkit and deleted
// with the owner.
template <class T>
class TGdiObject {
 public:
  TGdiObject() = default;
  explicit TGdiObject(T Handle) : FHandle(Handle) {}
  ~TGdiObject() { Reset(); }
  TGdiObject(TGdiObject&& Other) noexcept : FHandle(std::exchange(Other.FHandle, nullptr)) {}
  TGdiObject& operator=(TGdiObject&& Other) noexcept {
    if (this != &Other) {
      Reset();
      FHandle = std::exchange(Other.FHandle, nullptr);
    }
    return *this;
  }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;

  T Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }
  // Gives the object up without deleting it.
  T Release() { return std::exchange(FHandle, nullptr); }
  // Deletes the object held, if any, and holds the new one.
  void Reset(T Handle = nullptr) {
    if (FHandle) Platform().DeleteObject(FHandle);
    FHandle = Handle;
  }

 private:
  T FHandle = nullptr;
};

using TBrushHandle = TGdiObject<HBRUSH>;
using TPenHandle = TGdiObject<HPEN>;
using TBitmapHandle = TGdiObject<HBITMAP>;
using TFontHandle = TGdiObject<HFONT>;

// An object selected into a context for the owner's lifetime; the one it
// replaced is selected again at the end.
class TSelection {
 public:
  TSelection(HDC DC, HGDIOBJ Object) : FDC(DC), FOld(Platform().SelectObject(DC, Object)) {}
  ~TSelection() {
    if (FOld) Platform().SelectObject(FDC, FOld);
  }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;

 private:
  HDC FDC;
  HGDIOBJ FOld;
};

// A context's state (selected objects, colours, origin, clipping) saved for
// the owner's lifetime and restored at the end.
class TSavedDC {
 public:
  explicit TSavedDC(HDC DC) : FDC(DC), FSaved(SaveDC(DC)) {}
  ~TSavedDC() {
    if (FSaved) RestoreDC(FDC, FSaved);
  }
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;

 private:
  HDC FDC;
  int FSaved;
};

// A memory context compatible with another (or with the screen), deleted
// with the owner.
class TMemoryDC {
 public:
  explicit TMemoryDC(HDC Compatible) : FHandle(Platform().CreateCompatibleDC(Compatible)) {}
  ~TMemoryDC() {
    if (FHandle) Platform().DeleteDC(FHandle);
  }
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;

  HDC Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }

 private:
  HDC FHandle;
};

// A window's context (none: the screen's), released with the owner.
class TWindowDC {
 public:
  explicit TWindowDC(HWND Window) : FWindow(Window), FHandle(GetDC(Window)) {}
  ~TWindowDC() {
    if (FHandle) ReleaseDC(FWindow, FHandle);
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;

  HDC Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }

 private:
  HWND FWindow;
  HDC FHandle;
};

// One paint of a window: BeginPaint, and EndPaint with the owner.
class TPaintDC {
 public:
  explicit TPaintDC(HWND Window) : FWindow(Window), FHandle(BeginPaint(Window, &FPaint)) {}
  ~TPaintDC() { EndPaint(FWindow, &FPaint); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;

  HDC Get() const { return FHandle; }
  // The part of the window to be painted.
  const RECT& Area() const { return FPaint.rcPaint; }

 private:
  HWND FWindow;
  PAINTSTRUCT FPaint = {};
  HDC FHandle;
};

// An Internet handle (a session or a request), closed with the owner.
class TInternetHandle {
 public:
  explicit TInternetHandle(HINTERNET Handle) : FHandle(Handle) {}
  ~TInternetHandle() {
    if (FHandle) Platform().InternetCloseHandle(FHandle);
  }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;

  HINTERNET Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }

 private:
  HINTERNET FHandle;
};
