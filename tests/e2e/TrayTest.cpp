// The program as a user meets it: its icon in Wine's notification area,
// clicked with the real mouse on the virtual display.

#include "tests/support/Desktop.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Picture.h"
#include "tests/support/Program.h"
#include "tests/support/Pump.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using vtest::At;
using vtest::LoopbackServer;
using vtest::Program;
using vtest::TempDir;
using vtest::WaitUntil;
using vtest::Xdotool;

// Vintrel probing the server once a minute, its first result in, and its
// icon in the notification area.
class Tray : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir.Write("Vintrel.ini", "[config]\r\nurl=" + Server.Url() + "\r\ninterval=60\r\n");
    Vintrel.Start();
    Window = Vintrel.WaitForWindow("TVintrelF", 15000);
    ASSERT_NE(Window, nullptr);
    ASSERT_TRUE(Server.WaitForRequests(1, 10000));
    // The log view gets its first line once the result is in.
    ASSERT_TRUE(WaitUntil([&] { return !vtest::ChildText(Window, "TMemo").empty(); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return vtest::FirstTrayIcon(Icon); }, 10000));
  }

  TempDir Dir;
  LoopbackServer Server;
  Program Vintrel{Dir.Path()};
  HWND Window = nullptr;
  POINT Icon = {0, 0};
};

TEST_F(Tray, ClickShowsTheDockedWindowAgainHidesItAndTheMenuCloses) {
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 1")) << At(Icon);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Window) != FALSE; }, 5000));

  // Docked at the bottom-right corner, as the system metrics place it, and
  // whole on the screen (Wine's metrics reach below it).
  RECT Outer, Work;
  GetWindowRect(Window, &Outer);
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &Work, 0));
  EXPECT_EQ(Outer.right, std::min<LONG>(GetSystemMetrics(SM_CXFULLSCREEN), Work.right));
  EXPECT_EQ(Outer.bottom, std::min<LONG>({GetSystemMetrics(SM_CYFULLSCREEN) + GetSystemMetrics(SM_CYCAPTION),
                                          Work.bottom, GetSystemMetrics(SM_CYSCREEN)}));
  EXPECT_LE(Outer.bottom, GetSystemMetrics(SM_CYSCREEN));
  // The State page with the log.
  std::string Log = vtest::ChildText(Window, "TMemo");
  EXPECT_EQ(Log.rfind("Connected to " + Server.Url() + " - ", 0), 0u) << Log;
  EXPECT_EQ(Log.substr(Log.size() - 2), "\r\n");

  // The caption strip as it shows on the screen: from the button face at the
  // left to dark red at the right, with the white title over it.
  auto OnScreen = [&](int X, int Y) {
    POINT P = {X, Y};
    ClientToScreen(Window, &P);
    HDC Screen = GetDC(nullptr);
    COLORREF Color = GetPixel(Screen, P.x, P.y);
    ReleaseDC(nullptr, Screen);
    return Color;
  };
  EXPECT_TRUE(WaitUntil(
      [&] { return OnScreen(0, 1) == GetSysColor(COLOR_BTNFACE) && OnScreen(299, 1) == RGB(128, 0, 0); }, 5000))
      << std::hex << OnScreen(0, 1) << " " << OnScreen(299, 1);
  int Title = 0;
  for (int Y = 3; Y < 17; ++Y)
    for (int X = 2; X < 147; ++X) Title += OnScreen(X, Y) == RGB(255, 255, 255);
  EXPECT_GT(Title, 20);

  // Dragged by its caption strip, it follows the mouse; a double click on
  // the strip docks it again.
  POINT Strip = {150, 8};
  ClientToScreen(Window, &Strip);
  POINT Away = {Strip.x - 300, Strip.y - 200};
  ASSERT_TRUE(Xdotool("mousemove " + At(Strip) + " mousedown 1 sleep 0.2 mousemove " + std::to_string(Strip.x - 150) +
                      " " + std::to_string(Strip.y - 100) + " sleep 0.2 mousemove " + At(Away) +
                      " sleep 0.2 mouseup 1"));
  RECT Moved;
  EXPECT_TRUE(WaitUntil([&] { return GetWindowRect(Window, &Moved) && Moved.right == Outer.right - 300; }, 5000))
      << Moved.left << "," << Moved.top;
  EXPECT_EQ(Moved.bottom, Outer.bottom - 200);
  POINT MovedStrip = {150, 8};
  ClientToScreen(Window, &MovedStrip);
  ASSERT_TRUE(Xdotool("mousemove " + At(MovedStrip) + " click --repeat 2 --delay 120 1"));
  RECT Docked;
  EXPECT_TRUE(WaitUntil([&] { return GetWindowRect(Window, &Docked) && Docked.right == Outer.right; }, 5000));
  EXPECT_EQ(Docked.bottom, Outer.bottom);

  vtest::PastDoubleClick();
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 1"));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(Window); }, 5000));

  // Right click: Show, Stop, Close. A click elsewhere closes the menu, as
  // any menu closes; "c" chooses Close.
  auto MenuShown = [&] { return vtest::WindowOf(Vintrel.ProcessId(), "#32768", true) != nullptr; };
  vtest::PastDoubleClick();
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 3"));
  ASSERT_TRUE(WaitUntil(MenuShown, 5000));
  ASSERT_TRUE(Xdotool("mousemove 600 400 click 1"));
  EXPECT_TRUE(WaitUntil([&] { return !MenuShown(); }, 5000));
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 3"));
  ASSERT_TRUE(WaitUntil(MenuShown, 5000));
  ASSERT_TRUE(Xdotool("key c"));
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
}

