// The fixed names of the collector service: its service name, the registration
// identifiers it writes, the instance mutex and the run thread's messages.
#ifndef VOLTRANE_SERVICE_SERVICE_IDENTITY_H_
#define VOLTRANE_SERVICE_SERVICE_IDENTITY_H_

#include <cstdint>

namespace voltrane {

// Service name, display name, event source and registration name alike.
inline constexpr const char* kServiceName = "Voltrane Collector Service";
// The systemd unit that stands for the installed service.
inline constexpr const char* kUnitName = "voltrane-collector.service";
// Identifier used in journal fields and syslog.
inline constexpr const char* kSyslogIdentifier = "voltrane-collector";

inline constexpr const char* kAppId = "{DD63E43E-7E86-434C-93DB-028347F6C77E}";
inline constexpr const char* kAppIdExeKey = "Voltrane Collector Service.EXE";
inline constexpr const char* kTypeLibId = "{85774D31-C754-43C9-B2BF-4A50B73E76CD}";
inline constexpr const char* kTypeLibVersion = "1.0";
inline constexpr const char* kTypeLibLocale = "409";
inline constexpr const char* kTypeLibHelpString = "Voltrane Collector Service 1.0 Type Library";

inline constexpr const char* kInstanceMutexName =
    "VCOLLECTORSERVICE-8A8923E5-5AB3-431d-9DED-EB79CF75A2BF";

// Thread messages of the run thread.
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_SERVICE_PAUSE = 0x04C9;
inline constexpr uint32_t WM_SERVICE_CONTINUE = 0x04CA;

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_SERVICE_IDENTITY_H_
