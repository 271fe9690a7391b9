#pragma once
// Display scale. The program declares itself per-monitor DPI aware, so the
// system draws nothing of it larger: each window lays itself out for the
// pixels per inch of the monitor it is on. The lookups that Windows 10 added
// for that are found at run time, since Windows 7 and 8 (and older Wine)
// lack them; without them the whole screen has one DPI, the system's.

#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

// The DPI that layouts, fonts and pictures are drawn for: 100 % scale.
constexpr int DefaultDpi = 96;

// A length of a 96-DPI layout at Dpi, rounded as MulDiv rounds.
inline int ScaleToDpi(int Value, int Dpi) { return MulDiv(Value, Dpi, DefaultDpi); }

// A length of the 96-DPI layout that goes from one DPI to another: the
// 96-DPI figure is kept, and each DPI's length is made from it, so that no
// rounding adds up however often the scale changes (13 pixels going 96, 120,
// 144 would become 19, not 20). A length set from outside since the last
// change (an alignment, a fit to the text) counts as set for the DPI of then.
class TDesignLength {
 public:
  // The length at Dpi of one that is Present at PresentDpi.
  int At(int Present, int PresentDpi, int Dpi) const { return ScaleToDpi(Design(Present, PresentDpi), Dpi); }
  // The same, kept as the length made for NewDpi.
  int Rescale(int Present, int OldDpi, int NewDpi) {
    FDesign = Design(Present, OldDpi);
    FScaled = ScaleToDpi(FDesign, NewDpi);
    return FScaled;
  }

 private:
  int Design(int Present, int PresentDpi) const {
    return Present == FScaled ? FDesign : MulDiv(Present, DefaultDpi, PresentDpi);
  }

  int FDesign = 0;
  int FScaled = -1;  // no length yet: the first one is taken as it is
};

// The DPI of the system: that of the screen's device context.
int SystemDpi();
// The DPI a window is drawn at: GetDpiForWindow where there is one, else the
// system's.
int WindowDpi(HWND Window);
// The DPI of the monitor a window is on, now: GetDpiForMonitor where there
// is one. A hidden window is told of no change of its monitor's scale, and
// its own DPI may be the old one.
int MonitorDpi(HWND Window);
// A system metric at a DPI: GetSystemMetricsForDpi where there is one; else
// the system-wide metric (through the platform seam), scaled from the
// system's DPI when Dpi is another.
int SystemMetricForDpi(int Index, int Dpi);
// The outer rectangle of a window whose client area is Client, with the
// borders of that DPI.
RECT WindowRectForClient(RECT Client, DWORD Style, DWORD ExStyle, int Dpi);
