#include "mtconnect/agent_document.h"

#include <fmt/format.h>

#include <algorithm>
#include <pugixml.hpp>
#include <utility>

#include "mtconnect/utc_time.h"

namespace mtconnect {

namespace {

struct Sequenced {
  uint64_t sequence;
  Observation observation;
};

void ReadErrors(const pugi::xml_node& root, AgentDocument& document) {
  document.error = "the agent reported an error";
  for (const pugi::xml_node error : root.child("Errors").children()) {
    const std::string code = error.attribute("errorCode").value();
    if (code == "OUT_OF_RANGE") document.out_of_range = true;
    document.error = fmt::format("{}: {}", code, error.text().get());
  }
}

void ReadCategory(const pugi::xml_node& category, AgentDocument& document,
                  std::vector<Sequenced>& found) {
  for (const pugi::xml_node element : category.children()) {
    if (element.type() != pugi::node_element) continue;
    const auto time = ParseUtcTimestamp(element.attribute("timestamp").value());
    if (!time) {
      ++document.skipped;
      continue;
    }
    found.push_back({element.attribute("sequence").as_ullong(),
                     Observation{*time, element.attribute("dataItemId").value(),
                                 element.text().get(), element.attribute("name").value()}});
  }
}

}  // namespace

AgentDocument ReadAgentDocument(std::string_view xml, std::string_view device) {
  AgentDocument document;
  pugi::xml_document parsed;
  const pugi::xml_parse_result result = parsed.load_buffer(xml.data(), xml.size());
  if (!result) {
    document.error = fmt::format("unreadable XML: {}", result.description());
    return document;
  }
  const pugi::xml_node root = parsed.document_element();
  const std::string_view root_name = root.name();
  if (root_name == "MTConnectError") {
    ReadErrors(root, document);
    return document;
  }
  if (root_name != "MTConnectStreams") {
    document.error = fmt::format("not an MTConnectStreams document but {}", root_name);
    return document;
  }
  const pugi::xml_node header = root.child("Header");
  document.first_sequence = header.attribute("firstSequence").as_ullong();
  document.next_sequence = header.attribute("nextSequence").as_ullong();
  std::vector<Sequenced> found;
  for (const pugi::xml_node stream : root.child("Streams").children("DeviceStream")) {
    if (device != stream.attribute("name").value() && device != stream.attribute("uuid").value()) {
      continue;
    }
    document.device_seen = true;
    for (const pugi::xml_node component : stream.children("ComponentStream")) {
      ReadCategory(component.child("Samples"), document, found);
      ReadCategory(component.child("Events"), document, found);
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Sequenced& a, const Sequenced& b) { return a.sequence < b.sequence; });
  for (Sequenced& entry : found) document.observations.push_back(std::move(entry.observation));
  return document;
}

}  // namespace mtconnect
