// The byte form of variants: every kind survives, bad bytes are refused.
#include "platform/variant/variant_wire.h"

#include <gtest/gtest.h>

using namespace rvz;

TEST(VariantWire, EveryKindRoundTrips) {
  SafeArray grid(VT_BSTR, {{0, 2}, {1, 2}});
  grid.set(3, Variant(u"右下"));
  Variant values[] = {
      Variant(),
      Variant::null(),
      Variant::i1(-5),
      Variant::i2(-300),
      Variant::i4(1 << 30),
      Variant::i8(-(1LL << 40)),
      Variant::ui1(200),
      Variant::ui2(60000),
      Variant::ui4(4000000000u),
      Variant::r4(1.25f),
      Variant::r8(-3.75),
      Variant::cy(Currency{-123456}),
      Variant::date(DateTime{2008, 8, 30, 14, 25, 0}),
      Variant(u"张三\U0001F600"),
      Variant::boolean(true),
      Variant::decimal(Decimal::parse("-12345678901234567890.123")),
      Variant::error(0x80020004),
      SafeArray::bytes({0, 1, 2, 255}),
      Variant(std::move(grid)),
      SafeArray::variants({SafeArray::variants({u"ID", 1}), Variant::null(), SafeArray::bytes({})}),
  };
  for (const auto& v : values) {
    Variant back = decodeVariant(encodeVariant(v));
    EXPECT_TRUE(back.sameKindAndValue(v)) << varTypeName(v.vt());
  }
}

TEST(VariantWire, BadBytesAreRefusedWithTheirReason) {
  auto reason = [](std::string bytes) -> std::string {
    try {
      decodeVariant(bytes);
    } catch (const VariantError& e) {
      return e.what();
    }
    return "accepted";
  };
  EXPECT_NE(reason("").find("truncated kind"), std::string::npos);
  EXPECT_NE(reason(std::string("\x03\x00\x01", 3)).find("truncated I4"), std::string::npos);
  EXPECT_NE(reason(std::string("\x63\x00", 2)).find("unknown variant kind 99"), std::string::npos);
  // A BSTR claiming a billion characters in a few bytes.
  EXPECT_NE(reason(std::string("\x08\x00\x00\xCA\x9A\x3B", 6)).find("exceeds the data"), std::string::npos);
  // An array of 2^32-1 variants in a few bytes.
  EXPECT_NE(reason(std::string("\x0C\x20\x01\x00\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 12)).find("exceeds the data"),
            std::string::npos);
  EXPECT_NE(reason(std::string("\x0B\x00\x05\x00", 4)).find("BOOL"), std::string::npos);
  EXPECT_NE(reason(encodeVariant(Variant::i4(1)) + "x").find("1 bytes after"), std::string::npos);

  // Arrays nested past the depth limit.
  Variant deep = Variant::i4(0);
  for (int i = 0; i < 40; ++i) deep = SafeArray::variants({deep});
  EXPECT_NE(reason(encodeVariant(deep)).find("nested deeper"), std::string::npos);
}
