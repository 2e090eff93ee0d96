-- The company database DaZiva.mdb: every table the catalogue's datasets read,
-- in Access (Jet) types, one statement per table (indexes follow their table).
-- Each statement ends with a line holding only ";".

-- User groups, each tied to a department (bmid = BM.ID).
CREATE TABLE AppUserGroup (
  ID    LONG,
  gName TEXT(20),
  gMemo TEXT(200),
  bmid  LONG,
  F1    LONG,
  F2    LONG,
  F3    LONG,
  S1    TEXT(50),
  S2    TEXT(50),
  S3    TEXT(50),
  CONSTRAINT PK_AppUserGroup PRIMARY KEY (ID)
)
;

-- Users: code, name, password, their groups and the employee they are (YGID = YG.ID).
CREATE TABLE appuser (
  ID        LONG,
  uCode     TEXT(8),
  uName     TEXT(20),
  uPassword TEXT(8),
  gID       TEXT(255),
  gName     TEXT(255),
  YGID      LONG,
  CONSTRAINT PK_appuser PRIMARY KEY (ID)
)
;

-- Pairs of a group name and a desktop class name; the same pair may occur twice.
CREATE TABLE AppGroupDesktopClass (
  gName ANSIVARCHAR(20),
  cName ANSIVARCHAR(30)
)
;

-- Look-up settings per dataset and field: automatic update, the look-up text and a default row.
CREATE TABLE Appselect (
  DATASET    ANSIVARCHAR(20),
  FIELDNAME  ANSIVARCHAR(20),
  AUTOUPDATE YESNO,
  DATASELECT MEMO,
  DefaultRow LONG,
  CONSTRAINT PK_Appselect PRIMARY KEY (DATASET, FIELDNAME)
)
;

-- The user log: who, what and when; it has no key.
CREATE TABLE AppLog (
  uName ANSIVARCHAR(20),
  cName ANSIVARCHAR(20),
  CZ    ANSIVARCHAR(30),
  RQ    DATETIME,
  SJ    ANSIVARCHAR(5)
)
;

-- Menu entries: name, caption, level, index and whether the entry has children.
CREATE TABLE AppMenu (
  mName     ANSIVARCHAR(30),
  mCaption  ANSIVARCHAR(50),
  mLevel    LONG,
  mIndex    LONG,
  mIsParent YESNO
)
;

-- Projects as a tree (Pid = parent id) with a flag and an order index.
CREATE TABLE project (
  id         LONG,
  Pid        LONG,
  Name       TEXT(50),
  Flag       LONG,
  OrderIndex TEXT(50),
  CONSTRAINT PK_project PRIMARY KEY (id)
)
;

-- The company settings of the account set, one row per account id.
CREATE TABLE CompanyInfo (
  fAccountID       LONG,
  fBeginDate       DATETIME,
  fCurrentDate     DATETIME,
  fEndDate         DATETIME,
  fNatureMoney     TEXT(50),
  fDefaultPrice    LONG,
  fIsAutoAlarm     YESNO,
  fIsAudit         YESNO,
  fIsMultiMoney    YESNO,
  fversion         TEXT(50),
  fWhich           TEXT(50),
  fCompanyName     TEXT(50),
  fEnglishName     TEXT(100),
  fCompanyType     TEXT(50),
  fAddress         TEXT(200),
  fTel             TEXT(200),
  fPostCode        TEXT(50),
  fLawMan          TEXT(50),
  fTaxAccout       TEXT(50),
  fBank            TEXT(50),
  fBankAccount     TEXT(50),
  fHomePage        TEXT(200),
  fEmail           TEXT(200),
  fTaxAddRate      DECIMAL(10,2),
  fStatus          LONG,
  fTaxRate         DECIMAL(10,2),
  fAuditNum        LONG,
  fExportModalFile TEXT(255),
  fExportModalRow  LONG,
  fIsOrderKC       YESNO,
  fExcelPageSetup  TEXT(255),
  fZK              DOUBLE,
  fIsFSCK          YESNO,
  fBoolean1        YESNO,
  fBoolean2        YESNO,
  fBoolean3        YESNO,
  fBoolean4        YESNO,
  fBoolean5        YESNO,
  fBoolean6        YESNO,
  fBoolean7        YESNO,
  fBoolean8        YESNO,
  fBoolean9        YESNO,
  fBoolean10       YESNO,
  fS1              TEXT(50),
  fS2              TEXT(50),
  fS3              TEXT(50),
  fS4              TEXT(50),
  fS5              TEXT(50),
  fFloat1          DOUBLE,
  fFloat2          DOUBLE,
  fFloat3          DOUBLE,
  fFloat4          DOUBLE,
  fFloat5          DOUBLE,
  HP_SX1           TEXT(20),
  HP_SX2           TEXT(20),
  HP_SX3           TEXT(20),
  HP_SX4           TEXT(20),
  HP_SX5           TEXT(20),
  HP_SX6           TEXT(20),
  CONSTRAINT PK_CompanyInfo PRIMARY KEY (fAccountID)
)
;

-- Column settings per table and field: caption, shown on screen and in print, width.
CREATE TABLE TableColumns (
  ID           COUNTER,
  XH           LONG,
  TableName    TEXT(255),
  FieldName    TEXT(50),
  FieldCaption TEXT(255),
  IsShow       YESNO,
  PrintIsShow  YESNO,
  Width        LONG,
  S1           TEXT(255),
  S2           TEXT(255),
  F1           DOUBLE,
  F2           DOUBLE,
  Zt1          TEXT(255),
  Zt2          TEXT(255)
)
;

-- Print templates: the template file and where its header, lines and footer begin.
CREATE TABLE pub_PrintModal (
  ID             LONG,
  SystemName     TEXT(255),
  ObjectName     TEXT(50),
  FileName       TEXT(255),
  FileStream     OLEOBJECT,
  MasterBegin    LONG,
  DetailRowBegin LONG,
  DetailColBegin LONG,
  RooterRowBegin LONG,
  IsParam        YESNO,
  AllRows        LONG,
  CONSTRAINT PK_pub_PrintModal PRIMARY KEY (ID)
)
;

-- Stored report layouts by group code and sequence number.
CREATE TABLE Report_print_rm (
  group_code  TEXT(30),
  xh          TEXT(50),
  report_name TEXT(60),
  report_data OLEOBJECT,
  rpttype     TEXT(10),
  fDefault    YESNO
)
;

-- Finds Report_print_rm rows by group_code, xh; not unique.
CREATE INDEX IX_Report_print_rm_group_code_xh ON Report_print_rm (group_code, xh)
;

-- Regions as a tree (ParentCode = parent ID).
CREATE TABLE DQ (
  ID         LONG,
  ParentCode LONG,
  MC         TEXT(12),
  ZT         YESNO,
  S1         CHAR(50),
  S2         CHAR(50),
  F1         DOUBLE,
  F2         DOUBLE,
  CONSTRAINT PK_DQ PRIMARY KEY (ID)
)
;

-- Departments as a tree (ParentCode = parent ID).
CREATE TABLE BM (
  ID         LONG,
  ParentCode LONG,
  ZT         YESNO,
  S1         TEXT(50),
  S2         TEXT(50),
  MC         ANSIVARCHAR(50),
  JE         DOUBLE,
  F1         DOUBLE,
  F2         DOUBLE,
  ZJM        TEXT(20),
  CONSTRAINT PK_BM PRIMARY KEY (ID)
)
;

-- Customers, each in a region (DQID) and with a member level (LevelID = VIP.id).
CREATE TABLE KH (
  ID         LONG,
  BH         ANSIVARCHAR(12),
  MC         ANSIVARCHAR(20),
  QC         ANSIVARCHAR(40),
  DQID       LONG,
  LXR        ANSIVARCHAR(16),
  DH         ANSIVARCHAR(20),
  CZ         ANSIVARCHAR(20),
  DZ         ANSIVARCHAR(40),
  YB         ANSIVARCHAR(6),
  WZ         ANSIVARCHAR(40),
  DY         ANSIVARCHAR(40),
  KHYH       ANSIVARCHAR(30),
  YHZH       ANSIVARCHAR(20),
  NSH        ANSIVARCHAR(20),
  QCJE       DOUBLE,
  YXJE       DOUBLE,
  QMJE       DOUBLE,
  XYED       DOUBLE,
  ZT         YESNO,
  ITMP       LONG,
  BZ         TEXT(255),
  Laiy       TEXT(50),
  Zhuangt    TEXT(50),
  Xingy      TEXT(50),
  TypeID     LONG,
  LevelID    LONG,
  PriceLevel TEXT(20),
  dengji     TEXT(50),
  ZJM        TEXT(20),
  CONSTRAINT PK_KH PRIMARY KEY (ID)
)
;

-- Suppliers, each in a region (DQID).
CREATE TABLE GYS (
  ID         LONG,
  BH         ANSIVARCHAR(12),
  MC         ANSIVARCHAR(20),
  QC         ANSIVARCHAR(40),
  DQID       LONG,
  LXR        ANSIVARCHAR(16),
  DH         ANSIVARCHAR(20),
  CZ         ANSIVARCHAR(20),
  DZ         ANSIVARCHAR(40),
  YB         ANSIVARCHAR(6),
  WZ         ANSIVARCHAR(40),
  DY         ANSIVARCHAR(40),
  KHYH       ANSIVARCHAR(30),
  YHZH       ANSIVARCHAR(20),
  NSH        ANSIVARCHAR(20),
  QCJE       DOUBLE,
  YXJE       DOUBLE,
  QMJE       DOUBLE,
  ZT         YESNO,
  BZ         ANSIVARCHAR(50),
  ITMP       LONG,
  ZJM        TEXT(20),
  PriceLevel TEXT(20),
  CONSTRAINT PK_GYS PRIMARY KEY (ID)
)
;

-- Money accounts; YHL marks bank accounts, the others are cash.
CREATE TABLE ZH (
  ID   LONG,
  MC   ANSIVARCHAR(20),
  YHL  YESNO,
  KHYH ANSIVARCHAR(40),
  YHZH ANSIVARCHAR(20),
  QCJE DOUBLE,
  QMJE DOUBLE,
  ITMP LONG,
  CONSTRAINT PK_ZH PRIMARY KEY (ID)
)
;

-- Ways of payment and receipt, each tied to an account (ZHID).
CREATE TABLE SFKFS (
  ID   LONG,
  MC   ANSIVARCHAR(16),
  ZHID LONG,
  CONSTRAINT PK_SFKFS PRIMARY KEY (ID)
)
;

-- Income and expense categories; SRL marks the income ones.
CREATE TABLE SRZCLB (
  ID  LONG,
  BH  ANSIVARCHAR(6),
  MC  ANSIVARCHAR(20),
  SRL YESNO,
  BZ  ANSIVARCHAR(32),
  CONSTRAINT PK_SRZCLB PRIMARY KEY (ID)
)
;

-- Warehouses, each belonging to a department (BMID).
CREATE TABLE CK (
  ID   LONG,
  XH   LONG,
  MC   ANSIVARCHAR(16),
  WZ   ANSIVARCHAR(40),
  BMID LONG,
  BZ   ANSIVARCHAR(40),
  S1   CHAR(50),
  S2   CHAR(50),
  F1   DOUBLE,
  F2   DOUBLE,
  CONSTRAINT PK_CK PRIMARY KEY (ID)
)
;

-- Employee categories.
CREATE TABLE YGLB (
  ID LONG,
  MC ANSIVARCHAR(32),
  CONSTRAINT PK_YGLB PRIMARY KEY (ID)
)
;

