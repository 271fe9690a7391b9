// The gradient image: its bands drawn into a memory bitmap and read back
// pixel by pixel, in every direction and band count; system colours resolved
// at each drawing; and, on a shown window, what each setter draws at once and
// what it asks to repaint, also before the control has a window to draw on.

#include "controls/ExImage.h"
#include "tests/support/GdiLedger.h"
#include "tests/support/Picture.h"
#include "tests/support/Seams.h"
#include "toolkit/Application.h"
#include "toolkit/ExtCtrls.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using vtest::GdiLedger;
using vtest::Picture;

class TestForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

constexpr TFillDirection Directions[] = {fdTopToBottom, fdBottomToTop, fdLeftToRight, fdRightToLeft};
constexpr COLORREF Red = RGB(255, 0, 0), Blue = RGB(0, 0, 255);

class GradientImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TestForm(Application);
    Form->SetBounds(40, 40, 200, 120);
    Form->AfterConstruction();
  }
  void TearDown() override {
    Form->BeforeDestruction();
    delete Form;
  }
  // A gradient of the form, on no parent: its setters only store.
  TKVRGradientImage* Make(int Width, int Height, TFillDirection Direction, int Bands, TColor Begin = Red,
                          TColor End = Blue) {
    auto* Gradient = new TKVRGradientImage(Form);
    Gradient->SetBounds(0, 0, Width, Height);
    Gradient->SetFillDirection(Direction);
    Gradient->SetNumberOfColors(static_cast<TNumberOfColors>(Bands));
    Gradient->SetBeginColor(Begin);
    Gradient->SetEndColor(End);
    return Gradient;
  }

  vtest::ScopedPlatform Seam;
  TestForm* Form = nullptr;
};

TEST_F(GradientImageTest, EachDirectionPutsTheBeginColourOnItsSideAndTwoBandsSplitAnOddExtentTenToNine) {
  for (TFillDirection Direction : Directions) {
    SCOPED_TRACE(static_cast<int>(Direction));
    const bool Rows = Direction == fdTopToBottom || Direction == fdBottomToTop;
    const bool BeginFirst = Direction == fdTopToBottom || Direction == fdLeftToRight;
    // One band: all of it in the colour where the fill starts.
    Picture One(19, 19);
    One.Draw(*Make(19, 19, Direction, 1));
    EXPECT_EQ(One.Count(BeginFirst ? Red : Blue, One.All()), 19 * 19);

    // Two bands: the first (top or left) 10 pixels deep, the second 9.
    Picture Two(19, 19);
    Two.Draw(*Make(19, 19, Direction, 2));
    const COLORREF First = BeginFirst ? Red : Blue, Second = BeginFirst ? Blue : Red;
    const RECT Head = Rows ? RECT{0, 0, 19, 10} : RECT{0, 0, 10, 19};
    const RECT Tail = Rows ? RECT{0, 10, 19, 19} : RECT{10, 0, 19, 19};
    EXPECT_EQ(Two.Count(First, Head), 19 * 10);
    EXPECT_EQ(Two.Count(Second, Tail), 19 * 9);
  }

  // The same colour at both ends: solid, whatever the bands.
  Picture Solid(40, 19);
  Solid.Draw(*Make(40, 19, fdLeftToRight, 255, Red, Red));
  EXPECT_EQ(Solid.Count(Red, Solid.All()), 40 * 19);
}

TEST_F(GradientImageTest, BandsStepEachChannelFromTheStartToExactlyTheEnd) {
  // Red rises and green falls over five one-pixel bands; blue stays.
  Picture Steps(5, 3);
  Steps.Draw(*Make(5, 3, fdLeftToRight, 5, RGB(0, 255, 100), RGB(255, 0, 100)));
  const COLORREF Expected[] = {RGB(0, 255, 100), RGB(64, 191, 100), RGB(128, 127, 100), RGB(191, 64, 100),
                               RGB(255, 0, 100)};
  for (int X = 0; X < 5; ++X)
    for (int Y = 0; Y < 3; ++Y) EXPECT_EQ(Steps.At(X, Y), Expected[X]) << X << "," << Y;
}

// With the begin colour black and the end colour red 254, the red of a band
// is its number: the pixels show which band covers them.
int BandAt(const Picture& Drawn, int X, int Y) {
  const COLORREF C = Drawn.At(X, Y);
  return GetGValue(C) == 0 && GetBValue(C) == 0 ? GetRValue(C) : -1;
}

