// Intake: how commands enter the machine data log (T_SFC_MDC_LOG), and the
// machine and command lookups the intake shares with the handlers, the
// monitor and schema maintenance (intake.cpp, intake_sql.h,
// machine_lookups.cpp, command_lookups.cpp).
//
// May touch: the session; T_SFC_MDC_LOG (insert only), T_SFC_MACHINE and
// T_SFC_COMMAND (read only); through the log-row writer (AppendCommand) also
// T_SFC_MDC_CLIENT_ID and the latest times of T_SFC_MACHINE_DATA (read).
// Calls no other component. GetMachineHierarchy and GetCommandIDForType let
// a database error reach the caller (so does GetCommandIDForType for a type
// code without any command); the others report a failure as their "not
// found" result. The command caches live as long as the intake.
// Thread rule: used by the thread that owns its session.
#ifndef VOLTRANE_LIBRARY_INTAKE_INTAKE_H_
#define VOLTRANE_LIBRARY_INTAKE_INTAKE_H_

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "library/korvex7_commands.h"
#include "library/korvex7_log_writer.h"
#include "library/session/session.h"

namespace korvex7::internal {

class Intake : public SessionClient {
 public:
  explicit Intake(Session& session) : SessionClient(session) { m_alCommandIDs.fill(-1); }

  // The public append operations (korvex7.h): true when the row was added,
  // false with a text otherwise.
  bool AppendItemToMDCLog(int32_t lDeptID, int32_t lLocationID, int32_t lGroupID,
                          int32_t lMachineID, int32_t lCommandID, const std::string& strParam,
                          int32_t lCommandTimeCode, std::string& strError);
  bool AppendItemToMDCLogDNC(int32_t lDeptVoltraneID, int32_t lLocationVoltraneID,
                             int32_t lGroupVoltraneID, int32_t lMachineVoltraneID,
                             int32_t lCommandVoltraneID, const std::string& strParam,
                             int32_t lCommandTimeCode, std::string& strError);
  bool AppendItemToMDCLog2(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                           const std::string& strParam, int32_t lCommandTimeCode,
                           std::string& strError);

  // The vocabulary's append (korvex7_commands.h): a refusal as a value. A
  // command without time and client id takes AppendItemToMDCLog2's way,
  // retries included; one with either goes through the log-row writer.
  korvex7::AppendResult AppendCommand(const korvex7::Command& command);

  bool GetMachineHierarchy(int32_t lMachineID, int32_t& lDeptID, int32_t& lLocationID,
                           int32_t& lGroupID);
  bool CountLogRowsForMachine(int32_t lMachineID);
  int32_t GetMachineIDForVoltraneID(int32_t lMachineVoltraneID);
  int32_t GetCommandIDForType(int32_t lCommandTypeCode);
  int32_t GetCommandTypeCode(int32_t lCommandID);

 private:
  // AppendItemToMDCLog2 that also tells which rule refused the command
  // (kNone when it was not refused, also for a database failure).
  bool AppendByNumber(const std::string& strMachineNumber, int32_t lCommandTypeCode,
                      const std::string& strParam, int32_t lCommandTimeCode,
                      std::string& strError, korvex7::Refusal& refusal);

  std::unique_ptr<korvex7::LogRowWriter> writer_;  // over writer_connection_, made when needed
  dbaccess::ConnectionPtr writer_connection_;
  std::map<std::string, int32_t> m_dictCommandTypes;  // "<COMMAND_ID>C" -> type code
  std::array<int32_t, 18> m_alCommandIDs;             // type code -> COMMAND_ID, -1 unknown
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_INTAKE_INTAKE_H_
