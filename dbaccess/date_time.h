// DateTime: a local wall-clock date and time with milliseconds.
//
// The shop-floor records keep local time without a zone, as plants read them.
// Arithmetic is plain calendar arithmetic; no time zone or daylight rule is
// applied. The value is held as milliseconds since 1970-01-01 00:00:00.000 of
// that local calendar. A default-constructed DateTime is the "zero" date of the
// records, 1899-12-30 00:00:00.000, which is also serial day 0 of
// ToSerialDays(). Immutable; safe to share between threads.
#ifndef VOLTRANE_DBACCESS_DATE_TIME_H_
#define VOLTRANE_DBACCESS_DATE_TIME_H_

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dbaccess {

class DateTime {
 public:
  // 1899-12-30 00:00:00.000.
  DateTime();

  // Fields out of range are normalised (month 13 is January of the next year).
  static DateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0, int millisecond = 0);
  static DateTime FromMillisecondsSinceEpoch(int64_t ms);
  // Serial days since 1899-12-30, the fraction being the time of day.
  static DateTime FromSerialDays(double days);
  // The local time of this computer, from localtime_r, with milliseconds.
  static DateTime Now();

  // Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM", "YYYY-MM-DD HH:MM:SS" and
  // "YYYY-MM-DD HH:MM:SS.f" (1 to 9 fraction digits, cut to milliseconds), with
  // " " or "T" between date and time. Anything else gives nullopt.
  static std::optional<DateTime> Parse(std::string_view text);

  int Year() const;
  int Month() const;
  int Day() const;
  int Hour() const;
  int Minute() const;
  int Second() const;
  int Millisecond() const;
  // 1 = Sunday ... 7 = Saturday.
  int DayOfWeek() const;

  int64_t MillisecondsSinceEpoch() const { return ms_; }
  double ToSerialDays() const;

  DateTime AddMilliseconds(int64_t ms) const;
  DateTime AddSeconds(int64_t seconds) const;
  DateTime AddMinutes(int64_t minutes) const;
  DateTime AddDays(int64_t days) const;
  DateTime DatePart() const;       // midnight of the same day
  DateTime WithoutMilliseconds() const;

  // Whole seconds from this to other, truncated toward zero on each reading's
  // second, as a difference of the two clock readings in seconds.
  int64_t SecondsUntil(const DateTime& other) const;

  // "YYYY-MM-DD HH:MM:SS.SSS": the canonical stored form; text order is time order.
  std::string ToText() const;
  // "YYYY-MM-DD HH:MM:SS".
  std::string ToTextSeconds() const;

  auto operator<=>(const DateTime&) const = default;
  bool operator==(const DateTime&) const = default;

 private:
  explicit DateTime(int64_t ms) : ms_(ms) {}
  int64_t ms_;
};

}  // namespace dbaccess

#endif  // VOLTRANE_DBACCESS_DATE_TIME_H_
