// The real program against servers that misbehave as real ones do: one that
// fails slowly while the user closes the program, one that accepts and never
// answers.

#include "tests/support/Desktop.h"
#include "tests/support/KeptLog.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using vtest::Answer;
using vtest::LoopbackServer;
using vtest::Program;
using vtest::TempDir;
using vtest::WaitUntil;

// Monitoring every second, silent, with the log kept.
void WriteSettings(const TempDir& Dir, const std::string& URL) {
  Dir.Write("Vintrel.ini", "[config]\r\nurl=" + URL +
                               "\r\ninterval=1\r\n[sound]\r\nconnect.sound=0\r\ndisconnect.sound=0\r\n"
                               "[log]\r\nstore.log=1\r\n");
}

std::string LogView(HWND Window) { return vtest::ChildText(Window, "TMemo"); }

// Whether the log view's lines, in order, begin with these texts.
bool LogReads(HWND Window, const std::vector<std::string>& Starts) {
  std::vector<std::string> Lines = TempDir::Lines(LogView(Window));
  if (Lines.size() != Starts.size()) return false;
  for (size_t I = 0; I < Lines.size(); ++I)
    if (Lines[I].rfind(Starts[I] + " - ", 0) != 0) return false;
  return true;
}

TEST(Monitoring, ClosingRightAfterAProbeThatWillChangeTheStateWentOutEndsCleanly) {
  // Three rounds: the program must end every time, not just by luck.
  for (int Round = 1; Round <= 3; ++Round) {
    SCOPED_TRACE("round " + std::to_string(Round));
    TempDir Dir;
    LoopbackServer Server;
    Server.SetSlowDelayMs(1500);
    WriteSettings(Dir, Server.Url());
    Program Vintrel(Dir.Path());
    Vintrel.Start();
    HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
    ASSERT_NE(Window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return LogReads(Window, {"Connected to " + Server.Url()}); }, 10000))
        << LogView(Window);

    // The next probe fails slowly: no answer for 1.5 s, then a reset. Its
    // result, disconnected, arrives while the program is going down (under
    // Wine, removing the tray icon alone takes about two seconds).
    Server.SetAnswer(Answer::SlowReset);
    const size_t Seen = Server.RequestCount();
    ASSERT_TRUE(Server.WaitForRequests(Seen + 1, 10000));
    PostMessageA(Window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Vintrel.WaitForExit(15000)) << "still running: crashed (Wine's error box holds it) or hung";
    EXPECT_EQ(Vintrel.ExitCode(), 0u);

    // Both files as at any end of a run.
    std::vector<std::string> Log = TempDir::Lines(Dir.Read("Vintrel.log"));
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_EQ(Log[0].rfind("Connected to " + Server.Url() + " - ", 0), 0u) << Log[0];
    EXPECT_NE(Dir.Read("Vintrel.ini").find("store.log=1\r\n"), std::string::npos);
  }
}

TEST(Monitoring, ServersThatCloseOrFallSilentAreDisconnectedAndASilentOneLeavesNoThreadsBehind) {
  TempDir Dir;
  LoopbackServer Server;
  WriteSettings(Dir, Server.Url());
  Program Vintrel(Dir.Path());
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  const std::string Connected = "Connected to " + Server.Url();
  std::vector<std::string> Story = {Connected};
  auto Told = [&](const std::string& Line, unsigned TimeoutMs) {
    Story.push_back(Line);
    return WaitUntil([&] { return LogReads(Window, Story); }, TimeoutMs);
  };
  ASSERT_TRUE(WaitUntil([&] { return LogReads(Window, Story); }, 10000)) << LogView(Window);

  // It reads the request and closes the connection without a word.
  Server.SetAnswer(Answer::Close);
  ASSERT_TRUE(Told("Disconnected", 10000)) << LogView(Window);
  Server.SetAnswer(Answer::Ok200);
  ASSERT_TRUE(Told(Connected, 10000)) << LogView(Window);
  // The threads of a program that probes an answering server every second.
  unsigned Answering = 0;
  for (const ULONGLONG Until = GetTickCount64() + 3000; GetTickCount64() < Until; Sleep(20))
    Answering = std::max(Answering, Vintrel.ThreadCount());
  ASSERT_GT(Answering, 0u);

  // It accepts the connection, reads the request and says nothing, for good.
  // The check ends at its 30 s receive time-out (well before the probe's
  // 60 s limit) and the next follows at once; all the while the program
  // gains no threads. (Time-outs over minutes, with a shorter time-out set:
  // the probe's own tests.)
  Server.SetAnswer(Answer::Hang);
  ASSERT_TRUE(Server.WaitForHung(1, 10000));
  unsigned Most = 0;
  auto Sampled = [&](const std::function<bool()>& Done) {
    Most = std::max(Most, Vintrel.ThreadCount());
    return Done();
  };
  Story.push_back("Disconnected");
  ASSERT_TRUE(WaitUntil([&] { return Sampled([&] { return LogReads(Window, Story); }); }, 50000)) << LogView(Window);
  EXPECT_TRUE(WaitUntil([&] { return Sampled([&] { return Server.HungCount() >= 2; }); }, 10000));
  RecordProperty("ThreadsAnswering", static_cast<int>(Answering));
  RecordProperty("ThreadsSilentMost", static_cast<int>(Most));
  EXPECT_LE(Most, Answering + 1);

  // Once it answers again, the lamp is green within the interval.
  Server.SetAnswer(Answer::Ok200);
  EXPECT_TRUE(Told(Connected, 10000)) << LogView(Window);

  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
  EXPECT_EQ(TempDir::Lines(Dir.Read("Vintrel.log")).size(), Story.size());
}

