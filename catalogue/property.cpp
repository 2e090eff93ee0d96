// Catalogue module: property management: estates, rooms, fees and repair bills.
// Each dataset: provider, connection, update mode, SQL lines and declared fields.
#include "catalogue/modules.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {

constexpr std::string_view kWy_ProjectSql[] = {
    "select * from Wy_Project",
};
constexpr FieldDecl kWy_ProjectFields[] = {
    {"id",      integer,  UW},
    {"Pid",     integer,  U},
    {"Name",    wide(50), U},
    {"Orderby", integer,  U},
    {"Flag",    smallint, U},
};

constexpr std::string_view kXiaoquSql[] = {
    "select * from Wy_xiaoqu",
};
constexpr FieldDecl kXiaoquFields[] = {
    {"ID",           integer,   UW},
    {"F_code",       wide(50),  U},
    {"F_name",       wide(255), U},
    {"F_address",    wide(255), U},
    {"F_mem1",       memo,      U},
    {"F_mem2",       memo,      U},
    {"F_LYamount",   integer,   U},
    {"F_roomAmount", integer,   U},
    {"F_cltAmount",  integer,   U},
    {"F_kzAmount",   integer,   U},
};

constexpr std::string_view kClientRoomSql[] = {
    "select * from Wy_ClientRoom",
};
constexpr FieldDecl kClientRoomFields[] = {
    {"ID",           integer,   UW},
    {"F_reccode",    wide(50),  U},
    {"F_Roomcode",   wide(50),  U},
    {"F_DanYuan",    wide(50),  U},
    {"F_RoomType",   wide(50),  U},
    {"F_chenshu",    wide(50),  U},
    {"F_buildArea",  floating,  U},
    {"F_useArea",    floating,  U},
    {"F_chanquan",   wide(255), U},
    {"F_mem1",       memo,      U},
    {"F_xiaoquName", wide(50),  U},
    {"F_useStatus",  wide(255), U},
    {"F_useDate",    datetime,  U},
    {"F_cltName",    wide(50),  U},
    {"F_sex",        wide(50),  U},
    {"F_SFZcode",    wide(50),  U},
    {"F_unit",       wide(50),  U},
    {"F_phone",      wide(50),  U},
    {"F_handphone",  wide(50),  U},
    {"F_address",    wide(255), U},
    {"F_mem2",       memo,      U},
};

constexpr std::string_view kCltSearchSql[] = {
    "select * from Wy_ClientRoom order by F_Roomcode",
};
constexpr FieldDecl kCltSearchFields[] = {
    {"ID",           integer,   W},
    {"F_reccode",    wide(50),  none},
    {"F_Roomcode",   wide(50),  none},
    {"F_DanYuan",    wide(50),  none},
    {"F_RoomType",   wide(50),  none},
    {"F_chenshu",    wide(50),  none},
    {"F_buildArea",  floating,  none},
    {"F_useArea",    floating,  none},
    {"F_chanquan",   wide(255), none},
    {"F_mem1",       memo,      none},
    {"F_xiaoquName", wide(50),  none},
    {"F_useStatus",  wide(255), none},
    {"F_useDate",    datetime,  none},
    {"F_cltName",    wide(50),  none},
    {"F_sex",        wide(50),  none},
    {"F_SFZcode",    wide(50),  none},
    {"F_unit",       wide(50),  none},
    {"F_phone",      wide(50),  none},
    {"F_handphone",  wide(50),  none},
    {"F_address",    wide(255), none},
    {"F_mem2",       memo,      none},
};

constexpr std::string_view kZHTSSql[] = {
    "select * from Wy_ZHTS",
};
constexpr FieldDecl kZHTSFields[] = {
    {"ID",          integer,  UW},
    {"F_code",      wide(50), U},
    {"F_empName",   wide(50), U},
    {"F_cltcode",   wide(50), U},
    {"F_cltname",   wide(50), U},
    {"F_tsDate",    datetime, U},
    {"F_clDate",    datetime, U},
    {"F_clempname", wide(50), U},
    {"F_tsMem1",    memo,     U},
    {"F_tsmem2",    memo,     U},
    {"F_jibie",     wide(50), U},
};

