// Computed columns on the Jet provider: each select-list expression is
// described with the type of its expression (not the kind its first value
// happens to have), its values follow that type, and the description does
// not depend on the rows.
#include <gtest/gtest.h>

#include "platform/data/query.h"
#include "tests/platform/data/data_test_support.h"

namespace rvz::data {
namespace {

class ComputedColumnsTest : public testing::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    cn_ = std::make_unique<Connection>(newDatabase());
    cn_->execute(
        "CREATE TABLE XSKDZB (ID COUNTER, RQ DATETIME, D DATE, JE CURRENCY, SL LONG, F DOUBLE, MC TEXT(20), "
        "NS ANSIVARCHAR(8), DJ DECIMAL(12,2), ZT YESNO, KHID LONG)");
    cn_->execute("CREATE TABLE KH (ID COUNTER, MC TEXT(40), ZCRQ DATETIME)");
    cn_->execute("insert into KH (MC, ZCRQ) values ('张三', #2001-02-03#)");
    cn_->execute(
        "insert into XSKDZB (RQ, D, JE, SL, F, MC, NS, DJ, ZT, KHID) values "
        "(#2008-08-30 14:25:00#, #2008-08-30#, 12.5, 3, 1.5, 'a', 'n1', 1.25, True, 1)");
    cn_->execute(
        "insert into XSKDZB (RQ, D, JE, SL, F, MC, NS, DJ, ZT, KHID) values "
        "(#2008-08-01#, #2008-08-01#, 100, 7, 2, 'b', 'n2', 2.5, False, 1)");
  }

  std::unique_ptr<Query> open(const std::string& sql) {
    auto q = std::make_unique<Query>("Tmp", cn_.get());
    q->setCommandText(sql);
    q->open();
    return q;
  }

  std::unique_ptr<Connection> cn_;
};

Variant date(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
  return Variant::date(DateTime{y, m, d, h, n, s, 0});
}

struct Case {
  const char* expression;
  FieldKind kind;
  int32_t size;
  Variant value;  // over both rows
};

