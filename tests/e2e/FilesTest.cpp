// What a run leaves behind: the log of the changes the user lived through and
// the settings as they were set, in the program's folder.

#include "tests/support/Desktop.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"
#include "toolkit/Files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using vtest::Answer;
using vtest::At;
using vtest::LoopbackServer;
using vtest::Program;
using vtest::TempDir;
using vtest::WaitUntil;
using vtest::Xdotool;

// Settings with no sounds.
std::string SilentSettings(const std::string& URL, int Interval, bool KeepLog) {
  return "[config]\r\nurl=" + URL + "\r\ninterval=" + std::to_string(Interval) +
         "\r\ntimeout=20\r\n[sound]\r\nconnect.sound=0\r\ndisconnect.sound=0\r\n[log]\r\nstore.log=" +
         (KeepLog ? "1" : "0") + "\r\n";
}

// What the log view shows, line by line.
std::vector<std::string> Shown(HWND Window) { return TempDir::Lines(vtest::ChildText(Window, "TMemo")); }

// Starts the program; its window once the first probe's line is in its log
// view, or null.
HWND StartToFirstResult(Program& Vintrel) {
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  return Window && WaitUntil([&] { return Shown(Window).size() == 1; }, 10000) ? Window : nullptr;
}

TEST(Files, AServerThatGoesUpDownAndFailsLeavesItsStoryInTheLogWhateverTheFolderIsCalled) {
  LoopbackServer Server;
  TempDir Dir;
  // Kept in a folder whose name the ANSI code page cannot spell ("tools" in
  // Chinese): the settings put there are read, and both files land there.
  const std::string Kept = "\xe5\xb7\xa5\xe5\x85\xb7\\";
  Program Vintrel(Dir.MakeFolder(Kept));
  // As the user set it: capitals in the address, a one-second interval, the
  // log kept, no sounds.
  const std::string Typed = "HTTP://127.0.0.1:" + std::to_string(Server.Port()) + "/Ping";
  Dir.Write(Kept + "Vintrel.ini", SilentSettings(Typed, 1, true));
  HWND Window = StartToFirstResult(Vintrel);
  ASSERT_NE(Window, nullptr);
  Server.Down();
  ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 2; }, 10000));  // a probe found nobody
  Server.SetAnswer(Answer::Error500);
  Server.Up();
  ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 3; }, 10000));  // and one found it again
  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);

  const std::string Log = Dir.Read(Kept + "Vintrel.log");
  std::vector<std::string> Lines = TempDir::Lines(Log);
  ASSERT_EQ(Lines.size(), 3u) << Log;
  EXPECT_EQ(Lines[0].rfind("Connected to " + Typed + " - ", 0), 0u) << Lines[0];
  EXPECT_EQ(Lines[1].rfind("Disconnected - ", 0), 0u) << Lines[1];
  EXPECT_EQ(Lines[2].rfind("Connected to " + Typed + " - ", 0), 0u) << Lines[2];
  // Every line ends with CR LF and nothing else ends a line.
  EXPECT_EQ(Log.substr(Log.size() - 2), "\r\n");
  size_t Breaks = 0;
  for (size_t I = 0; I < Log.size(); ++I)
    if (Log[I] == '\n') {
      ++Breaks;
      EXPECT_TRUE(I > 0 && Log[I - 1] == '\r');
    }
  EXPECT_EQ(Breaks, 3u);

  const std::string Ini = Dir.Read(Kept + "Vintrel.ini");
  for (const std::string& Line :
       {"url=" + Typed, std::string("interval=1"), std::string("timeout=20"), std::string("connect.sound=0"),
        std::string("disconnect.sound=0"), std::string("store.log=1")})
    EXPECT_NE(Ini.find(Line + "\r\n"), std::string::npos) << Line << "\n" << Ini;
}

