// RunBridge: the MQTT bridge's life. Connects with the fixed client id and
// a persistent session (the broker keeps what is published meanwhile),
// subscribes at QoS 1, hands each message to the router and acknowledges it
// once its rows are committed, in the order the broker delivers them (one
// thread, so each machine's rows keep their publish order). A broker that
// goes away is connected again with back-off (reconnect_min up to
// reconnect_max, doubling); each outage is reported once, and its end once.
// Returns when the stop signal is given.
#ifndef VOLTRANE_MQTT_BRIDGE_LOOP_H_
#define VOLTRANE_MQTT_BRIDGE_LOOP_H_

#include <string>

#include "mqtt/bridge_config.h"
#include "mqtt/bridge_counters.h"
#include "mqtt/message_router.h"
#include "mtconnect/reporter.h"
#include "mtconnect/stop_signal.h"

namespace mqtt {

void RunBridge(const BridgeConfig& config, const std::string& password, MessageRouter& router,
               mtconnect::Reporter& reporter, BridgeCounters& counters,
               const mtconnect::StopSignal& stop);

}  // namespace mqtt

#endif  // VOLTRANE_MQTT_BRIDGE_LOOP_H_
