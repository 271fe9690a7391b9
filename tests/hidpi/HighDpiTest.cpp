// The main window and the tray lamp at 150 % display scale. These cases run
// in the second Wine prefix of the tests, whose system DPI is 144
// (scripts/setup.sh makes it): the program, per-monitor aware by its
// manifest, lays itself out there for 144 DPI, and the system stretches
// nothing.

#include "tests/support/LoopbackServer.h"
#include "tests/support/MainWindowFixture.h"

#include <string>

namespace {

using vtest::Recorder;

// The caption's text as DrawTextA sets it out in the control's font: the
// accelerator marks taken out.
SIZE TextExtent(TControl* Control) {
  HDC Screen = GetDC(nullptr);
  EXPECT_NE(Screen, nullptr);
  HGDIOBJ Old = SelectObject(Screen, Control->Font().Handle());
  EXPECT_NE(Old, nullptr);
  RECT R = {0, 0, 0, 0};
  EXPECT_GT(DrawTextA(Screen, Control->Caption().c_str(), -1, &R, DT_CALCRECT | DT_SINGLELINE), 0);
  SelectObject(Screen, Old);
  ReleaseDC(nullptr, Screen);
  return {R.right - R.left, R.bottom - R.top};
}

// The room a check box leaves its caption: the box, 13 pixels at 96 DPI,
// and half a digit's width between box and text, as the classic check box
// sets them out.
int CheckBoxTextRoom(TCheckBox* Box, int Dpi) {
  HDC Screen = GetDC(nullptr);
  EXPECT_NE(Screen, nullptr);
  HGDIOBJ Old = SelectObject(Screen, Box->Font().Handle());
  EXPECT_NE(Old, nullptr);
  SIZE Digit = {0, 0};
  EXPECT_TRUE(GetTextExtentPoint32A(Screen, "0", 1, &Digit));
  SelectObject(Screen, Old);
  ReleaseDC(nullptr, Screen);
  return Box->Width() - (12 * Dpi / 96 + 1) - Digit.cx / 2;
}

int IconWidth(HICON Icon) {
  ICONINFO Info = {};
  if (!GetIconInfo(Icon, &Info)) return 0;
  BITMAP Mask = {};
  const int Got = GetObjectA(Info.hbmMask, sizeof Mask, &Mask);
  DeleteObject(Info.hbmMask);
  if (Info.hbmColor) DeleteObject(Info.hbmColor);
  return Got ? Mask.bmWidth : 0;
}

std::vector<int> Bounds(TControl* C) { return {C->Left(), C->Top(), C->Width(), C->Height()}; }

class HighDpiTest : public vtest::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ASSERT_EQ(SystemDpi(), 144) << "not the tests' 144-DPI Wine prefix";
    Create(Server.Url());
    ASSERT_TRUE(WaitForProbe());
  }
  void ExpectClientSize(int Width, int Height) {
    RECT Client;
    ASSERT_TRUE(GetClientRect(Form->WindowHandle(), &Client));
    EXPECT_EQ(Client.right, Width);
    EXPECT_EQ(Client.bottom, Height);
  }
  // WM_DPICHANGED as the system sends it when the window reaches a monitor
  // of another scale: the new DPI, and the rectangle it suggests there.
  RECT ChangeDpi(int Dpi, int ClientWidth, int ClientHeight) {
    HWND Window = Form->WindowHandle();
    RECT Suggested =
        WindowRectForClient({0, 0, ClientWidth, ClientHeight}, static_cast<DWORD>(GetWindowLongPtrA(Window, GWL_STYLE)),
                            static_cast<DWORD>(GetWindowLongPtrA(Window, GWL_EXSTYLE)), Dpi);
    OffsetRect(&Suggested, 100 - Suggested.left, 50 - Suggested.top);
    SendMessageA(Window, WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), reinterpret_cast<LPARAM>(&Suggested));
    SendMessageA(Form->trayIcon->WindowHandle(), WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi),
                 reinterpret_cast<LPARAM>(&Suggested));
    return Suggested;
  }

  vtest::LoopbackServer Server;
};

