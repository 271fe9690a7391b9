#include "toolkit/Accessible.h"

#include "toolkit/Platform.h"

#include <oleacc.h>

#include <atomic>

namespace {

// The libraries of the objects handed to a client are loaded when a client
// first asks for one (WM_GETOBJECT), never in a run without a screen reader.
BSTR AllocString(UINT Length) {
  static const auto Alloc = LateProc<decltype(&::SysAllocStringLen)>("oleaut32.dll", "SysAllocStringLen");
  return Alloc ? Alloc(nullptr, Length) : nullptr;
}

HRESULT ObjectFromWindow(HWND Wnd, DWORD Id, REFIID Interface, void** Out) {
  static const auto Get = LateProc<decltype(&::AccessibleObjectFromWindow)>("oleacc.dll", "AccessibleObjectFromWindow");
  return Get ? Get(Wnd, Id, Interface, Out) : E_FAIL;
}

HRESULT StandardObject(HWND Wnd, LONG Id, REFIID Interface, void** Out) {
  static const auto Create =
      LateProc<decltype(&::CreateStdAccessibleObject)>("oleacc.dll", "CreateStdAccessibleObject");
  return Create ? Create(Wnd, Id, Interface, Out) : E_FAIL;
}

LRESULT ResultFromObject(REFIID Interface, WPARAM WParam, IUnknown* Object) {
  static const auto Result = LateProc<decltype(&::LresultFromObject)>("oleacc.dll", "LresultFromObject");
  return Result ? Result(Interface, WParam, Object) : 0;
}

HRESULT JoinApartment() {
  static const auto Join = LateProc<decltype(&::CoInitializeEx)>("ole32.dll", "CoInitializeEx");
  return Join ? Join(nullptr, COINIT_APARTMENTTHREADED) : E_FAIL;
}

// VariantInit's whole work, without loading its library for it.
void EmptyVariant(VARIANT* Value) { Value->vt = VT_EMPTY; }

// Text for a client: the program's 8-bit text in the system's code page.
HRESULT ReturnText(const std::string& Text, BSTR* Out) {
  if (!Out) return E_POINTER;
  *Out = nullptr;
  if (Text.empty()) return S_FALSE;
  const int Length = MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  *Out = AllocString(static_cast<UINT>(Length));
  if (!*Out) return E_OUTOFMEMORY;
  MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), *Out, Length);
  return S_OK;
}

TWinControl* ControlOf(HWND Wnd) { return dynamic_cast<TWinControl*>(TWindowObject::FromHandle(Wnd)); }

// The client object of a child window, as the client's IDispatch.
HRESULT WindowObject(HWND Wnd, IDispatch** Out) {
  return ObjectFromWindow(Wnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IDispatch), reinterpret_cast<void**>(Out));
}

bool ChildId(const VARIANT& Child, long& Id) {
  if (Child.vt != VT_I4) return false;
  Id = Child.lVal;
  return true;
}

