// The outlined and shadowed label and the hover label: the text calls of a
// paint (recorded through the platform seam: text, place, flags, colour),
// what they leave in a memory bitmap, the size each fits itself to with real
// measuring, and the hover label driven by pointer messages through its real
// parent window.

#include "controls/ExLabel.h"
#include "tests/support/Picture.h"
#include "tests/support/Pump.h"
#include "tests/support/Seams.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vtest::Picture;

struct TextCall {
  std::string Text;
  RECT Rect;  // as passed in
  UINT Flags;
  COLORREF Color;
};

// Records every text call of the canvas, then makes it.
struct TextCalls {
  static std::vector<TextCall>& Get() {
    static std::vector<TextCall> Calls;
    return Calls;
  }
  static int WINAPI DrawTextA(HDC DC, LPCSTR Text, int Length, LPRECT Rect, UINT Flags) {
    Get().push_back({std::string(Text, static_cast<size_t>(Length)), *Rect, Flags, GetTextColor(DC)});
    return ::DrawTextA(DC, Text, Length, Rect, Flags);
  }
  static void Install() {
    Get().clear();
    Platform().DrawTextA = DrawTextA;
  }
};

class TestForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

class ExLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TestForm(Application);
    Form->SetBounds(100, 100, 300, 200);
    Form->AfterConstruction();
  }
  void TearDown() override {
    Form->BeforeDestruction();
    delete Form;
  }
  template <class T = TKVRLabel>
  T* NewLabel(const std::string& Caption, int Left = 10, int Top = 10) {
    auto* Label = new T(Form);
    Label->SetBounds(Left, Top, 65, 17);
    Label->SetParent(Form);
    Label->SetCaption(Caption);
    return Label;
  }
  // The text calls of one paint into a bitmap.
  std::vector<TextCall> PaintCalls(TKVRLabel* Label) {
    TextCalls::Install();
    Picture Into(Label->Width() + 8, Label->Height() + 8);
    Into.Draw(*Label);
    return TextCalls::Get();
  }
  // Whether the form has anything left to paint.
  bool RepaintAsked() {
    RECT Area;
    return GetUpdateRect(Form->Handle(), &Area, FALSE) != FALSE;
  }
  void NothingToRepaint() { ValidateRect(Form->Handle(), nullptr); }
  static std::vector<int> Size(const TControl* C) { return {C->Width(), C->Height()}; }

  vtest::ScopedPlatform Seam;
  TestForm* Form = nullptr;
};

TEST_F(ExLabelTest, APaintMakesOneTextCallPlainTwoShadowedTenOutlinedElevenWithBothAndTwoDisabled) {
  TKVRLabel* Label = NewLabel("Ab");
  struct Case {
    bool Border, Shadow, Enabled;
    size_t Calls;
  };
  for (const Case& C : {Case{false, false, true, 1}, Case{false, true, true, 2}, Case{true, false, true, 10},
                        Case{true, true, true, 11}, Case{true, true, false, 2}}) {
    Label->SetShowBorder(C.Border);
    Label->SetShowShadow(C.Shadow);
    Label->SetEnabled(C.Enabled);
    std::vector<TextCall> Calls = PaintCalls(Label);
    EXPECT_EQ(Calls.size(), C.Calls) << C.Border << C.Shadow << C.Enabled;
    for (const TextCall& Call : Calls) {
      EXPECT_EQ(Call.Text, "Ab");
      EXPECT_EQ(Call.Flags & (DT_CALCRECT | DT_RTLREADING | DT_NOPREFIX), 0u);
      EXPECT_TRUE(Call.Flags & DT_EXPANDTABS);
    }
  }
  // A layout other than the top first runs the same sequence measuring.
  Label->SetEnabled(true);
  Label->SetLayout(TTextLayout::tlCenter);
  std::vector<TextCall> Calls = PaintCalls(Label);
  ASSERT_EQ(Calls.size(), 22u);
  for (size_t I = 0; I < 22; ++I) EXPECT_EQ((Calls[I].Flags & DT_CALCRECT) != 0, I < 11) << I;
}

