// The processing worker against a fake library, with a scripted clock standing
// in for every wait: connect retries, the first-attempt reports, literal and
// cut texts, pause during a backlog (committed through the extended interface
// or by connecting again), failing rows reported once each by their identity,
// re-connection reported once per outage,
// failures escaping the library, and the end of the thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "settings/reg_settings.h"
#include "library/com_error.h"
#include "service/message_catalogue.h"
#include "service/processing_worker.h"
#include "service/service_identity.h"
#include "tests/service_fakes.h"

namespace voltrane {
namespace {

using servicetest::EventRecorder;
using servicetest::FakeLibrary;
using servicetest::FakeLibraryFactory;
using servicetest::ScriptedClock;

constexpr const char* kConnection = "Provider=SQLite;Data Source=/plant/mdc.db;";

class WorkerTest : public ::testing::Test {
 protected:
  WorkerTest() : context_(servicetest::RecordingSinks(recorder_)) {
    context_.Init(kServiceName, false, &queue_, false);
    recorder_->Clear();  // the settings check of Init is not the worker's business
  }

  // A reader that serves `config_` (or fails with `config_error_`).
  ConfigurationReader Reader() {
    return [this](DatabaseConfiguration& config) {
      if (config_error_ != 0) return config_error_;
      config = config_;
      return 0;
    };
  }

  std::unique_ptr<CProcessingWorker> MakeWorker(ConfigurationReader reader = nullptr) {
    return std::make_unique<CProcessingWorker>(context_, factory_, waiter_,
                                               reader ? reader : Reader());
  }

  struct PauseRun {
    std::vector<bool> paused_at_call;
    int idle_waits = 0;
    int connects = 0;  // ConnectToDatabase calls up to the end
    int commits = 0;   // CommitProcessedItems calls up to the end
  };
  // A backlog of four items; the run thread pauses at the third call and
  // continues after two idle waits; stop after the wait that ends the drain.
  PauseRun RunPauseDuringBacklog() {
    PauseRun run;
    FakeLibrary* library_seen = nullptr;
    factory_.configure = [&](FakeLibrary& library) {
      library_seen = &library;
      library.do_next = [&](std::string& error) {
        run.paused_at_call.push_back(context_.IsPaused());
        error = "";
        if (run.paused_at_call.size() == 3) context_.RequestPause();
        return run.paused_at_call.size() < 5;
      };
    };
    clock_.on_sleep = [&](int64_t ms) {
      ASSERT_EQ(ms, 3000);
      if (++run.idle_waits == 2) context_.RequestContinue();
      if (run.idle_waits == 3) {
        run.connects = library_seen->connect_calls;
        run.commits = library_seen->commit_calls;
        context_.RequestStop();
      }
    };
    MakeWorker()->ThreadProc();
    return run;
  }

  // Status texts that report a failure of the library.
  std::vector<std::string> ReportedFailures() const {
    std::vector<std::string> reported;
    for (const EventRecord& record : recorder_->Records()) {
      if (record.message.find("Korvex7 error:") != std::string::npos) {
        reported.push_back(*record.insertion);
      }
    }
    return reported;
  }

  // Each call fails on the row of `keys` in turn (0: a failure that names no
  // row) with `text`, through a library that offers _CKorvex7Obj2.
  void FailOnRows(const std::vector<int32_t>& keys, const std::string& text) {
    factory_.offers_obj2 = true;
    factory_.configure = [this, keys, text](FakeLibrary& library) {
      library.do_next = [this, keys, text, &library](std::string& error) {
        const int32_t key = keys[library.do_next_calls - 1];
        if (static_cast<size_t>(library.do_next_calls) == keys.size()) context_.RequestStop();
        error = text;
        const auto attempts = std::count(keys.begin(), keys.begin() + library.do_next_calls, key);
        if (key != 0) library.failed_row = FailedRow(key, text, static_cast<int32_t>(attempts));
        return false;
      };
    };
  }
  static Korvex7FailedLogItem FailedRow(int32_t key, const std::string& text, int32_t attempts) {
    Korvex7FailedLogItem row;
    row.lMDCLogID = key;
    row.lMachineID = 3;
    row.strMachineNumber = "101";
    row.lCommandID = 8;
    row.strCommandName = "Setup";
    row.lCommandTimeCode = 0;
    row.strError = text;
    row.lAttempts = attempts;
    return row;
  }

