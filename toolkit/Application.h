#pragma once
// The application object: the hidden application window that owns every
// form, the title, the event loop with its error box, and the forms' host.
// It sits on top of the toolkit: it knows forms, and nothing below knows it.

#include "toolkit/Forms.h"

#include <vector>
#include <exception>
#include <memory>
#include <string>

// The application title that the toolkit derives from the executable's path:
// the path is converted from the OEM to the ANSI code page, the folders and
// everything from the first period on are removed, and every character after
// the first is lower-cased (C:\Tools\PROBE.EXE gives Probe).
std::string DefaultTitleFromPath(const std::string& ExePath);

class TApplication : public TComponent, public TFormHost {
 public:
  TApplication();
  ~TApplication() override;

  // The hidden top-level application window: owner of every form, target of
  // broadcasts to applications, carrier of the title as its caption.
  HWND Handle() const;

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
  // The session ends (log-off, shut-down, restart, or an installer that
  // closes the program): the end of the run, as a Close makes it, before
  // this returns, since the process may be ended at any moment afterwards.
  // Every form's destroy handler runs, with no box (nobody is there to
  // answer one, and it would hold the session's end up); the forms are freed
  // when the event loop has ended, if the process lives that long.
  void EndSession();
  bool SessionEnding() const { return FSessionEnding; }

  // The error box: the error's text with a full stop, an error icon and the
  // title as caption.
  void HandleException(std::exception_ptr Error);
  // An error caught at a window procedure: shown by whichever message loop
  // runs next, also a modal box's or a menu's.
  void QueueException(std::exception_ptr Error);
  // A modal box with the text, one OK button, no icon and the title as caption.
  int MessageBox(const std::string& Text);
  // The owner of a modal box or dialog: the window the user works in, so the
  // box is modal to it (it takes no input meanwhile) and the focus returns
  // there when it closes; with none shown, the hidden application window.
  HWND BoxOwner() const;

  // The forms' host.
  HWND FormOwnerWindow() const override { return Handle(); }
  bool CloseMainForm(TCustomForm* Form) override;
  void ShowFormError(std::exception_ptr Error) override { HandleException(Error); }

 private:
  bool ProcessMessage();
  // Hands one message on: to a windowless control's accelerator, the dialog
  // manager, or the window's procedure.
  void DispatchOne(MSG& Msg);
  bool AppWndProc(TMessage& Message);
  // High contrast: the painting's switch (see Graphics.h), read at the start
  // and whenever the system's colours or settings change; every form is
  // then painted anew.
  void UpdateHighContrast();
  void Created(TCustomForm* Form);
  void RunDestroyHandlers();

  class TAppWindow;
  std::unique_ptr<TAppWindow> FWindow;
  TCustomForm* FMainForm = nullptr;  // not owned: owned as a component
  bool FShowMainForm = true;
  bool FTerminated = false;
  bool FSessionEnding = false;
  std::vector<std::exception_ptr> FPendingErrors;  // oldest first; a handful at most
};

// The application object: made by the toolkit's start-up, freed by its clean-up.
extern TApplication* Application;
void ToolkitStartup();
void ToolkitCleanup();

template <class T>
void TApplication::CreateForm(T*& Reference) {
  T* Form = new T(this);
  Reference = Form;
  Form->AfterConstruction();
  Created(Form);
}
