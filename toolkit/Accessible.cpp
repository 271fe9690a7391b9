#include "toolkit/Accessible.h"

#include "toolkit/Platform.h"

#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <vector>

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

VARIANT IdVariant(long Id) {
  VARIANT V;
  EmptyVariant(&V);
  V.vt = VT_I4;
  V.lVal = Id;
  return V;
}

HRESULT ReturnLocation(const RECT& R, long* Left, long* Top, long* Width, long* Height) {
  *Left = R.left;
  *Top = R.top;
  *Width = R.right - R.left;
  *Height = R.bottom - R.top;
  return S_OK;
}

// One child of an object as a client walks it: a control, or the page-tab
// list of an exclusive group of page tabs (Control is then its first tab).
struct TItem {
  TControl* Control;  // not owned
  int TabGroup;
};

// The children of a window as a client walks them (Group 0): its controls,
// with the page tabs of each group gathered into one list where the first
// of them is; or the page tabs of one group. The Ids stay the controls'
// places among the window's controls, so an event about a tab names it as
// any other control.
std::vector<TItem> ItemsOf(const TWinControl& W, int Group) {
  std::vector<TItem> Items;
  std::vector<int> Listed;
  for (TControl* C : W.Controls()) {
    const int Of = C->AccTabGroup();
    if (Group != 0) {
      if (Of == Group) Items.push_back({C, 0});
    } else if (Of == 0) {
      Items.push_back({C, 0});
    } else if (std::find(Listed.begin(), Listed.end(), Of) == Listed.end()) {
      Listed.push_back(Of);
      Items.push_back({C, Of});
    }
  }
  return Items;
}

