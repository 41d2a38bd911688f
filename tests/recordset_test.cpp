// Recordset over every available database kind: adding with a generated key,
// finding, editing, cancelling, date-times and nulls; and the unconnected
// recordset.
#include "dbaccess/recordset.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "base/ascii_case.h"
#include "dbaccess/connection.h"
#include "dbaccess/db_error.h"
#include "tests/support/portable_sql.h"
#include "tests/support/test_databases.h"

namespace dbaccess {
namespace {

using testsupport::TestDatabase;

class RecordsetTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = testsupport::CreateTestDatabase(GetParam());
    connection_ = std::make_shared<Connection>();
    connection_->Open(database_.connection_string);
    connection_->Execute(
        "CREATE TABLE T_SHIFT (SHIFT_ID " + testsupport::GeneratedKeyType(database_) +
        ", NAME VARCHAR(50) NOT NULL, START_TIME " + testsupport::DateTimeType(database_) +
        ", RATE DOUBLE PRECISION, NOTES VARCHAR(200))");
  }
  void TearDown() override {
    connection_->Close();
    testsupport::DropTestDatabase(database_);
  }

  RecordsetPtr OpenRs(const std::string& sql) {
    auto rs = std::make_shared<Recordset>();
    rs->Open(sql, connection_);
    return rs;
  }

  // Adds rows through the recordset layer and returns their generated keys.
  std::vector<int64_t> AddShifts(const std::vector<std::string>& names) {
    auto rs = OpenRs("select * from T_SHIFT where SHIFT_ID = 0");
    std::vector<int64_t> keys;
    for (size_t i = 0; i < names.size(); ++i) {
      rs->AddNew();
      rs->Fields("NAME") = Variant(names[i]);
      rs->Fields("START_TIME") = Variant(DateTime::FromParts(2026, 3, 1, 6 + static_cast<int>(i)));
      rs->Fields("RATE") = Variant(1.5 * static_cast<double>(i));
      rs->Update();
      keys.push_back(rs->Fields("SHIFT_ID").Value().ToInt64());
    }
    return keys;
  }

  TestDatabase database_;
  ConnectionPtr connection_;
};

int32_t ErrorOf(const std::function<void()>& fn, std::string* text = nullptr) {
  try {
    fn();
  } catch (const DbError& error) {
    if (text) *text = error.description();
    return error.number();
  }
  return 0;
}

TEST_P(RecordsetTest, AddNewMakesTheGeneratedKeyReadable) {
  const std::vector<int64_t> keys = AddShifts({"Early", "Late"});
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_GT(keys[0], 0);
  EXPECT_GT(keys[1], keys[0]);

  auto rs = OpenRs("select * from T_SHIFT order by SHIFT_ID");
  EXPECT_EQ(rs->BaseTable(), "T_SHIFT");
  EXPECT_EQ(base::Upper(rs->KeyColumn()), "SHIFT_ID");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields("shift_id").Value().ToInt64(), keys[0]);
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "Early");
  // Columns the insert did not name come back as the database stored them.
  EXPECT_TRUE(rs->Fields("NOTES").Value().IsNull());
}

TEST_P(RecordsetTest, FindComparesNumbersTextsAndDates) {
  const auto keys = AddShifts({"Early", "O'Brien", "Night"});
  auto rs = OpenRs("select * from T_SHIFT order by SHIFT_ID");

  EXPECT_TRUE(rs->Find("SHIFT_ID = " + std::to_string(keys[1])));
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "O'Brien");
  // Searching again starts at the current row, so it stays.
  EXPECT_TRUE(rs->Find("SHIFT_ID = " + std::to_string(keys[1])));
  EXPECT_EQ(rs->Position(), 1u);
  // Forward only: the first row is behind the current one.
  EXPECT_FALSE(rs->Find("NAME = 'Early'"));
  EXPECT_TRUE(rs->Eof());

  rs->MoveFirst();
  EXPECT_TRUE(rs->Find("NAME = 'o''brien'"));  // text without regard to case
  rs->MoveFirst();
  EXPECT_TRUE(rs->Find("RATE >= 2.5"));
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "Night");
  rs->MoveFirst();
  EXPECT_TRUE(rs->Find("START_TIME > #2026-03-01 06:30:00#"));
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "O'Brien");
  rs->MoveFirst();
  EXPECT_TRUE(rs->Find("NAME <> 'EARLY'"));
  EXPECT_EQ(rs->Position(), 1u);
  rs->MoveFirst();
  EXPECT_TRUE(rs->Find("SHIFT_ID < " + std::to_string(keys[1])));
  EXPECT_EQ(rs->Position(), 0u);
  rs->MoveFirst();
  EXPECT_FALSE(rs->Find("NOTES = 'x'"));  // null fields never match

  EXPECT_EQ(ErrorOf([&] { rs->Find("SHIFT_ID == 1"); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { rs->Find("NAME = 'open"); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { rs->Find("SHIFT_ID = five"); }), kErrInvalidArgument);
  EXPECT_EQ(ErrorOf([&] { rs->Find("NO_SUCH = 1"); }), kErrItemNotFound);
}

TEST_P(RecordsetTest, EditOfTheCurrentRowSavesOnlyThatRow) {
  const auto keys = AddShifts({"Early", "Late"});
  auto rs = OpenRs("select * from T_SHIFT where SHIFT_ID = " + std::to_string(keys[1]));
  ASSERT_FALSE(rs->Eof());
  rs->Fields("NAME") = Variant("Late II");
  rs->Fields("NOTES") = Variant("moved");
  EXPECT_TRUE(rs->EditPending());
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "Late II");  // the buffer is what reads
  rs->Update();
  EXPECT_FALSE(rs->EditPending());

  auto check = OpenRs("select * from T_SHIFT order by SHIFT_ID");
  EXPECT_EQ(check->Fields("NAME").Value().ToText(), "Early");
  EXPECT_TRUE(check->Fields("NOTES").Value().IsNull());
  check->MoveNext();
  EXPECT_EQ(check->Fields("NAME").Value().ToText(), "Late II");
  EXPECT_EQ(check->Fields("NOTES").Value().ToText(), "moved");
}

