// The main window and the tray lamp at 125, 150 and 200 % display scale.
// These cases run in each of the tests' scaled Wine prefixes, whose system
// DPI is 120, 144 or 192 (scripts/setup.sh makes them): the program,
// per-monitor aware by its manifest, lays itself out there for that DPI, and
// the system stretches nothing.

#include "tests/support/LoopbackServer.h"
#include "tests/support/MainWindowFixture.h"

#include <initializer_list>
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

// What each scale gives: the client area, the window's outer size around it
// (the modal frame, as Wine draws it 3 pixels wide at every scale), the
// shell's small icon, and the glyph drawn for it.
struct Scale {
  int Dpi, ClientWidth, ClientHeight, OuterWidth, OuterHeight, Lamp, GlyphWidth, GlyphHeight;
};
constexpr Scale Scales[] = {{96, 300, 120, 306, 126, 16, 12, 11},
                            {120, 375, 150, 381, 156, 20, 15, 14},
                            {144, 450, 180, 456, 186, 24, 18, 17},
                            {192, 600, 240, 606, 246, 32, 24, 22}};

const Scale& At(int Dpi) {
  for (const Scale& S : Scales)
    if (S.Dpi == Dpi) return S;
  ADD_FAILURE() << "no figures for " << Dpi << " DPI";
  return Scales[0];
}

