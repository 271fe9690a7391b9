// The program's entry point: the units' start-up in order, the main window,
// the event loop, and the way down in reverse order.

#include "app/OneInstanceU.h"
#include "toolkit/Application.h"
#include "ui/VintrelU.h"

#include <cstdlib>
#include <exception>

#if defined(__GLIBCXX__)
// The GNU C++ library's handler for an error nobody catches names the error's
// type on the standard error stream, which a program without a console does
// not have; it brings the library's name demangler and the C runtime's own
// printf with it, a fifth of the program. Here it only ends the process, as
// that handler does once it has written. (Every error the program raises is
// caught and shown by the event loop; this is for what escapes a thread.)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Unit start-up, in order: the toolkit makes the application object (its
  // hidden window carries the title derived from the executable's name); the
  // single-instance guard comes last. A later copy has shown its message and
  // asked to quit by now, and still goes through the whole sequence.
  ToolkitStartup();
  try {
    OneInstanceStartup();
  } catch (...) {
    Application->HandleException(std::current_exception());
  }

  try {
    Application->Initialize();
    // The window is reached through the notification-area icon and shown on
    // demand, never when the loop starts.
    Application->SetShowMainForm(false);
    Application->SetTitle("Vintrel");
    Application->CreateForm(VintrelF);
    // Windows brings the program back after a restart for an update, where
    // the user asked it to restore programs: as it was started, with no
    // command line. Not after a crash or a hang, which a restart would only
    // repeat. (Windows takes it only from a program that has run for a
    // minute; a copy that found another running ends before it counts.)
    RegisterApplicationRestart(nullptr, RESTART_NO_CRASH | RESTART_NO_HANG);
    Application->Run();
  } catch (...) {
    Application->HandleException(std::current_exception());
  }

  // The main window goes first, with its destroy handler; then the units'
  // clean-up in reverse order, the toolkit's last.
  Application->DestroyForms();
  VintrelF = nullptr;
  OneInstanceCleanup();
  ToolkitCleanup();
  return 0;
}