-- Employees, each in a department (BMID) and a category (YGLBID).
CREATE TABLE YG (
  ID        LONG,
  BH        ANSIVARCHAR(10),
  XM        ANSIVARCHAR(20),
  XB        ANSIVARCHAR(2),
  BMID      LONG,
  YGLBID    LONG,
  ZW        ANSIVARCHAR(20),
  CSRQ      DATETIME,
  XL        ANSIVARCHAR(10),
  DH        ANSIVARCHAR(20),
  BP        ANSIVARCHAR(15),
  ZZ        ANSIVARCHAR(40),
  SFZH      ANSIVARCHAR(18),
  JG        ANSIVARCHAR(60),
  YB        ANSIVARCHAR(6),
  RZRQ      DATETIME,
  JSFF      LONG,
  JBGZ      DOUBLE,
  LZ        YESNO,
  YWYBZ     YESNO,
  HF        YESNO,
  MZ        TEXT(20),
  XLLB      TEXT(20),
  DACODE    TEXT(50),
  JSZC      TEXT(20),
  XUEXIAO   TEXT(50),
  ZUANYE    TEXT(30),
  BYRQ      DATETIME,
  LXDH      TEXT(50),
  MOVEPHONE TEXT(50),
  SFZCODE   TEXT(50),
  LAIYUAN   TEXT(20),
  GZKH      TEXT(30),
  ZZMM      TEXT(20),
  PYXS      TEXT(20),
  QDRQ      DATETIME,
  HTQX      TEXT(20),
  HTDQSJ    DATETIME,
  CB        YESNO,
  YGIMAGE   OLEOBJECT,
  BZ        TEXT(100),
  YBH       TEXT(50),
  SBH       TEXT(50),
  GJJ       TEXT(50),
  DAH       TEXT(50),
  ZZRQ      DATETIME,
  DWGL      LONG,
  GL        LONG,
  LZRQ      DATETIME,
  LZLX      TEXT(20),
  LZYY      TEXT(100),
  ZJM       TEXT(20),
  DZYY      TEXT(50),
  GRJL      MEMO,
  JTCY      MEMO,
  CONSTRAINT PK_YG PRIMARY KEY (ID)
)
;

-- A flat list of goods category names.
CREATE TABLE HPLB (
  ID LONG,
  MC ANSIVARCHAR(16),
  BZ ANSIVARCHAR(30),
  CONSTRAINT PK_HPLB PRIMARY KEY (ID)
)
;

-- The goods category tree, keyed by ItemType (ParentCode = parent ItemType).
CREATE TABLE Pub_ItemType (
  ItemType   LONG,
  TypeName   TEXT(50),
  ParentCode LONG,
  ZT         YESNO,
  S1         TEXT(50),
  S2         TEXT(50),
  TypeCode   TEXT(50),
  F1         DOUBLE,
  F2         DOUBLE,
  CONSTRAINT PK_Pub_ItemType PRIMARY KEY (ItemType)
)
;

-- A second category tree of the same shape, keyed by ItemType.
CREATE TABLE Pub_Project (
  ItemType   LONG,
  TypeName   TEXT(50),
  ParentCode LONG,
  ZT         YESNO,
  S1         TEXT(50),
  S2         TEXT(50),
  F1         DOUBLE,
  F2         DOUBLE,
  CONSTRAINT PK_Pub_Project PRIMARY KEY (ItemType)
)
;

-- A list of short names, keyed by MC.
CREATE TABLE CYJSDW (
  MC ANSIVARCHAR(8),
  CONSTRAINT PK_CYJSDW PRIMARY KEY (MC)
)
;

-- Goods accounting methods (HP.HPHSFFID).
CREATE TABLE HPHSFF (
  ID LONG,
  MC ANSIVARCHAR(20),
  LB LONG,
  CONSTRAINT PK_HPHSFF PRIMARY KEY (ID)
)
;

-- Goods accounting ways (HP.HPHSFSID).
CREATE TABLE HPHSFS (
  ID LONG,
  MC TEXT(20),
  S1 CHAR(50),
  S2 CHAR(50),
  F1 DOUBLE,
  F2 DOUBLE,
  CONSTRAINT PK_HPHSFS PRIMARY KEY (ID)
)
;

-- The goods: code, bar code, category (HPLBID = Pub_ItemType.ItemType), name, model and size, unit and prices.
CREATE TABLE HP (
  ID         LONG,
  BH         TEXT(20),
  BARCODE    TEXT(20),
  HPLBID     LONG,
  PM         TEXT(40),
  GG         TEXT(50),
  DW         TEXT(4),
  HPSXID     LONG,
  HPHSFFID   LONG,
  HPHSFSID   SMALLINT,
  JJ         DOUBLE,
  JJJ        DOUBLE,
  JQJ        DOUBLE,
  JHY        DOUBLE,
  JVIP       DOUBLE,
  SX         DOUBLE,
  XX         DOUBLE,
  InSL       DOUBLE,
  CKID       LONG,
  ZT         YESNO,
  IsMaterial YESNO,
  IsProduct  YESNO,
  BZ         TEXT(255),
  ZJM        TEXT(20),
  SX1        TEXT(50),
  SX2        TEXT(50),
  SX3        TEXT(50),
  SX4        DOUBLE,
  SX5        DOUBLE,
  SX6        DOUBLE,
  JS1        DOUBLE,
  JS2        DOUBLE,
  JS3        DOUBLE,
  JS4        DOUBLE,
  CONSTRAINT PK_HP PRIMARY KEY (ID)
)
;

-- Units of a goods item with their rate to the base unit; RECID is the row id.
CREATE TABLE hp_dw (
  RECID  TEXT(20),
  HPID   LONG,
  DW     TEXT(4),
  ISBASE YESNO,
  ISYW   YESNO,
  RATE   DOUBLE,
  CONSTRAINT PK_hp_dw PRIMARY KEY (RECID)
)
;

-- One price per price kind (SJZLID) and goods item (HPID).
CREATE TABLE HPSJ (
  SJZLID LONG,
  HPID   LONG,
  SJ     DOUBLE
)
;

-- Finds HPSJ rows by SJZLID, HPID; not unique.
CREATE INDEX IX_HPSJ_SJZLID_HPID ON HPSJ (SJZLID, HPID)
;

-- Price kinds.
CREATE TABLE Sjzl (
  ID LONG,
  XH SMALLINT,
  MC ANSIVARCHAR(16),
  BZ ANSIVARCHAR(30),
  CONSTRAINT PK_Sjzl PRIMARY KEY (ID)
)
;

-- Opening and current stock per warehouse (CKID) and goods item (HPID).
CREATE TABLE HPKC (
  CKID LONG,
  HPID LONG,
  QCS  DOUBLE,
  JCS  DOUBLE
)
;

-- Finds HPKC rows by CKID, HPID; not unique.
CREATE INDEX IX_HPKC_CKID_HPID ON HPKC (CKID, HPID)
;

-- Pictures of goods with a file extension and four texts.
CREATE TABLE hp_pict (
  YGID LONG,
  Ext  TEXT(20),
  pict OLEOBJECT,
  V1   TEXT(40),
  V2   TEXT(20),
  V3   TEXT(50),
  V4   TEXT(50),
  ID   LONG,
  CONSTRAINT PK_hp_pict PRIMARY KEY (ID)
)
;

-- Kinds of other stock changes; RKL marks the stock-in kinds.
CREATE TABLE QTKCBDLX (
  ID   LONG,
  MC   ANSIVARCHAR(20),
  RKL  YESNO,
  THBZ YESNO,
  CONSTRAINT PK_QTKCBDLX PRIMARY KEY (ID)
)
;

-- Purchase requisition headers, raised by an employee (YGID).
CREATE TABLE CGSQZB (
  ID           LONG,
  DJBH         TEXT(12),
  RQ           DATETIME,
  GYSID        LONG,
  YWY          TEXT(8),
  JE           DOUBLE,
  ZT           YESNO,
  BZ           TEXT(40),
  YGID         LONG,
  CZY          TEXT(8),
  uFlag        LONG,
  F1           DOUBLE,
  F2           DOUBLE,
  AuditName    TEXT(50),
  S1           TEXT(20),
  S2           TEXT(20),
  BillType     TEXT(20),
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  JSR          TEXT(20),
  CONSTRAINT PK_CGSQZB PRIMARY KEY (ID)
)
;

-- Purchase requisition lines (ZBID = CGSQZB.ID).
CREATE TABLE CGSQ (
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  NSL    DOUBLE,
  S1     CHAR(50),
  S2     CHAR(50),
  F1     DOUBLE,
  F2     DOUBLE,
  refSL  TEXT(20),
  SRCNO  TEXT(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  CONSTRAINT PK_CGSQ PRIMARY KEY (ZBID, HH)
)
;

-- Purchase order headers, to a supplier (GYSID); ZT marks finished orders.
CREATE TABLE CGDDZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  GYSID        LONG,
  JHRQ         DATETIME,
  JHDD         ANSIVARCHAR(40),
  YWY          ANSIVARCHAR(8),
  JE           DOUBLE,
  ZT           YESNO,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  YGID         LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  AuditName    TEXT(50),
  JSR          CHAR(20),
  CONSTRAINT PK_CGDDZB PRIMARY KEY (ID)
)
;

-- Purchase order lines (ZBID = CGDDZB.ID).
CREATE TABLE CGDD (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  NSL    DOUBLE,
  refSL  TEXT(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  SRCNO  TEXT(20),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  BZ     TEXT(50),
  SX6    DOUBLE,
  CONSTRAINT PK_CGDD PRIMARY KEY (RECID)
)
;

-- Finds CGDD rows by ZBID, HH; not unique.
CREATE INDEX IX_CGDD_ZBID_HH ON CGDD (ZBID, HH)
;

-- Goods receipt headers: supplier, warehouse, way of payment and account.
CREATE TABLE CGSHZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  GYSID        LONG,
  CKID         LONG,
  CGLX         LONG,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           ANSIVARCHAR(20),
  FKQX         LONG,
  FPLX         LONG,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  YWY          TEXT(8),
  JE           DOUBLE,
  XFJE         DOUBLE,
  YFJE         DOUBLE,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  ZKJE         DOUBLE,
  ZK           DOUBLE,
  YGID         LONG,
  SHDH         TEXT(50),
  QGDH         TEXT(50),
  JSFS         TEXT(50),
  AuditName    TEXT(20),
  NZK          DOUBLE,
  CONSTRAINT PK_CGSHZB PRIMARY KEY (ID)
)
;

-- Goods receipt lines (ZBID = CGSHZB.ID).
CREATE TABLE CGSH (
  RECID  TEXT(25),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  DW     TEXT(4),
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  NSL    DOUBLE,
  DDID   LONG,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  SHDH   TEXT(50),
  QGDH   TEXT(50),
  BZ     TEXT(50),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  NZK    DOUBLE,
  BathNo TEXT(30),
  SX6    DOUBLE,
  CONSTRAINT PK_CGSH PRIMARY KEY (RECID)
)
;

-- Finds CGSH rows by ZBID, HH; not unique.
CREATE INDEX IX_CGSH_ZBID_HH ON CGSH (ZBID, HH)
;

