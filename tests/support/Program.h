#pragma once
// The real Vintrel.exe run as a user runs it: a copy in a folder of its own
// (so its settings and log land there), started as a process, found by its
// main window.

#include <windows.h>

#include <functional>
#include <string>

namespace vtest {

// Checks Done every 50 ms, without handling messages, until it holds or
// TimeoutMs has passed; returns Done().
bool WaitUntil(const std::function<bool()>& Done, unsigned TimeoutMs);

// Waits until the next click cannot count as part of a double click.
void PastDoubleClick();

// The first top-level window of a process with that class (shown ones only,
// when Shown), or none: its main window, a message box ("#32770"), a menu
// ("#32768").
HWND WindowOf(DWORD ProcessId, const char* ClassName, bool Shown = false);

// Under Wine: starts "/bin/sh -c <Command>" and does not wait for it (Wine
// hands back no handle for a Unix process); false when it could not start.
bool StartUnixShell(const std::string& Command);

class Program {
 public:
  // Copies Vintrel.exe (from beside the test program) into Folder as Name
  // (UTF-8 paths).
  Program(const std::string& Folder, const std::string& Name = "Vintrel.exe");
  // Ends a copy that is still running.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  void Start();
  // Under Wine, CreateProcessW cannot start a program whose path is longer
  // than MAX_PATH (it makes the name in a buffer of that size), while "wine
  // <path>" from a Unix shell can: started so, the process is known by its
  // first window of that class. Whether it came within TimeoutMs.
  bool StartFromUnixShell(const char* ClassName, unsigned TimeoutMs);
  // The process's top-level window of that class, once it exists.
  HWND WaitForWindow(const char* ClassName, unsigned TimeoutMs) const;
  // Waits for the process to end; returns whether it did.
  bool WaitForExit(unsigned TimeoutMs) const;
  // Ends the process at once, as Task Manager or a crash does: nothing of
  // its own runs.
  void Kill() const;
  // Ends the user's session as Windows does: every top-level window of the
  // process is asked (WM_QUERYENDSESSION), then told (WM_ENDSESSION), and the
  // process is ended once all have returned. Under Wine this is
  // "wineboot --end-session", which does so for every program with windows.
  void EndSession() const;
  DWORD ExitCode() const;
  DWORD ProcessId() const { return FInfo.dwProcessId; }
  // How many threads the process has now (0 when it cannot be told).
  unsigned ThreadCount() const;
  // Waits for the program's message box, reads its text and answers OK;
  // "(no box)" when none came.
  std::string AnswerBox() const;

 private:
  std::string FPath;
  PROCESS_INFORMATION FInfo = {};
};

}  // namespace vtest