class HighDpiTest : public vtest::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    Dpi = SystemDpi();
    ASSERT_TRUE(Dpi == 120 || Dpi == 144 || Dpi == 192) << "not one of the tests' scaled Wine prefixes: " << Dpi;
    Create(Server.Url());
    ASSERT_TRUE(WaitForProbe());
  }
  // Figures of the 96-DPI layout at the prefix's DPI, rounded as MulDiv
  // rounds, each from its own 96-DPI figure.
  std::vector<int> Scaled(std::vector<int> Figures, int AtDpi = 0) const {
    for (int& F : Figures) F = MulDiv(F, AtDpi ? AtDpi : Dpi, 96);
    return Figures;
  }
  void ExpectClientSize(int Width, int Height) {
    RECT Client;
    ASSERT_TRUE(GetClientRect(Form->WindowHandle(), &Client));
    EXPECT_EQ(Client.right, Width);
    EXPECT_EQ(Client.bottom, Height);
  }
  void ExpectClientSizeAt(int AtDpi) {
    EXPECT_EQ(Form->PixelsPerInch(), AtDpi);
    ExpectClientSize(At(AtDpi).ClientWidth, At(AtDpi).ClientHeight);
  }
  // Every figure made for AtDpi from the 96-DPI layout, however many changes
  // came before.
  void ExpectLayoutAt(int AtDpi) {
    EXPECT_EQ(Bounds(Form->gimageCaption), Scaled({0, 0, 300, 19}, AtDpi));
    EXPECT_EQ(Bounds(Form->sbtnInfo), Scaled({2, 21, 54, 21}, AtDpi));
    EXPECT_EQ(Bounds(Form->sbtnClose), Scaled({282, 3, 16, 14}, AtDpi));
    EXPECT_EQ(Bounds(Form->nbControls), Scaled({65, 20, 233, 98}, AtDpi));
    EXPECT_EQ(Bounds(Form->editURL), Scaled({48, 8, 181, 21}, AtDpi));
    EXPECT_EQ(Bounds(Form->panelStart), Scaled({180, 0, 53, 32}, AtDpi));
    EXPECT_EQ(Form->labelCaption->Font().Height(), MulDiv(11, AtDpi, 96));
    EXPECT_EQ(Form->labelName->Font().Height(), MulDiv(13, AtDpi, 96));
    EXPECT_EQ(Form->sbtnClose->Glyph().Width(), At(AtDpi).GlyphWidth);
    EXPECT_EQ(Form->sbtnClose->Glyph().Height(), At(AtDpi).GlyphHeight);
  }
  // WM_DPICHANGED as the system sends it when the window reaches a monitor
  // of another scale: the new DPI, and the rectangle it suggests there (at
  // 100, 50); to the tray's hidden window too unless told otherwise.
  RECT ChangeDpi(int NewDpi, bool Tray = true) {
    HWND Window = Form->WindowHandle();
    RECT Suggested = {100, 50, 100 + At(NewDpi).OuterWidth, 50 + At(NewDpi).OuterHeight};
    SendMessageA(Window, WM_DPICHANGED, MAKEWPARAM(NewDpi, NewDpi), reinterpret_cast<LPARAM>(&Suggested));
    if (Tray)
      SendMessageA(Form->trayIcon->WindowHandle(), WM_DPICHANGED, MAKEWPARAM(NewDpi, NewDpi),
                   reinterpret_cast<LPARAM>(&Suggested));
    return Suggested;
  }
  void ExpectDocked() {
    RECT Work, Outer;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &Work, 0));
    ASSERT_TRUE(GetWindowRect(Form->WindowHandle(), &Outer));
    EXPECT_EQ(Outer.right, Work.right);
    EXPECT_EQ(Outer.bottom, Work.bottom);
  }
  void Undock() {
    ASSERT_TRUE(SetWindowPos(Form->WindowHandle(), nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  }
  int LastLampSent() {
    EXPECT_FALSE(Recorder::Tray().empty());
    return Recorder::Tray().empty() ? 0 : IconWidth(Recorder::Tray().back().Data.hIcon);
  }

  vtest::LoopbackServer Server;
  int Dpi = 0;
};

TEST_F(HighDpiTest, TheWindowIsLaidOutForTheScaleWithEveryCaptionWholeTheTextGrownAndTheLampAtTheShellsSize) {
  ExpectClientSizeAt(Dpi);
  // Docked with its larger size in the work area's corner, all of it inside.
  ExpectDocked();
  ExpectLayoutAt(Dpi);
  EXPECT_EQ(Bounds(Form->ipanelCaption), Scaled({0, 0, 300, 19}));
  EXPECT_EQ(Bounds(Form->cbSndDisconnect), Scaled({4, 52, 129, 17}));

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
    EXPECT_LE(Text.cx, CheckBoxTextRoom(Box, Dpi));
    EXPECT_LE(Text.cy, Box->Height());
  }
  // The text grows with the scale: a line of the window's font is about 13
  // pixels times the scale (twice as high at 200 %), where the bitmap face
  // has a size for it and where it has none.
  for (TControl* Text : std::initializer_list<TControl*>{Form->labelURL, Form->sbtnInfo, Form->cbSaveLog,
                                                         Form->labelCaption, Form->labelState}) {
    SCOPED_TRACE(Text->Caption());
    const double Expected = 13.0 * Dpi / 96;
    EXPECT_NEAR(TextExtent(Text).cy, Expected, Expected / 8);
  }

  // A field's line sits in its middle, as it fills the field at 96 DPI: as
  // much room above it as below, inside the border.
  for (TEdit* Edit : {Form->editURL, Form->editInterval, Form->editSndConnect}) {
    HWND Field = Edit->WindowHandle();
    RECT Outer, Client;
    ASSERT_TRUE(GetWindowRect(Field, &Outer));
    ASSERT_TRUE(GetClientRect(Field, &Client));
    ASSERT_TRUE(ClientToScreen(Field, reinterpret_cast<POINT*>(&Client.left)));
    ASSERT_TRUE(ClientToScreen(Field, reinterpret_cast<POINT*>(&Client.right)));
    HDC DC = GetDC(Field);
    ASSERT_NE(DC, nullptr);
    HGDIOBJ Old = SelectObject(DC, reinterpret_cast<HFONT>(SendMessageA(Field, WM_GETFONT, 0, 0)));
    TEXTMETRICA Line = {};
    EXPECT_TRUE(GetTextMetricsA(DC, &Line));
    SelectObject(DC, Old);
    ReleaseDC(Field, DC);
    const int Border = Outer.bottom - Client.bottom;
    const int Above = Client.top - (Outer.top + Border), Below = Client.bottom - Client.top - Line.tmHeight;
    EXPECT_NEAR(Above, Below, 1) << Edit->Text();
  }

  // The lamp at the size the shell asks for at this DPI, drawn for it.
  EXPECT_EQ(Form->trayIcon->IconSize(), At(Dpi).Lamp);
  EXPECT_EQ(IconWidth(Form->trayIcon->Icon().Handle()), At(Dpi).Lamp);
  EXPECT_EQ(LastLampSent(), At(Dpi).Lamp);
}

