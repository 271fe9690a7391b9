// The window driven from the keyboard, as a user drives a dialog: Tab and
// Shift+Tab walk the fields of the page on show, and a field check that
// refuses the way out keeps its page and the focus.

#include "tests/support/Desktop.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using vtest::At;
using vtest::LoopbackServer;
using vtest::Program;
using vtest::TempDir;
using vtest::WaitUntil;
using vtest::Xdotool;

// Client points of the window's page buttons and of Start/Stop.
const POINT InfoPage = {29, 31}, ConfigPage = {29, 57}, SoundPage = {29, 80}, AboutPage = {29, 106},
            StartStop = {271, 35};

// Vintrel probing the server once a minute, silent, its window shown from
// the tray icon with monitoring stopped.
class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir.Write("Vintrel.ini", "[config]\r\nurl=" + Server.Url() +
                                 "\r\ninterval=60\r\n[sound]\r\nconnect.sound=0\r\ndisconnect.sound=0\r\n");
    Vintrel.Start();
    Window = Vintrel.WaitForWindow("TVintrelF", 15000);
    ASSERT_NE(Window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return LogLines() == 1; }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return vtest::FirstTrayIcon(Icon); }, 10000));
    ASSERT_TRUE(ToggleFromTray(true));
    ASSERT_TRUE(Click(StartStop));
    ASSERT_TRUE(WaitUntil([&] { return LogLines() == 2; }, 5000));  // "Stopped"
    const std::string Interval = "60", SaveLog = "Save &Log", SndConnect = "Sound on &Connect",
                      SndDisconnect = "Sound On &Disconnect", ConnectWav = "connect.wav",
                      DisconnectWav = "disconnect.wav", URL = Server.Url();
    Names = {{vtest::FindChild(Window, "TEdit", &URL), "address"},
             {vtest::FindChild(Window, "TEdit", &Interval), "interval"},
             {vtest::FindChild(Window, "TCheckBox", &SaveLog), "Save Log"},
             {vtest::FindChild(Window, "TCheckBox", &SndConnect), "Sound on Connect"},
             {vtest::FindChild(Window, "TEdit", &ConnectWav), "connect sound"},
             {vtest::FindChild(Window, "TCheckBox", &SndDisconnect), "Sound On Disconnect"},
             {vtest::FindChild(Window, "TEdit", &DisconnectWav), "disconnect sound"},
             {Window, "the window"},
             {nullptr, "nothing"}};
    ASSERT_EQ(Names.size(), 9u) << "a field was not found";
  }
  void TearDown() override {
    PostMessageA(Window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Vintrel.WaitForExit(15000));
    EXPECT_EQ(Vintrel.ExitCode(), 0u);
  }

  size_t LogLines() const { return TempDir::Lines(vtest::ChildText(Window, "TMemo")).size(); }
  bool Click(POINT Client) {
    ClientToScreen(Window, &Client);
    return Xdotool("mousemove " + At(Client) + " click 1");
  }
  // A click on the icon, and the window shown (or hidden) and active.
  bool ToggleFromTray(bool Shown) {
    vtest::PastDoubleClick();
    return Xdotool("mousemove " + At(Icon) + " click 1") &&
           WaitUntil([&] { return (IsWindowVisible(Window) != FALSE) == Shown && (!Shown || Active() == Window); },
                     5000);
  }
  GUITHREADINFO ThreadInfo() const {
    GUITHREADINFO Info = {};
    Info.cbSize = sizeof Info;
    GetGUIThreadInfo(GetWindowThreadProcessId(Window, nullptr), &Info);
    return Info;
  }
  HWND Active() const { return ThreadInfo().hwndActive; }
  HWND Focus() const { return ThreadInfo().hwndFocus; }
  // The window with the focus as the user knows it: a field, the window
  // itself or nothing; anything else by its class, and whether it shows.
  std::string Focused() const {
    HWND F = Focus();
    if (auto It = Names.find(F); It != Names.end()) return It->second + (IsWindowVisible(F) || !F ? "" : " (hidden)");
    char Class[64] = "";
    GetClassNameA(F, Class, sizeof Class);
    return std::string(Class) + (IsWindowVisible(F) ? "" : " (hidden)");
  }
  // Presses Key once for each name and records where the focus went each
  // time; a press that moves the focus nowhere new is recorded after the
  // wait for the name expected.
  std::vector<std::string> Walk(const char* Key, const std::vector<std::string>& Expected) {
    std::vector<std::string> Seen;
    for (const std::string& Name : Expected) {
      if (!Xdotool(std::string("key ") + Key)) return {"(xdotool failed)"};
      WaitUntil([&] { return Focused() == Name; }, 3000);
      Seen.push_back(Focused());
      RecordProperty(std::string(Key) + "." + std::to_string(Seen.size()), Seen.back());
    }
    return Seen;
  }

  TempDir Dir;
  LoopbackServer Server;
  Program Vintrel{Dir.Path()};
  HWND Window = nullptr;
  POINT Icon = {0, 0};
  std::map<HWND, std::string> Names;
};

