#include "bench/Markdown.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bench {

Table::Table(std::vector<std::string> Header, std::size_t LabelColumns)
    : FHeader(std::move(Header)), FLabelColumns(LabelColumns) {}

void Table::Add(std::vector<std::string> Row) {
  Row.resize(FHeader.size());
  FRows.push_back(std::move(Row));
}

std::string Table::Render() const {
  const auto Line = [](const std::vector<std::string>& Cells) {
    std::string Text = "|";
    for (const std::string& Cell : Cells) Text += " " + Cell + " |";
    return Text + "\n";
  };
  std::vector<std::string> Rule(FHeader.size(), "---:");
  for (std::size_t I = 0; I < std::min(FLabelColumns, Rule.size()); ++I) Rule[I] = "---";
  std::string Text = Line(FHeader) + Line(Rule);
  for (const auto& Row : FRows) Text += Line(Row);
  return Text;
}

std::string Fixed(double Value, int Digits) {
  char Text[64];
  std::snprintf(Text, sizeof Text, "%.*f", Digits, Value);
  return Text;
}

std::string Ratio(double A, double B) { return B == 0 ? "n/a" : Fixed(A / B, 2) + "x"; }

std::string Mebibytes(double Bytes) { return Fixed(Bytes / (1024.0 * 1024.0), 1) + " MiB"; }

std::string Count(long long Value) {
  const std::string Digits = std::to_string(std::llabs(Value));
  std::string Text = Value < 0 ? "-" : "";
  for (std::size_t I = 0; I < Digits.size(); ++I) {
    if (I > 0 && (Digits.size() - I) % 3 == 0) Text += ',';
    Text += Digits[I];
  }
  return Text;
}

}  // namespace bench