TEST_F(GradientImageTest, BandEdgesAreRoundedSoTheBandsTileTheControlExactly) {
  // 300 pixels, 255 bands: each band one or two pixels wide, in order, none
  // missing; the first three span 0-1, 1-2 and 2-4.
  Picture Wide(300, 2);
  Wide.Draw(*Make(300, 2, fdLeftToRight, 255, RGB(0, 0, 0), RGB(254, 0, 0)));
  EXPECT_EQ(BandAt(Wide, 0, 0), 0);
  EXPECT_EQ(BandAt(Wide, 1, 0), 1);
  EXPECT_EQ(BandAt(Wide, 2, 0), 2);
  EXPECT_EQ(BandAt(Wide, 3, 0), 2);
  EXPECT_EQ(BandAt(Wide, 4, 0), 3);
  EXPECT_EQ(BandAt(Wide, 299, 1), 254);
  int Width = 1;
  for (int X = 1; X < 300; ++X) {
    const int Step = BandAt(Wide, X, 1) - BandAt(Wide, X - 1, 1);
    ASSERT_TRUE(Step == 0 || Step == 1) << "at " << X;
    Width = Step ? 1 : Width + 1;
    ASSERT_LE(Width, 2) << "at " << X;
  }

  // 19 rows, 255 bands: most bands are empty, and each row shows the one
  // band whose rounded edges enclose it; no row is left blank.
  Picture Tall(30, 19);
  Tall.Draw(*Make(30, 19, fdTopToBottom, 255, RGB(0, 0, 0), RGB(254, 0, 0)));
  for (int Y = 0; Y < 19; ++Y) {
    const int Band = BandAt(Tall, 0, Y);
    ASSERT_GE(Band, 0) << "row " << Y;
    EXPECT_LE(MulDiv(Band, 19, 255), Y) << "row " << Y;
    EXPECT_GT(MulDiv(Band + 1, 19, 255), Y) << "row " << Y;
    EXPECT_EQ(Tall.Count(Tall.At(0, Y), {0, Y, 30, Y + 1}), 30) << "row " << Y;
  }
}

TEST_F(GradientImageTest, NoBandOrNoAreaDrawsNoBand) {
  // No band: the control shows the fresh bitmap's blank (black) content.
  Picture NoBand(20, 10);
  NoBand.Draw(*Make(20, 10, fdLeftToRight, 0));
  EXPECT_EQ(NoBand.Count(RGB(0, 0, 0), NoBand.All()), 20 * 10);

  // No width or no height: nothing at all is drawn, and no bitmap is made.
  GdiLedger::Install();
  for (SIZE Size : {SIZE{0, 10}, SIZE{20, 0}}) {
    Picture Empty(20, 10);
    Empty.Draw(*Make(Size.cx, Size.cy, fdLeftToRight, 255));
    EXPECT_EQ(Empty.Count(RGB(255, 255, 255), Empty.All()), 20 * 10);
  }
  EXPECT_EQ(GdiLedger::Get().Bitmaps, 2);  // the two pictures' own
}

// Sets the button face for the life of the object, and puts it back.
class ButtonFace {
 public:
  explicit ButtonFace(COLORREF Color) : FSaved(GetSysColor(COLOR_BTNFACE)) { Set(Color); }
  ~ButtonFace() { Set(FSaved); }
  ButtonFace(const ButtonFace&) = delete;
  ButtonFace& operator=(const ButtonFace&) = delete;

 private:
  static void Set(COLORREF Color) {
    const INT Element = COLOR_BTNFACE;
    SetSysColors(1, &Element, &Color);
  }
  COLORREF FSaved;
};

