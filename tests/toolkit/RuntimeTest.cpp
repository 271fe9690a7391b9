// The toolkit's run-time services: where an error raised inside a window
// procedure goes, and how a worker's completion reaches the user-interface
// thread, or does not, for an owner that is gone.

#include "tests/support/Pump.h"
#include "tests/support/Seams.h"
#include "toolkit/Application.h"
#include "toolkit/Buttons.h"
#include "toolkit/Exceptions.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using vtest::PumpUntil;
using vtest::Recorder;

// A timer whose tick raises an error: the error leaves a window procedure.
struct FailingTimer {
  explicit FailingTimer(const char* Text) : Timer(nullptr) {
    Timer.OnTimer = [Text](TObject*) { throw Exception(Text); };
    Timer.SetInterval(10);  // armed now that it has a handler
  }
  TTimer Timer;
};

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { Recorder::Install(); }
  void TearDown() override {
    // The application's own sink back.
    SetHandlerErrorSink([](std::exception_ptr Error) { Application->QueueException(Error); });
  }
  vtest::ScopedPlatform Seam;
};

TEST_F(RuntimeTest, AnErrorInAWindowProcedureGoesToTheSinkOrElseToAnErrorBoxAtOnce) {
  // The application's sink: the event loop shows it in the error box, with
  // a full stop, the title as caption, and the handler that raised it ended.
  {
    FailingTimer Failing("The tick failed");
    ASSERT_TRUE(PumpUntil([] { return !Recorder::Boxes().empty(); }, 5000));
    Failing.Timer.SetEnabled(false);
  }
  EXPECT_EQ(Recorder::Boxes()[0].Text, "The tick failed.");
  EXPECT_EQ(Recorder::Boxes()[0].Caption, Application->Title());
  EXPECT_EQ(Recorder::Boxes()[0].Type, static_cast<UINT>(MB_OK | MB_ICONERROR));

  // A misuse of the C++ library's strings reads as the library words it,
  // numbers included, though the program raises those errors itself.
  Recorder::Boxes().clear();
  {
    TTimer Timer(nullptr);
    Timer.OnTimer = [](TObject*) { (void)std::string("abc").substr(5); };
    Timer.SetInterval(10);
    ASSERT_TRUE(PumpUntil([] { return !Recorder::Boxes().empty(); }, 5000));
    Timer.SetEnabled(false);
  }
  EXPECT_EQ(Recorder::Boxes()[0].Text, "basic_string::substr: __pos (which is 5) > this->size() (which is 3).");

  // A button's accelerator runs its handler from the event loop itself,
  // outside any window procedure: its error too is shown, and the loop goes on.
  {
    struct TestForm : TCustomForm {
      using TCustomForm::TCustomForm;
    };
    auto* Form = new TestForm(Application);
    Form->SetBounds(0, 0, 100, 60);
    auto* Button = new TSpeedButton(Form);
    Button->SetBounds(0, 0, 50, 20);
    Button->SetCaption("&Go");
    Button->SetParent(Form);
    Button->OnClick = [](TObject*) { throw Exception("The accelerator failed"); };
    Form->AfterConstruction();
    Form->Show();
    Recorder::Boxes().clear();
    PostMessageA(Form->Handle(), WM_SYSCHAR, 'g', 0);
    EXPECT_NO_THROW(PumpUntil([] { return !Recorder::Boxes().empty(); }, 5000));
    ASSERT_EQ(Recorder::BoxTexts(), std::vector<std::string>{"The accelerator failed."});
    Form->BeforeDestruction();
    delete Form;
  }

  // A sink of one's own gets the error itself.
  std::vector<std::string> Caught;
  SetHandlerErrorSink([&](std::exception_ptr Error) { Caught.push_back(ExceptionMessage(Error)); });
  Recorder::Boxes().clear();
  {
    FailingTimer Failing("Caught here");
    ASSERT_TRUE(PumpUntil([&] { return !Caught.empty(); }, 5000));
    Failing.Timer.SetEnabled(false);
  }
  EXPECT_EQ(Caught[0], "Caught here");
  EXPECT_TRUE(Recorder::Boxes().empty());

  // No sink: never dropped, a plain error box at once.
  SetHandlerErrorSink(nullptr);
  {
    FailingTimer Failing("Nobody listens");
    ASSERT_TRUE(PumpUntil([] { return !Recorder::Boxes().empty(); }, 5000));
    Failing.Timer.SetEnabled(false);
  }
  EXPECT_EQ(Recorder::Boxes()[0].Text, "Nobody listens.");
  EXPECT_EQ(Recorder::Boxes()[0].Type, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

// A worker that waits for a signal, then ends, and counts its freeing.
class Worker : public TThread {
 public:
  Worker(HANDLE Go, std::atomic<int>& Freed) : FGo(Go), FFreed(Freed) { FreeOnTerminate = true; }
  ~Worker() override { ++FFreed; }
  std::atomic<DWORD> WorkerThread{0};

 protected:
  void Execute() override {
    WaitForSingleObject(FGo, 10000);
    WorkerThread = GetCurrentThreadId();
  }

 private:
  HANDLE FGo;
  std::atomic<int>& FFreed;
};

TEST_F(RuntimeTest, AWorkersCompletionRunsOnTheUserInterfaceThreadThenTheWorkerFreesItself) {
  HANDLE Go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> Freed{0};
  auto* W = new Worker(Go, Freed);
  DWORD CompletionThread = 0, WorkerThread = 0;
  int FreedAtCompletion = -1;
  W->OnTerminate = [&](TObject* Sender) {
    CompletionThread = GetCurrentThreadId();
    WorkerThread = static_cast<Worker*>(Sender)->WorkerThread;
    // The worker still exists while this runs, however long it takes: it
    // waits for it, rather than freeing itself once it has posted it.
    Sleep(300);
    FreedAtCompletion = Freed;
  };
  W->Start();
  SetEvent(Go);
  // While this thread handles only sent messages, as it does when it waits
  // inside a call to another process (the shell's), the completion is not
  // run: it waits, posted, for the message loop.
  const ULONGLONG Until = GetTickCount64() + 5000;
  while (W->WorkerThread == 0 && GetTickCount64() < Until) Sleep(5);
  MSG Pending;
  while (CompletionThread == 0 && GetTickCount64() < Until &&
         !PeekMessageA(&Pending, nullptr, WM_APP, 0xBFFF, PM_NOREMOVE | PM_QS_POSTMESSAGE))
    PeekMessageA(&Pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  EXPECT_EQ(CompletionThread, 0u);
  ASSERT_TRUE(PumpUntil([&] { return Freed == 1; }, 5000));
  EXPECT_EQ(CompletionThread, GetCurrentThreadId());
  EXPECT_NE(WorkerThread, 0u);
  EXPECT_NE(WorkerThread, GetCurrentThreadId());
  EXPECT_EQ(FreedAtCompletion, 0);
  CloseHandle(Go);
}

TEST_F(RuntimeTest, ACompletionForAnOwnerThatIsGoneIsDroppedAndTheWorkerStillFreesItself) {
  HANDLE Go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> Freed{0};
  bool Ran = false;
  auto* Owner = new TComponent(nullptr);
  auto* W = new Worker(Go, Freed);
  W->OnTerminate = [&](TObject*) { Ran = true; };
  W->Start();
  // The owner goes, and lets its worker go first: the completion is cleared.
  W->OnTerminate = TNotifyEvent();
  delete Owner;
  SetEvent(Go);
  ASSERT_TRUE(PumpUntil([&] { return Freed == 1; }, 5000));
  EXPECT_FALSE(Ran);
  CloseHandle(Go);
}

}  // namespace
