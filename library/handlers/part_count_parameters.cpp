// Parsing of the good and scrapped part count parameters (see
// part_count_parameters.h).
#include "library/handlers/part_count_parameters.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

namespace korvex7::internal {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// A decimal number ("12", "-2", "2.5", "1e3"); no hexadecimal, no "inf" or "nan".
std::optional<double> ParseDecimal(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.find_first_not_of("0123456789.-eE+") != std::string_view::npos) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

int32_t NormalizePartCount(const std::string& strCount) {
  const std::optional<double> value = ParseDecimal(strCount);
  if (!value) return 1;
  // The default rounding mode rounds half to even.
  const double rounded = std::nearbyint(*value);
  // A count beyond the counters' range is a garbled parameter, not a count.
  constexpr double kLargest = std::numeric_limits<int32_t>::max();
  if (rounded > kLargest || rounded < -kLargest) {
    return 1;
  }
  return static_cast<int32_t>(rounded);
}

ScrapCountParameter ParseScrapCountParameter(const std::string& strParam) {
  ScrapCountParameter result;
  const auto dot = strParam.find('.');
  if (dot == std::string::npos) {
    result.lQuantity = NormalizePartCount(strParam);
    return result;
  }
  result.lQuantity = NormalizePartCount(strParam.substr(0, dot));
  result.strCode = strParam.substr(dot + 1);
  return result;
}

}  // namespace korvex7::internal