  servicetest::TemporaryRoot root_;
  std::shared_ptr<EventRecorder> recorder_ = std::make_shared<EventRecorder>();
  ThreadMessageQueue queue_;
  CServiceContext context_;
  ScriptedClock clock_;
  ClockEventWaiter waiter_{clock_};
  FakeLibraryFactory factory_;
  DatabaseConfiguration config_ = [] {
    DatabaseConfiguration config;
    config.database_type = 3;
    config.connection_string = kConnection;
    return config;
  }();
  int32_t config_error_ = 0;
};

TEST_F(WorkerTest, StopDuringFirstRetryWaitEndsWithoutConnectedReport) {
  factory_.configure = [](FakeLibrary& library) {
    library.connect = [](const std::string&, int32_t, std::string& error) {
      error = "0x80004005: server unreachable";
      return false;
    };
  };
  clock_.on_sleep = [&](int64_t) { context_.RequestStop(); };
  auto worker = MakeWorker();
  worker->ThreadProc();

  EXPECT_EQ(recorder_->Statuses(), std::vector<std::string>{"0x80004005: server unreachable"});
  EXPECT_EQ(recorder_->Count(MSG_CONNECTION_FAILED_INIT), 1);
  EXPECT_EQ(recorder_->Count(MSG_CONNECTION_INITIALIZED), 0);
  EXPECT_EQ(clock_.sleeps, std::vector<int64_t>{kConnectRetryMs});
  EXPECT_FALSE(worker->HasLibrary());
  EXPECT_EQ(factory_.releases, factory_.creates);
  EXPECT_TRUE(worker->DoneEvent().IsSet());
}

TEST_F(WorkerTest, StopDuringRealRetryWaitIsSeenByWaitForEnd) {
  factory_.configure = [](FakeLibrary& library) {
    library.connect = [](const std::string&, int32_t, std::string& error) {
      error = "refused";
      return false;
    };
  };
  RealTimeEventWaiter real;
  CProcessingWorker worker(context_, factory_, real, Reader());
  worker.StartThread();
  for (int i = 0; i < 500 && recorder_->Count(MSG_CONNECTION_FAILED_INIT) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const auto stop_at = std::chrono::steady_clock::now();
  context_.RequestStop();
  EXPECT_TRUE(worker.WaitForEnd());
  EXPECT_LT(std::chrono::steady_clock::now() - stop_at, std::chrono::seconds(2));
  EXPECT_EQ(recorder_->Count(MSG_CONNECTION_INITIALIZED), 0);
  EXPECT_EQ(factory_.releases, factory_.creates);
}

TEST_F(WorkerTest, ConfigurationWrittenWhileWaitingIsUsedAtTheNextAttempt) {
  // The real reader over the temporary settings store, empty at first.
  std::string connected_with;
  int32_t connected_kind = -1;
  factory_.configure = [&](FakeLibrary& library) {
    library.connect = [&](const std::string& text, int32_t kind, std::string& error) {
      connected_with = text;
      connected_kind = kind;
      error = "";
      return library.connected = true;
    };
    library.do_next = [&](std::string& error) {
      if (library.do_next_calls == 2) context_.RequestStop();
      error = "";
      return false;
    };
  };
  int retry_waits = 0;
  clock_.on_sleep = [&](int64_t ms) {
    if (ms != kConnectRetryMs || ++retry_waits != 2) return;
    CRegSettings settings;
    settings.SaveMachineStringValue(kServiceKey, "DatabaseType", "sqlite");
    settings.SaveMachineStringValue(kServiceKey, "SQLiteConnectionString", kConnection);
    settings.SaveMachineDWORDValue(kServiceKey, "Timeout", 250);
  };
  auto worker = MakeWorker(voltrane::ReadConfiguration);
  worker->ThreadProc();

  EXPECT_EQ(recorder_->Ids(),
            (std::vector<uint32_t>{MSG_NO_CONNECTION_INFO, MSG_CONNECTION_FAILED_INIT, MSG_STATUS,
                                   MSG_CONNECTION_INITIALIZED}));
  EXPECT_EQ(recorder_->Statuses(),
            std::vector<std::string>{std::string("Connected to database ") + kConnection});
  EXPECT_EQ(connected_with, kConnection);
  EXPECT_EQ(connected_kind, 3);
  EXPECT_EQ(factory_.creates, 1);  // nothing is created while the configuration is missing
  EXPECT_EQ(clock_.Count(kConnectRetryMs), 2);
  EXPECT_EQ(clock_.Count(250), 1);  // the stored idle timeout
}

TEST_F(WorkerTest, ConnectFalseWithEmptyTextIsAnEmptyStatusNotTheNoTextEvent) {
  factory_.configure = [](FakeLibrary& library) {
    library.connect = [](const std::string&, int32_t, std::string& error) {
      error = "";
      return false;
    };
  };
  clock_.on_sleep = [&](int64_t) { context_.RequestStop(); };
  MakeWorker()->ThreadProc();

  ASSERT_EQ(recorder_->Statuses(), std::vector<std::string>{""});
  EXPECT_EQ(recorder_->Records()[0].type, EventType::kError);
  EXPECT_EQ(recorder_->Count(MSG_CONNECTION_FAILED_NO_TEXT), 0);
}

TEST_F(WorkerTest, ConnectFalseWithoutTextReportsTheNoTextEvent) {
  factory_.configure = [](FakeLibrary& library) {
    library.connect = [](const std::string&, int32_t, std::string&) { return false; };
  };
  clock_.on_sleep = [&](int64_t) { context_.RequestStop(); };
  MakeWorker()->ThreadProc();

  EXPECT_TRUE(recorder_->Statuses().empty());
  EXPECT_EQ(recorder_->Ids(),
            (std::vector<uint32_t>{MSG_CONNECTION_FAILED_NO_TEXT, MSG_CONNECTION_FAILED_INIT}));
}

TEST_F(WorkerTest, MissingConfigurationIsReportedOnceAndRetriedSilently) {
  config_error_ = kConfigurationInvalid;
  clock_.on_sleep = [&](int64_t) {
    if (clock_.sleeps.size() == 3) context_.RequestStop();
  };
  MakeWorker()->ThreadProc();

  EXPECT_EQ(recorder_->Ids(),
            (std::vector<uint32_t>{MSG_NO_CONNECTION_INFO, MSG_CONNECTION_FAILED_INIT}));
  EXPECT_EQ(clock_.Count(kConnectRetryMs), 3);
  EXPECT_EQ(factory_.creates, 0);
}

TEST_F(WorkerTest, LibraryThatCannotBeCreatedIsReportedAtEveryAttempt) {
  factory_.fail_with = 126;
  clock_.on_sleep = [&](int64_t) {
    if (clock_.sleeps.size() == 2) context_.RequestStop();
  };
  MakeWorker()->ThreadProc();

  EXPECT_EQ(recorder_->Ids(),
            (std::vector<uint32_t>{MSG_COM_CREATION_ERROR, MSG_CONNECTION_FAILED_INIT,
                                   MSG_COM_CREATION_ERROR}));
  EXPECT_EQ(recorder_->Records()[0].insertion, std::optional<std::string>("126"));
  EXPECT_EQ(recorder_->Records()[0].message, "COM creation error 126.");
}

TEST_F(WorkerTest, AGroupMemberNamesItsGroupToEveryObjectBeforeItsFirstItem) {
  factory_.offers_obj2 = factory_.offers_obj5 = true;
  config_.group_name = "press-line";
  config_.group_member = "press-2";
  std::vector<size_t> named_at_connect;
  std::vector<FakeLibrary::GroupCall> named_at_item;
  factory_.configure = [&](FakeLibrary& library) {
    library.connect = [&](const std::string&, int32_t, std::string& error) {
      named_at_connect.push_back(library.group_calls.size());
      error = "";
      return library.connected = factory_.creates == 2;  // the first object cannot connect
    };
    library.do_next = [&](std::string& error) {
      named_at_item = library.group_calls;
      context_.RequestStop();
      error = "";
      return false;
    };
  };
  MakeWorker()->ThreadProc();

  EXPECT_EQ(named_at_connect, (std::vector<size_t>{1, 1}));
  ASSERT_EQ(named_at_item.size(), 1u);
  EXPECT_EQ(named_at_item[0].group, "press-line");
  EXPECT_EQ(named_at_item[0].member, "press-2");
  EXPECT_EQ(named_at_item[0].do_next_calls_before, 0);
  EXPECT_EQ(recorder_->Statuses().front(),
            "Taking part in the collector group 'press-line' as member 'press-2'");
}

TEST_F(WorkerTest, AMemberWhoseLibraryPredatesGroupsIsRefusedAtEveryAttempt) {
  factory_.offers_obj2 = true;  // no _CKorvex7Obj5
  config_.group_name = "press-line";
  config_.group_member = "press-2";
  clock_.on_sleep = [&](int64_t) {
    if (clock_.sleeps.size() == 2) context_.RequestStop();
  };
  MakeWorker()->ThreadProc();

  EXPECT_EQ(factory_.creates, 2);
  EXPECT_EQ(factory_.releases, 2);
  EXPECT_EQ(recorder_->Count(MSG_CONNECTION_INITIALIZED), 0);
  const std::string refusal =
      "The installed library cannot take part in the collector group 'press-line': it predates "
      "group mode. Install a newer libkorvex7, or remove GroupName from "
      "Software\\Voltrane\\MDCService to run this collector alone.";
  EXPECT_EQ(recorder_->Statuses(), (std::vector<std::string>{refusal, refusal}));
  EXPECT_EQ(clock_.Count(kConnectRetryMs), 2);
}

TEST_F(WorkerTest, AGroupSettingOfAnotherTypeIsNamedInTheFirstReport) {
  CRegSettings settings;
  settings.SaveMachineStringValue(kServiceKey, "DatabaseType", "SQLite");
  settings.SaveMachineStringValue(kServiceKey, "SQLiteConnectionString", kConnection);
  settings.SaveMachineDWORDValue(kServiceKey, "GroupName", 1);
  clock_.on_sleep = [&](int64_t) {
    if (clock_.sleeps.size() == 2) context_.RequestStop();
  };
  MakeWorker(voltrane::ReadConfiguration)->ThreadProc();

  EXPECT_EQ(recorder_->Statuses(),
            std::vector<std::string>{
                "The collector setting GroupName of Software\\Voltrane\\MDCService is not text."});
  EXPECT_EQ(recorder_->Count(MSG_NO_CONNECTION_INFO), 1);
  EXPECT_EQ(factory_.creates, 0);
}

TEST_F(WorkerTest, FailureEscapingConnectIsReportedAndTheObjectReplaced) {
  int attempts = 0;
  factory_.configure = [&](FakeLibrary& library) {
    library.connect = [&](const std::string&, int32_t, std::string& error) -> bool {
      if (++attempts == 1) throw ComError(static_cast<int32_t>(0x80004005), "Korvex7", "boom");
      error = "";
      return library.connected = true;
    };
    library.do_next = [&](std::string& error) {
      context_.RequestStop();
      error = "";
      return false;
    };
  };
  MakeWorker()->ThreadProc();

  EXPECT_EQ(recorder_->Ids(),
            (std::vector<uint32_t>{MSG_INIT_EXCEPTION, MSG_STATUS, MSG_CONNECTION_FAILED_INIT,
                                   MSG_STATUS, MSG_CONNECTION_INITIALIZED}));
  EXPECT_EQ(recorder_->Statuses()[0],
            "Voltrane Collector Service Exception (80004005) Unspecified error Korvex7 boom");
  EXPECT_EQ(factory_.creates, 2);
  EXPECT_EQ(factory_.releases, 2);
}

TEST_F(WorkerTest, PauseDuringBacklogStopsCallsUntilContinued) {
  const PauseRun run = RunPauseDuringBacklog();

  EXPECT_EQ(run.paused_at_call, (std::vector<bool>{false, false, false, false, false}));
  // Calls 1-3 back to back, two idle waits while paused, calls 4-5, one idle wait after the
  // drained log.
  EXPECT_EQ(run.idle_waits, 3);
  EXPECT_EQ(recorder_->Count(MSG_STATUS), 1);  // only "Connected to database"
  // An older library has no commit operation: connecting again once at the
  // pause commits its open batch.
  EXPECT_EQ(run.connects, 2);
}

TEST_F(WorkerTest, PauseCommitsThroughTheExtendedInterfaceWithoutConnectingAgain) {
  factory_.offers_obj2 = true;
  const PauseRun run = RunPauseDuringBacklog();

  EXPECT_EQ(run.idle_waits, 3);
  EXPECT_EQ(run.commits, 1);  // once for the pause, not at each idle wait in it
  EXPECT_EQ(run.connects, 1);
  EXPECT_EQ(recorder_->Count(MSG_STATUS), 1);
}

TEST_F(WorkerTest, PausedWorkerEndsOnStop) {
  int calls = 0;
  factory_.configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string&) {
      ++calls;
      context_.RequestPause();
      return true;
    };
  };
  clock_.on_sleep = [&](int64_t) {
    if (clock_.sleeps.size() == 4) context_.RequestStop();
  };
  auto worker = MakeWorker();
  worker->ThreadProc();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(clock_.Count(3000), 4);
  EXPECT_TRUE(worker->DoneEvent().IsSet());
}

TEST_F(WorkerTest, IdleTimeoutOfZeroChecksAgainAtOnce) {
  config_.idle_timeout_ms = 0;
  factory_.configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string& error) {
      if (library.do_next_calls == 3) context_.RequestStop();
      error = "";
      return false;
    };
  };
  MakeWorker()->ThreadProc();
  EXPECT_EQ(clock_.sleeps, (std::vector<int64_t>{0, 0}));
}