TEST_F(ExLabelTest, OutlineCopiesShadowAndTextLieWhereTheTableSaysInTheirColours) {
  TKVRLabel* Label = NewLabel("Ab");
  Label->SetAutoSize(false);
  Label->SetBounds(10, 10, 60, 20);
  Label->Font().SetColor(RGB(255, 0, 0));
  Label->SetColorShadow(RGB(0, 0, 255));
  const COLORREF Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255), Outline = GetSysColor(COLOR_INFOBK);
  struct Place {
    int X, Y;
    COLORREF Color;
  };
  auto Places = [&](const std::vector<TextCall>& Calls) {
    std::vector<Place> Result;
    for (const TextCall& C : Calls) Result.push_back({C.Rect.left, C.Rect.top, C.Color});
    return Result;
  };
  auto Expect = [&](const std::vector<Place>& Want) {
    std::vector<Place> Got = Places(PaintCalls(Label));
    ASSERT_EQ(Got.size(), Want.size());
    for (size_t I = 0; I < Want.size(); ++I) {
      EXPECT_EQ(Got[I].X, Want[I].X) << I;
      EXPECT_EQ(Got[I].Y, Want[I].Y) << I;
      EXPECT_EQ(Got[I].Color, Want[I].Color) << I;
    }
  };
  // The outline alone: a 3 by 3 block around the text, which moves one
  // pixel right and down.
  Label->SetShowBorder(true);
  Expect({{0, 0, Outline},
          {1, 0, Outline},
          {2, 0, Outline},
          {0, 1, Outline},
          {1, 1, Outline},
          {2, 1, Outline},
          {0, 2, Outline},
          {1, 2, Outline},
          {2, 2, Outline},
          {1, 1, Red}});
  // With the shadow, the outline goes around text and shadow together.
  Label->SetShowShadow(true);
  Expect({{0, 0, Outline},
          {1, 0, Outline},
          {2, 0, Outline},
          {0, 2, Outline},
          {2, 2, Outline},
          {3, 2, Outline},
          {0, 3, Outline},
          {1, 3, Outline},
          {3, 3, Outline},
          {2, 2, Blue},
          {1, 1, Red}});
  // The shadow alone: one pixel right and down of the text, which stays.
  Label->SetShowBorder(false);
  Expect({{1, 1, Blue}, {0, 0, Red}});
  // Both, right-aligned: everything 3 pixels to the left of the right edge.
  Label->SetShowBorder(true);
  Label->SetAlignment(TAlignment::taRightJustify);
  std::vector<TextCall> Calls = PaintCalls(Label);
  ASSERT_EQ(Calls.size(), 11u);
  EXPECT_EQ(Calls[0].Rect.right, 60 - 3);
  EXPECT_EQ(Calls[8].Rect.right, 60);
  for (const TextCall& C : Calls) EXPECT_TRUE(C.Flags & DT_RIGHT);
}

TEST_F(ExLabelTest, FlagsFollowTheAccelCharAlignmentAndWordWrapAndNeverReadRightToLeft) {
  TKVRLabel* Label = NewLabel("A&b");
  Label->SetShowShadow(true);
  Label->SetShowAccelChar(false);
  Label->SetAlignment(TAlignment::taCenter);
  Label->SetWordWrap(true);
  for (const TextCall& C : PaintCalls(Label)) {
    EXPECT_TRUE(C.Flags & DT_NOPREFIX);
    EXPECT_TRUE(C.Flags & DT_CENTER);
    EXPECT_TRUE(C.Flags & DT_WORDBREAK);
    EXPECT_FALSE(C.Flags & DT_RTLREADING);
  }
}

