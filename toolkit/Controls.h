#pragma once
// Controls: the windowless kind, painted and fed with mouse input by its
// parent, and the windowed kind, a real child window. Both carry bounds,
// visibility, enabled state, caption, font, colour, hint and mouse events.

#include "toolkit/Classes.h"
#include "toolkit/Dpi.h"
#include "toolkit/Graphics.h"
#include "toolkit/Handles.h"
#include "toolkit/Window.h"

#include <oleacc.h>

#include <string>
#include <vector>

class TWinControl;

enum class TAlign { alNone, alTop, alRight, alClient };

// How assistive technology tells the user of a change of a control's text
// (a status line): not at all, once it has finished speaking, or at once.
enum class TLiveSetting { Off = 0, Polite = 1, Assertive = 2 };

constexpr int crDefault = 0;
constexpr int crHandPoint = -21;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }  // not owned
  virtual void SetParent(TWinControl* Value);

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  RECT BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  RECT ClientRect() const { return {0, 0, FWidth, FHeight}; }

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);

  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);

  TFont& Font() { return FFont; }
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);

  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value) { FHint = Value; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value) { FShowHint = Value; }
  int Cursor() const { return FCursor; }
  void SetCursor(int Value) { FCursor = Value; }

  // Whether the top-level window the control sits in is the active window
  // (a form's active flag); false for a control on no form.
  bool FormActive() const;
  // The DPI the control is laid out for: its top-level window's (a form's),
  // 96 for a control on no form.
  int CurrentDpi() const;
  // The layout goes from OldDpi to NewDpi: the bounds and the font height
  // are made for NewDpi from their 96-DPI figures, each on its own, rounded
  // as MulDiv rounds. Controls with lengths or pictures of their own scale
  // those too.
  virtual void ChangeScale(int NewDpi, int OldDpi);

  // Asks for the control's area to be painted again.
  virtual void Invalidate();
  // Runs the click: OnClick when set.
  virtual void Click();

  // Whether the pointer is captured for this control.
  bool MouseCapture() const;
  void SetMouseCapture(bool Value);

  // A mouse message in the control's own coordinates, as the parent routes it.
  void MouseMessage(UINT Msg, WPARAM Keys, int X, int Y);

  // What assistive technology is told of the control. The name is the
  // accessible name where one is set, else the caption without its "&"
  // marks, or the hint where the caption is only punctuation ("...") or
  // none; the keyboard shortcut is the caption's Alt+letter; the default
  // action, where there is one, is a click. A control that draws or acts
  // otherwise says so by overriding these.
  virtual std::string AccName() const;
  // The name where caption and hint would not tell the control from another
  // (two "Play Sound" buttons, one for each sound); shown nowhere.
  void SetAccessibleName(const std::string& Value) { FAccessibleName = Value; }
  // A windowless control whose caption is a live region: a change of it
  // while its window is shown is spoken even where the focus is elsewhere.
  TLiveSetting LiveSetting() const { return FLiveSetting; }
  void SetLiveSetting(TLiveSetting Value) { FLiveSetting = Value; }
  // The exclusive group whose page tabs sit together in one page-tab list;
  // 0 for a control that is no page tab.
  virtual int AccTabGroup() const { return 0; }
  virtual std::string AccValue() const { return {}; }
  virtual long AccRole() const { return ROLE_SYSTEM_CLIENT; }
  // The states beyond those every control has (unavailable, invisible,
  // focusable, focused), which the accessible object adds itself.
  virtual long AccState() const { return 0; }
  virtual std::string AccDefaultAction() const { return OnClick ? "Click" : ""; }
  virtual void AccDoDefaultAction() { Click(); }
  virtual std::string AccKeyboardShortcut() const;
  // Whether the control is on show: itself and every parent up to the form.
  bool Showing() const;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

 protected:
  virtual void BoundsChanged() {}
  virtual void VisibleChanged() {}
  virtual void EnabledChanged() {}
  virtual void TextChanged() {}
  virtual void FontChanged() {}
  virtual void ColorChanged() { Invalidate(); }
  void StoreCaption(const std::string& Value) { FCaption = Value; }
  // The font's share of ChangeScale.
  void ChangeFontScale(int NewDpi, int OldDpi);

  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void DblClick() { OnDblClick(this); }
  // The pointer came over the control, or left it.
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  // Whether a double click is a double click for this control; for the
  // others it is a second press.
  virtual bool AcceptsDoubleClicks() const { return true; }
  // Whether the caption marks Key (in either case) with "&".
  bool IsAccelerator(char Key) const;
  // The letter the caption marks with "&", or 0.
  char AcceleratorChar() const;
  // Tells assistive technology of a change (EVENT_OBJECT_*): a windowless
  // control is child Index+1 of its parent window's client object.
  void AccNotify(DWORD Event) const;

 private:
  friend class TWinControl;        // keeps the parent link and places aligned children
  TWinControl* FParent = nullptr;  // not owned
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = TAlign::alNone;
  bool FVisible = true;
  bool FEnabled = true;
  bool FClicked = false;  // the left button went down here
  std::string FCaption;
  TFont FFont;
  TColor FColor = clBtnFace;
  std::string FHint;
  std::string FAccessibleName;
  TLiveSetting FLiveSetting = TLiveSetting::Off;
  bool FShowHint = false;
  int FCursor = crDefault;
  TDesignLength FDesignBounds[4];  // left, top, width, height
  TDesignLength FDesignFontHeight;
};