TEST_F(HighDpiTest, TheWindowIsLaidOutHalfAgainAsLargeWithEveryCaptionWholeAndTheLampAt24Pixels) {
  EXPECT_EQ(Form->PixelsPerInch(), 144);
  ExpectClientSize(450, 180);
  // Docked with its larger size in the work area's corner, all of it inside.
  RECT Work, Outer;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &Work, 0));
  ASSERT_TRUE(GetWindowRect(Form->WindowHandle(), &Outer));
  EXPECT_EQ(Outer.right, Work.right);
  EXPECT_EQ(Outer.bottom, Work.bottom);
  // Every figure of the layout times 1.5, rounded as MulDiv rounds.
  EXPECT_EQ(Bounds(Form->ipanelCaption), (std::vector<int>{0, 0, 450, 29}));
  EXPECT_EQ(Bounds(Form->gimageCaption), (std::vector<int>{0, 0, 450, 29}));
  EXPECT_EQ(Bounds(Form->sbtnInfo), (std::vector<int>{3, 32, 81, 32}));
  EXPECT_EQ(Bounds(Form->sbtnClose), (std::vector<int>{423, 5, 24, 21}));
  EXPECT_EQ(Bounds(Form->nbControls), (std::vector<int>{98, 30, 350, 147}));
  EXPECT_EQ(Bounds(Form->editURL), (std::vector<int>{72, 12, 272, 32}));
  EXPECT_EQ(Bounds(Form->cbSndDisconnect), (std::vector<int>{6, 78, 194, 26}));
  EXPECT_EQ(Form->labelCaption->Font().Height(), 17);
  EXPECT_EQ(Form->labelName->Font().Height(), 20);
  // The glyphs drawn for 150 %.
  EXPECT_EQ(Form->sbtnClose->Glyph().Width(), 18);
  EXPECT_EQ(Form->sbtnClose->Glyph().Height(), 17);

  // Every caption whole: within its label, and clear of the field beside it.
  struct Label {
    TLabel* Control;
    TControl* Next;  // the control to its right, or none
  };
  const Label Labels[] = {
      {Form->labelURL, Form->editURL},
      {Form->labelInterval, Form->editInterval},
      {Form->labelTimeOut, Form->editTimeOut},
      {Form->labelSec01, Form->cbSaveLog},
      {Form->labelSec02, Form->cbSaveLog},
      {Form->labelCaption, Form->sbtnMinimize},
      {Form->labelName, nullptr},
      {Form->labelVersion, nullptr},
      {Form->llabelCopyright, nullptr},
      {Form->labelHttp, nullptr},
  };
  for (const Label& L : Labels) {
    SCOPED_TRACE(L.Control->Caption());
    const SIZE Text = TextExtent(L.Control);
    EXPECT_LE(Text.cx, L.Control->Width());
    EXPECT_LE(Text.cy, L.Control->Height());
    if (L.Next) {
      EXPECT_LE(L.Control->Left() + Text.cx, L.Next->Left());
    }
  }
  for (TCheckBox* Box : {Form->cbSaveLog, Form->cbSndConnect, Form->cbSndDisconnect}) {
    SCOPED_TRACE(Box->Caption());
    const SIZE Text = TextExtent(Box);
    EXPECT_LE(Text.cx, CheckBoxTextRoom(Box, 144));
    EXPECT_LE(Text.cy, Box->Height());
  }

  // The lamp at the size the shell asks for at 144 DPI, drawn for it.
  EXPECT_EQ(Form->trayIcon->IconSize(), 24);
  EXPECT_EQ(IconWidth(Form->trayIcon->Icon().Handle()), 24);
  ASSERT_FALSE(Recorder::Tray().empty());
  EXPECT_EQ(IconWidth(Recorder::Tray().back().Data.hIcon), 24);
}

TEST_F(HighDpiTest, AtAnotherScaleTheWindowIsLaidOutAgainInTheSuggestedRectangleAndTheLampTakesItsSize) {
  Recorder::Tray().clear();
  const RECT Suggested = ChangeDpi(96, 300, 120);
  EXPECT_EQ(Form->PixelsPerInch(), 96);
  RECT Outer;
  ASSERT_TRUE(GetWindowRect(Form->WindowHandle(), &Outer));
  EXPECT_TRUE(EqualRect(&Outer, &Suggested));
  // Back to the 96-DPI layout as it is made.
  ExpectClientSize(300, 120);
  EXPECT_EQ(Bounds(Form->gimageCaption), (std::vector<int>{0, 0, 300, 19}));
  EXPECT_EQ(Bounds(Form->sbtnInfo), (std::vector<int>{2, 21, 54, 21}));
  EXPECT_EQ(Bounds(Form->sbtnClose), (std::vector<int>{282, 3, 16, 14}));
  EXPECT_EQ(Bounds(Form->nbControls), (std::vector<int>{65, 20, 233, 98}));
  EXPECT_EQ(Bounds(Form->editURL), (std::vector<int>{48, 8, 181, 21}));
  EXPECT_EQ(Bounds(Form->panelStart), (std::vector<int>{180, 0, 53, 32}));
  EXPECT_EQ(Form->labelCaption->Font().Height(), 11);
  EXPECT_EQ(Form->sbtnClose->Glyph().Width(), 12);
  EXPECT_EQ(Form->sbtnClose->Glyph().Height(), 11);
  // The lamp: 16 pixels, sent to the shell.
  EXPECT_EQ(IconWidth(Form->trayIcon->Icon().Handle()), 16);
  ASSERT_FALSE(Recorder::Tray().empty());
  EXPECT_EQ(Recorder::Tray().back().Message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(IconWidth(Recorder::Tray().back().Data.hIcon), 16);
  // A new state's lamp comes at the shell's size too.
  Form->SetNotifyState(nsStopped, false, false);
  EXPECT_EQ(IconWidth(Recorder::Tray().back().Data.hIcon), 16);

  ChangeDpi(144, 450, 180);
  ExpectClientSize(450, 180);
  EXPECT_EQ(Bounds(Form->sbtnInfo), (std::vector<int>{3, 32, 81, 32}));
  EXPECT_EQ(Form->sbtnClose->Glyph().Width(), 18);
  EXPECT_EQ(IconWidth(Recorder::Tray().back().Data.hIcon), 24);
}

}  // namespace
