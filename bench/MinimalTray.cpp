// The yardstick of the footprint: the least a tray monitor can be. A hidden
// window, one notification-area icon and one WinINet request on a thread of
// its own, as Vintrel makes its probe; nothing else. Started as
// "vintrel_minimal_tray <url> [library ...]": each library named is loaded
// at the start, so that the benchmark can tell what one costs. It ends on
// WM_CLOSE.

#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

namespace {

constexpr UINT TrayMessage = WM_APP + 1;

DWORD WINAPI Request(void* Url) {
  HINTERNET Session = InternetOpenA("vintrel_minimal_tray", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!Session) return 1;
  HINTERNET Page = InternetOpenUrlA(Session, static_cast<const char*>(Url), nullptr, 0,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (Page) {
    char Buffer[512];
    DWORD Read = 0;
    while (InternetReadFile(Page, Buffer, sizeof Buffer, &Read) && Read) {
    }
    InternetCloseHandle(Page);
  }
  InternetCloseHandle(Session);
  return 0;
}

LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(Window, Message, WParam, LParam);
}

}  // namespace

int main(int Argc, char** Argv) {
  if (Argc < 2) return 2;
  for (int I = 2; I < Argc; ++I)
    if (!LoadLibraryA(Argv[I])) return 3;
  WNDCLASSA Class = {};
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = GetModuleHandleA(nullptr);
  Class.lpszClassName = "VintrelMinimalTray";
  if (!RegisterClassA(&Class)) return 1;
  HWND Window = CreateWindowExA(0, Class.lpszClassName, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                Class.hInstance, nullptr);
  if (!Window) return 1;
  NOTIFYICONDATAA Icon = {};
  Icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
  Icon.hWnd = Window;
  Icon.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  Icon.uCallbackMessage = TrayMessage;
  Icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  lstrcpynA(Icon.szTip, "minimal", sizeof Icon.szTip);
  Shell_NotifyIconA(NIM_ADD, &Icon);
  if (HANDLE Thread = CreateThread(nullptr, 0, Request, Argv[1], 0, nullptr)) CloseHandle(Thread);
  MSG Msg;
  while (GetMessageA(&Msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&Msg);
    DispatchMessageA(&Msg);
  }
  Shell_NotifyIconA(NIM_DELETE, &Icon);
  return 0;
}
