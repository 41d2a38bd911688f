// The values the wizard's pages show and edit, kept by the rules class and
// read and written by the view. Plain data; the rules in
// admin_wizard_rules.h decide what is valid and what is written.
#ifndef VOLTRANE_MANAGER_WIZARD_STATE_H_
#define VOLTRANE_MANAGER_WIZARD_STATE_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dbaccess/database_kind.h"

namespace voltrane::manager {

namespace kind = voltrane::dbkind;

// One entry of a data list: the id and the text shown.
struct ListItem {
  int32_t id = -1;
  std::string text;
};

// User, password, server and database of a server kind (SQL Server, PostgreSQL).
struct ServerFields {
  std::string user;
  std::string password;
  std::string server;
  std::string database;
};

// Pages 0 to 3 and the timeout: what is read from and written to the settings store.
struct ConnectionState {
  int32_t database_kind = kind::kOracle;
  // The option chosen on page 0; -1 none.
  int32_t selected_kind = -1;
  // Stored connection strings, by kind.
  std::array<std::string, kind::kCount> stored{};
  std::string oracle_user, oracle_password, oracle_host;
  std::string access_path, sqlite_path;
  ServerFields sql_server, postgresql;
  std::string sql_provider;
  int32_t timeout_seconds = 3;
  // The SQL Server / PostgreSQL database list.
  std::vector<std::string> database_list;
  bool database_list_loaded = false;
  bool database_list_failed = false;
  // Set when a failed test asks for the list to be tried again in a second.
  bool database_list_retry_requested = false;
};

// Page 4.
struct ProcessingOptions {
  std::string timeout_text;
  std::string log_days_text;
  int32_t log_days = 0;           // option 15
  bool require_password = false;  // 22
  bool auto_cycle = false;        // 23
  bool auto_finish_job = false;   // 24
  bool require_released = false;  // 25
  bool auto_release = false;      // 26
  bool force_idle = false;        // 27
  std::string idle_timeout_text = "15";
  int32_t idle_timeout = 15;  // 28
  bool auto_idle = false;     // 29
  std::string response_timeout_text = "5";
  int32_t response_timeout = 5;   // 30
  int32_t idle_downtime_id = -1;  // 31
  std::vector<ListItem> downtimes;
};

// Lock kinds of the lock grid and of the setup and teardown locks.
inline constexpr int32_t kLockNone = 0;
inline constexpr int32_t kLockCycle = 1;
inline constexpr int32_t kLockSetup = 2;
inline constexpr int32_t kLockAll = 3;

struct LockRow {
  int32_t downtime_code_id = 0;
  std::string downtime;
  int32_t lock = kLockNone;  // 0 None, 1 Cycle, 2 Setup, 3 All
  int32_t max_minutes = 0;   // 0 to 999
};

// Page 5.
struct LockPage {
  int32_t setup_lock = 0;     // option 4: 0 None, 1 Cycle, 2 All
  int32_t teardown_lock = 0;  // option 5
  std::vector<LockRow> rows;
};

// Page 6.
struct AutoNewPage {
  bool auto_parts = false;           // 6
  int32_t part_type_id = -1;         // 7
  std::string part_revision;         // 8
  bool auto_serial_numbers = false;  // 21
  bool auto_jobs = false;            // 9
  int32_t job_status = -1;           // 10: 0 Pending, 1 In Process, 2 Completed
  bool auto_ops = false;             // 11
  std::string op_revision;           // 12
  std::vector<ListItem> part_types;
  std::vector<ListItem> job_statuses;
};

struct HeartbeatRow {
  int32_t machine_id = 0;
  std::string machine;
  bool enabled = false;
  int32_t timeout_seconds = 200;
};

// Page 7.
struct HeartbeatPage {
  std::vector<HeartbeatRow> rows;
  int32_t machine_downtime_id = -1;  // option 13
  std::string return_timeout_text = "240";
  int32_t return_timeout = 240;  // option 19
  std::vector<ListItem> downtimes;
  bool start_service = true;
};

// Page 7's designation: who processes the database's log, this computer or
// the collector group the database has (T_SFC_MDC_GROUP, or option 14's
// "group:NAME"), with this computer's collector taking part as a member.
struct DesignationPage {
  bool use_group = false;
  std::string group_name;   // the database's collector group; "" when it has none
  std::string member_name;  // this computer's member name in it
  // The group option 14 named at the connection check ("" when it named a
  // computer or nothing): designating this computer then ends group mode,
  // which Finish asks about first unless it was confirmed already.
  std::string designated_group;
  bool end_group_confirmed = false;
  bool group_available() const { return !group_name.empty(); }
  bool EndsGroupMode() const { return !use_group && !designated_group.empty(); }
};

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_WIZARD_STATE_H_
