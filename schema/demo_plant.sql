-- A small demo plant, for SQLite and PostgreSQL, loaded after the schema file.
--
-- One department with two locations, five machines in three groups, a day shift and
-- a swing shift, operators, jobs with their part lists, parts and part types,
-- downtime and scrap codes, one command per built-in type code 4 to 17 (its key is
-- its type code, so a log row reads plainly) and two custom commands.
--
-- Keys are given explicitly because rows refer to each other. Every insert is
-- INSERT ... ON CONFLICT DO NOTHING, which both databases accept, so loading the file
-- again changes nothing. On PostgreSQL run demo_plant_postgresql_tail.sql afterwards:
-- it moves each key sequence past the keys given here.
--
-- Machines start without a machine data record (MACHINE_DATA_ID null) and idle: the
-- first command of a machine creates its first record at the command's time, with
-- the shift in force then.
--
-- Date-times are written as YYYY-MM-DD HH:MM:SS.SSS, the form SQLite stores and
-- PostgreSQL reads as a timestamp. Interval times lie on the base day 1970-01-01, the
-- swing interval stops on 1970-01-02.
--
-- Statement separation: every statement ends with a semicolon at the end of its last
-- line, and no statement holds a semicolon anywhere else.

-- The plant hierarchy.
INSERT INTO T_SFC_DEPT (DEPT_ID, DEPT_NAME, VOLTRANE_ID) VALUES
  (1, 'Production', 10)
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_LOCATION (LOCATION_ID, DEPT_ID, LOCATION_NAME, VOLTRANE_ID) VALUES
  (1, 1, 'Hall A', 20),
  (2, 1, 'Hall B', 21)
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_GROUP (GROUP_ID, LOCATION_ID, GROUP_NAME, VOLTRANE_ID) VALUES
  (1, 1, 'Turning', 30),
  (2, 1, 'Milling', 31),
  (3, 2, 'Grinding', 32)
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_MACHINE (MACHINE_ID, MACHINE_NUMBER, MACHINE_NAME, GROUP_ID,
    MACHINE_DATA_ID, STATUS_CODE, STATUS_DATE, VOLTRANE_ID) VALUES
  (1, '101', 'Lathe 1', 1, NULL, 0, NULL, 1101),
  (2, '102', 'Lathe 2', 1, NULL, 0, NULL, 1102),
  (3, '201', 'Machining Centre 1', 2, NULL, 0, NULL, 1201),
  (4, '202', 'Machining Centre 2', 2, NULL, 0, NULL, 1202),
  (5, '301', 'Surface Grinder', 3, NULL, 0, NULL, 1301)
  ON CONFLICT DO NOTHING;

-- Commands: the key is the type code for the built-in ones. Type 0 is the custom
-- command that SQL Server pre-processes in bulk, 20 any other custom command.
INSERT INTO T_SFC_COMMAND (COMMAND_ID, COMMAND_NAME, COMMAND_TYPE_CODE, VOLTRANE_ID) VALUES
  (4, 'Logon', 4, 2004),
  (5, 'Job', 5, 2005),
  (6, 'Part', 6, 2006),
  (7, 'Operation', 7, 2007),
  (8, 'Setup', 8, 2008),
  (9, 'Cycle', 9, 2009),
  (10, 'Teardown', 10, 2010),
  (11, 'Machine Downtime', 11, 2011),
  (12, 'User Downtime', 12, 2012),
  (13, 'Good Part Count', 13, 2013),
  (14, 'Scrapped Part Count', 14, 2014),
  (15, 'Heartbeat', 15, 2015),
  (16, 'Idle', 16, 2016),
  (17, 'Part Serial Number', 17, 2017),
  (18, 'Door Open', 0, 2018),
  (19, 'Coolant Alarm', 20, 2019)
  ON CONFLICT DO NOTHING;

-- Shifts: day 06:00 to 14:00 and swing 22:00 to 06:00 of the next morning, Monday to
-- Friday. Machine 301 works the day shift only, the others every shift.
INSERT INTO T_SFC_INTERVAL (INTERVAL_ID, START_TIME, STOP_TIME, IS_SWING) VALUES
  (1, '1970-01-01 06:00:00.000', '1970-01-01 14:00:00.000', 0),
  (2, '1970-01-01 22:00:00.000', '1970-01-02 06:00:00.000', 1)
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_SHIFT (SHIFT_ID, SHIFT_NAME, MON_INTERVAL_ID, TUE_INTERVAL_ID,
    WED_INTERVAL_ID, THU_INTERVAL_ID, FRI_INTERVAL_ID, SAT_INTERVAL_ID, SUN_INTERVAL_ID) VALUES
  (1, 'Day', 1, 1, 1, 1, 1, NULL, NULL),
  (2, 'Swing', 2, 2, 2, 2, 2, NULL, NULL)
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_MACHINE_SHIFT (MACHINE_SHIFT_ID, MACHINE_ID, SHIFT_ID) VALUES
  (1, 5, 1)
  ON CONFLICT DO NOTHING;

-- Operators, each with the shift they normally work.
INSERT INTO T_SFC_USER (USER_ID, USER_NAME, FIRST_NAME, LAST_NAME, SHIFT_ID) VALUES
  (1, 'jsmith', 'John', 'Smith', 1),
  (2, 'mgarcia', 'Maria', 'Garcia', 2),
  (3, 'kobrien', 'Kate', 'O''Brien', 1)
  ON CONFLICT DO NOTHING;