TEST_F(Keyboard, TabAndShiftTabCycleThroughTheEnabledFieldsOfThePageOnShowOnly) {
  // The Config page, in a window hidden and shown again: the first Tab
  // reaches its first field. (The test's display has no window manager, and
  // X gives the keys to the window under the pointer: it moves over the
  // window, onto a bare spot of the page.)
  ASSERT_TRUE(Click(ConfigPage));
  ASSERT_TRUE(ToggleFromTray(false));
  ASSERT_TRUE(ToggleFromTray(true));
  POINT Bare = {215, 64};
  ClientToScreen(Window, &Bare);
  ASSERT_TRUE(Xdotool("mousemove " + At(Bare)));
  ASSERT_EQ(Focused(), "the window");
  const std::vector<std::string> Config = {"address", "interval", "Save Log", "address"};
  EXPECT_EQ(Walk("Tab", Config), Config);
  const std::vector<std::string> ConfigBack = {"Save Log", "interval", "address"};
  EXPECT_EQ(Walk("shift+Tab", ConfigBack), ConfigBack);

  // A page button hands the focus from the page that goes to the first
  // field of the new one.
  ASSERT_TRUE(Click(SoundPage));
  EXPECT_TRUE(WaitUntil([&] { return Focused() == "Sound on Connect"; }, 5000)) << Focused();
  const std::vector<std::string> Sound = {"connect sound", "disconnect sound", "Sound On Disconnect",
                                          "Sound on Connect"};
  EXPECT_EQ(Walk("Tab", Sound), Sound);
  const std::vector<std::string> SoundBack = {"Sound On Disconnect", "disconnect sound", "connect sound",
                                              "Sound on Connect"};
  EXPECT_EQ(Walk("shift+Tab", SoundBack), SoundBack);

  // The State page has no field, and while monitoring runs the page buttons
  // of the others are locked: the focus stays with the window, on no
  // container and no field out of sight. Alt+S (Stop) comes after the Tabs,
  // so once monitoring has stopped they have been handled.
  ASSERT_TRUE(Click(InfoPage));
  EXPECT_TRUE(WaitUntil([&] { return Focused() == "the window"; }, 5000)) << Focused();
  ASSERT_TRUE(Click(StartStop));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 3; }, 5000));
  ASSERT_TRUE(Xdotool("key Tab Tab shift+Tab alt+s"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 4; }, 5000));
  EXPECT_EQ(Focused(), "the window");
}

TEST_F(Keyboard, AnIntervalThatIsNoNumberKeepsItsPageAndTheFocusWhicheverPageButtonIsClicked) {
  ASSERT_TRUE(Click(ConfigPage));
  HWND Interval = nullptr;
  for (const auto& [Field, Name] : Names)
    if (Name == "interval") Interval = Field;
  RECT Bounds;
  GetWindowRect(Interval, &Bounds);
  POINT Middle = {(Bounds.left + Bounds.right) / 2, (Bounds.top + Bounds.bottom) / 2};
  ASSERT_TRUE(Xdotool("mousemove " + At(Middle) + " click 1 key End BackSpace BackSpace type 3x"));
  auto Text = [&] {
    char Buffer[64] = "";
    SendMessageA(Interval, WM_GETTEXT, sizeof Buffer, reinterpret_cast<LPARAM>(Buffer));
    return std::string(Buffer);
  };
  ASSERT_TRUE(WaitUntil([&] { return Text() == "3x" && Focus() == Interval; }, 5000)) << Text();

  std::string Typed = "3x";
  for (POINT Page : {InfoPage, SoundPage, AboutPage}) {
    SCOPED_TRACE(At(Page));
    ASSERT_TRUE(Click(Page));
    EXPECT_EQ(Vintrel.AnswerBox(), "'" + Typed + "' is not a valid integer value.");
    EXPECT_EQ(Vintrel.AnswerBox(), "Value must be between 30 and 600.");
    // What is typed next goes into the field, and once it is there (the
    // click has been handled to its end) the Config page is on show.
    ASSERT_TRUE(Xdotool("type 7"));
    Typed += "7";
    EXPECT_TRUE(WaitUntil([&] { return Text() == Typed; }, 5000)) << Text();
    EXPECT_TRUE(IsWindowVisible(Interval));
    EXPECT_EQ(Focused(), "interval");
  }
  // A number again, so the run ends without a word.
  ASSERT_TRUE(Xdotool("key End BackSpace BackSpace BackSpace BackSpace BackSpace type 60"));
  ASSERT_TRUE(Click(InfoPage));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(Interval); }, 5000));
}

}  // namespace
