// The settings and log files as a run reads and writes them: real files in a
// fresh folder, the window made and destroyed as the program does.

#include "tests/support/KeptLog.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/MainWindowFixture.h"
#include "toolkit/Files.h"

#include <optional>
#include <sstream>

namespace {

using vtest::LoopbackServer;
using vtest::Recorder;

class SettingsTest : public vtest::MainWindowFixture {
 protected:
  std::string Url() const { return Server.Url(); }
  void WriteIni(const std::string& Text) { Dir.Write("Vintrel.ini", Text); }
  // The settings file's lines, without blank ones.
  std::vector<std::string> IniLines() const {
    std::vector<std::string> Lines;
    std::istringstream In(Dir.Read("Vintrel.ini"));
    for (std::string Line; std::getline(In, Line);) {
      if (!Line.empty() && Line.back() == '\r') Line.pop_back();
      if (!Line.empty()) Lines.push_back(Line);
    }
    return Lines;
  }
  static std::vector<std::string> BoxTexts() { return Recorder::BoxTexts(); }
  // A state change as a probe result makes it: one log line.
  void Report(bool Connected) { Form->inetNotifyDownNotification(Form->inetNotify, Connected); }
  // The box of an end whose log refused its last lines for Why, and where
  // they went.
  std::string KeptAsideBox(DWORD Why) const {
    return "Cannot write to " + Dir.File("Vintrel.log") + ": " + SystemErrorText(Why) +
           ". The lines it could not take are kept in " + Dir.File("Vintrel.unkept.log") +
           ", and go into the log as soon as it can be written again.";
  }
  std::string LostBox(DWORD Why, DWORD AsideWhy) const {
    return "Cannot write to " + Dir.File("Vintrel.log") + ": " + SystemErrorText(Why) +
           ". The lines it could not take could not be kept in " + Dir.File("Vintrel.unkept.log") +
           " either: " + SystemErrorText(AsideWhy) + ".";
  }
  // Waits until the log file holds Text: its lines are written by a thread
  // of their own.
  bool LogBecomes(const std::string& Text) {
    return vtest::PumpUntil([&] { return Dir.Read("Vintrel.log") == Text; }, 10000);
  }

