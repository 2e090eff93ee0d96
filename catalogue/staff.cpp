// Catalogue module: staff records, payroll and office records.
// Each dataset: provider, connection, update mode, SQL lines and declared fields.
#include "catalogue/modules.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {

constexpr std::string_view kYg_PictSql[] = {
    "select * from yg_pict",
};
constexpr FieldDecl kYg_PictFields[] = {
    {"YGID", integer,  U},
    {"Ext",  wide(20), U},
    {"pict", blob,     U},
    {"V1",   wide(40), U},
    {"V2",   wide(20), U},
    {"V3",   wide(50), U},
    {"V4",   wide(50), U},
    {"ID",   integer,  UW},
};

constexpr std::string_view kRs_ContractSql[] = {
    "select * from Rs_Contract",
};
constexpr FieldDecl kRs_ContractFields[] = {
    {"ID",          integer,   UW},
    {"F_empID",     integer,   U},
    {"F_code",      wide(50),  U},
    {"F_name",      wide(50),  U},
    {"F_dept",      wide(50),  U},
    {"F_HTcode",    wide(50),  U},
    {"F_HTname",    wide(50),  U},
    {"F_HTtype",    wide(50),  U},
    {"F_beginDate", datetime,  U},
    {"F_endDate",   datetime,  U},
    {"F_YFamount",  wide(50),  U},
    {"F_Memo1",     memo,      U},
    {"F_HTstatus",  wide(50),  U},
    {"F_FilePath",  wide(255), U},
    {"F_PZemp",     wide(50),  U},
    {"F_Memo2",     memo,      U},
    {"F_useFlag",   boolean,   U},
    {"F_editDate",  datetime,  U},
    {"RQ",          datetime,  U},
};

constexpr std::string_view kRS_PXSql[] = {
    "select * from Rs_PX",
};
constexpr FieldDecl kRS_PXFields[] = {
    {"ID",         integer,   UW},
    {"F_empID",    integer,   U},
    {"F_Code",     wide(50),  U},
    {"F_Name",     wide(50),  U},
    {"F_Dept",     wide(255), U},
    {"F_fromDate", datetime,  U},
    {"F_toDate",   datetime,  U},
    {"F_address",  wide(255), U},
    {"F_kecheng",  wide(255), U},
    {"F_zhengshu", wide(50),  U},
    {"F_mem",      memo,      U},
    {"F_pxname",   wide(100), U},
    {"RQ",         datetime,  U},
};

constexpr std::string_view kRs_KHSql[] = {
    "select * from Rs_KH",
};
constexpr FieldDecl kRs_KHFields[] = {
    {"ID",         integer,   UW},
    {"F_empID",    integer,   U},
    {"F_code",     wide(50),  U},
    {"F_name",     wide(50),  U},
    {"F_dept",     wide(50),  U},
    {"F_KHtype",   wide(50),  U},
    {"F_KHqixian", wide(50),  U},
    {"F_KHtime",   wide(255), U},
    {"F_KHcj",     integer,   U},
    {"F_KHdj",     wide(50),  U},
    {"F_Memo1",    memo,      U},
    {"F_PJemp",    wide(50),  U},
    {"F_Memo2",    memo,      U},
    {"RQ",         datetime,  U},
};

constexpr std::string_view kRs_DDSql[] = {
    "select *",
    "from Rs_DD ",
};
constexpr FieldDecl kRs_DDFields[] = {
    {"ID",          integer,  UW},
    {"F_empID",     integer,  U},
    {"F_code",      wide(50), U},
    {"F_name",      wide(50), U},
    {"F_OLDduty",   wide(50), U},
    {"F_OLDdaCode", wide(50), U},
    {"F_NewDuty",   wide(50), U},
    {"F_DAcode",    wide(50), U},
    {"F_Memo1",     memo,     U},
    {"F_PZemp",     wide(50), U},
    {"F_Memo2",     memo,     U},
    {"F_editDate",  datetime, U},
    {"F_useFlag",   boolean,  U},
    {"F_OLDdept",   wide(50), U},
    {"F_NewDept",   wide(50), U},
    {"RQ",          datetime, U},
};

constexpr std::string_view kRs_JCSql[] = {
    "select * from Rs_JC",
};
constexpr FieldDecl kRs_JCFields[] = {
    {"ID",       integer,  UW},
    {"F_empID",  integer,  UW},
    {"F_code",   wide(50), UW},
    {"F_name",   wide(50), UW},
    {"F_Xm",     wide(50), UW},
    {"F_Lx",     wide(50), UW},
    {"F_CXdate", datetime, UW},
    {"F_Memo1",  memo,     UW},
    {"F_PZemp",  wide(50), UW},
    {"F_Memo2",  memo,     UW},
    {"F_Memo3",  memo,     UW},
    {"F_dept",   wide(50), U},
    {"RQ",       datetime, U},
};

