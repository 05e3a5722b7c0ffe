-- The try-out module's own table on the suite's SQL Server database.
-- Run once per installation (sqlcmd -d <suite database> -i TryOutBK.sql). The script can be run
-- again: it creates only what is missing. The database's collation is the suite's
-- case-insensitive Chinese collation; column types are varchar in the database code page.

IF OBJECT_ID(N'dbo.TryOutBK', N'U') IS NULL
BEGIN
    CREATE TABLE dbo.TryOutBK (
        BookDate varchar(10)  NOT NULL,  -- registration date, "YYYY-MM-DD"
        BookTime varchar(8)   NOT NULL,  -- registration time, "HH:MM:SS" (24-hour)
        OrgCode  varchar(6)   NOT NULL,  -- organisation that lent the good (SubShop)
        PluCode  varchar(20)  NOT NULL,  -- good tried out (Goods), trimmed
        Result   varchar(1)   NULL,      -- '0' satisfied, '1' not satisfied
        Remark   varchar(100) NULL,      -- the customer's comment
        ZdrCode  varchar(20)  NULL,      -- advisor's staff code
        ZdrName  varchar(10)  NULL,      -- advisor's name as shown at entry
        UserCode varchar(6)   NULL,      -- user who registered the trial
        UserName varchar(10)  NULL
    );
END
GO

-- One trial per organisation, good and second: two stations registering the same trial in the
-- same second are told apart here, the second insert fails with error 2627.
-- On an older installation whose table already holds duplicates, list them first with
--   select BookDate,BookTime,OrgCode,PluCode,count(*) from dbo.TryOutBK
--    group by BookDate,BookTime,OrgCode,PluCode having count(*)>1
-- and remove the extra rows; the constraint cannot be added before.
IF NOT EXISTS (SELECT 1 FROM sys.indexes
                WHERE object_id = OBJECT_ID(N'dbo.TryOutBK') AND name = N'UQ_TryOutBK_Key')
BEGIN
    ALTER TABLE dbo.TryOutBK
        ADD CONSTRAINT UQ_TryOutBK_Key UNIQUE (BookDate, BookTime, OrgCode, PluCode);
END
GO

-- The register list and the summary report select by date range.
IF NOT EXISTS (SELECT 1 FROM sys.indexes
                WHERE object_id = OBJECT_ID(N'dbo.TryOutBK') AND name = N'IX_TryOutBK_BookDate')
BEGIN
    CREATE INDEX IX_TryOutBK_BookDate ON dbo.TryOutBK (BookDate);
END
GO