TEST_F(WorkerTest, LibraryTextsAreReportedLiterallyAndCut) {
  const std::string long_text(2000, 'x');
  std::vector<std::string> texts = {"Error # 5:bad %s and %d and %1 here", "", long_text};
  size_t call = 0;
  factory_.configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string& error) {
      error = texts[call++];
      if (call == texts.size()) context_.RequestStop();
      return false;
    };
  };
  MakeWorker()->ThreadProc();

  const std::vector<EventRecord> records = recorder_->Records();
  ASSERT_EQ(records.size(), 4u);  // connected status, 0xC0000015, two texts (none for "")
  EXPECT_EQ(records[2].type, EventType::kInformation);
  EXPECT_EQ(records[2].message,
            "Status Message \"Korvex7 error:Error # 5:bad %s and %d and %1 here\"");
  const std::string cut = *records[3].insertion;
  EXPECT_EQ(cut.size(), kMaxReportText);
  EXPECT_EQ(cut, ("Korvex7 error:" + long_text).substr(0, kMaxReportText));
  // A rest after the failed and the empty call; the last one found stop already requested.
  EXPECT_EQ(clock_.Count(3000), 2);
}

TEST_F(WorkerTest, ARowFailingAtEveryRetryIsReportedOnceUntilTheLogIsFoundEmpty) {
  const std::string row_a = "Setup Start failed (log entry 7, machine 101, command Setup start)";
  const std::string row_b = "Cycle Start failed (log entry 9, machine 102, command Cycle start)";
  std::vector<std::string> texts = {row_a, row_b, row_a, row_a, row_b, "", row_a};
  size_t call = 0;
  factory_.configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string& error) {
      error = texts[call++];
      if (call == texts.size()) context_.RequestStop();
      return false;
    };
  };
  MakeWorker()->ThreadProc();

  std::vector<std::string> reported;
  for (const EventRecord& record : recorder_->Records()) {
    if (record.message.find("Korvex7 error:") != std::string::npos)
      reported.push_back(record.message);
  }
  ASSERT_EQ(reported.size(), 3u);
  EXPECT_NE(reported[0].find(row_a), std::string::npos);
  EXPECT_NE(reported[1].find(row_b), std::string::npos);
  EXPECT_NE(reported[2].find(row_a), std::string::npos);  // after the log was found empty
}

