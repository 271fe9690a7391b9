#include "bench/Plan.h"

#include <algorithm>

namespace bench {

const char* const SectionNames[] = {"probe", "answer", "disk", "soak", "cpu", "start", "footprint", nullptr};

namespace {

bool KnownSection(const std::string& Name) {
  for (const char* const* Known = SectionNames; *Known; ++Known)
    if (Name == *Known) return true;
  return false;
}

void Shrink(Plan& P) {
  P.Quick = true;
  P.ProbeRounds = 30;
  P.AnswerSeconds = 3;
  P.SoakProbes = 300;
  P.SoakStep = 50;
  P.ControlProbes = 100;
  P.ControlStep = 25;
  P.CpuSeconds = 60;
  P.StartRuns = 2;
  P.FootprintRuns = 1;
  P.KeptLogLines = {0, 20000, 200000};
}

bool AddSections(Plan& P, const std::string& List, std::string& Error) {
  std::size_t Start = 0;
  while (Start <= List.size()) {
    const std::size_t End = std::min(List.find(',', Start), List.size());
    const std::string Name = List.substr(Start, End - Start);
    if (!KnownSection(Name)) {
      Error = "unknown section '" + Name + "'";
      return false;
    }
    P.Sections.insert(Name);
    Start = End + 1;
  }
  return true;
}

}  // namespace

std::optional<Plan> ParsePlan(int Argc, char** Argv, std::string& Error) {
  Plan P;
  for (int I = 1; I < Argc; ++I) {
    const std::string Argument = Argv[I];
    if (Argument == "--quick") {
      Shrink(P);
    } else if (Argument == "--only" && I + 1 < Argc) {
      if (!AddSections(P, Argv[++I], Error)) return std::nullopt;
    } else {
      Error = "unknown argument '" + Argument + "'";
      return std::nullopt;
    }
  }
  return P;
}

std::string Usage() {
  std::string Names;
  for (const char* const* Name = SectionNames; *Name; ++Name) Names += std::string(Names.empty() ? "" : ",") + *Name;
  return "usage: vintrel_bench [--quick] [--only " + Names +
         "]\n"
         "  --quick  every count and duration shrunk: about three minutes, for checking the harness\n"
         "  --only   run only the named sections\n";
}

}  // namespace bench
