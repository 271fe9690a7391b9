#include "bench/StartAndClose.h"

#include "bench/Clock.h"
#include "bench/Markdown.h"
#include "bench/RealExe.h"
#include "bench/Resources.h"
#include "bench/Stats.h"
#include "bench/Worker.h"
#include "tests/support/LoopbackServer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace bench {

namespace {

constexpr unsigned Interval = 30;  // one probe in the observed span
// The long log holds the first probe back by tens of seconds under Wine.
constexpr unsigned FirstProbeBoundMs = 120000;
constexpr unsigned WatchAfterProbeMs = 3000;  // answers still watched after the first probe
constexpr unsigned AnswerLimitMs = 5000;
constexpr unsigned PollPeriodMs = 10;
constexpr unsigned CloseBoundMs = 30000;

struct StartRun {
  std::optional<double> WindowMs;      // CreateProcess to the window found
  std::optional<double> FirstProbeMs;  // CreateProcess to the first request at the server
  std::optional<double> LongestGapMs;  // between two answers of the window, from its finding on
  long long PrivateBytes = -1;         // after the observed span
  long long LogLines = -1;             // in the window's log view
  std::optional<double> CloseMs;       // WM_CLOSE to the process's end
};

struct Variant {
  std::string Name;
  std::string Log;
  std::vector<StartRun> Runs;
};

// Records when the first request reaches the server, on a thread of its own
// so that the time is not rounded to the polling.
class FirstRequestClock {
 public:
  explicit FirstRequestClock(std::shared_ptr<vtest::LoopbackServer> Server)
      : FAt(std::make_shared<std::atomic<double>>(-1)) {
    FWorker = std::make_unique<Worker>([Server, At = FAt] {
      if (Server->WaitForRequests(1, FirstProbeBoundMs)) At->store(NowMs());
    });
  }
  // NowMs() of the first request; nullopt before it.
  std::optional<double> At() const {
    const double At = FAt->load();
    return At < 0 ? std::nullopt : std::optional<double>(At);
  }

