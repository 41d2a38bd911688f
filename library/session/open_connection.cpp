// Opening the library's connection: the configured string first, then, for
// SQL Server only, the connection class with its provider and integrated
// security fallbacks, filled from the same string.
//
// Failures are returned as error number and text, never thrown. The traced
// connection string has its password values masked, so that switching the
// diagnostic log on does not write credentials to disk.
#include <string>

#include "dbaccess/sql_dialect.h"
#include "dbaccess/db_error.h"
#include "cipher/mod_crypto.h"
#include "dbaccess/provider_table.h"
#include "library/session/error_text.h"
#include "library/session/extended_error_log.h"
#include "library/session/message_text.h"
#include "library/session/session.h"

namespace korvex7::internal {

namespace {

// The connection string with the values of its password items replaced.
std::string MaskPasswords(const std::string& connection_string) {
  std::string masked;
  for (const dbaccess::ConnectionItem& item : dbaccess::ParseConnectionString(connection_string)) {
    masked += item.key;
    if (item.has_equals) {
      const bool secret = item.key == "Password" || item.key == "PWD" || item.key == "Pwd";
      masked += "=" + (secret && !item.value.empty() ? std::string("****") : item.value);
    }
    masked += ";";
  }
  return masked;
}

// Fills the SQL Server properties of the fallback object from the stored
// connection string (credentials still enciphered there).
void FillFallbackProperties(const std::string& stored, voltrane::CDatabaseConnectionObj& target) {
  target.SQLServerUserName = "";
  target.SQLServerPassword = "";
  target.SQLServerServer = "";
  target.SQLServerDatabaseName = "";
  target.SQLProvider = "";
  std::string data_type_compatibility;
  int start = 1;
  while (start > 0) {
    std::string key;
    std::string value;
    start = voltrane::NextConnectionStringPair(start, stored, key, value);
    if (start == 0) break;
    if (key == "Provider") {
      target.SQLProvider = value;
    } else if (key == "Data Source") {
      target.SQLServerServer = value;
    } else if (key == "Initial Catalog") {
      target.SQLServerDatabaseName = value;
    } else if (key == "User ID") {
      target.SQLServerUserName = value;
    } else if (key == "Password") {
      target.SQLServerPassword = value;
    } else if (key == "eUser ID") {
      target.SQLServerUserName =
          voltrane::CryptCredential(voltrane::kDecipher, voltrane::kUserNameKeyRole, value);
    } else if (key == "ePassword") {
      target.SQLServerPassword =
          voltrane::CryptCredential(voltrane::kDecipher, voltrane::kPasswordKeyRole, value);
    } else if (key == "DataTypeCompatibility") {
      data_type_compatibility = value;
    }
  }
  if (!data_type_compatibility.empty() && !target.SQLProvider.empty()) {
    target.SQLProvider += ";DataTypeCompatibility=" + data_type_compatibility;
  }
}

}  // namespace

dbaccess::ConnectionPtr Session::OpenConnection(const std::string& strConnectionString,
                                                int32_t lDatabaseType, int32_t& lErrNumber,
                                                std::string& strErrDescription) {
  lErrNumber = 0;
  strErrDescription.clear();
  auto connection = std::make_shared<dbaccess::Connection>();
  std::string plain;
  try {
    plain = voltrane::DecipherConnectionString(strConnectionString);
    connection->SetConnectionString(plain);
    connection->Open();
    // A fallback object of an earlier connect no longer describes this connection.
    m_oDBConnection.reset();
    return connection;
  } catch (...) {
    ErrorInfo error = CurrentError();
    if (!connection->Errors().empty()) {
      error = {connection->Errors().front().number(), connection->Errors().front().description()};
    }
    lErrNumber = error.number;
    strErrDescription = error.description;
    WriteExtendedErrorLog("Connection Error # " + std::to_string(lErrNumber) + " - " +
                          strErrDescription);
    WriteExtendedErrorLog("tried connection string :" + MaskPasswords(plain));
  }
  if (!voltrane::DialectOf(lDatabaseType).connection_fallbacks) return connection;

  try {
    m_oDBConnection = std::make_unique<voltrane::CDatabaseConnectionObj>(
        [](const std::string& line) { WriteExtendedErrorLog(line); }, MessageTextForId, m_clock);
    FillFallbackProperties(strConnectionString, *m_oDBConnection);
    lErrNumber = 0;
    strErrDescription.clear();
    if (m_oDBConnection->IsConnected()) m_oDBConnection->Disconnect();
    int32_t lKind = lDatabaseType;  // the kind whose fallbacks these are
    if (m_oDBConnection->Connect(lKind)) return m_oDBConnection->GetADOConnection();
    // The connection class reports its number as decimal text.
    lErrNumber = static_cast<int32_t>(std::stoll(m_oDBConnection->errNumber()));
    strErrDescription = m_oDBConnection->ErrDescription();
  } catch (...) {
    const ErrorInfo error = CurrentError();
    lErrNumber = error.number;
    strErrDescription = error.description;
  }
  return connection;
}

std::string Session::BuildAlteredConnectionString(
    const voltrane::CDatabaseConnectionObj& oDBConnection) {
  std::string result;
  if (!oDBConnection.SQLProvider.empty()) result += "Provider=" + oDBConnection.SQLProvider;
  if (!oDBConnection.SQLServerServer.empty()) {
    result += ";Data Source=" + oDBConnection.SQLServerServer;
  }
  if (!oDBConnection.SQLServerDatabaseName.empty()) {
    result += ";Initial Catalog=" + oDBConnection.SQLServerDatabaseName;
  }
  if (!oDBConnection.SQLServerUserName.empty()) {
    result +=
        ";eUser ID=" + voltrane::CryptCredential(voltrane::kEncipher, voltrane::kUserNameKeyRole,
                                                 oDBConnection.SQLServerUserName);
  }
  if (!oDBConnection.SQLServerPassword.empty()) {
    result +=
        ";ePassword=" + voltrane::CryptCredential(voltrane::kEncipher, voltrane::kPasswordKeyRole,
                                                  oDBConnection.SQLServerPassword);
  }
  return result + ";";
}

}  // namespace korvex7::internal
