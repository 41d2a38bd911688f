// The service host: the single-instance guard (in-process and from another
// account), Run as an application and as a systemd service (the sd_notify
// messages read from a datagram socket given as NOTIFY_SOCKET), controls sent
// as signals, and the console key watcher on a pseudo terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "service/instance_guard.h"
#include "service/key_watcher.h"
#include "service/message_catalogue.h"
#include "service/service_identity.h"
#include "service/service_module.h"
#include "service/systemd_notifier.h"
#include "settings/reg_settings.h"
#include "tests/service_fakes.h"

namespace voltrane {
namespace {

using servicetest::FakeLibrary;

template <typename Condition>
bool WaitUntil(Condition condition, int timeout_ms = 5000) {
  for (int waited = 0; waited < timeout_ms; waited += 5) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

// A datagram socket standing in for systemd's notification socket.
class NotifySocket {
 public:
  explicit NotifySocket(const std::string& folder) : path_(folder + "/notify") {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path_.copy(address.sun_path, sizeof address.sun_path - 1);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    setenv("NOTIFY_SOCKET", path_.c_str(), 1);
  }
  ~NotifySocket() {
    unsetenv("NOTIFY_SOCKET");
    close(fd_);
  }
  // The next message, or "" after two seconds without one.
  std::string Next() {
    timeval timeout{2, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char buffer[512];
    const ssize_t size = recv(fd_, buffer, sizeof buffer, 0);
    return size > 0 ? std::string(buffer, static_cast<size_t>(size)) : "";
  }

 private:
  std::string path_;
  int fd_ = -1;
};

class HostTest : public ::testing::Test {
 protected:
  HostTest() {
    services_.runner = std::make_shared<servicetest::RecordingRunner>();
    services_.factory = factory_;
    services_.sinks = servicetest::RecordingSinks(recorder_);
    services_.started_by_service_manager = [] { return false; };
    services_.console_input = -1;  // never a terminal: no key watcher
    services_.reader = [](DatabaseConfiguration& config) {
      config.database_type = 3;
      config.connection_string = "Provider=SQLite;Data Source=/plant/mdc.db;";
      config.idle_timeout_ms = 20;
      return 0;
    };
    CRegSettings().SaveMachineDWORDValue(kServiceKey, "EnableIcon", 0);
  }

  servicetest::TemporaryRoot root_;
  std::shared_ptr<servicetest::FakeLibraryFactory> factory_ =
      std::make_shared<servicetest::FakeLibraryFactory>();
  std::shared_ptr<servicetest::EventRecorder> recorder_ =
      std::make_shared<servicetest::EventRecorder>();
  ServiceHostServices services_;
};

TEST_F(HostTest, SecondGuardInTheSameMachineIsRefusedUntilTheFirstEnds) {
  auto first = std::make_unique<CInstanceGuard>();
  EXPECT_FALSE(first->IsAnotherInstanceRunning());
  EXPECT_EQ(first->LockFilePath(),
            root_.path() + "/run/lock/VCOLLECTORSERVICE-8A8923E5-5AB3-431d-9DED-EB79CF75A2BF.lock");
  CInstanceGuard second;
  EXPECT_TRUE(second.IsAnotherInstanceRunning());
  first.reset();
  CInstanceGuard third;
  EXPECT_FALSE(third.IsAnotherInstanceRunning());
}

TEST_F(HostTest, GroupMembersAreGuardedByMemberName) {
  CInstanceGuard first, second, same_name;
  first.KeyByMember("press-1");
  second.KeyByMember("press 2/b");
  same_name.KeyByMember("press-1");
  EXPECT_FALSE(first.IsAnotherInstanceRunning());
  EXPECT_FALSE(second.IsAnotherInstanceRunning());
  EXPECT_TRUE(same_name.IsAnotherInstanceRunning());
  EXPECT_EQ(second.LockFilePath(),
            root_.path() + "/run/lock/" + kInstanceMutexName + "-member-press%202%2Fb.lock");
  // A held lock keeps its name.
  first.KeyByMember("other");
  EXPECT_EQ(first.Name(), std::string(kInstanceMutexName) + "-member-press-1");
  EXPECT_EQ(MemberMutexSuffix(""), "");
}

TEST_F(HostTest, ASecondMemberOnTheComputerRunsBesideTheFirst) {
  services_.reader = [](DatabaseConfiguration& config) {
    config.database_type = 4;
    config.connection_string = "Provider=PostgreSQL;Data Source=db:5432;";
    config.idle_timeout_ms = 20;
    config.group_name = "press-line";
    config.group_member = "press-2";
    return 0;
  };
  CInstanceGuard first_member;
  first_member.KeyByMember("press-1");
  ASSERT_FALSE(first_member.IsAnotherInstanceRunning());
  CInstanceGuard lone_collector;
  ASSERT_FALSE(lone_collector.IsAnotherInstanceRunning());
  factory_->offers_obj2 = factory_->offers_obj5 = true;
  std::atomic<int> calls{0};
  factory_->configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string&) { return ++calls < 2; };
  };
  {
    CServiceModule module(services_);
    std::thread run([&] { module.Start(); });
    ASSERT_TRUE(WaitUntil([&] { return calls >= 2; }));
    module.RunQueue().Post(WM_QUIT);
    run.join();
  }
  EXPECT_EQ(recorder_->Count(MSG_ANOTHER_INSTANCE), 0);

  // The same member name twice is refused, naming it.
  CInstanceGuard same_member;
  same_member.KeyByMember("press-2");
  ASSERT_FALSE(same_member.IsAnotherInstanceRunning());
  recorder_->Clear();
  CServiceModule second(services_);
  second.Start();
  EXPECT_EQ(recorder_->Count(MSG_ANOTHER_INSTANCE), 1);
  const auto statuses = recorder_->Statuses();
  EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                      "Another collector on this computer already takes part in a collector "
                      "group as member 'press-2'"),
            statuses.end());
}

