#include "ui/VintrelU.h"

#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"

#include <algorithm>

TVintrelF* VintrelF = nullptr;

namespace {

// Makes a control of the window: owned by the window, placed on Parent.
template <class T>
T* Make(TVintrelF* Form, TWinControl* Parent, int Left, int Top, int Width, int Height) {
  T* Control = new T(Form);
  Control->SetBounds(Left, Top, Width, Height);
  Control->SetParent(Parent);
  return Control;
}

TLabel* MakeLabel(TVintrelF* Form, TWinControl* Parent, int Left, int Top, const char* Caption) {
  auto* Label = Make<TLabel>(Form, Parent, Left, Top, 65, 13);
  Label->SetCaption(Caption);
  return Label;
}

TEdit* MakeEdit(TVintrelF* Form, TWinControl* Parent, int Left, int Top, int Width, const char* Text, int TabOrder) {
  auto* Edit = Make<TEdit>(Form, Parent, Left, Top, Width, 21);
  Edit->SetText(Text);
  Edit->SetTabOrder(TabOrder);
  return Edit;
}

TCheckBox* MakeCheckBox(TVintrelF* Form, TWinControl* Parent, int Left, int Top, int Width, const char* Caption,
                        int TabOrder) {
  auto* Box = Make<TCheckBox>(Form, Parent, Left, Top, Width, 17);
  Box->SetCaption(Caption);
  Box->SetChecked(true);
  Box->SetTabOrder(TabOrder);
  return Box;
}

void GiveHint(TControl* Control, const char* Hint) {
  Control->SetHint(Hint);
  Control->SetShowHint(true);
}

TMenuItem* MakeItem(TVintrelF* Form, TPopupMenu* Menu, const char* Caption) {
  auto* Item = new TMenuItem(Form);
  Item->SetCaption(Caption);
  Menu->Add(Item);
  return Item;
}

}  // namespace

