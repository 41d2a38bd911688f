// The statements of the reference lookups and display texts: a name or
// number of the shop floor turned into the query that finds its row.
//
// Each function builds one statement for a database kind from the dialect
// pieces (table hint, UPPER/UCASE, quoted literal, concatenation). Texts are
// quoted with every apostrophe doubled; job, operation, part and serial
// numbers are upper-cased here, so callers pass them as typed. The statements
// for Oracle, Access and SQL Server are the system's fixed texts, blanks
// included; SQLite and PostgreSQL get the same statements built from their
// own pieces. Pure functions: no failure, safe from any thread.
#ifndef VOLTRANE_LIBRARY_REFERENCE_QUERIES_H_
#define VOLTRANE_LIBRARY_REFERENCE_QUERIES_H_

#include <cstdint>
#include <string>

namespace korvex7::internal {

std::string UserIDByNameQuery(int32_t kind, const std::string& strUserName);
std::string JobIDByNumberQuery(int32_t kind, const std::string& strJobNumber);
std::string OpIDByNumberQuery(int32_t kind, const std::string& strOpNumber);
std::string PartIDByNumberQuery(int32_t kind, const std::string& strPartNumber);
std::string PartSerialNoIDQuery(int32_t kind, int32_t lPartID, const std::string& strSerialNo);
// Finds codes of lDowntimeType (0 machine, 1 user) and the codes of both (2).
std::string DowntimeCodeIDQuery(int32_t kind, const std::string& strCodeNumber,
                                int32_t lDowntimeType);
std::string ScrapCodeIDQuery(int32_t kind, const std::string& strCodeNumber);
std::string DefaultScrapCodeNumberQuery(int32_t kind);
std::string FirstPartNumberForJobQuery(int32_t kind, const std::string& strJobNumber);
std::string PartEventRowQuery(int32_t kind, int32_t lMachineID, int32_t lPartCommandID);

// Two columns: "user name - first last" and the user's key, of the user of
// the machine's current machine data record.
std::string MachineUserDisplayQuery(int32_t kind, int32_t lMachineID);
// One column: "job number - job name" (the name "" when null).
std::string JobDisplayNameQuery(int32_t kind, int32_t lJobID);
// One column: PART_ID of the machine's current machine data record.
std::string MachineCurrentPartQuery(int32_t kind, int32_t lMachineID);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_REFERENCE_QUERIES_H_
