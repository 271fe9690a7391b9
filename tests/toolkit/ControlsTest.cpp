// The toolkit's controls on their own: mouse messages routed to windowless
// controls and the capture of the pointer, a label and a speed button drawn
// into a memory bitmap and read back pixel by pixel, and the alignment of
// controls in a panel.

#include "tests/support/Desktop.h"
#include "tests/support/Picture.h"
#include "tests/support/Pump.h"
#include "toolkit/Application.h"
#include "toolkit/Buttons.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/StdCtrls.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using vtest::Picture;

class TestForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

// A windowless control that writes down what reaches it.
class Recording : public TGraphicControl {
 public:
  Recording(TComponent* Owner, std::vector<std::string>& Log, const char* Name)
      : TGraphicControl(Owner), FLog(Log), FName(Name) {
    OnClick = [this](TObject*) { Note("click"); };
  }

 protected:
  void MouseDown(TMouseButton, TShiftState, int X, int Y) override { Note("down", X, Y); }
  void MouseMove(TShiftState, int X, int Y) override { Note("move", X, Y); }
  void MouseUp(TMouseButton, TShiftState, int X, int Y) override { Note("up", X, Y); }
  void MouseEnter() override { Note("enter"); }
  void MouseLeave() override { Note("leave"); }

 private:
  void Note(const char* What, int X = -1000, int Y = -1000) {
    std::string Line = FName + " " + What;
    if (X != -1000) Line += ' ' + std::to_string(X) + ',' + std::to_string(Y);
    FLog.push_back(Line);
  }
  std::vector<std::string>& FLog;
  std::string FName;
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TestForm(Application);
    Form->SetBounds(10, 10, 300, 200);
    Form->AfterConstruction();
  }
  void TearDown() override {
    Form->BeforeDestruction();
    delete Form;
  }
  // A mouse message at a point of the form's client area, as the system
  // delivers it.
  void Mouse(UINT Msg, int X, int Y, WPARAM Keys = 0) { SendMessageA(Form->Handle(), Msg, Keys, MAKELPARAM(X, Y)); }
  std::vector<std::string> Take() { return std::exchange(Log, {}); }
  // A at 10,10 and B at 100,10 of the form, 50 by 20 each.
  std::pair<Recording*, Recording*> TwoControls() {
    auto* A = new Recording(Form, Log, "A");
    A->SetBounds(10, 10, 50, 20);
    A->SetParent(Form);
    auto* B = new Recording(Form, Log, "B");
    B->SetBounds(100, 10, 50, 20);
    B->SetParent(Form);
    return {A, B};
  }

  TestForm* Form = nullptr;
  std::vector<std::string> Log;
};

TEST_F(ControlsTest, MouseMessagesReachTheWindowlessControlUnderThePointerInItsOwnCoordinates) {
  auto [A, B] = TwoControls();

  Mouse(WM_MOUSEMOVE, 15, 12);
  EXPECT_EQ(Take(), (std::vector<std::string>{"A enter", "A move 5,2"}));
  Mouse(WM_MOUSEMOVE, 120, 15);
  EXPECT_EQ(Take(), (std::vector<std::string>{"A leave", "B enter", "B move 20,5"}));
  Mouse(WM_MOUSEMOVE, 80, 15);  // over neither
  EXPECT_EQ(Take(), (std::vector<std::string>{"B leave"}));

  // A click: pressed and released over A.
  Mouse(WM_MOUSEMOVE, 20, 20);
  Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, 21, 21);
  EXPECT_EQ(Take(), (std::vector<std::string>{"A enter", "A move 10,10", "A down 10,10", "A click", "A up 11,11"}));

  // A hidden or disabled control is passed over.
  A->SetEnabled(false);
  Mouse(WM_MOUSEMOVE, 22, 22);
  EXPECT_EQ(Take(), (std::vector<std::string>{"A leave"}));
}

