// CVMDCServiceModule: the collector's module: scans the command line, carries
// out a registration switch (its result is the process's exit code) or starts.
#ifndef VOLTRANE_SERVICE_VMDC_SERVICE_MODULE_H_
#define VOLTRANE_SERVICE_VMDC_SERVICE_MODULE_H_

#include "service/service_module.h"

namespace voltrane {

class CVMDCServiceModule : public CServiceModule {
 public:
  explicit CVMDCServiceModule(ServiceHostServices services = {})
      : CServiceModule(std::move(services)) {}

  // The process's exit code.
  int WinMain(int argc, const char* const* argv);

 protected:
  bool NoConsole() const override { return m_bNoConsole; }

 private:
  bool m_bNoConsole = false;
};

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_VMDC_SERVICE_MODULE_H_
