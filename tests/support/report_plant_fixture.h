// A small plant written straight into the shop-floor tables, for the report
// tests: the rows the collector would have written, with values simple
// enough to work out by hand. Monday 2026-03-02 is the day; shift 1 "Day"
// 06:00-14:00 and shift 2 "Swing" 22:00-06:00 (split at midnight).
//
//   101 Lathe: day shift with planned (MAINT 0.5 h, user BREAK 0.25 h) and
//       unplanned (JAM 0.75 h, an uncoded 0.25 h) downtimes, standard time
//       5 min, 60 good + 4 scrap; the swing shift as two records (the evening
//       one without a standard time, 10 good; the morning one 4 min, 60 good,
//       JAM 1 h); an afternoon record without shift or parts; one record
//       charted on 2026-03-01 that a report from 03-02 leaves out.
//   102 Mill: day shifts on 03-02 (standard 3 min, no parts, JAM 2 h) and
//       03-03 (40 good, no downtime).
//   103 Drill: the day shift still open since 06:00 (standard 2 min, 100
//       good) with an open JAM since 09:00.
//   104 Saw: events for a timeline (see the timeline test).
#ifndef VOLTRANE_TESTS_SUPPORT_REPORT_PLANT_FIXTURE_H_
#define VOLTRANE_TESTS_SUPPORT_REPORT_PLANT_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "dbaccess/dialect.h"
#include "tests/support/shop_floor_db.h"

