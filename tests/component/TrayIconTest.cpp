// The notification-area icon against a recorded shell: which calls it makes,
// what each record carries, and which events the shell's callbacks raise.

#include "tests/support/Pump.h"
#include "tests/support/Seams.h"
#include "ui/ExSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using vtest::PumpFor;
using vtest::PumpUntil;
using vtest::Recorder;
using vtest::TrayCall;

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Recorder::Install();
    Tray = std::make_unique<TKVRTrayIcon>(nullptr);
  }
  void TearDown() override { Tray.reset(); }

  static const std::vector<TrayCall>& Calls() { return Recorder::Tray(); }
  static std::vector<DWORD> Messages() {
    std::vector<DWORD> Result;
    for (const TrayCall& Call : Calls()) Result.push_back(Call.Message);
    return Result;
  }
  // Every record names the same icon of the hidden window, with all three parts.
  void ExpectRecordOfThisIcon(const TrayCall& Call) const {
    EXPECT_EQ(Call.Data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(Call.Data.hWnd, Tray->WindowHandle());
    EXPECT_EQ(Call.Data.uID, 0u);
    EXPECT_EQ(Call.Data.uFlags, 7u);
    EXPECT_EQ(Call.Data.uCallbackMessage, 1025u);
  }
  LRESULT Callback(LPARAM MouseMessage) { return SendMessageA(Tray->WindowHandle(), WM_TRAYICON, 0, MouseMessage); }

  vtest::ScopedPlatform Seam;
  std::unique_ptr<TKVRTrayIcon> Tray;
};

TEST_F(TrayIconTest, ActiveAddsOnceAndDestructionRemovesOnlyAShownIcon) {
  Tray->SetActive(false);
  EXPECT_TRUE(Calls().empty());

  Tray->SetActive(true);
  Tray->SetActive(true);
  EXPECT_TRUE(Tray->Active());
  EXPECT_EQ(Messages(), std::vector<DWORD>{NIM_ADD});

  const HWND Window = Tray->WindowHandle();
  Tray.reset();
  ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_DELETE}));
  EXPECT_EQ(Calls()[1].Data.hWnd, Window);
  EXPECT_EQ(Calls()[1].Data.uID, 0u);

  // Never shown, or shown and hidden again: destruction leaves the shell alone.
  Recorder::Tray().clear();
  { TKVRTrayIcon Hidden(nullptr); }
  auto Shown = std::make_unique<TKVRTrayIcon>(nullptr);
  Shown->SetToolTip("Shown");
  Shown->SetActive(true);
  Shown->SetActive(false);
  Shown.reset();
  EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_DELETE}));
}

TEST_F(TrayIconTest, ToolTipIsCutTo62CharactersAndSentEvenWhenUnchanged) {
  const std::string Exact(62, 'e');
  const std::string Long = std::string(62, 'l') + "X";
  Tray->SetActive(true);
  Recorder::Tray().clear();

  Tray->SetToolTip(Exact);
  EXPECT_EQ(Tray->ToolTip(), Exact);
  Tray->SetToolTip(Long);
  EXPECT_EQ(Tray->ToolTip(), Long.substr(0, 62));
  Tray->SetToolTip(Long.substr(0, 62));

  ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_MODIFY, NIM_MODIFY, NIM_MODIFY}));
  EXPECT_EQ(Calls()[0].Tip(), Exact);
  EXPECT_EQ(Calls()[1].Tip(), Long.substr(0, 62));
  EXPECT_EQ(Calls()[2].Tip(), Long.substr(0, 62));
}

TEST_F(TrayIconTest, EmptyToolTipOnAShownIconModifiesWithoutARefresh) {
  Tray->SetToolTip("Vintrel");
  Tray->SetActive(true);  // a tip already there: the add posts no refresh
  Tray->SetToolTip("");
  PumpFor(150);

  ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
  EXPECT_EQ(Calls()[0].Tip(), "Vintrel");
  EXPECT_EQ(Calls()[1].Tip(), "");
  EXPECT_EQ(Tray->ToolTip(), "");
}

