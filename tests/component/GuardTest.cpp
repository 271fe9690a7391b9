// The single-instance guard inside one process: the hook on the application
// window, the verdict of the mutex, and what a later copy does.

#include "app/OneInstanceU.h"
#include "tests/support/Pump.h"
#include "tests/support/Seams.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

namespace {

using vtest::Recorder;

std::vector<std::string>& DebugTexts() {
  static std::vector<std::string> Texts;
  return Texts;
}
void WINAPI RecordDebugText(LPCSTR Text) { DebugTexts().push_back(Text); }

// A hidden form of the test's own, as a main window.
class PlainForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Recorder::Install();
    DebugTexts().clear();
    Platform().OutputDebugStringA = RecordDebugText;
    // A name of this test's own, so no other process's mutex counts.
    InstanceName = "VintrelGuardTest-" + std::to_string(GetCurrentProcessId());
    InstanceMessage = RegisterWindowMessageA(InstanceName.c_str());
    ShowInstanceMessage = true;
    InstanceStatus = 0;
    Application->SetShowMainForm(true);
    OriginalProc = GetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC);
  }
  void TearDown() override {
    if (OldWndProc) SetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OldWndProc));
    OldWndProc = nullptr;
    if (InstanceMutex) CloseHandle(InstanceMutex);
    InstanceMutex = nullptr;
    Application->DestroyForms();
    // The quit request a later copy posts must not reach the next test.
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  static bool QuitPosted() {
    MSG Msg;
    return PeekMessageA(&Msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  }

  vtest::ScopedPlatform Seam;
  LONG_PTR OriginalProc = 0;
};

TEST_F(GuardTest, AFirstCopyHooksTheApplicationWindowThenHoldsTheMutex) {
  CheckInstance();
  EXPECT_EQ(GetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(InstanceWndProc));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(OldWndProc), OriginalProc);
  ASSERT_NE(InstanceMutex, nullptr);
  EXPECT_EQ(InstanceStatus, 0u);
  EXPECT_TRUE(Application->ShowMainForm());
  EXPECT_TRUE(Recorder::Boxes().empty());
  EXPECT_FALSE(QuitPosted());
  // Another start would find the mutex now.
  HANDLE Found = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, InstanceName.c_str());
  EXPECT_NE(Found, nullptr);
  CloseHandle(Found);
}

TEST_F(GuardTest, TheHookedWindowAnswersTheInstanceMessageAndPassesTheRestOn) {
  PlainForm* Main = nullptr;
  Application->CreateForm(Main);
  HookApplicationWindow();
  ASSERT_EQ(reinterpret_cast<LONG_PTR>(OldWndProc), OriginalProc);

  EXPECT_EQ(SendMessageA(Application->Handle(), InstanceMessage, 0, 0), 0);
  EXPECT_FALSE(IsWindowVisible(Main->WindowHandle()));  // woken, not shown
  // Everything else behaves as before the hook: the title is still the caption.
  char Caption[256] = "";
  SendMessageA(Application->Handle(), WM_GETTEXT, sizeof Caption, reinterpret_cast<LPARAM>(Caption));
  EXPECT_EQ(Caption, Application->Title());

  OneInstanceCleanup();
  EXPECT_EQ(GetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC), OriginalProc);
  EXPECT_EQ(OldWndProc, nullptr);
}

TEST_F(GuardTest, ALaterCopyShowsTheMessageThenQuitsWithoutShowingItsWindow) {
  HANDLE Running = CreateMutexA(nullptr, FALSE, InstanceName.c_str());
  CheckInstance();
  ASSERT_EQ(Recorder::Boxes().size(), 1u);
  EXPECT_EQ(Recorder::Boxes()[0].Text, "Only one instance of " + InstanceName + " can be executed !");
  EXPECT_EQ(Recorder::Boxes()[0].Caption, Application->Title());
  EXPECT_EQ(Recorder::Boxes()[0].Type, static_cast<UINT>(MB_OK));
  EXPECT_FALSE(Application->ShowMainForm());
  EXPECT_TRUE(QuitPosted());
  EXPECT_EQ(GetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC), OriginalProc);  // never hooked
  CloseHandle(Running);
}

TEST_F(GuardTest, WithoutTheMessageALaterCopyQuitsAtOnce) {
  HANDLE Running = CreateMutexA(nullptr, FALSE, InstanceName.c_str());
  ShowInstanceMessage = false;
  CheckInstance();
  EXPECT_TRUE(Recorder::Boxes().empty());
  EXPECT_FALSE(Application->ShowMainForm());
  EXPECT_TRUE(QuitPosted());
  CloseHandle(Running);
}

TEST_F(GuardTest, ACopyThatLosesTheRaceToCreateTheMutexIsALaterCopy) {
  // Another copy created the mutex between this one's open and create.
  HANDLE Winner = CreateMutexA(nullptr, FALSE, InstanceName.c_str());
  SetupFirstInstance();
  EXPECT_EQ(Recorder::Boxes().size(), 1u);
  EXPECT_FALSE(Application->ShowMainForm());
  EXPECT_TRUE(QuitPosted());
  EXPECT_EQ(GetWindowLongPtrA(Application->Handle(), GWLP_WNDPROC), OriginalProc);  // hook taken back
  EXPECT_EQ(OldWndProc, nullptr);
  EXPECT_EQ(InstanceStatus, 0u);
  CloseHandle(Winner);
}

TEST_F(GuardTest, ARefusedForegroundSwitchWritesOneDebuggerMessage) {
  HWND NoWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x7ffe1234));
  EXPECT_FALSE(ForceForeground(NoWindow));
  ASSERT_EQ(DebugTexts().size(), 1u);
  EXPECT_EQ(DebugTexts()[0], "Error 1400 from SetForegroundWindow");  // an invalid window handle
}

}  // namespace