TVintrelF::TVintrelF(TComponent* AOwner) : TCustomForm(AOwner) {
  SetCaption("Vintrel");
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetSystemMenu(false);
  SetClientSize(300, 120);
  SetColor(clBtnFace);
  OnCreate = TNotifyEvent(this, &TVintrelF::FormCreate);
  OnDestroy = TNotifyEvent(this, &TVintrelF::FormDestroy);
  OnShow = TNotifyEvent(this, &TVintrelF::FormShow);

  // ---- Non-visual components ----
  inetNotify = new TKVRINetNotify(this);
  inetNotify->SetAgent(DefaultAgent);
  inetNotify->SetURL(DefaultProbeURL);
  inetNotify->OnDownNotification = TOnDownNotificationEvent(this, &TVintrelF::inetNotifyDownNotification);

  trayMenu = new TPopupMenu(this);
  miShowHide = MakeItem(this, trayMenu, "S&how");
  miShowHide->SetDefault(true);
  miShowHide->OnClick = TNotifyEvent(this, &TVintrelF::miShowHideClick);
  miStartStop = MakeItem(this, trayMenu, "&Stop");
  miStartStop->OnClick = TNotifyEvent(this, &TVintrelF::miStartStopClick);
  miSep = MakeItem(this, trayMenu, "-");
  miClose = MakeItem(this, trayMenu, "&Close");
  miClose->OnClick = TNotifyEvent(this, &TVintrelF::miCloseClick);

  // The icon goes to the shell at once, empty; the picture is loaded straight
  // into it, and the tooltip's setter then brings both to the shell.
  trayIcon = new TKVRTrayIcon(this);
  trayIcon->SetActive(true);
  trayIcon->LoadIcon("DISCONNECT");
  trayIcon->SetToolTip("Vintrel");
  trayIcon->OnClick = TNotifyEvent(this, &TVintrelF::miShowHideClick);
  trayIcon->OnDblClick = TNotifyEvent(this, &TVintrelF::trayIconDblClick);
  trayIcon->OnKeySelect = TNotifyEvent(this, &TVintrelF::trayIconDblClick);
  trayIcon->SetPopupMenu(trayMenu);

  timerNotify = new TTimer(this);
  timerNotify->SetEnabled(false);
  timerNotify->OnTimer = TNotifyEvent(this, &TVintrelF::timerNotifyTimer);

  openDlg = new TOpenDialog(this);
  openDlg->Title = "Select Sound";
  openDlg->Filter = "Wave Files (*.wav)|*.wav|Any Files (*.*)|*.*";
  // Appended to a name typed without extension, so it is the extension alone.
  openDlg->DefaultExt = "wav";
  openDlg->Options = OFN_HIDEREADONLY | OFN_ENABLESIZING;

  // ---- Caption strip: drag it to move the window, double-click to re-dock ----
  // The panel draws nothing of its own: the gradient covers it all, from the
  // button face at the left to dark red at the right.
  ipanelCaption = Make<TKVRPanel>(this, this, 0, 0, 300, 19);
  ipanelCaption->SetAlign(TAlign::alTop);
  ipanelCaption->SetBevelOuter(TPanelBevel::bvNone);
  ipanelCaption->SetPaintPanel(false);
  gimageCaption = Make<TKVRGradientImage>(this, ipanelCaption, 0, 0, 300, 19);
  gimageCaption->SetAlign(TAlign::alClient);
  gimageCaption->SetEndColor(clBtnFace);
  gimageCaption->SetFillDirection(fdRightToLeft);
  gimageCaption->OnMouseDown = TMouseEvent(this, &TVintrelF::gimageCaptionMouseDown);
  gimageCaption->OnDblClick = TNotifyEvent(this, &TVintrelF::gimageCaptionDblClick);
  labelCaption = Make<TKVRLabel>(this, ipanelCaption, 2, 3, 145, 14);
  labelCaption->SetCaption("Vintrel - 2.1");
  labelCaption->Font().SetStyle(fsBold);
  labelCaption->Font().SetColor(clWhite);
  labelCaption->SetTransparent(true);
  labelCaption->SetShowShadow(true);
  labelCaption->SetColorShadow(clBlack);
  labelCaption->OnMouseDown = TMouseEvent(this, &TVintrelF::gimageCaptionMouseDown);
  labelCaption->OnDblClick = TNotifyEvent(this, &TVintrelF::gimageCaptionDblClick);
  sbtnMinimize = Make<TSpeedButton>(this, ipanelCaption, 264, 3, 16, 14);
  GiveHint(sbtnMinimize, "Minimize");
  sbtnMinimize->LoadGlyph("GLYPH_MINIMIZE");
  sbtnMinimize->OnClick = TNotifyEvent(this, &TVintrelF::miShowHideClick);
  sbtnClose = Make<TSpeedButton>(this, ipanelCaption, 282, 3, 16, 14);
  GiveHint(sbtnClose, "Close");
  sbtnClose->LoadGlyph("GLYPH_CLOSE");
  sbtnClose->OnClick = TNotifyEvent(this, &TVintrelF::miCloseClick);

  // ---- Page buttons: one exclusive group, each carrying its page number ----
  auto PageButton = [this](int Top, const char* Caption, int Page) {
    auto* Button = Make<TSpeedButton>(this, this, 2, Top, 54, 21);
    Button->SetCaption(Caption);
    Button->Tag = Page;
    Button->SetGroupIndex(1);
    Button->SetFlat(true);
    Button->OnClick = TNotifyEvent(this, &TVintrelF::sbtnClick);
    return Button;
  };
  sbtnInfo = PageButton(21, "Info", 0);
  sbtnConfig = PageButton(47, "Config", 1);
  sbtnSound = PageButton(70, "Sound", 2);
  sbtnAbout = PageButton(96, "About", 3);
  sbtnInfo->SetDown(true);
  bevelSep01 = Make<TBevel>(this, this, 60, 20, 3, 98);

  nbControls = Make<TNotebook>(this, this, 65, 20, 233, 98);
  TPage* PageState = nbControls->AddPage();
  TPage* PageConfig = nbControls->AddPage();
  TPage* PageSound = nbControls->AddPage();
  TPage* PageAbout = nbControls->AddPage();
  // Shown nowhere; a screen reader names the pages by them.
  PageState->SetCaption("State");
  PageConfig->SetCaption("Config");
  PageSound->SetCaption("Sound");
  PageAbout->SetCaption("About");

  // ---- Page 0, State: status line, start/stop button, log ----
  panelState = Make<TPanel>(this, PageState, 0, 0, 233, 32);
  panelState->SetAlign(TAlign::alTop);
  panelState->SetBevelOuter(TPanelBevel::bvNone);
  panelStart = Make<TPanel>(this, panelState, 180, 0, 53, 32);
  panelStart->SetAlign(TAlign::alRight);
  panelStart->SetBevelOuter(TPanelBevel::bvNone);
  labelState = Make<TLabel>(this, panelState, 0, 0, 180, 32);
  labelState->SetAutoSize(false);
  labelState->SetAlign(TAlign::alClient);
  labelState->SetAlignment(TAlignment::taCenter);
  labelState->SetLayout(TTextLayout::tlCenter);
  labelState->SetWordWrap(true);
  labelState->SetLiveSetting(TLiveSetting::Polite);
  sbtnStart = Make<TSpeedButton>(this, panelStart, 4, 4, 45, 22);
  sbtnStart->SetCaption("&Stop");
  sbtnStart->SetGroupIndex(2);
  sbtnStart->SetAllowAllUp(true);
  sbtnStart->SetDown(true);
  sbtnStart->SetFlat(true);
  sbtnStart->SetTabStop(true);
  sbtnStart->OnClick = TNotifyEvent(this, &TVintrelF::miStartStopClick);
  Bevel1 = Make<TBevel>(this, panelStart, 0, 0, 3, 31);
  memoLog = Make<TMemo>(this, PageState, 0, 32, 233, 66);
  memoLog->SetAlign(TAlign::alClient);
  memoLog->SetReadOnly(true);
  memoLog->SetTabStop(false);
  memoLog->SetColor(clBtnFace);
  memoLog->SetHint("Log");  // its name for a screen reader; shown nowhere
  memoLog->Font().SetName("Verdana");
  memoLog->Font().SetCharset(ANSI_CHARSET);

  // ---- Page 1, Config ----
  labelURL = MakeLabel(this, PageConfig, 4, 12, "&URL");
  editURL = MakeEdit(this, PageConfig, 48, 8, 181, DefaultProbeURL, 0);
  labelURL->SetFocusControl(editURL);
  labelInterval = MakeLabel(this, PageConfig, 4, 44, "&Interval");
  editInterval = MakeEdit(this, PageConfig, 48, 40, 45, "30", 1);
  GiveHint(editInterval, "min. 30, max. 600");
  editInterval->OnExit = TNotifyEvent(this, &TVintrelF::editIntervalExit);
  labelInterval->SetFocusControl(editInterval);
  labelSec01 = MakeLabel(this, PageConfig, 96, 44, "second");
  labelTimeOut = MakeLabel(this, PageConfig, 4, 72, "&TimeOut");
  labelTimeOut->SetEnabled(false);
  editTimeOut = MakeEdit(this, PageConfig, 48, 68, 45, "20", 2);
  GiveHint(editTimeOut, "min. 2, max. 29");
  editTimeOut->SetEnabled(false);
  editTimeOut->OnExit = TNotifyEvent(this, &TVintrelF::editTimeOutExit);
  labelTimeOut->SetFocusControl(editTimeOut);
  labelSec02 = MakeLabel(this, PageConfig, 96, 72, "second");
  labelSec02->SetEnabled(false);
  cbSaveLog = MakeCheckBox(this, PageConfig, 160, 72, 65, "Save &Log", 3);
  cbSaveLog->OnClick = TNotifyEvent(this, &TVintrelF::cbSaveLogClick);

  // ---- Page 2, Sound ----
  cbSndConnect = MakeCheckBox(this, PageSound, 4, 4, 113, "Sound on &Connect", 0);
  editSndConnect = MakeEdit(this, PageSound, 4, 24, 177, "connect.wav", 1);
  cbSndDisconnect = MakeCheckBox(this, PageSound, 4, 52, 129, "Sound On &Disconnect", 3);
  editSndDisconnect = MakeEdit(this, PageSound, 4, 72, 177, "disconnect.wav", 2);
  // Named for a screen reader with the row's sound: the hints alone would
  // make two "Play Sound" and two "Select Sound".
  auto SoundButton = [this, PageSound](int Left, int Top, const char* Hint, const char* Row,
                                       void (TVintrelF::*Handler)(TObject*)) {
    auto* Button = Make<TSpeedButton>(this, PageSound, Left, Top, 21, 21);
    GiveHint(Button, Hint);
    Button->SetAccessibleName(std::string(Hint) + " on " + Row);
    Button->SetFlat(true);
    Button->SetTabStop(true);
    Button->OnClick = TNotifyEvent(this, Handler);
    return Button;
  };
  sbtnPlaySndConnect = SoundButton(184, 24, "Play Sound", "Connect", &TVintrelF::sbtnPlaySndConnectClick);
  sbtnPlaySndConnect->LoadGlyph("GLYPH_PLAY");
  sbtnSelectSndConnect = SoundButton(208, 24, "Select Sound", "Connect", &TVintrelF::sbtnSelectSndConnectClick);
  sbtnSelectSndConnect->SetCaption("...");
  sbtnPlaySndDisconnect = SoundButton(184, 72, "Play Sound", "Disconnect", &TVintrelF::sbtnPlaySndDisconnectClick);
  sbtnPlaySndDisconnect->LoadGlyph("GLYPH_PLAY");
  sbtnSelectSndDisconnect =
      SoundButton(208, 72, "Select Sound", "Disconnect", &TVintrelF::sbtnSelectSndDisconnectClick);
  sbtnSelectSndDisconnect->SetCaption("...");

  // ---- Page 3, About; it also holds the three state pictures, hidden ----
  auto StatePicture = [this, PageAbout](int Left, int Top, const char* Resource) {
    auto* Image = Make<TImage>(this, PageAbout, Left, Top, 32, 32);
    Image->SetVisible(false);
    Image->SetTransparent(true);
    Image->Picture().LoadFromResource(Resource);
    return Image;
  };
  imgConnect = StatePicture(0, 0, "CONNECT");
  imgDisconnect = StatePicture(200, 0, "DISCONNECT");
  // The stopped state's yellow lamp is the program's own icon, kept once.
  imgPause = StatePicture(0, 32, "MAINICON");
  // The About page's lines, each with its (white) shadow.
  labelName = Make<TKVRLabel>(this, PageAbout, 44, 8, 148, 17);
  labelName->SetCaption("Vintrel");
  labelName->Font().SetName("Verdana");
  labelName->Font().SetHeight(13);
  labelName->Font().SetStyle(fsBold);
  labelName->Font().SetColor(clMaroon);
  labelName->Font().SetCharset(RUSSIAN_CHARSET);
  labelName->SetShowShadow(true);
  labelVersion = Make<TKVRLabel>(this, PageAbout, 56, 36, 120, 14);
  labelVersion->SetCaption("Version: 2.1 (11.02.2002)");
  labelVersion->Font().SetCharset(RUSSIAN_CHARSET);
  labelVersion->SetTransparent(true);
  labelVersion->SetShowShadow(true);
  llabelCopyright = Make<TKVRLabel>(this, PageAbout, 20, 60, 192, 14);
  llabelCopyright->SetAutoSize(false);
  llabelCopyright->SetAlignment(TAlignment::taCenter);
  llabelCopyright->SetCaption(CopyrightLine);
  llabelCopyright->Font().SetCharset(RUSSIAN_CHARSET);
  llabelCopyright->SetTransparent(true);
  llabelCopyright->SetShowShadow(true);
  // The web address: a link that underlines itself under the pointer.
  labelHttp = Make<TKVRActiveLabel>(this, PageAbout, 59, 80, 115, 14);
  labelHttp->SetCaption(ProductURL);
  labelHttp->Font().SetStyle(fsBold);
  labelHttp->SetShowShadow(true);
  labelHttp->SetCursorActive(true);
  labelHttp->SetColorActive(clBlack);
  labelHttp->SetLabelStyle(alsInternet);
  labelHttp->OnClick = TNotifyEvent(this, &TVintrelF::labelHttpClick);
  labelHttp->SetTabStop(true);
  nbControls->SetPageIndex(3);
}

