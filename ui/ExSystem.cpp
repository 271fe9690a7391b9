#include "ui/ExSystem.h"

#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Platform.h"

TKVRTrayIcon::TKVRTrayIcon(TComponent* AOwner) : TComponent(AOwner) {
  // A top-level window, not a message-only one: the shell's "TaskbarCreated"
  // broadcast must reach it.
  FWindow = std::make_unique<TUtilityWindow>(TUtilityWindow::TKind::TopLevel,
                                             [this](TMessage& Message) { return HandleMessage(Message); });
  FTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  FDpi = WindowDpi(FWindow->Handle());
}

int TKVRTrayIcon::IconSize() const { return SystemMetricForDpi(SM_CXSMICON, FDpi); }

TKVRTrayIcon::~TKVRTrayIcon() {
  if (FActive) DeleteIcon();
}

void TKVRTrayIcon::SetActive(bool Value) {
  if (Value == FActive) return;
  FActive = Value;
  if (Value)
    AddIcon();
  else
    DeleteIcon();
}

void TKVRTrayIcon::SetIcon(const TIcon* Value) {
  if (Value == &FIcon) return;
  FIcon.Assign(Value);
  // A picture from the resources comes at the shell's size, not stretched
  // to it by the shell.
  FIcon.SetSize(IconSize());
  ModifyIcon();
}

void TKVRTrayIcon::SetToolTip(const std::string& Value) {
  FToolTip = Value.substr(0, MaxToolTipLength);
  ModifyIcon();
}

void TKVRTrayIcon::FillIconData() {
  // The record's first form: every shell accepts it, and its tip field is the
  // 64 bytes that bound the tooltip.
  FIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
  FIconData.hWnd = FWindow->Handle();
  FIconData.uID = 0;
  FIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  FIconData.uCallbackMessage = WM_TRAYICON;
  FIconData.hIcon = FIcon.Handle();
  lstrcpynA(FIconData.szTip, FToolTip.c_str(), sizeof FIconData.szTip);
}

bool TKVRTrayIcon::AddIcon() {
  FillIconData();
  bool Added = Platform().Shell_NotifyIconA(NIM_ADD, &FIconData) != FALSE;
  if (Added) SetVersion();
  // An icon added with an empty tip gets its current picture and tip once the
  // event loop runs.
  if (FToolTip.empty()) PostMessageA(FWindow->Handle(), WM_REFRESHTIP, 0, 0);
  return Added;
}

void TKVRTrayIcon::GiveFocusBack() {
  NOTIFYICONDATAA Data = {};
  Data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  Data.hWnd = FWindow->Handle();
  Data.uID = 0;
  Platform().Shell_NotifyIconA(NIM_SETFOCUS, &Data);
}

void TKVRTrayIcon::SetVersion() {
  // A record of its own: the version lies beyond the first form's 88 bytes,
  // which the other calls keep.
  NOTIFYICONDATAA Data = {};
  Data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  Data.hWnd = FWindow->Handle();
  Data.uID = 0;
  Data.uVersion = NOTIFYICON_VERSION;
  Platform().Shell_NotifyIconA(NIM_SETVERSION, &Data);
}

bool TKVRTrayIcon::ModifyIcon() {
  FillIconData();
  if (!FActive) return true;
  return Platform().Shell_NotifyIconA(NIM_MODIFY, &FIconData) != FALSE;
}

bool TKVRTrayIcon::DeleteIcon() {
  // The shell finds the icon by window and id: no refill.
  return Platform().Shell_NotifyIconA(NIM_DELETE, &FIconData) != FALSE;
}

