// Monitoring as the main window runs it: real probes against a loopback
// server, the shell, sounds and message boxes recorded through the seam.

#include "tests/support/LoopbackServer.h"
#include "tests/support/MainWindowFixture.h"
#include "toolkit/Exceptions.h"

#include <functional>

namespace {

using vtest::Answer;
using vtest::LoopbackServer;
using vtest::PumpFor;
using vtest::PumpUntil;
using vtest::Recorder;

using ControllerTest = vtest::MainWindowFixture;

TEST_F(ControllerTest, ARunOfEqualResultsGivesOneLineAndOneSound) {
  LoopbackServer Server;
  // Typed in capitals: shown as typed, probed in its normalised form.
  const std::string Typed = "HTTP://127.0.0.1:" + std::to_string(Server.Port()) + "/Check";
  Create(Typed);
  ASSERT_TRUE(WaitForProbe());
  EXPECT_EQ(Form->inetNotify->URL(), "http://127.0.0.1:" + std::to_string(Server.Port()) + "/check");
  ASSERT_EQ(Server.RequestCount(), 1u);
  EXPECT_EQ(Server.Requests()[0].RequestLine, "GET /check HTTP/1.1");

  Form->inetNotifyDownNotification(Form->inetNotify, true);
  Form->inetNotifyDownNotification(Form->inetNotify, true);

  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_TRUE(IsLogLine(Lines[0], "Connected to " + Typed)) << Lines[0];
  EXPECT_EQ(Form->labelState->Caption(), "Connected to " + Typed);
  EXPECT_EQ(Form->trayIcon->ToolTip(), "Connected to " + Typed);
  EXPECT_EQ(Form->NotifyState(), nsConnected);
  ASSERT_EQ(Recorder::Sounds().size(), 1u);
  EXPECT_EQ(Recorder::Sounds()[0].File, "connect.wav");
  EXPECT_EQ(Recorder::Sounds()[0].Flags, 0x22013u);
  // The shell got the connected picture and the tooltip.
  ASSERT_FALSE(Recorder::Tray().empty());
  EXPECT_EQ(Recorder::Tray().back().Message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(Recorder::Tray().back().Tip(), "Connected to " + Typed);
  EXPECT_NE(Recorder::Tray().back().Data.hIcon, nullptr);

  Form->inetNotifyDownNotification(Form->inetNotify, false);
  Form->inetNotifyDownNotification(Form->inetNotify, false);
  Lines = LogLines();
  ASSERT_EQ(Lines.size(), 2u);
  EXPECT_TRUE(IsLogLine(Lines[1], "Disconnected")) << Lines[1];
  ASSERT_EQ(Recorder::Sounds().size(), 2u);
  EXPECT_EQ(Recorder::Sounds()[1].File, "disconnect.wav");
  // Each line the log view holds ends with CR LF.
  EXPECT_EQ(Form->memoLog->Text(), Lines[0] + "\r\n" + Lines[1] + "\r\n");
}

// Counts the text reads a window receives.
struct TextReads {
  static WNDPROC& Previous() {
    static WNDPROC Procedure = nullptr;
    return Procedure;
  }
  static int& Count() {
    static int Reads = 0;
    return Reads;
  }
  static LRESULT CALLBACK Procedure(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_GETTEXT) ++Count();
    return CallWindowProcA(Previous(), Wnd, Msg, WParam, LParam);
  }
};

TEST_F(ControllerTest, ALogLineIsAppendedWithoutReadingTheTextBeforeIt) {
  Create("http://127.0.0.1:" + std::to_string(LoopbackServer::RefusedPort()) + "/");
  ASSERT_TRUE(WaitForProbe());
  HWND Memo = Form->memoLog->Handle();
  TextReads::Count() = 0;
  TextReads::Previous() = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(Memo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TextReads::Procedure)));
  for (const char* Before : {"", "earlier\r\n", "no line end"}) {
    Form->memoLog->SetText(Before);
    Form->inetNotifyDownNotification(Form->inetNotify, true);
    Form->inetNotifyDownNotification(Form->inetNotify, false);
    EXPECT_EQ(TextReads::Count(), 0) << Before;
    SetWindowLongPtrA(Memo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextReads::Previous()));
    std::vector<std::string> Lines = LogLines();
    ASSERT_EQ(Lines.size(), std::string(Before).empty() ? 2u : 3u) << Before;
    EXPECT_EQ(Lines[Lines.size() - 2].rfind("Connected to ", 0), 0u) << Before;
    EXPECT_TRUE(IsLogLine(Lines.back(), "Disconnected")) << Before;
    EXPECT_EQ(Form->memoLog->Text().substr(Form->memoLog->Text().size() - 2), "\r\n");
    SetWindowLongPtrA(Memo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TextReads::Procedure));
  }
  SetWindowLongPtrA(Memo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextReads::Previous()));
}