TEST_F(Tray, ADoubleClickOnTheIconEndsWithTheWindowShownWhateverItWasBefore) {
  auto Hidden = [&] { return !IsWindowVisible(Window); };
  for (const char* From : {"hidden", "shown"}) {
    SCOPED_TRACE(From);
    ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click --repeat 2 --delay 120 1"));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Window) != FALSE; }, 5000));
    // The double click's second release must not hide it again.
    EXPECT_FALSE(WaitUntil(Hidden, 1500));
    vtest::PastDoubleClick();
  }

  // A single click still hides it.
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 1"));
  EXPECT_TRUE(WaitUntil(Hidden, 5000));
  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
}

TEST_F(Tray, TheTitleShowsItsShadowAndTheAboutAddressUnderlinesItselfUnderThePointer) {
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 1"));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Window) != FALSE; }, 5000));
  POINT Origin = {0, 0};
  ClientToScreen(Window, &Origin);
  auto Screen = [&](int X, int Y) { return POINT{Origin.x + X, Origin.y + Y}; };

  // The title, read off the screen: white letters, and black one pixel right
  // and down of them.
  vtest::Picture Title(145, 14);
  const COLORREF White = RGB(255, 255, 255), Black = RGB(0, 0, 0);
  ASSERT_TRUE(WaitUntil(
      [&] {
        Title.CopyScreen(Origin.x + 2, Origin.y + 3);
        return Title.Count(White) > 20;
      },
      5000));
  int Shadowed = 0;
  for (int Y = 0; Y < 13; ++Y)
    for (int X = 0; X < 144; ++X) Shadowed += Title.At(X, Y) == White && Title.At(X + 1, Y + 1) == Black;
  EXPECT_GT(Shadowed, 10);

  // The About page's address: the pointer over it underlines it, and the
  // underline goes when the pointer does.
  ASSERT_TRUE(Xdotool("mousemove " + At(Screen(29, 106)) + " click 1"));
  auto DarkInLink = [&] {
    vtest::Picture Link(115, 16);
    Link.CopyScreen(Origin.x + 124, Origin.y + 100);
    return Link.Count(Black);
  };
  ASSERT_TRUE(WaitUntil([&] { return DarkInLink() > 20; }, 5000));
  const int Plain = DarkInLink();
  ASSERT_TRUE(Xdotool("mousemove " + At(Screen(124 + 30, 100 + 6))));
  EXPECT_TRUE(WaitUntil([&] { return DarkInLink() > Plain + 30; }, 5000)) << Plain << " " << DarkInLink();
  // Away over the page (under Wine a capturing window hears no move once the
  // pointer is over no window of Wine's at all).
  ASSERT_TRUE(Xdotool("mousemove " + At(Screen(124 + 30, 60))));
  EXPECT_TRUE(WaitUntil([&] { return DarkInLink() <= Plain + 5; }, 5000)) << Plain << " " << DarkInLink();

  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
}

