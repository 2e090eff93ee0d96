// Catalogue module: master data: regions, departments, customers, suppliers, accounts, warehouses, staff and goods.
// Each dataset: provider, connection, update mode, SQL lines and declared fields.
#include "catalogue/modules.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {

constexpr std::string_view kDqSql[] = {
    "SELECT A.MC  AS ParentName, B.*",
    "FROM  DQ AS B LEFT JOIN  DQ AS A ON B.ParentCode=A.ID",
    "",
};
constexpr FieldDecl kDqFields[] = {
    {"ID",         integer,          UW},
    {"ParentCode", integer,          U},
    {"MC",         wide(12),         U},
    {"ZT",         boolean,          U},
    {"S1",         wide(50).fixed(), U},
    {"S2",         wide(50).fixed(), U},
    {"F1",         floating,         U},
    {"F2",         floating,         U},
    {"ParentName", wide(12),         none},
};

constexpr std::string_view kBmSql[] = {
    "SELECT A.MC  AS ParentName, B.*",
    "FROM  BM AS B LEFT JOIN  BM AS A ON B.ParentCode=A.ID",
};
constexpr FieldDecl kBmFields[] = {
    {"ID",         integer,  UW},
    {"ParentCode", integer,  U},
    {"ZT",         boolean,  U},
    {"S1",         wide(50), U},
    {"S2",         wide(50), U},
    {"ParentName", wide(16), none},
    {"MC",         str(50),  U},
    {"JE",         floating, U},
    {"F1",         floating, U},
    {"F2",         floating, U},
    {"ZJM",        wide(20), U},
};

constexpr std::string_view kKhSql[] = {
    "select K.*, D.MC as aDQMC, VIPName,K.QMJE-K.YXJE as aSJJE ",
    "from (KH K left outer join DQ D on K.DQID=D.ID) left outer join VIP V on K.LevelID=V.id ",
};
constexpr FieldDecl kKhFields[] = {
    {"ID",         integer,   UW},
    {"BH",         str(12),   U},
    {"MC",         str(20),   U},
    {"QC",         str(40),   U},
    {"DQID",       integer,   U},
    {"aDQMC",      str(12),   none},
    {"LXR",        str(16),   U},
    {"DH",         str(20),   U},
    {"CZ",         str(20),   U},
    {"DZ",         str(40),   U},
    {"YB",         str(6),    U},
    {"WZ",         str(40),   U},
    {"DY",         str(40),   U},
    {"KHYH",       str(30),   U},
    {"YHZH",       str(20),   U},
    {"NSH",        str(20),   U},
    {"QCJE",       floating,  U},
    {"YXJE",       floating,  U},
    {"QMJE",       floating,  none},
    {"aSJJE",      floating,  none},
    {"XYED",       floating,  U},
    {"ZT",         boolean,   U},
    {"ITMP",       integer,   U},
    {"BZ",         wide(255), U},
    {"Laiy",       wide(50),  U},
    {"Zhuangt",    wide(50),  U},
    {"Xingy",      wide(50),  U},
    {"TypeID",     integer,   U},
    {"LevelID",    integer,   U},
    {"VIPName",    wide(50),  none},
    {"PriceLevel", wide(20),  U},
    {"dengji",     wide(50),  U},
    {"ZJM",        wide(20),  U},
};

constexpr std::string_view kGysSql[] = {
    "select G.*,QMJE-YXJE as aSJJE, D.MC as aDQMC",
    "from GYS G left join DQ D on G.DQID=D.ID ",
    "order by G.BH",
    "",
};
constexpr FieldDecl kGysFields[] = {
    {"ID",         integer,  UW},
    {"BH",         str(12),  U},
    {"MC",         str(20),  U},
    {"QC",         str(40),  U},
    {"DQID",       integer,  U},
    {"LXR",        str(16),  U},
    {"DH",         str(20),  U},
    {"CZ",         str(20),  U},
    {"DZ",         str(40),  U},
    {"YB",         str(6),   U},
    {"WZ",         str(40),  U},
    {"DY",         str(40),  U},
    {"KHYH",       str(30),  U},
    {"YHZH",       str(20),  U},
    {"NSH",        str(20),  U},
    {"QCJE",       floating, U},
    {"YXJE",       floating, U},
    {"QMJE",       floating, none},
    {"aSJJE",      floating, none},
    {"ZT",         boolean,  U},
    {"BZ",         str(50),  U},
    {"ITMP",       integer,  U},
    {"aDQMC",      wide(12), none},
    {"ZJM",        wide(20), U},
    {"PriceLevel", wide(20), U},
};