TEST(Files, AFolderWhosePathIsLongerThanMaxPathHoldsSettingsAndLogThatAreReadAndWrittenBack) {
  LoopbackServer Server;
  TempDir Dir;
  // Past MAX_PATH (260), where the profile functions cannot follow.
  const std::string Deep = Dir.MakeDeepFolder(300);
  ASSERT_EQ(Dir.Path().size() + Deep.size() - 1, 300u);
  Program Vintrel(Dir.Path() + Deep);
  Dir.Write(Deep + "Vintrel.ini", SilentSettings(Server.Url(), 60, true));
  Dir.Write(Deep + "Vintrel.log", "an older line\r\n");
  // As a user starts it there: under Wine, from a Unix shell.
  if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
    ASSERT_TRUE(Vintrel.StartFromUnixShell("TVintrelF", 15000));
  else
    Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  // The probe goes to the address the settings name, and its line joins the
  // kept log.
  ASSERT_TRUE(Server.WaitForRequests(1, 10000));
  ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 2; }, 10000));
  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
  // And the end wrote them back: the sound files it had no keys for are there.
  const std::string Ini = Dir.Read(Deep + "Vintrel.ini");
  for (const char* Line : {"[config]\r\nurl=", "interval=60\r\n", "connect.wav=connect.wav\r\n",
                           "disconnect.wav=disconnect.wav\r\n", "store.log=1\r\n"})
    EXPECT_NE(Ini.find(Line), std::string::npos) << Line << "\n" << Ini;
  std::vector<std::string> Log = TempDir::Lines(Dir.Read(Deep + "Vintrel.log"));
  ASSERT_EQ(Log.size(), 2u);
  EXPECT_EQ(Log[0], "an older line");
  EXPECT_EQ(Log[1].rfind("Connected to " + Server.Url() + " - ", 0), 0u) << Log[1];
}

TEST(Files, ASettingsFileHeldByAnotherProgramAtTheStartKeepsWhatItHeldAndTheEndSaysSo) {
  LoopbackServer Server;
  TempDir Dir;
  const std::string Ini =
      "; set by hand\r\n[config]\r\nurl=" + Server.Url() + "\r\ninterval=60\r\n[log]\r\nstore.log=1\r\n";
  Dir.Write("Vintrel.ini", Ini);
  vtest::HeldFile Held(Dir.File("Vintrel.ini"));
  ASSERT_TRUE(Held.Held());
  // Without its settings the program probes its default address. Under Wine,
  // WinINet takes a proxy from http_proxy: the loopback server stands in as
  // one, so that probe goes nowhere else, and its arrival says the settings
  // have been read.
  SetEnvironmentVariableA("http_proxy", ("http://127.0.0.1:" + std::to_string(Server.Port())).c_str());
  Program Vintrel(Dir.Path());
  Vintrel.Start();
  SetEnvironmentVariableA("http_proxy", nullptr);
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  ASSERT_TRUE(Server.WaitForRequests(1, 10000));
  EXPECT_EQ(Server.Requests()[0].RequestLine.rfind("GET http://example.org", 0), 0u)
      << Server.Requests()[0].RequestLine;
  // Said at once, while monitoring runs.
  EXPECT_EQ(Vintrel.AnswerBox(), "Unable to read " + Dir.File("Vintrel.ini") + ": the default settings are in use.");
  Held.Release();

  PostMessageA(Window, WM_CLOSE, 0, 0);
  EXPECT_EQ(Vintrel.AnswerBox(), "Unable to write to " + Dir.File("Vintrel.ini") + ".");
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
  EXPECT_EQ(Dir.Read("Vintrel.ini"), Ini);
}

