// The statements of one savepoint level inside the processing loop's batch
// transaction (batch_transaction.cpp). Level 1 is the row being processed;
// the handlers' own transactions nest below it as levels 2, 3, ...
//
// `release` is empty where the database has no statement to forget a
// savepoint (SQL Server, Oracle: it goes with the transaction). All three are
// empty on Access, which has no savepoints: there the batch holds one row.
#ifndef VOLTRANE_LIBRARY_SAVEPOINT_STATEMENTS_H_
#define VOLTRANE_LIBRARY_SAVEPOINT_STATEMENTS_H_

#include <cstdint>
#include <string>

namespace korvex7::internal {

struct SavepointStatements {
  std::string set;       // marks the level
  std::string release;   // ends the level keeping its work
  std::string rollback;  // undoes the level's work; the level stays marked
};

SavepointStatements SavepointStatementsFor(int32_t lDatabaseType, int32_t lLevel);

// Whether the kind can roll back a part of a transaction.
bool HasSavepoints(int32_t lDatabaseType);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_SAVEPOINT_STATEMENTS_H_
