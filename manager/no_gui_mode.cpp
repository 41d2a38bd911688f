// The no-GUI walk through the wizard's pages.
#include "manager/no_gui_mode.h"

#include "manager/admin_wizard_rules.h"
#include "manager/string_resources.h"

namespace voltrane::manager {
namespace {

// Message boxes as terminal lines; questions answered without waiting.
class TerminalPrompts : public WizardPrompts {
 public:
  TerminalPrompts(std::ostream& out, bool take_over) : out_(out), take_over_(take_over) {}
  void ShowMessage(const std::string& text) override { out_ << "    " << text << "\n"; }
  bool AskYesNo(const std::string& text) override { return Answer(text, "Yes", "No"); }
  bool AskOkCancel(const std::string& text) override { return Answer(text, "OK", "Cancel"); }
  bool AskRetryCancel(const std::string& text) override {
    out_ << "    " << text << " -> Cancel\n";
    return false;
  }

 private:
  bool Answer(const std::string& text, const char* yes, const char* no) {
    out_ << "    " << text << " -> " << (take_over_ ? yes : no) << "\n";
    return take_over_;
  }
  std::ostream& out_;
  bool take_over_;
};

const char* KindName(int32_t database_kind) {
  static const char* kNames[] = {"Oracle", "Microsoft Access", "Microsoft SQL Server", "SQLite",
                                 "PostgreSQL"};
  return database_kind >= 0 && database_kind < kind::kCount ? kNames[database_kind] : "unknown";
}

class NoGuiRun {
 public:
  NoGuiRun(const NoGuiOptions& options, ServiceControl& service, std::ostream& out, HostChecks host)
      : out_(out),
        prompts_(out, options.take_over_designation),
        rules_(connection_, prompts_, service, std::move(host)),
        options_(options) {}

  int Run(const CommandLineValues& values) {
    rules_.Load(values);
    Step("Collector service stopped for the configuration",
         rules_.service_was_running() ? "it was running" : "it was not running");
    if (!Step("Database type " + std::string(KindName(rules_.connection.selected_kind)),
              rules_.Buttons().next ? "" : "not a known kind", rules_.Buttons().next))
      return Fail();
    rules_.Next();
    if (!rules_.Buttons().next) {
      Step(rules_.WindowTitle(), "the connection information is incomplete", false);
      return Fail();
    }
    if (!Step("Connection test, version and designation checks", "", rules_.Next())) return Fail();
    for (int page = 4; page <= 6; ++page) {
      if (!Step(rules_.WindowTitle(), "", rules_.Next())) return Fail();
    }
    rules_.heartbeats.start_service = options_.start_service;
    const bool done = rules_.Finish() == FinishResult::kDone;
    Step(rules_.WindowTitle() +
             ": Finish (locks, automatic creation, heartbeats, settings, "
             "options" +
             (options_.start_service ? ", service start)" : ")"),
         "", done);
    if (!done) return Fail();
    out_ << "The MDC Service is configured.\n";
    return 0;
  }

 private:
  bool Step(const std::string& what, const std::string& detail, bool ok = true) {
    out_ << (ok ? "[ok]     " : "[failed] ") << what << (detail.empty() ? "" : ": " + detail)
         << "\n";
    return ok;
  }
  int Fail() {
    rules_.Cancel();
    out_ << "The configuration was not completed.\n";
    return 1;
  }

  std::ostream& out_;
  TerminalPrompts prompts_;
  CDatabaseConnectionObj connection_;
  CAdminWizardRules rules_;
  NoGuiOptions options_;
};

}  // namespace

int RunNoGui(const CommandLineValues& values, const NoGuiOptions& options, ServiceControl& service,
             std::ostream& out, HostChecks host) {
  NoGuiRun run(options, service, out, std::move(host));
  return run.Run(values);
}

}  // namespace voltrane::manager
