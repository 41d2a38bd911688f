// The manager without a display: applies the command-line keywords through
// the wizard's rules, walking the pages as an administrator pressing Next
// would (connection test with the version and designation checks, the option
// pages as they are in the database), the designation (this computer or the
// database's collector group) and Finish, and reports every step on
// the terminal. Questions are answered from the options (no by default), so
// it never waits for input.
#ifndef VOLTRANE_MANAGER_NO_GUI_MODE_H_
#define VOLTRANE_MANAGER_NO_GUI_MODE_H_

#include <ostream>
#include <string>

#include "manager/command_line_values.h"
#include "manager/host_checks.h"
#include "manager/service_control.h"

namespace voltrane::manager {

// Who processes the database's log after Finish.
enum class NoGuiDesignation {
  kAsTheDatabaseHasIt,  // the collector group when option 14 names one, else this computer
  kThisComputer,
  kCollectorGroup,  // the database's collector group, this computer's collector a member
};

struct NoGuiOptions {
  // "Start MDC Service" at Finish.
  bool start_service = true;
  // Answer Yes and OK when another computer is designated to run the service.
  bool take_over_designation = false;
  NoGuiDesignation designation = NoGuiDesignation::kAsTheDatabaseHasIt;
  // This computer's member name in the collector group; "" keeps the stored one (or the
  // computer's name).
  std::string member;
  // Designating this computer on a database in group mode ends group mode: only with this.
  bool end_group = false;
};

// 0 when the settings were written, 1 when a step failed (the step is reported).
int RunNoGui(const CommandLineValues& values, const NoGuiOptions& options, ServiceControl& service,
             std::ostream& out, HostChecks host = {});

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_NO_GUI_MODE_H_
