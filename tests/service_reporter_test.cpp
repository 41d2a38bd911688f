// The reporter and its catalogue: reports dropped before Init, literal and cut
// texts, the catalogue's texts and journal ids, the installed catalog file, the
// sinks' priorities and lines, and the exception texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "settings/reg_settings.h"
#include "service/console_event_sink.h"
#include "service/exception_text.h"
#include "service/message_catalogue.h"
#include "service/service_context.h"
#include "service/service_identity.h"
#include "tests/service_fakes.h"

namespace voltrane {
namespace {

using servicetest::EventRecorder;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ReporterTest : public ::testing::Test {
 protected:
  servicetest::TemporaryRoot root_;
  std::shared_ptr<EventRecorder> recorder_ = std::make_shared<EventRecorder>();
  ThreadMessageQueue queue_;
  CServiceContext context_{servicetest::RecordingSinks(recorder_)};
};

TEST_F(ReporterTest, ReportsBeforeInitAreDropped) {
  context_.LogEvent(EventType::kError, MSG_HANDLER_NOT_INSTALLED, "5");
  context_.LogStatus(EventType::kError, "early");
  EXPECT_TRUE(recorder_->Records().empty());
  context_.Init(kServiceName, false, &queue_, false);
  context_.LogStatus(EventType::kInformation, "late");
  EXPECT_EQ(recorder_->Statuses(), std::vector<std::string>{"late"});
}

TEST_F(ReporterTest, InitReportsMissingSettingsOrEnableIconOnce) {
  context_.Init(kServiceName, false, &queue_, false);
  EXPECT_EQ(recorder_->Ids(), std::vector<uint32_t>{MSG_MISSING_CONFIGURATION});
  EXPECT_EQ(recorder_->Records()[0].type, EventType::kError);

  CRegSettings settings;
  settings.SaveMachineStringValue(kServiceKey, "DatabaseType", "SQLite");
  recorder_->Clear();
  EXPECT_FALSE(context_.Init(kServiceName, false, &queue_, false));  // key without EnableIcon
  EXPECT_EQ(recorder_->Count(MSG_MISSING_CONFIGURATION), 1);

  settings.SaveMachineDWORDValue(kServiceKey, "EnableIcon", 0);
  recorder_->Clear();
  EXPECT_TRUE(context_.Init(kServiceName, false, &queue_, false));
  EXPECT_TRUE(recorder_->Records().empty());
}

TEST_F(ReporterTest, InitResetsTheEventsAndAsksForTheConsoleSinkOnlyInConsoleMode) {
  context_.RequestStop();
  context_.RequestPause();
  context_.Init(kServiceName, true, &queue_, false);
  EXPECT_FALSE(context_.IsStopRequested());
  EXPECT_FALSE(context_.IsPaused());
  EXPECT_FALSE(recorder_->console_requested);
  context_.Init(kServiceName, false, &queue_, true);
  EXPECT_TRUE(recorder_->console_requested);
}

TEST_F(ReporterTest, TextsAreReportedLiterallyAndCutAt1023) {
  context_.Init(kServiceName, false, &queue_, false);
  recorder_->Clear();
  context_.LogStatus(EventType::kError, "50%s done %d %1 %%");
  context_.LogStatus(EventType::kInformation, std::string(2000, 'y'));
  context_.LogEvent(EventType::kInformation, MSG_UNHANDLED_CONTROL, "%s");

  const auto records = recorder_->Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].message, "Status Message \"50%s done %d %1 %%\"");
  EXPECT_EQ(records[0].type, EventType::kError);
  EXPECT_EQ(*records[1].insertion, std::string(1023, 'y'));
  EXPECT_EQ(records[2].message, "Unhandled service control request %s.");
}

