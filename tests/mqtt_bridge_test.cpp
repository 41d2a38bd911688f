// The MQTT bridge (`korvex7 mqtt`) against a real Mosquitto broker of the
// test's own and every available database: commands published with QoS 1
// while the bridge is killed and restarted (and the broker restarted) end up
// in the log exactly once each, every machine's in publish order; refused
// and malformed messages are reported and passed over; a Sparkplug B
// device's life (BIRTH with aliases, DATA, DEATH, BIRTH again) gives the
// cycles, parts and downtime of the mapping after processing.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "mqtt/broker_connection.h"
#include "mqtt/sparkplug_payload.h"
#include "tests/support/child_process.h"
#include "tests/support/log_queries.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/shop_floor_db.h"

namespace {

using mqtt::SparkplugMetric;
using mqtt::SparkplugPayload;
using mqtt::SparkplugType;
using mqtt::ValueKind;
using testsupport::WaitFor;

const std::vector<std::string> kMachines = {"101", "102", "201", "202", "301"};
// The suite's bounded run; scripts/mqtt-crash-check.sh sets larger ones.
int FromEnvironment(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}
const int kCommands = FromEnvironment("VOLTRANE_MQTT_COMMANDS", 300);
const int kKills = FromEnvironment("VOLTRANE_MQTT_KILLS", 3);
constexpr int kPublishPaceMs = 3;

// 2026-01-05 07:00:00 UTC.
constexpr uint64_t kMorningMs = 1767596400000;
constexpr uint64_t kMinute = 60000;

// Publishes with QoS 1, connecting again and sending again what a lost
// connection may not have delivered (the bridge's ids make that harmless).
class Publisher {
 public:
  explicit Publisher(uint16_t port) : port_(port) {}
  void Publish(const std::string& topic, const std::string& payload, bool retain = false) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
      std::string error;
      if (!connection_.connected() &&
          !connection_.Connect({"127.0.0.1", port_, ""}, {"test-publisher", true, 30, "", ""},
                               error)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        continue;
      }
      if (connection_.Publish(topic, payload, 1, error, retain)) return;
    }
    ADD_FAILURE() << "could not publish to " << topic;
  }

 private:
  uint16_t port_;
  mqtt::BrokerConnection connection_;
};

class MqttBridgeTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!testsupport::MosquittoInstalled()) GTEST_SKIP() << "mosquitto is not installed";
    setenv("TZ", "UTC", 1);
    tzset();
    dir_ = testsupport::MakeTempDir();
    setenv("VOLTRANE_MACHINE_STORE", (dir_ + "/machine.toml").c_str(), 1);
    setenv("VOLTRANE_USER_STORE", (dir_ + "/user.toml").c_str(), 1);
    database_ = testsupport::CreateShopFloorDatabase(GetParam(), true);
    connection_ = std::make_shared<dbaccess::Connection>();
    connection_->Open(database_.connection_string);
    ASSERT_TRUE(broker_.Start()) << broker_.Output();
  }
  void TearDown() override {
    bridge_.reset();
    broker_.Stop();
    if (!connection_) return;
    connection_.reset();
    testsupport::DropTestDatabase(database_);
    std::filesystem::remove_all(dir_);
    unsetenv("TZ");
    tzset();
  }

  // Starts the bridge (on the test's broker unless another is named); `wait`
  // until it is subscribed.
  void StartBridge(bool wait, const std::vector<std::string>& more = {},
                   const std::string& broker = "") {
    std::vector<std::string> arguments = {KORVEX7_TOOL_PATH,
                                          "--connection",
                                          database_.connection_string,
                                          "--dbtype",
                                          database_.name,
                                          "mqtt",
                                          "--broker",
                                          broker.empty() ? broker_.address() : broker,
                                          "--client-id",
                                          "test-bridge",
                                          "--reconnect-min-ms",
                                          "50",
                                          "--reconnect-max-ms",
                                          "400"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    bridge_ = std::make_unique<testsupport::ChildProcess>(
        arguments, std::map<std::string, std::string>{},
        dir_ + "/bridge-" + std::to_string(++bridge_runs_) + ".log");
    if (wait) {
      ASSERT_TRUE(WaitFor(
          [this] { return bridge_->Output().find("Connected") != std::string::npos; }, 20000))
          << bridge_->Output();
    }
  }
  std::string StopBridge() {
    bridge_->Signal(SIGTERM);
    EXPECT_EQ(bridge_->WaitForExit(10000), 0) << bridge_->Output();
    return bridge_->Output();
  }
  void KillBridge() {
    bridge_->Signal(SIGKILL);
    bridge_->WaitForExit(10000);
  }
  int64_t LogCount() {
    dbaccess::Recordset rs;
    rs.Open("select count(*) from T_SFC_MDC_LOG", connection_);
    return rs.Fields(size_t{0}).Value().ToInt64();
  }
  // Waits until the log holds `rows`, then a little longer to see that no more come.
  void ExpectLogRows(int64_t rows) {
    EXPECT_TRUE(WaitFor([&] { return LogCount() >= rows; }, 60000)) << LogCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(LogCount(), rows);
  }
  std::vector<std::string> Rows(const std::string& sql) {
    return testsupport::QueryRows(connection_, sql);
  }
  // Each machine's PARAM1 values in log order.
  std::map<std::string, std::vector<std::string>> ParamsByMachine() {
    std::map<std::string, std::vector<std::string>> params;
    for (const std::string& row :
         Rows("select m.MACHINE_NUMBER, l.PARAM1 from T_SFC_MDC_LOG l, T_SFC_MACHINE m "
              "where m.MACHINE_ID = l.MACHINE_ID order by l.MDC_LOG_ID")) {
      params[row.substr(0, row.find('|'))].push_back(row.substr(row.find('|') + 1));
    }
    return params;
  }
  // Publishes `count` heartbeats round the machines, with `during` run beside it.
  template <typename During>
  void PublishHeartbeats(int count, During during) {
    std::atomic<bool> done{false};
    std::thread publisher([&] {
      Publisher out(broker_.port());
      for (int i = 0; i < count; ++i) {
        const std::string& machine = kMachines[i % kMachines.size()];
        out.Publish("voltrane/" + machine + "/commands",
                    "{\"type\": 15, \"param\": \"" + std::to_string(i) + "\", \"id\": \"hb-" +
                        std::to_string(i) + "\"}");
        std::this_thread::sleep_for(std::chrono::milliseconds(kPublishPaceMs));
      }
      done = true;
    });
    during(done);
    publisher.join();
  }
  void ExpectEveryHeartbeatOnceInOrder(int count) {
    ExpectLogRows(count);
    std::map<std::string, std::vector<std::string>> expected;
    for (int i = 0; i < count; ++i) {
      expected[kMachines[i % kMachines.size()]].push_back(std::to_string(i));
    }
    EXPECT_EQ(ParamsByMachine(), expected);
  }
  std::string dir_;
  testsupport::TestDatabase database_;
  std::shared_ptr<dbaccess::Connection> connection_;
  testsupport::MosquittoBroker broker_;
  std::unique_ptr<testsupport::ChildProcess> bridge_;
  int bridge_runs_ = 0;
};

TEST_P(MqttBridgeTest, KilledBridgeAppendsEachCommandOnceInPublishOrder) {
  StartBridge(true);
  std::mt19937 random(std::random_device{}());
  // Kills spread at random over the time the publishing takes.
  const int spacing_ms = kCommands * kPublishPaceMs / (kKills + 1);
  PublishHeartbeats(kCommands, [&](const std::atomic<bool>&) {
    for (int kill = 0; kill < kKills; ++kill) {
      std::this_thread::sleep_for(
          std::chrono::milliseconds(spacing_ms / 2 + static_cast<int>(random() % spacing_ms)));
      KillBridge();
      StartBridge(false);
    }
  });
  ExpectEveryHeartbeatOnceInOrder(kCommands);
  StopBridge();
}

TEST_P(MqttBridgeTest, BrokerRestartedMeanwhileLosesNothing) {
  StartBridge(true);
  std::string first_run;
  PublishHeartbeats(kCommands, [&](const std::atomic<bool>&) {
    // The broker goes away under the running bridge, then the bridge is killed too.
    std::this_thread::sleep_for(std::chrono::milliseconds(kCommands * kPublishPaceMs / 3));
    broker_.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(broker_.Start()) << broker_.Output();
    ASSERT_TRUE(WaitFor(
        [&] { return bridge_->Output().find("Connected again") != std::string::npos; }, 10000))
        << bridge_->Output();
    std::this_thread::sleep_for(std::chrono::milliseconds(kCommands * kPublishPaceMs / 3));
    first_run = bridge_->Output();
    KillBridge();
    StartBridge(false);
  });
  ExpectEveryHeartbeatOnceInOrder(kCommands);
  StopBridge();
  // The outage is reported once, and its end once.
  const size_t lost = first_run.find("Cannot connect to broker");
  ASSERT_NE(lost, std::string::npos) << first_run;
  EXPECT_EQ(lost, first_run.rfind("Cannot connect to broker")) << first_run;
  EXPECT_EQ(first_run.find("Connected again"), first_run.rfind("Connected again")) << first_run;
}

