#pragma once
// Order statistics of a set of timings, and the least-squares slope of a
// series (for growth per probe in the soak).

#include <cstddef>
#include <vector>

namespace bench {

struct Summary {
  std::size_t Count = 0;
  double Min = 0;
  double Median = 0;
  double P90 = 0;
  double P99 = 0;
  double Max = 0;
};

// Nearest-rank percentiles; all zero for no samples.
Summary Summarize(std::vector<double> Samples);

// The slope of the straight line that fits (X[i], Y[i]) best; 0 for fewer
// than two points.
double Slope(const std::vector<double>& X, const std::vector<double>& Y);

}  // namespace bench
