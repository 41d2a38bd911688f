#include "web/machine_board.h"

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"

namespace web {
namespace {

using dbaccess::Variant;

std::string Text(dbaccess::Recordset& rows, const char* column) {
  const Variant& value = rows.Fields(column).Value();
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

std::optional<int32_t> Integer(dbaccess::Recordset& rows, const char* column) {
  const Variant& value = rows.Fields(column).Value();
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  return value.ToLong();
}

std::optional<dbaccess::DateTime> Time(dbaccess::Recordset& rows, const char* column) {
  const Variant& value = rows.Fields(column).Value();
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  return value.ToDateTime();
}

// One statement for the whole board: the current record by the machine's
// pointer, the shift totals summed over the records that share its machine,
// chart date and shift (a record without a shift counts with the others
// without one). A record names a known operator, job, operation or part by
// key only and keeps the text just for one it could not resolve.
constexpr const char* kTilesStatement =
    "select m.MACHINE_ID, m.MACHINE_NUMBER, m.MACHINE_NAME, m.STATUS_CODE, m.STATUS_DATE, "
    "coalesce(u.USER_NAME, md.USER_NAME) as USER_NAME, "
    "coalesce(j.JOB_NUMBER, md.JOB_NUMBER) as JOB_NUMBER, "
    "coalesce(o.OP_NUMBER, md.OP_NUMBER) as OP_NUMBER, "
    "coalesce(p.PART_NUMBER, md.PART_NUMBER) as PART_NUMBER, md.SHIFT_ID, md.CHART_DATE, "
    "s.SHIFT_NAME, "
    "(select sum(t.GOOD_COUNT) from T_SFC_MACHINE_DATA t where t.MACHINE_ID = m.MACHINE_ID "
    "and t.CHART_DATE = md.CHART_DATE and (t.SHIFT_ID = md.SHIFT_ID or "
    "(t.SHIFT_ID is null and md.SHIFT_ID is null))) as GOOD, "
    "(select sum(t.SCRAPPED_COUNT) from T_SFC_MACHINE_DATA t where t.MACHINE_ID = m.MACHINE_ID "
    "and t.CHART_DATE = md.CHART_DATE and (t.SHIFT_ID = md.SHIFT_ID or "
    "(t.SHIFT_ID is null and md.SHIFT_ID is null))) as SCRAP "
    "from T_SFC_MACHINE m "
    "left join T_SFC_MACHINE_DATA md on md.MACHINE_DATA_ID = m.MACHINE_DATA_ID "
    "left join T_SFC_SHIFT s on s.SHIFT_ID = md.SHIFT_ID "
    "left join T_SFC_USER u on u.USER_ID = md.USER_ID "
    "left join T_SFC_JOB j on j.JOB_ID = md.JOB_ID "
    "left join T_SFC_OP o on o.OP_ID = md.OP_ID "
    "left join T_SFC_PART p on p.PART_ID = md.PART_ID";

}  // namespace

std::string StatusName(std::optional<int32_t> status) {
  if (!status) return "unknown";
  switch (*status) {
    case 0:
      return "idle";
    case 1:
      return "setup";
    case 2:
      return "cycle";
    case 3:
      return "downtime";
    case 4:
      return "teardown";
    default:
      return "unknown";
  }
}

std::vector<MachineTile> ReadMachineTiles(const dbaccess::ConnectionPtr& reads, int32_t kind,
                                          const std::optional<std::string>& machine_number) {
  std::string sql = kTilesStatement;
  if (machine_number)
    sql += " where m.MACHINE_NUMBER = " + voltrane::QuotedStr(kind, *machine_number);
  sql += " order by m.MACHINE_NUMBER";
  dbaccess::Recordset rows;
  rows.Open(sql, reads);
  std::vector<MachineTile> tiles;
  for (; !rows.Eof(); rows.MoveNext()) {
    MachineTile tile;
    tile.machine_id = rows.Fields("MACHINE_ID").Value().ToLong();
    tile.number = Text(rows, "MACHINE_NUMBER");
    tile.name = Text(rows, "MACHINE_NAME");
    tile.status = Integer(rows, "STATUS_CODE");
    tile.since = Time(rows, "STATUS_DATE");
    tile.operator_name = Text(rows, "USER_NAME");
    tile.job = Text(rows, "JOB_NUMBER");
    tile.operation = Text(rows, "OP_NUMBER");
    tile.part = Text(rows, "PART_NUMBER");
    tile.shift_id = Integer(rows, "SHIFT_ID");
    tile.shift_name = Text(rows, "SHIFT_NAME");
    tile.chart_date = Time(rows, "CHART_DATE");
    tile.good = Integer(rows, "GOOD").value_or(0);
    tile.scrap = Integer(rows, "SCRAP").value_or(0);
    tiles.push_back(std::move(tile));
  }
  return tiles;
}

std::vector<MachineEvent> ReadRecentEvents(const dbaccess::ConnectionPtr& reads, int32_t kind,
                                           int32_t machine_id, int32_t count) {
  const std::string sql = voltrane::GetTop(
      kind, count,
      "select e.START_TIME, e.STOP_TIME, e.PARAM1, c.COMMAND_NAME, c.COMMAND_TYPE_CODE "
      "from T_SFC_EVENT e left join T_SFC_COMMAND c on c.COMMAND_ID = e.COMMAND_ID "
      "where e.MACHINE_ID = " +
          std::to_string(machine_id) + " order by e.START_TIME desc, e.EVENT_ID desc");
  dbaccess::Recordset rows;
  rows.Open(sql, reads);
  std::vector<MachineEvent> events;
  for (; !rows.Eof(); rows.MoveNext()) {
    MachineEvent event;
    event.start = rows.Fields("START_TIME").Value().ToDateTime();
    event.stop = Time(rows, "STOP_TIME");
    event.command = Text(rows, "COMMAND_NAME");
    if (event.command.empty()) {
      event.command = "command type " + Text(rows, "COMMAND_TYPE_CODE");
    }
    event.type_code = Integer(rows, "COMMAND_TYPE_CODE");
    event.param = Text(rows, "PARAM1");
    events.push_back(std::move(event));
  }
  return events;
}

int64_t ReadLogCount(const dbaccess::ConnectionPtr& reads) {
  dbaccess::Recordset rows;
  rows.Open("select count(*) as CT from T_SFC_MDC_LOG", reads);
  return rows.Fields("CT").Value().ToInt64();
}

dbaccess::DateTime ReadDatabaseNow(const dbaccess::ConnectionPtr& reads, int32_t kind) {
  dbaccess::Recordset rows;
  rows.Open("select " + voltrane::SysDateExpr(kind) + voltrane::FromDualClause(kind), reads);
  return rows.Fields(size_t{0}).Value().ToDateTime();
}

}  // namespace web