void TVintrelF::CreateParams(TCreateParams& Params) {
  TCustomForm::CreateParams(Params);
  Params.ClassName = "TVintrelF";
  // The dialog style without its title bar: the thin border and the dialog
  // frame stay.
  Params.Style |= WS_POPUP;
  Params.Style &= ~WS_DLGFRAME;
}

void TVintrelF::ScaleWindow(int Dpi, const RECT* Suggested) {
  // A docked window stays docked at every scale: grown in the place the
  // system suggests, it would overhang the work area's corner.
  const bool Docked = Left() == CornerPlace().x && Top() == CornerPlace().y;
  TCustomForm::ScaleWindow(Dpi, Suggested);
  if (Docked) DockToCorner();
}

void TVintrelF::DockToCorner() {
  const POINT Corner = CornerPlace();
  SetBounds(Corner.x, Corner.y, Width(), Height());
}

POINT TVintrelF::CornerPlace() const {
  const TPlatform& OS = Platform();
  int Left = OS.GetSystemMetrics(SM_CXFULLSCREEN) - Width();
  int Top = OS.GetSystemMetrics(SM_CYFULLSCREEN) + OS.GetSystemMetrics(SM_CYCAPTION) - Height();
  // Those metrics can put the corner beyond the work area or the screen
  // (Wine's reach 11 pixels below its screen): the window then moves just
  // inside both, so all of it can be reached. Where they agree with the work
  // area, as on Windows with the task bar at the bottom, nothing moves.
  RECT Inside = {0, 0, OS.GetSystemMetrics(SM_CXSCREEN), OS.GetSystemMetrics(SM_CYSCREEN)};
  RECT Work;
  if (OS.SystemParametersInfoA(SPI_GETWORKAREA, 0, &Work, 0)) IntersectRect(&Inside, &Inside, &Work);
  if (!IsRectEmpty(&Inside)) {
    Left = std::max(std::min(Left, static_cast<int>(Inside.right) - Width()), static_cast<int>(Inside.left));
    Top = std::max(std::min(Top, static_cast<int>(Inside.bottom) - Height()), static_cast<int>(Inside.top));
  }
  return {Left, Top};
}

