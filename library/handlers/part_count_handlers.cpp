// Good and scrapped part counts, and the part check that cycles and counts
// share: a machine whose current record has no part first gets a part start
// with an empty number, in its own transaction, so that what it produces
// belongs to a part record.
//
// A count is an event that starts and ends at once. With option 23 counts
// also mark cycle boundaries: the open cycle event ends and the next begins.
// Good counts never take GOOD_COUNT below 0; a negative scrap quantity books
// parts already counted good as scrap (GOOD_COUNT falls, SCRAPPED_COUNT
// rises, the scrap row holds the positive quantity). Each handler runs in
// its own transaction (RunHandlerTransaction). Processing thread only.
#include <optional>
#include <string>

#include "dbaccess/dialect.h"
#include "library/core/handler_outcome.h"
#include "library/dispatch/command_types.h"
#include "library/handlers/activity_handlers.h"
#include "library/handlers/event_handlers.h"
#include "library/handlers/part_count_parameters.h"
#include "library/handlers/reference_handlers.h"
#include "library/intake/intake.h"
#include "library/records/machine_records.h"
#include "library/reference/reference_data.h"
#include "library/session/error_text.h"
#include "library/session/string_table.h"

namespace korvex7::internal {

namespace {

constexpr int32_t kMsgPartStartLocked = 109;
constexpr int32_t kMsgGoodPartCountLocked = 121;
constexpr int32_t kMsgScrappedPartCountLocked = 122;

constexpr int32_t kCountsMarkCyclesOption = 23;

bool HasValue(const dbaccess::Variant& value) { return !value.IsNull() && !value.IsEmpty(); }

int64_t CounterValue(const dbaccess::Variant& value) {
  return HasValue(value) ? value.ToInt64() : 0;
}

}  // namespace

bool ActivityHandlers::EnsureCurrentRecordHasPart(const CommandContext& command,
                                                  std::string& strError) {
  bool bHasPart = false;
  try {
    if (const std::optional<bool> bKept = records_.KeptRecordHasPart(command.machine.lMachineID)) {
      if (*bKept) return true;
      return reference_handlers_.DoPartStart(command.WithParam(""), strError);
    }
    const std::string strHint = dialect().table_hint;
    dbaccess::RecordsetPtr rs =
        OpenQuery(std::string("select T_SFC_MACHINE_DATA.PART_DATA_START_ID, ") +
                  " T_SFC_MACHINE_DATA.PART_ID " + " from T_SFC_MACHINE_DATA" + strHint +
                  ", T_SFC_MACHINE" + strHint + " " +
                  " where T_SFC_MACHINE.MACHINE_DATA_ID = T_SFC_MACHINE_DATA.MACHINE_DATA_ID " +
                  " and T_SFC_MACHINE.MACHINE_ID = " + std::to_string(command.machine.lMachineID));
    // A machine without any record has no part either.
    bHasPart = !rs->Eof() && (HasValue(rs->Fields("PART_DATA_START_ID").Value()) ||
                              HasValue(rs->Fields("PART_ID").Value()));
    CloseRecordset(rs);
  } catch (...) {
    strError = CurrentError().description;
    return false;
  }
  if (bHasPart) return true;
  return reference_handlers_.DoPartStart(command.WithParam(""), strError);
}

bool ActivityHandlers::CountParts(
    const CommandContext& command, int32_t lLockedMessage,
    const std::function<HandlerOutcome(int32_t, dbaccess::RecordsetPtr&)>& count,
    std::string& strError) {
  strError.clear();
  if (!EnsureCurrentRecordHasPart(command, strError)) {
    return false;
  }
  strError.clear();
  return RunHandlerTransaction(true, lLockedMessage, strError, [&] {
    int32_t lMachineDataID = -1;
    dbaccess::RecordsetPtr rs =
        records_.OpenCurrentMachineDataRecord(command.machine, command.time, lMachineDataID);
    const HandlerOutcome outcome = count(lMachineDataID, rs);
    CloseRecordset(rs);
    return outcome;
  });
}

bool ActivityHandlers::DoGoodPartCount(const CommandContext& command, std::string& strError) {
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strCount = command.param;
  const auto count = [&](int32_t, dbaccess::RecordsetPtr& rs) {
    const int32_t lCount = NormalizePartCount(strCount);
    events_.AddEventRecord(command.machine,
                           intake_.GetCommandIDForType(commandtype::kGoodPartCount),
                           std::to_string(lCount), dtCurrentTime, true);
    if (!MarkCountCycleBoundary(command)) {
      strError = LoadResMessage(kMsgPartStartLocked);
      return HandlerOutcome::kFailed;
    }
    if (!rs->Eof()) {
      const int64_t lTotal = CounterValue(rs->Fields("GOOD_COUNT").Value()) + lCount;
      rs->Fields("GOOD_COUNT") = lTotal < 0 ? int64_t{0} : lTotal;
      rs->Update();
    }
    CloseRecordset(rs);
    return HandlerOutcome::kDone;
  };
  return CountParts(command, kMsgGoodPartCountLocked, count, strError);
}

bool ActivityHandlers::DoScrappedPartCount(const CommandContext& command, std::string& strError) {
  const dbaccess::DateTime& dtCurrentTime = command.time;
  const std::string& strParam = command.param;
  const auto count = [&](int32_t lMachineDataID, dbaccess::RecordsetPtr& rs) {
    ScrapCountParameter scrap = ParseScrapCountParameter(strParam);
    if (scrap.strCode.empty()) scrap.strCode = reference_.GetDefaultScrapCodeNumber();
    const int32_t lCodeID = reference_.GetScrapCodeID(scrap.strCode);
    events_.AddEventRecord(command.machine,
                           intake_.GetCommandIDForType(commandtype::kScrappedPartCount), strParam,
                           dtCurrentTime, true);
    if (!MarkCountCycleBoundary(command)) {
      strError = LoadResMessage(kMsgPartStartLocked);
      return HandlerOutcome::kFailed;
    }
    if (!rs->Eof()) {
      const int64_t lQuantity = scrap.lQuantity;
      rs->Fields("SCRAPPED_COUNT") = CounterValue(rs->Fields("SCRAPPED_COUNT").Value()) +
                                     (lQuantity < 0 ? -lQuantity : lQuantity);
      if (lQuantity < 0) {
        rs->Fields("GOOD_COUNT") = CounterValue(rs->Fields("GOOD_COUNT").Value()) + lQuantity;
      }
      rs->Update();
    }
    CloseRecordset(rs);
    AddScrapRow(lMachineDataID, scrap.lQuantity, lCodeID, scrap.strCode, dtCurrentTime);
    return HandlerOutcome::kDone;
  };
  return CountParts(command, kMsgScrappedPartCountLocked, count, strError);
}

bool ActivityHandlers::MarkCountCycleBoundary(const CommandContext& command) {
  if (!count_parts_option_read_) {
    count_parts_option_ = GetBoolOption(kCountsMarkCyclesOption);
    count_parts_option_read_ = true;
  }
  if (!count_parts_option_) return true;
  const int32_t lCycleCommandID = intake_.GetCommandIDForType(commandtype::kCycle);
  bool bEnded = false;
  if (!events_.SetEventStopTime(command.machine.lMachineID, lCycleCommandID, command.time, 1,
                                &bEnded)) {
    return false;
  }
  if (bEnded) events_.AddEventRecord(command.machine, lCycleCommandID, "", command.time, false);
  return true;
}

}  // namespace korvex7::internal
