// The manager's string table and LoadResText.
//
// Texts are looked up by id; %1 to %5 are replaced, each at its first
// occurrence only, by the matching argument when that argument is not empty.
// Id 6808 gives "Failed Logon"; a missing id gives "###STRING RESOURCE
// ERROR###". Pure functions; thread-safe.
#ifndef VOLTRANE_MANAGER_STRING_RESOURCES_H_
#define VOLTRANE_MANAGER_STRING_RESOURCES_H_

#include <string>
#include <vector>

namespace voltrane::manager {

inline constexpr const char* kAppTitle = "Voltrane MDC Service Manager";

namespace res {
inline constexpr int kHelp = 101;
inline constexpr int kCancel = 102;
inline constexpr int kBack = 103;
inline constexpr int kNext = 104;
inline constexpr int kVersion = 105;
inline constexpr int kOptionOracle = 106;
inline constexpr int kOptionAccess = 107;
inline constexpr int kOptionSqlServer = 108;
inline constexpr int kUserName = 109;
inline constexpr int kPassword = 110;
inline constexpr int kHostString = 111;
inline constexpr int kDatabase = 112;
inline constexpr int kServer = 113;
inline constexpr int kTitleKind = 114;
inline constexpr int kTitleOracle = 115;
inline constexpr int kTitleAccess = 116;
inline constexpr int kTitleSqlServer = 117;
inline constexpr int kSelectAccessDatabase = 119;
inline constexpr int kAccessFilter = 120;
inline constexpr int kConnectionNotValid = 121;
inline constexpr int kRegistryWriteFailed = 122;
inline constexpr int kTitleOptions = 123;
inline constexpr int kTimeout = 124;
inline constexpr int kConnectionSuccessful = 126;
inline constexpr int kSeconds = 127;
inline constexpr int kIntegerRange = 128;
inline constexpr int kFileMissing = 129;
inline constexpr int kNetworkDrive = 130;
inline constexpr int kFinish = 131;
// The two kinds of this platform.
inline constexpr int kOptionSqlite = 132;
inline constexpr int kOptionPostgreSql = 133;
inline constexpr int kTitleSqlite = 134;
inline constexpr int kTitlePostgreSql = 135;
inline constexpr int kSelectSqliteDatabase = 136;
inline constexpr int kSqliteFilter = 137;
inline constexpr int kDatabaseFile = 138;
inline constexpr int kFailedLogon = 6808;
inline constexpr int kNotFound = 8478;
inline constexpr int kMissing = 8508;
}  // namespace res

std::string LoadResText(int id, const std::vector<std::string>& args = {});

}  // namespace voltrane::manager

#endif  // VOLTRANE_MANAGER_STRING_RESOURCES_H_