void TVintrelF::EnableControls(bool Enable) {
  TControl* const Controls[] = {sbtnSound,
                                labelURL,
                                editURL,
                                labelInterval,
                                editInterval,
                                labelSec01,
                                sbtnConfig,
                                cbSndConnect,
                                editSndConnect,
                                cbSndDisconnect,
                                editSndDisconnect,
                                sbtnPlaySndConnect,
                                sbtnSelectSndConnect,
                                sbtnPlaySndDisconnect,
                                sbtnSelectSndDisconnect};
  for (TControl* Control : Controls) Control->SetEnabled(Enable);
}

void TVintrelF::ToggleVisible() {
  if (!Visible()) {
    miShowHide->SetCaption("&Hide");
    Show();
    SetForegroundWindow(WindowHandle());
  } else {
    miShowHide->SetCaption("S&how");
    Hide();
  }
}

void TVintrelF::FormShow(TObject*) {
  // The application window never shows, so the program has no task-bar button.
  ShowWindow(Application->Handle(), SW_HIDE);
}

void TVintrelF::miShowHideClick(TObject*) { ToggleVisible(); }

bool TVintrelF::DialogKey(const MSG& Msg) {
  const bool Ctrl = GetKeyState(VK_CONTROL) < 0, Shift = GetKeyState(VK_SHIFT) < 0, Alt = GetKeyState(VK_MENU) < 0;
  if (Msg.message == WM_KEYDOWN && Ctrl && !Alt) {
    if (Msg.wParam == VK_TAB || Msg.wParam == VK_NEXT || Msg.wParam == VK_PRIOR) {
      SelectNextPage(Msg.wParam == VK_TAB ? !Shift : Msg.wParam == VK_NEXT);
      return true;
    }
  }
  if (Msg.message == WM_KEYDOWN && Msg.wParam == VK_ESCAPE && !Ctrl && !Alt && !Shift) {
    sbtnMinimize->Click();
    return true;
  }
  return TCustomForm::DialogKey(Msg);
}

