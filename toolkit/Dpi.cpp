#include "toolkit/Dpi.h"

#include "toolkit/Platform.h"

namespace {

// The Windows 10 functions, or none.
struct TDpiFunctions {
  UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
  int(WINAPI* GetSystemMetricsForDpi)(int, UINT) = nullptr;
  BOOL(WINAPI* AdjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;

  TDpiFunctions() {
    HMODULE User = GetModuleHandleA("user32.dll");
    if (!User) return;
    Find(User, "GetDpiForWindow", GetDpiForWindow);
    Find(User, "GetSystemMetricsForDpi", GetSystemMetricsForDpi);
    Find(User, "AdjustWindowRectExForDpi", AdjustWindowRectExForDpi);
  }
  template <class F>
  static void Find(HMODULE Module, const char* Name, F& Function) {
    Function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Module, Name)));
  }
};

const TDpiFunctions& Functions() {
  static const TDpiFunctions Found;
  return Found;
}

}  // namespace

int SystemDpi() {
  HDC Screen = GetDC(nullptr);
  if (!Screen) return DefaultDpi;
  int Dpi = GetDeviceCaps(Screen, LOGPIXELSY);
  ReleaseDC(nullptr, Screen);
  return Dpi > 0 ? Dpi : DefaultDpi;
}

int WindowDpi(HWND Window) {
  if (Functions().GetDpiForWindow && Window)
    if (UINT Dpi = Functions().GetDpiForWindow(Window)) return static_cast<int>(Dpi);
  return SystemDpi();
}

int SystemMetricForDpi(int Index, int Dpi) {
  const int System = SystemDpi();
  // At the system's DPI the two agree; the seam's answer is the one a test
  // can set.
  if (Dpi == System) return Platform().GetSystemMetrics(Index);
  if (Functions().GetSystemMetricsForDpi) return Functions().GetSystemMetricsForDpi(Index, static_cast<UINT>(Dpi));
  return MulDiv(Platform().GetSystemMetrics(Index), Dpi, System);
}

RECT WindowRectForClient(RECT Client, DWORD Style, DWORD ExStyle, int Dpi) {
  RECT Outer = Client;
  if (Dpi != SystemDpi() && Functions().AdjustWindowRectExForDpi &&
      Functions().AdjustWindowRectExForDpi(&Outer, Style, FALSE, ExStyle, static_cast<UINT>(Dpi)))
    return Outer;
  Outer = Client;
  AdjustWindowRectEx(&Outer, Style, FALSE, ExStyle);
  return Outer;
}