TEST(Files, KeepingTickedAndAnIntervalThatIsNoNumberInOneRunCostNeitherTheOldLogNorTheOtherSettings) {
  LoopbackServer Server;
  TempDir Dir;
  Dir.Write("Vintrel.ini", SilentSettings(Server.Url(), 60, false));
  Dir.Write("Vintrel.log", "an old line\r\n");
  Program Vintrel(Dir.Path());
  HWND Window = StartToFirstResult(Vintrel);
  ASSERT_NE(Window, nullptr);

  // The user shows the window from its icon, stops monitoring (which unlocks
  // the fields), ticks Save Log on the Config page and types 3x as the
  // interval. Points are in the window's client area.
  POINT Icon;
  ASSERT_TRUE(WaitUntil([&] { return vtest::FirstTrayIcon(Icon); }, 10000));
  ASSERT_TRUE(Xdotool("mousemove " + At(Icon) + " click 1"));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Window) != FALSE; }, 5000));
  auto Screen = [&](int X, int Y) {
    POINT P = {X, Y};
    ClientToScreen(Window, &P);
    return P;
  };
  auto Click = [&](int X, int Y) { return Xdotool("mousemove " + At(Screen(X, Y)) + " click 1"); };
  auto Text = [](HWND Control) {
    char Buffer[64] = "";
    SendMessageA(Control, WM_GETTEXT, sizeof Buffer, reinterpret_cast<LPARAM>(Buffer));
    return std::string(Buffer);
  };
  ASSERT_TRUE(Click(271, 35));  // Stop
  ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 2; }, 5000));
  ASSERT_TRUE(Click(29, 57));  // Config
  HWND Interval = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        Interval = WindowFromPoint(Screen(135, 70));
        return IsWindowVisible(Interval) && IsWindowEnabled(Interval) && Text(Interval) == "60";
      },
      5000));
  HWND SaveLog = WindowFromPoint(Screen(233, 100));
  ASSERT_TRUE(Click(233, 100));
  ASSERT_TRUE(WaitUntil([&] { return SendMessageA(SaveLog, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5000));
  ASSERT_TRUE(Click(135, 70));
  ASSERT_TRUE(Xdotool("key End BackSpace BackSpace"));
  ASSERT_TRUE(Xdotool("type 3x"));
  ASSERT_TRUE(WaitUntil([&] { return Text(Interval) == "3x"; }, 5000)) << Text(Interval);

  PostMessageA(Window, WM_CLOSE, 0, 0);
  EXPECT_EQ(Vintrel.AnswerBox(), "'3x' is not a valid integer value.");
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
  // The interval keeps the value the file had; the keys after it went in.
  const std::string Ini = Dir.Read("Vintrel.ini");
  for (const char* Line : {"interval=60\r\n", "connect.sound=0\r\n", "store.log=1\r\n"})
    EXPECT_NE(Ini.find(Line), std::string::npos) << Line << Ini;
  // This run's lines after the older log.
  std::vector<std::string> Log = TempDir::Lines(Dir.Read("Vintrel.log"));
  ASSERT_EQ(Log.size(), 3u) << Dir.Read("Vintrel.log");
  EXPECT_EQ(Log[0], "an old line");
  EXPECT_EQ(Log[1].rfind("Connected to " + Server.Url() + " - ", 0), 0u) << Log[1];
  EXPECT_EQ(Log[2].rfind("Stopped - ", 0), 0u) << Log[2];
}

TEST(Files, TheEndOfTheSessionKeepsTheRunsLinesAndSettingsAsACloseDoes) {
  LoopbackServer Server;
  TempDir Dir;
  Program Vintrel(Dir.Path());
  // Only some keys set by hand: the end of the run writes all the others.
  Dir.Write("Vintrel.ini", SilentSettings(Server.Url(), 1, true));
  Dir.Write("Vintrel.log", "an older line\r\n");
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 2; }, 10000));
  Server.Down();
  ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 3; }, 10000));

  // Log-off, shut-down or restart: the program is not closed, it is ended
  // once its windows have been told.
  Vintrel.EndSession();
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  std::vector<std::string> Log = TempDir::Lines(Dir.Read("Vintrel.log"));
  ASSERT_EQ(Log.size(), 3u) << Dir.Read("Vintrel.log");
  EXPECT_EQ(Log[0], "an older line");
  EXPECT_EQ(Log[1].rfind("Connected to " + Server.Url() + " - ", 0), 0u) << Log[1];
  EXPECT_EQ(Log[2].rfind("Disconnected - ", 0), 0u) << Log[2];
  const std::string Ini = Dir.Read("Vintrel.ini");
  for (const char* Line : {"timeout=20\r\n", "connect.wav=connect.wav\r\n", "disconnect.wav=disconnect.wav\r\n"})
    EXPECT_NE(Ini.find(Line), std::string::npos) << Line << Ini;
}

TEST(Files, AKeptLineIsOnDiskAsSoonAsItIsLoggedAndALogHeldOpenElsewhereKeepsTheRun) {
  LoopbackServer Server;
  TempDir Dir;
  Dir.Write("Vintrel.ini", SilentSettings(Server.Url(), 60, true));
  Dir.Write("Vintrel.log", "an older line\r\n");
  // A log viewer that follows the file: it shares reading and writing, not
  // deletion, so the file cannot be replaced while it looks.
  HANDLE Viewer = CreateFileA(Dir.File("Vintrel.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Viewer, INVALID_HANDLE_VALUE);
  {
    Program Vintrel(Dir.Path());
    Vintrel.Start();
    HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
    ASSERT_NE(Window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 2; }, 10000));
    PostMessageA(Window, WM_CLOSE, 0, 0);
    // No box: nothing failed.
    ASSERT_TRUE(Vintrel.WaitForExit(15000)) << Vintrel.AnswerBox();
  }
  CloseHandle(Viewer);
  std::vector<std::string> Log = TempDir::Lines(Dir.Read("Vintrel.log"));
  ASSERT_EQ(Log.size(), 2u) << Dir.Read("Vintrel.log");
  EXPECT_EQ(Log[0], "an older line");
  EXPECT_EQ(Log[1].rfind("Connected to " + Server.Url() + " - ", 0), 0u) << Log[1];

  // Killed (Task Manager, a crash, a power cut) right after a line is shown:
  // the line is in the file.
  Program Vintrel(Dir.Path());
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 3; }, 10000));
  // Written by the log's own thread, the moment after it is shown.
  ASSERT_TRUE(WaitUntil([&] { return TempDir::Lines(Dir.Read("Vintrel.log")).size() == 3; }, 10000));
  Vintrel.Kill();
  Log = TempDir::Lines(Dir.Read("Vintrel.log"));
  ASSERT_EQ(Log.size(), 3u) << Dir.Read("Vintrel.log");
  EXPECT_EQ(Log[2].rfind("Connected to " + Server.Url() + " - ", 0), 0u) << Log[2];
}

