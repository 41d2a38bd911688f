// One database session per server thread: a library object created through
// the library's factory (for the intake) and a plain dbaccess connection (for
// the board's reads), both opened on first use from the same stored
// connection string.
//
// The library object is used only by the thread that created it, as the
// library asks; the pool hands each thread its own session and keeps it for
// the pool's life. A session whose connection failed is reopened at the next
// use. ForThisThread throws SessionError when the database cannot be reached.
// Sessions are destroyed with the pool, after the server's threads ended.
#ifndef VOLTRANE_WEB_DATABASE_SESSIONS_H_
#define VOLTRANE_WEB_DATABASE_SESSIONS_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "dbaccess/connection.h"
#include "library/korvex7.h"

namespace web {

struct DatabaseTarget {
  std::string connection_string;  // stored form: credentials may be enciphered
  int32_t database_type = -1;     // 3 SQLite, 4 PostgreSQL, ...
};

class SessionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Session {
 public:
  explicit Session(DatabaseTarget target);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The connected library object. Throws SessionError.
  _CKorvex7Obj3& Intake();
  // The open read connection. Throws SessionError.
  dbaccess::ConnectionPtr Reads();
  // Forgets the read connection after a failure; the next Reads() reopens it.
  void DropReads() { reads_.reset(); }
  int32_t database_type() const { return target_.database_type; }

 private:
  DatabaseTarget target_;
  _CKorvex7Obj3* intake_ = nullptr;  // owned; released with Korvex7ReleaseObject
  std::shared_ptr<dbaccess::Connection> reads_;
};

class SessionPool {
 public:
  explicit SessionPool(DatabaseTarget target) : target_(std::move(target)) {}

  Session& ForThisThread();
  int32_t database_type() const { return target_.database_type; }

 private:
  DatabaseTarget target_;
  std::mutex mutex_;
  std::map<std::thread::id, std::unique_ptr<Session>> sessions_;  // guarded by mutex_
};

}  // namespace web

#endif  // VOLTRANE_WEB_DATABASE_SESSIONS_H_
