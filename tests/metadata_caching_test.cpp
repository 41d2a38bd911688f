// The connections' caches (primary keys per table, prepared SQLite statements
// with their column descriptions) change nothing but speed: the same log rows
// drained with and without them leave the same rows in every table, and what
// a cache holds does not outlive a schema change or the connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "dbaccess/connection.h"
#include "dbaccess/metadata_caching.h"
#include "dbaccess/recordset.h"
#include "library/korvex7_obj.h"
#include "library/records/machine_state_cache.h"
#include "tests/support/machine_mix.h"
#include "tests/support/shop_floor_db.h"

namespace {

using testsupport::TestDatabase;

constexpr int kRows = 400;

// Every row of every table as text, one line per row, in key order.
using Dump = std::map<std::string, std::vector<std::string>>;

Dump DumpTables(const std::string& connection_string) {
  auto connection = std::make_shared<dbaccess::Connection>();
  connection->Open(connection_string);
  Dump dump;
  for (const std::string& table : connection->backend().TableNames()) {
    // Holds the database time at which the drain found the log empty.
    if (base::Upper(table) == "T_SFC_MDC_CHECK_TIME") continue;
    dbaccess::Recordset rs;
    rs.Open("select * from " + table + " order by 1", connection);
    std::string name = table;  // PostgreSQL reports names in lower case
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::vector<std::string>& lines = dump[name];
    for (; !rs.Eof(); rs.MoveNext()) {
      std::string line;
      for (size_t i = 0; i < rs.FieldCount(); ++i) {
        const dbaccess::Variant& value = rs.Fields(i).Value();
        line += rs.Fields(i).Name() + "=" + (value.IsNull() ? "null" : value.ToText()) + " ";
      }
      lines.push_back(line);
    }
  }
  return dump;
}

// The key columns in upper case (PostgreSQL reports them folded to lower case).
std::vector<std::string> UpperKeys(dbaccess::Connection& connection, const std::string& table) {
  std::vector<std::string> keys = connection.PrimaryKeyColumns(table);
  for (std::string& key : keys) {
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  }
  return keys;
}

class MetadataCachingTest : public testing::TestWithParam<std::string> {
 protected:
  void TearDown() override {
    dbaccess::SetMetadataCaching(true);
    korvex7::internal::SetMachineStateCaching(true);
    for (const TestDatabase& database : databases_) testsupport::DropTestDatabase(database);
  }

  // A demo plant of 20 machines whose log holds the same rows each time:
  // every command of the mix, across the 14:00 shift end.
  TestDatabase MixDatabase() {
    TestDatabase database = testsupport::CreateShopFloorDatabase(GetParam(), true);
    databases_.push_back(database);
    dbaccess::Connection connection;
    connection.Open(database.connection_string);
    testsupport::AddMixMachines(connection);
    testsupport::MixWriter writer(database.kind, {3, 3, 2, 2, 3, 2},
                                  dbaccess::DateTime::FromParts(2026, 1, 5, 13, 56, 0));
    writer.Append(connection, kRows);
    return database;
  }

  // Drains the log with the caches on or off; returns the rows processed.
  int Drain(const TestDatabase& database, bool caching, bool machine_state = true) {
    dbaccess::SetMetadataCaching(caching);
    korvex7::internal::SetMachineStateCaching(machine_state);
    CKorvex7Obj object;
    std::string error;
    EXPECT_TRUE(object.ConnectToDatabase(database.connection_string, database.kind, error))
        << error;
    int processed = 0;
    for (int call = 0; call < 5000; ++call) {
      if (object.DoNextItemFromMDCLog(error)) {
        ++processed;
      } else if (call > 5 || (call > 0 && !error.empty())) {
        break;  // a failure after the announcement, or the log is empty
      }
    }
    EXPECT_EQ(error, "");
    return processed;
  }

