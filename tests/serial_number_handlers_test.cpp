// Part serial-number commands fed through the processing loop on every
// database kind: a piece moving between machines (numbers holding quotes
// included), the cut cycle of a serial end, repeated starts, a start
// without a part, part changes that end a running serial number (the cut
// cycle counted once), and the refusal on a schema without serial numbers.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/machine_state_fixture.h"

using namespace korvex7::internal;  // the library's internals

namespace {

using testsupport::kCycle;
using testsupport::kEnd;
using testsupport::kPart;
using testsupport::kSerial;
using testsupport::kStart;

constexpr int kOptCreateParts = 6;  // also creates serial numbers

using SerialNumberHandlersTest = testsupport::MachineStateTest;

TEST_P(SerialNumberHandlersTest, APieceStartedOnAnotherMachineEndsWhereItRan) {
  Ok(4, kPart, kStart, "HOUSING-300", t(0));
  Ok(4, kSerial, kStart, "SN-0001", t(60));
  Ok(3, kPart, kStart, "housing-300", t(0));
  Ok(3, kSerial, kStart, "sn-0001", t(120));

  const auto first = Records(4);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[1].Long("PART_SERIAL_NO_ID"), 1);
  EXPECT_EQ(first[1].Text("STOP_TIME"), t(120).ToText());
  EXPECT_TRUE(first[2].IsNull("PART_SERIAL_NO_ID"));
  EXPECT_EQ(first[2].Long("PART_ID"), 3);
  EXPECT_EQ(Events(4, kSerial).at(0).Text("STOP_TIME"), t(120).ToText());

  const auto second = Records(3);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[1].Long("PART_SERIAL_NO_ID"), 1);
  EXPECT_EQ(second[1].Text("START_TIME"), t(120).ToText());
}

TEST_P(SerialNumberHandlersTest, SerialNumbersHoldingQuotesAreMatchedAndCannotChangeTheQuery) {
  SetBoolOption(kOptCreateParts, true);
  Ok(4, kPart, kStart, "HOUSING-300", t(0));
  Ok(4, kSerial, kStart, "o'brien-7", t(60));
  Ok(3, kPart, kStart, "HOUSING-300", t(0));
  // A crafted number that would match any running piece if spliced unquoted.
  Ok(3, kSerial, kStart, "X' or '1'='1", t(90));
  EXPECT_EQ(Records(4).size(), 2u);  // machine 202's piece was not touched

  Ok(3, kSerial, kStart, "O'BRIEN-7", t(120));
  const auto first = Records(4);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_TRUE(first[2].IsNull("PART_SERIAL_NO_ID"));
  const int64_t serial =
      Value("select PART_SERIAL_NO_ID from T_SFC_PART_SERIAL_NO where SERIAL_NO = 'O''BRIEN-7'")
          .ToInt64();
  EXPECT_EQ(first[1].Long("PART_SERIAL_NO_ID"), serial);
  EXPECT_EQ(Records(3).back().Long("PART_SERIAL_NO_ID"), serial);
}

TEST_P(SerialNumberHandlersTest, ASerialEndDuringACycleCountsTheCutCycleOnce) {
  Ok(4, kPart, kStart, "HOUSING-300", t(0));
  Ok(4, kSerial, kStart, "SN-0002", t(30));
  StartCycle(4, t(40));
  Ok(4, kSerial, kEnd, "", t(100));

  const auto records = Records(4);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].Long("UNFINISHED_CYCLES"), 1);
  EXPECT_NEAR(records[1].Double("CYCLE_TIME"), 1.0, 1e-6);
  EXPECT_TRUE(records[2].IsNull("PART_SERIAL_NO_ID"));
  EXPECT_EQ(records[2].Text("CYCLE_START_TIME"), t(100).ToText());
  const auto cycles = Events(4, kCycle);
  ASSERT_EQ(cycles.size(), 2u);
  EXPECT_EQ(cycles[1].Text("START_TIME"), t(100).ToText());

  // With no piece running an end cuts nothing: no count, no new cycle event.
  Ok(4, kSerial, kEnd, "", t(160));
  EXPECT_EQ(Records(4).size(), 3u);
  EXPECT_EQ(UnfinishedCycles(4), 1);
  EXPECT_EQ(Events(4, kCycle).size(), 2u);
}

