// The Jet statement forms that need more than a translation of their text:
// parameter declarations that become the query's parameters, make-table
// queries that create and fill a table in one statement, and crosstabs whose
// columns are the values found.
#include <gtest/gtest.h>

#include <map>

#include "platform/data/query.h"
#include "tests/platform/data/data_test_support.h"

namespace rvz::data {
namespace {

using testing::errorOf;

class JetStatementsTest : public testing::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    cn_ = std::make_unique<Connection>(newDatabase());
    cn_->execute("CREATE TABLE HP (ID COUNTER, PM TEXT(20), DJ CURRENCY)");
    cn_->execute("CREATE TABLE XSKD (ID COUNTER, HPID LONG, RQ DATETIME, SL DOUBLE, JE CURRENCY)");
    for (const char* pm : {"'钢笔'", "'墨水'", "'纸'"})
      cn_->execute(std::string("insert into HP (PM, DJ) values (") + pm + ", 2.5)");
    const char* lines[] = {
        "1, #2008-07-03#, 2, 5",   "1, #2008-08-30#, 3, 7.5", "1, #2008-08-01#, 1, 2.5",
        "2, #2008-07-15#, 10, 20", "2, #2008-07-16#, 4, 8",
    };
    for (const char* l : lines) cn_->execute(std::string("insert into XSKD (HPID, RQ, SL, JE) values (") + l + ")");
  }

  std::unique_ptr<Query> open(const std::string& sql) {
    auto q = std::make_unique<Query>("Tmp", cn_.get());
    q->setCommandText(sql);
    q->open();
    return q;
  }

  std::unique_ptr<Connection> cn_;
};

TEST_F(JetStatementsTest, DeclaredParametersBecomeTheQuerysParameters) {
  Query q("Tmp", cn_.get());
  q.setCommandText(
      "PARAMETERS [From Date] DateTime, p Long, q Text(20);\r\n"
      "SELECT h.PM, d.SL FROM XSKD d INNER JOIN HP h ON d.HPID = h.ID\r\n"
      "WHERE d.HPID = p AND d.RQ >= [From Date] AND (h.PM = q OR q IS NULL) ORDER BY d.RQ");
  ASSERT_EQ(q.parameters().size(), 3u);
  EXPECT_EQ(q.parameters()[0].name, "From Date");
  EXPECT_EQ(q.parameters()[0].dataType, FieldKind::DateTime);
  EXPECT_EQ(q.parameters()[1].name, "p");
  EXPECT_EQ(q.parameters()[1].dataType, FieldKind::Integer);
  EXPECT_EQ(q.parameters()[2].dataType, FieldKind::WideString);
  EXPECT_EQ(q.parameters()[2].size, 20);
  // Bound in declared order, whatever order the text uses them in; a date
  // given as text is read by the declared type.
  q.parameters()[0].value = Variant(u"2008-08-01");
  q.parameters()[1].value = Variant::i4(1);
  q.open();
  EXPECT_EQ(q.recordCount(), 2);
  EXPECT_EQ(q.field("SL").value(), Variant(1.0));
  q.close();
  q.parameters()[2].value = Variant(u"墨水");
  q.open();
  EXPECT_EQ(q.recordCount(), 0);

  // The same text again keeps the values; a declared parameter alone is a
  // column of its type.
  q.close();
  q.setCommandText(q.commandText());
  EXPECT_EQ(q.parameters()[1].value, Variant::i4(1));
  Query t("Tmp", cn_.get());
  t.setCommandText("PARAMETERS d DateTime; SELECT d AS X, DateAdd('d', 1, d) AS Y FROM HP WHERE ID = 1");
  t.parameters()[0].value = Variant(u"2008-08-30");
  t.open();
  EXPECT_EQ(t.columns()[0].kind, FieldKind::DateTime);
  EXPECT_EQ(t.field("Y").value(), Variant::date(DateTime{2008, 8, 31, 0, 0, 0, 0}));
}

