-- Run on PostgreSQL after demo_plant.sql (or after any load that gives keys
-- explicitly): moves each key sequence past the largest key in its table, so that
-- rows added later get new keys. Running it again changes nothing.
--
-- Statement separation: every statement ends with a semicolon at the end of its last
-- line, and no statement holds a semicolon anywhere else.

SELECT setval(pg_get_serial_sequence('t_sfc_dept', 'dept_id'),
  COALESCE((SELECT MAX(DEPT_ID) FROM T_SFC_DEPT), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_location', 'location_id'),
  COALESCE((SELECT MAX(LOCATION_ID) FROM T_SFC_LOCATION), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_group', 'group_id'),
  COALESCE((SELECT MAX(GROUP_ID) FROM T_SFC_GROUP), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_machine', 'machine_id'),
  COALESCE((SELECT MAX(MACHINE_ID) FROM T_SFC_MACHINE), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_command', 'command_id'),
  COALESCE((SELECT MAX(COMMAND_ID) FROM T_SFC_COMMAND), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_mdc_log', 'mdc_log_id'),
  COALESCE((SELECT MAX(MDC_LOG_ID) FROM T_SFC_MDC_LOG), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_machine_data', 'machine_data_id'),
  COALESCE((SELECT MAX(MACHINE_DATA_ID) FROM T_SFC_MACHINE_DATA), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_dt_per_machine_data', 'dt_per_machine_data_id'),
  COALESCE((SELECT MAX(DT_PER_MACHINE_DATA_ID) FROM T_SFC_DT_PER_MACHINE_DATA), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_scrap_per_machine_data', 'scrap_per_machine_data_id'),
  COALESCE((SELECT MAX(SCRAP_PER_MACHINE_DATA_ID) FROM T_SFC_SCRAP_PER_MACHINE_DATA), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_machine_pph', 'machine_pph_id'),
  COALESCE((SELECT MAX(MACHINE_PPH_ID) FROM T_SFC_MACHINE_PPH), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_event', 'event_id'),
  COALESCE((SELECT MAX(EVENT_ID) FROM T_SFC_EVENT), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_machine_event', 'machine_event_id'),
  COALESCE((SELECT MAX(MACHINE_EVENT_ID) FROM T_SFC_MACHINE_EVENT), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_shift', 'shift_id'),
  COALESCE((SELECT MAX(SHIFT_ID) FROM T_SFC_SHIFT), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_interval', 'interval_id'),
  COALESCE((SELECT MAX(INTERVAL_ID) FROM T_SFC_INTERVAL), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_machine_shift', 'machine_shift_id'),
  COALESCE((SELECT MAX(MACHINE_SHIFT_ID) FROM T_SFC_MACHINE_SHIFT), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_user', 'user_id'),
  COALESCE((SELECT MAX(USER_ID) FROM T_SFC_USER), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_job', 'job_id'),
  COALESCE((SELECT MAX(JOB_ID) FROM T_SFC_JOB), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_part_per_job', 'part_per_job_id'),
  COALESCE((SELECT MAX(PART_PER_JOB_ID) FROM T_SFC_PART_PER_JOB), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_op', 'op_id'),
  COALESCE((SELECT MAX(OP_ID) FROM T_SFC_OP), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_part', 'part_id'),
  COALESCE((SELECT MAX(PART_ID) FROM T_SFC_PART), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_part_type', 'part_type_id'),
  COALESCE((SELECT MAX(PART_TYPE_ID) FROM T_SFC_PART_TYPE), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_part_serial_no', 'part_serial_no_id'),
  COALESCE((SELECT MAX(PART_SERIAL_NO_ID) FROM T_SFC_PART_SERIAL_NO), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_asset', 'asset_id'),
  COALESCE((SELECT MAX(ASSET_ID) FROM T_SFC_ASSET), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_downtime_code', 'downtime_code_id'),
  COALESCE((SELECT MAX(DOWNTIME_CODE_ID) FROM T_SFC_DOWNTIME_CODE), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_scrap_code', 'scrap_code_id'),
  COALESCE((SELECT MAX(SCRAP_CODE_ID) FROM T_SFC_SCRAP_CODE), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_option', 'option_id'),
  COALESCE((SELECT MAX(OPTION_ID) FROM T_SFC_OPTION), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_machine_heartbeat', 'machine_heartbeat_id'),
  COALESCE((SELECT MAX(MACHINE_HEARTBEAT_ID) FROM T_SFC_MACHINE_HEARTBEAT), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_history', 'history_id'),
  COALESCE((SELECT MAX(HISTORY_ID) FROM T_SFC_HISTORY), 0) + 1, false);

SELECT setval(pg_get_serial_sequence('t_sfc_db_item', 'db_item_id'),
  COALESCE((SELECT MAX(DB_ITEM_ID) FROM T_SFC_DB_ITEM), 0) + 1, false);
