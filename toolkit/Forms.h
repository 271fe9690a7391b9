#pragma once
// Forms: top-level windows that hold controls, with their creation and
// destroy handlers, focus tracking and keyboard accelerators.

#include "toolkit/Controls.h"

#include <exception>

class TCustomForm;

// What a form needs of the application that owns it: the window that owns
// every form, the end of the run when the main form closes, and the error box
// for errors of the creation and destroy handlers, which run outside the
// event loop. The application installs itself as the host of the forms it
// owns; the toolkit below it knows it only through this.
class TFormHost {
 public:
  virtual HWND FormOwnerWindow() const = 0;
  // Whether Form is the main form, whose closing ends the run (and is now
  // under way).
  virtual bool CloseMainForm(TCustomForm* Form) = 0;
  virtual void ShowFormError(std::exception_ptr Error) = 0;

 protected:
  ~TFormHost() = default;
};

enum class TFormBorderStyle { bsSizeable, bsDialog };

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // The client area's size; the outer size follows from the window's style
  // and DPI.
  void SetClientSize(int AWidth, int AHeight);
  int ClientWidth() const { return FClientWidth; }
  int ClientHeight() const { return FClientHeight; }

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value) { FBorderStyle = Value; }
  bool SystemMenu() const { return FSystemMenu; }
  void SetSystemMenu(bool Value) { FSystemMenu = Value; }

  void Show();
  void Hide() { SetVisible(false); }
  // Undoes a minimisation of a shown form; a hidden form stays hidden.
  void SetWindowStateNormal();
  // Closing the main form ends the application; any other form is hidden.
  void Close();
  // The application that owns the form, if any; not owned.
  TFormHost* Host() const { return dynamic_cast<TFormHost*>(Owner()); }
  // Whether the form's window is the active window.
  bool Active() const { return FActive; }
  bool ActiveFlag() const override { return FActive; }
  // The control that has, or last had, the focus within the form.
  TWinControl* ActiveControl() const { return FActiveControl; }
  // A control of the form received the focus: the one that had it is told
  // it was left (OnExit), the new one that it was entered (OnEnter). Focus
  // that goes to another window, a message box say, leaves nothing.
  void FocusChanged(TWinControl* Control);
  // An Alt+key press: a windowless control whose caption marks that key acts
  // on it (a label focuses its control, a button clicks).
  bool DialogChar(char Key);
  // A key press (WM_KEYDOWN) on its way to the form or one of its controls,
  // before the dialog manager sees it: whether the form took it. Tab and
  // Shift+Tab walk the Tab stops, windowless ones among them; Space and
  // Enter click the windowless control that has the focus.
  virtual bool DialogKey(const MSG& Msg);
  // Moves the focus to the next (or the previous) Tab stop, round the end.
  void SelectNext(bool Forward);
  // While the form is active, the focus must be on a control that shows it:
  // never on the bare window, a container, or a control hidden or disabled
  // under it. Otherwise it goes to the first Tab stop, or, with none, to
  // the first windowless control that can hold it, until a Tab stop is
  // there again (a field enabled or shown).
  void CheckFocus();

  // The DPI the form's layout is for: 96, as the layout is made, until the
  // form's window exists; from then on the window's.
  int PixelsPerInch() const override { return FDpi; }
  // Lays the form out for another DPI: its client size and every control's
  // bounds, font, lengths and pictures are made for Dpi from the 96-DPI
  // layout. The window's own size is the caller's to set.
  void ScaleTo(int Dpi);
  // The window's outer size at Dpi: that of the client area made for Dpi,
  // with the borders of that DPI.
  SIZE WindowSizeAt(int Dpi) const;

  // Hands a message to the form's own message handler.
  LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);

  // Ends the loading of the layout and runs the creation handler.
  void AfterConstruction();
  // Begins the destruction (the form and its components raise no more
  // events), then runs the destroy handler; once, however often it is called.
  void BeforeDestruction();

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandle() override;
  void WndProc(TMessage& Message) override;
  void VisibleChanged() override;
  // Lays the form out for Dpi and puts its window in Suggested, the place
  // the system offers at that DPI, or where there is none, keeps the
  // window's top-left corner.
  virtual void ScaleWindow(int Dpi, const RECT* Suggested);
  void ControlFocused(TWinControl* Control) override { FocusChanged(Control); }
  // A control of the form is going away: it no longer counts as focused.
  void ControlDestroying(TWinControl* Control) override {
    if (FActiveControl == Control) FActiveControl = nullptr;
  }
  // The focus is checked once the change is over, from the loop.
  void ControlStateChanged() override;

 private:
  void CreateHints();
  // The Tab stop that has the focus now, if any.
  TTabStop FocusedStop() const;
  bool FocusShows() const;

  int FClientWidth = 0, FClientHeight = 0;
  TDesignLength FDesignClientWidth, FDesignClientHeight;
  int FDpi = DefaultDpi;
  TWinControl* FActiveControl = nullptr;  // not owned
  // The windowless control CheckFocus gave the focus to for want of a Tab
  // stop; compared, never used: it may be gone.
  const TGraphicControl* FParkedOn = nullptr;
  bool FChangingFocus = false;
  HWND FHintWindow = nullptr;  // destroyed with the form's window
  TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
  bool FSystemMenu = true;
  bool FActive = false;
  bool FFocusCheckPosted = false;
};
