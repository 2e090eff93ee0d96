// Catalogue module: production: workshops, bills of materials, plans and orders.
// Each dataset: provider, connection, update mode, SQL lines and declared fields.
#include "catalogue/modules.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {

constexpr std::string_view kCjSql[] = {
    "select * from Cj order by XH",
};
constexpr FieldDecl kCjFields[] = {
    {"ID", integer,  UW},
    {"XH", smallint, U},
    {"MC", wide(16), U},
    {"WZ", wide(40), U},
    {"BZ", wide(40), U},
    {"S1", wide(50), U},
    {"S2", wide(50), U},
    {"F1", floating, U},
    {"F2", floating, U},
};

constexpr std::string_view kSC_BomzbSql[] = {
    "select M.*,",
    "H.BH as aBH, H.PM as aPM, H.DW as aDW ,H.GG as aGG ",
    "from SC_BOMZB M, HP H, M inner join H on M.HPID=H.ID",
};
constexpr FieldDecl kSC_BomzbFields[] = {
    {"ID",           integer,   UW},
    {"DJBH",         wide(14),  U},
    {"RQ",           datetime,  U},
    {"HPID",         integer,   U},
    {"SL",           floating,  U},
    {"RATE_CC",      floating,  U},
    {"GS",           floating,  U},
    {"BZ",           wide(100), U},
    {"CZY",          wide(8),   U},
    {"uFlag",        integer,   U},
    {"S1",           wide(50),  U},
    {"S2",           wide(50),  U},
    {"F1",           floating,  U},
    {"F2",           floating,  U},
    {"aBH",          wide(20),  none},
    {"aPM",          wide(40),  none},
    {"aDW",          wide(4),   none},
    {"aGG",          wide(50),  none},
    {"SrcBillNo",    wide(20),  U},
    {"ManualBillNo", wide(20),  U},
};

constexpr std::string_view kSC_BomSql[] = {
    "SELECT M.*, H.BH AS aBH, H.PM AS aPM, H.DW AS aDW, H.GG AS aGG",
    "FROM SC_BOM AS M LEFT JOIN HP AS H ON M.HPID=H.ID",
};
constexpr FieldDecl kSC_BomFields[] = {
    {"ZBID",     integer,  UW},
    {"HH",       integer,  UW},
    {"RQ",       datetime, U},
    {"PARENTID", integer,  U},
    {"HPID",     integer,  U},
    {"DW",       wide(4),  U},
    {"SL",       floating, U},
    {"RATE_SH",  floating, U},
    {"BZ",       wide(50), U},
    {"aBH",      wide(20), none},
    {"aPM",      wide(40), none},
    {"aDW",      wide(4),  none},
    {"aGG",      wide(50), none},
    {"refSL",    integer,  U},
    {"DJBH",     wide(14), U},
    {"SX1",      wide(50), U},
    {"SX2",      wide(50), U},
    {"SX3",      wide(50), U},
    {"SX4",      floating, U},
    {"SX5",      floating, U},
    {"SX6",      floating, U},
};

constexpr std::string_view kSC_scjhZBSql[] = {
    "SELECT Z.*",
    "FROM SC_SCJHZB AS Z",
    "ORDER BY Z.DJBH;",
};
constexpr FieldDecl kSC_scjhZBFields[] = {
    {"ID",           integer,  UW},
    {"DJBH",         wide(14), U},
    {"RQ",           date,     U},
    {"JSR",          str(8),   U},
    {"JE",           floating, U},
    {"BZ",           str(40),  U},
    {"CZY",          str(8),   U},
    {"uFlag",        integer,  U},
    {"JHRQ",         datetime, U},
    {"S1",           wide(50), U},
    {"S2",           wide(50), U},
    {"F1",           floating, U},
    {"F2",           floating, U},
    {"SrcBillNo",    wide(20), U},
    {"ManualBillNo", wide(20), U},
};