-- Parts and part types. Numbers are held in upper case.
INSERT INTO T_SFC_PART_TYPE (PART_TYPE_ID, PART_TYPE_NAME) VALUES
  (1, 'Production'),
  (2, 'Prototype')
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_PART (PART_ID, PART_NUMBER, PART_TYPE_ID, REV, ASSET_ID) VALUES
  (1, 'SHAFT-100', 1, 'A', NULL),
  (2, 'FLANGE-200', 1, 'B', NULL),
  (3, 'HOUSING-300', 2, 'A', NULL)
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_PART_SERIAL_NO (PART_SERIAL_NO_ID, PART_ID, SERIAL_NO, ASSET_ID) VALUES
  (1, 3, 'SN-0001', NULL),
  (2, 3, 'SN-0002', NULL)
  ON CONFLICT DO NOTHING;

-- Standard cycle times in minutes: every machine has one for every part, since the
-- jobs run on all of them in turn (the plant simulator's profile holds the same).
INSERT INTO T_SFC_MACHINE_PPH (MACHINE_PPH_ID, MACHINE_ID, PART_ID, CYCLE_TIME) VALUES
  (1, 1, 1, 2.5),
  (2, 2, 1, 3),
  (3, 3, 2, 4.25),
  (4, 4, 3, 12),
  (5, 1, 2, 3.5),
  (6, 1, 3, 8),
  (7, 2, 2, 4),
  (8, 2, 3, 9),
  (9, 3, 1, 5),
  (10, 3, 3, 10),
  (11, 4, 1, 6),
  (12, 4, 2, 5),
  (13, 5, 1, 6),
  (14, 5, 2, 4.5),
  (15, 5, 3, 7)
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_OP (OP_ID, OP_NUMBER, REV, ASSET_ID) VALUES
  (1, 'OP10', 'A', NULL),
  (2, 'OP20', 'A', NULL),
  (3, 'OP30', 'B', NULL)
  ON CONFLICT DO NOTHING;

-- Jobs (status 0 pending, 1 in process) and their part lists in ORDINAL order.
INSERT INTO T_SFC_JOB (JOB_ID, JOB_NUMBER, JOB_NAME, STATUS_CODE, TARGET_START, TARGET_STOP,
    ACTUAL_START, ACTUAL_STOP, ASSET_ID) VALUES
  (1, 'J1001', 'Shafts and flanges for order 4711', 1, '2026-01-05 06:00:00.000',
    '2026-01-09 00:00:00.000', NULL, NULL, NULL),
  (2, 'J1002', 'Housing prototypes', 0, '2026-01-12 06:00:00.000',
    '2026-01-16 00:00:00.000', NULL, NULL, NULL)
  ON CONFLICT DO NOTHING;

INSERT INTO T_SFC_PART_PER_JOB (PART_PER_JOB_ID, JOB_ID, PART_ID, TARGET_QTY, ORDINAL,
    ACTUAL_QTY, SCRAPPED_QTY) VALUES
  (1, 1, 1, 100, 0, 0, 0),
  (2, 1, 2, 50, 1, 0, 0),
  (3, 2, 3, 10, 0, 0, 0)
  ON CONFLICT DO NOTHING;

-- Downtime codes: type 0 machine, 1 user, 2 both. CYCLE_STATUS_LOCK is the lock kind
-- (0 none, 1 cycle, 2 setup, 3 all) plus 4 times the maximum minutes: tool change
-- locks cycles and ends itself after 30 minutes (1 + 4 * 30).
INSERT INTO T_SFC_DOWNTIME_CODE (DOWNTIME_CODE_ID, DOWNTIME_CODE_NUMBER, DOWNTIME_CODE_NAME,
    DOWNTIME_TYPE_CODE, CYCLE_STATUS_LOCK, PLANNED) VALUES
  (1, '100', 'Waiting for material', 0, 0, 0),
  (2, '110', 'Tool change', 0, 121, 0),
  (3, '120', 'Planned maintenance', 0, 3, 1),
  (4, '190', 'Heartbeat missing', 0, 0, 0),
  (5, '200', 'Break', 1, 0, 1),
  (6, '210', 'Meeting', 2, 0, 1),
  (7, '130', 'Machine fault', 0, 0, 0)
  ON CONFLICT DO NOTHING;

-- Scrap codes: type 1 marks the default code.
INSERT INTO T_SFC_SCRAP_CODE (SCRAP_CODE_ID, SCRAP_CODE_NUMBER, SCRAP_CODE_NAME,
    SCRAP_CODE_TYPE_CODE) VALUES
  (1, 'S1', 'Out of tolerance', 1),
  (2, 'S2', 'Surface damage', 0),
  (3, 'S3', 'Material defect', 0)
  ON CONFLICT DO NOTHING;

-- Options of application code 2 that need a value: 7, the part type of parts created
-- automatically, and 19, the return-to-previous-state timeout in seconds.
INSERT INTO T_SFC_OPTION (OPTION_ID, APP_CODE, OPTION_CODE, OPTION_TYPE_CODE, BOOL_VAL, NUM_VAL,
    STRING_VAL) VALUES
  (1, 2, 7, 1, NULL, 1, NULL),
  (2, 2, 19, 1, NULL, 240, NULL)
  ON CONFLICT DO NOTHING;

-- The connection probe reads this table.
INSERT INTO T_VMES_PTYPE (PTYPE_ID, PTYPE_NAME) VALUES
  (0, 'MDC')
  ON CONFLICT DO NOTHING;
