// The settings file "Vintrel.ini" and the log file "Vintrel.log", both in the
// executable's folder. The settings are read once at start into the window's
// controls and written once from them at the end of a run. The log's newest
// lines are read at start; each line the run keeps goes to the file as it is
// logged (the log file itself: monitor/LogFile).

#include "monitor/LogFile.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"
#include "ui/VintrelU.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

constexpr const wchar_t* SettingsFileName = L"Vintrel.ini";
constexpr const wchar_t* LogFileName = L"Vintrel.log";

// ---- settings ----

// The settings are 8-bit text in the system code page, as the profile
// functions write it; only the path goes through their UTF-16 forms, which
// take any folder name. They turn the file's text to UTF-16 and back with the
// code page, as their 8-bit forms do inside.

// A text value, whole whatever its length: the buffer grows until the value
// fits (a value cut to the buffer comes back one character short of it).
std::string ReadString(const std::wstring& Path, const char* Section, const char* Key, const std::string& Default) {
  const std::wstring WideSection = WideText(Section), WideKey = WideText(Key), WideDefault = WideText(Default);
  std::wstring Buffer(2048, L'\0');
  for (;;) {
    DWORD Length = GetPrivateProfileStringW(WideSection.c_str(), WideKey.c_str(), WideDefault.c_str(), Buffer.data(),
                                            static_cast<DWORD>(Buffer.size()), Path.c_str());
    if (Length + 1 < Buffer.size()) {
      Buffer.resize(Length);
      return AnsiText(Buffer);
    }
    Buffer.resize(Buffer.size() * 2);
  }
}

// A value that is no integer text gives the default.
std::int32_t ReadInteger(const std::wstring& Path, const char* Section, const char* Key, std::int32_t Default) {
  return StrToIntDef(ReadString(Path, Section, Key, std::string()), Default);
}

bool ReadBool(const std::wstring& Path, const char* Section, const char* Key, bool Default) {
  return ReadInteger(Path, Section, Key, Default ? 1 : 0) != 0;
}

// The longest line the profile functions write faithfully. Wine's cuts a
// longer one to a few characters and still reports success.
constexpr size_t MaxProfileLine = 32767;

EIniFileException WriteError(const std::wstring& Path) {
  return EIniFileException(Format("Unable to write to %s", {AnsiText(Path)}));
}

// Each write reaches the file at once; a new section goes to the end of the
// file, a new key to the end of its section. A value too long for one line is
// not written at all, so the file keeps the value it held.
void WriteString(const std::wstring& Path, const char* Section, const char* Key, const std::string& Value) {
  if (std::strlen(Key) + 1 + Value.size() > MaxProfileLine ||
      !WritePrivateProfileStringW(WideText(Section).c_str(), WideText(Key).c_str(), WideText(Value).c_str(),
                                  Path.c_str()))
    throw WriteError(Path);
}

// A text that is no number is not written: the key keeps the value the file
// holds, its error joins Errors, and the keys after it still go in, so a typo
// in one field costs nothing else the user set during the run.
void WriteInteger(const std::wstring& Path, const char* Section, const char* Key, const std::string& Text,
                  std::vector<std::exception_ptr>& Errors) {
  std::int32_t Value = 0;
  try {
    Value = StrToInt(Text);
  } catch (const EConvertError&) {
    Errors.push_back(std::current_exception());
    return;
  }
  WriteString(Path, Section, Key, std::to_string(Value));
}

void WriteBool(const std::wstring& Path, const char* Section, const char* Key, bool Value) {
  WriteString(Path, Section, Key, Value ? "1" : "0");
}

// ---- log ----

std::wstring LogPath() { return ExeDirectory() + LogFileName; }

}  // namespace

void TVintrelF::KeepLogLine(const std::string& Line) {
  FLogUnkept += Line;
  FLogUnkept += "\r\n";
  if (cbSaveLog->Checked()) KeepUnkeptLines();
}

bool TVintrelF::KeepUnkeptLines() {
  FLogUnkept.erase(0, AppendLogLines(LogPath(), FLogUnkept));
  return FLogUnkept.empty();
}

void TVintrelF::cbSaveLogClick(TObject*) {
  // Ticked during a run: the run's lines so far go to the log now.
  if (cbSaveLog->Checked()) KeepUnkeptLines();
}

