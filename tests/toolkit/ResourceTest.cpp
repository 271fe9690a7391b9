// What the toolkit's windows and paints leave behind: GDI objects counted
// through the platform seam over many paints of every kind of control (Wine
// does not refuse to delete an object still selected, Windows does and the
// object leaks, so such deletes are caught here), and the memory of edits and
// memos that are made and destroyed.

#include "tests/support/GdiLedger.h"
#include "tests/support/Picture.h"
#include "tests/support/Pump.h"
#include "tests/support/Seams.h"
#include "toolkit/Application.h"
#include "toolkit/Buttons.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/StdCtrls.h"

#include <gtest/gtest.h>
#include <psapi.h>

namespace {

using vtest::GdiLedger;

class TestForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

template <class T>
T* Place(TCustomForm* Form, TWinControl* Parent, int Left, int Top, int Width, int Height) {
  T* Control = new T(Form);
  Control->SetBounds(Left, Top, Width, Height);
  Control->SetParent(Parent);
  return Control;
}

// A shown form with every kind of control, each in the states that paint
// differently: enabled and disabled labels (a disabled one changes its
// font's colour twice per paint), flat and raised buttons, down ones, one
// with a glyph, a panel with a caption and a bevel, edits, a memo, a check
// box, a picture and pages.
TestForm* EveryControl() {
  auto* Form = new TestForm(Application);
  Form->SetBounds(40, 40, 320, 240);
  Form->AfterConstruction();
  auto* Panel = Place<TPanel>(Form, Form, 0, 0, 320, 30);
  Panel->SetCaption("Panel");
  for (bool Enabled : {true, false}) {
    auto* Label = Place<TLabel>(Form, Form, 4, Enabled ? 40 : 60, 100, 14);
    Label->SetCaption(Enabled ? "&Enabled" : "Disabled");
    Label->SetEnabled(Enabled);
    auto* Centred = Place<TLabel>(Form, Form, 110, Enabled ? 40 : 60, 100, 30);
    Centred->SetAutoSize(false);
    Centred->SetLayout(TTextLayout::tlCenter);
    Centred->SetAlignment(TAlignment::taCenter);
    Centred->SetWordWrap(true);
    Centred->SetCaption("Centred and wrapped");
    Centred->SetEnabled(Enabled);
  }
  int X = 4;
  for (int Kind = 0; Kind < 5; ++Kind, X += 50) {
    auto* Button = Place<TSpeedButton>(Form, Form, X, 90, 46, 22);
    Button->SetCaption("Go");
    Button->SetFlat(Kind % 2 == 0);
    Button->SetGroupIndex(Kind + 1);
    Button->SetAllowAllUp(true);
    Button->SetDown(Kind == 2);
    Button->SetEnabled(Kind != 3);
    if (Kind == 4) Button->LoadGlyph("GLYPH_PLAY");
  }
  Place<TBevel>(Form, Form, 260, 40, 3, 60);
  auto* Picture = Place<TImage>(Form, Form, 270, 40, 32, 32);
  Picture->Picture().LoadFromResource("CONNECT");
  Place<TEdit>(Form, Form, 4, 120, 100, 21)->SetText("edit");
  Place<TCheckBox>(Form, Form, 110, 120, 100, 17)->SetCaption("Check");
  auto* Memo = Place<TMemo>(Form, Form, 4, 150, 200, 60);
  Memo->SetText("one\r\ntwo\r\nthree");
  auto* Pages = Place<TNotebook>(Form, Form, 210, 150, 100, 60);
  Place<TLabel>(Form, Pages->AddPage(), 2, 2, 60, 14)->SetCaption("Page");
  Form->Show();
  return Form;
}

void PaintAll(TCustomForm* Form) {
  RedrawWindow(Form->WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

class ResourceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (Form) {
      Form->BeforeDestruction();
      delete Form;
    }
  }
  vtest::ScopedPlatform Seam;
  TestForm* Form = nullptr;
};

TEST_F(ResourceTest, ManyPaintsOfEveryControlLeaveNoGdiObjectAndDeleteNothingSelected) {
  GdiLedger::Install();
  Form = EveryControl();
  for (int I = 0; I < 3; ++I) PaintAll(Form);  // cached brushes and fonts are made once
  vtest::PumpFor(100);
  const long Settled = GdiLedger::Get().Live();
  const long MadeBefore = GdiLedger::Get().Made;
  for (int I = 0; I < 100; ++I) PaintAll(Form);
  vtest::PumpFor(100);
  const GdiLedger& Ledger = GdiLedger::Get();
  EXPECT_GT(Ledger.Made - MadeBefore, 100);  // the paints did make objects
  EXPECT_EQ(Ledger.Live(), Settled) << "made " << Ledger.Made << ", deleted " << Ledger.Deleted;
  EXPECT_EQ(Ledger.SelectedDeletes, 0);

  // Freed with the form: everything the controls made goes.
  Form->BeforeDestruction();
  delete Form;
  Form = nullptr;
  EXPECT_EQ(GdiLedger::Get().SelectedDeletes, 0);
  EXPECT_EQ(GdiLedger::Get().Live(), 0) << "made " << Ledger.Made << ", deleted " << Ledger.Deleted;
}

SIZE_T PrivateBytes() {
  // What Wine reports: PagefileUsage (PrivateUsage reads 0 there).
  PROCESS_MEMORY_COUNTERS Counters = {};
  Counters.cb = sizeof Counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &Counters, sizeof Counters);
  return Counters.PagefileUsage;
}

