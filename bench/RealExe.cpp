#include "bench/RealExe.h"

#include "bench/Clock.h"
#include "tests/support/Desktop.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace bench {

namespace {

std::string SettingsText(const ExeSettings& Settings) {
  return "[config]\r\nurl=" + Settings.Url + "\r\ninterval=" + std::to_string(Settings.IntervalSeconds) +
         "\r\n[sound]\r\nconnect.sound=0\r\ndisconnect.sound=0\r\n[log]\r\nstore.log=" +
         (Settings.KeepLog ? "1" : "0") + "\r\n";
}

// Writes a file and flushes it to the disk: the system writing out a long
// log in the background would otherwise fall into the start measured next.
void WriteFlushed(const std::string& Path, const std::string& Text) {
  UniqueHandle File(
      CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool Written = static_cast<bool>(File);
  for (std::size_t At = 0; Written && At < Text.size();) {
    const DWORD Chunk = static_cast<DWORD>(std::min<std::size_t>(Text.size() - At, 1u << 24));
    DWORD Done = 0;
    Written = WriteFile(File.Get(), Text.data() + At, Chunk, &Done, nullptr) && Done == Chunk;
    At += Chunk;
  }
  if (!Written || !FlushFileBuffers(File.Get())) throw std::runtime_error("cannot write " + Path);
}

}  // namespace

std::optional<double> AnswerMs(HWND Window, unsigned LimitMs) {
  DWORD_PTR Result = 0;
  const double Start = NowMs();
  if (!SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, LimitMs, &Result)) return std::nullopt;
  return NowMs() - Start;
}

RealExe::RealExe(const ExeSettings& Settings) : FProgram(FDir.Path()) {
  FDir.Write("Vintrel.ini", SettingsText(Settings));
  if (Settings.KeepLog) WriteFlushed(FDir.File("Vintrel.log"), Settings.Log);
}

double RealExe::Start() {
  const double Started = NowMs();
  FProgram.Start();
  FQuery.Reset(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, FProgram.ProcessId()));
  return Started;
}

HWND RealExe::WaitForWindow(unsigned TimeoutMs) const { return FProgram.WaitForWindow("TVintrelF", TimeoutMs); }

std::optional<double> RealExe::Close(HWND Window, unsigned TimeoutMs) {
  const double Start = NowMs();
  PostMessageA(Window, WM_CLOSE, 0, 0);
  if (!FProgram.WaitForExit(TimeoutMs)) return std::nullopt;
  return NowMs() - Start;
}

std::optional<double> RealExe::EndSession(unsigned TimeoutMs) {
  std::vector<HWND> Windows;
  for (HWND Window = GetTopWindow(nullptr); Window; Window = GetWindow(Window, GW_HWNDNEXT)) {
    DWORD Owner = 0;
    GetWindowThreadProcessId(Window, &Owner);
    if (Owner == FProgram.ProcessId()) Windows.push_back(Window);
  }
  // A window the program has destroyed meanwhile (it may end of its own
  // accord once told) has nothing left to answer.
  bool Answered = !Windows.empty();
  auto Send = [&](HWND Window, UINT Message, WPARAM WParam) {
    DWORD_PTR Result = 0;
    if (!SendMessageTimeoutA(Window, Message, WParam, 0, SMTO_NORMAL, TimeoutMs, &Result) && IsWindow(Window))
      Answered = false;
  };
  for (HWND Window : Windows) Send(Window, WM_QUERYENDSESSION, 0);
  const double Start = NowMs();
  for (HWND Window : Windows) Send(Window, WM_ENDSESSION, TRUE);
  const double Took = NowMs() - Start;
  FProgram.Kill();
  if (!Answered) return std::nullopt;
  return Took;
}

bool RealExe::Running() const { return !FProgram.WaitForExit(0); }

std::string RealExe::Marker() const {
  const std::string& Folder = FDir.Path();  // ends in a backslash
  const std::size_t Start = Folder.find_last_of('\\', Folder.size() - 2) + 1;
  return Folder.substr(Start, Folder.size() - 1 - Start);
}

long long RealExe::LogLines(HWND Window) const {
  return static_cast<long long>(vtest::TempDir::Lines(vtest::ChildText(Window, "TMemo")).size());
}

}  // namespace bench