constexpr std::string_view kPublicSetSql[] = {
    "select * from Wy_PublicSet",
};
constexpr FieldDecl kPublicSetFields[] = {
    {"ID",           integer,   UW},
    {"F_code",       wide(50),  UW},
    {"F_name",       wide(255), UW},
    {"F_type",       wide(50),  UW},
    {"F_pinpai",     wide(255), UW},
    {"F_spec",       wide(255), UW},
    {"F_address",    wide(255), UW},
    {"F_amount",     floating,  UW},
    {"F_price",      floating,  UW},
    {"F_totalprice", floating,  UW},
    {"F_mem",        memo,      UW},
};

constexpr std::string_view kCarPosSql[] = {
    "select * from Wy_CarPos",
};
constexpr FieldDecl kCarPosFields[] = {
    {"ID",        integer,   UW},
    {"F_code",    wide(50),  U},
    {"F_name",    wide(255), U},
    {"F_area",    floating,  U},
    {"F_SFprice", floating,  U},
    {"F_Mem",     memo,      U},
    {"F_flag",    boolean,   U},
};

constexpr std::string_view kCltCarPosSql[] = {
    "select * from Wy_CltCarPos",
};
constexpr FieldDecl kCltCarPosFields[] = {
    {"ID",        integer,   UW},
    {"F_recCode", wide(50),  U},
    {"F_carCode", wide(50),  U},
    {"F_carName", wide(255), U},
    {"F_carArea", floating,  U},
    {"F_cltCode", wide(50),  U},
    {"F_cltName", wide(255), U},
    {"F_useDate", datetime,  U},
    {"F_price",   floating,  U},
    {"F_year",    integer,   U},
    {"F_month",   integer,   U},
    {"F_mem",     memo,      U},
    {"F_empName", wide(50),  U},
};

constexpr std::string_view kGoodsSql[] = {
    "select * from Wy_Goods",
};
constexpr FieldDecl kGoodsFields[] = {
    {"ID",        integer,   UW},
    {"F_code",    wide(50),  U},
    {"F_name",    wide(255), U},
    {"F_unit",    wide(50),  U},
    {"F_type",    wide(50),  U},
    {"F_pinpai",  wide(255), U},
    {"F_spec",    wide(255), U},
    {"F_address", wide(255), U},
    {"F_price",   floating,  U},
    {"F_mem",     memo,      U},
};

constexpr std::string_view kCltFyRecSql[] = {
    "select a.*,b.F_cltName,b.F_chenshu,b.F_danyuan,b.F_buildarea,b.F_usearea",
    "from Wy_CltFyRec a,Wy_ClientRoom b,",
    "a left join b on a.F_fjcode=b.F_RoomCode ",
    "order by a.F_fjcode",
};
constexpr FieldDecl kCltFyRecFields[] = {
    {"ID",             integer,  UW},
    {"F_RECcode",      wide(50), U},
    {"F_fjcode",       wide(50), U},
    {"F_Year",         integer,  U},
    {"F_Month",        integer,  U},
    {"F_SBcode",       wide(50), U},
    {"F_SFbegin",      floating, U},
    {"F_SFend",        floating, U},
    {"F_SFamount",     floating, U},
    {"F_SFprice",      floating, U},
    {"F_SFtotalprice", floating, U},
    {"F_DBcode",       wide(50), U},
    {"F_DFbegin",      floating, U},
    {"F_DFend",        floating, U},
    {"F_DFamount",     floating, U},
    {"F_DFprice",      floating, U},
    {"F_DFtotalprice", floating, U},
    {"F_QBcode",       wide(50), U},
    {"F_QFbegin",      floating, U},
    {"F_QFend",        floating, U},
    {"F_QFamount",     floating, U},
    {"F_QFprice",      floating, U},
    {"F_QFtotalprice", floating, U},
    {"F_GGGLprice",    floating, U},
    {"F_GGSSprice",    floating, U},
    {"F_LJprice",      floating, U},
    {"F_GLPrice",      floating, U},
    {"F_otherPrice",   floating, U},
    {"F_totalprice",   floating, U},
    {"F_ZNJprice",     floating, U},
    {"F_empName",      wide(50), U},
    {"F_EditDate",     datetime, U},
    {"F_mem",          memo,     U},
    {"F_cltName",      wide(50), none},
    {"F_chenshu",      wide(50), none},
    {"F_danyuan",      wide(50), none},
    {"F_buildarea",    floating, none},
    {"F_usearea",      floating, none},
};

