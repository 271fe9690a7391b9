#include "toolkit/Window.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Platform.h"

namespace {

THandlerErrorSink& ErrorSink() {
  static THandlerErrorSink Sink;
  return Sink;
}

void ReportHandlerError(std::exception_ptr Error) {
  if (ErrorSink()) {
    ErrorSink()(Error);
    return;
  }
  Platform().MessageBoxA(nullptr, (ExceptionMessage(Error) + ".").c_str(), nullptr, MB_OK | MB_ICONERROR);
}

// Registers a window class once per process. A superclass takes over the
// system class's procedure and remembers it for DefaultHandler.
WNDPROC RegisterClassFor(const TCreateParams& Params, WNDPROC StaticProc) {
  HINSTANCE Instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA Existing = {};
  Existing.cbSize = sizeof Existing;
  if (GetClassInfoExA(Instance, Params.ClassName.c_str(), &Existing)) {
    if (!Params.SuperClass) return DefWindowProcA;
    WNDCLASSEXA System = {};
    System.cbSize = sizeof System;
    GetClassInfoExA(nullptr, Params.SuperClass, &System);
    return System.lpfnWndProc;
  }
  WNDCLASSEXA Class = {};
  Class.cbSize = sizeof Class;
  WNDPROC Default = DefWindowProcA;
  if (Params.SuperClass) {
    if (!GetClassInfoExA(nullptr, Params.SuperClass, &Class))
      throw Exception("Cannot find the window class " + std::string(Params.SuperClass));
    Default = Class.lpfnWndProc;
    Class.cbSize = sizeof Class;
  } else {
    Class.style = Params.ClassStyle;
    Class.hCursor = Params.Cursor ? Params.Cursor : LoadCursorA(nullptr, IDC_ARROW);
    Class.hbrBackground = nullptr;  // the object paints its own background
  }
  Class.lpfnWndProc = StaticProc;
  Class.hInstance = Instance;
  Class.lpszClassName = Params.ClassName.c_str();
  Class.lpszMenuName = nullptr;
  // Only a window with a title bar (or a taskbar button) shows its class's
  // icon. The system keeps a small copy of it for every class that has one
  // (three bitmaps under Wine): a child's or a hidden utility window's class
  // would keep it for nothing.
  if (!Params.SuperClass && (Params.Style & WS_CAPTION) == WS_CAPTION) Class.hIcon = LoadIconA(Instance, "MAINICON");
  if (!RegisterClassExA(&Class)) throw Exception("Cannot register the window class " + Params.ClassName);
  return Default;
}

}  // namespace

void SetHandlerErrorSink(THandlerErrorSink Sink) { ErrorSink() = std::move(Sink); }

TWindowObject::~TWindowObject() { DestroyWindowHandle(); }

TWindowObject* TWindowObject::FromHandle(HWND Wnd) {
  // Only windows of the toolkit's own classes carry an object pointer; the
  // class procedure tells them apart even while a window is subclassed.
  if (!Wnd || reinterpret_cast<WNDPROC>(GetClassLongPtrA(Wnd, GCLP_WNDPROC)) != StaticWndProc) return nullptr;
  return reinterpret_cast<TWindowObject*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
}

void TWindowObject::CreateWindowHandle(const TCreateParams& Params) {
  FDefWndProc = RegisterClassFor(Params, StaticWndProc);
  HWND Wnd = CreateWindowExA(Params.ExStyle, Params.ClassName.c_str(), Params.Caption.c_str(), Params.Style, Params.X,
                             Params.Y, Params.Width, Params.Height, Params.WndParent, Params.Id,
                             GetModuleHandleA(nullptr), this);
  if (!Wnd) throw Exception("Error creating window of class " + Params.ClassName);
  FHandle = Wnd;
}

void TWindowObject::DestroyWindowHandle() {
  if (!FHandle) return;
  // Called from destructors, when the object's derived parts are gone: the
  // window's last messages (WM_DESTROY, WM_NCDESTROY) go straight to its
  // class procedure, which must see them. A system control frees its own
  // state there (an edit its text); DefWindowProcA would leave it behind.
  FDestroying = true;
  DestroyWindow(FHandle);
  FHandle = nullptr;
}

void TWindowObject::DefaultHandler(TMessage& Message) {
  Message.Result = CallWindowProcA(FDefWndProc, FHandle, Message.Msg, Message.WParam, Message.LParam);
}

LRESULT CALLBACK TWindowObject::StaticWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TWindowObject* Object;
  if (Msg == WM_NCCREATE) {
    Object = static_cast<TWindowObject*>(reinterpret_cast<CREATESTRUCTA*>(LParam)->lpCreateParams);
    SetWindowLongPtrA(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Object));
    if (Object) Object->FHandle = Wnd;
  } else {
    Object = reinterpret_cast<TWindowObject*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
  }
  if (!Object) return DefWindowProcA(Wnd, Msg, WParam, LParam);
  if (Object->FDestroying) {
    WNDPROC ClassProc = Object->FDefWndProc;
    if (Msg == WM_NCDESTROY) {
      SetWindowLongPtrA(Wnd, GWLP_USERDATA, 0);
      Object->FHandle = nullptr;
    }
    return CallWindowProcA(ClassProc, Wnd, Msg, WParam, LParam);
  }

  TMessage Message = {Msg, WParam, LParam, 0};
  try {
    Object->WndProc(Message);
  } catch (...) {
    ReportHandlerError(std::current_exception());
  }
  if (Msg == WM_NCDESTROY) {
    SetWindowLongPtrA(Wnd, GWLP_USERDATA, 0);
    Object->FHandle = nullptr;
  }
  return Message.Result;
}

TUtilityWindow::TUtilityWindow(TKind Kind, std::function<bool(TMessage&)> Handler) : FHandler(std::move(Handler)) {
  TCreateParams Params;
  Params.ClassName = Kind == TKind::TopLevel ? "TPUtilWindow" : "TPUtilMessageWindow";
  Params.ClassStyle = 0;
  Params.Style = WS_POPUP;
  Params.WndParent = Kind == TKind::MessageOnly ? HWND_MESSAGE : nullptr;
  CreateWindowHandle(Params);
}

TUtilityWindow::~TUtilityWindow() { DestroyWindowHandle(); }

void TUtilityWindow::WndProc(TMessage& Message) {
  if (!FHandler || !FHandler(Message)) DefaultHandler(Message);
}
