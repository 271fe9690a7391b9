// The window driven from the keyboard, as a user drives a property sheet:
// Tab and Shift+Tab walk the fields and buttons of the page on show, Space and
// Enter press a button, Ctrl+Tab and Ctrl+PageDown change the page, Escape
// hides the window, and a field check that refuses the way out keeps its page
// and the focus. What has the focus is read as a screen reader reads it.

#include "tests/support/Desktop.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <cstdio>
#include <functional>
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
  // itself or nothing; a windowless button or link in brackets, by the name
  // its window gives it; anything else by its class, and whether it shows.
  std::string Focused() const {
    HWND F = Focus();
    if (auto It = Names.find(F); It != Names.end()) return It->second + (IsWindowVisible(F) || !F ? "" : " (hidden)");
    for (const vtest::AccessibleNode& Child : vtest::AccessibleTree(F).Children)
      if (Child.State & STATE_SYSTEM_FOCUSED) return "[" + Child.Name + "]" + (IsWindowVisible(F) ? "" : " (hidden)");
    char Class[64] = "";
    GetClassNameA(F, Class, sizeof Class);
    return std::string(Class) + (IsWindowVisible(F) ? "" : " (hidden)");
  }
  HWND FindByName(const std::string& Name) const {
    for (const auto& [Field, Known] : Names)
      if (Known == Name) return Field;
    return nullptr;
  }
  // Chooses from the tray menu with a key, and waits for the menu to close.
  bool FromTrayMenu(const char* Key) {
    auto MenuShown = [&] { return vtest::WindowOf(Vintrel.ProcessId(), "#32768", true) != nullptr; };
    vtest::PastDoubleClick();
    return Xdotool("mousemove " + At(Icon) + " click 3") && WaitUntil(MenuShown, 5000) &&
           Xdotool(std::string("key ") + Key) && WaitUntil([&] { return !MenuShown(); }, 5000);
  }
  // Presses the keys, then waits for the focus to be on Name.
  bool Keys(const std::string& Keys, const std::string& Name) {
    return Xdotool("key " + Keys) && WaitUntil([&] { return Focused() == Name; }, 5000);
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

TEST_F(Keyboard, TabAndShiftTabCycleThroughTheEnabledFieldsAndButtonsOfThePageOnShowOnly) {
  // The Config page, in a window hidden and shown again: the focus is on its
  // first field. (The test's display has no window manager, and X gives the
  // keys to the window under the pointer: it moves over the window, onto a
  // bare spot of the page.)
  ASSERT_TRUE(Click(ConfigPage));
  ASSERT_TRUE(ToggleFromTray(false));
  ASSERT_TRUE(ToggleFromTray(true));
  POINT Bare = {215, 64};
  ClientToScreen(Window, &Bare);
  ASSERT_TRUE(Xdotool("mousemove " + At(Bare)));
  EXPECT_TRUE(WaitUntil([&] { return Focused() == "address"; }, 5000)) << Focused();
  const std::vector<std::string> Config = {"interval", "Save Log", "address"};
  EXPECT_EQ(Walk("Tab", Config), Config);
  const std::vector<std::string> ConfigBack = {"Save Log", "interval", "address"};
  EXPECT_EQ(Walk("shift+Tab", ConfigBack), ConfigBack);

  // A page button hands the focus from the page that goes to the first
  // field of the new one. The buttons beside the sound fields come after
  // their field, in screen order.
  ASSERT_TRUE(Click(SoundPage));
  EXPECT_TRUE(WaitUntil([&] { return Focused() == "Sound on Connect"; }, 5000)) << Focused();
  // Each button is named with its row's sound.
  const std::vector<std::string> Sound = {
      "connect sound",       "[Play Sound on Connect]",    "[Select Sound on Connect]",    "disconnect sound",
      "Sound On Disconnect", "[Play Sound on Disconnect]", "[Select Sound on Disconnect]", "Sound on Connect"};
  EXPECT_EQ(Walk("Tab", Sound), Sound);
  const std::vector<std::string> SoundBack = {
      "[Select Sound on Disconnect]", "[Play Sound on Disconnect]", "Sound On Disconnect", "disconnect sound",
      "[Select Sound on Connect]",    "[Play Sound on Connect]",    "connect sound",       "Sound on Connect"};
  EXPECT_EQ(Walk("shift+Tab", SoundBack), SoundBack);

  // Enter on "..." opens the file dialog; cancelled, it leaves the focus
  // where it was, not on the bare window.
  ASSERT_TRUE(Keys("shift+Tab", "[Select Sound on Disconnect]"));
  ASSERT_TRUE(Xdotool("key Return"));
  HWND Dialog = nullptr;
  ASSERT_TRUE(
      WaitUntil([&] { return (Dialog = vtest::WindowOf(Vintrel.ProcessId(), "#32770", true)) != nullptr; }, 10000));
  PostMessageA(Dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(Dialog); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return Focused() == "[Select Sound on Disconnect]"; }, 5000)) << Focused();

  // Start from the tray menu locks every field and button of the page on
  // show; Stop brings the focus back to the first of them.
  ASSERT_TRUE(FromTrayMenu("s"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 3; }, 5000));
  ASSERT_TRUE(FromTrayMenu("s"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 4; }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return Focused() == "Sound on Connect"; }, 5000)) << Focused();

  // The State page: its one stop is Start/Stop, which Space and Enter press
  // as Alt+S does; the page buttons stay out of the walk.
  ASSERT_TRUE(Click(InfoPage));
  EXPECT_TRUE(WaitUntil([&] { return Focused() == "[Start]"; }, 5000)) << Focused();
  ASSERT_TRUE(Xdotool("key Tab Tab shift+Tab space"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 5; }, 5000));
  EXPECT_EQ(Focused(), "[Stop]");
  ASSERT_TRUE(Xdotool("key Return"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 6; }, 5000));
  ASSERT_TRUE(Xdotool("key alt+s"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 7; }, 5000));
  ASSERT_TRUE(Xdotool("key alt+s"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 8; }, 5000));
  EXPECT_EQ(Focused(), "[Start]");

  // Escape hides the window, as the minimise button does.
  ASSERT_TRUE(Xdotool("key Escape"));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(Window); }, 5000));
}