  LoopbackServer Server;
};

// At the tray icon's removal, whether the settings were written by then: the
// end of a session may not live to see the shell answer.
struct IconLeaves {
  static std::string& Settings() {
    static std::string Path;
    return Path;
  }
  static int& SettingsThere() {
    static int There = -1;
    return There;
  }
  static BOOL WINAPI Shell_NotifyIconA(DWORD Message, PNOTIFYICONDATAA Data) {
    if (Message == NIM_DELETE) SettingsThere() = GetFileAttributesA(Settings().c_str()) != INVALID_FILE_ATTRIBUTES;
    return Recorder::Shell_NotifyIconA(Message, Data);
  }
};

TEST_F(SettingsTest, AFirstStartUsesTheDefaultsAndWritesNothingUntilTheEnd) {
  IconLeaves::Settings() = Dir.File("Vintrel.ini");
  Platform().Shell_NotifyIconA = IconLeaves::Shell_NotifyIconA;
  CreateWindowAsIs();
  EXPECT_EQ(Form->editURL->Text(), ProductURL);
  EXPECT_EQ(Form->editInterval->Text(), "120");
  EXPECT_EQ(Form->editTimeOut->Text(), "20");
  EXPECT_TRUE(Form->cbSndConnect->Checked());
  EXPECT_EQ(Form->editSndConnect->Text(), "connect.wav");
  EXPECT_TRUE(Form->cbSndDisconnect->Checked());
  EXPECT_EQ(Form->editSndDisconnect->Text(), "disconnect.wav");
  EXPECT_FALSE(Form->cbSaveLog->Checked());
  EXPECT_EQ(Form->memoLog->Text(), "");
  EXPECT_TRUE(Form->inetNotify->Probing());  // monitoring has started
  EXPECT_FALSE(Dir.Exists("Vintrel.ini"));
  // A shutdown that the user or another program cancelled ends nothing.
  SendMessageA(Application->Handle(), WM_ENDSESSION, FALSE, 0);
  EXPECT_FALSE(Form->Destroying());
  EXPECT_TRUE(Form->Active());
  EXPECT_FALSE(Dir.Exists("Vintrel.ini"));

  Destroy();
  EXPECT_EQ(IconLeaves::SettingsThere(), 1);  // the files first, then the icon
  EXPECT_EQ(IniLines(),
            (std::vector<std::string>{"[config]", "url=http://example.org", "interval=120", "timeout=20", "[sound]",
                                      "connect.sound=1", "connect.wav=connect.wav", "disconnect.sound=1",
                                      "disconnect.wav=disconnect.wav", "[log]", "store.log=0"}));
  EXPECT_FALSE(Dir.Exists("Vintrel.log"));
  EXPECT_TRUE(Recorder::Boxes().empty());
}

TEST_F(SettingsTest, HandEditedFilesReadRightAndKeepTheirOtherLines) {
  WriteIni(
      "; my settings\r\n"
      "[Other]\r\nkeep=me\r\n\r\n"
      "[CONFIG]\r\n  URL  =  " +
      Url() +
      "  \r\n; the interval\r\nINTERVAL=0x3C\r\nunknown=1\r\n"
      "\r\n[sound]\r\nconnect.sound=letters\r\nConnect.Wav = C:\\Sons\\\xe9t\xe9.wav\r\ndisconnect.sound=0\r\n"
      "[log]\r\nstore.log=letters\r\n");
  CreateWindowAsIs();
  EXPECT_EQ(Form->editURL->Text(), Url());
  EXPECT_EQ(Form->editInterval->Text(), "60");
  EXPECT_TRUE(Form->cbSndConnect->Checked());  // letters: its default
  // 8-bit text in the code page, read and written as it stands.
  EXPECT_EQ(Form->editSndConnect->Text(), "C:\\Sons\\\xe9t\xe9.wav");
  EXPECT_FALSE(Form->cbSndDisconnect->Checked());
  EXPECT_FALSE(Form->cbSaveLog->Checked());  // letters: its default

  Form->editURL->SetText("HTTP://Example.COM/Path");  // written exactly as typed
  Form->editInterval->SetText(" 45");
  Form->editTimeOut->SetText("$1E");
  Destroy();
  std::string Ini = Dir.Read("Vintrel.ini");
  for (const char* Kept : {"; my settings", "[Other]", "keep=me", "; the interval", "unknown=1", "\\\xe9t\xe9.wav\r\n"})
    EXPECT_NE(Ini.find(Kept), std::string::npos) << Kept;
  std::vector<std::string> Lines = IniLines();
  auto Has = [&](const std::string& Line) { return std::find(Lines.begin(), Lines.end(), Line) != Lines.end(); };
  EXPECT_TRUE(Has("URL=HTTP://Example.COM/Path") || Has("url=HTTP://Example.COM/Path")) << Ini;
  EXPECT_TRUE(Has("INTERVAL=45") || Has("interval=45")) << Ini;
  EXPECT_TRUE(Has("timeout=30")) << Ini;
  EXPECT_EQ(Ini.find("0x3C"), std::string::npos);

  // Values the user leaves as they were keep the file's spelling, blanks,
  // quotes and all: only the one changed is written.
  const std::string Spelled =
      "[config]\r\n  url = \"" + Url() +
      "\"  \r\ninterval=$1E\r\ntimeout = 020\r\n[sound]\r\nconnect.sound=letters\r\n"
      "connect.wav='a b.wav'\r\ndisconnect.sound=1\r\ndisconnect.wav=b.wav\r\n[log]\r\nstore.log=0\r\n";
  WriteIni(Spelled);
  CreateWindowAsIs();
  EXPECT_EQ(Form->editURL->Text(), Url());
  EXPECT_EQ(Form->editInterval->Text(), "30");
  EXPECT_EQ(Form->editSndConnect->Text(), "a b.wav");
  Form->cbSndDisconnect->SetChecked(false);
  Destroy();
  std::string Expected = Spelled;
  Expected.replace(Expected.find("disconnect.sound=1"), 18, "disconnect.sound=0");
  EXPECT_EQ(Dir.Read("Vintrel.ini"), Expected);
}

TEST_F(SettingsTest, AFullDiskAtTheEndLeavesTheSettingsFileExactlyAsItWas) {
  // About 4,000 bytes, as a file with notes in it is; the disk takes half of
  // it before it is full.
  std::string Ini = "[config]\r\nurl=" + Url() + "\r\ninterval=45\r\n";
  while (Ini.size() < 4000) Ini += "; a note the user keeps about this setting\r\n";
  Ini += "[sound]\r\nconnect.wav=mine.wav\r\n[log]\r\nstore.log=0\r\n";
  WriteIni(Ini);
  CreateWindowAsIs();
  Form->ToggleActive();
  Form->editInterval->SetText("60");
  vtest::FullDisk::Install(2000);
  Destroy();
  EXPECT_GT(vtest::FullDisk::Refused().load(), 0);
  vtest::FullDisk::Install(-1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unable to write to " + Dir.File("Vintrel.ini") + "."});
  EXPECT_EQ(Dir.Read("Vintrel.ini"), Ini);
  // Nothing of the new file is left beside it.
  for (const std::string& Name : Dir.Names()) EXPECT_EQ(Name.find(".tmp"), std::string::npos) << Name;
}

// The encodings Notepad saves in besides the code page: UTF-8 with and without
// its mark, and UTF-16 little- and big-endian with their marks (and without,
// as other programs write it).
enum class Utf { Eight, SixteenLe, SixteenBe };

std::string Encoded(const std::wstring& Text, Utf Form) {
  if (Form != Utf::Eight) {
    std::string Bytes;
    for (wchar_t C : Text) {
      const char Low = static_cast<char>(C & 0xFF), High = static_cast<char>(C >> 8);
      Bytes += Form == Utf::SixteenLe ? std::string{Low, High} : std::string{High, Low};
    }
    return Bytes;
  }
  std::string Bytes(Text.size() * 3, '\0');
  Bytes.resize(
      static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Bytes.data(),
                                              static_cast<int>(Bytes.size()), nullptr, nullptr)));
  return Bytes;
}

