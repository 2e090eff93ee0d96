// Record filters: the expression syntax with its error texts, and which rows
// pass, on stored values and on an open query.
#include "platform/data/filter.h"

#include <gtest/gtest.h>

#include "platform/data/query.h"
#include "platform/data/values.h"
#include "tests/platform/data/data_test_support.h"

namespace rvz::data {
namespace {

using testing::errorOf;

// Rows of (ID Integer, MC WideString, ZT Boolean, JE Float, RQ DateTime, X computed).
struct Fixture {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<Cell>> rows;
  std::vector<std::string> texts;  // keeps the text cells' bytes alive

  Fixture() {
    auto col = [](const char* name, FieldKind k, bool fromValues = false) {
      ColumnInfo c;
      c.name = name;
      c.kind = k;
      c.kindFromValues = fromValues;
      return c;
    };
    columns = {col("ID", FieldKind::Integer),           col("MC", FieldKind::WideString),
               col("ZT", FieldKind::Boolean),           col("JE", FieldKind::Float),
               col("RQ", FieldKind::DateTime),          col("X", FieldKind::Integer, true),
               col("Field Name", FieldKind::WideString)};
    texts = {
        "Apple", "apple pie", "Ba'nana", "香蕉", "2008-08-30 14:25:00", "2008-09-01 00:00:00", "2009-01-15 08:00:00",
        "a",     "b"};
    rows = {
        {intCell(1), text(0), intCell(-1), real(12.5), text(4), intCell(5), text(7)},
        {intCell(2), text(1), intCell(0), real(0), text(5), real(2.5), text(8)},
        {intCell(3), text(2), intCell(-1), Cell{}, text(6), text(7), Cell{}},
        {intCell(4), text(3), intCell(0), real(100), Cell{}, Cell{}, text(7)},
        {intCell(5), Cell{}, intCell(0), real(-3), text(4), intCell(10), Cell{}},
    };
  }
  static Cell intCell(int64_t v) {
    Cell c;
    c.cls = StorageClass::Integer;
    c.i = v;
    return c;
  }
  static Cell real(double v) {
    Cell c;
    c.cls = StorageClass::Real;
    c.r = v;
    return c;
  }
  Cell text(size_t k) const {
    Cell c;
    c.cls = StorageClass::Text;
    c.bytes = texts[k];
    return c;
  }

