// Pages 4 to 7: filling the processing options, locks, automatic creation and
// heartbeats from the database, and writing them back at Finish.
#include "dbaccess/db_error.h"
#include "manager/admin_wizard_rules.h"
#include "manager/string_resources.h"

namespace voltrane::manager {
namespace {

// Option codes of the options page, in the order Finish writes them after 15 and 14.
constexpr int kOptionRequirePassword = 22;
constexpr int kOptionForceIdle = 27;
constexpr int kOptionIdleTimeout = 28;
constexpr int kOptionAutoIdle = 29;
constexpr int kOptionResponseTimeout = 30;
constexpr int kOptionIdleDowntime = 31;
constexpr int kOptionLogDays = 15;
constexpr int kOptionDesignatedPC = 14;
constexpr int kOptionHeartbeatDowntime = 13;
constexpr int kOptionReturnTimeout = 19;

// Page 4's booleans are kept as -1 (on) and 0.
int32_t PageFourBool(bool on) { return on ? -1 : 0; }

}  // namespace

void CAdminWizardRules::FillPage(int page) {
  switch (page) {
    case 4:
      FillProcessingOptions();
      break;
    case 5:
      FillLocks();
      return;  // sets its flag only when the grid was read
    case 6:
      FillAutoNew();
      break;
    case 7:
      FillHeartbeats();
      return;
    default:
      break;
  }
  page_loaded_[page] = true;
}

std::vector<ListItem> CAdminWizardRules::ReadList(const std::string& sql) {
  std::vector<ListItem> items;
  dbaccess::RecordsetPtr rs;
  try {
    rs = db_.GetRecordset(sql);
    for (; !rs->Eof(); rs->MoveNext()) {
      items.push_back({static_cast<int32_t>(rs->Fields(size_t{0}).Value().ToInt64()),
                       rs->Fields(size_t{1}).Value().IsNull()
                           ? std::string()
                           : rs->Fields(size_t{1}).Value().ToText()});
    }
  } catch (const dbaccess::DbError& error) {
    if (trace_) trace_("BindComboSQL: " + error.description());
  }
  db_.RsClose(rs);
  return items;
}

std::vector<ListItem> CAdminWizardRules::DowntimeList(const std::string& where) {
  const CQueryBuilder qb = db_.Builder();
  return ReadList("select DOWNTIME_CODE_ID, DOWNTIME_CODE_NUMBER" + qb.Glue(" - ") +
                  "DOWNTIME_CODE_NAME as DOWNTIME from T_SFC_DOWNTIME_CODE" + qb.NoLock() + where +
                  " order by DOWNTIME_CODE_NUMBER");
}

void CAdminWizardRules::FillProcessingOptions() {
  options.timeout_text = std::to_string(connection.timeout_seconds);
  options.log_days = db_.ReadDBOptionNum(kOptionLogDays).value_or(0);
  options.log_days_text = std::to_string(options.log_days);
  bool* const flags[] = {&options.require_password, &options.auto_cycle,   &options.auto_finish_job,
                         &options.require_released, &options.auto_release, &options.force_idle};
  for (int i = 0; i < 6; ++i) *flags[i] = db_.ReadDBOptionBool(kOptionRequirePassword + i);
  SetIdleTimeoutText(std::to_string(db_.ReadDBOptionNum(kOptionIdleTimeout).value_or(15)));
  options.auto_idle = db_.ReadDBOptionBool(kOptionAutoIdle);
  SetResponseTimeoutText(std::to_string(db_.ReadDBOptionNum(kOptionResponseTimeout).value_or(5)));
  options.downtimes = DowntimeList(" where DOWNTIME_TYPE_CODE = 0");
  options.idle_downtime_id = db_.ReadDBOptionNum(kOptionIdleDowntime).value_or(-1);
}

void CAdminWizardRules::FillLocks() {
  const CQueryBuilder qb = db_.Builder();
  dbaccess::RecordsetPtr rs;
  try {
    rs = db_.GetRecordset("Select DOWNTIME_CODE_ID, DOWNTIME_CODE_NUMBER" + qb.Glue(" - ") +
                          "DOWNTIME_CODE_NAME as DOWNTIME, CYCLE_STATUS_LOCK as ALL_LOCK, "
                          "CYCLE_STATUS_LOCK as DT_TIMEOUT from T_SFC_DOWNTIME_CODE " +
                          qb.NoLock() + " Order by DOWNTIME_CODE_NUMBER");
    dbaccess::RecordsetPtr copy = ManagerDatabase::CopyRecordset(*rs);
    db_.RsClose(rs);
    locks.rows.clear();
    if (copy->RecordCount() > 0) copy->MoveFirst();
    for (; !copy->Eof(); copy->MoveNext()) {
      const auto number = [&](const char* name) {
        const dbaccess::Variant& value = copy->Fields(name).Value();
        return value.IsNull() || value.IsEmpty() ? int64_t{0} : value.ToInt64();
      };
      const int64_t lock = number("ALL_LOCK");
      const dbaccess::Variant& text = copy->Fields("DOWNTIME").Value();
      locks.rows.push_back({static_cast<int32_t>(number("DOWNTIME_CODE_ID")),
                            text.IsNull() || text.IsEmpty() ? "" : text.ToText(),
                            static_cast<int32_t>(lock & 3), static_cast<int32_t>(lock / 4)});
    }
  } catch (const dbaccess::DbError& error) {
    db_.RsClose(rs);
    prompts_.ShowMessage(error.description());
    return;
  }
  const auto lock_option = [&](int code) {
    const int32_t value = db_.ReadDBOptionInt(code).value_or(0);
    return value >= 0 && value <= 2 ? value : 0;
  };
  locks.setup_lock = lock_option(4);
  locks.teardown_lock = lock_option(5);
  page_loaded_[5] = true;
}

void CAdminWizardRules::FillAutoNew() {
  const CQueryBuilder qb = db_.Builder();
  auto_new.part_types = ReadList("select PART_TYPE_ID, PART_TYPE_NAME  from T_SFC_PART_TYPE " +
                                 qb.NoLock() + " order by PART_TYPE_NAME ");
  auto_new.job_statuses = ReadList(" select 0 as VAL, 'Pending' as NAME" + qb.FromDual() +
                                   " union select 1 as VAL, 'In Process' as NAME" + qb.FromDual() +
                                   " union select 2 as VAL, 'Completed' as NAME" + qb.FromDual());
  auto_new.auto_parts = db_.ReadDBOptionBool(6);
  if (auto_new.auto_parts) {
    const int32_t part_type = db_.ReadDBOptionNum(7).value_or(-1);
    if (part_type > 0) auto_new.part_type_id = part_type;
    auto_new.part_revision = db_.ReadDBOptionStr(8).value_or("");
  }
  auto_new.auto_serial_numbers = db_.ReadDBOptionBool(21);
  auto_new.auto_jobs = db_.ReadDBOptionBool(9);
  if (auto_new.auto_jobs) {
    const int32_t status = db_.ReadDBOptionInt(10).value_or(-1);
    if (status >= 0) auto_new.job_status = status;
  }
  auto_new.auto_ops = db_.ReadDBOptionBool(11);
  if (auto_new.auto_ops) auto_new.op_revision = db_.ReadDBOptionStr(12).value_or("");
}

void CAdminWizardRules::FillHeartbeats() {
  const CQueryBuilder qb = db_.Builder();
  dbaccess::RecordsetPtr rs;
  try {
    rs = db_.GetRecordset("Select m.MACHINE_ID, MACHINE_NUMBER" + qb.Glue(" - ") +
                          "MACHINE_NAME as MACHINE,  ENABLED,  " +
                          qb.IIF(qb.isNullTest("TIMEOUT"), "200", "TIMEOUT") +
                          " as TIMEOUT from T_SFC_MACHINE m" + qb.NoLock() +
                          " left join T_SFC_MACHINE_HEARTBEAT hb" + qb.NoLock() +
                          " on hb.MACHINE_ID = m.MACHINE_ID Order by MACHINE_NUMBER");
    heartbeats.rows.clear();
    for (; !rs->Eof(); rs->MoveNext()) {
      const dbaccess::Variant& enabled = rs->Fields("ENABLED").Value();
      const dbaccess::Variant& machine = rs->Fields("MACHINE").Value();
      heartbeats.rows.push_back({static_cast<int32_t>(rs->Fields("MACHINE_ID").Value().ToInt64()),
                                 machine.IsNull() ? "" : machine.ToText(),
                                 !enabled.IsNull() && enabled.ToInt64() != 0,
                                 static_cast<int32_t>(rs->Fields("TIMEOUT").Value().ToInt64())});
    }
  } catch (const dbaccess::DbError&) {
    db_.RsClose(rs);
    prompts_.ShowMessage("The database must be updated before configuring and starting the sevice");
    return;
  }
  db_.RsClose(rs);
  heartbeats.downtimes =
      DowntimeList(" where not " + qb.isNullTest("PLANNED") + " and PLANNED < 1");
  heartbeats.machine_downtime_id = db_.ReadDBOptionNum(kOptionHeartbeatDowntime).value_or(-1);
  heartbeats.return_timeout = db_.ReadDBOptionNum(kOptionReturnTimeout).value_or(240);
  heartbeats.return_timeout_text = std::to_string(heartbeats.return_timeout);
  page_loaded_[7] = true;
}

bool CAdminWizardRules::CollectOptions() { return AcceptTimeoutText() && AcceptLogDaysText(); }

void CAdminWizardRules::SaveCycleLocks() {
  db_.UpdateDBOptionBool(4, locks.setup_lock);
  db_.UpdateDBOptionBool(5, locks.teardown_lock);
  for (const LockRow& row : locks.rows) {
    int32_t value = row.lock & 3;
    if (row.max_minutes != 0) value += 4 * row.max_minutes;
    db_.UpdateDB("DOWNTIME_CODE", row.downtime_code_id, "CYCLE_STATUS_LOCK", std::to_string(value));
  }
}

void CAdminWizardRules::SaveAutoNew() {
  db_.UpdateDBOptionBool(6, auto_new.auto_parts ? 1 : 0);
  if (auto_new.auto_parts) {
    db_.UpdateDBOptionNum(7, auto_new.part_type_id);
    db_.UpdateDBOptionStr(8, auto_new.part_revision);
  }
  db_.UpdateDBOptionBool(21, auto_new.auto_serial_numbers ? 1 : 0);
  db_.UpdateDBOptionBool(9, auto_new.auto_jobs ? 1 : 0);
  if (auto_new.auto_jobs) db_.UpdateDBOptionBool(10, auto_new.job_status);
  db_.UpdateDBOptionBool(11, auto_new.auto_ops ? 1 : 0);
  if (auto_new.auto_ops) db_.UpdateDBOptionStr(12, auto_new.op_revision);
}

void CAdminWizardRules::SaveHeartbeats() {
  db_.UpdateDBOptionNum(kOptionHeartbeatDowntime, heartbeats.machine_downtime_id);
  db_.UpdateDBOptionNum(kOptionReturnTimeout, heartbeats.return_timeout);
  dbaccess::RecordsetPtr rs = db_.GetRecordset("select * from T_SFC_MACHINE_HEARTBEAT");
  try {
    for (const HeartbeatRow& row : heartbeats.rows) {
      if (UpdateHBRecord(*rs, row.machine_id, row.enabled ? 1 : 0, row.timeout_seconds))
        rs->Update();
    }
  } catch (const dbaccess::DbError&) {
    db_.RsClose(rs);
    throw;
  }
  db_.RsClose(rs);
}

bool CAdminWizardRules::UpdateHBRecord(dbaccess::Recordset& rs, int32_t machine_id, int32_t enabled,
                                       int32_t seconds) {
  if (rs.RecordCount() > 0) {
    rs.MoveFirst();
    if (rs.Find("MACHINE_ID = " + std::to_string(machine_id))) {
      rs.Fields("MACHINE_ID") = machine_id;
      rs.Fields("ENABLED") = enabled;
      rs.Fields("TIMEOUT") = seconds;
      return true;
    }
  }
  if (enabled < 1) return false;
  rs.AddNew();
  rs.Fields("MACHINE_ID") = machine_id;
  rs.Fields("ENABLED") = enabled;
  rs.Fields("TIMEOUT") = seconds;
  return true;
}

void CAdminWizardRules::WriteOptionRows() {
  db_.UpdateDBOptionNum(kOptionLogDays, options.log_days);
  db_.UpdateDBOptionStr(kOptionDesignatedPC, designation.use_group
                                                 ? kGroupDesignationPrefix + designation.group_name
                                                 : computer_name_);
  const bool flags[] = {options.require_password, options.auto_cycle,   options.auto_finish_job,
                        options.require_released, options.auto_release, options.force_idle};
  for (int i = 0; i < 6; ++i)
    db_.UpdateDBOptionBool(kOptionRequirePassword + i, PageFourBool(flags[i]));
  db_.UpdateDBOptionNum(kOptionIdleTimeout, options.idle_timeout);
  db_.UpdateDBOptionBool(kOptionAutoIdle, PageFourBool(options.auto_idle));
  db_.UpdateDBOptionNum(kOptionResponseTimeout, options.response_timeout);
  db_.UpdateDBOptionNum(kOptionIdleDowntime, options.idle_downtime_id);
}

}  // namespace voltrane::manager
