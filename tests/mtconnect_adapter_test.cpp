// The live SHDR source against an adapter the test serves on loopback:
// heartbeats, a dropped connection and the reconnect (values sent again are
// no change), a silent adapter with and without heartbeats, and the back-off
// while nobody listens.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "mtconnect/adapter_source.h"
#include "mtconnect/bridge_metrics.h"
#include "tests/support/promtool_check.h"
#include "tests/support/child_process.h"
#include "tests/support/mtconnect_recording.h"

namespace mtconnect {
namespace {

using std::chrono::milliseconds;

// One listening socket on 127.0.0.1; the test plays the adapter on the
// connections it accepts.
class LoopbackAdapter {
 public:
  LoopbackAdapter() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = std::to_string(ntohs(address.sin_port));
  }
  ~LoopbackAdapter() { close(listener_); }

  const std::string& port() const { return port_; }

  // The next connection, or -1 when none comes within the limit.
  int Accept(milliseconds limit = milliseconds(10000)) {
    pollfd watch{listener_, POLLIN, 0};
    if (poll(&watch, 1, static_cast<int>(limit.count())) != 1) return -1;
    return accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  }
  static void Send(int fd, const std::string& text) {
    send(fd, text.data(), text.size(), MSG_NOSIGNAL);
  }
  // The next line from the bridge, "" when none comes within the limit.
  static std::string ReadLine(int fd, milliseconds limit = milliseconds(10000)) {
    std::string line;
    char c = 0;
    while (true) {
      pollfd watch{fd, POLLIN, 0};
      if (poll(&watch, 1, static_cast<int>(limit.count())) != 1) return "";
      if (recv(fd, &c, 1, 0) != 1) return "";
      if (c == '\n') return line;
      line += c;
    }
  }

 private:
  int listener_ = -1;
  std::string port_;
};

class AdapterSourceTest : public testing::Test {
 protected:
  AdapterSourceTest() {
    options_.host = "127.0.0.1";
    options_.port = adapter_.port();
    options_.retry_min = milliseconds(20);
    options_.retry_max = milliseconds(200);
    mapping_.items.execution = "exec";
    mapping_.items.part_count = "count";
  }
  ~AdapterSourceTest() override { Stop(); }

  void Start() {
    thread_ = std::thread([this] {
      MachineBridge bridge("101", mapping_, sink_, reporter_);
      bridge.SetStatus(&status_);
      RunAdapter(options_, bridge, stop_);
    });
  }
  void Stop() {
    stop_.Stop();
    if (thread_.joinable()) thread_.join();
  }
  size_t Commands() const { return sink_.commands().size(); }

  LoopbackAdapter adapter_;
  AdapterOptions options_;
  MappingOptions mapping_;
  testsupport::RecordingSink sink_;
  testsupport::RecordingReporter reporter_;
  StopSignal stop_;
  metrics::Registry registry_;
  BridgeMetrics bridge_metrics_{registry_};
  MachineStatus& status_ = bridge_metrics_.ForMachine("101");
  std::thread thread_;
};

TEST_F(AdapterSourceTest, AnswersHeartbeatsAndPingsAtTheAdaptersPace) {
  Start();
  const int connection = adapter_.Accept();
  ASSERT_GE(connection, 0);
  EXPECT_EQ(LoopbackAdapter::ReadLine(connection), "* PING");
  LoopbackAdapter::Send(connection, "* PONG 200\n2022-08-08T13:51:36.771Z|exec|ACTIVE\n");
  ASSERT_TRUE(testsupport::WaitFor([&] { return Commands() == 1; }, 10000));
  // Pinged again every 200 ms; each answer keeps the connection alive.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(LoopbackAdapter::ReadLine(connection, milliseconds(1000)), "* PING");
    LoopbackAdapter::Send(connection, "* PONG 200\n");
  }
  EXPECT_EQ(reporter_.Count("the adapter answers heartbeats every 200 ms"), 1u) << reporter_.All();
  EXPECT_EQ(reporter_.Count("silent"), 0u) << reporter_.All();
  Stop();
  close(connection);
}

TEST_F(AdapterSourceTest, ReconnectsAfterADropAndValuesSentAgainChangeNothing) {
  Start();
  int connection = adapter_.Accept();
  ASSERT_GE(connection, 0);
  EXPECT_EQ(LoopbackAdapter::ReadLine(connection), "* PING");
  // A long line (as real adapters send for their properties) before the data.
  LoopbackAdapter::Send(
      connection, "2022-08-08T13:51:34Z|OperatingSystemAll|" + std::string(300000, 'x') + "\n");
  LoopbackAdapter::Send(connection,
                        "2022-08-08T13:51:36Z|exec|ACTIVE|count|7\nno time stamp here\n");
  ASSERT_TRUE(testsupport::WaitFor([&] { return Commands() == 1; }, 10000));
  close(connection);  // the adapter goes away

  connection = adapter_.Accept();
  ASSERT_GE(connection, 0);
  EXPECT_EQ(LoopbackAdapter::ReadLine(connection), "* PING");
  // An adapter sends all its values again after a reconnect.
  LoopbackAdapter::Send(connection,
                        "2022-08-08T13:52:00Z|exec|ACTIVE|count|7\n"
                        "2022-08-08T13:54:43Z|exec|READY|count|8\n");
  ASSERT_TRUE(testsupport::WaitFor([&] { return Commands() == 3; }, 10000));
  Stop();
  close(connection);
  const std::vector<LogCommand> expected = {
      {kCycleCommand, kStartCode, "", 1659966696000},
      {kCycleCommand, kEndCode, "", 1659966883000},
      {kGoodCountCommand, kBothCode, "1", 1659966883000},
  };
  EXPECT_EQ(sink_.commands(), expected);
  EXPECT_EQ(reporter_.Count("the adapter closed the connection"), 1u) << reporter_.All();
  EXPECT_EQ(reporter_.Count("malformed SHDR line 3 of this connection skipped"), 1u)
      << reporter_.All();
}

