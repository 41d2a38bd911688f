#include "tests/support/log_queries.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>

#include "dbaccess/recordset.h"
#include "library/korvex7.h"

namespace testsupport {
namespace {

bool IsTimeColumn(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name == "TIME_STAMP" || name == "STATUS_DATE" || name == "START_TIME" ||
         name == "STOP_TIME";
}

}  // namespace

std::vector<std::string> QueryRows(const dbaccess::ConnectionPtr& connection,
                                   const std::string& sql) {
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  std::vector<std::string> rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string row;
    for (size_t i = 0; i < rs.FieldCount(); ++i) {
      const dbaccess::Variant value = rs.Fields(i).Value();
      row += i == 0 ? "" : "|";
      if (value.IsNull() || value.IsEmpty()) {
        row += "null";
      } else if (value.Type() == dbaccess::VariantType::kDateTime ||
                 IsTimeColumn(rs.Fields(i).Name())) {
        row += value.ToDateTime().ToText();
      } else {
        row += value.ToText();
      }
    }
    rows.push_back(row);
  }
  return rows;
}

void ProcessWholeLog(const TestDatabase& database) {
  _CKorvex7Obj* raw = nullptr;
  ASSERT_EQ(Korvex7CreateObject(kKorvex7ProgId, kKorvex7InterfaceId, &raw), 0);
  std::unique_ptr<_CKorvex7Obj, void (*)(_CKorvex7Obj*)> object(raw, Korvex7ReleaseObject);
  std::string error;
  ASSERT_TRUE(object->ConnectToDatabase(database.connection_string, database.kind, error)) << error;
  object->DoNextItemFromMDCLog(error);  // announces the library
  for (int calls = 0; object->GetMDCLogCount() > 0 && calls < 100; ++calls) {
    object->DoNextItemFromMDCLog(error);
  }
  ASSERT_EQ(object->GetMDCLogCount(), 0) << error;
}

}  // namespace testsupport