class TGraphicControl;

// A windowless control's canvas. During its parent's paint the parent
// attaches the paint's context; outside it (a control that draws at once when
// a property changes) each drawing call borrows the parent window's context,
// with the origin on the control and clipped to its bounds.
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TGraphicControl& Control) : FControl(Control) {}

 protected:
  HDC BorrowHandle() override;
  void ReturnHandle(HDC DC) override;

 private:
  TGraphicControl& FControl;
  HWND FBorrowedFrom = nullptr;  // not owned
};

// A control without a window of its own; its parent paints it, with the
// canvas set on the parent's context, its origin and clipping on the control.
class TGraphicControl : public TControl {
 public:
  TGraphicControl(TComponent* AOwner) : TControl(AOwner), FCanvas(*this) {}

  TCanvas& Canvas() { return FCanvas; }
  // Called by the parent with the canvas ready.
  virtual void Paint() {}
  // An Alt+key press reached the form: whether this control took it.
  virtual bool DialogChar(char) { return false; }

  // A windowless control that acts (a button, a link) can hold the keyboard
  // focus: its parent window takes the system's focus and remembers which of
  // its controls has it. Tab stops there when TabStop is set; Space and
  // Enter then click it, and it shows a focus rectangle.
  virtual bool CanTakeFocus() const { return false; }
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value) { FTabStop = Value; }
  bool Focused() const;
  void SetFocus();
  // Where the focus rectangle goes, in the control's coordinates.
  virtual RECT FocusRect() const { return ClientRect(); }

 protected:
  void VisibleChanged() override;
  void EnabledChanged() override { Invalidate(); }
  void TextChanged() override { Invalidate(); }
  void FontChanged() override { Invalidate(); }
  void BoundsChanged() override;

 private:
  TControlCanvas FCanvas;
  bool FTabStop = false;
};

// A stop of the Tab key: a windowed control, or a windowless one in its
// parent window.
struct TTabStop {
  TWinControl* Window = nullptr;       // not owned
  TGraphicControl* Graphic = nullptr;  // not owned; none: the window itself
  void Focus() const;
  bool operator==(const TTabStop&) const = default;
};

// A control with a window of its own. The window is made when first needed,
// after the object is fully built, so that CreateParams of the final class
// decides its style.
class TWinControl : public TControl, public TWindowObject {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  HWND Handle();  // creates the window when it has none yet
  void HandleNeeded() { Handle(); }

