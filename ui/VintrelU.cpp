#include "ui/VintrelU.h"

#include "toolkit/Platform.h"

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

  // Non-visual components.
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
  trayIcon->Icon().LoadFromResource("DISCONNECT");
  trayIcon->SetToolTip("Vintrel");
  trayIcon->OnClick = TNotifyEvent(this, &TVintrelF::miShowHideClick);
  trayIcon->SetPopupMenu(trayMenu);

  timerNotify = new TTimer(this);
  timerNotify->SetEnabled(false);
  timerNotify->OnTimer = TNotifyEvent(this, &TVintrelF::timerNotifyTimer);

  // The page buttons: one exclusive group, each carrying its page number.
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

  nbControls = Make<TNotebook>(this, this, 65, 20, 233, 98);
  TPage* PageState = nbControls->AddPage();
  TPage* PageConfig = nbControls->AddPage();
  TPage* PageSound = nbControls->AddPage();
  TPage* PageAbout = nbControls->AddPage();

  // Page 0, State.
  panelState = Make<TPanel>(this, PageState, 0, 0, 233, 32);
  panelState->SetAlign(TAlign::alTop);
  panelState->SetBevelOuter(TPanelBevel::bvNone);
  panelStart = Make<TPanel>(this, panelState, 180, 0, 53, 32);
  panelStart->SetAlign(TAlign::alRight);
  panelStart->SetBevelOuter(TPanelBevel::bvNone);
  labelState = Make<TLabel>(this, panelState, 0, 0, 180, 32);
  labelState->SetAlign(TAlign::alClient);
  labelState->SetAutoSize(false);
  labelState->SetAlignment(TAlignment::taCenter);
  labelState->SetLayout(TTextLayout::tlCenter);
  labelState->SetWordWrap(true);
  sbtnStart = Make<TSpeedButton>(this, panelStart, 4, 4, 45, 22);
  sbtnStart->SetCaption("&Stop");
  sbtnStart->SetGroupIndex(2);
  sbtnStart->SetAllowAllUp(true);
  sbtnStart->SetDown(true);
  sbtnStart->SetFlat(true);
  sbtnStart->OnClick = TNotifyEvent(this, &TVintrelF::miStartStopClick);
  memoLog = Make<TMemo>(this, PageState, 0, 32, 233, 66);
  memoLog->SetAlign(TAlign::alClient);
  memoLog->SetReadOnly(true);
  memoLog->SetTabStop(false);
  memoLog->SetColor(clBtnFace);
  memoLog->Font().SetName("Verdana");
  memoLog->Font().SetCharset(ANSI_CHARSET);

  // Page 1, Config.
  labelURL = Make<TLabel>(this, PageConfig, 4, 12, 24, 13);
  labelURL->SetCaption("&URL");
  editURL = Make<TEdit>(this, PageConfig, 48, 8, 181, 21);
  editURL->SetText(DefaultProbeURL);
  editURL->SetTabOrder(0);
  labelURL->SetFocusControl(editURL);
  labelInterval = Make<TLabel>(this, PageConfig, 4, 44, 38, 13);
  labelInterval->SetCaption("&Interval");
  editInterval = Make<TEdit>(this, PageConfig, 48, 40, 45, 21);
  editInterval->SetText("30");
  editInterval->SetHint("min. 30, max. 600");
  editInterval->SetShowHint(true);
  editInterval->SetTabOrder(1);
  labelInterval->SetFocusControl(editInterval);
  labelSec01 = Make<TLabel>(this, PageConfig, 96, 44, 37, 13);
  labelSec01->SetCaption("second");
  labelTimeOut = Make<TLabel>(this, PageConfig, 4, 72, 42, 13);
  labelTimeOut->SetCaption("&TimeOut");
  labelTimeOut->SetEnabled(false);
  editTimeOut = Make<TEdit>(this, PageConfig, 48, 68, 45, 21);
  editTimeOut->SetText("20");
  editTimeOut->SetHint("min. 2, max. 29");
  editTimeOut->SetShowHint(true);
  editTimeOut->SetTabOrder(2);
  editTimeOut->SetEnabled(false);
  labelTimeOut->SetFocusControl(editTimeOut);
  labelSec02 = Make<TLabel>(this, PageConfig, 96, 72, 37, 13);
  labelSec02->SetCaption("second");
  labelSec02->SetEnabled(false);
  cbSaveLog = Make<TCheckBox>(this, PageConfig, 160, 72, 65, 17);
  cbSaveLog->SetCaption("Save &Log");
  cbSaveLog->SetChecked(true);
  cbSaveLog->SetTabOrder(3);

  // Page 2, Sound.
  cbSndConnect = Make<TCheckBox>(this, PageSound, 4, 4, 113, 17);
  cbSndConnect->SetCaption("Sound on &Connect");
  cbSndConnect->SetChecked(true);
  cbSndConnect->SetTabOrder(0);
  editSndConnect = Make<TEdit>(this, PageSound, 4, 24, 177, 21);
  editSndConnect->SetText("connect.wav");
  editSndConnect->SetTabOrder(1);
  cbSndDisconnect = Make<TCheckBox>(this, PageSound, 4, 52, 129, 17);
  cbSndDisconnect->SetCaption("Sound On &Disconnect");
  cbSndDisconnect->SetChecked(true);
  cbSndDisconnect->SetTabOrder(3);
  editSndDisconnect = Make<TEdit>(this, PageSound, 4, 72, 177, 21);
  editSndDisconnect->SetText("disconnect.wav");
  editSndDisconnect->SetTabOrder(2);
  auto SoundButton = [this, PageSound](int Left, int Top, const char* Caption, const char* Hint) {
    auto* Button = Make<TSpeedButton>(this, PageSound, Left, Top, 21, 21);
    Button->SetCaption(Caption);
    Button->SetHint(Hint);
    Button->SetShowHint(true);
    Button->SetFlat(true);
    return Button;
  };
  sbtnPlaySndConnect = SoundButton(184, 24, "", "Play Sound");
  sbtnSelectSndConnect = SoundButton(208, 24, "...", "Select Sound");
  sbtnPlaySndDisconnect = SoundButton(184, 72, "", "Play Sound");
  sbtnSelectSndDisconnect = SoundButton(208, 72, "...", "Select Sound");

  // Page 3, About: it also holds the three state pictures, hidden.
  auto StatePicture = [this, PageAbout](int Left, int Top, const char* Resource) {
    auto* Image = Make<TImage>(this, PageAbout, Left, Top, 32, 32);
    Image->SetVisible(false);
    Image->SetTransparent(true);
    Image->Picture().LoadFromResource(Resource);
    return Image;
  };
  imgConnect = StatePicture(0, 0, "CONNECT");
  imgDisconnect = StatePicture(200, 0, "DISCONNECT");
  imgPause = StatePicture(0, 32, "PAUSE");
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

void TVintrelF::DockToCorner() {
  int Left = Platform().GetSystemMetrics(SM_CXFULLSCREEN) - Width();
  int Top = Platform().GetSystemMetrics(SM_CYFULLSCREEN) + Platform().GetSystemMetrics(SM_CYCAPTION) - Height();
  SetBounds(Left, Top, Width(), Height());
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

void TVintrelF::miCloseClick(TObject*) { Close(); }

void TVintrelF::sbtnClick(TObject* Sender) {
  nbControls->SetPageIndex(static_cast<int>(static_cast<TComponent*>(Sender)->Tag));
}
