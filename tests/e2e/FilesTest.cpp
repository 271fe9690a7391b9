// What a run leaves behind: the log of the changes the user lived through and
// the settings as they were set, in the program's folder.

#include "tests/support/Desktop.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using vtest::Answer;
using vtest::LoopbackServer;
using vtest::Program;
using vtest::TempDir;
using vtest::WaitUntil;

TEST(Files, AServerThatGoesUpDownAndFailsLeavesItsStoryInTheLog) {
  LoopbackServer Server;
  TempDir Dir;
  // As the user set it: capitals in the address, a one-second interval, the
  // log kept, no sounds.
  const std::string Typed = "HTTP://127.0.0.1:" + std::to_string(Server.Port()) + "/Ping";
  Dir.Write("Vintrel.ini", "[config]\r\nurl=" + Typed +
                               "\r\ninterval=1\r\ntimeout=20\r\n[sound]\r\nconnect.sound=0\r\ndisconnect.sound=0\r\n"
                               "[log]\r\nstore.log=1\r\n");
  Program Vintrel(Dir.Path());
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  // What the log view shows, line by line.
  auto Shown = [&] { return TempDir::Lines(vtest::ChildText(Window, "TMemo")); };
  ASSERT_TRUE(WaitUntil([&] { return Shown().size() == 1; }, 10000));
  Server.Down();
  ASSERT_TRUE(WaitUntil([&] { return Shown().size() == 2; }, 10000));  // a probe found nobody
  Server.SetAnswer(Answer::Error500);
  Server.Up();
  ASSERT_TRUE(WaitUntil([&] { return Shown().size() == 3; }, 10000));  // and one found it again
  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);

  const std::string Log = Dir.Read("Vintrel.log");
  std::vector<std::string> Lines = TempDir::Lines(Log);
  ASSERT_EQ(Lines.size(), 3u) << Log;
  EXPECT_EQ(Lines[0].rfind("Connected to " + Typed + " - ", 0), 0u) << Lines[0];
  EXPECT_EQ(Lines[1].rfind("Disconnected - ", 0), 0u) << Lines[1];
  EXPECT_EQ(Lines[2].rfind("Connected to " + Typed + " - ", 0), 0u) << Lines[2];
  // Every line ends with CR LF and nothing else ends a line.
  EXPECT_EQ(Log.substr(Log.size() - 2), "\r\n");
  size_t Breaks = 0;
  for (size_t I = 0; I < Log.size(); ++I)
    if (Log[I] == '\n') {
      ++Breaks;
      EXPECT_TRUE(I > 0 && Log[I - 1] == '\r');
    }
  EXPECT_EQ(Breaks, 3u);

  const std::string Ini = Dir.Read("Vintrel.ini");
  for (const std::string& Line :
       {"url=" + Typed, std::string("interval=1"), std::string("timeout=20"), std::string("connect.sound=0"),
        std::string("disconnect.sound=0"), std::string("store.log=1")})
    EXPECT_NE(Ini.find(Line + "\r\n"), std::string::npos) << Line << "\n" << Ini;
}

}  // namespace
