// The XML form: hand-written documents in the well-known layout, the exact
// attribute forms the writer produces, both document encodings, and
// well-formedness as xmllint sees it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "platform/packets/materialized.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"
#include "platform/text/text.h"
#include "packet_samples.h"

namespace rvz::packets {
namespace {

std::string asText(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

TEST(XmlRead, SampleInTheWellKnownLayout) {
  const char* xml = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
      <FIELD attrname="ID" fieldtype="i4" PROVFLAGS="7"/>
      <FIELD attrname="uName" fieldtype="string.uni" WIDTH="40"/>
      <FIELD attrname="DATASELECT" fieldtype="bin.hex" SUBTYPE="Text"/>
    </FIELDS>
    <PARAMS PRIMARY_KEY="1"/>
  </METADATA>
  <ROWDATA>
    <ROW ID="1" uName="张三"/>
  </ROWDATA>
</DATAPACKET>)";
  Packet p = decodePacket(std::string_view(xml));
  EXPECT_EQ(p.encoding(), Encoding::XmlUtf8);
  ASSERT_EQ(p.columnCount(), 3u);
  EXPECT_EQ(p.columns()[0].provFlags, 7);
  EXPECT_EQ(p.columns()[1].type, FieldType::WideString);
  EXPECT_EQ(p.columns()[1].width, 40);
  EXPECT_EQ(p.columns()[2].subtype, "Text");
  EXPECT_EQ(p.attributes().primaryKey, std::vector<uint16_t>{1});
  ASSERT_EQ(p.rowCount(), 1u);
  EXPECT_EQ(p.status(0), RowStatus::Original);
  EXPECT_EQ(p.i4Value(0, 0), 1);
  EXPECT_EQ(p.wide(0, 1), u"张三");
  EXPECT_EQ(p.state(0, 2), ValueState::Null);
}

TEST(XmlRead, DeltaInCodePage936WithEveryValueForm) {
  // 张三 in code page 936 is D5 C5 C8 FD.
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>"
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"ID\" fieldtype=\"i4\" required=\"true\" readonly=\"TRUE\"/>"
      "<FIELD attrname=\"MC\" fieldtype=\"string\" WIDTH=\"20\" SUBTYPE=\"FixedChar\"/>"
      "<FIELD attrname=\"RQ\" fieldtype=\"date\"/>"
      "<FIELD attrname=\"SJ\" fieldtype=\"dateTime\"/>"
      "<FIELD attrname=\"OK\" fieldtype=\"boolean\"/>"
      "<FIELD attrname=\"JE\" fieldtype=\"fixed\" WIDTH=\"18\" DECIMALS=\"2\"/>"
      "<FIELD attrname=\"TP\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>"
      "</FIELDS><PARAMS DATASET_DELTA=\"1\" TABLE_NAME=\"Cgdd\" LCID=\"2052\"/></METADATA><ROWDATA>"
      "<ROW RowState=\"1\" ID=\"5\" MC=\"\xD5\xC5\xC8\xFD\" RQ=\"20080830\" SJ=\"20080830T14:25:00120\" OK=\"TRUE\" "
      "JE=\"-12.50\" TP=\"00ff10\"/>"
      "<ROW RowState=\"8\" MC=\"a&amp;b&#13;&#10;\" RowMarks=\"N3\"/>"
      "<ROW RowState=\"4\" ID=\"6\" SJ=\"20080830T14:25:00\" OK=\"false\"/>"
      "<ROW RowState=\"2\" ID=\"7\"/>"
      "</ROWDATA></DATAPACKET>";
  Packet p = decodePacket(std::string_view(xml));
  EXPECT_EQ(p.encoding(), Encoding::XmlAnsi);
  EXPECT_EQ(p.columns()[0].attrs, kAttrRequired | kAttrReadOnly);
  EXPECT_TRUE(p.attributes().delta);
  EXPECT_EQ(p.attributes().tableName, "Cgdd");
  EXPECT_EQ(p.attributes().lcid, 2052);
  ASSERT_EQ(p.rowCount(), 4u);
  EXPECT_EQ(p.narrow(0, 1), "\xD5\xC5\xC8\xFD");
  EXPECT_EQ(p.realValue(0, 2), testing::oleDate(2008, 8, 30));
  EXPECT_EQ(p.realValue(0, 3), testing::oleDate(2008, 8, 30, 14, 25, 0, 120));
  EXPECT_TRUE(p.boolValue(0, 4));
  EXPECT_EQ(p.decimalValue(0, 5).toString(), "-12.50");
  EXPECT_EQ(p.narrow(0, 6), std::string("\x00\xff\x10", 3));
  EXPECT_EQ(p.status(1), RowStatus::Modified);
  EXPECT_EQ(p.state(1, 0), ValueState::Unchanged);
  EXPECT_EQ(p.narrow(1, 1), "a&b\r\n");
  EXPECT_EQ(p.state(1, 2), ValueState::Null);
  EXPECT_EQ(p.state(1, 3), ValueState::Unchanged);
  EXPECT_EQ(p.realValue(2, 3), testing::oleDate(2008, 8, 30, 14, 25));
  EXPECT_FALSE(p.boolValue(2, 4));
  EXPECT_EQ(p.state(2, 1), ValueState::Null);
  EXPECT_EQ(p.status(3), RowStatus::Deleted);
}

TEST(XmlRead, GbkAndUtf8DeclarationsGiveTheSamePacket) {
  auto doc = [](const char* enc, const std::string& name) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + enc +
           "\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"" + name +
           "\" fieldtype=\"string.uni\" WIDTH=\"8\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW " + name + "=\"" +
           name + "\"/></ROWDATA></DATAPACKET>";
  };
  Packet gbk = decodePacket(std::string_view(doc("GBK", "\xC3\xFB\xB3\xC6")));  // 名称
  Packet utf8 = decodePacket(std::string_view(doc("UTF-8", "名称")));
  EXPECT_EQ(gbk.columns(), utf8.columns());
  EXPECT_EQ(gbk.columns()[0].name, "名称");
  EXPECT_EQ(gbk.wide(0, 0), u"名称");
  EXPECT_EQ(utf8.wide(0, 0), u"名称");
}

// What the writer puts in a ROW, attribute by attribute.
TEST(XmlWrite, ValueFormsAreTheDocumentedOnes) {
  std::vector<Column> cols{{"D", FieldType::Date},    {"DT", FieldType::DateTime}, {"T", FieldType::Time},
                           {"B", FieldType::Boolean}, {"R", FieldType::R8},        {"X", FieldType::BinHex},
                           {"F", FieldType::Fixed},   {"S", FieldType::WideString}};
  PacketWriter w(cols, {}, Encoding::XmlUtf8);
  w.beginRow();
  w.putDate(testing::oleDate(2008, 8, 30));
  w.putDate(testing::oleDate(2008, 8, 30, 14, 25, 7, 9));
  w.putDate(testing::oleDate(1899, 12, 30, 8, 0, 1));
  w.putBool(false);
  w.putR8(1.5e-7);
  const uint8_t bytes[] = {0xAB, 0x01};
  w.putBytes(bytes);
  w.putDecimal(Decimal::parse("-0.50"));
  w.putWide(u"<a & \"b\">\t\r\n'");
  w.endRow();
  std::string xml = asText(w.finish());
  for (const char* want :
       {" D=\"20080830\"", " DT=\"20080830T14:25:07009\"", " T=\"08:00:01000\"", " B=\"FALSE\"", " R=\"1.5e-07\"",
        " X=\"AB01\"", " F=\"-0.50\"", " S=\"&lt;a &amp; &quot;b&quot;&gt;&#9;&#13;&#10;'\""})
    EXPECT_NE(xml.find(want), std::string::npos) << want << " not in " << xml;
}

TEST(XmlWrite, NullIsAbsentAndMarksOnlyWhereTheDefaultDiffers) {
  std::vector<Column> cols{{"A", FieldType::I4}, {"B", FieldType::I4}, {"M", FieldType::BinHex}};
  PacketWriter w(cols, {}, Encoding::XmlUtf8);
  w.beginRow(RowStatus::Original);
  w.putI4(1), w.putNull(), w.putNotFetched();
  w.endRow();
  w.beginRow(RowStatus::Modified);
  const uint8_t five[] = {5};
  w.putUnchanged(), w.putNull(), w.putBytes(five);
  w.endRow();
  w.beginRow(RowStatus::Inserted);
  w.putUnchanged(), w.putNull(), w.putNull();
  w.endRow();
  std::string xml = asText(w.finish());
  EXPECT_NE(xml.find("<ROW A=\"1\" RowMarks=\"F3\"/>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<ROW RowState=\"8\" M=\"05\" RowMarks=\"N2\"/>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<ROW RowState=\"4\" RowMarks=\"U1\"/>"), std::string::npos) << xml;
}

TEST(XmlWrite, AnsiDocumentCarriesCodePage936BytesAndReferencesTheRest) {
  std::vector<Column> cols{{"名称", FieldType::WideString}, {"N", FieldType::String}};
  PacketWriter w(cols, {}, Encoding::XmlAnsi);
  w.beginRow();
  w.putWide(u"张三\uAC00");
  w.putNarrow("\xC0\xEE\xCB\xC4");
  w.endRow();
  std::string xml = asText(w.finish());
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"GBK\"", 0), 0u);
  EXPECT_NE(xml.find("attrname=\"\xC3\xFB\xB3\xC6\""), std::string::npos);
  EXPECT_NE(xml.find("\xC3\xFB\xB3\xC6=\"\xD5\xC5\xC8\xFD&#xac00;\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("N=\"\xC0\xEE\xCB\xC4\""), std::string::npos);
  PacketWriter u(cols, {}, Encoding::XmlUtf8);
  u.beginRow();
  u.putWide(u"张三");
  u.putNarrow("\xC0\xEE\xCB\xC4");
  u.endRow();
  std::string utf8 = asText(u.finish());
  EXPECT_NE(utf8.find("名称=\"张三\""), std::string::npos) << utf8;
  EXPECT_NE(utf8.find("N=\"李四\""), std::string::npos) << utf8;
}