// A left click at a point of a window's client area, on the real display.
bool ClickAt(HWND Window, int X, int Y) {
  POINT P = {X, Y};
  ClientToScreen(Window, &P);
  return vtest::Xdotool("mousemove " + std::to_string(P.x) + " " + std::to_string(P.y) + " click 1");
}

// The window's edit that shows this text.
HWND EditShowing(HWND Window, const std::string& Text) { return vtest::FindChild(Window, "TEdit", &Text); }

TEST(Monitoring, StoppedWhileACheckIsOutAndStartedWithAnotherAddressItChecksThatAtOnceAndHearsNoOldAnswer) {
  TempDir Dir;
  LoopbackServer Old, New;
  WriteSettings(Dir, Old.Url());
  Program Vintrel(Dir.Path());
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  const std::string WasConnected = "Connected to " + Old.Url();
  ASSERT_TRUE(WaitUntil([&] { return LogReads(Window, {WasConnected}); }, 10000)) << LogView(Window);
  POINT Icon;
  ASSERT_TRUE(WaitUntil([&] { return vtest::FirstTrayIcon(Icon); }, 10000));

  // The next check waits six seconds for its answer, which says "connected".
  Old.SetSlowDelayMs(6000);
  Old.SetAnswer(Answer::Slow);
  ASSERT_TRUE(Old.WaitForRequests(Old.RequestCount() + 1, 5000));

  // Meanwhile the user opens the window, stops, types another address on
  // the Config page, and starts again from the State page.
  ASSERT_TRUE(vtest::Xdotool("mousemove " + std::to_string(Icon.x) + " " + std::to_string(Icon.y) + " click 1"));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Window) != FALSE; }, 5000));
  const POINT Start = {271, 35}, InfoPage = {29, 31}, ConfigPage = {29, 57};
  ASSERT_TRUE(ClickAt(Window, Start.x, Start.y));
  ASSERT_TRUE(WaitUntil([&] { return LogReads(Window, {WasConnected, "Stopped"}); }, 5000)) << LogView(Window);
  ASSERT_TRUE(ClickAt(Window, ConfigPage.x, ConfigPage.y));
  HWND URL = EditShowing(Window, Old.Url());
  ASSERT_NE(URL, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(URL) && IsWindowEnabled(URL); }, 5000));
  RECT Field;
  GetWindowRect(URL, &Field);
  ASSERT_TRUE(vtest::Xdotool("mousemove " + std::to_string((Field.left + Field.right) / 2) + " " +
                             std::to_string((Field.top + Field.bottom) / 2) + " click 1 key End shift+Home type " +
                             New.Url()));
  ASSERT_TRUE(WaitUntil([&] { return EditShowing(Window, New.Url()) == URL; }, 5000));
  ASSERT_TRUE(ClickAt(Window, InfoPage.x, InfoPage.y));
  ASSERT_TRUE(ClickAt(Window, Start.x, Start.y));

  // The new address is checked now, not once the old server has answered.
  EXPECT_TRUE(New.WaitForRequests(1, 4000));
  const std::string Connected = "Connected to " + New.Url();
  ASSERT_TRUE(WaitUntil(
      [&] {
        return LogReads(Window, {WasConnected, "Stopped", Connected});
      },
      10000))
      << LogView(Window);
  // Well past the old answer's time, the log still tells only what is so.
  ASSERT_TRUE(New.WaitForRequests(10, 20000));
  EXPECT_TRUE(LogReads(Window, {WasConnected, "Stopped", Connected})) << LogView(Window);

  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
  EXPECT_NE(Dir.Read("Vintrel.ini").find("url=" + New.Url() + "\r\n"), std::string::npos);
}