TEST_F(AdapterSourceTest, MetricsCountLinesCommandsMalformedLinesAndReconnects) {
  Start();
  int connection = adapter_.Accept();
  ASSERT_GE(connection, 0);
  LoopbackAdapter::Send(connection, "2022-08-08T13:51:36Z|exec|ACTIVE\nno time stamp here\n");
  ASSERT_TRUE(testsupport::WaitFor([&] { return status_.malformed == 1; }, 10000));
  EXPECT_NE(registry_.Render().find("voltrane_mtconnect_connected{machine=\"101\"} 1\n"),
            std::string::npos);
  close(connection);

  connection = adapter_.Accept();
  ASSERT_GE(connection, 0);
  LoopbackAdapter::Send(connection, "2022-08-08T13:54:43Z|exec|READY\n");
  ASSERT_TRUE(testsupport::WaitFor([&] { return Commands() == 2; }, 10000));
  const std::string text = registry_.Render();
  EXPECT_NE(text.find("voltrane_mtconnect_messages_total{machine=\"101\"} 3\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("voltrane_mtconnect_commands_written_total{machine=\"101\"} 2\n"),
            std::string::npos);
  EXPECT_NE(text.find("voltrane_mtconnect_malformed_lines_total{machine=\"101\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("voltrane_mtconnect_reconnects_total{machine=\"101\"} 1\n"),
            std::string::npos);
  EXPECT_EQ(testsupport::PromtoolProblems(text), "");
  Stop();
  close(connection);
  EXPECT_NE(registry_.Render().find("voltrane_mtconnect_connected{machine=\"101\"} 0\n"),
            std::string::npos);
}

TEST_F(AdapterSourceTest, ASilentAdapterIsLeftAndCalledAgain) {
  Start();
  // With heartbeats: twice the heartbeat without a line.
  int connection = adapter_.Accept();
  ASSERT_GE(connection, 0);
  LoopbackAdapter::Send(connection, "* PONG 50\n");
  const int second = adapter_.Accept(milliseconds(2000));
  EXPECT_GE(second, 0);
  EXPECT_EQ(reporter_.Count("the adapter has been silent for 100 ms"), 1u) << reporter_.All();
  Stop();
  close(connection);
  close(second);
}

TEST_F(AdapterSourceTest, AnAdapterWithoutHeartbeatsHasTheSilenceLimit) {
  options_.silence_limit = milliseconds(150);
  Start();
  const int connection = adapter_.Accept();
  ASSERT_GE(connection, 0);
  EXPECT_EQ(LoopbackAdapter::ReadLine(connection), "* PING");  // never answered
  const int second = adapter_.Accept(milliseconds(2000));
  EXPECT_GE(second, 0);
  EXPECT_EQ(reporter_.Count("the adapter has been silent for 150 ms"), 1u) << reporter_.All();
  Stop();
  close(connection);
  close(second);
}

TEST(AdapterSource, BacksOffWhileNobodyListensAndStopsAtOnce) {
  // A port that refuses: bound and closed again.
  std::string port;
  {
    LoopbackAdapter closed;
    port = closed.port();
  }
  AdapterOptions options{"127.0.0.1", port};
  options.retry_min = milliseconds(10);
  options.retry_max = milliseconds(40);
  MappingOptions mapping;
  testsupport::RecordingSink sink;
  testsupport::RecordingReporter reporter;
  StopSignal stop;
  std::thread runner([&] {
    MachineBridge bridge("101", mapping, sink, reporter);
    RunAdapter(options, bridge, stop);
  });
  ASSERT_TRUE(
      testsupport::WaitFor([&] { return reporter.Count("reconnecting in 40 ms") >= 2; }, 10000))
      << reporter.All();
  EXPECT_EQ(reporter.Count("reconnecting in 10 ms"), 1u);
  EXPECT_EQ(reporter.Count("reconnecting in 20 ms"), 1u);
  EXPECT_GE(reporter.Count("cannot connect to the adapter 127.0.0.1:" + port), 3u);
  stop.Stop();
  runner.join();
}

TEST(HostPort, ReadsHostsPortsAndBracketedAddresses) {
  std::string host, port, message;
  EXPECT_TRUE(ParseHostPort("lathe-7.plant:7878", host, port, message));
  EXPECT_EQ(host + " " + port, "lathe-7.plant 7878");
  EXPECT_TRUE(ParseHostPort("[::1]:7878", host, port, message));
  EXPECT_EQ(host, "::1");
  for (const char* bad : {"lathe-7", ":7878", "lathe:", "lathe:0", "lathe:65536", "lathe:78x"}) {
    EXPECT_FALSE(ParseHostPort(bad, host, port, message)) << bad;
  }
  EXPECT_EQ(message, "\"lathe:78x\" is not HOST:PORT");
}

}  // namespace
}  // namespace mtconnect
