// Catalogue module: catering rooms, tables, orders and membership.
// Each dataset: provider, connection, update mode, SQL lines and declared fields.
#include "catalogue/modules.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {

constexpr std::string_view kCY_HouseSql[] = {
    "select * from CY_House",
};
constexpr FieldDecl kCY_HouseFields[] = {
    {"ID",         integer,  UW},
    {"MC",         wide(50), U},
    {"S1",         wide(50), U},
    {"S2",         wide(50), U},
    {"F1",         floating, U},
    {"F2",         floating, U},
    {"ParentCode", integer,  U},
};

constexpr std::string_view kCY_HouseTableSql[] = {
    "select a.*,b.mc as housemc from CY_HouseTable a, CY_House b where a.HouseID=b.id",
};
constexpr FieldDecl kCY_HouseTableFields[] = {
    {"ID",        integer,  UW},
    {"HouseID",   integer,  U},
    {"BH",        wide(50), U},
    {"Status",    wide(50), U},
    {"LowAmount", floating, U},
    {"SL",        integer,  U},
    {"S1",        wide(50), U},
    {"S2",        wide(50), U},
    {"F1",        floating, U},
    {"F2",        floating, U},
    {"housemc",   wide(50), none},
    {"DJBH",      wide(50), U},
    {"MasterBH",  wide(50), U},
};

constexpr std::string_view kCY_KDZBSql[] = {
    "select  *  from CY_KDZB ",
};
constexpr FieldDecl kCY_KDZBFields[] = {
    {"DJBH",       wide(50), UW},
    {"RQ",         datetime, U},
    {"CTBH",       wide(50), U},
    {"BKSL",       integer,  U},
    {"ZK",         floating, U},
    {"JE",         floating, U},
    {"YSJE",       floating, U},
    {"ServerName", wide(50), U},
    {"JSR",        wide(50), U},
    {"BZ",         wide(50), U},
    {"S1",         wide(50), U},
    {"S2",         wide(50), U},
    {"F1",         floating, U},
    {"F2",         floating, U},
    {"Status",     wide(50), U},
    {"VIPName",    wide(50), U},
};

constexpr std::string_view kCY_KDSql[] = {
    "",
    "select M.*,",
    "H.BH as aBH, H.PM as aPM, H.DW as aDW, H.GG as aGG,JJJ",
    "from CY_KD M, HP H, M inner join H on M.HPID=H.ID",
};
constexpr FieldDecl kCY_KDFields[] = {
    {"ID",     autoinc.readOnly(), UW},
    {"DJBH",   wide(50),           U},
    {"HH",     integer,            U},
    {"RQ",     datetime,           U},
    {"HPID",   integer,            U},
    {"SL",     floating,           U},
    {"DJ",     floating,           U},
    {"NSL",    floating,           U},
    {"CBDJ",   floating,           U},
    {"S1",     wide(50).fixed(),   U},
    {"S2",     wide(50).fixed(),   U},
    {"F1",     floating,           U},
    {"F2",     floating,           U},
    {"refSL",  integer,            U},
    {"SRCNO",  wide(20).fixed(),   U},
    {"SRCSEQ", integer,            U},
    {"aBH",    wide(20),           none},
    {"aPM",    wide(40),           none},
    {"aDW",    wide(4),            none},
    {"aGG",    wide(50),           none},
    {"JJJ",    floating,           U},
    {"CTBH",   wide(50),           U},
};

constexpr std::string_view kCY_YDSql[] = {
    "select *",
    "from CY_YD",
};
constexpr FieldDecl kCY_YDFields[] = {
    {"ID",               integer,  UW},
    {"F_Name",           wide(50), U},
    {"F_Phone",          wide(50), U},
    {"F_HouseName",      wide(50), U},
    {"F_HouseTableName", wide(50), U},
    {"F_YDDate",         datetime, U},
    {"F_YDTime",         datetime, U},
    {"F_DDDate",         datetime, U},
    {"F_DDTime",         datetime, U},
    {"F_Status",         wide(50), U},
    {"F_JE",             floating, U},
    {"F_BZ",             memo,     U},
    {"S1",               wide(50), U},
    {"S2",               wide(50), U},
    {"F1",               floating, U},
    {"F2",               floating, U},
};