TEST_F(WorkerTest, TwoRowsFailingWithTheSameTextAreEachReportedWithTheirIdentity) {
  FailOnRows({7, 9}, "Error # 3:no such table: T_SFC_DT_PER_MACHINE_DATA");
  MakeWorker()->ThreadProc();
  EXPECT_EQ(ReportedFailures(),
            (std::vector<std::string>{
                "Korvex7 error: MDC log row 7 (machine 101, command Setup start, attempt 1): "
                "Error # 3:no such table: T_SFC_DT_PER_MACHINE_DATA",
                "Korvex7 error: MDC log row 9 (machine 101, command Setup start, attempt 1): "
                "Error # 3:no such table: T_SFC_DT_PER_MACHINE_DATA"}));
}

TEST_F(WorkerTest, ARowRetriedAgainAndAgainIsReportedOnceAndOtherTextsStillOncePerText) {
  // Row 7 fails at five retries, and a failure naming no row comes twice.
  FailOnRows({7, 0, 7, 7, 0, 7, 7}, "Error # 5:refused");
  MakeWorker()->ThreadProc();
  const std::vector<std::string> reported = ReportedFailures();
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[0].rfind("Korvex7 error: MDC log row 7 (", 0), 0u) << reported[0];
  EXPECT_EQ(reported[1], "Korvex7 error:Error # 5:refused");
}

