// A Mosquitto broker of a test's own: on a free port of 127.0.0.1, with
// persistence on in a temporary folder and a per-client queue large enough
// for the test's messages, stopped (and its folder removed) with the object.
// Stop() and Start() restart it on the same port with what it persisted.
// Optionally TLS only.
#ifndef VOLTRANE_TESTS_SUPPORT_MOSQUITTO_BROKER_H_
#define VOLTRANE_TESTS_SUPPORT_MOSQUITTO_BROKER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace testsupport {

// Whether the broker program is installed (tests skip without it).
bool MosquittoInstalled();

// A TCP port nobody listens on just now.
uint16_t FreePort();

class MosquittoBroker {
 public:
  // `tls`: the listener speaks TLS with a certificate for localhost signed
  // by a CA of its own (ca_file()); made with the openssl program.
  explicit MosquittoBroker(bool tls = false);
  ~MosquittoBroker();

  // Starts the broker and waits until it accepts connections; false when it did not.
  bool Start();
  // SIGTERM: the broker saves its persistence file and ends.
  void Stop();
  uint16_t port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Output() const;
  std::string ca_file() const { return dir_ + "/ca.crt"; }

 private:
  std::string dir_;
  uint16_t port_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_MOSQUITTO_BROKER_H_
