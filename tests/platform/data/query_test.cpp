// Queries on a real database: the dataset messages, navigation, record
// count, fields, column kinds and values, computed columns, locate,
// parameters and reading in slices.
#include "platform/data/query.h"

#include <gtest/gtest.h>

#include "tests/platform/data/data_test_support.h"

namespace rvz::data {
namespace {

using testing::errorOf;

class QueryTest : public testing::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    cn_ = std::make_unique<Connection>(newDatabase());
    cn_->execute(
        "CREATE TABLE Kh (ID COUNTER, BH TEXT(10), MC TEXT(40), ZT YESNO, JE CURRENCY, SL DOUBLE, RQ DATETIME, "
        "BZ MEMO)\r\n");
    const char* rows[] = {
        "insert into Kh (BH, MC, ZT, JE, SL, RQ, BZ) values ('K01', '张三', True, 12.5, 3, #2008-08-30 14:25:00#, 'x')",
        "insert into Kh (BH, MC, ZT, JE, SL, RQ, BZ) values ('K02', 'alpha', False, 0, 1.5, #2008-09-01#, Null)",
        "insert into Kh (BH, MC, ZT, JE, SL, RQ, BZ) values ('K03', 'Beta', True, 7.25, Null, #2009-01-15#, 'y')",
        "insert into Kh (BH, MC, ZT, JE, SL, RQ, BZ) values ('K04', Null, False, 100, 10, Null, Null)",
    };
    for (const char* r : rows) cn_->execute(r);
  }

  std::unique_ptr<Query> open(const std::string& sql, const std::string& name = "Tmp") {
    auto q = std::make_unique<Query>(name, cn_.get());
    q->setCommandText(sql);
    q->open();
    return q;
  }

  static std::vector<std::string> column(Query& q, const std::string& field) {
    std::vector<std::string> out;
    for (q.first(); !q.eof(); q.next()) out.push_back(q.field(field).isNull() ? "<null>" : q.field(field).textUtf8());
    return out;
  }

  std::unique_ptr<Connection> cn_;
};

TEST_F(QueryTest, DatasetMessagesCarryTheName) {
  Query q("Tmp", cn_.get());
  EXPECT_EQ(errorOf([&] { q.open(); }), "Tmp: Missing SQL property");
  q.setCommandText("  \r\n");
  EXPECT_EQ(errorOf([&] { q.open(); }), "Tmp: Missing SQL property");

  q.setCommandText("insert into Kh (BH) values ('K09')\r\n");
  EXPECT_EQ(errorOf([&] { q.open(); }), "Tmp: CommandText does not return a result set");
  EXPECT_FALSE(q.isOpen());
  // The text ran before the message.
  EXPECT_EQ(open("select * from Kh where BH = 'K09'")->recordCount(), 1);

  q.setCommandText("select * from Kh");
  q.open();
  EXPECT_EQ(errorOf([&] { q.setCommandText("select * from Kh where ID = 1"); }),
            "Tmp: Cannot perform this operation on an open dataset");
  q.setCommandText("select * from Kh");  // the same text is no change
  EXPECT_EQ(errorOf([&] { q.field("NoSuch"); }), "Tmp: Field 'NoSuch' not found");
  q.close();
  q.setCommandText("select * from Kh where ID = 1");

  Query orphan("Tmpf");
  orphan.setCommandText("select 1");
  EXPECT_EQ(errorOf([&] { orphan.open(); }), "Tmpf: Missing Connection or ConnectionString");
}

