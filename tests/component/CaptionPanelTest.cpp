// The caption panel: its erase and its own painting drawn into memory
// bitmaps against the standard panel's, each switch on and off, with the
// erase's answer to the system; its children painted in every case; and a
// repaint asked for only when a switch really changes.

#include "controls/ExPanel.h"
#include "tests/support/Picture.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using vtest::Picture;

class TestForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

// Opens the panels' own painting to the test.
template <class Base>
class Open : public Base {
 public:
  using Base::Base;
  void PaintOn(HDC DC) {
    TCanvas Canvas;
    TCanvasHandle Attached(Canvas, DC);
    this->Paint(Canvas);
  }
};

// A windowless child that counts its paints.
class Counted : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  void Paint() override { ++Paints; }
  int Paints = 0;
};

constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Teal = RGB(0, 128, 128);

class CaptionPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TestForm(Application);
    Form->SetBounds(40, 40, 260, 120);
    Form->AfterConstruction();
  }
  void TearDown() override {
    Form->BeforeDestruction();
    delete Form;
  }
  // A panel with a raised bevel and a caption, in its own colour, on the form.
  template <class T>
  T* Place(int Top) {
    auto* Panel = new T(Form);
    Panel->SetBounds(0, Top, 120, 30);
    Panel->SetCaption("MMMM");
    Panel->SetColor(Teal);
    Panel->SetParent(Form);
    return Panel;
  }
  // What the panel's erase and then its own painting leave on a white
  // bitmap, and the erase's answer.
  template <class T>
  std::vector<COLORREF> Drawn(T* Panel, LRESULT& Erased) {
    Picture Surface(120, 30);
    Erased = SendMessageA(Panel->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(Surface.Handle()), 0);
    Panel->PaintOn(Surface.Handle());
    std::vector<COLORREF> Pixels;
    for (int Y = 0; Y < 30; ++Y)
      for (int X = 0; X < 120; ++X) Pixels.push_back(Surface.At(X, Y));
    return Pixels;
  }
  static int Count(const std::vector<COLORREF>& Pixels, COLORREF Color) {
    int N = 0;
    for (COLORREF P : Pixels) N += P == Color;
    return N;
  }

  TestForm* Form = nullptr;
};

TEST_F(CaptionPanelTest, EachSwitchTurnsOffItsOwnPartOfThePanelsLooks) {
  auto* Base = Place<Open<TPanel>>(0);
  auto* Panel = Place<Open<TKVRPanel>>(40);
  LRESULT BaseErased = 0, Erased = 0;
  const std::vector<COLORREF> Standard = Drawn(Base, BaseErased);
  // The standard panel: filled by the erase, then its bevel and caption.
  EXPECT_EQ(BaseErased, 1);
  const COLORREF Shadow = GetSysColor(COLOR_BTNSHADOW), Text = GetSysColor(COLOR_WINDOWTEXT);
  EXPECT_GT(Count(Standard, Teal), 120 * 30 / 2);
  EXPECT_GE(Count(Standard, Shadow), 120 + 30 - 1);  // the bevel's bottom and right edges
  EXPECT_GT(Count(Standard, Text), 20);

  // Both switches on: exactly the standard panel.
  EXPECT_TRUE(Panel->EraseBackground());
  EXPECT_TRUE(Panel->PaintPanel());
  EXPECT_EQ(Drawn(Panel, Erased), Standard);
  EXPECT_EQ(Erased, 1);

  // The erase off: nothing erased, and its own painting fills it in its
  // colour before the bevel and caption.
  Panel->SetEraseBackground(false);
  EXPECT_EQ(Drawn(Panel, Erased), Standard);
  EXPECT_EQ(Erased, 0);
  Panel->SetEraseBackground(true);

  // Its own painting off: the erase still fills, and nothing else is drawn.
  Panel->SetPaintPanel(false);
  EXPECT_EQ(Count(Drawn(Panel, Erased), Teal), 120 * 30);
  EXPECT_EQ(Erased, 1);

  // Both off: the erase reports nothing erased, and nothing at all is drawn.
  Panel->SetEraseBackground(false);
  EXPECT_EQ(Count(Drawn(Panel, Erased), White), 120 * 30);
  EXPECT_EQ(Erased, 0);
}

TEST_F(CaptionPanelTest, ChildrenArePaintedWhateverTheSwitchesAndOnlyAChangeAsksForARepaint) {
  auto* Panel = Place<TKVRPanel>(0);
  auto* Child = new Counted(Form);
  Child->SetBounds(10, 5, 50, 20);
  Child->SetParent(Panel);
  Form->Show();
  const HWND Window = Panel->Handle();
  auto Repaints = [&](bool Value, bool Erase) {
    ValidateRect(Window, nullptr);
    if (Erase)
      Panel->SetEraseBackground(Value);
    else
      Panel->SetPaintPanel(Value);
    return GetUpdateRect(Window, nullptr, FALSE) != FALSE;
  };
  for (bool Erase : {true, false}) {
    SCOPED_TRACE(Erase ? "EraseBackground" : "PaintPanel");
    EXPECT_FALSE(Repaints(true, Erase));  // the current value
    EXPECT_TRUE(Repaints(false, Erase));
    EXPECT_FALSE(Repaints(false, Erase));
  }

  // Both off: the child is still painted, each time the panel is.
  const int Before = Child->Paints;
  RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(Child->Paints, Before + 1);
  Panel->SetPaintPanel(true);
  Panel->SetEraseBackground(true);
  RedrawWindow(Window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(Child->Paints, Before + 2);
}

}  // namespace
