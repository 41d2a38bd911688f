// Time stamps of MTConnect streams and the local wall-clock time of the log.
//
// Streams carry UTC in ISO 8601 ("2022-08-08T13:51:34.7167146Z"); the MDC log
// holds local wall-clock time without a zone, as a machine monitor with its
// own clock writes it. Pure functions; the conversion uses the process's time
// zone (TZ) through localtime_r and is thread-safe.
#ifndef VOLTRANE_MTCONNECT_UTC_TIME_H_
#define VOLTRANE_MTCONNECT_UTC_TIME_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "dbaccess/date_time.h"

namespace mtconnect {

// "YYYY-MM-DDTHH:MM:SS[.fraction][Z]", fraction of any length (cut to
// milliseconds); an SHDR duration suffix ("@12.5") is ignored. Milliseconds
// since 1970-01-01 UTC, or nullopt for anything else (also impossible dates).
std::optional<int64_t> ParseUtcTimestamp(std::string_view text);

// The local wall-clock time of that moment in the process's time zone.
dbaccess::DateTime LocalWallClock(int64_t utc_ms);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_UTC_TIME_H_
