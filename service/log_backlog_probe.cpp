// Reading the log's backlog for the collector's metrics.
#include "service/log_backlog_probe.h"

#include <exception>

#include "cipher/mod_crypto.h"
#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"

namespace voltrane {
namespace {

constexpr std::chrono::seconds kCacheFor{1};

}  // namespace

LogBacklogProbe::LogBacklogProbe(ConfigurationReader reader, SteadyClock now)
    : reader_(std::move(reader)), now_(std::move(now)) {}

LogBacklog LogBacklogProbe::Read() {
  std::lock_guard<std::mutex> lock(mutex_);
  const SteadyTime now = now_();
  if (read_at_ && now - *read_at_ < kCacheFor) return cached_;
  cached_ = Query();
  read_at_ = now;
  return cached_;
}

LogBacklog LogBacklogProbe::Query() {
  LogBacklog backlog;
  try {
    if (!connection_ || !connection_->IsOpen()) {
      DatabaseConfiguration config;
      if (reader_(config) != 0) {
        backlog.error = "no database is configured";
        return backlog;
      }
      auto connection = std::make_shared<dbaccess::Connection>();
      connection->Open(DecipherConnectionString(config.connection_string));
      connection_ = std::move(connection);
      kind_ = config.database_type;
    }
    dbaccess::Recordset rows;
    rows.Open("select count(*), min(TIME_STAMP), " + SysDateExpr(kind_) + " from T_SFC_MDC_LOG",
              connection_);
    backlog.waiting = rows.Fields(size_t{0}).Value().ToInt64();
    const dbaccess::Variant& oldest = rows.Fields(size_t{1}).Value();
    if (backlog.waiting > 0 && !oldest.IsNull()) {
      const int64_t age_ms = rows.Fields(size_t{2}).Value().ToDateTime().MillisecondsSinceEpoch() -
                             oldest.ToDateTime().MillisecondsSinceEpoch();
      backlog.oldest_seconds = age_ms > 0 ? static_cast<double>(age_ms) / 1000.0 : 0;
    }
    backlog.answered = true;
  } catch (const std::exception& error) {  // DbError, or a value that would not convert
    connection_.reset();
    backlog.error = error.what();
  }
  return backlog;
}

}  // namespace voltrane
