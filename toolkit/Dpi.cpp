#include "toolkit/Dpi.h"

#include "toolkit/Platform.h"

namespace {

// The Windows 10 functions, or none.
struct TDpiFunctions {
  UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
  int(WINAPI* GetSystemMetricsForDpi)(int, UINT) = nullptr;
  BOOL(WINAPI* AdjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
  HRESULT(WINAPI* GetDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;

  TDpiFunctions() {
    HMODULE User = GetModuleHandleA("user32.dll");
    if (!User) return;
    Find(User, "GetDpiForWindow", GetDpiForWindow);
    Find(User, "GetSystemMetricsForDpi", GetSystemMetricsForDpi);
    Find(User, "AdjustWindowRectExForDpi", AdjustWindowRectExForDpi);
    // Windows 8.1's, in a library that Windows 7 lacks; loaded for the
    // process's life.
    if (HMODULE Shell = LoadLibraryA("shcore.dll")) Find(Shell, "GetDpiForMonitor", GetDpiForMonitor);
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

int MonitorDpi(HWND Window) {
  constexpr int MDT_EFFECTIVE_DPI = 0;
  UINT X = 0, Y = 0;
  if (Functions().GetDpiForMonitor && Window)
    if (HMONITOR Monitor = MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST))
      if (SUCCEEDED(Functions().GetDpiForMonitor(Monitor, MDT_EFFECTIVE_DPI, &X, &Y)) && Y > 0)
        return static_cast<int>(Y);
  return WindowDpi(Window);
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
