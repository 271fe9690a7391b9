#include "bench/ChildProcess.h"

#include <stdexcept>

namespace bench {

namespace {

constexpr unsigned EndBoundMs = 5000;

std::string ThisProgram() {
  char Path[MAX_PATH];
  const DWORD Length = GetModuleFileNameA(nullptr, Path, sizeof Path);
  return std::string(Path, Length);
}

// A pipe whose one end the child inherits; ours stays out of every child.
void MakePipe(UniqueHandle& Read, UniqueHandle& Write, bool ChildReads) {
  SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
  HANDLE R = nullptr, W = nullptr;
  if (!CreatePipe(&R, &W, &Inherit, 0)) throw std::runtime_error("cannot create a pipe");
  Read.Reset(R);
  Write.Reset(W);
  SetHandleInformation(ChildReads ? W : R, HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& Arguments) {
  UniqueHandle ChildInput, ChildOutput;
  MakePipe(ChildInput, FInput, true);
  MakePipe(FOutput, ChildOutput, false);
  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = ChildInput.Get();
  Startup.hStdOutput = ChildOutput.Get();
  Startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  const std::string Program = ThisProgram();
  std::string CommandLine = "\"";
  CommandLine.append(Program).append("\" ").append(Arguments);
  PROCESS_INFORMATION Info{};
  if (!CreateProcessA(Program.c_str(), CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Startup,
                      &Info))
    throw std::runtime_error("cannot start " + CommandLine);
  FProcess.Reset(Info.hProcess);
  UniqueHandle Thread(Info.hThread);
  FPid = Info.dwProcessId;
}

ChildProcess::~ChildProcess() {
  FInput.Reset();
  if (WaitForSingleObject(FProcess.Get(), EndBoundMs) != WAIT_OBJECT_0) {
    TerminateProcess(FProcess.Get(), 1);
    WaitForSingleObject(FProcess.Get(), EndBoundMs);
  }
}

std::optional<std::string> ChildProcess::ReadLine(unsigned TimeoutMs) {
  const ULONGLONG Deadline = GetTickCount64() + TimeoutMs;
  for (;;) {
    const std::size_t End = FPending.find('\n');
    if (End != std::string::npos) {
      std::string Line = FPending.substr(0, End);
      FPending.erase(0, End + 1);
      if (!Line.empty() && Line.back() == '\r') Line.pop_back();
      return Line;
    }
    // Peeked first: a read with nothing there would block past the bound.
    DWORD Available = 0;
    if (!PeekNamedPipe(FOutput.Get(), nullptr, 0, nullptr, &Available, nullptr)) return std::nullopt;
    if (Available == 0) {
      if (GetTickCount64() >= Deadline) return std::nullopt;
      Sleep(20);
      continue;
    }
    char Buffer[256];
    DWORD Read = 0;
    if (!ReadFile(FOutput.Get(), Buffer, sizeof Buffer < Available ? sizeof Buffer : Available, &Read, nullptr))
      return std::nullopt;
    FPending.append(Buffer, Read);
  }
}

void WaitForParentToLetGo() {
  const HANDLE Input = GetStdHandle(STD_INPUT_HANDLE);
  char Byte;
  DWORD Read = 0;
  while (ReadFile(Input, &Byte, 1, &Read, nullptr) && Read > 0) {
  }
}

}  // namespace bench
