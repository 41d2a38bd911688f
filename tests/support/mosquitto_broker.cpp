#include "tests/support/mosquitto_broker.h"

#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

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

MosquittoBroker::MosquittoBroker() : dir_(MakeTempDir()), port_(FreePort()) {
  const passwd* me = getpwuid(getuid());
  std::ofstream(dir_ + "/mosquitto.conf")
      << "listener " << port_ << " 127.0.0.1\n"
      << "allow_anonymous true\n"
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
