// CAdminWizardRules: everything the configuration wizard decides, without a
// widget: the page sequence and titles, the Back / Next / Finish enabling, the
// field checks, the connection tests with the version and designation checks,
// the page fills from the database, the designation (this computer, or the
// collector group the database has, with this computer's member name), and
// the Finish order (locks, automatic creation, heartbeats, settings store,
// option rows, service start).
//
// The view (Qt, or the terminal of the no-GUI mode) shows the state of
// wizard_state.h, writes edits into it, calls UpdateButtons after each edit
// and forwards the buttons. Message boxes go through WizardPrompts, the
// service through ServiceControl, this computer through HostChecks. Database
// errors of the save steps stop Finish with a message; nothing here throws to
// the view. One thread.
#ifndef VOLTRANE_MANAGER_ADMIN_WIZARD_RULES_H_
#define VOLTRANE_MANAGER_ADMIN_WIZARD_RULES_H_

#include <array>
#include <cstdint>
#include <string>

#include "dbaccess/database_connection.h"
#include "manager/command_line_values.h"
#include "manager/host_checks.h"
#include "manager/manager_database.h"
#include "manager/service_control.h"
#include "manager/wizard_prompts.h"
#include "manager/wizard_state.h"

namespace voltrane::manager {

inline constexpr int kPageCount = 8;
// Option 14 of a database in group mode: this prefix and the collector group's name.
inline constexpr const char* kGroupDesignationPrefix = "group:";
inline constexpr int kHelpContext = 51000;

struct ButtonStates {
  bool back = false;
  bool next = false;
  bool finish = false;
};

enum class FinishResult { kDisabled, kStayed, kDone };

class CAdminWizardRules {
 public:
  CAdminWizardRules(CDatabaseConnectionObj& database, WizardPrompts& prompts,
                    ServiceControl& service, HostChecks host = {}, TraceSink trace = {});
  ~CAdminWizardRules();

  // Form load: stop the service, read the settings (and the command line), page 0.
  void Load(const CommandLineValues& values);
  void LoadSettings(const CommandLineValues& values);
  bool SaveSettings();

  int CurrentPage() const { return current_page_; }
  bool PageLoaded(int page) const { return page_loaded_[page]; }
  void ShowPage(int page);
  std::string WindowTitle() const;
  // The connection page of a kind: 1 Oracle, 2 file kinds, 3 server kinds.
  static int ConnectionPage(int32_t database_kind);

  ButtonStates UpdateButtons();
  const ButtonStates& Buttons() const { return buttons_; }
  // Each returns whether the page changed.
  bool Next();
  bool Back();
  FinishResult Finish();
  void Cancel();
  // Releases the connection; the wizard is closing.
  void Close();
  bool service_was_running() const { return was_running_; }
  // This computer's name, as the last designation check read it.
  const std::string& computer_name() const { return computer_name_; }

  // Field checks run when a field is left; on a refused text the message is
  // shown, the text returns to the last accepted value and false is returned.
  bool AcceptTimeoutText();
  bool AcceptLogDaysText();
  bool AcceptReturnTimeoutText();
  // Idle and Response Timeout take any text: a number becomes the value, anything else 0.
  void SetIdleTimeoutText(const std::string& text);
  void SetResponseTimeoutText(const std::string& text);
  // A list's text: the matching item's id, -1 for none.
  static int32_t IdOfText(const std::vector<ListItem>& items, const std::string& text);
  static std::string TextOfId(const std::vector<ListItem>& items, int32_t id);

  // Page 4's enabling: Force on enables Idle Timeout and Automatic Idle; Automatic
  // Idle counts only while Force is on and enables Response Timeout and the list.
  bool IdleFieldsEnabled() const { return options.force_idle; }
  bool AutoIdleFieldsEnabled() const { return options.force_idle && options.auto_idle; }
  // Page 7: the downtime and time-out controls are enabled while a machine is enabled.
  bool HeartbeatControlsEnabled() const;
  // The Lock column's text of a lock kind ("*Setup" while Setup Lock is All).
  std::string LockItemText(int32_t lock) const;
  std::string LockItemTip(int32_t lock) const;

  // The SQL Server / PostgreSQL database list.
  void TryLoadSQLDatabases();
  void DatabaseListFocused();
  void ServerFieldsChanged();

  // The connection page fields of the current kind.
  std::string& FilePath();
  const std::string& FilePath() const;
  ServerFields& Server();
  const ServerFields& Server() const;
  // Page 0's version lines.
  static std::string ManagerVersionLine();
  static std::string LibraryVersionLine();

  ConnectionState connection;
  ProcessingOptions options;
  LockPage locks;
  AutoNewPage auto_new;
  HeartbeatPage heartbeats;
  DesignationPage designation;
  // The hint beside the disabled group choice of a database without a collector group.
  static const char* const kNoGroupHint;

 private:
  void ApplyDatabaseKind();
  bool NextRule(int page) const;
  bool ProcessingOptionsRule() const;
  bool AutoNewRule() const;
  bool HeartbeatRule() const;

  bool TestOracleConnection();
  bool TestFileConnection();
  bool TestServerConnection();
  bool ConnectionChecksPass();
  bool CheckDatabaseVersion();
  bool CheckDesignatedPC();
  // The collector group of the connected database, from option 14 or T_SFC_MDC_GROUP.
  void ReadDesignation(const std::string& option14);
  // Finish on a group database with this computer chosen: asks whether to
  // end group mode (and to affirm the members are stopped); true to go on.
  bool ConfirmEndOfGroupMode();
  bool DesignationRule() const;

  void FillPage(int page);
  void FillProcessingOptions();
  void FillLocks();
  void FillAutoNew();
  void FillHeartbeats();
  std::vector<ListItem> ReadList(const std::string& sql);
  std::vector<ListItem> DowntimeList(const std::string& where);

  bool CollectOptions();
  void SaveCycleLocks();
  void SaveAutoNew();
  void SaveHeartbeats();
  bool UpdateHBRecord(dbaccess::Recordset& rs, int32_t machine_id, int32_t enabled,
                      int32_t seconds);
  void WriteOptionRows();
  void LoadSQLDatabases();
  bool ConnectServer(bool with_database);

  CDatabaseConnectionObj& connection_;
  WizardPrompts& prompts_;
  ServiceControl& service_;
  HostChecks host_;
  TraceSink trace_;
  ManagerDatabase db_;
  int current_page_ = 0;
  std::array<bool, kPageCount> page_loaded_{};
  ButtonStates buttons_;
  bool was_running_ = false;
  std::string computer_name_;
};

// "Please enter a positive integer between ..." check: a number (decimals
// allowed, rounded) from `low` to `high`.
bool ParseWholeNumberInRange(const std::string& text, int32_t low, int32_t high, int32_t& value);

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_ADMIN_WIZARD_RULES_H_
