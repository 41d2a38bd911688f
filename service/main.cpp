// voltrane-collector: the collector service's process entry.
#include <cstdio>
#include <cstdlib>

#include "service/vmdc_service_module.h"

int main(int argc, char** argv) {
  static voltrane::CVMDCServiceModule module;
  const int exit_code = module.WinMain(argc, argv);
  // A worker stuck in a library call still runs; static destructors must not pull the
  // ground from under it.
  if (module.WorkerAbandoned()) {
    std::fflush(nullptr);
    std::_Exit(exit_code);
  }
  return exit_code;
}
