#include "bench/StartAndClose.h"

#include "bench/Clock.h"
#include "bench/Markdown.h"
#include "bench/RealExe.h"
#include "bench/Resources.h"
#include "bench/Stats.h"
#include "bench/Worker.h"
#include "tests/support/LoopbackServer.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace bench {

namespace {

constexpr unsigned Interval = 30;  // one probe in the observed span
// Far beyond any start seen: a start that grew with the log would show here.
constexpr unsigned FirstProbeBoundMs = 120000;
constexpr unsigned WatchAfterProbeMs = 3000;  // answers still watched after the first probe
constexpr unsigned AnswerLimitMs = 5000;
constexpr unsigned PollPeriodMs = 10;
constexpr unsigned CloseBoundMs = 30000;

struct StartRun {
  std::optional<double> WindowMs;       // CreateProcess to the window found
  std::optional<double> FirstProbeMs;   // CreateProcess to the first request at the server
  std::optional<double> LongestGapMs;   // between two answers of the window, from its finding on
  long long PrivateBytes = -1;          // after the observed span
  long long LogLines = -1;              // in the window's log view
  std::optional<double> CloseMs;        // WM_CLOSE to the process's end
  std::optional<double> EndSessionMs;   // or: WM_ENDSESSION sent to its windows to the last one returned
  std::optional<bool> LogWhole;         // the log file after it: the old log whole, then only the run's lines
  std::optional<bool> SettingsWritten;  // the settings file after it holds the keys only the end writes
};

// A file's text as it is now; empty when it cannot be read.
std::string AsideText(const std::string& Path) {
  std::string Text;
  UniqueHandle File(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  if (!File) return Text;
  char Buffer[4096];
  DWORD Read = 0;
  while (ReadFile(File.Get(), Buffer, sizeof Buffer, &Read, nullptr) && Read > 0) Text.append(Buffer, Read);
  return Text;
}

struct Variant {
  std::string Name;
  std::string Log;
  std::vector<StartRun> Runs;
  std::vector<StartRun> SessionRuns;  // ended by the session's end instead
};

// Whether Written is Old byte for byte, then one or more lines of this run
// (each ending in CR LF, the program's first probe among them).
bool OldLogThenTheRunsLines(const std::string& Written, const std::string& Old) {
  if (Written.size() <= Old.size() || Written.compare(0, Old.size(), Old) != 0) return false;
  const std::string Added = Written.substr(Old.size());
  if (Added.size() < 2 || Added.compare(Added.size() - 2, 2, "\r\n") != 0) return false;
  for (const std::string& Line : vtest::TempDir::Lines(Added))
    if (Line.rfind("Connected to ", 0) != 0) return false;
  return true;
}

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

// An icon of the benchmark's own in the notification area while the
// session's end is measured. Wine's notification area is a window of its own
// on the X display, which it hides when its last icon leaves, waiting up to
// 2 s for the X server to say so (no window manager runs here); with another
// icon there, removing the program's takes milliseconds, as on Windows.
class TrayNeighbour {
 public:
  TrayNeighbour() {
    FData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    FData.hWnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    FData.uFlags = NIF_ICON | NIF_TIP;
    FData.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(FData.szTip, "vintrel_bench", sizeof FData.szTip);
    FAdded = FData.hWnd && Shell_NotifyIconA(NIM_ADD, &FData);
  }
  ~TrayNeighbour() {
    if (FAdded) Shell_NotifyIconA(NIM_DELETE, &FData);
    if (FData.hWnd) DestroyWindow(FData.hWnd);
  }
  TrayNeighbour(const TrayNeighbour&) = delete;
  TrayNeighbour& operator=(const TrayNeighbour&) = delete;

 private:
  NOTIFYICONDATAA FData = {};
  bool FAdded = false;
};

// How a measured run is ended.
enum class Ending { Close, Session };

StartRun MeasureStart(const std::string& Log, Ending End = Ending::Close) {
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
  if (End == Ending::Close) {
    Run.CloseMs = Exe.Close(Window, CloseBoundMs);
    if (Run.CloseMs) Run.LogWhole = OldLogThenTheRunsLines(Exe.LogFile(), Log);
    return Run;
  }
  Run.EndSessionMs = Exe.EndSession(CloseBoundMs);
  Run.LogWhole = OldLogThenTheRunsLines(Exe.LogFile(), Log);
  // The settings file held only some keys: the end of the run writes all.
  Run.SettingsWritten = Exe.SettingsFile().find("timeout=20\r\n") != std::string::npos;
  return Run;
}

// The end of a session with the log held shut by another program from
// before the start (it may be read, not written), and no other icon in the
// notification area: the worst end a session has, with the tray's own 2 s
// under Wine.
struct HeldShutRun {
  std::optional<double> FilesMs;   // WM_QUERYENDSESSION sent to both files written
  std::optional<double> ReturnMs;  // the first WM_ENDSESSION sent to the last one returned
  bool Aside = false;              // the refused line is in Vintrel.unkept.log
  bool Settings = false;           // the settings file holds the keys only the end writes
  bool LogUntouched = false;       // the log is the old one, byte for byte
};

HeldShutRun MeasureHeldShutSession(const std::string& Log, std::size_t ViewLines) {
  HeldShutRun Run;
  auto Server = std::make_shared<vtest::LoopbackServer>();
  ExeSettings Settings(Server->Url(), Interval);
  Settings.KeepLog = true;
  Settings.Log = Log;
  RealExe Exe(Settings);
  const std::string Aside = Exe.Folder() + "Vintrel.unkept.log";
  UniqueHandle Held(CreateFileA((Exe.Folder() + "Vintrel.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!Held) return Run;
  Exe.Start();
  HWND Window = Exe.WaitForWindow(FirstProbeBoundMs);
  // The first probe's line is shown, and the log has refused it.
  const double Until = NowMs() + FirstProbeBoundMs;
  while (Window && Exe.LogLines(Window) <= static_cast<long long>(ViewLines) && NowMs() < Until) Sleep(PollPeriodMs);
  if (!Window || Exe.LogLines(Window) <= static_cast<long long>(ViewLines)) return Run;
  std::atomic<bool> Stop{false};
  std::atomic<double> WrittenAt{-1};
  const double Asked = NowMs();
  {
    Worker Watcher([&] {
      while (!Stop.load()) {
        if (GetFileAttributesA(Aside.c_str()) != INVALID_FILE_ATTRIBUTES &&
            Exe.SettingsFile().find("timeout=20\r\n") != std::string::npos) {
          WrittenAt = NowMs();
          return;
        }
        Sleep(1);
      }
    });
    Run.ReturnMs = Exe.EndSession(CloseBoundMs);
    Watcher.Join(CloseBoundMs);
    Stop = true;
  }
  if (WrittenAt.load() >= 0) Run.FilesMs = WrittenAt.load() - Asked;
  Held.Reset();
  Run.Settings = Exe.SettingsFile().find("timeout=20\r\n") != std::string::npos;
  Run.LogUntouched = Exe.LogFile() == Log;
  const std::vector<std::string> Lines = vtest::TempDir::Lines(AsideText(Aside));
  Run.Aside = Lines.size() == 1 && Lines[0].rfind("Connected to ", 0) == 0;
  return Run;
}

std::string RenderHeldShut(const std::vector<Variant>& Variants, const std::vector<std::vector<HeldShutRun>>& Runs) {
  Table Out({"kept log", "runs", "to files written, median ms", "max ms", "to the handler's return, median ms",
             "max ms", "refused line kept beside", "settings written", "log untouched"});
  for (std::size_t I = 0; I < Variants.size(); ++I) {
    std::vector<double> Files, Returns;
    int Aside = 0, Settings = 0, Untouched = 0;
    for (const HeldShutRun& R : Runs[I]) {
      if (R.FilesMs) Files.push_back(*R.FilesMs);
      if (R.ReturnMs) Returns.push_back(*R.ReturnMs);
      Aside += R.Aside;
      Settings += R.Settings;
      Untouched += R.LogUntouched;
    }
    const Summary F = Summarize(Files), Back = Summarize(Returns);
    const std::string N = Count(static_cast<long long>(Runs[I].size()));
    auto Of = [&](const Summary& S, double Summary::*Field) { return S.Count ? Fixed(S.*Field, 0) : "timed out"; };
    Out.Add({Variants[I].Name, N, Of(F, &Summary::Median), Of(F, &Summary::Max), Of(Back, &Summary::Median),
             Of(Back, &Summary::Max), Count(Aside) + " of " + N, Count(Settings) + " of " + N,
             Count(Untouched) + " of " + N});
  }
  return "## End of session with the log held shut\n\nThe same kinds of run, with the log held open by another "
         "program from before the start, sharing reading only (a backup tool or an editor that locks), so the "
         "first probe's line is refused; no other icon is in the notification area. The end is asked for as "
         "above; a thread of the benchmark polls the folder every millisecond for both files written (the "
         "refused line in Vintrel.unkept.log and the settings file replaced), timed from the first "
         "WM_QUERYENDSESSION sent. The handler returns after the tray icon's removal, which the program does "
         "last; under Wine that alone takes about 2 s for the last icon.\n\n" +
         Out.Render() + "\n";
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

std::optional<double> LongMedian(const std::vector<StartRun>& Runs, long long StartRun::*Field) {
  std::vector<double> Values;
  for (const StartRun& R : Runs)
    if (R.*Field >= 0) Values.push_back(static_cast<double>(R.*Field));
  if (Values.empty()) return std::nullopt;
  return Summarize(Values).Median;
}

std::string BytesText(std::optional<double> Bytes) { return Bytes ? Mebibytes(*Bytes) : "unreadable"; }

std::string RenderStart(const std::vector<Variant>& Variants) {
  Table Out({"kept log", "file size", "runs", "to first probe, median ms", "max ms", "to window, median ms",
             "longest answer gap, median ms", "max ms", "private bytes after, median", "log view lines", "timed out"});
  for (const Variant& V : Variants) {
    const Spread Probe = SpreadOf(V.Runs, &StartRun::FirstProbeMs);
    const Spread Gap = SpreadOf(V.Runs, &StartRun::LongestGapMs);
    const std::optional<double> Lines = LongMedian(V.Runs, &StartRun::LogLines);
    Out.Add({V.Name, Mebibytes(static_cast<double>(V.Log.size())), Count(static_cast<long long>(V.Runs.size())),
             Median(Probe), Max(Probe), Median(SpreadOf(V.Runs, &StartRun::WindowMs)), Median(Gap), Max(Gap),
             BytesText(LongMedian(V.Runs, &StartRun::PrivateBytes)),
             Lines ? Count(static_cast<long long>(*Lines)) : "unreadable", Count(Probe.Missing)});
  }
  return "## Start to first probe\n\nVintrel.exe with store.log=1 and interval=" + std::to_string(Interval) +
         ", timed from just before CreateProcess to the loopback server receiving the first request. Its window, "
         "once found, is sent WM_NULL every ~10 ms until 3 s after the first probe; the gap is the longest time "
         "between two answers (the first counted from the window's finding). Private bytes: PagefileUsage of the "
         "process (resident anonymous memory under Wine) at the end of that span. Runs alternate between the "
         "logs.\n\n" +
         Out.Render() + "\n";
}

std::string RenderClose(const std::vector<Variant>& Variants) {
  Table Out({"kept log", "runs", "median ms", "max ms", "min ms", "old log whole, then the run's lines", "timed out"});
  for (const Variant& V : Variants) {
    const Spread Close = SpreadOf(V.Runs, &StartRun::CloseMs);
    int Whole = 0;
    for (const StartRun& R : V.Runs) Whole += R.LogWhole.value_or(false) ? 1 : 0;
    Out.Add({V.Name, Count(static_cast<long long>(V.Runs.size())), Median(Close), Max(Close),
             Close.Of.Count ? Fixed(Close.Of.Min, 0) : "timed out",
             Count(Whole) + " of " + Count(static_cast<long long>(V.Runs.size())), Count(Close.Missing)});
  }
  return "## WM_CLOSE to exit\n\nThe same runs, ended by PostMessage(WM_CLOSE) to the window, timed to the "
         "process's end. The program writes its settings on the way out; each kept log line went to the file "
         "when it was logged, so the log is not copied; under Wine, removing the tray icon alone takes about 2 s. The "
         "log "
         "file is then read back: the old log byte for byte, then only lines of this run.\n\n" +
         Out.Render() + "\n";
}

std::string RenderSession(const std::vector<Variant>& Variants) {
  Table Out({"kept log", "runs", "median ms", "max ms", "settings written", "old log whole, then the run's lines",
             "no answer"});
  for (const Variant& V : Variants) {
    const Spread End = SpreadOf(V.SessionRuns, &StartRun::EndSessionMs);
    int Whole = 0, Written = 0;
    for (const StartRun& R : V.SessionRuns) {
      Whole += R.LogWhole.value_or(false) ? 1 : 0;
      Written += R.SettingsWritten.value_or(false) ? 1 : 0;
    }
    const std::string Runs = Count(static_cast<long long>(V.SessionRuns.size()));
    Out.Add({V.Name, Runs, Median(End), Max(End), Count(Written) + " of " + Runs, Count(Whole) + " of " + Runs,
             Count(End.Missing)});
  }
  return "## End of session\n\nMore runs of the same kinds, each ended as Windows ends a session: once its first "
         "probe's line is in its view, every top-level window of the program is sent WM_QUERYENDSESSION, then "
         "WM_ENDSESSION (wParam TRUE), with SendMessageTimeout; the time runs from the first WM_ENDSESSION sent "
         "to the last one returned, in which the program ends its run (settings written, log kept, probe let go, "
         "icon removed). The process is then ended with TerminateProcess, as Windows ends it, and its files are "
         "read back. Windows ends a program without a visible window about 5 s after asking. Meanwhile the "
         "benchmark keeps an icon of its own in the notification area: Wine hides its notification-area window "
         "when the last icon leaves, which alone takes 2 s here (X without a window manager), and that is not the "
         "program's end of run.\n\n" +
         Out.Render() + "\n";
}

// Each log's medians over the empty log's: what the log's size costs.
std::string RenderGrowth(const std::vector<Variant>& Variants) {
  Table Out({"kept log", "to first probe", "longest answer gap", "private bytes", "private bytes, difference",
             "WM_CLOSE to exit"});
  const Variant& Empty = Variants.front();
  auto Over = [&](const Variant& V, std::optional<double> StartRun::*Field) {
    const Spread Of = SpreadOf(V.Runs, Field), Base = SpreadOf(Empty.Runs, Field);
    return Of.Of.Count && Base.Of.Count ? Ratio(Of.Of.Median, Base.Of.Median) : "n/a";
  };
  const std::optional<double> EmptyBytes = LongMedian(Empty.Runs, &StartRun::PrivateBytes);
  for (const Variant& V : Variants) {
    const std::optional<double> Bytes = LongMedian(V.Runs, &StartRun::PrivateBytes);
    const bool Both = Bytes && EmptyBytes;
    Out.Add({V.Name, Over(V, &StartRun::FirstProbeMs), Over(V, &StartRun::LongestGapMs),
             Both ? Ratio(*Bytes, *EmptyBytes) : "n/a",
             Both ? (*Bytes >= *EmptyBytes ? "+" : "") + Mebibytes(*Bytes - *EmptyBytes) : "n/a",
             Over(V, &StartRun::CloseMs)});
  }
  return "## Cost of the kept log's size\n\nThe medians above over the empty log's. The empty log's view holds "
         "one line (the first probe's), every other log's 101: what the view's 100 kept lines cost to show is in "
         "every row but the first, whatever the log's size.\n\n" +
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
  std::vector<Variant> Variants;
  for (int Lines : P.KeptLogLines)
    Variants.push_back({Lines ? Count(Lines) + " lines" : "empty", LongLog(Lines), {}, {}});
  for (int Run = 0; Run < P.StartRuns; ++Run)
    for (Variant& V : Variants) V.Runs.push_back(MeasureStart(V.Log));
  {
    TrayNeighbour Neighbour;
    for (int Run = 0; Run < std::max(1, P.StartRuns / 2); ++Run)
      for (Variant& V : Variants) V.SessionRuns.push_back(MeasureStart(V.Log, Ending::Session));
  }
  std::vector<std::vector<HeldShutRun>> HeldShut(Variants.size());
  for (int Run = 0; Run < std::max(1, P.StartRuns / 2); ++Run)
    for (std::size_t I = 0; I < Variants.size(); ++I)
      HeldShut[I].push_back(MeasureHeldShutSession(
          Variants[I].Log, std::min<std::size_t>(100, vtest::TempDir::Lines(Variants[I].Log).size())));
  return RenderStart(Variants) + RenderClose(Variants) + RenderSession(Variants) + RenderHeldShut(Variants, HeldShut) +
         RenderGrowth(Variants);
}

}  // namespace bench
