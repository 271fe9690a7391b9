#pragma once
// How much the benchmark does: the counts and durations of each part, full
// size for the record, or shrunk by --quick to check the harness in about
// three minutes.

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace bench {

struct Plan {
  bool Quick = false;
  int ProbeRounds = 300;        // probe cost: rounds of the three probes, interleaved
  unsigned AnswerSeconds = 20;  // window answer times: seconds per server mode
  int SoakProbes = 10000;       // soak: probes in one process
  int SoakStep = 1000;          // soak: probes between two readings of the counters
  int ControlProbes = 2000;     // soak: the same for the bare WinINet calls, for comparison
  int ControlStep = 500;
  unsigned CpuSeconds = 180;  // CPU use: seconds measured
  int StartRuns = 6;          // start and close: runs per log size
  // Start and close: lines of each kept log; the first, empty, is the one the
  // others are compared with.
  std::vector<int> KeptLogLines = {0, 100000, 1000000};
  int FootprintRuns = 3;           // idle footprint: runs of each program
  std::set<std::string> Sections;  // empty: all

  bool Runs(const std::string& Section) const { return Sections.empty() || Sections.count(Section) != 0; }
};

// The section names --only accepts, in the order they run.
extern const char* const SectionNames[];

// Reads --quick and --only A,B; nullopt (with the reason in Error) for anything else.
std::optional<Plan> ParsePlan(int Argc, char** Argv, std::string& Error);

std::string Usage();

}  // namespace bench
