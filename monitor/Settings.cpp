// The settings file "Vintrel.ini" and the log file "Vintrel.log", both in the
// executable's folder. The settings are read once at start into the window's
// controls and written once from them at the end of a run, as one new file
// swapped in. The log's newest lines are read at start; each line the run
// keeps is handed to the log's writer thread as it is logged
// (monitor/LogWriter; the log file itself: monitor/LogFile), and the lines
// the log refused at the end of the last run, kept beside it, go in first.

#include "monitor/LogFile.h"
#include "monitor/LogWriter.h"
#include "toolkit/Files.h"
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

constexpr const wchar_t* AsideFileName = L"Vintrel.unkept.log";

// How long the end of a run waits for the log's writer: at Close, and at the
// end of a session, which Windows gives a program without a visible window
// about 5 seconds before it ends it.
constexpr DWORD CloseWaitMs = 5000;
constexpr DWORD SessionEndWaitMs = 2000;

// ---- settings ----

// The settings file in the encoding it came in (toolkit/IniFiles): the window
// shows its text in the code page, and a value the user did not change keeps
// the file's own spelling.

struct TSettingName {
  const char* Section;
  const char* Key;
  bool Integer;
};
// In the order a new file holds them.
constexpr TSettingName SettingNames[TVintrelF::SettingCount] = {
    {"config", "url", false},           {"config", "interval", true},    {"config", "timeout", true},
    {"sound", "connect.sound", false},  {"sound", "connect.wav", false}, {"sound", "disconnect.sound", false},
    {"sound", "disconnect.wav", false}, {"log", "store.log", false},
};

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

// What the window shows for a setting, as the file spells a new value.
std::string ShownSetting(const TVintrelF& Form, size_t Index) {
  auto Bool = [](const TCheckBox* Box) { return std::string(Box->Checked() ? "1" : "0"); };
  switch (Index) {
    case 0:
      return Form.editURL->Text();
    case 1:
      return Form.editInterval->Text();
    case 2:
      return Form.editTimeOut->Text();
    case 3:
      return Bool(Form.cbSndConnect);
    case 4:
      return Form.editSndConnect->Text();
    case 5:
      return Bool(Form.cbSndDisconnect);
    case 6:
      return Form.editSndDisconnect->Text();
    default:
      return Bool(Form.cbSaveLog);
  }
}

// ---- log ----

std::wstring LogPath() { return ExeDirectory() + LogFileName; }
std::wstring AsidePath() { return ExeDirectory() + AsideFileName; }

// What the end of the run could not do with the log's lines, in plain words.
std::string LogEndMessage(const TLogEnd& End) {
  const std::string Log = AnsiText(LogPath()), Aside = AnsiText(AsidePath());
  switch (End.Kind) {
    case TLogEnd::KeptAside:
      return Format(
          "Cannot write to %s: %s. The lines it could not take are kept in %s, and go into the log as soon as "
          "it can be written again",
          {Log, SystemErrorText(End.Error), Aside});
    case TLogEnd::Lost:
      return Format("Cannot write to %s: %s. The lines it could not take could not be kept in %s either: %s",
                    {Log, SystemErrorText(End.Error), Aside, SystemErrorText(End.AsideError)});
    default:
      static_assert(CloseWaitMs == 5000, "the message says how long Close waits");
      return Format(
          "Cannot write to %s: the disk did not answer within 5 seconds, and the lines it had not taken "
          "may be lost",
          {Log});
  }
}

}  // namespace

void TVintrelF::KeepLogLine(const std::string& Line) {
  FLogUnkept += Line;
  FLogUnkept += "\r\n";
  if (cbSaveLog->Checked()) HandOverLines();
}

void TVintrelF::HandOverLines() {
  if (FLogWriter && FLogWriter->Add(FLogUnkept)) FLogUnkept.clear();
}

void TVintrelF::cbSaveLogClick(TObject*) {
  // Ticked during a run: the run's lines so far go to the log now.
  if (cbSaveLog->Checked()) HandOverLines();
}

