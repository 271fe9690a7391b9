#pragma once
// Standard controls: the label (windowless), the one-line edit, the memo and
// the check box (system windows).

#include "toolkit/Controls.h"

#include <string>

constexpr TColor clWindow = 0x80000000 | COLOR_WINDOW;

enum class TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
enum class TTextLayout { tlTop = 0, tlCenter = 1, tlBottom = 2 };

// The standard label: its caption drawn with DrawTextA, optionally fitted to
// its text. Three routines can be replaced by a derived label: the one that
// draws or measures the caption, the one that fits the bounds, and the paint.
class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* AOwner);

  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  bool AutoSize() const { return FAutoSize; }
  // Stores a changed value and fits the label to its text.
  virtual void SetAutoSize(bool Value);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);
  // The control that the caption's accelerator key focuses; not owned.
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value) { FFocusControl = Value; }

  void Paint() override { PaintLabel(); }
  bool DialogChar(char Key) override;
  long AccRole() const override { return ROLE_SYSTEM_STATICTEXT; }

 protected:
  // Draws the caption into Rect, or with DT_CALCRECT measures it into Rect.
  virtual void DrawLabelText(RECT& Rect, UINT Flags);
  // Sizes the label to its caption (not while loading, not without AutoSize).
  virtual void FitToText();
  virtual void PaintLabel();

  void Loaded() override { FitToText(); }
  void TextChanged() override;
  void FontChanged() override;

 private:
  bool FTransparent = false;
  TAlignment FAlignment = TAlignment::taLeftJustify;
  TTextLayout FLayout = TTextLayout::tlTop;
  bool FWordWrap = false;
  bool FAutoSize = true;
  bool FShowAccelChar = true;
  TWinControl* FFocusControl = nullptr;  // not owned
};

// A system edit window. Its text is the window's, as the user typed it.
class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* AOwner);

  std::string Text() const;
  void SetText(const std::string& Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);

  TNotifyEvent OnChange;

  // A field is named by its label: the label whose accelerator focuses it,
  // or else the nearest captioned control before it on screen (a sound
  // file's check box), or else its hint.
  std::string AccName() const override;
  // The Alt+letter of the label that focuses it, if any.
  std::string AccKeyboardShortcut() const override;
  std::string AccValue() const override { return Text(); }
  long AccRole() const override { return ROLE_SYSTEM_TEXT; }
  long AccState() const override { return FReadOnly ? STATE_SYSTEM_READONLY : 0; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandle() override;
  void CommandNotify(WORD Code) override;

 private:
  // The label whose accelerator focuses the field, if any.
  const TLabel* FocusLabel() const;

  bool FReadOnly = false;
};

// A one-line edit. Scaled, its line sits in the middle of the field, as it
// fills the field at 96 DPI; there, it is the system's edit as it is.
class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* AOwner);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void FontChanged() override;
  void WndProc(TMessage& Message) override;

 private:
  // The band above the line, inside the border, that the edit leaves to
  // its frame: none at 96 DPI.
  int TopInset(const RECT& Client);
  void PaintInset();

  int FInset = 0;
};

// A multi-line edit holding lines separated by CR LF.
class TMemo : public TCustomEdit {
 public:
  explicit TMemo(TComponent* AOwner);

  // Appends a line: after a CR LF when the text does not end with one, and
  // followed by CR LF, so no blank line arises and no two lines are joined.
  void AddLine(const std::string& Line);
  int LineCount() const;
  std::string Line(int Index) const;
  void Clear() { SetText(std::string()); }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandle() override;
};

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* AOwner);

  bool Checked() const;
  void SetChecked(bool Value);

  long AccRole() const override { return ROLE_SYSTEM_CHECKBUTTON; }
  long AccState() const override { return Checked() ? STATE_SYSTEM_CHECKED : 0; }
  std::string AccDefaultAction() const override { return Checked() ? "Uncheck" : "Check"; }
  // As a click of the user's: the box toggles and says so.
  void AccDoDefaultAction() override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandle() override;
  void CommandNotify(WORD Code) override;

 private:
  bool FChecked = false;
};