void TVintrelF::LoadSettings() {
  const std::wstring Path = ExeDirectory() + SettingsFileName;
  // A settings file that is there but cannot be read (another program holds
  // it open and shares no reading) reads as the defaults, and the profile
  // functions do not say so. Written back at the end, those defaults would
  // replace what the user set: such a file is not written. It is looked at
  // before and after the reads, so a file taken in between counts too.
  FSettingsUnread = UnreadableFile(Path);
  editURL->SetText(ReadString(Path, "config", "url", ProductURL));
  // An interval the timer cannot count reads as the default, as letters do.
  editInterval->SetText(std::to_string(CountableInterval(ReadInteger(Path, "config", "interval", DefaultInterval))));
  editTimeOut->SetText(std::to_string(ReadInteger(Path, "config", "timeout", 20)));
  cbSndConnect->SetChecked(ReadBool(Path, "sound", "connect.sound", true));
  editSndConnect->SetText(ReadString(Path, "sound", "connect.wav", "connect.wav"));
  cbSndDisconnect->SetChecked(ReadBool(Path, "sound", "disconnect.sound", true));
  editSndDisconnect->SetText(ReadString(Path, "sound", "disconnect.wav", "disconnect.wav"));
  cbSaveLog->SetChecked(ReadBool(Path, "log", "store.log", false));
  FSettingsUnread = FSettingsUnread || UnreadableFile(Path);
  // Said now, not only when the end cannot write the file: the run goes on
  // (monitoring starts), and the box waits for the event loop.
  if (FSettingsUnread)
    Application->QueueException(std::make_exception_ptr(
        EIniFileException(Format("Unable to read %s: the default settings are in use", {AnsiText(Path)}))));

  // A log not kept is not read at all; keeping ticked during the run puts
  // this run's lines after it.
  if (cbSaveLog->Checked()) {
    // An edit control fed a log of years takes many seconds and many times
    // its size, and so would reading it: the view gets the newest lines, read
    // from the end of the file, and the older ones stay on disk.
    memoLog->SetText(ReadLogTail(LogPath(), LogViewLines));
  } else {
    memoLog->Clear();
  }
}

void TVintrelF::SaveSettings() {
  const std::wstring Path = ExeDirectory() + SettingsFileName;
  auto WriteLog = [this] {
    // The kept lines are in the file already. Lines that could not be
    // appended (the log was held without write sharing, or its folder was
    // gone) are tried once more, then put after the log in a new file that
    // takes its place: the log as it is at the end, edited by hand or not.
    if (KeepUnkeptLines()) return;
    WriteLogFile(LogPath(), FLogUnkept);
    FLogUnkept.clear();
  };
  // The settings' errors in the order they happened, each shown once: the
  // last ends the handler, the ones before it are shown on the way.
  std::vector<std::exception_ptr> Errors;
  try {
    if (FSettingsUnread) throw WriteError(Path);
    WriteString(Path, "config", "url", editURL->Text());
    WriteInteger(Path, "config", "interval", editInterval->Text(), Errors);
    WriteInteger(Path, "config", "timeout", editTimeOut->Text(), Errors);
    WriteBool(Path, "sound", "connect.sound", cbSndConnect->Checked());
    WriteString(Path, "sound", "connect.wav", editSndConnect->Text());
    WriteBool(Path, "sound", "disconnect.sound", cbSndDisconnect->Checked());
    WriteString(Path, "sound", "disconnect.wav", editSndDisconnect->Text());
    WriteBool(Path, "log", "store.log", cbSaveLog->Checked());
  } catch (...) {
    // A key that cannot be written stops the keys after it.
    Errors.push_back(std::current_exception());
  }
  // A settings file that cannot be written must not cost the run's log: it
  // is written all the same, and its own error is shown ahead of theirs.
  if (cbSaveLog->Checked()) {
    try {
      WriteLog();
    } catch (...) {
      if (Errors.empty()) throw;
      Application->HandleException(std::current_exception());
    }
  }
  if (Errors.empty()) return;
  for (size_t I = 0; I + 1 < Errors.size(); ++I) Application->HandleException(Errors[I]);
  std::rethrow_exception(Errors.back());
}
