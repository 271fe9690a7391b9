#pragma once
// Three ways to ask a loopback web server whether it answers, each timed
// from the caller's side: the program's probe component, the same WinINet
// calls on a bare thread, and a hand-written GET over winsock on a bare
// thread. The last is the floor the others are compared with.

#include "monitor/INet.h"

#include <memory>
#include <string>

namespace bench {

struct ProbeResult {
  enum Outcome { Answered, Failed, TimedOut };
  Outcome Result = Failed;
  double Ms = 0;  // from the start of the probe to its result reaching the caller
};

// The component as the program uses it: Start, then messages handled on this
// (the user-interface) thread until its completion has run.
class ComponentProbe {
 public:
  explicit ComponentProbe(const std::string& Url);
  ProbeResult Run(unsigned BoundMs);

 private:
  std::unique_ptr<TKVRINetNotify> FNotify;
  bool FDone = false;
  bool FConnected = false;
};

// InternetOpenA, InternetOpenUrlA (reload), InternetCloseHandle on a new
// thread, which is then joined.
ProbeResult WinInetOnNewThread(const std::string& Url, unsigned BoundMs);

// connect, "GET / HTTP/1.1", read up to the status line, close, on a new
// thread, which is then joined.
ProbeResult SocketGetOnNewThread(unsigned short Port, unsigned BoundMs);

// A new thread that does nothing, joined: the part of the two above that is
// the thread's creation and end (several milliseconds under Wine).
ProbeResult EmptyThread(unsigned BoundMs);

}  // namespace bench