void TKVRTrayIcon::ShowPopup(bool FromKeyboard) {
  POINT Cursor = {0, 0};
  GetCursorPos(&Cursor);
  // Opened with the menu key, the menu belongs at the icon, not wherever the
  // pointer was left; a shell that cannot tell where the icon is leaves it
  // at the pointer.
  NOTIFYICONIDENTIFIER Identifier = {sizeof Identifier, FWindow->Handle(), 0, {}};
  RECT Icon = {};
  const bool AtIcon = FromKeyboard && SUCCEEDED(Platform().Shell_NotifyIconGetRect(&Identifier, &Icon));
  if (AtIcon) Cursor = {(Icon.left + Icon.right) / 2, (Icon.top + Icon.bottom) / 2};
  if (FPopupMenu) {
    // A menu of a window that is not in the foreground does not close when
    // the user clicks elsewhere.
    SetForegroundWindow(Application->Handle());
    Application->ProcessMessages();
    const bool Chosen = FPopupMenu->Popup(Cursor.x, Cursor.y, Application->Handle(), AtIcon ? &Icon : nullptr);
    // The menu left the hidden window active, and keys typed afterwards
    // would go there, unseen. A shown main window takes the foreground back,
    // and with it the focus where it was; but not from another program whose
    // window the user clicked to close the menu: Windows would let us jump
    // over it, since the menu's capture made us the last to get input.
    HWND Front = GetForegroundWindow();
    DWORD FrontProcess = 0;
    const bool TakenByOther =
        Front && GetWindowThreadProcessId(Front, &FrontProcess) && FrontProcess != GetCurrentProcessId();
    TCustomForm* Main = Application->MainForm();
    // Escape from a menu opened with the keyboard: the shell asks that the
    // focus go back to the notification area, where the user was.
    if (!Destroying() && !TakenByOther) {
      if (FromKeyboard && !Chosen)
        GiveFocusBack();
      else if (Main && Main->HandleAllocated() && IsWindowVisible(Main->WindowHandle()))
        SetForegroundWindow(Main->WindowHandle());
    }
  }
  OnRightClick(this, TMouseButton::mbRight, 0, Cursor.x, Cursor.y);
}

bool TKVRTrayIcon::HandleMessage(TMessage& Message) {
  // While its owner is taken apart the icon still goes away, but nothing the
  // shell sends reaches the owner any more.
  if (Destroying() && (Message.Msg == WM_TRAYICON || Message.Msg == WM_TRAYICON_POSTED || Message.Msg == WM_REFRESHTIP))
    return true;
  // The shell's callbacks and its restart broadcast come from another
  // process, and a thread that waits inside a call to the shell (every
  // change of the icon is one) handles such messages there and then: a click
  // would be handled in the middle of a change of state. Posted back to
  // ourselves, they wait for the message loop like any input.
  const bool FromShell = Message.Msg == WM_TRAYICON || (FTaskbarCreated != 0 && Message.Msg == FTaskbarCreated);
  if (FromShell && InSendMessageEx(nullptr) != ISMEX_NOSEND) {
    PostMessageA(FWindow->Handle(), Message.Msg == WM_TRAYICON ? WM_TRAYICON_POSTED : WM_TASKBARCREATED_POSTED,
                 Message.WParam, Message.LParam);
    return true;
  }
  // Posted back under a number of our own, a callback is handled when it
  // comes, also when a loop inside another sent message dispatches it (a
  // modal box shown there): under the shell's number it would look sent
  // again there, and go round and round.
  if (Message.Msg == WM_TRAYICON_POSTED) Message.Msg = WM_TRAYICON;
  if (Message.Msg == WM_TASKBARCREATED_POSTED) {
    if (FTaskbarCreated == 0) return true;
    Message.Msg = FTaskbarCreated;
  }
  switch (Message.Msg) {
    case WM_REFRESHTIP:
      SetToolTip(FToolTip);
      return true;
    case WM_TRAYICON:
      switch (Message.LParam) {
        case WM_LBUTTONDOWN:
          FDoubleClicked = false;
          break;
        case WM_LBUTTONUP:
          // The shell reports a double click as release, double click,
          // release. That is one gesture: its second release is no click, or
          // a double click would toggle twice over.
          if (FDoubleClicked)
            FDoubleClicked = false;
          else
            OnClick(this);
          break;
        case WM_LBUTTONDBLCLK:
          FDoubleClicked = true;
          OnDblClick(this);
          break;
        case WM_RBUTTONDOWN:
          FMouseMenu = false;
          break;
        case WM_RBUTTONUP:
          FMouseMenu = true;
          ShowPopup(false);
          break;
        case WM_CONTEXTMENU:
          // Under version 3 the right button's release is followed by this
          // too: that menu is open already. Alone, it is the menu key.
          if (FMouseMenu)
            FMouseMenu = false;
          else
            ShowPopup(true);
          break;
        case NIN_KEYSELECT:
          OnKeySelect(this);
          break;
        default:
          break;
      }
      return true;
    case WM_DPICHANGED:
      // The display's scale changed: the shell now asks for icons of another
      // size, which the picture's resource has drawn.
      FDpi = LOWORD(Message.WParam);
      if (FIcon.Size() != IconSize()) {
        FIcon.SetSize(IconSize());
        ModifyIcon();
      }
      return true;
    default:
      // After the shell restarts, its notification area is empty: without the
      // icon the hidden program could not be reached at all. It may have
      // restarted for a new display scale.
      if (FTaskbarCreated != 0 && Message.Msg == FTaskbarCreated) {
        FDpi = WindowDpi(FWindow->Handle());
        FIcon.SetSize(IconSize());
        if (FActive) AddIcon();
        return true;
      }
      return false;
  }
}
