#include "tests/support/Desktop.h"

namespace vtest {

bool Xdotool(const std::string& Arguments) {
  std::string CommandLine = "/usr/bin/xdotool " + Arguments;
  STARTUPINFOA Startup = {};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Info = {};
  if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Info))
    return false;
  // Wine hands back no handle for a Unix process, so there is nothing to wait
  // on: give it the time it takes, and let the caller wait for the effect.
  if (Info.hProcess) {
    WaitForSingleObject(Info.hProcess, 10000);
    CloseHandle(Info.hProcess);
    CloseHandle(Info.hThread);
  } else {
    Sleep(300);
  }
  return true;
}

bool FirstTrayIcon(POINT& Point) {
  HWND Tray = FindWindowA(nullptr, "Wine System Tray");
  if (!Tray) return false;
  // Icons sit in the client area from its top-left corner, 20 pixels apart.
  Point = {10, 10};
  return ClientToScreen(Tray, &Point) != FALSE;
}

std::string ChildText(HWND Parent, const char* ClassName) {
  struct Search {
    const char* ClassName;
    HWND Found;
  } S = {ClassName, nullptr};
  EnumChildWindows(
      Parent,
      [](HWND Wnd, LPARAM Parameter) {
        auto* Find = reinterpret_cast<Search*>(Parameter);
        char Class[64] = "";
        GetClassNameA(Wnd, Class, sizeof Class);
        if (lstrcmpA(Class, Find->ClassName) != 0) return TRUE;
        Find->Found = Wnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&S));
  if (!S.Found) return std::string();
  // WM_GETTEXT is marshalled across processes for any window.
  LRESULT Length = SendMessageA(S.Found, WM_GETTEXTLENGTH, 0, 0);
  std::string Text(static_cast<size_t>(Length) + 1, '\0');
  Length = SendMessageA(S.Found, WM_GETTEXT, Text.size(), reinterpret_cast<LPARAM>(Text.data()));
  Text.resize(static_cast<size_t>(Length));
  return Text;
}

}  // namespace vtest
