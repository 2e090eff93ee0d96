// Catalogue module: money bills and account movements.
// Each dataset: provider, connection, update mode, SQL lines and declared fields.
#include "catalogue/modules.h"

namespace rvz::catalogue {
// The declaration tables are aligned by hand, column under column.
// clang-format off
namespace {

constexpr std::string_view kFykzzbSql[] = {
    "select Z.*,",
    "S.MC as aSFKFSMC, H.MC as aZHMC,G.MC AS aGYSMC",
    "from ((FYKZZB Z left join SFKFS S on Z.SFKFSID = S.ID) left join ZH H on Z.ZHID = H.ID) left join GYS G on Z.GYSID=G.ID",
    "order by Z.DJBH",
};
constexpr FieldDecl kFykzzbFields[] = {
    {"ID",           integer,          UW},
    {"DJBH",         str(12),          U},
    {"RQ",           date,             U},
    {"SFKFSID",      smallint,         U},
    {"aSFKFSMC",     str(16),          none},
    {"ZHID",         smallint,         U},
    {"aZHMC",        str(20),          none},
    {"PH",           str(20),          U},
    {"JSR",          str(8),           U},
    {"JE",           floating,         U},
    {"CZY",          str(8),           U},
    {"uFlag",        integer,          U},
    {"YGID",         integer,          U},
    {"S1",           wide(50).fixed(), U},
    {"S2",           wide(50).fixed(), U},
    {"F1",           floating,         U},
    {"F2",           floating,         U},
    {"BillType",     wide(20),         U},
    {"AuditName",    wide(50),         U},
    {"BZ",           wide(100),        U},
    {"SrcBillNo",    wide(20),         U},
    {"ManualBillNo", wide(20),         U},
    {"GYSID",        integer,          U},
    {"aGYSMC",       wide(20),         none},
};

constexpr std::string_view kFykzSql[] = {
    "select M.*,",
    "L.BH as aBH, L.MC as aMC ",
    "from FYKZ M, SRZCLB L, M inner join L on M.SRZCLBID=L.ID",
};
constexpr FieldDecl kFykzFields[] = {
    {"RECID",    wide(20),         UW},
    {"ZBID",     integer,          U},
    {"HH",       integer,          U},
    {"RQ",       date,             U},
    {"SRZCLBID", integer,          U},
    {"aBH",      str(6),           none},
    {"aMC",      str(20),          none},
    {"JE",       floating,         U},
    {"refSL",    integer,          U},
    {"SRCNO",    wide(20).fixed(), U},
    {"SRCSEQ",   integer,          U},
    {"DJBH",     wide(14).fixed(), U},
    {"SX1",      wide(20),         U},
    {"SX2",      wide(20),         U},
    {"SX3",      wide(20),         U},
    {"SX4",      floating,         U},
    {"SX5",      floating,         U},
    {"ZY",       wide(100),        U},
    {"SX6",      floating,         U},
};

constexpr std::string_view kQtsrzbSql[] = {
    "select Z.*,",
    "S.MC as aSFKFSMC, H.MC as aZHMC,KH.MC as aKHMC",
    "from ((QTSRZB Z left join  SFKFS S on Z.SFKFSID = S.ID) left join ZH H on Z.ZHID = H.ID) left join KH KH on Z.KHID=KH.ID",
    "order by Z.DJBH",
};
constexpr FieldDecl kQtsrzbFields[] = {
    {"ID",           integer,          UW},
    {"DJBH",         str(12),          U},
    {"RQ",           date,             U},
    {"SFKFSID",      smallint,         U},
    {"aSFKFSMC",     str(16),          none},
    {"ZHID",         smallint,         U},
    {"aZHMC",        str(20),          none},
    {"PH",           str(20),          U},
    {"JSR",          str(8),           U},
    {"JE",           floating,         U},
    {"CZY",          str(8),           U},
    {"uFlag",        integer,          U},
    {"YGID",         integer,          U},
    {"S1",           wide(50).fixed(), U},
    {"S2",           wide(50).fixed(), U},
    {"F1",           floating,         U},
    {"F2",           floating,         U},
    {"BillType",     wide(20).fixed(), U},
    {"SrcBillNo",    wide(20).fixed(), U},
    {"ManualBillNo", wide(20).fixed(), U},
    {"AuditName",    wide(50),         U},
    {"BZ",           wide(100),        U},
    {"KHID",         integer,          U},
    {"aKHMC",        wide(20),         none},
};

constexpr std::string_view kQtsrSql[] = {
    "select M.*,",
    "L.BH as aBH, L.MC as aMC ",
    "from QTSR M, SRZCLB L, M inner join L on M.SRZCLBID=L.ID",
};
constexpr FieldDecl kQtsrFields[] = {
    {"RECID",    wide(20),         UW},
    {"ZBID",     integer,          U},
    {"HH",       integer,          U},
    {"RQ",       date,             U},
    {"SRZCLBID", integer,          U},
    {"aBH",      str(6),           none},
    {"aMC",      str(20),          none},
    {"JE",       floating,         U},
    {"refSL",    integer,          U},
    {"SRCNO",    wide(20).fixed(), U},
    {"SRCSEQ",   integer,          U},
    {"SX1",      wide(50),         U},
    {"SX2",      wide(50),         U},
    {"SX3",      wide(50),         U},
    {"SX4",      floating,         U},
    {"SX5",      floating,         U},
    {"ZY",       wide(100),        U},
    {"SX6",      floating,         U},
};

constexpr std::string_view kYhckqkSql[] = {
    "select Z.*,ZC.MC as aZCZHMC,ZR.MC as aZRZHMC",
    "from (YHCKQK Z left join ZH ZC on Z.ZCZHID = ZC.ID) left join ZH ZR on Z.ZRZHID = ZR.ID",
    "order by Z.RQ",
};
constexpr FieldDecl kYhckqkFields[] = {
    {"ID",      integer,  UW},
    {"RQ",      date,     U},
    {"JSR",     str(8),   U},
    {"ZCZHID",  smallint, U},
    {"aZCZHMC", str(20),  none},
    {"ZRZHID",  smallint, U},
    {"aZRZHMC", str(20),  none},
    {"PH",      str(20),  U},
    {"JE",      floating, U},
    {"BZ",      str(40),  U},
    {"CZY",     str(8),   U},
};

constexpr DatasetDecl kDatasets[] = {
    {"Fykzzb", "pFykzzb", Connection::Cn, UpdateMode::WhereAll,
     kFykzzbSql, kFykzzbFields},
    {"Fykz", "pFykz", Connection::Cn, UpdateMode::WhereAll,
     kFykzSql, kFykzFields},
    {"Qtsrzb", "pQtsrzb", Connection::Cn, UpdateMode::WhereAll,
     kQtsrzbSql, kQtsrzbFields},
    {"Qtsr", "pQtsr", Connection::Cn, UpdateMode::WhereAll,
     kQtsrSql, kQtsrFields},
    {"Yhckqk", "pYhckqk", Connection::Cn, UpdateMode::WhereAll,
     kYhckqkSql, kYhckqkFields},
};

}  // namespace

ModuleDecl financeModule() { return {"Finance", kDatasets}; }

}  // namespace rvz::catalogue
