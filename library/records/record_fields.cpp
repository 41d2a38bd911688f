#include "library/records/record_fields.h"

#include "library/reference/upper_case.h"

namespace korvex7::internal {

bool HasValue(const dbaccess::Variant& value) { return !value.IsNull() && !value.IsEmpty(); }

int32_t IdOrNone(const dbaccess::Variant& value) { return HasValue(value) ? value.ToLong() : -1; }

int32_t CountOrZero(const dbaccess::Variant& value) { return HasValue(value) ? value.ToLong() : 0; }

bool HoldsReference(dbaccess::Recordset& rs, const ReferenceColumns& columns) {
  return HasValue(rs.Fields(columns.strID).Value()) ||
         HasValue(rs.Fields(columns.strDataStart).Value());
}

bool HoldsSameReference(dbaccess::Recordset& rs, const ReferenceColumns& columns, int32_t lID,
                        const std::string& strText, bool bIgnoreCase) {
  if (lID != -1) return IdOrNone(rs.Fields(columns.strID).Value()) == lID;
  const dbaccess::Variant vText = rs.Fields(columns.strText).Value();
  if (!HasValue(vText) || vText.ToText().empty()) return false;
  if (bIgnoreCase) return UpperCaseText(vText.ToText()) == UpperCaseText(strText);
  return vText.ToText() == strText;
}

void WriteReference(dbaccess::Recordset& rs, const ReferenceColumns& columns, int32_t lID,
                    const std::string& strText) {
  if (lID != -1) {
    rs.Fields(columns.strID) = dbaccess::Variant(lID);
    rs.Fields(columns.strText) = dbaccess::Variant::Null();
    rs.Fields(columns.strDataStart) = dbaccess::Variant::Null();
    return;
  }
  rs.Fields(columns.strID) = dbaccess::Variant::Null();
  rs.Fields(columns.strText) = dbaccess::Variant(strText);
  rs.Fields(columns.strDataStart) = rs.Fields("MACHINE_DATA_ID").Value();
}

void ClearReference(dbaccess::Recordset& rs, const ReferenceColumns& columns) {
  rs.Fields(columns.strID) = dbaccess::Variant::Null();
  rs.Fields(columns.strText) = dbaccess::Variant::Null();
  rs.Fields(columns.strDataStart) = dbaccess::Variant::Null();
}

}  // namespace korvex7::internal
