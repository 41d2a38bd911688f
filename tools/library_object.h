// The library object as the tool's subcommands use it: created as the
// collector service creates it, but on a clock of the tool's own
// (connect_wait_clock.h), so that connecting tells the person at the terminal
// what it waits for and gives up after a short wait unless the database
// choice asks to wait as the service does. Failures are written to `err` for
// the user and give an empty object.
#ifndef VOLTRANE_TOOLS_LIBRARY_OBJECT_H_
#define VOLTRANE_TOOLS_LIBRARY_OBJECT_H_

#include <memory>
#include <ostream>
#include <string>

#include "library/korvex7.h"
#include "tools/connect_wait_clock.h"
#include "tools/tool_options.h"

class LibraryObject {
 public:
  LibraryObject() = default;
  LibraryObject(std::unique_ptr<_CKorvex7Obj3> object, std::shared_ptr<ConnectWaitClock> clock)
      : object_(std::move(object)), clock_(std::move(clock)) {}

  explicit operator bool() const { return object_ != nullptr; }
  _CKorvex7Obj3* operator->() const { return object_.get(); }
  _CKorvex7Obj3& operator*() const { return *object_; }

  // ConnectToDatabase with the choice's patience; false with the library's
  // text. Lets a ComError of the library escape, as the library does.
  bool Connect(const DatabaseChoice& choice, std::string& error);
  // Connects again when the connection was lost; false with the text.
  bool EnsureConnected(const DatabaseChoice& choice, std::string& error);
  // Releases the object as the collector service does when it stops: the
  // library removes the rows it processed from the log on the way.
  void Release() { object_.reset(); }

 private:
  std::unique_ptr<_CKorvex7Obj3> object_;
  std::shared_ptr<ConnectWaitClock> clock_;
};

// A library object that is not connected yet.
LibraryObject CreateLibraryObject(std::ostream& err);

// A library object connected to the chosen database; the failure is written
// to `err` as "Could not connect to the database: " and the library's text.
LibraryObject CreateConnectedObject(const DatabaseChoice& choice, std::ostream& err);

// "the SQLITE database /var/lib/voltrane/mdc.db": the kind and the data source.
std::string DescribeDatabase(const DatabaseChoice& choice);

#endif  // VOLTRANE_TOOLS_LIBRARY_OBJECT_H_
