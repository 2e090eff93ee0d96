// The data service object itself (naming, creation handler, connections)
// and the binding rules as a client meets them when a dataset opens.
#include <gtest/gtest.h>

#include "services/live_objects.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;

namespace {

using DataService = ServiceHome;

TEST_F(DataService, ComponentNamesTakeTheLowestFreeNumber) {
  auto a = std::make_unique<TDatas>();
  auto b = std::make_unique<TDatas>();
  EXPECT_EQ(a->componentName(), "Datas");
  EXPECT_EQ(b->componentName(), "Datas_1");
  a.reset();
  TDatas c;
  EXPECT_EQ(c.componentName(), "Datas");
  TDatas e;
  EXPECT_EQ(e.componentName(), "Datas_2");
  b.reset();
  EXPECT_FALSE(LiveObjects::instance().hasName("DATAS_1"));
}

TEST_F(DataService, CreationHandlerFindsTheRegistryBesideTheExecutable) {
  TDatas d;
  EXPECT_EQ(d.conAccounts.connectionString(), kAccountsDeclaredConnectionString);
  d.RemoteDataModuleCreate();
  EXPECT_EQ(d.conAccounts.connectionString(),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + home_.string() +
                "\\/data/DoDar.mdb;Persist Security Info=False;Jet OLEDB:Database Password=tarqumel");
  EXPECT_FALSE(d.conAccounts.isOpen());
  EXPECT_FALSE(d.Cn.isOpen());
  EXPECT_EQ(d.Cn.connectionString(), kCnDeclaredConnectionString);
  // The registry is reachable through its providers.
  auto f = fetch(d, u"pVersionInfor", -1);
  EXPECT_EQ(f.recsOut, 0);

  std::filesystem::remove(home_ / "data" / "DoDar.mdb");
  TDatas missing;
  missing.RemoteDataModuleCreate();
  EXPECT_EQ(missing.conAccounts.connectionString(), kAccountsDeclaredConnectionString);
}

TEST_F(DataService, BeforeConnectActTheSampleDatabaseIsRead) {
  company({"insert into AppMenu (mName, mIndex) values ('sample', 1)"});
  TDatas d;
  EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 1);
  EXPECT_TRUE(d.Cn.isOpen());

  auto sample = home_ / "d" / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb";
  std::filesystem::rename(sample, home_ / "kept.mdb");
  TDatas none;
  EXPECT_NE(failureOf([&] { fetch(none, u"pAppMenu", -1); }).find("DaZiva.mdb"), std::string::npos);
  // The failed open leaves the object usable: once the file is back, it is read.
  std::filesystem::rename(home_ / "kept.mdb", sample);
  EXPECT_EQ(fetch(none, u"pAppMenu", -1).recsOut, 1);
}

TEST_F(DataService, DeclaredFieldsOnlyInDeclaredOrder) {
  company(
      {"create table AppMenuWide (extra LONG, mIsParent YESNO, mIndex LONG, mLevel LONG, mCaption TEXT(50), "
       "mName TEXT(30), more TEXT(10))",
       "insert into AppMenuWide values (1, True, 2, 3, 'c', 'n', 'x')"});
  TDatas d;
  auto p = decoded(fetch(d, u"pAppMenu", -1, 1, u"select * from AppMenuWide").packet);
  ASSERT_EQ(p.columnCount(), 5u);
  std::vector<std::string> names;
  for (const auto& c : p.columns()) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"mName", "mCaption", "mLevel", "mIndex", "mIsParent"}));
  EXPECT_EQ(p.intValue(0, 3), 2);
}

struct BindingCase {
  const char* provider;
  const char* ddl;  // a table the command text reads
  const char* commandText;
  const char* message;
};

void PrintTo(const BindingCase& c, std::ostream* os) { *os << c.provider << " over " << c.commandText; }

class BindingMessages : public ServiceHome, public ::testing::WithParamInterface<BindingCase> {};

