// LibraryLogWriter: appends a machine's commands to the MDC log through the
// library's intake (AppendItemToMDCLog2 of a connected library object), so
// that the machine and command lookups, the parameter and time-code checks and
// the retries are the library's own, and then gives the appended row the
// observation's time as local wall-clock time.
//
// The intake stamps a row with the database's clock. An MTConnect machine
// reports with its own clock, so the writer sets TIME_STAMP of the row it has
// just appended (the machine's first row above the highest key before the
// append) through its own connection to the same database. A collector that
// reads the log between the two statements processes the row with the
// database's time: the writer says so when the row is gone by then, but
// cannot see a row the collector only read. One machine per writer; the
// object and the connection belong to the machine's thread.
#ifndef VOLTRANE_MTCONNECT_LIBRARY_LOG_WRITER_H_
#define VOLTRANE_MTCONNECT_LIBRARY_LOG_WRITER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "dbaccess/connection.h"
#include "library/korvex7.h"
#include "mtconnect/command_sink.h"

namespace mtconnect {

class LibraryLogWriter : public CommandSink {
 public:
  // `connection_string` in its stored form (credentials may be enciphered);
  // `kind` the database kind (3 SQLite, 4 PostgreSQL, ...). The writer opens
  // its own connection when first needed and again after a failure.
  LibraryLogWriter(_CKorvex7Obj& object, std::string connection_string, int32_t kind,
                   std::string machine_number);

  bool Append(const LogCommand& command, std::string& error) override;

 private:
  bool HighestKey(int64_t& key, std::string& error);
  bool Stamp(int64_t above, const LogCommand& command, std::string& error);
  bool EnsureOpen(std::string& error);

  _CKorvex7Obj& object_;
  const std::string connection_string_;
  const int32_t kind_;
  const std::string machine_number_;
  std::shared_ptr<dbaccess::Connection> connection_;  // open, or reset after a failure
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_LIBRARY_LOG_WRITER_H_