constexpr std::string_view kRs_TXSql[] = {
    "select * from Rs_TX",
};
constexpr FieldDecl kRs_TXFields[] = {
    {"ID",           integer,   UW},
    {"F_empID",      integer,   U},
    {"F_code",       wide(50),  U},
    {"F_name",       wide(50),  U},
    {"F_dept",       wide(255), U},
    {"F_reason",     memo,      U},
    {"F_beginPrice", floating,  U},
    {"F_endPrice",   floating,  U},
    {"F_memo1",      memo,      U},
    {"F_PZemp",      wide(50),  U},
    {"RQ",           datetime,  U},
};

constexpr std::string_view kRs_ZJSql[] = {
    "select * from Rs_ZJ",
};
constexpr FieldDecl kRs_ZJFields[] = {
    {"ID",         integer,   UW},
    {"F_empID",    integer,   U},
    {"F_code",     wide(50),  U},
    {"F_name",     wide(50),  U},
    {"F_dept",     wide(255), U},
    {"F_shuoming", wide(50),  U},
    {"F_dqdate",   datetime,  U},
    {"F_dir",      wide(50),  U},
    {"F_mem",      memo,      U},
    {"RQ",         datetime,  U},
    {"F_TXdate",   datetime,  U},
};

constexpr std::string_view kRs_WorkSql[] = {
    "select * from Rs_work",
};
constexpr FieldDecl kRs_WorkFields[] = {
    {"ID",          integer,  UW},
    {"F_empID",     integer,  U},
    {"F_code",      wide(50), U},
    {"F_name",      wide(50), U},
    {"F_dept",      wide(50), U},
    {"RQ",          datetime, U},
    {"F_Education", memo,     U},
    {"F_Work",      memo,     U},
};

constexpr std::string_view kGz_ItemSql[] = {
    "select * from Gz_Item",
};
constexpr FieldDecl kGz_ItemFields[] = {
    {"ID",         integer,   UW},
    {"HH",         integer,   U},
    {"F_Name",     wide(50),  U},
    {"F_function", wide(250), U},
    {"F_Gs",       wide(250), U},
    {"F_Color",    wide(50),  U},
    {"F1",         integer,   U},
    {"F2",         integer,   U},
    {"S1",         wide(50),  U},
    {"S2",         wide(50),  U},
    {"B1",         boolean,   U},
    {"B2",         boolean,   U},
};

constexpr std::string_view kGz_MonthzbSql[] = {
    "select Z.*",
    "from Gz_MonthZb Z",
};
constexpr FieldDecl kGz_MonthzbFields[] = {
    {"ID",           integer,          UW},
    {"DJBH",         wide(12),         U},
    {"RQ",           datetime,         U},
    {"F_Year",       integer,          U},
    {"F_Month",      integer,          U},
    {"F_TableName",  wide(50),         U},
    {"F_CnTitle",    wide(50),         U},
    {"F_Creater",    wide(50),         U},
    {"F_BeginDate",  datetime,         U},
    {"F_EndDate",    datetime,         U},
    {"S1",           wide(20),         U},
    {"S2",           wide(8),          U},
    {"S3",           wide(50),         U},
    {"F1",           integer,          U},
    {"F2",           integer,          U},
    {"F3",           integer,          U},
    {"uFlag",        integer,          U},
    {"BillType",     wide(20).fixed(), U},
    {"SrcBillNo",    wide(20).fixed(), U},
    {"ManualBillNo", wide(20).fixed(), U},
};