TEST_F(Keyboard, CtrlTabAndCtrlPageKeysChangeThePageAsAClickOnItsButtonDoes) {
  auto Selected = [&](const std::string& Page) {
    const vtest::AccessibleNode* Button = vtest::AccessibleTree(Window).Find(Page);
    return Button && (Button->State & STATE_SYSTEM_SELECTED);
  };
  POINT Bare = {215, 64};
  ClientToScreen(Window, &Bare);
  ASSERT_TRUE(Xdotool("mousemove " + At(Bare)));
  ASSERT_TRUE(WaitUntil([&] { return Focused() == "[Start]"; }, 5000)) << Focused();
  EXPECT_TRUE(Keys("ctrl+Tab", "address")) << Focused();
  EXPECT_TRUE(Selected("Config"));
  EXPECT_TRUE(Keys("ctrl+Tab", "Sound on Connect")) << Focused();
  EXPECT_TRUE(Keys("ctrl+shift+Tab", "address")) << Focused();
  EXPECT_TRUE(Keys("ctrl+Next", "Sound on Connect")) << Focused();
  EXPECT_TRUE(Keys("ctrl+Next", "[http://example.org]")) << Focused();
  EXPECT_TRUE(Selected("About"));
  EXPECT_TRUE(Keys("ctrl+Next", "[Start]")) << Focused();  // round the end
  EXPECT_TRUE(Keys("ctrl+Prior", "[http://example.org]")) << Focused();

  // While monitoring runs, the Config and Sound pages are skipped.
  EXPECT_TRUE(Keys("ctrl+Tab", "[Start]")) << Focused();
  ASSERT_TRUE(Xdotool("key space"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 3; }, 5000));
  EXPECT_TRUE(Keys("ctrl+Tab", "[http://example.org]")) << Focused();
  EXPECT_TRUE(Selected("About"));
  EXPECT_TRUE(Keys("ctrl+Tab", "[Stop]")) << Focused();

  // A screen reader finds every control by its name and role, and changes
  // the page as the page button's click does, once monitoring has stopped.
  auto Role = [&](const std::string& Name) {
    const vtest::AccessibleNode* Node = vtest::AccessibleTree(Window).Find(Name);
    return Node ? Node->Role : -1L;
  };
  for (const char* Page : {"Info", "Config", "Sound", "About"}) EXPECT_EQ(Role(Page), ROLE_SYSTEM_PAGETAB) << Page;
  EXPECT_EQ(Role("Stop"), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(Role("Minimize"), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(Role("URL"), ROLE_SYSTEM_STATICTEXT);  // the label comes first, then its field
  EXPECT_EQ(Role("Log"), ROLE_SYSTEM_TEXT);
  EXPECT_FALSE(vtest::DoDefaultAction(Window, "Config"));  // locked while monitoring runs
  EXPECT_FALSE(vtest::Select(Window, "Config", SELFLAG_TAKESELECTION));
  ASSERT_TRUE(Xdotool("key space"));
  ASSERT_TRUE(WaitUntil([&] { return LogLines() == 4; }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return Role("Stopped") == ROLE_SYSTEM_STATICTEXT; }, 5000));  // the status line
  vtest::AccessibleNode Tree = vtest::AccessibleTree(Window);
  RecordProperty("tree", Tree.Dump());
  std::printf("%s", Tree.Dump().c_str());
  std::vector<std::string> Fields, Shortcuts, Tabs;
  std::function<void(const vtest::AccessibleNode&)> Collect = [&](const vtest::AccessibleNode& Node) {
    if (Node.Role == ROLE_SYSTEM_TEXT) Fields.push_back(Node.Name), Shortcuts.push_back(Node.Shortcut);
    if (Node.Role == ROLE_SYSTEM_PAGETABLIST)
      for (const vtest::AccessibleNode& Tab : Node.Children) Tabs.push_back(Tab.Name);
    for (const vtest::AccessibleNode& Child : Node.Children) Collect(Child);
  };
  Collect(Tree);
  EXPECT_EQ(Fields,
            (std::vector<std::string>{"Log", "URL", "Interval", "TimeOut", "Sound on Connect", "Sound On Disconnect"}));
  EXPECT_EQ(Shortcuts, (std::vector<std::string>{"", "Alt+U", "Alt+I", "Alt+T", "", ""}));
  EXPECT_EQ(Tabs, (std::vector<std::string>{"Info", "Config", "Sound", "About"}));
  ASSERT_TRUE(vtest::DoDefaultAction(Window, "Config"));
  EXPECT_TRUE(WaitUntil([&] { return Selected("Config") && IsWindowVisible(FindByName("address")); }, 5000));
  // Selecting a tab, as a UI Automation client does, is a click on it too.
  ASSERT_TRUE(vtest::Select(Window, "Sound", SELFLAG_TAKESELECTION));
  EXPECT_TRUE(WaitUntil([&] { return Selected("Sound") && Focused() == "Sound on Connect"; }, 5000)) << Focused();
}

