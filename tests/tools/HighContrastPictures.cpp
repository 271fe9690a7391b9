// Not a check: the README's picture of the window in a high-contrast scheme,
// which "scripts/screenshots --high-contrast" takes. Wine has no such
// setting: it comes from the seam, and the scheme's colours (white on black,
// as Windows' "High Contrast Black" has them) from SetSysColors, which are
// put back at the end. Writes state.bmp, config.bmp, sound.bmp and about.bmp
// into the folder named on the command line.

#include "tests/support/LoopbackServer.h"
#include "tests/support/Picture.h"
#include "tests/support/Pump.h"
#include "tests/support/Seams.h"
#include "tests/support/TempDir.h"
#include "toolkit/Application.h"
#include "toolkit/Graphics.h"
#include "ui/VintrelU.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using vtest::PumpFor;

BOOL WINAPI HighContrastOn(UINT Action, UINT Param, PVOID Data, UINT Flags) {
  if (Action != SPI_GETHIGHCONTRAST) return ::SystemParametersInfoA(Action, Param, Data, Flags);
  static_cast<HIGHCONTRASTA*>(Data)->dwFlags = HCF_HIGHCONTRASTON;
  return TRUE;
}

// A left click as the mouse makes it, at a point of a control's parent window.
void ClickAt(TControl* Control) {
  HWND Parent = Control->Parent()->Handle();
  LPARAM Point = MAKELPARAM(Control->Left() + 2, Control->Top() + 2);
  SendMessageA(Parent, WM_MOUSEMOVE, 0, Point);
  SendMessageA(Parent, WM_LBUTTONDOWN, MK_LBUTTON, Point);
  SendMessageA(Parent, WM_LBUTTONUP, 0, Point);
}

// The system colours of the scheme, put back when this goes.
class Scheme {
 public:
  Scheme() {
    const COLORREF White = RGB(255, 255, 255), Black = RGB(0, 0, 0), Purple = RGB(128, 0, 128);
    const COLORREF Colors[] = {Black,         White,
                               Black,         White,
                               Purple,        White,
                               Purple,        White,
                               White,         RGB(128, 128, 128),
                               White,         RGB(192, 192, 192),
                               RGB(0, 255, 0)};
    for (int Element : Elements) FSaved.push_back(GetSysColor(Element));
    FSet = SetSysColors(Count, Elements, Colors) != FALSE;
  }
  ~Scheme() {
    if (FSet) SetSysColors(Count, Elements, FSaved.data());
    SetHighContrast(false);
  }
  Scheme(const Scheme&) = delete;
  Scheme& operator=(const Scheme&) = delete;
  bool Set() const { return FSet; }

 private:
  static constexpr int Count = 13;
  static constexpr int Elements[Count] = {
      COLOR_BTNFACE,       COLOR_BTNTEXT,       COLOR_WINDOW,      COLOR_WINDOWTEXT,   COLOR_HIGHLIGHT,
      COLOR_HIGHLIGHTTEXT, COLOR_ACTIVECAPTION, COLOR_CAPTIONTEXT, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW,
      COLOR_3DDKSHADOW,    COLOR_3DLIGHT,       COLOR_GRAYTEXT};
  std::vector<COLORREF> FSaved;
  bool FSet = false;
};

bool TakePictures(const std::string& Folder) {
  vtest::ScopedPlatform Seam;
  vtest::Recorder::Install();
  Platform().SystemParametersInfoA = HighContrastOn;
  vtest::TempDir Dir;
  Dir.PretendExecutableHere();
  Application->SetTitle("Vintrel");
  vtest::LoopbackServer Server;
  Dir.Write("Vintrel.ini", "[config]\r\nurl=" + Server.Url() + "\r\ninterval=1\r\n");
  Scheme HighContrast;
  if (!HighContrast.Set()) return false;
  auto* Form = new TVintrelF(Application);
  VintrelF = Form;
  Form->AfterConstruction();
  bool Written = vtest::PumpUntil([&] { return !Form->inetNotify->Probing(); }, 10000);
  SendMessageA(Application->Handle(), WM_SYSCOLORCHANGE, 0, 0);
  SendMessageA(Form->trayIcon->WindowHandle(), WM_TRAYICON, 0, WM_LBUTTONUP);
  auto Shoot = [&](const char* Name) {
    PumpFor(300);
    RedrawWindow(Form->WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpFor(300);
    RECT R;
    GetWindowRect(Form->WindowHandle(), &R);
    vtest::Picture Shot(R.right - R.left, R.bottom - R.top);
    Shot.CopyScreen(R.left, R.top);
    const bool Saved = Shot.SaveBmp(Folder + "\\" + Name + ".bmp");
    if (!Saved) std::fprintf(stderr, "cannot write %s.bmp\n", Name);
    Written = Written && Saved;
  };
  Shoot("state");
  ClickAt(Form->sbtnStart);  // Stop: the configuration unlocks
  ClickAt(Form->sbtnConfig);
  Shoot("config");
  ClickAt(Form->sbtnSound);
  Shoot("sound");
  ClickAt(Form->sbtnAbout);
  Shoot("about");
  Form->BeforeDestruction();
  delete Form;
  VintrelF = nullptr;
  PumpFor(50);
  return Written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: high_contrast_pictures FOLDER\n");
    return 2;
  }
  ToolkitStartup();
  const bool Written = TakePictures(argv[1]);
  ToolkitCleanup();
  return Written ? 0 : 1;
}
