// The real program under Wine: started as a user starts it, against a
// loopback server named in its settings file.

#include "tests/support/LoopbackServer.h"
#include "tests/support/Program.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <shlwapi.h>
#include <xmllite.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using vtest::Answer;
using vtest::LoopbackServer;
using vtest::Program;
using vtest::TempDir;

void WriteSettings(const TempDir& Dir, const std::string& URL) {
  Dir.Write("Vintrel.ini", "[config]\r\nurl=" + URL + "\r\ninterval=60\r\n");
}

// How long the window takes to answer a message, or -1 when it does not
// within the limit.
long AnswerTimeMs(HWND Window, UINT LimitMs) {
  DWORD_PTR Result = 0;
  ULONGLONG Start = GetTickCount64();
  if (!SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, LimitMs, &Result)) return -1;
  return static_cast<long>(GetTickCount64() - Start);
}

// The names of the modules loaded in a process, in lower case.
std::set<std::string> LoadedModules(DWORD ProcessId) {
  std::set<std::string> Names;
  HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, ProcessId);
  if (Snapshot == INVALID_HANDLE_VALUE) return Names;
  MODULEENTRY32 Entry = {};
  Entry.dwSize = sizeof Entry;
  for (BOOL More = Module32First(Snapshot, &Entry); More; More = Module32Next(Snapshot, &Entry)) {
    std::string Name = Entry.szModule;
    for (char& C : Name) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    Names.insert(Name);
  }
  EXPECT_TRUE(CloseHandle(Snapshot));
  return Names;
}

TEST(Startup, StartsHiddenProbesAtOnceAndClosesWithExitCodeZero) {
  TempDir Dir;
  LoopbackServer Server;
  WriteSettings(Dir, Server.Url("/start"));
  Program Vintrel(Dir.Path());
  Vintrel.Start();

  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  // The first probe does not wait for the 60-second interval.
  ASSERT_TRUE(Server.WaitForRequests(1, 10000));
  EXPECT_EQ(Server.Requests()[0].RequestLine, "GET /start HTTP/1.1");
  EXPECT_EQ(Server.Requests()[0].UserAgent, "TKVRINetNotify");
  EXPECT_FALSE(IsWindowVisible(Window));
  // The hidden application window carries the title.
  HWND AppWindow = Vintrel.WaitForWindow("TApplication", 1000);
  ASSERT_NE(AppWindow, nullptr);
  char Title[64] = "";
  GetWindowTextA(AppWindow, Title, sizeof Title);
  EXPECT_STREQ(Title, "Vintrel");
  EXPECT_FALSE(IsWindowVisible(AppWindow));
  // A run that opened no file dialog, played no sound and met no screen
  // reader loaded none of their libraries. The COM libraries are checked
  // only under Wine: Windows' own shell library may load them itself.
  const std::set<std::string> Modules = LoadedModules(Vintrel.ProcessId());
  ASSERT_TRUE(Modules.count("vintrel.exe")) << Modules.size() << " modules";
  const bool Wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  const std::pair<const char*, bool> Late[] = {
      {"comdlg32.dll", true}, {"winmm.dll", true}, {"oleacc.dll", true}, {"ole32.dll", Wine}, {"oleaut32.dll", Wine}};
  for (const auto& [Name, Checked] : Late)
    if (Checked) {
      EXPECT_FALSE(Modules.count(Name)) << Name;
    }

  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
}

TEST(Startup, TheWindowAnswersWhileTheServerHangsAndClosingDoesNotWaitForTheProbe) {
  TempDir Dir;
  LoopbackServer Server;
  Server.SetAnswer(Answer::Hang);
  WriteSettings(Dir, Server.Url());
  Program Vintrel(Dir.Path());
  Vintrel.Start();
  HWND Window = Vintrel.WaitForWindow("TVintrelF", 15000);
  ASSERT_NE(Window, nullptr);
  ASSERT_TRUE(Server.WaitForHung(1, 10000));

  // It answers while the probe hangs (how fast: scripts/bench, "Window
  // answer times"); a window held by the probe would not within 5 s.
  long Slowest = 0;
  for (int I = 0; I < 20; ++I) {
    long Time = AnswerTimeMs(Window, 5000);
    ASSERT_GE(Time, 0) << "no answer while the probe hangs";
    Slowest = std::max(Slowest, Time);
    Sleep(25);
  }
  RecordProperty("SlowestAnswerMs", static_cast<int>(Slowest));

  ULONGLONG Start = GetTickCount64();
  PostMessageA(Window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Vintrel.WaitForExit(15000));
  EXPECT_EQ(Vintrel.ExitCode(), 0u);
  RecordProperty("ExitMs", static_cast<int>(GetTickCount64() - Start));
}