constexpr std::string_view kZhSql[] = {
    "select *,iif(YHL,'银行存款类','现金类') as aYHL from ZH",
};
constexpr FieldDecl kZhFields[] = {
    {"ID",   integer,  UW},
    {"MC",   str(20),  U},
    {"YHL",  boolean,  U},
    {"aYHL", str(255), none},
    {"KHYH", str(40),  U},
    {"YHZH", str(20),  U},
    {"QCJE", floating, U},
    {"QMJE", floating, none},
    {"ITMP", integer,  U},
};

constexpr std::string_view kSfkfsSql[] = {
    "select S.*, Z.MC as aZHMC ",
    "from SFKFS S left join ZH Z on S.ZHID=Z.ID ",
    "order by S.ID",
};
constexpr FieldDecl kSfkfsFields[] = {
    {"ID",    integer, UW},
    {"MC",    str(16), U},
    {"ZHID",  integer, U},
    {"aZHMC", str(20), none},
};

constexpr std::string_view kSrzclbSql[] = {
    "select *,iif(SRL,'收入类','支出类') as aSRL from SRZCLB order by BH",
};
constexpr FieldDecl kSrzclbFields[] = {
    {"ID",   integer,  UW},
    {"BH",   str(6),   U},
    {"MC",   str(20),  U},
    {"SRL",  boolean,  U},
    {"aSRL", str(255), none},
    {"BZ",   str(32),  U},
};

constexpr std::string_view kCkSql[] = {
    "select b.mc as bmmc,c.* from CK  C  left join BM B on c.bmid=b.id",
    "",
};
constexpr FieldDecl kCkFields[] = {
    {"ID",   integer,          UW},
    {"XH",   integer,          U},
    {"MC",   str(16),          U},
    {"WZ",   str(40),          U},
    {"BMID", integer,          U},
    {"BZ",   str(40),          U},
    {"S1",   wide(50).fixed(), U},
    {"S2",   wide(50).fixed(), U},
    {"F1",   floating,         U},
    {"F2",   floating,         U},
    {"bmmc", wide(50),         none},
};

constexpr std::string_view kYglbSql[] = {
    "select * from YGLB",
};
constexpr FieldDecl kYglbFields[] = {
    {"ID", integer, UW},
    {"MC", str(32), U},
};

