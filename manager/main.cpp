// voltrane-collector-manager: the configuration wizard of the collector
// service, or with --no-gui its terminal walk. Hands over at once to the
// wizard application or to RunNoGui.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "manager/command_line_values.h"
#include "manager/host_checks.h"
#include "manager/no_gui_mode.h"
#include "manager/service_control.h"
#include "manager/string_resources.h"
#ifdef VOLTRANE_MANAGER_GUI
#include "manager/qt/admin_wizard.h"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: voltrane-collector-manager [--no-gui [--no-start] [--take-over]\n"
    "                                  [--this-computer [--end-group] | --group [--member NAME]]]\n"
    "                                  [-DBTYPE n] [-DATABASE value] [-DATABASEUSER value]\n"
    "                                  [-DATABASEPASSWORD value] [-DATABASESERVER value]\n"
    "\n"
    "Configures the Voltrane collector service: the database it works on, its idle timeout,\n"
    "the processing options kept in the database, and the computer that runs it.\n"
    "\n"
    "  -DBTYPE n          database kind: 0 Oracle, 1 Microsoft Access, 2 Microsoft SQL Server,\n"
    "                     3 SQLite, 4 PostgreSQL (the other keywords count only with it)\n"
    "  -DATABASE          database file (Access, SQLite), database (SQL Server, PostgreSQL)\n"
    "                     or host string (Oracle)\n"
    "  -DATABASEUSER      user name        -DATABASEPASSWORD  password\n"
    "  -DATABASESERVER    server (SQL Server, PostgreSQL: host[:port])\n"
    "  --no-gui           no window: apply the values, test the connection, write the\n"
    "                     settings and options and report each step\n"
    "  --no-start         with --no-gui: leave the collector service stopped at the end\n"
    "  --take-over        with --no-gui: designate this computer even when another one is\n"
    "  --this-computer    with --no-gui: this computer processes the log (on a database\n"
    "                     processed by a collector group only with --end-group)\n"
    "  --end-group        with --this-computer: end the group mode of a database processed\n"
    "                     by a collector group (its members are refused from then on)\n"
    "  --group            with --no-gui: the database's collector group processes the log\n"
    "                     and this computer's collector takes part in it (default when the\n"
    "                     database is in group mode; \"korvex7 group create NAME\" makes one)\n"
    "  --member NAME      with --group: this computer's member name (default: the stored\n"
    "                     one, else the computer's name)\n"
    "  --help             this text\n"
    "\n"
    "Must run as root.\n";

// Removes `flag` from the arguments; whether it was there.
bool TakeFlag(std::vector<std::string>& arguments, const char* flag) {
  const auto found = std::find(arguments.begin(), arguments.end(), flag);
  if (found == arguments.end()) return false;
  arguments.erase(found);
  return true;
}

// Removes `flag` and the value after it; false when the flag is there without a value.
bool TakeValue(std::vector<std::string>& arguments, const char* flag, std::string& value) {
  const auto found = std::find(arguments.begin(), arguments.end(), flag);
  if (found == arguments.end()) return true;
  if (found + 1 == arguments.end() || (found + 1)->empty() || (found + 1)->front() == '-')
    return false;
  value = *(found + 1);
  arguments.erase(found, found + 2);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace voltrane::manager;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (TakeFlag(arguments, "--help") || TakeFlag(arguments, "-h")) {
    std::cout << kUsage;
    return 0;
  }
  const bool no_gui = TakeFlag(arguments, "--no-gui");
  NoGuiOptions options;
  options.start_service = !TakeFlag(arguments, "--no-start");
  options.take_over_designation = TakeFlag(arguments, "--take-over");
  const bool this_computer = TakeFlag(arguments, "--this-computer");
  const bool group = TakeFlag(arguments, "--group");
  options.end_group = TakeFlag(arguments, "--end-group");
  if (!TakeValue(arguments, "--member", options.member)) {
    std::cerr << "--member needs a name (see --help).\n";
    return 2;
  }
  if (this_computer && (group || !options.member.empty())) {
    std::cerr << "--this-computer cannot be combined with --group or --member.\n";
    return 2;
  }
  if (options.end_group && !this_computer) {
    std::cerr << "--end-group goes with --this-computer (see --help).\n";
    return 2;
  }
  if (this_computer) options.designation = NoGuiDesignation::kThisComputer;
  if (group || !options.member.empty()) options.designation = NoGuiDesignation::kCollectorGroup;
  const CommandLineValues values = ReadCommandLineValues(JoinCommandLine(arguments));

  if (no_gui) {
    if (!IsUserAnAdmin()) {
      std::cerr << "Administrator priveleges required\n";
      return 1;
    }
    // VOLTRANE_SYSTEMCTL names another program in systemctl's place (tests, containers).
    const char* systemctl = std::getenv("VOLTRANE_SYSTEMCTL");
    SystemctlServiceControl service(kCollectorUnit, systemctl ? systemctl : "systemctl");
    return RunNoGui(values, options, service, std::cout);
  }
#ifdef VOLTRANE_MANAGER_GUI
  return RunWizardApplication(argc, argv, values);
#else
  std::cerr << "This build has no window (Qt 6 was not installed); use --no-gui.\n";
  return 1;
#endif
}
