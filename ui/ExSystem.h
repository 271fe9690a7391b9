#pragma once
// The notification-area icon: one icon with a tooltip, kept through
// Shell_NotifyIconA, whose mouse callbacks become events and a pop-up menu.

#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "toolkit/Menus.h"
#include "toolkit/Window.h"

#include <shellapi.h>

#include <memory>
#include <string>

constexpr UINT WM_TRAYICON = WM_USER + 1;    // the shell's callbacks
constexpr UINT WM_REFRESHTIP = WM_USER + 2;  // posted to ourselves
// The shell's callback and its restart broadcast, posted back to ourselves
// under numbers of our own (see HandleMessage).
constexpr UINT WM_TRAYICON_POSTED = WM_USER + 3;
constexpr UINT WM_TASKBARCREATED_POSTED = WM_USER + 4;

// The longest tooltip: the shell's field holds 64 bytes.
constexpr size_t MaxToolTipLength = 62;

class TKVRTrayIcon : public TComponent {
 public:
  explicit TKVRTrayIcon(TComponent* AOwner);
  ~TKVRTrayIcon() override;

  bool Active() const { return FActive; }
  void SetActive(bool Value);

  // The component's own picture. Loading an image straight into it makes no
  // shell call; SetIcon copies another picture and updates the shell.
  TIcon& Icon() { return FIcon; }
  void SetIcon(const TIcon* Value);
  // Loads an icon resource straight into the picture, at the shell's size.
  void LoadIcon(const char* Resource) { FIcon.LoadFromResource(Resource, IconSize()); }
  // The size of the shell's small icons at the DPI of the notification area:
  // 16 pixels at 96 DPI, 24 at 144.
  int IconSize() const;
  const std::string& ToolTip() const { return FToolTip; }
  // Cut to 62 characters, stored and sent to the shell, even when unchanged.
  void SetToolTip(const std::string& Value);

  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value) { FPopupMenu = Value; }

  // The hidden window that receives the shell's callbacks.
  HWND WindowHandle() const { return FWindow->Handle(); }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnRightClick;
  // The icon chosen with the keyboard (Win+B, the arrows, then Enter or
  // Space). The menu key and Shift+F10 open the menu as the right button does.
  TNotifyEvent OnKeySelect;

 protected:
  // The icon leaves the notification area as soon as its owner's end
  // begins: at the end of a session the owner is not freed before the
  // process ends, and an icon left behind stays until the mouse passes it.
  void DestructionBegun() override { SetActive(false); }

 private:
  void FillIconData();
  bool AddIcon();
  bool ModifyIcon();
  bool DeleteIcon();
  // Asks for the shell's version 3 behaviour, under which the keyboard
  // reaches the icon; the mouse messages stay as they are.
  void SetVersion();
  // Hands the keyboard focus back to the notification area (NIM_SETFOCUS).
  void GiveFocusBack();
  // Opens the menu at the pointer, or, opened from the keyboard, at the
  // icon; a keyboard user who leaves it without a choice gets the focus
  // back in the notification area.
  void ShowPopup(bool FromKeyboard);
  bool HandleMessage(TMessage& Message);

  NOTIFYICONDATAA FIconData = {};
  TIcon FIcon;
  std::string FToolTip;
  std::unique_ptr<TUtilityWindow> FWindow;
  bool FActive = false;
  TPopupMenu* FPopupMenu = nullptr;  // not owned
  UINT FTaskbarCreated = 0;
  bool FDoubleClicked = false;  // the release that ends a double click is due
  bool FMouseMenu = false;      // the right button opened the menu: its WM_CONTEXTMENU is due
  int FDpi;                     // of the hidden window, and so of the notification area
};