TEST_F(ControllerTest, AFailedFirstProbeChangesNothingOnShow) {
  Create("http://127.0.0.1:" + std::to_string(LoopbackServer::RefusedPort()) + "/");
  const size_t ShellCallsAtStart = Recorder::Tray().size();
  ASSERT_TRUE(WaitForProbe());
  PumpFor(100);
  EXPECT_FALSE(Form->inetNotify->Connected());
  EXPECT_EQ(Form->memoLog->Text(), "");
  EXPECT_EQ(Form->labelState->Caption(), "");
  EXPECT_EQ(Form->trayIcon->ToolTip(), "Vintrel");
  EXPECT_TRUE(Recorder::Sounds().empty());
  // Only the start-up's posted refresh reached the shell since creation.
  for (size_t I = ShellCallsAtStart; I < Recorder::Tray().size(); ++I) EXPECT_EQ(Recorder::Tray()[I].Tip(), "Vintrel");
  // The next probe is armed for the interval.
  EXPECT_TRUE(Form->timerNotify->Running());
  EXPECT_EQ(Form->timerNotify->Interval(), 1000u);
}

TEST_F(ControllerTest, ATooltipOver62CharactersCutsTheLogLineAndStatusToo) {
  LoopbackServer Server;
  const std::string URL = Server.Url("/" + std::string(60, 'p'));
  Create(URL);
  ASSERT_TRUE(WaitForProbe());
  const std::string Cut = ("Connected to " + URL).substr(0, 62);
  EXPECT_EQ(Form->trayIcon->ToolTip(), Cut);
  EXPECT_EQ(Form->labelState->Caption(), Cut);
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_TRUE(IsLogLine(Lines[0], Cut)) << Lines[0];
  EXPECT_EQ(Lines[0].find(URL), std::string::npos);
}

TEST_F(ControllerTest, SwitchingOffWhileAProbeIsInFlightReportsStoppedAndTheLateResultChangesNothing) {
  LoopbackServer Server;
  Server.SetAnswer(Answer::Slow);
  Server.SetSlowDelayMs(600);
  Create(Server.Url());
  ASSERT_TRUE(Server.WaitForRequests(1, 5000));

  Form->ToggleActive();  // off, while the worker waits inside the open call
  EXPECT_FALSE(Form->Active());
  auto ExpectStoppedEverywhere = [this] {
    std::vector<std::string> Lines = LogLines();
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_TRUE(IsLogLine(Lines[0], "Stopped")) << Lines[0];
    EXPECT_EQ(Form->NotifyState(), nsStopped);
    EXPECT_EQ(Form->labelState->Caption(), "Stopped");
    EXPECT_EQ(Form->trayIcon->ToolTip(), "Stopped");
    EXPECT_EQ(Form->miStartStop->Caption(), "&Start");
    EXPECT_EQ(Form->sbtnStart->Caption(), "&Start");
    EXPECT_FALSE(Form->sbtnStart->Down());
    EXPECT_TRUE(Form->editURL->Enabled());
    EXPECT_TRUE(Recorder::Sounds().empty());  // switching off is silent
    EXPECT_FALSE(Form->timerNotify->Running());
  };
  ExpectStoppedEverywhere();

  // The answer was already on its way; it arrives while monitoring is off
  // and is no news: no state, no line, no sound, no timer.
  ASSERT_TRUE(WaitForProbe());
  ExpectStoppedEverywhere();
  PumpFor(1500);
  EXPECT_EQ(Server.RequestCount(), 1u);
}

