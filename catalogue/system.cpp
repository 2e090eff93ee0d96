// Catalogue module: system datasets: free-SQL datasets, the account registry, users, groups, menus, log, settings and
// print templates. Each dataset: provider, connection, update mode, SQL lines and declared fields.
#include "catalogue/modules.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {







constexpr std::string_view kAdsAccountsSql[] = {
    "select * from Act_DODar",
};

constexpr std::string_view kVersionInforSql[] = {
    "select * from VersionInfor",
};
constexpr FieldDecl kVersionInforFields[] = {
    {"sName",     wide(50),         UW},
    {"sFileName", wide(50),         U},
    {"sVersion",  wide(50),         U},
    {"pict",      blob,             U},
    {"S1",        wide(50).fixed(), U},
    {"S2",        wide(50).fixed(), U},
    {"F1",        floating,         U},
    {"F2",        floating,         U},
};

constexpr std::string_view kAppUserGroupSql[] = {
    "select a.*,b.mc from AppUserGroup a,bm b where a.bmid=b.id",
};
constexpr FieldDecl kAppUserGroupFields[] = {
    {"ID",    integer,   UW},
    {"gName", wide(20),  U},
    {"gMemo", wide(200), U},
    {"bmid",  integer,   U},
    {"F1",    integer,   U},
    {"F2",    integer,   U},
    {"F3",    integer,   U},
    {"S1",    wide(50),  U},
    {"S2",    wide(50),  U},
    {"S3",    wide(50),  U},
    {"mc",    wide(50),  none},
};

constexpr std::string_view kAppUserSql[] = {
    "select a.*, y.xm as aYGMC from appuser a left join yg y on a.ygid=y.id",
};
constexpr FieldDecl kAppUserFields[] = {
    {"ID",        integer,   UWK},
    {"uCode",     wide(8),   U},
    {"uName",     wide(20),  U},
    {"uPassword", wide(8),   U},
    {"gID",       wide(255), U},
    {"gName",     wide(255), U},
    {"YGID",      integer,   U},
    {"aYGMC",     wide(20),  none},
};

constexpr std::string_view kAppGroupDesktopClassSql[] = {
    "select * from AppGroupDesktopClass",
};
constexpr FieldDecl kAppGroupDesktopClassFields[] = {
    {"gName", str(20), UW},
    {"cName", str(30), UW},
};

constexpr std::string_view kAppSelectSql[] = {
    "select * from Appselect",
};
constexpr FieldDecl kAppSelectFields[] = {
    {"DATASET",    str(20), UWK},
    {"FIELDNAME",  str(20), UWK},
    {"AUTOUPDATE", boolean, UW},
    {"DATASELECT", memo,    UW},
    {"DefaultRow", integer, UW},
};

constexpr std::string_view kAppLogSql[] = {
    "select * from AppLog order by RQ desc,uName,SJ",
};
constexpr FieldDecl kAppLogFields[] = {
    {"uName", str(20), UW},
    {"cName", str(20), UW},
    {"CZ",    str(30), UW},
    {"RQ",    date,    UW},
    {"SJ",    str(5),  UW},
};

constexpr std::string_view kAppMenuSql[] = {
    "select * from AppMenu",
};
constexpr FieldDecl kAppMenuFields[] = {
    {"mName",     str(30), UW},
    {"mCaption",  str(50), UW},
    {"mLevel",    integer, UW},
    {"mIndex",    integer, UW},
    {"mIsParent", boolean, UW},
};

constexpr std::string_view kAdsProjectSql[] = {
    "select * from project",
};
constexpr FieldDecl kAdsProjectFields[] = {
    {"id",         integer,  UW},
    {"Pid",        integer,  U},
    {"Name",       wide(50), U},
    {"Flag",       integer,  UW},
    {"OrderIndex", wide(50), U},
};

constexpr std::string_view kCompanyInfoSql[] = {
    "select * from CompanyInfo",
};
constexpr FieldDecl kCompanyInfoFields[] = {
    {"fAccountID",       integer,        UW},
    {"fBeginDate",       datetime,       U},
    {"fCurrentDate",     datetime,       U},
    {"fEndDate",         datetime,       U},
    {"fNatureMoney",     wide(50),       U},
    {"fDefaultPrice",    integer,        U},
    {"fIsAutoAlarm",     boolean,        U},
    {"fIsAudit",         boolean,        U},
    {"fIsMultiMoney",    boolean,        U},
    {"fversion",         wide(50),       U},
    {"fWhich",           wide(50),       U},
    {"fCompanyName",     wide(50),       U},
    {"fEnglishName",     wide(100),      U},
    {"fCompanyType",     wide(50),       U},
    {"fAddress",         wide(200),      U},
    {"fTel",             wide(200),      U},
    {"fPostCode",        wide(50),       U},
    {"fLawMan",          wide(50),       U},
    {"fTaxAccout",       wide(50),       U},
    {"fBank",            wide(50),       U},
    {"fBankAccount",     wide(50),       U},
    {"fHomePage",        wide(200),      U},
    {"fEmail",           wide(200),      U},
    {"fTaxAddRate",      decimal(10, 2), U},
    {"fStatus",          integer,        U},
    {"fTaxRate",         decimal(10, 2), U},
    {"fAuditNum",        integer,        U},
    {"fExportModalFile", wide(255),      U},
    {"fExportModalRow",  integer,        U},
    {"fIsOrderKC",       boolean,        U},
    {"fExcelPageSetup",  wide(255),      U},
    {"fZK",              floating,       U},
    {"fIsFSCK",          boolean,        U},
    {"fBoolean1",        boolean,        U},
    {"fBoolean2",        boolean,        U},
    {"fBoolean3",        boolean,        U},
    {"fBoolean4",        boolean,        U},
    {"fBoolean5",        boolean,        U},
    {"fBoolean6",        boolean,        U},
    {"fBoolean7",        boolean,        U},
    {"fBoolean8",        boolean,        U},
    {"fBoolean9",        boolean,        U},
    {"fBoolean10",       boolean,        U},
    {"fS1",              wide(50),       U},
    {"fS2",              wide(50),       U},
    {"fS3",              wide(50),       U},
    {"fS4",              wide(50),       U},
    {"fS5",              wide(50),       U},
    {"fFloat1",          floating,       U},
    {"fFloat2",          floating,       U},
    {"fFloat3",          floating,       U},
    {"fFloat4",          floating,       U},
    {"fFloat5",          floating,       U},
    {"HP_SX1",           wide(20),       U},
    {"HP_SX2",           wide(20),       U},
    {"HP_SX3",           wide(20),       U},
    {"HP_SX4",           wide(20),       U},
    {"HP_SX5",           wide(20),       U},
    {"HP_SX6",           wide(20),       U},
};