  std::vector<int> passing(const std::string& expr) const {
    Filter f = Filter::parse(expr);
    f.bind(columns);
    std::vector<int> ids;
    for (const auto& r : rows)
      if (f.matches(r)) ids.push_back(static_cast<int>(r[0].i));
    return ids;
  }
};

TEST(FilterTest, SelectsTheRowsThatPass) {
  const Fixture fx;
  struct Case {
    std::string expr;
    std::vector<int> ids;
  } cases[] = {
      {"ID = 3", {3}},
      {"ID <> 3", {1, 2, 4, 5}},
      {"ID != 3", {1, 2, 4, 5}},
      {"ID >= 4", {4, 5}},
      {"id < 2 or ID > 4", {1, 5}},
      {"MC = 'APPLE'", {1}},         // text without regard to case
      {"MC <> 'apple'", {2, 3, 4}},  // a null field fails every comparison
      {"MC = 'Ba''nana'", {3}},
      {"MC = \"香蕉\"", {4}},
      {"MC > 'b'", {3, 4}},
      {"MC LIKE 'app*'", {1, 2}},
      {"MC LIKE '%PIE'", {2}},
      {"MC LIKE '*an*'", {3}},
      {"MC LIKE 'apple'", {1}},
      {"MC NOT LIKE 'a%'", {3, 4}},
      {"MC = Null", {5}},
      {"MC is null", {5}},
      {"MC <> NULL", {1, 2, 3, 4}},
      {"MC IS NOT NULL AND ZT = True", {1, 3}},
      {"ZT = -1", {1, 3}},
      {"ZT = false", {2, 4, 5}},
      {"ZT = 'True'", {1, 3}},
      {"JE > 10", {1, 4}},
      {"JE <= '0'", {2, 5}},
      {"JE = 12.5E0", {1}},
      {"RQ = #2008-08-30 14:25:00#", {1, 5}},
      {"RQ >= #9/1/2008#", {2, 3}},
      {"RQ < '2008-09-01'", {1, 5}},
      {"RQ > #2008/9/1#", {3}},
      {"(ID = 1 OR ID = 2) AND (ZT = True OR JE = 0)", {1, 2}},
      {"ID = 1 OR ID = 2 AND ZT = True", {1}},  // AND binds closer than OR
      {"((((ID = 4))))", {4}},
      {"X = 5", {1}},  // a computed column compares by its values' own kinds
      {"X > 2", {1, 2, 5}},
      {"X = 'a'", {3}},
      {"[Field Name] = 'A'", {1, 4}},
  };
  for (const auto& c : cases) EXPECT_EQ(fx.passing(c.expr), c.ids) << c.expr;
}

TEST(FilterTest, BadFiltersSayWhereAndWhat) {
  const Fixture fx;
  struct Case {
    std::string expr;
    std::string message;
  } cases[] = {
      {"ID =", "Invalid filter \"ID =\": expected a value after =, found the end of the filter at character 5"},
      {"= 3", "Invalid filter \"= 3\": expected a field name, found '=' at character 1"},
      {"ID 3", "Invalid filter \"ID 3\": expected an operator after 'ID', found '3' at character 4"},
      {"MC = 'abc", "Invalid filter \"MC = 'abc\": text value without its closing quote at character 6"},
      {"RQ = #2008-13-01#", "Invalid filter \"RQ = #2008-13-01#\": #2008-13-01# is not a valid date at character 6"},
      {"RQ = #2008", "Invalid filter \"RQ = #2008\": date value without its closing '#' at character 6"},
      {"(ID = 1", "Invalid filter \"(ID = 1\": expected ')', found the end of the filter at character 8"},
      {"ID = 1 AND",
       "Invalid filter \"ID = 1 AND\": expected a field name, found the end of the filter at character 11"},
      {"ID = 1 XOR ID = 2",
       "Invalid filter \"ID = 1 XOR ID = 2\": expected AND, OR or the end of the filter, found 'XOR' at character 8"},
      {"ID > Null", "Invalid filter \"ID > Null\": Null can only be compared with = or <>, not > at character 4"},
      {"ID = 1 ; drop", "Invalid filter \"ID = 1 ; drop\": unexpected character ';' at character 8"},
      {"MC IS 5", "Invalid filter \"MC IS 5\": expected NULL after IS, found '5' at character 7"},
      {"[MC = 1", "Invalid filter \"[MC = 1\": field name without its closing ']' at character 1"},
      {"Nope = 1", "Invalid filter \"Nope = 1\": there is no field 'Nope'"},
      {"ID = 'abc'", "Invalid filter \"ID = 'abc'\": the value abc cannot be compared with the Integer field 'ID'"},
      {"RQ = 'soon'", "Invalid filter \"RQ = 'soon'\": the value soon cannot be compared with the DateTime field 'RQ'"},
  };
  for (const auto& c : cases) {
    int32_t number = 0;
    std::string msg = errorOf([&] { fx.passing(c.expr); }, &number);
    EXPECT_EQ(msg, c.message) << c.expr;
    EXPECT_EQ(number, kErrArgument);
  }
  std::string deep(150, '(');
  EXPECT_NE(errorOf([&] { Filter::parse(deep + "ID = 1" + std::string(150, ')')); }).find("nested deeper than 100"),
            std::string::npos);
}

class QueryFilterTest : public testing::TempHome {};

TEST_F(QueryFilterTest, TakesEffectAtOnceAndKeepsTheOldOneOnError) {
  Connection cn(newDatabase());
  cn.execute("CREATE TABLE Kh (ID LONG, MC TEXT(20), ZT YESNO)");
  for (int i = 1; i <= 20; ++i)
    cn.execute("insert into Kh values (" + std::to_string(i) + ", 'n" + std::to_string(i) + "', " +
               (i % 2 ? "-1" : "0") + ")");
  Query q("Kh", &cn);
  q.setCommandText("select * from Kh order by ID");
  q.open();
  q.next();
  q.next();
  q.setFilter("ZT = True AND ID > 10");
  EXPECT_TRUE(q.filtered());
  EXPECT_EQ(q.field("ID").value().toInt32(), 11);  // moved to the first passing row
  EXPECT_EQ(q.recordCount(), 5);
  std::vector<int> ids;
  for (q.first(); !q.eof(); q.next()) ids.push_back(q.field("ID").value().toInt32());
  EXPECT_EQ(ids, (std::vector<int>{11, 13, 15, 17, 19}));

  std::string msg = errorOf([&] { q.setFilter("ZT = "); });
  EXPECT_EQ(msg.rfind("Kh: Invalid filter", 0), 0u) << msg;
  EXPECT_EQ(q.filterText(), "ZT = True AND ID > 10");
  EXPECT_EQ(q.recordCount(), 5);
  EXPECT_NE(errorOf([&] { q.setFilter("Missing = 1"); }).find("no field 'Missing'"), std::string::npos);
  EXPECT_EQ(q.recordCount(), 5);

  const std::vector<std::string> f = {"MC"};
  std::vector<Variant> v = {Variant(u"N13")};
  EXPECT_TRUE(q.locate(f, v));
  v = {Variant(u"n12")};
  EXPECT_FALSE(q.locate(f, v));  // filtered out

  q.setFilter("");
  EXPECT_FALSE(q.filtered());
  EXPECT_EQ(q.recordCount(), 20);
  EXPECT_EQ(q.field("ID").value().toInt32(), 1);

  // Set while closed, it applies at the next open.
  q.close();
  q.setFilter("ID <= 3");
  q.open();
  EXPECT_EQ(q.recordCount(), 3);
  q.close();
  q.setCommandText("select ID from Kh");
  q.setFilter("MC = 'x'");  // binds only at open
  EXPECT_NE(errorOf([&] { q.open(); }).find("no field 'MC'"), std::string::npos);
  EXPECT_FALSE(q.isOpen());
}

}  // namespace
}  // namespace rvz::data
