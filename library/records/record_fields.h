// Columns of a machine data record as the handlers read and write them.
// Reference triples: each reference (user, job, operation, part, serial
// number) is an id column, a text column and a data-start column. A found
// reference has only its id; an unresolved one has its text and the id of
// the record where it first appeared; no reference leaves all three empty.
// These helpers work on an open record and throw DbError like the recordset.
#ifndef VOLTRANE_LIBRARY_RECORD_FIELDS_H_
#define VOLTRANE_LIBRARY_RECORD_FIELDS_H_

#include <cstdint>
#include <string>

#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"

namespace korvex7::internal {

struct ReferenceColumns {
  const char* strID;
  const char* strText;
  const char* strDataStart;
};

inline constexpr ReferenceColumns kUserColumns{"USER_ID", "USER_NAME", "LOGON_DATA_START_ID"};
inline constexpr ReferenceColumns kJobColumns{"JOB_ID", "JOB_NUMBER", "JOB_DATA_START_ID"};
inline constexpr ReferenceColumns kOpColumns{"OP_ID", "OP_NUMBER", "OP_DATA_START_ID"};
inline constexpr ReferenceColumns kPartColumns{"PART_ID", "PART_NUMBER", "PART_DATA_START_ID"};
inline constexpr ReferenceColumns kSerialColumns{"PART_SERIAL_NO_ID", "PART_SERIAL_NO",
                                                 "SERIAL_NO_DATA_START_ID"};

// Neither empty nor null.
bool HasValue(const dbaccess::Variant& value);
// The value as an id, -1 when it is empty or null.
int32_t IdOrNone(const dbaccess::Variant& value);
// A counter column's value, 0 when it is empty or null.
int32_t CountOrZero(const dbaccess::Variant& value);

// Whether the record holds the reference at all (its id or its data start).
bool HoldsReference(dbaccess::Recordset& rs, const ReferenceColumns& columns);

// Whether the record holds this reference: the same id for a found one
// (lID not -1), else a text column that is not empty and equals strText,
// compared in upper case when bIgnoreCase.
bool HoldsSameReference(dbaccess::Recordset& rs, const ReferenceColumns& columns, int32_t lID,
                        const std::string& strText, bool bIgnoreCase);

// Writes a found reference (lID not -1) or an unresolved strText, whose data
// start is the record's own MACHINE_DATA_ID.
void WriteReference(dbaccess::Recordset& rs, const ReferenceColumns& columns, int32_t lID,
                    const std::string& strText);

// Empties all three columns.
void ClearReference(dbaccess::Recordset& rs, const ReferenceColumns& columns);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_RECORD_FIELDS_H_