TEST_F(ControlsTest, AControlHoldingTheCaptureAloneSeesThePointerUntilItLetsGo) {
  auto [A, B] = TwoControls();

  Mouse(WM_MOUSEMOVE, 20, 20);
  Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  EXPECT_TRUE(A->MouseCapture());
  EXPECT_EQ(GetCapture(), Form->WindowHandle());
  Take();
  // Dragged over B: A gets every move, in its own coordinates; B sees nothing.
  Mouse(WM_MOUSEMOVE, 120, 15, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, 130, 16, MK_LBUTTON);
  EXPECT_EQ(Take(), (std::vector<std::string>{"A leave", "A move 110,5", "A move 120,6"}));
  // Released over B: no click for A, the capture goes, and B is under the
  // pointer again at the next move.
  Mouse(WM_LBUTTONUP, 130, 16);
  EXPECT_EQ(Take(), (std::vector<std::string>{"A up 120,6"}));
  EXPECT_FALSE(A->MouseCapture());
  EXPECT_EQ(GetCapture(), nullptr);
  Mouse(WM_MOUSEMOVE, 131, 16);
  EXPECT_EQ(Take(), (std::vector<std::string>{"B enter", "B move 31,6"}));

  // A control that goes away while holding the capture lets it go.
  Mouse(WM_LBUTTONDOWN, 131, 16, MK_LBUTTON);
  EXPECT_TRUE(B->MouseCapture());
  delete B;
  EXPECT_EQ(GetCapture(), nullptr);
  Take();
  Mouse(WM_MOUSEMOVE, 131, 16);
  EXPECT_TRUE(Take().empty());
}

TEST_F(ControlsTest, ALabelDrawsItsTextInItsFontColourOnItsBackgroundAndADisabledOneEngraved) {
  const COLORREF Red = RGB(255, 0, 0), Face = GetSysColor(COLOR_BTNFACE);
  TLabel Label(Form);
  Label.SetCaption("MMMM");
  Label.Font().SetColor(Red);
  Label.SetBounds(0, 0, Label.Width(), Label.Height());  // fitted to its text
  Picture Plain(Label.Width(), Label.Height());
  Plain.Draw(Label);
  // The background in the label's colour, the glyphs in the font's, nothing
  // else.
  const int Glyph = Plain.Count(Red), Ground = Plain.Count(Face);
  EXPECT_GT(Glyph, 20);
  EXPECT_GT(Ground, Glyph);
  EXPECT_EQ(Plain.At(0, Label.Height() - 1), Face);

  // Transparent: the white below stays where there is no glyph.
  Label.SetTransparent(true);
  Picture Clear(Label.Width(), Label.Height());
  Clear.Draw(Label);
  EXPECT_EQ(Clear.Count(Face), 0);
  EXPECT_EQ(Clear.Count(Red), Glyph);

  // Disabled: no font colour; the text in the shadow colour, and in the
  // highlight colour one pixel right and down of it.
  Label.SetEnabled(false);
  Picture Engraved(Label.Width() + 1, Label.Height() + 1);
  Engraved.Draw(Label);
  const COLORREF Shadow = GetSysColor(COLOR_BTNSHADOW), Light = GetSysColor(COLOR_BTNHIGHLIGHT);
  EXPECT_EQ(Engraved.Count(Red), 0);
  EXPECT_GT(Engraved.Count(Shadow), Glyph / 2);
  int Shifted = 0;
  for (int Y = 0; Y < Label.Height() - 1; ++Y)
    for (int X = 0; X < Label.Width() - 1; ++X)
      if (Clear.At(X, Y) == Red && Engraved.At(X + 1, Y + 1) != Shadow) Shifted += Engraved.At(X + 1, Y + 1) == Light;
  EXPECT_GT(Shifted, 0);
}

