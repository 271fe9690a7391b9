#include "toolkit/StdCtrls.h"

#include "toolkit/Handles.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <type_traits>

// ---- TLabel ----

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 65, 17); }

void TLabel::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Invalidate();
}

void TLabel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout Value) {
  if (Value == FLayout) return;
  FLayout = Value;
  Invalidate();
}

void TLabel::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  FitToText();
  Invalidate();
}

void TLabel::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  FitToText();
}

void TLabel::SetShowAccelChar(bool Value) {
  if (Value == FShowAccelChar) return;
  FShowAccelChar = Value;
  Invalidate();
}

void TLabel::TextChanged() {
  Invalidate();
  FitToText();
}

void TLabel::FontChanged() {
  Invalidate();
  FitToText();
}

bool TLabel::DialogChar(char Key) {
  if (!FShowAccelChar || !FFocusControl || !IsAccelerator(Key)) return false;
  if (FFocusControl->CanFocus()) FFocusControl->SetFocus();
  return true;
}

void TLabel::DrawLabelText(RECT& Rect, UINT Flags) {
  std::string Text = Caption();
  // An empty caption still measures as one line of text.
  if ((Flags & DT_CALCRECT) && (Text.empty() || (FShowAccelChar && Text == "&"))) Text += ' ';
  if (!FShowAccelChar) Flags |= DT_NOPREFIX;
  Canvas().Font().Assign(Font());
  if (!Enabled()) {
    OffsetRect(&Rect, 1, 1);
    Canvas().Font().SetColor(clBtnHighlight);
    Canvas().DrawTextRect(Text, Rect, Flags);
    OffsetRect(&Rect, -1, -1);
    Canvas().Font().SetColor(clBtnShadow);
    Canvas().DrawTextRect(Text, Rect, Flags);
    return;
  }
  Canvas().DrawTextRect(Text, Rect, Flags);
}

void TLabel::FitToText() {
  if (Loading() || !FAutoSize) return;
  RECT R = ClientRect();
  {
    // Measured on the screen's context.
    TWindowDC Screen(nullptr);
    TCanvasHandle Attached(Canvas(), Screen.Get());
    DrawLabelText(R, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
  }
  int X = Left();
  // A right-aligned label keeps its right edge.
  if (FAlignment == TAlignment::taRightJustify) X += Width() - R.right;
  SetBounds(X, Top(), R.right, R.bottom);
}

namespace {

UINT AlignmentFlag(TAlignment Alignment) {
  switch (Alignment) {
    case TAlignment::taRightJustify:
      return DT_RIGHT;
    case TAlignment::taCenter:
      return DT_CENTER;
    default:
      return DT_LEFT;
  }
}

}  // namespace

void TLabel::PaintLabel() {
  if (!FTransparent) {
    Canvas().SetBrushStyle(TBrushStyle::bsSolid);
    Canvas().SetBrushColor(Color());
    Canvas().FillRect(ClientRect());
  }
  Canvas().SetBrushStyle(TBrushStyle::bsClear);
  RECT R = ClientRect();
  UINT Flags = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0) | AlignmentFlag(FAlignment);
  if (FLayout != TTextLayout::tlTop) {
    RECT Measured = R;
    DrawLabelText(Measured, Flags | DT_CALCRECT);
    int Free = Height() - Measured.bottom;
    OffsetRect(&R, 0, FLayout == TTextLayout::tlBottom ? Free : Free / 2);
  }
  DrawLabelText(R, Flags);
}

// ---- TCustomEdit ----

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetColor(clWindow);
  SetTabStop(true);
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ClassName = "TCustomEdit";
  Params.SuperClass = "EDIT";
  Params.ExStyle |= WS_EX_CLIENTEDGE;
  if (FReadOnly) Params.Style |= ES_READONLY;
}

void TCustomEdit::CreateHandle() {
  TWinControl::CreateHandle();
  SetWindowTextA(WindowHandle(), Caption().c_str());
}

std::string TCustomEdit::Text() const {
  if (!HandleAllocated()) return Caption();
  int Length = GetWindowTextLengthA(WindowHandle());
  std::string Result(static_cast<size_t>(Length) + 1, '\0');
  Length = GetWindowTextA(WindowHandle(), Result.data(), Length + 1);
  Result.resize(static_cast<size_t>(Length));
  return Result;
}

