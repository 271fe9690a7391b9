#include "bench/Stats.h"

#include <algorithm>
#include <cmath>

namespace bench {

namespace {

// Nearest rank: the smallest sample that at least P percent of all are not above.
double Percentile(const std::vector<double>& Sorted, double P) {
  const double Rank = std::ceil(P / 100.0 * static_cast<double>(Sorted.size()));
  const std::size_t Index = Rank < 1 ? 0 : static_cast<std::size_t>(Rank) - 1;
  return Sorted[std::min(Index, Sorted.size() - 1)];
}

}  // namespace

Summary Summarize(std::vector<double> Samples) {
  Summary Result;
  Result.Count = Samples.size();
  if (Samples.empty()) return Result;
  std::sort(Samples.begin(), Samples.end());
  Result.Min = Samples.front();
  Result.Median = Percentile(Samples, 50);
  Result.P90 = Percentile(Samples, 90);
  Result.P99 = Percentile(Samples, 99);
  Result.Max = Samples.back();
  return Result;
}

double Slope(const std::vector<double>& X, const std::vector<double>& Y) {
  const std::size_t N = std::min(X.size(), Y.size());
  if (N < 2) return 0;
  double MeanX = 0, MeanY = 0;
  for (std::size_t I = 0; I < N; ++I) {
    MeanX += X[I];
    MeanY += Y[I];
  }
  MeanX /= static_cast<double>(N);
  MeanY /= static_cast<double>(N);
  double Covariance = 0, Variance = 0;
  for (std::size_t I = 0; I < N; ++I) {
    Covariance += (X[I] - MeanX) * (Y[I] - MeanY);
    Variance += (X[I] - MeanX) * (X[I] - MeanX);
  }
  return Variance == 0 ? 0 : Covariance / Variance;
}

}  // namespace bench
