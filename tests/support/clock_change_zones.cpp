#include "tests/support/clock_change_zones.h"

#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "tests/support/test_databases.h"

namespace testsupport {
namespace {

std::optional<std::string> Get(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void Restore(const char* name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

}  // namespace

const std::vector<ClockChangeZone>& ClockChangeZones() {
  using dbaccess::DateTime;
  static const std::vector<ClockChangeZone> zones = {
      {"Europe/Berlin", "Berlin", DateTime::FromParts(2026, 10, 25),
       DateTime::FromParts(2026, 3, 29)},
      {"Australia/Sydney", "Sydney", DateTime::FromParts(2026, 4, 5),
       DateTime::FromParts(2026, 10, 4)},
  };
  return zones;
}

const ClockChangeZone& ClockChangeZoneNamed(const std::string& name) {
  for (const ClockChangeZone& zone : ClockChangeZones()) {
    if (name == zone.name) return zone;
  }
  throw std::invalid_argument("no test zone " + name);
}

std::vector<std::string> KindsWithZones() {
  std::vector<std::string> params;
  for (const std::string& kind : AvailableKinds()) {
    for (const ClockChangeZone& zone : ClockChangeZones()) {
      params.push_back(kind + "|" + zone.name);
    }
  }
  return params;
}

std::string KindOf(const std::string& kind_with_zone) {
  return kind_with_zone.substr(0, kind_with_zone.find('|'));
}

std::string ZoneOf(const std::string& kind_with_zone) {
  return kind_with_zone.substr(kind_with_zone.find('|') + 1);
}

std::string KindWithZoneName(const std::string& kind_with_zone) {
  return KindOf(kind_with_zone) + "_" + ClockChangeZoneNamed(ZoneOf(kind_with_zone)).label;
}

TimeZoneScope::TimeZoneScope(const std::string& zone) : old_tz_(Get("TZ")), old_pgtz_(Get("PGTZ")) {
  setenv("TZ", zone.c_str(), 1);
  setenv("PGTZ", zone.c_str(), 1);
  tzset();
}

TimeZoneScope::~TimeZoneScope() {
  Restore("TZ", old_tz_);
  Restore("PGTZ", old_pgtz_);
  tzset();
}

}  // namespace testsupport
