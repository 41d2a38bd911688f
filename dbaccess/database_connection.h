// CDatabaseConnectionObj: one connection to the shop-floor database with the
// per-kind connection strings and the SQL Server fallback sequence (provider
// swap between "MSOLEDBSQL;DataTypeCompatibility=80" and "SQLOLEDB", then
// integrated security, optionally under another account through AliasAccount).
//
// The library uses it only as the SQL Server fallback of its own connect; the
// manager holds one for all its database work. Trace lines go to the host's
// trace sink; waits go through the injected Clock. Failures are values
// (errNumber / ErrDescription); nothing here throws. One thread at a time.
#ifndef VOLTRANE_DBACCESS_DATABASE_CONNECTION_H_
#define VOLTRANE_DBACCESS_DATABASE_CONNECTION_H_

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dbaccess/clock.h"
#include "dbaccess/connection.h"

namespace voltrane {

class AliasAccount;

using TraceSink = std::function<void(const std::string&)>;
using MessageTextLookup = std::function<std::string(int id)>;

inline constexpr const char* kDefaultSqlProvider = "MSOLEDBSQL;DataTypeCompatibility=80";

// Message ids of the texts this class looks up: the label of each database
// kind in GetDatabaseDisplayName, and the failed-logon text.
inline constexpr int kLabelOracle = 830;
inline constexpr int kLabelAccess = 831;
inline constexpr int kLabelSqlServer = 832;
inline constexpr int kLabelSqlite = 833;
inline constexpr int kLabelPostgreSql = 834;
inline constexpr int kMessageFailedLogon = 6808;

class CDatabaseConnectionObj {
 public:
  // `trace` receives every trace line (may be empty: no trace); `message_text`
  // gives the label texts 830-834 and the text 6808 (MessageTextForId in the
  // library); when empty, DatabaseLabelText and "Failed Logon" are used.
  CDatabaseConnectionObj(TraceSink trace = {}, MessageTextLookup message_text = {},
                         std::shared_ptr<dbaccess::Clock> clock = dbaccess::DefaultClock());
  ~CDatabaseConnectionObj();

  const std::string& ErrDescription() const { return err_description_; }
  std::string errNumber() const;  // decimal text
  bool IsConnected();
  const std::string& ConnectionString() const { return connection_string_; }

  std::string OracleUserName, OraclePassword, OracleHostString;
  std::string AccessDatabaseName;
  std::string SQLServerUserName, SQLServerPassword, SQLServerServer, SQLServerDatabaseName;
  std::string SQLProvider = kDefaultSqlProvider;

  bool Connect(int32_t& database_type);
  bool Connect4(int32_t& database_type);
  void Disconnect();
  dbaccess::ConnectionPtr GetADOConnection() const { return connection_; }
  bool DoSQL(const std::string& sql, std::string& error_text, int32_t& records_affected);
  bool OpenTransaction(int16_t current_attempt);
  bool CommitTransaction(int16_t current_attempt);
  bool RollbackTransaction(int16_t current_attempt);
  int32_t GetDatabaseType() const { return database_type_; }
  std::string GetDbTypeString() const;
  std::string GetDatabaseDisplayName() const;

  // Test seams: the state of the sequence.
  bool provider_switched() const { return m_bProviderSwitched; }
  int32_t error_number_value() const { return err_number_; }

 private:
  bool Connect3();
  bool Connect2(int32_t& database_type);
  void BuildConnectionString(std::string& provider);
  void OpenNewConnection();
  void RunSessionSetup();
  bool ImpersonateConfiguredUser(AliasAccount& alias);
  std::optional<bool> TryOldProvider(int32_t& database_type);
  bool TryNewProvider(int32_t& database_type);
  bool TryIntegratedSecurity();
  void StoreFailure(const std::exception* raised);
  template <typename Fn>
  bool Guarded(Fn&& fn);
  void AppendToError(const std::string& text);
  std::string MessageText(int id) const;
  void Trace(const std::string& line) const;
  void WaitSeconds(int seconds);

  TraceSink trace_;
  MessageTextLookup message_text_;
  std::shared_ptr<dbaccess::Clock> clock_;
  dbaccess::ConnectionPtr connection_;
  int32_t database_type_ = 0;
  std::string connection_string_;
  bool m_bProviderSwitched = false;
  std::string err_description_;
  int32_t err_number_ = 0;
  bool m_bFirstTry = false;
};

// GetDbTypeString for any kind: "ORACLE", "ACCESS", "SQLSERVER", "SQLITE",
// "POSTGRESQL"; "" otherwise.
std::string DbTypeString(int32_t database_type);

// The default label texts of GetDatabaseDisplayName for the ids 830-834 (one
// per database kind); "" for any other id, so that a host's message table can
// fall through to its own texts.
std::string DatabaseLabelText(int id);

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_DATABASE_CONNECTION_H_