TEST_F(HostTest, GuardOfAnotherAccountIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to start a process as another account";
  const passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  chmod(root_.path().c_str(), 0755);
  chmod((root_.path() + "/run").c_str(), 0755);
  chmod((root_.path() + "/run/lock").c_str(), 01777);
  CInstanceGuard mine;
  ASSERT_FALSE(mine.IsAnotherInstanceRunning());

  const auto other_account = [&](bool expect_other) {
    const pid_t child = fork();
    if (child == 0) {
      if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(3);
      CInstanceGuard theirs;
      _exit(theirs.IsAnotherInstanceRunning() == expect_other ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(other_account(true), 0);
}

TEST_F(HostTest, GuardNamesOfTheOtherScopes) {
  EXPECT_EQ(InstanceMutexName(kScopeSystem), kInstanceMutexName);
  unsetenv("XDG_SESSION_DESKTOP");
  EXPECT_EQ(InstanceMutexName(kScopeDesktop), std::string(kInstanceMutexName) + "-Win9x");
  setenv("USERDOMAIN", "PLANT", 1);
  const passwd* me = getpwuid(geteuid());
  EXPECT_EQ(InstanceMutexName(kScopeUser),
            std::string(kInstanceMutexName) + "-PLANT-" + me->pw_name);
  unsetenv("USERDOMAIN");
  CInstanceGuard guard;
  EXPECT_TRUE(guard.Init(kScopeUser));
  EXPECT_FALSE(guard.Init(kScopeSystem));
  EXPECT_TRUE(guard.Init(kScopeUser));
}

TEST_F(HostTest, SecondInstanceReportsAndDoesNotProcess) {
  CInstanceGuard running;
  ASSERT_FALSE(running.IsAnotherInstanceRunning());
  CServiceModule module(services_);
  module.Start();  // no service manager: an application; returns without a quit message

  EXPECT_EQ(recorder_->Count(MSG_ANOTHER_INSTANCE), 1);
  EXPECT_EQ(recorder_->Count(MSG_SERVICE_STARTED), 0);
  EXPECT_EQ(factory_->creates, 0);
}

TEST_F(HostTest, ApplicationRunsTheWorkerUntilQuit) {
  std::atomic<int> calls{0};
  factory_->configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string& error) {
      ++calls;
      error = "";
      return false;
    };
  };
  CServiceModule module(services_);
  std::thread run([&] { module.Start(); });
  ASSERT_TRUE(WaitUntil([&] { return calls >= 2; }));
  module.RunQueue().Post(WM_SERVICE_PAUSE);
  ASSERT_TRUE(WaitUntil([&] { return module.Context().IsPaused(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));  // the call in progress ends
  const int paused_at = calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // five idle timeouts
  EXPECT_EQ(calls, paused_at);
  module.RunQueue().Post(WM_SERVICE_CONTINUE);
  ASSERT_TRUE(WaitUntil([&] { return calls > paused_at; }));
  module.RunQueue().Post(WM_QUIT);
  run.join();

  const std::vector<uint32_t> ids = recorder_->Ids();
  ASSERT_GE(ids.size(), 5u);
  EXPECT_EQ(recorder_->Statuses().front(), "Running as an application");
  EXPECT_EQ(ids[ids.size() - 2], MSG_SERVICE_STOPPING);
  EXPECT_EQ(ids.back(), MSG_SERVICE_STOPPED);
  EXPECT_EQ(recorder_->Count(MSG_SERVICE_STARTED), 1);
  EXPECT_EQ(factory_->releases, factory_->creates);
  EXPECT_FALSE(module.WorkerAbandoned());
}

TEST_F(HostTest, MissingEnableIconIsReportedOnceAndProcessingGoesOn) {
  ASSERT_TRUE(CRegSettings().DeleteMachineItem(kServiceKey, "EnableIcon"));
  std::atomic<int> calls{0};
  factory_->configure = [&](FakeLibrary& library) {
    library.do_next = [&](std::string&) { return ++calls < 3; };
  };
  CServiceModule module(services_);
  std::thread run([&] { module.Start(); });
  ASSERT_TRUE(WaitUntil([&] { return calls >= 3; }));
  module.RunQueue().Post(WM_QUIT);
  run.join();
  EXPECT_EQ(recorder_->Count(MSG_MISSING_CONFIGURATION), 1);
  EXPECT_EQ(recorder_->Count(MSG_CONNECTION_INITIALIZED), 1);
}

TEST_F(HostTest, ServiceReportsItsStatesThroughSdNotify) {
  NotifySocket notify(root_.path());
  services_.started_by_service_manager = [] { return true; };
  CServiceModule module(services_);

  // Controls come as signals: block them here so the watcher's signalfd receives them.
  sigset_t controls, old_mask;
  sigemptyset(&controls);
  for (int signal_number : {SIGTERM, SIGUSR1, SIGUSR2}) sigaddset(&controls, signal_number);
  pthread_sigmask(SIG_BLOCK, &controls, &old_mask);
  std::thread host([&] { module.Start(); });

  EXPECT_EQ(notify.Next(), "STATUS=Starting");
  EXPECT_EQ(notify.Next(), "READY=1\nSTATUS=Running");
  kill(getpid(), SIGUSR1);
  EXPECT_EQ(notify.Next(), "STATUS=Pausing");
  EXPECT_EQ(notify.Next(), "STATUS=Paused");
  EXPECT_TRUE(module.Context().IsPaused());
  kill(getpid(), SIGUSR2);
  EXPECT_EQ(notify.Next(), "STATUS=Continuing");
  EXPECT_EQ(notify.Next(), "READY=1\nSTATUS=Running");
  module.Handler(SERVICE_CONTROL_INTERROGATE);
  EXPECT_EQ(notify.Next(), "READY=1\nSTATUS=Running");
  module.Handler(200);
  kill(getpid(), SIGTERM);
  EXPECT_EQ(notify.Next(), "STOPPING=1\nSTATUS=Stopping");
  EXPECT_EQ(notify.Next(), "STOPPING=1\nSTATUS=Stopped");
  host.join();
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);

  EXPECT_EQ(recorder_->Count(MSG_UNHANDLED_CONTROL), 1);
  EXPECT_EQ(recorder_->Count(MSG_SERVICE_STOPPING), 1);
  EXPECT_EQ(recorder_->Count(MSG_SERVICE_STOPPED), 2);  // from Run and from the service function
  EXPECT_TRUE(recorder_->Statuses().empty() ||
              recorder_->Statuses().front() != "Running as an application");
  EXPECT_TRUE(module.IsService());
}

TEST_F(HostTest, ServiceFindingAnotherInstanceReportsStopped) {
  NotifySocket notify(root_.path());
  services_.started_by_service_manager = [] { return true; };
  CInstanceGuard running;
  ASSERT_FALSE(running.IsAnotherInstanceRunning());
  CServiceModule module(services_);
  module.Start();
  EXPECT_EQ(notify.Next(), "STATUS=Starting");
  EXPECT_EQ(notify.Next(), "STOPPING=1\nSTATUS=Stopped");
  EXPECT_EQ(recorder_->Count(MSG_ANOTHER_INSTANCE), 1);
  EXPECT_EQ(factory_->creates, 0);
}

TEST(SystemdNotifier, NothingIsSentWithoutANotifySocket) {
  unsetenv("NOTIFY_SOCKET");
  EXPECT_FALSE(SystemdNotifier().ReportState(SERVICE_RUNNING));
  setenv("INVOCATION_ID", "0123", 1);
  EXPECT_FALSE(StartedBySystemd());
  setenv("NOTIFY_SOCKET", "/run/systemd/notify", 1);
  EXPECT_TRUE(StartedBySystemd());
  unsetenv("INVOCATION_ID");
  unsetenv("NOTIFY_SOCKET");
}

// A pseudo terminal: the watcher reads the follower side, the test types on the leader.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    leader_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(leader_);
    unlockpt(leader_);
    follower_ = open(ptsname(leader_), O_RDWR | O_NOCTTY);
  }
  ~PseudoTerminal() {
    close(follower_);
    close(leader_);
  }
  void Type(const std::string& keys) {
    ASSERT_EQ(write(leader_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  int follower() const { return follower_; }

 private:
  int leader_ = -1;
  int follower_ = -1;
};

TEST(KeyWatcher, EscapeEndsTheRunAndOneMoreKeyEndsTheProgram) {
  PseudoTerminal terminal;
  std::FILE* out = std::tmpfile();
  std::atomic<int> escapes{0};
  KeyWatcher keys(terminal.follower(), out, [&] { ++escapes; });
  keys.Start();
  terminal.Type("a\x1b[A");  // a letter and an arrow key: not Escape
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(escapes, 0);
  terminal.Type("\x1b");
  ASSERT_TRUE(WaitUntil([&] { return escapes == 1; }));

  std::thread finish([&] { keys.Finish(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  terminal.Type("q");
  finish.join();
  EXPECT_EQ(escapes, 1);

  std::rewind(out);
  char buffer[256] = {};
  const size_t size = std::fread(buffer, 1, sizeof buffer - 1, out);
  std::fclose(out);
  EXPECT_EQ(std::string(buffer, size),
            "Press ESC to terminate program\n\nProgram has terminated. Press any key\n\n");
}

}  // namespace
}  // namespace voltrane