void TVintrelF::SelectNextPage(bool Forward) {
  TSpeedButton* const Buttons[] = {sbtnInfo, sbtnConfig, sbtnSound, sbtnAbout};
  constexpr int Count = 4;
  // From the page on show, not from the button that is down: a field check
  // that refused the way out keeps its page on show under another button.
  int Current = 0;
  while (Current < Count - 1 && Buttons[Current]->Tag != nbControls->PageIndex()) ++Current;
  for (int Step = 1; Step < Count; ++Step) {
    TSpeedButton* Next = Buttons[(Current + (Forward ? Step : Count - Step)) % Count];
    if (!Next->Enabled()) continue;
    // The click's own path: the page leaves the focus, whose field may
    // refuse (a wrong interval keeps its page and its focus).
    Next->Click();
    const int Page = static_cast<int>(Next->Tag);
    if (nbControls->PageIndex() == Page && !IsChild(nbControls->Page(Page)->Handle(), GetFocus()))
      if (!nbControls->Page(Page)->FocusFirstTabStop()) CheckFocus();
    return;
  }
}

void TVintrelF::trayIconDblClick(TObject*) {
  // Many users double-click a tray icon by habit: that always ends with the
  // window shown and in front, whatever it was before. Enter or Space on the
  // icon does the same (a shell may report one key press twice).
  if (!Visible())
    ToggleVisible();
  else
    SetForegroundWindow(WindowHandle());
}