TEST_F(ControlsTest, ASpeedButtonShowsItsStateAndItsGlyphWithoutTheGround) {
  const COLORREF Face = GetSysColor(COLOR_BTNFACE), Light = GetSysColor(COLOR_BTNHIGHLIGHT);
  TSpeedButton Button(Form);
  Button.SetBounds(0, 0, 30, 24);
  Button.SetGroupIndex(1);
  Button.SetAllowAllUp(true);
  Button.LoadGlyph("GLYPH_PLAY");

  // Raised: light at the top-left edge. The glyph in the middle, its silver
  // ground left out, so the face shows around it.
  Picture Up(30, 24);
  Up.Draw(Button);
  EXPECT_NE(Up.At(0, 0), Up.At(29, 23));
  const RECT Middle = {9, 6, 21, 17};
  EXPECT_GT(Up.Count(Face, Middle), 0);
  const COLORREF DarkRed = RGB(128, 0, 0);
  EXPECT_GT(Up.Count(DarkRed, Middle), 4);

  // Flat and down: the checkered face of a button that stays down.
  Button.SetFlat(true);
  Button.SetDown(true);
  Picture Down(30, 24);
  Down.Draw(Button);
  EXPECT_NE(Down.At(2, 2), Down.At(3, 2));
  EXPECT_TRUE((Down.At(2, 2) == Light && Down.At(3, 2) == Face) || (Down.At(2, 2) == Face && Down.At(3, 2) == Light));

  // Disabled: the glyph's shape engraved, no dark red.
  Button.SetDown(false);
  Button.SetEnabled(false);
  Picture Off(30, 24);
  Off.Draw(Button);
  EXPECT_EQ(Off.Count(DarkRed), 0);
  EXPECT_GT(Off.Count(GetSysColor(COLOR_BTNSHADOW), Middle), 4);
}

TEST_F(ControlsTest, AlignedControlsShareTheParentTopFirstThenRightThenTheRest) {
  auto* Panel = new TPanel(Form);
  Panel->SetBounds(0, 0, 200, 100);
  Panel->SetBevelOuter(TPanelBevel::bvNone);
  Panel->SetParent(Form);
  auto Aligned = [&](TAlign Align, int Width, int Height) {
    auto* Child = new TPanel(Form);
    Child->SetBounds(0, 0, Width, Height);
    Child->SetAlign(Align);
    Child->SetParent(Panel);
    return Child;
  };
  TPanel* Client = Aligned(TAlign::alClient, 10, 10);
  TPanel* Right = Aligned(TAlign::alRight, 30, 10);
  TPanel* Top = Aligned(TAlign::alTop, 10, 20);
  auto Bounds = [](TControl* C) { return std::vector<int>{C->Left(), C->Top(), C->Width(), C->Height()}; };
  EXPECT_EQ(Bounds(Top), (std::vector<int>{0, 0, 200, 20}));
  EXPECT_EQ(Bounds(Right), (std::vector<int>{170, 20, 30, 80}));
  EXPECT_EQ(Bounds(Client), (std::vector<int>{0, 20, 170, 80}));
  // The windows are where the controls say.
  RECT Placed;
  GetWindowRect(Client->Handle(), &Placed);
  MapWindowPoints(nullptr, Panel->Handle(), reinterpret_cast<POINT*>(&Placed), 2);
  EXPECT_EQ(Placed.left, 0);
  EXPECT_EQ(Placed.top, 20);
  EXPECT_EQ(Placed.right, 170);
  EXPECT_EQ(Placed.bottom, 100);

  // A new size of the parent lays them out again; a hidden one takes no room.
  Panel->SetBounds(0, 0, 300, 150);
  EXPECT_EQ(Bounds(Client), (std::vector<int>{0, 20, 270, 130}));
  Top->SetVisible(false);
  Panel->SetBounds(0, 0, 300, 151);
  EXPECT_EQ(Bounds(Client), (std::vector<int>{0, 0, 270, 151}));
}

