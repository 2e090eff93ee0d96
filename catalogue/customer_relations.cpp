// Catalogue module: customer relations tables.
// Each dataset: provider, connection, update mode, SQL lines and declared fields.
#include "catalogue/modules.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {

constexpr std::string_view kQryCrm_CustgjSql[] = {
    "select k.QC,a.*",
    "from Crm_Custgj a inner join kh k on a.custid=k.id",
};
constexpr FieldDecl kQryCrm_CustgjFields[] = {
    {"id",        integer,  UW},
    {"custid",    integer,  U},
    {"custphase", wide(50), U},
    {"custstate", wide(50), U},
    {"people",    wide(50), U},
    {"lasttime",  datetime, U},
    {"selltime",  datetime, U},
    {"QC",        wide(40), none},
};

constexpr std::string_view kQryCrm_CustVisitSql[] = {
    "select k.QC,a.*",
    "from Crm_CustVisit a inner join kh k on a.custid=k.id",
};
constexpr FieldDecl kQryCrm_CustVisitFields[] = {
    {"id",           integer,   UW},
    {"custid",       integer,   U},
    {"visittime",    datetime,  U},
    {"personnel",    wide(100), U},
    {"visitcontent", wide(255), U},
    {"visitresult",  wide(50),  U},
    {"QC",           wide(40),  none},
};

constexpr std::string_view kQryCrm_HeTongSql[] = {
    "select k.QC,a.*",
    "from Crm_HeTong a inner join kh k on a.custid=k.id",
};
constexpr FieldDecl kQryCrm_HeTongFields[] = {
    {"id",           integer,  UW},
    {"custid",       integer,  U},
    {"bargainname",  wide(50), U},
    {"balancemoney", integer,  U},
    {"bargainmoney", integer,  U},
    {"bargaindate",  datetime, U},
    {"people",       wide(50), U},
    {"filepath",     wide(50), U},
    {"finish",       wide(50), U},
    {"remark",       memo,     U},
    {"bargaincode",  wide(50), U},
    {"SigningMan",   wide(50), U},
    {"TakeEffect",   datetime, U},
    {"ExpireDate",   datetime, U},
    {"QC",           wide(40), none},
};

constexpr std::string_view kQryCrm_LinkManSql[] = {
    "select k.QC,a.*",
    "from Crm_LinkMan a inner join kh k on a.custid=k.id",
};
constexpr FieldDecl kQryCrm_LinkManFields[] = {
    {"id",          integer,   UW},
    {"CustId",      integer,   U},
    {"ContactName", wide(50),  U},
    {"MainContact", boolean,   U},
    {"Department",  wide(50),  U},
    {"Email",       wide(50),  U},
    {"Address",     wide(250), U},
    {"PostCode",    wide(50),  U},
    {"Tel",         wide(50),  U},
    {"Mobile",      wide(50),  U},
    {"HomeTel",     wide(50),  U},
    {"Fax",         wide(20),  U},
    {"Birthday",    datetime,  U},
    {"introduce",   memo,      U},
    {"F_User",      wide(50),  U},
    {"QC",          wide(40),  none},
    {"sPosition",   wide(50),  U},
};

constexpr std::string_view kQryCrm_SaleChanceSql[] = {
    "select k.QC,a.*",
    "from Crm_SaleChance a inner join kh k on a.custid=k.id",
};
constexpr FieldDecl kQryCrm_SaleChanceFields[] = {
    {"ID",           integer,        UW},
    {"CustId",       integer,        U},
    {"OppLevel",     wide(50),       U},
    {"ExceptMoney",  decimal(19, 4), U},
    {"ProChance",    wide(50),       U},
    {"People",       wide(50),       U},
    {"CompleteDate", datetime,       U},
    {"Product",      wide(50),       U},
    {"Remark",       memo,           U},
    {"Topic",        wide(200),      U},
    {"State",        wide(50),       U},
    {"QC",           wide(40),       none},
};

constexpr DatasetDecl kDatasets[] = {
    {"qryCrm_Custgj", "pCrm_Custgj", Connection::Cn, UpdateMode::WhereAll,
     kQryCrm_CustgjSql, kQryCrm_CustgjFields},
    {"qryCrm_CustVisit", "pCrm_CustVisit", Connection::Cn, UpdateMode::WhereAll,
     kQryCrm_CustVisitSql, kQryCrm_CustVisitFields},
    {"qryCrm_HeTong", "pCrm_HeTong", Connection::Cn, UpdateMode::WhereAll,
     kQryCrm_HeTongSql, kQryCrm_HeTongFields},
    {"qryCrm_LinkMan", "pCrm_LinkMan", Connection::Cn, UpdateMode::WhereAll,
     kQryCrm_LinkManSql, kQryCrm_LinkManFields},
    {"qryCrm_SaleChance", "pCrm_SaleChance", Connection::Cn, UpdateMode::WhereAll,
     kQryCrm_SaleChanceSql, kQryCrm_SaleChanceFields},
};

}  // namespace

ModuleDecl customerRelationsModule() { return {"CustomerRelations", kDatasets}; }

}  // namespace rvz::catalogue