void TVintrelF::LoadSettings() {
  const std::wstring Path = ExeDirectory() + SettingsFileName;
  // What a crash left beside the files while it replaced one.
  RemoveLeftReplacements(Path);
  RemoveLeftReplacements(LogPath());
  // A settings file that is there but cannot be read (another program holds
  // it open and shares no reading), or is no text, reads as the defaults.
  // Written back at the end, those defaults would replace what the user set:
  // such a file is not written. It is looked at before and after the reads,
  // so a file taken in between counts too.
  FSettingsUnread = UnreadableFile(Path);
  const TIniFile Ini(Path);
  FSettingsUnread = FSettingsUnread || !Ini.Readable();
  // A text value as the file holds it, kept for the end of the run.
  auto ReadText = [&](const char* Section, const char* Key, const std::string& Default) {
    return AnsiText(Ini.ReadString(WideText(Section), WideText(Key), WideText(Default)));
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
  for (size_t I = 0; I < SettingCount; ++I)
    FSettingsRead[I] = {ShownSetting(*this, I),
                        Ini.HasKey(WideText(SettingNames[I].Section), WideText(SettingNames[I].Key))};
  FSettingsUnread = FSettingsUnread || UnreadableFile(Path);
  // Said now, not only when the end cannot write the file: the run goes on
  // (monitoring starts), and the box waits for the event loop.
  if (FSettingsUnread)
    Application->QueueException(std::make_exception_ptr(
        EIniFileException(Format("Unable to read %s: the default settings are in use", {AnsiText(Path)}))));

  // Lines an earlier run could not put in the log go into it first.
  FLogWriter = std::make_unique<TLogWriter>(LogPath(), AsidePath());
  const std::string Aside = ReadAsideLines(AsidePath());
  FLogWriter->JoinAside(Aside);

  // A log not kept is not read at all; keeping ticked during the run puts
  // this run's lines after it.
  if (cbSaveLog->Checked()) {
    // An edit control fed a log of years takes many seconds and many times
    // its size, and so would reading it: the view gets the newest lines, read
    // from the end of the file, and the older ones stay on disk.
    memoLog->SetText(ReadLogTail(LogPath(), LogViewLines));
    for (size_t Start = 0, End; (End = Aside.find("\r\n", Start)) != std::string::npos; Start = End + 2)
      memoLog->AddLine(Aside.substr(Start, End - Start));
  } else {
    memoLog->Clear();
  }
}

void TVintrelF::SaveSettings() {
  const std::wstring Path = ExeDirectory() + SettingsFileName;
  // The settings' errors in the order they happened, each shown once: the
  // last ends the handler, the ones before it are shown on the way.
  std::vector<std::exception_ptr> Errors;
  try {
    if (FSettingsUnread) throw WriteError(Path);
    // Read again: hand edits made during the run stay.
    TIniFile Ini(Path);
    bool TooLong = false;
    for (size_t I = 0; I < SettingCount; ++I) {
      const TSettingName& Name = SettingNames[I];
      const std::wstring Section = WideText(Name.Section), Key = WideText(Name.Key);
      const std::string Shown = ShownSetting(*this, I);
      // A value the user left as it was keeps the file's own spelling
      // (blanks, quotes, "$1E"), characters the code page lacks included.
      if (FSettingsRead[I].InFile && Shown == FSettingsRead[I].Shown && Ini.HasKey(Section, Key)) continue;
      std::string Value = Shown;
      if (Name.Integer) {
        // A text that is no number is not written: the key keeps the value
        // the file holds, and a typo in one field costs nothing else the
        // user set during the run.
        try {
          Value = std::to_string(StrToInt(Shown));
        } catch (const EConvertError&) {
          Errors.push_back(std::current_exception());
          continue;
        }
      }
      // A value too long for one line is not written at all, so the file
      // keeps the value it held.
      if (std::strlen(Name.Key) + 1 + Value.size() > MaxProfileLine) {
        TooLong = true;
        continue;
      }
      Ini.WriteString(Section, Key, WideText(Value));
    }
    // One new file, swapped in whole: a full disk or a kill midway leaves
    // the old one exactly as it was.
    if (!Ini.UpdateFile() || TooLong) throw WriteError(Path);
  } catch (...) {
    Errors.push_back(std::current_exception());
  }
  // A settings file that cannot be written must not cost the run's log: it
  // is written all the same, and its own error is shown ahead of theirs.
  if (FLogWriter) {
    const bool SessionEnding = Application->SessionEnding();
    // The lines the writer's queue had no room for are the last ones.
    const TLogEnd End = FLogWriter->Finish(cbSaveLog->Checked() ? std::string_view(FLogUnkept) : std::string_view(),
                                           SessionEnding ? SessionEndWaitMs : CloseWaitMs, !SessionEnding);
    if (End.Kind != TLogEnd::AllKept) {
      const std::exception_ptr LogError = std::make_exception_ptr(EFCreateError(LogEndMessage(End)));
      if (Errors.empty()) std::rethrow_exception(LogError);
      Application->HandleException(LogError);
    }
  }
  if (Errors.empty()) return;
  for (size_t I = 0; I + 1 < Errors.size(); ++I) Application->HandleException(Errors[I]);
  std::rethrow_exception(Errors.back());
}
