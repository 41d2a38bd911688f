#include "reports/text_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace reports {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void WriteCsvLine(std::ostream& out, const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out << ',';
    out << CsvField(fields[i]);
  }
  out << "\r\n";
}

std::string Fixed(std::optional<double> value, int decimals) {
  if (!value) return "";
  // Rounded first so that -0.0004 prints as 0.000, not -0.000.
  const double rounded = Rounded(*value, decimals);
  return fmt::format("{:.{}f}", rounded == 0 ? 0.0 : rounded, decimals);
}

std::string Percent(std::optional<double> value) {
  if (!value) return "";
  return Fixed(*value * 100, 1) + "%";
}

double Rounded(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

void WriteTextTable(std::ostream& out, const std::vector<std::string>& header,
                    const std::vector<std::vector<std::string>>& rows,
                    const std::vector<size_t>& left_aligned) {
  std::vector<size_t> widths(header.size(), 0);
  for (size_t i = 0; i < header.size(); ++i) widths[i] = header[i].size();
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], row[i].size());
    }
  }
  const auto write_row = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < widths.size(); ++i) {
      const std::string& cell = i < cells.size() ? cells[i] : std::string();
      const bool left =
          std::find(left_aligned.begin(), left_aligned.end(), i) != left_aligned.end();
      if (i > 0) line += "  ";
      line +=
          left ? fmt::format("{:<{}}", cell, widths[i]) : fmt::format("{:>{}}", cell, widths[i]);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  };
  write_row(header);
  std::vector<std::string> rule;
  for (const size_t width : widths) rule.push_back(std::string(width, '-'));
  write_row(rule);
  for (const auto& row : rows) write_row(row);
}

}  // namespace reports