-- Payment headers: payments to a supplier through a way of payment and an account.
CREATE TABLE CGFKZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  GYSID        LONG,
  FKLX         LONG,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           ANSIVARCHAR(20),
  SYJY         YESNO,
  JE           DOUBLE,
  JEA          DOUBLE,
  JEB          DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  FKJE         DOUBLE,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  YFJE         DOUBLE,
  ZKJE         DOUBLE,
  ZK           DOUBLE,
  YGID         LONG,
  AuditName    TEXT(50),
  CONSTRAINT PK_CGFKZB PRIMARY KEY (ID)
)
;

-- Payment lines referring to source bills (ZBID = CGFKZB.ID).
CREATE TABLE CGFK (
  RECID     TEXT(20),
  ZBID      LONG,
  HH        LONG,
  RQ        DATETIME,
  SRCBillNo TEXT(255),
  SRCRQ     DATETIME,
  DDID      LONG,
  JE        DOUBLE,
  YFJE      DOUBLE,
  FKJE      DOUBLE,
  refSL     LONG,
  SRCNO     CHAR(20),
  SRCSEQ    LONG,
  DJBH      CHAR(14),
  SX1       TEXT(50),
  SX2       TEXT(50),
  SX3       TEXT(50),
  SX4       DOUBLE,
  SX5       DOUBLE,
  SX6       DOUBLE,
  CONSTRAINT PK_CGFK PRIMARY KEY (RECID)
)
;

-- Finds CGFK rows by ZBID, HH; not unique.
CREATE INDEX IX_CGFK_ZBID_HH ON CGFK (ZBID, HH)
;

-- Purchase return headers: supplier, warehouse, way of payment and account.
CREATE TABLE CGTHZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  GYSID        LONG,
  CKID         LONG,
  THLX         LONG,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           ANSIVARCHAR(20),
  YWY          ANSIVARCHAR(8),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  XFJE         DOUBLE,
  YFJE         DOUBLE,
  ZKJE         DOUBLE,
  ZK           DOUBLE,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          TEXT(20),
  BillType     TEXT(20),
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(50),
  YGID         LONG,
  AuditName    TEXT(50),
  NZK          DOUBLE,
  CONSTRAINT PK_CGTHZB PRIMARY KEY (ID)
)
;

-- Purchase return lines (ZBID = CGTHZB.ID).
CREATE TABLE CGTH (
  RECID  TEXT(25),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  NSL    DOUBLE,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  NZK    DOUBLE,
  BathNo TEXT(30),
  BZ     TEXT(50),
  SX6    DOUBLE,
  CONSTRAINT PK_CGTH PRIMARY KEY (RECID)
)
;

-- Finds CGTH rows by ZBID, HH; not unique.
CREATE INDEX IX_CGTH_ZBID_HH ON CGTH (ZBID, HH)
;

-- Sales order headers, to a customer (KHID); ZT marks finished orders.
CREATE TABLE XSDDZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  KHID         LONG,
  JHRQ         DATETIME,
  JHDD         ANSIVARCHAR(40),
  YWY          ANSIVARCHAR(8),
  JE           DOUBLE,
  ZT           YESNO,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  YGID         LONG,
  AuditName    TEXT(50),
  CONSTRAINT PK_XSDDZB PRIMARY KEY (ID)
)
;

-- Sales order lines (ZBID = XSDDZB.ID).
CREATE TABLE XSDD (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  NSL    DOUBLE,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  BZ     TEXT(50),
  SX6    DOUBLE,
  CONSTRAINT PK_XSDD PRIMARY KEY (RECID)
)
;

-- Finds XSDD rows by ZBID, HH; not unique.
CREATE INDEX IX_XSDD_ZBID_HH ON XSDD (ZBID, HH)
;

-- Sales invoice headers: customer, warehouse, way of receipt and account.
CREATE TABLE XSKDZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  KHID         LONG,
  CKID         LONG,
  XSLX         LONG,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           ANSIVARCHAR(20),
  FPLX         LONG,
  YWY          ANSIVARCHAR(8),
  SKQX         LONG,
  JHDD         ANSIVARCHAR(40),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  ZKJE         DOUBLE,
  ZK           DOUBLE,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  XSJE         DOUBLE,
  YSJE         DOUBLE,
  YGID         LONG,
  AuditName    TEXT(50),
  NZK          DOUBLE,
  CONSTRAINT PK_XSKDZB PRIMARY KEY (ID)
)
;

-- Sales invoice lines (ZBID = XSKDZB.ID), with the order (DDID) and a cost price.
CREATE TABLE XSKD (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  DW     TEXT(4),
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  CBDJ   DOUBLE,
  NSL    DOUBLE,
  DDID   LONG,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  NZK    DOUBLE,
  BathNo TEXT(30),
  BZ     TEXT(50),
  SX6    DOUBLE,
  CONSTRAINT PK_XSKD PRIMARY KEY (RECID)
)
;

-- Finds XSKD rows by ZBID, HH; not unique.
CREATE INDEX IX_XSKD_ZBID_HH ON XSKD (ZBID, HH)
;

-- Receipt headers: receipts from a customer through a way of receipt and an account.
CREATE TABLE XSSKZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  KHID         LONG,
  FKLX         LONG,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           ANSIVARCHAR(20),
  SYJY         YESNO,
  JE           DOUBLE,
  JEA          DOUBLE,
  JEB          DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  YFJE         DOUBLE,
  ZKJE         DOUBLE,
  ZK           DOUBLE,
  FKJE         DOUBLE,
  YGID         LONG,
  AuditName    TEXT(50),
  CONSTRAINT PK_XSSKZB PRIMARY KEY (ID)
)
;

-- Receipt lines referring to source bills (ZBID = XSSKZB.ID).
CREATE TABLE XSSK (
  RECID     TEXT(20),
  ZBID      LONG,
  HH        LONG,
  RQ        DATETIME,
  SRCBillNo TEXT(255),
  SRCRQ     DATETIME,
  DDID      LONG,
  JE        DOUBLE,
  YSJE      DOUBLE,
  FKJE      DOUBLE,
  refSL     LONG,
  SRCNO     CHAR(20),
  SRCSEQ    LONG,
  DJBH      CHAR(14),
  SX1       TEXT(50),
  SX2       TEXT(50),
  SX3       TEXT(50),
  SX4       DOUBLE,
  SX5       DOUBLE,
  SX6       DOUBLE,
  CONSTRAINT PK_XSSK PRIMARY KEY (RECID)
)
;

-- Finds XSSK rows by ZBID, HH; not unique.
CREATE INDEX IX_XSSK_ZBID_HH ON XSSK (ZBID, HH)
;

-- Sales return headers: customer, warehouse, way of payment and account.
CREATE TABLE XSTHZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  KHID         LONG,
  CKID         LONG,
  THLX         LONG,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           ANSIVARCHAR(20),
  YWY          ANSIVARCHAR(8),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  ZKJE         DOUBLE,
  ZK           DOUBLE,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  XSJE         DOUBLE,
  YSJE         DOUBLE,
  YGID         LONG,
  AuditName    TEXT(50),
  NZK          DOUBLE,
  CONSTRAINT PK_XSTHZB PRIMARY KEY (ID)
)
;

-- Sales return lines (ZBID = XSTHZB.ID).
CREATE TABLE XSTH (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  DW     TEXT(4),
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  CBDJ   DOUBLE,
  NSL    DOUBLE,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  NZK    DOUBLE,
  BathNo TEXT(30),
  BZ     TEXT(50),
  SX6    DOUBLE,
  CONSTRAINT PK_XSTH PRIMARY KEY (RECID)
)
;

-- Finds XSTH rows by ZBID, HH; not unique.
CREATE INDEX IX_XSTH_ZBID_HH ON XSTH (ZBID, HH)
;

-- Return lines (ZBID, HH) with goods, quantity and price.
CREATE TABLE THGC (
  ZBID LONG,
  HH   LONG,
  RQ   DATETIME,
  HPID LONG,
  aGG  ANSIVARCHAR(40),
  SL   DOUBLE,
  DJ   DOUBLE,
  CONSTRAINT PK_THGC PRIMARY KEY (ZBID, HH)
)
;

-- Retail sale headers: customer, warehouse and member (VIPID = VIP.VIPID).
CREATE TABLE LSKDZB (
  ID           LONG,
  DJBH         TEXT(12),
  RQ           DATETIME,
  KHID         LONG,
  CKID         LONG,
  XSLX         LONG,
  FPLX         LONG,
  SKQX         LONG,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           TEXT(20),
  YWY          TEXT(8),
  JHDD         TEXT(40),
  JE           DOUBLE,
  YSJE         DOUBLE,
  BZ           TEXT(40),
  CZY          TEXT(8),
  uFlag        LONG,
  S1           TEXT(50),
  S2           TEXT(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          TEXT(20),
  BillType     TEXT(20),
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  VIPID        LONG,
  YGID         LONG,
  AuditName    TEXT(50),
  NZK          DOUBLE,
  CONSTRAINT PK_LSKDZB PRIMARY KEY (ID)
)
;

-- Retail sale lines (ZBID = LSKDZB.ID).
CREATE TABLE LSKD (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  CBDJ   DOUBLE,
  NSL    DOUBLE,
  DDID   LONG,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  NZK    DOUBLE,
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_LSKD PRIMARY KEY (RECID)
)
;

-- Finds LSKD rows by ZBID, HH; not unique.
CREATE INDEX IX_LSKD_ZBID_HH ON LSKD (ZBID, HH)
;

-- Material requisition headers: warehouse and employee.
CREATE TABLE LLZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  CKID         LONG,
  JSR          ANSIVARCHAR(20),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  YGID         LONG,
  AuditName    TEXT(50),
  CONSTRAINT PK_LLZB PRIMARY KEY (ID)
)
;

-- Material requisition lines (ZBID = LLZB.ID).
CREATE TABLE LL (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  DW     TEXT(4),
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  DJBH   TEXT(14),
  refSL  LONG,
  SRCNO  TEXT(20),
  SRCSEQ LONG,
  BZ     TEXT(50),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_LL PRIMARY KEY (RECID)
)
;

-- Finds LL rows by ZBID, HH; not unique.
CREATE INDEX IX_LL_ZBID_HH ON LL (ZBID, HH)
;

-- Material return headers: warehouse.
CREATE TABLE TLZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  CKID         LONG,
  JSR          ANSIVARCHAR(8),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  YGID         LONG,
  CONSTRAINT PK_TLZB PRIMARY KEY (ID)
)
;

-- Material return lines (ZBID = TLZB.ID).
CREATE TABLE TL (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  DW     TEXT(4),
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  DJBH   TEXT(14),
  refSL  LONG,
  SRCNO  TEXT(20),
  SRCSEQ LONG,
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_TL PRIMARY KEY (RECID)
)
;

-- Finds TL rows by ZBID, HH; not unique.
CREATE INDEX IX_TL_ZBID_HH ON TL (ZBID, HH)
;

-- Finished goods receipt headers: warehouse.
CREATE TABLE CPJCZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  CKID         LONG,
  PH           ANSIVARCHAR(20),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  YGID         LONG,
  CONSTRAINT PK_CPJCZB PRIMARY KEY (ID)
)
;

-- Finished goods receipt lines (ZBID = CPJCZB.ID).
CREATE TABLE CPJC (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  DW     TEXT(4),
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  DJBH   TEXT(14),
  refSL  LONG,
  SRCNO  TEXT(20),
  SRCSEQ LONG,
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_CPJC PRIMARY KEY (RECID)
)
;

-- Finds CPJC rows by ZBID, HH; not unique.
CREATE INDEX IX_CPJC_ZBID_HH ON CPJC (ZBID, HH)
;

