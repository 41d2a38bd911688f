#include "web/command_body.h"

#include <fmt/format.h>

#include <limits>
#include <nlohmann/json.hpp>

namespace web {
namespace {

using json = nlohmann::json;

// Thrown by the parser callback to stop at the first level too deep, before
// the rest of a hostile body is built.
struct TooDeep {};

std::string FieldName(std::optional<size_t> index, const char* field) {
  return index ? fmt::format("[{}].{}", *index, field) : std::string(field);
}

std::string Position(std::optional<size_t> index) {
  return index ? fmt::format(" in command {}", *index) : std::string();
}

// An integer field that fits 32 bits; floats such as 9.0 are refused, as a
// type code or time code is never fractional.
std::optional<BodyError> ReadInteger(const json& object, const char* field,
                                     std::optional<size_t> index, bool required, int32_t& out) {
  const auto found = object.find(field);
  if (found == object.end()) {
    if (!required) return std::nullopt;
    return BodyError{FieldName(index, field),
                     fmt::format("missing field \"{}\"{}", field, Position(index))};
  }
  const bool fits =
      (found->is_number_integer() && found->get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
       found->get<int64_t>() <= std::numeric_limits<int32_t>::max()) ||
      (found->is_number_unsigned() &&
       found->get<uint64_t>() <= std::numeric_limits<int32_t>::max());
  if (!fits) {
    return BodyError{FieldName(index, field), fmt::format("field \"{}\"{} must be a 32-bit integer",
                                                          field, Position(index))};
  }
  out = found->get<int32_t>();
  return std::nullopt;
}

std::optional<BodyError> ReadText(const json& object, const char* field,
                                  std::optional<size_t> index, bool required, std::string& out) {
  const auto found = object.find(field);
  if (found == object.end()) {
    if (!required) return std::nullopt;
    return BodyError{FieldName(index, field),
                     fmt::format("missing field \"{}\"{}", field, Position(index))};
  }
  if (!found->is_string()) {
    return BodyError{FieldName(index, field),
                     fmt::format("field \"{}\"{} must be a string", field, Position(index))};
  }
  out = found->get<std::string>();
  return std::nullopt;
}

// "YYYY-MM-DDTHH:MM:SS" with optional ".mmm": a terminal's local clock, to
// the millisecond at most.
std::optional<BodyError> ReadTime(const json& object, std::optional<size_t> index,
                                  std::optional<dbaccess::DateTime>& out) {
  std::string text;
  if (object.find("time") == object.end()) return std::nullopt;
  if (auto error = ReadText(object, "time", index, false, text)) return error;
  const bool shaped =
      (text.size() == 19 || (text.size() == 23 && text[19] == '.')) && text[10] == 'T';
  out = shaped ? dbaccess::DateTime::Parse(text) : std::nullopt;
  if (!out) {
    return BodyError{FieldName(index, "time"),
                     fmt::format("field \"time\"{} must be a local time YYYY-MM-DDTHH:MM:SS "
                                 "with optional .mmm",
                                 Position(index))};
  }
  return std::nullopt;
}

std::optional<BodyError> ReadCommand(const json& value, std::optional<size_t> index,
                                     const BodyFields& fields, CommandRequest& command) {
  if (!value.is_object()) {
    return BodyError{index ? fmt::format("[{}]", *index) : std::string(),
                     fmt::format("a command must be a JSON object{}", Position(index))};
  }
  for (const auto& item : value.items()) {
    const std::string& key = item.key();
    if (key != "machine" && key != "type" && key != "param" && key != "time_code" && key != "id" &&
        key != "time") {
      return BodyError{FieldName(index, key.c_str()),
                       fmt::format("unknown field \"{}\"{}", key, Position(index))};
    }
  }
  if (auto error = ReadText(value, "machine", index, !fields.machine_optional, command.machine)) {
    return error;
  }
  if (auto error = ReadInteger(value, "type", index, true, command.type)) return error;
  if (auto error = ReadText(value, "param", index, false, command.param)) return error;
  if (auto error = ReadText(value, "id", index, false, command.client_id)) return error;
  if (auto error = ReadTime(value, index, command.time)) return error;
  return ReadInteger(value, "time_code", index, false, command.time_code);
}

}  // namespace

ParsedBody ParseCommandBody(std::string_view body, const BodyLimits& limits,
                            const BodyFields& fields) {
  ParsedBody parsed;
  json document;
  const auto depth_guard = [&limits](int depth, json::parse_event_t event, json&) {
    if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
        static_cast<size_t>(depth) >= limits.max_depth) {
      throw TooDeep{};
    }
    return true;
  };
  try {
    document = json::parse(body.begin(), body.end(), depth_guard);
  } catch (const TooDeep&) {
    parsed.error =
        BodyError{"", fmt::format("JSON nested deeper than {} levels", limits.max_depth)};
    return parsed;
  } catch (const json::exception& error) {
    parsed.error = BodyError{"", fmt::format("malformed JSON: {}", error.what())};
    return parsed;
  }
  if (!document.is_array()) {
    CommandRequest command;
    if (auto error = ReadCommand(document, std::nullopt, fields, command)) {
      parsed.error = std::move(error);
      return parsed;
    }
    parsed.commands.push_back(std::move(command));
    return parsed;
  }
  if (document.empty()) {
    parsed.error = BodyError{"", "the array holds no command"};
    return parsed;
  }
  if (document.size() > limits.max_commands) {
    parsed.error =
        BodyError{"", fmt::format("more than {} commands in one request", limits.max_commands)};
    return parsed;
  }
  parsed.commands.reserve(document.size());
  for (size_t i = 0; i < document.size(); ++i) {
    CommandRequest command;
    if (auto error = ReadCommand(document[i], i, fields, command)) {
      parsed.error = std::move(error);
      parsed.commands.clear();
      return parsed;
    }
    parsed.commands.push_back(std::move(command));
  }
  return parsed;
}

}  // namespace web