TEST_F(QueryTest, NavigatesAndCounts) {
  auto q = open("select BH from Kh order by BH");
  EXPECT_TRUE(q->bof());
  EXPECT_FALSE(q->eof());
  EXPECT_EQ(q->field(0).textUtf8(), "K01");
  q->next();
  EXPECT_FALSE(q->bof());
  EXPECT_EQ(q->field("bh").textUtf8(), "K02");
  EXPECT_EQ(q->recordCount(), 4);
  EXPECT_EQ(q->field(0).textUtf8(), "K02");  // counting does not move
  q->next();
  q->next();
  EXPECT_EQ(q->field(0).textUtf8(), "K04");
  q->next();
  EXPECT_TRUE(q->eof());
  EXPECT_EQ(q->field(0).textUtf8(), "K04");  // the last row stays current
  q->next();
  EXPECT_TRUE(q->eof());
  q->first();
  EXPECT_TRUE(q->bof());
  EXPECT_EQ(q->field(0).textUtf8(), "K01");
  q->close();
  EXPECT_FALSE(q->isOpen());
  EXPECT_NE(errorOf([&] { q->next(); }).find("closed dataset"), std::string::npos);

  auto empty = open("select * from Kh where 1 = 0");
  EXPECT_TRUE(empty->eof());
  EXPECT_TRUE(empty->bof());
  EXPECT_EQ(empty->recordCount(), 0);
  EXPECT_TRUE(empty->field("BH").isNull());
}

TEST_F(QueryTest, ReadsValuesAsVariantsOfTheirKinds) {
  auto q = open("select * from Kh where BH = 'K01'");
  EXPECT_EQ(q->field("ID").value().vt(), VT_I4);
  EXPECT_EQ(q->field("ID").kind(), FieldKind::AutoInc);
  EXPECT_EQ(q->field("MC").value(), Variant(u"张三"));
  EXPECT_EQ(q->field("ZT").value(), Variant(true));
  EXPECT_EQ(q->field("JE").value(), Variant::cy(Currency{125000}));
  EXPECT_EQ(q->field("SL").value(), Variant(3.0));
  EXPECT_EQ(q->field("RQ").value(), Variant::date(DateTime{2008, 8, 30, 14, 25, 0, 0}));
  EXPECT_EQ(q->field("BZ").value(), Variant(u"x"));
  EXPECT_EQ(q->field("ZT").textUtf8(), "True");
  EXPECT_EQ(q->field("JE").textUtf8(), "12.5");
  EXPECT_EQ(q->field("MC").bytes(), std::vector<uint8_t>({0xE5, 0xBC, 0xA0, 0xE4, 0xB8, 0x89}));

  auto nulls = open("select * from Kh where BH = 'K04'");
  EXPECT_TRUE(nulls->field("MC").isNull());
  EXPECT_TRUE(nulls->field("MC").value().isNull());
  EXPECT_EQ(nulls->field("RQ").textUtf8(), "");
  EXPECT_TRUE(nulls->field("BZ").bytes().empty());
}

TEST_F(QueryTest, ColumnKindsFollowTheDeclaredAccessTypes) {
  cn_->execute(
      "CREATE TABLE Kinds (A COUNTER, B TEXT(20), C VARCHAR(30), D CHAR(10), E ANSIVARCHAR(8), F ANSICHAR(4), "
      "G MEMO, H LONG, I INTEGER, J SMALLINT, K BYTE, L YESNO, M BIT, N DOUBLE, O FLOAT, P CURRENCY, "
      "Q DECIMAL(12,2), R NUMERIC(5,0), S DATETIME, T DATE, U TIME, V OLEOBJECT, W LONGBINARY, X GUID, "
      "Y NUMERIC(12,0))");
  struct Expect {
    FieldKind kind;
    int32_t size;
    bool fixed;
  };
  const Expect expected[] = {
      {FieldKind::AutoInc, 0, false},    {FieldKind::WideString, 20, false}, {FieldKind::WideString, 30, false},
      {FieldKind::WideString, 10, true}, {FieldKind::String, 8, false},      {FieldKind::FixedChar, 4, true},
      {FieldKind::Memo, 0, false},       {FieldKind::Integer, 0, false},     {FieldKind::Integer, 0, false},
      {FieldKind::SmallInt, 0, false},   {FieldKind::SmallInt, 0, false},    {FieldKind::Boolean, 0, false},
      {FieldKind::Boolean, 0, false},    {FieldKind::Float, 0, false},       {FieldKind::Float, 0, false},
      {FieldKind::BCD, 4, false},        {FieldKind::BCD, 2, false},         {FieldKind::Integer, 0, false},
      {FieldKind::DateTime, 0, false},   {FieldKind::Date, 0, false},        {FieldKind::Time, 0, false},
      {FieldKind::Blob, 0, false},       {FieldKind::Blob, 0, false},        {FieldKind::Guid, 38, false},
      {FieldKind::BCD, 0, false},
  };
  auto q = open("select * from Kinds");
  ASSERT_EQ(q->fieldCount(), std::size(expected));
  for (size_t i = 0; i < q->fieldCount(); ++i) {
    const ColumnInfo& c = q->columns()[i];
    EXPECT_EQ(kindName(c.kind), kindName(expected[i].kind)) << c.name << " " << c.declaredType;
    EXPECT_EQ(c.size, expected[i].size) << c.name;
    EXPECT_EQ(c.fixed, expected[i].fixed) << c.name;
    EXPECT_FALSE(c.kindFromValues) << c.name;
  }
  EXPECT_TRUE(q->columns()[15].currency);
  EXPECT_EQ(q->columns()[16].precision, 12);
  EXPECT_EQ(q->columns()[16].scale, 2);
}

