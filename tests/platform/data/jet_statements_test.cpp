// The Jet statement forms that need more than a translation of their text:
// parameter declarations that become the query's parameters, make-table
// queries that create and fill a table in one statement, and crosstabs whose
// columns are the values found.
#include <gtest/gtest.h>

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
    for (const char* pm : {"'钢笔'", "'墨水'", "'纸'"}) cn_->execute(std::string("insert into HP (PM, DJ) values (") + pm + ", 2.5)");
    const char* lines[] = {
        "1, #2008-07-03#, 2, 5", "1, #2008-08-30#, 3, 7.5", "1, #2008-08-01#, 1, 2.5",
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
  Statement make(*cn_,
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

}  // namespace
}  // namespace rvz::data
