// The probe against a loopback server, with the real WinINet calls (counted
// through the platform seam, so every handle opened is seen closed).

#include "monitor/INet.h"
#include "toolkit/Exceptions.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Pump.h"
#include "tests/support/Seams.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace {

using vtest::Answer;
using vtest::LoopbackServer;
using vtest::PumpFor;
using vtest::PumpUntil;

// Counts the handles the worker opens and closes, then makes the real call.
struct HandleCounter {
  static std::atomic<int>& Opened() {
    static std::atomic<int> Count{0};
    return Count;
  }
  static std::atomic<int>& Closed() {
    static std::atomic<int> Count{0};
    return Count;
  }
  // The access type of the last session and the flags of the last request.
  static std::atomic<DWORD>& Access() {
    static std::atomic<DWORD> Value{~0u};
    return Value;
  }
  static std::atomic<DWORD>& Flags() {
    static std::atomic<DWORD> Value{~0u};
    return Value;
  }
  static HINTERNET WINAPI Open(LPCSTR Agent, DWORD Access, LPCSTR Proxy, LPCSTR Bypass, DWORD Flags) {
    HandleCounter::Access() = Access;
    HINTERNET H = ::InternetOpenA(Agent, Access, Proxy, Bypass, Flags);
    if (H) ++Opened();
    return H;
  }
  static HINTERNET WINAPI OpenUrl(HINTERNET S, LPCSTR Url, LPCSTR Headers, DWORD Length, DWORD Flags, DWORD_PTR Ctx) {
    HandleCounter::Flags() = Flags;
    HINTERNET H = ::InternetOpenUrlA(S, Url, Headers, Length, Flags, Ctx);
    if (H) ++Opened();
    return H;
  }
  static BOOL WINAPI Close(HINTERNET H) {
    ++Closed();
    return ::InternetCloseHandle(H);
  }
};

// The options the worker gives each session, as (option, value) pairs.
struct OptionRecorder {
  static std::vector<std::pair<DWORD, DWORD>>& Options() {
    static std::vector<std::pair<DWORD, DWORD>> Seen;
    return Seen;
  }
  static BOOL WINAPI Set(HINTERNET Handle, DWORD Option, LPVOID Buffer, DWORD Length) {
    if (Length == sizeof(DWORD)) Options().push_back({Option, *static_cast<DWORD*>(Buffer)});
    return ::InternetSetOptionA(Handle, Option, Buffer, Length);
  }
};

struct Event {
  bool IsConnected;
  DWORD Thread;
  TObject* Sender;
};

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HandleCounter::Opened() = 0;
    HandleCounter::Closed() = 0;
    Platform().InternetOpenA = HandleCounter::Open;
    Platform().InternetOpenUrlA = HandleCounter::OpenUrl;
    Platform().InternetCloseHandle = HandleCounter::Close;
    Probe = std::make_unique<TKVRINetNotify>(nullptr);
    Probe->OnDownNotification = [this](TObject* Sender, bool IsConnected) {
      Events.push_back({IsConnected, GetCurrentThreadId(), Sender});
    };
  }
  void TearDown() override {
    // No worker may outlive the test with the seam swapped.
    EXPECT_TRUE(AllHandlesClosed(5000));
  }

  bool WaitForEvents(size_t Count, unsigned TimeoutMs = 10000) {
    return PumpUntil([&] { return Events.size() >= Count; }, TimeoutMs);
  }
  static bool AllHandlesClosed(unsigned TimeoutMs) {
    return PumpUntil([] { return HandleCounter::Opened() == HandleCounter::Closed(); }, TimeoutMs);
  }
  // Probes one address and returns the single result it reports.
  bool ProbeOnce(const std::string& URL) {
    Events.clear();
    Probe->SetURL(URL);
    Probe->Start();
    EXPECT_TRUE(WaitForEvents(1)) << URL;
    PumpFor(50);
    EXPECT_EQ(Events.size(), 1u) << URL;
    EXPECT_FALSE(Probe->Probing());
    return !Events.empty() && Events[0].IsConnected;
  }

  vtest::ScopedPlatform Seam;
  std::unique_ptr<TKVRINetNotify> Probe;
  std::vector<Event> Events;
};

