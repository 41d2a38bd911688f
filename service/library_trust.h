// Whether a file may decide what code the collector runs: the settings store
// that holds the class registration, and the library the registration names.
//
// A file is trusted when it and every folder on its path belong to root (or
// to the account this process runs as, who could run any code anyway) and
// none is writable by the group or by others; a folder with the sticky bit
// (such as /tmp) is accepted, since others may not rename what lies in it.
// Symbolic links are followed to the file they name. Pure function of the file
// system; any thread.
#ifndef VOLTRANE_SERVICE_LIBRARY_TRUST_H_
#define VOLTRANE_SERVICE_LIBRARY_TRUST_H_

#include <string>

namespace voltrane {

// "" when `path` is trusted, else why not, as a sentence naming `role` and the path (for
// role "library file": "The library file /opt/x/libkorvex7.so is writable by others (mode 0666)").
std::string UntrustedFileReason(const std::string& path, const std::string& role);

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_LIBRARY_TRUST_H_
