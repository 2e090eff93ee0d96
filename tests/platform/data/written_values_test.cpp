// What client SQL may write and build on a Jet database: a value its column
// cannot hold is refused with Jet's error and nothing is stored (the table
// stays readable), values Jet converts are stored converted; functions the
// dialect does not define are refused by name, and no single value may grow
// without bound.
#include <gtest/gtest.h>

#include "platform/data/data_error.h"
#include "platform/data/query.h"
#include "platform/data/values.h"
#include "tests/platform/data/data_test_support.h"

namespace rvz::data {
namespace {

using testing::errorOf;

class WrittenValuesTest : public testing::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    cn_ = std::make_unique<Connection>(newDatabase());
    cn_->execute(
        "CREATE TABLE T (ID LONG NOT NULL PRIMARY KEY, N SHORT, B BYTE, Y YESNO, D DOUBLE, C CURRENCY, RQ DATETIME, "
        "PM TEXT(20))");
    cn_->execute("insert into T (ID, PM, D) values (1, 'abc', 1.5)");
    cn_->execute("insert into T (ID, PM, D) values (2, '7', 2.5)");
  }

  std::unique_ptr<Query> open(const std::string& sql) {
    auto q = std::make_unique<Query>("Tmp", cn_.get());
    q->setCommandText(sql);
    q->open();
    return q;
  }

  // The whole table read back: every stored value is one its column gives.
  int64_t readAll() {
    auto q = open("select * from T");
    int64_t n = 0;
    for (q->first(); !q->eof(); q->next(), ++n)
      for (size_t c = 0; c < q->fieldCount(); ++c) (void)q->field(c).value();
    return n;
  }

  std::unique_ptr<Connection> cn_;
};

