// The settings file "Vintrel.ini" and the log file "Vintrel.log", both in the
// executable's folder: read once at start, written once at the end of a run.

#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"
#include "ui/VintrelU.h"

namespace {

constexpr const char* SettingsFileName = "Vintrel.ini";

// A text value: at most 2047 characters are taken.
std::string ReadString(const std::string& Path, const char* Section, const char* Key, const std::string& Default) {
  char Buffer[2048];
  DWORD Length = GetPrivateProfileStringA(Section, Key, Default.c_str(), Buffer, sizeof Buffer, Path.c_str());
  return std::string(Buffer, Length);
}

std::int32_t ReadInteger(const std::string& Path, const char* Section, const char* Key, std::int32_t Default) {
  return StrToIntDef(ReadString(Path, Section, Key, std::string()), Default);
}

bool ReadBool(const std::string& Path, const char* Section, const char* Key, bool Default) {
  return ReadInteger(Path, Section, Key, Default ? 1 : 0) != 0;
}

}  // namespace

void TVintrelF::LoadSettings() {
  const std::string Path = ExeDirectory() + SettingsFileName;
  editURL->SetText(ReadString(Path, "config", "url", ProductURL));
  editInterval->SetText(std::to_string(ReadInteger(Path, "config", "interval", 120)));
  editTimeOut->SetText(std::to_string(ReadInteger(Path, "config", "timeout", 20)));
  cbSndConnect->SetChecked(ReadBool(Path, "sound", "connect.sound", true));
  editSndConnect->SetText(ReadString(Path, "sound", "connect.wav", "connect.wav"));
  cbSndDisconnect->SetChecked(ReadBool(Path, "sound", "disconnect.sound", true));
  editSndDisconnect->SetText(ReadString(Path, "sound", "disconnect.wav", "disconnect.wav"));
  cbSaveLog->SetChecked(ReadBool(Path, "log", "store.log", false));
  memoLog->Clear();
}

void TVintrelF::SaveSettings() {}
