// The wizard's page flow: titles, button enabling, Next, Back, Finish, Cancel
// and the field checks of the options pages.
#include "manager/admin_wizard_rules.h"

#include <cmath>
#include <cstdlib>

#include "dbaccess/db_error.h"
#include "dbaccess/sql_dialect.h"
#include "manager/kind_pages.h"
#include "manager/string_resources.h"

namespace voltrane::manager {
namespace {

constexpr int kTimeoutLow = 1, kTimeoutHigh = 600;
constexpr int kLogDaysLow = 0, kLogDaysHigh = 365;
constexpr int kReturnTimeoutLow = 0, kReturnTimeoutHigh = 32767;

// A number text, whole or decimal, rounded half away from zero; nothing for other text.
std::optional<int64_t> NumberOf(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  while (end && *end == ' ') ++end;
  if (!end || *end != '\0' || !std::isfinite(value) || std::fabs(value) > 2e9) return std::nullopt;
  return static_cast<int64_t>(std::llround(value));
}

}  // namespace

bool ParseWholeNumberInRange(const std::string& text, int32_t low, int32_t high, int32_t& value) {
  const std::optional<int64_t> number = NumberOf(text);
  if (!number || *number < low || *number > high) return false;
  value = static_cast<int32_t>(*number);
  return true;
}

CAdminWizardRules::CAdminWizardRules(CDatabaseConnectionObj& database, WizardPrompts& prompts,
                                     ServiceControl& service, HostChecks host, TraceSink trace)
    : connection_(database),
      prompts_(prompts),
      service_(service),
      host_(std::move(host)),
      trace_(trace),
      db_(database, prompts, trace) {}

CAdminWizardRules::~CAdminWizardRules() = default;

void CAdminWizardRules::Load(const CommandLineValues& values) {
  page_loaded_.fill(false);
  was_running_ = service_.StopIfRunning();
  LoadSettings(values);
  ShowPage(0);
}

int CAdminWizardRules::ConnectionPage(int32_t database_kind) {
  switch (DialectOf(database_kind).connection_form) {
    case ConnectionForm::kOracleHost:
      return 1;
    case ConnectionForm::kFilePath:
      return 2;
    case ConnectionForm::kServer:
    case ConnectionForm::kNone:
      break;
  }
  return 3;
}

void CAdminWizardRules::ShowPage(int page) {
  if (page == 3 && page_loaded_[3]) connection.database_list_loaded = false;
  if (!page_loaded_[page]) FillPage(page);
  current_page_ = page;
  UpdateButtons();
}

std::string CAdminWizardRules::WindowTitle() const {
  switch (current_page_) {
    case 0:
      return LoadResText(res::kTitleKind);
    case 1:
      return LoadResText(res::kTitleOracle);
    case 2:
      return LoadResText(KindPageOf(connection.database_kind).file_title);
    case 3:
      return LoadResText(KindPageOf(connection.database_kind).server_title);
    case 4:
      return LoadResText(res::kTitleOptions);
    case 5:
      return "Choose Ignore Options";
    case 6:
      return "Choose Auto New Setup";
    default:
      return "Configure Advanced Machine Connection";
  }
}

ButtonStates CAdminWizardRules::UpdateButtons() {
  buttons_.back = current_page_ != 0;
  buttons_.next = current_page_ != 7 && NextRule(current_page_);
  buttons_.finish = current_page_ == 7 && HeartbeatRule() && DesignationRule();
  return buttons_;
}

bool CAdminWizardRules::NextRule(int page) const {
  switch (page) {
    case 0:
      return DialectOf(connection.selected_kind).connection_form != ConnectionForm::kNone;
    case 1:
      return !connection.oracle_user.empty() && !connection.oracle_password.empty() &&
             !connection.oracle_host.empty();
    case 2:
      return !FilePath().empty();
    case 3: {
      const ServerFields& fields = Server();
      return !fields.server.empty() && !fields.database.empty();
    }
    case 4:
      return ProcessingOptionsRule();
    case 5:
      return page_loaded_[5];
    case 6:
      return AutoNewRule();
    default:
      return false;
  }
}

bool CAdminWizardRules::ProcessingOptionsRule() const {
  if (options.timeout_text.empty()) return false;
  if (options.force_idle && options.idle_timeout < 1) return false;
  if (options.response_timeout <= 0) return false;
  if (options.force_idle && options.auto_idle && options.idle_downtime_id == -1) return false;
  return true;
}

bool CAdminWizardRules::AutoNewRule() const {
  if (!page_loaded_[6]) return false;
  if (auto_new.auto_parts && (auto_new.part_type_id <= 0 || auto_new.part_revision.empty()))
    return false;
  if (auto_new.auto_jobs && auto_new.job_status < 0) return false;
  if (auto_new.auto_ops && auto_new.op_revision.empty()) return false;
  return true;
}

bool CAdminWizardRules::HeartbeatControlsEnabled() const {
  for (const HeartbeatRow& row : heartbeats.rows) {
    if (row.enabled) return true;
  }
  return false;
}

bool CAdminWizardRules::HeartbeatRule() const {
  if (!page_loaded_[7]) return false;
  if (!HeartbeatControlsEnabled()) return true;
  int32_t seconds = 0;
  return heartbeats.machine_downtime_id != -1 &&
         ParseWholeNumberInRange(heartbeats.return_timeout_text, kReturnTimeoutLow,
                                 kReturnTimeoutHigh, seconds);
}

const char* const CAdminWizardRules::kNoGroupHint =
    "This database has no collector group; \"korvex7 group create NAME\" creates one.";

bool CAdminWizardRules::DesignationRule() const {
  return !designation.use_group ||
         (designation.group_available() && !designation.member_name.empty());
}

bool CAdminWizardRules::Next() {
  if (!UpdateButtons().next) return false;
  int target = -1;
  switch (current_page_) {
    case 0:
      ApplyDatabaseKind();
      target = ConnectionPage(connection.database_kind);
      break;
    case 1:
      if (TestOracleConnection()) target = 4;
      break;
    case 2:
      if (TestFileConnection()) target = 4;
      break;
    case 3:
      if (TestServerConnection()) target = 4;
      break;
    default:
      target = current_page_ + 1;
      break;
  }
  if (target < 0) {
    UpdateButtons();
    return false;
  }
  ShowPage(target);
  return true;
}

bool CAdminWizardRules::Back() {
  if (current_page_ == 0) return false;
  if (current_page_ <= 3) {
    ShowPage(0);
  } else if (current_page_ == 4) {
    ShowPage(ConnectionPage(connection.database_kind));
  } else {
    ShowPage(current_page_ - 1);
  }
  return true;
}

void CAdminWizardRules::ApplyDatabaseKind() {
  if (connection.selected_kind == connection.database_kind) return;
  connection.database_kind = connection.selected_kind;
  db_.builder_state()->database_kind = connection.database_kind;
  page_loaded_[1] = page_loaded_[2] = page_loaded_[3] = false;
}

FinishResult CAdminWizardRules::Finish() {
  if (!UpdateButtons().finish) return FinishResult::kDisabled;
  if (!CollectOptions()) return FinishResult::kStayed;
  if (!ConfirmEndOfGroupMode()) return FinishResult::kStayed;
  std::string step = "Updating Cycle Locks";
  try {
    SaveCycleLocks();
    step = "Updating Auto New";
    SaveAutoNew();
    step = "Updating Heartbeat";
    SaveHeartbeats();
  } catch (const dbaccess::DbError& error) {
    prompts_.ShowMessage(step + " - " + error.description());
    return FinishResult::kStayed;
  }
  if (!SaveSettings()) {
    prompts_.ShowMessage(LoadResText(res::kRegistryWriteFailed, {kAppTitle}));
    return FinishResult::kStayed;
  }
  WriteOptionRows();
  if (heartbeats.start_service && !service_.Start()) {
    prompts_.ShowMessage("Error, the MDC Service Failed to start");
    return FinishResult::kStayed;
  }
  Close();
  return FinishResult::kDone;
}

void CAdminWizardRules::Cancel() {
  if (was_running_) service_.Start();
  Close();
}

void CAdminWizardRules::Close() {
  dbaccess::ConnectionPtr open = connection_.GetADOConnection();
  if (open && open->IsOpen()) connection_.Disconnect();
}

bool CAdminWizardRules::AcceptTimeoutText() {
  if (options.timeout_text.empty()) return true;
  if (ParseWholeNumberInRange(options.timeout_text, kTimeoutLow, kTimeoutHigh,
                              connection.timeout_seconds))
    return true;
  prompts_.ShowMessage(LoadResText(res::kIntegerRange, {"1", "600"}));
  options.timeout_text = std::to_string(connection.timeout_seconds);
  return false;
}

bool CAdminWizardRules::AcceptLogDaysText() {
  if (options.log_days_text.empty()) return true;
  if (ParseWholeNumberInRange(options.log_days_text, kLogDaysLow, kLogDaysHigh, options.log_days))
    return true;
  // The message's %1 is replaced only by a non-empty argument; "0" is one.
  prompts_.ShowMessage(LoadResText(res::kIntegerRange, {"0", "365"}));
  options.log_days_text = std::to_string(options.log_days);
  return false;
}

bool CAdminWizardRules::AcceptReturnTimeoutText() {
  if (ParseWholeNumberInRange(heartbeats.return_timeout_text, kReturnTimeoutLow, kReturnTimeoutHigh,
                              heartbeats.return_timeout))
    return true;
  prompts_.ShowMessage(LoadResText(res::kIntegerRange, {"0", "32767"}));
  heartbeats.return_timeout_text = std::to_string(heartbeats.return_timeout);
  return false;
}

void CAdminWizardRules::SetIdleTimeoutText(const std::string& text) {
  options.idle_timeout_text = text;
  options.idle_timeout = static_cast<int32_t>(NumberOf(text).value_or(0));
}

void CAdminWizardRules::SetResponseTimeoutText(const std::string& text) {
  options.response_timeout_text = text;
  options.response_timeout = static_cast<int32_t>(NumberOf(text).value_or(0));
}

int32_t CAdminWizardRules::IdOfText(const std::vector<ListItem>& items, const std::string& text) {
  for (const ListItem& item : items) {
    if (item.text == text) return item.id;
  }
  return -1;
}

std::string CAdminWizardRules::TextOfId(const std::vector<ListItem>& items, int32_t id) {
  for (const ListItem& item : items) {
    if (item.id == id) return item.text;
  }
  return "";
}

std::string CAdminWizardRules::LockItemText(int32_t lock) const {
  static const char* kNames[] = {"None", "Cycle", "Setup", "All"};
  if (lock < 0 || lock > 3) return "";
  if (lock == kLockSetup && locks.setup_lock == 2) return "*Setup";
  return kNames[lock];
}

std::string CAdminWizardRules::LockItemTip(int32_t lock) const {
  if (lock == kLockSetup && locks.setup_lock == 2)
    return "*Setup - Setup has no effect on downtime locks for Setup Lock: 'ALL'";
  return "";
}

std::string& CAdminWizardRules::FilePath() {
  return connection.*KindPageOf(connection.database_kind).file_path;
}

const std::string& CAdminWizardRules::FilePath() const {
  return const_cast<CAdminWizardRules*>(this)->FilePath();
}

ServerFields& CAdminWizardRules::Server() {
  return connection.*KindPageOf(connection.database_kind).server;
}

const ServerFields& CAdminWizardRules::Server() const {
  return const_cast<CAdminWizardRules*>(this)->Server();
}

}  // namespace voltrane::manager