TEST_F(WrittenValuesTest, ValuesTheColumnCannotHoldAreRefusedAndNothingIsStored) {
  struct Case {
    const char* sql;
    int32_t number;
  };
  const Case cases[] = {
      {"insert into T (ID) values ('abc')", kErrTypeMismatch},
      {"insert into T (ID, N) values (3, 'x')", kErrTypeMismatch},
      {"insert into T (ID, Y) values (3, 'x')", kErrTypeMismatch},
      {"insert into T (ID, D) values (3, 'x')", kErrTypeMismatch},
      {"insert into T (ID, C) values (3, '')", kErrTypeMismatch},
      {"insert into T (ID, RQ) values (3, 'not a date')", kErrTypeMismatch},
      {"insert into T (ID, D) values (3, Chr(65))", kErrTypeMismatch},
      {"insert into T values (3, 'abc', 1, 0, 1, 1, #2008-07-03#, 'x')", kErrTypeMismatch},
      {"insert into T (ID) values (3000000000)", kErrNumericOverflow},
      {"insert into T (ID, N) values (3, 40000)", kErrNumericOverflow},
      {"insert into T (ID, N) values (3, -32768.6)", kErrNumericOverflow},
      {"insert into T (ID, B) values (3, 'x')", kErrTypeMismatch},
      {"insert into T (ID, C) values (3, 1E20)", kErrNumericOverflow},
      {"update T set D = 'x'", kErrTypeMismatch},
      {"update T set ID = ID + 3000000000 where ID = 2", kErrNumericOverflow},
      {"update T set Y = 'maybe', PM = 'z'", kErrTypeMismatch},
      // INSERT ... SELECT, with and without a column list: the second row's
      // text '7' converts, the first row's 'abc' does not, so neither goes in.
      {"insert into T (ID) select PM from T", kErrTypeMismatch},
      {"insert into T select ID + 10, PM, B, Y, D, C, RQ, PM from T", kErrTypeMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    int32_t number = 0;
    std::string message = errorOf([&] { cn_->execute(c.sql); }, &number);
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(message, c.number == kErrTypeMismatch ? kTypeMismatchText : kNumericOverflowText);
    EXPECT_EQ(readAll(), 2);
  }
  auto q = open("select PM, D, Y from T order by ID");
  EXPECT_EQ(q->field("PM").value(), Variant(u"abc"));
  EXPECT_EQ(q->field("D").value(), Variant(1.5));
  EXPECT_TRUE(q->field("Y").value().isEmptyOrNull());
}

TEST_F(WrittenValuesTest, ParameterValuesAreCheckedLikeLiterals) {
  int32_t number = 0;
  errorOf(
      [&] {
        cn_->execute("insert into T (ID, D) values (?, ?)",
                     std::vector{Parameter::of(Variant::i4(5)), Parameter::of(Variant(u"x"))});
      },
      &number);
  EXPECT_EQ(number, kErrTypeMismatch);
  EXPECT_EQ(readAll(), 2);
}

TEST_F(WrittenValuesTest, ValuesJetConvertsAreStoredAsTheirColumnsType) {
  cn_->execute("insert into T (ID, N, B, Y, D, C, RQ) values ('12', 2.5, '255', 'True', '1.5', '2.25', '7/3/2008')");
  cn_->execute("insert into T (ID, N, Y, RQ) values (13.5, 3.5, 7, 39632)");
  // The second row's PM '7' is a number for ID; the first one's is filtered out.
  cn_->execute("insert into T (ID, D) select PM + 20, PM from T where ID = 2");
  cn_->execute("update T set C = '1,000.5', Y = 'false', RQ = '2008-07-03 10:30' where ID = 2");
  ASSERT_EQ(readAll(), 5);

  auto q = open("select * from T where ID = 12");
  EXPECT_EQ(q->field("ID").value(), Variant::i4(12));
  EXPECT_EQ(q->field("N").value(), Variant::i2(2));  // half to even
  EXPECT_EQ(q->field("B").value().toInt64(), 255);
  EXPECT_EQ(q->field("Y").value(), Variant::boolean(true));
  EXPECT_EQ(q->field("D").value(), Variant(1.5));
  EXPECT_DOUBLE_EQ(q->field("C").value().toDouble(), 2.25);
  EXPECT_EQ(q->field("RQ").value(), Variant::date(DateTime{2008, 7, 3, 0, 0, 0, 0}));

  q = open("select * from T where ID = 14");  // 13.5 to even
  EXPECT_EQ(q->field("N").value(), Variant::i2(4));
  EXPECT_EQ(q->field("Y").value(), Variant::boolean(true));
  EXPECT_EQ(q->field("RQ").value(), Variant::date(DateTime{2008, 7, 3, 0, 0, 0, 0}));

  q = open("select * from T where ID = 27");
  EXPECT_EQ(q->field("D").value(), Variant(7.0));

  q = open("select * from T where ID = 2");
  EXPECT_DOUBLE_EQ(q->field("C").value().toDouble(), 1000.5);
  EXPECT_EQ(q->field("Y").value(), Variant::boolean(false));
  EXPECT_EQ(q->field("RQ").value(), Variant::date(DateTime{2008, 7, 3, 10, 30, 0, 0}));
}

TEST_F(WrittenValuesTest, FunctionsTheDialectDoesNotDefineAreRefusedByName) {
  for (const char* f : {"randomblob(900000000)", "zeroblob(900000000)", "printf('%.*c', 900000000, 'x')", "typeof(ID)",
                        "load_extension('x')", "sqlite_version()", "Coalesce(PM, 'x')", "hex(PM)", "Max(ID, 2)"}) {
    SCOPED_TRACE(f);
    int32_t number = 0;
    std::string message = errorOf([&] { open(std::string("select ") + f + " from T"); }, &number);
    const std::string name = std::string(f).substr(0, std::string(f).find('('));
    if (name == "Max") {
      EXPECT_NE(message.find("Max called with 2 arguments"), std::string::npos) << message;
    } else {
      EXPECT_EQ(number, kErrUndefinedFunction);
      EXPECT_EQ(message, "Undefined function '" + name + "' in expression.");
    }
  }
  // Jet's own aggregates and functions still run.
  auto q = open(
      "select Count(*) AS N, Sum(D) AS S, Min(ID) AS L, Max(ID) AS H, Avg(D) AS A, First(PM) AS F, "
      "Count(DISTINCT PM) AS K, UCase(First(PM)) AS U from T");
  EXPECT_EQ(q->field("N").value().toInt64(), 2);
  EXPECT_EQ(q->field("S").value(), Variant(4.0));
  EXPECT_EQ(q->field("H").value().toInt64(), 2);
  EXPECT_EQ(q->field("K").value().toInt64(), 2);
  EXPECT_EQ(q->field("U").value(), Variant(u"ABC"));
}

TEST_F(WrittenValuesTest, AValueTooLargeToBuildIsRefusedAndTheConnectionGoesOn) {
  for (const char* sql : {"select Space(900000000) AS X from T", "select String(300000000, 'x') AS X from T"}) {
    SCOPED_TRACE(sql);
    std::string message = errorOf([&] {
      auto q = open(sql);
      (void)q->field("X").value();
    });
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
  }
  EXPECT_EQ(readAll(), 2);
  auto q = open("select Len(Space(1000)) AS X from T where ID = 1");
  EXPECT_EQ(q->field("X").value().toInt64(), 1000);
}

}  // namespace
}  // namespace rvz::data