// The IUnknown and IDispatch share of an IAccessible; IDispatch is there only
// because IAccessible derives from it: clients call the methods directly.
class TAccessibleBase : public IAccessible {
 public:
  TAccessibleBase() = default;
  TAccessibleBase(const TAccessibleBase&) = delete;
  TAccessibleBase& operator=(const TAccessibleBase&) = delete;
  virtual ~TAccessibleBase() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Out) override {
    if (!Out) return E_POINTER;
    if (Iid == __uuidof(IUnknown) || Iid == __uuidof(IDispatch) || Iid == __uuidof(IAccessible)) {
      *Out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG Left = --FRefs;
    if (Left == 0) delete this;
    return Left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* Count) override {
    if (!Count) return E_POINTER;
    *Count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* Help) override { return ReturnText({}, Help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* File, VARIANT, long* Topic) override {
    if (File) *File = nullptr;
    if (Topic) *Topic = 0;
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

 private:
  std::atomic<ULONG> FRefs{1};
};

// The control's own share of an object: name, value, role, description,
// shortcut and default action, asked of the control at each call.
HRESULT ControlText(const TControl& C, std::string (TControl::*What)() const, BSTR* Out) {
  return ReturnText((C.*What)(), Out);
}

std::string Description(const TControl& C) { return C.Hint() != C.AccName() ? C.Hint() : std::string(); }

// The client object of a window of the toolkit's own classes. CHILDID_SELF
// is the window; child Id N is the window's Nth child control.
class TWindowAccessible final : public TAccessibleBase {
 public:
  TWindowAccessible(HWND Wnd, IAccessible* Standard) : FWnd(Wnd), FStandard(Standard) {}
  ~TWindowAccessible() override { FStandard->Release(); }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** Parent) override { return FStandard->get_accParent(Parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* Count) override {
    if (!Count) return E_POINTER;
    TWinControl* W = ControlOf(FWnd);
    *Count = W ? static_cast<long>(W->Controls().size()) : 0;
    return W ? S_OK : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT Child, IDispatch** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    if (!C) return E_INVALIDARG;
    if (HWND Wnd = WindowOf(C)) return WindowObject(Wnd, Out);
    return S_FALSE;  // a windowless child is an element of this object
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT Child, BSTR* Name) override {
    return Ask(Child, Name, &IAccessible::get_accName,
               [&](TControl& C) { return ControlText(C, &TControl::AccName, Name); });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT Child, BSTR* Value) override {
    return Ask(Child, Value, &IAccessible::get_accValue,
               [&](TControl& C) { return ControlText(C, &TControl::AccValue, Value); });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT Child, BSTR* Text) override {
    return Ask(Child, Text, &IAccessible::get_accDescription,
               [&](TControl& C) { return ReturnText(Description(C), Text); });
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT Child, BSTR* Text) override {
    return Ask(Child, Text, &IAccessible::get_accKeyboardShortcut,
               [&](TControl& C) { return ReturnText(C.AccKeyboardShortcut(), Text); });
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT Child, BSTR* Text) override {
    return Ask(Child, Text, &IAccessible::get_accDefaultAction,
               [&](TControl& C) { return ControlText(C, &TControl::AccDefaultAction, Text); });
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT Child, VARIANT* Role) override {
    return Ask(Child, Role, &IAccessible::get_accRole, [&](TControl& C) {
      Role->vt = VT_I4;
      Role->lVal = C.AccRole();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT Child, VARIANT* State) override {
    long Id = 0;
    if (!State) return E_POINTER;
    if (ChildId(Child, Id) && Id == CHILDID_SELF) {
      // The window's own state (focus, visibility) is the system's to tell.
      HRESULT Result = FStandard->get_accState(Child, State);
      TWinControl* W = ControlOf(FWnd);
      if (SUCCEEDED(Result) && W && State->vt == VT_I4) State->lVal |= W->AccState();
      return Result;
    }
    return Ask(Child, State, &IAccessible::get_accState, [&](TControl& C) {
      State->vt = VT_I4;
      State->lVal = StateOf(C);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* Focus) override {
    if (!Focus) return E_POINTER;
    EmptyVariant(Focus);
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    HWND Focused = GetFocus();
    if (Focused == FWnd) {
      Focus->vt = VT_I4;
      Focus->lVal = W->FocusedControl() ? W->ChildIdOf(W->FocusedControl()) : CHILDID_SELF;
      return S_OK;
    }
    for (TControl* C : W->Controls()) {
      HWND Wnd = WindowOf(C);
      if (Wnd && (Wnd == Focused || IsChild(Wnd, Focused))) {
        Focus->vt = VT_DISPATCH;
        return WindowObject(Wnd, &Focus->pdispVal);
      }
    }
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* Selection) override {
    if (!Selection) return E_POINTER;
    EmptyVariant(Selection);
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accSelect(long Flags, VARIANT Child) override {
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    if (!C) return FStandard->accSelect(Flags, Child);
    auto* G = dynamic_cast<TGraphicControl*>(C);
    if (!(Flags & SELFLAG_TAKEFOCUS) || !G || !G->CanTakeFocus() || !G->Enabled() || !G->Showing())
      return DISP_E_MEMBERNOTFOUND;
    G->SetFocus();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* Left, long* Top, long* Width, long* Height, VARIANT Child) override {
    if (!Left || !Top || !Width || !Height) return E_POINTER;
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    if (!C) return FStandard->accLocation(Left, Top, Width, Height, Child);
    RECT R = C->BoundsRect();
    if (HWND Wnd = WindowOf(C))
      GetWindowRect(Wnd, &R);
    else
      MapWindowPoints(FWnd, nullptr, reinterpret_cast<POINT*>(&R), 2);
    *Left = R.left;
    *Top = R.top;
    *Width = R.right - R.left;
    *Height = R.bottom - R.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long Direction, VARIANT Start, VARIANT* End) override {
    if (!End) return E_POINTER;
    EmptyVariant(End);
    long Id = 0;
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    if (!ChildId(Start, Id)) return E_INVALIDARG;
    const long Count = static_cast<long>(W->Controls().size());
    long To = 0;
    if (Id == CHILDID_SELF) {
      if (Direction == NAVDIR_FIRSTCHILD)
        To = 1;
      else if (Direction == NAVDIR_LASTCHILD)
        To = Count;
      else
        return FStandard->accNavigate(Direction, Start, End);
    } else if (Direction == NAVDIR_NEXT) {
      To = Id + 1;
    } else if (Direction == NAVDIR_PREVIOUS) {
      To = Id - 1;
    } else {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (To < 1 || To > Count) return S_FALSE;
    return Element(W, To, End);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long X, long Y, VARIANT* Hit) override {
    if (!Hit) return E_POINTER;
    EmptyVariant(Hit);
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    POINT P = {X, Y};
    RECT Client;
    ScreenToClient(FWnd, &P);
    GetClientRect(FWnd, &Client);
    if (!PtInRect(&Client, P)) return FStandard->accHitTest(X, Y, Hit);
    const auto& Children = W->Controls();
    for (long I = static_cast<long>(Children.size()); I >= 1; --I) {
      TControl* C = Children[static_cast<size_t>(I - 1)];
      RECT R = C->BoundsRect();
      if (C->Visible() && PtInRect(&R, P)) return Element(W, I, Hit);
    }
    Hit->vt = VT_I4;
    Hit->lVal = CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT Child) override {
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    TControl* Target = C ? C : ControlOf(FWnd);
    if (HWND Wnd = C ? WindowOf(C) : nullptr) {
      IDispatch* Object = nullptr;
      if (FAILED(WindowObject(Wnd, &Object))) return E_FAIL;
      HRESULT Result = Forward(Object, [&](IAccessible* A) { return A->accDoDefaultAction(Self()); });
      return Result;
    }
    if (Target->AccDefaultAction().empty()) return DISP_E_MEMBERNOTFOUND;
    if (!Target->Enabled()) return E_FAIL;
    // Run from the loop, not inside the client's call: a click may open a
    // box or a dialog, and the client must not wait on it.
    return PostMessageA(FWnd, CM_ACCDEFAULTACTION, static_cast<WPARAM>(C ? Child.lVal : CHILDID_SELF), 0) ? S_OK
                                                                                                          : E_FAIL;
  }

 private:
  static VARIANT Self() {
    VARIANT V;
    V.vt = VT_I4;
    V.lVal = CHILDID_SELF;
    return V;
  }
  static HWND WindowOf(TControl* C) {
    auto* W = dynamic_cast<TWinControl*>(C);
    return W && W->HandleAllocated() ? W->WindowHandle() : nullptr;
  }
  static long StateOf(TControl& C) {
    long State = C.AccState();
    if (!C.Showing()) State |= STATE_SYSTEM_INVISIBLE;
    if (!C.Enabled()) State |= STATE_SYSTEM_UNAVAILABLE;
    if (C.AccRole() == ROLE_SYSTEM_PAGETAB) State |= STATE_SYSTEM_SELECTABLE;
    if (auto* G = dynamic_cast<TGraphicControl*>(&C)) {
      if (G->CanTakeFocus() && C.Enabled()) State |= STATE_SYSTEM_FOCUSABLE;
      if (G->Focused()) State |= STATE_SYSTEM_FOCUSED;
    }
    return State;
  }
  // Child Id Id as a client expects it: a windowless child by its Id, a
  // windowed one by its object.
  static HRESULT Element(TWinControl* W, long Id, VARIANT* Out) {
    if (HWND Wnd = WindowOf(W->Controls()[static_cast<size_t>(Id - 1)])) {
      Out->vt = VT_DISPATCH;
      return WindowObject(Wnd, &Out->pdispVal);
    }
    Out->vt = VT_I4;
    Out->lVal = Id;
    return S_OK;
  }
  // The control a child Id stands for: none for the window itself.
  HRESULT Find(const VARIANT& Child, TControl*& C) const {
    C = nullptr;
    long Id = 0;
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    if (!ChildId(Child, Id)) return E_INVALIDARG;
    if (Id == CHILDID_SELF) return S_OK;
    if (Id < 1 || Id > static_cast<long>(W->Controls().size())) return E_INVALIDARG;
    C = W->Controls()[static_cast<size_t>(Id - 1)];
    return S_OK;
  }
  template <class F>
  static HRESULT Forward(IDispatch* Object, F Call) {
    IAccessible* A = nullptr;
    HRESULT Result = Object->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&A));
    Object->Release();
    if (FAILED(Result)) return Result;
    Result = Call(A);
    A->Release();
    return Result;
  }
  // A property of the window or a windowless child (Answer), or of a
  // windowed child, whose own object answers for itself.
  template <class T, class F>
  HRESULT Ask(VARIANT Child, T* Out, HRESULT (STDMETHODCALLTYPE IAccessible::*Method)(VARIANT, T*), F Answer) {
    if (!Out) return E_POINTER;
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    if (!C) return Answer(*ControlOf(FWnd));
    if (HWND Wnd = WindowOf(C)) {
      IDispatch* Object = nullptr;
      if (FAILED(WindowObject(Wnd, &Object))) return E_FAIL;
      return Forward(Object, [&](IAccessible* A) { return (A->*Method)(Self(), Out); });
    }
    return Answer(*C);
  }

  HWND FWnd;
  IAccessible* FStandard;  // owned: the system's client object of the window
};

// The system's object of a system control, with the control's name, role,
// value, state and default action; everything else is the system's.
class TFieldAccessible final : public TAccessibleBase {
 public:
  TFieldAccessible(HWND Wnd, IAccessible* Standard) : FWnd(Wnd), FStandard(Standard) {}
  ~TFieldAccessible() override { FStandard->Release(); }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** Parent) override { return FStandard->get_accParent(Parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* Count) override { return FStandard->get_accChildCount(Count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT Child, IDispatch** Out) override {
    return FStandard->get_accChild(Child, Out);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT Child, BSTR* Name) override {
    if (TControl* C = Self(Child)) return ControlText(*C, &TControl::AccName, Name);
    return FStandard->get_accName(Child, Name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT Child, BSTR* Value) override {
    if (TControl* C = Self(Child); C && !C->AccValue().empty()) return ControlText(*C, &TControl::AccValue, Value);
    return FStandard->get_accValue(Child, Value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT Child, BSTR* Text) override {
    if (TControl* C = Self(Child)) return ReturnText(Description(*C), Text);
    return FStandard->get_accDescription(Child, Text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT Child, VARIANT* Role) override {
    TControl* C = Self(Child);
    if (!C || !Role) return FStandard->get_accRole(Child, Role);
    Role->vt = VT_I4;
    Role->lVal = C->AccRole();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT Child, VARIANT* State) override {
    HRESULT Result = FStandard->get_accState(Child, State);
    if (TControl* C = Self(Child); C && SUCCEEDED(Result) && State->vt == VT_I4) {
      State->lVal |= C->AccState();
      // Not every system says so of a field on a hidden page.
      if (!C->Showing()) State->lVal |= STATE_SYSTEM_INVISIBLE;
    }
    return Result;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT Child, BSTR* Text) override {
    return FStandard->get_accKeyboardShortcut(Child, Text);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* Focus) override { return FStandard->get_accFocus(Focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* Selection) override {
    return FStandard->get_accSelection(Selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT Child, BSTR* Text) override {
    if (TControl* C = Self(Child)) return ControlText(*C, &TControl::AccDefaultAction, Text);
    return FStandard->get_accDefaultAction(Child, Text);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long Flags, VARIANT Child) override { return FStandard->accSelect(Flags, Child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* Left, long* Top, long* Width, long* Height, VARIANT Child) override {
    return FStandard->accLocation(Left, Top, Width, Height, Child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long Direction, VARIANT Start, VARIANT* End) override {
    return FStandard->accNavigate(Direction, Start, End);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long X, long Y, VARIANT* Hit) override {
    return FStandard->accHitTest(X, Y, Hit);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT Child) override {
    TControl* C = Self(Child);
    if (!C || C->AccDefaultAction().empty()) return FStandard->accDoDefaultAction(Child);
    if (!C->Enabled()) return E_FAIL;
    return PostMessageA(FWnd, CM_ACCDEFAULTACTION, CHILDID_SELF, 0) ? S_OK : E_FAIL;
  }

 private:
  // The control, when the call is about the control itself.
  TControl* Self(const VARIANT& Child) const {
    long Id = 0;
    return ChildId(Child, Id) && Id == CHILDID_SELF ? ControlOf(FWnd) : nullptr;
  }

  HWND FWnd;
  IAccessible* FStandard;  // owned
};

bool AnswerGetObject(TWinControl& Control, TMessage& Message) {
  if (static_cast<LONG>(Message.LParam) != OBJID_CLIENT || !Control.HandleAllocated()) return false;
  // The object is handed over through COM, which the thread must have joined
  // (a single-threaded apartment, as a window's thread is); once is enough,
  // and a thread that joined already keeps what it chose.
  static const HRESULT Joined = JoinApartment();
  (void)Joined;
  const HWND Wnd = Control.WindowHandle();
  IAccessible* Standard = nullptr;
  if (FAILED(StandardObject(Wnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&Standard))))
    return false;
  TAccessibleBase* Object = Control.IsField() ? static_cast<TAccessibleBase*>(new TFieldAccessible(Wnd, Standard))
                                              : new TWindowAccessible(Wnd, Standard);
  Message.Result = ResultFromObject(__uuidof(IAccessible), Message.WParam, Object);
  Object->Release();
  return true;
}

}  // namespace

void InstallAccessibility() { SetGetObjectHandler(AnswerGetObject); }
