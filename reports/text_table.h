// Small writers shared by the report formats: a CSV field, fixed decimals,
// and a plain text table whose columns are as wide as their widest cell.
// Pure functions; thread-safe.
#ifndef VOLTRANE_REPORTS_TEXT_TABLE_H_
#define VOLTRANE_REPORTS_TEXT_TABLE_H_

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace reports {

// The field as RFC 4180 writes it: quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string& text);
void WriteCsvLine(std::ostream& out, const std::vector<std::string>& fields);

// "1.250" for (1.25, 3); "" for an empty value.
std::string Fixed(std::optional<double> value, int decimals);
// "85.3%" for 0.853; "" for an empty value.
std::string Percent(std::optional<double> value);
// The value rounded to `decimals`, as JSON numbers carry it.
double Rounded(double value, int decimals);

// Columns right-aligned except those named in `left_aligned` (by index).
void WriteTextTable(std::ostream& out, const std::vector<std::string>& header,
                    const std::vector<std::vector<std::string>>& rows,
                    const std::vector<size_t>& left_aligned);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_TEXT_TABLE_H_