constexpr std::string_view kGz_MonthSql[] = {
    "select B.BH,B.XM,B.JG as A1,B.JG as A2,B.JG as A3,C.MC as BMMC,A.*",
    "from Gz_Month A,YG B,BM C",
    "where A.ygid=B.id ",
    "and B.bmid=C.id",
    "",
};
constexpr FieldDecl kGz_MonthFields[] = {
    {"ZBID", integer,  UW},
    {"YGID", integer,  UW},
    {"BH",   wide(10), none},
    {"BMMC", wide(50), none},
    {"HH",   integer,  U},
    {"RQ",   datetime, U},
    {"F01",  floating, U},
    {"F02",  floating, U},
    {"F03",  floating, U},
    {"F04",  floating, U},
    {"F05",  floating, U},
    {"F06",  floating, U},
    {"F07",  floating, U},
    {"F08",  floating, U},
    {"F09",  floating, U},
    {"F10",  floating, U},
    {"F11",  floating, U},
    {"F12",  floating, U},
    {"F13",  floating, U},
    {"F14",  floating, U},
    {"F15",  floating, U},
    {"F16",  floating, U},
    {"F17",  floating, U},
    {"F18",  floating, U},
    {"F19",  floating, U},
    {"F20",  floating, U},
    {"F21",  floating, U},
    {"F22",  floating, U},
    {"F23",  floating, U},
    {"F24",  floating, U},
    {"F25",  floating, U},
    {"F26",  floating, U},
    {"F27",  floating, U},
    {"F28",  floating, U},
    {"F29",  floating, U},
    {"F30",  floating, U},
    {"F31",  floating, U},
    {"F32",  floating, U},
    {"F33",  floating, U},
    {"F34",  floating, U},
    {"F35",  floating, U},
    {"F36",  floating, U},
    {"F37",  floating, U},
    {"F38",  floating, U},
    {"F39",  floating, U},
    {"F40",  floating, U},
    {"F41",  wide(50), U},
    {"F42",  wide(50), U},
    {"F43",  wide(50), U},
    {"F44",  wide(50), U},
    {"F45",  wide(50), U},
    {"A3",   wide(60), none},
    {"A2",   wide(60), none},
    {"A1",   wide(60), none},
    {"XM",   wide(20), none},
};

constexpr std::string_view kGz_GZongSql[] = {
    "select *  from Gz_GZong",
};
constexpr FieldDecl kGz_GZongFields[] = {
    {"ID",     integer,  UW},
    {"F_Name", wide(50), U},
    {"F1",     integer,  U},
    {"S1",     wide(50), U},
};

constexpr std::string_view kGz_GXuSql[] = {
    "select A.*,B.F_Name as GzName",
    "from Gz_GXu A,Gz_GZong B",
    "where A.F_GzID=B.ID ",
};
constexpr FieldDecl kGz_GXuFields[] = {
    {"ID",     integer,        UW},
    {"F_Name", wide(50),       U},
    {"F_Dw",   wide(255),      U},
    {"F_GzID", integer,        U},
    {"F1",     integer,        U},
    {"S1",     wide(255),      U},
    {"GzName", wide(50),       none},
    {"F_Dj",   decimal(19, 4), U},
};

constexpr std::string_view kGz_JJGZSql[] = {
    "select a.*,F_Name as Gx_Name,c.XM as YG_Name",
    "from Gz_JJGZ a,Gz_Gxu b,YG c,",
    "a left join  b on a.F_GxID=b.id,",
    "a left join c on F_GxID=c.id",
};
constexpr FieldDecl kGz_JJGZFields[] = {
    {"ID",      integer,   UW},
    {"F_empID", integer,   U},
    {"F_GxID",  integer,   U},
    {"F_DJ",    floating,  U},
    {"F_SL",    floating,  U},
    {"F_JBGZ",  floating,  U},
    {"F_Memo",  memo,      U},
    {"S1",      wide(255), U},
    {"S2",      wide(255), U},
    {"F1",      integer,   U},
    {"F2",      integer,   U},
    {"Gx_Name", wide(50),  none},
    {"YG_Name", wide(20),  none},
    {"RQ",      datetime,  U},
};

constexpr std::string_view kGz_GongZSql[] = {
    "select *",
    "from Gz_GongZ",
    "",
};
constexpr FieldDecl kGz_GongZFields[] = {
    {"ID",     integer,        UW},
    {"F_Name", wide(50),       U},
    {"F_Dw",   wide(255),      U},
    {"F_GzID", integer,        U},
    {"F1",     integer,        U},
    {"S1",     wide(255),      U},
    {"F_Dj",   decimal(19, 4), U},
};

constexpr std::string_view kGz_JSGZSql[] = {
    "select a.*,F_Name as Gx_Name,c.XM as YG_Name",
    "from Gz_JSGZ a,Gz_GongZ b,YG c,",
    "a left join  b on a.F_GxID=b.id,",
    "a left join c on F_GxID=c.id",
};
constexpr FieldDecl kGz_JSGZFields[] = {
    {"ID",      integer,   UW},
    {"F_empID", integer,   U},
    {"F_GxID",  integer,   U},
    {"F_DJ",    floating,  U},
    {"F_SL",    floating,  U},
    {"F_JBGZ",  floating,  U},
    {"F_Memo",  memo,      U},
    {"S1",      wide(255), U},
    {"S2",      wide(255), U},
    {"F1",      integer,   U},
    {"F2",      integer,   U},
    {"Gx_Name", wide(50),  none},
    {"YG_Name", wide(20),  none},
    {"RQ",      datetime,  U},
};