constexpr std::string_view kYgSql[] = {
    "select Y.*,B.MC as aBMMC,L.MC as aYGLBMC,",
    "'' as aYWYBZ,",
    "'' as aJSFF,",
    "'' as aLZ ",
    "from YG Y,BM B,YGLB L,",
    "Y left join B on Y.BMID = B.ID,",
    "Y left join L on Y.YGLBID = L.ID",
    "order by BH",
};
constexpr FieldDecl kYgFields[] = {
    {"ID",        integer,   UW},
    {"BH",        str(10),   U},
    {"XM",        str(20),   U},
    {"XB",        str(2),    U},
    {"BMID",      integer,   U},
    {"aBMMC",     str(16),   none},
    {"YGLBID",    integer,   U},
    {"aYGLBMC",   str(16),   none},
    {"ZW",        str(20),   U},
    {"CSRQ",      date,      U},
    {"XL",        str(10),   U},
    {"DH",        str(20),   U},
    {"BP",        str(15),   U},
    {"ZZ",        str(40),   U},
    {"SFZH",      str(18),   U},
    {"JG",        str(20),   U},
    {"YB",        str(6),    U},
    {"RZRQ",      date,      U},
    {"JSFF",      integer,   U},
    {"aJSFF",     str(255),  none},
    {"JBGZ",      floating,  U},
    {"LZ",        boolean,   U},
    {"aYWYBZ",    str(255),  none},
    {"YWYBZ",     boolean,   U},
    {"aLZ",       str(255),  none},
    {"HF",        boolean,   U},
    {"MZ",        wide(20),  U},
    {"XLLB",      wide(20),  U},
    {"DACODE",    wide(50),  U},
    {"JSZC",      wide(20),  U},
    {"XUEXIAO",   wide(50),  U},
    {"ZUANYE",    wide(30),  U},
    {"BYRQ",      datetime,  U},
    {"LXDH",      wide(50),  U},
    {"MOVEPHONE", wide(50),  U},
    {"SFZCODE",   wide(50),  U},
    {"LAIYUAN",   wide(20),  U},
    {"GZKH",      wide(30),  U},
    {"ZZMM",      wide(20),  U},
    {"PYXS",      wide(20),  U},
    {"QDRQ",      datetime,  U},
    {"HTQX",      wide(20),  U},
    {"HTDQSJ",    datetime,  U},
    {"CB",        boolean,   U},
    {"YGIMAGE",   blob,      U},
    {"BZ",        wide(100), U},
    {"YBH",       wide(50),  U},
    {"SBH",       wide(50),  U},
    {"GJJ",       wide(50),  U},
    {"DAH",       wide(50),  U},
    {"ZZRQ",      datetime,  U},
    {"DWGL",      integer,   U},
    {"GL",        integer,   U},
    {"LZRQ",      datetime,  U},
    {"LZLX",      wide(20),  U},
    {"LZYY",      wide(100), U},
    {"ZJM",       wide(20),  U},
    {"DZYY",      wide(50),  U},
    {"GRJL",      memo,      U},
    {"JTCY",      memo,      U},
};

constexpr std::string_view kHplbSql[] = {
    "select * from HPLB",
};
constexpr FieldDecl kHplbFields[] = {
    {"ID", integer, UW},
    {"MC", str(16), U},
    {"BZ", str(30), U},
};

constexpr std::string_view kItemTypeSql[] = {
    "SELECT A.TypeName AS ParentName, B.*",
    "FROM Pub_ItemType AS B LEFT JOIN Pub_ItemType AS A ON B.ParentCode=A.ItemType",
};
constexpr FieldDecl kItemTypeFields[] = {
    {"ParentName", wide(50), none},
    {"ItemType",   integer,  UW},
    {"TypeName",   wide(50), U},
    {"ParentCode", integer,  U},
    {"ZT",         boolean,  U},
    {"S1",         wide(50), U},
    {"S2",         wide(50), U},
    {"TypeCode",   wide(50), U},
    {"F1",         floating, U},
    {"F2",         floating, U},
};

constexpr std::string_view kPub_ProjectSql[] = {
    "SELECT A.TypeName AS ParentName, B.*",
    "FROM Pub_Project AS B LEFT JOIN Pub_Project AS A ON B.ParentCode=A.ItemType",
};
constexpr FieldDecl kPub_ProjectFields[] = {
    {"ItemType",   integer,  UW},
    {"TypeName",   wide(50), U},
    {"ParentCode", integer,  U},
    {"ParentName", wide(50), none},
    {"ZT",         boolean,  U},
    {"S1",         wide(50), U},
    {"S2",         wide(50), U},
    {"F1",         floating, U},
    {"F2",         floating, U},
};

constexpr std::string_view kCyjsdwSql[] = {
    "select * from CYJSDW",
};
constexpr FieldDecl kCyjsdwFields[] = {
    {"MC", str(8), UWK},
};

constexpr std::string_view kHphsffSql[] = {
    "select * from HPHSFF",
};
constexpr FieldDecl kHphsffFields[] = {
    {"ID", integer, UW},
    {"MC", str(20), U},
    {"LB", integer, U},
};

constexpr std::string_view kHPHSFSSql[] = {
    "select * from HPHSFS",
};
constexpr FieldDecl kHPHSFSFields[] = {
    {"ID", integer,          UW},
    {"MC", wide(20),         U},
    {"S1", wide(50).fixed(), U},
    {"S2", wide(50).fixed(), U},
    {"F1", floating,         U},
    {"F2", floating,         U},
};

