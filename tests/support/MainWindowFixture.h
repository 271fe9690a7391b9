#pragma once
// The main window made as the program makes it, with its files in a fresh
// folder and the shell, sounds, shell-open, file dialog and message boxes
// recorded through the platform seam.

#include "tests/support/GdiLedger.h"
#include "tests/support/Pump.h"
#include "tests/support/Seams.h"
#include "tests/support/TempDir.h"
#include "ui/VintrelU.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vtest {

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Recorder::Install();
    Dir.PretendExecutableHere();
    Application->SetTitle("Vintrel");
    // Whatever a test's settings say, no probe leaves this machine.
    Platform().InternetOpenUrlA = LoopbackOnly;
  }
  void TearDown() override { Destroy(); }

  // Starts the window with the address and interval stored in its settings
  // file; the creation handler probes at once.
  void Create(const std::string& URL, const std::string& Interval = "1") {
    Dir.Write("Vintrel.ini", "[config]\r\nurl=" + URL + "\r\ninterval=" + Interval + "\r\n");
    CreateWindowAsIs();
  }
  // Starts the window with whatever files the folder holds.
  void CreateWindowAsIs() {
    Form = new TVintrelF(Application);
    VintrelF = Form;
    Form->AfterConstruction();
  }
  void Destroy() {
    if (!Form) return;
    Form->BeforeDestruction();
    delete Form;
    Form = VintrelF = nullptr;
    PumpFor(50);
  }
  // Waits until the probe in flight has delivered its result.
  bool WaitForProbe(unsigned TimeoutMs = 10000) {
    return PumpUntil([this] { return !Form->inetNotify->Probing(); }, TimeoutMs);
  }
  std::vector<std::string> LogLines() {
    std::vector<std::string> Lines;
    for (int I = 0; I < Form->memoLog->LineCount(); ++I) Lines.push_back(Form->memoLog->Line(I));
    return Lines;
  }
  // The most GDI objects the toolkit held at once (counted through the
  // platform seam from the window's making on) once the window was shown and
  // each of its pages painted in turn; fails the case on a delete of an
  // object still selected. The window is made again for the count.
  long MostGdiObjectsOverEveryPage(const std::string& URL) {
    Destroy();
    GdiLedger::Install();
    Create(URL);
    EXPECT_TRUE(WaitForProbe());
    SendMessageA(Form->trayIcon->WindowHandle(), WM_TRAYICON, 0, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(Form->WindowHandle()));
    long Most = 0;
    for (int Page = 0; Page < Form->nbControls->PageCount(); ++Page) {
      Form->nbControls->SetPageIndex(Page);
      EXPECT_TRUE(RedrawWindow(Form->WindowHandle(), nullptr, nullptr,
                               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN));
      PumpFor(50);
      Most = std::max(Most, GdiLedger::Get().Live());
    }
    EXPECT_EQ(GdiLedger::Get().SelectedDeletes, 0);
    return Most;
  }
  // "<tip> - <date time>"
  static bool IsLogLine(const std::string& Line, const std::string& Tip) {
    return Line.rfind(Tip + " - ", 0) == 0 && Line.size() > Tip.size() + 3;
  }

  static HINTERNET WINAPI LoopbackOnly(HINTERNET Session, LPCSTR URL, LPCSTR Headers, DWORD Length, DWORD Flags,
                                       DWORD_PTR Context) {
    if (std::string(URL).rfind("http://127.0.0.1:", 0) != 0) {
      SetLastError(ERROR_INTERNET_NAME_NOT_RESOLVED);
      return nullptr;
    }
    return ::InternetOpenUrlA(Session, URL, Headers, Length, Flags, Context);
  }

  ScopedPlatform Seam;
  TempDir Dir;
  TVintrelF* Form = nullptr;
};

}  // namespace vtest
