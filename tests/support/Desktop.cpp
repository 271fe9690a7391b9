#include "tests/support/Desktop.h"

#include "tests/support/Program.h"

namespace vtest {

bool Xdotool(const std::string& Arguments) {
  // Wine hands back no handle for a Unix process, so there is nothing to wait
  // on: the command touches a marker file when it is done, and that is what
  // is waited for (Wine's drive Z: is the Unix root).
  static int Count = 0;
  const std::string Marker =
      "/tmp/vintrel-xdotool-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++Count);
  std::string MarkerSeenFromWine = "Z:" + Marker;
  for (char& C : MarkerSeenFromWine)
    if (C == '/') C = '\\';
  if (!StartUnixShell("/usr/bin/xdotool " + Arguments + "; touch " + Marker)) return false;
  bool Done =
      WaitUntil([&] { return GetFileAttributesA(MarkerSeenFromWine.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000);
  DeleteFileA(MarkerSeenFromWine.c_str());
  return Done;
}

std::string At(POINT Point) { return std::to_string(Point.x) + " " + std::to_string(Point.y); }

bool FirstTrayIcon(POINT& Point) {
  HWND Tray = FindWindowA(nullptr, "Wine System Tray");
  if (!Tray) return false;
  // Icons sit in the client area from its top-left corner, 20 pixels apart.
  Point = {10, 10};
  return ClientToScreen(Tray, &Point) != FALSE;
}

namespace {

// WM_GETTEXT is marshalled across processes for any window.
std::string WindowText(HWND Window) {
  LRESULT Length = SendMessageA(Window, WM_GETTEXTLENGTH, 0, 0);
  std::string Text(static_cast<size_t>(Length) + 1, '\0');
  Length = SendMessageA(Window, WM_GETTEXT, Text.size(), reinterpret_cast<LPARAM>(Text.data()));
  Text.resize(static_cast<size_t>(Length));
  return Text;
}

}  // namespace

HWND FindChild(HWND Parent, const char* ClassName, const std::string* Text) {
  struct Search {
    const char* ClassName;
    const std::string* Text;
    HWND Found;
  } S = {ClassName, Text, nullptr};
  EnumChildWindows(
      Parent,
      [](HWND Wnd, LPARAM Parameter) {
        auto* Find = reinterpret_cast<Search*>(Parameter);
        char Class[64] = "";
        GetClassNameA(Wnd, Class, sizeof Class);
        if (lstrcmpA(Class, Find->ClassName) != 0 || (Find->Text && WindowText(Wnd) != *Find->Text)) return TRUE;
        Find->Found = Wnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&S));
  return S.Found;
}

std::string ChildText(HWND Parent, const char* ClassName) {
  HWND Child = FindChild(Parent, ClassName);
  return Child ? WindowText(Child) : std::string();
}

}  // namespace vtest