TEST(ReportTextLimit, CutNeverSplitsACharacter) {
  const std::string text = std::string(1022, 'a') + "\xC3\xA9" + "tail";  // é at 1022-1023
  EXPECT_EQ(LimitReportText(text), std::string(1022, 'a'));
  EXPECT_EQ(LimitReportText("short"), "short");
  EXPECT_EQ(LimitReportText(std::string(1023, 'b')).size(), 1023u);
}

TEST(MessageCatalogue, TextsAndInsertions) {
  EXPECT_EQ(ExpandMessage(MSG_STATUS, "x"), "Status Message \"x\"");
  EXPECT_EQ(ExpandMessage(0x4000000C, "E7"), "\"E7\" Single event fired.");
  EXPECT_EQ(ExpandMessage(MSG_SCM_CONNECT_FAILED, "5"),
            "Failed to connect to the Service Control Manager, ErrorCode:5.");
  EXPECT_EQ(ExpandMessage(MSG_ANOTHER_INSTANCE, std::nullopt),
            "There is another instance of this application already running, either as a "
            "service or a stand alone EXE.");
  EXPECT_EQ(ExpandMessage(MSG_MISSING_CONFIGURATION, std::nullopt),
            "Missing configuration, please run the Collector Service Manager.");
  EXPECT_EQ(ExpandMessage(MSG_COM_CREATION_ERROR, "%1"), "COM creation error %1.");
  EXPECT_EQ(MessageCatalogue().size(), 25u);
}

TEST(MessageCatalogue, EveryEntryHasItsOwnJournalId) {
  std::set<std::string> ids;
  for (const auto& entry : MessageCatalogue()) {
    const std::string id = entry.message_id;
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    EXPECT_TRUE(ids.insert(id).second) << id;
  }
}

TEST(MessageCatalogue, PackagedCatalogMatchesTheCatalogue) {
  const auto packaged = std::filesystem::path(__FILE__).parent_path().parent_path() / "packaging" /
                        "voltrane-collector.catalog";
  EXPECT_EQ(ReadFile(packaged.string()), JournalCatalogText())
      << "regenerate packaging/voltrane-collector.catalog from JournalCatalogText()";
}

TEST(EventSinks, PrioritiesFollowTheEventType) {
  EXPECT_EQ(SyslogPriority(EventType::kError), 3);
  EXPECT_EQ(SyslogPriority(EventType::kWarning), 4);
  EXPECT_EQ(SyslogPriority(EventType::kInformation), 6);
  EXPECT_EQ(SyslogPriority(EventType::kSuccess), 6);
}

TEST(EventSinks, ConsoleSinkWritesOneLinePerReport) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ConsoleEventSink sink(out);
  sink.Write({EventType::kError, MSG_ANOTHER_INSTANCE, std::nullopt, "Another."});
  sink.Write({EventType::kInformation, MSG_STATUS, "x", "Status Message \"x\""});
  std::rewind(out);
  char buffer[256] = {};
  const size_t size = std::fread(buffer, 1, sizeof buffer - 1, out);
  std::fclose(out);
  EXPECT_EQ(std::string(buffer, size),
            "[error 0xC0000017] Another.\n[information 0x40000000] Status Message \"x\"\n");
}

TEST(ExceptionTexts, MessagesOfStatusCodes) {
  EXPECT_EQ(ExceptionText(0x80004005, "Korvex7", "lost"),
            "Voltrane Collector Service Exception (80004005) Unspecified error Korvex7 lost");
  EXPECT_EQ(StatusCodeMessage(0x80040201), "IDispatch error #1");
  EXPECT_EQ(StatusCodeMessage(0x8004FFFF), "IDispatch error #65023");
  EXPECT_EQ(StatusCodeMessage(0x80040200), "Unknown error 0x80040200");
  EXPECT_EQ(StatusCodeMessage(3706), "Unknown error 0xE7A");
  EXPECT_EQ(ExceptionText(0x00000E7A, "", ""),
            "Voltrane Collector Service Exception (00000e7a) Unknown error 0xE7A (null) (null)");
}

}  // namespace
}  // namespace voltrane