-- Stocktaking headers: warehouse.
CREATE TABLE KCPDZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  CKID         LONG,
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  JSR          CHAR(20),
  YGID         LONG,
  AuditName    TEXT(50),
  CONSTRAINT PK_KCPDZB PRIMARY KEY (ID)
)
;

-- Stocktaking lines (ZBID = KCPDZB.ID) with the counted quantity KCSL.
CREATE TABLE KCPD (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  KCSL   DOUBLE,
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_KCPD PRIMARY KEY (RECID)
)
;

-- Finds KCPD rows by ZBID, HH; not unique.
CREATE INDEX IX_KCPD_ZBID_HH ON KCPD (ZBID, HH)
;

-- Stock price adjustment headers.
CREATE TABLE CHTJZB (
  ID    LONG,
  DJBH  ANSIVARCHAR(12),
  RQ    DATETIME,
  JE    DOUBLE,
  BZ    ANSIVARCHAR(40),
  CZY   ANSIVARCHAR(8),
  uFlag LONG,
  CONSTRAINT PK_CHTJZB PRIMARY KEY (ID)
)
;

-- Stock price adjustment lines (ZBID = CHTJZB.ID) with the old and new price.
CREATE TABLE CHTJ (
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  SL     DOUBLE,
  JDJ    DOUBLE,
  DJ     DOUBLE,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   CHAR(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_CHTJ PRIMARY KEY (ZBID, HH)
)
;

-- Warehouse transfer headers: from warehouse DCCID to warehouse DRCID.
CREATE TABLE CKDBZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  DCCID        LONG,
  DRCID        LONG,
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  DBTYPE       TEXT(20),
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  YGID         LONG,
  AuditName    TEXT(50),
  CONSTRAINT PK_CKDBZB PRIMARY KEY (ID)
)
;

-- Warehouse transfer lines (ZBID = CKDBZB.ID).
CREATE TABLE CKDB (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  DCCID  LONG,
  DRCID  LONG,
  DW     TEXT(4),
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  DJBH   TEXT(14),
  refSL  LONG,
  SRCNO  TEXT(20),
  SRCSEQ LONG,
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_CKDB PRIMARY KEY (RECID)
)
;

-- Finds CKDB rows by ZBID, HH; not unique.
CREATE INDEX IX_CKDB_ZBID_HH ON CKDB (ZBID, HH)
;

-- Other stock change headers: warehouse and kind (QTKCBDLXID).
CREATE TABLE QTKCBDZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  CKID         LONG,
  QTKCBDLXID   LONG,
  CRLX         LONG,
  XGXX         ANSIVARCHAR(20),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  YGID         LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  JSR          CHAR(20),
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  AuditName    TEXT(50),
  CONSTRAINT PK_QTKCBDZB PRIMARY KEY (ID)
)
;

-- Other stock change lines (ZBID = QTKCBDZB.ID).
CREATE TABLE QTKCBD (
  RECID  TEXT(20),
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  CKID   LONG,
  CRLX   LONG,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  THSL   DOUBLE,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  DJBH   TEXT(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_QTKCBD PRIMARY KEY (RECID)
)
;

-- Finds QTKCBD rows by ZBID, HH; not unique.
CREATE INDEX IX_QTKCBD_ZBID_HH ON QTKCBD (ZBID, HH)
;

-- Assembly headers, each for one goods item in one warehouse.
CREATE TABLE CKZZZB (
  ID           LONG,
  DJBH         TEXT(14),
  RQ           DATETIME,
  HPID         LONG,
  CKID         LONG,
  SL           DOUBLE,
  DJ           DOUBLE,
  BZ           TEXT(100),
  YGID         LONG,
  CZY          TEXT(8),
  AuditName    TEXT(50),
  uFlag        LONG,
  BillType     TEXT(20),
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  S1           TEXT(50),
  S2           TEXT(50),
  F1           DOUBLE,
  F2           DOUBLE,
  CONSTRAINT PK_CKZZZB PRIMARY KEY (ID)
)
;

-- Assembly lines (ZBID = CKZZZB.ID).
CREATE TABLE CKZZ (
  ZBID     LONG,
  HH       LONG,
  DJBH     TEXT(14),
  RQ       DATETIME,
  PARENTID LONG,
  HPID     LONG,
  SL       DOUBLE,
  DW       TEXT(4),
  DJ       DOUBLE,
  refSL    LONG,
  RATE_SH  DOUBLE,
  BZ       TEXT(50),
  SX1      TEXT(50),
  SX2      TEXT(50),
  SX3      TEXT(50),
  SX4      DOUBLE,
  SX5      DOUBLE,
  SX6      DOUBLE,
  CONSTRAINT PK_CKZZ PRIMARY KEY (ZBID, HH)
)
;

-- Expense bill headers: way of payment, account and supplier.
CREATE TABLE FYKZZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           ANSIVARCHAR(20),
  JSR          ANSIVARCHAR(8),
  JE           DOUBLE,
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  YGID         LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  BillType     TEXT(20),
  AuditName    TEXT(50),
  BZ           TEXT(100),
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  GYSID        LONG,
  CONSTRAINT PK_FYKZZB PRIMARY KEY (ID)
)
;

-- Expense bill lines (ZBID = FYKZZB.ID), each booked to a category (SRZCLBID).
CREATE TABLE FYKZ (
  RECID    TEXT(20),
  ZBID     LONG,
  HH       LONG,
  RQ       DATETIME,
  SRZCLBID LONG,
  JE       DOUBLE,
  refSL    LONG,
  SRCNO    CHAR(20),
  SRCSEQ   LONG,
  DJBH     CHAR(14),
  SX1      TEXT(20),
  SX2      TEXT(20),
  SX3      TEXT(20),
  SX4      DOUBLE,
  SX5      DOUBLE,
  ZY       TEXT(100),
  SX6      DOUBLE,
  CONSTRAINT PK_FYKZ PRIMARY KEY (RECID)
)
;

-- Finds FYKZ rows by ZBID, HH; not unique.
CREATE INDEX IX_FYKZ_ZBID_HH ON FYKZ (ZBID, HH)
;

-- Other income bill headers: way of receipt, account and customer.
CREATE TABLE QTSRZB (
  ID           LONG,
  DJBH         ANSIVARCHAR(12),
  RQ           DATETIME,
  SFKFSID      SMALLINT,
  ZHID         SMALLINT,
  PH           ANSIVARCHAR(20),
  JSR          ANSIVARCHAR(8),
  JE           DOUBLE,
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  YGID         LONG,
  S1           CHAR(50),
  S2           CHAR(50),
  F1           DOUBLE,
  F2           DOUBLE,
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  AuditName    TEXT(50),
  BZ           TEXT(100),
  KHID         LONG,
  CONSTRAINT PK_QTSRZB PRIMARY KEY (ID)
)
;

-- Other income bill lines (ZBID = QTSRZB.ID), each booked to a category (SRZCLBID).
CREATE TABLE QTSR (
  RECID    TEXT(20),
  ZBID     LONG,
  HH       LONG,
  RQ       DATETIME,
  SRZCLBID LONG,
  JE       DOUBLE,
  refSL    LONG,
  SRCNO    CHAR(20),
  SRCSEQ   LONG,
  SX1      TEXT(50),
  SX2      TEXT(50),
  SX3      TEXT(50),
  SX4      DOUBLE,
  SX5      DOUBLE,
  ZY       TEXT(100),
  SX6      DOUBLE,
  CONSTRAINT PK_QTSR PRIMARY KEY (RECID)
)
;

-- Finds QTSR rows by ZBID, HH; not unique.
CREATE INDEX IX_QTSR_ZBID_HH ON QTSR (ZBID, HH)
;

-- Money moved from one account (ZCZHID) to another (ZRZHID).
CREATE TABLE YHCKQK (
  ID     LONG,
  RQ     DATETIME,
  JSR    ANSIVARCHAR(8),
  ZCZHID SMALLINT,
  ZRZHID SMALLINT,
  PH     ANSIVARCHAR(20),
  JE     DOUBLE,
  BZ     ANSIVARCHAR(40),
  CZY    ANSIVARCHAR(8),
  CONSTRAINT PK_YHCKQK PRIMARY KEY (ID)
)
;

-- Employee pictures (YGID = YG.ID).
CREATE TABLE yg_pict (
  YGID LONG,
  Ext  TEXT(20),
  pict OLEOBJECT,
  V1   TEXT(40),
  V2   TEXT(20),
  V3   TEXT(50),
  V4   TEXT(50),
  ID   LONG,
  CONSTRAINT PK_yg_pict PRIMARY KEY (ID)
)
;

-- Employment contracts of employees (F_empID).
CREATE TABLE Rs_Contract (
  ID          LONG,
  F_empID     LONG,
  F_code      TEXT(50),
  F_name      TEXT(50),
  F_dept      TEXT(50),
  F_HTcode    TEXT(50),
  F_HTname    TEXT(50),
  F_HTtype    TEXT(50),
  F_beginDate DATETIME,
  F_endDate   DATETIME,
  F_YFamount  TEXT(50),
  F_Memo1     MEMO,
  F_HTstatus  TEXT(50),
  F_FilePath  TEXT(255),
  F_PZemp     TEXT(50),
  F_Memo2     MEMO,
  F_useFlag   YESNO,
  F_editDate  DATETIME,
  RQ          DATETIME,
  CONSTRAINT PK_Rs_Contract PRIMARY KEY (ID)
)
;

-- Training records of employees.
CREATE TABLE Rs_PX (
  ID         LONG,
  F_empID    LONG,
  F_Code     TEXT(50),
  F_Name     TEXT(50),
  F_Dept     TEXT(255),
  F_fromDate DATETIME,
  F_toDate   DATETIME,
  F_address  TEXT(255),
  F_kecheng  TEXT(255),
  F_zhengshu TEXT(50),
  F_mem      MEMO,
  F_pxname   TEXT(100),
  RQ         DATETIME,
  CONSTRAINT PK_Rs_PX PRIMARY KEY (ID)
)
;

-- Assessment records of employees.
CREATE TABLE Rs_KH (
  ID         LONG,
  F_empID    LONG,
  F_code     TEXT(50),
  F_name     TEXT(50),
  F_dept     TEXT(50),
  F_KHtype   TEXT(50),
  F_KHqixian TEXT(50),
  F_KHtime   TEXT(255),
  F_KHcj     LONG,
  F_KHdj     TEXT(50),
  F_Memo1    MEMO,
  F_PJemp    TEXT(50),
  F_Memo2    MEMO,
  RQ         DATETIME,
  CONSTRAINT PK_Rs_KH PRIMARY KEY (ID)
)
;

-- Transfers of employees between duties and departments.
CREATE TABLE Rs_DD (
  ID          LONG,
  F_empID     LONG,
  F_code      TEXT(50),
  F_name      TEXT(50),
  F_OLDduty   TEXT(50),
  F_OLDdaCode TEXT(50),
  F_NewDuty   TEXT(50),
  F_DAcode    TEXT(50),
  F_Memo1     MEMO,
  F_PZemp     TEXT(50),
  F_Memo2     MEMO,
  F_editDate  DATETIME,
  F_useFlag   YESNO,
  F_OLDdept   TEXT(50),
  F_NewDept   TEXT(50),
  RQ          DATETIME,
  CONSTRAINT PK_Rs_DD PRIMARY KEY (ID)
)
;