TEST_P(RecordsetTest, MovingOnSavesAPendingEditAsAdoDoes) {
  AddShifts({"A", "B", "C"});
  auto rs = OpenRs("select * from T_SHIFT order by SHIFT_ID");
  while (!rs->Eof()) {
    rs->Fields("RATE") = Variant(9);
    rs->MoveNext();
  }
  auto check = OpenRs("select count(*) as N from T_SHIFT where RATE = 9");
  EXPECT_EQ(check->Fields("N").Value().ToInt64(), 3);
}

TEST_P(RecordsetTest, CancelUpdateDiscardsEditsAndNewRows) {
  AddShifts({"Early"});
  auto rs = OpenRs("select * from T_SHIFT");
  rs->Fields("NAME") = Variant("Changed");
  rs->CancelUpdate();
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "Early");
  rs->AddNew();
  rs->Fields("NAME") = Variant("Never");
  EXPECT_FALSE(rs->Eof());
  rs->CancelUpdate();
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "Early");
  rs->Update();  // nothing pending: nothing written

  auto check = OpenRs("select * from T_SHIFT");
  EXPECT_EQ(check->RecordCount(), 1);
  EXPECT_EQ(check->Fields("NAME").Value().ToText(), "Early");
}

TEST_P(RecordsetTest, UpdateOfAVanishedRowCannotLocateIt) {
  const auto keys = AddShifts({"Early"});
  auto rs = OpenRs("select * from T_SHIFT");
  connection_->Execute("DELETE FROM T_SHIFT");
  rs->Fields("NAME") = Variant("Gone");
  std::string text;
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }, &text), kErrCommandFailed);
  EXPECT_NE(text.find("Row cannot be located for updating."), std::string::npos);
  EXPECT_TRUE(rs->EditPending());  // the caller decides: cancel or retry
  rs->CancelUpdate();
}

TEST_P(RecordsetTest, UpdateIsRefusedWhenTheSourceIsNotOneTable) {
  AddShifts({"Early"});
  EXPECT_EQ(OpenRs("select distinct NAME from T_SHIFT")->BaseTable(), "");
  EXPECT_EQ(OpenRs("select NAME, count(*) from T_SHIFT group by NAME")->BaseTable(), "");
  EXPECT_EQ(
      OpenRs("select * from T_SHIFT where SHIFT_ID in (select SHIFT_ID from T_SHIFT)")->BaseTable(),
      "T_SHIFT");  // a subquery in the condition still edits one table

  auto counted = OpenRs("select count(*) as N from T_SHIFT");
  counted->Fields("N") = Variant(5);
  EXPECT_EQ(ErrorOf([&] { counted->Update(); }), kErrCommandFailed);

  auto joined = OpenRs("select A.NAME from T_SHIFT A, T_SHIFT B where A.SHIFT_ID = B.SHIFT_ID");
  EXPECT_EQ(joined->BaseTable(), "");
  joined->AddNew();
  joined->Fields("NAME") = Variant("x");
  EXPECT_EQ(ErrorOf([&] { joined->Update(); }), kErrCommandFailed);

  // A single table without its key column can add rows but not edit them.
  auto keyless = OpenRs("select NAME from T_SHIFT");
  keyless->Fields("NAME") = Variant("y");
  EXPECT_EQ(ErrorOf([&] { keyless->Update(); }), kErrCommandFailed);
}

TEST_P(RecordsetTest, MillisecondDateTimesRoundTrip) {
  const DateTime when = DateTime::FromParts(2026, 3, 1, 23, 59, 58, 123);
  auto rs = OpenRs("select * from T_SHIFT where SHIFT_ID = 0");
  rs->AddNew();
  rs->Fields("NAME") = Variant("x");
  rs->Fields("START_TIME") = Variant(when);
  rs->Update();
  EXPECT_EQ(rs->Fields("START_TIME").Value(), Variant(when));

  auto check = OpenRs("select START_TIME from T_SHIFT");
  EXPECT_EQ(check->Fields(0).Type(), FieldType::kDateTime);
  EXPECT_EQ(check->Fields(0).Value(), Variant(when));
  // Text assigned to a date-time field is read as a date-time.
  check->Fields(0) = Variant("2026-03-02 00:00:00.001");
  EXPECT_EQ(check->Fields(0).Value(), Variant(DateTime::FromParts(2026, 3, 2, 0, 0, 0, 1)));
  EXPECT_EQ(ErrorOf([&] { check->Fields(0) = Variant("not a date"); }), kErrTypeMismatch);
}

