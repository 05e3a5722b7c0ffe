-- The suite's tables as the try-out module reads and writes them, for the embedded SQLite
-- database. Plain SQLite with built-in collations only, so the same text runs through the C API,
-- the SQLite ODBC driver and the sqlite3 shell.
--
-- Text columns are COLLATE NOCASE, standing for the server's case-insensitive collation; codes
-- are stored without trailing blanks. Quantities and amounts are REAL, so that divisions are never
-- integer divisions. Dates are text "YYYY-MM-DD", times "HH:MM:SS".
-- tXtQryField is not created here: the module creates it itself when it is missing.

-- Organisations. OrgType '2' is head office / warehouse (listed first, takes no trials);
-- IsDbDeploy '1' marks an organisation whose trials are registered.
CREATE TABLE SubShop (
    OrgCode    VARCHAR(6)  COLLATE NOCASE NOT NULL PRIMARY KEY,
    OrgName    VARCHAR(10) COLLATE NOCASE NOT NULL DEFAULT '',
    OrgType    VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '1',
    IsDbDeploy VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '0'
);

-- Goods master. Price is the retail price of one unit.
CREATE TABLE Goods (
    PluCode VARCHAR(20) COLLATE NOCASE NOT NULL PRIMARY KEY,
    PluName VARCHAR(20) COLLATE NOCASE NOT NULL DEFAULT '',
    Spec    VARCHAR(10) COLLATE NOCASE NOT NULL DEFAULT '',
    BarCode VARCHAR(20) COLLATE NOCASE NOT NULL DEFAULT '',
    Price   REAL NOT NULL DEFAULT 0
);
CREATE INDEX IX_Goods_BarCode ON Goods(BarCode);

-- Staff: users of the suite and beauty advisors.
CREATE TABLE Staffs (
    StaffCode VARCHAR(6)  COLLATE NOCASE NOT NULL PRIMARY KEY,
    StaffName VARCHAR(10) COLLATE NOCASE NOT NULL DEFAULT ''
);

-- Organisations a staff member may work for.
CREATE TABLE UserOrg (
    StaffCode VARCHAR(6) COLLATE NOCASE NOT NULL,
    OrgCode   VARCHAR(6) COLLATE NOCASE NOT NULL,
    PRIMARY KEY (StaffCode, OrgCode)
);
CREATE INDEX IX_UserOrg_OrgCode ON UserOrg(OrgCode);

-- User groups; group '01' is the group of beauty advisors.
CREATE TABLE XtUserGrp (
    UGrpCode VARCHAR(6)  COLLATE NOCASE NOT NULL PRIMARY KEY,
    UGrpName VARCHAR(20) COLLATE NOCASE NOT NULL DEFAULT ''
);

-- Group membership.
CREATE TABLE XtUserSub (
    StaffCode VARCHAR(6) COLLATE NOCASE NOT NULL,
    UGrpCode  VARCHAR(6) COLLATE NOCASE NOT NULL,
    PRIMARY KEY (StaffCode, UGrpCode)
);
CREATE INDEX IX_XtUserSub_UGrpCode ON XtUserSub(UGrpCode);

-- Rights: one row per group, function and option.
CREATE TABLE XtRightFunc (
    UGrpCode VARCHAR(6)  COLLATE NOCASE NOT NULL,
    FunCode  VARCHAR(10) COLLATE NOCASE NOT NULL,
    OptCode  VARCHAR(10) COLLATE NOCASE NOT NULL,
    PRIMARY KEY (UGrpCode, FunCode, OptCode)
);
CREATE INDEX IX_XtRightFunc_FunCode ON XtRightFunc(FunCode);

-- The options a function offers.
CREATE TABLE xtFuncItem (
    FunCode VARCHAR(10) COLLATE NOCASE NOT NULL,
    OptCode VARCHAR(10) COLLATE NOCASE NOT NULL,
    OptName VARCHAR(20) COLLATE NOCASE NOT NULL DEFAULT '',
    PRIMARY KEY (FunCode, OptCode)
);

-- Function register. Codes beginning with "OP" are suite-wide rights. FunType '1' and IsMenu '1'
-- mark a function that can be opened; VER is its edition mark; DllName/DllFun name the library
-- and entry point that open it.
CREATE TABLE XtFunction (
    FunCode  VARCHAR(10) COLLATE NOCASE NOT NULL PRIMARY KEY,
    FunName  VARCHAR(30) COLLATE NOCASE NOT NULL DEFAULT '',
    DllType  VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '',
    FormType VARCHAR(10) COLLATE NOCASE NOT NULL DEFAULT '',
    DllName  VARCHAR(60) COLLATE NOCASE NOT NULL DEFAULT '',
    DllFun   VARCHAR(60) COLLATE NOCASE NOT NULL DEFAULT '',
    FunType  VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '1',
    IsMenu   VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '1',
    VER      VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '2'
);

