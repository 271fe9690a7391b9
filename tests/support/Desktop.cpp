#include "tests/support/Desktop.h"

#include "tests/support/Program.h"

#include <oleacc.h>

#include <functional>

namespace vtest {

bool Xdotool(const std::string& Arguments) {
  // Wine hands back no handle for a Unix process, so there is nothing to wait
  // on: the command touches a marker file when it is done, and that is what
  // is waited for (Wine's drive Z: is the Unix root).
  static int Count = 0;
  const std::string Marker =
      "/tmp/vintrel-xdotool-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++Count);
  std::string MarkerSeenFromWine = "Z:" + Marker;
  for (char& C : MarkerSeenFromWine)
    if (C == '/') C = '\\';
  if (!StartUnixShell("/usr/bin/xdotool " + Arguments + "; touch " + Marker)) return false;
  bool Done =
      WaitUntil([&] { return GetFileAttributesA(MarkerSeenFromWine.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000);
  DeleteFileA(MarkerSeenFromWine.c_str());
  return Done;
}

std::string At(POINT Point) { return std::to_string(Point.x) + " " + std::to_string(Point.y); }

bool FirstTrayIcon(POINT& Point) {
  HWND Tray = FindWindowA(nullptr, "Wine System Tray");
  if (!Tray) return false;
  // Icons sit in the client area from its top-left corner, 20 pixels apart.
  Point = {10, 10};
  return ClientToScreen(Tray, &Point) != FALSE;
}

namespace {

// WM_GETTEXT is marshalled across processes for any window.
std::string WindowText(HWND Window) {
  LRESULT Length = SendMessageA(Window, WM_GETTEXTLENGTH, 0, 0);
  std::string Text(static_cast<size_t>(Length) + 1, '\0');
  Length = SendMessageA(Window, WM_GETTEXT, Text.size(), reinterpret_cast<LPARAM>(Text.data()));
  Text.resize(static_cast<size_t>(Length));
  return Text;
}

}  // namespace

HWND FindChild(HWND Parent, const char* ClassName, const std::string* Text) {
  struct Search {
    const char* ClassName;
    const std::string* Text;
    HWND Found;
  } S = {ClassName, Text, nullptr};
  EnumChildWindows(
      Parent,
      [](HWND Wnd, LPARAM Parameter) {
        auto* Find = reinterpret_cast<Search*>(Parameter);
        char Class[64] = "";
        GetClassNameA(Wnd, Class, sizeof Class);
        if (lstrcmpA(Class, Find->ClassName) != 0 || (Find->Text && WindowText(Wnd) != *Find->Text)) return TRUE;
        Find->Found = Wnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&S));
  return S.Found;
}

std::string ChildText(HWND Parent, const char* ClassName) {
  HWND Child = FindChild(Parent, ClassName);
  return Child ? WindowText(Child) : std::string();
}

namespace {

// The interface's id as the system knows it, spelled out: a toolchain's
// import library may hold another copy, or none.
const IID IidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::string Narrow(BSTR Text) {
  if (!Text) return {};
  const int Length =
      WideCharToMultiByte(CP_ACP, 0, Text, static_cast<int>(SysStringLen(Text)), nullptr, 0, nullptr, nullptr);
  std::string Result(static_cast<size_t>(Length), '\0');
  WideCharToMultiByte(CP_ACP, 0, Text, static_cast<int>(SysStringLen(Text)), Result.data(), Length, nullptr, nullptr);
  SysFreeString(Text);
  return Result;
}

VARIANT Id(long Child) {
  VARIANT V;
  VariantInit(&V);
  V.vt = VT_I4;
  V.lVal = Child;
  return V;
}

IAccessible* ClientObject(HWND Window) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IAccessible* Object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(Window, static_cast<DWORD>(OBJID_CLIENT), IidAccessible,
                                        reinterpret_cast<void**>(&Object))))
    return nullptr;
  return Object;
}

AccessibleNode Describe(IAccessible* Object, long Child) {
  AccessibleNode Node;
  BSTR Text = nullptr;
  if (Object->get_accName(Id(Child), &Text) == S_OK) Node.Name = Narrow(Text);
  Text = nullptr;
  if (Object->get_accDefaultAction(Id(Child), &Text) == S_OK) Node.DefaultAction = Narrow(Text);
  Text = nullptr;
  if (Object->get_accKeyboardShortcut(Id(Child), &Text) == S_OK) Node.Shortcut = Narrow(Text);
  VARIANT Value;
  VariantInit(&Value);
  if (SUCCEEDED(Object->get_accRole(Id(Child), &Value)) && Value.vt == VT_I4) Node.Role = Value.lVal;
  VariantClear(&Value);
  if (SUCCEEDED(Object->get_accState(Id(Child), &Value)) && Value.vt == VT_I4) Node.State = Value.lVal;
  VariantClear(&Value);
  return Node;
}

// Visits every object and element depth first until Visit returns true.
bool Walk(IAccessible* Object, AccessibleNode& Node,
          const std::function<bool(IAccessible*, long, const AccessibleNode&)>& Visit) {
  Node = Describe(Object, CHILDID_SELF);
  if (Visit(Object, CHILDID_SELF, Node)) return true;
  long Count = 0;
  if (FAILED(Object->get_accChildCount(&Count)) || Count <= 0) return false;
  std::vector<VARIANT> Children(static_cast<size_t>(Count));
  long Obtained = 0;
  if (FAILED(AccessibleChildren(Object, 0, Count, Children.data(), &Obtained))) return false;
  bool Done = false;
  for (long I = 0; I < Obtained; ++I) {
    VARIANT& Child = Children[static_cast<size_t>(I)];
    if (!Done && Child.vt == VT_DISPATCH && Child.pdispVal) {
      IAccessible* Inner = nullptr;
      if (SUCCEEDED(Child.pdispVal->QueryInterface(IidAccessible, reinterpret_cast<void**>(&Inner)))) {
        Node.Children.emplace_back();
        Done = Walk(Inner, Node.Children.back(), Visit);
        Inner->Release();
      }
    } else if (!Done && Child.vt == VT_I4) {
      Node.Children.push_back(Describe(Object, Child.lVal));
      Done = Visit(Object, Child.lVal, Node.Children.back());
    }
    VariantClear(&Child);
  }
  return Done;
}

}  // namespace

