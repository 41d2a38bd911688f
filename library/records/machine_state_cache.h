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
  // by strSource. Returns the recordset the caller works with instead: one
  // over the same row that the cache takes back when the caller is done, or
  // rs itself when nothing may be kept.
  dbaccess::RecordsetPtr KeepCurrentRecord(int32_t lMachineID, const dbaccess::RecordsetPtr& rs,
                                           const std::string& strSource);
  // The kept current record, without handing it out: the column of that
  // name; nothing when no valid row is kept or its last recordset is still
  // held.
  std::optional<dbaccess::Variant> PeekCurrentRecord(int32_t lMachineID,
                                                     const std::string& strColumn);
  // The machine's STATUS_CODE as last read or written (never a machine
  // without a row).
  std::optional<int32_t> Status(int32_t lMachineID);
  void KeepStatus(int32_t lMachineID, int32_t lStatus);
  void ForgetStatus(int32_t lMachineID) { m_statuses.erase(lMachineID); }
  // Whether a status is held for the machine, valid or not: its row was seen.
  bool HoldsStatus(int32_t lMachineID) const { return m_statuses.count(lMachineID) > 0; }

  // A recordset over record lMachineDataID opened outside the cache: while it
  // is open the record is neither kept nor served.
  void WatchOtherRecordset(int32_t lMachineDataID, const dbaccess::RecordsetPtr& rs);
  // The machine's current record pointer moved or its record was written by
  // other means.
  void ForgetMachine(int32_t lMachineID);
  void ForgetRecord(int32_t lMachineDataID);
  void ForgetAll();

 private:
  // When and under which ownership something was kept.
  struct Stamp {
    Session::OwnershipToken token;
    int64_t lRollbacks = 0;
    int64_t lEpoch = 0;
    const dbaccess::Connection* connection = nullptr;
    bool operator==(const Stamp&) const = default;
  };
  using Columns = std::shared_ptr<const std::vector<dbaccess::ColumnInfo>>;
  struct Entry {
    int32_t lRecordID = -1;
    Stamp stamp;
    Columns columns;
    // The row the last recordset was given, and that recordset while it
    // lives; once it is let go, its row as stored (none when unsure).
    std::vector<dbaccess::Variant> original;
    std::weak_ptr<dbaccess::Recordset> handed;
    uint64_t lHandout = 0;
    std::optional<std::vector<dbaccess::Variant>> row;
  };
  using Entries = std::map<int32_t, Entry>;

  bool Usable() const;
  // The stamp things kept now get; nothing when the machine is not owned here.
  std::optional<Stamp> StampNow(int32_t lMachineID) const;
  bool StillValid(int32_t lMachineID, const Stamp& stamp) const;
  bool OtherRecordsetOpen(int32_t lMachineDataID);
  // The row the database holds after the caller's writes through rs; false
  // when unsure (an edit pending, not the one row, a value of another type).
  bool TakeRow(dbaccess::Recordset& rs, Entry& entry);
  // A new recordset over the kept row; the cache takes its row back when
  // its last holder lets it go.
  dbaccess::RecordsetPtr HandOut(int32_t lMachineID, Entry& entry, const std::string& strSource);
  void Released(int32_t lMachineID, uint64_t lHandout, dbaccess::Recordset& rs);
  void BeforeClose(dbaccess::Recordset& rs);
  // The valid entry whose row is kept and not handed out, or end().
  Entries::iterator SettledEntry(int32_t lMachineID);
  // Erases the entry; a recordset still held goes on being watched as an
  // other one.
  void DropEntry(Entries::iterator it);

  Session& m_session;
  // Lets a handed recordset outliving the cache find it gone.
  std::shared_ptr<MachineStateCache*> m_self;
  Entries m_entries;  // by MACHINE_ID
  Columns m_columns;  // the columns the entries share while they are the same
  std::map<int32_t, std::pair<int32_t, Stamp>> m_statuses;  // by MACHINE_ID
  std::multimap<int32_t, std::weak_ptr<dbaccess::Recordset>> m_others;  // by MACHINE_DATA_ID
  uint64_t m_lHandouts = 0;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_RECORDS_MACHINE_STATE_CACHE_H_