TEST_P(RecordsetTest, NullsAndFieldAttributes) {
  AddShifts({"Early"});
  auto rs = OpenRs("select * from T_SHIFT");
  EXPECT_FALSE(rs->Fields("NAME").IsNullable());
  EXPECT_TRUE(rs->Fields("NOTES").IsNullable());
  EXPECT_EQ(rs->Fields("NAME").DefinedSize(), 50);
  EXPECT_EQ(rs->Fields("NAME").Type(), FieldType::kText);
  EXPECT_EQ(rs->Fields("SHIFT_ID").Type(), FieldType::kInteger);
  EXPECT_EQ(rs->Fields("RATE").Type(), FieldType::kDouble);
  EXPECT_EQ(base::Upper(rs->Fields(1).Name()), "NAME");  // servers may fold the case
  EXPECT_EQ(rs->FieldCount(), 5u);

  rs->Fields("RATE") = Variant::Null();
  rs->Update();
  auto check = OpenRs("select RATE from T_SHIFT where RATE is null");
  EXPECT_EQ(check->RecordCount(), 1);
  EXPECT_TRUE(check->Fields("RATE").Value().IsNull());
}

TEST_P(RecordsetTest, NavigationAndItsErrors) {
  auto empty = OpenRs("select * from T_SHIFT");
  EXPECT_TRUE(empty->Eof());
  EXPECT_TRUE(empty->Bof());
  EXPECT_EQ(empty->RecordCount(), 0);
  empty->MoveFirst();  // harmless on no rows
  EXPECT_EQ(ErrorOf([&] { empty->Fields("NAME").Value(); }), kErrNoCurrentRecord);
  EXPECT_EQ(ErrorOf([&] { empty->MoveNext(); }), kErrNoCurrentRecord);

  AddShifts({"A", "B"});
  auto rs = OpenRs("select * from T_SHIFT order by SHIFT_ID");
  EXPECT_FALSE(rs->Bof());
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_FALSE(rs->Eof());
  rs->MoveNext();
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "A");
  rs->MoveLast();
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "B");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), kErrNoCurrentRecord);
  rs->MovePrevious();
  EXPECT_EQ(rs->Fields("NAME").Value().ToText(), "B");
  EXPECT_EQ(ErrorOf([&] { rs->Fields("NOPE"); }), kErrItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs->Fields(99); }), kErrItemNotFound);

  rs->Close();
  rs->Close();
  EXPECT_EQ(ErrorOf([&] { rs->Eof(); }), kErrObjectClosed);
  rs->Open("select * from T_SHIFT", connection_);  // reopens after Close
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(ErrorOf([&] { rs->Open("select * from T_SHIFT", connection_); }), kErrInvalidArgument);
}

TEST_P(RecordsetTest, OpenOfAMissingTableReportsIt) {
  auto rs = std::make_shared<Recordset>();
  EXPECT_EQ(ErrorOf([&] { rs->Open("select * from T_NOWHERE", connection_); }), kErrTableNotFound);
  EXPECT_FALSE(rs->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Kinds, RecordsetTest, ::testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

TEST(UnconnectedRecordsetTest, KeepsRowsInMemory) {
  Recordset rs;
  rs.AppendField(ColumnInfo{"ID", FieldType::kInteger, 4, 10, 0, false, "", ""});
  rs.AppendField(ColumnInfo{"NAME", FieldType::kText, 20, 0, 0, true, "", ""});
  rs.OpenUnconnected();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(ErrorOf([&] { rs.AppendField(ColumnInfo{}); }), kErrInvalidArgument);

  for (int i = 1; i <= 3; ++i) {
    rs.AddNew();
    rs.Fields("ID") = Variant(std::to_string(i * 10));  // converted to the field's type
    if (i != 2) rs.Fields("NAME") = Variant("n" + std::to_string(i));
    rs.Update();
  }
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(rs.Fields("ID").Value(), Variant(30));
  rs.MoveFirst();
  ASSERT_TRUE(rs.Find("ID = 20"));
  EXPECT_TRUE(rs.Fields("NAME").Value().IsNull());
  rs.Fields("NAME") = Variant("two");
  rs.Update();
  rs.MoveFirst();
  ASSERT_TRUE(rs.Find("NAME = 'TWO'"));
  EXPECT_EQ(rs.Fields("ID").Value().ToInt64(), 20);
  EXPECT_EQ(rs.Fields("ID").DefinedSize(), 4);
  EXPECT_FALSE(rs.Fields("ID").IsNullable());
}

}  // namespace
}  // namespace dbaccess
