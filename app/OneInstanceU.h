#pragma once
// The single-instance guard. A named mutex tells a new start that a copy is
// running; a registered window message, broadcast by that new start, asks the
// running copy to bring its main window forward. Both carry the instance
// name, which is derived from the executable's file name.

#include <windows.h>

#include <string>

// Settings of the unit, to be set before its start-up; the program leaves
// them as they are.
extern std::string InstanceName;         // empty: the application's title at start-up
extern std::string InstanceMessageText;  // "%s" receives the instance name
extern bool ShowInstanceMessage;

// State of the unit.
extern UINT InstanceMessage;  // the registered message
extern HANDLE InstanceMutex;  // created by a first copy, opened by a later one
extern WNDPROC OldWndProc;    // the application window's procedure before the hook
extern DWORD InstanceStatus;  // set-up failures, see below

constexpr DWORD isHookFailed = 1;   // the window procedure could not be replaced
constexpr DWORD isMutexFailed = 2;  // the mutex could not be created

// Start-up and clean-up of the unit; each runs at most once per process.
void OneInstanceStartup();
void OneInstanceCleanup();

// Decides between a first copy and a later one.
void CheckInstance();
// Hooks the application window, then creates the mutex.
void SetupFirstInstance();
// Installs InstanceWndProc on the application window.
void HookApplicationWindow();
// A later copy: the main window is kept from showing, the running copy is
// woken (when Broadcast), and the application asked to quit.
void ExitSecondInstance(bool Broadcast);
// The application window's procedure while hooked.
LRESULT CALLBACK InstanceWndProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
// Brings a window to the foreground; true when the system accepted it.
bool ForceForeground(HWND Window);
