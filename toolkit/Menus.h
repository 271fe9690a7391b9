#pragma once
// Pop-up menus and their items.

#include "toolkit/Classes.h"

#include <windows.h>

#include <string>
#include <vector>

class TMenuItem : public TComponent {
 public:
  using TComponent::TComponent;

  // "-" makes the item a separator.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value) { FCaption = Value; }
  // The default item is drawn bold.
  bool Default() const { return FDefault; }
  void SetDefault(bool Value) { FDefault = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { FVisible = Value; }

  virtual void Click() { OnClick(this); }

  TNotifyEvent OnClick;

 private:
  std::string FCaption;
  bool FDefault = false;
  bool FEnabled = true;
  bool FVisible = true;
};

class TPopupMenu : public TComponent {
 public:
  using TComponent::TComponent;

  // Adds an item at the end; the item stays owned by its own owner.
  void Add(TMenuItem* Item) { FItems.push_back(Item); }
  const std::vector<TMenuItem*>& Items() const { return FItems; }

  // Opens the menu at a screen point, owned by Owner, and returns when it has
  // closed; the chosen item's click then runs. With Exclude, the menu does
  // not cover that rectangle (the icon it was opened from). Returns whether
  // an item was chosen.
  bool Popup(int X, int Y, HWND Owner, const RECT* Exclude = nullptr);

 private:
  std::vector<TMenuItem*> FItems;  // not owned
};
