// Display texts of the history lines: who works at a machine and which job a
// key names.
//
// Both are scalar reads (GetScalarText), so a missing row, a null text and a
// failing query all give "" here; the user display then becomes "<No User>".
// Runs on the caller's thread, inside the caller's transaction.
#include <string>

#include "dbaccess/variant.h"
#include "library/reference/reference_data.h"
#include "library/reference/reference_queries.h"

namespace korvex7::internal {

std::string ReferenceData::GetMachineUserDisplay(int32_t lMachineID, int32_t& lUserID) {
  dbaccess::Variant vUserID;
  std::string strDisplay =
      GetScalarText(MachineUserDisplayQuery(DatabaseType(), lMachineID), &vUserID);
  lUserID = vUserID.IsEmpty() || vUserID.IsNull() ? -1 : vUserID.ToLong();
  if (strDisplay.empty()) strDisplay = "<No User>";
  return strDisplay;
}

std::string ReferenceData::GetJobDisplayName(int32_t lJobID) {
  return GetScalarText(JobDisplayNameQuery(DatabaseType(), lJobID));
}

}  // namespace korvex7::internal
