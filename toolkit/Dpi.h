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

// The DPI that layouts, fonts and pictures are drawn for: 100 % scale.
constexpr int DefaultDpi = 96;

// A length of a 96-DPI layout at Dpi, rounded as MulDiv rounds.
inline int ScaleToDpi(int Value, int Dpi) { return MulDiv(Value, Dpi, DefaultDpi); }

// The DPI of the system: that of the screen's device context.
int SystemDpi();
// The DPI a window is drawn at: GetDpiForWindow where there is one, else the
// system's.
int WindowDpi(HWND Window);
// A system metric at a DPI: GetSystemMetricsForDpi where there is one; else
// the system-wide metric (through the platform seam), scaled from the
// system's DPI when Dpi is another.
int SystemMetricForDpi(int Index, int Dpi);
// The outer rectangle of a window whose client area is Client, with the
// borders of that DPI.
RECT WindowRectForClient(RECT Client, DWORD Style, DWORD ExStyle, int Dpi);
