// The no-GUI walk through the wizard's pages.
#include "manager/no_gui_mode.h"

#include "dbaccess/sql_dialect.h"
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
  const char* name = DialectOf(database_kind).display_name;
  return name[0] != '\0' ? name : "unknown";
}

class NoGuiRun {
 public:
  NoGuiRun(const NoGuiOptions& options, ServiceControl& service, std::ostream& out, HostChecks host)
      : out_(out),
        prompts_(out, options.take_over_designation),
        rules_(connection_, prompts_, service, std::move(host)),
        options_(options),
        service_(service) {}

  int Run(const CommandLineValues& values) {
    rules_.Load(values);
    Step("Collector service",
         rules_.service_was_running() ? "stopped for the configuration" : "not running");
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
      const std::string title = rules_.WindowTitle();
      if (!Step(title, "", rules_.Next())) return Fail();
    }
    if (!ApplyDesignation()) return Fail();
    // The start is reported as a step of its own: a failed start leaves the
    // configuration written.
    rules_.heartbeats.start_service = false;
    if (!Step(rules_.WindowTitle() + ": Finish (locks, automatic creation, heartbeats, settings, "
                                     "options)",
              "", rules_.Finish() == FinishResult::kDone))
      return Fail();
    out_ << "The MDC Service is configured.\n";
    if (options_.start_service && !Step("Start MDC Service", "", service_.Start())) {
      out_ << "    Error, the MDC Service Failed to start\n";
      return 1;
    }
    return 0;
  }

 private:
  bool ApplyDesignation() {
    DesignationPage& designation = rules_.designation;
    if (options_.designation != NoGuiDesignation::kAsTheDatabaseHasIt)
      designation.use_group = options_.designation == NoGuiDesignation::kCollectorGroup;
    if (!options_.member.empty()) designation.member_name = options_.member;
    if (designation.EndsGroupMode()) {
      const std::string group = "the collector group '" + designation.designated_group + "'";
      if (!options_.end_group)
        return Step("Designation",
                    "this database is processed by " + group +
                        "; --this-computer ends group mode only with --end-group (--group takes "
                        "part in it)",
                    false);
      designation.end_group_confirmed = true;
      return Step("Designation",
                  "this computer (" + rules_.computer_name() + "), ending group mode of " + group);
    }
    if (!designation.use_group)
      return Step("Designation", "this computer (" + rules_.computer_name() + ")");
    if (!designation.group_available())
      return Step("Designation", CAdminWizardRules::kNoGroupHint, false);
    return Step("Designation",
                "the collector group '" + designation.group_name +
                    "', this computer's collector as member '" + designation.member_name + "'",
                !designation.member_name.empty());
  }
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
  ServiceControl& service_;
};

}  // namespace

int RunNoGui(const CommandLineValues& values, const NoGuiOptions& options, ServiceControl& service,
             std::ostream& out, HostChecks host) {
  NoGuiRun run(options, service, out, std::move(host));
  return run.Run(values);
}

}  // namespace voltrane::manager
