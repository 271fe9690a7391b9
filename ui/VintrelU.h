#pragma once
// The main window: a small pop-up without a title bar, docked at the
// bottom-right corner of the work area, shown and hidden from the
// notification-area icon. It owns every component of the program.

#include "controls/ExLabel.h"
#include "controls/ExImage.h"
#include "controls/ExPanel.h"
#include "monitor/INet.h"
#include "monitor/LogWriter.h"
#include "toolkit/Buttons.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Application.h"
#include "toolkit/Menus.h"
#include "toolkit/StdCtrls.h"
#include "ui/ExSystem.h"

#include <mmsystem.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include <string_view>

// The monitoring state on show.
enum TNotifyState { nsConnected = 1, nsDisconnected = 2, nsStopped = 3 };

// Flags of every sound the program plays: by file name, asynchronously, never
// cutting off a sound that is still playing, and silent when the file cannot
// be played (no default sound).
constexpr DWORD SoundFlags = SND_FILENAME | SND_NOWAIT | SND_NOSTOP | SND_NODEFAULT | SND_ASYNC;

// The product's web address: the About page's link, and the address probed
// at a first start.
constexpr const char* ProductURL = "http://example.org";
constexpr const char* CopyrightLine = "(c) 2026 Vintrel developers";

class TVintrelF : public TCustomForm {
 public:
  explicit TVintrelF(TComponent* AOwner);

  // Components of the window, all owned by it (through the component tree).
  TKVRINetNotify* inetNotify;
  TKVRTrayIcon* trayIcon;
  TTimer* timerNotify;
  TOpenDialog* openDlg;
  TImage* imgConnect;
  TImage* imgDisconnect;
  TImage* imgPause;
  TPopupMenu* trayMenu;
  TMenuItem* miShowHide;
  TMenuItem* miStartStop;
  TMenuItem* miSep;
  TMenuItem* miClose;
  TKVRPanel* ipanelCaption;
  TKVRGradientImage* gimageCaption;
  TKVRLabel* labelCaption;
  TSpeedButton* sbtnInfo;
  TSpeedButton* sbtnSound;
  TSpeedButton* sbtnConfig;
  TSpeedButton* sbtnAbout;
  TSpeedButton* sbtnMinimize;
  TSpeedButton* sbtnClose;
  TBevel* bevelSep01;
  TNotebook* nbControls;
  TLabel* labelURL;
  TEdit* editURL;
  TLabel* labelInterval;
  TEdit* editInterval;
  TLabel* labelTimeOut;
  TEdit* editTimeOut;
  TLabel* labelSec01;
  TLabel* labelSec02;
  TCheckBox* cbSndConnect;
  TEdit* editSndConnect;
  TCheckBox* cbSndDisconnect;
  TEdit* editSndDisconnect;
  TSpeedButton* sbtnPlaySndConnect;
  TSpeedButton* sbtnSelectSndConnect;
  TSpeedButton* sbtnPlaySndDisconnect;
  TSpeedButton* sbtnSelectSndDisconnect;
  TPanel* panelState;
  TLabel* labelState;
  TPanel* panelStart;
  TSpeedButton* sbtnStart;
  TMemo* memoLog;
  TKVRLabel* labelName;
  TKVRLabel* labelVersion;
  TKVRLabel* llabelCopyright;
  TKVRActiveLabel* labelHttp;
  TBevel* Bevel1;
  TCheckBox* cbSaveLog;

  // Monitoring (defined with the monitor).
  bool Active() const { return FActive; }
  TNotifyState NotifyState() const { return FNotifyState; }
  void SetNotifyState(TNotifyState State, bool Sound, bool Report);
  void StartNotify();
  void StopNotify();
  void ToggleActive();
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void timerNotifyTimer(TObject* Sender);
  void inetNotifyDownNotification(TObject* Sender, bool IsConnected);
  void miStartStopClick(TObject* Sender);

