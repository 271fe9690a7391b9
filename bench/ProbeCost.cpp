#include "bench/ProbeCost.h"

#include "bench/Markdown.h"
#include "bench/Probes.h"
#include "bench/Stats.h"
#include "tests/support/LoopbackServer.h"

#include <vector>

namespace bench {

namespace {

// Far above any answer of a loopback server; a probe still out then is
// counted as timed out, never waited for.
constexpr unsigned ProbeBoundMs = 30000;

struct Series {
  const char* Name;
  std::vector<double> AnsweredMs;
  int Failed = 0;
  int TimedOut = 0;

  void Add(const ProbeResult& R) {
    if (R.Result == ProbeResult::Answered) AnsweredMs.push_back(R.Ms);
    if (R.Result == ProbeResult::Failed) ++Failed;
    if (R.Result == ProbeResult::TimedOut) ++TimedOut;
  }
};

std::string Outcomes(const Series& S) {
  std::string Text = Count(static_cast<long long>(S.AnsweredMs.size()));
  if (S.Failed) Text += ", " + Count(S.Failed) + " failed";
  if (S.TimedOut) Text += ", " + Count(S.TimedOut) + " timed out";
  return Text;
}

struct Rounds {
  Series Thread{"empty thread (create, join)", {}};
  Series Raw{"raw winsock GET, new thread", {}};
  Series Bare{"WinINet calls, new thread", {}};
  Series Component{"TKVRINetNotify component", {}};
};

std::string Render(const Plan& P, const Rounds& R) {
  const Summary Raw = Summarize(R.Raw.AnsweredMs);
  const Summary Bare = Summarize(R.Bare.AnsweredMs);
  Table Out({"probe", "answered", "median ms", "p90 ms", "median / raw GET", "p90 / raw GET", "median / WinINet",
             "p90 / WinINet"});
  for (const Series* S : {&R.Thread, &R.Raw, &R.Bare, &R.Component}) {
    const Summary X = Summarize(S->AnsweredMs);
    // Only the two WinINet users are compared with WinINet.
    const bool UsesWinInet = S == &R.Bare || S == &R.Component;
    Out.Add({S->Name, Outcomes(*S), Fixed(X.Median), Fixed(X.P90), Ratio(X.Median, Raw.Median), Ratio(X.P90, Raw.P90),
             UsesWinInet ? Ratio(X.Median, Bare.Median) : "", UsesWinInet ? Ratio(X.P90, Bare.P90) : ""});
  }
  return "## Probe cost\n\n" + Count(P.ProbeRounds) +
         " rounds against the loopback server answering 200, interleaved (component, WinINet, raw GET, empty "
         "thread, ...). Each time runs from the start of the probe to its result reaching the caller's thread: for "
         "the component from Start() to its OnDownNotification with messages pumped; for the others from "
         "CreateThread to the join. The server, in the same process, serves each connection on a new thread of its "
         "own, so a raw GET holds two thread starts.\n\n" +
         Out.Render() + "\n";
}

}  // namespace

std::string ProbeCostSection(const Plan& P) {
  vtest::LoopbackServer Server;
  const std::string Url = Server.Url();
  ComponentProbe Component(Url);
  Rounds R;
  // One round first, uncounted: it loads WinINet and warms the server.
  for (int Round = -1; Round < P.ProbeRounds; ++Round) {
    const bool Counted = Round >= 0;
    const ProbeResult C = Component.Run(ProbeBoundMs);
    const ProbeResult B = WinInetOnNewThread(Url, ProbeBoundMs);
    const ProbeResult G = SocketGetOnNewThread(Server.Port(), ProbeBoundMs);
    const ProbeResult T = EmptyThread(ProbeBoundMs);
    if (!Counted) continue;
    R.Component.Add(C);
    R.Bare.Add(B);
    R.Raw.Add(G);
    R.Thread.Add(T);
  }
  return Render(P, R);
}

}  // namespace bench
