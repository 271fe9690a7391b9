// The benchmark of record: measures the probe and the real program under
// Wine (or Windows) against a loopback web server, and prints the results
// as markdown on standard output; progress goes to standard error.

#include "bench/AnswerTimes.h"
#include "bench/CpuUse.h"
#include "bench/Footprint.h"
#include "bench/MeasureCheck.h"
#include "bench/Plan.h"
#include "bench/ProbeCost.h"
#include "bench/ServerProcess.h"
#include "bench/SlowDisk.h"
#include "bench/Soak.h"
#include "bench/StartAndClose.h"
#include "toolkit/Application.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

namespace {

// The probe component needs the application object, as in the program.
struct ToolkitSession {
  ToolkitSession() { ToolkitStartup(); }
  ~ToolkitSession() { ToolkitCleanup(); }
  ToolkitSession(const ToolkitSession&) = delete;
  ToolkitSession& operator=(const ToolkitSession&) = delete;
};

struct Section {
  const char* Name;
  const char* Title;
  std::string (*Run)(const bench::Plan&);
};

const Section Sections[] = {
    {"probe", "Probe cost", bench::ProbeCostSection},
    {"answer", "Window answer times", bench::AnswerTimesSection},
    {"disk", "Window answer times on a slow disk", bench::SlowDiskSection},
    {"soak", "Resource counters and soak", bench::SoakSection},
    {"cpu", "CPU use", bench::CpuUseSection},
    {"start", "Start and close", bench::StartAndCloseSection},
    {"footprint", "Idle footprint", bench::FootprintSection},
};

// Each section is printed as soon as it is done, so a long run shows its
// results as it goes.
void Emit(const std::string& Markdown) {
  std::fwrite(Markdown.data(), 1, Markdown.size(), stdout);
  std::fflush(stdout);
}

// A section that fails says so in the report, and the others still run;
// Failed is set, for the exit code.
std::string RunSection(const Section& S, const bench::Plan& P, bool& Failed) {
  try {
    return S.Run(P);
  } catch (const std::exception& E) {
    Failed = true;
    std::fprintf(stderr, "vintrel_bench: %s failed: %s\n", S.Title, E.what());
    return "## " + std::string(S.Title) + "\n\nNot measured: " + E.what() + "\n\n";
  }
}

std::string Intro(const bench::Plan& P) {
  return P.Quick ? "Quick run (--quick): every count and duration shrunk to check the harness; the figures are "
                   "indicative only.\n\n"
                 : "Full run.\n\n";
}

}  // namespace

int main(int Argc, char** Argv) {
  // The report's lines end in LF, not in the CR LF of a text-mode stream.
  _setmode(_fileno(stdout), _O_BINARY);
  // The helper roles of this program (ChildProcess.h).
  if (Argc >= 2 && std::string(Argv[1]) == bench::SpinArgument) return bench::RunSpinChild();
  if (Argc >= 2 && std::string(Argv[1]) == bench::ServeArgument) return bench::RunServerChild();
  std::string Error;
  const std::optional<bench::Plan> P = bench::ParsePlan(Argc, Argv, Error);
  if (!P) {
    std::fprintf(stderr, "vintrel_bench: %s\n%s", Error.c_str(), bench::Usage().c_str());
    return 2;
  }
  ToolkitSession Toolkit;
  Emit(Intro(*P));
  bool Failed = false;
  for (const Section& S : Sections) {
    if (!P->Runs(S.Name)) continue;
    std::fprintf(stderr, "vintrel_bench: %s ...\n", S.Title);
    Emit(RunSection(S, *P, Failed));
  }
  return Failed ? 1 : 0;
}
