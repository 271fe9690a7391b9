#include "bench/SlowDisk.h"

#include "bench/Clock.h"
#include "bench/Markdown.h"
#include "bench/Stats.h"
#include "bench/Worker.h"
#include "tests/support/Pump.h"
#include "tests/support/TempDir.h"
#include "toolkit/Application.h"
#include "toolkit/Platform.h"
#include "ui/VintrelU.h"

#include <atomic>
#include <memory>
#include <vector>

namespace bench {

namespace {

constexpr DWORD WriteMs = 2000;         // each write to the disk
constexpr unsigned LinePeriodMs = 500;  // a change of state, and so a line, this often
constexpr unsigned SamplePeriodMs = 10;
constexpr unsigned AnswerLimitMs = 5000;

std::atomic<int> Writes{0};

BOOL WINAPI SlowWriteFile(HANDLE File, LPCVOID Data, DWORD Size, LPDWORD Done, LPOVERLAPPED Overlapped) {
  Sleep(WriteMs);
  ++Writes;
  return ::WriteFile(File, Data, Size, Done, Overlapped);
}

int WINAPI NoBox(HWND, LPCSTR, LPCSTR, UINT) { return IDOK; }
BOOL WINAPI NoTray(DWORD, PNOTIFYICONDATAA) { return TRUE; }
BOOL WINAPI NoSound(LPCSTR, HMODULE, DWORD) { return TRUE; }

}  // namespace

std::string SlowDiskSection(const Plan& P) {
  const unsigned Seconds = P.Quick ? 6 : 30;
  const TPlatform Saved = Platform();
  vtest::TempDir Dir;
  Dir.PretendExecutableHere();
  // No probe goes out: the lines come from results handed to the window.
  Dir.Write("Vintrel.ini", "[config]\r\nurl=http://127.0.0.1:9/\r\ninterval=600\r\n[log]\r\nstore.log=1\r\n");
  Platform().MessageBoxA = NoBox;
  Platform().Shell_NotifyIconA = NoTray;
  Platform().PlaySoundA = NoSound;
  Platform().WriteFile = SlowWriteFile;
  Writes = 0;

  auto* Form = new TVintrelF(Application);
  VintrelF = Form;
  Form->AfterConstruction();
  HWND Window = Form->WindowHandle();

  std::vector<double> Answers;
  std::size_t NoAnswer = 0;
  std::atomic<bool> Stop{false};
  int Lines = 0;
  {
    Worker Sampler([&] {
      while (!Stop.load()) {
        const double Sent = NowMs();
        DWORD_PTR Result = 0;
        if (SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_NORMAL, AnswerLimitMs, &Result))
          Answers.push_back(NowMs() - Sent);
        else
          ++NoAnswer;
        Sleep(SamplePeriodMs);
      }
    });
    const double Until = NowMs() + Seconds * 1000.0;
    bool Connected = false;
    while (NowMs() < Until) {
      Connected = !Connected;
      Form->inetNotifyDownNotification(Form->inetNotify, Connected);
      ++Lines;
      vtest::PumpFor(LinePeriodMs);
    }
    Stop = true;
    // The sampler's last message is answered while it is joined.
    vtest::PumpUntil([] { return false; }, 2 * SamplePeriodMs + 50);
  }
  const int WrittenDuring = Writes.load();
  const double ClosingFrom = NowMs();
  Form->BeforeDestruction();
  const double CloseMs = NowMs() - ClosingFrom;
  delete Form;
  VintrelF = nullptr;
  Platform() = Saved;
  const std::string Log = Dir.Read("Vintrel.log");
  const std::size_t Kept = vtest::TempDir::Lines(Log).size();

  const Summary S = Summarize(Answers);
  Table Out({"lines logged", "writes done meanwhile", "answers", "median ms", "p99 ms", "max ms", "no answer",
             "Close, ms", "lines in the log after Close"});
  Out.Add({Count(Lines), Count(WrittenDuring), Count(static_cast<long long>(S.Count)), Fixed(S.Median, 1),
           Fixed(S.P99, 1), Fixed(S.Max, 1), Count(static_cast<long long>(NoAnswer)), Fixed(CloseMs, 0),
           Count(static_cast<long long>(Kept))});
  return "## Window answer times on a slow disk\n\nThe main window made in the benchmark's own process (as the "
         "tests make it), with Save Log ticked and every WriteFile of the program made to take " +
         std::to_string(WriteMs) + " ms (through the platform seam). For " + std::to_string(Seconds) +
         " s a change of state is handed to the window every " + std::to_string(LinePeriodMs) +
         " ms, each a log line, while another thread sends the window WM_NULL every ~" +
         std::to_string(SamplePeriodMs) +
         " ms and times the answer. The lines pile up in the writer's queue and go to the disk together; Close "
         "waits for the writer at most 5 s, and the lines it could not write by then stay where the end of a "
         "run keeps them.\n\n" +
         Out.Render() + "\n";
}

}  // namespace bench