std::wstring Decoded(const std::string& Bytes, Utf Form) {
  std::wstring Text;
  if (Form != Utf::Eight) {
    const size_t Low = Form == Utf::SixteenLe ? 0 : 1;
    for (size_t I = 0; I + 1 < Bytes.size(); I += 2)
      Text += static_cast<wchar_t>(static_cast<unsigned char>(Bytes[I + Low]) |
                                   static_cast<unsigned char>(Bytes[I + 1 - Low]) << 8);
    return Text;
  }
  Text.resize(Bytes.size());
  Text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, Bytes.data(), static_cast<int>(Bytes.size()),
                                                      Text.data(), static_cast<int>(Text.size()))));
  return Text;
}

TEST_F(SettingsTest, Utf8AndUtf16FilesReadAsWrittenAndGoBackInTheirEncodingWithEveryCharacterKept) {
  // A sound file named in Chinese, which the window cannot show in the code
  // page; the user changes the interval and nothing else.
  const std::wstring Chinese = L"C:\\\u58f0\u97f3\\\u65ad\u5f00.wav";
  const std::wstring Text =
      L"[config]\r\nurl=" + vtest::Utf16(Url()) +
      L"\r\ninterval=45\r\n[sound]\r\nconnect.sound=0\r\nconnect.wav=C:\\Sons\\\u00e9t\u00e9.wav\r\n"
      L"disconnect.wav=" +
      Chinese + L"\r\n";
  struct Case {
    const char* Name;
    std::string Mark;
    Utf Form;
  };
  for (const Case& C :
       {Case{"UTF-8 with BOM", "\xEF\xBB\xBF", Utf::Eight}, Case{"UTF-8", "", Utf::Eight},
        Case{"UTF-16", "\xFF\xFE", Utf::SixteenLe}, Case{"UTF-16 BE", "\xFE\xFF", Utf::SixteenBe},
        Case{"UTF-16 without its mark", "", Utf::SixteenLe}}) {
    SCOPED_TRACE(C.Name);
    WriteIni(C.Mark + Encoded(Text, C.Form));
    CreateWindowAsIs();
    EXPECT_EQ(Form->editInterval->Text(), "45");  // the first section is found behind the mark
    EXPECT_FALSE(Form->cbSndConnect->Checked());
    EXPECT_EQ(Form->editSndConnect->Text(), "C:\\Sons\\\xe9t\xe9.wav");
    Form->editInterval->SetText("50");
    Destroy();
    const std::string Ini = Dir.Read("Vintrel.ini");
    ASSERT_EQ(Ini.compare(0, C.Mark.size(), C.Mark), 0);
    const std::wstring Back = Decoded(Ini.substr(C.Mark.size()), C.Form);
    EXPECT_EQ(Back.substr(0, Back.find(L"interval=")), L"[config]\r\nurl=" + vtest::Utf16(Url()) + L"\r\n");
    for (const std::wstring& Line :
         {std::wstring(L"\ninterval=50\r\n"), std::wstring(L"\nconnect.wav=C:\\Sons\\\u00e9t\u00e9.wav\r\n"),
          L"\ndisconnect.wav=" + Chinese + L"\r\n", std::wstring(L"\nstore.log=0\r\n")})
      EXPECT_NE(Back.find(Line), std::wstring::npos) << Ini;
    EXPECT_EQ(Back.find(L"[config]"), Back.rfind(L"[config]")) << Ini;
    EXPECT_EQ(Back.find(L"[sound]"), Back.rfind(L"[sound]")) << Ini;
  }
}

TEST_F(SettingsTest, AFolderWhosePathIsLongerThanMaxPathHoldsSettingsThatAreReadAndWrittenBack) {
  // A folder path of 300 characters: the profile functions cannot follow
  // there (Wine's report a write done and write nothing).
  const std::string Deep = Dir.MakeDeepFolder(300);
  Dir.PretendExecutableHere(Deep);
  Dir.Write(Deep + "Vintrel.ini", "[config]\r\nurl=" + Url() + "\r\ninterval=45\r\n");
  CreateWindowAsIs();
  EXPECT_EQ(Form->editInterval->Text(), "45");
  Form->editInterval->SetText("50");
  Destroy();
  EXPECT_TRUE(BoxTexts().empty());
  const std::string Ini = Dir.Read(Deep + "Vintrel.ini");
  for (const char* Line : {"interval=50\r\n", "connect.wav=connect.wav\r\n", "store.log=0\r\n"})
    EXPECT_NE(Ini.find(Line), std::string::npos) << Line << Ini;
}