-- Rewards and penalties of employees.
CREATE TABLE Rs_JC (
  ID       LONG,
  F_empID  LONG,
  F_code   TEXT(50),
  F_name   TEXT(50),
  F_Xm     TEXT(50),
  F_Lx     TEXT(50),
  F_CXdate DATETIME,
  F_Memo1  MEMO,
  F_PZemp  TEXT(50),
  F_Memo2  MEMO,
  F_Memo3  MEMO,
  F_dept   TEXT(50),
  RQ       DATETIME,
  CONSTRAINT PK_Rs_JC PRIMARY KEY (ID)
)
;

-- Pay changes of employees.
CREATE TABLE Rs_TX (
  ID           LONG,
  F_empID      LONG,
  F_code       TEXT(50),
  F_name       TEXT(50),
  F_dept       TEXT(255),
  F_reason     MEMO,
  F_beginPrice DOUBLE,
  F_endPrice   DOUBLE,
  F_memo1      MEMO,
  F_PZemp      TEXT(50),
  RQ           DATETIME,
  CONSTRAINT PK_Rs_TX PRIMARY KEY (ID)
)
;

-- Certificates of employees.
CREATE TABLE Rs_ZJ (
  ID         LONG,
  F_empID    LONG,
  F_code     TEXT(50),
  F_name     TEXT(50),
  F_dept     TEXT(255),
  F_shuoming TEXT(50),
  F_dqdate   DATETIME,
  F_dir      TEXT(50),
  F_mem      MEMO,
  RQ         DATETIME,
  F_TXdate   DATETIME,
  CONSTRAINT PK_Rs_ZJ PRIMARY KEY (ID)
)
;

-- Education and work history of employees.
CREATE TABLE Rs_work (
  ID          LONG,
  F_empID     LONG,
  F_code      TEXT(50),
  F_name      TEXT(50),
  F_dept      TEXT(50),
  RQ          DATETIME,
  F_Education MEMO,
  F_Work      MEMO,
  CONSTRAINT PK_Rs_work PRIMARY KEY (ID)
)
;

-- Payroll items with their formulas.
CREATE TABLE Gz_Item (
  ID         LONG,
  HH         LONG,
  F_Name     TEXT(50),
  F_function TEXT(250),
  F_Gs       TEXT(250),
  F_Color    TEXT(50),
  F1         LONG,
  F2         LONG,
  S1         TEXT(50),
  S2         TEXT(50),
  B1         YESNO,
  B2         YESNO,
  CONSTRAINT PK_Gz_Item PRIMARY KEY (ID)
)
;

-- Monthly payroll sheet headers: year, month, table name and title.
CREATE TABLE Gz_MonthZb (
  ID           LONG,
  DJBH         TEXT(12),
  RQ           DATETIME,
  F_Year       LONG,
  F_Month      LONG,
  F_TableName  TEXT(50),
  F_CnTitle    TEXT(50),
  F_Creater    TEXT(50),
  F_BeginDate  DATETIME,
  F_EndDate    DATETIME,
  S1           TEXT(20),
  S2           TEXT(8),
  S3           TEXT(50),
  F1           LONG,
  F2           LONG,
  F3           LONG,
  uFlag        LONG,
  BillType     CHAR(20),
  SrcBillNo    CHAR(20),
  ManualBillNo CHAR(20),
  CONSTRAINT PK_Gz_MonthZb PRIMARY KEY (ID)
)
;

-- Monthly payroll sheet rows, one per employee (ZBID = Gz_MonthZb.ID, YGID = YG.ID).
CREATE TABLE Gz_Month (
  ZBID LONG,
  YGID LONG,
  HH   LONG,
  RQ   DATETIME,
  F01  DOUBLE,
  F02  DOUBLE,
  F03  DOUBLE,
  F04  DOUBLE,
  F05  DOUBLE,
  F06  DOUBLE,
  F07  DOUBLE,
  F08  DOUBLE,
  F09  DOUBLE,
  F10  DOUBLE,
  F11  DOUBLE,
  F12  DOUBLE,
  F13  DOUBLE,
  F14  DOUBLE,
  F15  DOUBLE,
  F16  DOUBLE,
  F17  DOUBLE,
  F18  DOUBLE,
  F19  DOUBLE,
  F20  DOUBLE,
  F21  DOUBLE,
  F22  DOUBLE,
  F23  DOUBLE,
  F24  DOUBLE,
  F25  DOUBLE,
  F26  DOUBLE,
  F27  DOUBLE,
  F28  DOUBLE,
  F29  DOUBLE,
  F30  DOUBLE,
  F31  DOUBLE,
  F32  DOUBLE,
  F33  DOUBLE,
  F34  DOUBLE,
  F35  DOUBLE,
  F36  DOUBLE,
  F37  DOUBLE,
  F38  DOUBLE,
  F39  DOUBLE,
  F40  DOUBLE,
  F41  TEXT(50),
  F42  TEXT(50),
  F43  TEXT(50),
  F44  TEXT(50),
  F45  TEXT(50)
)
;

-- Finds Gz_Month rows by ZBID, YGID; not unique.
CREATE INDEX IX_Gz_Month_ZBID_YGID ON Gz_Month (ZBID, YGID)
;

-- Piece-work groups.
CREATE TABLE Gz_GZong (
  ID     LONG,
  F_Name TEXT(50),
  F1     LONG,
  S1     TEXT(50),
  CONSTRAINT PK_Gz_GZong PRIMARY KEY (ID)
)
;

-- Piece-work operations, each in a group (F_GzID = Gz_GZong.ID), with a unit price.
CREATE TABLE Gz_GXu (
  ID     LONG,
  F_Name TEXT(50),
  F_Dw   TEXT(255),
  F_GzID LONG,
  F1     LONG,
  S1     TEXT(255),
  F_Dj   DECIMAL(19,4),
  CONSTRAINT PK_Gz_GXu PRIMARY KEY (ID)
)
;

-- Piece-work pay rows per employee and operation (F_GxID = Gz_GXu.ID).
CREATE TABLE Gz_JJGZ (
  ID      LONG,
  F_empID LONG,
  F_GxID  LONG,
  F_DJ    DOUBLE,
  F_SL    DOUBLE,
  F_JBGZ  DOUBLE,
  F_Memo  MEMO,
  S1      TEXT(255),
  S2      TEXT(255),
  F1      LONG,
  F2      LONG,
  RQ      DATETIME,
  CONSTRAINT PK_Gz_JJGZ PRIMARY KEY (ID)
)
;

-- Timed-work entries with a unit price.
CREATE TABLE Gz_GongZ (
  ID     LONG,
  F_Name TEXT(50),
  F_Dw   TEXT(255),
  F_GzID LONG,
  F1     LONG,
  S1     TEXT(255),
  F_Dj   DECIMAL(19,4),
  CONSTRAINT PK_Gz_GongZ PRIMARY KEY (ID)
)
;

-- Timed-work pay rows per employee and entry (F_GxID = Gz_GongZ.ID).
CREATE TABLE Gz_JSGZ (
  ID      LONG,
  F_empID LONG,
  F_GxID  LONG,
  F_DJ    DOUBLE,
  F_SL    DOUBLE,
  F_JBGZ  DOUBLE,
  F_Memo  MEMO,
  S1      TEXT(255),
  S2      TEXT(255),
  F1      LONG,
  F2      LONG,
  RQ      DATETIME,
  CONSTRAINT PK_Gz_JSGZ PRIMARY KEY (ID)
)
;

-- Leave requests.
CREATE TABLE Oa_Leave (
  F_empID     LONG,
  F_Code      TEXT(50),
  F_Name      TEXT(50),
  F_Type      TEXT(50),
  F_Dept      TEXT(50),
  F_ApplyDate DATETIME,
  F_YearMonth TEXT(50),
  F_StartDate DATETIME,
  F_EndDate   DATETIME,
  F_Hours     TEXT(50),
  F_Sender1   TEXT(50),
  F_Sender2   TEXT(50),
  F_Memo      MEMO,
  F_BillDate  DATETIME,
  ID          LONG,
  CONSTRAINT PK_Oa_Leave PRIMARY KEY (ID)
)
;

-- Overtime records.
CREATE TABLE Oa_Overtime (
  ID          LONG,
  F_empID     LONG,
  F_Code      TEXT(50),
  F_Name      TEXT(50),
  F_Thing     TEXT(50),
  F_Dept      TEXT(50),
  F_ApplyDate DATETIME,
  F_YearMonth TEXT(50),
  F_StartDate DATETIME,
  F_EndDate   DATETIME,
  F_Hours     TEXT(50),
  F_Type      TEXT(50),
  F_Sender1   TEXT(50),
  F_Sender2   TEXT(50),
  F_Memo      MEMO,
  F_BillDate  DATETIME,
  CONSTRAINT PK_Oa_Overtime PRIMARY KEY (ID)
)
;

-- Staff housing.
CREATE TABLE Oa_House (
  ID         LONG,
  F_Name     TEXT(50),
  F_Type     TEXT(50),
  F_Tel      TEXT(50),
  F_Admin    TEXT(50),
  F_People   TEXT(255),
  F_Thing    TEXT(50),
  F_Memo     MEMO,
  F_BillDate DATETIME,
  CONSTRAINT PK_Oa_House PRIMARY KEY (ID)
)
;

-- Keys handed out.
CREATE TABLE Oa_Keys (
  ID           LONG,
  F_Name       TEXT(50),
  F_BorrowMan  TEXT(50),
  F_BorrowDate DATETIME,
  F_UnReturn   TEXT(50),
  F_Memo       MEMO,
  F_BillDate   DATETIME,
  F_ReturnDate DATETIME,
  CONSTRAINT PK_Oa_Keys PRIMARY KEY (ID)
)
;

-- Office contacts.
CREATE TABLE Oa_Linkman (
  ID         LONG,
  F_Inc      TEXT(50),
  F_Name     TEXT(50),
  F_Type     TEXT(50),
  F_Sex      TEXT(50),
  F_Tel      TEXT(50),
  F_Handset  TEXT(50),
  F_Email    TEXT(50),
  F_Fax      TEXT(50),
  F_QQ       TEXT(50),
  F_MSN      TEXT(50),
  F_Post     TEXT(50),
  F_Duty     TEXT(50),
  F_Address  TEXT(50),
  F_Memo     MEMO,
  F_BillDate DATETIME,
  CONSTRAINT PK_Oa_Linkman PRIMARY KEY (ID)
)
;

-- Visitor records.
CREATE TABLE Oa_Visit (
  ID            LONG,
  F_Name        TEXT(50),
  F_Inc         TEXT(50),
  F_Visitor     TEXT(50),
  F_Tel         TEXT(50),
  F_VisitDate   DATETIME,
  F_YearMonth   TEXT(50),
  F_Interviewee TEXT(50),
  F_Memo        MEMO,
  F_BillDate    DATETIME,
  CONSTRAINT PK_Oa_Visit PRIMARY KEY (ID)
)
;

-- Passes issued.
CREATE TABLE Oa_Pass (
  ID          LONG,
  F_Name      TEXT(50),
  F_Inc       TEXT(50),
  F_Passer    TEXT(50),
  F_Tel       TEXT(50),
  F_PassDate  DATETIME,
  F_YearMonth TEXT(50),
  F_Passer1   TEXT(50),
  F_Thing     TEXT(50),
  F_Config    TEXT(50),
  F_Unit      TEXT(50),
  F_Number    TEXT(50),
  F_Memo      MEMO,
  F_BillDate  DATETIME,
  CONSTRAINT PK_Oa_Pass PRIMARY KEY (ID)
)
;

