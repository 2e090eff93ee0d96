// Stored values to variants and back: the stored date form, the kinds'
// conversions and their fallbacks, and what parameters bind as.
#include "platform/data/values.h"

#include <gtest/gtest.h>

#include "platform/data/data_error.h"
#include "platform/text/text.h"

namespace rvz::data {
namespace {

Cell integer(int64_t v) {
  Cell c;
  c.cls = StorageClass::Integer;
  c.i = v;
  return c;
}
Cell real(double v) {
  Cell c;
  c.cls = StorageClass::Real;
  c.r = v;
  return c;
}
Cell textCell(std::string_view s) {
  Cell c;
  c.cls = StorageClass::Text;
  c.bytes = s;
  return c;
}
ColumnInfo column(FieldKind k, int32_t scale = 0) {
  ColumnInfo c;
  c.name = "F";
  c.kind = k;
  c.scale = scale;
  return c;
}

TEST(StoredDatesTest, ReadTheStoredAndTheLiteralForms) {
  const double d = DateTime{2008, 8, 30, 14, 25, 0, 0}.toOleDate();
  const double day = DateTime{2008, 8, 30, 0, 0, 0, 0}.toOleDate();
  struct Case {
    std::string text;
    std::optional<double> stored, literal;
  } cases[] = {
      {"2008-08-30 14:25:00", d, d},
      {"2008-08-30T14:25", d, d},
      {"2008-8-30", day, day},
      {"2008/08/30 14:25:00", d, d},
      {" 2008-08-30 ", day, day},
      {"8/30/2008", std::nullopt, day},
      {"8/30/2008 2:25:00 PM", std::nullopt, d},
      {"14:25:00", DateTime{1899, 12, 30, 14, 25, 0, 0}.toOleDate(), DateTime{1899, 12, 30, 14, 25, 0, 0}.toOleDate()},
      {"2008-02-30", std::nullopt, std::nullopt},
      {"2008-08-30 24:00:00", std::nullopt, std::nullopt},
      {"30.08.2008", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"2008-08-30 14:25:00 junk", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseStoredDate(c.text), c.stored) << c.text;
    EXPECT_EQ(parseDateLiteral(c.text), c.literal) << c.text;
  }
}

TEST(StoredDatesTest, WritesWholeSecondsAndReadsThemBack) {
  for (DateTime t : {DateTime{2008, 8, 30, 14, 25, 0, 0}, DateTime{1899, 12, 30, 0, 0, 0, 0},
                     DateTime{1850, 3, 1, 6, 0, 1, 0}, DateTime{9999, 12, 31, 23, 59, 59, 0}}) {
    std::string s = formatStoredDate(t.toOleDate());
    ASSERT_EQ(s.size(), 19u) << s;
    EXPECT_EQ(parseStoredDate(s), t.toOleDate()) << s;
  }
  EXPECT_EQ(formatStoredDate(DateTime{2008, 8, 30, 23, 59, 59, 600}.toOleDate()), "2008-08-31 00:00:00");
  EXPECT_EQ(formatStoredDate(DateTime{1850, 3, 1, 6, 0, 1, 0}.toOleDate()), "1850-03-01 06:00:01");
}

TEST(CellValuesTest, KindsAndTheirFallbacks) {
  struct Case {
    FieldKind kind;
    Cell cell;
    Variant expected;
  } cases[] = {
      {FieldKind::SmallInt, integer(-5), Variant::i2(-5)},
      {FieldKind::Integer, textCell("42"), Variant(42)},
      {FieldKind::Integer, real(2.5), Variant(2)},
      {FieldKind::Integer, real(3.5), Variant(4)},
      {FieldKind::LargeInt, integer(1LL << 40), Variant::i8(1LL << 40)},
      {FieldKind::Boolean, integer(-1), Variant(true)},
      {FieldKind::Boolean, integer(1), Variant(true)},
      {FieldKind::Boolean, integer(0), Variant(false)},
      {FieldKind::Boolean, textCell("False"), Variant(false)},
      {FieldKind::Float, integer(3), Variant(3.0)},
      {FieldKind::WideString, integer(7), Variant(u"7")},
      {FieldKind::WideString, real(1.5), Variant(u"1.5")},
      {FieldKind::DateTime, real(39690.25), Variant::date(39690.25)},
      {FieldKind::Date, textCell("2008-08-30 14:25:00"), Variant::date(DateTime{2008, 8, 30, 0, 0, 0, 0})},
      {FieldKind::Time, textCell("2008-08-30 06:00:00"), Variant::date(0.25)},
      {FieldKind::Blob, textCell("ab"), Variant(SafeArray::bytes({'a', 'b'}))},
  };
  for (const auto& c : cases)
    EXPECT_EQ(cellToVariant(column(c.kind), c.cell), c.expected)
        << kindName(c.kind) << " " << varTypeName(c.expected.vt());

  ColumnInfo money = column(FieldKind::BCD, 4);
  money.currency = true;
  EXPECT_EQ(cellToVariant(money, real(-1.23456)), Variant::cy(Currency{-12346}));
  EXPECT_EQ(cellToVariant(money, integer(3)), Variant::cy(Currency{30000}));
  EXPECT_EQ(cellToVariant(column(FieldKind::BCD, 2), real(2.675)).decimalValue().toString().size(), 4u);
  EXPECT_EQ(cellToVariant(column(FieldKind::BCD, 3), textCell("12.3456")), Variant::decimal(Decimal::parse("12.346")));
  EXPECT_EQ(cellToVariant(column(FieldKind::BCD, 2), integer(-7)), Variant::decimal(Decimal::parse("-7.00")));

  ColumnInfo computed = column(FieldKind::Integer);
  computed.kindFromValues = true;
  EXPECT_EQ(cellToVariant(computed, real(2.5)), Variant(2.5));
  EXPECT_EQ(cellToVariant(computed, integer(1LL << 33)), Variant::i8(1LL << 33));
  EXPECT_EQ(cellToVariant(computed, textCell("x")), Variant(u"x"));
  EXPECT_TRUE(cellToVariant(column(FieldKind::Integer), Cell{}).isNull());
}

TEST(CellValuesTest, ValuesThatDoNotFitFail) {
  struct Case {
    FieldKind kind;
    Cell cell;
  } cases[] = {
      {FieldKind::SmallInt, integer(40000)}, {FieldKind::Integer, integer(1LL << 33)},
      {FieldKind::Integer, textCell("abc")}, {FieldKind::Boolean, textCell("maybe")},
      {FieldKind::Float, textCell("1,5")},   {FieldKind::DateTime, textCell("2008-13-01")},
      {FieldKind::DateTime, real(1e12)},     {FieldKind::Blob, integer(1)},
      {FieldKind::Word, integer(-1)},
  };
  for (const auto& c : cases) {
    try {
      cellToVariant(column(c.kind), c.cell);
      ADD_FAILURE() << kindName(c.kind) << " accepted";
    } catch (const DataError& e) {
      EXPECT_EQ(e.number(), kErrValue);
      std::string expected = std::string(" is not a valid ") + std::string(kindName(c.kind)) + " value";
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("Field 'F': ", 0), 0u) << e.what();
    }
  }
}

TEST(BoundValuesTest, VariantsBindByTheStorageConventions) {
  auto bound = [](const Variant& v, FieldKind hint = FieldKind::Unknown) { return toBoundValue(v, hint); };
  EXPECT_EQ(bound(Variant()).cls, StorageClass::Null);
  EXPECT_EQ(bound(Variant::null()).cls, StorageClass::Null);
  EXPECT_EQ(bound(Variant(true)).i, -1);
  EXPECT_EQ(bound(Variant(false)).i, 0);
  EXPECT_EQ(bound(Variant(5), FieldKind::Boolean).i, -1);
  EXPECT_EQ(bound(Variant(u"True"), FieldKind::Boolean).i, -1);
  EXPECT_EQ(bound(Variant::cy(Currency{50000})).cls, StorageClass::Integer);
  EXPECT_EQ(bound(Variant::cy(Currency{50000})).i, 5);
  EXPECT_DOUBLE_EQ(bound(Variant::cy(Currency{12345})).r, 1.2345);
  EXPECT_EQ(bound(Variant::decimal(Decimal::parse("12.00"))).i, 12);
  EXPECT_DOUBLE_EQ(bound(Variant::decimal(Decimal::parse("12.5"))).r, 12.5);
  EXPECT_EQ(bound(Variant::date(DateTime{2008, 8, 30, 14, 25, 0, 0})).bytes, "2008-08-30 14:25:00");
  EXPECT_EQ(bound(Variant(u"8/30/2008"), FieldKind::DateTime).bytes, "2008-08-30 00:00:00");
  EXPECT_EQ(bound(Variant(39690.0), FieldKind::Date).bytes, "2008-08-30 00:00:00");
  EXPECT_EQ(bound(Variant(u"中文")).bytes, "中文");
  EXPECT_EQ(bound(Variant(SafeArray::bytes({0, 1}))).cls, StorageClass::Blob);
  EXPECT_EQ(bound(Variant(SafeArray::bytes({0, 1}))).bytes, std::string("\0\1", 2));
  EXPECT_THROW(bound(Variant(SafeArray::variants({Variant(1)}))), DataError);
}

// A value bound for a column is converted to the column's kind, as Jet
// converts it, so that what is stored can be read back.
TEST(BoundValuesTest, ValuesAreConvertedToTheColumnsKind) {
  struct Case {
    Variant value;
    FieldKind kind;
    StorageClass cls;
    int64_t i;
    double r;
  } cases[] = {
      {Variant(u"12"), FieldKind::Integer, StorageClass::Integer, 12, 0},
      {Variant(u" -7 "), FieldKind::SmallInt, StorageClass::Integer, -7, 0},
      {Variant(u"2.5"), FieldKind::Integer, StorageClass::Integer, 2, 0},  // half to even
      {Variant(u"3.5"), FieldKind::LargeInt, StorageClass::Integer, 4, 0},
      {Variant(2.5), FieldKind::Integer, StorageClass::Integer, 2, 0},
      {Variant::cy(Currency{125000}), FieldKind::Integer, StorageClass::Integer, 12, 0},
      {Variant::date(DateTime{2008, 8, 30, 0, 0, 0, 0}), FieldKind::Integer, StorageClass::Integer, 39690, 0},
      {Variant(true), FieldKind::Integer, StorageClass::Integer, -1, 0},
      {Variant(u"1.25"), FieldKind::Float, StorageClass::Real, 0, 1.25},
      {Variant(u"3"), FieldKind::Float, StorageClass::Real, 0, 3},
      {Variant(u"12"), FieldKind::BCD, StorageClass::Integer, 12, 0},
      {Variant(u"12.5"), FieldKind::Currency, StorageClass::Real, 0, 12.5},
      {Variant::date(DateTime{2008, 8, 30, 12, 0, 0, 0}), FieldKind::Float, StorageClass::Real, 0, 39690.5},
      {Variant(u"false"), FieldKind::Boolean, StorageClass::Integer, 0, 0},
      {Variant(u"-1"), FieldKind::Boolean, StorageClass::Integer, -1, 0},
      {Variant(0.5), FieldKind::Boolean, StorageClass::Integer, -1, 0},
      {Variant::cy(Currency{0}), FieldKind::Boolean, StorageClass::Integer, 0, 0},
      {Variant(12), FieldKind::WideString, StorageClass::Integer, 12, 0},  // a text column gives its text back
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(kindName(c.kind)) + " from " + text::wideToUtf8(c.value.toText()));
    BoundValue b = toBoundValue(c.value, c.kind);
    ASSERT_EQ(b.cls, c.cls);
    if (c.cls == StorageClass::Integer)
      EXPECT_EQ(b.i, c.i);
    else
      EXPECT_DOUBLE_EQ(b.r, c.r);
    EXPECT_EQ(b.kind, c.kind);
  }
  EXPECT_EQ(toBoundValue(Variant(u"abc"), FieldKind::WideString).bytes, "abc");
  EXPECT_EQ(toBoundValue(Variant::null(), FieldKind::Integer).cls, StorageClass::Null);
}

