#include "monitor/INet.h"

#include "toolkit/Platform.h"
#include "toolkit/TextUtils.h"

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
    // The system's configured proxy settings, no proxy of our own.
    HINTERNET Session = Platform().InternetOpenA(FAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    SetConnected(Session != nullptr);
    if (!Session) return;
    if (Terminated()) {
      SetConnected(false);
      Platform().InternetCloseHandle(Session);
      return;
    }
    // RELOAD: the answer comes from the server, never from the cache. The
    // answer itself is not read: any answer means the address can be reached.
    HINTERNET Request = Platform().InternetOpenUrlA(Session, FURL.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    SetConnected(Request != nullptr);
    if (Request) Platform().InternetCloseHandle(Request);
    Platform().InternetCloseHandle(Session);
  } catch (...) {
    // The result keeps the value last written; the completion still runs.
  }
}

// ---- TKVRINetNotify ----

TKVRINetNotify::TKVRINetNotify(TComponent* AOwner) : TComponent(AOwner), FAgent(DefaultAgent), FURL(DefaultProbeURL) {}

TKVRINetNotify::~TKVRINetNotify() {
  Stop();
  // A worker that outlives the component delivers its completion nowhere.
  if (FThread) FThread->OnTerminate = TNotifyEvent();
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
  if (FThread) return;
  auto* Thread = new TKVRINNThread(FAgent, FURL);
  FThread = Thread;
  // The completion is hooked before the worker runs, so every worker
  // delivers exactly once.
  Thread->OnTerminate = TNotifyEvent(this, &TKVRINetNotify::ThreadDone);
  Thread->Start();
}

void TKVRINetNotify::Stop() {
  if (!FThread) return;
  FThread->Terminate();
  FThread->SetConnected(false);
}

void TKVRINetNotify::ThreadDone(TObject* Sender) {
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
