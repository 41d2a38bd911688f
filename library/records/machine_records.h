// MachineRecords: the machine data records (T_SFC_MACHINE_DATA), one open
// record per machine, and what keeps them in step with time -- record
// creation, splitting, validation and completion, the machine's status and
// record pointer, the shift calendar and the expired-shift handling that
// closes a record at each shift boundary. Layered one way: the current-record
// entry points (current_record.cpp) over the expired-shift handling
// (expired_shifts.cpp) over the record primitives (machine_data_records.cpp,
// machine_data_validation.cpp, machine_status.cpp, shift_calendar.cpp,
// row_writes.cpp), where the close-and-roll sequence of a record lives once;
// record_fields.h, record_periods.h and shift_dates.h hold its pure parts.
//
// May touch: the session; T_SFC_MACHINE_DATA and its downtime and scrap
// rows, T_SFC_MACHINE (status and record pointer), the shift tables. Calls
// reference data (user lookups). Its operations run inside the calling
// handler's transaction and let database errors reach it (DbError or
// ComError). A record created for a machine takes its hierarchy from the
// MachineKeys it is given.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_RECORDS_MACHINE_RECORDS_H_
#define VOLTRANE_LIBRARY_RECORDS_MACHINE_RECORDS_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dbaccess/date_time.h"
#include "dbaccess/recordset.h"
#include "dbaccess/variant.h"
#include "library/core/log_entry.h"
#include "library/records/machine_data_kinds.h"
#include "library/records/machine_state_cache.h"
#include "library/records/record_refresh.h"
#include "library/session/session.h"

namespace korvex7::internal {

class ReferenceData;

class MachineRecords : public TransactionClient, public RecordRefresh {
 public:
  // Column names and values of one row, in the order they are written.
  using RowValues = std::vector<std::pair<std::string, dbaccess::Variant>>;

  MachineRecords(Session& session, ReferenceData& reference)
      : TransactionClient(session),
        reference_(reference),
        commit_progress_([&session] { return session.CommitProgress(); }),
        state_(session) {}

  // Completes the record: the public operation of korvex7.h.
  void CompleteMachineDataRecord(int32_t lMachineDataID);

  // The current record (current_record.cpp): the refresh request of a row
  // without a command, and the two entry points of the handlers below.
  bool RefreshRecords(const MachineKeys& machine, const dbaccess::DateTime& dtTime) override;
  // Brings the machine's records up to dtTime (inside the caller's
  // transaction) and returns the id of the record current afterwards.
  // Throws OutOfOrderRow for a time older than the machine has recorded.
  int32_t GetCurrentMachineDataID(const MachineKeys& machine, const dbaccess::DateTime& dtTime);
  // The same, and the current record open for editing: the one the shift
  // handling has just read, so that a handler does not read it again.
  dbaccess::RecordsetPtr OpenCurrentMachineDataRecord(const MachineKeys& machine,
                                                      const dbaccess::DateTime& dtTime,
                                                      int32_t& lMachineDataID);

  // Machine data records (machine_data_records.cpp, machine_data_validation.cpp,
  // machine_status.cpp). They run inside the calling handler's transaction
  // and let database errors reach it (DbError or ComError).
  // The caller of a shift split writes the new record's shift columns
  // itself. A machine's first record (no previous one) takes the keys of
  // `machine`.
  int32_t CreateNextMachineDataRecord(const MachineKeys& machine, int32_t lPrevMachineDataID,
                                      MachineDataSplitKind eKind, const dbaccess::DateTime& dtTime);
  void PrepareMachineDataRecordForCompletion(int32_t lMachineDataID,
                                             const dbaccess::DateTime& dtStopTime);
  // True when the record is invalid; the first failing check is traced.
  bool ValidateMachineDataRecord(int32_t lMachineDataID);
  // The record split of the reference handlers: rsCurrent is the handler's
  // open current record (any changes it made are saved with STOP_TIME);
  // writeNew receives the new record, open and positioned, and the split
  // saves it afterwards. Returns the new record's id.
  int32_t SplitMachineDataRecord(int32_t lMachineID, dbaccess::Recordset& rsCurrent,
                                 MachineDataSplitKind eKind, const dbaccess::DateTime& dtTime,
                                 const std::function<void(dbaccess::Recordset&)>& writeNew);
  // Opens "select * from T_SFC_MACHINE_DATA ... where MACHINE_DATA_ID = id".
  dbaccess::RecordsetPtr OpenMachineDataRecord(int32_t lMachineDataID);
  void SetMachineDataPointer(int32_t lMachineID, int32_t lMachineDataID);
  void SetMachineStatus(int32_t lMachineID, int32_t lStatusCode,
                        const dbaccess::DateTime& dtStatusDate);
  int32_t GetMachineStatus(int32_t lMachineID);
  // -1 when the machine has no row; lDowntimeCodeID is left unchanged when no
  // downtime of the current record is open.
  int32_t GetMachineStatusAndDowntime(int32_t lMachineID, int32_t& lDowntimeCodeID);
  // GetMachineStatus and, from the same read, whether the current record has
  // a part (a part key or an unresolved part number's data start).
  int32_t GetMachineStatusAndPart(int32_t lMachineID, bool& bHasPart);
  // Whether the kept current record (machine_state_cache.h) has a part;
  // nothing when no valid one is kept. Reads nothing.
  std::optional<bool> KeptRecordHasPart(int32_t lMachineID);
  double GetStandardCycleTime(int32_t lMachineID, int32_t lPartID);
  // SQL Server only: one batch inserting the row and reading SCOPE_IDENTITY().
  bool InsertReturningIdentity(const std::string& strTable, const std::string& strColumns,
                               const std::string& strValues, int32_t& lNewID,
                               std::string& strError);
  // Inserts the row without reading the table first and returns its
  // generated key strKeyColumn (row_writes.cpp). Values are bound as given:
  // pass them in their columns' types.
  int32_t InsertRowReturningKey(const std::string& strTable, const std::string& strKeyColumn,
                                const RowValues& row);
  // Runs one statement with positional "?" parameters; returns the rows it
  // changed.
  int64_t ExecuteWithParameters(const std::string& strSQL,
                                const std::vector<dbaccess::Variant>& params);