TEST(BoundValuesTest, ValuesTheColumnCannotHoldAreRefused) {
  struct Case {
    Variant value;
    FieldKind kind;
    int32_t number;
    std::string_view text;
  } cases[] = {
      {Variant(u"abc"), FieldKind::Integer, kErrTypeMismatch, kTypeMismatchText},
      {Variant(u""), FieldKind::LargeInt, kErrTypeMismatch, kTypeMismatchText},
      {Variant(u"12abc"), FieldKind::SmallInt, kErrTypeMismatch, kTypeMismatchText},
      {Variant(u"x"), FieldKind::Boolean, kErrTypeMismatch, kTypeMismatchText},
      {Variant(u"x"), FieldKind::Float, kErrTypeMismatch, kTypeMismatchText},
      {Variant(u"1,5"), FieldKind::BCD, kErrTypeMismatch, kTypeMismatchText},
      {Variant(u"not a date"), FieldKind::DateTime, kErrTypeMismatch, kTypeMismatchText},
      {Variant(u"2008-13-01"), FieldKind::Date, kErrTypeMismatch, kTypeMismatchText},
      {Variant(40000), FieldKind::SmallInt, kErrNumericOverflow, kNumericOverflowText},
      {Variant(-1), FieldKind::Word, kErrNumericOverflow, kNumericOverflowText},
      {Variant(u"3000000000"), FieldKind::Integer, kErrNumericOverflow, kNumericOverflowText},
      {Variant(1e19), FieldKind::LargeInt, kErrNumericOverflow, kNumericOverflowText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(kindName(c.kind)) + " from " + text::wideToUtf8(c.value.toText()));
    try {
      toBoundValue(c.value, c.kind);
      ADD_FAILURE() << "accepted";
    } catch (const DataError& e) {
      EXPECT_EQ(e.number(), c.number);
      EXPECT_EQ(e.what(), std::string(c.text));
    }
  }
}

}  // namespace
}  // namespace rvz::data
