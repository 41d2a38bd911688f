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

// A waiting write travels with the next statement or with what waits; a
// failure among them is traced to its statement, which alone is undone,
// and the connection then refuses everything until the rollback.
TEST_P(DeferredStatementsTest, AFailingWaitingWriteThrowsItsOwnErrorAndUndoesOnlyItself) {
  connection_->SetWritesMayWait(true);
  connection_->BeginTrans();
  std::string alone;
  try {
    connection_->Execute("INSERT INTO T_MARK (MARK_ID) VALUES (?)", {Variant::Null()});
  } catch (const DbError& error) {
    alone = error.description();
  }
  ASSERT_FALSE(alone.empty());
  if (GetParam() != "PostgreSQL") {
    // No round trip to share: the write runs at once.
    EXPECT_THROW(
        connection_->DeferWrite("INSERT INTO T_MARK (MARK_ID) VALUES (?)", {Variant::Null()}),
        DbError);
    EXPECT_EQ(connection_->FailedWrite(), nullptr);
    connection_->RollbackTrans();
    return;
  }
  // The round trip either begins with the savepoint, or the savepoint went
  // earlier and the writes travel with the release.
  for (const int variant : {0, 1, 2}) {
    SCOPED_TRACE(variant);
    connection_->DeferSavepoint("SAVEPOINT S1", "ROLLBACK TO SAVEPOINT S1");
    if (variant == 2) {
      EXPECT_EQ(Marks(), 0);  // sends the savepoint
    }
    connection_->DeferWrite("INSERT INTO T_MARK (MARK_ID) VALUES (?)", {Variant(1)});
    connection_->DeferWrite("INSERT INTO T_MARK (MARK_ID) VALUES (?)", {Variant::Null()});
    connection_->DeferWrite("INSERT INTO T_MARK (MARK_ID) VALUES (?)", {Variant(3)});
    if (variant > 0) connection_->Defer("RELEASE SAVEPOINT S1");
    try {
      if (variant > 0) {
        connection_->RunDeferred();
      } else {
        Mark(4);
      }
      ADD_FAILURE() << "the failing write went unnoticed";
    } catch (const DbError& error) {
      EXPECT_EQ(error.description(), alone);
    }
    ASSERT_NE(connection_->FailedWrite(), nullptr);
    EXPECT_EQ(connection_->FailedWrite()->description(), alone);
    EXPECT_THROW(Mark(5), DbError);
    // The savepoint is there, the first write kept, the rest not run.
    connection_->RollbackFailedWrite("RELEASE SAVEPOINT S1");
    EXPECT_EQ(connection_->FailedWrite(), nullptr);
    EXPECT_EQ(Marks(), 1);
    connection_->Execute("DELETE FROM T_MARK");
  }
  // A write that must change a row and changes none fails as its own.
  connection_->DeferSavepoint("SAVEPOINT S1", "ROLLBACK TO SAVEPOINT S1");
  connection_->DeferWrite("UPDATE T_MARK SET MARK_ID = 9 WHERE MARK_ID = ?", {Variant(42)},
                          "no such mark");
  try {
    Mark(10);
    ADD_FAILURE() << "the unmatched write went unnoticed";
  } catch (const DbError& error) {
    EXPECT_EQ(error.description(), "no such mark");
  }
  connection_->RollbackFailedWrite("ROLLBACK TO SAVEPOINT S1");
  EXPECT_EQ(Marks(), 0);
  // Waiting writes that succeed cost their statement nothing.
  connection_->DeferWrite("INSERT INTO T_MARK (MARK_ID) VALUES (?)", {Variant(6)});
  EXPECT_EQ(connection_->Execute("UPDATE T_MARK SET MARK_ID = ? WHERE MARK_ID = 6", {Variant(7)}),
            1);
  connection_->DeferWrite("INSERT INTO T_MARK (MARK_ID) VALUES (?)", {Variant(8)});
  connection_->CommitTrans();
  EXPECT_EQ(Marks(), 2);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeferredStatementsTest,
                         ::testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
}  // namespace dbaccess
