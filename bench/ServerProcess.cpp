#include "bench/ServerProcess.h"

#include "tests/support/LoopbackServer.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace bench {

const char* const ServeArgument = "--serve";

namespace {

constexpr unsigned PortBoundMs = 15000;

}  // namespace

ServerProcess::ServerProcess() : FChild(ServeArgument) {
  const std::optional<std::string> Line = FChild.ReadLine(PortBoundMs);
  if (Line) FPort = static_cast<unsigned>(std::strtoul(Line->c_str(), nullptr, 10));
  if (FPort == 0) throw std::runtime_error("the server process did not tell its port");
}

int RunServerChild() {
  vtest::LoopbackServer Server;
  std::printf("%u\n", static_cast<unsigned>(Server.Port()));
  std::fflush(stdout);
  WaitForParentToLetGo();
  return 0;
}

}  // namespace bench
