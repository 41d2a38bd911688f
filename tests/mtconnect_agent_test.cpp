// The agent source against an MTConnect agent the test serves over HTTP on
// loopback: /current, then /sample?from= in sequence order, an OUT_OF_RANGE
// answer that sends it back to /current, and the documents it refuses.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

#include "mtconnect/agent_document.h"
#include "mtconnect/agent_source.h"
#include "tests/support/child_process.h"
#include "tests/support/mtconnect_recording.h"

namespace mtconnect {
namespace {

using std::chrono::milliseconds;

std::string Streams(uint64_t next, const std::string& device_streams) {
  return "<?xml version=\"1.0\"?>\n<MTConnectStreams "
         "xmlns=\"urn:mtconnect.org:MTConnectStreams:1.3\">"
         "<Header creationTime=\"2022-08-08T14:00:00Z\" instanceId=\"1\" bufferSize=\"131072\" "
         "firstSequence=\"1\" lastSequence=\"" +
         std::to_string(next - 1) + "\" nextSequence=\"" + std::to_string(next) + "\"/><Streams>" +
         device_streams + "</Streams></MTConnectStreams>";
}

std::string Device(const std::string& name, const std::string& components) {
  return "<DeviceStream name=\"" + name + "\" uuid=\"" + name + "-1\">" + components +
         "</DeviceStream>";
}

std::string Component(const std::string& events) {
  return "<ComponentStream component=\"Path\" componentId=\"p1\"><Events>" + events +
         "</Events><Condition><Normal dataItemId=\"sys\" timestamp=\"2022-08-08T13:00:00Z\" "
         "sequence=\"1\" type=\"SYSTEM\"/></Condition></ComponentStream>";
}

std::string Event(const std::string& element, const std::string& id, const std::string& name,
                  uint64_t sequence, const std::string& time, const std::string& value) {
  return "<" + element + " dataItemId=\"" + id + "\" name=\"" + name + "\" sequence=\"" +
         std::to_string(sequence) + "\" timestamp=\"" + time + "\">" + value + "</" + element + ">";
}

const std::string kOutOfRange =
    "<?xml version=\"1.0\"?><MTConnectError><Header/><Errors><Error errorCode=\"OUT_OF_RANGE\">"
    "'from' must be greater than 3</Error></Errors></MTConnectError>";

// An agent holding one lathe (and a machine of no interest) that forgets the
// first /sample it is asked for once.
class LoopbackAgent {
 public:
  LoopbackAgent() {
    server_.Get("/OKUMA/current", [this](const httplib::Request&, httplib::Response& response) {
      ++current_requests_;
      response.set_content(
          Streams(4, Device("OKUMA", Component(Event("Execution", "exec", "execution", 1,
                                                     "2022-08-08T13:51:30Z", "READY") +
                                               Event("PartCount", "pc", "part_count", 2,
                                                     "2022-08-08T13:51:31Z", "5") +
                                               Event("Program", "prog", "program", 3,
                                                     "2022-08-08T13:51:32.250Z", "O1234"))) +
                         Device("OTHER", Component(Event("Execution", "exec2", "execution", 9,
                                                         "2022-08-08T13:51:30Z", "ACTIVE")))),
          "text/xml");
    });
    server_.Get(
        "/OKUMA/sample", [this](const httplib::Request& request, httplib::Response& response) {
          const std::string from = request.get_param_value("from");
          if (from == "4" && !forgot_once_.exchange(true)) {
            response.status = 404;
            response.set_content(kOutOfRange, "text/xml");
          } else if (from == "4") {
            response.set_content(
                Streams(5, Device("OKUMA", Component(Event("Execution", "exec", "execution", 4,
                                                           "2022-08-08T13:51:36Z", "ACTIVE")))),
                "text/xml");
          } else if (from == "5") {
            // Grouped by component, not in sequence order.
            response.set_content(
                Streams(7, Device("OKUMA", Component(Event("PartCount", "pc", "part_count", 6,
                                                           "2022-08-08T13:54:44Z", "6")) +
                                               Component(Event("Execution", "exec", "execution", 5,
                                                               "2022-08-08T13:54:43Z", "READY")))),
                "text/xml");
          } else {
            ++idle_samples_;
            response.set_content(Streams(7, Device("OKUMA", "")), "text/xml");
          }
        });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // Bound and listening already: requests wait in the backlog until the loop runs.
  }
  ~LoopbackAgent() {
    server_.stop();
    thread_.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

  std::atomic<int> current_requests_{0};
  std::atomic<int> idle_samples_{0};

 private:
  httplib::Server server_;
  int port_ = 0;
  std::atomic<bool> forgot_once_{false};
  std::thread thread_;
};

// One bridge following an agent on its own thread, as `korvex7 mtconnect` runs it.
class AgentRun {
 public:
  explicit AgentRun(const AgentOptions& options)
      : runner_([this, options] {
          MachineBridge bridge("101", MappingOptions{}, sink, reporter);
          RunAgent(options, bridge, stop_);
        }) {}
  ~AgentRun() { Stop(); }
  void Stop() {
    stop_.Stop();
    if (runner_.joinable()) runner_.join();
  }