void TCustomEdit::SetText(const std::string& Value) {
  // The window may hold what the user typed, so the text always goes to it.
  StoreCaption(Value);
  if (HandleAllocated()) SetWindowTextA(WindowHandle(), Value.c_str());
}

void TCustomEdit::SetReadOnly(bool Value) {
  if (Value == FReadOnly) return;
  FReadOnly = Value;
  if (HandleAllocated()) SendMessageA(WindowHandle(), EM_SETREADONLY, Value, 0);
}

const TLabel* TCustomEdit::FocusLabel() const {
  if (!Parent()) return nullptr;
  for (TControl* Sibling : Parent()->Controls())
    if (auto* Label = dynamic_cast<TLabel*>(Sibling); Label && Label->FocusControl() == this) return Label;
  return nullptr;
}

std::string TCustomEdit::AccKeyboardShortcut() const {
  const TLabel* Label = FocusLabel();
  return Label && Label->ShowAccelChar() ? Label->AccKeyboardShortcut() : std::string();
}

std::string TCustomEdit::AccName() const {
  if (!Parent()) return Hint();
  if (const TLabel* Label = FocusLabel()) return Label->AccName();
  // The nearest captioned control above the field (overlapping it across)
  // or left of it on its line.
  const TControl* Nearest = nullptr;
  for (TControl* Sibling : Parent()->Controls()) {
    if (Sibling == this || Sibling->Caption().empty() || dynamic_cast<TCustomEdit*>(Sibling)) continue;
    const RECT S = Sibling->BoundsRect(), Me = BoundsRect();
    const bool Above = S.top < Me.top && S.left < Me.right && S.right > Me.left;
    const bool LeftOnLine = S.right <= Me.left && S.top < Me.bottom && S.bottom > Me.top;
    if ((Above || LeftOnLine) && (!Nearest || Sibling->Top() > Nearest->Top() ||
                                  (Sibling->Top() == Nearest->Top() && Sibling->Left() > Nearest->Left())))
      Nearest = Sibling;
  }
  return Nearest ? Nearest->AccName() : Hint();
}

void TCustomEdit::CommandNotify(WORD Code) {
  if (Code == EN_CHANGE) OnChange(this);
}

TEdit::TEdit(TComponent* AOwner) : TCustomEdit(AOwner) { SetBounds(0, 0, 121, 21); }

void TEdit::CreateParams(TCreateParams& Params) {
  TCustomEdit::CreateParams(Params);
  Params.ClassName = "TEdit";
  Params.Style |= ES_AUTOHSCROLL;
}

void TEdit::FontChanged() {
  TCustomEdit::FontChanged();
  // The band above the line depends on the line's height.
  if (HandleAllocated() && CurrentDpi() != DefaultDpi)
    SetWindowPos(WindowHandle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TEdit::TopInset(const RECT& Client) {
  if (CurrentDpi() == DefaultDpi) return 0;
  // A one-line edit draws its line at the top of its client area, and the
  // formatting rectangle that would move it works for multi-line edits only:
  // the client area itself starts lower.
  TWindowDC DC(WindowHandle());
  if (!DC) return 0;
  TSelection Selected(DC.Get(), Font().Handle());
  TEXTMETRICA Metrics = {};
  if (!GetTextMetricsA(DC.Get(), &Metrics)) return 0;
  return std::max(0L, (Client.bottom - Client.top - Metrics.tmHeight) / 2);
}

void TEdit::PaintInset() {
  if (FInset <= 0) return;
  RECT Window, Client;
  if (!GetWindowRect(WindowHandle(), &Window) || !GetClientRect(WindowHandle(), &Client)) return;
  MapWindowPoints(WindowHandle(), nullptr, reinterpret_cast<POINT*>(&Client), 2);
  OffsetRect(&Client, -Window.left, -Window.top);
  // The whole window's context: the band lies outside the client area.
  std::unique_ptr<std::remove_pointer_t<HDC>, std::function<void(HDC)>> Frame(
      GetWindowDC(WindowHandle()), [this](HDC DC) { ReleaseDC(WindowHandle(), DC); });
  if (!Frame) return;
  RECT Band = {Client.left, Client.top - FInset, Client.right, Client.top};
  FillRect(Frame.get(), &Band, CtlColor(Frame.get()));
}

void TEdit::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_NCCALCSIZE: {
      TCustomEdit::WndProc(Message);
      RECT& Client = Message.WParam ? reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0]
                                    : *reinterpret_cast<RECT*>(Message.LParam);
      FInset = TopInset(Client);
      Client.top += FInset;
      return;
    }
    case WM_NCPAINT:
      TCustomEdit::WndProc(Message);
      PaintInset();
      return;
    case WM_NCHITTEST:
      // The band belongs to the field: a click there puts the caret in it.
      TCustomEdit::WndProc(Message);
      if (FInset > 0 && Message.Result == HTNOWHERE) Message.Result = HTCLIENT;
      return;
    default:
      TCustomEdit::WndProc(Message);
  }
}

