// SQLBuilder's template and parameter processing. The statement runs through
// sql_builder_run.cpp. See sql_builder.h.
#include "dbaccess/sql_builder.h"

#include "dbaccess/dialect.h"

namespace voltrane {

namespace {

using dbaccess::ParamType;
using dbaccess::Variant;

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The matches of "@\w+" in text order (\w being ASCII letters, digits and "_").
std::vector<std::string> ParameterMarkers(const std::string& text) {
  std::vector<std::string> markers;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '@' && i + 1 < text.size() && IsWordChar(text[i + 1])) {
      size_t end = i + 1;
      while (end < text.size() && IsWordChar(text[end])) ++end;
      markers.push_back(text.substr(i, end - i));
      i = end;
    } else {
      ++i;
    }
  }
  return markers;
}

bool IsTextCode(int16_t type) {
  return type == adtype::kChar || type == adtype::kVarChar || type == adtype::kWChar ||
         type == adtype::kVarWChar;
}

bool IsIntegerCode(int16_t type) {
  return type == adtype::kSmallInt || type == adtype::kInteger || type == adtype::kBigInt ||
         (type >= 16 && type <= 21);  // the tiny, small and big signed and unsigned integers
}

ParamType PlatformType(int16_t type) {
  if (IsIntegerCode(type)) return ParamType::kInteger;
  if (type == adtype::kDate) return ParamType::kDateTime;
  if (type == adtype::kBoolean) return ParamType::kBoolean;
  return ParamType::kText;
}

size_t Utf8Length(const std::string& text) {
  size_t count = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++count;
  }
  return count;
}

// The value in the form its type code declares, so every engine binds the
// same thing (dates as DateTime, which SQLite stores as canonical text).
Variant BoundValue(int16_t type, const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return value;
  if (IsIntegerCode(type)) return Variant(static_cast<long long>(value.ToInt64()));
  if (type == adtype::kDate) return Variant(value.ToDateTime());
  if (IsTextCode(type)) return Variant(value.ToText());
  return value;
}

int ParameterSize(int16_t type, const Variant& value) {
  if (type == adtype::kInteger || type == adtype::kDate) return 4;
  if (type == adtype::kBigInt) return 8;
  if (IsTextCode(type) && !value.IsNull()) return static_cast<int>(Utf8Length(value.ToText()));
  return 0;
}

std::string QuoteText(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// Oracle's inline literal for a parameter value. A null value is written
// NULL; it has no literal text of its own.
std::string InlineLiteral(int16_t type, const Variant& value) {
  if (value.IsNull()) return "NULL";
  if (type == adtype::kDate) {
    const auto date = value.ToDateTime();
    return "TO_DATE('" + DatePartText(date) + TimePartTextUnpadded(date) +
           "', 'MM/DD/YYYY HH24:MI:SS') ";
  }
  if (IsTextCode(type)) return QuoteText(value.ToText());
  return value.ToText();
}

}  // namespace

SQLBuilder::SQLBuilder() : command_(std::make_shared<dbaccess::Command>()) {}

void SQLBuilder::SetCommandType(int32_t type) {
  command_type_ = type;
  command_->SetCommandType(type == adcmd::kStoredProc ? dbaccess::CommandType::kStoredProcedure
                                                      : dbaccess::CommandType::kText);
}

void SQLBuilder::SetParameter(const std::string& name, int16_t type, Variant value) {
  params_.try_emplace(name, SQLParam{std::move(value), type, {}});
}

void SQLBuilder::SetParameter(const std::string& name, int16_t type,
                              std::vector<Variant> elements) {
  params_.try_emplace(name, SQLParam{Variant(), type, std::move(elements)});
}

std::optional<SQLParam> SQLBuilder::GetParameter(const std::string& name) const {
  const auto found = params_.find(name);
  if (found == params_.end()) return std::nullopt;
  return found->second;
}

std::shared_ptr<dbaccess::Command> SQLBuilder::SQLCommandObject() {
  ProcessParameters();
  return command_;
}

void SQLBuilder::SetSQLCommandObject(std::shared_ptr<dbaccess::Command> command) {
  if (command) command_ = std::move(command);
}

void SQLBuilder::ProcessParameters() {
  command_->Parameters().clear();
  working_text_ = command_text_;
  // Markers come from the template, so a marker already replaced inside a
  // longer one still adds its parameter.
  for (const auto& marker : ParameterMarkers(command_text_)) {
    const auto found = params_.find(marker);
    if (found != params_.end()) ApplyParameter(marker, found->second);
  }
  command_->SetCommandText(working_text_);
}

void SQLBuilder::ApplyParameter(const std::string& name, const SQLParam& param) {
  if (param.ValueType == adtype::kArray) {
    ApplyArray(name, param);
    return;
  }
  if (database_type_ == dbkind::kOracle && param.ValueType != adtype::kInteger) {
    ReplaceAll(name, InlineLiteral(param.ValueType, param.Value));
    return;
  }
  // Parameters are appended directly: a name used twice binds twice, in text order.
  command_->Parameters().push_back(dbaccess::Parameter{
      name, PlatformType(param.ValueType), dbaccess::ParamDirection::kInput,
      ParameterSize(param.ValueType, param.Value), BoundValue(param.ValueType, param.Value)});
  ReplaceAll(name, "?");
}

void SQLBuilder::ApplyArray(const std::string& name, const SQLParam& param) {
  std::string markers;
  for (size_t i = 0; i < param.Elements.size(); ++i) {
    command_->Parameters().push_back(dbaccess::Parameter{
        name + "{" + std::to_string(i + 1) + "}", ParamType::kInteger,
        dbaccess::ParamDirection::kInput, 4, BoundValue(adtype::kInteger, param.Elements[i])});
    if (i > 0) markers += ",";
    markers += "?";
  }
  ReplaceAll(name, markers);
}

void SQLBuilder::ReplaceAll(const std::string& name, const std::string& replacement) {
  std::string out;
  size_t start = 0;
  while (true) {
    const auto at = working_text_.find(name, start);
    if (at == std::string::npos) break;
    out.append(working_text_, start, at - start);
    out += replacement;
    start = at + name.size();
  }
  out.append(working_text_, start, std::string::npos);
  working_text_ = std::move(out);
}

}  // namespace voltrane