  std::vector<TestDatabase> databases_;
};

void ExpectSameTables(const TestDatabase& reference, const TestDatabase& other) {
  const Dump expected = DumpTables(reference.connection_string);
  const Dump actual = DumpTables(other.connection_string);
  ASSERT_EQ(actual.size(), expected.size());
  for (const auto& [table, lines] : expected) {
    SCOPED_TRACE(table);
    ASSERT_TRUE(actual.count(table));
    const std::vector<std::string>& got = actual.at(table);
    EXPECT_EQ(got.size(), lines.size());
    // The first row that differs tells more than the whole table.
    const auto [mismatch, ignored] = std::mismatch(
        lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), got.size())),
        got.begin());
    if (mismatch != lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), got.size()))) {
      ADD_FAILURE() << "expected " << *mismatch << "\nactual   "
                    << got[static_cast<size_t>(mismatch - lines.begin())];
    }
  }
  // The drain did the work the comparison relies on.
  EXPECT_GT(expected.at("T_SFC_DT_PER_MACHINE_DATA").size(), 0u);
  EXPECT_GT(expected.at("T_SFC_SCRAP_PER_MACHINE_DATA").size(), 0u);
  EXPECT_GT(expected.at("T_SFC_MACHINE_DATA").size(), 40u);  // shift end and splits
}

TEST_P(MetadataCachingTest, DrainLeavesTheSameRowsWithAndWithoutCaches) {
  const TestDatabase uncached = MixDatabase();
  const TestDatabase cached = MixDatabase();
  const int rows = Drain(uncached, false, false);
  EXPECT_GE(rows, kRows);
  EXPECT_EQ(Drain(cached, true), rows);
  ExpectSameTables(uncached, cached);
}

// The machines' current records kept in memory by the collector: the same
// rows, generated keys included, and most rows served without a read.
TEST_P(MetadataCachingTest, DrainLeavesTheSameRowsWithAndWithoutMachineState) {
  const TestDatabase unkept = MixDatabase();
  const TestDatabase kept = MixDatabase();
  const int rows = Drain(unkept, true, false);
  const int64_t hits = korvex7::internal::MachineStateHits();
  EXPECT_EQ(Drain(kept, true, true), rows);
  EXPECT_GT(korvex7::internal::MachineStateHits() - hits, rows / 2);
  ExpectSameTables(unkept, kept);
}

TEST_P(MetadataCachingTest, SchemaChangeAndReopenAreSeen) {
  const TestDatabase database = testsupport::CreateTestDatabase(GetParam());
  databases_.push_back(database);
  auto connection = std::make_shared<dbaccess::Connection>();
  connection->Open(database.connection_string);
  connection->Execute("CREATE TABLE T_CACHED (A INTEGER PRIMARY KEY, B INTEGER)");
  connection->Execute("INSERT INTO T_CACHED (A, B) VALUES (1, 2)");
  const std::string select = "select * from T_CACHED where A = 1";
  {
    dbaccess::Recordset rs;
    rs.Open(select, connection);
    EXPECT_EQ(rs.FieldCount(), 2u);
  }
  EXPECT_EQ(UpperKeys(*connection, "T_CACHED"), std::vector<std::string>{"A"});

  // A column added by this connection shows in the same statement text.
  connection->Execute("ALTER TABLE T_CACHED ADD COLUMN C INTEGER");
  {
    dbaccess::Recordset rs;
    rs.Open(select, connection);
    EXPECT_EQ(rs.FieldCount(), 3u);
  }

  // The table built again with another key, by another connection: a
  // connection opened again asks the database afresh.
  {
    dbaccess::Connection other;
    other.Open(database.connection_string);
    other.Execute("DROP TABLE T_CACHED");
    other.Execute("CREATE TABLE T_CACHED (A INTEGER, B INTEGER PRIMARY KEY)");
  }
  connection->Close();
  connection->Open();
  EXPECT_EQ(UpperKeys(*connection, "T_CACHED"), std::vector<std::string>{"B"});
}

INSTANTIATE_TEST_SUITE_P(Kinds, MetadataCachingTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const testing::TestParamInfo<std::string>& param_info) { return param_info.param; });

}  // namespace
