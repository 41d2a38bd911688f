#include "mqtt/command_message.h"

#include <fmt/format.h>

#include "web/command_body.h"

namespace mqtt {
namespace {

constexpr std::string_view kCommandsLevel = "/commands";

}  // namespace

std::string CommandTopicFilter(const std::string& prefix) { return prefix + "/+/commands"; }

std::optional<std::string> CommandTopicMachine(const std::string& prefix, std::string_view topic) {
  if (topic.size() <= prefix.size() + 1 + kCommandsLevel.size() ||
      topic.substr(0, prefix.size()) != prefix || topic[prefix.size()] != '/' ||
      topic.substr(topic.size() - kCommandsLevel.size()) != kCommandsLevel) {
    return std::nullopt;
  }
  const std::string_view machine =
      topic.substr(prefix.size() + 1, topic.size() - prefix.size() - 1 - kCommandsLevel.size());
  if (machine.empty() || machine.find('/') != std::string_view::npos) return std::nullopt;
  return std::string(machine);
}

bool ParseCommandMessage(const std::string& machine, std::string_view payload,
                         std::vector<korvex7::Command>& commands, std::string& error) {
  web::BodyFields fields;
  fields.machine_optional = true;
  const web::ParsedBody parsed = web::ParseCommandBody(payload, web::BodyLimits{}, fields);
  if (parsed.error) {
    error = parsed.error->message;
    return false;
  }
  commands.clear();
  for (size_t i = 0; i < parsed.commands.size(); ++i) {
    const web::CommandRequest& request = parsed.commands[i];
    if (!request.machine.empty() && request.machine != machine) {
      error = fmt::format("command {} names machine {}, the topic machine {}", i, request.machine,
                          machine);
      return false;
    }
    commands.push_back(korvex7::Command{machine, request.type, request.param, request.time_code,
                                        request.time, request.client_id});
  }
  return true;
}

}  // namespace mqtt
