#pragma once
// Swapping entries of the platform seam for one test, and recording calls.

#include "toolkit/Platform.h"

#include <atomic>
#include <string>
#include <vector>

namespace vtest {

// Restores the whole platform table when it goes out of scope.
class ScopedPlatform {
 public:
  ScopedPlatform() : FSaved(Platform()) {}
  ~ScopedPlatform() { Platform() = FSaved; }
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  TPlatform FSaved;
};

struct BoxCall {
  std::string Text;
  std::string Caption;
  UINT Type;
};

struct SoundCall {
  std::string File;
  DWORD Flags;
};

struct TrayCall {
  DWORD Message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
  NOTIFYICONDATAA Data;
  std::string Tip() const { return Data.szTip; }
};

// Message boxes and sounds recorded instead of shown or played.
struct Recorder {
  static std::vector<BoxCall>& Boxes() {
    static std::vector<BoxCall> Calls;
    return Calls;
  }
  // The texts of the boxes shown, in order.
  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> Texts;
    for (const BoxCall& Box : Boxes()) Texts.push_back(Box.Text);
    return Texts;
  }
  static std::vector<SoundCall>& Sounds() {
    static std::vector<SoundCall> Calls;
    return Calls;
  }
  static std::vector<TrayCall>& Tray() {
    static std::vector<TrayCall> Calls;
    return Calls;
  }
  static int WINAPI MessageBoxA(HWND, LPCSTR Text, LPCSTR Caption, UINT Type) {
    Boxes().push_back({Text ? Text : "", Caption ? Caption : "", Type});
    return IDOK;
  }
  static BOOL WINAPI PlaySoundA(LPCSTR File, HMODULE, DWORD Flags) {
    Sounds().push_back({File ? File : "", Flags});
    return TRUE;
  }
  // The versions asked for with NIM_SETVERSION, kept apart from the icon's
  // own calls (add, modify, delete), which most checks look at.
  static std::vector<UINT>& TrayVersions() {
    static std::vector<UINT> Versions;
    return Versions;
  }
  static BOOL WINAPI Shell_NotifyIconA(DWORD Message, PNOTIFYICONDATAA Data) {
    if (Message == NIM_SETVERSION)
      TrayVersions().push_back(Data->cbSize == NOTIFYICONDATAA_V2_SIZE ? Data->uVersion : 0);
    else
      Tray().push_back({Message, *Data});
    return TRUE;
  }
  // Swaps the noisy entries of the seam for the recorders.
  static void Install() {
    Boxes().clear();
    Sounds().clear();
    Tray().clear();
    TrayVersions().clear();
    Platform().MessageBoxA = MessageBoxA;
    Platform().PlaySoundA = PlaySoundA;
    Platform().Shell_NotifyIconA = Shell_NotifyIconA;
  }
};

// A disk with Room bytes left: a write that does not fit puts what fits and
// fails with ERROR_DISK_FULL, as a full disk or USB stick does. Swapped in
// for WriteFile; a negative Room is a disk with space to spare.
struct FullDisk {
  static std::atomic<long long>& Room() {
    static std::atomic<long long> Bytes{-1};
    return Bytes;
  }
  // Writes that did not fit.
  static std::atomic<int>& Refused() {
    static std::atomic<int> Count{0};
    return Count;
  }
  static BOOL WINAPI WriteFile(HANDLE File, LPCVOID Data, DWORD Size, LPDWORD Done, LPOVERLAPPED Overlapped) {
    const long long Left = Room().load();
    if (Left < 0 || Size <= Left) {
      if (Left >= 0) Room() -= Size;
      return ::WriteFile(File, Data, Size, Done, Overlapped);
    }
    DWORD Part = 0;
    if (Left > 0) ::WriteFile(File, Data, static_cast<DWORD>(Left), &Part, Overlapped);
    Room() = 0;
    if (Done) *Done = Part;
    ++Refused();
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  static void Install(long long Bytes) {
    Room() = Bytes;
    Refused() = 0;
    Platform().WriteFile = WriteFile;
  }
};

}  // namespace vtest
