#include "web/database_sessions.h"

#include <fmt/format.h>

#include "dbaccess/db_error.h"
#include "cipher/mod_crypto.h"
#include "library/com_error.h"

namespace web {

Session::Session(DatabaseTarget target) : target_(std::move(target)) {}

Session::~Session() {
  if (intake_ != nullptr) Korvex7ReleaseObject(intake_);
}

_CKorvex7Obj3& Session::Intake() {
  if (intake_ == nullptr) {
    _CKorvex7Obj* created_object = nullptr;
    const int32_t created =
        Korvex7CreateObject(kKorvex7ProgId, kKorvex7Obj3InterfaceId, &created_object);
    // The factory hands out a _CKorvex7Obj3 for this id (korvex7.h).
    intake_ = static_cast<_CKorvex7Obj3*>(created_object);
    if (created != 0) {
      intake_ = nullptr;
      throw SessionError(fmt::format("cannot create the library object: error 0x{:X}",
                                     static_cast<uint32_t>(created)));
    }
  }
  try {
    if (intake_->IsConnected()) return *intake_;
    std::string error;
    if (!intake_->ConnectToDatabase(target_.connection_string, target_.database_type, error)) {
      throw SessionError("cannot connect to the database: " + error);
    }
  } catch (const ComError& error) {
    throw SessionError(fmt::format("cannot connect to the database: Error # {}:{}", error.number(),
                                   error.description()));
  }
  return *intake_;
}

dbaccess::ConnectionPtr Session::Reads() {
  if (reads_ && reads_->IsOpen()) return reads_;
  auto connection = std::make_shared<dbaccess::Connection>();
  try {
    connection->Open(voltrane::DecipherConnectionString(target_.connection_string));
  } catch (const dbaccess::DbError& error) {
    throw SessionError(std::string("cannot connect to the database: ") + error.what());
  }
  reads_ = std::move(connection);
  return reads_;
}

Session& SessionPool::ForThisThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::unique_ptr<Session>& session = sessions_[std::this_thread::get_id()];
  if (!session) session = std::make_unique<Session>(target_);
  return *session;
}

}  // namespace web
