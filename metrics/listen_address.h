// The listen addresses of the programs' HTTP servers, as the settings give
// them: "host:port", "[v6 address]:port" or ":port" (loopback).
#ifndef VOLTRANE_METRICS_LISTEN_ADDRESS_H_
#define VOLTRANE_METRICS_LISTEN_ADDRESS_H_

#include <string>

namespace metrics {

// False for anything else, leaving host and port as they were.
bool ParseListenAddress(const std::string& text, std::string& host, int& port);

}  // namespace metrics

#endif  // VOLTRANE_METRICS_LISTEN_ADDRESS_H_
