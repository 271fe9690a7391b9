#pragma once
// The connectivity probe: opens one http:// address on a short-lived worker
// thread and reports, on the user-interface thread, whether it could.

#include "toolkit/Classes.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Thread.h"

#include <atomic>
#include <string>

// The address probed when none is given.
constexpr const char* DefaultProbeURL = "http://example.com/";
constexpr const char* DefaultAgent = "TKVRINetNotify";

// WinINet's own time-outs, as Windows sets them by default, given to every
// session explicitly: a server that accepts the connection and never answers
// then fails the probe after the receive time-out instead of holding it.
constexpr DWORD ConnectTimeoutMs = 60000;
constexpr DWORD SendTimeoutMs = 30000;
constexpr DWORD ReceiveTimeoutMs = 30000;
// How long the component waits for a worker before it gives the probe up as
// disconnected: the longest of those time-outs. On Windows the time-outs end
// a hanging probe first; a WinINet that ignores them (Wine's does) would
// otherwise stall monitoring for good.
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
  TKVRINNThread(const std::string& Agent, const std::string& URL);

  bool Connected() const { return FConnected.load(); }
  void SetConnected(bool Value) { FConnected.store(Value); }

 protected:
  void Execute() override;

 private:
  const std::string FAgent;
  const std::string FURL;
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
  // Whether a worker is running.
  bool Probing() const { return FThread != nullptr; }

  // Starts a worker unless one is running.
  void Start();
  // Asks the running worker, if any, to give up, and clears its result. It
  // does not wait; the worker's completion still arrives.
  void Stop();

  // A worker that has not finished this many milliseconds after its start is
  // left to end on its own, unheard, and the probe reports no connection.
  // 0: no limit.
  unsigned TimeLimit() const { return FTimeLimit; }
  void SetTimeLimit(unsigned Milliseconds) { FTimeLimit = Milliseconds; }

  TOnDownNotificationEvent OnDownNotification;

 protected:
  void DestructionBegun() override { Detach(); }

 private:
  void ThreadDone(TObject* Sender);
  void TimeLimitReached(TObject* Sender);
  // Lets the running worker go: told to give up, its completion dropped
  // whenever it comes; it still frees itself.
  void Detach();

  std::string FAgent;
  std::string FURL;
  bool FConnected = false;
  TKVRINNThread* FThread = nullptr;  // not owned: the worker frees itself
  TTimer* FWatchdog;                 // owned as a component
  unsigned FTimeLimit = ProbeTimeLimitMs;
  bool FGivingUp = false;  // reporting a probe given up
};
