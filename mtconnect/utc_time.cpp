#include "mtconnect/utc_time.h"

#include <charconv>
#include <chrono>
#include <ctime>

namespace mtconnect {

namespace {

// Reads exactly `digits` decimal digits at `pos`; false when they are not there.
bool ReadNumber(std::string_view text, size_t pos, size_t digits, int& value) {
  if (pos + digits > text.size()) return false;
  for (size_t i = pos; i < pos + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  std::from_chars(text.data() + pos, text.data() + pos + digits, value);
  return true;
}

bool Expect(std::string_view text, size_t pos, char c) {
  return pos < text.size() && text[pos] == c;
}

}  // namespace

std::optional<int64_t> ParseUtcTimestamp(std::string_view text) {
  const size_t duration = text.find('@');
  if (duration != std::string_view::npos) text = text.substr(0, duration);
  if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!ReadNumber(text, 0, 4, year) || !Expect(text, 4, '-') || !ReadNumber(text, 5, 2, month) ||
      !Expect(text, 7, '-') || !ReadNumber(text, 8, 2, day) || !Expect(text, 10, 'T') ||
      !ReadNumber(text, 11, 2, hour) || !Expect(text, 13, ':') ||
      !ReadNumber(text, 14, 2, minute) || !Expect(text, 16, ':') ||
      !ReadNumber(text, 17, 2, second)) {
    return std::nullopt;
  }
  int millisecond = 0;
  size_t pos = 19;
  if (pos < text.size()) {
    if (text[pos] != '.' || pos + 1 == text.size()) return std::nullopt;
    int scale = 100;
    for (++pos; pos < text.size(); ++pos) {
      if (text[pos] < '0' || text[pos] > '9') return std::nullopt;
      millisecond += (text[pos] - '0') * scale;
      scale /= 10;
    }
  }
  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year},
                            std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  // A leap second (60) is taken as the next second's start.
  if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  const sys_days days{date};
  return duration_cast<milliseconds>(days.time_since_epoch()).count() +
         ((hour * 60 + minute) * 60 + second) * int64_t{1000} + millisecond;
}

dbaccess::DateTime LocalWallClock(int64_t utc_ms) {
  // Floor division, so a moment before 1970 keeps a non-negative millisecond.
  int64_t seconds = utc_ms / 1000;
  int64_t millisecond = utc_ms % 1000;
  if (millisecond < 0) {
    millisecond += 1000;
    seconds -= 1;
  }
  const time_t moment = static_cast<time_t>(seconds);
  std::tm local{};
  localtime_r(&moment, &local);
  return dbaccess::DateTime::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                       local.tm_hour, local.tm_min, local.tm_sec,
                                       static_cast<int>(millisecond));
}

}  // namespace mtconnect
