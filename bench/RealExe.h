#pragma once
// Vintrel.exe as a user runs it, for the measurements from outside: a copy
// in a fresh folder with its own settings (and log), started as a process,
// reached through its main window.

#include "bench/Unique.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <optional>
#include <string>
#include <utility>

namespace bench {

struct ExeSettings {
  ExeSettings(std::string AUrl, unsigned AIntervalSeconds) : Url(std::move(AUrl)), IntervalSeconds(AIntervalSeconds) {}

  std::string Url;
  unsigned IntervalSeconds;
  bool KeepLog = false;
  std::string Log;  // the Vintrel.log laid beside it when KeepLog
};

// How long Window takes to answer WM_NULL, in ms; nullopt when it does not
// within LimitMs (or is hung: SMTO_ABORTIFHUNG).
std::optional<double> AnswerMs(HWND Window, unsigned LimitMs);

class RealExe {
 public:
  // Copies the program and writes its settings, silent (no sounds: the
  // virtual display has no sound device, and the measurements are about
  // monitoring).
  explicit RealExe(const ExeSettings& Settings);
  // A copy still running is ended (by the Program), then its folder removed.
  ~RealExe() = default;
  RealExe(const RealExe&) = delete;
  RealExe& operator=(const RealExe&) = delete;

  // Starts the process; returns the time just before CreateProcess (NowMs).
  double Start();
  // The main window once it exists; nullptr when it does not within TimeoutMs.
  HWND WaitForWindow(unsigned TimeoutMs) const;
  // Posts WM_CLOSE to Window and waits for the process to end: the time it
  // took, or nullopt when it has not ended within TimeoutMs.
  std::optional<double> Close(HWND Window, unsigned TimeoutMs);
  // Ends the session as Windows does: every top-level window of the process
  // is sent WM_QUERYENDSESSION, then WM_ENDSESSION (TRUE), and the process
  // is ended once all have returned. The time from the first WM_ENDSESSION
  // sent to the last one returned (the program's end of run), or nullopt
  // when a window did not answer within TimeoutMs.
  std::optional<double> EndSession(unsigned TimeoutMs);
  bool Running() const;
  // The settings file in its folder as it is now.
  std::string SettingsFile() const { return FDir.Read("Vintrel.ini"); }

  // A handle for reading the process's counters (valid after Start).
  HANDLE Process() const { return FQuery.Get(); }
  DWORD ProcessId() const { return FProgram.ProcessId(); }
  // Text that stands in the process's command line and in no other's: the
  // name of its folder.
  std::string Marker() const;
  // Lines in the window's log view.
  long long LogLines(HWND Window) const;
  // The log file in its folder as it is now.
  std::string LogFile() const { return FDir.Read("Vintrel.log"); }
  // Its folder, with a trailing backslash.
  const std::string& Folder() const { return FDir.Path(); }

 private:
  vtest::TempDir FDir;  // declared first: removed after the Program has ended the process
  vtest::Program FProgram;
  UniqueHandle FQuery;
};

}  // namespace bench