// An XML text as "element/element@attribute=value" and "element/element=text"
// lines, each element named by its namespace's short name here and its local
// name, read with the system's own XML reader (xmllite.dll, since Vista).
std::vector<std::string> XmlFacts(const std::string& Xml) {
  const std::pair<std::wstring, std::string> Short[] = {
      {L"urn:schemas-microsoft-com:asm.v1", "asm1"},
      {L"urn:schemas-microsoft-com:asm.v3", "asm3"},
      {L"urn:schemas-microsoft-com:compatibility.v1", "compat"},
      {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", "ws2005"},
      {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", "ws2016"}};
  auto Narrow = [](const WCHAR* Text) { return std::string(Text, Text + lstrlenW(Text)); };
  auto NameOf = [&](IXmlReader* Reader) {
    const WCHAR *Namespace = L"", *Local = L"";
    Reader->GetNamespaceUri(&Namespace, nullptr);
    Reader->GetLocalName(&Local, nullptr);
    for (const auto& [Uri, Name] : Short)
      if (Uri == Namespace) return Name + ":" + Narrow(Local);
    return "{" + Narrow(Namespace) + "}" + Narrow(Local);
  };
  std::vector<std::string> Facts;
  using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
  HMODULE Library = LoadLibraryA("xmllite.dll");
  auto Create =
      Library ? reinterpret_cast<CreateReader>(reinterpret_cast<void*>(GetProcAddress(Library, "CreateXmlReader")))
              : nullptr;
  IXmlReader* Reader = nullptr;
  IStream* Stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(Xml.data()), static_cast<UINT>(Xml.size()));
  if (Create && Stream && SUCCEEDED(Create(__uuidof(IXmlReader), reinterpret_cast<void**>(&Reader), nullptr)) &&
      SUCCEEDED(Reader->SetInput(Stream))) {
    std::vector<std::string> Open;
    XmlNodeType Type;
    while (Reader->Read(&Type) == S_OK) {
      if (Type == XmlNodeType_Element) {
        const std::string Path = (Open.empty() ? "" : Open.back() + "/") + NameOf(Reader);
        const bool Empty = Reader->IsEmptyElement();
        for (HRESULT More = Reader->MoveToFirstAttribute(); More == S_OK; More = Reader->MoveToNextAttribute()) {
          const WCHAR* Value = L"";
          Reader->GetValue(&Value, nullptr);
          if (Reader->IsDefault() || NameOf(Reader).rfind("{http://www.w3.org/2000/xmlns/}", 0) == 0) continue;
          Facts.push_back(Path + "@" + NameOf(Reader).substr(NameOf(Reader).find('}') + 1) + "=" + Narrow(Value));
        }
        if (!Empty) Open.push_back(Path);
      } else if (Type == XmlNodeType_EndElement && !Open.empty()) {
        Open.pop_back();
      } else if (Type == XmlNodeType_Text && !Open.empty()) {
        const WCHAR* Value = L"";
        Reader->GetValue(&Value, nullptr);
        Facts.push_back(Open.back() + "=" + Narrow(Value));
      }
    }
  }
  if (Reader) Reader->Release();
  if (Stream) Stream->Release();
  if (Library) FreeLibrary(Library);
  return Facts;
}

// The manifest the loader reads, resource 1 of type RT_MANIFEST: the program
// runs with the rights of the user who starts it, is known to the systems
// from Windows 7 to 11, lays itself out per monitor (version 2 first), takes
// paths longer than MAX_PATH where the system allows them, and asks for no
// visual styles.
TEST(Startup, TheProgramCarriesItsManifestAndTheLoaderTakesItsDpiAwareness) {
  TempDir Dir;
  Program Copy(Dir.Path());  // the built program, copied there
  HMODULE Exe = LoadLibraryExA((Dir.Path() + "Vintrel.exe").c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(Exe, nullptr);
  HRSRC Found = FindResourceA(Exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  HGLOBAL Loaded = Found ? LoadResource(Exe, Found) : nullptr;
  const char* Data = Loaded ? static_cast<const char*>(LockResource(Loaded)) : nullptr;
  const std::string Manifest = Data ? std::string(Data, SizeofResource(Exe, Found)) : std::string();
  EXPECT_TRUE(FreeLibrary(Exe));
  ASSERT_FALSE(Manifest.empty()) << "no manifest";
  // Its entries as the system's XML reader finds them, with figures of their
  // own: a manifest that Windows would read differently (another namespace,
  // another element, a stray attribute value) fails.
  const std::vector<std::string> Facts = XmlFacts(Manifest);
  ASSERT_FALSE(Facts.empty()) << "not read as XML";
  const std::string Trust = "asm1:assembly/asm3:trustInfo/asm3:security/asm3:requestedPrivileges/",
                    Os = "asm1:assembly/compat:compatibility/compat:application/compat:supportedOS@Id=",
                    Settings = "asm1:assembly/asm3:application/asm3:windowsSettings/";
  for (const std::string& Declared : {
           Trust + "asm3:requestedExecutionLevel@level=asInvoker",
           Trust + "asm3:requestedExecutionLevel@uiAccess=false",
           Os + "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
           Os + "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
           Os + "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
           Os + "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
           Settings + "ws2005:dpiAware=true/pm",
           Settings + "ws2016:dpiAwareness=PerMonitorV2, PerMonitor",
           Settings + "ws2016:longPathAware=true",
       })
    EXPECT_NE(std::find(Facts.begin(), Facts.end(), Declared), Facts.end()) << Declared;
  for (const std::string& Fact : Facts) EXPECT_EQ(Fact.find("Common-Controls"), std::string::npos) << Fact;

  // This test program carries the same resources: the loader made it
  // per-monitor aware (where the system can say so).
  using ContextOf = HANDLE(WINAPI*)();  // a DPI_AWARENESS_CONTEXT
  using AwarenessOf = int(WINAPI*)(HANDLE);
  HMODULE User = GetModuleHandleA("user32.dll");
  auto Context =
      reinterpret_cast<ContextOf>(reinterpret_cast<void*>(GetProcAddress(User, "GetThreadDpiAwarenessContext")));
  auto Awareness = reinterpret_cast<AwarenessOf>(
      reinterpret_cast<void*>(GetProcAddress(User, "GetAwarenessFromDpiAwarenessContext")));
  if (Context && Awareness) {
    EXPECT_EQ(Awareness(Context()), 2);  // DPI_AWARENESS_PER_MONITOR_AWARE
  }
}

}  // namespace