TEST_F(SettingsTest, IntegerAndBooleanValuesFallBackToTheirDefaults) {
  struct Case {
    const char* Interval;
    const char* StoreLog;
    const char* ExpectInterval;
    bool ExpectKeepLog;
  };
  for (const Case& C : {Case{"letters", "2", "120", true}, Case{"", "0", "120", false}, Case{"-45", "1", "120", true},
                        Case{"99999999999", "x1", "120", true}}) {
    WriteIni("[config]\r\nurl=" + Url() + "\r\ninterval=" + C.Interval + "\r\n[log]\r\nstore.log=" + C.StoreLog +
             "\r\n");
    CreateWindowAsIs();
    EXPECT_EQ(Form->editInterval->Text(), C.ExpectInterval) << C.Interval;
    EXPECT_EQ(Form->cbSaveLog->Checked(), C.ExpectKeepLog) << C.StoreLog;
    Destroy();
  }
}

TEST_F(SettingsTest, IntervalsTheTimerCannotCountReadAsTheDefault) {
  for (const char* Uncountable : {"0", "-5", "0x7FFFFFFF", "536870912", "2147484", "4294967"}) {
    WriteIni("[config]\r\nurl=" + Url() + "\r\ninterval=" + Uncountable + "\r\n");
    CreateWindowAsIs();
    EXPECT_EQ(Form->editInterval->Text(), "120") << Uncountable;
    EXPECT_EQ(Form->timerNotify->Interval(), 120000u) << Uncountable;
    Destroy();
    // Left as it was in the window, it keeps the file's own value.
    EXPECT_EQ(IniLines().at(2), std::string("interval=") + Uncountable);
  }
  for (const char* Countable : {"1", "5", "2147483"}) {
    WriteIni("[config]\r\nurl=" + Url() + "\r\ninterval=" + Countable + "\r\n");
    CreateWindowAsIs();
    EXPECT_EQ(Form->editInterval->Text(), Countable);
    Destroy();
    EXPECT_EQ(IniLines().at(2), std::string("interval=") + Countable);
  }
}

TEST_F(SettingsTest, ALongValueIsReadWholeAndWrittenBackUnchanged) {
  // A hand-written address of 3000 characters is probed whole, and a sound
  // file name longer than an edit takes from the keyboard stays whole too.
  const std::string LongURL = Server.Url("/" + std::string(3000, 'p'));
  const std::string LongFile = "C:\\" + std::string(32000, 'w') + ".wav";
  WriteIni("[config]\r\nurl=" + LongURL + "\r\n[sound]\r\nconnect.wav=" + LongFile + "\r\n");
  CreateWindowAsIs();
  EXPECT_EQ(Form->editURL->Text(), LongURL);
  EXPECT_EQ(Form->editSndConnect->Text(), LongFile);
  ASSERT_TRUE(WaitForProbe());
  ASSERT_EQ(Server.RequestCount(), 1u);
  EXPECT_EQ(Server.Requests()[0].RequestLine, "GET /" + std::string(3000, 'p') + " HTTP/1.1");
  Destroy();
  EXPECT_TRUE(BoxTexts().empty());
  std::vector<std::string> Lines = IniLines();
  auto Has = [&](const std::string& Line) { return std::find(Lines.begin(), Lines.end(), Line) != Lines.end(); };
  EXPECT_TRUE(Has("url=" + LongURL));
  EXPECT_TRUE(Has("connect.wav=" + LongFile));
}

TEST_F(SettingsTest, AValueTooLongForOneProfileLineIsReadButNotWrittenAndTheFileKeepsIt) {
  // 40000 characters: read whole, but no profile line carries it back.
  const std::string HugeFile = "C:\\" + std::string(40000, 'w') + ".wav";
  const std::string Ini = "[config]\r\nurl=" + Url() + "\r\n[sound]\r\nconnect.wav=" + HugeFile + "\r\n";
  WriteIni(Ini);
  CreateWindowAsIs();
  EXPECT_EQ(Form->editSndConnect->Text(), HugeFile);
  // Left as it was, it is not written at all; changed to another as long,
  // it cannot be, and the file keeps the one it held.
  Form->editSndConnect->SetText(HugeFile + "x");
  Destroy();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unable to write to " + Dir.File("Vintrel.ini") + "."});
  std::vector<std::string> Lines = IniLines();
  EXPECT_NE(std::find(Lines.begin(), Lines.end(), "connect.wav=" + HugeFile), Lines.end());
  EXPECT_NE(std::find(Lines.begin(), Lines.end(), "interval=120"), Lines.end());  // the other keys go in
}