TEST_F(TrayIconTest, PictureAndTipSetWhileInactiveAreShownByTheNextAdd) {
  TIcon Picture;
  Picture.LoadFromResource("CONNECT");
  Tray->SetIcon(&Picture);
  Tray->SetToolTip("Connected");
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(Picture.Empty());  // copied, not taken
  EXPECT_FALSE(Tray->Icon().Empty());

  Tray->SetActive(true);
  ASSERT_EQ(Messages(), std::vector<DWORD>{NIM_ADD});
  EXPECT_NE(Calls()[0].Data.hIcon, nullptr);
  EXPECT_EQ(Calls()[0].Data.hIcon, Tray->Icon().Handle());
  EXPECT_EQ(Calls()[0].Tip(), "Connected");

  Tray->SetIcon(&Tray->Icon());
  EXPECT_EQ(Calls().size(), 1u);

  Tray->SetIcon(nullptr);
  EXPECT_TRUE(Tray->Icon().Empty());
  ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
  EXPECT_EQ(Calls()[1].Data.hIcon, nullptr);
  EXPECT_EQ(Calls()[1].Tip(), "Connected");
}

TEST_F(TrayIconTest, StartUpAsTheWindowLayoutAppliesIt) {
  Tray->SetActive(true);                        // empty picture and tip
  Tray->Icon().LoadFromResource("DISCONNECT");  // straight into the picture
  ASSERT_EQ(Calls().size(), 1u);
  Tray->SetToolTip("Vintrel");

  EXPECT_TRUE(PumpUntil([] { return Calls().size() >= 3; }, 10000));
  PumpFor(100);
  const HICON Picture = Tray->Icon().Handle();
  ASSERT_NE(Picture, nullptr);
  ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_MODIFY}));
  EXPECT_EQ(Calls()[0].Data.hIcon, nullptr);
  EXPECT_EQ(Calls()[0].Tip(), "");
  for (size_t I = 1; I < 3; ++I) {
    EXPECT_EQ(Calls()[I].Data.hIcon, Picture) << I;
    EXPECT_EQ(Calls()[I].Tip(), "Vintrel") << I;
  }
  for (const TrayCall& Call : Calls()) ExpectRecordOfThisIcon(Call);
}

TEST_F(TrayIconTest, LeftButtonCallbacksRaiseClickAndDoubleClick) {
  std::vector<std::string> Events;
  Tray->OnClick = [&](TObject* Sender) { Events.push_back(Sender == Tray.get() ? "Click" : "Click?"); };
  Tray->OnDblClick = [&](TObject* Sender) { Events.push_back(Sender == Tray.get() ? "DblClick" : "DblClick?"); };
  Tray->OnRightClick = [&](TObject*, TMouseButton, TShiftState, int, int) { Events.push_back("RightClick"); };

  // A double click as the shell reports it: its second release belongs to
  // the double click, not to a click of its own.
  for (LPARAM Mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    EXPECT_EQ(Callback(Mouse), 0) << Mouse;
  EXPECT_EQ(Events, (std::vector<std::string>{"Click", "DblClick"}));
  // The next click is a click again, also when a shell sends no release
  // after the double click.
  Events.clear();
  for (LPARAM Mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONUP})
    EXPECT_EQ(Callback(Mouse), 0) << Mouse;
  EXPECT_EQ(Events, (std::vector<std::string>{"Click", "DblClick", "Click"}));

  // Presses, moves and the middle button are ignored.
  Events.clear();
  for (LPARAM Ignored : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK})
    EXPECT_EQ(Callback(Ignored), 0) << Ignored;
  EXPECT_TRUE(Events.empty());
  EXPECT_TRUE(Calls().empty());
}