TEST_P(SerialNumberHandlersTest, EveryStartIsANewPieceAndAStartWithoutPartIsUnresolved) {
  Ok(4, kSerial, kStart, "sn-0001", t(0));  // no part yet
  auto records = Records(4);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].IsNull("PART_SERIAL_NO_ID"));
  EXPECT_EQ(records[0].Text("PART_SERIAL_NO"), "SN-0001");
  EXPECT_EQ(records[0].Long("SERIAL_NO_DATA_START_ID"), records[0].Long("MACHINE_DATA_ID"));

  Ok(4, kPart, kStart, "HOUSING-300", t(60));  // ends the unresolved piece first
  Ok(4, kSerial, kStart, "SN-0001", t(120));
  Ok(4, kSerial, kStart, "SN-0001", t(180));
  records = Records(4);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].Long("STATUS_CODE"), 1);  // the unresolved piece keeps it open
  EXPECT_TRUE(records[1].IsNull("PART_SERIAL_NO"));
  EXPECT_EQ(records[2].Long("PART_SERIAL_NO_ID"), 1);
  EXPECT_EQ(records[3].Long("PART_SERIAL_NO_ID"), 1);
  EXPECT_EQ(records[3].Text("START_TIME"), t(180).ToText());
}

TEST_P(SerialNumberHandlersTest, APartChangeEndsTheRunningPieceCountingTheCutCycleOnce) {
  Ok(4, kPart, kStart, "HOUSING-300", t(0));
  Ok(4, kSerial, kStart, "SN-0001", t(30));
  StartCycle(4, t(40));
  Ok(4, kPart, kEnd, "", t(100));

  auto records = Records(4);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[1].Long("UNFINISHED_CYCLES"), 1);  // where the cycle ran
  EXPECT_TRUE(records[2].IsNull("PART_SERIAL_NO_ID"));
  EXPECT_EQ(records[2].Long("PART_ID"), 3);
  EXPECT_TRUE(records[3].IsNull("PART_ID"));
  EXPECT_EQ(UnfinishedCycles(4), 1);
  EXPECT_EQ(Events(4, kCycle).size(), 2u);  // restarted once
  EXPECT_EQ(Events(4, kSerial).at(0).Text("STOP_TIME"), t(100).ToText());

  // A part start cutting a running piece: again one count, one restart.
  Ok(4, kPart, kStart, "HOUSING-300", t(160));
  Ok(4, kSerial, kStart, "SN-0002", t(170));
  Ok(4, kPart, kStart, "FLANGE-200", t(220));
  EXPECT_EQ(UnfinishedCycles(4), 2);
  EXPECT_EQ(Events(4, kCycle).size(), 5u);
  records = Records(4);
  EXPECT_EQ(records.back().Long("PART_ID"), 2);
  EXPECT_TRUE(records.back().IsNull("PART_SERIAL_NO_ID"));
}

class OldSchemaSerialNumberTest : public testsupport::MachineStateTest {
 protected:
  // A schema from before serial numbers and standard times.
  void PrepareDatabase() override {
    Components probe;
    std::string error;
    ASSERT_TRUE(
        probe.session.ConnectToDatabase(database_.connection_string, database_.kind, error));
    probe.session.connection()->Execute("drop index K_SFC_MA_DASTTI");
    for (const char* column :
         {"PART_SERIAL_NO_ID", "PART_SERIAL_NO", "SERIAL_NO_DATA_START_ID", "STANDARD_TIME"}) {
      probe.session.connection()->Execute(
          std::string("alter table T_SFC_MACHINE_DATA drop column ") + column);
    }
  }
};

TEST_P(OldSchemaSerialNumberTest, SerialCommandsAreRefusedAndPartsWorkWithoutThem) {
  Ok(1, kPart, kStart, "SHAFT-100", t(0));
  EXPECT_EQ(Run(1, kSerial, kStart, "SN-0001", t(60)),
            "No Part Serial Numbers unless v12 database");
  EXPECT_EQ(Run(1, kSerial, kEnd, "", t(60)), "No Part Serial Numbers unless v12 database");
  EXPECT_TRUE(Events(1, kSerial).empty());
  Ok(1, kPart, kEnd, "", t(120));
  const auto records = Records(1);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[1].IsNull("PART_ID"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, SerialNumberHandlersTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });
INSTANTIATE_TEST_SUITE_P(Kinds, OldSchemaSerialNumberTest,
                         testing::ValuesIn(testsupport::AvailableKinds()),
                         [](const auto& test_info) { return test_info.param; });

}  // namespace
