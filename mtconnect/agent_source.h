// An MTConnect agent over HTTP as a machine's source.
//
// Asks the agent for the device's /current values (the starting point and
// the sequence to go on from), then for /sample?from=<next> again and again,
// waiting `poll_interval` whenever nothing new has come. When the agent
// cannot be reached or answers with an error, the source starts again at
// /current after a back-off; when the agent no longer holds the sequence it
// asked for (OUT_OF_RANGE) it reports the gap and starts again at once. The
// mapping's state lives on, so values seen again are no change. Runs on the
// calling thread until stopped.
#ifndef VOLTRANE_MTCONNECT_AGENT_SOURCE_H_
#define VOLTRANE_MTCONNECT_AGENT_SOURCE_H_

#include <chrono>
#include <string>

#include "mtconnect/machine_bridge.h"
#include "mtconnect/stop_signal.h"

namespace mtconnect {

struct AgentOptions {
  std::string url;  // "http://host:port" with an optional path prefix
  std::string device;
  std::chrono::milliseconds poll_interval{1000};
  std::chrono::milliseconds retry_min{1000};
  std::chrono::milliseconds retry_max{60000};
  std::chrono::milliseconds timeout{10000};  // per request
};

// Splits "http://host:port/prefix" into "http://host:port" and "/prefix";
// false with a message for anything but an http URL.
bool SplitAgentUrl(const std::string& url, std::string& origin, std::string& prefix,
                   std::string& message);

void RunAgent(const AgentOptions& options, MachineBridge& bridge, const StopSignal& stop);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_AGENT_SOURCE_H_