constexpr std::string_view kHpSql[] = {
    "select H.*, ",
    "L.TypeName as aHPLBMC",
    " from HP H Left outer join Pub_ItemType L on H.HPLBID=L.ItemType   ",
    "order by H.BH",
};
constexpr FieldDecl kHpFields[] = {
    {"ID",         integer,   UW},
    {"BH",         wide(20),  U},
    {"BARCODE",    wide(20),  U},
    {"HPLBID",     integer,   U},
    {"aHPLBMC",    wide(50),  none},
    {"PM",         wide(40),  U},
    {"GG",         wide(50),  U},
    {"DW",         wide(4),   U},
    {"HPSXID",     integer,   U},
    {"HPHSFFID",   integer,   U},
    {"HPHSFSID",   smallint,  U},
    {"JJ",         floating,  U},
    {"JJJ",        floating,  U},
    {"JQJ",        floating,  U},
    {"JHY",        floating,  U},
    {"JVIP",       floating,  U},
    {"SX",         floating,  U},
    {"XX",         floating,  U},
    {"InSL",       floating,  U},
    {"CKID",       integer,   U},
    {"ZT",         boolean,   U},
    {"IsMaterial", boolean,   U},
    {"IsProduct",  boolean,   U},
    {"BZ",         wide(255), U},
    {"ZJM",        wide(20),  U},
    {"SX1",        wide(50),  U},
    {"SX2",        wide(50),  U},
    {"SX3",        wide(50),  U},
    {"SX4",        floating,  U},
    {"SX5",        floating,  U},
    {"SX6",        floating,  U},
    {"JS1",        floating,  U},
    {"JS2",        floating,  U},
    {"JS3",        floating,  U},
    {"JS4",        floating,  U},
};

constexpr std::string_view kHP_DWSql[] = {
    "select * from hp_dw",
};
constexpr FieldDecl kHP_DWFields[] = {
    {"RECID",  wide(20), UW},
    {"HPID",   integer,  U},
    {"DW",     wide(4),  U},
    {"ISBASE", boolean,  U},
    {"ISYW",   boolean,  U},
    {"RATE",   floating, U},
};

constexpr std::string_view kHpsjSql[] = {
    "select * from HPSJ",
};
constexpr FieldDecl kHpsjFields[] = {
    {"SJZLID", integer,  UW},
    {"HPID",   integer,  UW},
    {"SJ",     floating, U},
};

constexpr std::string_view kSjzlSql[] = {
    "select * from Sjzl order by XH",
};
constexpr FieldDecl kSjzlFields[] = {
    {"ID", integer,  UW},
    {"XH", smallint, U},
    {"MC", str(16),  U},
    {"BZ", str(30),  U},
};

constexpr std::string_view kHpkcSql[] = {
    "select * from HPKC",
};
constexpr FieldDecl kHpkcFields[] = {
    {"CKID", integer,  UW},
    {"HPID", integer,  UW},
    {"QCS",  floating, U},
    {"JCS",  floating, U},
};

constexpr std::string_view kHpCkXxSql[] = {
    "select MC,JCS from CK,HPKC",
};
constexpr FieldDecl kHpCkXxFields[] = {
    {"MC",  str(16),  UW},
    {"JCS", floating, UW},
};

constexpr std::string_view kHp_PictSql[] = {
    "select * from hp_pict",
};
constexpr FieldDecl kHp_PictFields[] = {
    {"YGID", integer,  U},
    {"Ext",  wide(20), U},
    {"pict", blob,     U},
    {"V1",   wide(40), U},
    {"V2",   wide(20), U},
    {"V3",   wide(50), U},
    {"V4",   wide(50), U},
    {"ID",   integer,  UW},
};

constexpr std::string_view kQryQProductsSql[] = {
    "SELECT BH,PM,GG,ZJM from Hp order by BH",
};
constexpr FieldDecl kQryQProductsFields[] = {
    {"BH",  str(20), UW},
    {"PM",  str(40), UW},
    {"GG",  str(50), UW},
    {"ZJM", str(20), UW},
};

