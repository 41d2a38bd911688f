#include "mtconnect/agent_source.h"

#include <fmt/format.h>
#include <httplib.h>

#include <algorithm>

#include "mtconnect/agent_document.h"

namespace mtconnect {

namespace {

using std::chrono::milliseconds;

// One agent's requests: the document of a path, or an error text.
class AgentClient {
 public:
  AgentClient(const std::string& origin, const AgentOptions& options) : client_(origin) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(options.timeout);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(options.timeout - seconds);
    client_.set_connection_timeout(seconds.count(), micros.count());
    client_.set_read_timeout(seconds.count(), micros.count());
  }

  AgentDocument Get(const std::string& path, const std::string& device) {
    const httplib::Result result = client_.Get(path.c_str());
    if (!result) {
      AgentDocument failed;
      failed.error = httplib::to_string(result.error());
      return failed;
    }
    // An agent answers errors (OUT_OF_RANGE, no such device) with an error
    // document and a 4xx status; the document says more than the status.
    AgentDocument document = ReadAgentDocument(result->body, device);
    if (document.error.empty() && result->status != 200) {
      document.error = fmt::format("HTTP status {}", result->status);
    }
    return document;
  }

 private:
  httplib::Client client_;
};

void Deliver(const AgentDocument& document, MachineBridge& bridge) {
  bridge.OnMessage();
  for (const Observation& observation : document.observations) bridge.OnObservation(observation);
}

// Follows /sample from the /current point until the agent fails or a stop;
// true when it must start again at once (a gap), false after a failure.
bool FollowSamples(AgentClient& client, const std::string& base, const AgentOptions& options,
                   uint64_t next, MachineBridge& bridge, const StopSignal& stop) {
  while (!stop.Stopped()) {
    const AgentDocument document =
        client.Get(fmt::format("{}/sample?from={}&count=1000", base, next), options.device);
    if (document.out_of_range) {
      bridge.Warning(fmt::format(
          "the agent no longer holds sequence {}: observations were missed; starting again "
          "from the current values",
          next));
      return true;
    }
    if (!document.error.empty()) {
      bridge.Warning(fmt::format("the agent failed: {}", document.error));
      bridge.OnConnected(false);
      return false;
    }
    Deliver(document, bridge);
    if (document.next_sequence <= next) {
      if (!stop.WaitFor(options.poll_interval)) return false;
    } else {
      next = document.next_sequence;
    }
  }
  return false;
}

}  // namespace

bool SplitAgentUrl(const std::string& url, std::string& origin, std::string& prefix,
                   std::string& message) {
  constexpr std::string_view kScheme = "http://";
  if (url.compare(0, kScheme.size(), kScheme) != 0 || url.size() == kScheme.size()) {
    message = fmt::format("\"{}\" is not an http:// URL", url);
    return false;
  }
  const size_t slash = url.find('/', kScheme.size());
  origin = url.substr(0, slash);
  prefix = slash == std::string::npos ? "" : url.substr(slash);
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  return true;
}

void RunAgent(const AgentOptions& options, MachineBridge& bridge, const StopSignal& stop) {
  std::string origin, prefix, message;
  if (!SplitAgentUrl(options.url, origin, prefix, message)) {
    bridge.Error(message);
    return;
  }
  AgentClient client(origin, options);
  const std::string base = prefix + "/" + options.device;
  milliseconds retry = options.retry_min;
  while (!stop.Stopped()) {
    AgentDocument current = client.Get(base + "/current", options.device);
    if (current.error.empty() && !current.device_seen) {
      current.error = fmt::format("no device \"{}\" in its answer", options.device);
    }
    if (!current.error.empty()) {
      bridge.OnConnected(false);
      bridge.Warning(fmt::format("cannot read the agent {}: {}; again in {} ms", options.url,
                                 current.error, retry.count()));
      if (!stop.WaitFor(retry)) break;
      retry = std::min(retry * 2, options.retry_max);
      continue;
    }
    bridge.Info(fmt::format("reading device {} from the agent {} at sequence {}", options.device,
                            options.url, current.next_sequence));
    retry = options.retry_min;
    bridge.OnConnected(true);
    Deliver(current, bridge);
    if (FollowSamples(client, base, options, current.next_sequence, bridge, stop)) continue;
    if (stop.Stopped()) break;
    bridge.ReportTotals(nullptr);
    if (!stop.WaitFor(retry)) break;
  }
  bridge.ReportTotals(nullptr);
}

}  // namespace mtconnect
