#pragma once
// Swapping entries of the platform seam for one test, and recording calls.

#include "toolkit/Platform.h"

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

}  // namespace vtest
