#pragma once
// The platform seam: the operating-system calls that a test must observe, or
// that would block or make noise in a test. Production uses the real calls; a
// test swaps one entry and puts it back. Every other OS call is made directly.

#include <windows.h>
#include <wininet.h>
#include <commdlg.h>
#include <shellapi.h>
#include <objbase.h>

#include <string>

HRESULT WINAPI LateCoCreateInstance(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);

struct TPlatform {
  BOOL(WINAPI* Shell_NotifyIconA)(DWORD, PNOTIFYICONDATAA);
  BOOL(WINAPI* PlaySoundA)(LPCSTR, HMODULE, DWORD);
  HINSTANCE(WINAPI* ShellExecuteA)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  int(WINAPI* MessageBoxA)(HWND, LPCSTR, LPCSTR, UINT);
  BOOL(WINAPI* GetOpenFileNameA)(LPOPENFILENAMEA);
  void(WINAPI* OutputDebugStringA)(LPCSTR);
  HINTERNET(WINAPI* InternetOpenA)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
  HINTERNET(WINAPI* InternetOpenUrlA)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
  BOOL(WINAPI* InternetCloseHandle)(HINTERNET);
  BOOL(WINAPI* InternetSetOptionA)(HINTERNET, DWORD, LPVOID, DWORD);
  int(WINAPI* GetSystemMetrics)(int);
  // GDI objects the toolkit makes, selects and deletes: a test counts them,
  // and sees a delete of an object still selected, which Windows refuses.
  HGDIOBJ(WINAPI* SelectObject)(HDC, HGDIOBJ);
  BOOL(WINAPI* DeleteObject)(HGDIOBJ);
  HDC(WINAPI* CreateCompatibleDC)(HDC);
  BOOL(WINAPI* DeleteDC)(HDC);
  HBRUSH(WINAPI* CreateSolidBrush)(COLORREF);
  HBRUSH(WINAPI* CreatePatternBrush)(HBITMAP);
  HPEN(WINAPI* CreatePen)(int, int, COLORREF);
  HFONT(WINAPI* CreateFontIndirectA)(const LOGFONTA*);
  HBITMAP(WINAPI* CreateCompatibleBitmap)(HDC, int, int);
  HBITMAP(WINAPI* CreateBitmap)(int, int, UINT, UINT, const void*);
  HANDLE(WINAPI* LoadImageA)(HINSTANCE, LPCSTR, UINT, int, int, UINT);
  // Every text the canvas draws or measures: a test sees each call's text,
  // rectangle, flags and colour.
  int(WINAPI* DrawTextA)(HDC, LPCSTR, int, LPRECT, UINT);
  BOOL(WINAPI* SystemParametersInfoA)(UINT, UINT, PVOID, UINT);
  // The writes and the swap of the settings and the log: a test makes a disk
  // that fills up part-way or a replace that goes wrong, and the benchmark a
  // disk that takes seconds. The log's writer thread calls them too; an
  // entry is swapped only while that thread waits for lines.
  BOOL(WINAPI* WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* ReplaceFileW)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);
  // Full path of the running executable, as the system reports it: in
  // UTF-16, since the folder's name may hold characters the code page lacks.
  std::wstring (*ExePath)();
  // Where the shell shows the icon, for a menu opened from the keyboard.
  HRESULT(WINAPI* Shell_NotifyIconGetRect)(const NOTIFYICONIDENTIFIER*, RECT*) = ::Shell_NotifyIconGetRect;
  // The objects of the system's services (the screen reader's annotations).
  // Its library is loaded at the first call, as the other late ones are.
  HRESULT(WINAPI* CoCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*) = LateCoCreateInstance;
};

// The one table of the process. Only the user-interface thread swaps entries,
// and only while no worker thread is running.
TPlatform& Platform();

// Directory of the running executable, with its trailing backslash.
std::wstring ExeDirectory();

// A procedure of a system library that a run may never need (the file
// dialog's, the sounds', the screen reader's). The library is loaded at the
// first call, from the system folder only, not at the start: each one costs
// the process memory and start time for as long as it runs. It stays loaded
// for the rest of the run (a procedure of it may still be running on another
// thread). nullptr when the library or the procedure is missing.
FARPROC LateProcAddress(const char* Library, const char* Name);
template <class F>
F LateProc(const char* Library, const char* Name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(LateProcAddress(Library, Name)));
}
