// How the board's server runs, read from the machine settings store key
// `Software\Voltrane\Board` (values below; the defaults when missing):
//
//   Listen = "127.0.0.1:8080"       address and port; "[::1]:8080" for IPv6
//   ReadRequiresToken = 0           1: pages and GET requests need a token too
//   MaxBodyBytes = 1048576          larger request bodies get 413
//   MaxJsonDepth = 4                deeper JSON gets 400
//   MaxCommandsPerRequest = 10000
//   MaxConnections = 16             connections served at once
//   MaxWaitingConnections = 64      more waiting than this get 503 at once
//   RequestTimeoutSeconds = 10      to read a request or write a response
//   RefreshSeconds = 5              how often the board page polls
//
// Reading never fails: a missing or unusable value keeps its default.
#ifndef VOLTRANE_WEB_BOARD_OPTIONS_H_
#define VOLTRANE_WEB_BOARD_OPTIONS_H_

#include <cstddef>
#include <string>

#include "metrics/listen_address.h"
#include "web/command_body.h"

namespace web {

struct BoardOptions {
  std::string host = "127.0.0.1";
  int port = 8080;
  bool read_requires_token = false;
  size_t max_body_bytes = 1048576;
  BodyLimits body_limits;
  size_t max_connections = 16;
  size_t max_waiting_connections = 64;
  int request_timeout_seconds = 10;
  int refresh_seconds = 5;
};

BoardOptions ReadBoardOptions();

using metrics::ParseListenAddress;

}  // namespace web

#endif  // VOLTRANE_WEB_BOARD_OPTIONS_H_
