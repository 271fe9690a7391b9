// The main window as the user drives it: the tray click, the strip, the page
// buttons, the fields' checks, the sound buttons and the About link, with
// mouse and keyboard messages sent to the real windows.

#include "tests/support/LoopbackServer.h"
#include "tests/support/MainWindowFixture.h"

#include <commctrl.h>

namespace {

using vtest::LoopbackServer;
using vtest::PumpFor;
using vtest::Recorder;

struct ShellCall {
  HWND Owner;
  std::string Verb, File;
  bool NoParameters, NoDirectory;
  int Show;
};
std::vector<ShellCall>& ShellCalls() {
  static std::vector<ShellCall> Calls;
  return Calls;
}
HINSTANCE WINAPI RecordShellExecute(HWND Owner, LPCSTR Verb, LPCSTR File, LPCSTR Parameters, LPCSTR Directory,
                                    INT Show) {
  ShellCalls().push_back({Owner, Verb ? Verb : "", File ? File : "", !Parameters, !Directory, Show});
  return reinterpret_cast<HINSTANCE>(42);
}

// The open-file dialog as a user answers it.
struct DialogAnswer {
  static OPENFILENAMEA& Seen() {
    static OPENFILENAMEA Record;
    return Record;
  }
  static std::string& SeenFilter() {
    static std::string Text;
    return Text;
  }
  static std::string& SeenFile() {
    static std::string Text;
    return Text;
  }
  static std::string& Chosen() {  // empty: the user cancels
    static std::string Text;
    return Text;
  }
  static BOOL WINAPI Run(LPOPENFILENAMEA Dialog) {
    Seen() = *Dialog;
    SeenFile() = Dialog->lpstrFile;
    const char* End = Dialog->lpstrFilter;
    while (*End) End += strlen(End) + 1;
    SeenFilter().assign(Dialog->lpstrFilter, End + 1);
    if (Chosen().empty()) return FALSE;
    lstrcpynA(Dialog->lpstrFile, Chosen().c_str(), static_cast<int>(Dialog->nMaxFile));
    return TRUE;
  }
};

// The screen as the tests set it: by default a work area that ends where
// the metrics say, 1000 by 720, on a screen of 1000 by 800.
struct FakeScreen {
  static int& Metric(int Index) {
    static int FullWidth = 1000, FullHeight = 700, Caption = 20, Width = 1000, Height = 800, Other = 0;
    switch (Index) {
      case SM_CXFULLSCREEN:
        return FullWidth;
      case SM_CYFULLSCREEN:
        return FullHeight;
      case SM_CYCAPTION:
        return Caption;
      case SM_CXSCREEN:
        return Width;
      case SM_CYSCREEN:
        return Height;
      default:
        return Other = ::GetSystemMetrics(Index);
    }
  }
  static RECT& WorkArea() {
    static RECT Area = {0, 0, 1000, 720};
    return Area;
  }
  static void Reset() {
    Metric(SM_CXFULLSCREEN) = 1000;
    Metric(SM_CYFULLSCREEN) = 700;
    Metric(SM_CYCAPTION) = 20;
    Metric(SM_CXSCREEN) = 1000;
    Metric(SM_CYSCREEN) = 800;
    WorkArea() = {0, 0, 1000, 720};
    HighContrast() = false;
  }
  static int WINAPI GetSystemMetrics(int Index) { return Metric(Index); }
  // The system's high-contrast setting, which Wine has not: always off there.
  static bool& HighContrast() {
    static bool On = false;
    return On;
  }
  static BOOL WINAPI SystemParametersInfoA(UINT Action, UINT Param, PVOID Data, UINT Flags) {
    if (Action == SPI_GETHIGHCONTRAST) {
      static_cast<HIGHCONTRASTA*>(Data)->dwFlags = HighContrast() ? HCF_HIGHCONTRASTON : 0;
      return TRUE;
    }
    if (Action != SPI_GETWORKAREA) return ::SystemParametersInfoA(Action, Param, Data, Flags);
    *static_cast<RECT*>(Data) = WorkArea();
    return TRUE;
  }
};

class MainWindowTest : public vtest::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ShellCalls().clear();
    Platform().ShellExecuteA = RecordShellExecute;
    Platform().GetOpenFileNameA = DialogAnswer::Run;
    FakeScreen::Reset();
    Platform().GetSystemMetrics = FakeScreen::GetSystemMetrics;
    Platform().SystemParametersInfoA = FakeScreen::SystemParametersInfoA;
    Create(Server.Url());
    ASSERT_TRUE(WaitForProbe());
  }
  // A left click as the mouse makes it, at a point of a control's parent window.
  static void ClickAt(TControl* Control, int X = 2, int Y = 2) {
    HWND Parent = Control->Parent()->Handle();
    LPARAM Point = MAKELPARAM(Control->Left() + X, Control->Top() + Y);
    SendMessageA(Parent, WM_MOUSEMOVE, 0, Point);
    SendMessageA(Parent, WM_LBUTTONDOWN, MK_LBUTTON, Point);
    SendMessageA(Parent, WM_LBUTTONUP, 0, Point);
  }
  void ShowWindowFromTray() {
    SendMessageA(Form->trayIcon->WindowHandle(), WM_TRAYICON, 0, WM_LBUTTONUP);
    PumpFor(50);
  }
  static std::vector<std::string> BoxTexts() { return Recorder::BoxTexts(); }
  HWND Focus() const { return GetFocus(); }

  LoopbackServer Server;
};

