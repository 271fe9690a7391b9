#pragma once
// The user's hand on the virtual display: xdotool started from inside Wine
// (Wine runs Unix programs too), and reading what another process's windows
// show.

#include <windows.h>

#include <string>

namespace vtest {

// Runs "xdotool <Arguments>" and waits until it has finished; false when it
// could not be run.
bool Xdotool(const std::string& Arguments);

// A point as xdotool takes it: "X Y".
std::string At(POINT Point);

// The centre of the first icon of Wine's notification area, in screen
// coordinates; false when there is no such window.
bool FirstTrayIcon(POINT& Point);

// The first child window of that class (showing that text, when given).
HWND FindChild(HWND Parent, const char* ClassName, const std::string* Text = nullptr);

// The text of the first child window of that class (an edit's text, say).
std::string ChildText(HWND Parent, const char* ClassName);

}  // namespace vtest
