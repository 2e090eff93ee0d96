// Variant kinds, conversions with the platform's text and rounding rules,
// arrays, and the equality used to compare parameter lists.
#include "platform/variant/variant.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rvz;

TEST(VariantText, NullAndEmptyGiveEmptyText) {
  EXPECT_EQ(Variant::null().toText(), u"");
  EXPECT_EQ(Variant().toText(), u"");
}

TEST(VariantText, NumbersAsThePlatformWritesThem) {
  struct Case {
    Variant v;
    std::u16string want;
  } cases[] = {
      {Variant::i4(-42), u"-42"},
      {Variant::i8(9007199254740993LL), u"9007199254740993"},
      {Variant::ui1(255), u"255"},
      {Variant::r8(1.5), u"1.5"},
      {Variant::r8(0.1 + 0.2), u"0.3"},
      {Variant::r8(1e20), u"1E+20"},
      {Variant::r8(1e-5), u"1E-05"},
      {Variant::r8(123456789012345.0), u"123456789012345"},
      {Variant::r8(-0.0), u"0"},
      {Variant::r4(0.1f), u"0.1"},
      {Variant::cy(Currency{123400}), u"12.34"},
      {Variant::cy(Currency{-50000}), u"-5"},
      {Variant::cy(Currency{1}), u"0.0001"},
      {Variant::decimal(Decimal::parse("123.4500")), u"123.45"},
      {Variant::decimal(Decimal::parse("-0.5")), u"-0.5"},
      {Variant::boolean(true), u"True"},
      {Variant::boolean(false), u"False"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.v.toText(), c.want) << text::wideToUtf8(c.want);
}

TEST(VariantText, DatesInTheLocaleShortDateAndLongTime) {
  EXPECT_EQ(Variant::date(DateTime{2008, 8, 30}).toText(), u"2008-8-30");
  EXPECT_EQ(Variant::date(DateTime{2008, 8, 30, 14, 25, 0}).toText(), u"2008-8-30 14:25:00");
  EXPECT_EQ(Variant::date(DateTime{2008, 8, 30, 9, 5, 7}).toText(), u"2008-8-30 9:05:07");
  EXPECT_EQ(Variant::date(0.5).toText(), u"12:00:00");  // day zero: the time alone
}

TEST(OleDate, EpochAndNegativeDatesCountTheFractionForward) {
  EXPECT_EQ((DateTime{1899, 12, 30}.toOleDate()), 0.0);
  EXPECT_EQ((DateTime{1900, 1, 1}.toOleDate()), 2.0);
  EXPECT_EQ((DateTime{2008, 8, 30}.toOleDate()), 39690.0);
  EXPECT_EQ(DateTime({1899, 12, 29, 6, 0, 0}).toOleDate(), -1.25);
  EXPECT_EQ(DateTime::fromOleDate(-1.25), (DateTime{1899, 12, 29, 6, 0, 0}));
  DateTime t{2026, 12, 9, 23, 59, 59, 999};
  EXPECT_EQ(DateTime::fromOleDate(t.toOleDate()), t);
}

TEST(OleDate, OutOfRangeAndInvalidDatesAreRefused) {
  EXPECT_THROW(DateTime({2008, 2, 30}).toOleDate(), VariantError);
  EXPECT_THROW(DateTime({10000, 1, 1}).toOleDate(), VariantError);
  EXPECT_THROW(DateTime::fromOleDate(3e6), VariantError);
  EXPECT_THROW(DateTime::fromOleDate(std::nan("")), VariantError);
}

TEST(VariantNumbers, IntegerConversionRoundsHalfToEvenAndChecksOverflow) {
  EXPECT_EQ(Variant::r8(2.5).toInt32(), 2);
  EXPECT_EQ(Variant::r8(3.5).toInt32(), 4);
  EXPECT_EQ(Variant::r8(-2.5).toInt32(), -2);
  EXPECT_EQ(Variant::cy(Currency{25000}).toInt32(), 2);
  EXPECT_EQ(Variant::cy(Currency{35000}).toInt32(), 4);
  EXPECT_EQ(Variant(u" 17 ").toInt32(), 17);
  try {
    Variant::r8(3e9).toInt32();
    FAIL();
  } catch (const VariantError& e) {
    EXPECT_EQ(e.status(), kDispOverflow);
  }
  try {
    Variant(u"12abc").toDouble();
    FAIL();
  } catch (const VariantError& e) {
    EXPECT_EQ(e.status(), kDispTypeMismatch);
    EXPECT_STREQ(e.what(), "Could not convert variant of type (OleStr) into type (Double)");
  }
  EXPECT_THROW(Variant::null().toDouble(), VariantError);
  EXPECT_EQ(Variant().toDouble(), 0.0);
}

TEST(VariantNumbers, CurrencyAndDecimalParseAndRange) {
  EXPECT_EQ(Currency::parse("12.3400").scaled, 123400);
  EXPECT_EQ(Currency::parse("-0.00005").scaled, 0);  // digits past four decimals are dropped
  EXPECT_EQ(Currency::parse("922337203685477.5807").scaled, INT64_MAX);
  EXPECT_THROW(Currency::parse("922337203685477.5808"), VariantError);
  EXPECT_THROW(Currency::parse("1.2.3"), VariantError);
  Decimal d = Decimal::parse("79228162514264337593543950335");
  EXPECT_EQ(d.toString(), "79228162514264337593543950335");
  EXPECT_THROW(Decimal::parse("79228162514264337593543950336"), VariantError);
  EXPECT_EQ(Decimal::parse("0.0012").toString(), "0.0012");
  EXPECT_EQ(Decimal::fromDouble(0.1).toString(), "0.1");
  EXPECT_EQ(Decimal::fromDouble(-1234.5e3).toString(), "-1234500");
  EXPECT_DOUBLE_EQ(Decimal::parse("-12.5").toDouble(), -12.5);
}

TEST(VariantConvert, ChangeTypeBetweenKinds) {
  EXPECT_EQ(Variant(u"2008-08-30 14:25:00").changeType(VT_DATE).realValue(),
            DateTime({2008, 8, 30, 14, 25, 0}).toOleDate());
  EXPECT_EQ(Variant(u"true").changeType(VT_BOOL).boolValue(), true);
  EXPECT_EQ(Variant::i4(0).changeType(VT_BOOL).intValue(), 0);
  EXPECT_EQ(Variant::boolean(true).changeType(VT_I4).intValue(), -1);
  EXPECT_EQ(Variant::r8(12.34).changeType(VT_CY).cyValue().scaled, 123400);
  EXPECT_EQ(Variant::i4(300).changeType(VT_I2).intValue(), 300);
  EXPECT_THROW(Variant::i4(300).changeType(VT_UI1), VariantError);
  EXPECT_THROW(Variant::null().changeType(VT_I4), VariantError);
  EXPECT_EQ(Variant::null().changeType(VT_VARIANT).vt(), VT_NULL);
}

TEST(SafeArrays, BoundsAndMultipleDimensions) {
  SafeArray a(VT_I4, {{1, 2}, {-1, 3}});  // 2 x 3, first index fastest
  EXPECT_EQ(a.size(), 6u);
  int32_t idx[] = {2, 0};
  a.set(idx, Variant(7));
  EXPECT_EQ(a.flatIndex(idx), 3u);
  EXPECT_EQ(a.get(3).intValue(), 7);
  int32_t bad[] = {3, 0};
  EXPECT_THROW(a.get(bad), VariantError);
  a.set(0, Variant(u"12"));  // converted to the element kind
  EXPECT_EQ(a.get(0).vt(), VT_I4);
  EXPECT_THROW(a.set(1, Variant(u"x")), VariantError);
}

TEST(SafeArrays, ByteArraysAndArraysOfArrays) {
  Variant bytes = SafeArray::bytes({1, 2, 250});
  EXPECT_EQ(bytes.vt(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(bytes.arrayValue().get(2).intValue(), 250);

  Variant inner = SafeArray::variants({Variant(u"Z.CJID"), Variant::null()});
  Variant outer = SafeArray::variants({inner, Variant(3)});
  Variant copy = outer;  // deep copy
  copy.arrayValue().set(1, Variant(4));
  EXPECT_EQ(outer.arrayValue().get(1).intValue(), 3);
  EXPECT_EQ(copy.arrayValue().get(0).arrayValue().get(0).bstrValue(), u"Z.CJID");
}

TEST(VariantEquality, KindAndValueBothCount) {
  EXPECT_TRUE(Variant().sameKindAndValue(Variant()));
  EXPECT_TRUE(Variant::null().sameKindAndValue(Variant::null()));
  EXPECT_FALSE(Variant().sameKindAndValue(Variant::null()));
  EXPECT_FALSE(Variant::i4(1).sameKindAndValue(Variant::i2(1)));
  EXPECT_FALSE(Variant(u"a").sameKindAndValue(Variant(u"A")));
  EXPECT_TRUE(Variant::decimal(Decimal::parse("1.5")).sameKindAndValue(Variant::decimal(Decimal::parse("1.50"))));
  EXPECT_TRUE(Variant(SafeArray::variants({1, u"x"})) == Variant(SafeArray::variants({1, u"x"})));
  EXPECT_FALSE(Variant(SafeArray::variants({1, u"x"})) == Variant(SafeArray::variants({1, u"y"})));
}

TEST(OleDate, EveryMomentOfTheFirstAndLastDayIsInRange) {
  double late = DateTime({100, 1, 1, 23, 59, 59}).toOleDate();
  EXPECT_LT(late, -657434.0);
  EXPECT_EQ(Variant::date(late).toOleDate(), late);
  EXPECT_EQ(DateTime::fromOleDate(late), (DateTime{100, 1, 1, 23, 59, 59}));
  double last = DateTime({9999, 12, 31, 23, 59, 59}).toOleDate();
  EXPECT_EQ(DateTime::fromOleDate(last), (DateTime{9999, 12, 31, 23, 59, 59}));
  // A serial that rounds past the last millisecond stays on the last day.
  EXPECT_EQ(DateTime::fromOleDate(2958465.999999999), (DateTime{9999, 12, 31, 23, 59, 59, 999}));
  EXPECT_THROW(DateTime::fromOleDate(-657435.5), VariantError);
}
