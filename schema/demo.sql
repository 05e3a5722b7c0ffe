-- Demo data of the embedded database: a department store with cosmetics counters, its head
-- office and warehouse, one franchise shop; goods, staff and advisors; users with rights on the
-- two try-out functions; booked and unbooked sample-goods bills; some 360 trials from October to
-- the middle of March; the query catalogue, value lists, saved conditions and print formats of the
-- two forms. Runs after sqlite.sql. Names keep to the widths the forms hold (GBK bytes).

-- Organisations: kind '2' head office and warehouse, kind '1' counters (deployed and not), kind
-- '3' a franchise shop (deployed: takes trials, but is not a counter of list kind 7).
INSERT INTO SubShop (OrgCode, OrgName, OrgType, IsDbDeploy) VALUES
    ('0001', '总部',       '2', '1'),
    ('0002', '配送中心',   '2', '0'),
    ('0101', '一楼化妆品', '1', '1'),
    ('0102', '二楼护肤品', '1', '1'),
    ('0103', '三楼香水',   '1', '1'),
    ('0104', '四楼彩妆',   '1', '0'),
    ('0201', '东门专柜',   '1', '0'),
    ('0301', '加盟一店',   '3', '1');

INSERT INTO Goods (PluCode, PluName, Spec, BarCode, Price) VALUES
    ('10010001', '雪肌精华水',     '200ml',  '6921168100019', 268.00),
    ('10010002', '玻尿酸保湿面膜', '25ml×5', '6921168100026', 128.00),
    ('10010003', '美白修护精华液', '30ml',   '6921168100033', 398.00),
    ('10010004', '柔肤洁面乳',     '120g',   '6921168100040',  98.00),
    ('10010005', '紧致抗皱眼霜',   '15g',    '6921168100057', 458.00),
    ('10010006', '清透防晒乳',     '50ml',   '6921168100064', 168.00),
    ('10020001', '水润粉底液',     '30ml',   '6921168200016', 238.00),
    ('10020002', '持久睫毛膏',     '8g',     '6921168200023', 139.00),
    ('10020003', '丝绒哑光口红',   '3.5g',   '6921168200030', 189.00),
    ('10020004', '柔雾散粉',       '10g',    '6921168200047', 159.00),
    ('10020005', '自然眉笔',       '0.2g',   '6921168200054',  69.00),
    ('10020006', '珊瑚腮红',       '5g',     '6921168200061', 119.00),
    ('10030001', '玫瑰淡香水',     '50ml',   '6921168300013', 520.00),
    ('10030002', '茉莉香氛',       '30ml',   '6921168300020', 380.00),
    ('10030003', '雪松男士香水',   '100ml',  '6921168300037', 680.00),
    ('10040001', '芦荟补水凝胶',   '300g',   '6921168400010',  58.00),
    ('10040002', '珍珠亮颜霜',     '50g',    '6921168400027', 328.00),
    ('10040003', '氨基酸洗面奶',   '100g',   '6921168400034',  88.00),
    ('10040004', '卸妆油',         '150ml',  '6921168400041', 148.00),
    ('10040005', '滋润护手霜',     '75g',    '6921168400058',  45.00);

-- Staff: the administrator, head-office users, a shop user, advisors.
INSERT INTO Staffs (StaffCode, StaffName) VALUES
    ('QVW',  '系统管理员'),
    ('1001', '王芳'),
    ('1002', '李明'),
    ('1003', '周华'),
    ('2001', '张丽'),
    ('3001', '刘静'),
    ('3002', '陈敏'),
    ('3003', '赵娜'),
    ('3004', '孙悦'),
    ('3005', '周婷'),
    ('3006', '吴倩'),
    ('3007', '钱红'),
    ('3101', '郑强');

INSERT INTO XtUserGrp (UGrpCode, UGrpName) VALUES
    ('01', '美容顾问'),
    ('02', '总部管理'),
    ('03', '门店操作'),
    ('04', '查询人员'),
    ('05', '营业员');

