#pragma once
// The loopback web server in a helper process of its own (this program with
// --serve), for the soak: its threads, handles and memory (it keeps the
// requests it reads) then stay out of the counts of the process measured.

#include "bench/ChildProcess.h"

#include <string>

namespace bench {

extern const char* const ServeArgument;

class ServerProcess {
 public:
  // Starts the helper and learns its port; throws std::runtime_error when it cannot.
  ServerProcess();
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/"; }

 private:
  ChildProcess FChild;
  unsigned FPort = 0;
};

// The helper's side: serves 200 on a free loopback port, writes the port as
// one line, and stops when its parent lets go.
int RunServerChild();

}  // namespace bench