constexpr std::string_view kSC_scjhSql[] = {
    "SELECT M.*, H.BH AS aBH, H.PM AS aPM, H.DW AS aDW, H.GG AS aGG",
    "FROM SC_SCJH AS M LEFT JOIN HP AS H ON M.HPID=H.ID;",
};
constexpr FieldDecl kSC_scjhFields[] = {
    {"ZBID",   integer,  UW},
    {"HH",     integer,  UW},
    {"RQ",     date,     U},
    {"HPID",   integer,  U},
    {"aBH",    str(20),  none},
    {"DW",     wide(4),  U},
    {"aPM",    str(40),  none},
    {"aGG",    str(40),  none},
    {"aDW",    str(4),   none},
    {"SL",     floating, U},
    {"DJ",     floating, U},
    {"SRCSEQ", integer,  U},
    {"SRCNO",  wide(20), U},
    {"refSL",  integer,  U},
    {"DJBH",   wide(14), U},
    {"SX1",    wide(50), U},
    {"SX2",    wide(50), U},
    {"SX3",    wide(50), U},
    {"SX4",    floating, U},
    {"SX5",    floating, U},
    {"SX6",    floating, U},
};

constexpr std::string_view kSC_wlxqjhZBSql[] = {
    "SELECT Z.*",
    "FROM SC_WLXQJHZB AS Z",
    "ORDER BY Z.DJBH;",
    "",
    "",
};
constexpr FieldDecl kSC_wlxqjhZBFields[] = {
    {"ID",           integer,  UW},
    {"DJBH",         wide(14), U},
    {"RQ",           date,     U},
    {"JSR",          str(8),   U},
    {"JE",           floating, U},
    {"BZ",           str(40),  U},
    {"CZY",          str(8),   U},
    {"uFlag",        integer,  U},
    {"JHRQ",         datetime, U},
    {"S1",           wide(50), U},
    {"S2",           wide(50), U},
    {"F1",           floating, U},
    {"F2",           floating, U},
    {"SrcBillNo",    wide(20), U},
    {"ManualBillNo", wide(20), U},
};

constexpr std::string_view kSC_wlxqjhSql[] = {
    "SELECT M.*, H.BH AS aBH, H.PM AS aPM, H.DW AS aDW, H.GG AS aGG",
    "FROM SC_WLXQJH AS M LEFT JOIN HP AS H ON M.HPID=H.ID;",
};
constexpr FieldDecl kSC_wlxqjhFields[] = {
    {"ZBID",   integer,  UW},
    {"HH",     integer,  UW},
    {"RQ",     date,     U},
    {"HPID",   integer,  U},
    {"aBH",    str(20),  none},
    {"DW",     wide(4),  U},
    {"aPM",    str(40),  none},
    {"aGG",    str(40),  none},
    {"aDW",    str(4),   none},
    {"SL",     floating, U},
    {"DJ",     floating, U},
    {"SRCSEQ", integer,  U},
    {"SRCNO",  wide(20), U},
    {"refSL",  integer,  U},
    {"DJBH",   wide(14), U},
    {"SX1",    wide(50), U},
    {"SX2",    wide(50), U},
    {"SX3",    wide(50), U},
    {"SX4",    floating, U},
    {"SX5",    floating, U},
    {"SX6",    floating, U},
};

constexpr std::string_view kSC_cgjhZBSql[] = {
    "SELECT Z.*",
    "FROM SC_CGJHZB AS Z",
    "ORDER BY Z.DJBH;",
};
constexpr FieldDecl kSC_cgjhZBFields[] = {
    {"ID",           integer,  UW},
    {"DJBH",         wide(14), U},
    {"RQ",           date,     U},
    {"JSR",          str(8),   U},
    {"JE",           floating, U},
    {"BZ",           str(40),  U},
    {"CZY",          str(8),   U},
    {"uFlag",        integer,  U},
    {"JHRQ",         datetime, U},
    {"S1",           wide(50), U},
    {"S2",           wide(50), U},
    {"F1",           floating, U},
    {"F2",           floating, U},
    {"SrcBillNo",    wide(20), U},
    {"ManualBillNo", wide(20), U},
};

