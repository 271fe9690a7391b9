#pragma once
// Counters of a process's resources, each read in a way that also works
// under Wine, where GetProcessHandleCount, GetGuiResources and
// PROCESS_MEMORY_COUNTERS_EX::PrivateUsage all read 0. Each returns -1 when
// its source cannot be read at all. MeasureCheck tells whether a counter
// really moves.

#include <windows.h>

#include <functional>

namespace bench {

// Entries of process Pid in the system handle list
// (NtQuerySystemInformation, extended list, else the classic one).
long long HandleCount(DWORD Pid);

// Live entries of this process's GDI handle table (the PEB's
// GdiSharedHandleTable). Wine keeps one table per process and leaves the
// owner field 0; Windows shares it and fills the owner, so both are counted.
long long GdiObjectCount();

// Live GDI objects of another process, by kind: its PEB's handle table
// read with ReadProcessMemory (Process needs PROCESS_QUERY_INFORMATION and
// PROCESS_VM_READ), without the stock objects every process has. Total is
// -1 when the table cannot be read.
struct GdiTally {
  long long Total = -1;
  long long Fonts = 0, Bitmaps = 0, Surfaces = 0, DCs = 0, Regions = 0, Brushes = 0, Other = 0;
};
GdiTally GdiObjectsOf(HANDLE Process, DWORD Pid);

// Windows of process Pid: top-level, message-only, and all their descendants.
long long WindowCount(DWORD Pid);

// Threads of process Pid, from a Toolhelp snapshot.
long long ThreadCount(DWORD Pid);

// Calls Visit with the id of each thread of process Pid (Toolhelp
// snapshot); false when no snapshot could be taken.
bool ForEachThread(DWORD Pid, const std::function<void(DWORD ThreadId)>& Visit);

// PROCESS_MEMORY_COUNTERS::PagefileUsage: committed private memory on
// Windows; resident anonymous memory plus swap under Wine.
long long PrivateBytes(HANDLE Process);

}  // namespace bench
