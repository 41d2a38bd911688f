// Command topics: <prefix>/<machine number>/commands, carrying the body of
// POST /api/v1/commands (parsed by web/command_body.h) with "id" and
// "time" allowed and "machine" optional, taken from the topic then. A
// command naming another machine than its topic, or a time that is no
// local wall-clock time, refuses the message. Pure functions; thread-safe.
#ifndef VOLTRANE_MQTT_COMMAND_MESSAGE_H_
#define VOLTRANE_MQTT_COMMAND_MESSAGE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/korvex7_commands.h"

namespace mqtt {

// The subscription filter of the command topics.
std::string CommandTopicFilter(const std::string& prefix);

// The machine number of a command topic, none for another topic.
std::optional<std::string> CommandTopicMachine(const std::string& prefix, std::string_view topic);

// The commands of one message; false with a text for the report.
bool ParseCommandMessage(const std::string& machine, std::string_view payload,
                         std::vector<korvex7::Command>& commands, std::string& error);

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_COMMAND_MESSAGE_H_