  // Shift calendar (shift_calendar.cpp). Interval times live on 1970-01-01
  // (swing stops on 1970-01-02). A machine without any shift has a midnight
  // boundary with shift key -1 each day.
  void DetermineChartDateAndShiftInfo(const dbaccess::DateTime& dtTime, int32_t lMachineID,
                                      const std::string& strUserName, bool bInclusive,
                                      dbaccess::DateTime& dtChartDate, int32_t& lShiftID,
                                      bool& bIsSwing, dbaccess::DateTime& dtShiftStart,
                                      dbaccess::DateTime& dtShiftStop);
  dbaccess::DateTime GetNextShiftStart(const dbaccess::DateTime& dtTime, int32_t lMachineID,
                                       int32_t& lShiftID, bool& bIsSwing);
  std::string FilterShiftsForMachine(const std::string& strQuery, int32_t lMachineID);

  // The kept current records: dropped all at once by the loop when what
  // they came from may have changed.
  void ForgetMachineState() { state_.ForgetAll(); }
  const MachineStateCache& MachineState() const { return state_; }

 private:
  // Parts of the record operations above.
  // The close-and-roll sequence, after the closing record's STOP_TIME is
  // written: the next record (created from lClosingID, or lReusedID when
  // not -1) is written by writeNext and becomes current; the closing record
  // (none when -1) has its periods and open downtimes ended at dtTime and is
  // completed. Returns the next record's id.
  int32_t RollToNextRecord(const MachineKeys& machine, int32_t lClosingID,
                           MachineDataSplitKind eKind, const dbaccess::DateTime& dtTime,
                           const std::function<void(dbaccess::Recordset&)>& writeNext,
                           int32_t lReusedID = -1);
  int32_t StoreMachineDataRecord(const RowValues& row);
  void CarryOpenDowntimes(int32_t lPrevMachineDataID, int32_t lNewMachineDataID,
                          const dbaccess::DateTime& dtTime);
  std::string FirstValidationFailure(int32_t lMachineDataID);  // "" when valid
  bool AnyUnresolvedRow(const std::string& strSQL, const char* strID, const char* strDataStart);

  // Expired shifts (expired_shifts.cpp): one pass closes the current record
  // at its boundary and opens the next.
  struct ShiftPass {
    int32_t lRecordID = -1;  // the current record, -1 when none
    dbaccess::DateTime dtRecordStart;
    dbaccess::DateTime dtLatest;        // the record's latest start of anything
    int64_t lLatestMoment = INT64_MIN;  // dtLatest as an instant (UTC ms), to the second
    dbaccess::DateTime dtBoundary;
    int32_t lShiftID = -1;
    std::string strUserName;
    std::optional<dbaccess::DateTime> dtPendingRealEnd;  // a swing record ends at midnight first
    dbaccess::RecordsetPtr rsRecord;  // the current record as read; null once a pass closed it
  };
  // Brings the machine's records up to dtTime; lMachineDataID receives the
  // current record. With bOwnTransaction each pass commits its progress;
  // false when that failed. prsCurrent (may be null) receives the current
  // record as the handling read it, open for editing, when no shift ended;
  // else it stays null.
  bool BringRecordsUpTo(const MachineKeys& machine, const dbaccess::DateTime& dtTime,
                        int32_t& lMachineDataID, bool bOwnTransaction,
                        dbaccess::RecordsetPtr* prsCurrent);
  ShiftPass ReadCurrentShiftRecord(int32_t lMachineID, const dbaccess::DateTime& dtTime);
  void RefuseOutOfOrder(const ShiftPass& pass, const dbaccess::DateTime& dtTime);
  void ComputeBoundary(int32_t lMachineID, ShiftPass& pass);
  int32_t CloseRecordAtBoundary(const MachineKeys& machine, ShiftPass& pass);
  dbaccess::DateTime WriteShiftOfNextRecord(dbaccess::Recordset& rs, ShiftPass& pass,
                                            int32_t lNewShiftID, bool bIsSwing,
                                            const dbaccess::DateTime& dtBoundary,
                                            const dbaccess::DateTime& dtShiftStop,
                                            const dbaccess::DateTime& dtChartDate);

  ReferenceData& reference_;
  // The one batch step the records take: a long catch-up commits what it has
  // done so far (Session::CommitProgress).
  std::function<bool()> commit_progress_;
  // The machines' current records as this process last wrote them.
  MachineStateCache state_;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_RECORDS_MACHINE_RECORDS_H_
