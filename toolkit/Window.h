#pragma once
// The bridge between window handles and C++ objects. One static window
// procedure serves every window the toolkit creates: the object comes from
// lpCreateParams at WM_NCCREATE, lives in GWLP_USERDATA, and is cleared at
// WM_NCDESTROY. Messages before WM_NCCREATE go to the default procedure.
// An exception never crosses the window procedure: it is caught there and
// handed to the application, which shows it in the error box.

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

struct TCreateParams {
  std::string ClassName;             // registered under this name on first use
  const char* SuperClass = nullptr;  // a system class (EDIT, BUTTON) to build on
  UINT ClassStyle = CS_DBLCLKS;
  HCURSOR Cursor = nullptr;  // class cursor; none: the arrow
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  HMENU Id = nullptr;
};

// An object that owns one window and handles its messages.
class TWindowObject {
 public:
  TWindowObject() = default;
  TWindowObject(const TWindowObject&) = delete;
  TWindowObject& operator=(const TWindowObject&) = delete;
  virtual ~TWindowObject();

  HWND WindowHandle() const { return FHandle; }
  bool HandleAllocated() const { return FHandle != nullptr; }

  // The object behind a window the toolkit created, or none.
  static TWindowObject* FromHandle(HWND Wnd);

 protected:
  // Creates the window; raises an Exception when the system refuses.
  void CreateWindowHandle(const TCreateParams& Params);
  // Destroys the window. Its last messages go to its class procedure, not to
  // this object, which may be half destroyed already.
  void DestroyWindowHandle();

  // Every message of the window arrives here first.
  virtual void WndProc(TMessage& Message) { DefaultHandler(Message); }
  // The window class's own procedure: the system's for a superclass,
  // DefWindowProcA otherwise.
  void DefaultHandler(TMessage& Message);
  // Whether the window builds on a system class (which paints itself).
  bool Superclassed() const { return FDefWndProc != DefWindowProcA; }

 private:
  static LRESULT CALLBACK StaticWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

  HWND FHandle = nullptr;
  WNDPROC FDefWndProc = DefWindowProcA;
  bool FDestroying = false;  // DestroyWindowHandle is under way
};

// A hidden window whose messages go to one callback: the target of timers,
// of worker completions and of the shell's notification-area callbacks.
// A top-level one receives broadcasts; a message-only one does not.
class TUtilityWindow : public TWindowObject {
 public:
  enum class TKind { TopLevel, MessageOnly };
  // Handler returns whether it handled the message; the rest go to
  // DefWindowProcA.
  TUtilityWindow(TKind Kind, std::function<bool(TMessage&)> Handler);
  ~TUtilityWindow() override;
  HWND Handle() const { return WindowHandle(); }

 protected:
  void WndProc(TMessage& Message) override;

 private:
  std::function<bool(TMessage&)> FHandler;
};

// Where an error caught at a window procedure goes. The application installs
// its error box here; with no sink installed (none: uninstalls), the error is
// shown at once in a plain error box, never dropped.
using THandlerErrorSink = std::function<void(std::exception_ptr)>;
void SetHandlerErrorSink(THandlerErrorSink Sink);
