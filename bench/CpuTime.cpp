#include "bench/CpuTime.h"

#include "bench/Resources.h"
#include "bench/Unique.h"

#include <fstream>
#include <sstream>

namespace bench {

namespace {

constexpr double LinuxTicksPerSecond = 100;  // USER_HZ, the same on every Linux

std::string ReadWhole(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

bool AllDigits(const char* Name) {
  if (!*Name) return false;
  for (; *Name; ++Name)
    if (*Name < '0' || *Name > '9') return false;
  return true;
}

double FileTimeMs(const FILETIME& Time) {
  ULARGE_INTEGER Value;
  Value.LowPart = Time.dwLowDateTime;
  Value.HighPart = Time.dwHighDateTime;
  return static_cast<double>(Value.QuadPart) / 10000.0;
}

struct Stat {
  std::string Name;  // the command name, without its parentheses
  double CpuMs;
};

std::optional<Stat> ReadStat(const std::string& ProcFolder) {
  const std::string Text = ReadWhole(ProcFolder + "stat");
  // The name in parentheses may hold blanks; the fields after it do not.
  const std::size_t NameStart = Text.find('(');
  const std::size_t NameEnd = Text.rfind(')');
  if (NameStart == std::string::npos || NameEnd == std::string::npos || NameEnd < NameStart) return std::nullopt;
  std::istringstream Fields(Text.substr(NameEnd + 1));
  // Fields 3 to 13 (state to cmajflt), then utime and stime.
  std::string Skipped;
  for (int Field = 3; Field <= 13; ++Field) Fields >> Skipped;
  unsigned long long User = 0, System = 0;
  if (!(Fields >> User >> System)) return std::nullopt;
  return Stat{Text.substr(NameStart + 1, NameEnd - NameStart - 1),
              static_cast<double>(User + System) * 1000.0 / LinuxTicksPerSecond};
}

}  // namespace

std::optional<std::string> FindUnixProcess(const std::string& Marker) {
  const std::string Proc = "Z:\\proc\\";
  WIN32_FIND_DATAA Found;
  UniqueFind Find(FindFirstFileA((Proc + "*").c_str(), &Found));
  if (!Find) return std::nullopt;
  do {
    if (!AllDigits(Found.cFileName)) continue;
    const std::string Folder = Proc + Found.cFileName + "\\";
    // The arguments are NUL-separated; the marker lies within one of them.
    std::string CommandLine = ReadWhole(Folder + "cmdline");
    for (char& C : CommandLine)
      if (C == '\0') C = ' ';
    if (CommandLine.find(Marker) != std::string::npos) return Folder;
  } while (FindNextFileA(Find.Get(), &Found));
  return std::nullopt;
}

std::optional<double> UnixCpuMs(const std::string& ProcFolder) {
  const std::optional<Stat> S = ReadStat(ProcFolder);
  return S ? std::optional<double>(S->CpuMs) : std::nullopt;
}

std::optional<double> WineserverCpuMs() {
  const std::optional<Stat> S = ReadStat("Z:\\proc\\self\\");
  if (!S || S->Name.rfind("wineserver", 0) != 0) return std::nullopt;
  return S->CpuMs;
}

std::optional<double> ProcessTimesMs(HANDLE Process) {
  FILETIME Created, Exited, Kernel, User;
  if (!GetProcessTimes(Process, &Created, &Exited, &Kernel, &User)) return std::nullopt;
  return FileTimeMs(Kernel) + FileTimeMs(User);
}

std::optional<double> LiveThreadsCpuMs(DWORD Pid) {
  double Total = 0;
  const bool Listed = ForEachThread(Pid, [&](DWORD ThreadId) {
    UniqueHandle Thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, ThreadId));
    FILETIME Created, Exited, Kernel, User;
    if (Thread && GetThreadTimes(Thread.Get(), &Created, &Exited, &Kernel, &User))
      Total += FileTimeMs(Kernel) + FileTimeMs(User);
  });
  return Listed ? std::optional<double>(Total) : std::nullopt;
}

}  // namespace bench
