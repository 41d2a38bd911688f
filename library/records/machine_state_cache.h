// MachineStateCache: what the processing wrote of a machine's current record
// (its T_SFC_MACHINE_DATA row), kept so that the next row of the machine does
// not read it back. The record is written through to the database as before,
// by the recordset the handler edits; the cache takes that recordset's row
// again when the handler is done with it (closed or dropped), and the next
// row gets a fresh recordset over the same values.
//
// Kept only while this process is the only writer of the machine's rows
// (Session::MachineOwnership: the designated collector, or the group member
// holding its partition) and only on the databases whose paths write the
// record through the library alone (SQLite, PostgreSQL). An entry is dropped
// when the ownership token changes, when work was undone anywhere
// (Session::RollbackCount: a failed row, a rolled-back or uncommitted batch),
// when the session forgets the machines' state (a new connection, the
// schema checked), when the record is written by other means (a statement,
// another recordset over it, a new record or pointer), and when a recordset
// of it opened elsewhere is still open.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_RECORDS_MACHINE_STATE_CACHE_H_
#define VOLTRANE_LIBRARY_RECORDS_MACHINE_STATE_CACHE_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/backend.h"
#include "dbaccess/recordset.h"
#include "library/session/session.h"

namespace korvex7::internal {

// On by default; switched off only to check that the cache changes nothing
// but speed (the same drain with and without it leaves the same rows).
// Read at every lookup; the processing thread's setting.
void SetMachineStateCaching(bool on);
bool MachineStateCaching();
// How many current records every cache of the process served from memory
// (the comparison test and the benchmark's profile read it).
int64_t MachineStateHits();

class MachineStateCache {
 public:
  explicit MachineStateCache(Session& session);
  ~MachineStateCache();
  MachineStateCache(const MachineStateCache&) = delete;
  MachineStateCache& operator=(const MachineStateCache&) = delete;

  // The machine's current record as last kept, as a new updatable recordset
  // opened as if by strSource; null when nothing valid is kept.
  dbaccess::RecordsetPtr CurrentRecord(int32_t lMachineID, const std::string& strSource);
  // rs holds the machine's current record as just read from the database
  // (one row): kept, with what the caller will write through it.
  void KeepCurrentRecord(int32_t lMachineID, const dbaccess::RecordsetPtr& rs);
  // The kept current record's row, without handing it out; null when
  // nothing valid is kept or its last recordset is still held.
  const dbaccess::ResultTable* PeekCurrentRecord(int32_t lMachineID);
  // The machine's STATUS_CODE as last read or written (never a machine
  // without a row).
  std::optional<int32_t> Status(int32_t lMachineID);
  void KeepStatus(int32_t lMachineID, int32_t lStatus);
  void ForgetStatus(int32_t lMachineID) { m_statuses.erase(lMachineID); }

  // A recordset over record lMachineDataID opened outside the cache: while it
  // is open the record is neither kept nor served.
  void WatchOtherRecordset(int32_t lMachineDataID, const dbaccess::RecordsetPtr& rs);
  // The machine's current record pointer moved or its record was written by
  // other means.
  void ForgetMachine(int32_t lMachineID);
  void ForgetRecord(int32_t lMachineDataID);
  void ForgetAll();

  // Hits and misses since construction (the comparison test reads them).
  int64_t Hits() const { return m_lHits; }
  int64_t Misses() const { return m_lMisses; }

 private:
  // When and under which ownership something was kept.
  struct Stamp {
    Session::OwnershipToken token;
    int64_t lRollbacks = 0;
    int64_t lEpoch = 0;
    const dbaccess::Connection* connection = nullptr;
    bool operator==(const Stamp&) const = default;
  };
  struct Entry {
    int32_t lRecordID = -1;
    Stamp stamp;
    dbaccess::RecordsetPtr rsHanded;  // the recordset the last caller got
    std::optional<dbaccess::ResultTable> snapshot;  // its row, once closed
    std::vector<dbaccess::Variant> original;  // the row as the recordset was given it
  };
  bool Usable() const;
  // The stamp things kept now get; nothing when the machine is not owned here.
  std::optional<Stamp> StampNow(int32_t lMachineID) const;
  bool StillValid(int32_t lMachineID, const Stamp& stamp) const;
  bool OtherRecordsetOpen(int32_t lMachineDataID);
  // Takes the handed recordset's row into the snapshot; false when it holds
  // none that the database has (an edit pending, no single row).
  static bool TakeRow(dbaccess::Recordset& rs, Entry& entry);
  void BeforeClose(dbaccess::Recordset& rs);
  // Erases the entry; a recordset still held goes on being watched as an
  // other one.
  void DropEntry(std::map<int32_t, Entry>::iterator it);

  Session& m_session;
  std::map<int32_t, Entry> m_entries;  // by MACHINE_ID
  std::map<int32_t, std::pair<int32_t, Stamp>> m_statuses;  // by MACHINE_ID
  std::multimap<int32_t, std::weak_ptr<dbaccess::Recordset>> m_others;  // by MACHINE_DATA_ID
  int64_t m_lHits = 0;
  int64_t m_lMisses = 0;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_RECORDS_MACHINE_STATE_CACHE_H_
