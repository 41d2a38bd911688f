// The bridge's machines: for each, its machine number, its source (a live
// adapter, a recorded file or an agent) and the mapping of its items. Built
// from the command line (one machine) or a TOML file (several):
//
//   [[machine]]
//   number = "101"
//   adapter = "10.1.2.3:7878"          # or: replay = "file", speed = 0
//                                      # or: agent = "http://host:5000", device = "OKUMA"
//   items = { execution = "pexecution", part_count = "ppartcount" }
//   program_starts = "part"            # or "job"
//   downtime_code = "100"
//   estop_downtime_code = "110"        # default: downtime_code
//   silence_timeout = 600              # seconds, for adapters without heartbeats
//   retry_max = 60                     # seconds between reconnects at most
//   poll_interval = 1000               # milliseconds between agent requests
#ifndef VOLTRANE_MTCONNECT_BRIDGE_CONFIG_H_
#define VOLTRANE_MTCONNECT_BRIDGE_CONFIG_H_

#include <string>
#include <vector>

#include "mtconnect/adapter_source.h"
#include "mtconnect/agent_source.h"
#include "mtconnect/observation_mapper.h"
#include "mtconnect/replay_source.h"

namespace mtconnect {

enum class SourceKind { kNone, kAdapter, kReplay, kAgent };

struct MachineConfig {
  std::string machine_number;
  SourceKind source = SourceKind::kNone;
  AdapterOptions adapter;
  ReplayOptions replay;
  AgentOptions agent;
  MappingOptions mapping;
};

// Reads the machines of a TOML file. False with a message that names the
// file, the machine and the key at fault.
bool LoadBridgeConfig(const std::string& path, std::vector<MachineConfig>& machines,
                      std::string& message);

// What a machine must have before it runs: a number, exactly one source, a
// device for an agent, a speed not below 0, and no machine twice. False with
// a message.
bool CheckMachines(const std::vector<MachineConfig>& machines, std::string& message);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_BRIDGE_CONFIG_H_
