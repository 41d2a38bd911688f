// Time zones with daylight saving time for tests, and a scope that sets one
// for the test process only.
//
// Both zones below change their clocks on a Sunday between 02:00 and 03:00
// local time: Berlin in the northern hemisphere (back in October, forward in
// March), Sydney in the southern one (back in April, forward in October).
// A test parameter "<kind>|<zone>" names the database kind and the zone.
#ifndef VOLTRANE_TESTS_SUPPORT_CLOCK_CHANGE_ZONES_H_
#define VOLTRANE_TESTS_SUPPORT_CLOCK_CHANGE_ZONES_H_

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dbaccess/date_time.h"

namespace testsupport {

struct ClockChangeZone {
  const char* name;            // the zone database name, e.g. "Europe/Berlin"
  const char* label;           // for test names
  dbaccess::DateTime back;     // the day the clock goes back (02:00-03:00 repeated)
  dbaccess::DateTime forward;  // the day the clock goes forward (02:00-03:00 skipped)
};

// Test names and failure messages show the zone's name.
inline void PrintTo(const ClockChangeZone& zone, std::ostream* os) { *os << zone.name; }

const std::vector<ClockChangeZone>& ClockChangeZones();
const ClockChangeZone& ClockChangeZoneNamed(const std::string& name);

// "<kind>|<zone>" for every available kind and every zone above.
std::vector<std::string> KindsWithZones();
std::string KindOf(const std::string& kind_with_zone);
std::string ZoneOf(const std::string& kind_with_zone);
// A test name for the parameter ("SQLite_Berlin").
std::string KindWithZoneName(const std::string& kind_with_zone);

// Sets TZ (and PGTZ, so that PostgreSQL sessions opened meanwhile read the
// clock in the same zone) and restores both when it ends.
class TimeZoneScope {
 public:
  explicit TimeZoneScope(const std::string& zone);
  ~TimeZoneScope();
  TimeZoneScope(const TimeZoneScope&) = delete;
  TimeZoneScope& operator=(const TimeZoneScope&) = delete;

 private:
  std::optional<std::string> old_tz_;
  std::optional<std::string> old_pgtz_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_CLOCK_CHANGE_ZONES_H_