TEST_F(JetStatementsTest, MakeTableCreatesTheTableWithTheResultsTypesAndFillsIt) {
  Statement make(
      *cn_,
      "SELECT h.PM, Format(d.RQ, 'yyyy-mm') AS YM, Sum(d.SL) AS SL, Sum(d.JE) AS JE, Max(d.RQ) AS Latest, ? AS Tag\r\n"
      "INTO WorkSales FROM XSKD d INNER JOIN HP h ON d.HPID = h.ID GROUP BY h.PM, Format(d.RQ, 'yyyy-mm')");
  make.addValue(Variant(u"july"));
  EXPECT_EQ(make.execute(), 3);
  auto q = open("select * from WorkSales order by PM, YM");
  const auto& c = q->columns();
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[0].kind, FieldKind::WideString);
  EXPECT_EQ(c[0].size, 20);  // the size of HP.PM
  EXPECT_EQ(c[1].kind, FieldKind::WideString);
  EXPECT_EQ(c[2].kind, FieldKind::Float);
  EXPECT_EQ(c[3].kind, FieldKind::BCD);
  EXPECT_TRUE(c[3].currency);
  EXPECT_EQ(c[4].kind, FieldKind::DateTime);
  EXPECT_EQ(c[5].kind, FieldKind::WideString);
  for (const auto& col : c) EXPECT_FALSE(col.kindFromValues) << col.name;
  EXPECT_EQ(q->field("YM").value(), Variant(u"2008-07"));
  EXPECT_EQ(q->field("JE").value(), Variant::cy(Currency{280000}));
  EXPECT_EQ(q->field("Tag").value(), Variant(u"july"));
  // The new table's text compares without regard to case, as every text column.
  EXPECT_EQ(open("select count(*) from WorkSales where YM = '2008-07' and Tag = 'JULY'")->field(size_t{0}).value(),
            Variant::i4(2));

  // A table of that name exists: Jet's error, and nothing changes.
  int32_t number = 0;
  EXPECT_EQ(errorOf([&] { cn_->execute("select PM into worksales from HP"); }, &number),
            "Table 'worksales' already exists.");
  EXPECT_EQ(number, 3010);
  EXPECT_EQ(open("select count(*) from WorkSales")->field(size_t{0}).value(), Variant::i4(3));
  // A fill that fails leaves no table behind.
  EXPECT_NE(errorOf([&] { cn_->execute("select CLng(PM) as N into Broken from HP"); }).find("CLng"), std::string::npos);
  EXPECT_NE(errorOf([&] { open("select * from Broken"); }).find("Broken"), std::string::npos);
  // Two columns of one name cannot both be made.
  EXPECT_NE(errorOf([&] { cn_->execute("select PM, PM into Twice from HP"); }).find("two columns named 'PM'"),
            std::string::npos);
  // IN '' is this database; another is not.
  EXPECT_EQ(cn_->execute("select ID into Ids in '' from HP"), 3);
  EXPECT_THROW(cn_->execute("select ID into Other in 'c:\\x.mdb' from HP"), DataError);
}

