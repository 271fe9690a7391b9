#include "toolkit/Platform.h"

#include <mmsystem.h>

namespace {

std::string RealExePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
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
      ::CreateBitmap,       ::LoadImageA,         ::DrawTextA,        ::SystemParametersInfoA, RealExePath,
  };
  return table;
}

std::string ExeDirectory() {
  std::string path = Platform().ExePath();
  std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