constexpr std::string_view kSC_cgjhSql[] = {
    "SELECT M.*, H.BH AS aBH, H.PM AS aPM, H.DW AS aDW, H.GG AS aGG",
    "FROM SC_CGJH AS M LEFT JOIN HP AS H ON M.HPID=H.ID;",
};
constexpr FieldDecl kSC_cgjhFields[] = {
    {"ZBID",   integer,  UW},
    {"HH",     integer,  UW},
    {"RQ",     date,     U},
    {"HPID",   integer,  U},
    {"DW",     wide(4),  U},
    {"aBH",    str(20),  none},
    {"aPM",    str(40),  none},
    {"aGG",    str(40),  none},
    {"aDW",    str(4),   none},
    {"SL",     floating, U},
    {"DJ",     floating, U},
    {"SRCSEQ", integer,  U},
    {"SRCNO",  wide(20), U},
    {"refSL",  integer,  U},
    {"DJBH",   wide(14), U},
    {"SX1",    wide(50), U},
    {"SX2",    wide(50), U},
    {"SX3",    wide(50), U},
    {"SX4",    floating, U},
    {"SX5",    floating, U},
    {"SX6",    floating, U},
};

constexpr std::string_view kSC_ProduceOrderZBSql[] = {
    "select Z.*,",
    "C.MC as aCJMC ",
    "from SC_ProduceOrderZB Z,CJ C",
    "where Z.CJID = C.ID ",
    "order by Z.DJBH",
};
constexpr FieldDecl kSC_ProduceOrderZBFields[] = {
    {"ID",           integer,   UW},
    {"DJBH",         wide(14),  U},
    {"RQ",           datetime,  U},
    {"JHRQ",         datetime,  U},
    {"JSR",          wide(8),   U},
    {"CJID",         integer,   U},
    {"JE",           floating,  U},
    {"BZ",           wide(100), U},
    {"CZY",          wide(8),   U},
    {"uFlag",        integer,   U},
    {"BeginDate",    datetime,  U},
    {"EndDate",      datetime,  U},
    {"BeginFlag",    boolean,   U},
    {"EndFlag",      boolean,   U},
    {"BachNo",       wide(20),  U},
    {"BillType",     wide(20),  U},
    {"SrcBillNo",    wide(20),  U},
    {"ManualBillNo", wide(20),  U},
    {"S1",           wide(50),  U},
    {"S2",           wide(50),  U},
    {"F1",           floating,  U},
    {"F2",           floating,  U},
    {"aCJMC",        wide(16),  none},
};
// The one declared parameter of the catalogue; the SQL has no marker for it.
constexpr ParamDecl kSC_ProduceOrderZBParams[] = {
    {"Z.CJID", FieldType::WideString, 510, 255, 255, true, 1},
};

constexpr std::string_view kSC_ProduceOrderSql[] = {
    "SELECT M.*, H.BH AS aBH, H.PM AS aPM, H.DW AS aDW, H.GG AS aGG",
    "FROM SC_ProduceOrder AS M LEFT JOIN HP AS H ON M.HPID=H.ID",
};
constexpr FieldDecl kSC_ProduceOrderFields[] = {
    {"ZBID",   integer,  UW},
    {"HH",     integer,  UW},
    {"RQ",     datetime, U},
    {"HPID",   integer,  U},
    {"SL",     floating, U},
    {"DW",     wide(4),  U},
    {"DJ",     floating, U},
    {"refSL",  floating, U},
    {"SRCNO",  wide(20), U},
    {"SRCSEQ", integer,  U},
    {"aBH",    wide(20), none},
    {"aPM",    wide(40), none},
    {"aDW",    wide(4),  none},
    {"aGG",    wide(50), none},
    {"DJBH",   wide(14), U},
    {"SX1",    wide(50), U},
    {"SX2",    wide(50), U},
    {"SX3",    wide(50), U},
    {"SX4",    floating, U},
    {"SX5",    floating, U},
    {"SX6",    floating, U},
};

