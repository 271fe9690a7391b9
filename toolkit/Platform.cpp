#include "toolkit/Platform.h"

#include <mmsystem.h>

namespace {

std::wstring RealExePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

}  // namespace

TPlatform& Platform() {
  static TPlatform table = {
      ::Shell_NotifyIconA,  ::PlaySoundA,         ::ShellExecuteA,    ::MessageBoxA,           ::GetOpenFileNameA,
      ::OutputDebugStringA, ::InternetOpenA,      ::InternetOpenUrlA, ::InternetCloseHandle,   ::InternetSetOptionA,
      ::GetSystemMetrics,   ::SelectObject,       ::DeleteObject,     ::CreateCompatibleDC,    ::DeleteDC,
      ::CreateSolidBrush,   ::CreatePatternBrush, ::CreatePen,        ::CreateFontIndirectA,   ::CreateCompatibleBitmap,
      ::CreateBitmap,       ::LoadImageA,         ::DrawTextA,        ::SystemParametersInfoA, ::WriteFile,
      ::ReplaceFileW,       RealExePath,
  };
  return table;
}

std::wstring ExeDirectory() {
  std::wstring path = Platform().ExePath();
  std::wstring::size_type slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}