-- Functions restricted under product type "10" when isCtrl = '1'.
CREATE TABLE tMGMdFunction (
    funcode VARCHAR(10) COLLATE NOCASE NOT NULL PRIMARY KEY,
    isCtrl  VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '0'
);

-- Links from a function to other functions, in SerialNo order.
CREATE TABLE XtLinkFunc (
    FunCode     VARCHAR(10) COLLATE NOCASE NOT NULL,
    LinkFunCode VARCHAR(10) COLLATE NOCASE NOT NULL,
    SerialNo    INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (FunCode, LinkFunCode)
);

-- Query field catalogue: one row per queryable field of a query type. FldCode is an SQL
-- expression valid inside the list form's SELECT. VluType "0" free entry, "1" value list in
-- tXtQryValue, "2" values from the table VluObject (code VluField, text VluCaption).
CREATE TABLE tXtQry (
    QryType    VARCHAR(20)  COLLATE NOCASE NOT NULL,
    SerialNo   INTEGER NOT NULL,
    FldCode    VARCHAR(60)  COLLATE NOCASE NOT NULL,
    FldName    VARCHAR(40)  COLLATE NOCASE NOT NULL,
    FldType    VARCHAR(1)   COLLATE NOCASE NOT NULL DEFAULT 'S',
    VluType    VARCHAR(1)   COLLATE NOCASE NOT NULL DEFAULT '0',
    VluObject  VARCHAR(100) COLLATE NOCASE NOT NULL DEFAULT '',
    VluField   VARCHAR(60)  COLLATE NOCASE NOT NULL DEFAULT '',
    VluCaption VARCHAR(60)  COLLATE NOCASE NOT NULL DEFAULT '',
    VER        VARCHAR(1)   COLLATE NOCASE NOT NULL DEFAULT '0',
    PRIMARY KEY (QryType, SerialNo),
    UNIQUE (QryType, FldName)
);

-- Named saved conditions, one row per condition line.
CREATE TABLE tXtQrySave (
    QryType    VARCHAR(20)  COLLATE NOCASE NOT NULL,
    SerialNo   INTEGER NOT NULL,
    OrderNo    INTEGER NOT NULL,
    QryName    VARCHAR(40)  COLLATE NOCASE NOT NULL DEFAULT '',
    FldCode    VARCHAR(60)  COLLATE NOCASE NOT NULL DEFAULT '',
    Operator   VARCHAR(10)  COLLATE NOCASE NOT NULL DEFAULT '',
    FieldValue VARCHAR(255) COLLATE NOCASE NOT NULL DEFAULT '',
    LinkFlag   VARCHAR(4)   COLLATE NOCASE NOT NULL DEFAULT '',
    PRIMARY KEY (QryType, SerialNo, OrderNo)
);
CREATE INDEX IX_tXtQrySave_QryName ON tXtQrySave(QryType, QryName);

-- Value lists of catalogue fields of value kind "1".
CREATE TABLE tXtQryValue (
    QryType  VARCHAR(20) COLLATE NOCASE NOT NULL,
    SerialNo INTEGER NOT NULL,
    QryVluNo VARCHAR(20) COLLATE NOCASE NOT NULL,
    QryValue VARCHAR(40) COLLATE NOCASE NOT NULL DEFAULT '',
    PRIMARY KEY (QryType, SerialNo, QryVluNo)
);

-- Print formats of a form (PrnCode = the form key); VER "0"/"1" the edition, "2" every edition.
CREATE TABLE tXtPrnFormat (
    PrnType  VARCHAR(2)  COLLATE NOCASE NOT NULL,
    PrnCode  VARCHAR(20) COLLATE NOCASE NOT NULL,
    SerialNo INTEGER NOT NULL,
    VER      VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '0',
    PrnName  VARCHAR(40) COLLATE NOCASE NOT NULL DEFAULT '',
    Remark   VARCHAR(40) COLLATE NOCASE NOT NULL DEFAULT '',
    PRIMARY KEY (PrnType, PrnCode, SerialNo)
);

-- The format a user last chose for a form, per workstation (empty: every workstation).
CREATE TABLE tXtPrnDefault (
    PrnCode     VARCHAR(20) COLLATE NOCASE NOT NULL,
    SerialNo    INTEGER NOT NULL,
    UserCode    VARCHAR(6)  COLLATE NOCASE NOT NULL,
    WorkStation VARCHAR(20) COLLATE NOCASE
);
CREATE INDEX IX_tXtPrnDefault_User ON tXtPrnDefault(PrnCode, UserCode);

