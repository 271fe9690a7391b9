#include "bench/CpuUse.h"

#include "bench/Clock.h"
#include "bench/CpuTime.h"
#include "bench/Markdown.h"
#include "bench/RealExe.h"
#include "tests/support/LoopbackServer.h"

#include <optional>

namespace bench {

namespace {

constexpr unsigned Interval = 30;
constexpr unsigned StartBoundMs = 30000;
constexpr unsigned CloseBoundMs = 30000;

struct Reading {
  double WallMs = 0;
  std::optional<double> UnixMs;          // the Linux process, under Wine
  std::optional<double> ThreadsMs;       // its live threads
  std::optional<double> WineserverMs;    // the Wine server, shared by every Wine process
  std::optional<double> ProcessTimesMs;  // GetProcessTimes on its handle
  std::optional<double> OwnTimesMs;      // GetProcessTimes on our own: Wine answers the first with this
};

Reading Read(const RealExe& Exe, const std::optional<std::string>& ProcFolder) {
  Reading R;
  R.WallMs = NowMs();
  if (ProcFolder) R.UnixMs = UnixCpuMs(*ProcFolder);
  R.ThreadsMs = LiveThreadsCpuMs(Exe.ProcessId());
  R.WineserverMs = WineserverCpuMs();
  R.ProcessTimesMs = ProcessTimesMs(Exe.Process());
  R.OwnTimesMs = ProcessTimesMs(GetCurrentProcess());
  return R;
}

std::optional<double> Delta(const std::optional<double>& Before, const std::optional<double>& After) {
  if (!Before || !After) return std::nullopt;
  return *After - *Before;
}

// Waits DurationMs, or less if the program ends meanwhile.
void Watch(const RealExe& Exe, unsigned DurationMs) {
  const double End = NowMs() + DurationMs;
  while (NowMs() < End && Exe.Running()) Sleep(200);
}

void Row(Table& Out, const char* Source, const std::optional<double>& CpuMs, double Minutes,
         const std::string& Unusable) {
  if (!Unusable.empty() || !CpuMs) {
    Out.Add({Source, Unusable.empty() ? "unreadable" : Unusable});
    return;
  }
  Out.Add(
      {Source, Fixed(*CpuMs, 0), Fixed(*CpuMs / Minutes, 1), Fixed(*CpuMs / (Minutes * 60000.0) * 100.0, 3) + " %"});
}

// The Wine server's CPU over a span before the program starts, as a
// baseline for its figure while the program runs.
struct Baseline {
  double Minutes = 0;
  std::optional<double> WineserverMs;
};

Baseline MeasureBaseline(unsigned DurationMs) {
  const double Start = NowMs();
  const std::optional<double> Before = WineserverCpuMs();
  Sleep(DurationMs);
  Baseline B;
  B.WineserverMs = Delta(Before, WineserverCpuMs());
  B.Minutes = (NowMs() - Start) / 60000.0;
  return B;
}

std::string NotMeasured(const std::string& Failure) { return "## CPU use\n\nNot measured: " + Failure + ".\n\n"; }

// Note: what went wrong after the measurement.
std::string Render(const Reading& Before, const Reading& After, const Baseline& Idle, std::size_t Probes,
                   const std::string& Note) {
  const double Minutes = (After.WallMs - Before.WallMs) / 60000.0;
  // Wine's GetProcessTimes answers for the caller whatever the handle.
  const bool TimesAreOurs = Before.ProcessTimesMs == Before.OwnTimesMs && After.ProcessTimesMs == After.OwnTimesMs;
  Table Out({"read with", "CPU ms", "CPU ms per minute", "share of one core"});
  Row(Out, "/proc/<pid>/stat utime + stime of its Linux process (all threads, ended ones too)",
      Delta(Before.UnixMs, After.UnixMs), Minutes, Before.UnixMs ? "" : "no /proc entry found");
  Row(Out, "GetThreadTimes summed over its live threads (misses those that ended)",
      Delta(Before.ThreadsMs, After.ThreadsMs), Minutes, "");
  Row(Out, "GetProcessTimes user + kernel", Delta(Before.ProcessTimesMs, After.ProcessTimesMs), Minutes,
      TimesAreOurs ? "not observable under Wine (returns the calling process's own times)" : "");
  Row(Out, "for comparison: the wineserver meanwhile (serves every Wine process, this benchmark's too)",
      Delta(Before.WineserverMs, After.WineserverMs), Minutes, Before.WineserverMs ? "" : "not found");
  Row(Out, "for comparison: the wineserver before the program's start", Idle.WineserverMs, Idle.Minutes,
      Idle.WineserverMs ? "" : "not found");
  std::string Text = "## CPU use\n\nVintrel.exe with interval=" + std::to_string(Interval) +
                     ", server answering 200, measured over " + Fixed(Minutes, 2) + " min from its first probe on (" +
                     Count(static_cast<long long>(Probes)) +
                     " more requests reached the server meanwhile). The Wine server's own work for the program "
                     "shows only in the wineserver's figure, compared with its baseline over " +
                     Fixed(Idle.Minutes, 2) + " min before the start.\n\n";
  return Text + Out.Render() + (Note.empty() ? "" : "\n" + Note + ".\n") + "\n";
}

}  // namespace

std::string CpuUseSection(const Plan& P) {
  vtest::LoopbackServer Server;
  RealExe Exe(ExeSettings(Server.Url(), Interval));
  const Baseline Idle = MeasureBaseline(P.CpuSeconds * 1000 / 6);
  Exe.Start();
  HWND Window = Exe.WaitForWindow(StartBoundMs);
  if (!Window) return NotMeasured("timed out waiting for the window");
  if (!Server.WaitForRequests(1, StartBoundMs)) return NotMeasured("timed out waiting for the first probe");
  const std::optional<std::string> ProcFolder = FindUnixProcess(Exe.Marker());
  const std::size_t RequestsBefore = Server.RequestCount();
  const Reading Before = Read(Exe, ProcFolder);
  Watch(Exe, P.CpuSeconds * 1000);
  const Reading After = Read(Exe, ProcFolder);
  const std::size_t Probes = Server.RequestCount() - RequestsBefore;
  if (!Exe.Running()) return NotMeasured("the program ended during the measurement");
  const bool Closed = Exe.Close(Window, CloseBoundMs).has_value();
  return Render(Before, After, Idle, Probes, Closed ? "" : "The program then timed out ending after WM_CLOSE");
}

}  // namespace bench