constexpr std::string_view kCltFkRecSql[] = {
    "select a.*,b.F_cltName,b.F_chenshu,b.F_danyuan,b.F_buildarea,b.F_usearea",
    "from Wy_CltFkRec a,Wy_ClientRoom b,",
    "a left join b on a.F_fjcode=b.F_RoomCode ",
    "order by a.F_fjcode",
};
constexpr FieldDecl kCltFkRecFields[] = {
    {"ID",          integer,  UW},
    {"F_recCode",   wide(50), U},
    {"F_fjCode",    wide(50), U},
    {"F_YJprice",   floating, U},
    {"F_JFprice",   floating, U},
    {"F_QFprice",   floating, U},
    {"F_jkDate",    datetime, U},
    {"F_editDate",  datetime, U},
    {"F_empname",   wide(50), U},
    {"F_mem",       memo,     U},
    {"F_cltName",   wide(50), none},
    {"F_chenshu",   wide(50), none},
    {"F_danyuan",   wide(50), none},
    {"F_buildarea", floating, none},
    {"F_usearea",   floating, none},
};

constexpr std::string_view kBaoxiuzbSql[] = {
    "select * from Wy_ZHBXzb",
    "",
};
constexpr FieldDecl kBaoxiuzbFields[] = {
    {"ID",           integer,  UW},
    {"DJBH",         wide(50), U},
    {"RQ",           datetime, U},
    {"F_code",       wide(50), U},
    {"F_empname",    wide(50), U},
    {"F_bxDate",     datetime, U},
    {"F_clempname",  wide(50), U},
    {"F_mem1",       memo,     U},
    {"F_fwPrice",    floating, U},
    {"F_wlPrice",    floating, U},
    {"F_cltname",    wide(50), U},
    {"F_cltcode",    wide(50), U},
    {"F_xfDate",     datetime, U},
    {"F_totalprice", floating, U},
    {"F_mem2",       memo,     U},
    {"F_jibie",      wide(50), U},
    {"uFlag",        integer,  UW},
};

constexpr std::string_view kBaoxiuSql[] = {
    "select * from  Wy_ZHBX",
};
constexpr FieldDecl kBaoxiuFields[] = {
    {"ZBID",       integer,   UW},
    {"HH",         integer,   UW},
    {"RQ",         datetime,  U},
    {"F_code",     wide(50),  U},
    {"F_GOODcode", wide(50),  U},
    {"F_GOODname", wide(255), U},
    {"F_unit",     wide(50),  U},
    {"F_type",     wide(50),  U},
    {"F_spec",     wide(50),  U},
    {"F_pinpai",   wide(255), U},
    {"F_address",  wide(255), U},
    {"F_mem",      memo,      U},
    {"DJ",         floating,  U},
    {"JE",         floating,  U},
    {"SL",         floating,  UW},
};