TEST_F(TrayIconTest, RightButtonReleaseWithoutAMenuReportsTheCursor) {
  int Raised = 0;
  TObject* From = nullptr;
  TMouseButton Button = TMouseButton::mbLeft;
  TShiftState Shift = 99;
  POINT At = {-1, -1};
  Tray->OnRightClick = [&](TObject* Sender, TMouseButton B, TShiftState S, int X, int Y) {
    ++Raised;
    From = Sender;
    Button = B;
    Shift = S;
    At = {X, Y};
  };
  Tray->OnClick = [&](TObject*) { ADD_FAILURE() << "OnClick on a right click"; };

  SetCursorPos(123, 87);
  POINT Cursor = {};
  ASSERT_TRUE(GetCursorPos(&Cursor));
  EXPECT_EQ(Callback(WM_RBUTTONUP), 0);

  EXPECT_EQ(Raised, 1);
  EXPECT_EQ(From, Tray.get());
  EXPECT_EQ(Button, TMouseButton::mbRight);
  EXPECT_EQ(Shift, 0u);
  EXPECT_EQ(At.x, Cursor.x);
  EXPECT_EQ(At.y, Cursor.y);

  // Under the shell's version 3 behaviour, which an add asks for: the
  // release's own WM_CONTEXTMENU opens no second menu, the menu key's opens
  // one, and Enter or Space on the icon selects it; a click's NIN_SELECT
  // adds nothing to the click.
  int Selected = 0;
  Tray->OnKeySelect = [&](TObject* Sender) { Selected += Sender == Tray.get(); };
  Tray->SetActive(true);
  EXPECT_EQ(Recorder::TrayVersions(), std::vector<UINT>{NOTIFYICON_VERSION});
  for (LPARAM Message : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}) EXPECT_EQ(Callback(Message), 0) << Message;
  EXPECT_EQ(Raised, 2);
  EXPECT_EQ(Callback(WM_CONTEXTMENU), 0);
  EXPECT_EQ(Raised, 3);
  EXPECT_EQ(Callback(NIN_KEYSELECT), 0);
  EXPECT_EQ(Callback(NIN_SELECT), 0);
  EXPECT_EQ(Selected, 1);

  // The menu key's menu opens at the icon where the shell tells where that
  // is, and at the pointer where it cannot.
  static HWND Asked = nullptr;
  Platform().Shell_NotifyIconGetRect = [](const NOTIFYICONIDENTIFIER* Icon, RECT* Place) -> HRESULT {
    Asked = Icon->cbSize == sizeof *Icon && Icon->uID == 0 ? Icon->hWnd : nullptr;
    *Place = {300, 580, 324, 604};
    return S_OK;
  };
  EXPECT_EQ(Callback(WM_CONTEXTMENU), 0);
  EXPECT_EQ(Asked, Tray->WindowHandle());
  EXPECT_EQ(At.x, 312);
  EXPECT_EQ(At.y, 592);
  Platform().Shell_NotifyIconGetRect = [](const NOTIFYICONIDENTIFIER*, RECT*) -> HRESULT { return E_NOTIMPL; };
  EXPECT_EQ(Callback(WM_CONTEXTMENU), 0);
  EXPECT_EQ(At.x, Cursor.x);
  EXPECT_EQ(At.y, Cursor.y);

  // Escape from a menu: opened from the keyboard, the focus goes back to
  // the notification area; opened with the mouse, it does not.
  TPopupMenu Menu(nullptr);
  TMenuItem Item(nullptr);
  Item.SetCaption("&Item");
  Menu.Add(&Item);
  Tray->SetPopupMenu(&Menu);
  const UINT_PTR Timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    if (HWND Open = FindWindowA("#32768", nullptr); Open && IsWindowVisible(Open))
      PostMessageA(Open, WM_KEYDOWN, VK_ESCAPE, 0);
  });
  ASSERT_NE(Timer, 0u);
  auto SetFocusCalls = [] {
    return std::count_if(Calls().begin(), Calls().end(),
                         [](const TrayCall& Call) { return Call.Message == NIM_SETFOCUS; });
  };
  for (LPARAM Message : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}) EXPECT_EQ(Callback(Message), 0) << Message;
  EXPECT_EQ(SetFocusCalls(), 0);
  EXPECT_EQ(Callback(WM_CONTEXTMENU), 0);
  ASSERT_EQ(SetFocusCalls(), 1);
  EXPECT_EQ(Calls().back().Data.hWnd, Tray->WindowHandle());
  EXPECT_EQ(Calls().back().Data.uID, 0u);
  EXPECT_TRUE(KillTimer(nullptr, Timer));
  Tray->SetPopupMenu(nullptr);
}