TEST_F(JetStatementsTest, CrosstabHasOneColumnPerPivotValueWithTheGroupByNumbers) {
  const std::string crosstab =
      "TRANSFORM Sum(d.SL) AS S SELECT h.PM FROM XSKD d INNER JOIN HP h ON d.HPID = h.ID GROUP BY h.PM "
      "PIVOT Format(d.RQ, 'yyyy-mm')";
  auto q = open(crosstab);
  const auto& c = q->columns();
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].name, "PM");
  EXPECT_EQ(c[1].name, "2008-07");  // the values found, ascending
  EXPECT_EQ(c[2].name, "2008-08");
  EXPECT_EQ(c[1].kind, FieldKind::Float);  // Sum of a double
  EXPECT_FALSE(c[2].kindFromValues);

  // Each cell is the GROUP BY's number for its goods and month; Null where
  // a goods has no rows in a month; goods without rows have no row.
  auto g = open(
      "SELECT h.PM, Format(d.RQ, 'yyyy-mm') AS YM, Sum(d.SL) AS S FROM XSKD d INNER JOIN HP h ON d.HPID = h.ID "
      "GROUP BY h.PM, Format(d.RQ, 'yyyy-mm')");
  std::map<std::pair<std::string, std::string>, Variant> expected;
  for (g->first(); !g->eof(); g->next())
    expected[{g->field("PM").textUtf8(), g->field("YM").textUtf8()}] = g->field("S").value();
  int rows = 0;
  for (q->first(); !q->eof(); q->next(), ++rows) {
    for (const char* month : {"2008-07", "2008-08"}) {
      auto it = expected.find({q->field("PM").textUtf8(), month});
      if (it == expected.end()) {
        EXPECT_TRUE(q->field(month).isNull()) << q->field("PM").textUtf8() << " " << month;
      } else {
        EXPECT_EQ(q->field(month).value(), it->second) << q->field("PM").textUtf8() << " " << month;
      }
    }
  }
  EXPECT_EQ(rows, 2);

  // New data, new columns: the values are found on every run.
  cn_->execute("insert into XSKD (HPID, RQ, SL, JE) values (3, #2008-09-01#, 1, 2)");
  q->close();
  q->open();
  ASSERT_EQ(q->columns().size(), 4u);
  EXPECT_EQ(q->columns()[3].name, "2008-09");
}

TEST_F(JetStatementsTest, CrosstabWithFixedColumnsSeveralHeadingsAndParameters) {
  // IN fixes the columns and their order; a value without rows is a column
  // of Nulls (a Count's too); Count(*) counts each value's rows.
  Query q("Tmp", cn_.get());
  q.setCommandText(
      "PARAMETERS minimum Double;\r\n"
      "TRANSFORM Count(*) SELECT h.PM, h.DJ, Sum(d.JE) AS Total FROM XSKD d INNER JOIN HP h ON d.HPID = h.ID\r\n"
      "WHERE d.SL >= minimum GROUP BY h.PM, h.DJ ORDER BY h.PM DESC PIVOT Month(d.RQ) IN (9, 8, 7)");
  q.parameters()[0].value = Variant(2.0);
  q.open();
  const auto& c = q.columns();
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[3].name, "9");
  EXPECT_EQ(c[5].name, "7");
  EXPECT_EQ(c[3].kind, FieldKind::Integer);
  EXPECT_EQ(c[2].kind, FieldKind::BCD);  // Sum of currency
  ASSERT_FALSE(q.eof());
  EXPECT_EQ(q.field("PM").value(), Variant(u"钢笔"));  // descending
  EXPECT_TRUE(q.field("9").isNull());
  EXPECT_EQ(q.field("8").value(), Variant::i4(1));
  EXPECT_EQ(q.field("7").value(), Variant::i4(1));
  EXPECT_EQ(q.field("Total").value(), Variant::cy(Currency{125000}));
  q.next();
  EXPECT_EQ(q.field("PM").value(), Variant(u"墨水"));
  EXPECT_EQ(q.field("7").value(), Variant::i4(2));
  EXPECT_EQ(q.recordCount(), 2);

  // A crosstab without GROUP BY, or with more values than a table has
  // fields, is refused with the reason.
  EXPECT_THROW(open("TRANSFORM Sum(SL) SELECT HPID FROM XSKD PIVOT RQ"), DataError);
  for (int i = 0; i < 300; ++i)
    cn_->execute("insert into XSKD (HPID, RQ, SL, JE) values (1, #2009-01-01#, " + std::to_string(i) + ", 0)");
  EXPECT_NE(errorOf([&] {
              open("TRANSFORM Sum(SL) SELECT HPID FROM XSKD GROUP BY HPID PIVOT SL");
            }).find("Too many crosstab column headers"),
            std::string::npos);
  auto wide =
      open("TRANSFORM Sum(IIf(SL > 100, SL * 2, SL + JE)) SELECT HPID FROM XSKD WHERE SL < 200 GROUP BY HPID PIVOT SL");
  EXPECT_EQ(wide->columns().size(), 201u);
  EXPECT_EQ(wide->columns()[200].name, "199");
}

}  // namespace
}  // namespace rvz::data
