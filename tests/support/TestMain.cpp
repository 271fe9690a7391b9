// Test programs start the toolkit as the program does, so components find
// their application object, then run the cases.
//
// A case passes on its own result and on a clean end of its process: a crash
// in the clean-up, in a destroy handler or in a static destructor comes after
// GoogleTest's summary, and CTest, once it looks for that summary, no longer
// looks at the exit code. So the program runs its cases in a second process
// of itself, waits for its end and prints its exit code last; a case passes
// only on the summary followed by "[  EXITED  ] with code 0" (see
// tests/CMakeLists.txt). Under Wine, CTest's launcher (cmake/wine-run) waits
// for the process and prints its exit code instead, and says so by setting
// VINTREL_CASE_PROCESS: a second process costs a second a case there.

#include "toolkit/Application.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr wchar_t CaseProcess[] = L"VINTREL_CASE_PROCESS";

// Owns a handle that CloseHandle closes.
class Handle {
 public:
  explicit Handle(HANDLE H = nullptr) : FHandle(H) {}
  ~Handle() {
    if (FHandle) CloseHandle(FHandle);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return FHandle; }

 private:
  HANDLE FHandle;
};

// Runs this program again with the same command line and the same standard
// handles, and returns its exit code. The second process is in a job that
// ends it (and the programs it started) when this one ends, so a case that
// CTest ends for its time leaves nothing running.
int RunInSecondProcess() {
  wchar_t Path[MAX_PATH * 2];
  const DWORD Length = GetModuleFileNameW(nullptr, Path, MAX_PATH * 2);
  if (Length == 0 || Length == MAX_PATH * 2) return 125;
  Handle Job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION Limits = {};
  Limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  const bool Kept =
      Job.Get() && SetInformationJobObject(Job.Get(), JobObjectExtendedLimitInformation, &Limits, sizeof Limits);
  if (!SetEnvironmentVariableW(CaseProcess, L"1")) return 125;
  std::wstring CommandLine = GetCommandLineW();
  // The standard handles reach the second process only when inherited; its
  // output then goes straight to whoever reads this one's.
  STARTUPINFOW Startup = {};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  Startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  Startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE Std : {Startup.hStdInput, Startup.hStdOutput, Startup.hStdError})
    if (Std && Std != INVALID_HANDLE_VALUE) SetHandleInformation(Std, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  PROCESS_INFORMATION Info = {};
  if (!CreateProcessW(Path, CommandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &Startup,
                      &Info))
    return 125;
  Handle Process(Info.hProcess), Thread(Info.hThread);
  // Without the job (a system that refuses nested jobs) the case still runs.
  if (Kept) AssignProcessToJobObject(Job.Get(), Process.Get());
  ResumeThread(Thread.Get());
  DWORD Code = 125;
  if (WaitForSingleObject(Process.Get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(Process.Get(), &Code))
    Code = 125;
  std::fflush(stdout);
  std::printf("[  EXITED  ] with code %lu\n", static_cast<unsigned long>(Code));
  std::fflush(stdout);
  return static_cast<int>(Code);
}

bool Listing(int argc, char** argv) {
  for (int I = 1; I < argc; ++I)
    if (std::strcmp(argv[I], "--gtest_list_tests") == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (!Listing(argc, argv) && GetEnvironmentVariableW(CaseProcess, nullptr, 0) == 0) return RunInSecondProcess();
  testing::InitGoogleTest(&argc, argv);
  ToolkitStartup();
  int Result = RUN_ALL_TESTS();
  ToolkitCleanup();
  return Result;
}