TEST_F(MainWindowTest, HasNoTitleBarAndDocksAtTheWorkAreasCorner) {
  HWND Window = Form->WindowHandle();
  LONG_PTR Style = GetWindowLongPtrA(Window, GWL_STYLE), ExStyle = GetWindowLongPtrA(Window, GWL_EXSTYLE);
  EXPECT_TRUE(Style & WS_POPUP);
  EXPECT_TRUE(Style & WS_BORDER);
  EXPECT_FALSE(Style & WS_DLGFRAME);
  EXPECT_FALSE(Style & WS_SYSMENU);
  EXPECT_TRUE(ExStyle & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(ExStyle & WS_EX_APPWINDOW);
  EXPECT_EQ(GetWindow(Window, GW_OWNER), Application->Handle());
  RECT Client, Outer;
  GetClientRect(Window, &Client);
  EXPECT_EQ(Client.right, 300);
  EXPECT_EQ(Client.bottom, 120);
  GetWindowRect(Window, &Outer);
  EXPECT_EQ(Outer.right, 1000);
  EXPECT_EQ(Outer.bottom, 720);
  EXPECT_EQ(Outer.right - Outer.left, Form->Width());

  // Dragged away, a double click on the strip's title brings it back.
  SetWindowPos(Window, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  HWND Strip = Form->ipanelCaption->Handle();
  LPARAM OnTitle = MAKELPARAM(Form->labelCaption->Left() + 5, Form->labelCaption->Top() + 5);
  SendMessageA(Strip, WM_LBUTTONDBLCLK, MK_LBUTTON, OnTitle);
  SendMessageA(Strip, WM_LBUTTONUP, 0, OnTitle);
  GetWindowRect(Window, &Outer);
  EXPECT_EQ(Outer.right, 1000);
  EXPECT_EQ(Outer.bottom, 720);
}

TEST_F(MainWindowTest, TheCaptionStripIsAGradientFromTheButtonFaceToDarkRedUnderTheTitleAndButtons) {
  // A panel that draws nothing of its own, filled by the gradient.
  TKVRPanel* Strip = Form->ipanelCaption;
  TKVRGradientImage* Gradient = Form->gimageCaption;
  auto Bounds = [](TControl* C) { return std::vector<int>{C->Left(), C->Top(), C->Width(), C->Height()}; };
  EXPECT_EQ(Bounds(Strip), (std::vector<int>{0, 0, 300, 19}));
  EXPECT_FALSE(Strip->PaintPanel());
  EXPECT_EQ(Gradient->Parent(), Strip);
  EXPECT_EQ(Bounds(Gradient), (std::vector<int>{0, 0, 300, 19}));

  // Dragged away, a double click on the gradient itself docks it again (on
  // the hidden window: on a shown one its press starts the system's move
  // loop, which waits for the real mouse).
  SetWindowPos(Form->WindowHandle(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const LPARAM OnGradient = MAKELPARAM(200, 9);
  ASSERT_EQ(Strip->ControlAtPos({200, 9}), Gradient);
  SendMessageA(Strip->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, OnGradient);
  SendMessageA(Strip->Handle(), WM_LBUTTONUP, 0, OnGradient);
  RECT Outer;
  GetWindowRect(Form->WindowHandle(), &Outer);
  EXPECT_EQ(Outer.right, 1000);
  EXPECT_EQ(Outer.bottom, 720);

  ShowWindowFromTray();
  RedrawWindow(Form->WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC DC = GetDC(Strip->Handle());
  // Above the title and the buttons: the button face at the left, dark red
  // at the right, and in between each channel moving one way only.
  const COLORREF Face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(GetPixel(DC, 0, 1), Face);
  EXPECT_EQ(GetPixel(DC, 299, 1), RGB(128, 0, 0));
  for (int X = 1; X < 300; ++X) {
    const COLORREF Left = GetPixel(DC, X - 1, 1), Here = GetPixel(DC, X, 1);
    ASSERT_LE(GetGValue(Here), GetGValue(Left)) << X;
    ASSERT_LE(GetBValue(Here), GetBValue(Left)) << X;
  }
  // The white title and the close button's black cross are drawn over it.
  int Title = 0, Cross = 0;
  for (int Y = 3; Y < 17; ++Y) {
    for (int X = 2; X < 147; ++X) Title += GetPixel(DC, X, Y) == RGB(255, 255, 255);
    for (int X = 282; X < 298; ++X) Cross += GetPixel(DC, X, Y) == RGB(0, 0, 0);
  }
  ReleaseDC(Strip->Handle(), DC);
  EXPECT_GT(Title, 20);
  EXPECT_GT(Cross, 5);
}

TEST_F(MainWindowTest, InHighContrastThePaintingUsesTheSystemsColourPairsOnlyAndGoesBackWhenItEnds) {
  ShowWindowFromTray();
  auto Switch = [&](bool On, UINT Message) {
    FakeScreen::HighContrast() = On;
    SendMessageA(Application->Handle(), Message, 0, 0);  // as the system tells every top-level window
    RedrawWindow(Form->WindowHandle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  };
  struct Off {
    ~Off() { SetHighContrast(false); }
  } AtTheEnd;
  // Pixels of a colour in a control's bounds, read off the screen.
  auto Count = [&](TControl* C, int Index) {
    HDC DC = GetDC(C->Parent()->Handle());
    int N = 0;
    for (int Y = C->Top() + 2; Y < C->Top() + C->Height() - 2; ++Y)
      for (int X = C->Left() + 2; X < C->Left() + C->Width() - 2; ++X) N += GetPixel(DC, X, Y) == GetSysColor(Index);
    EXPECT_EQ(ReleaseDC(C->Parent()->Handle(), DC), 1);
    return N;
  };
  // The minimise button's dark red bar.
  auto DarkRed = [&] {
    TSpeedButton* B = Form->sbtnMinimize;
    HDC DC = GetDC(B->Parent()->Handle());
    int N = 0;
    for (int Y = B->Top(); Y < B->Top() + B->Height(); ++Y)
      for (int X = B->Left(); X < B->Left() + B->Width(); ++X) N += GetPixel(DC, X, Y) == RGB(128, 0, 0);
    EXPECT_EQ(ReleaseDC(B->Parent()->Handle(), DC), 1);
    return N;
  };
  const int Dither = Count(Form->sbtnInfo, COLOR_BTNHIGHLIGHT);
  EXPECT_GT(Dither, 200);  // the pressed page button's checkered face
  EXPECT_GT(DarkRed(), 5);

  Switch(true, WM_SETTINGCHANGE);
  ASSERT_TRUE(HighContrast());
  // The pressed button: solid, in the selection colours, its caption readable.
  const int Caption = Count(Form->sbtnInfo, COLOR_HIGHLIGHTTEXT);
  EXPECT_GT(Caption, 10);
  EXPECT_LT(Caption, 150);
  EXPECT_EQ(Count(Form->sbtnInfo, COLOR_HIGHLIGHT) + Caption, 50 * 17);
  // The strip: one caption colour, its title in the caption text colour, the
  // minimise bar no longer dark red.
  EXPECT_GT(Count(Form->gimageCaption, COLOR_ACTIVECAPTION), 2500);
  EXPECT_GT(Count(Form->labelCaption, COLOR_CAPTIONTEXT), 20);
  EXPECT_EQ(DarkRed(), 0);

  Switch(false, WM_SYSCOLORCHANGE);
  EXPECT_FALSE(HighContrast());
  EXPECT_EQ(Count(Form->sbtnInfo, COLOR_BTNHIGHLIGHT), Dither);
}

TEST_F(MainWindowTest, ADockedWindowThatWouldReachBeyondTheWorkAreaOrTheScreenMovesJustInside) {
  auto DockedAt = [this] {
    Form->DockToCorner();
    RECT Outer;
    GetWindowRect(Form->WindowHandle(), &Outer);
    return std::pair<LONG, LONG>{Outer.right, Outer.bottom};
  };
  using Corner = std::pair<LONG, LONG>;
  // Wine's metrics: the height 11 pixels more than its screen's.
  FakeScreen::Metric(SM_CXFULLSCREEN) = 1280;
  FakeScreen::Metric(SM_CYFULLSCREEN) = 811;
  FakeScreen::Metric(SM_CYCAPTION) = 19;
  FakeScreen::Metric(SM_CXSCREEN) = 1280;
  FakeScreen::Metric(SM_CYSCREEN) = 800;
  FakeScreen::WorkArea() = {0, 0, 1280, 800};
  EXPECT_EQ(DockedAt(), (Corner{1280, 800}));
  // A work area smaller than the metrics say (a task bar on the right).
  FakeScreen::WorkArea() = {0, 0, 1200, 800};
  EXPECT_EQ(DockedAt(), (Corner{1200, 800}));
  // Windows with the task bar at the bottom: the metrics and the work area
  // agree, and nothing moves.
  FakeScreen::Metric(SM_CXFULLSCREEN) = 1280;
  FakeScreen::Metric(SM_CYFULLSCREEN) = 741;
  FakeScreen::WorkArea() = {0, 0, 1280, 760};
  EXPECT_EQ(DockedAt(), (Corner{1280, 760}));
  // The task bar at the top: the metrics' corner lies inside, and stays.
  FakeScreen::WorkArea() = {0, 40, 1280, 800};
  EXPECT_EQ(DockedAt(), (Corner{1280, 760}));
}

TEST_F(MainWindowTest, TheTrayClickAndTheStripButtonShowAndHideWithoutATaskBarButton) {
  EXPECT_FALSE(IsWindowVisible(Form->WindowHandle()));
  EXPECT_EQ(Form->miShowHide->Caption(), "S&how");
  ShowWindowFromTray();
  EXPECT_TRUE(IsWindowVisible(Form->WindowHandle()));
  EXPECT_EQ(GetForegroundWindow(), Form->WindowHandle());
  EXPECT_EQ(Form->miShowHide->Caption(), "&Hide");
  EXPECT_FALSE(IsWindowVisible(Application->Handle()));
  // The State page, as the creation handler left it, with the first result.
  EXPECT_EQ(Form->nbControls->PageIndex(), 0);
  EXPECT_EQ(Form->labelState->Caption(), "Connected to " + Server.Url());

  ClickAt(Form->sbtnMinimize);
  EXPECT_FALSE(IsWindowVisible(Form->WindowHandle()));
  EXPECT_EQ(Form->miShowHide->Caption(), "S&how");
  ShowWindowFromTray();
  ShowWindowFromTray();
  EXPECT_FALSE(IsWindowVisible(Form->WindowHandle()));
}

TEST_F(MainWindowTest, ADoubleClickOnTheTrayIconAlwaysEndsWithTheWindowShown) {
  auto DoubleClick = [this] {
    for (LPARAM Mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
      SendMessageA(Form->trayIcon->WindowHandle(), WM_TRAYICON, 0, Mouse);
    PumpFor(50);
  };
  DoubleClick();  // from hidden
  EXPECT_TRUE(IsWindowVisible(Form->WindowHandle()));
  EXPECT_EQ(Form->miShowHide->Caption(), "&Hide");
  DoubleClick();  // from shown
  EXPECT_TRUE(IsWindowVisible(Form->WindowHandle()));
  EXPECT_EQ(Form->miShowHide->Caption(), "&Hide");
  EXPECT_EQ(GetForegroundWindow(), Form->WindowHandle());
  // A single click still toggles.
  ShowWindowFromTray();
  EXPECT_FALSE(IsWindowVisible(Form->WindowHandle()));
}

TEST_F(MainWindowTest, MonitoringLocksExactlyTheConfigurationControls) {
  std::vector<TControl*> Locked = {Form->sbtnSound,
                                   Form->labelURL,
                                   Form->editURL,
                                   Form->labelInterval,
                                   Form->editInterval,
                                   Form->labelSec01,
                                   Form->sbtnConfig,
                                   Form->cbSndConnect,
                                   Form->editSndConnect,
                                   Form->cbSndDisconnect,
                                   Form->editSndDisconnect,
                                   Form->sbtnPlaySndConnect,
                                   Form->sbtnSelectSndConnect,
                                   Form->sbtnPlaySndDisconnect,
                                   Form->sbtnSelectSndDisconnect};
  std::vector<TControl*> AlwaysOn = {Form->cbSaveLog, Form->sbtnInfo, Form->sbtnAbout, Form->sbtnStart};
  std::vector<TControl*> AlwaysOff = {Form->labelTimeOut, Form->editTimeOut, Form->labelSec02};
  auto Check = [&](bool Monitoring) {
    for (TControl* C : Locked) EXPECT_EQ(C->Enabled(), !Monitoring);
    for (TControl* C : AlwaysOn) EXPECT_TRUE(C->Enabled());
    for (TControl* C : AlwaysOff) EXPECT_FALSE(C->Enabled());
    EXPECT_EQ(IsWindowEnabled(Form->editURL->Handle()) != FALSE, !Monitoring);
  };
  Check(true);
  // The Start/Stop button, clicked as the user clicks it.
  ShowWindowFromTray();
  ClickAt(Form->sbtnStart);
  EXPECT_FALSE(Form->Active());
  EXPECT_EQ(Form->sbtnStart->Caption(), "&Start");
  EXPECT_EQ(Form->miStartStop->Caption(), "&Start");
  Check(false);
  ClickAt(Form->sbtnStart);
  EXPECT_TRUE(Form->Active());
  EXPECT_EQ(Form->miStartStop->Caption(), "&Stop");
  EXPECT_TRUE(Form->sbtnStart->Down());
  Check(true);
}

// One font per shape, one bitmap per glyph, one brush per pattern: the
// window's many controls hold a few GDI objects, not one each.
TEST_F(MainWindowTest, TheWindowHoldsAFewSharedGdiObjectsOnEveryPage) {
  const long Most = MostGdiObjectsOverEveryPage(Server.Url());
  RecordProperty("MostGdiObjects", static_cast<int>(Most));
  EXPECT_LE(Most, 40);
}

TEST_F(MainWindowTest, PageButtonsFormOneExclusiveGroupAndADisabledOneDoesNothing) {
  ShowWindowFromTray();
  ClickAt(Form->sbtnConfig);  // locked while monitoring
  EXPECT_EQ(Form->nbControls->PageIndex(), 0);
  EXPECT_TRUE(Form->sbtnInfo->Down());
  ClickAt(Form->sbtnAbout);
  EXPECT_EQ(Form->nbControls->PageIndex(), 3);
  EXPECT_TRUE(Form->sbtnAbout->Down());
  EXPECT_FALSE(Form->sbtnInfo->Down());
  ClickAt(Form->sbtnAbout);  // one is always down
  EXPECT_TRUE(Form->sbtnAbout->Down());
  Form->ToggleActive();
  ClickAt(Form->sbtnSound);
  EXPECT_EQ(Form->nbControls->PageIndex(), 2);
  for (TSpeedButton* B : {Form->sbtnInfo, Form->sbtnConfig, Form->sbtnAbout}) EXPECT_FALSE(B->Down());
}

TEST_F(MainWindowTest, TheIntervalCheckBringsBackPageOneAndTheFocusWithItsMessages) {
  ShowWindowFromTray();
  Form->ToggleActive();
  struct Case {
    const char* Text;
    std::vector<std::string> Messages;
  };
  const Case Cases[] = {
      {"600", {}},
      {"30", {}},
      {"$1E", {}},
      {"601", {"Value must be between 30 and 600."}},
      {"29", {"Value must be between 30 and 600."}},
      {"", {"'' is not a valid integer value.", "Value must be between 30 and 600."}},
      {"3x", {"'3x' is not a valid integer value.", "Value must be between 30 and 600."}},
  };
  for (const Case& C : Cases) {
    ClickAt(Form->sbtnConfig);
    Form->editInterval->SetFocus();
    Form->editInterval->SetText(C.Text);
    ClickAt(Form->sbtnInfo);  // page 0; the focus leaves the field
    // The check runs before the page changes: when it refuses, its page stays.
    EXPECT_EQ(Form->nbControls->PageIndex(), C.Messages.empty() ? 0 : 1) << C.Text;
    Recorder::Boxes().clear();
    Form->cbSaveLog->SetFocus();
    if (C.Messages.empty()) {
      EXPECT_TRUE(Recorder::Boxes().empty()) << C.Text;
      continue;
    }
    EXPECT_EQ(BoxTexts(), C.Messages) << C.Text;
    for (const vtest::BoxCall& Box : Recorder::Boxes()) {
      EXPECT_EQ(Box.Caption, "Vintrel");
      EXPECT_EQ(Box.Type, static_cast<UINT>(MB_OK));
    }
    EXPECT_EQ(Form->nbControls->PageIndex(), 1) << C.Text;
    EXPECT_EQ(Focus(), Form->editInterval->Handle()) << C.Text;
    EXPECT_EQ(Form->editInterval->Text(), C.Text);  // never corrected
    EXPECT_TRUE(Form->sbtnInfo->Down());            // the page button stays as it was
  }
  // The time-out field, were it ever left: its own bounds.
  Recorder::Boxes().clear();
  Form->editTimeOut->SetText("30");
  Form->editTimeOutExit(Form->editTimeOut);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Value must be between 2 and 29."});
}

TEST_F(MainWindowTest, AnAcceleratorOfALabelFocusesItsField) {
  ShowWindowFromTray();
  Form->ToggleActive();
  ClickAt(Form->sbtnConfig);
  Form->cbSaveLog->SetFocus();
  PostMessageA(Form->cbSaveLog->Handle(), WM_SYSCHAR, 'u', 0);
  PumpFor(50);
  EXPECT_EQ(Focus(), Form->editURL->Handle());
  PostMessageA(Form->editURL->Handle(), WM_SYSCHAR, 'I', 0);
  PumpFor(50);
  EXPECT_EQ(Focus(), Form->editInterval->Handle());
  // The time-out label is disabled: its accelerator goes nowhere.
  PostMessageA(Form->editInterval->Handle(), WM_SYSCHAR, 't', 0);
  PumpFor(50);
  EXPECT_EQ(Focus(), Form->editInterval->Handle());
}

TEST_F(MainWindowTest, SoundButtonsPreviewAndChooseTheFieldsFile) {
  ShowWindowFromTray();
  Form->ToggleActive();
  ClickAt(Form->sbtnSound);
  Recorder::Sounds().clear();
  Form->cbSndConnect->SetChecked(false);
  Form->editSndConnect->SetText("C:\\Media\\up.wav");
  Form->editSndDisconnect->SetText("");
  ClickAt(Form->sbtnPlaySndConnect, 10, 10);
  ClickAt(Form->sbtnPlaySndDisconnect, 10, 10);
  ASSERT_EQ(Recorder::Sounds().size(), 2u);
  EXPECT_EQ(Recorder::Sounds()[0].File, "C:\\Media\\up.wav");
  EXPECT_EQ(Recorder::Sounds()[0].Flags, 0x22013u);
  EXPECT_EQ(Recorder::Sounds()[1].File, "");
  EXPECT_TRUE(Recorder::Boxes().empty());

  DialogAnswer::Chosen() = "C:\\Media\\Bells\\ring.wav";
  ClickAt(Form->sbtnSelectSndConnect, 10, 10);
  EXPECT_EQ(Form->editSndConnect->Text(), "C:\\Media\\Bells\\ring.wav");
  const OPENFILENAMEA& Seen = DialogAnswer::Seen();
  EXPECT_EQ(DialogAnswer::SeenFile(), "C:\\Media\\up.wav");
  EXPECT_STREQ(Seen.lpstrTitle, "Select Sound");
  static const char Filter[] = "Wave Files (*.wav)\0*.wav\0Any Files (*.*)\0*.*\0";
  EXPECT_EQ(DialogAnswer::SeenFilter(), std::string(Filter, sizeof Filter));
  EXPECT_EQ(Seen.nFilterIndex, 1u);
  EXPECT_STREQ(Seen.lpstrDefExt, "wav");
  EXPECT_EQ(Seen.lpstrInitialDir, nullptr);
  EXPECT_EQ(Seen.hwndOwner, Form->Handle());  // modal to the window the user sees
  EXPECT_TRUE(Seen.Flags & OFN_HIDEREADONLY);
  EXPECT_TRUE(Seen.Flags & OFN_ENABLESIZING);

  DialogAnswer::Chosen().clear();
  Form->editSndDisconnect->SetText("keep.wav");
  ClickAt(Form->sbtnSelectSndDisconnect, 10, 10);
  EXPECT_EQ(Form->editSndDisconnect->Text(), "keep.wav");
  EXPECT_EQ(DialogAnswer::SeenFile(), "keep.wav");
}

TEST_F(MainWindowTest, TheTitleAndTheAboutLinesAreShadowedAndTheAddressUnderlinesItselfUnderThePointer) {
  EXPECT_TRUE(Form->labelCaption->ShowShadow());
  EXPECT_EQ(Form->labelCaption->ColorShadow(), clBlack);
  EXPECT_EQ(Form->labelCaption->Font().Color(), clWhite);
  EXPECT_TRUE(Form->labelCaption->Transparent());
  for (TKVRLabel* About : {Form->labelName, Form->labelVersion, Form->llabelCopyright}) {
    EXPECT_TRUE(About->ShowShadow()) << About->Caption();
    EXPECT_EQ(About->ColorShadow(), clWhite) << About->Caption();
  }
  TKVRActiveLabel* Link = Form->labelHttp;
  EXPECT_EQ(Link->LabelStyle(), alsInternet);
  EXPECT_EQ(Link->ColorActive(), clBlack);
  EXPECT_EQ(Link->Cursor(), crHandPoint);
  EXPECT_TRUE(Link->ShowShadow());

  // Shown, in front and active, on the About page: the pointer over the
  // address underlines it; moved away, the underline goes.
  ShowWindowFromTray();
  ClickAt(Form->sbtnAbout);
  ASSERT_EQ(Form->nbControls->PageIndex(), 3);
  SendMessageA(Form->WindowHandle(), WM_ACTIVATE, WA_ACTIVE, 0);
  HWND Page = Link->Parent()->Handle();
  SendMessageA(Page, WM_MOUSEMOVE, 0, MAKELPARAM(Link->Left() + 5, Link->Top() + 5));
  EXPECT_TRUE(Link->Font().Style() & fsUnderline);
  EXPECT_EQ(Link->Font().Color(), clBlack);
  SendMessageA(Page, WM_MOUSEMOVE, 0, MAKELPARAM(Link->Left() + 5, Link->Top() + Link->Height() + 5));
  EXPECT_FALSE(Link->Font().Style() & fsUnderline);
  EXPECT_EQ(Link->Font().Color(), clWindowText);
}

TEST_F(MainWindowTest, TheAboutLinkOpensItsCaptionWithTheShell) {
  ShowWindowFromTray();
  ClickAt(Form->sbtnAbout);
  ClickAt(Form->labelHttp, 5, 5);
  ASSERT_EQ(ShellCalls().size(), 1u);
  EXPECT_EQ(ShellCalls()[0].Owner, GetDesktopWindow());
  EXPECT_EQ(ShellCalls()[0].Verb, "open");
  EXPECT_EQ(ShellCalls()[0].File, Form->labelHttp->Caption());
  EXPECT_EQ(ShellCalls()[0].File, ProductURL);
  EXPECT_TRUE(ShellCalls()[0].NoParameters && ShellCalls()[0].NoDirectory);
  EXPECT_EQ(ShellCalls()[0].Show, SW_SHOWNORMAL);
  // The hand cursor over the link.
  EXPECT_EQ(Form->labelHttp->Cursor(), crHandPoint);
}

TEST_F(MainWindowTest, HintsAreRegisteredForTheControlsThatHaveThem) {
  HWND Tips = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND Wnd, LPARAM Found) {
        char Class[64];
        GetClassNameA(Wnd, Class, sizeof Class);
        if (lstrcmpiA(Class, TOOLTIPS_CLASSA) == 0 && GetWindow(Wnd, GW_OWNER) == VintrelF->WindowHandle())
          *reinterpret_cast<HWND*>(Found) = Wnd;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&Tips));
  ASSERT_NE(Tips, nullptr);
  // Minimize, Close, the two fields, the four sound buttons.
  EXPECT_EQ(SendMessageA(Tips, TTM_GETTOOLCOUNT, 0, 0), 8);
}

TEST_F(MainWindowTest, EveryControlSitsWhereTheLayoutPutsIt) {
  // Left, top, width, height in the parent's client area; -1: as the
  // control sizes itself to its caption.
  struct Place {
    const char* Name;
    TControl* Control;
    int Left, Top, Width, Height;
  };
  const Place Layout[] = {
      {"labelCaption", Form->labelCaption, 2, 3, -1, -1},
      {"sbtnMinimize", Form->sbtnMinimize, 264, 3, 16, 14},
      {"sbtnClose", Form->sbtnClose, 282, 3, 16, 14},
      {"sbtnInfo", Form->sbtnInfo, 2, 21, 54, 21},
      {"sbtnConfig", Form->sbtnConfig, 2, 47, 54, 21},
      {"sbtnSound", Form->sbtnSound, 2, 70, 54, 21},
      {"sbtnAbout", Form->sbtnAbout, 2, 96, 54, 21},
      {"bevelSep01", Form->bevelSep01, 60, 20, 3, 98},
      {"nbControls", Form->nbControls, 65, 20, 233, 98},
      {"panelState", Form->panelState, 0, 0, 233, 32},
      {"panelStart", Form->panelStart, 180, 0, 53, 32},
      {"labelState", Form->labelState, 0, 0, 180, 32},
      {"sbtnStart", Form->sbtnStart, 4, 4, 45, 22},
      {"Bevel1", Form->Bevel1, 0, 0, 3, 31},
      {"memoLog", Form->memoLog, 0, 32, 233, 66},
      {"labelURL", Form->labelURL, 4, 12, -1, -1},
      {"editURL", Form->editURL, 48, 8, 181, 21},
      {"labelInterval", Form->labelInterval, 4, 44, -1, -1},
      {"editInterval", Form->editInterval, 48, 40, 45, 21},
      {"labelSec01", Form->labelSec01, 96, 44, -1, -1},
      {"labelTimeOut", Form->labelTimeOut, 4, 72, -1, -1},
      {"editTimeOut", Form->editTimeOut, 48, 68, 45, 21},
      {"labelSec02", Form->labelSec02, 96, 72, -1, -1},
      {"cbSaveLog", Form->cbSaveLog, 160, 72, 65, 17},
      {"cbSndConnect", Form->cbSndConnect, 4, 4, 113, 17},
      {"editSndConnect", Form->editSndConnect, 4, 24, 177, 21},
      {"sbtnPlaySndConnect", Form->sbtnPlaySndConnect, 184, 24, 21, 21},
      {"sbtnSelectSndConnect", Form->sbtnSelectSndConnect, 208, 24, 21, 21},
      {"cbSndDisconnect", Form->cbSndDisconnect, 4, 52, 129, 17},
      {"editSndDisconnect", Form->editSndDisconnect, 4, 72, 177, 21},
      {"sbtnPlaySndDisconnect", Form->sbtnPlaySndDisconnect, 184, 72, 21, 21},
      {"sbtnSelectSndDisconnect", Form->sbtnSelectSndDisconnect, 208, 72, 21, 21},
      {"imgConnect", Form->imgConnect, 0, 0, 32, 32},
      {"imgDisconnect", Form->imgDisconnect, 200, 0, 32, 32},
      {"imgPause", Form->imgPause, 0, 32, 32, 32},
      {"labelName", Form->labelName, 44, 8, -1, -1},
      {"labelVersion", Form->labelVersion, 56, 36, -1, -1},
      {"llabelCopyright", Form->llabelCopyright, 20, 60, -1, -1},
      {"labelHttp", Form->labelHttp, 59, 80, -1, -1},
  };
  for (const Place& P : Layout) {
    SCOPED_TRACE(P.Name);
    EXPECT_EQ(P.Control->Left(), P.Left);
    EXPECT_EQ(P.Control->Top(), P.Top);
    if (P.Width >= 0) {
      EXPECT_EQ(P.Control->Width(), P.Width);
    }
    if (P.Height >= 0) {
      EXPECT_EQ(P.Control->Height(), P.Height);
    }
  }
  // The caption strip fills the top of the 300 x 120 window.
  EXPECT_EQ(Form->ClientWidth(), 300);
  EXPECT_EQ(Form->ClientHeight(), 120);
  EXPECT_EQ(Form->gimageCaption->Width(), 300);
  EXPECT_EQ(Form->gimageCaption->Height(), 19);
}

}  // namespace