// Where an item lies among the items, or -1.
long IndexOf(const std::vector<TItem>& Items, const TControl* C) {
  for (size_t I = 0; I < Items.size(); ++I)
    if (Items[I].Control == C) return static_cast<long>(I);
  return -1;
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

// The hint, where the name does not say it already.
std::string Description(const TControl& C) {
  return C.AccName().find(C.Hint()) == std::string::npos ? C.Hint() : std::string();
}

// An object whose children a client walks through IEnumVARIANT (which
// AccessibleChildren asks for first): the Ids of its elements are not 1 to
// the number of children.
class TContainerAccessible : public TAccessibleBase, public IEnumVARIANT {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Out) override {
    if (Iid == __uuidof(IEnumVARIANT) && Out) {
      *Out = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    return TAccessibleBase::QueryInterface(Iid, Out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return TAccessibleBase::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return TAccessibleBase::Release(); }

  HRESULT STDMETHODCALLTYPE get_accChildCount(long* Count) override {
    if (!Count) return E_POINTER;
    TWinControl* W = ControlOf(FWnd);
    *Count = W ? static_cast<long>(Items(*W).size()) : 0;
    return W ? S_OK : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG Count, VARIANT* Out, ULONG* Fetched) override {
    if (!Out || (!Fetched && Count != 1)) return E_POINTER;
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    const std::vector<TItem> All = Items(*W);
    ULONG Done = 0;
    for (; Done < Count && FNext < All.size(); ++Done, ++FNext) {
      EmptyVariant(&Out[Done]);
      if (FAILED(Element(All[FNext], &Out[Done]))) break;
    }
    if (Fetched) *Fetched = Done;
    return Done == Count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG Count) override {
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    const size_t Size = Items(*W).size();
    FNext = std::min(Size, FNext + Count);
    return FNext < Size || Count == 0 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    FNext = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** Out) override {
    if (Out) *Out = nullptr;
    return E_NOTIMPL;
  }

 protected:
  TContainerAccessible(HWND Wnd, int Group) : FWnd(Wnd), FGroup(Group) {}
  std::vector<TItem> Items(const TWinControl& W) const { return ItemsOf(W, FGroup); }
  // An item as a client expects it: a windowless control by its Id, a
  // windowed one by its window's object, a list by its own object.
  HRESULT Element(const TItem& Item, VARIANT* Out) const;
  // The control a child Id stands for, of this object's items only; none
  // for the object itself.
  HRESULT Find(const VARIANT& Child, TControl*& C) const {
    C = nullptr;
    long Id = 0;
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    if (!ChildId(Child, Id)) return E_INVALIDARG;
    if (Id == CHILDID_SELF) return S_OK;
    if (Id < 1 || Id > static_cast<long>(W->Controls().size())) return E_INVALIDARG;
    C = W->Controls()[static_cast<size_t>(Id - 1)];
    if (FGroup != 0 && C->AccTabGroup() != FGroup) return E_INVALIDARG;
    return S_OK;
  }
  // The Id of a control among the window's controls.
  long IdOf(const TControl* C) const {
    TWinControl* W = ControlOf(FWnd);
    return W ? W->ChildIdOf(C) : 0;
  }
  // Next or previous from a child, among the items of its own list.
  HRESULT Sibling(TControl& C, long Direction, VARIANT* End) const {
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    if (Direction != NAVDIR_NEXT && Direction != NAVDIR_PREVIOUS) return DISP_E_MEMBERNOTFOUND;
    const int Group = C.AccTabGroup();
    const std::vector<TItem> Around = ItemsOf(*W, Group);
    long At = IndexOf(Around, &C);
    if (At < 0) {
      // A tab, asked of the window: the first of its group stands for it.
      At = IndexOf(ItemsOf(*W, 0), &C);
      if (At < 0) return S_FALSE;
    }
    const long To = At + (Direction == NAVDIR_NEXT ? 1 : -1);
    if (To < 0 || To >= static_cast<long>(Around.size())) return S_FALSE;
    // A tab's neighbour is a tab: an element, never its list.
    TItem Item = Around[static_cast<size_t>(To)];
    if (Group != 0) Item.TabGroup = 0;
    return Element(Item, End);
  }

  // From a child to the next or previous one; from the object itself to
  // its first or last child, or, any other way, as Outward says.
  template <class F>
  HRESULT Navigate(long Direction, VARIANT Start, VARIANT* End, F Outward) const {
    if (!End) return E_POINTER;
    EmptyVariant(End);
    TControl* C = nullptr;
    HRESULT Found = Find(Start, C);
    if (Found != S_OK) return Found;
    if (C) return Sibling(*C, Direction, End);
    if (Direction != NAVDIR_FIRSTCHILD && Direction != NAVDIR_LASTCHILD) return Outward();
    const std::vector<TItem> All = Items(*ControlOf(FWnd));
    if (All.empty()) return S_FALSE;
    return Element(Direction == NAVDIR_FIRSTCHILD ? All.front() : All.back(), End);
  }

  HWND FWnd;
  int FGroup;  // 0: the window's own object; else the page-tab list of that group

 private:
  size_t FNext = 0;  // the enumeration's place
};

// The page-tab list of one exclusive group of a window's controls. It has
// no window of its own: its tabs are elements of the window's object too,
// which answers for them.
class TTabListAccessible final : public TContainerAccessible {
 public:
  TTabListAccessible(HWND Wnd, int Group, IAccessible* Window) : TContainerAccessible(Wnd, Group), FWindow(Window) {
    FWindow->AddRef();
  }
  ~TTabListAccessible() override { FWindow->Release(); }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** Parent) override {
    return FWindow->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(Parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT Child, IDispatch** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    return Found != S_OK ? Found : C ? S_FALSE : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT Child, BSTR* Name) override {
    return Tab(Child, Name, &IAccessible::get_accName);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT Child, BSTR* Value) override {
    return Tab(Child, Value, &IAccessible::get_accValue);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT Child, BSTR* Text) override {
    return Tab(Child, Text, &IAccessible::get_accDescription);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT Child, BSTR* Text) override {
    return Tab(Child, Text, &IAccessible::get_accKeyboardShortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT Child, BSTR* Text) override {
    return Tab(Child, Text, &IAccessible::get_accDefaultAction);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT Child, VARIANT* Role) override {
    return Tab(Child, Role, &IAccessible::get_accRole, [&] {
      Role->vt = VT_I4;
      Role->lVal = ROLE_SYSTEM_PAGETABLIST;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT Child, VARIANT* State) override {
    return Tab(Child, State, &IAccessible::get_accState, [&] {
      State->vt = VT_I4;
      State->lVal = STATE_SYSTEM_INVISIBLE;
      TWinControl* W = ControlOf(FWnd);
      for (const TItem& Item : Items(*W))
        if (Item.Control->Showing()) State->lVal = 0;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* Focus) override {
    return Pick(Focus, [](TControl& C) {
      auto* G = dynamic_cast<TGraphicControl*>(&C);
      return G && G->Focused();
    });
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* Selection) override {
    return Pick(Selection, [](TControl& C) { return (C.AccState() & STATE_SYSTEM_SELECTED) != 0; });
  }
  HRESULT STDMETHODCALLTYPE accSelect(long Flags, VARIANT Child) override {
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    return C ? FWindow->accSelect(Flags, Child) : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* Left, long* Top, long* Width, long* Height, VARIANT Child) override {
    if (!Left || !Top || !Width || !Height) return E_POINTER;
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    if (C) return FWindow->accLocation(Left, Top, Width, Height, Child);
    // Around the tabs.
    RECT All = {0, 0, 0, 0};
    for (const TItem& Item : Items(*ControlOf(FWnd))) {
      RECT R = Item.Control->BoundsRect();
      UnionRect(&All, &All, &R);
    }
    MapWindowPoints(FWnd, nullptr, reinterpret_cast<POINT*>(&All), 2);
    return ReturnLocation(All, Left, Top, Width, Height);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long Direction, VARIANT Start, VARIANT* End) override {
    // Its own siblings are the window's to tell.
    return Navigate(Direction, Start, End, [] { return DISP_E_MEMBERNOTFOUND; });
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long X, long Y, VARIANT* Hit) override {
    if (!Hit) return E_POINTER;
    EmptyVariant(Hit);
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    POINT P = {X, Y};
    ScreenToClient(FWnd, &P);
    for (const TItem& Item : Items(*W)) {
      RECT R = Item.Control->BoundsRect();
      if (Item.Control->Visible() && PtInRect(&R, P)) {
        *Hit = IdVariant(IdOf(Item.Control));
        return S_OK;
      }
    }
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT Child) override {
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    return C ? FWindow->accDoDefaultAction(Child) : DISP_E_MEMBERNOTFOUND;
  }

 private:
  // A property of a tab, which the window's object gives, or of the list
  // itself (Own; none: the list has no such property).
  template <class T, class F>
  HRESULT Tab(VARIANT Child, T* Out, HRESULT (STDMETHODCALLTYPE IAccessible::*Method)(VARIANT, T*), F Own) {
    if (!Out) return E_POINTER;
    TControl* C = nullptr;
    HRESULT Found = Find(Child, C);
    if (Found != S_OK) return Found;
    return C ? (FWindow->*Method)(Child, Out) : Own();
  }
  HRESULT Tab(VARIANT Child, BSTR* Out, HRESULT (STDMETHODCALLTYPE IAccessible::*Method)(VARIANT, BSTR*)) {
    return Tab(Child, Out, Method, [Out] { return ReturnText({}, Out); });
  }
  // The first tab that Is, by its Id; empty when none.
  template <class F>
  HRESULT Pick(VARIANT* Out, F Is) const {
    if (!Out) return E_POINTER;
    EmptyVariant(Out);
    TWinControl* W = ControlOf(FWnd);
    if (!W) return RPC_E_DISCONNECTED;
    for (const TItem& Item : Items(*W))
      if (Is(*Item.Control)) {
        *Out = IdVariant(IdOf(Item.Control));
        return S_OK;
      }
    return S_FALSE;
  }

  IAccessible* FWindow;  // owned reference: the window's object, the list's parent
};

HRESULT TContainerAccessible::Element(const TItem& Item, VARIANT* Out) const {
  if (Item.TabGroup != 0) {
    // Only the window's own object has lists among its items; a list holds
    // it as its parent. The new object's one reference is the caller's.
    Out->vt = VT_DISPATCH;
    Out->pdispVal = new TTabListAccessible(FWnd, Item.TabGroup, const_cast<TContainerAccessible*>(this));
    return S_OK;
  }
  auto* W = dynamic_cast<TWinControl*>(Item.Control);
  if (W && W->HandleAllocated()) {
    Out->vt = VT_DISPATCH;
    return WindowObject(W->WindowHandle(), &Out->pdispVal);
  }
  *Out = IdVariant(IdOf(Item.Control));
  return S_OK;
}

// The client object of a window of the toolkit's own classes. CHILDID_SELF
// is the window; child Id N is the window's Nth child control, page tabs
// included, though a client walking the children finds those in their
// page-tab list.
class TWindowAccessible final : public TContainerAccessible {
 public:
  TWindowAccessible(HWND Wnd, IAccessible* Standard) : TContainerAccessible(Wnd, 0), FStandard(Standard) {}
  ~TWindowAccessible() override { FStandard->Release(); }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** Parent) override { return FStandard->get_accParent(Parent); }
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
    if (C->AccTabGroup() != 0) {
      // Selecting a page tab, or giving it the focus, is a click on it: its
      // page comes on show, unless the page is locked.
      if (!(Flags & (SELFLAG_TAKESELECTION | SELFLAG_TAKEFOCUS)) ||
          (Flags & (SELFLAG_ADDSELECTION | SELFLAG_REMOVESELECTION | SELFLAG_EXTENDSELECTION)))
        return E_INVALIDARG;
      if (!C->Enabled() || !C->Showing()) return E_FAIL;
      return PostMessageA(FWnd, CM_ACCDEFAULTACTION, static_cast<WPARAM>(Child.lVal), 0) ? S_OK : E_FAIL;
    }
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
    return ReturnLocation(R, Left, Top, Width, Height);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long Direction, VARIANT Start, VARIANT* End) override {
    return Navigate(Direction, Start, End, [&] { return FStandard->accNavigate(Direction, Start, End); });
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
    for (auto It = Children.rbegin(); It != Children.rend(); ++It) {
      RECT R = (*It)->BoundsRect();
      if (!(*It)->Visible() || !PtInRect(&R, P)) continue;
      // A tab is found in its list.
      if (const int Group = (*It)->AccTabGroup()) return Element({*It, Group}, Hit);
      return Element({*It, 0}, Hit);
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
  static VARIANT Self() { return IdVariant(CHILDID_SELF); }
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
    // The system finds a field's shortcut on a static window before it; the
    // labels here are windowless.
    if (TControl* C = Self(Child); C && !C->AccKeyboardShortcut().empty())
      return ReturnText(C->AccKeyboardShortcut(), Text);
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

// The property a screen reader reads to know how to speak a live region
// (UI Automation's LiveSetting, which the annotation service takes).
const GUID LiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};

// Marks the window's live regions through the system's annotation service:
// a client that hears one changed (EVENT_OBJECT_LIVEREGIONCHANGED) then
// reads how to speak it. Made when a client asks for the window's object,
// before it can read anything, so a run that no client watches never loads
// the service.
void AnnotateLiveRegions(TWinControl& Control) {
  std::vector<TControl*> Live;
  for (TControl* C : Control.Controls())
    if (C->LiveSetting() != TLiveSetting::Off && !dynamic_cast<TWinControl*>(C)) Live.push_back(C);
  if (Live.empty()) return;
  IAccPropServices* Services = nullptr;
  if (FAILED(Platform().CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                         reinterpret_cast<void**>(&Services))))
    return;
  for (TControl* C : Live)
    Services->SetHwndProp(Control.WindowHandle(), static_cast<DWORD>(OBJID_CLIENT),
                          static_cast<DWORD>(Control.ChildIdOf(C)), LiveSettingProperty,
                          IdVariant(static_cast<long>(C->LiveSetting())));
  Services->Release();
}

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
  if (!Control.IsField()) AnnotateLiveRegions(Control);
  TAccessibleBase* Object = Control.IsField() ? static_cast<TAccessibleBase*>(new TFieldAccessible(Wnd, Standard))
                                              : new TWindowAccessible(Wnd, Standard);
  Message.Result = ResultFromObject(__uuidof(IAccessible), Message.WParam, Object);
  Object->Release();
  return true;
}

}  // namespace

void InstallAccessibility() { SetGetObjectHandler(AnswerGetObject); }
