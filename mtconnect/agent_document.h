// The answer of an MTConnect agent to /current or /sample: an
// MTConnectStreams document (or an MTConnectError one), read with pugixml.
//
// Observations of the named device's Samples and Events come back in
// sequence order with their dataItemId, name, UTC time stamp and value;
// conditions are left out (the mapping uses none). Pure function; thread-safe.
#ifndef VOLTRANE_MTCONNECT_AGENT_DOCUMENT_H_
#define VOLTRANE_MTCONNECT_AGENT_DOCUMENT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mtconnect/observation.h"

namespace mtconnect {

struct AgentDocument {
  std::string error;          // "" for a readable streams document; else what is wrong
  bool out_of_range = false;  // the agent no longer holds the sequence asked for
  bool device_seen = false;   // the answer holds a stream of the device
  uint64_t first_sequence = 0;
  uint64_t next_sequence = 0;
  std::vector<Observation> observations;
  uint64_t skipped = 0;  // observations without a readable time stamp
};

AgentDocument ReadAgentDocument(std::string_view xml, std::string_view device);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_AGENT_DOCUMENT_H_
