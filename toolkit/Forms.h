#pragma once
// The application object and forms.

#include "toolkit/Controls.h"

#include <deque>
#include <exception>
#include <memory>
#include <string>

class TCustomForm;

// Private messages of the toolkit's windows.
constexpr UINT CM_SHOWPENDINGERROR = WM_APP + 0x100;
constexpr UINT CM_THREADDONE = WM_APP + 0x101;

// The application title that the toolkit derives from the executable's path:
// the path is converted from the OEM to the ANSI code page, the folders and
// everything from the first period on are removed, and every character after
// the first is lower-cased (C:\Tools\PROBE.EXE gives Probe).
std::string DefaultTitleFromPath(const std::string& ExePath);

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  // The hidden top-level application window: owner of every form, target of
  // broadcasts to applications, carrier of the title as its caption.
  HWND Handle() const;
  // The window that worker threads hand their completions to.
  HWND SyncHandle() const;

  std::string Title() const;
  void SetTitle(const std::string& Value);

  bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool Value) { FShowMainForm = Value; }
  TCustomForm* MainForm() const { return FMainForm; }  // not owned

  void Initialize() {}
  // Creates a form into Reference (so the variable is set while the form's
  // creation handler runs), runs that handler, and makes the first form the
  // main form.
  template <class T>
  void CreateForm(T*& Reference);
  // Shows the main form when the show flag is set, then dispatches messages
  // until a quit request is reached.
  void Run();
  // Handles every message pending at this moment.
  void ProcessMessages();
  // Posts a quit request; the event loop ends when it reaches it.
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Undoes a minimisation of the application.
  void Restore();
  // Runs every form's destroy handler and frees the forms, last created first.
  void DestroyForms();

  // The error box: the error's text with a full stop, an error icon and the
  // title as caption.
  void HandleException(std::exception_ptr Error);
  // An error caught at a window procedure: shown by whichever message loop
  // runs next, also a modal box's or a menu's.
  void QueueException(std::exception_ptr Error);
  // A modal box with the text, one OK button, no icon and the title as caption.
  int MessageBox(const std::string& Text);

 private:
  friend class TCustomForm;
  bool ProcessMessage();
  HWND BoxOwner() const;
  bool AppWndProc(TMessage& Message);
  void Created(TCustomForm* Form);

  class TAppWindow;
  std::unique_ptr<TAppWindow> FWindow;
  std::unique_ptr<TUtilityWindow> FSyncWindow;
  TCustomForm* FMainForm = nullptr;  // not owned: owned as a component
  bool FShowMainForm = true;
  bool FTerminated = false;
  std::deque<std::exception_ptr> FPendingErrors;
};

// The application object: made by the toolkit's start-up, freed by its clean-up.
extern TApplication* Application;
void ToolkitStartup();
void ToolkitCleanup();

enum class TFormBorderStyle { bsSizeable, bsDialog };

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // The client area's size; the outer size follows from the window's style.
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
  // Whether the form's window is the active window.
  bool Active() const { return FActive; }
  // The control that has, or last had, the focus within the form.
  TWinControl* ActiveControl() const { return FActiveControl; }
  // A control of the form received the focus: the one that had it is told
  // it was left (OnExit), the new one that it was entered (OnEnter). Focus
  // that goes to another window, a message box say, leaves nothing.
  void FocusChanged(TWinControl* Control);
  // A control of the form is going away: it no longer counts as focused.
  void ControlDestroying(TWinControl* Control) {
    if (FActiveControl == Control) FActiveControl = nullptr;
  }
  // An Alt+key press: a windowless control whose caption marks that key acts
  // on it (a label focuses its control, a button clicks).
  bool DialogChar(char Key);

  // Hands a message to the form's own message handler.
  LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);

  // Ends the loading of the layout and runs the creation handler.
  void AfterConstruction();
  // Begins the destruction (the form and its components raise no more
  // events), then runs the destroy handler.
  void BeforeDestruction();

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandle() override;
  void WndProc(TMessage& Message) override;
  void VisibleChanged() override;

 private:
  void CreateHints();

  int FClientWidth = 0, FClientHeight = 0;
  TWinControl* FActiveControl = nullptr;  // not owned
  bool FChangingFocus = false;
  HWND FHintWindow = nullptr;  // destroyed with the form's window
  TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
  bool FSystemMenu = true;
  bool FActive = false;
};

template <class T>
void TApplication::CreateForm(T*& Reference) {
  T* Form = new T(this);
  Reference = Form;
  Form->AfterConstruction();
  Created(Form);
}