INSERT INTO XtUserSub (StaffCode, UGrpCode) VALUES
    ('QVW',  '02'),
    ('1001', '02'),
    ('1002', '04'),
    ('1003', '05'),
    ('2001', '03'),
    ('3001', '01'),
    ('3002', '01'),
    ('3003', '01'),
    ('3004', '01'),
    ('3005', '01'),
    ('3006', '01'),
    ('3007', '01'),
    ('3101', '05');

-- 1001 works for some organisations (not 0002, 0104, 0201); 1002 for none; 2001 for its shop.
-- Advisors: 3002 serves two counters, 3006 an undeployed one, 3007 none; 3101 is assigned to
-- 0101 but is not in the advisor group.
INSERT INTO UserOrg (StaffCode, OrgCode) VALUES
    ('1001', '0001'),
    ('1001', '0101'),
    ('1001', '0102'),
    ('1001', '0103'),
    ('1001', '0301'),
    ('1003', '0101'),
    ('2001', '0101'),
    ('3001', '0101'),
    ('3002', '0101'),
    ('3002', '0102'),
    ('3003', '0102'),
    ('3004', '0103'),
    ('3005', '0301'),
    ('3006', '0104'),
    ('3101', '0101');

-- Functions: the register list 080101, the summary report 080102, functions they link to, and
-- the suite-wide rights.
INSERT INTO XtFunction (FunCode, FunName, DllType, FormType, DllName, DllFun, FunType, IsMenu, VER) VALUES
    ('080101', '试用品试用登记', '1', '1', 'libtryout.so',    'frmTryoutMngShow', '1', '1', '2'),
    ('080102', '试用品统计报表', '1', '1', 'libtryout.so',    'frmSpRptShow',     '1', '1', '2'),
    ('080103', '试用品领用单',   '1', '1', 'libdrawbill.so',  'frmDrawBillShow',  '1', '1', '2'),
    ('020101', '商品资料',       '1', '1', 'libbasedata.so',  'frmGoodsShow',     '1', '1', '2'),
    ('030101', '员工资料',       '1', '1', 'libbasedata.so',  'frmStaffShow',     '1', '1', '1'),
    ('030102', '组织资料',       '1', '1', 'libbasedata.so',  '',                 '1', '1', '2'),
    ('OP01',   '打印格式设计',   '',  '',  '',                '',                 '0', '0', '2'),
    ('OP07',   '查看数量',       '',  '',  '',                '',                 '0', '0', '2'),
    ('OP08',   '查看成本',       '',  '',  '',                '',                 '0', '0', '2');

INSERT INTO xtFuncItem (FunCode, OptCode, OptName) VALUES
    ('080101', '01', '新增'),
    ('080101', '02', '修改'),
    ('080101', '03', '删除'),
    ('080101', '04', '查询'),
    ('080101', '05', '打印'),
    ('080101', '06', '导出'),
    ('080102', '04', '查询'),
    ('080102', '05', '打印'),
    ('080102', '06', '导出'),
    ('080103', '04', '查询'),
    ('020101', '04', '查询'),
    ('030101', '04', '查询'),
    ('030102', '04', '查询');

-- Head office (02): everything. Shop (03): the register list, query and print on the report,
-- quantities but not costs, no print-format design. Query staff (04): query only. Sales staff
-- (05): add and edit trials, but neither query, print nor export.
INSERT INTO XtRightFunc (UGrpCode, FunCode, OptCode) VALUES
    ('02', '080101', '01'),
    ('02', '080101', '02'),
    ('02', '080101', '03'),
    ('02', '080101', '04'),
    ('02', '080101', '05'),
    ('02', '080101', '06'),
    ('02', '080102', '04'),
    ('02', '080102', '05'),
    ('02', '080102', '06'),
    ('02', '080103', '04'),
    ('02', '020101', '04'),
    ('02', '030101', '04'),
    ('02', '030102', '04'),
    ('02', 'OP01',   'OP01'),
    ('02', 'OP07',   'OP07'),
    ('02', 'OP08',   'OP08'),
    ('03', '080101', '01'),
    ('03', '080101', '02'),
    ('03', '080101', '03'),
    ('03', '080101', '04'),
    ('03', '080101', '05'),
    ('03', '080101', '06'),
    ('03', '080102', '04'),
    ('03', '080102', '05'),
    ('03', '080103', '04'),
    ('03', 'OP07',   'OP07'),
    ('04', '080101', '04'),
    ('04', '080102', '04'),
    ('05', '080101', '01'),
    ('05', '080101', '02');

