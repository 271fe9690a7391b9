#include "monitor/INet.h"

#include "toolkit/Handles.h"
#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"

#include <utility>

std::string NormalizeURL(const std::string& Value) {
  std::string URL = LowerCaseAscii(Trim(Value));
  if (URL.empty()) URL = DefaultProbeURL;
  if (URL.find("http://") == std::string::npos) {
    std::string::size_type Scheme = URL.find("://");
    if (Scheme != std::string::npos) URL = URL.substr(Scheme + 3, 255);
    URL = "http://" + URL;
  }
  return URL;
}

std::string NormalizeAgent(const std::string& Value) {
  std::string Agent = Trim(Value);
  return Agent.empty() ? std::string(DefaultAgent) : Agent;
}

// ---- TKVRINNThread ----

TKVRINNThread::TKVRINNThread(const std::string& Agent, const std::string& URL) : FAgent(Agent), FURL(URL) {
  FreeOnTerminate = true;
}

void TKVRINNThread::Execute() {
  try {
    if (Terminated()) {
      SetConnected(false);
      return;
    }
    // The system's configured proxy settings, no proxy of our own. Each
    // handle is closed on every way out, the request's before the session's.
    TInternetHandle Session(
        Platform().InternetOpenA(FAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    SetConnected(static_cast<bool>(Session));
    if (!Session) return;
    // Set on the session, they hold for the request it opens. An option that
    // is refused leaves the platform's own value, and the component's time
    // limit still bounds the probe.
    for (auto [Option, Milliseconds] : {std::pair{INTERNET_OPTION_CONNECT_TIMEOUT, ConnectTimeoutMs},
                                        std::pair{INTERNET_OPTION_SEND_TIMEOUT, SendTimeoutMs},
                                        std::pair{INTERNET_OPTION_RECEIVE_TIMEOUT, ReceiveTimeoutMs}}) {
      DWORD Value = Milliseconds;
      Platform().InternetSetOptionA(Session.Get(), Option, &Value, sizeof Value);
    }
    if (Terminated()) {
      SetConnected(false);
      return;
    }
    // RELOAD: the answer comes from the server, never from the cache. The
    // answer itself is not read: any answer means the address can be reached.
    TInternetHandle Request(
        Platform().InternetOpenUrlA(Session.Get(), FURL.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    SetConnected(static_cast<bool>(Request));
  } catch (...) {
    // The result keeps the value last written; the completion still runs.
  }
}

// ---- TKVRINetNotify ----

TKVRINetNotify::TKVRINetNotify(TComponent* AOwner) : TComponent(AOwner), FAgent(DefaultAgent), FURL(DefaultProbeURL) {
  FWatchdog = new TTimer(this);
  FWatchdog->SetEnabled(false);
  FWatchdog->OnTimer = TNotifyEvent(this, &TKVRINetNotify::TimeLimitReached);
}

// A worker that outlives the component delivers its completion nowhere.
TKVRINetNotify::~TKVRINetNotify() { Detach(); }

void TKVRINetNotify::Detach() {
  FWatchdog->SetEnabled(false);
  if (!FThread) return;
  Stop();
  // The worker frees itself only after its completion has run on this
  // thread, so it still exists here.
  FThread->OnTerminate = TNotifyEvent();
  FThread = nullptr;
}

void TKVRINetNotify::SetAgent(const std::string& Value) {
  std::string Agent = NormalizeAgent(Value);
  if (Agent != FAgent) FAgent = Agent;
}

void TKVRINetNotify::SetURL(const std::string& Value) {
  std::string URL = NormalizeURL(Value);
  if (URL != FURL) FURL = URL;
}

void TKVRINetNotify::Start() {
  if (FThread || FGivingUp || Destroying()) return;
  auto* Thread = new TKVRINNThread(FAgent, FURL);
  FThread = Thread;
  // The completion is hooked before the worker runs, so every worker
  // delivers exactly once.
  Thread->OnTerminate = TNotifyEvent(this, &TKVRINetNotify::ThreadDone);
  Thread->Start();
  if (FTimeLimit != 0) {
    FWatchdog->SetInterval(FTimeLimit);
    FWatchdog->SetEnabled(true);
  }
}

void TKVRINetNotify::Stop() {
  if (!FThread) return;
  FThread->Terminate();
  FThread->SetConnected(false);
}

void TKVRINetNotify::ThreadDone(TObject* Sender) {
  FWatchdog->SetEnabled(false);
  FConnected = static_cast<TKVRINNThread*>(Sender)->Connected();
  // The finished worker stays registered while the handler runs, so a Start
  // made from inside the handler is ignored. It is unregistered afterwards
  // even when the handler fails, or no probe could ever start again.
  struct TUnregister {
    TKVRINNThread*& Thread;
    ~TUnregister() { Thread = nullptr; }
  } Unregister{FThread};
  OnDownNotification(this, FConnected);
}

void TKVRINetNotify::TimeLimitReached(TObject*) {
  FWatchdog->SetEnabled(false);
  if (!FThread) return;
  // The worker is stuck inside WinINet, where nothing can interrupt it. It is
  // left to end on its own; whatever it finds then is not reported, so it
  // never mixes with a later probe's result.
  Detach();
  FConnected = false;
  // As with a finished worker, a Start made from inside the handler is
  // ignored.
  FGivingUp = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } Done{FGivingUp};
  OnDownNotification(this, false);
}