TEST_F(QueryTest, ValuesRoundTripThroughParameters) {
  cn_->execute(
      "CREATE TABLE V (I SMALLINT, L LONG, B YESNO, D DECIMAL(12,2), C CURRENCY, T DATETIME, DA DATE, TI TIME, "
      "M MEMO, P OLEOBJECT, N NUMERIC(5,0))");
  Statement ins(*cn_, "insert into V values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  ins.addValue(Variant::i2(-7));
  ins.addValue(Variant(123456789));
  ins.addValue(Variant(false), FieldKind::Boolean);
  ins.addValue(Variant::decimal(Decimal::parse("1234.5")));
  ins.addValue(Variant::cy(Currency{-98765}));
  ins.addValue(Variant::date(DateTime{1999, 12, 31, 23, 59, 59, 0}));
  ins.addValue(Variant::date(DateTime{2008, 8, 30, 14, 25, 0, 0}));
  ins.addValue(Variant::date(DateTime{1899, 12, 30, 8, 30, 0, 0}));
  ins.addValue(Variant(u"007 long text"));
  ins.addValue(Variant(SafeArray::bytes({0, 255, 7})));
  ins.addValue(Variant(42));
  ins.execute();
  auto q = open("select * from V");
  EXPECT_EQ(q->field("I").value(), Variant::i2(-7));
  EXPECT_EQ(q->field("L").value(), Variant(123456789));
  EXPECT_EQ(q->field("B").value(), Variant(false));
  EXPECT_EQ(q->field("D").value(), Variant::decimal(Decimal::parse("1234.50")));
  EXPECT_EQ(q->field("D").value().decimalValue().scale, 2);
  EXPECT_EQ(q->field("C").value(), Variant::cy(Currency{-98765}));
  EXPECT_EQ(q->field("T").value(), Variant::date(DateTime{1999, 12, 31, 23, 59, 59, 0}));
  // A date column keeps the day, a time column the time of day.
  EXPECT_EQ(q->field("DA").value(), Variant::date(DateTime{2008, 8, 30, 0, 0, 0, 0}));
  EXPECT_EQ(q->field("TI").value(), Variant::date(DateTime{1899, 12, 30, 8, 30, 0, 0}));
  EXPECT_EQ(q->field("M").value(), Variant(u"007 long text"));
  EXPECT_EQ(q->field("P").value(), Variant(SafeArray::bytes({0, 255, 7})));
  EXPECT_EQ(q->field("N").value(), Variant(42));
}

TEST_F(QueryTest, StoredValuesThatDoNotFitTheirKindFailClearly) {
  // A file written by other means may hold them; the provider never writes them.
  cn_->execute("CREATE TABLE Bad (L LONG, T DATETIME, F DOUBLE)");
  testing::rawSqlite(
      "data\\Sample\\DaZiva.mdb",
      "insert into Bad values ('abc', 'not a date', 'x1'); "
      "insert into Bad values (2.5, '2008-02-30 00:00:00', 1); insert into Bad values (3.5, 39690.5, 2)");
  auto q = open("select * from Bad");
  EXPECT_EQ(errorOf([&] { q->field("L").value(); }), "Field 'L': stored text 'abc' is not a valid Integer value");
  EXPECT_EQ(errorOf([&] { q->field("T").value(); }),
            "Field 'T': stored text 'not a date' is not a valid DateTime value");
  EXPECT_NE(errorOf([&] { q->field("F").value(); }).find("'x1'"), std::string::npos);
  q->next();
  EXPECT_EQ(q->field("L").value(), Variant(2));  // reals in integer columns round half to even
  EXPECT_NE(errorOf([&] { q->field("T").value(); }).find("2008-02-30"), std::string::npos);
  q->next();
  EXPECT_EQ(q->field("L").value(), Variant(4));
  EXPECT_EQ(q->field("T").value(), Variant::date(39690.5));  // a number in a date column is a serial date
}

TEST_F(QueryTest, ComputedColumnsTakeTheKindOfTheirExpressionOrTheirValues) {
  auto q = open(
      "select count(*) as N, sum(SL) as S, max(BH) as M, null as Z, ID * 2 as D2, iif(ZT, Null, 'no') as W, "
      "iif(ZT, 1, 'no') as V from Kh group by ID, ZT order by ID");
  const auto& c = q->columns();
  EXPECT_EQ(c[0].kind, FieldKind::Integer);
  EXPECT_EQ(c[1].kind, FieldKind::Float);
  EXPECT_EQ(c[2].kind, FieldKind::WideString);
  EXPECT_EQ(c[2].size, 10);                  // the size of BH
  EXPECT_EQ(c[3].kind, FieldKind::Unknown);  // nothing tells
  EXPECT_EQ(c[4].kind, FieldKind::Integer);
  EXPECT_EQ(c[5].kind, FieldKind::WideString);
  EXPECT_EQ(c[6].kind, FieldKind::Integer);  // the text does not tell; the first row's value does
  for (size_t i : {0, 1, 2, 4, 5}) EXPECT_FALSE(c[i].kindFromValues) << c[i].name;
  for (size_t i : {3, 6}) EXPECT_TRUE(c[i].kindFromValues) << c[i].name;
  EXPECT_EQ(q->field("S").value(), Variant(3.0));
  EXPECT_TRUE(q->field("Z").value().isNull());

  auto none = open("select max(SL) + 1 as X from Kh where 1 = 0 group by ID");
  EXPECT_EQ(none->columns()[0].kind, FieldKind::Float);
  EXPECT_TRUE(none->eof());
}

TEST_F(QueryTest, RepeatedAndMissingNamesAreMadeUnique) {
  // An empty name cannot come from a translated text; repeated ones can.
  auto q = open("select a.MC, b.MC, a.BH as COLUMN1, 1 as COLUMN1 from Kh a, Kh b where a.ID = b.ID");
  ASSERT_EQ(q->fieldCount(), 4u);
  EXPECT_EQ(q->columns()[0].name, "MC");
  EXPECT_EQ(q->columns()[1].name, "MC_1");
  EXPECT_EQ(q->columns()[2].name, "COLUMN1");
  EXPECT_EQ(q->columns()[3].name, "COLUMN1_1");
  EXPECT_EQ(q->fieldIndex("mc"), 0u);
}

TEST_F(QueryTest, LocatesByExactValuesOfSeveralFields) {
  auto q = open("select * from Kh order by ID");
  const std::vector<std::string> f = {"BH", "ZT"};
  std::vector<Variant> v = {Variant(u"k03"), Variant(true)};
  EXPECT_TRUE(q->locate(f, v));
  EXPECT_EQ(q->field("MC").textUtf8(), "Beta");
  v = {Variant(u"K02"), Variant(true)};
  EXPECT_FALSE(q->locate(f, v));
  EXPECT_EQ(q->field("MC").textUtf8(), "Beta");  // stays where it was
  const std::vector<std::string> byNull = {"MC"};
  std::vector<Variant> nullValue = {Variant::null()};
  EXPECT_TRUE(q->locate(byNull, nullValue));
  EXPECT_EQ(q->field("BH").textUtf8(), "K04");
  const std::vector<std::string> byNumbers = {"ID", "JE", "RQ"};
  std::vector<Variant> numbers = {Variant(1.0), Variant(u"12.5"), Variant::date(DateTime{2008, 8, 30, 14, 25, 0, 0})};
  EXPECT_TRUE(q->locate(byNumbers, numbers));
  EXPECT_EQ(q->field("BH").textUtf8(), "K01");
  const std::vector<std::string> unknown = {"Nope"};
  EXPECT_EQ(errorOf([&] { q->locate(unknown, nullValue); }), "Tmp: Field 'Nope' not found");
}

TEST_F(QueryTest, ParametersBindByPositionAndExtraOnesAreKept) {
  Query q("Tmp", cn_.get());
  q.setCommandText("select BH from Kh where ZT = ? and SL > ? order by BH");
  q.setParameters({Parameter::of(Variant(true), FieldKind::Boolean), Parameter::of(Variant(0))});
  q.open();
  EXPECT_EQ(column(q, "BH"), (std::vector<std::string>{"K01"}));
  q.close();
  q.parameters()[1].value = Variant(-1);
  q.open();
  EXPECT_EQ(q.recordCount(), 1);  // K03 has a null SL
  q.close();

  // A parameter the text has no marker for stays in the list and is not sent.
  Query p("SC_ProduceOrderZB", cn_.get());
  p.setCommandText("select BH from Kh");
  Parameter cjid;
  cjid.name = "Z.CJID";
  cjid.dataType = FieldKind::WideString;
  cjid.size = 510;
  cjid.value = Variant::null();
  p.setParameters({cjid});
  p.open();
  EXPECT_EQ(p.recordCount(), 4);
  EXPECT_EQ(p.parameters().size(), 1u);
}

TEST_F(QueryTest, ExecuteRunsTheTextWithoutOpening) {
  Query q("Tmp", cn_.get());
  q.setCommandText("delete from Kh where ZT = ?");
  q.setParameters({Parameter::of(Variant(false), FieldKind::Boolean)});
  EXPECT_EQ(q.execute(), 2);
  EXPECT_FALSE(q.isOpen());
  EXPECT_EQ(open("select * from Kh")->recordCount(), 2);
}

TEST_F(QueryTest, SlicesContinueWhereTheLastOneEndedWithOneRun) {
  cn_->execute("CREATE TABLE Many (ID LONG, R DOUBLE)");
  cn_->beginTransaction();
  Statement ins(*cn_, "insert into Many values (?, ?)");
  for (int i = 0; i < 1000; ++i) {
    ins.setParameters({Parameter::of(Variant(i)), Parameter::of(Variant(static_cast<double>(i)))});
    ins.execute();
  }
  cn_->commit();
  int sends = 0;
  cn_->setWillExecute([&](std::string_view, EventStatus&) { ++sends; });
  auto q = open("select ID, R from Many order by ID");
  std::vector<double> firstPass;
  for (int slice = 0; slice < 10; ++slice) {
    for (int k = 0; k < 100 && !q->eof(); ++k, q->next()) firstPass.push_back(q->field("R").value().toDouble());
    // Another client changes every row after the first slice: a second run
    // of the text would see its values, one run keeps seeing the rows as
    // they were when it started.
    if (slice == 0) Connection(cn_->connectionString()).execute("update Many set R = R + 0.5");
  }
  ASSERT_EQ(firstPass.size(), 1000u);
  for (size_t i = 0; i < firstPass.size(); ++i) ASSERT_EQ(firstPass[i], static_cast<double>(i)) << i;
  EXPECT_EQ(q->recordCount(), 1000);
  std::vector<double> again;
  for (q->first(); !q->eof(); q->next()) again.push_back(q->field(1).value().toDouble());
  EXPECT_EQ(again, firstPass);
  EXPECT_EQ(sends, 1);
}

}  // namespace
}  // namespace rvz::data