void TVintrelF::miCloseClick(TObject*) { Close(); }

void TVintrelF::sbtnClick(TObject* Sender) {
  nbControls->SetPageIndex(static_cast<int>(static_cast<TComponent*>(Sender)->Tag));
}

void TVintrelF::PlaySoundOf(TEdit* Edit) {
  // The check boxes decide only the state sounds; a preview always plays.
  Platform().PlaySoundA(Edit->Text().c_str(), nullptr, SoundFlags);
}

void TVintrelF::sbtnPlaySndConnectClick(TObject*) { PlaySoundOf(editSndConnect); }

void TVintrelF::sbtnPlaySndDisconnectClick(TObject*) { PlaySoundOf(editSndDisconnect); }

void TVintrelF::SelectSoundFor(TEdit* Edit) {
  openDlg->FileName = Edit->Text();
  if (openDlg->Execute()) Edit->SetText(openDlg->FileName);
}

void TVintrelF::sbtnSelectSndConnectClick(TObject*) { SelectSoundFor(editSndConnect); }

void TVintrelF::sbtnSelectSndDisconnectClick(TObject*) { SelectSoundFor(editSndDisconnect); }

void TVintrelF::CheckRange(TEdit* Edit, int Low, int High) {
  auto Complain = [this, Edit](const std::string& Message) {
    nbControls->SetPageIndex(1);
    Edit->SetFocus();
    Application->MessageBox(Message);
  };
  std::int32_t Value = 0;
  if (!TryStrToInt(Edit->Text(), Value)) {
    Value = 0;
    Complain(Format("'%s' is not a valid integer value.", {Edit->Text()}));
  }
  if (Value < Low || Value > High)
    Complain(Format("Value must be between %s and %s.", {std::to_string(Low), std::to_string(High)}));
}

void TVintrelF::editIntervalExit(TObject*) { CheckRange(editInterval, 30, 600); }

void TVintrelF::editTimeOutExit(TObject*) { CheckRange(editTimeOut, 2, 29); }

void TVintrelF::labelHttpClick(TObject*) {
  Platform().ShellExecuteA(GetDesktopWindow(), "open", labelHttp->Caption().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TVintrelF::gimageCaptionMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  // The system's own move loop drags the window while the button is held.
  ReleaseCapture();
  Perform(WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

void TVintrelF::gimageCaptionDblClick(TObject*) { DockToCorner(); }
