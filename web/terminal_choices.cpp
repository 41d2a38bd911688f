#include "web/terminal_choices.h"

#include <map>
#include <string>

#include "dbaccess/recordset.h"

namespace web {
namespace {

using nlohmann::json;

std::string Text(dbaccess::Recordset& rows, const char* column) {
  const dbaccess::Variant& value = rows.Fields(column).Value();
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

// Every row of `sql` made into one JSON value by `row`.
template <typename Row>
json ReadList(const dbaccess::ConnectionPtr& reads, const std::string& sql, Row row) {
  dbaccess::Recordset rows;
  rows.Open(sql, reads);
  json list = json::array();
  for (; !rows.Eof(); rows.MoveNext()) list.push_back(row(rows));
  return list;
}

json Operators(const dbaccess::ConnectionPtr& reads) {
  return ReadList(reads,
                  "select USER_NAME, FIRST_NAME, LAST_NAME from T_SFC_USER "
                  "where USER_NAME is not null order by USER_NAME",
                  [](dbaccess::Recordset& rows) {
                    std::string name = Text(rows, "FIRST_NAME");
                    const std::string last = Text(rows, "LAST_NAME");
                    if (!last.empty()) name += (name.empty() ? "" : " ") + last;
                    return json{{"user", Text(rows, "USER_NAME")}, {"name", name}};
                  });
}

// Jobs not closed (status 0 pending, 1 in process, or none), each with its
// parts in ORDINAL order.
json OpenJobs(const dbaccess::ConnectionPtr& reads) {
  std::map<std::string, json> parts_of_job;
  dbaccess::Recordset rows;
  rows.Open(
      "select j.JOB_NUMBER, p.PART_NUMBER from T_SFC_PART_PER_JOB pj "
      "join T_SFC_JOB j on j.JOB_ID = pj.JOB_ID join T_SFC_PART p on p.PART_ID = pj.PART_ID "
      "order by j.JOB_NUMBER, pj.ORDINAL, pj.PART_PER_JOB_ID",
      reads);
  for (; !rows.Eof(); rows.MoveNext()) {
    parts_of_job[Text(rows, "JOB_NUMBER")].push_back(Text(rows, "PART_NUMBER"));
  }
  return ReadList(reads,
                  "select JOB_NUMBER, JOB_NAME from T_SFC_JOB where JOB_NUMBER is not null "
                  "and (STATUS_CODE is null or STATUS_CODE < 2) order by JOB_NUMBER",
                  [&parts_of_job](dbaccess::Recordset& job) {
                    const std::string number = Text(job, "JOB_NUMBER");
                    const auto parts = parts_of_job.find(number);
                    return json{
                        {"job", number},
                        {"name", Text(job, "JOB_NAME")},
                        {"parts", parts == parts_of_job.end() ? json::array() : parts->second}};
                  });
}

json Numbers(const dbaccess::ConnectionPtr& reads, const std::string& sql) {
  return ReadList(reads, sql, [](dbaccess::Recordset& rows) { return json(Text(rows, "NUMBER")); });
}

// Codes of DOWNTIME_TYPE_CODE `type` or 2 (both), by number.
json DowntimeCodes(const dbaccess::ConnectionPtr& reads, int type) {
  return ReadList(
      reads,
      "select DOWNTIME_CODE_NUMBER, DOWNTIME_CODE_NAME, PLANNED "
      "from T_SFC_DOWNTIME_CODE where DOWNTIME_TYPE_CODE in (" +
          std::to_string(type) + ", 2) order by DOWNTIME_CODE_NUMBER",
      [](dbaccess::Recordset& rows) {
        const dbaccess::Variant& planned = rows.Fields("PLANNED").Value();
        return json{{"code", Text(rows, "DOWNTIME_CODE_NUMBER")},
                    {"name", Text(rows, "DOWNTIME_CODE_NAME")},
                    {"planned", !planned.IsNull() && !planned.IsEmpty() && planned.ToLong() != 0}};
      });
}

}  // namespace

json ReadTerminalChoices(const dbaccess::ConnectionPtr& reads) {
  return json{
      {"operators", Operators(reads)},
      {"jobs", OpenJobs(reads)},
      {"parts", Numbers(reads,
                        "select PART_NUMBER as NUMBER from T_SFC_PART "
                        "where PART_NUMBER is not null order by PART_NUMBER")},
      {"operations", Numbers(reads,
                             "select OP_NUMBER as NUMBER from T_SFC_OP "
                             "where OP_NUMBER is not null order by OP_NUMBER")},
      {"machine_downtime_codes", DowntimeCodes(reads, 0)},
      {"user_downtime_codes", DowntimeCodes(reads, 1)},
      {"scrap_codes", ReadList(reads,
                               "select SCRAP_CODE_NUMBER, SCRAP_CODE_NAME from T_SFC_SCRAP_CODE "
                               "order by SCRAP_CODE_NUMBER",
                               [](dbaccess::Recordset& rows) {
                                 return json{{"code", Text(rows, "SCRAP_CODE_NUMBER")},
                                             {"name", Text(rows, "SCRAP_CODE_NAME")}};
                               })},
  };
}

}  // namespace web
