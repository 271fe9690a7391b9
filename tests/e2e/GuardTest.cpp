// One copy at a time, with real processes: the file name decides which
// copies count as the same program.

#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using vtest::LoopbackServer;
using vtest::Program;
using vtest::TempDir;
using vtest::WaitUntil;

// The message box a process shows, if any.
HWND BoxOf(DWORD ProcessId) { return vtest::WindowOf(ProcessId, "#32770", true); }

std::string TextOf(HWND Window) {
  char Text[512] = "";
  GetWindowTextA(Window, Text, sizeof Text);
  return Text;
}

void Settings(const TempDir& Dir, const LoopbackServer& Server) {
  Dir.Write("Vintrel.ini", "[config]\r\nurl=" + Server.Url() + "\r\ninterval=60\r\n");
}

TEST(Guard, ASecondStartOfTheSameNameShowsTheMessageThenWakesTheFirstAndQuits) {
  LoopbackServer Server;
  TempDir First, Second;
  Settings(First, Server);
  Settings(Second, Server);
  // The same file name in another folder: the instance name is "Probe".
  Program Running(First.Path(), "PROBE.EXE"), Again(Second.Path(), "PROBE.EXE");
  Running.Start();
  HWND Window = Running.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  ASSERT_TRUE(Server.WaitForRequests(1, 10000));
  const std::string IniBefore = Second.Read("Vintrel.ini");
  // A hidden top-level window of this process hears what every application
  // hears: the message registered under the instance name.
  HWND Listener = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(Listener, nullptr);
  const UINT Wake = RegisterWindowMessageA("Probe");

  Again.Start();
  HWND Box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (Box = BoxOf(Again.ProcessId())) != nullptr; }, 15000));
  EXPECT_EQ(TextOf(Box), "Probe");  // the default title, before the program sets its own
  EXPECT_EQ(TextOf(GetDlgItem(Box, 0xFFFF)), "Only one instance of Probe can be executed !");
  // Nothing more happens while the box waits: no exit, no window, no files.
  EXPECT_FALSE(WaitUntil([&] { return Again.WaitForExit(0) || Again.WaitForWindow("TVintrelF", 0); }, 300));
  EXPECT_EQ(Second.Read("Vintrel.ini"), IniBefore);

  MSG Heard;
  EXPECT_FALSE(PeekMessageA(&Heard, Listener, Wake, Wake, PM_REMOVE));
  PostMessageA(Box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(Again.WaitForExit(15000));
  EXPECT_EQ(Again.ExitCode(), 0u);
  // Leaving, it woke every application with that message.
  bool Woken = false;
  EXPECT_TRUE(WaitUntil(
      [&] {
        while (!Woken && PeekMessageA(&Heard, nullptr, 0, 0, PM_REMOVE))
          Woken = Heard.hwnd == Listener && Heard.message == Wake;
        return Woken;
      },
      5000));
  DestroyWindow(Listener);
  // It made and destroyed its window, and so wrote its settings.
  EXPECT_NE(Second.Read("Vintrel.ini").find("store.log=0"), std::string::npos);
  // The first copy runs on, its window still hidden.
  EXPECT_FALSE(Running.WaitForExit(500));
  EXPECT_FALSE(IsWindowVisible(Window));
  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Running.WaitForExit(15000));
  EXPECT_EQ(Running.ExitCode(), 0u);
}

TEST(Guard, ACopyUnderAnotherNameRunsBeside) {
  LoopbackServer Server;
  TempDir First, Second;
  Settings(First, Server);
  Settings(Second, Server);
  Program One(First.Path(), "Vintrel.exe"), Other(Second.Path(), "Vintrel2.exe");
  One.Start();
  HWND OneWindow = One.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(OneWindow, nullptr);
  Other.Start();
  HWND OtherWindow = Other.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(OtherWindow, nullptr);
  EXPECT_TRUE(Server.WaitForRequests(2, 10000));
  EXPECT_EQ(BoxOf(Other.ProcessId()), nullptr);
  for (auto [Window, Process] : {std::pair{OneWindow, &One}, std::pair{OtherWindow, &Other}}) {
    PostMessageA(Window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Process->WaitForExit(15000));
    EXPECT_EQ(Process->ExitCode(), 0u);
  }
}

TEST(Guard, TenStartsAtTheSameMomentLeaveOneRunning) {
  LoopbackServer Server;
  std::vector<std::unique_ptr<TempDir>> Dirs;
  std::vector<std::unique_ptr<Program>> Copies;
  for (int I = 0; I < 10; ++I) {
    Dirs.push_back(std::make_unique<TempDir>());
    Settings(*Dirs.back(), Server);
    Copies.push_back(std::make_unique<Program>(Dirs.back()->Path(), "Racer.exe"));
  }
  for (auto& Copy : Copies) Copy->Start();
  // Every later copy shows its message: answer them all, as they come.
  auto Running = [&] {
    int Count = 0;
    for (auto& Copy : Copies) Count += Copy->WaitForExit(0) ? 0 : 1;
    return Count;
  };
  auto AnswerBoxes = [&] {
    for (auto& Copy : Copies)
      if (HWND Box = BoxOf(Copy->ProcessId())) PostMessageA(Box, WM_COMMAND, IDOK, 0);
    return Running() == 1;
  };
  ASSERT_TRUE(WaitUntil(AnswerBoxes, 60000)) << Running() << " copies run";
  // And it stays one.
  EXPECT_FALSE(WaitUntil([&] { return Running() != 1; }, 1000));
  for (auto& Copy : Copies) {
    if (Copy->WaitForExit(0)) {
      EXPECT_EQ(Copy->ExitCode(), 0u);
      continue;
    }
    HWND Window = Copy->WaitForWindow("TVintrelF", 15000);
    ASSERT_NE(Window, nullptr);
    EXPECT_EQ(BoxOf(Copy->ProcessId()), nullptr);
    PostMessageA(Window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Copy->WaitForExit(15000));
  }
}

}  // namespace