TEST_F(ProbeTest, AnyAnswerCountsAsConnectedAndArrivesOnTheUserInterfaceThread) {
  LoopbackServer Server;
  Server.SetSlowDelayMs(300);
  for (Answer A : {Answer::Ok200, Answer::NotFound404, Answer::Error500, Answer::Slow}) {
    Server.SetAnswer(A);
    EXPECT_TRUE(ProbeOnce(Server.Url("/Status/Page")));
    ASSERT_EQ(Events.size(), 1u);
    EXPECT_EQ(Events[0].Thread, GetCurrentThreadId());
    EXPECT_EQ(Events[0].Sender, Probe.get());
    EXPECT_TRUE(Probe->Connected());
  }
  // The system's proxy settings, and never an answer from the cache.
  EXPECT_EQ(HandleCounter::Access(), static_cast<DWORD>(INTERNET_OPEN_TYPE_PRECONFIG));
  EXPECT_EQ(HandleCounter::Flags(), static_cast<DWORD>(INTERNET_FLAG_RELOAD));
  // What the server saw: the normalised (lower-cased) path, the agent, and
  // one request per probe.
  ASSERT_EQ(Server.RequestCount(), 4u);
  for (const vtest::Request& R : Server.Requests()) {
    EXPECT_EQ(R.RequestLine, "GET /status/page HTTP/1.1");
    EXPECT_EQ(R.UserAgent, "TKVRINetNotify");
  }
}

TEST_F(ProbeTest, UnreachableOrUnusableAddressesReportDisconnected) {
  LoopbackServer Server;
  // A server that reads the request and then resets or closes the
  // connection gave no answer, whatever handle WinINet makes of it.
  for (Answer A : {Answer::Reset, Answer::Close}) {
    Server.SetAnswer(A);
    for (int Round = 0; Round < 4; ++Round) EXPECT_FALSE(ProbeOnce(Server.Url())) << static_cast<int>(A);
  }
  EXPECT_EQ(Server.RequestCount(), 8u);
  Server.Down();
  EXPECT_FALSE(ProbeOnce(Server.Url()));
  EXPECT_FALSE(ProbeOnce("http://127.0.0.1:" + std::to_string(LoopbackServer::RefusedPort()) + "/"));
  // A name with an empty label fails to resolve without reaching any resolver.
  EXPECT_FALSE(ProbeOnce("http://a..b/"));
  // "gopher://" normalises to a bare "http://".
  EXPECT_FALSE(ProbeOnce("gopher://"));
  EXPECT_EQ(Probe->URL(), "http://");
  EXPECT_FALSE(Probe->Connected());
}

TEST_F(ProbeTest, TheAgentIsTrimmedAndSentAsSet) {
  LoopbackServer Server;
  Probe->SetAgent("  Custom Agent 1.0 \t");
  EXPECT_TRUE(ProbeOnce(Server.Url()));
  ASSERT_EQ(Server.RequestCount(), 1u);
  EXPECT_EQ(Server.Requests()[0].UserAgent, "Custom Agent 1.0");
}

TEST_F(ProbeTest, StartWhileAWorkerRunsDoesNothingEvenAfterTheAddressChanged) {
  LoopbackServer First, Second;
  First.SetAnswer(Answer::Slow);
  First.SetSlowDelayMs(400);
  Probe->SetURL(First.Url());
  Probe->Start();
  ASSERT_TRUE(First.WaitForRequests(1, 5000));
  Probe->SetURL(Second.Url());
  Probe->Start();
  EXPECT_EQ(Probe->URL(), NormalizeURL(Second.Url()));
  ASSERT_TRUE(WaitForEvents(1));
  PumpFor(300);
  EXPECT_EQ(Events.size(), 1u);
  EXPECT_TRUE(Events[0].IsConnected);
  EXPECT_EQ(First.RequestCount(), 1u);
  EXPECT_EQ(Second.RequestCount(), 0u);
}