-- Under product type "10" the register list is restricted to queries.
INSERT INTO tMGMdFunction (funcode, isCtrl) VALUES
    ('080101', '1'),
    ('080102', '0');

INSERT INTO XtLinkFunc (FunCode, LinkFunCode, SerialNo) VALUES
    ('080101', '080102', 1),
    ('080101', '080103', 2),
    ('080101', '020101', 3),
    ('080101', '030101', 4),
    ('080101', '030102', 5),
    ('080102', '080101', 1),
    ('080102', '080103', 2);

-- Requisition bills. Type '1' are sample goods; RzDate empty or null means not booked.
INSERT INTO DrawForm (DrawNo, OrgCode, BillType, RzDate, DrawDate) VALUES
    ('LY2025090101', '0101', '1', '2025-09-02', '2025-09-01'),
    ('LY2025110101', '0101', '1', '2025-11-03', '2025-11-01'),
    ('LY2026020101', '0101', '1', '2026-02-03', '2026-02-01'),
    ('LY2026030101', '0101', '1', '',           '2026-03-05'),
    ('LY2026030102', '0101', '2', '2026-03-02', '2026-03-01'),
    ('LY2025090201', '0102', '1', '2025-09-03', '2025-09-02'),
    ('LY2025120201', '0102', '1', '2025-12-02', '2025-12-01'),
    ('LY2026030201', '0102', '1', NULL,         '2026-03-10'),
    ('LY2025100301', '0103', '1', '2025-10-02', '2025-10-01'),
    ('LY2026010301', '0103', '1', '2026-01-05', '2026-01-04'),
    ('LY2025100401', '0104', '1', '2025-10-06', '2025-10-05'),
    ('LY2025110501', '0301', '1', '2025-11-06', '2025-11-05');

-- Bill lines: cost with tax at 55% of retail, without tax at cost / 1.13.
WITH L (DrawNo, PluCode, Counts) AS (VALUES
    ('LY2025090101', '10010001',  6),
    ('LY2025090101', '10010002', 10),
    ('LY2025090101', '10010003',  4),
    ('LY2025090101', '10020001',  5),
    ('LY2025090101', '10020002',  6),
    ('LY2025110101', '10010001',  4),
    ('LY2025110101', '10010005',  3),
    ('LY2025110101', '10020003',  6),
    ('LY2025110101', '10020004',  4),
    ('LY2026020101', '10010006',  6),
    ('LY2026020101', '10020005',  8),
    ('LY2026020101', '10010002', 10),
    ('LY2026030101', '10040004',  5),
    ('LY2026030101', '10010003',  2),
    ('LY2026030102', '10040003', 20),
    ('LY2025090201', '10040001',  8),
    ('LY2025090201', '10040002',  3),
    ('LY2025090201', '10010004',  6),
    ('LY2025090201', '10010001',  5),
    ('LY2025120201', '10040002',  4),
    ('LY2025120201', '10010005',  2),
    ('LY2025120201', '10010006',  5),
    ('LY2026030201', '10020006',  4),
    ('LY2025100301', '10030001',  3),
    ('LY2025100301', '10030002',  4),
    ('LY2025100301', '10030003',  2),
    ('LY2026010301', '10030001',  2),
    ('LY2026010301', '10030002',  2),
    ('LY2025100401', '10020001',  3),
    ('LY2025100401', '10020002',  3),
    ('LY2025110501', '10040001',  6),
    ('LY2025110501', '10040003',  6),
    ('LY2025110501', '10010004',  4))
