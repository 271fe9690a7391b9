#pragma once
// Timer, picture, panel, bevel and notebook.

#include "toolkit/Controls.h"
#include "toolkit/Graphics.h"

#include <memory>

// A timer that raises OnTimer on the user-interface thread every Interval
// milliseconds while enabled. An interval of 0, or no OnTimer, leaves it idle.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned Value);
  // Whether a system timer is armed right now.
  bool Running() const { return FRunning; }

  TNotifyEvent OnTimer;

 protected:
  void DestructionBegun() override;

 private:
  void UpdateTimer();

  std::unique_ptr<TUtilityWindow> FWindow;
  bool FEnabled = true;
  unsigned FInterval = 1000;
  bool FRunning = false;
};

// A picture control holding an icon.
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* AOwner);

  TIcon& Picture() { return FPicture; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  void Paint() override;
  long AccRole() const override { return ROLE_SYSTEM_GRAPHIC; }
  // The bounds, and the icon loaded again at its size for the new DPI.
  void ChangeScale(int NewDpi, int OldDpi) override;

 private:
  TIcon FPicture;
  TDesignLength FDesignPictureSize;
  bool FTransparent = false;
};

// One page of a notebook.
class TPage : public TWinControl {
 public:
  using TWinControl::TWinControl;
  long AccRole() const override { return ROLE_SYSTEM_PROPERTYPAGE; }

 protected:
  void CreateParams(TCreateParams& Params) override;
};

// Stacked pages, one shown at a time, without tabs.
class TNotebook : public TWinControl {
 public:
  explicit TNotebook(TComponent* AOwner);

  // Adds a page, owned by the notebook's owner, filling the notebook.
  TPage* AddPage();
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TPage* Page(int Index) const { return FPages.at(static_cast<size_t>(Index)); }
  int PageIndex() const { return FPageIndex; }
  void SetPageIndex(int Value);
  long AccRole() const override { return ROLE_SYSTEM_PANE; }

 protected:
  void CreateParams(TCreateParams& Params) override;

 private:
  // Whether the focus is on a control of that page.
  bool FocusOnPage(int Index) const;

  std::vector<TPage*> FPages;  // not owned
  int FPageIndex = -1;
};

enum class TPanelBevel { bvNone, bvLowered, bvRaised };

// A child window that holds other controls.
class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* AOwner);

  long AccRole() const override { return ROLE_SYSTEM_PANE; }
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  // The outer bevel and the caption, centred; the background is the erase's.
  void Paint(TCanvas& Canvas) override;

 private:
  TPanelBevel FBevelOuter = TPanelBevel::bvRaised;
};

// A windowless engraved vertical line along the control's left edge, as the
// window's separators use it.
class TBevel : public TGraphicControl {
 public:
  explicit TBevel(TComponent* AOwner);
  void Paint() override;
  long AccRole() const override { return ROLE_SYSTEM_SEPARATOR; }
};
