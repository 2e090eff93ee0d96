// Parameter lists: the tolerances of reading a client's list, packing, and
// the comparison that decides whether a provider's list changed.
#include <gtest/gtest.h>

#include "platform/packets/param_list.h"

namespace rvz::packets {
namespace {

Variant arrayOf(std::vector<Variant> items) { return Variant::array(SafeArray::variants(std::move(items))); }

Variant fullParam(const char16_t* name, Variant value, int type, int dir) {
  return arrayOf({Variant::bstr(name), std::move(value), Variant::i4(type), Variant::i4(dir), Variant::i4(10),
                  Variant::i4(5), Variant::i4(2)});
}

TEST(ParamRead, WhatReadsAsAnEmptyList) {
  EXPECT_TRUE(readParamList(Variant::null()).empty());
  EXPECT_TRUE(readParamList(Variant()).empty());
  EXPECT_TRUE(readParamList(Variant::i4(3)).empty());
  EXPECT_TRUE(readParamList(Variant::bstr(u"x")).empty());
  EXPECT_TRUE(readParamList(arrayOf({})).empty());
  EXPECT_TRUE(readParamList(arrayOf({Variant::bstr(u"a"), Variant::i4(1)})).empty());
  EXPECT_TRUE(readParamList(Variant::array(SafeArray::bytes({1, 2, 3}))).empty());
}

TEST(ParamRead, FullElementsKeepEveryPart) {
  ParamList l = readParamList(arrayOf({fullParam(u"Z.CJID", Variant::i4(7), kParamInteger, kDirInput)}));
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l[0].name, u"Z.CJID");
  EXPECT_EQ(l[0].value, Variant::i4(7));
  EXPECT_EQ(l[0].dataType, kParamInteger);
  EXPECT_EQ(l[0].direction, kDirInput);
  EXPECT_EQ(l[0].size, 10);
  EXPECT_EQ(l[0].precision, 5);
  EXPECT_EQ(l[0].scale, 2);
  EXPECT_EQ(l[0].given, 7);
}

TEST(ParamRead, ElementsMayStopEarly) {
  Variant v = arrayOf({
      arrayOf({Variant::bstr(u"a"), Variant::bstr(u"text")}),
      arrayOf({Variant::bstr(u"b"), Variant::r8(1.5), Variant::i4(kParamCurrency)}),
      arrayOf({Variant::bstr(u"c"), Variant::null(), Variant::i4(kParamDate), Variant::i4(kDirOutput), Variant::i4(8)}),
      arrayOf({Variant::bstr(u"d"), Variant::i4(1), Variant::i4(0), Variant::i4(3), Variant::i4(1), Variant::i4(2),
               Variant::i4(3), Variant::bstr(u"ignored")}),
  });
  ParamList l = readParamList(v);
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[0].given, 2);
  EXPECT_EQ(l[0].dataType, kParamWideString);  // taken from the BSTR value, applied last
  EXPECT_EQ(l[0].direction, kDirUnknown);
  EXPECT_EQ(l[1].given, 3);
  EXPECT_EQ(l[1].dataType, kParamCurrency);  // given: the value does not override it
  EXPECT_EQ(l[2].dataType, kParamDate);
  EXPECT_EQ(l[2].direction, kDirOutput);
  EXPECT_EQ(l[2].size, 8);
  EXPECT_EQ(l[2].precision, 0);
  EXPECT_TRUE(l[2].isNull());
  EXPECT_TRUE(l[2].bound());
  EXPECT_EQ(l[3].given, 7);
  EXPECT_EQ(l[3].dataType, kParamInteger);  // 0 given, so the I4 value decides
  EXPECT_EQ(l[3].direction, kDirInputOutput);
}

TEST(ParamRead, NumbersConvertByTheVariantRules) {
  ParamList l = readParamList(arrayOf({arrayOf({Variant::i4(42), Variant(), Variant::bstr(u"3"), Variant::r8(1.0)})}));
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l[0].name, u"42");
  EXPECT_EQ(l[0].dataType, kParamInteger);
  EXPECT_EQ(l[0].direction, kDirInput);
  EXPECT_FALSE(l[0].bound());
}

