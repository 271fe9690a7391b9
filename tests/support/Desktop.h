#pragma once
// The user's hand on the virtual display: xdotool started from inside Wine
// (Wine runs Unix programs too), and reading what another process's windows
// show.

#include <windows.h>

#include <string>
#include <vector>

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

// What a screen reader finds in a window: its client object and, depth
// first, every object and element under it (through AccessibleChildren, in
// this process or across processes).
struct AccessibleNode {
  std::string Name;
  long Role = 0;
  long State = 0;
  std::string DefaultAction;
  std::string Shortcut;
  std::vector<AccessibleNode> Children;

  // The first node of that name at any depth (this one included), or none.
  const AccessibleNode* Find(const std::string& Wanted) const;
  // One line per node, indented by depth: name, role as the system words it,
  // and the states selected, pressed, checked, unavailable, invisible, focused.
  std::string Dump(int Depth = 0) const;
};
AccessibleNode AccessibleTree(HWND Window);

// Runs the default action of the first object or element of that name in
// the window, as a screen reader does; false when there is none or it refused.
bool DoDefaultAction(HWND Window, const std::string& Name);
// accSelect with those flags on the first object or element of that name;
// false when there is none or it refused.
bool Select(HWND Window, const std::string& Name, long Flags);

}  // namespace vtest
