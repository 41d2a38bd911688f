// A board server on a fresh shop-floor database with the demo plant, on any
// free loopback port, with a token "terminal" in a sandboxed settings store;
// HTTP clients and a library object to process what was appended. The
// server's log lines are collected for the tests to read.
#ifndef VOLTRANE_TESTS_SUPPORT_BOARD_SERVER_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_BOARD_SERVER_FIXTURE_H_

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "cipher/mod_crypto.h"
#include "dbaccess/recordset.h"
#include "library/korvex7.h"
#include "tests/support/settings_sandbox.h"
#include "tests/support/shop_floor_db.h"
#include "web/board_server.h"
#include "web/token_store.h"

namespace testsupport {

class BoardServerTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = CreateShopFloorDatabase(GetParam(), true);
    const web::TokenResult token = web::AddToken("terminal");
    ASSERT_TRUE(token.ok) << token.text;
    token_ = token.text;
    reads_ = std::make_shared<dbaccess::Connection>();
    reads_->Open(voltrane::DecipherConnectionString(database_.connection_string));
  }

  void TearDown() override {
    server_.reset();
    reads_.reset();
    DropTestDatabase(database_);
  }

  // Starts the server with `options` (port forced to 0: any free port).
  void StartServer(web::BoardOptions options = {}) {
    options.port = 0;
    server_ = std::make_unique<web::BoardServer>(
        web::DatabaseTarget{database_.connection_string, database_.kind}, options,
        [this](const std::string& line) {
          std::lock_guard<std::mutex> lock(log_mutex_);
          log_.push_back(line);
        });
    std::string error;
    ASSERT_TRUE(server_->Start(error)) << error;
  }

  std::unique_ptr<httplib::Client> Client(const std::string& token) {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
    client->set_read_timeout(120, 0);
    if (!token.empty()) client->set_bearer_token_auth(token.c_str());
    return client;
  }

  httplib::Result Post(const std::string& body, const std::string& token) {
    return Client(token)->Post("/api/v1/commands", body, "application/json");
  }

  // The PARAM1 texts of the log rows in key order.
  std::vector<std::string> LoggedParams() {
    dbaccess::Recordset rows;
    rows.Open("select PARAM1 from T_SFC_MDC_LOG order by MDC_LOG_ID", reads_);
    std::vector<std::string> params;
    for (; !rows.Eof(); rows.MoveNext()) {
      const dbaccess::Variant& value = rows.Fields(size_t{0}).Value();
      params.push_back(value.IsNull() ? "<null>" : value.ToText());
    }
    return params;
  }

  // Processes the whole log as the collector does, through the library's factory.
  void ProcessLog() { ProcessLogOf(database_); }
  static void ProcessLogOf(const TestDatabase& database) {
    _CKorvex7Obj* raw = nullptr;
    ASSERT_EQ(Korvex7CreateObject(kKorvex7ProgId, kKorvex7InterfaceId, &raw), 0);
    std::unique_ptr<_CKorvex7Obj, void (*)(_CKorvex7Obj*)> object(raw, Korvex7ReleaseObject);
    std::string error;
    ASSERT_TRUE(object->ConnectToDatabase(database.connection_string, database.kind, error))
        << error;
    for (int calls = 0; calls < 100000 && object->GetMDCLogCount() > 0; ++calls) {
      object->DoNextItemFromMDCLog(error);
    }
    ASSERT_EQ(object->GetMDCLogCount(), 0) << error;
  }

  std::vector<std::string> LogLines() {
    std::lock_guard<std::mutex> lock(log_mutex_);
    return log_;
  }

  SettingsSandbox sandbox_;
  TestDatabase database_;
  std::string token_;
  dbaccess::ConnectionPtr reads_;
  std::unique_ptr<web::BoardServer> server_;
  std::mutex log_mutex_;
  std::vector<std::string> log_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_BOARD_SERVER_FIXTURE_H_
