// Statements deferred on a connection (the savepoints of the processing
// batch): they run in order before the connection's next statement, a
// commit runs them first, a cancelled one never runs, and a rollback drops
// what still waits. On every available kind.
#include <gtest/gtest.h>

#include "dbaccess/connection.h"
#include "dbaccess/db_error.h"
#include "tests/support/portable_sql.h"
#include "tests/support/test_databases.h"

namespace dbaccess {
namespace {

class DeferredStatementsTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateTestDatabase(GetParam());
    connection_ = std::make_shared<Connection>();
    connection_->Open(database_.connection_string);
    connection_->Execute("CREATE TABLE T_MARK (MARK_ID INTEGER NOT NULL)");
  }
  void TearDown() override {
    connection_->Close();
    testsupport::DropTestDatabase(database_);
  }

  void Mark(int id) {
    connection_->Execute("INSERT INTO T_MARK (MARK_ID) VALUES (" + std::to_string(id) + ")");
  }
  int64_t Marks() {
    auto rows = connection_->backend().Query("SELECT COUNT(*) FROM T_MARK", {}, 30);
    return rows.rows.at(0).at(0).ToInt64();
  }

  testsupport::TestDatabase database_;
  ConnectionPtr connection_;
};

TEST_P(DeferredStatementsTest, WaitingSavepointsRunBeforeTheNextStatementAndBeforeTheCommit) {
  connection_->BeginTrans();
  connection_->Defer("SAVEPOINT S1");
  connection_->Defer("SAVEPOINT S2");
  EXPECT_TRUE(connection_->HasDeferred());
  Mark(1);  // runs after both savepoints
  EXPECT_FALSE(connection_->HasDeferred());
  connection_->Execute("ROLLBACK TO SAVEPOINT S2");
  EXPECT_EQ(Marks(), 0);
  Mark(2);
  connection_->Defer("RELEASE SAVEPOINT S2");
  connection_->Defer("RELEASE SAVEPOINT S1");
  connection_->CommitTrans();  // the releases run first
  EXPECT_FALSE(connection_->HasDeferred());
  EXPECT_EQ(Marks(), 1);
}

TEST_P(DeferredStatementsTest, ACancelledStatementNeverRunsAndARollbackDropsWhatWaits) {
  connection_->BeginTrans();
  connection_->Defer("SAVEPOINT S1");
  EXPECT_FALSE(connection_->CancelDeferred("SAVEPOINT S2"));  // only the last one, by its text
  EXPECT_TRUE(connection_->CancelDeferred("SAVEPOINT S1"));
  EXPECT_FALSE(connection_->HasDeferred());
  connection_->RunDeferred();  // nothing waits: nothing runs
  connection_->Defer("INSERT INTO T_MARK (MARK_ID) VALUES (7)");
  connection_->RollbackTrans();
  EXPECT_FALSE(connection_->HasDeferred());
  EXPECT_EQ(Marks(), 0);
  // The cancelled savepoint was never set.
  connection_->BeginTrans();
  EXPECT_THROW(connection_->Execute("ROLLBACK TO SAVEPOINT S1"), DbError);
  connection_->RollbackTrans();
}

// On PostgreSQL a waiting savepoint travels with the next statement, which
// turns the driver's statement-level rollback off: the connection's own
// rollback must leave exactly what a failed statement alone leaves.
TEST_P(DeferredStatementsTest, AStatementCarryingAWaitingSavepointFailsAloneAndCountsItsOwnRows) {
  connection_->BeginTrans();
  Mark(1);
  connection_->DeferSavepoint("SAVEPOINT S1", "ROLLBACK TO SAVEPOINT S1");
  EXPECT_THROW(connection_->Execute("INSERT INTO T_MARK (MARK_ID) VALUES (NULL)"), DbError);
  Mark(2);  // the transaction goes on
  EXPECT_EQ(Marks(), 2);
  connection_->Execute("ROLLBACK TO SAVEPOINT S1");  // the savepoint was set
  EXPECT_EQ(Marks(), 1);
  connection_->DeferSavepoint("SAVEPOINT S2", "ROLLBACK TO SAVEPOINT S2");
  EXPECT_EQ(connection_->Execute("UPDATE T_MARK SET MARK_ID = 3"), 1);
  connection_->DeferSavepoint("SAVEPOINT S3", "ROLLBACK TO SAVEPOINT S3");
  EXPECT_THROW(connection_->Query("SELECT * FROM T_NO_SUCH_TABLE"), DbError);
  const ResultTable rows = connection_->Query("SELECT MARK_ID FROM T_MARK");
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0][0].ToInt64(), 3);
  connection_->Defer("RELEASE SAVEPOINT S1");
  connection_->CommitTrans();
  EXPECT_EQ(Marks(), 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeferredStatementsTest,
                         ::testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
}  // namespace dbaccess