constexpr std::string_view kSC_WtjgZBSql[] = {
    "select Z.*,",
    "G.BH as aGYSBH,G.MC as GYSMC ",
    "from SC_WtjgZB Z,GYS G",
    "where Z.GYSID = G.ID ",
    "order by Z.DJBH",
};
constexpr FieldDecl kSC_WtjgZBFields[] = {
    {"ID",           integer,   UW},
    {"DJBH",         wide(14),  U},
    {"RQ",           datetime,  U},
    {"JSR",          wide(8),   U},
    {"GYSID",        integer,   U},
    {"JE",           floating,  U},
    {"BZ",           wide(100), U},
    {"CZY",          wide(8),   U},
    {"uFlag",        integer,   U},
    {"EndDate",      datetime,  U},
    {"EndFlag",      boolean,   U},
    {"BachNo",       wide(20),  U},
    {"BillType",     wide(20),  U},
    {"SrcBillNo",    wide(20),  U},
    {"ManualBillNo", wide(20),  U},
    {"S1",           wide(50),  U},
    {"S2",           wide(50),  U},
    {"F1",           floating,  U},
    {"F2",           floating,  U},
    {"GYSMC",        wide(20),  none},
    {"aGYSBH",       wide(12),  none},
};

constexpr std::string_view kSC_WtjgSql[] = {
    "SELECT M.*, H.BH AS aBH, H.PM AS aPM, H.DW AS aDW, H.GG AS aGG",
    "FROM SC_Wtjg AS M LEFT JOIN HP AS H ON M.HPID=H.ID",
};
constexpr FieldDecl kSC_WtjgFields[] = {
    {"ZBID",   integer,  UW},
    {"HH",     integer,  UW},
    {"DJBH",   wide(14), U},
    {"RQ",     datetime, U},
    {"HPID",   integer,  U},
    {"DW",     wide(4),  U},
    {"SL",     floating, U},
    {"DJ",     floating, U},
    {"refSL",  integer,  U},
    {"SRCNO",  wide(20), U},
    {"SRCSEQ", integer,  U},
    {"aBH",    wide(20), none},
    {"aPM",    wide(40), none},
    {"aDW",    wide(4),  none},
    {"aGG",    wide(50), none},
};

constexpr DatasetDecl kDatasets[] = {
    {"Cj", "pCj", Connection::Cn, UpdateMode::WhereAll,
     kCjSql, kCjFields},
    {"SC_Bomzb", "pSC_Bomzb", Connection::Cn, UpdateMode::WhereAll,
     kSC_BomzbSql, kSC_BomzbFields},
    {"SC_Bom", "pSC_Bom", Connection::Cn, UpdateMode::WhereAll,
     kSC_BomSql, kSC_BomFields},
    {"SC_scjhZB", "pSC_scjhZB", Connection::Cn, UpdateMode::WhereAll,
     kSC_scjhZBSql, kSC_scjhZBFields},
    {"SC_scjh", "pSC_scjh", Connection::Cn, UpdateMode::WhereAll,
     kSC_scjhSql, kSC_scjhFields},
    {"SC_wlxqjhZB", "pSC_wlxqjhZB", Connection::Cn, UpdateMode::WhereAll,
     kSC_wlxqjhZBSql, kSC_wlxqjhZBFields},
    {"SC_wlxqjh", "pSC_wlxqjh", Connection::Cn, UpdateMode::WhereAll,
     kSC_wlxqjhSql, kSC_wlxqjhFields},
    {"SC_cgjhZB", "pSC_cgjhZB", Connection::Cn, UpdateMode::WhereAll,
     kSC_cgjhZBSql, kSC_cgjhZBFields},
    {"SC_cgjh", "pSC_cgjh", Connection::Cn, UpdateMode::WhereAll,
     kSC_cgjhSql, kSC_cgjhFields},
    {"SC_ProduceOrderZB", "pSC_ProduceOrderZB", Connection::Cn, UpdateMode::WhereAll,
     kSC_ProduceOrderZBSql, kSC_ProduceOrderZBFields, kSC_ProduceOrderZBParams},
    {"SC_ProduceOrder", "pSC_ProduceOrder", Connection::Cn, UpdateMode::WhereAll,
     kSC_ProduceOrderSql, kSC_ProduceOrderFields},
    {"SC_WtjgZB", "pSC_WtjgZB", Connection::Cn, UpdateMode::WhereAll,
     kSC_WtjgZBSql, kSC_WtjgZBFields},
    {"SC_Wtjg", "pSC_Wtjg", Connection::Cn, UpdateMode::WhereAll,
     kSC_WtjgSql, kSC_WtjgFields},
};

}  // namespace

ModuleDecl productionModule() { return {"Production", kDatasets}; }

}  // namespace rvz::catalogue
