// The built korvex7 program's `simulate` on a demo plant of every available
// kind: it appends exactly the seeded stream, in order, bounded by --count;
// SIGINT ends an unbounded run cleanly with its summary; a machine the plant
// does not know ends the run with the library's text.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/connection.h"
#include "dbaccess/recordset.h"
#include "tests/support/child_process.h"
#include "tests/support/test_databases.h"
#include "tests/support/tool_fixture.h"
#include "tools/plant_simulator.h"

namespace {

using testsupport::RunResult;

class SimulateToolTest : public testsupport::ToolFixture {
 protected:
  void SetUp() override {
    ToolFixture::SetUp();
    InitDemoPlant();
  }

  std::vector<std::string> DatabaseArguments() const {
    return {"--connection", database_.connection_string, "--dbtype", database_.name};
  }

  // The log's rows in key order as "machine type/time param".
  std::vector<std::string> LogRows() {
    auto connection = std::make_shared<dbaccess::Connection>();
    connection->Open(database_.connection_string);
    dbaccess::Recordset rs;
    rs.Open(
        "select m.MACHINE_NUMBER, c.COMMAND_TYPE_CODE, l.COMMAND_TIME_CODE, l.PARAM1 "
        "from T_SFC_MDC_LOG l join T_SFC_MACHINE m on m.MACHINE_ID = l.MACHINE_ID "
        "join T_SFC_COMMAND c on c.COMMAND_ID = l.COMMAND_ID order by l.MDC_LOG_ID",
        connection);
    std::vector<std::string> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      const dbaccess::Variant param = rs.Fields(size_t{3}).Value();
      rows.push_back(
          Row(rs.Fields(size_t{0}).Value().ToText(), rs.Fields(size_t{1}).Value().ToInt64(),
              rs.Fields(size_t{2}).Value().ToInt64(), param.IsNull() ? "" : param.ToText()));
    }
    return rows;
  }

  static std::string Row(const std::string& machine, int64_t type, int64_t time_code,
                         const std::string& param) {
    return machine + " " + std::to_string(type) + "/" + std::to_string(time_code) + " " + param;
  }
};

TEST_P(SimulateToolTest, AppendsTheSeededStreamInOrder) {
  const RunResult run =
      Run({"simulate", "--seed", "5", "--count", "80", "--speed", "1000000", "--quiet"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("Appended 80 commands in "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("seed 5"), std::string::npos) << run.output;

  PlantSimulator simulator(DemoPlantProfile(), 5);
  std::vector<std::string> expected;
  std::map<std::string, int> per_machine;
  for (int i = 0; i < 80; ++i) {
    const SimulatedCommand command = simulator.Next();
    expected.push_back(Row(command.machine_number, command.command_type_code,
                           command.command_time_code, command.param));
    ++per_machine[command.machine_number];
  }
  EXPECT_EQ(LogRows(), expected);
  for (const auto& [machine, count] : per_machine) {
    EXPECT_NE(run.output.find("machine " + machine + ": " + std::to_string(count) + " commands"),
              std::string::npos)
        << run.output;
  }
}

TEST_P(SimulateToolTest, PrintsEachCommandUnlessQuiet) {
  const RunResult run = Run({"simulate", "--seed", "9", "--count", "3", "--speed", "1000000"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  PlantSimulator simulator(DemoPlantProfile(), 9);
  const SimulatedCommand first = simulator.Next();
  EXPECT_EQ(run.output.rfind("+00:", 0), 0u) << run.output;
  EXPECT_NE(run.output.find("machine " + first.machine_number + ": "), std::string::npos)
      << run.output;
}

TEST_P(SimulateToolTest, SigintEndsAnUnboundedRunWithItsSummary) {
  std::vector<std::string> arguments = {KORVEX7_TOOL_PATH, "simulate", "--speed", "600", "--quiet"};
  for (const std::string& argument : DatabaseArguments()) arguments.push_back(argument);
  testsupport::ChildProcess simulate(arguments, {}, store_dir_ + "/simulate.out");
  // At speed 600 the first commands, due within two plant minutes, come within 0.2 s.
  ASSERT_TRUE(testsupport::WaitFor([&] { return !LogRows().empty(); }, 10000)) << simulate.Output();
  simulate.Signal(SIGINT);
  const std::optional<int> status = simulate.WaitForExit(5000);
  ASSERT_TRUE(status.has_value()) << simulate.Output();
  EXPECT_EQ(*status, 0) << simulate.Output();
  const size_t rows = LogRows().size();
  EXPECT_NE(simulate.Output().find("Appended " + std::to_string(rows) + " commands"),
            std::string::npos)
      << simulate.Output();
}

TEST_P(SimulateToolTest, AMachineThePlantDoesNotKnowEndsTheRun) {
  const RunResult run = Run({"simulate", "--machine", "999", "--count", "5", "--speed", "1000000"});
  EXPECT_EQ(run.exit_code, 1) << run.output;
  EXPECT_NE(run.output.find("Gave up: a command could not be appended three times: No such "
                            "machine: 999"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("Appended 0 commands"), std::string::npos) << run.output;
  EXPECT_TRUE(LogRows().empty());
}

INSTANTIATE_TEST_SUITE_P(AllKinds, SimulateToolTest,
                         testing::ValuesIn(testsupport::AvailableKinds()));

}  // namespace