constexpr std::string_view kOa_LeaveSql[] = {
    "select * from Oa_Leave",
};
constexpr FieldDecl kOa_LeaveFields[] = {
    {"F_empID",     integer,  U},
    {"F_Code",      wide(50), U},
    {"F_Name",      wide(50), U},
    {"F_Type",      wide(50), U},
    {"F_Dept",      wide(50), U},
    {"F_ApplyDate", datetime, U},
    {"F_YearMonth", wide(50), U},
    {"F_StartDate", datetime, U},
    {"F_EndDate",   datetime, U},
    {"F_Hours",     wide(50), U},
    {"F_Sender1",   wide(50), U},
    {"F_Sender2",   wide(50), U},
    {"F_Memo",      memo,     U},
    {"F_BillDate",  datetime, U},
    {"ID",          integer,  UW},
};

constexpr std::string_view kOa_OvertimeSql[] = {
    "select * from Oa_Overtime",
};
constexpr FieldDecl kOa_OvertimeFields[] = {
    {"ID",          integer,  UW},
    {"F_empID",     integer,  U},
    {"F_Code",      wide(50), U},
    {"F_Name",      wide(50), U},
    {"F_Thing",     wide(50), U},
    {"F_Dept",      wide(50), U},
    {"F_ApplyDate", datetime, U},
    {"F_YearMonth", wide(50), U},
    {"F_StartDate", datetime, U},
    {"F_EndDate",   datetime, U},
    {"F_Hours",     wide(50), U},
    {"F_Type",      wide(50), U},
    {"F_Sender1",   wide(50), U},
    {"F_Sender2",   wide(50), U},
    {"F_Memo",      memo,     U},
    {"F_BillDate",  datetime, U},
};

constexpr std::string_view kOa_HouseSql[] = {
    "select * from Oa_House",
};
constexpr FieldDecl kOa_HouseFields[] = {
    {"ID",         integer,   UW},
    {"F_Name",     wide(50),  U},
    {"F_Type",     wide(50),  U},
    {"F_Tel",      wide(50),  U},
    {"F_Admin",    wide(50),  U},
    {"F_People",   wide(255), U},
    {"F_Thing",    wide(50),  U},
    {"F_Memo",     memo,      U},
    {"F_BillDate", datetime,  U},
};

constexpr std::string_view kOa_KeysSql[] = {
    "select * from Oa_Keys",
};
constexpr FieldDecl kOa_KeysFields[] = {
    {"ID",           integer,  UW},
    {"F_Name",       wide(50), U},
    {"F_BorrowMan",  wide(50), U},
    {"F_BorrowDate", datetime, U},
    {"F_UnReturn",   wide(50), U},
    {"F_Memo",       memo,     U},
    {"F_BillDate",   datetime, U},
    {"F_ReturnDate", datetime, U},
};

constexpr std::string_view kOa_LinkmanSql[] = {
    "select * from Oa_Linkman",
};
constexpr FieldDecl kOa_LinkmanFields[] = {
    {"ID",         integer,  UW},
    {"F_Inc",      wide(50), U},
    {"F_Name",     wide(50), U},
    {"F_Type",     wide(50), U},
    {"F_Sex",      wide(50), U},
    {"F_Tel",      wide(50), U},
    {"F_Handset",  wide(50), U},
    {"F_Email",    wide(50), U},
    {"F_Fax",      wide(50), U},
    {"F_QQ",       wide(50), U},
    {"F_MSN",      wide(50), U},
    {"F_Post",     wide(50), U},
    {"F_Duty",     wide(50), U},
    {"F_Address",  wide(50), U},
    {"F_Memo",     memo,     U},
    {"F_BillDate", datetime, U},
};

constexpr std::string_view kOa_VisitSql[] = {
    "select * from Oa_Visit",
};
constexpr FieldDecl kOa_VisitFields[] = {
    {"ID",            integer,  UW},
    {"F_Name",        wide(50), U},
    {"F_Inc",         wide(50), U},
    {"F_Visitor",     wide(50), U},
    {"F_Tel",         wide(50), U},
    {"F_VisitDate",   datetime, U},
    {"F_YearMonth",   wide(50), U},
    {"F_Interviewee", wide(50), U},
    {"F_Memo",        memo,     U},
    {"F_BillDate",    datetime, U},
};