// Holds the worker inside InternetOpenA until the test lets it go.
struct GatedOpen {
  static HANDLE& Gate() {
    static HANDLE Event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return Event;
  }
  static std::atomic<bool>& Entered() {
    static std::atomic<bool> Flag{false};
    return Flag;
  }
  static HINTERNET WINAPI Open(LPCSTR Agent, DWORD Access, LPCSTR Proxy, LPCSTR Bypass, DWORD Flags) {
    Entered() = true;
    WaitForSingleObject(Gate(), 10000);
    return HandleCounter::Open(Agent, Access, Proxy, Bypass, Flags);
  }
};

TEST_F(ProbeTest, AStoppedWorkerGivesUpReportsNothingAndTheNextStartProbesTheNewAddressAtOnce) {
  LoopbackServer Old, New;
  Probe->Stop();  // no worker: nothing happens
  EXPECT_FALSE(Probe->Probing());

  ResetEvent(GatedOpen::Gate());
  GatedOpen::Entered() = false;
  Platform().InternetOpenA = GatedOpen::Open;
  Probe->SetURL(Old.Url());
  Probe->Start();
  ASSERT_TRUE(PumpUntil([] { return GatedOpen::Entered().load(); }, 5000));
  Probe->Stop();
  EXPECT_FALSE(Probe->Probing());
  SetEvent(GatedOpen::Gate());
  Probe->SetURL(New.Url());
  Probe->Start();
  ASSERT_TRUE(WaitForEvents(1));
  EXPECT_TRUE(AllHandlesClosed(5000));
  PumpFor(200);
  // Only the new address's answer; the stopped worker never opened its own.
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_TRUE(Events[0].IsConnected);
  EXPECT_EQ(New.RequestCount(), 1u);
  EXPECT_EQ(Old.RequestCount(), 0u);
}

TEST_F(ProbeTest, StopAfterTheAnswerButBeforeTheCompletionReportsNothing) {
  LoopbackServer Server;
  Probe->SetURL(Server.Url());
  Probe->Start();
  // The worker closes its session last, then waits for this thread to run
  // its completion: no message is handled meanwhile.
  const ULONGLONG Deadline = GetTickCount64() + 5000;
  while (HandleCounter::Closed() < 2 && GetTickCount64() < Deadline) Sleep(5);
  ASSERT_EQ(HandleCounter::Closed(), 2);
  EXPECT_TRUE(Events.empty());
  Probe->Stop();
  EXPECT_FALSE(Probe->Probing());
  PumpFor(300);
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Server.RequestCount(), 1u);
}

TEST_F(ProbeTest, StartFromInsideTheEventHandlerIsIgnored) {
  LoopbackServer Server;
  Probe->OnDownNotification = [this](TObject* Sender, bool IsConnected) {
    Events.push_back({IsConnected, GetCurrentThreadId(), Sender});
    Probe->Start();
    EXPECT_TRUE(Probe->Probing());  // the finished worker is still registered
  };
  EXPECT_TRUE(ProbeOnce(Server.Url()));
  PumpFor(300);
  EXPECT_EQ(Events.size(), 1u);
  EXPECT_EQ(Server.RequestCount(), 1u);
  EXPECT_FALSE(Probe->Probing());
}

TEST_F(ProbeTest, AFailingHandlerStillLetsTheNextProbeStart) {
  LoopbackServer Server;
  Platform().MessageBoxA = vtest::Recorder::MessageBoxA;
  vtest::Recorder::Boxes().clear();
  Probe->OnDownNotification = [](TObject*, bool) { throw Exception("handler failed"); };
  Probe->SetURL(Server.Url());
  Probe->Start();
  ASSERT_TRUE(PumpUntil([] { return !vtest::Recorder::Boxes().empty(); }, 10000));
  EXPECT_EQ(vtest::Recorder::Boxes()[0].Text, "handler failed.");
  EXPECT_FALSE(Probe->Probing());
  Probe->Start();
  EXPECT_TRUE(Server.WaitForRequests(2, 5000));
}

