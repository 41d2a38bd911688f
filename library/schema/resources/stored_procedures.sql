DROP PROCEDURE SetEventStopTime;
GO
DROP PROCEDURE AddEventRecord;
GO
DROP PROCEDURE DoAllCustomStartsInLog;
GO
-- Ends the open event of a command on a machine at @dtCurrentTime.
-- @DidStop: 1 when an open event was ended, 0 when the machine's row had
-- none, null when the machine has no row for the command.
-- Joins the caller's transaction when one is open. Returns 1.
CREATE PROCEDURE SetEventStopTime
  @MachineID INT,
  @CommandID INT,
  @dtCurrentTime DATETIME,
  @MachineEventID INT OUTPUT,
  @DidStop INT OUTPUT
AS
BEGIN
  SET NOCOUNT ON;
  DECLARE @EventID INT;
  DECLARE @OwnTransaction BIT;
  SET @MachineEventID = NULL;
  SET @DidStop = NULL;
  SELECT @EventID = EVENT_ID, @MachineEventID = MACHINE_EVENT_ID
    FROM T_SFC_MACHINE_EVENT
    WHERE MACHINE_ID = @MachineID AND COMMAND_ID = @CommandID;
  SET @OwnTransaction = CASE WHEN @@TRANCOUNT = 0 THEN 1 ELSE 0 END;
  BEGIN TRY
    IF @OwnTransaction = 1 BEGIN TRANSACTION;
    IF @MachineEventID IS NOT NULL
    BEGIN
      SET @DidStop = CASE WHEN @EventID IS NULL THEN 0 ELSE 1 END;
      UPDATE T_SFC_MACHINE_EVENT SET EVENT_ID = NULL
        WHERE MACHINE_EVENT_ID = @MachineEventID;
    END;
    IF @EventID IS NOT NULL
      UPDATE T_SFC_EVENT SET STOP_TIME = @dtCurrentTime WHERE EVENT_ID = @EventID;
    IF @OwnTransaction = 1 COMMIT TRANSACTION;
  END TRY
  BEGIN CATCH
    IF @OwnTransaction = 1 AND @@TRANCOUNT > 0 ROLLBACK TRANSACTION;
    THROW;
  END CATCH;
  RETURN 1;
END
GO
-- Opens an event of a command on a machine at @dtCurrentTime, ending the
-- machine's previous open event of the same command at that time. A "both"
-- event (@isBoth = 1) is ended at once and leaves no open event.
-- Joins the caller's transaction when one is open. Returns the new event's
-- key, or 0 for a "both" event.
CREATE PROCEDURE AddEventRecord
  @DeptID INT,
  @LocationID INT,
  @GroupID INT,
  @MachineID INT,
  @CommandID INT,
  @strParam NVARCHAR(255),
  @dtCurrentTime DATETIME,
  @isBoth BIT
AS
BEGIN
  SET NOCOUNT ON;
  DECLARE @PreviousEventID INT;
  DECLARE @MachineEventID INT;
  DECLARE @NewEventID INT;
  DECLARE @OpenEventID INT;
  DECLARE @OwnTransaction BIT;
  SET @OwnTransaction = CASE WHEN @@TRANCOUNT = 0 THEN 1 ELSE 0 END;
  BEGIN TRY
    IF @OwnTransaction = 1 BEGIN TRANSACTION;
    SELECT @PreviousEventID = EVENT_ID, @MachineEventID = MACHINE_EVENT_ID
      FROM T_SFC_MACHINE_EVENT WITH (UPDLOCK)
      WHERE MACHINE_ID = @MachineID AND COMMAND_ID = @CommandID;
    INSERT INTO T_SFC_EVENT (START_TIME, STOP_TIME, COMMAND_ID, DEPT_ID, LOCATION_ID,
                             GROUP_ID, MACHINE_ID, PARAM1)
      VALUES (@dtCurrentTime, CASE WHEN @isBoth = 1 THEN @dtCurrentTime ELSE NULL END,
              @CommandID, @DeptID, @LocationID, @GroupID, @MachineID, NULLIF(@strParam, N''));
    SET @NewEventID = CAST(SCOPE_IDENTITY() AS INT);
    SET @OpenEventID = CASE WHEN @isBoth = 1 THEN NULL ELSE @NewEventID END;
    IF @MachineEventID IS NOT NULL
    BEGIN
      UPDATE T_SFC_MACHINE_EVENT SET EVENT_ID = @OpenEventID
        WHERE MACHINE_EVENT_ID = @MachineEventID;
      IF @PreviousEventID IS NOT NULL
        UPDATE T_SFC_EVENT SET STOP_TIME = @dtCurrentTime WHERE EVENT_ID = @PreviousEventID;
    END
    ELSE
      INSERT INTO T_SFC_MACHINE_EVENT (COMMAND_ID, MACHINE_ID, EVENT_ID)
        VALUES (@CommandID, @MachineID, @OpenEventID);
    IF @OwnTransaction = 1 COMMIT TRANSACTION;
  END TRY
  BEGIN CATCH
    IF @OwnTransaction = 1 AND @@TRANCOUNT > 0 ROLLBACK TRANSACTION;
    THROW;
  END CATCH;
  IF @isBoth = 1 RETURN 0;
  RETURN @NewEventID;