INSERT INTO DrawDetail (DrawNo, PluCode, PluName, Counts, Cost, NetCost, Total)
SELECT L.DrawNo, L.PluCode, G.PluName, L.Counts,
       round(L.Counts * G.Price * 0.55, 2),
       round(L.Counts * G.Price * 0.55 / 1.13, 2),
       L.Counts * G.Price
  FROM L JOIN Goods G ON G.PluCode = L.PluCode;

-- Trials from 2025-10-01 to 2026-03-14, every one valid as the entry form checks it: the good is
-- on a booked sample-goods bill of its organisation and the advisor is an advisor of that
-- organisation. Date and time are unique per row, so the key cannot collide.
WITH RECURSIVE
    n (i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 359),
    pair (k, OrgCode, PluCode) AS (
        SELECT row_number() OVER (ORDER BY OrgCode, PluCode) - 1, OrgCode, PluCode
          FROM (SELECT DISTINCT F.OrgCode, D.PluCode
                  FROM DrawForm F JOIN DrawDetail D ON D.DrawNo = F.DrawNo
                  JOIN SubShop S ON S.OrgCode = F.OrgCode
                 WHERE F.BillType = '1' AND F.RzDate <> '' AND F.RzDate IS NOT NULL
                   AND S.OrgType <> '2' AND S.IsDbDeploy = '1')),
    adv (OrgCode, j, cnt, StaffCode, StaffName) AS (
        SELECT O.OrgCode,
               row_number() OVER (PARTITION BY O.OrgCode ORDER BY S.StaffCode) - 1,
               count(*) OVER (PARTITION BY O.OrgCode),
               S.StaffCode, S.StaffName
          FROM Staffs S JOIN UserOrg O ON O.StaffCode = S.StaffCode
          JOIN XtUserSub X ON X.StaffCode = S.StaffCode AND X.UGrpCode = '01'),
    t (i, k, m, d, s) AS (
        SELECT i, (i * 7) % (SELECT count(*) FROM pair), i / (SELECT count(*) FROM pair), i % 165,
               32400 + (i / 165) * 10800 + (i * 53) % 10000
          FROM n)
INSERT INTO TryOutBK (BookDate, BookTime, OrgCode, PluCode, Result, Remark,
                      ZdrCode, ZdrName, UserCode, UserName)
SELECT date('2025-10-01', '+' || t.d || ' days'),
       printf('%02d:%02d:%02d', t.s / 3600, t.s / 60 % 60, t.s % 60),
       p.OrgCode, p.PluCode,
       CASE WHEN (t.m * 3 + t.k) % 10 < 5 + t.k % 5 THEN '0' ELSE '1' END,
       CASE t.i % 8 WHEN 1 THEN '效果很好' WHEN 2 THEN '味道清香' WHEN 3 THEN '有点油腻'
                    WHEN 4 THEN '保湿效果明显' WHEN 5 THEN '颜色偏深' WHEN 7 THEN '会考虑购买'
                    ELSE '' END,
       a.StaffCode, a.StaffName,
       CASE WHEN p.OrgCode = '0101' AND t.i % 2 = 0 THEN '2001' ELSE '1001' END,
       CASE WHEN p.OrgCode = '0101' AND t.i % 2 = 0 THEN '张丽' ELSE '王芳' END
  FROM t JOIN pair p ON p.k = t.k
  JOIN adv a ON a.OrgCode = p.OrgCode AND a.j = t.i % a.cnt;

-- Query catalogue of the register list ("TryOut"): codes as its SELECT names them
-- (TryOutBK T, SubShop S, Goods R).
INSERT INTO tXtQry (QryType, SerialNo, FldCode, FldName, FldType, VluType, VluObject, VluField, VluCaption, VER) VALUES
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
    ('TryOut', 14, 'R.Price',    '零售价',     'F', '0', '',        '',          '',          '0'),
    ('TryOut', 15, 'T.Remark',   '评价',       'S', '0', '',        '',          '',          '2');