 private:
  std::shared_ptr<std::atomic<double>> FAt;
  std::unique_ptr<Worker> FWorker;
};

// Polls the window from its appearance until WatchAfterProbeMs after the
// first probe (or the bound), keeping the longest time between two answers.
void Observe(RealExe& Exe, const FirstRequestClock& FirstRequest, double Started, StartRun& Run, HWND& Window) {
  double LastAnswer = 0;
  while (NowMs() < Started + FirstProbeBoundMs && Exe.Running()) {
    if (auto At = FirstRequest.At(); At && NowMs() > *At + WatchAfterProbeMs) break;
    if (!Window) {
      // Waits up to 20 ms when the window is not there yet.
      Window = Exe.WaitForWindow(0);
      if (Window) {
        LastAnswer = NowMs();
        Run.WindowMs = LastAnswer - Started;
      }
      continue;
    }
    if (AnswerMs(Window, AnswerLimitMs)) {
      const double Now = NowMs();
      Run.LongestGapMs = std::max(Run.LongestGapMs.value_or(0), Now - LastAnswer);
      LastAnswer = Now;
    }
    Sleep(PollPeriodMs);
  }
  // A window that stopped answering before the end counts up to the end.
  if (Window) Run.LongestGapMs = std::max(Run.LongestGapMs.value_or(0), NowMs() - LastAnswer);
}

StartRun MeasureStart(const std::string& Log) {
  StartRun Run;
  auto Server = std::make_shared<vtest::LoopbackServer>();
  ExeSettings Settings(Server->Url(), Interval);
  Settings.KeepLog = true;
  Settings.Log = Log;
  RealExe Exe(Settings);
  FirstRequestClock FirstRequest(Server);
  const double Started = Exe.Start();
  HWND Window = nullptr;
  Observe(Exe, FirstRequest, Started, Run, Window);
  if (auto At = FirstRequest.At()) Run.FirstProbeMs = *At - Started;
  if (!Window) return Run;
  Run.PrivateBytes = PrivateBytes(Exe.Process());
  Run.LogLines = Exe.LogLines(Window);
  Run.CloseMs = Exe.Close(Window, CloseBoundMs);
  return Run;
}

// Median and max of one figure over the runs, and how many runs had none.
struct Spread {
  Summary Of;
  int Missing = 0;
};

Spread SpreadOf(const std::vector<StartRun>& Runs, std::optional<double> StartRun::*Field) {
  Spread S;
  std::vector<double> Values;
  for (const StartRun& R : Runs) {
    if (R.*Field)
      Values.push_back(*(R.*Field));
    else
      ++S.Missing;
  }
  S.Of = Summarize(Values);
  return S;
}

std::string Median(const Spread& S) { return S.Of.Count ? Fixed(S.Of.Median, 0) : "timed out"; }
std::string Max(const Spread& S) { return S.Of.Count ? Fixed(S.Of.Max, 0) : "timed out"; }

std::string LongMedian(const std::vector<StartRun>& Runs, long long StartRun::*Field, bool Bytes) {
  std::vector<double> Values;
  for (const StartRun& R : Runs)
    if (R.*Field >= 0) Values.push_back(static_cast<double>(R.*Field));
  if (Values.empty()) return "unreadable";
  const double M = Summarize(Values).Median;
  return Bytes ? Mebibytes(M) : Count(static_cast<long long>(M));
}

std::string RenderStart(const Plan& P, const std::vector<Variant>& Variants) {
  Table Out({"kept log", "runs", "to first probe, median ms", "max ms", "to window, median ms",
             "longest answer gap, median ms", "max ms", "private bytes after, median", "log view lines", "timed out"});
  for (const Variant& V : Variants) {
    const Spread Probe = SpreadOf(V.Runs, &StartRun::FirstProbeMs);
    const Spread Gap = SpreadOf(V.Runs, &StartRun::LongestGapMs);
    Out.Add({V.Name, Count(static_cast<long long>(V.Runs.size())), Median(Probe), Max(Probe),
             Median(SpreadOf(V.Runs, &StartRun::WindowMs)), Median(Gap), Max(Gap),
             LongMedian(V.Runs, &StartRun::PrivateBytes, true), LongMedian(V.Runs, &StartRun::LogLines, false),
             Count(Probe.Missing)});
  }
  const double EmptyProbe = SpreadOf(Variants[0].Runs, &StartRun::FirstProbeMs).Of.Median;
  const double LongProbe = SpreadOf(Variants[1].Runs, &StartRun::FirstProbeMs).Of.Median;
  return "## Start to first probe\n\nVintrel.exe with store.log=1 and interval=" + std::to_string(Interval) +
         ", timed from just before CreateProcess to the loopback server receiving the first request. Its window, "
         "once found, is sent WM_NULL every ~10 ms until 3 s after the first probe; the gap is the longest time "
         "between two answers (the first counted from the window's finding). Private bytes: PagefileUsage of the "
         "process (resident anonymous memory under Wine) at the end of that span. Runs alternate between the two "
         "logs. The long log: " +
         Count(P.LongLogLines) + " lines, " + Mebibytes(static_cast<double>(Variants[1].Log.size())) +
         ". First probe, long log over empty log: " + Ratio(LongProbe, EmptyProbe) + ".\n\n" + Out.Render() + "\n";
}

std::string RenderClose(const std::vector<Variant>& Variants) {
  Table Out({"kept log", "runs", "median ms", "max ms", "min ms", "timed out"});
  for (const Variant& V : Variants) {
    const Spread Close = SpreadOf(V.Runs, &StartRun::CloseMs);
    Out.Add({V.Name, Count(static_cast<long long>(V.Runs.size())), Median(Close), Max(Close),
             Close.Of.Count ? Fixed(Close.Of.Min, 0) : "timed out", Count(Close.Missing)});
  }
  return "## WM_CLOSE to exit\n\nThe same runs, ended by PostMessage(WM_CLOSE) to the window, timed to the "
         "process's end. The program writes its settings and (store.log=1) its whole log on the way out; under "
         "Wine, removing the tray icon alone takes about 2 s.\n\n" +
         Out.Render() + "\n";
}

}  // namespace

std::string LongLog(int Lines) {
  std::string Text;
  Text.reserve(static_cast<std::size_t>(Lines) * 62);
  const int StartSecond = 9 * 3600 + 1 * 60 + 56;  // 9:01:56 AM
  for (int I = 0; I < Lines; ++I) {
    const int Second = (StartSecond + I) % (12 * 3600);
    const int Hour = Second / 3600 == 0 ? 12 : Second / 3600;
    char Line[96];
    std::snprintf(Line, sizeof Line, "Connected to http://127.0.0.1:1234/ - %d/%d/2026 %d:%02d:%02d %s\r\n", 12,
                  8 + (StartSecond + I) / (24 * 3600), Hour, Second / 60 % 60, Second % 60,
                  (StartSecond + I) / (12 * 3600) % 2 ? "PM" : "AM");
    Text += Line;
  }
  return Text;
}

std::string StartAndCloseSection(const Plan& P) {
  std::vector<Variant> Variants = {{"empty", "", {}}, {Count(P.LongLogLines) + " lines", LongLog(P.LongLogLines), {}}};
  for (int Run = 0; Run < P.StartRuns; ++Run)
    for (Variant& V : Variants) V.Runs.push_back(MeasureStart(V.Log));
  return RenderStart(P, Variants) + RenderClose(Variants);
}

}  // namespace bench
