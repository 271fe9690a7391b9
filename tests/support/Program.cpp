#include "tests/support/Program.h"

#include "tests/support/TempDir.h"
#include "toolkit/Application.h"

#include <tlhelp32.h>

#include <stdexcept>
#include <vector>

namespace vtest {

namespace {

std::string TestProgramFolder() {
  char Path[MAX_PATH];
  DWORD Length = GetModuleFileNameA(nullptr, Path, sizeof Path);
  std::string Result(Path, Length);
  return Result.substr(0, Result.find_last_of('\\') + 1);
}

struct WindowSearch {
  DWORD ProcessId;
  const char* ClassName;
  bool Shown;
  HWND Found;
};

BOOL CALLBACK MatchWindow(HWND Wnd, LPARAM Parameter) {
  auto* Search = reinterpret_cast<WindowSearch*>(Parameter);
  DWORD Owner = 0;
  GetWindowThreadProcessId(Wnd, &Owner);
  char Class[256] = "";
  GetClassNameA(Wnd, Class, sizeof Class);
  if (Owner != Search->ProcessId || lstrcmpA(Class, Search->ClassName) != 0) return TRUE;
  if (Search->Shown && !IsWindowVisible(Wnd)) return TRUE;
  Search->Found = Wnd;
  return FALSE;
}

}  // namespace

HWND WindowOf(DWORD ProcessId, const char* ClassName, bool Shown) {
  WindowSearch Search = {ProcessId, ClassName, Shown, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&Search));
  return Search.Found;
}

void PastDoubleClick() { Sleep(GetDoubleClickTime() + 50); }

bool WaitUntil(const std::function<bool()>& Done, unsigned TimeoutMs) {
  const ULONGLONG Deadline = GetTickCount64() + TimeoutMs;
  while (!Done()) {
    if (GetTickCount64() >= Deadline) return false;
    Sleep(50);
  }
  return Done();
}

Program::Program(const std::string& Folder, const std::string& Name) : FPath(Folder + Name) {
  if (!CopyFileW(Utf16(TestProgramFolder() + "Vintrel.exe").c_str(), Utf16(FPath).c_str(), FALSE))
    throw std::runtime_error("cannot copy Vintrel.exe to " + FPath);
}

Program::~Program() {
  if (FInfo.hProcess) {
    if (WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(FInfo.hProcess, 99);
      WaitForSingleObject(FInfo.hProcess, 5000);
    }
    CloseHandle(FInfo.hProcess);
    if (FInfo.hThread) CloseHandle(FInfo.hThread);  // none when started from a shell
  }
}

void Program::Kill() const {
  TerminateProcess(FInfo.hProcess, 1);
  WaitForSingleObject(FInfo.hProcess, 5000);
}

void Program::EndSession() const {
  if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
    // wineboot tells every process with a top-level window, in the order of
    // their ids, and ends each: this one's windows (the toolkit's hidden
    // application window, the system's IME window) go first, so that the
    // test is not ended with the program, nor holds the others up.
    ToolkitCleanup();
    const DWORD Self = GetCurrentProcessId();
    for (HWND Window = GetTopWindow(nullptr), Next; Window; Window = Next) {
      Next = GetWindow(Window, GW_HWNDNEXT);
      DWORD Owner = 0;
      GetWindowThreadProcessId(Window, &Owner);
      if (Owner == Self) DestroyWindow(Window);
    }
    STARTUPINFOA Startup = {};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Boot = {};
    char CommandLine[] = "wineboot.exe --end-session";
    if (!CreateProcessA(nullptr, CommandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Boot))
      throw std::runtime_error("cannot start wineboot");
    WaitForSingleObject(Boot.hProcess, 30000);
    CloseHandle(Boot.hProcess);
    CloseHandle(Boot.hThread);
    ToolkitStartup();
    return;
  }
  std::vector<HWND> Windows;
  for (HWND Window = GetTopWindow(nullptr); Window; Window = GetWindow(Window, GW_HWNDNEXT)) {
    DWORD Owner = 0;
    GetWindowThreadProcessId(Window, &Owner);
    if (Owner == FInfo.dwProcessId) Windows.push_back(Window);
  }
  DWORD_PTR Result = 0;
  for (HWND Window : Windows) SendMessageTimeoutA(Window, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &Result);
  for (HWND Window : Windows) SendMessageTimeoutA(Window, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 5000, &Result);
  TerminateProcess(FInfo.hProcess, 0);
  WaitForSingleObject(FInfo.hProcess, 5000);
}

