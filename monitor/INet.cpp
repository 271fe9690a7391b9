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

namespace {

// An answer begins with a status line, and any status counts, 404 and 500
// too. A connection that the server closes or resets after reading the
// request is no answer, though some WinINets (Wine's) still return a request
// handle for it, one without a status code. Only an HTTP request has a
// status to ask for; a handle of another kind stands as it is.
bool Answered(HINTERNET Request) {
  DWORD Type = 0, Size = sizeof Type;
  if (!InternetQueryOptionA(Request, INTERNET_OPTION_HANDLE_TYPE, &Type, &Size) ||
      Type != INTERNET_HANDLE_TYPE_HTTP_REQUEST)
    return true;
  DWORD Status = 0, Index = 0;
  Size = sizeof Status;
  return HttpQueryInfoA(Request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &Status, &Size, &Index) &&
         Status != 0;
}

}  // namespace

// ---- TKVRINNThread ----

TKVRINNThread::TKVRINNThread(const std::string& Agent, const std::string& URL, DWORD RequestTimeout)
    : FAgent(Agent), FURL(URL), FRequestTimeout(RequestTimeout) {
  FreeOnTerminate = true;
}

void CALLBACK TKVRINNThread::RequestStatus(HINTERNET Handle, DWORD_PTR Context, DWORD Status, LPVOID, DWORD) {
  // Reported with the request's own handle, before each sending of it (a
  // redirection sends again, maybe on a new connection).
  if (Status != INTERNET_STATUS_SENDING_REQUEST) return;
  const auto* Worker = reinterpret_cast<const TKVRINNThread*>(Context);
  for (DWORD Option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    DWORD Value = Worker->FRequestTimeout;
    Platform().InternetSetOptionA(Handle, Option, &Value, sizeof Value);
  }
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
                                        std::pair{INTERNET_OPTION_SEND_TIMEOUT, FRequestTimeout},
                                        std::pair{INTERNET_OPTION_RECEIVE_TIMEOUT, FRequestTimeout}}) {
      DWORD Value = Milliseconds;
      Platform().InternetSetOptionA(Session.Get(), Option, &Value, sizeof Value);
    }
    // The request inherits the callback; WinINet calls it only for a
    // request with a context other than 0, here this worker.
    InternetSetStatusCallbackA(Session.Get(), RequestStatus);
    if (Terminated()) {
      SetConnected(false);
      return;
    }
    // RELOAD: the answer comes from the server, never from the cache. Only
    // its status line is looked at: any answer means the address can be
    // reached.
    TInternetHandle Request(Platform().InternetOpenUrlA(Session.Get(), FURL.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD,
                                                        reinterpret_cast<DWORD_PTR>(this)));
    SetConnected(Request && Answered(Request.Get()));
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
TKVRINetNotify::~TKVRINetNotify() {
  Stop();
  for (TKVRINNThread* Worker : FLetGo) Worker->OnTerminate = TNotifyEvent();
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
  if (FLetGo.size() > MaxLetGoWorkers) {
    FStartWaits = true;
    return;
  }
  StartWorker();
}

void TKVRINetNotify::StartWorker() {
  FStartWaits = false;
  auto* Thread = new TKVRINNThread(FAgent, FURL, FRequestTimeout);
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
  FWatchdog->SetEnabled(false);
  FStartWaits = false;
  if (!FThread) return;
  // The worker gives up at its next step, and its completion is dropped
  // whenever it comes: a result found for an address, or at a moment, that
  // no longer holds is never reported. It still frees itself (only after
  // its completion, so it exists here). A call into WinINet that is under
  // way ends with its own time-outs.
  FThread->Terminate();
  FThread->SetConnected(false);
  // The completion that is running now is left to finish; any other only
  // counts the worker out.
  if (FThread != FReporting) {
    FThread->OnTerminate = TNotifyEvent(this, &TKVRINetNotify::LetGoDone);
    FLetGo.push_back(FThread);
  }
  FThread = nullptr;
}

void TKVRINetNotify::LetGoDone(TObject* Sender) {
  std::erase(FLetGo, static_cast<TKVRINNThread*>(Sender));
  if (FStartWaits && !Destroying()) StartWorker();
}

void TKVRINetNotify::ThreadDone(TObject* Sender) {
  FWatchdog->SetEnabled(false);
  auto* Thread = static_cast<TKVRINNThread*>(Sender);
  FConnected = Thread->Connected();
  // The finished worker stays registered while the handler runs, so a Start
  // made from inside the handler is ignored. It is unregistered afterwards
  // even when the handler fails, or no probe could ever start again.
  struct TUnregister {
    TKVRINetNotify& Probe;
    TKVRINNThread* Thread;
    ~TUnregister() {
      if (Probe.FThread == Thread) Probe.FThread = nullptr;
      Probe.FReporting = nullptr;
    }
  } Unregister{*this, Thread};
  FReporting = Thread;
  OnDownNotification(this, FConnected);
}

void TKVRINetNotify::TimeLimitReached(TObject*) {
  FWatchdog->SetEnabled(false);
  if (!FThread) return;
  // The worker is stuck where its time-outs do not reach. It is left to end
  // on its own; whatever it finds then is not reported, so it never mixes
  // with a later probe's result.
  Stop();
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