-- Query catalogue of the summary report ("TryOutR"): codes of its outer SELECT
-- (derived table W, SubShop S, Goods G).
INSERT INTO tXtQry (QryType, SerialNo, FldCode, FldName, FldType, VluType, VluObject, VluField, VluCaption, VER) VALUES
    ('TryOutR', 1, 'W.OrgCode', '组织',       'S', '2', 'SubShop', 'OrgCode', 'OrgName', '0'),
    ('TryOutR', 2, 'S.OrgName', '组织名称',   'S', '0', '',        '',        '',        '0'),
    ('TryOutR', 3, 'S.OrgType', '组织类型',   'S', '1', '',        '',        '',        '0'),
    ('TryOutR', 4, 'W.PluCode', '试用品编码', 'S', '0', '',        '',        '',        '0'),
    ('TryOutR', 5, 'G.PluName', '试用品名称', 'S', '0', '',        '',        '',        '0'),
    ('TryOutR', 6, 'G.BarCode', '条码',       'S', '0', '',        '',        '',        '0'),
    ('TryOutR', 7, 'G.Spec',    '规格',       'S', '0', '',        '',        '',        '0'),
    ('TryOutR', 8, 'G.Price',   '零售价',     'F', '0', '',        '',        '',        '0');

INSERT INTO tXtQryValue (QryType, SerialNo, QryVluNo, QryValue) VALUES
    ('TryOut',  9, '0', '满意'),
    ('TryOut',  9, '1', '不满意'),
    ('TryOutR', 3, '1', '门店'),
    ('TryOutR', 3, '2', '总部仓库'),
    ('TryOutR', 3, '3', '加盟店');

-- Saved conditions; FieldValue holds what the user typed (the visible text of list values).
INSERT INTO tXtQrySave (QryType, SerialNo, OrderNo, QryName, FldCode, Operator, FieldValue, LinkFlag) VALUES
    ('TryOut',  1, 1, '满意的试用', 'T.Result',   '=',  '满意',       '并且'),
    ('TryOut',  2, 1, '一楼三月',   'T.OrgCode',  '=',  '一楼化妆品', '并且'),
    ('TryOut',  2, 2, '一楼三月',   'T.BookDate', '>=', '2026-03-01', '并且'),
    ('TryOutR', 1, 1, '门店',       'S.OrgType',  '=',  '门店',       '并且');

-- Print formats of editions "0" (single shop), "1" (head office) and "2" (every edition).
INSERT INTO tXtPrnFormat (PrnType, PrnCode, SerialNo, VER, PrnName, Remark) VALUES
    ('1', 'TryOut',  1, '0', '试用登记明细表', '单店版'),
    ('1', 'TryOut',  2, '1', '试用登记(总部)', '总部版'),
    ('1', 'TryOut',  3, '2', '试用登记通用',   '各版通用'),
    ('1', 'TryOutR', 1, '1', '试用统计(总部)', '总部版'),
    ('1', 'TryOutR', 2, '0', '试用统计(单店)', '单店版'),
    ('1', 'TryOutR', 3, '2', '试用统计通用',   '各版通用');

INSERT INTO tXtRightPrn (PrnType, PrnCode, SerialNo, UGrpCode) VALUES
    ('1', 'TryOut',  1, '02'),
    ('1', 'TryOut',  2, '02'),
    ('1', 'TryOut',  3, '02'),
    ('1', 'TryOutR', 1, '02'),
    ('1', 'TryOutR', 2, '02'),
    ('1', 'TryOutR', 3, '02'),
    ('1', 'TryOut',  1, '03'),
    ('1', 'TryOut',  3, '03'),
    ('1', 'TryOutR', 2, '03'),
    ('1', 'TryOutR', 3, '03'),
    ('1', 'TryOut',  3, '04');

-- The shop user prints the register list with the common format on every workstation.
INSERT INTO tXtPrnDefault (PrnCode, SerialNo, UserCode, WorkStation) VALUES
    ('TryOut', 3, '2001', '');
