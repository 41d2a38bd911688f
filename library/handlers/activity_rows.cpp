// Downtime and scrap rows of machine data records. A code that the lookup
// found is stored by its key; an unknown one by its number, with the row's
// own key as its data start, so that a later repair can find every row that
// carries it. On SQL Server a new row is inserted by one batch that returns
// its identity; elsewhere through an updatable recordset. Run in the calling
// handler's transaction; database errors reach it.
#include <fmt/format.h>

#include <string>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "library/handlers/handlers.h"
#include "library/records/machine_records.h"
#include "library/records/record_periods.h"

namespace {

// The date literal of the SQL Server insert batch, which sets DATEFORMAT MDY.
std::string MonthDayYearLiteral(const dbaccess::DateTime& dtValue) {
  return fmt::format("'{:02}/{:02}/{:04} {:02}:{:02}:{:02}'", dtValue.Month(), dtValue.Day(),
                     dtValue.Year(), dtValue.Hour(), dtValue.Minute(), dtValue.Second());
}

// The table hint as these statements place it, between two blanks.
std::string SpacedNoLockHint(int32_t lDatabaseType) {
  return lDatabaseType == voltrane::dbkind::kSqlServer ? " with (NOLOCK) " : "";
}

}  // namespace

void Handlers::CloseOpenDowntime(int32_t lMachineDataID, int32_t lDowntimeTypeCode,
                                 const dbaccess::DateTime& dtCurrentTime) {
  dbaccess::RecordsetPtr rs = OpenQuery(
      "select * from T_SFC_DT_PER_MACHINE_DATA " + SpacedNoLockHint(DatabaseType()) +
      " where MACHINE_DATA_ID = " + std::to_string(lMachineDataID) + " and STOP_TIME IS NULL " +
      " and DOWNTIME_TYPE_CODE = " + std::to_string(lDowntimeTypeCode));
  CloseFirstOpenDowntime(*rs, dtCurrentTime);
  CloseRecordset(rs);
}

int32_t Handlers::AddDowntimeRow(int32_t lMachineDataID, int32_t lDowntimeTypeCode, int32_t lCodeID,
                                 const std::string& strCodeNumber,
                                 const dbaccess::DateTime& dtCurrentTime) {
  int32_t lRowID = 0;
  if (DatabaseType() == voltrane::dbkind::kSqlServer) {
    std::string strError;
    if (!records_.InsertReturningIdentity(
            "T_SFC_DT_PER_MACHINE_DATA",
            "MACHINE_DATA_ID, START_TIME, DOWNTIME_TYPE_CODE, DURATION",
            std::to_string(lMachineDataID) + ", " + MonthDayYearLiteral(dtCurrentTime) + ", " +
                std::to_string(lDowntimeTypeCode) + ", 0",
            lRowID, strError)) {
      throw dbaccess::DbError(-1, strError);
    }
  } else {
    dbaccess::RecordsetPtr rsNew =
        OpenQuery("select * from T_SFC_DT_PER_MACHINE_DATA  where DT_PER_MACHINE_DATA_ID = 0");
    rsNew->AddNew();
    rsNew->Fields("MACHINE_DATA_ID") = lMachineDataID;
    rsNew->Fields("START_TIME") = dtCurrentTime;
    rsNew->Fields("DOWNTIME_TYPE_CODE") = lDowntimeTypeCode;
    rsNew->Fields("DURATION") = 0;
    rsNew->Update();
    lRowID = rsNew->Fields("DT_PER_MACHINE_DATA_ID").Value().ToLong();
    CloseRecordset(rsNew);
  }

  dbaccess::RecordsetPtr rs =
      OpenQuery("select * from T_SFC_DT_PER_MACHINE_DATA " + SpacedNoLockHint(DatabaseType()) +
                " where DT_PER_MACHINE_DATA_ID = " + std::to_string(lRowID));
  if (lCodeID != -1) {
    rs->Fields("DOWNTIME_CODE_ID") = lCodeID;
  } else {
    rs->Fields("DT_NUMBER") = strCodeNumber;
    rs->Fields("DT_DATA_START_ID") = lRowID;
  }
  rs->Update();
  CloseRecordset(rs);
  return lRowID;
}

void Handlers::AddScrapRow(int32_t lMachineDataID, int32_t lQuantity, int32_t lCodeID,
                           const std::string& strCodeNumber,
                           const dbaccess::DateTime& dtCurrentTime) {
  // QTY is never negative: a negative count books good parts as scrap.
  const int32_t lQty = lQuantity < 0 ? -lQuantity : lQuantity;
  int32_t lRowID = 0;
  if (DatabaseType() == voltrane::dbkind::kSqlServer) {
    std::string strColumns = "MACHINE_DATA_ID, START_TIME, QTY";
    std::string strValues = std::to_string(lMachineDataID) + ", " +
                            MonthDayYearLiteral(dtCurrentTime) + ", " + std::to_string(lQty);
    if (lCodeID == -1) {
      strColumns += ", SCRAP_CODE_NUMBER";
      strValues += ", " + voltrane::QuotedStr(DatabaseType(), strCodeNumber);
    } else {
      strColumns += ", SCRAP_CODE_ID";
      strValues += ", " + std::to_string(lCodeID);
    }
    std::string strError;
    if (!records_.InsertReturningIdentity("T_SFC_SCRAP_PER_MACHINE_DATA", strColumns, strValues,
                                          lRowID, strError)) {
      throw dbaccess::DbError(-1, strError);
    }
    if (lCodeID != -1) return;
    dbaccess::RecordsetPtr rs =
        OpenQuery("select * from T_SFC_SCRAP_PER_MACHINE_DATA " + SpacedNoLockHint(DatabaseType()) +
                  " where SCRAP_PER_MACHINE_DATA_ID = " + std::to_string(lRowID));
    rs->Fields("SCRAP_DATA_START_ID") = lRowID;
    rs->Update();
    CloseRecordset(rs);
    return;
  }

  dbaccess::RecordsetPtr rs =
      OpenQuery("select * from T_SFC_SCRAP_PER_MACHINE_DATA  where SCRAP_PER_MACHINE_DATA_ID = 0 ");
  rs->AddNew();
  rs->Fields("MACHINE_DATA_ID") = lMachineDataID;
  rs->Fields("START_TIME") = dtCurrentTime;
  rs->Fields("QTY") = lQty;
  if (lCodeID != -1) rs->Fields("SCRAP_CODE_ID") = lCodeID;
  if (lCodeID == -1) rs->Fields("SCRAP_CODE_NUMBER") = strCodeNumber;
  rs->Update();
  lRowID = rs->Fields("SCRAP_PER_MACHINE_DATA_ID").Value().ToLong();
  if (lCodeID == -1) {
    // The row is its own data start; set once its key exists.
    rs->Fields("SCRAP_DATA_START_ID") = lRowID;
    rs->Update();
  }
  CloseRecordset(rs);
}