TEST_F(ControlsTest, AScreenReaderFindsEveryControlWithItsNameRoleStateAndAction) {
  auto Button = [this](const char* Caption, const char* Hint, int Group, int Top) {
    auto* B = new TSpeedButton(Form);
    B->SetCaption(Caption);
    B->SetHint(Hint);
    B->SetGroupIndex(Group);
    B->SetBounds(10, Top, 60, 20);
    B->SetParent(Form);
    return B;
  };
  TSpeedButton* One = Button("&One", "", 1, 10);
  TSpeedButton* Two = Button("Two", "", 1, 30);
  One->SetDown(true);
  Two->SetEnabled(false);
  int Clicks = 0;
  TSpeedButton* Select = Button("...", "Select File", 0, 50);
  Select->OnClick = [&](TObject*) { ++Clicks; };
  auto* Label = new TLabel(Form);
  Label->SetCaption("&Address");
  Label->SetBounds(80, 10, 60, 13);
  Label->SetParent(Form);
  auto* Edit = new TEdit(Form);
  Edit->SetBounds(150, 10, 100, 21);
  Edit->SetParent(Form);
  Edit->SetText("http://a");
  Label->SetFocusControl(Edit);
  auto* Box = new TCheckBox(Form);
  Box->SetCaption("&Keep");
  Box->SetBounds(80, 40, 80, 17);
  Box->SetParent(Form);
  auto* Unnamed = new TEdit(Form);  // named by the check box above it
  Unnamed->SetBounds(80, 80, 100, 21);
  Unnamed->SetParent(Form);
  Form->SetCaption("Form");

  vtest::AccessibleNode Tree = vtest::AccessibleTree(Form->Handle());
  RecordProperty("tree", Tree.Dump());
  EXPECT_EQ(Tree.Name, "Form");
  ASSERT_EQ(Tree.Children.size(), 7u) << Tree.Dump();
  const vtest::AccessibleNode &A = Tree.Children[0], &B = Tree.Children[1], &C = Tree.Children[2],
                              &L = Tree.Children[3], &E = Tree.Children[4], &K = Tree.Children[5],
                              &U = Tree.Children[6];
  EXPECT_EQ(A.Name, "One");
  EXPECT_EQ(A.Role, ROLE_SYSTEM_PAGETAB);
  EXPECT_EQ(A.State & (STATE_SYSTEM_SELECTED | STATE_SYSTEM_UNAVAILABLE), STATE_SYSTEM_SELECTED);
  EXPECT_EQ(A.Shortcut, "Alt+O");
  EXPECT_EQ(B.Name, "Two");
  EXPECT_EQ(B.State & (STATE_SYSTEM_SELECTED | STATE_SYSTEM_UNAVAILABLE), STATE_SYSTEM_UNAVAILABLE);
  EXPECT_EQ(C.Name, "Select File");  // "..." says nothing; its hint does
  EXPECT_EQ(C.Role, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(C.DefaultAction, "Press");
  EXPECT_EQ(L.Name, "Address");
  EXPECT_EQ(L.Role, ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(L.DefaultAction, "");
  EXPECT_EQ(E.Name, "Address");  // the system's own object, named by its label
  EXPECT_EQ(E.Role, ROLE_SYSTEM_TEXT);
  EXPECT_EQ(K.Name, "Keep");
  EXPECT_EQ(K.Role, ROLE_SYSTEM_CHECKBUTTON);
  EXPECT_EQ(K.DefaultAction, "Check");
  EXPECT_EQ(U.Name, "Keep");

  // A default action runs as a click, from the loop; a disabled control's
  // and a label's are refused.
  EXPECT_TRUE(vtest::DoDefaultAction(Form->Handle(), "Select File"));
  EXPECT_TRUE(vtest::PumpUntil([&] { return Clicks == 1; }, 2000));
  EXPECT_FALSE(vtest::DoDefaultAction(Form->Handle(), "Two"));
  EXPECT_FALSE(vtest::DoDefaultAction(Form->Handle(), "Address"));
  Two->SetEnabled(true);
  EXPECT_TRUE(vtest::DoDefaultAction(Form->Handle(), "Two"));
  EXPECT_TRUE(vtest::PumpUntil([&] { return Two->Down() && !One->Down(); }, 2000));

  // A caption that changes, and a button that goes up, are announced.
  static std::vector<std::pair<DWORD, LONG>> Events;
  Events.clear();
  HWINEVENTHOOK Hook = SetWinEventHook(
      EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
      [](HWINEVENTHOOK, DWORD Event, HWND, LONG, LONG Child, DWORD, DWORD) {
        Events.push_back({Event, Child});
      },
      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(Hook, nullptr);
  Label->SetCaption("Host");
  One->SetDown(true);
  using Event = std::pair<DWORD, LONG>;
  EXPECT_TRUE(vtest::PumpUntil([&] { return Events.size() >= 3; }, 2000));
  EXPECT_EQ(Events, (std::vector<Event>{
                        {EVENT_OBJECT_NAMECHANGE, 4}, {EVENT_OBJECT_STATECHANGE, 2}, {EVENT_OBJECT_STATECHANGE, 1}}));
  EXPECT_TRUE(UnhookWinEvent(Hook));
}

}  // namespace
