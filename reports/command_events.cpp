#include "reports/command_events.h"

#include "dbaccess/dialect.h"
#include "dbaccess/recordset.h"

namespace reports {

namespace {

using dbaccess::DateTime;
using dbaccess::Variant;

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

std::string CommandIds(const std::map<int64_t, int32_t>& types, bool status_only) {
  std::vector<int64_t> ids;
  for (const auto& [id, type] : types) {
    if (!status_only || type >= kTypeSetup) ids.push_back(id);
  }
  return IdList(ids);
}

}  // namespace

std::string IdList(const std::vector<int64_t>& ids) {
  std::string list;
  for (const int64_t id : ids) list += (list.empty() ? "" : ", ") + std::to_string(id);
  return list.empty() ? "-1" : list;
}

std::map<int64_t, int32_t> ReadCommandTypes(const dbaccess::ConnectionPtr& connection,
                                            int32_t kind, const std::vector<int32_t>& wanted) {
  std::string list;
  for (const int32_t type : wanted) list += (list.empty() ? "" : ", ") + std::to_string(type);
  dbaccess::Recordset rs;
  rs.Open("select COMMAND_ID, COMMAND_TYPE_CODE from T_SFC_COMMAND " + voltrane::NoLockHint(kind) +
              " where COMMAND_TYPE_CODE in (" + (list.empty() ? "-1" : list) + ")",
          connection);
  std::map<int64_t, int32_t> types;
  for (; !rs.Eof(); rs.MoveNext()) {
    types[rs.Fields("COMMAND_ID").Value().ToInt64()] =
        static_cast<int32_t>(rs.Fields("COMMAND_TYPE_CODE").Value().ToInt64());
  }
  return types;
}

std::map<int64_t, std::vector<CommandEvent>> ReadCommandEvents(
    const dbaccess::ConnectionPtr& connection, int32_t kind,
    const std::map<int64_t, int32_t>& types, const std::string& machine_ids, const DateTime& from,
    const DateTime& to, const DateTime& open_end) {
  const std::string hint = voltrane::NoLockHint(kind);
  const std::string start = voltrane::DateTimeLiteral(kind, from);
  const std::string columns =
      "select e.MACHINE_ID, e.COMMAND_ID, e.START_TIME, e.STOP_TIME, e.PARAM1 ";
  const std::string sql =
      columns + "from T_SFC_EVENT e " + hint + " where e.MACHINE_ID in (" + machine_ids +
      ") and e.COMMAND_ID in (" + CommandIds(types, false) + ") and e.START_TIME >= " + start +
      " and e.START_TIME < " + voltrane::DateTimeLiteral(kind, to) + " union all " + columns +
      "from T_SFC_EVENT e " + hint +
      " inner join (select me.MACHINE_ID, me.COMMAND_ID, (select max(x.START_TIME) from "
      "T_SFC_EVENT x " +
      hint +
      " where x.MACHINE_ID = me.MACHINE_ID and x.COMMAND_ID = "
      "me.COMMAND_ID and x.START_TIME < " +
      start + ") as LAST_START from T_SFC_MACHINE_EVENT me " + hint + " where me.MACHINE_ID in (" +
      machine_ids + ") and me.COMMAND_ID in (" + CommandIds(types, true) +
      ")) l on l.MACHINE_ID = e.MACHINE_ID and l.COMMAND_ID = "
      "e.COMMAND_ID and l.LAST_START = e.START_TIME where e.STOP_TIME is null or e.STOP_TIME > " +
      start;
  std::map<int64_t, std::vector<CommandEvent>> events;
  dbaccess::Recordset rs;
  rs.Open(sql, connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    const auto type = types.find(rs.Fields("COMMAND_ID").Value().ToInt64());
    if (type == types.end()) continue;
    CommandEvent event;
    event.start = rs.Fields("START_TIME").Value().ToDateTime();
    const Variant& stop = rs.Fields("STOP_TIME").Value();
    event.stop = stop.IsNull() || stop.IsEmpty() ? open_end : stop.ToDateTime();
    event.type = type->second;
    event.param = Text(rs.Fields("PARAM1").Value());
    events[rs.Fields("MACHINE_ID").Value().ToInt64()].push_back(std::move(event));
  }
  return events;
}

}  // namespace reports