TEST_F(SettingsTest, AKeptLogGrowsRunByRunWithCrLfLineEndsAndKeepsAHandEditMadeDuringARun) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  CreateWindowAsIs();  // no log yet: an empty one
  EXPECT_EQ(Form->memoLog->Text(), "");
  ASSERT_TRUE(WaitForProbe());
  Report(false);
  std::vector<std::string> FirstRun = LogLines();
  ASSERT_EQ(FirstRun.size(), 2u);
  // Each line goes to the file as soon as it is logged: a crash loses none.
  EXPECT_TRUE(LogBecomes(FirstRun[0] + "\r\n" + FirstRun[1] + "\r\n")) << Dir.Read("Vintrel.log");
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"), FirstRun[0] + "\r\n" + FirstRun[1] + "\r\n");

  CreateWindowAsIs();
  ASSERT_TRUE(WaitForProbe());
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 3u);
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"), FirstRun[0] + "\r\n" + FirstRun[1] + "\r\n" + Lines[2] + "\r\n");
  EXPECT_TRUE(IsLogLine(Lines[2], "Connected to " + Url()));

  // Edited by hand during a run (a line taken out, a note put in): the edit
  // stays as it was made, and only this run's next line goes after it.
  const std::string Edited = FirstRun[1] + "\r\n" + Lines[2] + "\nchecked the cable\n";
  CreateWindowAsIs();
  ASSERT_TRUE(WaitForProbe());
  ASSERT_TRUE(LogBecomes(FirstRun[0] + "\r\n" + FirstRun[1] + "\r\n" + Lines[2] + "\r\n" + LogLines()[3] + "\r\n"));
  Dir.Write("Vintrel.log", Edited);
  Report(false);
  Lines = LogLines();
  ASSERT_EQ(Lines.size(), 5u);
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"), Edited + Lines[4] + "\r\n");
}

// How fast a start with a kept log of years is: scripts/bench ("Start to
// first probe" in docs/benchmarks.md).
TEST_F(SettingsTest, AKeptLogOfYearsStartsItsFirstProbeShowsItsNewestLinesAndIsWrittenBackWhole) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  constexpr size_t KeptLines = 1000000;  // about 60 MB
  const std::string Kept = vtest::KeptLogOfLines(KeptLines);
  Dir.Write("Vintrel.log", Kept);
  CreateWindowAsIs();
  EXPECT_TRUE(Form->inetNotify->Probing());  // the first probe is out
  // The view holds the newest lines.
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), LogViewLines);
  EXPECT_EQ(vtest::LineNumber(Lines.front()), std::to_string(KeptLines - LogViewLines));
  EXPECT_EQ(vtest::LineNumber(Lines.back()), std::to_string(KeptLines - 1));

  ASSERT_TRUE(WaitForProbe());
  Lines = LogLines();
  ASSERT_EQ(Lines.size(), LogViewLines + 1);
  Destroy();
  // The old log byte for byte, then this run's line.
  const std::string Written = Dir.Read("Vintrel.log");
  ASSERT_EQ(Written.size(), Kept.size() + Lines.back().size() + 2);
  EXPECT_TRUE(Written.compare(0, Kept.size(), Kept) == 0);
  EXPECT_EQ(Written.substr(Kept.size()), Lines.back() + "\r\n");
}

TEST_F(SettingsTest, AnyLineEndsLoadAsLinesAndTheRunsLinesFollowTheLastOneEnded) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  Dir.Write("Vintrel.log", "one\ntwo\rthree\r\n\nfive");
  CreateWindowAsIs();
  EXPECT_EQ(Form->memoLog->Text(), "one\r\ntwo\r\nthree\r\n\r\nfive");
  ASSERT_TRUE(WaitForProbe());  // appended after a last line without its line end
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 6u);
  EXPECT_EQ(Lines[4], "five");
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"), "one\ntwo\rthree\r\n\nfive\r\n" + Lines[5] + "\r\n");
}

TEST_F(SettingsTest, WithKeepingOffAnExistingLogIsLeftAloneUntilARunTicksIt) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=0\r\n");
  Dir.Write("Vintrel.log", "an old line\n");
  CreateWindowAsIs();
  EXPECT_EQ(Form->memoLog->Text(), "");
  ASSERT_TRUE(WaitForProbe());
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"), "an old line\n");

  // Ticked during a run, keeping puts the run's lines so far after the old
  // ones at once; cleared again, it adds no more and takes none away.
  CreateWindowAsIs();
  ASSERT_TRUE(WaitForProbe());
  SendMessageA(Form->cbSaveLog->Handle(), BM_CLICK, 0, 0);
  ASSERT_TRUE(Form->cbSaveLog->Checked());
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_TRUE(LogBecomes("an old line\n" + Lines[0] + "\r\n")) << Dir.Read("Vintrel.log");
  SendMessageA(Form->cbSaveLog->Handle(), BM_CLICK, 0, 0);
  Report(false);
  ASSERT_EQ(LogLines().size(), 2u);
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"), "an old line\n" + Lines[0] + "\r\n");
}

TEST_F(SettingsTest, ZeroBytesInTheKeptLogShowAsBlanksAndNothingAfterThemIsLost) {
  // What a power loss leaves: zeros in the middle of a line, a whole line of
  // them, and zeros at the very end.
  using namespace std::string_literals;
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  Dir.Write("Vintrel.log", "line1\r\nline2 \0\0\0 after\r\n\0\0\0\0\0\0\r\nline4\r\n\0\0"s);
  CreateWindowAsIs();
  EXPECT_EQ(Form->memoLog->Text(), "line1\r\nline2     after\r\n      \r\nline4\r\n  ");
  ASSERT_TRUE(WaitForProbe());
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 6u);
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"),
            "line1\r\nline2 \0\0\0 after\r\n\0\0\0\0\0\0\r\nline4\r\n\0\0\r\n"s + Lines[5] + "\r\n");
  EXPECT_TRUE(IsLogLine(Lines[5], "Connected to " + Url()));
}

