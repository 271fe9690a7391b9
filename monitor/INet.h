#pragma once
// The connectivity probe: opens one http:// address on a short-lived worker
// thread and reports, on the user-interface thread, whether it could.

#include "toolkit/Classes.h"
#include "toolkit/Thread.h"

#include <atomic>
#include <string>

// The address probed when none is given.
constexpr const char* DefaultProbeURL = "http://example.com/";
constexpr const char* DefaultAgent = "TKVRINetNotify";

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

  TOnDownNotificationEvent OnDownNotification;

 private:
  void ThreadDone(TObject* Sender);

  std::string FAgent;
  std::string FURL;
  bool FConnected = false;
  TKVRINNThread* FThread = nullptr;  // not owned: the worker frees itself
};
