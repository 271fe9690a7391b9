#pragma once
// Objects, components with owners, and events.

#include <functional>
#include <vector>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// An event slot: an object and one of its methods, or any callable. Calling an
// unset event does nothing.
template <class... Args>
class TEvent {
 public:
  TEvent() = default;
  template <class T, class Base>
  TEvent(T* Object, void (Base::*Method)(Args...)) : FCall([Object, Method](Args... A) { (Object->*Method)(A...); }) {}
  template <class F, class = std::enable_if_t<std::is_invocable_v<F&, Args...>>>
  TEvent(F Function) : FCall(std::move(Function)) {}

  explicit operator bool() const { return static_cast<bool>(FCall); }
  void operator()(Args... A) const {
    if (FCall) FCall(A...);
  }

 private:
  std::function<void(Args...)> FCall;
};

enum class TMouseButton { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// Modifier keys and buttons held during a mouse event.
enum TShiftFlag : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};
using TShiftState = unsigned;

using TNotifyEvent = TEvent<TObject*>;
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;

// A component lives as long as its owner: the owner frees what it owns, last
// created first. A component freed earlier leaves its owner's list.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }  // not owned
  const std::vector<TComponent*>& Components() const { return FComponents; }

  long long Tag = 0;

  // Whether the destruction of this component (or of its owner) has begun.
  // From then on it raises no events: nothing reaches an owner that is being
  // taken apart.
  bool Destroying() const { return FDestroying; }
  // Destruction begins: this component and everything it owns stop raising
  // events, and each is told (DestructionBegun), before any of them is freed.
  // Runs once.
  void BeginDestruction();
  // The first half of it alone: no event is raised any more, but nothing is
  // told yet (a form's destroy handler runs in between, while its tray icon
  // is still there).
  void StopEvents() { MarkDestroying(); }

  // While the stored properties of a layout are being applied.
  bool Loading() const { return FLoading; }
  void BeginLoading();
  // Ends loading here and in every owned component, then calls Loaded().
  void EndLoading();

 protected:
  // Called once when the stored properties have all been applied.
  virtual void Loaded() {}
  // Called once when destruction begins: a component that raises events of
  // its own accord (a timer, a worker's completion) stops them here.
  virtual void DestructionBegun() {}
  // Frees every owned component, last created first.
  void DestroyComponents();

 private:
  void InsertComponent(TComponent* Component);
  void RemoveComponent(TComponent* Component);
  void MarkDestroying();
  void TellDestructionBegun();

  TComponent* FOwner = nullptr;          // not owned
  std::vector<TComponent*> FComponents;  // owned
  bool FLoading = false;
  bool FDestroying = false;
  bool FToldDestroying = false;  // DestructionBegun has run
};