TEST_F(SettingsTest, AnUnreadableLogStopsTheStartAndTheEndKeepsItWithTheRunsLinesAfterIt) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\ninterval=45\r\n[log]\r\nstore.log=1\r\n");
  Dir.Write("Vintrel.log", "kept\r\n");
  // Held open by someone else, without sharing.
  HANDLE Lock = CreateFileA(Dir.File("Vintrel.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
  CreateWindowAsIs();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Cannot open file " + Dir.File("Vintrel.log") + "."});
  EXPECT_EQ(Recorder::Boxes()[0].Caption, "Vintrel");
  EXPECT_EQ(Recorder::Boxes()[0].Type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  // The settings were read; monitoring did not start, and every place says
  // so, on the State page that the Info button stands for.
  EXPECT_EQ(Form->editInterval->Text(), "45");
  EXPECT_FALSE(Form->inetNotify->Probing());
  EXPECT_FALSE(Form->Active());
  EXPECT_EQ(Form->miStartStop->Caption(), "&Start");
  EXPECT_EQ(Form->sbtnStart->Caption(), "&Start");
  EXPECT_FALSE(Form->sbtnStart->Down());
  EXPECT_EQ(Form->trayIcon->ToolTip(), "Stopped");
  EXPECT_EQ(Form->labelState->Caption(), "Stopped");
  EXPECT_EQ(Form->nbControls->PageIndex(), 0);
  EXPECT_TRUE(Form->editURL->Enabled());
  CloseHandle(Lock);
  vtest::PumpFor(200);
  EXPECT_EQ(Server.RequestCount(), 0u);

  // The next Start starts.
  Form->ToggleActive();
  EXPECT_TRUE(Form->Active());
  ASSERT_TRUE(WaitForProbe());
  EXPECT_EQ(Server.RequestCount(), 1u);
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 2u);
  // The log the view never held is not replaced by this run's lines alone.
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"), "kept\r\n" + Lines[0] + "\r\n" + Lines[1] + "\r\n");
}

TEST_F(SettingsTest, AKeptLogThatIsAFolderStopsTheStartAndStaysAsItIs) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  CreateDirectoryA(Dir.File("Vintrel.log").c_str(), nullptr);
  CreateWindowAsIs();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Cannot open file " + Dir.File("Vintrel.log") + "."});
  EXPECT_FALSE(Form->Active());
  EXPECT_EQ(Form->miStartStop->Caption(), "&Start");
  EXPECT_EQ(Form->trayIcon->ToolTip(), "Stopped");
  Form->ToggleActive();
  ASSERT_TRUE(WaitForProbe());
  EXPECT_EQ(Form->NotifyState(), nsConnected);
  Destroy();
  // The run's line waits beside it.
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Cannot open file " + Dir.File("Vintrel.log") + ".",
                                                  KeptAsideBox(ERROR_ACCESS_DENIED)}));
  EXPECT_TRUE(IsLogLine(vtest::TempDir::Lines(Dir.Read("Vintrel.unkept.log")).back(), "Connected to " + Url()));
  EXPECT_EQ(GetFileAttributesA(Dir.File("Vintrel.log").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  // The settings went in full before the log.
  std::vector<std::string> Lines = IniLines();
  EXPECT_NE(std::find(Lines.begin(), Lines.end(), "store.log=1"), Lines.end());
}

TEST_F(SettingsTest, ASettingsFileThatCannotBeWrittenOrWasNotReadStaysAsItIsAndStillLeavesTheLog) {
  const std::string Ini = "; mine\r\n[config]\r\nurl=" + Url() + "\r\ninterval=45\r\n";
  // Zero bytes where no text has them: what it holds cannot be known.
  const std::string NoText = std::string("[config]\r\nurl=x\0\0\0\x01\r\n", 21) + Ini;
  enum { HeldAtStart, AFolder, NoTextAtAll };
  for (int Case : {HeldAtStart, AFolder, NoTextAtAll}) {
    SCOPED_TRACE(Case == HeldAtStart ? "held open at the start" : Case == AFolder ? "a folder" : "no text");
    Recorder::Boxes().clear();
    Dir.Write("Vintrel.log", "earlier\r\n");
    std::optional<vtest::HeldFile> Held;  // by another program, until the start is over
    if (Case == HeldAtStart) {
      WriteIni(Ini);
      Held.emplace(Dir.File("Vintrel.ini"));
      ASSERT_TRUE(Held->Held());
    } else if (Case == AFolder) {
      DeleteFileA(Dir.File("Vintrel.ini").c_str());
      ASSERT_TRUE(CreateDirectoryA(Dir.File("Vintrel.ini").c_str(), nullptr));  // a folder where the file should be
    } else {
      RemoveDirectoryA(Dir.File("Vintrel.ini").c_str());
      WriteIni(NoText);
    }
    CreateWindowAsIs();
    // Said at the start, once the event loop runs; monitoring goes on.
    ASSERT_TRUE(vtest::PumpUntil([] { return !Recorder::Boxes().empty(); }, 5000));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unable to read " + Dir.File("Vintrel.ini") +
                                                   ": the default settings are in use."});
    EXPECT_TRUE(Form->Active());
    Recorder::Boxes().clear();
    Held.reset();
    EXPECT_EQ(Form->editInterval->Text(), "120");
    Form->cbSaveLog->SetChecked(true);
    Report(true);
    Destroy();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unable to write to " + Dir.File("Vintrel.ini") + "."});
    EXPECT_EQ(Dir.Read("Vintrel.log").rfind("earlier\r\nConnected to http://example.org - ", 0), 0u);
    // The defaults it ran on never replace what the user had set.
    if (Case != AFolder) {
      EXPECT_EQ(Dir.Read("Vintrel.ini"), Case == HeldAtStart ? Ini : NoText);
    }
  }
}

