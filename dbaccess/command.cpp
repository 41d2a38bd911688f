// Command: statement text with "?" parameters, or a stored-procedure call.
//
// Statement text binds the values of its input and in/out parameters, in the
// order they were added, to the "?" markers; each value is first converted to
// the parameter's declared type. A text longer than the parameter's size is
// refused before anything reaches the database (kErrInvalidArgument), as ADO
// refuses it, rather than being cut silently. Procedures go to the backend,
// which fills output, in/out and return-value parameters. Not thread-safe.
#include "dbaccess/command.h"

#include <algorithm>
#include <cctype>

#include "dbaccess/db_error.h"

namespace dbaccess {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// Characters, not bytes: the sizes count what the user sees.
size_t Utf8Length(const std::string& text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](unsigned char c) { return (c & 0xC0) != 0x80; }));
}

Variant AsParameterType(const Parameter& param) {
  const Variant& value = param.value;
  if (value.IsNull() || value.IsEmpty()) return Variant::Null();
  switch (param.type) {
    case ParamType::kInteger:
      return Variant(static_cast<long long>(value.ToInt64()));
    case ParamType::kText:
      return Variant(value.ToText());
    case ParamType::kDateTime:
      return Variant(value.ToDateTime());
    case ParamType::kBoolean:
      return Variant(value.ToBool());
  }
  return value;
}

bool IsInput(const Parameter& param) {
  return param.direction == ParamDirection::kInput ||
         param.direction == ParamDirection::kInputOutput;
}

// The values bound to the "?" markers, in the order the parameters were added.
std::vector<Variant> InputValues(const std::vector<Parameter>& params) {
  std::vector<Variant> values;
  for (const Parameter& param : params) {
    if (IsInput(param)) values.push_back(AsParameterType(param));
  }
  return values;
}

}  // namespace

Parameter& Command::AddParameter(const std::string& name, ParamType type, ParamDirection direction,
                                 int size, Variant value) {
  params_.push_back(Parameter{name, type, direction, size, std::move(value)});
  return params_.back();
}

Parameter& Command::Param(const std::string& name) {
  for (Parameter& param : params_) {
    if (SameName(param.name, name)) return param;
  }
  throw DbError(kErrItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal. (" +
                    name + ")");
}

void Command::Validate() const {
  if (!connection_ || !connection_->IsOpen()) {
    throw DbError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
  }
  if (text_.empty()) throw DbError(kErrInvalidArgument, "The command text is not set.");
  for (const Parameter& param : params_) {
    if (!IsInput(param) || param.type != ParamType::kText || param.size <= 0) continue;
    if (param.value.IsNull() || param.value.IsEmpty()) continue;
    if (Utf8Length(param.value.ToText()) > static_cast<size_t>(param.size)) {
      throw DbError(kErrInvalidArgument, "Parameter " + param.name +
                                             " is longer than its size of " +
                                             std::to_string(param.size) + " characters.");
    }
  }
}

int Command::Timeout() const { return timeout_ >= 0 ? timeout_ : connection_->CommandTimeout(); }

int64_t Command::Execute() {
  Validate();
  if (type_ == CommandType::kStoredProcedure) {
    connection_->backend().CallProcedure(text_, params_, Timeout());
    return -1;
  }
  return connection_->backend().Execute(text_, InputValues(params_), Timeout());
}

RecordsetPtr Command::ExecuteQuery() {
  Validate();
  ResultTable result;
  if (type_ == CommandType::kStoredProcedure) {
    result = connection_->backend().CallProcedure(text_, params_, Timeout());
  } else {
    result = connection_->backend().Query(text_, InputValues(params_), Timeout());
  }
  auto recordset = std::make_shared<Recordset>();
  recordset->OpenFromResult(std::move(result), connection_, text_);
  return recordset;
}

}  // namespace dbaccess
