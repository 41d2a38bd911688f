// The collector's process entry logic.
#include "service/vmdc_service_module.h"

#include "service/command_line.h"

namespace voltrane {

int CVMDCServiceModule::WinMain(int argc, const char* const* argv) {
  const CommandLineScan scan = ScanCommandLine(JoinCommandLine(argc, argv));
  m_bNoConsole = scan.no_console;
  switch (scan.action) {
    case CommandLineAction::kUnregServer:
      return UnregisterServer();
    case CommandLineAction::kRegServer:
      return RegisterServer(true, false);
    case CommandLineAction::kService:
      return RegisterServer(true, true);
    case CommandLineAction::kStart:
      break;
  }
  Start();
  return ExitCode();
}

}  // namespace voltrane
