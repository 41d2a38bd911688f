// Stand-ins for the MTConnect bridge's outside world in tests: a sink that
// keeps the commands it is given and a reporter that keeps the messages.
// Thread-safe: the bridge runs on its own thread while the test looks.
#ifndef VOLTRANE_TESTS_SUPPORT_MTCONNECT_RECORDING_H_
#define VOLTRANE_TESTS_SUPPORT_MTCONNECT_RECORDING_H_

#include <mutex>
#include <string>
#include <vector>

#include "mtconnect/command_sink.h"
#include "mtconnect/reporter.h"

namespace testsupport {

class RecordingSink : public mtconnect::CommandSink {
 public:
  bool Append(const mtconnect::LogCommand& command, std::string&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.push_back(command);
    return true;
  }
  std::vector<mtconnect::LogCommand> commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<mtconnect::LogCommand> commands_;
};

class RecordingReporter : public mtconnect::Reporter {
 public:
  void Report(mtconnect::Severity, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(text);
  }
  // How many messages contain `part`.
  size_t Count(const std::string& part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const std::string& message : messages_) count += message.find(part) != std::string::npos;
    return count;
  }
  std::string All() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const std::string& message : messages_) all += message + "\n";
    return all;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
};

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_MTCONNECT_RECORDING_H_