TEST_F(Keyboard, AnIntervalThatIsNoNumberKeepsItsPageAndTheFocusWhicheverWayThePageIsChanged) {
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
  // Three clicks on page buttons, then the keys that change the page.
  auto ClickOn = [&](POINT Client) {
    ClientToScreen(Window, &Client);
    return "mousemove " + At(Client) + " click 1";
  };
  const std::vector<std::string> Ways = {ClickOn(InfoPage), ClickOn(SoundPage),   ClickOn(AboutPage),
                                         "key ctrl+Tab",    "key ctrl+shift+Tab", "key ctrl+Next"};
  for (const std::string& Way : Ways) {
    SCOPED_TRACE(Way);
    ASSERT_TRUE(Xdotool(Way));
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
  std::string Erase = "key End";
  for (size_t I = 0; I < Typed.size(); ++I) Erase += " BackSpace";
  ASSERT_TRUE(Xdotool(Erase + " type 60"));
  // The next page is the one after the page on show, whichever button the
  // refused clicks left down.
  EXPECT_TRUE(Keys("ctrl+Tab", "Sound on Connect")) << Focused();
  EXPECT_TRUE(Keys("ctrl+shift+Tab", "address")) << Focused();
  ASSERT_TRUE(Click(InfoPage));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(Interval); }, 5000));
}

}  // namespace
