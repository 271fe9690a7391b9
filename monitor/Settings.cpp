// The settings file "Vintrel.ini" and the log file "Vintrel.log", both in the
// executable's folder. The settings are read once at start into the window's
// controls and written once from them at the end of a run. The log's newest
// lines are read at start; each line the run keeps goes to the file as it is
// logged (the log file itself: monitor/LogFile).

#include "monitor/LogFile.h"
#include "toolkit/Exceptions.h"
#include "toolkit/IniFiles.h"
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

// The settings file in the encoding it came in (toolkit/IniFiles): the window
// shows its text in the code page, and a text value the user did not change
// goes back as the file held it.

// A value that is no integer text gives the default.
std::int32_t ReadInteger(const TIniFile& Ini, const char* Section, const char* Key, std::int32_t Default) {
  return StrToIntDef(AnsiText(Ini.ReadString(WideText(Section), WideText(Key), std::wstring())), Default);
}

bool ReadBool(const TIniFile& Ini, const char* Section, const char* Key, bool Default) {
  return ReadInteger(Ini, Section, Key, Default ? 1 : 0) != 0;
}

// The longest line the profile functions read and write faithfully (Wine's
// cut a longer one to a few characters and still report success): a longer
// one would not survive the next program that reads the file through them.
constexpr size_t MaxProfileLine = 32767;

EIniFileException WriteError(const std::wstring& Path) {
  return EIniFileException(Format("Unable to write to %s", {AnsiText(Path)}));
}

// Each write reaches the file at once; a new section goes to the end of the
// file, a new key to the end of its section. A value too long for one line is
// not written at all, so the file keeps the value it held.
void WriteWide(TIniFile& Ini, const std::wstring& Path, const char* Section, const char* Key,
               const std::wstring& Value) {
  if (std::strlen(Key) + 1 + Value.size() > MaxProfileLine || !Ini.WriteString(WideText(Section), WideText(Key), Value))
    throw WriteError(Path);
}

void WriteString(TIniFile& Ini, const std::wstring& Path, const char* Section, const char* Key,
                 const std::string& Value) {
  WriteWide(Ini, Path, Section, Key, WideText(Value));
}

// A text that is no number is not written: the key keeps the value the file
// holds, its error joins Errors, and the keys after it still go in, so a typo
// in one field costs nothing else the user set during the run.
void WriteInteger(TIniFile& Ini, const std::wstring& Path, const char* Section, const char* Key,
                  const std::string& Text, std::vector<std::exception_ptr>& Errors) {
  std::int32_t Value = 0;
  try {
    Value = StrToInt(Text);
  } catch (const EConvertError&) {
    Errors.push_back(std::current_exception());
    return;
  }
  WriteString(Ini, Path, Section, Key, std::to_string(Value));
}

void WriteBool(TIniFile& Ini, const std::wstring& Path, const char* Section, const char* Key, bool Value) {
  WriteString(Ini, Path, Section, Key, Value ? "1" : "0");
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
  // it open and shares no reading) reads as the defaults. Written back at the
  // end, those defaults would
  // replace what the user set: such a file is not written. It is looked at
  // before and after the reads, so a file taken in between counts too.
  FSettingsUnread = UnreadableFile(Path);
  const TIniFile Ini(Path);
  FSettingsTexts.clear();
  // A text value as the file holds it, kept for the end of the run.
  auto ReadText = [&](const char* Section, const char* Key, const std::string& Default) {
    std::wstring Value = Ini.ReadString(WideText(Section), WideText(Key), WideText(Default));
    std::string Shown = AnsiText(Value);
    FSettingsTexts.emplace_back(Key, std::move(Value));
    return Shown;
  };
  editURL->SetText(ReadText("config", "url", ProductURL));
  // An interval the timer cannot count reads as the default, as letters do.
  editInterval->SetText(std::to_string(CountableInterval(ReadInteger(Ini, "config", "interval", DefaultInterval))));
  editTimeOut->SetText(std::to_string(ReadInteger(Ini, "config", "timeout", 20)));
  cbSndConnect->SetChecked(ReadBool(Ini, "sound", "connect.sound", true));
  editSndConnect->SetText(ReadText("sound", "connect.wav", "connect.wav"));
  cbSndDisconnect->SetChecked(ReadBool(Ini, "sound", "disconnect.sound", true));
  editSndDisconnect->SetText(ReadText("sound", "disconnect.wav", "disconnect.wav"));
  cbSaveLog->SetChecked(ReadBool(Ini, "log", "store.log", false));
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
    TIniFile Ini(Path);
    // A field that still shows what the file held writes back what it held.
    auto WriteText = [&](const char* Section, const char* Key, const std::string& Shown) {
      auto Read = std::find_if(FSettingsTexts.begin(), FSettingsTexts.end(),
                               [Key](const auto& Text) { return Text.first == Key; });
      if (Read != FSettingsTexts.end() && AnsiText(Read->second) == Shown)
        WriteWide(Ini, Path, Section, Key, Read->second);
      else
        WriteString(Ini, Path, Section, Key, Shown);
    };
    WriteText("config", "url", editURL->Text());
    WriteInteger(Ini, Path, "config", "interval", editInterval->Text(), Errors);
    WriteInteger(Ini, Path, "config", "timeout", editTimeOut->Text(), Errors);
    WriteBool(Ini, Path, "sound", "connect.sound", cbSndConnect->Checked());
    WriteText("sound", "connect.wav", editSndConnect->Text());
    WriteBool(Ini, Path, "sound", "disconnect.sound", cbSndDisconnect->Checked());
    WriteText("sound", "disconnect.wav", editSndDisconnect->Text());
    WriteBool(Ini, Path, "log", "store.log", cbSaveLog->Checked());
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
