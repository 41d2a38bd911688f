// The plain C interface: a handle owning one library object, error texts
// copied into caller buffers, every exception turned into a failure text.
#include "library/korvex7_c_api.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "library/failed_log_item_text.h"
#include "library/korvex7_obj.h"
#include "library/session/error_text.h"

struct korvex7_handle {
  CKorvex7Obj object{};
};

namespace {

constexpr const char* kNullArgument = "A required argument was NULL.";

// Copies as much of `text` as fits, always NUL-terminated.
void CopyError(const std::string& text, char* error, size_t error_size) {
  if (error == nullptr || error_size == 0) return;
  const size_t length = std::min(text.size(), error_size - 1);
  std::memcpy(error, text.data(), length);
  error[length] = '\0';
}

// Runs an operation that reports through a text, turning escapes into texts.
template <typename Fn>
int Report(Fn&& fn, char* error, size_t error_size) {
  std::string text;
  bool ok = false;
  try {
    ok = fn(text);
  } catch (...) {
    const korvex7::internal::ErrorInfo info = korvex7::internal::CurrentError();
    text = korvex7::internal::FormatErrorText(info.number, info.description);
    ok = false;
  }
  CopyError(text, error, error_size);
  return ok ? 1 : 0;
}

}  // namespace

extern "C" korvex7_handle* korvex7_create(void) {
  try {
    return new korvex7_handle();
  } catch (...) {
    return nullptr;
  }
}

extern "C" void korvex7_destroy(korvex7_handle* handle) { delete handle; }

extern "C" int korvex7_connect(korvex7_handle* handle, const char* connection_string,
                               int32_t database_type, char* error, size_t error_size) {
  return Report(
      [&](std::string& text) {
        if (handle == nullptr || connection_string == nullptr) {
          text = kNullArgument;
          return false;
        }
        return handle->object.ConnectToDatabase(connection_string, database_type, text);
      },
      error, error_size);
}

extern "C" int korvex7_is_connected(korvex7_handle* handle) {
  return handle != nullptr && handle->object.IsConnected() ? 1 : 0;
}

extern "C" int korvex7_append2(korvex7_handle* handle, const char* machine_number,
                               int32_t command_type_code, const char* param,
                               int32_t command_time_code, char* error, size_t error_size) {
  return Report(
      [&](std::string& text) {
        if (handle == nullptr || machine_number == nullptr) {
          text = kNullArgument;
          return false;
        }
        return handle->object.AppendItemToMDCLog2(machine_number, command_type_code,
                                                  param == nullptr ? "" : param, command_time_code,
                                                  text);
      },
      error, error_size);
}

extern "C" int korvex7_do_next(korvex7_handle* handle, char* error, size_t error_size) {
  return Report(
      [&](std::string& text) {
        if (handle == nullptr) {
          text = kNullArgument;
          return false;
        }
        return handle->object.DoNextItemFromMDCLog(text);
      },
      error, error_size);
}

extern "C" int32_t korvex7_log_count(korvex7_handle* handle, char* error, size_t error_size) {
  int32_t count = -1;
  const int ok = Report(
      [&](std::string& text) {
        if (handle == nullptr) {
          text = kNullArgument;
          return false;
        }
        count = handle->object.GetMDCLogCount();
        return true;
      },
      error, error_size);
  return ok ? count : -1;
}

extern "C" int korvex7_last_failed_row(korvex7_handle* handle, int32_t* mdc_log_id,
                                       int32_t* attempts, char* text, size_t text_size) {
  Korvex7FailedLogItem row;
  const bool failed = handle != nullptr && handle->object.GetLastFailedLogItem(row);
  if (failed && mdc_log_id != nullptr) *mdc_log_id = row.lMDCLogID;
  if (failed && attempts != nullptr) *attempts = row.lAttempts;
  try {
    CopyError(failed ? FailedLogItemText(row) : std::string(), text, text_size);
  } catch (...) {
    CopyError(std::string(), text, text_size);
  }
  return failed ? 1 : 0;
}

extern "C" int korvex7_commit(korvex7_handle* handle, char* error, size_t error_size) {
  return Report(
      [&](std::string& text) {
        if (handle == nullptr) {
          text = kNullArgument;
          return false;
        }
        return handle->object.CommitProcessedItems(text);
      },
      error, error_size);
}