TEST(FailingRowReportsTest, TheOldestKeyIsForgottenWhenTheSetIsFull) {
  FailingRowReports reports;
  for (int32_t key = 1; key <= static_cast<int32_t>(FailingRowReports::kMaxRows); ++key) {
    ASSERT_TRUE(reports.FirstTime(key));
  }
  EXPECT_FALSE(reports.FirstTime(1));
  EXPECT_TRUE(reports.FirstTime(0));  // one more: key 1 goes
  EXPECT_EQ(reports.Size(), FailingRowReports::kMaxRows);
  EXPECT_TRUE(reports.FirstTime(1));
  EXPECT_FALSE(reports.FirstTime(3));
  reports.Forget();
  EXPECT_TRUE(reports.FirstTime(3));
}

TEST_F(WorkerTest, LostConnectionIsReportedOncePerOutage) {
  // Script: call, outage with three failures (text), call, outage with two failures (no text),
  // call and stop.
  std::vector<int> failures_left = {3, 2};
  int outage = -1;
  factory_.configure = [&](FakeLibrary& library) {
    library.connect = [&](const std::string&, int32_t, std::string& error) {
      if (outage < 0) return library.connected = true;  // the first connection
      if (failures_left[outage]-- > 0) {
        if (outage == 0) error = "0x80004005: gone";
        return false;
      }
      error = "";
      return library.connected = true;
    };
    library.do_next = [&](std::string& error) {
      error = "";
      if (library.do_next_calls == 3) {
        context_.RequestStop();
      } else {
        ++outage;
        library.connected = false;  // lost after this call
      }
      return true;
    };
  };
  MakeWorker()->ThreadProc();

  const std::string reconnected = std::string("Re-Connected to database ") + kConnection;
  EXPECT_EQ(recorder_->Statuses(),
            (std::vector<std::string>{std::string("Connected to database ") + kConnection,
                                      "Korvex7 error:0x80004005: gone", reconnected, reconnected}));
  EXPECT_EQ(recorder_->Count(MSG_CONNECTION_FAILED_NO_TEXT), 1);
  EXPECT_EQ(clock_.Count(kConnectRetryMs), 5);
  EXPECT_EQ(clock_.Count(3000), 0);  // the backlog never rested
}

