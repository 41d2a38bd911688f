#include "dbaccess/date_time.h"

#include <cmath>
#include <ctime>
#include <fmt/format.h>
#include <sys/time.h>

namespace dbaccess {
namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerDay = 86400 * kMsPerSecond;
// Days from 1899-12-30 to 1970-01-01.
constexpr int64_t kSerialEpochOffsetDays = 25569;

// Howard Hinnant's days_from_civil / civil_from_days (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int64_t year;
  int month;
  int day;
};

Civil CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {y + (m <= 2), m, d};
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t DayNumber(int64_t ms) { return FloorDiv(ms, kMsPerDay); }
int64_t MsOfDay(int64_t ms) { return ms - DayNumber(ms) * kMsPerDay; }

bool ReadDigits(std::string_view text, size_t pos, size_t count, int* out) {
  if (pos + count > text.size()) return false;
  int value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  *out = value;
  return true;
}

}  // namespace

DateTime::DateTime() : ms_(-kSerialEpochOffsetDays * kMsPerDay) {}

DateTime DateTime::FromParts(int year, int month, int day, int hour, int minute, int second,
                             int millisecond) {
  // Normalise the month first so that DaysFromCivil sees 1..12.
  int64_t y = year;
  int64_t m = month - 1;
  y += FloorDiv(m, 12);
  m = m - FloorDiv(m, 12) * 12 + 1;
  const int64_t days = DaysFromCivil(y, m, 1) + (day - 1);
  const int64_t ms = days * kMsPerDay + int64_t{hour} * 3600000 + int64_t{minute} * 60000 +
                     int64_t{second} * 1000 + millisecond;
  return DateTime(ms);
}

DateTime DateTime::FromMillisecondsSinceEpoch(int64_t ms) { return DateTime(ms); }

DateTime DateTime::FromSerialDays(double days) {
  // The serial form counts the fraction from the day's start even for negative
  // days (-1.25 is 1899-12-29 06:00), as the records' zero-based dates do.
  const double whole = std::trunc(days);
  const double fraction = std::fabs(days - whole);
  const int64_t day_ms = static_cast<int64_t>(whole) * kMsPerDay;
  const int64_t time_ms = static_cast<int64_t>(std::llround(fraction * kMsPerDay));
  return DateTime(day_ms + time_ms - kSerialEpochOffsetDays * kMsPerDay);
}

double DateTime::ToSerialDays() const {
  const int64_t serial_ms = ms_ + kSerialEpochOffsetDays * kMsPerDay;
  const int64_t day = FloorDiv(serial_ms, kMsPerDay);
  const double fraction = static_cast<double>(serial_ms - day * kMsPerDay) / kMsPerDay;
  // Negative serial dates carry the time of day as a positive fraction.
  return day >= 0 ? day + fraction : day - fraction;
}

DateTime DateTime::Now() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  tm local{};
  const time_t seconds = tv.tv_sec;
  localtime_r(&seconds, &local);
  return FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec, static_cast<int>(tv.tv_usec / 1000));
}

std::optional<DateTime> DateTime::Parse(std::string_view text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
  if (!ReadDigits(text, 0, 4, &year) || text.size() < 10 || text[4] != '-' ||
      !ReadDigits(text, 5, 2, &month) || text[7] != '-' || !ReadDigits(text, 8, 2, &day)) {
    return std::nullopt;
  }
  size_t pos = 10;
  if (pos < text.size()) {
    if ((text[pos] != ' ' && text[pos] != 'T') || !ReadDigits(text, pos + 1, 2, &hour) ||
        text.size() < pos + 6 || text[pos + 3] != ':' || !ReadDigits(text, pos + 4, 2, &minute)) {
      return std::nullopt;
    }
    pos += 6;
    if (pos < text.size()) {
      if (text[pos] != ':' || !ReadDigits(text, pos + 1, 2, &second)) return std::nullopt;
      pos += 3;
      if (pos < text.size()) {
        if (text[pos] != '.' || pos + 1 >= text.size()) return std::nullopt;
        int scale = 100;
        for (size_t i = pos + 1; i < text.size(); ++i) {
          if (text[i] < '0' || text[i] > '9' || i - pos > 9) return std::nullopt;
          ms += (text[i] - '0') * scale;
          scale /= 10;
        }
      }
    }
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  DateTime result = FromParts(year, month, day, hour, minute, second, ms);
  if (result.Day() != day) return std::nullopt;  // 2023-02-30 and the like
  return result;
}

int DateTime::Year() const { return static_cast<int>(CivilFromDays(DayNumber(ms_)).year); }
int DateTime::Month() const { return CivilFromDays(DayNumber(ms_)).month; }
int DateTime::Day() const { return CivilFromDays(DayNumber(ms_)).day; }
int DateTime::Hour() const { return static_cast<int>(MsOfDay(ms_) / 3600000); }
int DateTime::Minute() const { return static_cast<int>(MsOfDay(ms_) / 60000 % 60); }
int DateTime::Second() const { return static_cast<int>(MsOfDay(ms_) / 1000 % 60); }
int DateTime::Millisecond() const { return static_cast<int>(MsOfDay(ms_) % 1000); }

int DateTime::DayOfWeek() const {
  // 1970-01-01 was a Thursday (5).
  const int64_t days = DayNumber(ms_);
  return static_cast<int>(((days % 7) + 7 + 4) % 7) + 1;
}

DateTime DateTime::AddMilliseconds(int64_t ms) const { return DateTime(ms_ + ms); }
DateTime DateTime::AddSeconds(int64_t seconds) const { return DateTime(ms_ + seconds * 1000); }
DateTime DateTime::AddMinutes(int64_t minutes) const { return DateTime(ms_ + minutes * 60000); }
DateTime DateTime::AddDays(int64_t days) const { return DateTime(ms_ + days * kMsPerDay); }
DateTime DateTime::DatePart() const { return DateTime(DayNumber(ms_) * kMsPerDay); }
DateTime DateTime::WithoutMilliseconds() const {
  return DateTime(FloorDiv(ms_, kMsPerSecond) * kMsPerSecond);
}

int64_t DateTime::SecondsUntil(const DateTime& other) const {
  return FloorDiv(other.ms_, kMsPerSecond) - FloorDiv(ms_, kMsPerSecond);
}

std::string DateTime::ToText() const {
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", Year(), Month(), Day(), Hour(),
                     Minute(), Second(), Millisecond());
}

std::string DateTime::ToTextSeconds() const {
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", Year(), Month(), Day(), Hour(),
                     Minute(), Second());
}

}  // namespace dbaccess
