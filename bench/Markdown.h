#pragma once
// The report's tables and number formats.

#include <string>
#include <vector>

namespace bench {

class Table {
 public:
  // The first LabelColumns columns hold words and are aligned left; the
  // others hold figures and are aligned right.
  explicit Table(std::vector<std::string> Header, std::size_t LabelColumns = 1);
  void Add(std::vector<std::string> Row);
  std::string Render() const;

 private:
  std::vector<std::string> FHeader;
  std::size_t FLabelColumns;
  std::vector<std::vector<std::string>> FRows;
};

// Value with Digits decimals.
std::string Fixed(double Value, int Digits = 2);
// A over B as "1.23x"; "n/a" when B is zero.
std::string Ratio(double A, double B);
// Bytes as mebibytes with one decimal.
std::string Mebibytes(double Bytes);
// An integer with thousands separators (10,000).
std::string Count(long long Value);

}  // namespace bench