// A USB stick or a disk that is full, for real: a small disk of its own (a
// tmpfs of 1 MiB), where the machine lets the test make one.
class FullDisk {
 public:
  FullDisk() : FUnix("/tmp/vintrel-full-" + std::to_string(GetCurrentProcessId())), FFolder("Z:" + FUnix + "\\") {
    for (char& C : FFolder)
      if (C == '/') C = '\\';
    vtest::StartUnixShell("mkdir -p " + FUnix + " && mount -t tmpfs -o size=1m,mode=0777 tmpfs " + FUnix +
                          " && touch " + FUnix + "/.mounted");
    FMounted =
        WaitUntil([&] { return GetFileAttributesA((FFolder + ".mounted").c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
  }
  ~FullDisk() {
    if (FMounted) vtest::StartUnixShell("umount -l " + FUnix + " && rmdir " + FUnix);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

  bool Mounted() const { return FMounted; }
  const std::string& Folder() const { return FFolder; }
  // Fills what room is left with a file of its own.
  void Fill() const {
    HANDLE File = CreateFileA((FFolder + "filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::string Block(4096, 'f');
    DWORD Done = 0;
    while (WriteFile(File, Block.data(), static_cast<DWORD>(Block.size()), &Done, nullptr) && Done == Block.size()) {
    }
    CloseHandle(File);
  }

 private:
  const std::string FUnix;
  std::string FFolder;
  bool FMounted = false;
};

TEST(Files, AFullDiskLeavesTheSettingsAsTheyWereAndNoHalfLineInTheLog) {
  FullDisk Disk;
  if (!Disk.Mounted()) GTEST_SKIP() << "no small disk of its own could be made here (mounting a tmpfs needs root)";
  LoopbackServer Server;
  const std::string Folder = Disk.Folder();
  Program Vintrel(Folder);
  // Settings with notes in them, about 4,000 bytes, and a log that ends at
  // the end of a block of the disk: every line would need a block more.
  std::string Ini = SilentSettings(Server.Url(), 1, true);
  while (Ini.size() < 4000) Ini += "; a note the user keeps about these settings\r\n";
  std::string Log = "an older line\r\n";
  Log += std::string(4096 - Log.size() - 2, '.') + "\r\n";
  TempDir::WriteAt(Folder + "Vintrel.ini", Ini);
  TempDir::WriteAt(Folder + "Vintrel.log", Log);
  Disk.Fill();
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  // The log's two lines, then the first probe's.
  ASSERT_TRUE(WaitUntil([&] { return Shown(Window).size() == 3; }, 10000)) << vtest::ChildText(Window, "TMemo");
  PostMessageA(Window, WM_CLOSE, 0, 0);
  // The line had nowhere to go, and the settings file could not be replaced.
  EXPECT_EQ(Vintrel.AnswerBox(), "Cannot write to " + Folder + "Vintrel.log: " + SystemErrorText(ERROR_DISK_FULL) +
                                     ". The lines it could not take could not be kept in " + Folder +
                                     "Vintrel.unkept.log either: " + SystemErrorText(ERROR_DISK_FULL) + ".");
  EXPECT_EQ(Vintrel.AnswerBox(), "Unable to write to " + Folder + "Vintrel.ini.");
  ASSERT_TRUE(Vintrel.WaitForExit(15000)) << Vintrel.AnswerBox();
  // Both as they were, byte for byte, and nothing beside them.
  EXPECT_EQ(TempDir::ReadAt(Folder + "Vintrel.ini"), Ini);
  EXPECT_EQ(TempDir::ReadAt(Folder + "Vintrel.log"), Log);
  WIN32_FIND_DATAA Found;
  HANDLE Find = FindFirstFileA((Folder + "*").c_str(), &Found);
  ASSERT_NE(Find, INVALID_HANDLE_VALUE);
  std::vector<std::string> Names;
  do {
    if (Found.cFileName[0] != '.') Names.push_back(Found.cFileName);
  } while (FindNextFileA(Find, &Found));
  FindClose(Find);
  std::sort(Names.begin(), Names.end());
  EXPECT_EQ(Names, (std::vector<std::string>{"Vintrel.exe", "Vintrel.ini", "Vintrel.log", "filler"}));
}

}  // namespace
