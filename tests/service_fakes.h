// Test doubles for the collector service: a scriptable library object behind
// _CKorvex7Obj, its factory, a recorder of reported events, a clock that lets a
// test act at each wait, a command runner that only records, and a temporary
// root that redirects the settings store, the unit and catalog folders and the
// lock folder.
#ifndef VOLTRANE_TESTS_SERVICE_FAKES_H_
#define VOLTRANE_TESTS_SERVICE_FAKES_H_

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/clock.h"
#include "library/korvex7.h"
#include "service/command_runner.h"
#include "service/event_log_source.h"
#include "service/library_factory.h"
#include "tests/support/test_databases.h"

namespace servicetest {

using voltrane::EventRecord;
using voltrane::EventType;

// Every event a context reported, in order; thread-safe.
class EventRecorder {
 public:
  void Add(const EventRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(record);
  }
  std::vector<EventRecord> Records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
  }
  int Count(uint32_t id) const {
    int count = 0;
    for (const auto& record : Records()) count += record.id == id ? 1 : 0;
    return count;
  }
  // Insertion strings of the status texts (event 0x40000000).
  std::vector<std::string> Statuses() const {
    std::vector<std::string> texts;
    for (const auto& record : Records()) {
      if (record.id == 0x40000000) texts.push_back(record.insertion.value_or("<none>"));
    }
    return texts;
  }
  std::vector<uint32_t> Ids() const {
    std::vector<uint32_t> ids;
    for (const auto& record : Records()) ids.push_back(record.id);
    return ids;
  }
  bool console_requested = false;

 private:
  mutable std::mutex mutex_;
  std::vector<EventRecord> records_;
};

class RecordingSink : public voltrane::EventSink {
 public:
  explicit RecordingSink(std::shared_ptr<EventRecorder> recorder) : recorder_(recorder) {}
  void Write(const EventRecord& record) override { recorder_->Add(record); }

 private:
  std::shared_ptr<EventRecorder> recorder_;
};

inline voltrane::EventSinkFactory RecordingSinks(std::shared_ptr<EventRecorder> recorder) {
  return [recorder](const std::string&, bool console) {
    recorder->console_requested = console;
    return std::make_unique<RecordingSink>(recorder);
  };
}

// A library object whose service operations run the test's script. It is a
// _CKorvex7Obj5, but the factory hands out only the interfaces it is told to.
class FakeLibrary : public _CKorvex7Obj5 {
 public:
  std::function<bool()> is_connected = [this] { return connected; };
  std::function<bool(const std::string&, int32_t, std::string&)> connect =
      [this](const std::string&, int32_t, std::string&) { return connected = true; };
  std::function<bool(std::string&)> do_next = [](std::string& error) {
    error = "";
    return false;
  };
  // The row the last do_next failed on (_CKorvex7Obj2), when it failed on one.
  std::optional<Korvex7FailedLogItem> failed_row;
  bool connected = false;
  int commit_calls = 0;
  int is_connected_calls = 0;
  int connect_calls = 0;
  int do_next_calls = 0;
  // Each SetGroupMember call: group, member, and how many DoNextItemFromMDCLog calls came before.
  struct GroupCall {
    std::string group;
    std::string member;
    int do_next_calls_before = 0;
  };
  std::vector<GroupCall> group_calls;

  void SetGroupMember(const std::string& strGroup, const std::string& strMember) override {
    group_calls.push_back({strGroup, strMember, do_next_calls});
  }
  void TakeProcessingReport(Korvex7ProcessingReport& report) override { report = {}; }
  korvex7::AppendResult AppendCommand(const korvex7::Command&) override { return {}; }
  korvex7::ItemOutcome GetLastItemOutcome() override { return korvex7::ItemOutcome::kNoProgress; }

  bool IsConnected() override {
    ++is_connected_calls;
    return is_connected();
  }
  bool ConnectToDatabase(const std::string& strConnectionString, int32_t lDatabaseType,
                         std::string& strError) override {
    ++connect_calls;
    return connect(strConnectionString, lDatabaseType, strError);
  }
  bool DoNextItemFromMDCLog(std::string& strError) override {
    ++do_next_calls;
    failed_row.reset();
    return do_next(strError);
  }
  bool GetLastFailedLogItem(Korvex7FailedLogItem& item) override {
    if (failed_row) item = *failed_row;
    return failed_row.has_value();
  }
  bool CommitProcessedItems(std::string&) override {
    ++commit_calls;
    return true;
  }