TEST_F(SettingsTest, FieldsThatAreNoNumberKeepTheirOldValuesAndEverythingElseIsWritten) {
  WriteIni("[config]\r\nurl=old\r\ninterval=77\r\ntimeout=5\r\n[log]\r\nstore.log=0\r\n");
  CreateWindowAsIs();
  Form->ToggleActive();
  Form->editURL->SetText(Url());
  Form->editInterval->SetText("3x");
  Form->editTimeOut->SetText("4y");
  Form->cbSndConnect->SetChecked(false);
  Form->cbSaveLog->SetChecked(true);
  Destroy();
  // Each error once, in the order of the keys.
  EXPECT_EQ(BoxTexts(),
            (std::vector<std::string>{"'3x' is not a valid integer value.", "'4y' is not a valid integer value."}));
  std::vector<std::string> Lines = IniLines();
  EXPECT_EQ(Lines, (std::vector<std::string>{"[config]", "url=" + Url(), "interval=77", "timeout=5", "[log]",
                                             "store.log=1", "[sound]", "connect.sound=0", "connect.wav=connect.wav",
                                             "disconnect.sound=1", "disconnect.wav=disconnect.wav"}));
  EXPECT_TRUE(IsLogLine(vtest::TempDir::Lines(Dir.Read("Vintrel.log")).at(0), "Stopped"));
}

TEST_F(SettingsTest, ALogHeldShutThroughTheEndKeepsTheRunsLinesBesideItAndTheNextStartJoinsThem) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  Dir.Write("Vintrel.log", "old line\r\n");
  // Held by a program that shares reading only, as a backup tool or an
  // editor that locks does: no line can be appended, nor the log replaced.
  HANDLE Lock =
      CreateFileA(Dir.File("Vintrel.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
  CreateWindowAsIs();
  ASSERT_TRUE(WaitForProbe());
  std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 2u);
  Destroy();
  // Told once, with the system's reason and where the lines are.
  ASSERT_EQ(BoxTexts().size(), 1u);
  const std::string Box = BoxTexts()[0];
  EXPECT_EQ(Box.rfind("Cannot write to " + Dir.File("Vintrel.log") + ": ", 0), 0u) << Box;
  EXPECT_EQ(Box, KeptAsideBox(ERROR_SHARING_VIOLATION));
  CloseHandle(Lock);
  EXPECT_EQ(Dir.Read("Vintrel.log"), "old line\r\n");
  EXPECT_EQ(Dir.Read("Vintrel.unkept.log"), Lines[1] + "\r\n");
  EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"Vintrel.ini", "Vintrel.log", "Vintrel.unkept.log"}));

  // Released: the next start puts them in the log, in order, once, and
  // shows them; this run's lines follow.
  Recorder::Boxes().clear();
  CreateWindowAsIs();
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"old line", Lines[1]}));
  ASSERT_TRUE(WaitForProbe());
  Report(false);
  ASSERT_EQ(LogLines().size(), 4u);
  const std::string Joined = "old line\r\n" + Lines[1] + "\r\n" + LogLines()[2] + "\r\n" + LogLines()[3] + "\r\n";
  EXPECT_TRUE(LogBecomes(Joined)) << Dir.Read("Vintrel.log");
  EXPECT_FALSE(Dir.Exists("Vintrel.unkept.log"));
  Destroy();
  EXPECT_EQ(Dir.Read("Vintrel.log"), Joined);
  EXPECT_TRUE(BoxTexts().empty());

  // Held by one that lets it be replaced though not written: the end puts
  // the log, byte for byte, and the lines after it in a new one that takes
  // its place.
  Dir.Write("Vintrel.log", std::string("a\nb\0", 4));
  Lock = CreateFileA(Dir.File("Vintrel.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
  CreateWindowAsIs();
  ASSERT_TRUE(WaitForProbe());
  Lines = LogLines();
  Destroy();
  CloseHandle(Lock);
  EXPECT_TRUE(BoxTexts().empty()) << BoxTexts()[0];
  EXPECT_EQ(Dir.Read("Vintrel.log"), std::string("a\nb\0\r\n", 6) + Lines.back() + "\r\n");
  EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"Vintrel.ini", "Vintrel.log"}));
}

