#include "bench/Footprint.h"

#include "bench/Markdown.h"
#include "bench/RealExe.h"
#include "bench/Resources.h"
#include "bench/Stats.h"
#include "bench/Unique.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"

#include <functional>
#include <stdexcept>
#include <vector>

namespace bench {

namespace {

constexpr unsigned Interval = 30;
// Read this long after the start: the first probe is answered, the window
// laid out, and the start's own work done.
constexpr unsigned SettleMs = 8000;
constexpr unsigned WindowBoundMs = 30000;
constexpr unsigned CloseBoundMs = 30000;
const char* const MinimalClass = "VintrelMinimalTray";

// The libraries that Vintrel loads only at their first use, then the one it
// loads at its start and the minimal program does not (the common controls,
// for the hints), for comparison.
const char* const LazyLibraries[] = {"comdlg32.dll", "winmm.dll",    "oleacc.dll",
                                     "ole32.dll",    "oleaut32.dll", "comctl32.dll"};

struct Reading {
  long long PrivateBytes = -1;
  GdiTally Gdi;
  long long Windows = -1;
  long long Handles = -1;
  long long Threads = -1;
};

Reading Read(HANDLE Process, DWORD Pid) {
  Reading R;
  R.PrivateBytes = PrivateBytes(Process);
  R.Gdi = GdiObjectsOf(Process, Pid);
  R.Windows = WindowCount(Pid);
  R.Handles = HandleCount(Pid);
  R.Threads = ThreadCount(Pid);
  return R;
}

Reading MeasureVintrel(const std::string& Url) {
  RealExe Exe(ExeSettings(Url, Interval));
  Exe.Start();
  HWND Window = Exe.WaitForWindow(WindowBoundMs);
  if (!Window) throw std::runtime_error("Vintrel.exe showed no window");
  Sleep(SettleMs);
  const Reading R = Read(Exe.Process(), Exe.ProcessId());
  Exe.Close(Window, CloseBoundMs);
  return R;
}

// The minimal program beside this one, with each library of Libraries
// loaded at its start.
Reading MeasureMinimal(const std::string& Url, const std::string& Libraries) {
  char Module[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, Module, MAX_PATH);
  std::string Path = Module;
  Path = Path.substr(0, Path.find_last_of('\\') + 1) + "vintrel_minimal_tray.exe";
  std::string Command = "\"" + Path + "\" " + Url + Libraries;
  STARTUPINFOA Startup = {};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Info = {};
  if (!CreateProcessA(Path.c_str(), Command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Info))
    throw std::runtime_error("cannot start " + Path);
  UniqueHandle Process(Info.hProcess);
  UniqueHandle Thread(Info.hThread);
  HWND Window = nullptr;
  vtest::WaitUntil([&] { return (Window = vtest::WindowOf(Info.dwProcessId, MinimalClass)) != nullptr; },
                   WindowBoundMs);
  Sleep(SettleMs);
  const Reading R = Read(Process.Get(), Info.dwProcessId);
  if (Window) PostMessageA(Window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(Process.Get(), CloseBoundMs) != WAIT_OBJECT_0) TerminateProcess(Process.Get(), 1);
  if (!Window) throw std::runtime_error("the minimal program showed no window");
  return R;
}

double MedianOf(const std::vector<Reading>& Runs, const std::function<long long(const Reading&)>& Field) {
  std::vector<double> Values;
  for (const Reading& R : Runs)
    if (Field(R) >= 0) Values.push_back(static_cast<double>(Field(R)));
  return Values.empty() ? -1 : Summarize(Values).Median;
}

std::string Kibibytes(double Bytes) {
  return Bytes < 0 ? "unreadable" : Count(static_cast<long long>(Bytes / 1024)) + " KiB";
}
std::string Figure(double Value) { return Value < 0 ? "unreadable" : Count(static_cast<long long>(Value)); }

struct Row {
  const char* Name;
  std::function<long long(const Reading&)> Field;
  bool Bytes;
};

std::string GdiKinds(const std::vector<Reading>& Runs) {
  auto M = [&](long long GdiTally::*Kind) {
    return Figure(MedianOf(Runs, [Kind](const Reading& R) { return R.Gdi.Total < 0 ? -1 : R.Gdi.*Kind; }));
  };
  return M(&GdiTally::Fonts) + " fonts, " + M(&GdiTally::Bitmaps) + " bitmaps, " + M(&GdiTally::DCs) + " DCs, " +
         M(&GdiTally::Surfaces) + " of type 5 (Windows' bitmaps; under Wine, one with each DC), " +
         M(&GdiTally::Regions) + " regions, " + M(&GdiTally::Brushes) + " brushes, " + M(&GdiTally::Other) + " other";
}

}  // namespace

std::string FootprintSection(const Plan& P) {
  vtest::LoopbackServer Server;
  std::vector<Reading> Vintrel, Minimal;
  std::vector<std::vector<Reading>> WithLibrary(std::size(LazyLibraries));
  for (int Run = 0; Run < P.FootprintRuns; ++Run) {
    Vintrel.push_back(MeasureVintrel(Server.Url()));
    Minimal.push_back(MeasureMinimal(Server.Url(), ""));
    for (std::size_t L = 0; L < std::size(LazyLibraries); ++L)
      WithLibrary[L].push_back(MeasureMinimal(Server.Url(), std::string(" ") + LazyLibraries[L]));
  }

  const Row Rows[] = {
      {"private bytes", [](const Reading& R) { return R.PrivateBytes; }, true},
      {"GDI objects", [](const Reading& R) { return R.Gdi.Total; }, false},
      {"windows", [](const Reading& R) { return R.Windows; }, false},
      {"handles", [](const Reading& R) { return R.Handles; }, false},
      {"threads", [](const Reading& R) { return R.Threads; }, false},
  };
  Table Out({"", "Vintrel", "minimal program", "ratio"});
  for (const Row& R : Rows) {
    const double V = MedianOf(Vintrel, R.Field), M = MedianOf(Minimal, R.Field);
    Out.Add({R.Name, R.Bytes ? Kibibytes(V) : Figure(V), R.Bytes ? Kibibytes(M) : Figure(M), Ratio(V, M)});
  }
  Table Libraries({"library loaded at the start", "private bytes", "more than without", "GDI objects"});
  const auto Private = [](const Reading& R) { return R.PrivateBytes; };
  const auto Gdi = [](const Reading& R) { return R.Gdi.Total; };
  const double Base = MedianOf(Minimal, Private);
  Libraries.Add({"none", Kibibytes(Base), "", Figure(MedianOf(Minimal, Gdi))});
  for (std::size_t L = 0; L < std::size(LazyLibraries); ++L) {
    const double With = MedianOf(WithLibrary[L], Private);
    const std::string Name =
        std::string(LazyLibraries[L]) + (L + 1 == std::size(LazyLibraries) ? " (at Vintrel's start)" : "");
    Libraries.Add({Name, Kibibytes(With), With < 0 || Base < 0 ? "" : Kibibytes(With - Base),
                   Figure(MedianOf(WithLibrary[L], Gdi))});
  }
  return "## Idle footprint\n\nVintrel.exe with interval=" + std::to_string(Interval) +
         " against the loopback server answering 200, beside a minimal tray program (bench/MinimalTray.cpp: a "
         "hidden window, one notification-area icon, the same one WinINet request on a thread of its own), each "
         "read " +
         Fixed(SettleMs / 1000.0, 0) + " s after its start; medians of " + Count(P.FootprintRuns) +
         " runs each. Private bytes: PagefileUsage (resident anonymous memory under Wine); GDI objects: the live "
         "entries of the process's GDI handle table.\n\n" +
         Out.Render() + "\nVintrel's GDI objects: " + GdiKinds(Vintrel) +
         "; the minimal program's: " + GdiKinds(Minimal) +
         ".\n\nWhat each library that Vintrel loads only when it is first needed (the file dialog, sounds, "
         "the screen reader's objects) costs when the minimal program loads it at its start, and for comparison the "
         "common controls, which Vintrel loads at its start for its hints:\n\n" +
         Libraries.Render() + "\n";
}

}  // namespace bench