  testsupport::RecordingSink sink;
  testsupport::RecordingReporter reporter;

 private:
  StopSignal stop_;
  std::thread runner_;
};

TEST(AgentSource, FollowsTheDeviceFromCurrentThroughSamplesInSequenceOrder) {
  LoopbackAgent agent;
  AgentOptions options;
  options.url = agent.url();
  options.device = "OKUMA";
  options.poll_interval = milliseconds(10);
  options.retry_min = milliseconds(10);
  AgentRun run(options);
  ASSERT_TRUE(testsupport::WaitFor([&] { return agent.idle_samples_ >= 2; }, 10000))
      << run.reporter.All();
  run.Stop();
  const std::vector<LogCommand> expected = {
      {kPartCommand, kStartCode, "O1234", 1659966692250},
      {kCycleCommand, kStartCode, "", 1659966696000},
      {kCycleCommand, kEndCode, "", 1659966883000},
      {kGoodCountCommand, kBothCode, "1", 1659966884000},
  };
  EXPECT_EQ(run.sink.commands(), expected) << run.reporter.All();
  // The forgotten sequence sent it back to /current, whose values changed nothing.
  EXPECT_EQ(agent.current_requests_, 2);
  EXPECT_EQ(run.reporter.Count("the agent no longer holds sequence 4"), 1u) << run.reporter.All();
}

TEST(AgentSource, KeepsTryingAnAgentThatIsNotThere) {
  AgentOptions options;
  options.url = "http://127.0.0.1:1";
  options.device = "OKUMA";
  options.retry_min = milliseconds(10);
  options.retry_max = milliseconds(20);
  AgentRun run(options);
  EXPECT_TRUE(
      testsupport::WaitFor([&] { return run.reporter.Count("again in 20 ms") >= 2; }, 10000))
      << run.reporter.All();
  run.Stop();
  EXPECT_EQ(run.reporter.Count("cannot read the agent http://127.0.0.1:1: "),
            run.reporter.Count("again in"));
}

TEST(AgentDocument, SaysWhatIsWrongWithAnAnswer) {
  EXPECT_EQ(ReadAgentDocument("<MTConnectStreams", "OKUMA").error.substr(0, 16),
            "unreadable XML: ");
  EXPECT_EQ(ReadAgentDocument("<MTConnectDevices/>", "OKUMA").error,
            "not an MTConnectStreams document but MTConnectDevices");
  const AgentDocument gone = ReadAgentDocument(kOutOfRange, "OKUMA");
  EXPECT_TRUE(gone.out_of_range);
  EXPECT_EQ(gone.error, "OUT_OF_RANGE: 'from' must be greater than 3");
  const AgentDocument other = ReadAgentDocument(
      Streams(2, Device("OTHER",
                        Component(Event("Execution", "e", "execution", 1, "2022-08-08T13:51:30Z",
                                        "ACTIVE") +
                                  Event("Execution", "e", "execution", 2, "yesterday", "READY")))),
      "OKUMA");
  EXPECT_FALSE(other.device_seen);
  EXPECT_TRUE(other.observations.empty());
  const AgentDocument own = ReadAgentDocument(
      Streams(3, Device("OKUMA",
                        Component(Event("Execution", "e", "execution", 1, "2022-08-08T13:51:30Z",
                                        "ACTIVE") +
                                  Event("Execution", "e", "execution", 2, "yesterday", "READY")))),
      "OKUMA");
  EXPECT_TRUE(own.device_seen);
  EXPECT_EQ(own.next_sequence, 3u);
  ASSERT_EQ(own.observations.size(), 1u);
  EXPECT_EQ(own.observations[0].name, "execution");
  EXPECT_EQ(own.skipped, 1u);
}

}  // namespace
}  // namespace mtconnect