// How much private memory a round of making and destroying leaves behind,
// after one round that lets the heap grow to what the round needs.
template <class F>
long long GrowthKB(F Round) {
  Round();
  vtest::PumpFor(50);
  const SIZE_T Before = PrivateBytes();
  Round();
  Round();
  vtest::PumpFor(50);
  return (static_cast<long long>(PrivateBytes()) - static_cast<long long>(Before)) / 1024;
}

TEST_F(ResourceTest, EditsAndMemosThatAreDestroyedLeaveTheirTextBehindNowhere) {
  Form = new TestForm(Application);
  Form->AfterConstruction();
  // 64 KB, not more: Wine's edit takes seconds over every long text it is given.
  const std::string Long(64 * 1024, 'y');
  const long long Edits = GrowthKB([&] {
    for (int I = 0; I < 20; ++I) {
      auto* Edit = Place<TEdit>(Form, Form, 0, 0, 100, 21);
      Edit->SetText(Long);
      delete Edit;
    }
  });
  RecordProperty("EditGrowthKB", static_cast<int>(Edits));
  // Left behind, 40 edits of 64 KB would hold 5 MB.
  EXPECT_LT(Edits, 512);

  // Wine's own multi-line edit keeps 64 KB of every one destroyed, made and
  // destroyed with nothing of ours around it: a memo may leave that much
  // behind, and not a byte more.
  std::string Lines;
  for (int I = 0; I < 512; ++I) Lines += std::string(62, 'x') + "\r\n";
  const long long Memos = GrowthKB([&] {
    for (int I = 0; I < 10; ++I) {
      auto* Memo = Place<TMemo>(Form, Form, 0, 30, 100, 60);
      Memo->SetText(Lines);
      delete Memo;
    }
  });
  const long long RawMemos = GrowthKB([&] {
    for (int I = 0; I < 10; ++I) {
      HWND Raw = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, 0,
                                 30, 100, 60, Form->WindowHandle(), nullptr, GetModuleHandleA(nullptr), nullptr);
      SendMessageA(Raw, EM_SETLIMITTEXT, 0, 0);
      SetWindowTextA(Raw, Lines.c_str());
      DestroyWindow(Raw);
    }
  });
  RecordProperty("MemoGrowthKB", static_cast<int>(Memos));
  RecordProperty("RawMemoGrowthKB", static_cast<int>(RawMemos));
  EXPECT_LT(Memos, RawMemos + 512) << "raw multi-line edits: " << RawMemos << " KB";
}

}  // namespace
