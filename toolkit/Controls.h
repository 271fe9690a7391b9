#pragma once
// Controls: the windowless kind, painted by its parent, and the windowed kind,
// a real child window. Both carry bounds, visibility, enabled state, caption,
// font, colour, hint and mouse events.

#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"
#include "toolkit/Window.h"

#include <string>
#include <vector>

class TWinControl;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

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

  // Asks for the control's area to be painted again.
  virtual void Invalidate();
  // Runs the click: OnClick when set.
  virtual void Click();

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
  // The caption as the user may have edited it (windowed controls read their window).
  void StoreCaption(const std::string& Value) { FCaption = Value; }

 private:
  friend class TWinControl;        // keeps the parent link and places aligned children
  TWinControl* FParent = nullptr;  // not owned
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = TAlign::alNone;
  bool FVisible = true;
  bool FEnabled = true;
  std::string FCaption;
  TFont FFont;
  TColor FColor = clBtnFace;
  std::string FHint;
  bool FShowHint = false;
  int FCursor = crDefault;
};

// A control without a window of its own; its parent paints it.
class TGraphicControl : public TControl {
 public:
  using TControl::TControl;

 protected:
  void VisibleChanged() override;
  void EnabledChanged() override { Invalidate(); }
  void TextChanged() override { Invalidate(); }
  void FontChanged() override { Invalidate(); }
  void BoundsChanged() override;
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

  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int Value) { FTabOrder = Value; }
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value);

  bool Focused() const;
  virtual void SetFocus();

  void Invalidate() override;

 protected:
  friend class TControl;
  virtual void CreateParams(TCreateParams& Params);
  virtual void CreateHandle();
  // A control notification (WM_COMMAND) that the parent hands back.
  virtual void CommandNotify(WORD /*Code*/) {}
  // The brush for WM_CTLCOLOR* that the parent hands back; sets the colours.
  virtual HBRUSH CtlColor(HDC DC);
  // Re-positions the children that have an Align.
  void AlignControls();

  void WndProc(TMessage& Message) override;

  void BoundsChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;
  void FontChanged() override;
  void ColorChanged() override;

 private:
  void InsertControl(TControl* Control);
  void RemoveControl(TControl* Control);
  HBRUSH ColorBrush();

  std::vector<TControl*> FControls;  // not owned: the owner frees them
  int FTabOrder = -1;
  bool FTabStop = false;
  HBRUSH FBrush = nullptr;  // owned; the solid brush of Color
  bool FCreating = false;
};
