#include "bench/Soak.h"

#include "bench/Markdown.h"
#include "bench/MeasureCheck.h"
#include "bench/Probes.h"
#include "bench/Resources.h"
#include "bench/ServerProcess.h"
#include "bench/Stats.h"
#include "tests/support/Pump.h"

#include <functional>
#include <vector>

namespace bench {

namespace {

constexpr unsigned ProbeBoundMs = 30000;
// Before each reading: the last workers have ended and freed themselves, and
// WinINet has let go of the last connections.
constexpr unsigned SettleMs = 500;

struct Counter {
  const char* Name;
  const char* Source;
  bool Observable;
  bool Bytes;
  long long (*Read)();
  std::vector<double> Values;
};

long long OwnHandles() { return HandleCount(GetCurrentProcessId()); }
long long OwnWindows() { return WindowCount(GetCurrentProcessId()); }
long long OwnThreads() { return ThreadCount(GetCurrentProcessId()); }
long long OwnPrivateBytes() { return PrivateBytes(GetCurrentProcess()); }

std::vector<Counter> Counters(const Observable& Works) {
  return {{"handles", HandleSource, Works.Handles, false, OwnHandles, {}},
          {"GDI objects", GdiSource, Works.GdiObjects, false, GdiObjectCount, {}},
          {"windows", WindowSource, Works.Windows, false, OwnWindows, {}},
          {"threads", ThreadSource, Works.Threads, false, OwnThreads, {}},
          {"private bytes", PrivateSource, Works.PrivateBytes, true, OwnPrivateBytes, {}}};
}

// One kind of probe, run back to back with the counters read every Step probes.
struct SoakRun {
  int Probes = 0;
  int Step = 0;
  std::vector<double> ProbesAt;  // probes done at each reading
  std::vector<Counter> Counters;
  std::vector<double> FirstStepMs, LastStepMs;  // probe times of the first and the last step
  int Failed = 0;
  int TimedOut = 0;
};

void ReadCounters(SoakRun& Run, int ProbesDone) {
  vtest::PumpFor(SettleMs);
  Run.ProbesAt.push_back(ProbesDone);
  for (Counter& C : Run.Counters) C.Values.push_back(static_cast<double>(C.Read()));
}

void Record(const ProbeResult& R, int Index, SoakRun& Run) {
  if (R.Result == ProbeResult::Failed) ++Run.Failed;
  if (R.Result == ProbeResult::TimedOut) ++Run.TimedOut;
  if (Index < Run.Step) Run.FirstStepMs.push_back(R.Ms);
  if (Index >= Run.Probes - Run.Step) Run.LastStepMs.push_back(R.Ms);
}

SoakRun Soak(int Probes, int Step, const Observable& Works, const std::function<ProbeResult()>& Probe) {
  SoakRun Run;
  Run.Probes = Probes;
  Run.Step = Step;
  Run.Counters = Counters(Works);
  ReadCounters(Run, 0);
  for (int Index = 0; Index < Probes; ++Index) {
    Record(Probe(), Index, Run);
    if ((Index + 1) % Step == 0) ReadCounters(Run, Index + 1);
  }
  return Run;
}

std::string Value(const Counter& C, double V) {
  if (!C.Observable) return "not observable under Wine";
  if (V < 0) return "unreadable";
  return C.Bytes ? Mebibytes(V) : Count(static_cast<long long>(V));
}

// Growth per 1,000 probes from the first reading after the first step on:
// the first step carries one-time costs (WinINet's caches, the first
// threads' stacks) that are no leak.
std::string Growth(const Counter& C, const std::vector<double>& ProbesAt) {
  if (!C.Observable) return "not observable under Wine";
  if (ProbesAt.size() < 3) return "n/a";
  const std::vector<double> X(ProbesAt.begin() + 1, ProbesAt.end());
  const std::vector<double> Y(C.Values.begin() + 1, C.Values.end());
  const double PerThousand = Slope(X, Y) * 1000.0;
  return C.Bytes ? Fixed(PerThousand / 1024.0, 1) + " KiB" : Fixed(PerThousand, 2);
}

std::string ProbeTimes(const char* Name, const SoakRun& Run) {
  const Summary First = Summarize(Run.FirstStepMs);
  const Summary Last = Summarize(Run.LastStepMs);
  return std::string(Name) + ": " + Count(Run.Failed) + " failed, " + Count(Run.TimedOut) +
         " timed out; probe time median " + Fixed(First.Median) + " ms (p90 " + Fixed(First.P90) + ") over the first " +
         Count(Run.Step) + ", " + Fixed(Last.Median) + " ms (p90 " + Fixed(Last.P90) + ") over the last " +
         Count(Run.Step) + ": " + Ratio(Last.Median, First.Median) + ".\n";
}

std::string Render(const SoakRun& Run, const SoakRun& Control) {
  Table Out({"counter", "read with", "at start", "after " + Count(Run.Step), "at end", "growth per 1,000 probes",
             "control: growth per 1,000"},
            2);
  for (std::size_t I = 0; I < Run.Counters.size(); ++I) {
    const Counter& C = Run.Counters[I];
    Out.Add({C.Name, C.Source, Value(C, C.Values.front()), Value(C, C.Values[1]), Value(C, C.Values.back()),
             Growth(C, Run.ProbesAt), Growth(Control.Counters[I], Control.ProbesAt)});
  }
  return "## Soak\n\n" + Count(Run.Probes) +
         " probes of the TKVRINetNotify component back to back in the benchmark's own process, against the "
         "loopback server answering 200 in a helper process (so that its threads and the requests it keeps do not "
         "count here), counters read every " +
         Count(Run.Step) + " probes after a " + Fixed(SettleMs / 1000.0, 1) +
         " s pause. Growth is the least-squares slope from the reading after the first step on. The control: " +
         Count(Control.Probes) + " probes of the bare WinINet calls on a new thread each (read every " +
         Count(Control.Step) +
         "), run afterwards in the same process; growth that both show is WinINet's (or "
         "Wine's), not the component's.\n\n" +
         Out.Render() + "\n" + ProbeTimes("Component", Run) + ProbeTimes("Control", Control) + "\n";
}

}  // namespace

std::string SoakSection(const Plan& P) {
  const MeasureCheck Check = CheckMeasures();
  ServerProcess Server;
  const std::string Url = Server.Url();
  ComponentProbe Component(Url);
  const SoakRun Run = Soak(P.SoakProbes, P.SoakStep, Check.Works, [&] { return Component.Run(ProbeBoundMs); });
  const SoakRun Control =
      Soak(P.ControlProbes, P.ControlStep, Check.Works, [&] { return WinInetOnNewThread(Url, ProbeBoundMs); });
  return "## Resource counters under Wine\n\nEach counter read before and after making a known number of its "
         "resource in the benchmark's process. Under Wine, GetProcessHandleCount, GetGuiResources and "
         "PROCESS_MEMORY_COUNTERS_EX::PrivateUsage read 0, so these are used instead.\n\n" +
         Check.Markdown + "\n" + Render(Run, Control);
}

}  // namespace bench