constexpr std::string_view kQtkcbdlxSql[] = {
    "select * from QTKCBDLX",
};
constexpr FieldDecl kQtkcbdlxFields[] = {
    {"ID",   integer, UW},
    {"MC",   str(20), U},
    {"RKL",  boolean, U},
    {"THBZ", boolean, U},
};

constexpr DatasetDecl kDatasets[] = {
    {"Dq", "pDq", Connection::Cn, UpdateMode::WhereAll,
     kDqSql, kDqFields},
    {"Bm", "pBm", Connection::Cn, UpdateMode::WhereAll,
     kBmSql, kBmFields},
    {"Kh", "pKh", Connection::Cn, UpdateMode::WhereAll,
     kKhSql, kKhFields},
    {"Gys", "pGys", Connection::Cn, UpdateMode::WhereAll,
     kGysSql, kGysFields},
    {"Zh", "pZh", Connection::Cn, UpdateMode::WhereAll,
     kZhSql, kZhFields},
    {"Sfkfs", "pSfkfs", Connection::Cn, UpdateMode::WhereAll,
     kSfkfsSql, kSfkfsFields},
    {"Srzclb", "pSrzclb", Connection::Cn, UpdateMode::WhereAll,
     kSrzclbSql, kSrzclbFields},
    {"Ck", "pCk", Connection::Cn, UpdateMode::WhereAll,
     kCkSql, kCkFields},
    {"Yglb", "pYglb", Connection::Cn, UpdateMode::WhereAll,
     kYglbSql, kYglbFields},
    {"Yg", "pYg", Connection::Cn, UpdateMode::WhereAll,
     kYgSql, kYgFields},
    {"Hplb", "pHplb", Connection::Cn, UpdateMode::WhereAll,
     kHplbSql, kHplbFields},
    {"ItemType", "pItemType", Connection::Cn, UpdateMode::WhereAll,
     kItemTypeSql, kItemTypeFields},
    {"Pub_Project", "pPub_Project", Connection::Cn, UpdateMode::WhereAll,
     kPub_ProjectSql, kPub_ProjectFields},
    {"Cyjsdw", "pCyjsdw", Connection::Cn, UpdateMode::WhereAll,
     kCyjsdwSql, kCyjsdwFields},
    {"Hphsff", "pHphsff", Connection::Cn, UpdateMode::WhereAll,
     kHphsffSql, kHphsffFields},
    {"HPHSFS", "pHPHSFS", Connection::Cn, UpdateMode::WhereAll,
     kHPHSFSSql, kHPHSFSFields},
    {"Hp", "pHp", Connection::Cn, UpdateMode::WhereAll,
     kHpSql, kHpFields},
    {"HP_DW", "pHp_DW", Connection::Cn, UpdateMode::WhereAll,
     kHP_DWSql, kHP_DWFields},
    {"Hpsj", "pHpsj", Connection::Cn, UpdateMode::WhereAll,
     kHpsjSql, kHpsjFields},
    {"Sjzl", "pSjzl", Connection::Cn, UpdateMode::WhereAll,
     kSjzlSql, kSjzlFields},
    {"Hpkc", "pHpkc", Connection::Cn, UpdateMode::WhereAll,
     kHpkcSql, kHpkcFields},
    {"HpCkXx", "pHpCkXx", Connection::Cn, UpdateMode::WhereAll,
     kHpCkXxSql, kHpCkXxFields},
    {"Hp_Pict", "pHp_Pict", Connection::Cn, UpdateMode::WhereAll,
     kHp_PictSql, kHp_PictFields},
    {"qryQProducts", "pQProducts", Connection::Cn, UpdateMode::WhereAll,
     kQryQProductsSql, kQryQProductsFields},
    {"Qtkcbdlx", "pQtkcbdlx", Connection::Cn, UpdateMode::WhereAll,
     kQtkcbdlxSql, kQtkcbdlxFields},
};

}  // namespace

ModuleDecl masterDataModule() { return {"MasterData", kDatasets}; }

}  // namespace rvz::catalogue
