#include "tests/support/mosquitto_broker.h"

#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/test_databases.h"

namespace testsupport {
namespace {

constexpr const char* kMosquitto = "/usr/sbin/mosquitto";

bool Accepts(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// A CA and a certificate for localhost signed by it, in `dir`.
bool MakeCertificates(const std::string& dir) {
  const std::string quiet = " >/dev/null 2>&1";
  const std::string in = "cd '" + dir + "' && ";
  return std::system((in +
                      "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt "
                      "-days 2 -subj /CN=test-ca" +
                      quiet)
                         .c_str()) == 0 &&
         std::system((in +
                      "openssl req -newkey rsa:2048 -nodes -keyout server.key -out "
                      "server.csr -subj /CN=localhost" +
                      quiet)
                         .c_str()) == 0 &&
         std::system((in +
                      "printf 'subjectAltName=DNS:localhost' > ext && openssl x509 -req "
                      "-in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out "
                      "server.crt -days 2 -extfile ext" +
                      quiet)
                         .c_str()) == 0;
}

}  // namespace

bool MosquittoInstalled() { return ::access(kMosquitto, X_OK) == 0; }

uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

MosquittoBroker::MosquittoBroker(bool tls) : dir_(MakeTempDir()), port_(FreePort()) {
  const passwd* me = getpwuid(getuid());
  std::ofstream config(dir_ + "/mosquitto.conf");
  config << "listener " << port_ << " 127.0.0.1\n";
  // The TLS settings belong to the listener above them.
  if (tls && MakeCertificates(dir_)) {
    config << "cafile " << dir_ << "/ca.crt\ncertfile " << dir_ << "/server.crt\nkeyfile " << dir_
           << "/server.key\n";
  }
  config << "allow_anonymous true\n"
         << "persistence true\n"
         << "persistence_location " << dir_ << "/\n"
         << "max_queued_messages 100000\n"
         << "user " << (me != nullptr ? me->pw_name : "root") << "\n";
}

MosquittoBroker::~MosquittoBroker() {
  Stop();
  std::filesystem::remove_all(dir_);
}

bool MosquittoBroker::Start() {
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{kMosquitto, "-c", dir_ + "/mosquitto.conf"},
      std::map<std::string, std::string>{}, dir_ + "/broker.log");
  return WaitFor([this] { return Accepts(port_) || !process_->Running(); }, 10000) &&
         process_->Running();
}

void MosquittoBroker::Stop() {
  if (!process_) return;
  process_->Signal(SIGTERM);
  process_->WaitForExit(10000);
  process_.reset();
}

std::string MosquittoBroker::Output() const { return process_ ? process_->Output() : ""; }

}  // namespace testsupport
