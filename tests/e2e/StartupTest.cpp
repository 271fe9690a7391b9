// The real program under Wine: started as a user starts it, against a
// loopback server named in its settings file.

#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using vtest::Answer;
using vtest::LoopbackServer;
using vtest::Program;
using vtest::TempDir;

void WriteSettings(const TempDir& Dir, const std::string& URL) {
  Dir.Write("Vintrel.ini", "[config]\r\nurl=" + URL + "\r\ninterval=60\r\n");
}

// How long the window takes to answer a message, or -1 when it does not
// within the limit.
long AnswerTimeMs(HWND Window, UINT LimitMs) {
  DWORD_PTR Result = 0;
  ULONGLONG Start = GetTickCount64();
  if (!SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, LimitMs, &Result)) return -1;
  return static_cast<long>(GetTickCount64() - Start);
}

TEST(Startup, StartsHiddenProbesAtOnceAndClosesWithExitCodeZero) {
  TempDir Dir;
  LoopbackServer Server;
  WriteSettings(Dir, Server.Url("/start"));
  Program Vintrel(Dir.Path());
  Vintrel.Start();

  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  // The first probe does not wait for the 60-second interval.
  ASSERT_TRUE(Server.WaitForRequests(1, 10000));
  EXPECT_EQ(Server.Requests()[0].RequestLine, "GET /start HTTP/1.1");
  EXPECT_EQ(Server.Requests()[0].UserAgent, "TKVRINetNotify");
  EXPECT_FALSE(IsWindowVisible(Window));
  // The hidden application window carries the title.
  HWND AppWindow = Vintrel.WaitForWindow("TApplication", 1000);
  ASSERT_NE(AppWindow, nullptr);
  char Title[64] = "";
  GetWindowTextA(AppWindow, Title, sizeof Title);
  EXPECT_STREQ(Title, "Vintrel");
  EXPECT_FALSE(IsWindowVisible(AppWindow));

  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
}

TEST(Startup, TheWindowAnswersAtOnceWhileTheServerHangsAndClosingDoesNotWaitForTheProbe) {
  TempDir Dir;
  LoopbackServer Server;
  Server.SetAnswer(Answer::Hang);
  WriteSettings(Dir, Server.Url());
  Program Vintrel(Dir.Path());
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  ASSERT_TRUE(Server.WaitForHung(1, 10000));

  long Slowest = 0;
  for (int I = 0; I < 20; ++I) {
    long Time = AnswerTimeMs(Window, 100);
    ASSERT_GE(Time, 0) << "no answer within 100 ms while the probe hangs";
    Slowest = std::max(Slowest, Time);
    Sleep(25);
  }
  RecordProperty("SlowestAnswerMs", static_cast<int>(Slowest));

  ULONGLONG Start = GetTickCount64();
  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
  RecordProperty("ExitMs", static_cast<int>(GetTickCount64() - Start));
}

}  // namespace
