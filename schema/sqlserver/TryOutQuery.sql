-- Query field catalogue of the try-out forms on the suite's SQL Server database: the register
-- list ("TryOut") and the summary report ("TryOutR"). Rows are added only where the query type
-- does not hold the field yet, so the script can be run again and leaves fields that the suite's
-- administrators changed alone. FldCode names the columns as the forms' SELECTs alias them.

DECLARE @f TABLE (QryType varchar(20), SerialNo int, FldCode varchar(60), FldName varchar(40),
                  FldType varchar(1), VluType varchar(1), VluObject varchar(100),
                  VluField varchar(60), VluCaption varchar(60), VER varchar(1));
INSERT INTO @f VALUES
    ('TryOut',  1, 'T.BookDate', '试用日期',   'S', '0', '',        '',          '',          '0'),
    ('TryOut',  2, 'T.BookTime', '试用时间',   'S', '0', '',        '',          '',          '0'),
    ('TryOut',  3, 'T.OrgCode',  '组织',       'S', '2', 'SubShop', 'OrgCode',   'OrgName',   '0'),
    ('TryOut',  4, 'S.OrgName',  '组织名称',   'S', '0', '',        '',          '',          '0'),
    ('TryOut',  5, 'T.PluCode',  '试用品编码', 'S', '0', '',        '',          '',          '0'),
    ('TryOut',  6, 'R.PluName',  '试用品名称', 'S', '0', '',        '',          '',          '0'),
    ('TryOut',  7, 'R.BarCode',  '条码',       'S', '0', '',        '',          '',          '0'),
    ('TryOut',  8, 'R.Spec',     '规格',       'S', '0', '',        '',          '',          '0'),
    ('TryOut',  9, 'T.Result',   '试用结果',   'S', '1', '',        '',          '',          '0'),
    ('TryOut', 10, 'T.ZdrCode',  '美容顾问',   'S', '2', 'Staffs',  'StaffCode', 'StaffName', '0'),
    ('TryOut', 11, 'T.ZdrName',  '顾问姓名',   'S', '0', '',        '',          '',          '0'),
    ('TryOut', 12, 'T.UserCode', '操作员编码', 'S', '2', 'Staffs',  'StaffCode', 'StaffCode', '0'),
    ('TryOut', 13, 'T.UserName', '操作员姓名', 'S', '0', '',        '',          '',          '0'),
    ('TryOut', 15, 'T.Remark',   '评价',       'S', '0', '',        '',          '',          '2'),
    ('TryOutR', 1, 'W.OrgCode',  '组织',       'S', '2', 'SubShop', 'OrgCode',   'OrgName',   '0'),
    ('TryOutR', 2, 'S.OrgName',  '组织名称',   'S', '0', '',        '',          '',          '0'),
    ('TryOutR', 3, 'S.OrgType',  '组织类型',   'S', '1', '',        '',          '',          '0'),
    ('TryOutR', 4, 'W.PluCode',  '试用品编码', 'S', '0', '',        '',          '',          '0'),
    ('TryOutR', 5, 'G.PluName',  '试用品名称', 'S', '0', '',        '',          '',          '0'),
    ('TryOutR', 6, 'G.BarCode',  '条码',       'S', '0', '',        '',          '',          '0'),
    ('TryOutR', 7, 'G.Spec',     '规格',       'S', '0', '',        '',          '',          '0');

INSERT INTO tXtQry (QryType, SerialNo, FldCode, FldName, FldType, VluType, VluObject, VluField, VluCaption, VER)
SELECT f.QryType, f.SerialNo, f.FldCode, f.FldName, f.FldType, f.VluType, f.VluObject, f.VluField, f.VluCaption, f.VER
  FROM @f f
 WHERE NOT EXISTS (SELECT 1 FROM tXtQry q WHERE q.QryType = f.QryType
                      AND (q.FldName = f.FldName OR q.SerialNo = f.SerialNo));

INSERT INTO tXtQryValue (QryType, SerialNo, QryVluNo, QryValue)
SELECT v.QryType, v.SerialNo, v.QryVluNo, v.QryValue
  FROM (VALUES ('TryOut', 9, '0', '满意'), ('TryOut', 9, '1', '不满意'),
               ('TryOutR', 3, '1', '门店'), ('TryOutR', 3, '2', '总部仓库'), ('TryOutR', 3, '3', '加盟店'))
       AS v (QryType, SerialNo, QryVluNo, QryValue)
 WHERE EXISTS (SELECT 1 FROM tXtQry q WHERE q.QryType = v.QryType AND q.SerialNo = v.SerialNo
                  AND q.FldName IN ('试用结果', '组织类型'))
   AND NOT EXISTS (SELECT 1 FROM tXtQryValue x WHERE x.QryType = v.QryType
                      AND x.SerialNo = v.SerialNo AND x.QryVluNo = v.QryVluNo);
GO