// How a start went: from the process's creation to the first request, and
// the longest the window took to answer a message from its creation until a
// second after that request.
struct StartTimes {
  ULONGLONG FirstProbeMs = 0;
  ULONGLONG LongestAnswerMs = 0;
  bool Answered = true;  // every message within SendMessageTimeout's 5 s
};

StartTimes TimeStart(Program& Vintrel, const LoopbackServer& Server, HWND& Window) {
  StartTimes Times;
  const ULONGLONG Started = GetTickCount64();
  Vintrel.Start();
  Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  if (!Window) return Times;
  ULONGLONG Until = Started + 30000;
  while (GetTickCount64() < Until) {
    if (Times.FirstProbeMs == 0 && Server.RequestCount() > 0) {
      Times.FirstProbeMs = GetTickCount64() - Started;
      Until = GetTickCount64() + 1000;
    }
    DWORD_PTR Result = 0;
    const ULONGLONG Asked = GetTickCount64();
    if (!SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &Result)) {
      Times.Answered = false;
      break;
    }
    Times.LongestAnswerMs = std::max(Times.LongestAnswerMs, GetTickCount64() - Asked);
    Sleep(10);
  }
  return Times;
}

TEST(Monitoring, AKeptLogOfYearsStopsNeitherTheFirstProbeNorTheWindowAndIsWrittenBackWhole) {
  LoopbackServer Server;
  const std::string Kept = vtest::KeptLogOfLines(1000000);  // about 60 MB
  StartTimes Empty, Large;
  for (bool WithLog : {false, true}) {
    SCOPED_TRACE(WithLog ? "1000000 lines" : "no log");
    TempDir Dir;
    Dir.Write("Vintrel.ini", "[config]\r\nurl=" + Server.Url() + "\r\ninterval=60\r\n[log]\r\nstore.log=1\r\n");
    if (WithLog) {
      // On the disk, as a log of years is: 60 MB just written and still in
      // the cache would go out with the first line the run writes through.
      Dir.Write("Vintrel.log", Kept);
      HANDLE Log = CreateFileA(Dir.File("Vintrel.log").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);
      ASSERT_NE(Log, INVALID_HANDLE_VALUE);
      EXPECT_TRUE(FlushFileBuffers(Log));
      CloseHandle(Log);
    }
    const size_t Seen = Server.RequestCount();
    Program Vintrel(Dir.Path());
    HWND Window = nullptr;
    StartTimes Times = TimeStart(Vintrel, Server, Window);
    ASSERT_NE(Window, nullptr);
    ASSERT_GT(Server.RequestCount(), Seen);
    (WithLog ? Large : Empty) = Times;
    // The window answered throughout. How fast, with and without the log:
    // scripts/bench ("Start to first probe" in docs/benchmarks.md).
    RecordProperty(WithLog ? "LargeLogLongestAnswerMs" : "EmptyLogLongestAnswerMs",
                   static_cast<int>(Times.LongestAnswerMs));
    EXPECT_TRUE(Times.Answered);

    ASSERT_TRUE(WaitUntil([&] { return !LogView(Window).empty(); }, 10000));
    PostMessageA(Window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Vintrel.WaitForExit(15000));
    EXPECT_EQ(Vintrel.ExitCode(), 0u);
    // The old log whole, then this run's line.
    const std::string Written = Dir.Read("Vintrel.log");
    const std::string Old = WithLog ? Kept : std::string();
    ASSERT_GE(Written.size(), Old.size());
    EXPECT_TRUE(Written.compare(0, Old.size(), Old) == 0);
    std::vector<std::string> Added = TempDir::Lines(Written.substr(Old.size()));
    ASSERT_EQ(Added.size(), 1u);
    EXPECT_EQ(Added[0].rfind("Connected to " + Server.Url() + " - ", 0), 0u) << Added[0];
  }
  RecordProperty("EmptyLogFirstProbeMs", static_cast<int>(Empty.FirstProbeMs));
  RecordProperty("LargeLogFirstProbeMs", static_cast<int>(Large.FirstProbeMs));
}

}  // namespace