void Program::Start() {
  STARTUPINFOW Startup = {};
  Startup.cb = sizeof Startup;
  std::wstring CommandLine = L"\"" + Utf16(FPath) + L"\"";
  // Windows refuses a program's path of MAX_PATH or more in its plain form,
  // whatever the manifest says: the "\\?\" form takes it (the command line
  // keeps the plain path the user sees).
  const std::wstring Path = (FPath.size() >= MAX_PATH ? L"\\\\?\\" : L"") + Utf16(FPath);
  // Started from another folder: the program must find its files by its own path.
  if (!CreateProcessW(Path.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &FInfo))
    throw std::runtime_error("cannot start " + FPath);
}

bool StartUnixShell(const std::string& Command) {
  std::string CommandLine = "/bin/sh -c \"" + Command + "\"";
  STARTUPINFOA Startup = {};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Info = {};
  if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Info))
    return false;
  if (Info.hProcess) CloseHandle(Info.hProcess);
  if (Info.hThread) CloseHandle(Info.hThread);
  return true;
}

bool Program::StartFromUnixShell(const char* ClassName, unsigned TimeoutMs) {
  if (!StartUnixShell("/usr/bin/wine '" + FPath + "'")) return false;
  HWND Window = nullptr;
  if (!WaitUntil([&] { return (Window = FindWindowA(ClassName, nullptr)) != nullptr; }, TimeoutMs)) return false;
  GetWindowThreadProcessId(Window, &FInfo.dwProcessId);
  FInfo.hProcess =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, FInfo.dwProcessId);
  return FInfo.hProcess != nullptr;
}

HWND Program::WaitForWindow(const char* ClassName, unsigned TimeoutMs) const {
  const ULONGLONG Deadline = GetTickCount64() + TimeoutMs;
  do {
    if (HWND Found = WindowOf(FInfo.dwProcessId, ClassName)) return Found;
    Sleep(20);
  } while (GetTickCount64() < Deadline);
  return nullptr;
}

bool Program::WaitForExit(unsigned TimeoutMs) const {
  return WaitForSingleObject(FInfo.hProcess, TimeoutMs) == WAIT_OBJECT_0;
}

unsigned Program::ThreadCount() const {
  HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (Snapshot == INVALID_HANDLE_VALUE) return 0;
  unsigned Count = 0;
  THREADENTRY32 Entry = {};
  Entry.dwSize = sizeof Entry;
  for (BOOL More = Thread32First(Snapshot, &Entry); More; More = Thread32Next(Snapshot, &Entry))
    Count += Entry.th32OwnerProcessID == FInfo.dwProcessId;
  CloseHandle(Snapshot);
  return Count;
}

std::string Program::AnswerBox() const {
  HWND Box = nullptr;
  if (!WaitUntil([&] { return (Box = WindowOf(FInfo.dwProcessId, "#32770", true)) != nullptr; }, 15000))
    return "(no box)";
  char Text[512] = "";
  GetWindowTextA(GetDlgItem(Box, 0xFFFF), Text, sizeof Text);
  PostMessageA(Box, WM_COMMAND, IDOK, 0);
  // Gone before the next one is looked for.
  WaitUntil([&] { return !IsWindow(Box); }, 5000);
  return Text;
}

DWORD Program::ExitCode() const {
  DWORD Code = 0;
  GetExitCodeProcess(FInfo.hProcess, &Code);
  return Code;
}

}  // namespace vtest