// ---- TMemo ----

TMemo::TMemo(TComponent* AOwner) : TCustomEdit(AOwner) { SetBounds(0, 0, 185, 89); }

void TMemo::CreateParams(TCreateParams& Params) {
  TCustomEdit::CreateParams(Params);
  Params.ClassName = "TMemo";
  Params.Style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
}

void TMemo::CreateHandle() {
  TCustomEdit::CreateHandle();
  // No limit but memory: a log is never cut at the edit's default 32 KB.
  SendMessageA(WindowHandle(), EM_SETLIMITTEXT, 0, 0);
}

void TMemo::AddLine(const std::string& Line) {
  if (!HandleAllocated()) {
    std::string Current = Caption();
    if (!Current.empty() && (Current.size() < 2 || Current.compare(Current.size() - 2, 2, "\r\n") != 0))
      Current += "\r\n";
    StoreCaption(Current + Line + "\r\n");
    return;
  }
  // Whether the text ends with a line end is read off its last line, which
  // is empty exactly then: a line costs the same however long the log is,
  // with no copy of the whole text.
  HWND Wnd = WindowHandle();
  LRESULT LastLine = SendMessageA(Wnd, EM_GETLINECOUNT, 0, 0) - 1;
  LRESULT LastStart = SendMessageA(Wnd, EM_LINEINDEX, static_cast<WPARAM>(LastLine), 0);
  bool EndsWithBreak = SendMessageA(Wnd, EM_LINELENGTH, static_cast<WPARAM>(LastStart), 0) == 0;
  std::string Piece = EndsWithBreak ? Line + "\r\n" : "\r\n" + Line + "\r\n";
  // Appending through the selection keeps the caret, and so the view, at
  // the newest line.
  int End = GetWindowTextLengthA(Wnd);
  SendMessageA(Wnd, EM_SETSEL, End, End);
  SendMessageA(Wnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Piece.c_str()));
}

int TMemo::LineCount() const {
  std::string T = Text();
  int Count = 0;
  std::string::size_type Start = 0;
  while (Start < T.size()) {
    std::string::size_type Break = T.find("\r\n", Start);
    ++Count;
    if (Break == std::string::npos) break;
    Start = Break + 2;
  }
  return Count;
}

std::string TMemo::Line(int Index) const {
  std::string T = Text();
  std::string::size_type Start = 0;
  for (int I = 0; I < Index; ++I) {
    std::string::size_type Break = T.find("\r\n", Start);
    if (Break == std::string::npos) return std::string();
    Start = Break + 2;
  }
  std::string::size_type Break = T.find("\r\n", Start);
  return T.substr(Start, Break == std::string::npos ? std::string::npos : Break - Start);
}

// ---- TCheckBox ----

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
}

void TCheckBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ClassName = "TCheckBox";
  Params.SuperClass = "BUTTON";
  Params.Style |= BS_AUTOCHECKBOX;
}

void TCheckBox::CreateHandle() {
  TWinControl::CreateHandle();
  SendMessageA(WindowHandle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TCheckBox::Checked() const {
  if (!HandleAllocated()) return FChecked;
  return SendMessageA(WindowHandle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool Value) {
  FChecked = Value;
  if (HandleAllocated()) SendMessageA(WindowHandle(), BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::AccDoDefaultAction() {
  if (HandleAllocated()) SendMessageA(WindowHandle(), BM_CLICK, 0, 0);
}

void TCheckBox::CommandNotify(WORD Code) {
  if (Code == BN_CLICKED) {
    FChecked = Checked();
    Click();
  }
}
