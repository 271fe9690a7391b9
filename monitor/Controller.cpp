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
    memoLog->AddLine(trayIcon->ToolTip() + " - " + NowText());
    labelState->SetCaption(trayIcon->ToolTip());
  } else {
    labelState->SetCaption("Connecting ...");
  }
  FNotifyState = State;
}

void TVintrelF::StartNotify() {
  timerNotify->SetEnabled(false);
  // The timer counts milliseconds in 32 bits; a product beyond that wraps.
  std::int64_t Milliseconds = static_cast<std::int64_t>(StrToInt(editInterval->Text())) * 1000;
  timerNotify->SetInterval(static_cast<unsigned>(static_cast<std::uint64_t>(Milliseconds)));
  inetNotify->SetURL(editURL->Text());
  inetNotify->Start();
}

void TVintrelF::StopNotify() {
  inetNotify->Stop();
  timerNotify->SetEnabled(false);
  SetNotifyState(nsStopped, true, true);
}

void TVintrelF::ToggleActive() {
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
  SetNotifyState(IsConnected ? nsConnected : nsDisconnected, true, true);
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
  LoadSettings();
  EnableControls(!FActive);
  sbtnClick(sbtnInfo);
  StartNotify();
}

void TVintrelF::FormDestroy(TObject*) {
  SaveSettings();
  inetNotify->Stop();
  timerNotify->SetEnabled(false);
}
