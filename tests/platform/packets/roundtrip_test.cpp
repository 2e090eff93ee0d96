// Round trips through every encoding: every field type, every value state
// and update status, dataset attributes, awkward names and texts, and the
// streaming writer's typed puts and checks.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "platform/packets/materialized.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"
#include "packet_samples.h"

namespace rvz::packets {
namespace {

using testing::allTypeColumns;
using testing::allTypeValues;
using testing::oleDate;

class EveryEncoding : public ::testing::TestWithParam<Encoding> {};

INSTANTIATE_TEST_SUITE_P(Forms, EveryEncoding,
                         ::testing::Values(Encoding::Binary, Encoding::XmlAnsi, Encoding::XmlUtf8),
                         [](const auto& info) {
                           switch (info.param) {
                             case Encoding::Binary: return std::string("Binary");
                             case Encoding::XmlAnsi: return std::string("XmlAnsi");
                             default: return std::string("XmlUtf8");
                           }
                         });

MaterializedPacket roundTrip(const MaterializedPacket& p, Encoding e) {
  Packet decoded = decodePacket(encode(p, e));
  EXPECT_EQ(decoded.encoding(), e);
  return materialize(decoded);
}

void expectSame(const MaterializedPacket& want, const MaterializedPacket& got) {
  EXPECT_EQ(want.columns, got.columns);
  EXPECT_EQ(want.attributes, got.attributes);
  ASSERT_EQ(want.records.size(), got.records.size());
  for (size_t r = 0; r < want.records.size(); ++r) {
    EXPECT_EQ(want.records[r].status, got.records[r].status) << "record " << r + 1;
    ASSERT_EQ(want.records[r].cells.size(), got.records[r].cells.size());
    for (size_t c = 0; c < want.records[r].cells.size(); ++c)
      EXPECT_TRUE(want.records[r].cells[c] == got.records[r].cells[c])
          << "record " << r + 1 << " column " << want.columns[c].name;
  }
}

TEST_P(EveryEncoding, DeltaWithEveryTypeStateAndStatusSurvives) {
  MaterializedPacket delta = testing::sampleDelta();
  expectSame(delta, roundTrip(delta, GetParam()));
}

TEST_P(EveryEncoding, DataPacketWithPrimaryKeySurvives) {
  MaterializedPacket p;
  p.columns = allTypeColumns();
  p.attributes.primaryKey = {1, 3};
  for (int i = 0; i < 12; ++i) p.records.push_back({RowStatus::Original, allTypeValues(i)});
  p.records.push_back({RowStatus::Original, testing::allNull(p.columns.size())});
  MaterializedPacket back = roundTrip(p, GetParam());
  expectSame(p, back);
  EXPECT_EQ(back.attributes.primaryKey, (std::vector<uint16_t>{1, 3}));
}

TEST_P(EveryEncoding, ValuesReadBackAsTheirVariantKinds) {
  MaterializedPacket p;
  p.columns = allTypeColumns();
  p.records.push_back({RowStatus::Original, allTypeValues(4)});
  Packet d = decodePacket(encode(p, GetParam()));
  EXPECT_EQ(d.value(0, 0).vt(), VT_I4);
  EXPECT_EQ(d.value(0, 1).bstrValue(), u"张三-4");  // narrow text decoded from code page 936
  EXPECT_EQ(d.narrow(0, 1), "\xD5\xC5\xC8\xFD-4");
  EXPECT_EQ(d.wide(0, 2).substr(0, 2), u"李四");
  EXPECT_EQ(d.value(0, 3).vt(), VT_I1);
  EXPECT_EQ(d.intValue(0, 8), 4000000004LL);
  EXPECT_EQ(d.value(0, 9).boolValue(), true);
  EXPECT_EQ(d.value(0, 11).vt(), VT_DECIMAL);
  EXPECT_EQ(d.value(0, 11).decimalValue().toString(), "-12345678901234.5674");
  EXPECT_EQ(d.value(0, 14).vt(), VT_DATE);
  EXPECT_EQ(d.realValue(0, 14), oleDate(2008, 8, 30, 14, 25, 0, 4));
  EXPECT_EQ(d.value(0, 15).bstrValue(), u"memo 备注 4");  // Text memo: code page 936 text
  EXPECT_EQ(d.value(0, 16).vt(), VT_ARRAY | VT_UI1);      // blob: bytes
  EXPECT_EQ(d.value(0, 17).bstrValue(), u"宽备注 e");
}

TEST_P(EveryEncoding, NullAndUnchangedInModifiedRowAreTold) {
  std::vector<Column> cols{{"A", FieldType::I4}, {"B", FieldType::WideString}, {"C", FieldType::I4}};
  PacketWriter w(cols, {}, GetParam());
  w.beginRow(RowStatus::Original);
  w.putI4(1), w.putWide(u"x"), w.putI4(2);
  w.endRow();
  w.beginRow(RowStatus::Modified);
  w.putUnchanged(), w.putNull(), w.putI4(3);
  w.endRow();
  w.beginRow(RowStatus::Modified);
  w.putNull(), w.putUnchanged(), w.putUnchanged();
  w.endRow();
  Packet d = decodePacket(w.finish());
  EXPECT_EQ(d.state(1, 0), ValueState::Unchanged);
  EXPECT_EQ(d.state(1, 1), ValueState::Null);
  EXPECT_EQ(d.i4Value(1, 2), 3);
  EXPECT_EQ(d.state(2, 0), ValueState::Null);
  EXPECT_EQ(d.state(2, 1), ValueState::Unchanged);
  EXPECT_EQ(d.value(2, 1).vt(), VT_EMPTY);
  EXPECT_EQ(d.value(2, 0).vt(), VT_NULL);
}

TEST_P(EveryEncoding, UnchangedAndNotFetchedOutsideModifiedRowsSurvive) {
  std::vector<Column> cols{{"A", FieldType::I4}, {"M", FieldType::BinHex}};
  cols[1].subtype = "Text";
  MaterializedPacket p{cols, {}, {}};
  p.records.push_back({RowStatus::Inserted, {Cell::unchanged(), Cell::notFetched()}});
  p.records.push_back({RowStatus::Modified, {Cell::notFetched(), Cell::null()}});
  expectSame(p, roundTrip(p, GetParam()));
}

TEST_P(EveryEncoding, TextsXmlCannotCarrySurvive) {
  std::vector<Column> cols{{"N", FieldType::String}, {"W", FieldType::WideString}};
  MaterializedPacket p{cols, {}, {}};
  WString control =
      u"a\x01"
      u"b\x1F\xFFFE";
  WString lone = WString(u"x") + static_cast<char16_t>(0xD800) + u"y" + static_cast<char16_t>(0xDC00);
  WString astral = u"\U0001F600 emoji, \u00E9, \u20AC, \uAC00";  // not all in code page 936
  p.records.push_back({RowStatus::Original, {Cell::narrow(std::string("\x81\x20 bad lead", 10)), Cell::of(control)}});
  p.records.push_back({RowStatus::Original, {Cell::narrow(std::string("\x07\x00z", 3)), Cell::of(lone)}});
  p.records.push_back({RowStatus::Original, {Cell::narrow("\xFF trail"), Cell::of(astral)}});
  p.records.push_back({RowStatus::Original, {Cell::narrow(""), Cell::of(WString())}});
  expectSame(p, roundTrip(p, GetParam()));
}

TEST_P(EveryEncoding, NamesThatAreNoXmlNamesSurvive) {
  std::vector<Column> cols{{"Order No", FieldType::I4}, {"RowState", FieldType::I4},     {"F1", FieldType::I4},
                           {"1st", FieldType::I4},      {"a:b", FieldType::I4},          {"名称", FieldType::I4},
                           {"RowMarks", FieldType::I4}, {"\u00E9t\u00E9", FieldType::I4}};
  MaterializedPacket p{cols, {}, {}};
  std::vector<Cell> cells;
  for (int i = 0; i < 8; ++i) cells.push_back(Cell::of(Variant::i4(i * 11)));
  p.records.push_back({RowStatus::Modified, cells});
  expectSame(p, roundTrip(p, GetParam()));
}

TEST_P(EveryEncoding, ExtremeNumbersAndDatesSurvive) {
  std::vector<Column> cols{{"I8", FieldType::I8},  {"R", FieldType::R8},        {"D", FieldType::Date},
                           {"T", FieldType::Time}, {"DT", FieldType::DateTime}, {"F", FieldType::Fixed}};
  MaterializedPacket p{cols, {}, {}};
  auto row = [&](int64_t i, double r, double d, double t, double dt, const char* f) {
    p.records.push_back(
        {RowStatus::Original,
         {Cell::of(Variant::i8(i)), Cell::of(Variant::r8(r)), Cell::of(Variant::date(d)), Cell::of(Variant::date(t)),
          Cell::of(Variant::date(dt)), Cell::of(Variant::decimal(Decimal::parse(f)))}});
  };
  row(INT64_MIN, -0.0, oleDate(100, 1, 1), 0.0, oleDate(100, 1, 1, 0, 0, 0, 1), "79228162514264337593543950335");
  row(INT64_MAX, 1.7976931348623157e308, oleDate(9999, 12, 31), oleDate(1899, 12, 30, 23, 59, 59, 999),
      oleDate(9999, 12, 31, 23, 59, 59, 999), "-0.0000000000000000000000000001");
  row(0, std::numeric_limits<double>::infinity(), oleDate(1899, 12, 29), oleDate(1899, 12, 30, 0, 0, 0, 1),
      oleDate(1800, 6, 15, 6, 30, 0, 500), "0");
  row(-1, 5e-324, 0.0, 0.5, -1.25, "123.4500");
  expectSame(p, roundTrip(p, GetParam()));
}

TEST_P(EveryEncoding, EmptyPacketsSurvive) {
  MaterializedPacket none;
  expectSame(none, roundTrip(none, GetParam()));
  MaterializedPacket columnsOnly{allTypeColumns(), {}, {}};
  expectSame(columnsOnly, roundTrip(columnsOnly, GetParam()));
}

TEST(Writer, TypedPutsConvertWhereTheTypesAllow) {
  std::vector<Column> cols{{"S", FieldType::String}, {"W", FieldType::WideString}, {"R", FieldType::R8},
                           {"F", FieldType::Fixed},  {"B", FieldType::BinHex},     {"D", FieldType::DateTime}};
  PacketWriter w(cols, {});
  w.beginRow();
  w.putWide(u"张三");               // narrow column: converted to code page 936
  w.putNarrow("\xC0\xEE\xCB\xC4");  // 李四, converted to UTF-16
  w.putCurrency(Currency{123456});
  w.putCurrency(Currency{-5});
  const uint8_t raw[] = {0, 1, 2};
  w.putBytes(raw);
  w.put(Variant::bstr(u"2008-08-30 14:25:00"));
  w.endRow();
  w.beginRow();
  w.put(Variant::bstr(u"王五"));
  w.put(Variant::i4(7));
  w.put(Variant::i4(7));
  w.put(Variant::cy(Currency{10000}));
  w.put(testing::bytesVariant("xyz"));
  w.put(Variant::date(oleDate(2001, 2, 3)));
  w.endRow();
  Packet d = decodePacket(w.finish());
  EXPECT_EQ(d.narrow(0, 0), "\xD5\xC5\xC8\xFD");
  EXPECT_EQ(d.wide(0, 1), u"李四");
  EXPECT_EQ(d.realValue(0, 2), 12.3456);
  EXPECT_EQ(d.decimalValue(0, 3).toString(), "-0.0005");
  EXPECT_EQ(d.narrow(0, 4), std::string("\0\1\2", 3));
  EXPECT_EQ(d.realValue(0, 5), oleDate(2008, 8, 30, 14, 25));
  EXPECT_EQ(d.value(1, 0).bstrValue(), u"王五");
  EXPECT_EQ(d.wide(1, 1), u"7");
  EXPECT_EQ(d.realValue(1, 2), 7.0);
  EXPECT_EQ(d.decimalValue(1, 3).toString(), "1.0000");
  EXPECT_EQ(d.narrow(1, 4), "xyz");
}

TEST(Writer, RefusesValuesThatDoNotFitTheColumn) {
  std::vector<Column> cols{{"ID", FieldType::I2},
                           {"D", FieldType::Date},
                           {"T", FieldType::Time},
                           {"P", FieldType::BinHex},
                           {"B", FieldType::Boolean}};
  cols[3].subtype = "Binary";
  struct Case {
    int column;
    std::function<void(PacketWriter&)> put;
    const char* message;
  };
  std::vector<Case> cases{
      {0, [](PacketWriter& w) { w.putI4(40000); }, "value 40000 is out of range for column 'ID' (i2)"},
      {0, [](PacketWriter& w) { w.putWide(u"x"); }, "column 'ID' (i2) cannot take wide text"},
      {0, [](PacketWriter& w) { w.put(Variant::bstr(u"abc")); }, "column 'ID' (i2) cannot take a value of type OleStr"},
      {1, [](PacketWriter& w) { w.putDate(1.5); }, "a date is a whole number of days"},
      {1, [](PacketWriter& w) { w.putDate(1e9); }, "cannot take date value"},
      {2, [](PacketWriter& w) { w.putDate(2.25); }, "a time lies in [0, 1)"},
      {3, [](PacketWriter& w) { w.putWide(u"text"); }, "column 'P' (bin.hex Binary) cannot take wide text"},
      {4, [](PacketWriter& w) { w.putR8(1); }, "column 'B' (boolean) cannot take a float"},
  };
  for (const Case& c : cases) {
    PacketWriter w(cols, {});
    w.beginRow();
    for (int i = 0; i < c.column; ++i) w.putNull();
    try {
      c.put(w);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const PacketError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(Writer, RefusesRowsOfTheWrongShape) {
  std::vector<Column> cols{{"A", FieldType::I4}, {"B", FieldType::I4}};
  PacketWriter w(cols, {});
  EXPECT_THROW(w.putI4(1), PacketError);  // outside a row
  w.beginRow();
  w.putI4(1);
  try {
    w.endRow();
    ADD_FAILURE();
  } catch (const PacketError& e) {
    EXPECT_STREQ(e.what(), "row 1 ends after 1 of 2 values");
  }
  w.putI4(2);
  try {
    w.putI4(3);
    ADD_FAILURE();
  } catch (const PacketError& e) {
    EXPECT_STREQ(e.what(), "row 1 has more values than its 2 columns");
  }
  EXPECT_THROW(w.beginRow(), PacketError);
  EXPECT_THROW(PacketWriter({{std::string(32, 'x'), FieldType::I4}}, {}), PacketError);
  EXPECT_THROW(PacketWriter(cols, PacketAttributes{{3}, {}, {}, false, {}}), PacketError);
}

TEST(Writer, ColumnNameLimitCountsCharactersNotBytes) {
  std::string chinese;
  for (int i = 0; i < 31; ++i) chinese += "名";  // 93 bytes of UTF-8, 31 characters
  EXPECT_NO_THROW(PacketWriter({{chinese, FieldType::I4}}, {}));
  try {
    PacketWriter({{chinese + "x", FieldType::I4}}, {});
    ADD_FAILURE();
  } catch (const PacketError& e) {
    EXPECT_NE(std::string(e.what()).find("is longer than 31 characters"), std::string::npos);
  }
}

TEST(Variants, PacketTravelsAsByteArray) {
  MaterializedPacket p = testing::sampleDelta();
  Variant v = packetToVariant(encode(p, Encoding::Binary));
  EXPECT_EQ(v.vt(), VT_ARRAY | VT_UI1);
  EXPECT_TRUE(materialize(decodePacket(v)) == p);
  Variant x = packetToVariant(encode(p, Encoding::XmlUtf8));
  EXPECT_TRUE(materialize(decodePacket(x)) == p);
}

TEST(Decoded, TypedAccessRefusesAbsentValuesAndOtherTypes) {
  MaterializedPacket p{{{"A", FieldType::I4}, {"B", FieldType::WideString}}, {}, {}};
  p.records.push_back({RowStatus::Original, {Cell::null(), Cell::of(u"x")}});
  Packet d = decodePacket(encode(p));
  EXPECT_THROW(d.i4Value(0, 0), PacketError);
  EXPECT_THROW(d.narrow(0, 1), PacketError);
  EXPECT_THROW(d.value(1, 0), PacketError);
  EXPECT_THROW(d.value(0, 2), PacketError);
  EXPECT_EQ(d.columnIndex("b"), 1);
  EXPECT_EQ(d.columnIndex("C"), -1);
}

}  // namespace
}  // namespace rvz::packets

namespace rvz::packets {
namespace {

// The example of docs/packet-format.md, byte for byte, both ways.
TEST(BinaryForm, DocumentedExampleIsWhatTheWriterWrites) {
  const std::vector<uint8_t> doc{0x52, 0x56, 0x5A, 0x50, 0x01, 0x00, 0x00, 0x00, 0x01, 0x02, 0x49,
                                 0x44, 0x05, 0x00, 0x01, 0x07, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00,
                                 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x05, 0x00, 0x00, 0x00};
  Column id("ID", FieldType::I4);
  id.provFlags = 7;
  PacketAttributes a;
  a.primaryKey = {1};
  PacketWriter w({id}, a);
  w.beginRow();
  w.putI4(5);
  w.endRow();
  EXPECT_EQ(w.finish(), doc);
  Packet p = decodePacket(std::span<const uint8_t>(doc));
  EXPECT_EQ(p.columns()[0], id);
  EXPECT_EQ(p.i4Value(0, 0), 5);
}

TEST(BinaryForm, WideTextStartsAtAnEvenOffset) {
  std::vector<Column> cols{{"A", FieldType::WideString}, {"B", FieldType::WideString}};
  PacketWriter w(cols, {});
  w.beginRow();
  w.putWide(u"x");
  w.putWide(u"yz");
  w.endRow();
  std::vector<uint8_t> b = w.finish();
  Packet p = decodePacket(std::span<const uint8_t>(b));
  for (size_t c = 0; c < 2; ++c) EXPECT_EQ(reinterpret_cast<uintptr_t>(p.wide(0, c).data()) % 2, 0u) << c;
  EXPECT_EQ(p.wide(0, 1), u"yz");
}

}  // namespace
}  // namespace rvz::packets
