#pragma once
// The CPU time another process has used. Under Wine, GetProcessTimes on
// another process's handle returns the caller's own times, so there the
// Linux process is read instead, through Wine's Z: drive: the utime and
// stime of /proc/<pid>/stat, which also hold the threads that have ended.

#include <windows.h>

#include <optional>
#include <string>

namespace bench {

// The /proc folder ("Z:\proc\<pid>\") of the one Linux process whose command
// line holds Marker; nullopt where there is no /proc (Windows) or no such process.
std::optional<std::string> FindUnixProcess(const std::string& Marker);

// User plus system time of a /proc folder's process, in milliseconds (in
// steps of 10 ms: Linux counts in clock ticks of 100 per second).
std::optional<double> UnixCpuMs(const std::string& ProcFolder);

// The same for the Wine server of this prefix, which does work for every
// Wine process: it opens files for them, so the /proc/self it opens is its own.
std::optional<double> WineserverCpuMs();

// User plus kernel time from GetProcessTimes, in milliseconds.
std::optional<double> ProcessTimesMs(HANDLE Process);

// User plus kernel time of the threads process Pid has now (GetThreadTimes,
// which Wine answers for other processes' threads too); the threads that
// have ended are missing.
std::optional<double> LiveThreadsCpuMs(DWORD Pid);

}  // namespace bench
