// One MTConnect observation: a data item reported a value at a moment.
// Sources (an SHDR adapter, a recorded file, an agent) produce them; the
// mapping turns them into log commands. A plain value; safe to copy.
#ifndef VOLTRANE_MTCONNECT_OBSERVATION_H_
#define VOLTRANE_MTCONNECT_OBSERVATION_H_

#include <cstdint>
#include <string>

namespace mtconnect {

struct Observation {
  int64_t utc_ms = 0;  // the observation's time: milliseconds since 1970-01-01 UTC
  std::string item;    // the data item as the source names it (SHDR key, agent dataItemId)
  std::string value;
  std::string name;  // an agent's second name of the item (its name attribute), else ""
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_OBSERVATION_H_