TEST_F(GradientImageTest, ASystemColourIsResolvedAtEveryDrawing) {
  // The caption strip's colours: the button face at the left, dark red at
  // the right.
  TKVRGradientImage* Strip = Make(300, 19, fdRightToLeft, 255, clMaroon, clBtnFace);
  Picture Before(300, 19);
  Before.Draw(*Strip);
  EXPECT_EQ(Before.At(0, 9), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(Before.At(299, 9), RGB(128, 0, 0));

  // A new desktop colour shows at the next drawing, with no property set.
  const COLORREF Other = GetSysColor(COLOR_BTNFACE) == RGB(10, 120, 230) ? RGB(230, 120, 10) : RGB(10, 120, 230);
  ButtonFace Changed(Other);
  ASSERT_EQ(GetSysColor(COLOR_BTNFACE), Other) << "the system colour could not be changed here";
  Picture After(300, 19);
  After.Draw(*Strip);
  EXPECT_EQ(After.At(0, 9), Other);
  EXPECT_EQ(After.At(299, 9), RGB(128, 0, 0));
}

// What a setter did on the spot: how many gradient bitmaps it made (each
// drawing makes one), and whether the control's area now waits for a paint.
struct Effect {
  long Drawn;
  bool Repaint;
};

class GradientSetterTest : public GradientImageTest {
 protected:
  void SetUp() override {
    GradientImageTest::SetUp();
    Gradient = new TKVRGradientImage(Form);
    Gradient->SetBounds(10, 20, 60, 19);
    Gradient->SetParent(Form);
    Form->Show();
    UpdateWindow(Form->WindowHandle());
    GdiLedger::Install();
  }
  Effect Of(const std::function<void()>& Set, TWinControl* Parent = nullptr) {
    HWND Window = (Parent ? Parent : Form)->WindowHandle();
    ValidateRect(Window, nullptr);
    const long Before = GdiLedger::Get().Bitmaps;
    Set();
    RECT Update = {}, Inside;
    const RECT Bounds = Gradient->BoundsRect();
    const bool Pending = GetUpdateRect(Window, &Update, FALSE) && IntersectRect(&Inside, &Update, &Bounds) &&
                         EqualRect(&Inside, &Bounds);
    return {GdiLedger::Get().Bitmaps - Before, Pending};
  }
  TKVRGradientImage* Gradient = nullptr;
};

TEST_F(GradientSetterTest, ColourSettersDrawAtOnceEvenUnchangedAndTheDirectionOnlyWhenChanged) {
  auto Check = [](Effect E, long Drawn, bool Repaint) {
    EXPECT_EQ(E.Drawn, Drawn);
    EXPECT_EQ(E.Repaint, Repaint);
  };
  Check(Of([&] { Gradient->SetFillDirection(fdLeftToRight); }), 0, false);  // the current one
  Check(Of([&] { Gradient->SetFillDirection(fdRightToLeft); }), 1, true);
  Check(Of([&] { Gradient->SetBeginColor(Gradient->BeginColor()); }), 1, true);
  Check(Of([&] { Gradient->SetEndColor(Gradient->EndColor()); }), 1, true);
  Check(Of([&] { Gradient->SetBeginColor(Red); }), 1, true);
  // The band count and the size flag are only painted later.
  Check(Of([&] { Gradient->SetNumberOfColors(7); }), 0, true);
  Check(Of([&] { Gradient->SetNumberOfColors(7); }), 0, true);
  Check(Of([&] { Gradient->SetAutoSize(true); }), 0, true);
  EXPECT_EQ(Gradient->Width(), 60);
  EXPECT_EQ(Gradient->Height(), 19);

  // The drawing at once is on the window, before any paint.
  ValidateRect(Form->WindowHandle(), nullptr);
  Gradient->SetNumberOfColors(1);
  Gradient->SetFillDirection(fdLeftToRight);
  Gradient->SetBeginColor(RGB(0, 160, 0));
  HDC Window = GetDC(Form->WindowHandle());
  EXPECT_EQ(GetPixel(Window, 15, 25), RGB(0, 160, 0));
  ReleaseDC(Form->WindowHandle(), Window);
}

TEST_F(GradientSetterTest, WithoutAWindowToDrawOnTheSettersOnlyKeepTheValueForTheFirstPaint) {
  // No parent at all, a parent whose window is not made yet (a layout being
  // built), and a hidden control: nothing drawn, nothing broken.
  auto* Loose = new TKVRGradientImage(Form);
  auto* Unmade = new TPanel(Form);
  for (TKVRGradientImage* G : {Loose, Gradient}) {
    if (G == Gradient) G->SetVisible(false);
    const long Before = GdiLedger::Get().Bitmaps;
    G->SetBeginColor(RGB(0, 160, 0));
    G->SetEndColor(RGB(0, 0, 160));
    G->SetFillDirection(fdBottomToTop);
    EXPECT_EQ(GdiLedger::Get().Bitmaps, Before);
  }
  Loose->SetParent(Unmade);
  EXPECT_FALSE(Unmade->HandleAllocated());
  EXPECT_EQ(Of([&] { Loose->SetEndColor(RGB(0, 0, 160)); }).Drawn, 0);
  // The hidden one still asks for its area to be painted.
  EXPECT_TRUE(Of([&] { Gradient->SetBeginColor(RGB(0, 160, 0)); }).Repaint);

  // Placed on the shown window, the first paint shows what was set.
  Loose->SetBounds(100, 20, 40, 30);
  Loose->SetNumberOfColors(2);
  Loose->SetParent(Form);
  const long Before = GdiLedger::Get().Bitmaps;
  UpdateWindow(Form->WindowHandle());
  EXPECT_EQ(GdiLedger::Get().Bitmaps, Before + 1);
  HDC Window = GetDC(Form->WindowHandle());
  EXPECT_EQ(GetPixel(Window, 110, 25), RGB(0, 0, 160));  // the end colour on top
  EXPECT_EQ(GetPixel(Window, 110, 45), RGB(0, 160, 0));  // the begin colour below
  ReleaseDC(Form->WindowHandle(), Window);
}

}  // namespace