-- Customer follow-up records (custid = KH.ID).
CREATE TABLE Crm_Custgj (
  id        LONG,
  custid    LONG,
  custphase TEXT(50),
  custstate TEXT(50),
  people    TEXT(50),
  lasttime  DATETIME,
  selltime  DATETIME,
  CONSTRAINT PK_Crm_Custgj PRIMARY KEY (id)
)
;

-- Customer visits (custid = KH.ID).
CREATE TABLE Crm_CustVisit (
  id           LONG,
  custid       LONG,
  visittime    DATETIME,
  personnel    TEXT(100),
  visitcontent TEXT(255),
  visitresult  TEXT(50),
  CONSTRAINT PK_Crm_CustVisit PRIMARY KEY (id)
)
;

-- Contracts with customers (custid = KH.ID).
CREATE TABLE Crm_HeTong (
  id           LONG,
  custid       LONG,
  bargainname  TEXT(50),
  balancemoney LONG,
  bargainmoney LONG,
  bargaindate  DATETIME,
  people       TEXT(50),
  filepath     TEXT(50),
  finish       TEXT(50),
  remark       MEMO,
  bargaincode  TEXT(50),
  SigningMan   TEXT(50),
  TakeEffect   DATETIME,
  ExpireDate   DATETIME,
  CONSTRAINT PK_Crm_HeTong PRIMARY KEY (id)
)
;

-- Contact people of customers (CustId = KH.ID).
CREATE TABLE Crm_LinkMan (
  id          LONG,
  CustId      LONG,
  ContactName TEXT(50),
  MainContact YESNO,
  Department  TEXT(50),
  Email       TEXT(50),
  Address     TEXT(250),
  PostCode    TEXT(50),
  Tel         TEXT(50),
  Mobile      TEXT(50),
  HomeTel     TEXT(50),
  Fax         TEXT(20),
  Birthday    DATETIME,
  introduce   MEMO,
  F_User      TEXT(50),
  sPosition   TEXT(50),
  CONSTRAINT PK_Crm_LinkMan PRIMARY KEY (id)
)
;

-- Sales chances with customers (CustId = KH.ID).
CREATE TABLE Crm_SaleChance (
  ID           LONG,
  CustId       LONG,
  OppLevel     TEXT(50),
  ExceptMoney  DECIMAL(19,4),
  ProChance    TEXT(50),
  People       TEXT(50),
  CompleteDate DATETIME,
  Product      TEXT(50),
  Remark       MEMO,
  Topic        TEXT(200),
  State        TEXT(50),
  CONSTRAINT PK_Crm_SaleChance PRIMARY KEY (ID)
)
;

-- The asset type tree (Pid = parent id).
CREATE TABLE zc_ItemType (
  id         LONG,
  Pid        LONG,
  Name       TEXT(50),
  Flag       SMALLINT,
  OrderIndex LONG,
  CONSTRAINT PK_zc_ItemType PRIMARY KEY (id)
)
;

-- Asset cards.
CREATE TABLE zc_item (
  ID          LONG,
  ItemNO      TEXT(50),
  BARCODE     TEXT(20),
  ItemName    TEXT(50),
  GG          TEXT(50),
  ItemType    TEXT(50),
  Config      TEXT(50),
  InterNetNo  TEXT(50),
  CompanyPro  TEXT(50),
  CompanyDate TEXT(50),
  IncType     TEXT(50),
  Depart      TEXT(50),
  Use         TEXT(50),
  Area        TEXT(50),
  BgEmpoyee   TEXT(50),
  AccountDate TEXT(50),
  Qty         DOUBLE,
  Unit        TEXT(50),
  Price       DOUBLE,
  OldValue    DOUBLE,
  Ljzj        DOUBLE,
  OnlyValue   DOUBLE,
  Onlyzl      DOUBLE,
  zjFunction  TEXT(50),
  UseYear     LONG,
  DjDate      TEXT(50),
  DjEmpoyee   TEXT(50),
  BXDate      DATETIME,
  BeginDate   DATETIME,
  BZ          TEXT(255),
  S_zdy1      TEXT(50),
  S_zdy2      TEXT(50),
  S_zdy3      TEXT(50),
  S_zdy4      TEXT(50),
  S_zdy5      TEXT(50),
  S_zdy6      TEXT(50),
  S_zdy7      TEXT(50),
  F_zdy1      LONG,
  F_zdy2      LONG,
  F_zdy3      LONG,
  F_zdy4      LONG,
  F_zdy5      LONG,
  F_zdy6      LONG,
  F_zdy7      LONG,
  D_zdy1      TEXT(50),
  D_zdy2      TEXT(50),
  D_zdy3      TEXT(50),
  D_zdy4      TEXT(50),
  D_zdy5      TEXT(50),
  D_zdy6      TEXT(50),
  D_zdy7      TEXT(50),
  CONSTRAINT PK_zc_item PRIMARY KEY (ID)
)
;

-- Asset change bills; BillNo is assigned by the database.
CREATE TABLE zc_bg (
  BillNo   COUNTER,
  bh       TEXT(50),
  mc       TEXT(50),
  xh       TEXT(50),
  bgyy     TEXT(50),
  bgqk     TEXT(50),
  czy      TEXT(50),
  pzr      TEXT(50),
  BillDate DATETIME,
  jbr      TEXT(50)
)
;

-- Asset clear-out bills; BillNO is assigned by the database.
CREATE TABLE zc_ql (
  BillNO   COUNTER,
  BillDate DATETIME,
  bh       TEXT(50),
  mc       TEXT(50),
  xh       TEXT(50),
  xxpz     TEXT(50),
  syqk     TEXT(50),
  sybm     TEXT(50),
  bgry     TEXT(50),
  cfdd     TEXT(50),
  qlr      TEXT(50),
  qlfs     TEXT(50),
  pzr      TEXT(50),
  bz       TEXT(50)
)
;

-- Asset lending bills; BillNo is assigned by the database.
CREATE TABLE zc_jc (
  BillNo   COUNTER,
  BillDate DATETIME,
  bh       TEXT(50),
  mc       TEXT(50),
  xh       TEXT(50),
  xxpz     TEXT(50),
  syqk     TEXT(50),
  jcbm     TEXT(50),
  jybm     TEXT(50),
  jcr      TEXT(50),
  jyr      TEXT(50),
  jcrq     DATETIME,
  nhrq     DATETIME,
  jysl     TEXT(50),
  pzr      TEXT(50),
  bz       TEXT(50)
)
;

-- Asset transfer bills; the client sets BillNo.
CREATE TABLE zc_zy (
  BillNo   LONG,
  BillDate DATETIME,
  bh       TEXT(50),
  mc       TEXT(50),
  xh       TEXT(50),
  xxpz     TEXT(50),
  syqk     TEXT(50),
  ycbm     TEXT(50),
  ycfdd    TEXT(50),
  ybgry    TEXT(50),
  zrbm     TEXT(50),
  xcfdd    TEXT(50),
  xbgry    TEXT(50),
  zyr      TEXT(50),
  zyrq     DATETIME,
  pzr      TEXT(50),
  bz       TEXT(50),
  CONSTRAINT PK_zc_zy PRIMARY KEY (BillNo)
)
;

-- Asset repair bills; BillNo is assigned by the database.
CREATE TABLE zc_wx (
  BillNo   COUNTER,
  BillDate DATETIME,
  bh       TEXT(50),
  mc       TEXT(50),
  xh       TEXT(50),
  xxpz     TEXT(50),
  syqk     TEXT(50),
  sxrq     DATETIME,
  gzxx     TEXT(50),
  wxrq     DATETIME,
  wxzk     TEXT(50),
  wxfy     LONG,
  pjsm     TEXT(50),
  pzr      TEXT(50),
  bz       TEXT(50),
  wxdw     TEXT(50),
  wxr      TEXT(50)
)
;

-- Asset return bills; BillNo is assigned by the database.
CREATE TABLE zc_gh (
  BillNo   COUNTER,
  BillDate DATETIME,
  bh       TEXT(50),
  mc       TEXT(50),
  xh       TEXT(50),
  xxpz     TEXT(50),
  syqk     TEXT(50),
  jcbm     TEXT(50),
  jybm     TEXT(50),
  jcr      TEXT(50),
  jyr      TEXT(50),
  jcrq     DATETIME,
  nhrq     DATETIME,
  jysl     TEXT(50),
  pzr      TEXT(50),
  ghrq     DATETIME,
  zxr      TEXT(50),
  zxpzr    TEXT(50),
  bz       TEXT(50)
)
;

-- A planning grid of text cells.
CREATE TABLE zc_ProjectPlanning_1 (
  ID  LONG,
  A   TEXT(50),
  B   TEXT(50),
  C   TEXT(50),
  D   TEXT(50),
  E   TEXT(50),
  F   TEXT(50),
  G   TEXT(50),
  H   TEXT(50),
  I   TEXT(50),
  J   TEXT(50),
  K   TEXT(50),
  L   TEXT(50),
  M   TEXT(50),
  N   TEXT(50),
  O   TEXT(50),
  P   TEXT(50),
  Q   TEXT(50),
  R   TEXT(50),
  S   TEXT(50),
  T   TEXT(50),
  U   TEXT(50),
  V   TEXT(50),
  W   TEXT(50),
  X   TEXT(50),
  Y   TEXT(50),
  Z   TEXT(50),
  AA  TEXT(50),
  AB  TEXT(50),
  AC  TEXT(50),
  AD  TEXT(50),
  AE  TEXT(50),
  AF  TEXT(50),
  AG  TEXT(50),
  AH  TEXT(50),
  AI  TEXT(50),
  AJ  TEXT(50),
  AK  TEXT(50),
  AL  TEXT(50),
  AM  TEXT(50),
  AN  TEXT(50),
  AO  TEXT(50),
  AP  TEXT(50),
  AQ  TEXT(50),
  AR  TEXT(50),
  A_S TEXT(50),
  A_T TEXT(50),
  AU  TEXT(50),
  AV  TEXT(50),
  AW  TEXT(50),
  AX  TEXT(50),
  AY  TEXT(50),
  AZ  TEXT(50),
  BA  TEXT(50),
  BB  TEXT(50),
  BC  TEXT(50),
  BD  TEXT(50),
  BE  TEXT(50),
  BF  TEXT(50),
  BG  TEXT(50),
  BH  TEXT(50),
  BI  TEXT(50),
  BJ  TEXT(50),
  BK  TEXT(50),
  BL  TEXT(50),
  BM  TEXT(50),
  BN  TEXT(50),
  BO  TEXT(50),
  BP  TEXT(50),
  BQ  TEXT(50),
  BR  TEXT(50),
  BS  TEXT(50),
  BT  TEXT(50),
  BU  TEXT(50),
  BV  TEXT(50),
  BW  TEXT(50),
  BX  TEXT(50),
  B_Y TEXT(50),
  BZ  TEXT(50),
  C_A TEXT(50),
  C_B TEXT(50),
  C_C TEXT(50),
  C_D TEXT(50),
  C_E TEXT(50),
  C_F TEXT(50),
  C_G TEXT(50),
  C_H TEXT(50),
  C_I TEXT(50),
  C_J TEXT(50),
  C_K TEXT(50),
  C_L TEXT(50),
  C_M TEXT(50),
  C_N TEXT(50),
  C_O TEXT(50),
  C_P TEXT(50),
  C_Q TEXT(50),
  C_R TEXT(50),
  C_S TEXT(50),
  C_T TEXT(50),
  C_U TEXT(50),
  C_V TEXT(50),
  C_W TEXT(50),
  C_X TEXT(50),
  C_Y TEXT(50),
  C_Z TEXT(50),
  D_A TEXT(50),
  D_B TEXT(50),
  D_C TEXT(50),
  D_D TEXT(50),
  D_E TEXT(50),
  D_F TEXT(50),
  D_G TEXT(50),
  D_H TEXT(50),
  D_I TEXT(50),
  D_J TEXT(50),
  D_K TEXT(50),
  D_L TEXT(50),
  D_M TEXT(50),
  D_N TEXT(50),
  D_O TEXT(50),
  D_P TEXT(50),
  D_Q TEXT(50),
  D_R TEXT(50),
  D_S TEXT(50),
  D_T TEXT(50),
  D_U TEXT(50),
  D_V TEXT(50),
  D_W TEXT(50),
  D_X TEXT(50),
  D_Y TEXT(50),
  D_Z TEXT(50),
  E_A TEXT(50),
  E_B TEXT(50),
  E_C TEXT(50),
  E_D TEXT(50),
  E_E TEXT(50),
  E_F TEXT(50),
  E_G TEXT(50),
  E_H TEXT(50),
  E_I TEXT(50),
  E_J TEXT(50),
  E_K TEXT(50),
  E_L TEXT(50),
  E_M TEXT(50),
  CONSTRAINT PK_zc_ProjectPlanning_1 PRIMARY KEY (ID)
)
;