TEST(XmlWrite, EscapeFormIsHexOfTheRawValue) {
  std::vector<Column> cols{{"N", FieldType::String}, {"W", FieldType::WideString}};
  PacketWriter w(cols, {}, Encoding::XmlUtf8);
  w.beginRow();
  w.putNarrow(std::string("a\x01", 2));
  w.putWide(WString(u"b") + static_cast<char16_t>(0xDC00));
  w.endRow();
  std::string xml = asText(w.finish());
  EXPECT_NE(xml.find("<ROW N=\"6101\" W=\"0062DC00\" RowMarks=\"E1 E2\"/>"), std::string::npos) << xml;
}

TEST(XmlWrite, NamesThatCannotBeAttributesGetATagname) {
  std::vector<Column> cols{{"Order No", FieldType::I4}, {"F1", FieldType::I4}};
  PacketWriter w(cols, {}, Encoding::XmlUtf8);
  w.beginRow();
  w.putI4(1), w.putI4(2);
  w.endRow();
  std::string xml = asText(w.finish());
  EXPECT_NE(xml.find("attrname=\"Order No\" fieldtype=\"i4\" tagname=\"F1_\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("<ROW F1_=\"1\" F1=\"2\"/>"), std::string::npos) << xml;
}

// Every document the writer makes must be well-formed for other parsers
// too; xmllint stands in for them where it is installed.
TEST(XmlWrite, DocumentsAreWellFormedForXmllint) {
  if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "xmllint not installed";
  MaterializedPacket delta = testing::sampleDelta();
  std::vector<Column> odd{{"Order No", FieldType::I4}, {"RowState", FieldType::WideString}, {"a:b", FieldType::String}};
  MaterializedPacket awkward{odd, {}, {}};
  awkward.records.push_back(
      {RowStatus::Modified,
       {Cell::of(Variant::i4(1)), Cell::of(WString(u"\x01\uAC00") + static_cast<char16_t>(0xD800)),
        Cell::narrow("\x81\x20")}});
  auto dir = std::filesystem::temp_directory_path() / ("rvz_packets_xml_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  int n = 0;
  for (const MaterializedPacket* p : {&delta, &awkward})
    for (Encoding e : {Encoding::XmlAnsi, Encoding::XmlUtf8}) {
      auto file = dir / ("packet" + std::to_string(++n) + ".xml");
      std::vector<uint8_t> bytes = encode(*p, e);
      std::ofstream(file, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      std::string cmd = "xmllint --noout '" + file.string() + "' 2>&1";
      EXPECT_EQ(std::system(cmd.c_str()), 0) << file;
    }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace rvz::packets

namespace rvz::packets {
namespace {

TEST(XmlRead, ByteOrderMarksAndUtf16Documents) {
  std::string body =
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"名\" fieldtype=\"string.uni\"/></FIELDS>"
      "</METADATA><ROWDATA><ROW 名=\"张三\"/></ROWDATA></DATAPACKET>";
  Packet bom = decodePacket(std::string_view("\xEF\xBB\xBF" + body));
  EXPECT_EQ(bom.wide(0, 0), u"张三");
  WString wide = u"\uFEFF" + *text::utf8ToWideStrict(body);
  std::string le(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
  Packet utf16 = decodePacket(std::string_view(le));
  EXPECT_EQ(utf16.columns()[0].name, "名");
  EXPECT_EQ(utf16.wide(0, 0), u"张三");
}

TEST(Options, XmlBitsChooseTheEncoding) {
  EXPECT_EQ(encodingFromOptions(1), Encoding::Binary);
  EXPECT_EQ(encodingFromOptions(1 | 4), Encoding::XmlAnsi);
  EXPECT_EQ(encodingFromOptions(4 | 8), Encoding::XmlUtf8);
  EXPECT_EQ(encodingFromOptions(8), Encoding::XmlUtf8);
  EXPECT_EQ(encodingFromOptions(0x100 | 2), Encoding::Binary);
}

}  // namespace
}  // namespace rvz::packets