constexpr std::string_view kTableColumnsSql[] = {
    "select * from TableColumns",
};
constexpr FieldDecl kTableColumnsFields[] = {
    {"ID",           autoinc.readOnly(), UW},
    {"XH",           integer,            U},
    {"TableName",    wide(255),          U},
    {"FieldName",    wide(50),           U},
    {"FieldCaption", wide(255),          U},
    {"IsShow",       boolean,            U},
    {"PrintIsShow",  boolean,            U},
    {"Width",        integer,            U},
    {"S1",           wide(255),          U},
    {"S2",           wide(255),          U},
    {"F1",           floating,           U},
    {"F2",           floating,           U},
    {"Zt1",          wide(255),          U},
    {"Zt2",          wide(255),          U},
};

constexpr std::string_view kPub_PrintModalSql[] = {
    "select * from pub_PrintModal",
};
constexpr FieldDecl kPub_PrintModalFields[] = {
    {"ID",             integer,   UW},
    {"SystemName",     wide(255), U},
    {"ObjectName",     wide(50),  U},
    {"FileName",       wide(255), U},
    {"FileStream",     blob,      U},
    {"MasterBegin",    integer,   U},
    {"DetailRowBegin", integer,   U},
    {"DetailColBegin", integer,   U},
    {"RooterRowBegin", integer,   U},
    {"IsParam",        boolean,   U},
    {"AllRows",        integer,   U},
};

constexpr std::string_view kReport_print_rmSql[] = {
    "select * from Report_print_rm",
};
constexpr FieldDecl kReport_print_rmFields[] = {
    {"group_code",  wide(30), UW},
    {"xh",          wide(50), UW},
    {"report_name", wide(60), U},
    {"report_data", blob,     U},
    {"rpttype",     wide(10), U},
    {"fDefault",    boolean,  U},
};

constexpr DatasetDecl kDatasets[] = {
    {"Tmp", "pTmp", Connection::Cn, UpdateMode::WhereAll,
     {}, {}},
    {"Tmpf", "pTmpf", Connection::Cn, UpdateMode::WhereAll,
     {}, {}},
    {"Tmpl", "pTmpl", Connection::Cn, UpdateMode::WhereAll,
     {}, {}},
    {"QryPub", "pQryPub", Connection::Cn, UpdateMode::WhereAll,
     {}, {}},
    {"pub", "pPub", Connection::Cn, UpdateMode::WhereAll,
     {}, {}},
    {"AccountTemp", "pAccountTemp", Connection::conAccounts, UpdateMode::WhereAll,
     {}, {}},
    {"adsAccounts", "dspAccounts", Connection::conAccounts, UpdateMode::WhereAll,
     kAdsAccountsSql, {}},
    {"VersionInfor", "pVersionInfor", Connection::conAccounts, UpdateMode::WhereAll,
     kVersionInforSql, kVersionInforFields},
    {"AppUserGroup", "pAppUserGroup", Connection::Cn, UpdateMode::WhereAll,
     kAppUserGroupSql, kAppUserGroupFields},
    {"AppUser", "pAppUser", Connection::Cn, UpdateMode::WhereChanged,
     kAppUserSql, kAppUserFields},
    {"AppGroupDesktopClass", "pAppGroupDesktopClass", Connection::Cn, UpdateMode::WhereAll,
     kAppGroupDesktopClassSql, kAppGroupDesktopClassFields},
    {"AppSelect", "pAppSelect", Connection::Cn, UpdateMode::WhereAll,
     kAppSelectSql, kAppSelectFields},
    {"AppLog", "pAppLog", Connection::Cn, UpdateMode::KeyOnly,
     kAppLogSql, kAppLogFields},
    {"AppMenu", "pAppMenu", Connection::Cn, UpdateMode::WhereAll,
     kAppMenuSql, kAppMenuFields},
    {"adsProject", "pProject", Connection::Cn, UpdateMode::WhereAll,
     kAdsProjectSql, kAdsProjectFields},
    {"CompanyInfo", "pCompanyInfo", Connection::Cn, UpdateMode::WhereAll,
     kCompanyInfoSql, kCompanyInfoFields},
    {"TableColumns", "pTableColumns", Connection::Cn, UpdateMode::WhereAll,
     kTableColumnsSql, kTableColumnsFields},
    {"pub_PrintModal", "pPub_PrintModal", Connection::Cn, UpdateMode::WhereAll,
     kPub_PrintModalSql, kPub_PrintModalFields},
    {"Report_print_rm", "pReport_print_rm", Connection::Cn, UpdateMode::WhereAll,
     kReport_print_rmSql, kReport_print_rmFields},
};

}  // namespace

ModuleDecl systemModule() { return {"System", kDatasets}; }

}  // namespace rvz::catalogue