TEST_F(HighDpiTest, AtAnotherScaleTheWindowIsLaidOutAgainFromTheDesignAndAnUndockedOneInTheSuggestedRectangle) {
  // Docked, it is docked again at the new scale.
  Recorder::Tray().clear();
  ChangeDpi(96);
  ExpectClientSizeAt(96);
  ExpectDocked();
  // Back to the 96-DPI layout as it is made.
  ExpectLayoutAt(96);
  EXPECT_EQ(Form->labelCaption->Font().Height(), 11);
  // The lamp: 16 pixels, sent to the shell.
  EXPECT_EQ(IconWidth(Form->trayIcon->Icon().Handle()), 16);
  ASSERT_FALSE(Recorder::Tray().empty());
  EXPECT_EQ(Recorder::Tray().back().Message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(LastLampSent(), 16);
  // A new state's lamp comes at the shell's size too.
  Form->SetNotifyState(nsStopped, false, false);
  EXPECT_EQ(LastLampSent(), 16);

  // Moved away, it takes the place the system suggests.
  Undock();
  const RECT Suggested = ChangeDpi(Dpi);
  RECT Outer;
  ASSERT_TRUE(GetWindowRect(Form->WindowHandle(), &Outer));
  EXPECT_TRUE(EqualRect(&Outer, &Suggested));
  ExpectClientSizeAt(Dpi);
  ExpectLayoutAt(Dpi);
  EXPECT_EQ(LastLampSent(), At(Dpi).Lamp);

  // However many changes, each scale is made from the 96-DPI figures: no
  // rounding adds up, and 96 brings back 300 x 120 exactly.
  for (int Step : {96, 120, 144, 192, 120, 144, 96}) {
    SCOPED_TRACE(Step);
    ChangeDpi(Step);
    ExpectClientSizeAt(Step);
    ExpectLayoutAt(Step);
  }

  // Asked for its size at another DPI, it gives the one whose client area is
  // the layout's at that DPI, not the system's guess.
  HWND Window = Form->WindowHandle();
  for (const Scale& S : Scales) {
    SCOPED_TRACE(S.Dpi);
    SIZE Size = {0, 0};
    EXPECT_TRUE(SendMessageA(Window, WM_GETDPISCALEDSIZE, S.Dpi, reinterpret_cast<LPARAM>(&Size)));
    EXPECT_EQ(Size.cx, S.OuterWidth);
    EXPECT_EQ(Size.cy, S.OuterHeight);
  }
  // A change without a suggested rectangle keeps the window where it is.
  Undock();
  SendMessageA(Window, WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), 0);
  ExpectClientSizeAt(Dpi);
  ASSERT_TRUE(GetWindowRect(Window, &Outer));
  EXPECT_EQ(Outer.left, 100);
  EXPECT_EQ(Outer.top, 50);
}

TEST_F(HighDpiTest, AWindowHiddenWhileTheScaleChangedIsLaidOutForItsMonitorBeforeItShows) {
  // Hidden, it missed its monitor's change to this scale from 100 %.
  ASSERT_FALSE(IsWindowVisible(Form->WindowHandle()));
  ChangeDpi(96, false);
  ExpectClientSizeAt(96);
  Form->ToggleVisible();
  EXPECT_TRUE(IsWindowVisible(Form->WindowHandle()));
  ExpectClientSizeAt(Dpi);
  ExpectLayoutAt(Dpi);
  ExpectDocked();
}

// At every scale the fonts and glyphs drawn for it are shared as at 96 DPI.
TEST_F(HighDpiTest, TheWindowHoldsAFewSharedGdiObjectsOnEveryPage) {
  const long Most = MostGdiObjectsOverEveryPage(Server.Url());
  RecordProperty("MostGdiObjects", static_cast<int>(Most));
  EXPECT_LE(Most, 40);
}

TEST_F(HighDpiTest, TheLampTakesTheSizeOfTheTraysDpiNotTheWindows) {
  // A second monitor: the window on one scale, the notification area (and
  // the tray's hidden window) on another. Each new state's lamp comes at the
  // notification area's size.
  ChangeDpi(96, false);
  Form->SetNotifyState(nsStopped, false, false);
  EXPECT_EQ(LastLampSent(), At(Dpi).Lamp);
  ChangeDpi(Dpi, false);
  SendMessageA(Form->trayIcon->WindowHandle(), WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
  EXPECT_EQ(LastLampSent(), 16);
  Form->SetNotifyState(nsConnected, false, false);
  EXPECT_EQ(LastLampSent(), 16);
}

}  // namespace