constexpr std::string_view kVipLevelSql[] = {
    "select * from vipLevel",
};
constexpr FieldDecl kVipLevelFields[] = {
    {"ID",        integer,  UW},
    {"LevelName", wide(50), U},
    {"ZK",        floating, U},
    {"MinJF",     integer,  U},
    {"MaxJF",     integer,  U},
};

constexpr std::string_view kVIPSql[] = {
    "select v.*,LevelName,ZK",
    "from vip v left join viplevel l on v.levelid=l.id",
};
constexpr FieldDecl kVIPFields[] = {
    {"ID",             integer,   UW},
    {"VIPID",          integer,   U},
    {"VIPCardID",      wide(50),  U},
    {"VIPName",        wide(50),  U},
    {"VIPPile",        integer,   U},
    {"VIPTelphone",    wide(50),  U},
    {"VIPAdress",      wide(150), U},
    {"VIPIdCard",      wide(18),  U},
    {"dBeginDate",     datetime,  U},
    {"nickname",       wide(50),  U},
    {"iCardMoney",     floating,  U},
    {"cCardType",      wide(50),  U},
    {"IsClose",        boolean,   U},
    {"iPileMoney",     floating,  U},
    {"iOverPlusMoney", floating,  U},
    {"CustomerID",     integer,   U},
    {"dBirthDay",      datetime,  U},
    {"Pile",           integer,   U},
    {"StoreId",        integer,   U},
    {"Py",             wide(50),  U},
    {"AllPile",        integer,   U},
    {"GroupType",      wide(50),  U},
    {"Sex",            wide(10),  U},
    {"Mobile",         wide(50),  U},
    {"QQ",             wide(50),  U},
    {"Email",          wide(50),  U},
    {"MemoText",       wide(200), U},
    {"F1",             floating,  U},
    {"F2",             floating,  U},
    {"F3",             floating,  U},
    {"S1",             wide(255), U},
    {"S2",             wide(255), U},
    {"S3",             wide(255), U},
    {"iDiscount",      floating,  U},
    {"iBPile",         floating,  U},
    {"LevelID",        integer,   U},
    {"LevelName",      wide(50),  none},
    {"ZK",             floating,  none},
};

constexpr std::string_view kVipSetSql[] = {
    "select * from VipSet",
};
constexpr FieldDecl kVipSetFields[] = {
    {"ID",    integer,  UW},
    {"VipJF", floating, U},
    {"F1",    floating, U},
    {"F2",    floating, U},
    {"F3",    floating, U},
    {"S1",    wide(50), U},
    {"S2",    wide(50), U},
    {"S3",    wide(50), U},
};

constexpr DatasetDecl kDatasets[] = {
    {"CY_House", "pCY_House", Connection::Cn, UpdateMode::WhereAll,
     kCY_HouseSql, kCY_HouseFields},
    {"CY_HouseTable", "pCY_HouseTable", Connection::Cn, UpdateMode::WhereAll,
     kCY_HouseTableSql, kCY_HouseTableFields},
    {"CY_KDZB", "pCY_KDZB", Connection::Cn, UpdateMode::WhereAll,
     kCY_KDZBSql, kCY_KDZBFields},
    {"CY_KD", "pCY_KD", Connection::Cn, UpdateMode::WhereAll,
     kCY_KDSql, kCY_KDFields},
    {"CY_YD", "pCY_YD", Connection::Cn, UpdateMode::WhereAll,
     kCY_YDSql, kCY_YDFields},
    {"VipLevel", "pVipLevel", Connection::Cn, UpdateMode::WhereAll,
     kVipLevelSql, kVipLevelFields},
    {"VIP", "pVIP", Connection::Cn, UpdateMode::WhereAll,
     kVIPSql, kVIPFields},
    {"VipSet", "pVipSet", Connection::Cn, UpdateMode::WhereAll,
     kVipSetSql, kVipSetFields},
};

}  // namespace

ModuleDecl cateringModule() { return {"Catering", kDatasets}; }

}  // namespace rvz::catalogue
