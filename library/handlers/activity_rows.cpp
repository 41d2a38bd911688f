// Downtime and scrap rows of machine data records. A code that the lookup
// found is stored by its key; an unknown one by its number, with the row's
// own key as its data start, so that a later repair can find every row that
// carries it. On SQL Server a new row is inserted by one batch that returns
// its identity; elsewhere by an insert that hands back the new key. Run in the calling
// handler's transaction; database errors reach it.
#include <fmt/format.h>

#include <string>

#include "dbaccess/db_error.h"
#include "dbaccess/dialect.h"
#include "library/handlers/activity_handlers.h"
#include "library/handlers/event_handlers.h"
#include "library/records/machine_records.h"
#include "library/records/record_periods.h"

namespace korvex7::internal {

namespace {

// The date literal of the SQL Server insert batch, which sets DATEFORMAT MDY.
std::string MonthDayYearLiteral(const dbaccess::DateTime& dtValue) {
  return fmt::format("'{:02}/{:02}/{:04} {:02}:{:02}:{:02}'", dtValue.Month(), dtValue.Day(),
                     dtValue.Year(), dtValue.Hour(), dtValue.Minute(), dtValue.Second());
}

}  // namespace

void ActivityHandlers::CloseOpenDowntime(int32_t lMachineDataID, int32_t lDowntimeTypeCode,
                                         const dbaccess::DateTime& dtCurrentTime) {
  dbaccess::RecordsetPtr rs = OpenQuery(
      "select * from T_SFC_DT_PER_MACHINE_DATA " + dialect().SpacedTableHint() +
      " where MACHINE_DATA_ID = " + std::to_string(lMachineDataID) + " and STOP_TIME IS NULL " +
      " and DOWNTIME_TYPE_CODE = " + std::to_string(lDowntimeTypeCode));
  CloseFirstOpenDowntime(*rs, dtCurrentTime);
  CloseRecordset(rs);
}

int32_t ActivityHandlers::AddDowntimeRow(int32_t lMachineDataID, int32_t lDowntimeTypeCode,
                                         int32_t lCodeID, const std::string& strCodeNumber,
                                         const dbaccess::DateTime& dtCurrentTime) {
  if (dialect().inserted_key != voltrane::InsertedKey::kIdentityBatch) {
    // The code is written with the row; only an unresolved number waits for
    // the row's key.
    MachineRecords::RowValues row = {{"MACHINE_DATA_ID", lMachineDataID},
                                     {"START_TIME", dtCurrentTime},
                                     {"DOWNTIME_TYPE_CODE", lDowntimeTypeCode},
                                     {"DURATION", 0.0}};
    if (lCodeID != -1) {
      row.emplace_back("DOWNTIME_CODE_ID", lCodeID);
    } else {
      row.emplace_back("DT_NUMBER", strCodeNumber);
    }
    const int32_t lRowID =
        records_.InsertRowReturningKey("T_SFC_DT_PER_MACHINE_DATA", "DT_PER_MACHINE_DATA_ID", row);
    if (lCodeID == -1) {
      records_.ExecuteWithParameters(
          "update T_SFC_DT_PER_MACHINE_DATA set DT_DATA_START_ID = ? "
          "where DT_PER_MACHINE_DATA_ID = ?",
          {lRowID, lRowID});
    }
    return lRowID;
  }

  int32_t lRowID = 0;
  std::string strError;
  if (!records_.InsertReturningIdentity(
          "T_SFC_DT_PER_MACHINE_DATA", "MACHINE_DATA_ID, START_TIME, DOWNTIME_TYPE_CODE, DURATION",
          std::to_string(lMachineDataID) + ", " + MonthDayYearLiteral(dtCurrentTime) + ", " +
              std::to_string(lDowntimeTypeCode) + ", 0",
          lRowID, strError)) {
    throw dbaccess::DbError(-1, strError);
  }
  dbaccess::RecordsetPtr rs =
      OpenQuery("select * from T_SFC_DT_PER_MACHINE_DATA " + dialect().SpacedTableHint() +
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

void ActivityHandlers::AddScrapRow(int32_t lMachineDataID, int32_t lQuantity, int32_t lCodeID,
                                   const std::string& strCodeNumber,
                                   const dbaccess::DateTime& dtCurrentTime) {
  // QTY is never negative: a negative count books good parts as scrap.
  const int32_t lQty = lQuantity < 0 ? -lQuantity : lQuantity;
  int32_t lRowID = 0;
  if (dialect().inserted_key == voltrane::InsertedKey::kIdentityBatch) {
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
        OpenQuery("select * from T_SFC_SCRAP_PER_MACHINE_DATA " + dialect().SpacedTableHint() +
                  " where SCRAP_PER_MACHINE_DATA_ID = " + std::to_string(lRowID));
    rs->Fields("SCRAP_DATA_START_ID") = lRowID;
    rs->Update();
    CloseRecordset(rs);
    return;
  }

  MachineRecords::RowValues row = {
      {"MACHINE_DATA_ID", lMachineDataID}, {"START_TIME", dtCurrentTime}, {"QTY", lQty}};
  if (lCodeID != -1) {
    row.emplace_back("SCRAP_CODE_ID", lCodeID);
  } else {
    row.emplace_back("SCRAP_CODE_NUMBER", strCodeNumber);
  }
  lRowID = records_.InsertRowReturningKey("T_SFC_SCRAP_PER_MACHINE_DATA",
                                          "SCRAP_PER_MACHINE_DATA_ID", row);
  if (lCodeID == -1) {
    // The row is its own data start; set once its key exists.
    records_.ExecuteWithParameters(
        "update T_SFC_SCRAP_PER_MACHINE_DATA set SCRAP_DATA_START_ID = ? "
        "where SCRAP_PER_MACHINE_DATA_ID = ?",
        {lRowID, lRowID});
  }
}

}  // namespace korvex7::internal
