// Reading the worker's configuration record.
#include "service/service_config.h"

namespace voltrane {

int32_t CServiceConfig::ReadConfiguration() {
  DatabaseConfiguration config;
  config.database_type = m_lDatabaseType;
  config.connection_string = m_strConnectionString;
  config.idle_timeout_ms = static_cast<int32_t>(m_dwTimeout);
  const int32_t result = reader_(config);
  m_lDatabaseType = config.database_type;
  m_strConnectionString = config.connection_string;
  m_dwTimeout = static_cast<uint32_t>(config.idle_timeout_ms);
  m_strGroupName = config.group_name;
  m_strGroupMember = config.group_member;
  m_strProblem = config.problem;
  return result;
}

}  // namespace voltrane
