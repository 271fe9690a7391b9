#include "bench/MeasureCheck.h"

#include "bench/ChildProcess.h"
#include "bench/CpuTime.h"
#include "bench/Markdown.h"
#include "bench/Resources.h"
#include "bench/Unique.h"
#include "bench/Worker.h"

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace bench {

const char* const HandleSource = "NtQuerySystemInformation(SystemExtendedHandleInformation), entries of the pid";
const char* const GdiSource = "PEB GdiSharedHandleTable, live entries";
const char* const WindowSource = "EnumWindows + FindWindowEx(HWND_MESSAGE) + EnumChildWindows, by pid";
const char* const ThreadSource = "Toolhelp32 thread snapshot, by pid";
const char* const PrivateSource = "GetProcessMemoryInfo: PagefileUsage";
const char* const UnixCpuSource = "/proc/<pid>/stat utime + stime (Wine's Z: drive), found by its command line";

namespace {

constexpr long long MadeObjects = 100;
constexpr long long MadeWindows = 10;
constexpr long long MadeThreads = 5;
constexpr SIZE_T MadeBytes = 64 * 1024 * 1024;
constexpr double SpinMs = 300;
const char* const WindowClass = "VintrelBenchCheck";

enum class Unit { Count, Bytes, Ms };

struct Row {
  bool Observable::*Flag;
  Unit In;
  const char* Counter;
  const char* Source;
  const char* Made;
  long long Expected;
  long long Seen;  // -1 before or after: the source could not be read
};

// Within a tenth (or two units) of the expected change: other threads may
// make or free a few objects meanwhile.
bool Follows(long long Expected, long long Seen) {
  const long long Slack = std::max(2LL, Expected / 10);
  return Seen >= Expected - Slack && Seen <= Expected + Slack;
}

// A change as "+100", "+64.0 MiB" or "+300 ms".
std::string Shown(long long Value, Unit In) {
  std::string Text = Value >= 0 ? "+" : "";
  if (In == Unit::Bytes) Text += Mebibytes(static_cast<double>(Value));
  if (In == Unit::Count) Text += Count(Value);
  if (In == Unit::Ms) Text += Count(Value) + " ms";
  return Text;
}

// Reads Counter, runs Make (which holds what it made until Counter is read
// again through the callback it is given), reports the difference.
long long Measure(const std::function<long long()>& Counter,
                  const std::function<void(const std::function<void()>&)>& Make) {
  const long long Before = Counter();
  long long After = -1;
  Make([&] { After = Counter(); });
  return Before < 0 || After < 0 ? -1 : After - Before;
}

void MakeEvents(const std::function<void()>& Read) {
  std::vector<UniqueHandle> Events;
  for (long long I = 0; I < MadeObjects; ++I) Events.emplace_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  Read();
}

void MakeBrushes(const std::function<void()>& Read) {
  std::vector<UniqueGdiObject> Brushes;
  for (long long I = 0; I < MadeObjects; ++I) Brushes.emplace_back(CreateSolidBrush(RGB(static_cast<int>(I), 0, 0)));
  Read();
}

// Four hidden top-level windows (the first with three children) and three
// message-only windows: ten in all. Children go with their parent.
void MakeWindows(const std::function<void()>& Read) {
  WNDCLASSA Class{};
  Class.lpfnWndProc = DefWindowProcA;
  Class.hInstance = GetModuleHandleA(nullptr);
  Class.lpszClassName = WindowClass;
  RegisterClassA(&Class);
  const auto Make = [](HWND Parent, DWORD Style) {
    return CreateWindowExA(0, WindowClass, "", Style, 0, 0, 10, 10, Parent, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
  };
  std::vector<UniqueWindow> Parents;
  for (int I = 0; I < 4; ++I) Parents.emplace_back(Make(nullptr, WS_OVERLAPPED));
  for (int I = 0; I < 3; ++I) Make(Parents.front().Get(), WS_CHILD);
  for (int I = 0; I < 3; ++I) Parents.emplace_back(Make(HWND_MESSAGE, 0));
  Read();
}

void MakeThreads(const std::function<void()>& Read) {
  auto Release = std::make_shared<UniqueHandle>(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  {
    std::vector<std::unique_ptr<Worker>> Waiting;
    for (long long I = 0; I < MadeThreads; ++I)
      Waiting.push_back(std::make_unique<Worker>([Release] { WaitForSingleObject(Release->Get(), 10000); }));
    Sleep(100);  // every thread has started
    Read();
    SetEvent(Release->Get());
  }
}

// Committed and written to, page by page: untouched pages are not resident
// and would not count under Wine.
void MakeMemory(const std::function<void()>& Read) {
  UniqueMemory Memory(MadeBytes);
  if (Memory.Get()) std::memset(Memory.Get(), 1, Memory.Size());
  Read();
}

double ThreadCpuMs() {
  FILETIME Created, Exited, Kernel, User;
  GetThreadTimes(GetCurrentThread(), &Created, &Exited, &Kernel, &User);
  const auto Ms = [](const FILETIME& T) {
    return static_cast<double>((static_cast<ULONGLONG>(T.dwHighDateTime) << 32) | T.dwLowDateTime) / 10000.0;
  };
  return Ms(Kernel) + Ms(User);
}

// This program started again with --spin and a marker of its own in its
// command line, by which its Linux process is found.
std::string SpinMarker() {
  return "vintrel-bench-spin-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());
}

// Waits for the child's spin to end: its threads have used SpinMs, and a
// little more time for the last loop. Bounded.
bool WaitForSpin(DWORD Pid) {
  const ULONGLONG Deadline = GetTickCount64() + 15000;
  while (LiveThreadsCpuMs(Pid).value_or(0) < SpinMs) {
    if (GetTickCount64() >= Deadline) return false;
    Sleep(50);
  }
  Sleep(300);
  return true;
}

// The CPU row: what another process used, read from /proc, against what
// its own threads report (GetThreadTimes, right under Wine for any thread).
Row CpuRow() {
  Row R{&Observable::UnixCpu,
        Unit::Ms,
        "CPU time of another process",
        UnixCpuSource,
        "a child process spinning 300 ms (expected: its threads' GetThreadTimes)",
        0,
        -1};
  const std::string Marker = SpinMarker();
  try {
    ChildProcess Child(std::string(SpinArgument) + " " + Marker);
    if (!WaitForSpin(Child.Pid())) return R;
    const std::optional<std::string> Folder = FindUnixProcess(Marker);
    const std::optional<double> Seen = Folder ? UnixCpuMs(*Folder) : std::nullopt;
    R.Expected = static_cast<long long>(LiveThreadsCpuMs(Child.Pid()).value_or(0));
    if (Seen) R.Seen = static_cast<long long>(*Seen);
  } catch (const std::exception&) {
    // No child, no reading: the row says unreadable.
  }
  return R;
}

}  // namespace

const char* const SpinArgument = "--spin";

int RunSpinChild() {
  const double Start = ThreadCpuMs();
  volatile unsigned long long Sink = 0;
  while (ThreadCpuMs() - Start < SpinMs)
    for (int I = 0; I < 100000; ++I) Sink = Sink + static_cast<unsigned long long>(I);
  WaitForParentToLetGo();  // idle while the parent reads it
  return 0;
}

MeasureCheck CheckMeasures() {
  const DWORD Pid = GetCurrentProcessId();
  // A real handle to ourselves takes the path a handle to another process takes.
  UniqueHandle Self(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, Pid));
  const std::vector<Row> Rows = {
      {&Observable::Handles, Unit::Count, "handles", HandleSource, "100 events", MadeObjects,
       Measure([&] { return HandleCount(Pid); }, MakeEvents)},
      {&Observable::GdiObjects, Unit::Count, "GDI objects", GdiSource, "100 brushes", MadeObjects,
       Measure(GdiObjectCount, MakeBrushes)},
      {&Observable::Windows, Unit::Count, "windows", WindowSource, "4 top-level, 3 child, 3 message-only", MadeWindows,
       Measure([&] { return WindowCount(Pid); }, MakeWindows)},
      {&Observable::Threads, Unit::Count, "threads", ThreadSource, "5 waiting threads", MadeThreads,
       Measure([&] { return ThreadCount(Pid); }, MakeThreads)},
      {&Observable::PrivateBytes, Unit::Bytes, "private bytes (own process)", PrivateSource, "64 MiB written",
       static_cast<long long>(MadeBytes), Measure([] { return PrivateBytes(GetCurrentProcess()); }, MakeMemory)},
      {&Observable::OtherPrivateBytes, Unit::Bytes, "private bytes (via a process handle)", PrivateSource,
       "64 MiB written", static_cast<long long>(MadeBytes),
       Measure([&] { return PrivateBytes(Self.Get()); }, MakeMemory)},
      CpuRow(),
  };

  MeasureCheck Result;
  Table Out({"counter", "read with", "made", "expected change", "seen change", "verdict"}, 3);
  for (const Row& R : Rows) {
    const bool Works = R.Seen >= 0 && Follows(R.Expected, R.Seen);
    Result.Works.*R.Flag = Works;
    Out.Add({R.Counter, R.Source, R.Made, Shown(R.Expected, R.In), R.Seen < 0 ? "unreadable" : Shown(R.Seen, R.In),
             Works ? "works" : "not observable"});
  }
  Result.Markdown = Out.Render();
  return Result;
}

}  // namespace bench