TEST_F(SettingsTest, OnAFullDiskEveryLineIsWrittenWholeOrNotAtAll) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  Dir.Write("Vintrel.log", "old\r\n");
  CreateWindowAsIs();
  ASSERT_TRUE(WaitForProbe());
  const std::string First = LogLines().at(1);
  ASSERT_TRUE(LogBecomes("old\r\n" + First + "\r\n"));
  // The disk fills up part-way through the next line: it is cut back, and
  // goes again, whole, with the line after it once there is room.
  vtest::FullDisk::Install(10);
  Report(false);
  ASSERT_TRUE(vtest::PumpUntil([] { return vtest::FullDisk::Refused().load() > 0; }, 10000));
  vtest::FullDisk::Install(-1);
  Report(true);
  const std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 4u);
  EXPECT_TRUE(LogBecomes("old\r\n" + First + "\r\n" + Lines[2] + "\r\n" + Lines[3] + "\r\n"))
      << Dir.Read("Vintrel.log");

  // Still full at the end: nothing half written, and nowhere to keep them.
  vtest::FullDisk::Install(0);
  Report(false);
  const std::string Before = "old\r\n" + First + "\r\n" + Lines[2] + "\r\n" + Lines[3] + "\r\n";
  Destroy();
  vtest::FullDisk::Install(-1);
  EXPECT_EQ(Dir.Read("Vintrel.log"), Before);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{LostBox(ERROR_DISK_FULL, ERROR_DISK_FULL),
                                                  "Unable to write to " + Dir.File("Vintrel.ini") + "."}));
  EXPECT_FALSE(Dir.Exists("Vintrel.unkept.log"));  // not even an empty one
}

// A disk that holds each write until the test lets it go, as a network share
// does while the network is away.
struct HeldDisk {
  static HANDLE& Release() {
    static HANDLE Event = nullptr;
    return Event;
  }
  static std::atomic<int>& Entered() {
    static std::atomic<int> Count{0};
    return Count;
  }
  static BOOL WINAPI WriteFile(HANDLE File, LPCVOID Data, DWORD Size, LPDWORD Done, LPOVERLAPPED Overlapped) {
    ++Entered();
    WaitForSingleObject(Release(), 30000);
    return ::WriteFile(File, Data, Size, Done, Overlapped);
  }
};

TEST_F(SettingsTest, TheWindowGoesOnWhileTheDiskHoldsALine) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  CreateWindowAsIs();
  ASSERT_TRUE(WaitForProbe());
  const std::string First = LogLines().at(0) + "\r\n";
  ASSERT_TRUE(LogBecomes(First));
  HeldDisk::Release() = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(HeldDisk::Release(), nullptr);
  HeldDisk::Entered() = 0;
  Platform().WriteFile = HeldDisk::WriteFile;
  // Both lines are logged and shown while the disk still holds the first.
  Report(false);
  Report(true);
  ASSERT_TRUE(vtest::PumpUntil([] { return HeldDisk::Entered().load() > 0; }, 10000));
  const std::vector<std::string> Lines = LogLines();
  ASSERT_EQ(Lines.size(), 3u);
  EXPECT_EQ(Form->labelState->Caption(), "Connected to " + Url());
  EXPECT_EQ(Dir.Read("Vintrel.log"), First);
  SetEvent(HeldDisk::Release());
  EXPECT_TRUE(LogBecomes(First + Lines[1] + "\r\n" + Lines[2] + "\r\n")) << Dir.Read("Vintrel.log");
  Destroy();
  CloseHandle(HeldDisk::Release());
}

TEST_F(SettingsTest, KeepingTickedDuringARunLeavesALogThatIsAFolderAsItIs) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=0\r\n");
  CreateDirectoryA(Dir.File("Vintrel.log").c_str(), nullptr);
  Dir.Write("Vintrel.log\\inside", "x");
  CreateWindowAsIs();
  Form->cbSaveLog->SetChecked(true);
  Report(true);
  Destroy();
  // The run's lines wait beside it.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{KeptAsideBox(ERROR_ACCESS_DENIED)});
  EXPECT_EQ(Dir.Read("Vintrel.log\\inside"), "x");
  std::vector<std::string> Lines = IniLines();
  EXPECT_NE(std::find(Lines.begin(), Lines.end(), "store.log=1"), Lines.end());
}

TEST_F(SettingsTest, AFolderThatIsGoneLosesNothingSilently) {
  WriteIni("[config]\r\nurl=" + Url() + "\r\n[log]\r\nstore.log=1\r\n");
  CreateWindowAsIs();
  vtest::TempDir::RemoveAll(Dir.Path());
  Report(true);
  Destroy();
  // Both failures are shown: the log's, then the settings'.
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{LostBox(ERROR_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND),
                                                  "Unable to write to " + Dir.File("Vintrel.ini") + "."}));
}

}  // namespace
