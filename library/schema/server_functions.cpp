// The event records' server functions on PostgreSQL: AddEventRecord and
// SetEventStopTime take the steps event_records.cpp runs statement by
// statement (insert the event, point the machine's row of
// T_SFC_MACHINE_EVENT to it, end the one it pointed to; or end the open
// event) in one call, so that each costs one round trip instead of three or
// four. They leave the same rows as those statements, in the same order (the
// keys included). A machine has at most one T_SFC_MACHINE_EVENT row per
// command (the unique index K_SFC_MA_EVMAID), so one read finds it. They
// are created, or replaced, when the loop starts; a database that refuses
// them is processed with the statements as before.
// Processing thread only.
#include <string>
#include <vector>

#include "dbaccess/sql_dialect.h"
#include "library/schema/schema_maintenance.h"
#include "library/session/extended_error_log.h"

namespace korvex7::internal {

namespace {

const std::vector<std::string>& ServerFunctionStatements() {
  static const std::vector<std::string> statements = {
      R"(CREATE OR REPLACE FUNCTION AddEventRecord(p_dept INTEGER, p_location INTEGER,
  p_group INTEGER, p_machine INTEGER, p_command INTEGER, p_param VARCHAR, p_time TIMESTAMP,
  p_both INTEGER) RETURNS INTEGER LANGUAGE plpgsql AS $$
DECLARE
  v_event INTEGER;
  v_machine_event INTEGER;
  v_previous INTEGER;
BEGIN
  IF p_both <> 0 THEN
    INSERT INTO T_SFC_EVENT (START_TIME, STOP_TIME, COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID,
      MACHINE_ID, PARAM1) VALUES (p_time, p_time, p_command, p_dept, p_location, p_group,
      p_machine, p_param) RETURNING EVENT_ID INTO v_event;
  ELSE
    INSERT INTO T_SFC_EVENT (START_TIME, COMMAND_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID,
      PARAM1) VALUES (p_time, p_command, p_dept, p_location, p_group, p_machine, p_param)
      RETURNING EVENT_ID INTO v_event;
  END IF;
  SELECT MACHINE_EVENT_ID, EVENT_ID INTO v_machine_event, v_previous FROM T_SFC_MACHINE_EVENT
    WHERE MACHINE_ID = p_machine AND COMMAND_ID = p_command;
  IF FOUND THEN
    UPDATE T_SFC_MACHINE_EVENT SET EVENT_ID = CASE WHEN p_both <> 0 THEN NULL ELSE v_event END
      WHERE MACHINE_EVENT_ID = v_machine_event;
  ELSE
    INSERT INTO T_SFC_MACHINE_EVENT (MACHINE_ID, COMMAND_ID, EVENT_ID)
      VALUES (p_machine, p_command, CASE WHEN p_both <> 0 THEN NULL ELSE v_event END);
  END IF;
  IF v_previous IS NOT NULL THEN
    UPDATE T_SFC_EVENT SET STOP_TIME = p_time WHERE EVENT_ID = v_previous AND STOP_TIME IS NULL;
  END IF;
  RETURN v_event;
END $$)",
      // 0: the machine has no row for the command; 1: no open event; 2: the
      // event ended; 3: the row pointed to an event that is gone (the row is
      // cleared all the same, as the statements do before they fail).
      R"(CREATE OR REPLACE FUNCTION SetEventStopTime(p_machine INTEGER, p_command INTEGER,
  p_time TIMESTAMP) RETURNS INTEGER LANGUAGE plpgsql AS $$
DECLARE
  v_machine_event INTEGER;
  v_event INTEGER;
BEGIN
  SELECT MACHINE_EVENT_ID, EVENT_ID INTO v_machine_event, v_event FROM T_SFC_MACHINE_EVENT
    WHERE MACHINE_ID = p_machine AND COMMAND_ID = p_command;
  IF NOT FOUND THEN
    RETURN 0;
  END IF;
  IF v_event IS NULL THEN
    RETURN 1;
  END IF;
  UPDATE T_SFC_MACHINE_EVENT SET EVENT_ID = NULL WHERE MACHINE_EVENT_ID = v_machine_event;
  UPDATE T_SFC_EVENT SET STOP_TIME = p_time WHERE EVENT_ID = v_event;
  IF NOT FOUND THEN
    RETURN 3;
  END IF;
  RETURN 2;
END $$)",
  };
  return statements;
}

}  // namespace

void SchemaMaintenance::InstallServerFunctions() {
  if (dialect().event_steps != voltrane::EventSteps::kServerFunctions) return;
  bool bInstalled = true;
  for (const std::string& strStatement : ServerFunctionStatements()) {
    std::string strError;
    if (!ExecuteSQL(strStatement, strError)) {
      WriteExtendedErrorLog("InstallServerFunctions: " + strError);
      bInstalled = false;
    }
  }
  SetServerEventFunctions(bInstalled);
}

}  // namespace korvex7::internal