TEST_F(Tray, AfterTheMenuTheKeysGoBackToTheWindowAndTheSoundDialogIsModalToIt) {
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 1"));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Window) != FALSE; }, 5000));
  POINT Origin = {0, 0};
  ClientToScreen(Window, &Origin);
  auto Click = [&](int X, int Y) { return Xdotool("mousemove " + At(POINT{Origin.x + X, Origin.y + Y}) + " click 1"); };
  auto Focus = [&] {
    GUITHREADINFO Info = {};
    Info.cbSize = sizeof Info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(Window, nullptr), &Info) ? Info.hwndFocus : nullptr;
  };
  const std::string Address = Server.Url();
  HWND URL = vtest::FindChild(Window, "TEdit", &Address);
  ASSERT_NE(URL, nullptr);

  auto MenuShown = [&] { return vtest::WindowOf(Vintrel.ProcessId(), "#32768", true) != nullptr; };
  auto FromTheMenu = [&](const char* Key) {
    vtest::PastDoubleClick();
    return Xdotool("mousemove " + At(Icon) + " click 3") && WaitUntil(MenuShown, 5000) && Xdotool(Key) &&
           WaitUntil([&] { return !MenuShown(); }, 5000);
  };

  // The log view has the focus; Stop chosen from the tray menu gives it back.
  HWND Log = vtest::FindChild(Window, "TMemo");
  ASSERT_TRUE(Click(150, 85));
  ASSERT_TRUE(WaitUntil([&] { return Focus() == Log; }, 5000));
  ASSERT_TRUE(FromTheMenu("key s"));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(URL) != FALSE; }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return Focus() == Log; }, 5000)) << Focus();

  // Stopped, the address on the Config page has the focus; after the menu,
  // closed without a choice, the keys reach the field.
  ASSERT_TRUE(Click(29, 57));
  ASSERT_TRUE(Xdotool("mousemove " + At(POINT{Origin.x + 200, Origin.y + 38}) + " click 1 key End"));
  ASSERT_TRUE(WaitUntil([&] { return Focus() == URL; }, 5000));
  ASSERT_TRUE(FromTheMenu("key Escape"));
  EXPECT_TRUE(WaitUntil([&] { return Focus() == URL; }, 5000)) << Focus();
  // The hand back over the window, no click: X hands the keys to the window
  // under the pointer, and Wine to the focus of its thread.
  ASSERT_TRUE(Xdotool("mousemove " + At(POINT{Origin.x + 150, Origin.y + 60}) + " type x"));
  const std::string Typed = Address + "x";
  EXPECT_TRUE(WaitUntil([&] { return vtest::FindChild(Window, "TEdit", &Typed) == URL; }, 5000));

  // The sound file dialog: while it is open the window takes no clicks, so
  // the page cannot change under it.
  ASSERT_TRUE(Click(29, 80));
  const std::string ConnectSound = "connect.wav";
  HWND Sound = vtest::FindChild(Window, "TEdit", &ConnectSound);
  ASSERT_NE(Sound, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Sound) != FALSE; }, 5000));
  ASSERT_TRUE(Click(283, 54));
  HWND Dialog = nullptr;
  ASSERT_TRUE(
      WaitUntil([&] { return (Dialog = vtest::WindowOf(Vintrel.ProcessId(), "#32770", true)) != nullptr; }, 10000));
  EXPECT_FALSE(IsWindowEnabled(Window));
  EXPECT_EQ(GetWindow(Dialog, GW_OWNER), Window);
  ASSERT_TRUE(Click(29, 31));
  EXPECT_FALSE(WaitUntil([&] { return !IsWindowVisible(Sound); }, 1000));
  PostMessageA(Dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(Dialog); }, 5000));
  EXPECT_TRUE(IsWindowEnabled(Window));

  // Another program (this test) takes the foreground while the menu is
  // open, as a click on its window does on Windows (Wine's menu holds the
  // pointer and keeps the click from it): after the menu, that window keeps
  // the foreground, and the shown window stays behind it.
  HWND Other = CreateWindowExA(0, "STATIC", "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 250, 300, 200,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(Other, nullptr);
  vtest::PastDoubleClick();
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 3"));
  ASSERT_TRUE(vtest::PumpUntil(MenuShown, 5000));
  ASSERT_TRUE(SetForegroundWindow(Other));
  // The keys now go to that window: Escape is posted to the menu itself.
  if (HWND Menu = vtest::WindowOf(Vintrel.ProcessId(), "#32768", true)) PostMessageA(Menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(vtest::PumpUntil([&] { return !MenuShown(); }, 5000));
  EXPECT_FALSE(vtest::PumpUntil([&] { return GetForegroundWindow() != Other; }, 1500)) << GetForegroundWindow();
  EXPECT_TRUE(DestroyWindow(Other));

  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
}

}  // namespace
