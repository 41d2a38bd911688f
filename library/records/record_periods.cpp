// Running periods and downtime rows of machine data records (see
// record_periods.h).
#include "library/records/record_periods.h"

#include "dbaccess/elapsed_time.h"

namespace korvex7::internal {

namespace {

bool HasValue(const dbaccess::Variant& value) { return !value.IsNull() && !value.IsEmpty(); }

double NumberOrZero(const dbaccess::Variant& value) {
  return HasValue(value) ? value.ToDouble() : 0.0;
}

}  // namespace

float ElapsedUnits(const dbaccess::DateTime& dtStart, const dbaccess::DateTime& dtStop,
                   double dSecondsPerUnit) {
  return static_cast<float>(static_cast<double>(dbaccess::ElapsedSeconds(dtStart, dtStop)) /
                            dSecondsPerUnit);
}

bool EndRunningPeriod(dbaccess::Recordset& rs, const char* strStartColumn,
                      const char* strTimeColumn, double dSecondsPerUnit,
                      const dbaccess::DateTime& dtTime) {
  const dbaccess::Variant vStart = rs.Fields(strStartColumn).Value();
  if (!HasValue(vStart)) return false;
  const float fElapsed = ElapsedUnits(vStart.ToDateTime(), dtTime, dSecondsPerUnit);
  // The accumulators are single-precision columns.
  const float fTotal =
      static_cast<float>(NumberOrZero(rs.Fields(strTimeColumn).Value()) + fElapsed);
  rs.Fields(strTimeColumn) = static_cast<double>(fTotal);
  rs.Fields(strStartColumn) = dbaccess::Variant::Null();
  return true;
}

void IncrementCounter(dbaccess::Recordset& rs, const char* strColumn) {
  const dbaccess::Variant value = rs.Fields(strColumn).Value();
  rs.Fields(strColumn) = (HasValue(value) ? value.ToInt64() : 0) + 1;
}

void StartIdleIfNotRunning(dbaccess::Recordset& rs, const dbaccess::DateTime& dtTime) {
  if (!HasValue(rs.Fields("IDLE_START_TIME").Value())) rs.Fields("IDLE_START_TIME") = dtTime;
}

bool CloseFirstOpenDowntime(dbaccess::Recordset& rsDowntimes, const dbaccess::DateTime& dtTime) {
  if (rsDowntimes.Eof()) return false;
  const dbaccess::DateTime dtStart = rsDowntimes.Fields("START_TIME").Value().ToDateTime();
  rsDowntimes.Fields("DURATION") =
      static_cast<double>(ElapsedUnits(dtStart, dtTime, kSecondsPerHour));
  rsDowntimes.Fields("STOP_TIME") = dtTime;
  rsDowntimes.Update();
  return true;
}

}  // namespace korvex7::internal