TEST_F(ProbeTest, AComponentDestroyedWhileItsWorkerHangsHearsNothingAndNothingCrashes) {
  LoopbackServer Server;
  Server.SetAnswer(Answer::Hang);
  Probe->SetURL(Server.Url());
  Probe->Start();
  ASSERT_TRUE(Server.WaitForHung(1, 5000));
  Probe.reset();
  // Let the worker go: it finishes, finds no one to tell, and frees itself.
  Server.ReleaseHung();
  EXPECT_TRUE(AllHandlesClosed(10000));
  PumpFor(300);
  EXPECT_TRUE(Events.empty());
}

TEST_F(ProbeTest, StopAndStartPressedAgainAndAgainAgainstASilentServerKeepAtMostTwoWorkersOut) {
  LoopbackServer Server;
  Server.SetAnswer(Answer::Hang);
  Probe->SetURL(Server.Url());
  auto Threads = [] {
    HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 Entry = {};
    Entry.dwSize = sizeof Entry;
    unsigned Count = 0;
    for (BOOL More = Thread32First(Snapshot, &Entry); More; More = Thread32Next(Snapshot, &Entry))
      Count += Entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(Snapshot);
    return Count;
  };
  const unsigned Before = Threads();
  unsigned Most = 0;
  // 50 presses of Stop and Start in 10 s, as an impatient user makes them.
  for (int I = 0; I < 50; ++I) {
    Probe->Start();
    EXPECT_TRUE(Probe->Probing());
    PumpFor(200);
    Most = std::max(Most, Threads() - Before);
    Probe->Stop();
  }
  // Each worker holds a request, and the server a thread for it (the system
  // may start a pool thread of its own meanwhile); without the bound, 50 and
  // 100.
  EXPECT_LE(Server.HungCount(), 2u);
  EXPECT_LE(Most, 6u);
  RecordProperty("MostThreadsAdded", static_cast<int>(Most));
  EXPECT_EQ(Probe->LetGo(), 2u);
  // A third worker waits until one of those two has ended, then probes.
  Probe->Start();
  EXPECT_TRUE(Probe->Probing());
  PumpFor(200);
  EXPECT_LE(Server.HungCount(), 2u);
  EXPECT_TRUE(Events.empty());
  Server.SetAnswer(Answer::Ok200);
  Server.ReleaseHung();
  ASSERT_TRUE(WaitForEvents(1));
  EXPECT_TRUE(Events[0].IsConnected);
  // The waiting start went out as soon as one let-go worker ended: the other
  // may end after its answer, so that is waited for, not looked at.
  EXPECT_TRUE(PumpUntil([&] { return Probe->LetGo() == 0; }, 10000)) << Probe->LetGo();
  EXPECT_FALSE(Probe->Probing());
}