// A shell that, inside one call, handles what reaches a thread waiting on
// another process: sent messages, until the probe's completion is pending
// (posted) or has run.
struct DeliveringShell {
  static std::function<bool()>& CompletionRan() {
    static std::function<bool()> Check;
    return Check;
  }
  static BOOL WINAPI Shell_NotifyIconA(DWORD Message, PNOTIFYICONDATAA Data) {
    if (CompletionRan() && Message == NIM_MODIFY) {
      std::function<bool()> Ran = std::move(CompletionRan());
      CompletionRan() = nullptr;
      const ULONGLONG Until = GetTickCount64() + 5000;
      MSG Pending;
      while (!Ran() && GetTickCount64() < Until &&
             !PeekMessageA(&Pending, nullptr, WM_APP, 0xBFFF, PM_NOREMOVE | PM_QS_POSTMESSAGE))
        PeekMessageA(&Pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return Recorder::Shell_NotifyIconA(Message, Data);
  }
};

TEST_F(ControllerTest, OffAndOnChecksTheNewAddressAtOnceAndTheOldAnswerIsNeverShown) {
  LoopbackServer Old, New;
  Old.SetAnswer(Answer::Hang);
  Create(Old.Url());
  ASSERT_TRUE(Old.WaitForHung(1, 5000));
  Form->ToggleActive();
  Form->editURL->SetText(New.Url());
  Form->ToggleActive();
  // The new address is checked now, not when the old server lets go.
  ASSERT_TRUE(New.WaitForRequests(1, 5000));
  ASSERT_TRUE(WaitForProbe());
  const std::string Connected = "Connected to " + New.Url();
  EXPECT_EQ(Form->trayIcon->ToolTip(), Connected);
  ASSERT_EQ(LogLines().size(), 2u);
  EXPECT_TRUE(IsLogLine(LogLines()[1], Connected));

  // Off while the next probe is out, and on again just as its answer
  // arrives, while the shell holds the thread: what is on show is the
  // switching on, whole, and the old answer is heard nowhere.
  New.SetAnswer(Answer::Slow);
  New.SetSlowDelayMs(300);
  Form->timerNotifyTimer(Form->timerNotify);
  ASSERT_TRUE(New.WaitForRequests(2, 5000));
  Form->ToggleActive();
  const size_t Lines = LogLines().size();
  Platform().Shell_NotifyIconA = DeliveringShell::Shell_NotifyIconA;
  DeliveringShell::CompletionRan() = [&] { return LogLines().size() > Lines; };
  Form->ToggleActive();
  EXPECT_EQ(Form->NotifyState(), nsDisconnected);
  EXPECT_EQ(Form->labelState->Caption(), "Connecting ...");
  EXPECT_EQ(Form->trayIcon->ToolTip(), "Disconnected");
  EXPECT_EQ(LogLines().size(), Lines);
  EXPECT_TRUE(IsLogLine(LogLines().back(), "Stopped"));
  const size_t Sounds = Recorder::Sounds().size();
  // The probe started by switching on gives the one "Connected" line. Two
  // probes let go are still out (the old server's, and the slow one), so it
  // starts once the slow one has ended.
  ASSERT_TRUE(PumpUntil([&] { return New.RequestCount() == 3; }, 5000));
  ASSERT_TRUE(WaitForProbe());
  PumpFor(400);
  ASSERT_EQ(LogLines().size(), Lines + 1);
  EXPECT_TRUE(IsLogLine(LogLines().back(), Connected));
  EXPECT_EQ(Recorder::Sounds().size(), Sounds + 1);
  EXPECT_EQ(New.RequestCount(), 3u);
}

TEST_F(ControllerTest, TheIntervalFieldArmsTheTimerFromEachCompletion) {
  LoopbackServer Server;
  Create(Server.Url(), "30");
  EXPECT_EQ(Form->editInterval->Text(), "30");
  EXPECT_EQ(Form->timerNotify->Interval(), 30000u);
  EXPECT_FALSE(Form->timerNotify->Running());  // not while the probe runs
  ASSERT_TRUE(WaitForProbe());
  EXPECT_TRUE(Form->timerNotify->Running());
  Form->timerNotifyTimer(Form->timerNotify);
  EXPECT_FALSE(Form->timerNotify->Running());
  ASSERT_TRUE(WaitForProbe());
  EXPECT_TRUE(Form->timerNotify->Running());
  EXPECT_EQ(Server.RequestCount(), 2u);
}

TEST_F(ControllerTest, AStartThatFailsLeavesMonitoringOffEverywhereAndTheNextStartStarts) {
  LoopbackServer Server;
  Create(Server.Url());
  ASSERT_TRUE(WaitForProbe());
  ASSERT_TRUE(Form->timerNotify->Running());
  auto ExpectOffEverywhere = [this] {
    EXPECT_FALSE(Form->Active());
    EXPECT_EQ(Form->miStartStop->Caption(), "&Start");
    EXPECT_EQ(Form->sbtnStart->Caption(), "&Start");
    EXPECT_FALSE(Form->sbtnStart->Down());
    EXPECT_EQ(Form->NotifyState(), nsStopped);
    EXPECT_EQ(Form->trayIcon->ToolTip(), "Stopped");
    EXPECT_EQ(Form->labelState->Caption(), "Stopped");
    EXPECT_TRUE(Form->editURL->Enabled());
    EXPECT_TRUE(Form->sbtnConfig->Enabled());
    EXPECT_FALSE(Form->timerNotify->Running());
    EXPECT_FALSE(Form->inetNotify->Probing());
  };

  // The field changes under a running timer (only a program can do that):
  // the next probe cannot start, the error box says why, and monitoring is
  // off.
  Form->editInterval->SetText("3x");
  ASSERT_TRUE(PumpUntil([] { return !Recorder::Boxes().empty(); }, 5000));
  EXPECT_EQ(Recorder::Boxes()[0].Text, "'3x' is not a valid integer value.");
  EXPECT_EQ(Recorder::Boxes()[0].Caption, Application->Title());
  EXPECT_EQ(Recorder::Boxes()[0].Type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  ExpectOffEverywhere();
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 2u);
  EXPECT_TRUE(IsLogLine(Lines[1], "Stopped")) << Lines[1];
  PumpFor(1500);
  EXPECT_EQ(Server.RequestCount(), 1u);

  // Start, clicked with that text: the error, and nothing changes, the
  // button that the click pressed included; no second "Stopped" line.
  HWND Panel = Form->panelStart->Handle();
  const LPARAM OnStart = MAKELPARAM(Form->sbtnStart->Left() + 5, Form->sbtnStart->Top() + 5);
  SendMessageA(Panel, WM_LBUTTONDOWN, MK_LBUTTON, OnStart);
  SendMessageA(Panel, WM_LBUTTONUP, 0, OnStart);
  ASSERT_TRUE(PumpUntil([] { return Recorder::Boxes().size() == 2; }, 5000));
  EXPECT_EQ(Recorder::Boxes()[1].Text, "'3x' is not a valid integer value.");
  ExpectOffEverywhere();
  EXPECT_THROW(Form->ToggleActive(), EConvertError);  // from the menu: the same
  ExpectOffEverywhere();
  EXPECT_EQ(LogLines().size(), 2u);
  EXPECT_EQ(Server.RequestCount(), 1u);

  // Mended, the next Start starts.
  Form->editInterval->SetText("45");
  Form->ToggleActive();
  EXPECT_TRUE(Form->Active());
  EXPECT_EQ(Form->miStartStop->Caption(), "&Stop");
  EXPECT_TRUE(Form->sbtnStart->Down());
  EXPECT_FALSE(Form->editURL->Enabled());
  ASSERT_TRUE(WaitForProbe());
  EXPECT_EQ(Server.RequestCount(), 2u);
  EXPECT_EQ(Form->NotifyState(), nsConnected);
  EXPECT_EQ(Form->timerNotify->Interval(), 45000u);
}

TEST_F(ControllerTest, IntervalsTheTimerCannotCountArmItWithTheDefault) {
  LoopbackServer Server;
  Create(Server.Url());
  ASSERT_TRUE(WaitForProbe());
  Form->ToggleActive();
  struct Case {
    const char* Text;
    unsigned Milliseconds;
  };
  for (const Case& C : {Case{"0", 120000u}, Case{"-5", 120000u}, Case{"2147484", 120000u}, Case{"0x7FFFFFFF", 120000u},
                        Case{"536870912", 120000u}, Case{"1", 1000u}, Case{"2147483", 2147483000u}}) {
    Form->editInterval->SetText(C.Text);
    Form->ToggleActive();
    EXPECT_EQ(Form->timerNotify->Interval(), C.Milliseconds) << C.Text;
    ASSERT_TRUE(WaitForProbe()) << C.Text;
    EXPECT_TRUE(Form->timerNotify->Running()) << C.Text;
    Form->ToggleActive();
  }
}

TEST_F(ControllerTest, SoundsPlayOnlyWhenTickedAndNeverOnSwitchingOff) {
  LoopbackServer Server;
  Create(Server.Url());
  ASSERT_TRUE(WaitForProbe());
  ASSERT_EQ(Recorder::Sounds().size(), 1u);
  Form->cbSndConnect->SetChecked(false);
  Form->cbSndDisconnect->SetChecked(false);
  Form->editSndDisconnect->SetText("C:\\Sounds\\down.wav");
  Form->inetNotifyDownNotification(Form->inetNotify, false);
  Form->inetNotifyDownNotification(Form->inetNotify, true);
  EXPECT_EQ(Recorder::Sounds().size(), 1u);
  EXPECT_EQ(LogLines().size(), 3u);

  Form->cbSndDisconnect->SetChecked(true);
  Form->ToggleActive();
  Form->StopNotify();  // the stopped state again: no change, nothing more
  EXPECT_EQ(Recorder::Sounds().size(), 1u);
  EXPECT_EQ(LogLines().size(), 4u);
  Form->ToggleActive();  // on again: disconnected, unreported and silent
  ASSERT_TRUE(WaitForProbe());
  Form->inetNotifyDownNotification(Form->inetNotify, true);
  Form->inetNotifyDownNotification(Form->inetNotify, false);
  ASSERT_EQ(Recorder::Sounds().size(), 2u);
  EXPECT_EQ(Recorder::Sounds()[1].File, "C:\\Sounds\\down.wav");
}

TEST_F(ControllerTest, ClosingStopsTheProbeAndTheTimer) {
  LoopbackServer Server;
  Server.SetAnswer(Answer::Hang);
  Create(Server.Url());
  ASSERT_TRUE(Server.WaitForHung(1, 5000));
  Form->BeforeDestruction();
  EXPECT_FALSE(Form->timerNotify->Running());
  delete Form;
  Form = VintrelF = nullptr;
  Server.ReleaseHung();
  PumpFor(300);  // the late completion finds no window and is dropped
  // The icon left the notification area with the window.
  ASSERT_FALSE(Recorder::Tray().empty());
  EXPECT_EQ(Recorder::Tray().back().Message, static_cast<DWORD>(NIM_DELETE));
}

}  // namespace
