#include "bench/AnswerTimes.h"

#include "bench/Clock.h"
#include "bench/Markdown.h"
#include "bench/RealExe.h"
#include "bench/Stats.h"
#include "bench/Worker.h"
#include "tests/support/LoopbackServer.h"

#include <memory>
#include <vector>

namespace bench {

namespace {

constexpr unsigned StartBoundMs = 30000;  // to the window and to the first probe
constexpr unsigned AnswerLimitMs = 2000;  // a longer wait counts as no answer
constexpr unsigned SamplePeriodMs = 10;
constexpr unsigned FlapPeriodMs = 1000;
constexpr unsigned CloseBoundMs = 30000;

enum class ServerMode { Answering, Hanging, Flapping };

struct ModeResult {
  const char* Name = "";
  std::vector<double> AnswersMs;
  std::size_t NoAnswer = 0;
  std::size_t Probes = 0;
  std::string Failure;  // why the mode could not be measured
};

// Takes the server down (connections refused) and up again, each for a
// second, until destroyed; it leaves the server up.
class Flapper {
 public:
  explicit Flapper(std::shared_ptr<vtest::LoopbackServer> Server)
      : FStop(std::make_shared<UniqueHandle>(CreateEventA(nullptr, TRUE, FALSE, nullptr))) {
    FWorker = std::make_unique<Worker>([Server, Stop = FStop] {
      bool Up = true;
      while (WaitForSingleObject(Stop->Get(), FlapPeriodMs) == WAIT_TIMEOUT) {
        Up ? Server->Down() : Server->Up();
        Up = !Up;
      }
      if (!Up) Server->Up();
    });
  }
  ~Flapper() {
    SetEvent(FStop->Get());
    FWorker.reset();
  }
  Flapper(const Flapper&) = delete;
  Flapper& operator=(const Flapper&) = delete;

 private:
  std::shared_ptr<UniqueHandle> FStop;
  std::unique_ptr<Worker> FWorker;
};

// WM_NULL every ~10 ms for DurationMs.
void Sample(HWND Window, unsigned DurationMs, ModeResult& Result) {
  const double End = NowMs() + DurationMs;
  while (NowMs() < End) {
    if (auto Ms = AnswerMs(Window, AnswerLimitMs))
      Result.AnswersMs.push_back(*Ms);
    else
      ++Result.NoAnswer;
    Sleep(SamplePeriodMs);
  }
}

bool FirstProbeArrived(const vtest::LoopbackServer& Server, ServerMode Mode) {
  return Mode == ServerMode::Hanging ? Server.WaitForHung(1, StartBoundMs) : Server.WaitForRequests(1, StartBoundMs);
}

ModeResult Measure(ServerMode Mode, const char* Name, const Plan& P) {
  ModeResult Result;
  Result.Name = Name;
  auto Server = std::make_shared<vtest::LoopbackServer>();
  if (Mode == ServerMode::Hanging) Server->SetAnswer(vtest::Answer::Hang);
  RealExe Exe(ExeSettings(Server->Url(), 1));
  Exe.Start();
  HWND Window = Exe.WaitForWindow(StartBoundMs);
  if (!Window) {
    Result.Failure = "timed out waiting for the window";
    return Result;
  }
  if (!FirstProbeArrived(*Server, Mode)) {
    Result.Failure = "timed out waiting for the first probe";
    return Result;
  }
  {
    std::unique_ptr<Flapper> Flapping;
    if (Mode == ServerMode::Flapping) Flapping = std::make_unique<Flapper>(Server);
    const std::size_t Before = Server->RequestCount();
    Sample(Window, P.AnswerSeconds * 1000, Result);
    Result.Probes = Server->RequestCount() - Before;
  }
  if (!Exe.Close(Window, CloseBoundMs)) Result.Failure = "timed out waiting for the exit after WM_CLOSE";
  return Result;
}

std::string Render(const Plan& P, const std::vector<ModeResult>& Modes) {
  Table Out(
      {"server", "answers", "p50 ms", "p99 ms", "max ms", "p99 / answering p99", "no answer in 2 s", "requests seen"});
  const double BaseP99 = Summarize(Modes.front().AnswersMs).P99;
  for (const ModeResult& M : Modes) {
    const Summary S = Summarize(M.AnswersMs);
    if (S.Count == 0) {
      Out.Add({M.Name, "0", M.Failure.empty() ? "no answers" : M.Failure});
      continue;
    }
    Out.Add({M.Name + (M.Failure.empty() ? std::string() : " (" + M.Failure + ")"), Count(S.Count), Fixed(S.Median),
             Fixed(S.P99), Fixed(S.Max), Ratio(S.P99, BaseP99), Count(static_cast<long long>(M.NoAnswer)),
             Count(static_cast<long long>(M.Probes))});
  }
  return "## Window answer times\n\nVintrel.exe with interval=1, its window sent WM_NULL "
         "(SendMessageTimeout, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2 s limit) every ~10 ms for " +
         std::to_string(P.AnswerSeconds) +
         " s per server mode, from the first probe on. Hanging: the server reads the request and never answers. "
         "Flapping: the server refuses connections and answers in turns of one second. Requests seen: requests "
         "that reached the server during the sampling.\n\n" +
         Out.Render() + "\n";
}

}  // namespace

std::string AnswerTimesSection(const Plan& P) {
  std::vector<ModeResult> Modes;
  Modes.push_back(Measure(ServerMode::Answering, "answering 200", P));
  Modes.push_back(Measure(ServerMode::Hanging, "hanging", P));
  Modes.push_back(Measure(ServerMode::Flapping, "flapping (refused / 200)", P));
  return Render(P, Modes);
}

}  // namespace bench
