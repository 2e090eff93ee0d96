// Bad input for every decoder: truncated, corrupt and inconsistent binary
// packets, XML that breaks the layout, and variants that are no packets;
// each is refused with a message naming what is wrong.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/packets/materialized.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"
#include "packet_samples.h"

namespace rvz::packets {
namespace {

std::string decodeError(std::span<const uint8_t> bytes) {
  try {
    decodePacket(bytes);
  } catch (const PacketError& e) {
    return e.what();
  }
  return "(accepted)";
}

std::string decodeError(std::string_view s) {
  return decodeError(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

std::vector<uint8_t> smallPacket() {
  MaterializedPacket p;
  p.columns = {{"ID", FieldType::I4}, {"OK", FieldType::Boolean}, {"W", FieldType::WideString}};
  p.attributes.primaryKey = {1};
  p.records.push_back({RowStatus::Original, {Cell::of(Variant::i4(1)), Cell::of(true), Cell::of(u"abc")}});
  return encode(p);
}

// Layout of smallPacket: header 0-7; column count 8; "ID" 9-15, "OK"
// 16-22, "W" 23-28 (length, name, type, attrs, mask, extras); dataset mask
// 29, PRIMARY_KEY 30-32, extras 33; row count 34-37; row: status 38, ID
// 39-43, OK 44-45, W 46-53.
constexpr size_t kSmallSize = 54, kRowCountAt = 34, kStatusAt = 38;

TEST(BinaryBad, EveryTruncationIsRefused) {
  std::vector<uint8_t> good = smallPacket();
  ASSERT_NO_THROW(decodePacket(good));
  for (size_t n = 0; n < good.size(); ++n) {
    std::string e = decodeError(std::span<const uint8_t>(good.data(), n));
    EXPECT_NE(e, "(accepted)") << "prefix of " << n << " bytes";
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_EQ(decodeError(longer), "packet has 1 trailing bytes after its 1 rows");
}

TEST(BinaryBad, CorruptFieldsAreNamed) {
  std::vector<uint8_t> good = smallPacket();
  ASSERT_EQ(good.size(), kSmallSize);
  const size_t rowCount = kRowCountAt, status = kStatusAt;
  struct Case {
    size_t offset;
    uint8_t value;
    const char* message;
  };
  std::vector<Case> cases{
      {0, 'X', "not a packet: it starts neither with the binary magic nor with XML"},
      {4, 2, "binary packet version 2 is not supported (expected 1)"},
      {6, 1, "binary packet has unknown flags 1"},
      {8, 100, "column count length 100 exceeds the"},
      {10, 'Z', ""},  // renames column 1: still a valid packet
      {12, 99, "column 'ID' has unknown field type 99"},
      {13, 8, "column 'ID' has unknown attribute bits 8"},
      {rowCount, 9, "row count 9 exceeds what the"},
      {status, 3, "row 1 has bad row status 3"},
      {status + 1, 7, "row 1 column 'ID' has bad value mark 7"},
      {status + 7, 2, "row 1 column 'OK' has bad boolean byte 2"},
      {status + 9, 100, "wide value length 100 exceeds the"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> b = good;
    ASSERT_LT(c.offset, b.size());
    b[c.offset] = c.value;
    std::string e = decodeError(b);
    if (*c.message == 0) {
      EXPECT_EQ(e, "(accepted)") << "offset " << c.offset;
    } else {
      EXPECT_NE(e.find(c.message), std::string::npos) << "offset " << c.offset << ": " << e;
    }
  }
}

TEST(BinaryBad, LayoutRulesApplyToDecodedPackets) {
  auto withColumns = [](std::vector<Column> cols, PacketAttributes a) {
    // Build the bytes by hand through the writer's layout, bypassing its checks.
    detail::OutBuffer out;
    size_t at = detail::writeBinaryLayout(out, cols, a);
    (void)at;
    return out.take();
  };
  struct Case {
    std::vector<Column> cols;
    PacketAttributes attrs;
    const char* message;
  };
  Column money("P", FieldType::I4);
  money.subtype = "Money";
  Column extra("E", FieldType::I4);
  extra.extra.push_back({"WIDTH", "3"});
  std::vector<Case> cases{
      {{{std::string(32, 'n'), FieldType::I4}}, {}, "is longer than 31 characters"},
      {{{"A", FieldType::I4}, {"A", FieldType::R8}}, {}, "column name 'A' occurs twice"},
      {{{"", FieldType::I4}}, {}, "column 1 has no name"},
      {{{"A", FieldType::I4}}, PacketAttributes{{2}, {}, {}, false, {}}, "PRIMARY_KEY position 2 is out of range 1..1"},
      {{{"A", FieldType::I4}}, PacketAttributes{{1, 1}, {}, {}, false, {}}, "PRIMARY_KEY names position 1 twice"},
      {{money}, {}, "column 'P': SUBTYPE Money does not fit fieldtype i4"},
      {{extra}, {}, "column 'E' extra attribute 'WIDTH' duplicates a known attribute"},
      {{{"\xFF\xFE", FieldType::I4}}, {}, "column 1 name is not valid UTF-8"},
  };
  for (const Case& c : cases) {
    std::string e = decodeError(withColumns(c.cols, c.attrs));
    EXPECT_NE(e.find(c.message), std::string::npos) << c.message << " / " << e;
  }
}

TEST(BinaryBad, DatesAndDecimalsOutOfTheirDomainAreRefused) {
  MaterializedPacket p;
  p.columns = {{"D", FieldType::Date}, {"F", FieldType::Fixed}};
  p.records.push_back({RowStatus::Original, {Cell::of(Variant::date(3.0)), Cell::of(Variant::decimal(Decimal{}))}});
  std::vector<uint8_t> good = encode(p);
  size_t date = good.size() - 14 - 1 - 8;  // payload of D: before F's mark and decimal
  std::vector<uint8_t> b = good;
  double half = 3.5;
  std::memcpy(&b[date], &half, 8);
  EXPECT_NE(decodeError(b).find("row 1 column 'D' has bad date value 3.5"), std::string::npos) << decodeError(b);
  b = good;
  double nan = std::nan("");
  std::memcpy(&b[date], &nan, 8);
  EXPECT_NE(decodeError(b).find("has bad date value"), std::string::npos);
  b = good;
  b[good.size() - 14] = 29;  // scale
  EXPECT_NE(decodeError(b).find("row 1 column 'F' has a bad decimal (scale 29"), std::string::npos) << decodeError(b);
}

TEST(XmlBad, LayoutBreachesAreNamed) {
  auto doc = [](const std::string& fields, const std::string& rows, const std::string& params = "<PARAMS/>") {
    return "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields + "</FIELDS>" + params +
           "</METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
  };
  const std::string id = "<FIELD attrname=\"ID\" fieldtype=\"i4\"/>";
  struct Case {
    std::string xml;
    const char* message;
  };
  std::vector<Case> cases{
      {"", "empty packet"},
      {"<DATAPACKET><METADATA>", "XML error at line 1"},
      {"<PACKET/>", "XML packet root is <PACKET>, not <DATAPACKET>"},
      {"<!DOCTYPE x [<!ENTITY a \"aaaa\">]><DATAPACKET/>", "XML packet must not have a DOCTYPE"},
      {"<DATAPACKET/>", "XML packet has no METADATA"},
      {doc("<FIELD attrname=\"X\" fieldtype=\"nested\"/>", ""), "FIELD 1 has unknown fieldtype 'nested'"},
      {doc("<FIELD fieldtype=\"i4\"/>", ""), "FIELD 1 has no attrname"},
      {doc("<FIELD attrname=\"X\"/>", ""), "FIELD 'X' has no fieldtype"},
      {doc("<FIELD attrname=\"" + std::string(32, 'L') + "\" fieldtype=\"i4\"/>", ""), "is longer than 31 characters"},
      {doc("<FIELD attrname=\"X\" fieldtype=\"i4\" WIDTH=\"wide\"/>", ""), "FIELD 1 has bad WIDTH 'wide'"},
      {doc(id, "<ROW NAME=\"1\"/>"), "ROW 1: attribute 'NAME' names no FIELD"},
      {doc(id, "<ROW RowState=\"3\" ID=\"1\"/>"), "ROW 1: bad RowState '3'"},
      {doc(id, "<ROW RowState=\"x\"/>"), "ROW 1: bad RowState 'x'"},
      {doc(id, "<ROW ID=\"1\"/><ROW ID=\"12x\"/>"), "ROW 2: bad i4 value '12x' for column 'ID'"},
      {doc(id, "<ROW ID=\"99999999999\"/>"), "ROW 1: value 99999999999 is out of range for column 'ID' (i4)"},
      {doc("<FIELD attrname=\"D\" fieldtype=\"date\"/>", "<ROW D=\"20080230\"/>"), "bad date value '20080230'"},
      {doc("<FIELD attrname=\"D\" fieldtype=\"dateTime\"/>", "<ROW D=\"20080230T25:00:00\"/>"), "bad dateTime value"},
      {doc("<FIELD attrname=\"B\" fieldtype=\"boolean\"/>", "<ROW B=\"yes\"/>"), "bad boolean value 'yes'"},
      {doc("<FIELD attrname=\"X\" fieldtype=\"bin.hex\"/>", "<ROW X=\"ABC\"/>"), "bad bin.hex value 'ABC'"},
      {doc("<FIELD attrname=\"X\" fieldtype=\"bin.hex\"/>", "<ROW X=\"zz\"/>"), "bad bin.hex value 'zz'"},
      {doc("<FIELD attrname=\"F\" fieldtype=\"fixed\"/>", "<ROW F=\"1.2.3\"/>"), "bad fixed value '1.2.3'"},
      {doc("<FIELD attrname=\"R\" fieldtype=\"r8\"/>", "<ROW R=\"1,5\"/>"), "bad r8 value '1,5'"},
      {doc(id, "", "<PARAMS PRIMARY_KEY=\"2\"/>"), "PRIMARY_KEY position 2 is out of range 1..1"},
      {doc(id, "", "<PARAMS PRIMARY_KEY=\"one\"/>"), "PRIMARY_KEY 'one' holds a bad position"},
      {doc(id, "", "<PARAMS DATASET_DELTA=\"yes\"/>"), "PARAMS has bad DATASET_DELTA 'yes'"},
      {doc(id, "<ROW ID=\"1\" RowMarks=\"N1\"/>"), "ROW 1: column 'ID' is marked N and has a value"},
      {doc(id, "<ROW RowMarks=\"N2\"/>"), "ROW 1: bad RowMarks entry 'N2'"},
      {doc(id, "<ROW RowMarks=\"N1 U1\"/>"), "ROW 1: RowMarks marks column 1 twice"},
      {doc(id, "<ROW ID=\"1\" RowMarks=\"E1\"/>"), "column 'ID' (i4) cannot be marked E"},
      {doc("<FIELD attrname=\"S\" fieldtype=\"string\"/>", "<ROW S=\"\uAC00\"/>"),
       "value of column 'S' holds character U+ac00, which code page 936 cannot hold"},
      {doc(id, "<ROW>text</ROW>"), "XML packet has text content in ROW"},
      {doc(id, "<ROW><X/></ROW>"), "unexpected element <X> in ROW"},
      {doc(id + "<FIELD attrname=\"Y\" fieldtype=\"i4\" tagname=\"ID\"/>", ""),
       "two FIELDs use the ROW attribute name 'ID'"},
      {doc("<FIELD attrname=\"Y\" fieldtype=\"i4\" tagname=\"RowState\"/>", ""),
       "uses the reserved ROW attribute name"},
      {"<?xml version=\"1.0\" encoding=\"EBCDIC\"?><DATAPACKET/>", "XML error at line 1"},
      {"<?xml version=\"1.0\" encoding=\"GBK\"?><DATAPACKET a=\"\x81\x20\"/>", "XML error at line 1"},
  };
  for (const Case& c : cases) {
    std::string e = decodeError(c.xml);
    EXPECT_NE(e.find(c.message), std::string::npos) << c.xml << "\n  wanted: " << c.message << "\n  got: " << e;
  }
}

TEST(VariantBad, OnlyByteArraysCarryPackets) {
  auto error = [](const Variant& v) {
    try {
      decodePacket(v);
    } catch (const PacketError& e) {
      return std::string(e.what());
    }
    return std::string("(accepted)");
  };
  EXPECT_NE(error(Variant::null()).find("a packet must be a byte array variant, not"), std::string::npos);
  EXPECT_NE(error(Variant::bstr(u"<DATAPACKET/>")).find("not"), std::string::npos);
  EXPECT_NE(error(Variant::array(SafeArray(VT_UI1, {{0, 2}, {0, 2}}))).find("one dimension, not 2"), std::string::npos);
  EXPECT_EQ(error(packetToVariant({})), "empty packet");
}

}  // namespace
}  // namespace rvz::packets

namespace rvz::packets {
namespace {

TEST(XmlBad, EmptyRowsCannotBlowUpThePacket) {
  std::string xml = "<DATAPACKET><METADATA><FIELDS>";
  for (int i = 0; i < 2000; ++i) xml += "<FIELD attrname=\"C" + std::to_string(i) + "\" fieldtype=\"i4\"/>";
  xml += "</FIELDS></METADATA><ROWDATA>";
  for (int i = 0; i < 20000; ++i) xml += "<ROW/>";
  xml += "</ROWDATA></DATAPACKET>";
  try {
    decodePacket(std::string_view(xml));
    ADD_FAILURE() << "40 million values from " << xml.size() << " bytes";
  } catch (const PacketError& e) {
    EXPECT_NE(std::string(e.what()).find("XML packet has more values than its"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace rvz::packets