const AccessibleNode* AccessibleNode::Find(const std::string& Wanted) const {
  if (Name == Wanted) return this;
  for (const AccessibleNode& Child : Children)
    if (const AccessibleNode* Found = Child.Find(Wanted)) return Found;
  return nullptr;
}

std::string AccessibleNode::Dump(int Depth) const {
  char Role[64] = "";
  GetRoleTextA(static_cast<DWORD>(this->Role), Role, sizeof Role);
  std::string Line = std::string(static_cast<size_t>(Depth) * 2, ' ') + "\"" + Name + "\" " + Role;
  const std::pair<long, const char*> States[] = {
      {STATE_SYSTEM_SELECTED, "selected"},   {STATE_SYSTEM_PRESSED, "pressed"},
      {STATE_SYSTEM_CHECKED, "checked"},     {STATE_SYSTEM_UNAVAILABLE, "unavailable"},
      {STATE_SYSTEM_INVISIBLE, "invisible"}, {STATE_SYSTEM_FOCUSED, "focused"}};
  for (const auto& [Bit, Word] : States)
    if (State & Bit) Line += std::string(", ") + Word;
  if (!DefaultAction.empty()) Line += " [" + DefaultAction + "]";
  if (!Shortcut.empty()) Line += " (" + Shortcut + ")";
  Line += "\n";
  for (const AccessibleNode& Child : Children) Line += Child.Dump(Depth + 1);
  return Line;
}

AccessibleNode AccessibleTree(HWND Window) {
  AccessibleNode Root;
  if (IAccessible* Object = ClientObject(Window)) {
    Walk(Object, Root, [](IAccessible*, long, const AccessibleNode&) { return false; });
    Object->Release();
  }
  return Root;
}

namespace {

// Calls Act on the first object or element of that name; false when there is
// none or it failed.
bool ActOn(HWND Window, const std::string& Name, const std::function<HRESULT(IAccessible*, VARIANT)>& Act) {
  IAccessible* Object = ClientObject(Window);
  if (!Object) return false;
  AccessibleNode Root;
  bool Done = false;
  Walk(Object, Root, [&](IAccessible* Owner, long Child, const AccessibleNode& Node) {
    if (Node.Name != Name) return false;
    Done = SUCCEEDED(Act(Owner, Id(Child)));
    return true;
  });
  Object->Release();
  return Done;
}

}  // namespace

bool DoDefaultAction(HWND Window, const std::string& Name) {
  return ActOn(Window, Name, [](IAccessible* Owner, VARIANT Child) { return Owner->accDoDefaultAction(Child); });
}

bool Select(HWND Window, const std::string& Name, long Flags) {
  return ActOn(Window, Name, [Flags](IAccessible* Owner, VARIANT Child) { return Owner->accSelect(Flags, Child); });
}

}  // namespace vtest
