#pragma once
// The connectivity probe: opens one http:// address on a short-lived worker
// thread and reports, on the user-interface thread, whether it could.

#include "toolkit/Classes.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Thread.h"

#include <atomic>
#include <string>
#include <vector>

// The address probed when none is given.
constexpr const char* DefaultProbeURL = "http://example.com/";
constexpr const char* DefaultAgent = "TKVRINetNotify";

// WinINet's own time-outs, as Windows sets them by default, given to every
// probe explicitly: a server that accepts the connection and never answers
// then fails the probe after the receive time-out instead of holding it, and
// the worker ends. The session carries all three; the request gets the send
// and receive time-outs again as soon as it exists, because a WinINet may
// give a request that InternetOpenUrlA opens none of its session's (Wine's
// takes only the connect time-out over, and would wait for ever).
constexpr DWORD ConnectTimeoutMs = 60000;
constexpr DWORD SendTimeoutMs = 30000;
constexpr DWORD ReceiveTimeoutMs = 30000;
// How long the component waits for a worker before it gives the probe up as
// disconnected: the longest of those time-outs. The time-outs end a silent
// server's probe first; this bounds what they cannot reach (a name lookup
// that hangs, say).
constexpr unsigned ProbeTimeLimitMs = 60000;

// The address as the probe stores it: trimmed, A to Z lower-cased, the
// default for an empty text, and "http://" put in front of a text that holds
// no "http://" (after its first "://", at most 255 characters are kept).
std::string NormalizeURL(const std::string& Value);

// The user agent as the probe stores it: trimmed, the default for an empty text.
std::string NormalizeAgent(const std::string& Value);

using TOnDownNotificationEvent = TEvent<TObject*, bool>;

// One probe: copies its parameters at creation, opens the address once, and
// frees itself after its completion has run.
class TKVRINNThread : public TThread {
 public:
  // RequestTimeout: the send and receive time-out of the request, in ms.
  TKVRINNThread(const std::string& Agent, const std::string& URL, DWORD RequestTimeout = ReceiveTimeoutMs);

  bool Connected() const { return FConnected.load(); }
  void SetConnected(bool Value) { FConnected.store(Value); }

 protected:
  void Execute() override;

 private:
  // WinINet's progress reports, on this worker's thread.
  static void CALLBACK RequestStatus(HINTERNET Handle, DWORD_PTR Context, DWORD Status, LPVOID Information,
                                     DWORD Length);

  const std::string FAgent;
  const std::string FURL;
  const DWORD FRequestTimeout;
  std::atomic<bool> FConnected{false};
};

class TKVRINetNotify : public TComponent {
 public:
  explicit TKVRINetNotify(TComponent* AOwner);
  ~TKVRINetNotify() override;

  const std::string& Agent() const { return FAgent; }
  void SetAgent(const std::string& Value);
  const std::string& URL() const { return FURL; }
  void SetURL(const std::string& Value);
  // The last result a worker delivered.
  bool Connected() const { return FConnected; }
  // Whether a worker is running, or waits to start.
  bool Probing() const { return FThread != nullptr || FStartWaits; }

  // Starts a worker unless one is running. Beside it, at most one worker
  // that was let go may still be out: while two are, the start waits (Probing
  // says so) and the worker starts as soon as one of them has ended.
  void Start();
  // Lets the running worker, if any, go: it is told to give up, and whatever
  // it finds is never reported. It does not wait; the next Start starts a new
  // worker at once, unless two let-go workers are still out. A start that
  // waits is called off.
  void Stop();
  // How many workers that were let go are still out.
  size_t LetGo() const { return FLetGo.size(); }

  // A worker that has not finished this many milliseconds after its start is
  // left to end on its own, unheard, and the probe reports no connection.
  // 0: no limit.
  unsigned TimeLimit() const { return FTimeLimit; }
  void SetTimeLimit(unsigned Milliseconds) { FTimeLimit = Milliseconds; }
  // The send and receive time-out each worker gives its request, in ms.
  DWORD RequestTimeout() const { return FRequestTimeout; }
  void SetRequestTimeout(DWORD Milliseconds) { FRequestTimeout = Milliseconds; }

  TOnDownNotificationEvent OnDownNotification;

 protected:
  void DestructionBegun() override { Stop(); }

 private:
  void ThreadDone(TObject* Sender);
  void LetGoDone(TObject* Sender);
  void TimeLimitReached(TObject* Sender);
  void StartWorker();

  std::string FAgent;
  std::string FURL;
  bool FConnected = false;
  TKVRINNThread* FThread = nullptr;     // not owned: the worker frees itself
  TKVRINNThread* FReporting = nullptr;  // not owned: the worker whose completion is running
  TTimer* FWatchdog;                    // owned as a component
  unsigned FTimeLimit = ProbeTimeLimitMs;
  DWORD FRequestTimeout = ReceiveTimeoutMs;
  bool FGivingUp = false;  // reporting a probe given up
  // Workers let go that are still out; not owned: each frees itself. A
  // worker blocked in a call WinINet's time-outs do not reach ends only when
  // the server lets go (always so under Wine), so a Stop and Start pressed
  // again and again would otherwise leave one more thread each time.
  std::vector<TKVRINNThread*> FLetGo;
  bool FStartWaits = false;  // a Start waits for a let-go worker to end
};

// The most workers let go that may be out when a new one starts.
constexpr size_t MaxLetGoWorkers = 1;