constexpr std::string_view kOa_PassSql[] = {
    "select * from Oa_Pass",
};
constexpr FieldDecl kOa_PassFields[] = {
    {"ID",          integer,  UW},
    {"F_Name",      wide(50), U},
    {"F_Inc",       wide(50), U},
    {"F_Passer",    wide(50), U},
    {"F_Tel",       wide(50), U},
    {"F_PassDate",  datetime, U},
    {"F_YearMonth", wide(50), U},
    {"F_Passer1",   wide(50), U},
    {"F_Thing",     wide(50), U},
    {"F_Config",    wide(50), U},
    {"F_Unit",      wide(50), U},
    {"F_Number",    wide(50), U},
    {"F_Memo",      memo,     U},
    {"F_BillDate",  datetime, U},
};

constexpr DatasetDecl kDatasets[] = {
    {"Yg_Pict", "pYg_Pict", Connection::Cn, UpdateMode::WhereAll,
     kYg_PictSql, kYg_PictFields},
    {"Rs_Contract", "pRs_Contract", Connection::Cn, UpdateMode::WhereAll,
     kRs_ContractSql, kRs_ContractFields},
    {"RS_PX", "pRs_PX", Connection::Cn, UpdateMode::WhereAll,
     kRS_PXSql, kRS_PXFields},
    {"Rs_KH", "pRs_KH", Connection::Cn, UpdateMode::WhereAll,
     kRs_KHSql, kRs_KHFields},
    {"Rs_DD", "pRs_DD", Connection::Cn, UpdateMode::WhereAll,
     kRs_DDSql, kRs_DDFields},
    {"Rs_JC", "pRs_JC", Connection::Cn, UpdateMode::WhereAll,
     kRs_JCSql, kRs_JCFields},
    {"Rs_TX", "pRs_TX", Connection::Cn, UpdateMode::WhereAll,
     kRs_TXSql, kRs_TXFields},
    {"Rs_ZJ", "pRs_ZJ", Connection::Cn, UpdateMode::WhereAll,
     kRs_ZJSql, kRs_ZJFields},
    {"Rs_Work", "pRs_Work", Connection::Cn, UpdateMode::WhereAll,
     kRs_WorkSql, kRs_WorkFields},
    {"Gz_Item", "pGz_Item", Connection::Cn, UpdateMode::WhereAll,
     kGz_ItemSql, kGz_ItemFields},
    {"Gz_Monthzb", "pGz_Monthzb", Connection::Cn, UpdateMode::WhereAll,
     kGz_MonthzbSql, kGz_MonthzbFields},
    {"Gz_Month", "pGz_Month", Connection::Cn, UpdateMode::WhereAll,
     kGz_MonthSql, kGz_MonthFields},
    {"Gz_GZong", "pGz_GZong", Connection::Cn, UpdateMode::WhereAll,
     kGz_GZongSql, kGz_GZongFields},
    {"Gz_GXu", "pGz_GXu", Connection::Cn, UpdateMode::WhereAll,
     kGz_GXuSql, kGz_GXuFields},
    {"Gz_JJGZ", "pGz_JJGZ", Connection::Cn, UpdateMode::WhereAll,
     kGz_JJGZSql, kGz_JJGZFields},
    {"Gz_GongZ", "pGz_GongZ", Connection::Cn, UpdateMode::WhereAll,
     kGz_GongZSql, kGz_GongZFields},
    {"Gz_JSGZ", "pGz_JSGZ", Connection::Cn, UpdateMode::WhereAll,
     kGz_JSGZSql, kGz_JSGZFields},
    {"Oa_Leave", "pOa_Leave", Connection::Cn, UpdateMode::WhereAll,
     kOa_LeaveSql, kOa_LeaveFields},
    {"Oa_Overtime", "pOa_Overtime", Connection::Cn, UpdateMode::WhereAll,
     kOa_OvertimeSql, kOa_OvertimeFields},
    {"Oa_House", "pOa_House", Connection::Cn, UpdateMode::WhereAll,
     kOa_HouseSql, kOa_HouseFields},
    {"Oa_Keys", "pOa_Keys", Connection::Cn, UpdateMode::WhereAll,
     kOa_KeysSql, kOa_KeysFields},
    {"Oa_Linkman", "pOa_Linkman", Connection::Cn, UpdateMode::WhereAll,
     kOa_LinkmanSql, kOa_LinkmanFields},
    {"Oa_Visit", "pOa_Visit", Connection::Cn, UpdateMode::WhereAll,
     kOa_VisitSql, kOa_VisitFields},
    {"Oa_Pass", "pOa_Pass", Connection::Cn, UpdateMode::WhereAll,
     kOa_PassSql, kOa_PassFields},
};

}  // namespace

ModuleDecl staffModule() { return {"Staff", kDatasets}; }

}  // namespace rvz::catalogue