TEST_P(BindingMessages, OpenFailsWithTheDatasetsNameInFront) {
  const auto& c = GetParam();
  company({c.ddl});
  TDatas d;
  EXPECT_EQ(failureOf([&] { fetch(d, text::utf8ToWide(c.provider), -1, 1, text::utf8ToWide(c.commandText)); }),
            c.message);
  EXPECT_FALSE(d.findDataset(std::string(c.provider).substr(1))->isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, BindingMessages,
    ::testing::Values(
        BindingCase{"pAppMenu", "create table M1 (mName TEXT(30))", "select * from M1",
                    "AppMenu: Field 'mCaption' not found"},
        BindingCase{"pAppMenu",
                    "create table M2 (mName TEXT(30), mCaption TEXT(50), mLevel DOUBLE, mIndex LONG, mIsParent YESNO)",
                    "select * from M2", "AppMenu: Type mismatch for field 'mLevel', expecting: Integer actual: Float"},
        BindingCase{"pAppGroupDesktopClass", "create table G1 (gName ANSICHAR(10), cName ANSIVARCHAR(30))",
                    "select * from G1",
                    "AppGroupDesktopClass: Size mismatch for field 'gName', expecting: 20 actual: 10"},
        BindingCase{"pAppUser",
                    "create table U1 (ID LONG, uCode TEXT(8), uName MEMO, uPassword TEXT(8), gID TEXT(255), "
                    "gName TEXT(255), YGID LONG, aYGMC TEXT(20))",
                    "select * from U1",
                    "AppUser: Type mismatch for field 'uName', expecting: WideString actual: Memo"}));

TEST_F(DataService, AcceptedAtOnceAndThroughFamilies) {
  company({"create table G2 (gName ANSICHAR(30), cName TEXT(5))", "insert into G2 values ('abc', 'defgh')",
           "create table TC (ID COUNTER, XH SMALLINT, TableName TEXT(255), FieldName TEXT(50), FieldCaption MEMO, "
           "IsShow YESNO, PrintIsShow YESNO, Width LONG, S1 TEXT(255), S2 TEXT(255), F1 CURRENCY, F2 DECIMAL(10,2), "
           "Zt1 TEXT(255), Zt2 TEXT(255))"});
  TDatas d;
  // A string field over a fixed narrow column as large, and over a wide column of any size.
  EXPECT_EQ(fetch(d, u"pAppGroupDesktopClass", -1, 1, u"select * from G2").recsOut, 1);
  // Float fields over currency and decimal columns; an integer field over a small integer.
  // (FieldCaption is a wide string field over a memo: refused.)
  EXPECT_EQ(failureOf([&] { fetch(d, u"pTableColumns", -1, 1, u"select * from TC"); }),
            "TableColumns: Type mismatch for field 'FieldCaption', expecting: WideString actual: Memo");
  company(
      {"create table TC2 (ID COUNTER, XH SMALLINT, TableName TEXT(255), FieldName TEXT(50), "
       "FieldCaption TEXT(255), IsShow YESNO, PrintIsShow YESNO, Width LONG, S1 TEXT(255), S2 TEXT(255), "
       "F1 CURRENCY, F2 DECIMAL(10,2), Zt1 TEXT(255), Zt2 TEXT(255))",
       "insert into TC2 (XH, F1, F2) values (1, 12.5, 3.25)"});
  auto p = decoded(fetch(d, u"pTableColumns", -1, 1, u"select * from TC2").packet);
  EXPECT_DOUBLE_EQ(p.realValue(0, static_cast<size_t>(p.columnIndex("F1"))), 12.5);
  EXPECT_DOUBLE_EQ(p.realValue(0, static_cast<size_t>(p.columnIndex("F2"))), 3.25);

  // A float field over a computed column whose values are whole numbers.
  fetch(d, u"pTableColumns", 0, 2);
  auto c = decoded(fetch(d, u"pTableColumns", -1, 1,
                         u"select ID, XH, TableName, FieldName, FieldCaption, IsShow, PrintIsShow, Width, S1, S2, "
                         u"7 as F1, F2, Zt1, Zt2 from TC2")
                       .packet);
  EXPECT_DOUBLE_EQ(c.realValue(0, static_cast<size_t>(c.columnIndex("F1"))), 7.0);
}

TEST_F(DataService, RepeatedColumnNamesGetANumber) {
  company({"insert into BM (ID, MC) values (1, 'a')"});
  TDatas d;
  auto p = decoded(fetch(d, u"pTmp", -1, 1, u"select a.MC, b.MC, 1 + 1 from BM a, BM b").packet);
  ASSERT_EQ(p.columnCount(), 3u);
  EXPECT_EQ(p.columns()[0].name, "MC");
  EXPECT_EQ(p.columns()[1].name, "MC_1");
}

TEST_F(DataService, ComputedColumnsKeepTheTypeOfTheirExpression) {
  // A report screen's text through pTmp: every date aggregate and date
  // function comes back as a date-time column holding dates, money as money.
  company({"insert into XSKDZB (ID, DJBH, RQ, JE) values (1, 'a', #2008-08-30#, 12.5)",
           "insert into XSKDZB (ID, DJBH, RQ, JE) values (2, 'b', #2008-08-01 09:30#, 7.5)",
           "insert into XSKDZB (ID, DJBH, RQ, JE) values (3, 'c', Null, Null)"});
  TDatas d;
  auto p =
      decoded(fetch(d, u"pTmp", -1, 1,
                    u"select max(RQ) as M, min(RQ) as MI, dateadd('d', 1, max(RQ)) as N, date() as T, now() as NW,\r\n"
                    u"       cdate('2008-08-30') as CD, iif(1=1, max(RQ), null) as IR, sum(JE) as S, count(*) as C,\r\n"
                    u"       ccur(sum(JE)) as CY, format(max(RQ), 'yyyy-mm') as F from XSKDZB")
                  .packet);
  using packets::FieldType;
  const std::pair<const char*, FieldType> types[] = {
      {"M", FieldType::DateTime},  {"MI", FieldType::DateTime},  {"N", FieldType::DateTime},
      {"T", FieldType::DateTime},  {"NW", FieldType::DateTime},  {"CD", FieldType::DateTime},
      {"IR", FieldType::DateTime}, {"S", FieldType::R8},         {"C", FieldType::I4},
      {"CY", FieldType::Fixed},    {"F", FieldType::WideString},
  };
  ASSERT_EQ(p.rowCount(), 1u);
  for (const auto& [name, type] : types) {
    int c = p.columnIndex(name);
    ASSERT_GE(c, 0) << name;
    EXPECT_EQ(p.columns()[static_cast<size_t>(c)].type, type) << name;
  }
  auto at = [&](const char* name) { return static_cast<size_t>(p.columnIndex(name)); };
  EXPECT_EQ(p.value(0, at("M")), Variant::date(DateTime{2008, 8, 30, 0, 0, 0, 0}));
  EXPECT_EQ(p.value(0, at("MI")), Variant::date(DateTime{2008, 8, 1, 9, 30, 0, 0}));
  EXPECT_EQ(p.value(0, at("N")), Variant::date(DateTime{2008, 8, 31, 0, 0, 0, 0}));
  EXPECT_EQ(p.value(0, at("CD")), Variant::date(DateTime{2008, 8, 30, 0, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(p.realValue(0, at("S")), 20.0);
  EXPECT_EQ(p.i4Value(0, at("C")), 3);
  EXPECT_EQ(p.decimalValue(0, at("CY")).toDouble(), 20.0);
  EXPECT_EQ(p.value(0, at("F")), Variant(u"2008-08"));

  // No rows: the same columns.
  auto empty = decoded(fetch(d, u"pTmp", -1, 1, u"select max(RQ) as M, sum(JE) as S from XSKDZB where 1 = 0").packet);
  EXPECT_EQ(empty.columns()[0].type, FieldType::DateTime);
  EXPECT_EQ(empty.columns()[1].type, FieldType::R8);
}

TEST_F(DataService, AColumnOfUnknownTypeCannotTravelInAPacket) {
  // A column nothing types (a Null literal) over rows that hold only Null:
  // the fetch fails and names the field; the provider stays usable.
  company({"insert into XSKDZB (ID, DJBH) values (1, 'a')"});
  TDatas d;
  EXPECT_EQ(failureOf([&] { fetch(d, u"pTmp", -1, 1, u"select DJBH, null as N from XSKDZB"); }),
            "Field 'N' is of an unknown type");
  auto p = decoded(fetch(d, u"pTmp", -1, 1, u"select DJBH from XSKDZB").packet);
  EXPECT_EQ(p.rowCount(), 1u);
}

}  // namespace
