// CServiceConfig: the worker's configuration record (connection string,
// database kind, idle timeout, collector group and member), filled by ReadConfiguration from the
// settings store at every connection attempt. The reader is injectable for tests. Used from the
// worker thread only.
#ifndef VOLTRANE_SERVICE_SERVICE_CONFIG_H_
#define VOLTRANE_SERVICE_SERVICE_CONFIG_H_

#include <cstdint>
#include <functional>
#include <string>

#include "dbaccess/database_configuration.h"
#include "dbaccess/database_kind.h"

namespace voltrane {

using ConfigurationReader = std::function<int32_t(DatabaseConfiguration&)>;

class CServiceConfig {
 public:
  explicit CServiceConfig(ConfigurationReader reader = voltrane::ReadConfiguration)
      : reader_(std::move(reader)) {}

  // 0, or the reader's error code. The idle timeout keeps its previous value when the store
  // has none; a failed read may leave the database kind at -1.
  int32_t ReadConfiguration();

  std::string m_strConnectionString;  // as stored, credentials still enciphered
  int32_t m_lDatabaseType = voltrane::dbkind::kNone;
  uint32_t m_dwTimeout = 3000;  // idle timeout, milliseconds
  std::string m_strGroupName;   // the collector group taken part in; "" none
  std::string m_strGroupMember;  // the member name there
  std::string m_strProblem;      // why the last read failed on a value that is there, or ""

 private:
  ConfigurationReader reader_;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SERVICE_CONFIG_H_