TEST(ParamRead, BadElementsAreNamed) {
  struct Case {
    Variant list;
    std::string message;
  };
  std::vector<Case> cases{
      {arrayOf({arrayOf({Variant::bstr(u"a"), Variant::i4(1)}), Variant::i4(5)}),
       "parameter 2 is " + varTypeName(VT_I4) + ", not an array"},
      {arrayOf({arrayOf({Variant::bstr(u"a")})}), "parameter 1 has 1 values; name and value at least are needed"},
      {arrayOf({arrayOf({Variant::bstr(u"a"), Variant::i4(1), Variant::i4(4)})}),
       "parameter 1 'a' has unknown data type 4"},
      {arrayOf({arrayOf({Variant::bstr(u"a"), Variant::i4(1), Variant::i4(1), Variant::i4(9)})}),
       "parameter 1 'a' has unknown direction 9"},
      {arrayOf({arrayOf({Variant::bstr(u"a"), Variant::i4(1), Variant::bstr(u"x")})}),
       "parameter 1 'a' has a bad data type"},
      {arrayOf({arrayOf({Variant::bstr(u"a"), Variant::i4(1), Variant::i4(1), Variant::i4(1), Variant::r8(1e20)})}),
       "parameter 1 'a' has a bad size"},
      {Variant::array(SafeArray(VT_VARIANT, {{0, 1}, {0, 1}})), "a parameter list must have one dimension, not 2"},
  };
  for (const Case& c : cases) {
    try {
      readParamList(c.list);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const PacketError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(ParamPack, PacksSevenElementArraysAndNullForNone) {
  EXPECT_TRUE(packParamList({}).isNull());
  Param p;
  p.name = u"x";
  p.value = Variant::decimal(Decimal::parse("1.25"));
  p.dataType = kParamDecimal;
  p.direction = kDirInputOutput;
  p.size = 4, p.precision = 10, p.scale = 2;
  Variant v = packParamList({p, p});
  ASSERT_EQ(v.vt(), VT_ARRAY | VT_VARIANT);
  const SafeArray& a = v.arrayValue();
  ASSERT_EQ(a.dims(), 1u);
  EXPECT_EQ(a.bounds()[0].lowerBound, 0);
  EXPECT_EQ(a.bounds()[0].count, 2u);
  Variant first = a.get(0);
  const SafeArray& e = first.arrayValue();
  ASSERT_EQ(e.dims(), 1u);
  EXPECT_EQ(e.bounds()[0].lowerBound, 0);
  EXPECT_EQ(e.bounds()[0].count, 7u);
  EXPECT_EQ(e.get(0), Variant::bstr(u"x"));
  EXPECT_EQ(e.get(2), Variant::i4(kParamDecimal));
  EXPECT_EQ(e.get(6), Variant::i4(2));
  ParamList back = readParamList(v);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_TRUE(sameParamList(back, {p, p}));
  EXPECT_EQ(back[0].size, 4);
  EXPECT_EQ(back[0].precision, 10);
}

TEST(ParamCompare, WhatMakesListsDiffer) {
  Param base;
  base.name = u"Name";
  base.value = Variant::i4(1);
  base.dataType = kParamInteger;
  base.direction = kDirInput;
  auto with = [&](auto change) {
    Param p = base;
    change(p);
    return ParamList{p};
  };
  ParamList one{base};
  EXPECT_TRUE(sameParamList(one, one));
  EXPECT_TRUE(sameParamList(one, with([](Param& p) { p.size = 99, p.precision = 3, p.scale = 1, p.given = 2; })));
  EXPECT_FALSE(sameParamList(one, {}));
  EXPECT_FALSE(sameParamList(one, {base, base}));
  EXPECT_FALSE(sameParamList(one, with([](Param& p) { p.name = u"NAME"; })));
  EXPECT_FALSE(sameParamList(one, with([](Param& p) { p.value = Variant::i2(1); })));  // same value, other kind
  EXPECT_FALSE(sameParamList(one, with([](Param& p) { p.value = Variant::i4(2); })));
  EXPECT_FALSE(sameParamList(one, with([](Param& p) { p.dataType = kParamSmallInt; })));
  EXPECT_FALSE(sameParamList(one, with([](Param& p) { p.direction = kDirOutput; })));
  EXPECT_FALSE(
      sameParamList(with([](Param& p) { p.value = Variant(); }), with([](Param& p) { p.value = Variant::null(); })));
  EXPECT_TRUE(sameParamList(with([](Param& p) { p.value = Variant(); }), with([](Param& p) { p.value = Variant(); })));
  EXPECT_TRUE(sameParamList(with([](Param& p) { p.value = Variant::null(); }),
                            with([](Param& p) { p.value = Variant::null(); })));
}

}  // namespace
}  // namespace rvz::packets