TEST_F(ExLabelTest, InAMemoryBitmapTheShadowLiesOnePixelRightAndDownAndTheOutlineAroundTheText) {
  const COLORREF Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255), Green = RGB(0, 160, 0);
  TKVRLabel* Label = NewLabel("MMMM");
  Label->Font().SetColor(Red);
  Label->SetTransparent(true);
  Picture Plain(Label->Width() + 4, Label->Height() + 4);
  Plain.Draw(*Label);
  ASSERT_GT(Plain.Count(Red), 20);

  Label->SetColorShadow(Blue);
  Label->SetShowShadow(true);
  Picture Shadowed(Label->Width() + 4, Label->Height() + 4);
  Shadowed.Draw(*Label);
  EXPECT_EQ(Shadowed.Count(Red), Plain.Count(Red));  // the text where it was
  int Below = 0, Elsewhere = 0;
  for (int Y = 0; Y < Label->Height() + 3; ++Y)
    for (int X = 0; X < Label->Width() + 3; ++X)
      if (Shadowed.At(X, Y) == Blue) (Plain.At(X - 1, Y - 1) == Red ? Below : Elsewhere)++;
  EXPECT_GT(Below, 10);
  EXPECT_EQ(Elsewhere, 0);

  // The outline: every text pixel, now one right and down, has its outline
  // on all sides that the text does not cover.
  Label->SetShowShadow(false);
  Label->SetColorBorder(Green);
  Label->SetShowBorder(true);
  Picture Outlined(Label->Width() + 4, Label->Height() + 4);
  Outlined.Draw(*Label);
  int Checked = 0;
  for (int Y = 0; Y < Label->Height() - 3; ++Y)
    for (int X = 0; X < Label->Width() - 3; ++X) {
      if (Plain.At(X, Y) != Red) continue;
      for (POINT Side : {POINT{0, 1}, POINT{2, 1}, POINT{1, 0}, POINT{1, 2}}) {
        COLORREF Around = Outlined.At(X + Side.x, Y + Side.y);
        EXPECT_TRUE(Around == Green || Around == Red) << X << "," << Y;
        ++Checked;
      }
    }
  EXPECT_GT(Checked, 40);

  // Copies are clipped at the bounds: nothing right of a narrow label.
  Label->SetAutoSize(false);
  Label->SetBounds(Label->Left(), Label->Top(), 12, Label->Height());
  Picture Narrow(40, Label->Height());
  Narrow.Draw(*Label, true);
  EXPECT_EQ(Narrow.Count(Red, {12, 0, 40, Label->Height()}) + Narrow.Count(Green, {12, 0, 40, Label->Height()}), 0);
  EXPECT_GT(Narrow.Count(Green, {0, 0, 12, Label->Height()}), 0);
}

TEST_F(ExLabelTest, ALabelFitsItsTextPlusTheRoomOfItsEffects) {
  TKVRLabel* Label = NewLabel("Measure me");
  const int Tw = Label->Width(), Th = Label->Height();
  ASSERT_GT(Tw, 20);
  ASSERT_GT(Th, 8);
  Label->SetShowShadow(true);
  EXPECT_EQ(Size(Label), (std::vector<int>{Tw + 1, Th + 1}));
  Label->SetShowBorder(true);
  EXPECT_EQ(Size(Label), (std::vector<int>{Tw + 4, Th + 4}));
  Label->SetShowShadow(false);
  EXPECT_EQ(Size(Label), (std::vector<int>{Tw + 3, Th + 3}));
  // Disabled and fitted again (its caption changes): the bare text's size.
  Label->SetShowShadow(true);
  Label->SetEnabled(false);
  EXPECT_EQ(Size(Label), (std::vector<int>{Tw + 4, Th + 4}));  // enabling alone does not refit
  Label->SetCaption("Measure mf");
  Label->SetCaption("Measure me");
  EXPECT_EQ(Size(Label), (std::vector<int>{Tw, Th}));

  // An empty caption, and a lone "&", measure with a space.
  TKVRLabel* Space = NewLabel(" ", 10, 40);
  TKVRLabel* Empty = NewLabel("", 10, 60);
  Empty->SetAutoSize(true);  // fits again (the caption did not change)
  EXPECT_EQ(Size(Empty), Size(Space));
  EXPECT_EQ(Empty->Height(), Th);
  // "&" measures as "& ": the space is the marked character, so one space.
  TKVRLabel* Amp = NewLabel("&", 10, 80);
  EXPECT_EQ(Size(Amp), Size(Space));

  // Both effects at the bottom: the measuring starts 3 pixels higher, so a
  // line fits to the text's height plus one.
  TKVRLabel* Bottom = NewLabel("Measure me", 10, 120);
  Bottom->SetLayout(TTextLayout::tlBottom);
  Bottom->SetShowBorder(true);
  Bottom->SetShowShadow(true);
  EXPECT_EQ(Bottom->Height(), Th + 1);
}

TEST_F(ExLabelTest, ARightAlignedLabelThatGrowsKeepsItsRightEdge) {
  TKVRLabel* Label = NewLabel("Short", 100, 10);
  Label->SetAlignment(TAlignment::taRightJustify);
  Label->SetShowShadow(true);
  const int Right = Label->Left() + Label->Width();
  Label->SetCaption("A good deal longer");
  EXPECT_EQ(Label->Left() + Label->Width(), Right);
  EXPECT_LT(Label->Left(), 100);
}