// A window of the test's own: a message sent to it from another thread hands
// the icon a callback there, then runs a message loop, as a modal box shown
// while handling a sent message does.
struct TNesting {
  HWND Tray = nullptr;
  std::function<bool()> Done;
  bool DoneInside = false;
};
TNesting* Nesting = nullptr;

LRESULT CALLBACK NestingProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg != WM_APP || !Nesting) return DefWindowProcA(Window, Msg, WParam, LParam);
  SendMessageA(Nesting->Tray, WM_TRAYICON, 0, WM_LBUTTONUP);
  // One message at a time, so that a message that posts itself again cannot
  // keep the loop from its bound.
  const ULONGLONG Deadline = GetTickCount64() + 10000;
  while (!Nesting->Done() && GetTickCount64() < Deadline) {
    MSG Queued;
    if (PeekMessageA(&Queued, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&Queued);
    else
      MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  Nesting->DoneInside = Nesting->Done();
  return 0;
}

TEST_F(TrayIconTest, ACallbackHandedOnInsideASentMessageIsHandledOnceByTheNextLoopThatRuns) {
  int Clicks = 0;
  Tray->OnClick = [&](TObject*) { ++Clicks; };
  WNDCLASSA Class = {};
  Class.lpfnWndProc = NestingProc;
  Class.hInstance = GetModuleHandleA(nullptr);
  Class.lpszClassName = "VintrelNestingTest";
  ASSERT_NE(RegisterClassA(&Class), 0);
  HWND Window = CreateWindowA(Class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Class.hInstance, nullptr);
  ASSERT_NE(Window, nullptr);
  TNesting State{Tray->WindowHandle(), [&] { return Clicks > 0; }};
  Nesting = &State;

  std::atomic<bool> Answered{false};
  std::thread Sender([&] {
    SendMessageA(Window, WM_APP, 0, 0);
    Answered = true;
  });
  const bool Returned = PumpUntil([&] { return Answered.load(); }, 15000);
  Sender.join();  // the handler has returned, its loop bounded
  PumpFor(100);
  Nesting = nullptr;
  EXPECT_TRUE(DestroyWindow(Window));
  EXPECT_TRUE(UnregisterClassA(Class.lpszClassName, Class.hInstance));
  EXPECT_TRUE(Returned);
  // Not sent back again and again inside that loop, but handled there, once.
  EXPECT_TRUE(State.DoneInside);
  EXPECT_EQ(Clicks, 1);
}

TEST_F(TrayIconTest, ARestartedShellGetsAnActiveIconBack) {
  const UINT TaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  ASSERT_NE(TaskbarCreated, 0u);
  SendMessageA(Tray->WindowHandle(), TaskbarCreated, 0, 0);
  EXPECT_TRUE(Calls().empty());

  Tray->SetToolTip("Before");
  Tray->SetActive(true);
  Tray->SetToolTip("Now");
  SendMessageA(Tray->WindowHandle(), TaskbarCreated, 0, 0);
  ASSERT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD}));
  EXPECT_EQ(Calls()[2].Tip(), "Now");
  ExpectRecordOfThisIcon(Calls()[2]);

  Tray->SetActive(false);
  SendMessageA(Tray->WindowHandle(), TaskbarCreated, 0, 0);
  EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_DELETE}));
}

}  // namespace