namespace testsupport {

inline dbaccess::DateTime PlantAt(int day, int hour, int minute = 0) {
  return dbaccess::DateTime::FromParts(2026, 3, day, hour, minute);
}

class ReportPlantTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    database_ = CreateShopFloorDatabase(GetParam(), false);
    connection_ = std::make_shared<dbaccess::Connection>();
    connection_->Open(database_.connection_string);
    LoadPlant();
  }
  void TearDown() override {
    connection_->Close();
    DropTestDatabase(database_);
  }

  int32_t kind() const { return database_.kind; }
  void Exec(const std::string& sql) { connection_->Execute(sql); }
  std::string Lit(const dbaccess::DateTime& at) { return voltrane::DateTimeLiteral(kind(), at); }
  std::string LitOrNull(const std::optional<dbaccess::DateTime>& at) {
    return at ? Lit(*at) : "null";
  }

  struct RecordRow {
    int id;
    int machine;
    dbaccess::DateTime start;
    std::optional<dbaccess::DateTime> stop;
    int chart_day;
    std::optional<int> shift;
    std::optional<dbaccess::DateTime> shift_end;
    std::string standard_time;  // "null" or a number
    int good;
    int scrap;
    int finished_cycles = 0;
  };
  void AddRecord(const RecordRow& r) {
    Exec(
        "insert into T_SFC_MACHINE_DATA (MACHINE_DATA_ID, MACHINE_ID, START_TIME, STOP_TIME, "
        "CHART_DATE, SHIFT_ID, SHIFT_END, STANDARD_TIME, GOOD_COUNT, SCRAPPED_COUNT, "
        "FINISHED_CYCLES, STATUS_CODE) values (" +
        std::to_string(r.id) + ", " + std::to_string(r.machine) + ", " + Lit(r.start) + ", " +
        LitOrNull(r.stop) + ", " + Lit(PlantAt(r.chart_day, 0)) + ", " +
        (r.shift ? std::to_string(*r.shift) : "null") + ", " + LitOrNull(r.shift_end) + ", " +
        r.standard_time + ", " + std::to_string(r.good) + ", " + std::to_string(r.scrap) + ", " +
        std::to_string(r.finished_cycles) + ", " + (r.stop ? "2" : "0") + ")");
  }
  // code: DOWNTIME_CODE_ID or "null"; type 0 machine, 1 user.
  void AddDowntime(int record, const std::string& code, const std::string& number, int type,
                   const dbaccess::DateTime& start, std::optional<dbaccess::DateTime> stop,
                   const std::string& duration) {
    Exec(
        "insert into T_SFC_DT_PER_MACHINE_DATA (MACHINE_DATA_ID, DOWNTIME_CODE_ID, DT_NUMBER, "
        "DOWNTIME_TYPE_CODE, START_TIME, STOP_TIME, DURATION) values (" +
        std::to_string(record) + ", " + code + ", '" + number + "', " + std::to_string(type) +
        ", " + Lit(start) + ", " + LitOrNull(stop) + ", " + duration + ")");
  }
  // An event of command `type` (COMMAND_ID = type code here).
  void AddEvent(int machine, int type, const dbaccess::DateTime& start,
                std::optional<dbaccess::DateTime> stop, const std::string& param = "") {
    Exec(
        "insert into T_SFC_EVENT (MACHINE_ID, COMMAND_ID, START_TIME, STOP_TIME, PARAM1) values (" +
        std::to_string(machine) + ", " + std::to_string(type) + ", " + Lit(start) + ", " +
        LitOrNull(stop) + ", " + (param.empty() ? "null" : "'" + param + "'") + ")");
  }

  // The setups and cycles (T_SFC_EVENT) and operator calls that go with the
  // records, for the loss model (see oee_report_test.cpp for what they give):
  // 101's day shift, its swing shift across midnight, 102's operator call
  // and its 03-03 cycles, 103's cycles and the setup still open.
  void AddStateEvents() {
    const auto at = [](int day, int hour, int minute = 0) { return PlantAt(day, hour, minute); };
    AddEvent(1, 8, at(2, 6, 30), at(2, 7));
    AddEvent(1, 9, at(2, 7), at(2, 9));
    AddEvent(1, 9, at(2, 9, 1), at(2, 10));
    AddEvent(1, 9, at(2, 10, 45), at(2, 12));
    AddEvent(1, 9, at(2, 12, 5), at(2, 12, 10));
    AddEvent(1, 9, at(2, 12, 30), at(2, 13));
    AddEvent(1, 9, at(2, 13, 15), at(2, 13, 59).AddSeconds(30));
    AddDowntime(1, "null", "CALL", 1, at(2, 9, 30), at(2, 9, 40), "0.1667");
    AddEvent(1, 9, at(2, 22), at(3, 2));
    AddEvent(1, 9, at(3, 3), at(3, 6));
    AddDowntime(6, "null", "CALL", 1, at(2, 11), at(2, 11, 30), "0.5");
    AddEvent(2, 9, at(3, 6), at(3, 14));
    AddEvent(3, 9, at(2, 6), at(2, 8));
    AddEvent(3, 8, at(2, 8), std::nullopt);
  }

  void LoadPlant() {
    Exec(
        "insert into T_SFC_MACHINE (MACHINE_ID, MACHINE_NUMBER, MACHINE_NAME) values "
        "(1, '101', 'Lathe'), (2, '102', 'Mill'), (3, '103', 'Drill'), (4, '104', 'Saw')");
    Exec("insert into T_SFC_SHIFT (SHIFT_ID, SHIFT_NAME) values (1, 'Day'), (2, 'Swing')");
    Exec(
        "insert into T_SFC_DOWNTIME_CODE (DOWNTIME_CODE_ID, DOWNTIME_CODE_NUMBER, "
        "DOWNTIME_CODE_NAME, DOWNTIME_TYPE_CODE, CYCLE_STATUS_LOCK, PLANNED) values "
        "(1, 'MAINT', 'Maintenance', 0, 0, 1), (2, 'JAM', 'Jam', 0, 0, 0), "
        "(3, 'BREAK', 'Break', 1, 0, 1)");
    Exec(
        "insert into T_SFC_COMMAND (COMMAND_ID, COMMAND_TYPE_CODE) values (4, 4), (5, 5), "
        "(6, 6), (8, 8), (9, 9), (10, 10), (11, 11), (12, 12), (13, 13)");
    const auto at = [](int day, int hour, int minute = 0) { return PlantAt(day, hour, minute); };
    // 101
    AddRecord({1, 1, at(2, 6), at(2, 14), 2, 1, at(2, 14), "5", 60, 4});
    AddDowntime(1, "1", "", 0, at(2, 6), at(2, 6, 30), "0.5");
    AddDowntime(1, "2", "", 0, at(2, 10), at(2, 10, 45), "0.75");
    AddDowntime(1, "3", "", 1, at(2, 12), at(2, 12, 15), "0.25");
    AddDowntime(1, "null", "XYZ", 0, at(2, 13), at(2, 13, 15), "0.25");
    AddRecord({2, 1, at(2, 14), at(2, 22), 2, std::nullopt, std::nullopt, "null", 0, 0});
    AddRecord({3, 1, at(2, 22), at(3, 0), 2, 2, at(3, 6), "null", 10, 0});
    AddRecord({4, 1, at(3, 0), at(3, 6), 2, 2, at(3, 6), "4", 60, 0});
    AddDowntime(4, "2", "", 0, at(3, 2), at(3, 3), "1");
    AddRecord({5, 1, at(1, 6), at(1, 14), 1, 1, at(1, 14), "5", 99, 0});
    // 102
    AddRecord({6, 2, at(2, 6), at(2, 14), 2, 1, at(2, 14), "3", 0, 0});
    AddDowntime(6, "2", "", 0, at(2, 8), at(2, 10), "2");
    AddRecord({7, 2, at(3, 6), at(3, 14), 3, 1, at(3, 14), "3", 40, 0});
    // 103
    AddRecord({8, 3, at(2, 6), std::nullopt, 2, 1, at(2, 14), "2", 100, 0});
    AddDowntime(8, "2", "", 0, at(2, 9), std::nullopt, "0");
  }

  TestDatabase database_;
  dbaccess::ConnectionPtr connection_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_REPORT_PLANT_FIXTURE_H_