  const std::vector<TControl*>& Controls() const { return FControls; }
  // The topmost showing, enabled windowless child at a point, or none.
  TGraphicControl* ControlAtPos(POINT Point) const;

  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int Value) { FTabOrder = Value; }
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value);
  // For a top-level window: whether it is the active window. A form keeps
  // this flag; other windows are never active themselves.
  virtual bool ActiveFlag() const { return false; }
  // For a top-level window: the DPI its layout is for. A form keeps it.
  virtual int PixelsPerInch() const { return DefaultDpi; }
  // Itself, then every child control.
  void ChangeScale(int NewDpi, int OldDpi) override;

  virtual void SetFocus();
  bool CanFocus() const;
  // Every stop of the Tab key inside this control, at any depth, in the
  // order the key walks them: the windowed controls in tab order, each
  // windowless one placed among them by where it sits on screen (after the
  // last windowed control above it or left of it on its line).
  std::vector<TTabStop> TabStops() const;
  // Focuses the first of them; false when there is none.
  bool FocusFirstTabStop();
  // The windowless control that has the focus while this window has it.
  TGraphicControl* FocusedControl() const { return FFocusedControl; }
  // A system control (edit, check box) shows its own focus; a container
  // shows one only through a windowless control of its own.
  bool IsField() const { return Superclassed(); }
  // Child Id of assistive technology of a child control: 1-based in
  // Controls(); 0 for none.
  long ChildIdOf(const TControl* Control) const;

  void Invalidate() override;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  friend class TControl;
  virtual void CreateParams(TCreateParams& Params);
  virtual void CreateHandle();
  // A control notification (WM_COMMAND) that the parent hands back.
  virtual void CommandNotify(WORD /*Code*/) {}
  // The brush for WM_CTLCOLOR* that the parent hands back; sets the colours.
  virtual HBRUSH CtlColor(HDC DC);
  // Paints the control's own surface (not for system controls); the
  // windowless children are painted after it.
  virtual void Paint(TCanvas&) {}
  // Re-positions the children that have an Align.
  void AlignControls();
  // A windowed control inside this one received the focus, or is going away.
  // Each is passed on to the parent; the top-level window (a form) acts on it.
  virtual void ControlFocused(TWinControl* Control);
  virtual void ControlDestroying(TWinControl* Control);
  // A control inside this one was hidden or disabled (the focus may have
  // gone with it), or shown or enabled (the focus may belong there). Passed
  // on to the parent; a form checks the focus.
  virtual void ControlStateChanged();

  void WndProc(TMessage& Message) override;
  // The answer to WM_ERASEBKGND (not for system controls): fills the client
  // area with Color and returns true (erased); returning false leaves it.
  virtual bool DoEraseBackground(HDC DC);

  void BoundsChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;
  void FontChanged() override;
  void ColorChanged() override;

 private:
  void InsertControl(TControl* Control);
  void RemoveControl(TControl* Control);
  // The windowed children, in tab order (the order their windows are made).
  std::vector<TWinControl*> WindowedInTabOrder() const;
  HBRUSH ColorBrush();
  void PaintHandler();
  // The windowless children's share of the pointer in this window: the one
  // that holds the capture (the window captures the pointer for it and hands
  // it every movement, in its own coordinates) and the one under the
  // pointer. While one holds the capture, no other counts as under the
  // pointer: the holder alone sees it.
  void CapturePointer(TGraphicControl* Control);
  void ReleasePointer(TGraphicControl* Control);
  bool RouteMouse(TMessage& Message);
  void UpdateMouseControl(TGraphicControl* Control);
  bool SetCursorFor();

  friend class TGraphicControl;                // keeps FFocusedControl
  std::vector<TControl*> FControls;            // not owned: the owner frees them
  TGraphicControl* FFocusedControl = nullptr;  // not owned
  TGraphicControl* FCaptureControl = nullptr;  // not owned: holds the capture
  TGraphicControl* FMouseControl = nullptr;    // not owned: under the pointer
  int FTabOrder = -1;
  bool FTabStop = false;
  TBrushUse FBrush;  // the solid brush of Color
  bool FCreating = false;
  TCanvas FCanvas;
};

// Private messages of the toolkit's control windows.
// A default action that assistive technology asked for, run later from the
// loop (never inside the client's call): wParam is the child Id.
constexpr UINT CM_ACCDEFAULTACTION = WM_APP + 0x110;
// A form checks that the focus is on a control that shows it.
constexpr UINT CM_CHECKFOCUS = WM_APP + 0x111;

// The answer to WM_GETOBJECT, installed by the unit that builds accessible
// objects (a lower layer offers the hook, a higher one fills it). It returns
// whether it answered, with the result in Message.
using TGetObjectHandler = bool (*)(TWinControl& Control, TMessage& Message);
void SetGetObjectHandler(TGetObjectHandler Handler);