  bool AppendItemToMDCLog(int32_t, int32_t, int32_t, int32_t, int32_t, const std::string&, int32_t,
                          std::string&) override {
    return false;
  }
  bool AppendItemToMDCLogDNC(int32_t, int32_t, int32_t, int32_t, int32_t, const std::string&,
                             int32_t, std::string&) override {
    return false;
  }
  int32_t GetMDCLogCount() override { return 0; }
  void CompleteMachineDataRecord(int32_t) override {}
  std::string GetConnectionString() override { return ""; }
  bool ConnectToDatabaseVBS(const std::string&, int32_t, dbaccess::Variant&) override {
    return false;
  }
  bool AppendItemToMDCLog2VBS(const std::string&, int32_t, const std::string&, int32_t,
                              dbaccess::Variant&) override {
    return false;
  }
  bool AppendItemToMDCLog2(const std::string&, int32_t, const std::string&, int32_t,
                           std::string&) override {
    return false;
  }
  bool AppendItemToMDCLogVBS(int32_t, int32_t, int32_t, int32_t, int32_t, const std::string&,
                             int32_t, dbaccess::Variant&) override {
    return false;
  }
  std::string CastToNumeric(std::string&) override { return ""; }
  bool DoPreProcessCustomCommands(std::string&, bool&) override { return false; }
  void InstallStoredProcedures(std::string&) override {}
  void CheckAndFixMachines(std::string&) override {}
  void StartupDatabaseChecksAndUpdates(std::string&) override {}
};

// Hands out one FakeLibrary (the test's script) per creation; counts creations and releases.
class FakeLibraryFactory : public voltrane::LibraryFactory {
 public:
  std::function<void(FakeLibrary&)> configure = [](FakeLibrary&) {};
  int32_t fail_with = 0;  // non-zero: creation fails with this code
  bool offers_obj2 = false;  // hands out the object as a _CKorvex7Obj2 too
  bool offers_obj5 = false;  // and as a _CKorvex7Obj5 (group mode)
  int creates = 0;
  int releases = 0;
  FakeLibrary* last = nullptr;

  voltrane::LibraryCreation Create() override {
    ++creates;
    voltrane::LibraryCreation creation;
    if (fail_with != 0) {
      creation.error_code = fail_with;
      return creation;
    }
    auto* library = new FakeLibrary;
    configure(*library);
    last = library;
    creation.object = library;
    if (offers_obj2) creation.object2 = library;
    if (offers_obj5) creation.object5 = library;
    return creation;
  }
  void Release(_CKorvex7Obj* object) override {
    ++releases;
    if (object == last) last = nullptr;
    delete object;
  }
};

// A manual clock that calls the test back at each sleep (after advancing).
class ScriptedClock : public dbaccess::ManualClock {
 public:
  std::function<void(int64_t ms)> on_sleep = [](int64_t) {};
  std::vector<int64_t> sleeps;

  void SleepMilliseconds(int64_t ms) override {
    ManualClock::SleepMilliseconds(ms);
    sleeps.push_back(ms);
    on_sleep(ms);
  }
  int Count(int64_t ms) const {
    int count = 0;
    for (int64_t sleep : sleeps) count += sleep == ms ? 1 : 0;
    return count;
  }
};

class RecordingRunner : public voltrane::CommandRunner {
 public:
  int Run(const std::vector<std::string>& argv) override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string line;
    for (const auto& arg : argv) line += (line.empty() ? "" : " ") + arg;
    commands.push_back(line);
    return 0;
  }
  std::vector<std::string> commands;

 private:
  std::mutex mutex_;
};

// A temporary root: settings store, unit folder, catalog folder and lock folder live under it.
class TemporaryRoot {
 public:
  TemporaryRoot() : path_(testsupport::MakeTempDir()) {
    Set("VOLTRANE_MACHINE_STORE", path_ + "/etc/voltrane/registry.toml");
    Set("VOLTRANE_USER_STORE", path_ + "/home/registry.toml");
    Set("VOLTRANE_SYSTEMD_UNIT_DIR", path_ + "/etc/systemd/system");
    Set("VOLTRANE_JOURNAL_CATALOG_DIR", path_ + "/etc/systemd/catalog");
    Set("VOLTRANE_LOCK_DIR", path_ + "/run/lock");
    std::filesystem::create_directories(path_ + "/etc/voltrane");
    std::filesystem::create_directories(path_ + "/run/lock");
  }
  ~TemporaryRoot() {
    for (const auto& name : names_) unsetenv(name.c_str());
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  const std::string& path() const { return path_; }
  std::string UnitPath() const { return path_ + "/etc/systemd/system/voltrane-collector.service"; }
  std::string CatalogPath() const {
    return path_ + "/etc/systemd/catalog/voltrane-collector.catalog";
  }

 private:
  void Set(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
    names_.push_back(name);
  }
  std::string path_;
  std::vector<std::string> names_;
};

}  // namespace servicetest

#endif  // VOLTRANE_TESTS_SERVICE_FAKES_H_