-- Which groups may use which print format.
CREATE TABLE tXtRightPrn (
    PrnType  VARCHAR(2)  COLLATE NOCASE NOT NULL,
    PrnCode  VARCHAR(20) COLLATE NOCASE NOT NULL,
    SerialNo INTEGER NOT NULL,
    UGrpCode VARCHAR(6)  COLLATE NOCASE NOT NULL,
    PRIMARY KEY (PrnType, PrnCode, SerialNo, UGrpCode)
);

-- Layouts of the print formats, kept by the print service (libcommPrint.so): one JSON text (UTF-8)
-- per print type, form key and format number, shared by every workstation.
CREATE TABLE tXtPrnLayout (
    PrnType  VARCHAR(2)  COLLATE NOCASE NOT NULL,
    PrnCode  VARCHAR(20) COLLATE NOCASE NOT NULL,
    SerialNo INTEGER NOT NULL,
    Layout   BLOB NOT NULL,
    PRIMARY KEY (PrnType, PrnCode, SerialNo)
);

-- Shared copies of per-form settings files (the chart settings: FMTTYPE ".COL").
CREATE TABLE TXTMYCLMDEFAULT (
    FMTNAME VARCHAR(40) COLLATE NOCASE NOT NULL,
    FMTTYPE VARCHAR(10) COLLATE NOCASE NOT NULL,
    FMTFILE BLOB,
    PRIMARY KEY (FMTNAME, FMTTYPE)
);

-- Requisition bills: head. BillType '1' is sample goods for try-out; a bill is booked when
-- RzDate is neither empty nor null.
CREATE TABLE DrawForm (
    DrawNo   VARCHAR(20) COLLATE NOCASE NOT NULL PRIMARY KEY,
    OrgCode  VARCHAR(6)  COLLATE NOCASE NOT NULL,
    BillType VARCHAR(1)  COLLATE NOCASE NOT NULL DEFAULT '1',
    RzDate   VARCHAR(10) COLLATE NOCASE,
    DrawDate VARCHAR(10) COLLATE NOCASE NOT NULL
);
CREATE INDEX IX_DrawForm_OrgCode ON DrawForm(OrgCode, BillType);
CREATE INDEX IX_DrawForm_DrawDate ON DrawForm(DrawDate);

-- Requisition bills: lines. Cost with tax, NetCost without tax, Total at retail.
CREATE TABLE DrawDetail (
    DrawNo  VARCHAR(20) COLLATE NOCASE NOT NULL,
    PluCode VARCHAR(20) COLLATE NOCASE NOT NULL,
    PluName VARCHAR(20) COLLATE NOCASE NOT NULL DEFAULT '',
    Counts  REAL NOT NULL DEFAULT 0,
    Cost    REAL NOT NULL DEFAULT 0,
    NetCost REAL NOT NULL DEFAULT 0,
    Total   REAL NOT NULL DEFAULT 0
);
CREATE INDEX IX_DrawDetail_DrawNo ON DrawDetail(DrawNo, PluCode);
CREATE INDEX IX_DrawDetail_PluCode ON DrawDetail(PluCode);

-- The module's own table: one row per registered trial, identified by date, time, organisation
-- and good. Result '0' satisfied, '1' not satisfied.
CREATE TABLE TryOutBK (
    BookDate VARCHAR(10)  COLLATE NOCASE NOT NULL,
    BookTime VARCHAR(8)   COLLATE NOCASE NOT NULL,
    OrgCode  VARCHAR(6)   COLLATE NOCASE NOT NULL,
    PluCode  VARCHAR(20)  COLLATE NOCASE NOT NULL,
    Result   VARCHAR(1)   COLLATE NOCASE,
    Remark   VARCHAR(100) COLLATE NOCASE,
    ZdrCode  VARCHAR(20)  COLLATE NOCASE,
    ZdrName  VARCHAR(10)  COLLATE NOCASE,
    UserCode VARCHAR(6)   COLLATE NOCASE,
    UserName VARCHAR(10)  COLLATE NOCASE,
    CONSTRAINT UQ_TryOutBK_Key UNIQUE (BookDate, BookTime, OrgCode, PluCode)
);
-- The date index also carries what the summary report counts per organisation and good, so the
-- report reads its trials from the index alone.
CREATE INDEX IX_TryOutBK_BookDate ON TryOutBK(BookDate, OrgCode, PluCode, Result);
