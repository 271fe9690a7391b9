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

// The sound and file dialog libraries are loaded when first used.
BOOL WINAPI LatePlaySoundA(LPCSTR Sound, HMODULE Module, DWORD Flags) {
  static const auto Play = LateProc<decltype(&::PlaySoundA)>("winmm.dll", "PlaySoundA");
  return Play && Play(Sound, Module, Flags);
}

BOOL WINAPI LateGetOpenFileNameA(LPOPENFILENAMEA Dialog) {
  static const auto Open = LateProc<decltype(&::GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
  return Open && Open(Dialog);
}

}  // namespace

HRESULT WINAPI LateCoCreateInstance(REFCLSID Class, LPUNKNOWN Outer, DWORD Context, REFIID Interface, LPVOID* Out) {
  static const auto Create = LateProc<decltype(&::CoCreateInstance)>("ole32.dll", "CoCreateInstance");
  if (!Create) {
    if (Out) *Out = nullptr;
    return REGDB_E_CLASSNOTREG;
  }
  return Create(Class, Outer, Context, Interface, Out);
}

FARPROC LateProcAddress(const char* Library, const char* Name) {
  HMODULE Module = GetModuleHandleA(Library);
  if (!Module) {
    // By its full path: a library of that name in the program's folder or
    // the current one is never taken instead.
    char Path[MAX_PATH];
    const UINT Length = GetSystemDirectoryA(Path, MAX_PATH);
    if (Length == 0 || Length + 1 + lstrlenA(Library) >= MAX_PATH) return nullptr;
    lstrcatA(lstrcatA(Path, "\\"), Library);
    Module = LoadLibraryA(Path);
  }
  return Module ? GetProcAddress(Module, Name) : nullptr;
}

TPlatform& Platform() {
  static TPlatform table = {
      ::Shell_NotifyIconA,  LatePlaySoundA,       ::ShellExecuteA,    ::MessageBoxA,           LateGetOpenFileNameA,
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