TEST_F(WorkerTest, StopDuringReconnectWaitEndsTheThread) {
  factory_.configure = [&](FakeLibrary& library) {
    library.connect = [&](const std::string&, int32_t, std::string& error) {
      error = "down";
      return library.connect_calls == 1 ? (library.connected = true) : false;
    };
    library.do_next = [&](std::string&) {
      library.connected = false;
      return true;
    };
  };
  clock_.on_sleep = [&](int64_t ms) {
    EXPECT_EQ(ms, kConnectRetryMs);
    context_.RequestStop();
  };
  auto worker = MakeWorker();
  worker->ThreadProc();
  EXPECT_EQ(clock_.sleeps.size(), 1u);
  EXPECT_EQ(factory_.releases, 1);
}

TEST_F(WorkerTest, FailuresEscapingProcessingAreReportedAndProcessingGoesOn) {
  factory_.configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string& error) -> bool {
      switch (library.do_next_calls) {
        case 1:
          throw ComError(static_cast<int32_t>(0x80040E4D), "", "");
        case 2:
          throw std::runtime_error("disk full");
        default:
          context_.RequestStop();
          error = "";
          return false;
      }
    };
  };
  MakeWorker()->ThreadProc();

  const std::vector<std::string> statuses = recorder_->Statuses();
  ASSERT_EQ(statuses.size(), 3u);
  EXPECT_EQ(statuses[1],
            "Voltrane Collector Service Exception (80040e4d) IDispatch error #3149 (null) (null)");
  EXPECT_EQ(statuses[2],
            "Voltrane Collector Service Exception (80004005) Unspecified error (null) disk full");
  EXPECT_EQ(clock_.Count(3000), 2);
}

TEST_F(WorkerTest, WorkerThatDoesNotEndInTimeIsAbandoned) {
  ManualResetEvent entered;
  ManualResetEvent release;
  factory_.configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string&) {
      entered.Set();
      release.WaitFor(-1);  // a library call that does not return by itself
      return false;
    };
  };
  auto worker = MakeWorker();
  worker->StartThread();
  ASSERT_TRUE(entered.WaitFor(5000));
  context_.RequestStop();
  EXPECT_FALSE(worker->WaitForEnd());
  EXPECT_EQ(clock_.Count(kWaitForEndMs), 1);
  EXPECT_EQ(factory_.releases, 0);  // the object is left to its own thread

  release.Set();
  ASSERT_TRUE(worker->DoneEvent().WaitFor(5000));
  EXPECT_EQ(factory_.releases, 1);
}

TEST_F(WorkerTest, WaitForEndOfAWorkerNeverStartedReturnsAtOnce) {
  auto worker = MakeWorker();
  EXPECT_TRUE(worker->WaitForEnd());
  EXPECT_TRUE(clock_.sleeps.empty());
}

}  // namespace
}  // namespace voltrane
