#include "tools/plant_day_writer.h"

#include <fmt/format.h>

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"

namespace {

using dbaccess::DateTime;

constexpr size_t kRowsPerTransaction = 1000;
constexpr int64_t kDayMs = 24LL * 60 * 60 * 1000;

std::string Text(const dbaccess::Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

}  // namespace

std::string PlantDayWriter::CheckMachines(const std::vector<SimulatedMachine>& machines,
                                          const DateTime& start) {
  for (const SimulatedMachine& simulated : machines) {
    dbaccess::Recordset rs;
    rs.Open(
        "select m.MACHINE_ID, m.GROUP_ID, g.LOCATION_ID, l.DEPT_ID, "
        "(select max(md.START_TIME) from T_SFC_MACHINE_DATA md where md.MACHINE_ID = "
        "m.MACHINE_ID) as LAST_RECORD, (select max(lg.TIME_STAMP) from T_SFC_MDC_LOG lg "
        "where lg.MACHINE_ID = m.MACHINE_ID) as LAST_ROW from T_SFC_MACHINE m, T_SFC_GROUP g, "
        "T_SFC_LOCATION l where g.GROUP_ID = m.GROUP_ID and l.LOCATION_ID = g.LOCATION_ID "
        "and m.MACHINE_NUMBER = " +
            voltrane::QuotedStr(kind_, simulated.number),
        connection_);
    if (rs.Eof()) return "No such machine (or it has no group and location): " + simulated.number;
    for (const char* column : {"LAST_RECORD", "LAST_ROW"}) {
      const dbaccess::Variant& last = rs.Fields(column).Value();
      if (!last.IsNull() && !last.IsEmpty() && last.ToDateTime() > start) {
        return fmt::format(
            "Machine {} already has {} up to {}; rows of an earlier plant day would be "
            "discarded as out of order. Choose a later --day.",
            simulated.number, std::string(column) == "LAST_RECORD" ? "records" : "rows waiting",
            last.ToDateTime().ToTextSeconds());
      }
    }
    machines_[simulated.number] = {
        rs.Fields("MACHINE_ID").Value().ToInt64(), rs.Fields("GROUP_ID").Value().ToInt64(),
        rs.Fields("LOCATION_ID").Value().ToInt64(), rs.Fields("DEPT_ID").Value().ToInt64()};
  }
  dbaccess::Recordset rs;
  rs.Open(
      "select COMMAND_TYPE_CODE, min(COMMAND_ID) as COMMAND_ID from T_SFC_COMMAND "
      "group by COMMAND_TYPE_CODE",
      connection_);
  for (; !rs.Eof(); rs.MoveNext()) {
    if (Text(rs.Fields("COMMAND_TYPE_CODE").Value()).empty()) continue;
    commands_[static_cast<int32_t>(rs.Fields("COMMAND_TYPE_CODE").Value().ToInt64())] =
        rs.Fields("COMMAND_ID").Value().ToInt64();
  }
  return "";
}

void PlantDayWriter::InsertRows(const std::vector<korvex7::LogRow>& rows) {
  connection_->BeginTrans();
  try {
    rows_.AppendRows(rows);
    connection_->CommitTrans();
  } catch (...) {
    if (connection_->InTransaction()) connection_->RollbackTrans();
    throw;
  }
}

PlantDayResult PlantDayWriter::Write(PlantSimulator& simulator, const DateTime& first_day, int days,
                                     int64_t max_commands,
                                     const std::function<void(int64_t)>& progress) {
  PlantDayResult result;
  const DateTime start = first_day.DatePart();
  result.refusal = CheckMachines(simulator.Profile().machines, start);
  if (!result.refusal.empty()) return result;

  const int64_t end_ms = kDayMs * days;
  std::vector<korvex7::LogRow> batch;
  const auto flush = [&]() {
    if (batch.empty()) return;
    InsertRows(batch);
    batch.clear();
    if (progress) progress(result.rows);
  };
  bool whole_days = false;
  while (max_commands < 0 || result.rows < max_commands) {
    const SimulatedCommand command = simulator.Next();
    if (command.at_ms >= end_ms) {
      whole_days = true;
      break;
    }
    const auto found = commands_.find(command.command_type_code);
    if (found == commands_.end()) {
      result.refusal = korvex7::NoSuchCommandTypeRefusal(command.command_type_code).text;
      flush();
      return result;
    }
    batch.push_back({found->second, machines_.at(command.machine_number),
                     command.command_time_code, start.AddMilliseconds(command.at_ms),
                     command.param});
    ++result.rows;
    ++result.rows_per_machine[command.machine_number];
    if (batch.size() >= kRowsPerTransaction) flush();
  }
  // The refresh requests close every machine's records up to the end.
  if (whole_days) {
    const DateTime end = start.AddMilliseconds(end_ms);
    for (const SimulatedMachine& machine : simulator.Profile().machines) {
      batch.push_back({-1, machines_.at(machine.number), korvex7::Code(korvex7::TimeCode::kStart),
                       end, ""});
    }
  }
  flush();
  result.written = true;
  return result;
}