END
GO
-- Turns the custom-start rows of the MDC log (command type code 0, time
-- code 0) into events, up to 100 rows per transaction, and deletes them from
-- the log. Joins the caller's transaction when one is open. Returns the
-- number of log rows deleted.
CREATE PROCEDURE DoAllCustomStartsInLog
AS
BEGIN
  SET NOCOUNT ON;
  DECLARE @BatchSize INT = 100;
  DECLARE @Total INT = 0;
  DECLARE @Found INT;
  DECLARE @OwnTransaction BIT;
  DECLARE @LogID INT;
  DECLARE @DeptID INT;
  DECLARE @LocationID INT;
  DECLARE @GroupID INT;
  DECLARE @MachineID INT;
  DECLARE @CommandID INT;
  DECLARE @Param NVARCHAR(255);
  DECLARE @TimeStamp DATETIME;
  CREATE TABLE #CustomStarts (
    MDC_LOG_ID INT NOT NULL PRIMARY KEY,
    DEPT_ID INT,
    LOCATION_ID INT,
    GROUP_ID INT,
    MACHINE_ID INT,
    COMMAND_ID INT,
    PARAM1 NVARCHAR(255),
    TIME_STAMP DATETIME
  );
  INSERT INTO #CustomStarts (MDC_LOG_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID,
                             COMMAND_ID, PARAM1, TIME_STAMP)
    SELECT TOP (@BatchSize) l.MDC_LOG_ID, l.DEPT_ID, l.LOCATION_ID, l.GROUP_ID,
           l.MACHINE_ID, l.COMMAND_ID, l.PARAM1, l.TIME_STAMP
      FROM T_SFC_MDC_LOG l WITH (NOLOCK)
      INNER JOIN T_SFC_COMMAND c WITH (NOLOCK) ON c.COMMAND_ID = l.COMMAND_ID
      WHERE c.COMMAND_TYPE_CODE = 0 AND l.COMMAND_TIME_CODE = 0;
  SET @Found = @@ROWCOUNT;
  WHILE @Found > 0
  BEGIN
    SET @OwnTransaction = CASE WHEN @@TRANCOUNT = 0 THEN 1 ELSE 0 END;
    BEGIN TRY
      IF @OwnTransaction = 1 BEGIN TRANSACTION;
      SET @LogID = 0;
      WHILE 1 = 1
      BEGIN
        SELECT TOP (1) @LogID = MDC_LOG_ID, @DeptID = DEPT_ID, @LocationID = LOCATION_ID,
               @GroupID = GROUP_ID, @MachineID = MACHINE_ID, @CommandID = COMMAND_ID,
               @Param = PARAM1, @TimeStamp = TIME_STAMP
          FROM #CustomStarts
          WHERE MDC_LOG_ID > @LogID
          ORDER BY MDC_LOG_ID;
        IF @@ROWCOUNT = 0 BREAK;
        EXEC AddEventRecord @DeptID, @LocationID, @GroupID, @MachineID, @CommandID,
                            @Param, @TimeStamp, 0;
      END;
      DELETE l FROM T_SFC_MDC_LOG l
        INNER JOIN #CustomStarts s ON s.MDC_LOG_ID = l.MDC_LOG_ID;
      SET @Total = @Total + @@ROWCOUNT;
      IF @OwnTransaction = 1 COMMIT TRANSACTION;
    END TRY
    BEGIN CATCH
      IF @OwnTransaction = 1 AND @@TRANCOUNT > 0 ROLLBACK TRANSACTION;
      THROW;
    END CATCH;
    DELETE FROM #CustomStarts;
    INSERT INTO #CustomStarts (MDC_LOG_ID, DEPT_ID, LOCATION_ID, GROUP_ID, MACHINE_ID,
                               COMMAND_ID, PARAM1, TIME_STAMP)
      SELECT TOP (@BatchSize) l.MDC_LOG_ID, l.DEPT_ID, l.LOCATION_ID, l.GROUP_ID,
             l.MACHINE_ID, l.COMMAND_ID, l.PARAM1, l.TIME_STAMP
        FROM T_SFC_MDC_LOG l WITH (NOLOCK)
        INNER JOIN T_SFC_COMMAND c WITH (NOLOCK) ON c.COMMAND_ID = l.COMMAND_ID
        WHERE c.COMMAND_TYPE_CODE = 0 AND l.COMMAND_TIME_CODE = 0;
    SET @Found = @@ROWCOUNT;
  END;
  DROP TABLE #CustomStarts;
  RETURN @Total;
END
