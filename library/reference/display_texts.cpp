// Display texts of the history lines: who works at a machine and which job a
// key names.
//
// Both are scalar reads (GetScalarText), so a missing row, a null text and a
// failing query all give "" here; the user display then becomes "<No User>".
// Runs on the caller's thread, inside the caller's transaction.
#include <string>

#include "dbaccess/variant.h"
#include "library/korvex7_obj.h"
#include "library/reference/reference_queries.h"

std::string CKorvex7Obj::GetMachineUserDisplay(int32_t lMachineID, int32_t& lUserID) {
  dbaccess::Variant vUserID;
  std::string strDisplay =
      GetScalarText(MachineUserDisplayQuery(m_lDatabaseType, lMachineID), &vUserID);
  lUserID = vUserID.IsEmpty() || vUserID.IsNull() ? -1 : vUserID.ToLong();
  if (strDisplay.empty()) strDisplay = "<No User>";
  return strDisplay;
}

std::string CKorvex7Obj::GetJobDisplayName(int32_t lJobID) {
  return GetScalarText(JobDisplayNameQuery(m_lDatabaseType, lJobID));
}
