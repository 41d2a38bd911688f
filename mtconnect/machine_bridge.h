// MachineBridge: one machine's way from its stream to its log. Sources hand
// over SHDR lines or observations; the bridge maps them to commands, appends
// them through the sink, and reports what it did and what it could not read.
//
// A command the sink refuses is reported and dropped: the stream goes on.
// Malformed lines are reported one by one up to a limit, then only counted;
// the totals give them all. Not thread-safe: used by its machine's thread.
#ifndef VOLTRANE_MTCONNECT_MACHINE_BRIDGE_H_
#define VOLTRANE_MTCONNECT_MACHINE_BRIDGE_H_

#include <cstdint>
#include <string>

#include "mtconnect/bridge_metrics.h"
#include "mtconnect/command_sink.h"
#include "mtconnect/observation_mapper.h"
#include "mtconnect/reporter.h"
#include "mtconnect/shdr_line.h"
#include "mtconnect/shdr_reader.h"

namespace mtconnect {

struct BridgeCounts {
  uint64_t observations = 0;
  uint64_t unknown_observations = 0;  // of items the mapping does not use
  uint64_t commands = 0;              // appended
  uint64_t failed_commands = 0;       // refused by the sink
};

class MachineBridge {
 public:
  // Malformed lines reported one by one before they are only counted.
  static constexpr uint64_t kMalformedReportLimit = 20;

  MachineBridge(std::string machine_number, MappingOptions options, CommandSink& sink,
                Reporter& reporter);

  const std::string& machine_number() const { return machine_number_; }
  const BridgeCounts& counts() const { return counts_; }
  // Where the bridge also counts for the metrics; none by default. The
  // status outlives the bridge.
  void SetStatus(MachineStatus* status) { status_ = status; }
  // The source connected or lost its connection.
  void OnConnected(bool connected);
  // A message read from the source (an SHDR line, an agent document).
  void OnMessage();

  // A line as a reader returned it; `where` names it for a report ("line 12").
  void OnShdrLine(const ShdrLine& line, const std::string& where);
  void OnObservation(const Observation& observation);

  void Info(const std::string& text) { reporter_.Report(Severity::kInfo, Prefixed(text)); }
  void Warning(const std::string& text) { reporter_.Report(Severity::kWarning, Prefixed(text)); }
  void Error(const std::string& text) { reporter_.Report(Severity::kError, Prefixed(text)); }

  // One line with the totals so far, the reader's too when given.
  void ReportTotals(const ShdrCounts* lines);

 private:
  std::string Prefixed(const std::string& text) const;

  const std::string machine_number_;
  ObservationMapper mapper_;
  CommandSink& sink_;
  Reporter& reporter_;
  BridgeCounts counts_;
  uint64_t malformed_reported_ = 0;
  MachineStatus* status_ = nullptr;
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_MACHINE_BRIDGE_H_