TEST_F(ComputedColumnsTest, EachExpressionHasTheTypeOfItsExpression) {
  const Case cases[] = {
      {"max(RQ)", FieldKind::DateTime, 0, date(2008, 8, 30, 14, 25)},
      {"min(RQ)", FieldKind::DateTime, 0, date(2008, 8, 1)},
      {"first(D)", FieldKind::Date, 0, date(2008, 8, 30)},
      {"last(MC)", FieldKind::WideString, 20, Variant(u"b")},
      {"max(NS)", FieldKind::String, 8, Variant(u"n2")},
      {"max(ID)", FieldKind::Integer, 0, Variant::i4(2)},  // a counter's value is a plain long
      {"dateadd('d', 1, max(RQ))", FieldKind::DateTime, 0, date(2008, 8, 31, 14, 25)},
      {"cdate('2008-08-30')", FieldKind::DateTime, 0, date(2008, 8, 30)},
      {"dateserial(2008, 2, 30)", FieldKind::DateTime, 0, date(2008, 3, 1)},
      {"int(max(RQ))", FieldKind::DateTime, 0, date(2008, 8, 30)},
      {"max(RQ) + 1", FieldKind::DateTime, 0, date(2008, 8, 31, 14, 25)},
      {"max(RQ) - 0.5", FieldKind::DateTime, 0, date(2008, 8, 30, 2, 25)},
      {"max(RQ) - min(RQ)", FieldKind::Float, 0, Variant((29 * 86400 + 51900) / 86400.0)},
      {"iif(1=1, max(RQ), null)", FieldKind::DateTime, 0, date(2008, 8, 30, 14, 25)},
      {"iif(1=0, max(RQ), null)", FieldKind::DateTime, 0, Variant::null()},
      {"sum(JE)", FieldKind::BCD, 4, Variant::cy(Currency{1125000})},
      {"sum(DJ)", FieldKind::BCD, 2, Variant::decimal(Decimal::parse("3.75"))},
      {"sum(SL)", FieldKind::Float, 0, Variant(10.0)},
      {"avg(SL)", FieldKind::Float, 0, Variant(5.0)},
      {"count(*)", FieldKind::Integer, 0, Variant::i4(2)},
      {"count(MC)", FieldKind::Integer, 0, Variant::i4(2)},
      {"sum(JE) * 2", FieldKind::BCD, 4, Variant::cy(Currency{2250000})},
      {"ccur(sum(F))", FieldKind::BCD, 4, Variant::cy(Currency{35000})},
      {"clng(sum(F))", FieldKind::Integer, 0, Variant::i4(4)},  // 3.5 rounds to even
      {"cdbl(max(SL))", FieldKind::Float, 0, Variant(7.0)},
      {"cstr(max(SL))", FieldKind::WideString, 255, Variant(u"7")},
      {"cbool(max(SL))", FieldKind::Boolean, 0, Variant(true)},
      {"format(max(RQ), 'yyyy-mm')", FieldKind::WideString, 255, Variant(u"2008-08")},
      {"max(MC) & 'x'", FieldKind::WideString, 255, Variant(u"bx")},
      {"year(max(RQ))", FieldKind::SmallInt, 0, Variant::i2(2008)},
      {"datediff('d', min(RQ), max(RQ))", FieldKind::Integer, 0, Variant::i4(29)},
      {"max(SL) / 2", FieldKind::Float, 0, Variant(3.5)},
      {"max(SL) \\ 2", FieldKind::Integer, 0, Variant::i4(3)},
      {"nz(max(JE), 0)", FieldKind::BCD, 4, Variant::cy(Currency{1000000})},
      {"switch(1=0, 1, 1=1, 2.5)", FieldKind::Float, 0, Variant(2.5)},
      {"max(SL) > 5", FieldKind::Boolean, 0, Variant(true)},
      {"(select max(ZCRQ) from KH)", FieldKind::DateTime, 0, date(2001, 2, 3)},
      {"now() > #2000-01-01#", FieldKind::Boolean, 0, Variant(true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    auto q = open(std::string("select ") + c.expression + " as X from XSKDZB");
    const ColumnInfo& col = q->columns()[0];
    EXPECT_EQ(col.kind, c.kind) << kindName(col.kind);
    EXPECT_EQ(col.size, c.size);
    EXPECT_FALSE(col.kindFromValues);
    EXPECT_TRUE(col.computed);
    EXPECT_EQ(q->field(size_t{0}).value(), c.value);
  }
}

TEST_F(ComputedColumnsTest, ColumnsResolveThroughAliasesJoinsAndSubqueries) {
  auto q = open(
      "select max(Z.RQ) as A, max(K.ZCRQ) as B, max(S.R) as C, max(S.R2) as C2 "
      "from XSKDZB Z, KH K, Z inner join K on Z.KHID = K.ID, "
      "(select RQ as R, dateadd('m', 1, RQ) as R2 from XSKDZB) S");
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(q->columns()[i].kind, FieldKind::DateTime) << i;
  EXPECT_EQ(q->field("C2").value(), date(2008, 9, 30, 14, 25));

  // A select-list alias used later in the list, and a correlated subquery.
  auto a = open(
      "select RQ as R, R + 1 as R1, (select max(K.ZCRQ) from KH K where K.ID = Z.KHID) as Q "
      "from XSKDZB Z where ID = 1");
  EXPECT_EQ(a->columns()[1].kind, FieldKind::DateTime);
  EXPECT_EQ(a->field("R1").value(), date(2008, 8, 31, 14, 25));
  EXPECT_EQ(a->columns()[2].kind, FieldKind::DateTime);

  // Union members share a type; "*" is expanded in table order.
  auto u = open("select max(RQ) as M from XSKDZB union all select null from KH");
  EXPECT_EQ(u->columns()[0].kind, FieldKind::DateTime);
  auto s = open("select *, max(RQ) as M from XSKDZB group by ID, RQ, D, JE, SL, F, MC, NS, DJ, ZT, KHID");
  EXPECT_EQ(s->columns().back().kind, FieldKind::DateTime);
}

TEST_F(ComputedColumnsTest, DateArithmeticOnDateColumnsMovesTheDate) {
  // Jet moves a date by days under + and -, where SQLite would add numbers
  // to the year at the start of the text.
  auto q = open("select RQ + 1 as A, RQ - 1.5 as B, RQ - D as C from XSKDZB where ID = 1");
  EXPECT_EQ(q->field("A").value(), date(2008, 8, 31, 14, 25));
  EXPECT_EQ(q->field("B").value(), date(2008, 8, 29, 2, 25));
  EXPECT_EQ(q->field("C").value(), Variant(51900 / 86400.0));
  cn_->execute("update XSKDZB set RQ = RQ + 2 where ID = 2");
  EXPECT_EQ(open("select RQ from XSKDZB where ID = 2")->field("RQ").value(), date(2008, 8, 3));
  EXPECT_EQ(open("select count(*) from XSKDZB where RQ + 30 > #2008-09-20#")->field(size_t{0}).value(), Variant::i4(1));
}

TEST_F(ComputedColumnsTest, TheDescriptionDoesNotDependOnTheRows) {
  // No rows: the same kinds as with rows.
  auto q = open("select max(RQ) as M, sum(JE) as S, count(*) as C from XSKDZB where 1 = 0");
  EXPECT_EQ(q->columns()[0].kind, FieldKind::DateTime);
  EXPECT_EQ(q->columns()[1].kind, FieldKind::BCD);
  EXPECT_TRUE(q->columns()[1].currency);
  EXPECT_EQ(q->columns()[2].kind, FieldKind::Integer);
  EXPECT_TRUE(q->field("M").value().isNull());

  // Null alone tells nothing: described by values, so Unknown (which any
  // declared field binds over, and which a packet cannot carry).
  auto n = open("select null as N, iif(1=1, null, null) as N2 from XSKDZB");
  EXPECT_EQ(n->columns()[0].kind, FieldKind::Unknown);
  EXPECT_EQ(n->columns()[1].kind, FieldKind::Unknown);

  // A parameter alone is a column of the parameter's type, rows or none.
  for (const char* where : {"1 = 1", "1 = 0"}) {
    SCOPED_TRACE(where);
    Query p("Tmp", cn_.get());
    p.setCommandText(std::string("select ? as P, ? as Q, ? as R, ? as T from XSKDZB where ") + where);
    p.parameters().push_back(Parameter::of(Variant::date(DateTime{2008, 8, 30, 0, 0, 0, 0})));
    p.parameters().push_back(Parameter::of(Variant::cy(Currency{15000})));
    p.parameters().push_back(Parameter::of(Variant(u"abc")));
    p.parameters().push_back(Parameter::of(Variant::i4(7)));
    p.open();
    EXPECT_EQ(p.columns()[0].kind, FieldKind::DateTime);
    EXPECT_EQ(p.columns()[1].kind, FieldKind::BCD);
    EXPECT_TRUE(p.columns()[1].currency);
    EXPECT_EQ(p.columns()[2].kind, FieldKind::WideString);
    EXPECT_EQ(p.columns()[3].kind, FieldKind::Integer);
    if (!p.eof()) {
      EXPECT_EQ(p.field("P").value(), date(2008, 8, 30));
    }
  }
}

TEST_F(ComputedColumnsTest, WhatTheTextDoesNotTellIsReadOffTheValues) {
  // Branches of different kinds, unknown tables of a subquery: as before.
  auto q = open("select iif(ZT, 1, 'x') as M from XSKDZB order by ID");
  EXPECT_TRUE(q->columns()[0].kindFromValues);
  EXPECT_EQ(q->columns()[0].kind, FieldKind::Integer);
}

}  // namespace
}  // namespace rvz::data