TEST_F(ExLabelTest, SettersGivenTheirCurrentValueDoNothingAndTheShadowColourNeverRefits) {
  Form->Show();
  TKVRLabel* Label = NewLabel("Still");
  Label->SetShowShadow(true);
  Label->SetBounds(Label->Left(), Label->Top(), 99, 30);  // not what a fit gives
  NothingToRepaint();
  Label->SetShowShadow(true);
  Label->SetShowBorder(false);
  Label->SetColorShadow(Label->ColorShadow());
  Label->SetColorBorder(Label->ColorBorder());
  EXPECT_EQ(Size(Label), (std::vector<int>{99, 30}));
  EXPECT_FALSE(RepaintAsked());
  // A new shadow colour repaints and does not refit.
  Label->SetColorShadow(clBlack);
  EXPECT_EQ(Size(Label), (std::vector<int>{99, 30}));
  EXPECT_TRUE(RepaintAsked());
}

// ---- the hover label ----

class HoverLabelTest : public ExLabelTest {
 protected:
  void SetUp() override {
    ExLabelTest::SetUp();
    Link = NewLabel<TKVRActiveLabel>("http://example.org", 20, 20);
    Link->SetAutoSize(false);
    Link->SetBounds(20, 20, 100, 14);
    Link->SetLabelStyle(alsInternet);
    Link->SetColorActive(RGB(0, 0, 255));
    Link->OnMouseIn = [this](TObject*) { ++Ins; };
    Link->OnMouseOut = [this](TObject*) { ++Outs; };
    Activate(true);
  }
  // The form's active flag, as the system's activation sets it.
  void Activate(bool Active) { SendMessageA(Form->Handle(), WM_ACTIVATE, Active ? WA_ACTIVE : WA_INACTIVE, 0); }
  // A pointer message at a point of the label, in its own coordinates.
  void At(UINT Msg, int X, int Y, WPARAM Keys = 0) {
    SendMessageA(Form->Handle(), Msg, Keys, MAKELPARAM(Link->Left() + X, Link->Top() + Y));
  }
  bool Hovered() const { return (Link->Font().Style() & fsUnderline) && Link->Font().Color() == RGB(0, 0, 255); }
  bool Plain() const { return !(Link->Font().Style() & fsUnderline) && Link->Font().Color() == clWindowText; }

  TKVRActiveLabel* Link = nullptr;
  int Ins = 0, Outs = 0;
};

TEST_F(HoverLabelTest, ThePointerEntersWithTheCaptureAndLeavesAtTheFirstMoveOutside) {
  EXPECT_EQ(Link->Cursor(), crDefault);
  At(WM_MOUSEMOVE, 5, 5);
  EXPECT_TRUE(Link->MouseInside());
  EXPECT_TRUE(Link->MouseCapture());
  EXPECT_TRUE(Hovered());
  EXPECT_EQ(Ins, 1);
  // Every move inside raises the event again; the right column and the
  // bottom row still count as inside.
  At(WM_MOUSEMOVE, 100, 14);
  EXPECT_TRUE(Link->MouseInside());
  EXPECT_EQ(Ins, 2);
  At(WM_MOUSEMOVE, 101, 14);
  EXPECT_FALSE(Link->MouseInside());
  EXPECT_FALSE(Link->MouseCapture());
  EXPECT_TRUE(Plain());
  EXPECT_EQ(Outs, 1);
  // Back over it, and out below.
  At(WM_MOUSEMOVE, 50, 7);
  At(WM_MOUSEMOVE, 50, 15);
  EXPECT_FALSE(Link->MouseInside());
  EXPECT_EQ(Ins, 3);
  EXPECT_EQ(Outs, 2);
}

TEST_F(HoverLabelTest, OnAnInactiveFormOrDisabledOrHiddenTheLabelNeverEnters) {
  Activate(false);
  At(WM_MOUSEMOVE, 5, 5);
  At(WM_MOUSEMOVE, 6, 5);
  EXPECT_FALSE(Link->MouseInside());
  EXPECT_FALSE(Link->MouseCapture());
  EXPECT_TRUE(Plain());
  EXPECT_EQ(Outs, 2);  // raised on every move over it
  EXPECT_EQ(Ins, 0);

  Activate(true);
  for (bool Enabled : {false, true}) {
    Link->SetEnabled(Enabled);
    Link->SetVisible(Enabled);
    if (Enabled) break;
    At(WM_MOUSEMOVE, 5, 5);
    EXPECT_FALSE(Link->MouseInside());
  }
  At(WM_MOUSEMOVE, 5, 5);
  EXPECT_TRUE(Link->MouseInside());
}

