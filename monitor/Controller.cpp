// Monitoring: schedules the probes, turns their results into states, and
// shows every change of state in the tray, the status line, the log and a sound.

#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"
#include "ui/VintrelU.h"

#include <cstdint>

void TVintrelF::SetNotifyState(TNotifyState State, bool Sound, bool Report) {
  if (State == FNotifyState) return;

  const TIcon* Picture = nullptr;
  std::string Tip;
  TCheckBox* SoundBox = nullptr;
  TEdit* SoundFile = nullptr;
  switch (State) {
    case nsConnected:
      Picture = &imgConnect->Picture();
      // The address as the user typed it, not the probe's normalised form.
      Tip = Format("Connected to %s", {editURL->Text()});
      SoundBox = cbSndConnect;
      SoundFile = editSndConnect;
      break;
    case nsDisconnected:
      Picture = &imgDisconnect->Picture();
      Tip = "Disconnected";
      SoundBox = cbSndDisconnect;
      SoundFile = editSndDisconnect;
      break;
    case nsStopped:
      Picture = &imgPause->Picture();
      Tip = "Stopped";
      break;
  }
  trayIcon->SetIcon(Picture);
  trayIcon->SetToolTip(Tip);

  if (Sound && SoundBox && SoundBox->Checked()) Platform().PlaySoundA(SoundFile->Text().c_str(), nullptr, SoundFlags);

  if (Report) {
    // The tray stores the tooltip cut to its field, and that is what the log
    // and the status line show.
    const std::string Line = trayIcon->ToolTip() + " - " + NowText();
    memoLog->AddLine(Line);
    KeepLogLine(Line);
    labelState->SetCaption(trayIcon->ToolTip());
  } else {
    labelState->SetCaption("Connecting ...");
  }
  FNotifyState = State;
}

std::int32_t CountableInterval(std::int32_t Seconds) {
  return Seconds >= 1 && Seconds <= MaxInterval ? Seconds : DefaultInterval;
}

void TVintrelF::StartNotify() {
  try {
    timerNotify->SetEnabled(false);
    timerNotify->SetInterval(static_cast<unsigned>(CountableInterval(StrToInt(editInterval->Text()))) * 1000u);
    inetNotify->SetURL(editURL->Text());
    inetNotify->Start();
  } catch (...) {
    // Monitoring that cannot go on is off, and every place says so; the
    // error goes on to the error box.
    ShowMonitoringOff();
    throw;
  }
}

void TVintrelF::StopNotify() {
  inetNotify->Stop();
  timerNotify->SetEnabled(false);
  SetNotifyState(nsStopped, true, true);
}

void TVintrelF::ShowMonitoringOff() {
  inetNotify->Stop();
  timerNotify->SetEnabled(false);
  FActive = false;
  miStartStop->SetCaption("&Start");
  SetNotifyState(nsStopped, false, true);
  sbtnStart->SetCaption(miStartStop->Caption());
  sbtnStart->SetDown(false);
  EnableControls(true);
}

void TVintrelF::ToggleActive() {
  // An interval that is no number fails the start before anything changes,
  // so nothing on show says monitoring runs; the Start button, pressed by the
  // click that brought us here, comes up again.
  try {
    if (!FActive) StrToInt(editInterval->Text());
  } catch (...) {
    sbtnStart->SetDown(false);
    throw;
  }
  FActive = !FActive;
  if (FActive) {
    miStartStop->SetCaption("&Stop");
    SetNotifyState(nsDisconnected, false, false);
    StartNotify();
  } else {
    miStartStop->SetCaption("&Start");
    SetNotifyState(nsStopped, false, true);
    StopNotify();
  }
  sbtnStart->SetCaption(miStartStop->Caption());
  sbtnStart->SetDown(FActive);
  EnableControls(!FActive);
}

void TVintrelF::inetNotifyDownNotification(TObject*, bool IsConnected) {
  // A result that arrives after monitoring was switched off is no news: the
  // stopped state stays on show, with no line and no sound.
  if (FActive) SetNotifyState(IsConnected ? nsConnected : nsDisconnected, true, true);
  // The timer runs one-shot: the next probe follows one interval after this
  // one's completion, so probes never overlap.
  timerNotify->SetEnabled(FActive);
}

void TVintrelF::timerNotifyTimer(TObject*) { StartNotify(); }

void TVintrelF::miStartStopClick(TObject*) { ToggleActive(); }

void TVintrelF::FormCreate(TObject*) {
  DockToCorner();
  FActive = true;
  FNotifyState = nsDisconnected;
  try {
    LoadSettings();
  } catch (...) {
    // A start that fails leaves monitoring off, shown on page 0 as the Info
    // button says, so that the next Start starts.
    sbtnClick(sbtnInfo);
    ShowMonitoringOff();
    throw;
  }
  EnableControls(!FActive);
  sbtnClick(sbtnInfo);
  StartNotify();
}

void TVintrelF::FormDestroy(TObject*) {
  SaveSettings();
  inetNotify->Stop();
  timerNotify->SetEnabled(false);
}
