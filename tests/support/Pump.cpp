#include "tests/support/Pump.h"

#include "toolkit/Application.h"

#include <windows.h>

namespace vtest {

bool PumpUntil(const std::function<bool()>& Done, unsigned TimeoutMs) {
  const ULONGLONG Deadline = GetTickCount64() + TimeoutMs;
  for (;;) {
    Application->ProcessMessages();
    if (Done()) return true;
    ULONGLONG Now = GetTickCount64();
    if (Now >= Deadline) return false;
    DWORD Wait = static_cast<DWORD>(Deadline - Now);
    // Wake for any message, sent ones from a worker included.
    MsgWaitForMultipleObjectsEx(0, nullptr, Wait < 20 ? Wait : 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void PumpFor(unsigned DurationMs) {
  PumpUntil([] { return false; }, DurationMs);
}

}  // namespace vtest