TEST_P(MqttBridgeTest, RefusedAndMalformedMessagesAreReportedAndPassedOver) {
  StartBridge(true);
  Publisher out(broker_.port());
  out.Publish("voltrane/101/commands", "{\"machine\": \"102\", \"type\": 15}");
  out.Publish("voltrane/101/commands", "not json");
  // An array is one transaction: its second command refuses the first too.
  out.Publish("voltrane/101/commands", "[{\"type\": 15, \"id\": \"b1\"}, {\"type\": 999}]");
  out.Publish("voltrane/101/commands", "{\"type\": 15, \"param\": \"once\", \"id\": \"a\"}");
  out.Publish("voltrane/101/commands", "{\"type\": 15, \"param\": \"twice\", \"id\": \"a\"}");
  out.Publish("voltrane/101/commands", "{\"type\": 15, \"time\": \"2099-01-01T00:00:00\"}");
  // Retained: taken now, as a live message, but never again when the broker
  // resends it to a new subscription.
  out.Publish("voltrane/101/commands", "{\"type\": 15, \"param\": \"kept\"}", true);
  out.Publish("voltrane/102/commands", "{\"type\": 15, \"param\": \"last\"}");
  ExpectLogRows(3);
  EXPECT_EQ(ParamsByMachine(), (std::map<std::string, std::vector<std::string>>{
                                   {"101", {"once", "kept"}}, {"102", {"last"}}}));
  const std::string output = StopBridge();
  EXPECT_NE(output.find("command 0 names machine 102, the topic machine 101"), std::string::npos)
      << output;
  EXPECT_NE(output.find("Malformed message on voltrane/101/commands skipped: malformed JSON"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("command 1: No command with a COMMAND_TYPE_CODE of 999"), std::string::npos)
      << output;
  EXPECT_NE(output.find("seconds after the database's time"), std::string::npos) << output;
  EXPECT_NE(
      output.find("8 messages, 3 commands written, 1 delivered again, 2 refused, 2 malformed"),
      std::string::npos)
      << output;
  StartBridge(true);
  EXPECT_TRUE(WaitFor(
      [this] { return bridge_->Output().find("a retained command") != std::string::npos; }, 5000))
      << bridge_->Output();
  EXPECT_EQ(LogCount(), 3);
  StopBridge();
}

TEST_P(MqttBridgeTest, TlsBrokerIsCheckedAgainstTheConfiguredCa) {
  if (GetParam() != "SQLite") GTEST_SKIP() << "the broker's TLS does not depend on the database";
  testsupport::MosquittoBroker tls_broker(true);
  ASSERT_TRUE(tls_broker.Start()) << tls_broker.Output();
  const std::string address = "localhost:" + std::to_string(tls_broker.port());
  const std::string good = dir_ + "/tls.toml";
  std::ofstream(good) << "tls_ca_file = \"" << tls_broker.ca_file() << "\"\n";
  // The broker's own certificate is no CA: the handshake is refused.
  std::string server_certificate = tls_broker.ca_file();
  server_certificate.replace(server_certificate.rfind("ca.crt"), 6, "server.crt");
  const std::string wrong = dir_ + "/wrong.toml";
  std::ofstream(wrong) << "tls_ca_file = \"" << server_certificate << "\"\n";
  StartBridge(false, {"--config", wrong}, address);
  EXPECT_TRUE(WaitFor(
      [this] { return bridge_->Output().find("Cannot connect to broker") != std::string::npos; },
      10000));
  EXPECT_NE(StopBridge().find("certificate verify failed"), std::string::npos) << bridge_->Output();
  StartBridge(true, {"--config", good}, address);
  StopBridge();
}

SparkplugMetric Named(const std::string& name, uint64_t alias, SparkplugType type,
                      const std::string& text, uint64_t integer) {
  SparkplugMetric metric;
  metric.name = name;
  metric.alias = alias;
  metric.datatype = static_cast<uint32_t>(type);
  metric.kind = type == SparkplugType::kString ? ValueKind::kString : ValueKind::kInt;
  metric.text = text;
  metric.integer = integer;
  return metric;
}

// DATA metrics carry the alias only, and no datatype: the BIRTH gave both.
SparkplugMetric ByAlias(uint64_t alias, const std::string& text, uint64_t integer,
                        std::optional<uint64_t> timestamp = std::nullopt) {
  SparkplugMetric metric;
  metric.alias = alias;
  metric.kind = text.empty() ? ValueKind::kInt : ValueKind::kString;
  metric.text = text;
  metric.integer = integer;
  metric.timestamp = timestamp;
  return metric;
}

SparkplugPayload Birth(uint64_t at, int64_t parts) {
  return {at,
          0,
          {Named("Execution", 1, SparkplugType::kString, "READY", 0),
           Named("PartCount", 2, SparkplugType::kInt32, "", static_cast<uint64_t>(parts)),
           Named("Program", 3, SparkplugType::kString, "SHAFT-100", 0)}};
}

TEST_P(MqttBridgeTest, SparkplugDeviceLifeGivesCyclesPartsAndDowntime) {
  const std::string config = dir_ + "/mqtt.toml";
  std::ofstream(config) << "[[sparkplug]]\n"
                           "group = \"Plant1\"\nnode = \"Edge1\"\ndevice = \"Lathe1\"\n"
                           "machine = \"102\"\n"
                           "metrics = { execution = \"Execution\", part_count = \"PartCount\", "
                           "program = \"Program\" }\n"
                           "downtime_code = \"100\"\n";
  StartBridge(true, {"--config", config});
  Publisher out(broker_.port());
  const std::string topic = "spBv1.0/Plant1/";
  const auto send = [&](const char* type, const SparkplugPayload& payload) {
    out.Publish(topic + type + "/Edge1/Lathe1", mqtt::EncodeSparkplugPayload(payload));
  };
  send("DBIRTH", Birth(kMorningMs, 10));
  send("DDATA", {kMorningMs + kMinute, 1, {ByAlias(1, "ACTIVE", 0)}});
  send("DDATA", {kMorningMs + 3 * kMinute, 2, {ByAlias(1, "READY", 0), ByAlias(2, "", 12)}});
  out.Publish(topic + "DDATA/Edge1/Lathe1", "no protobuf \xff\xff");
  // Stored and forwarded: out of order within the payload, each with its own time.
  send("DDATA", {kMorningMs + 6 * kMinute,
                 3,
                 {ByAlias(1, "READY", 0, kMorningMs + 5 * kMinute),
                  ByAlias(2, "", 13, kMorningMs + 5 * kMinute),
                  ByAlias(1, "ACTIVE", 0, kMorningMs + 4 * kMinute)}});
  send("DDEATH", {kMorningMs + 6 * kMinute, 4, {}});
  send("DBIRTH", Birth(kMorningMs + 10 * kMinute, 13));
  send("DBIRTH", Birth(kMorningMs + 11 * kMinute, 13));  // a repeat: no change
  ExpectLogRows(9);
  EXPECT_EQ(Rows("select c.COMMAND_TYPE_CODE, l.COMMAND_TIME_CODE, l.TIME_STAMP, l.PARAM1 "
                 "from T_SFC_MDC_LOG l, T_SFC_COMMAND c "
                 "where c.COMMAND_ID = l.COMMAND_ID order by l.MDC_LOG_ID"),
            (std::vector<std::string>{
                "6|0|2026-01-05 07:00:00.000|SHAFT-100",
                "9|0|2026-01-05 07:01:00.000|null",
                "9|1|2026-01-05 07:03:00.000|null",
                "13|2|2026-01-05 07:03:00.000|2",
                "9|0|2026-01-05 07:04:00.000|null",
                "9|1|2026-01-05 07:05:00.000|null",
                "13|2|2026-01-05 07:05:00.000|1",
                "11|0|2026-01-05 07:06:00.000|100",
                "11|1|2026-01-05 07:10:00.000|null",
            }));
  const std::string output = StopBridge();
  EXPECT_NE(output.find("not a Sparkplug B payload"), std::string::npos) << output;
  testsupport::ProcessWholeLog(database_);
  EXPECT_EQ(Rows("select sum(FINISHED_CYCLES), sum(GOOD_COUNT) from T_SFC_MACHINE_DATA "
                 "where MACHINE_ID = 2"),
            std::vector<std::string>{"2|3"});
  // Downtime code "100" is the demo plant's code 1.
  EXPECT_EQ(
      Rows("select t.DOWNTIME_CODE_ID, t.START_TIME, t.STOP_TIME from T_SFC_DT_PER_MACHINE_DATA t, "
           "T_SFC_MACHINE_DATA d where d.MACHINE_DATA_ID = t.MACHINE_DATA_ID and "
           "d.MACHINE_ID = 2"),
      std::vector<std::string>{"1|2026-01-05 07:06:00.000|2026-01-05 07:10:00.000"});
}

INSTANTIATE_TEST_SUITE_P(AllKinds, MqttBridgeTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
