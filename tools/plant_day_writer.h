// PlantDayWriter: writes a PlantSimulator's stream for whole plant days into
// the MDC log at once, each row stamped with its own plant time, the way a
// machine monitor with its own clock (or one that buffered a day offline)
// writes rows. The processing uses a row's TIME_STAMP as the time of every
// step (the time code keeps its meaning: start, end or both), so the records
// show a plant's day, not the minutes the run took.
//
// Rows are inserted in plant-time order through the library's log-row
// writer, several hundred per transaction, with the machine's hierarchy and
// the command of the type code resolved once. After the last whole day every machine gets a refresh request (a
// row without command) at its end, so that its records are closed up to there.
// A machine whose records or waiting rows already reach the first day is
// refused before anything is written: its rows would be discarded as out of
// order. Database failures throw dbaccess::DbError; a refusal is returned.
// One thread per connection.
#ifndef VOLTRANE_TOOLS_PLANT_DAY_WRITER_H_
#define VOLTRANE_TOOLS_PLANT_DAY_WRITER_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "dbaccess/connection.h"
#include "dbaccess/date_time.h"
#include "library/korvex7_log_writer.h"
#include "tools/plant_simulator.h"

struct PlantDayResult {
  bool written = false;
  std::string refusal;  // why nothing was written, when not written
  int64_t rows = 0;     // commands written, refresh requests not counted
  std::map<std::string, int64_t> rows_per_machine;
};

class PlantDayWriter {
 public:
  PlantDayWriter(dbaccess::ConnectionPtr connection, int32_t kind)
      : connection_(connection), kind_(kind), rows_(std::move(connection), kind) {}

  // Writes the stream from `first_day` 00:00 for `days` days (at most
  // `max_commands` commands when that is not negative); `progress` hears
  // the number of rows written after every transaction.
  PlantDayResult Write(PlantSimulator& simulator, const dbaccess::DateTime& first_day, int days,
                       int64_t max_commands = -1,
                       const std::function<void(int64_t)>& progress = nullptr);

 private:
  // Empty when every machine can take rows from `start` on, else the refusal.
  std::string CheckMachines(const std::vector<SimulatedMachine>& machines,
                            const dbaccess::DateTime& start);
  void InsertRows(const std::vector<korvex7::LogRow>& rows);

  dbaccess::ConnectionPtr connection_;
  int32_t kind_;
  korvex7::LogRowWriter rows_;
  std::map<std::string, korvex7::MachineKeys> machines_;
  std::map<int32_t, int64_t> commands_;
};

#endif  // VOLTRANE_TOOLS_PLANT_DAY_WRITER_H_