-- Workshops, which production orders point to (CJID).
CREATE TABLE Cj (
  ID LONG,
  XH SMALLINT,
  MC TEXT(16),
  WZ TEXT(40),
  BZ TEXT(40),
  S1 TEXT(50),
  S2 TEXT(50),
  F1 DOUBLE,
  F2 DOUBLE,
  CONSTRAINT PK_Cj PRIMARY KEY (ID)
)
;

-- Bill of materials headers, each for one goods item.
CREATE TABLE SC_BOMZB (
  ID           LONG,
  DJBH         TEXT(14),
  RQ           DATETIME,
  HPID         LONG,
  SL           DOUBLE,
  RATE_CC      DOUBLE,
  GS           DOUBLE,
  BZ           TEXT(100),
  CZY          TEXT(8),
  uFlag        LONG,
  S1           TEXT(50),
  S2           TEXT(50),
  F1           DOUBLE,
  F2           DOUBLE,
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  CONSTRAINT PK_SC_BOMZB PRIMARY KEY (ID)
)
;

-- Bill of materials lines (ZBID = SC_BOMZB.ID).
CREATE TABLE SC_BOM (
  ZBID     LONG,
  HH       LONG,
  RQ       DATETIME,
  PARENTID LONG,
  HPID     LONG,
  DW       TEXT(4),
  SL       DOUBLE,
  RATE_SH  DOUBLE,
  BZ       TEXT(50),
  refSL    LONG,
  DJBH     TEXT(14),
  SX1      TEXT(50),
  SX2      TEXT(50),
  SX3      TEXT(50),
  SX4      DOUBLE,
  SX5      DOUBLE,
  SX6      DOUBLE,
  CONSTRAINT PK_SC_BOM PRIMARY KEY (ZBID, HH)
)
;

-- Production plan headers.
CREATE TABLE SC_SCJHZB (
  ID           LONG,
  DJBH         TEXT(14),
  RQ           DATETIME,
  JSR          ANSIVARCHAR(8),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  JHRQ         DATETIME,
  S1           TEXT(50),
  S2           TEXT(50),
  F1           DOUBLE,
  F2           DOUBLE,
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  CONSTRAINT PK_SC_SCJHZB PRIMARY KEY (ID)
)
;