TEST_F(ProbeTest, AServerThatNeverAnswersIsGivenUpAfterTheTimeLimitAndItsLateAnswerIsNeverHeard) {
  OptionRecorder::Options().clear();
  Platform().InternetSetOptionA = OptionRecorder::Set;
  LoopbackServer Hanging, Answering;
  Hanging.SetAnswer(Answer::Hang);
  EXPECT_EQ(Probe->TimeLimit(), 60000u);
  Probe->SetTimeLimit(400);
  Probe->SetURL(Hanging.Url());
  Probe->Start();
  ASSERT_TRUE(Hanging.WaitForHung(1, 5000));
  // Given up with the request still held: long before its 30 s time-outs.
  ASSERT_TRUE(WaitForEvents(1, 10000));
  EXPECT_EQ(Hanging.HungCount(), 1u);
  EXPECT_FALSE(Events[0].IsConnected);
  EXPECT_EQ(Events[0].Thread, GetCurrentThreadId());
  EXPECT_FALSE(Probe->Connected());
  EXPECT_FALSE(Probe->Probing());
  // The session carried the time-outs that Windows uses by default, and the
  // request its own send and receive time-outs before it was sent.
  EXPECT_EQ(OptionRecorder::Options(),
            (std::vector<std::pair<DWORD, DWORD>>{{INTERNET_OPTION_CONNECT_TIMEOUT, 60000u},
                                                  {INTERNET_OPTION_SEND_TIMEOUT, 30000u},
                                                  {INTERNET_OPTION_RECEIVE_TIMEOUT, 30000u},
                                                  {INTERNET_OPTION_SEND_TIMEOUT, 30000u},
                                                  {INTERNET_OPTION_RECEIVE_TIMEOUT, 30000u}}));

  // The next probe starts at once. While it waits for its answer, the stuck
  // worker gets one (an empty answer: a connection under Wine) and ends; what
  // it found is never reported, and the running probe reports its own.
  Answering.SetAnswer(Answer::Slow);
  Answering.SetSlowDelayMs(300);
  Probe->SetTimeLimit(10000);
  Probe->SetURL("http://127.0.0.1:" + std::to_string(LoopbackServer::RefusedPort()) + "/");
  Probe->Start();
  ASSERT_TRUE(WaitForEvents(2));
  EXPECT_FALSE(Events[1].IsConnected);
  Probe->SetURL(Answering.Url());
  Probe->Start();
  ASSERT_TRUE(Answering.WaitForRequests(1, 5000));
  Hanging.ReleaseHung();
  ASSERT_TRUE(WaitForEvents(3));
  EXPECT_TRUE(Events[2].IsConnected);
  EXPECT_TRUE(AllHandlesClosed(5000));
  PumpFor(300);
  EXPECT_EQ(Events.size(), 3u);
}

TEST_F(ProbeTest, ASilentServersProbeEndsByItselfAtTheRequestTimeOutSoNoThreadStaysBlocked) {
  LoopbackServer Silent;
  Silent.SetAnswer(Answer::Hang);
  Probe->SetTimeLimit(0);  // no give-up: the worker's own time-outs end it
  Probe->SetRequestTimeout(500);
  Probe->SetURL(Silent.Url());
  OptionRecorder::Options().clear();
  Platform().InternetSetOptionA = OptionRecorder::Set;
  Probe->Start();
  ASSERT_TRUE(Silent.WaitForHung(1, 5000));
  ASSERT_TRUE(WaitForEvents(1, 10000));
  // Ended by the request's own receive time-out, as set, not the default 30 s.
  EXPECT_NE(std::find(OptionRecorder::Options().begin(), OptionRecorder::Options().end(),
                      std::pair<DWORD, DWORD>{INTERNET_OPTION_RECEIVE_TIMEOUT, 500u}),
            OptionRecorder::Options().end());
  EXPECT_FALSE(Events[0].IsConnected);
  // The worker's call ended and closed everything while the server still
  // holds the connection.
  EXPECT_TRUE(AllHandlesClosed(5000));
  EXPECT_EQ(Silent.HungCount(), 1u);
}

TEST_F(ProbeTest, OnceItsOwnersDestructionHasBegunTheProbeReportsAndStartsNothing) {
  LoopbackServer Server;
  Server.SetAnswer(Answer::Slow);
  Server.SetSlowDelayMs(300);
  TComponent Owner(nullptr);
  auto* Owned = new TKVRINetNotify(&Owner);  // owned: freed with Owner
  Owned->OnDownNotification = [this](TObject* Sender, bool IsConnected) {
    Events.push_back({IsConnected, GetCurrentThreadId(), Sender});
  };
  Owned->SetURL(Server.Url());
  Owned->Start();
  ASSERT_TRUE(Server.WaitForRequests(1, 5000));
  Owner.BeginDestruction();
  EXPECT_TRUE(Owned->Destroying());
  EXPECT_FALSE(Owned->Probing());
  Owned->Start();
  // The worker gets its answer and ends; nobody hears of it.
  EXPECT_TRUE(AllHandlesClosed(5000));
  PumpFor(300);
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Server.RequestCount(), 1u);
}

}  // namespace