  // Settings and log files (defined with the monitor).
  void LoadSettings();
  void SaveSettings();
  // A line the run logged: handed to the log's writer at once while Save
  // Log is ticked, else kept for the moment it is ticked.
  void KeepLogLine(const std::string& Line);
  void cbSaveLogClick(TObject* Sender);

  // The settings the file holds: url, interval, timeout, the four sound
  // keys and store.log.
  static constexpr size_t SettingCount = 8;

  // The user interface.
  void DockToCorner();
  void EnableControls(bool Enable);
  void ToggleVisible();
  void FormShow(TObject* Sender);
  void miShowHideClick(TObject* Sender);
  void trayIconDblClick(TObject* Sender);
  void miCloseClick(TObject* Sender);
  void sbtnClick(TObject* Sender);
  void sbtnPlaySndConnectClick(TObject* Sender);
  void sbtnPlaySndDisconnectClick(TObject* Sender);
  void sbtnSelectSndConnectClick(TObject* Sender);
  void sbtnSelectSndDisconnectClick(TObject* Sender);
  void editIntervalExit(TObject* Sender);
  void editTimeOutExit(TObject* Sender);
  void labelHttpClick(TObject* Sender);
  void gimageCaptionMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void gimageCaptionDblClick(TObject* Sender);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void ScaleWindow(int Dpi, const RECT* Suggested) override;
  // The keys of a property sheet: Ctrl+Tab and Ctrl+PageDown show the next
  // page, Ctrl+Shift+Tab and Ctrl+PageUp the previous one; Escape hides the
  // window as the minimise button does.
  bool DialogKey(const MSG& Msg) override;

 private:
  // Where DockToCorner puts the window at its present size.
  POINT CornerPlace() const;
  // Checks the number in an edit when the focus leaves it: a text that is no
  // integer, or a value outside Low..High, brings page 1 back, the focus back
  // to the edit, and a message; the text stays as typed.
  void CheckRange(TEdit* Edit, int Low, int High);
  void PlaySoundOf(TEdit* Edit);
  // Monitoring could not start or go on: it is off, and the menu, the button,
  // the tray, the status line and the configuration all say so.
  void ShowMonitoringOff();
  void SelectSoundFor(TEdit* Edit);
  // Clicks the next (or previous) enabled page button, round the end, and
  // puts the focus on the first field of its page.
  void SelectNextPage(bool Forward);
  // Hands the run's lines that the log's writer has not taken over to it.
  void HandOverLines();

  bool FActive = false;
  TNotifyState FNotifyState = nsDisconnected;
  bool FSettingsUnread = false;  // the settings file was there but could not be read at the start
  // Each setting as the window showed it after the start, and whether the
  // file had its key. A value the user left as it was is not written back:
  // the file keeps its own spelling, characters the code page lacks included.
  struct TSettingRead {
    std::string Shown;
    bool InFile = false;
  };
  TSettingRead FSettingsRead[SettingCount];
  // The lines this run logged that the log's writer has not taken: Save Log
  // was not ticked when they were logged, or its queue was full.
  std::string FLogUnkept;
  std::unique_ptr<TLogWriter> FLogWriter;  // owned; made at the start
};

// Intervals in seconds. The system timer counts at most 0x7FFFFFFF ms (a
// longer time is cut to that, about 24.8 days), so an interval is 1 to
// 2147483 seconds; any other value gives the default.
constexpr std::int32_t DefaultInterval = 120;
constexpr std::int32_t MaxInterval = 2147483;
std::int32_t CountableInterval(std::int32_t Seconds);

// How many of the kept log's newest lines the log view shows at start. An
// edit control takes about 16 ms for 100 word-wrapped lines under Wine, and
// ten times as long for ten times as many; the whole log is in its file.
constexpr size_t LogViewLines = 100;

// The program's one main window.
extern TVintrelF* VintrelF;
