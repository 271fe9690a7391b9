#include "bench/Resources.h"

#include "bench/Unique.h"

#include <psapi.h>
#include <winternl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

namespace bench {

namespace {

constexpr ULONG SystemHandleInformation = 16;
constexpr ULONG SystemExtendedHandleInformation = 64;
constexpr LONG StatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct HandleEntry {
  USHORT ProcessId;  // cut to 16 bits: only for systems without the extended list
  USHORT CreatorBackTraceIndex;
  UCHAR ObjectType;
  UCHAR Attributes;
  USHORT Handle;
  PVOID Object;
  ULONG GrantedAccess;
};
struct HandleList {
  ULONG Count;
  HandleEntry Handles[1];
};

struct HandleEntryEx {
  PVOID Object;
  ULONG_PTR ProcessId;
  ULONG_PTR Handle;
  ULONG GrantedAccess;
  USHORT CreatorBackTraceIndex;
  USHORT ObjectType;
  ULONG Attributes;
  ULONG Reserved;
};
struct HandleListEx {
  ULONG_PTR Count;
  ULONG_PTR Reserved;
  HandleEntryEx Handles[1];
};

// One entry of the GDI handle table, as both Windows and Wine lay it out.
struct GdiEntry {
  ULONGLONG Object;
  USHORT ProcessId;
  USHORT Count;
  USHORT Unique;
  UCHAR Type;  // 0: free
  UCHAR Flags;
  ULONGLONG UserPointer;
};
static_assert(sizeof(GdiEntry) == 24, "the 64-bit table's entry");
constexpr std::size_t GdiTableEntries = 0x10000;
#ifdef _WIN64
constexpr std::size_t PebGdiTableOffset = 0xF8;
#else
constexpr std::size_t PebGdiTableOffset = 0x94;
#endif

using QuerySystemInformation = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

// The whole list of one information class; empty when the class is not there.
std::vector<char> QuerySystem(ULONG InformationClass) {
  static const auto Query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!Query) return {};
  std::vector<char> Buffer(256 * 1024);
  for (int Attempt = 0; Attempt < 8; ++Attempt) {
    ULONG Needed = 0;
    const LONG Status = Query(InformationClass, Buffer.data(), static_cast<ULONG>(Buffer.size()), &Needed);
    if (Status == 0) return Buffer;
    if (Status != StatusInfoLengthMismatch) return {};
    // The list can grow between two calls: ask for more than it needed.
    Buffer.resize(std::max<std::size_t>(Buffer.size() * 2, Needed + 64 * 1024));
  }
  return {};
}

using QueryInformationProcess = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

// A pointer field of this process's PEB; nullptr when the PEB cannot be found.
void* PebField(std::size_t Offset) {
  static const auto Query = reinterpret_cast<QueryInformationProcess>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION Basic{};
  if (!Query || Query(GetCurrentProcess(), ProcessBasicInformation, &Basic, sizeof Basic, nullptr) != 0 ||
      !Basic.PebBaseAddress)
    return nullptr;
  return *reinterpret_cast<void**>(reinterpret_cast<char*>(Basic.PebBaseAddress) + Offset);
}

// How many entries of the table can be read: the table may be committed only
// in part.
std::size_t ReadableEntries(const void* Table) {
  MEMORY_BASIC_INFORMATION Region{};
  if (!VirtualQuery(Table, &Region, sizeof Region) || Region.State != MEM_COMMIT) return 0;
  const auto Readable = static_cast<std::size_t>(static_cast<const char*>(Region.BaseAddress) + Region.RegionSize -
                                                 static_cast<const char*>(Table));
  return std::min(GdiTableEntries, Readable / sizeof(GdiEntry));
}

struct WindowTally {
  DWORD Pid;
  long long Count;
};

bool OwnedBy(HWND Window, DWORD Pid) {
  DWORD Owner = 0;
  GetWindowThreadProcessId(Window, &Owner);
  return Owner == Pid;
}

BOOL CALLBACK CountDescendant(HWND Window, LPARAM Parameter) {
  auto* Tally = reinterpret_cast<WindowTally*>(Parameter);
  if (OwnedBy(Window, Tally->Pid)) ++Tally->Count;
  return TRUE;
}

// The window and every window below it (EnumChildWindows walks all levels).
void CountTree(HWND Window, WindowTally& Tally) {
  if (!OwnedBy(Window, Tally.Pid)) return;
  ++Tally.Count;
  EnumChildWindows(Window, CountDescendant, reinterpret_cast<LPARAM>(&Tally));
}

BOOL CALLBACK CountTopLevel(HWND Window, LPARAM Parameter) {
  CountTree(Window, *reinterpret_cast<WindowTally*>(Parameter));
  return TRUE;
}

}  // namespace