TEST_F(HoverLabelTest, AClickWhileHoveredReleasesTheCaptureAndTheLabelStaysInside) {
  int Clicks = 0;
  Link->OnClick = [&](TObject*) { ++Clicks; };
  At(WM_MOUSEMOVE, 5, 5);
  At(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
  At(WM_LBUTTONUP, 5, 5);
  EXPECT_EQ(Clicks, 1);
  EXPECT_FALSE(Link->MouseCapture());
  EXPECT_EQ(GetCapture(), nullptr);  // the window let it go too
  EXPECT_TRUE(Link->MouseInside());
  EXPECT_TRUE(Hovered());
  // The next move over it takes the capture again.
  EXPECT_TRUE(Link->FormActive());
  At(WM_MOUSEMOVE, 6, 5);
  EXPECT_TRUE(Link->MouseCapture());
}

TEST_F(HoverLabelTest, PressedWhileNotInsideAndDraggedOffTheLabelNeverShowsTheHoverLook) {
  Activate(false);
  At(WM_MOUSEMOVE, 5, 5);
  At(WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
  EXPECT_TRUE(Link->MouseCapture());  // the button's capture
  At(WM_MOUSEMOVE, 8, 5, MK_LBUTTON);
  At(WM_MOUSEMOVE, 150, 5, MK_LBUTTON);
  EXPECT_FALSE(Link->MouseCapture());
  EXPECT_FALSE(Link->MouseInside());
  EXPECT_TRUE(Plain());
  EXPECT_EQ(Ins, 0);
}

TEST_F(HoverLabelTest, TheStylesChangeTheLookOnlyWhereTheirRulesSay) {
  // A hover colour equal to the font's: no effect at all, not even the
  // underline.
  Link->SetColorActive(clWindowText);
  At(WM_MOUSEMOVE, 5, 5);
  EXPECT_FALSE(Link->Font().Style() & fsUnderline);
  At(WM_MOUSEMOVE, 150, 5);

  // Outline and shadow together act only when the two agree.
  Link->SetLabelStyle(alsBorderShadow);
  Link->SetShowBorder(true);
  At(WM_MOUSEMOVE, 5, 5);
  EXPECT_TRUE(Link->ShowBorder());
  EXPECT_FALSE(Link->ShowShadow());
  At(WM_MOUSEMOVE, 150, 5);
  EXPECT_TRUE(Link->ShowBorder());
  Link->SetShowBorder(false);
  At(WM_MOUSEMOVE, 5, 5);
  EXPECT_TRUE(Link->ShowBorder() && Link->ShowShadow());
  At(WM_MOUSEMOVE, 150, 5);
  EXPECT_FALSE(Link->ShowBorder() || Link->ShowShadow());

  // A style change while hovered leaves the look it had.
  Link->SetLabelStyle(alsInternet);
  Link->SetColorActive(RGB(0, 0, 255));
  At(WM_MOUSEMOVE, 5, 5);
  ASSERT_TRUE(Hovered());
  Link->SetLabelStyle(alsShadow);
  At(WM_MOUSEMOVE, 150, 5);
  EXPECT_TRUE(Hovered());
  EXPECT_FALSE(Link->ShowShadow());

  // An auto-sized label with the shadow style grows while hovered.
  Link->SetAutoSize(true);
  const std::vector<int> Rest = Size(Link);
  At(WM_MOUSEMOVE, 5, 5);
  EXPECT_EQ(Size(Link), (std::vector<int>{Rest[0] + 1, Rest[1] + 1}));
  At(WM_MOUSEMOVE, 150, 5);
  EXPECT_EQ(Size(Link), Rest);
}

TEST_F(HoverLabelTest, TheHandCursorShowsOverTheLabelWhenCursorActive) {
  Form->Show();
  auto CursorOver = [&](int X, int Y) {
    POINT Screen = {Link->Left() + X, Link->Top() + Y};
    ClientToScreen(Form->Handle(), &Screen);
    SetCursorPos(Screen.x, Screen.y);
    SendMessageA(Form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Form->Handle()), MAKELPARAM(HTCLIENT, 0));
    return GetCursor();
  };
  const HCURSOR Hand = LoadCursorA(nullptr, IDC_HAND);
  EXPECT_NE(CursorOver(5, 5), Hand);
  Link->SetCursorActive(true);
  EXPECT_EQ(Link->Cursor(), crHandPoint);
  EXPECT_EQ(CursorOver(5, 5), Hand);
  EXPECT_NE(CursorOver(150, 5), Hand);
  Link->SetCursorActive(false);
  EXPECT_EQ(Link->Cursor(), crDefault);
}

}  // namespace