constexpr std::string_view kSBWXzbSql[] = {
    "select * from Wy_SBWXzb",
    "",
};
constexpr FieldDecl kSBWXzbFields[] = {
    {"ID",           integer,  UW},
    {"DJBH",         wide(50), U},
    {"RQ",           datetime, U},
    {"F_code",       wide(50), U},
    {"F_empname",    wide(50), U},
    {"F_bxDate",     datetime, U},
    {"F_clempname",  wide(50), U},
    {"F_mem1",       memo,     U},
    {"F_fwPrice",    floating, U},
    {"F_wlPrice",    floating, U},
    {"F_SETname",    wide(50), U},
    {"F_SETcode",    wide(50), U},
    {"F_xfDate",     datetime, U},
    {"F_totalprice", floating, U},
    {"F_mem2",       memo,     U},
    {"F_jibie",      wide(50), U},
    {"uFlag",        integer,  U},
};

constexpr std::string_view kSBWXSql[] = {
    "select * from  Wy_SBWX",
};
constexpr FieldDecl kSBWXFields[] = {
    {"ZBID",       integer,   UW},
    {"HH",         integer,   UW},
    {"F_code",     wide(50),  U},
    {"F_GOODcode", wide(50),  U},
    {"F_GOODname", wide(255), U},
    {"F_unit",     wide(50),  U},
    {"F_type",     wide(50),  U},
    {"F_spec",     wide(50),  U},
    {"F_pinpai",   wide(255), U},
    {"F_address",  wide(255), U},
    {"SL",         floating,  U},
    {"DJ",         floating,  U},
    {"JE",         floating,  U},
    {"F_mem",      memo,      U},
    {"RQ",         datetime,  U},
};

constexpr DatasetDecl kDatasets[] = {
    {"Wy_Project", "pWy_Project", Connection::Cn, UpdateMode::WhereAll,
     kWy_ProjectSql, kWy_ProjectFields},
    {"Xiaoqu", "pXiaoqu", Connection::Cn, UpdateMode::WhereAll,
     kXiaoquSql, kXiaoquFields},
    {"ClientRoom", "pClientRoom", Connection::Cn, UpdateMode::WhereAll,
     kClientRoomSql, kClientRoomFields},
    {"CltSearch", "pCltSearch", Connection::Cn, UpdateMode::WhereAll,
     kCltSearchSql, kCltSearchFields},
    {"ZHTS", "pZHTS", Connection::Cn, UpdateMode::WhereAll,
     kZHTSSql, kZHTSFields},
    {"PublicSet", "pPublicSet", Connection::Cn, UpdateMode::WhereAll,
     kPublicSetSql, kPublicSetFields},
    {"CarPos", "pCarPos", Connection::Cn, UpdateMode::WhereAll,
     kCarPosSql, kCarPosFields},
    {"CltCarPos", "pCltCarPos", Connection::Cn, UpdateMode::WhereAll,
     kCltCarPosSql, kCltCarPosFields},
    {"Goods", "pGoods", Connection::Cn, UpdateMode::WhereAll,
     kGoodsSql, kGoodsFields},
    {"CltFyRec", "pCltFyRec", Connection::Cn, UpdateMode::WhereAll,
     kCltFyRecSql, kCltFyRecFields},
    {"CltFkRec", "pCltFkRec", Connection::Cn, UpdateMode::WhereAll,
     kCltFkRecSql, kCltFkRecFields},
    {"Baoxiuzb", "pWy_ZHBXzb", Connection::Cn, UpdateMode::WhereAll,
     kBaoxiuzbSql, kBaoxiuzbFields},
    {"Baoxiu", "pWy_ZHBX", Connection::Cn, UpdateMode::WhereAll,
     kBaoxiuSql, kBaoxiuFields},
    {"SBWXzb", "pWy_SBWXzb", Connection::Cn, UpdateMode::WhereAll,
     kSBWXzbSql, kSBWXzbFields},
    {"SBWX", "pWy_SBWX", Connection::Cn, UpdateMode::WhereAll,
     kSBWXSql, kSBWXFields},
};

}  // namespace

ModuleDecl propertyModule() { return {"Property", kDatasets}; }

}  // namespace rvz::catalogue