-- Production plan lines (ZBID = SC_SCJHZB.ID).
CREATE TABLE SC_SCJH (
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  SRCSEQ LONG,
  SRCNO  TEXT(20),
  refSL  LONG,
  DJBH   TEXT(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_SC_SCJH PRIMARY KEY (ZBID, HH)
)
;

-- Material requirement plan headers.
CREATE TABLE SC_WLXQJHZB (
  ID           LONG,
  DJBH         TEXT(14),
  RQ           DATETIME,
  JSR          ANSIVARCHAR(8),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  JHRQ         DATETIME,
  S1           TEXT(50),
  S2           TEXT(50),
  F1           DOUBLE,
  F2           DOUBLE,
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  CONSTRAINT PK_SC_WLXQJHZB PRIMARY KEY (ID)
)
;

-- Material requirement plan lines (ZBID = SC_WLXQJHZB.ID).
CREATE TABLE SC_WLXQJH (
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  SRCSEQ LONG,
  SRCNO  TEXT(20),
  refSL  LONG,
  DJBH   TEXT(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_SC_WLXQJH PRIMARY KEY (ZBID, HH)
)
;

-- Purchase plan headers.
CREATE TABLE SC_CGJHZB (
  ID           LONG,
  DJBH         TEXT(14),
  RQ           DATETIME,
  JSR          ANSIVARCHAR(8),
  JE           DOUBLE,
  BZ           ANSIVARCHAR(40),
  CZY          ANSIVARCHAR(8),
  uFlag        LONG,
  JHRQ         DATETIME,
  S1           TEXT(50),
  S2           TEXT(50),
  F1           DOUBLE,
  F2           DOUBLE,
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  CONSTRAINT PK_SC_CGJHZB PRIMARY KEY (ID)
)
;

-- Purchase plan lines (ZBID = SC_CGJHZB.ID).
CREATE TABLE SC_CGJH (
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  SRCSEQ LONG,
  SRCNO  TEXT(20),
  refSL  LONG,
  DJBH   TEXT(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_SC_CGJH PRIMARY KEY (ZBID, HH)
)
;

-- Production order headers, each for a workshop (CJID = Cj.ID).
CREATE TABLE SC_ProduceOrderZB (
  ID           LONG,
  DJBH         TEXT(14),
  RQ           DATETIME,
  JHRQ         DATETIME,
  JSR          TEXT(8),
  CJID         LONG,
  JE           DOUBLE,
  BZ           TEXT(100),
  CZY          TEXT(8),
  uFlag        LONG,
  BeginDate    DATETIME,
  EndDate      DATETIME,
  BeginFlag    YESNO,
  EndFlag      YESNO,
  BachNo       TEXT(20),
  BillType     TEXT(20),
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  S1           TEXT(50),
  S2           TEXT(50),
  F1           DOUBLE,
  F2           DOUBLE,
  CONSTRAINT PK_SC_ProduceOrderZB PRIMARY KEY (ID)
)
;

-- Production order lines (ZBID = SC_ProduceOrderZB.ID).
CREATE TABLE SC_ProduceOrder (
  ZBID   LONG,
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  SL     DOUBLE,
  DW     TEXT(4),
  DJ     DOUBLE,
  refSL  DOUBLE,
  SRCNO  TEXT(20),
  SRCSEQ LONG,
  DJBH   TEXT(14),
  SX1    TEXT(50),
  SX2    TEXT(50),
  SX3    TEXT(50),
  SX4    DOUBLE,
  SX5    DOUBLE,
  SX6    DOUBLE,
  CONSTRAINT PK_SC_ProduceOrder PRIMARY KEY (ZBID, HH)
)
;

-- Outsourced processing headers, each for a supplier (GYSID = GYS.ID).
CREATE TABLE SC_WtjgZB (
  ID           LONG,
  DJBH         TEXT(14),
  RQ           DATETIME,
  JSR          TEXT(8),
  GYSID        LONG,
  JE           DOUBLE,
  BZ           TEXT(100),
  CZY          TEXT(8),
  uFlag        LONG,
  EndDate      DATETIME,
  EndFlag      YESNO,
  BachNo       TEXT(20),
  BillType     TEXT(20),
  SrcBillNo    TEXT(20),
  ManualBillNo TEXT(20),
  S1           TEXT(50),
  S2           TEXT(50),
  F1           DOUBLE,
  F2           DOUBLE,
  CONSTRAINT PK_SC_WtjgZB PRIMARY KEY (ID)
)
;

-- Outsourced processing lines (ZBID = SC_WtjgZB.ID).
CREATE TABLE SC_Wtjg (
  ZBID   LONG,
  HH     LONG,
  DJBH   TEXT(14),
  RQ     DATETIME,
  HPID   LONG,
  DW     TEXT(4),
  SL     DOUBLE,
  DJ     DOUBLE,
  refSL  LONG,
  SRCNO  TEXT(20),
  SRCSEQ LONG,
  CONSTRAINT PK_SC_Wtjg PRIMARY KEY (ZBID, HH)
)
;

-- Property projects as a tree (Pid = parent id).
CREATE TABLE Wy_Project (
  id      LONG,
  Pid     LONG,
  Name    TEXT(50),
  Orderby LONG,
  Flag    SMALLINT,
  CONSTRAINT PK_Wy_Project PRIMARY KEY (id)
)
;

-- Estates.
CREATE TABLE Wy_xiaoqu (
  ID           LONG,
  F_code       TEXT(50),
  F_name       TEXT(255),
  F_address    TEXT(255),
  F_mem1       MEMO,
  F_mem2       MEMO,
  F_LYamount   LONG,
  F_roomAmount LONG,
  F_cltAmount  LONG,
  F_kzAmount   LONG,
  CONSTRAINT PK_Wy_xiaoqu PRIMARY KEY (ID)
)
;

-- Rooms and the clients living in them, by room code F_Roomcode.
CREATE TABLE Wy_ClientRoom (
  ID           LONG,
  F_reccode    TEXT(50),
  F_Roomcode   TEXT(50),
  F_DanYuan    TEXT(50),
  F_RoomType   TEXT(50),
  F_chenshu    TEXT(50),
  F_buildArea  DOUBLE,
  F_useArea    DOUBLE,
  F_chanquan   TEXT(255),
  F_mem1       MEMO,
  F_xiaoquName TEXT(50),
  F_useStatus  TEXT(255),
  F_useDate    DATETIME,
  F_cltName    TEXT(50),
  F_sex        TEXT(50),
  F_SFZcode    TEXT(50),
  F_unit       TEXT(50),
  F_phone      TEXT(50),
  F_handphone  TEXT(50),
  F_address    TEXT(255),
  F_mem2       MEMO,
  CONSTRAINT PK_Wy_ClientRoom PRIMARY KEY (ID)
)
;

-- Client complaints.
CREATE TABLE Wy_ZHTS (
  ID          LONG,
  F_code      TEXT(50),
  F_empName   TEXT(50),
  F_cltcode   TEXT(50),
  F_cltname   TEXT(50),
  F_tsDate    DATETIME,
  F_clDate    DATETIME,
  F_clempname TEXT(50),
  F_tsMem1    MEMO,
  F_tsmem2    MEMO,
  F_jibie     TEXT(50),
  CONSTRAINT PK_Wy_ZHTS PRIMARY KEY (ID)
)
;

-- Public facilities; it has no key, rows are located by all their values.
CREATE TABLE Wy_PublicSet (
  ID           LONG,
  F_code       TEXT(50),
  F_name       TEXT(255),
  F_type       TEXT(50),
  F_pinpai     TEXT(255),
  F_spec       TEXT(255),
  F_address    TEXT(255),
  F_amount     DOUBLE,
  F_price      DOUBLE,
  F_totalprice DOUBLE,
  F_mem        MEMO,
  CONSTRAINT PK_Wy_PublicSet PRIMARY KEY (ID)
)
;

-- Car places.
CREATE TABLE Wy_CarPos (
  ID        LONG,
  F_code    TEXT(50),
  F_name    TEXT(255),
  F_area    DOUBLE,
  F_SFprice DOUBLE,
  F_Mem     MEMO,
  F_flag    YESNO,
  CONSTRAINT PK_Wy_CarPos PRIMARY KEY (ID)
)
;

-- Car places let to clients.
CREATE TABLE Wy_CltCarPos (
  ID        LONG,
  F_recCode TEXT(50),
  F_carCode TEXT(50),
  F_carName TEXT(255),
  F_carArea DOUBLE,
  F_cltCode TEXT(50),
  F_cltName TEXT(255),
  F_useDate DATETIME,
  F_price   DOUBLE,
  F_year    LONG,
  F_month   LONG,
  F_mem     MEMO,
  F_empName TEXT(50),
  CONSTRAINT PK_Wy_CltCarPos PRIMARY KEY (ID)
)
;

-- Property goods.
CREATE TABLE Wy_Goods (
  ID        LONG,
  F_code    TEXT(50),
  F_name    TEXT(255),
  F_unit    TEXT(50),
  F_type    TEXT(50),
  F_pinpai  TEXT(255),
  F_spec    TEXT(255),
  F_address TEXT(255),
  F_price   DOUBLE,
  F_mem     MEMO,
  CONSTRAINT PK_Wy_Goods PRIMARY KEY (ID)
)
;

-- Fees charged per room (F_fjcode = Wy_ClientRoom.F_Roomcode).
CREATE TABLE Wy_CltFyRec (
  ID             LONG,
  F_RECcode      TEXT(50),
  F_fjcode       TEXT(50),
  F_Year         LONG,
  F_Month        LONG,
  F_SBcode       TEXT(50),
  F_SFbegin      DOUBLE,
  F_SFend        DOUBLE,
  F_SFamount     DOUBLE,
  F_SFprice      DOUBLE,
  F_SFtotalprice DOUBLE,
  F_DBcode       TEXT(50),
  F_DFbegin      DOUBLE,
  F_DFend        DOUBLE,
  F_DFamount     DOUBLE,
  F_DFprice      DOUBLE,
  F_DFtotalprice DOUBLE,
  F_QBcode       TEXT(50),
  F_QFbegin      DOUBLE,
  F_QFend        DOUBLE,
  F_QFamount     DOUBLE,
  F_QFprice      DOUBLE,
  F_QFtotalprice DOUBLE,
  F_GGGLprice    DOUBLE,
  F_GGSSprice    DOUBLE,
  F_LJprice      DOUBLE,
  F_GLPrice      DOUBLE,
  F_otherPrice   DOUBLE,
  F_totalprice   DOUBLE,
  F_ZNJprice     DOUBLE,
  F_empName      TEXT(50),
  F_EditDate     DATETIME,
  F_mem          MEMO,
  CONSTRAINT PK_Wy_CltFyRec PRIMARY KEY (ID)
)
;

-- Payments received per room (F_fjcode = Wy_ClientRoom.F_Roomcode).
CREATE TABLE Wy_CltFkRec (
  ID         LONG,
  F_recCode  TEXT(50),
  F_fjCode   TEXT(50),
  F_YJprice  DOUBLE,
  F_JFprice  DOUBLE,
  F_QFprice  DOUBLE,
  F_jkDate   DATETIME,
  F_editDate DATETIME,
  F_empname  TEXT(50),
  F_mem      MEMO,
  CONSTRAINT PK_Wy_CltFkRec PRIMARY KEY (ID)
)
;

-- Repair request headers.
CREATE TABLE Wy_ZHBXzb (
  ID           LONG,
  DJBH         TEXT(50),
  RQ           DATETIME,
  F_code       TEXT(50),
  F_empname    TEXT(50),
  F_bxDate     DATETIME,
  F_clempname  TEXT(50),
  F_mem1       MEMO,
  F_fwPrice    DOUBLE,
  F_wlPrice    DOUBLE,
  F_cltname    TEXT(50),
  F_cltcode    TEXT(50),
  F_xfDate     DATETIME,
  F_totalprice DOUBLE,
  F_mem2       MEMO,
  F_jibie      TEXT(50),
  uFlag        LONG,
  CONSTRAINT PK_Wy_ZHBXzb PRIMARY KEY (ID)
)
;

-- Repair request lines (ZBID = Wy_ZHBXzb.ID).
CREATE TABLE Wy_ZHBX (
  ZBID       LONG,
  HH         LONG,
  RQ         DATETIME,
  F_code     TEXT(50),
  F_GOODcode TEXT(50),
  F_GOODname TEXT(255),
  F_unit     TEXT(50),
  F_type     TEXT(50),
  F_spec     TEXT(50),
  F_pinpai   TEXT(255),
  F_address  TEXT(255),
  F_mem      MEMO,
  DJ         DOUBLE,
  JE         DOUBLE,
  SL         DOUBLE,
  CONSTRAINT PK_Wy_ZHBX PRIMARY KEY (ZBID, HH)
)
;

-- Equipment repair headers.
CREATE TABLE Wy_SBWXzb (
  ID           LONG,
  DJBH         TEXT(50),
  RQ           DATETIME,
  F_code       TEXT(50),
  F_empname    TEXT(50),
  F_bxDate     DATETIME,
  F_clempname  TEXT(50),
  F_mem1       MEMO,
  F_fwPrice    DOUBLE,
  F_wlPrice    DOUBLE,
  F_SETname    TEXT(50),
  F_SETcode    TEXT(50),
  F_xfDate     DATETIME,
  F_totalprice DOUBLE,
  F_mem2       MEMO,
  F_jibie      TEXT(50),
  uFlag        LONG,
  CONSTRAINT PK_Wy_SBWXzb PRIMARY KEY (ID)
)
;

-- Equipment repair lines (ZBID = Wy_SBWXzb.ID).
CREATE TABLE Wy_SBWX (
  ZBID       LONG,
  HH         LONG,
  F_code     TEXT(50),
  F_GOODcode TEXT(50),
  F_GOODname TEXT(255),
  F_unit     TEXT(50),
  F_type     TEXT(50),
  F_spec     TEXT(50),
  F_pinpai   TEXT(255),
  F_address  TEXT(255),
  SL         DOUBLE,
  DJ         DOUBLE,
  JE         DOUBLE,
  F_mem      MEMO,
  RQ         DATETIME,
  CONSTRAINT PK_Wy_SBWX PRIMARY KEY (ZBID, HH)
)
;

-- Dining rooms, as a tree (ParentCode).
CREATE TABLE CY_House (
  ID         LONG,
  MC         TEXT(50),
  S1         TEXT(50),
  S2         TEXT(50),
  F1         DOUBLE,
  F2         DOUBLE,
  ParentCode LONG,
  CONSTRAINT PK_CY_House PRIMARY KEY (ID)
)
;

-- The tables of a dining room (HouseID = CY_House.ID).
CREATE TABLE CY_HouseTable (
  ID        LONG,
  HouseID   LONG,
  BH        TEXT(50),
  Status    TEXT(50),
  LowAmount DOUBLE,
  SL        LONG,
  S1        TEXT(50),
  S2        TEXT(50),
  F1        DOUBLE,
  F2        DOUBLE,
  DJBH      TEXT(50),
  MasterBH  TEXT(50),
  CONSTRAINT PK_CY_HouseTable PRIMARY KEY (ID)
)
;

-- Catering order headers, identified by their bill number DJBH.
CREATE TABLE CY_KDZB (
  DJBH       TEXT(50),
  RQ         DATETIME,
  CTBH       TEXT(50),
  BKSL       LONG,
  ZK         DOUBLE,
  JE         DOUBLE,
  YSJE       DOUBLE,
  ServerName TEXT(50),
  JSR        TEXT(50),
  BZ         TEXT(50),
  S1         TEXT(50),
  S2         TEXT(50),
  F1         DOUBLE,
  F2         DOUBLE,
  Status     TEXT(50),
  VIPName    TEXT(50),
  CONSTRAINT PK_CY_KDZB PRIMARY KEY (DJBH)
)
;

-- Catering order lines (DJBH = CY_KDZB.DJBH) with their own counter ID.
CREATE TABLE CY_KD (
  ID     COUNTER,
  DJBH   TEXT(50),
  HH     LONG,
  RQ     DATETIME,
  HPID   LONG,
  SL     DOUBLE,
  DJ     DOUBLE,
  NSL    DOUBLE,
  CBDJ   DOUBLE,
  S1     CHAR(50),
  S2     CHAR(50),
  F1     DOUBLE,
  F2     DOUBLE,
  refSL  LONG,
  SRCNO  CHAR(20),
  SRCSEQ LONG,
  CTBH   TEXT(50)
)
;

-- Finds CY_KD rows by DJBH; not unique.
CREATE INDEX IX_CY_KD_DJBH ON CY_KD (DJBH)
;

-- Reservations.
CREATE TABLE CY_YD (
  ID               LONG,
  F_Name           TEXT(50),
  F_Phone          TEXT(50),
  F_HouseName      TEXT(50),
  F_HouseTableName TEXT(50),
  F_YDDate         DATETIME,
  F_YDTime         DATETIME,
  F_DDDate         DATETIME,
  F_DDTime         DATETIME,
  F_Status         TEXT(50),
  F_JE             DOUBLE,
  F_BZ             MEMO,
  S1               TEXT(50),
  S2               TEXT(50),
  F1               DOUBLE,
  F2               DOUBLE,
  CONSTRAINT PK_CY_YD PRIMARY KEY (ID)
)
;

-- Member levels with a discount and a points range.
CREATE TABLE vipLevel (
  ID        LONG,
  LevelName TEXT(50),
  ZK        DOUBLE,
  MinJF     LONG,
  MaxJF     LONG,
  CONSTRAINT PK_vipLevel PRIMARY KEY (ID)
)
;

-- Members, each at a level (LevelID = vipLevel.ID).
CREATE TABLE vip (
  ID             LONG,
  VIPID          LONG,
  VIPCardID      TEXT(50),
  VIPName        TEXT(50),
  VIPPile        LONG,
  VIPTelphone    TEXT(50),
  VIPAdress      TEXT(150),
  VIPIdCard      TEXT(18),
  dBeginDate     DATETIME,
  nickname       TEXT(50),
  iCardMoney     DOUBLE,
  cCardType      TEXT(50),
  IsClose        YESNO,
  iPileMoney     DOUBLE,
  iOverPlusMoney DOUBLE,
  CustomerID     LONG,
  dBirthDay      DATETIME,
  Pile           LONG,
  StoreId        LONG,
  Py             TEXT(50),
  AllPile        LONG,
  GroupType      TEXT(50),
  Sex            TEXT(10),
  Mobile         TEXT(50),
  QQ             TEXT(50),
  Email          TEXT(50),
  MemoText       TEXT(200),
  F1             DOUBLE,
  F2             DOUBLE,
  F3             DOUBLE,
  S1             TEXT(255),
  S2             TEXT(255),
  S3             TEXT(255),
  iDiscount      DOUBLE,
  iBPile         DOUBLE,
  LevelID        LONG,
  CONSTRAINT PK_vip PRIMARY KEY (ID)
)
;

-- Membership settings.
CREATE TABLE VipSet (
  ID    LONG,
  VipJF DOUBLE,
  F1    DOUBLE,
  F2    DOUBLE,
  F3    DOUBLE,
  S1    TEXT(50),
  S2    TEXT(50),
  S3    TEXT(50),
  CONSTRAINT PK_VipSet PRIMARY KEY (ID)
)
;
