#pragma once
// Controls: the windowless kind, painted and fed with mouse input by its
// parent, and the windowed kind, a real child window. Both carry bounds,
// visibility, enabled state, caption, font, colour, hint and mouse events.

#include "toolkit/Classes.h"
#include "toolkit/Dpi.h"
#include "toolkit/Graphics.h"
#include "toolkit/Handles.h"
#include "toolkit/Window.h"

#include <string>
#include <vector>

class TWinControl;

enum class TAlign { alNone, alTop, alRight, alClient };

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

 protected:
  void VisibleChanged() override;
  void EnabledChanged() override { Invalidate(); }
  void TextChanged() override { Invalidate(); }
  void FontChanged() override { Invalidate(); }
  void BoundsChanged() override;

 private:
  TControlCanvas FCanvas;
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
  // The first control inside this one, at any depth, that the Tab key stops
  // at (in tab order, and able to take the focus), or none.
  TWinControl* FirstTabStop() const;

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

  std::vector<TControl*> FControls;            // not owned: the owner frees them
  TGraphicControl* FCaptureControl = nullptr;  // not owned: holds the capture
  TGraphicControl* FMouseControl = nullptr;    // not owned: under the pointer
  int FTabOrder = -1;
  bool FTabStop = false;
  TGdiObject<HBRUSH> FBrush;  // the solid brush of Color
  bool FCreating = false;
  TCanvas FCanvas;
};
