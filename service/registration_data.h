// The registration data of the collector in the settings store's classes
// section (the machine hive's `Software\Classes`): the AppID entries and the
// type library entries. Applying writes them; reversing removes what applying
// wrote (never the `AppID` or `TypeLib` keys themselves). Writers return 0 or
// a registry error code; they are called from the main thread only.
#ifndef VOLTRANE_SERVICE_REGISTRATION_DATA_H_
#define VOLTRANE_SERVICE_REGISTRATION_DATA_H_

#include <cstdint>
#include <string>

namespace voltrane {

// Key paths in the machine hive.
std::string AppIdKeyPath();     // Software\Classes\AppID\{DD63E43E-...}
std::string AppIdExeKeyPath();  // Software\Classes\AppID\Voltrane Collector Service.EXE
std::string TypeLibKeyPath();   // Software\Classes\TypeLib\{85774D31-...}

int32_t ApplyRegistrationData();
void ReverseRegistrationData();

// The type library entries: version key with the help string, the program as the library
// file for locale 409, FLAGS and HELPDIR.
int32_t RegisterTypeLibrary(const std::string& program_path);
void UnregisterTypeLibrary();

// The registry code of a failed write: the hive's open error, else access denied.
int32_t RegistryWriteError();

}  // namespace voltrane

#endif  // VOLTRANE_SERVICE_REGISTRATION_DATA_H_