long long HandleCount(DWORD Pid) {
  std::vector<char> Buffer = QuerySystem(SystemExtendedHandleInformation);
  long long Count = 0;
  if (!Buffer.empty()) {
    const auto* List = reinterpret_cast<const HandleListEx*>(Buffer.data());
    for (ULONG_PTR I = 0; I < List->Count; ++I)
      if (List->Handles[I].ProcessId == Pid) ++Count;
    return Count;
  }
  Buffer = QuerySystem(SystemHandleInformation);
  if (Buffer.empty()) return -1;
  const auto* List = reinterpret_cast<const HandleList*>(Buffer.data());
  for (ULONG I = 0; I < List->Count; ++I)
    if (List->Handles[I].ProcessId == static_cast<USHORT>(Pid)) ++Count;
  return Count;
}

long long GdiObjectCount() {
  const auto* Table = static_cast<const GdiEntry*>(PebField(PebGdiTableOffset));
  if (!Table) return -1;
  const std::size_t Entries = ReadableEntries(Table);
  if (Entries == 0) return -1;
  const auto Pid = static_cast<USHORT>(GetCurrentProcessId());
  long long Count = 0;
  for (std::size_t I = 0; I < Entries; ++I)
    if (Table[I].Type != 0 && (Table[I].ProcessId == 0 || Table[I].ProcessId == Pid)) ++Count;
  return Count;
}

GdiTally GdiObjectsOf(HANDLE Process, DWORD Pid) {
  static const auto Query = reinterpret_cast<QueryInformationProcess>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  GdiTally Tally;
  PROCESS_BASIC_INFORMATION Basic{};
  void* Table = nullptr;
  if (!Query || Query(Process, ProcessBasicInformation, &Basic, sizeof Basic, nullptr) != 0 || !Basic.PebBaseAddress ||
      !ReadProcessMemory(Process, static_cast<char*>(static_cast<void*>(Basic.PebBaseAddress)) + PebGdiTableOffset,
                         &Table, sizeof Table, nullptr) ||
      !Table)
    return Tally;
  // Only the committed part of the table can be read.
  MEMORY_BASIC_INFORMATION Region{};
  if (!VirtualQueryEx(Process, Table, &Region, sizeof Region) || Region.State != MEM_COMMIT) return Tally;
  const auto Readable = static_cast<std::size_t>(static_cast<const char*>(Region.BaseAddress) + Region.RegionSize -
                                                 static_cast<const char*>(Table));
  std::vector<GdiEntry> Entries(std::min(GdiTableEntries, Readable / sizeof(GdiEntry)));
  SIZE_T Read = 0;
  if (!ReadProcessMemory(Process, Table, Entries.data(), Entries.size() * sizeof(GdiEntry), &Read)) return Tally;
  Tally.Total = 0;
  for (std::size_t I = 0; I < Read / sizeof(GdiEntry); ++I) {
    const GdiEntry& E = Entries[I];
    if (E.Type == 0 || (E.ProcessId != 0 && E.ProcessId != static_cast<USHORT>(Pid))) continue;
    // Stock objects (the 0x80 bit of the handle's upper word) are the
    // system's, in every process alike.
    if (E.Unique & 0x80) continue;
    ++Tally.Total;
    // The kind is the type's low five bits, as both systems number them.
    switch (E.Type & 0x1F) {
      case 0x01:
        ++Tally.DCs;
        break;
      case 0x04:
        ++Tally.Regions;
        break;
      // Windows' bitmaps are of type 5; Wine's of type 9, and its type 5
      // goes with each DC.
      case 0x05:
        ++Tally.Surfaces;
        break;
      case 0x09:
        ++Tally.Bitmaps;
        break;
      case 0x0A:
        ++Tally.Fonts;
        break;
      case 0x10:
        (E.Type & 0x60 ? Tally.Other : Tally.Brushes)++;
        break;  // pens have 0x30, 0x50
      default:
        ++Tally.Other;
        break;
    }
  }
  return Tally;
}

long long WindowCount(DWORD Pid) {
  WindowTally Tally{Pid, 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&Tally));
  // Message-only windows are not top-level windows: EnumWindows skips them.
  for (HWND Window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); Window;
       Window = FindWindowExA(HWND_MESSAGE, Window, nullptr, nullptr))
    CountTree(Window, Tally);
  return Tally.Count;
}

bool ForEachThread(DWORD Pid, const std::function<void(DWORD ThreadId)>& Visit) {
  UniqueHandle Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!Snapshot) return false;
  THREADENTRY32 Entry{};
  Entry.dwSize = sizeof Entry;
  for (BOOL More = Thread32First(Snapshot.Get(), &Entry); More; More = Thread32Next(Snapshot.Get(), &Entry))
    if (Entry.th32OwnerProcessID == Pid) Visit(Entry.th32ThreadID);
  return true;
}

long long ThreadCount(DWORD Pid) {
  long long Count = 0;
  return ForEachThread(Pid, [&](DWORD) { ++Count; }) ? Count : -1;
}

long long PrivateBytes(HANDLE Process) {
  PROCESS_MEMORY_COUNTERS Counters{};
  Counters.cb = sizeof Counters;
  if (!GetProcessMemoryInfo(Process, &Counters, sizeof Counters)) return -1;
  return static_cast<long long>(Counters.PagefileUsage);
}

}  // namespace bench
