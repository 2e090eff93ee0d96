// Packets in quib's JSON: the form a script writes encodes to the packet it
// describes and decodes back to the same JSON; faults name their place.
#include <gtest/gtest.h>

#include "client/quib_json.h"
#include "client/quib_packet.h"
#include "platform/packets/materialized.h"
#include "platform/packets/packet_writer.h"
#include "platform/remoting/error_info.h"

using namespace rvz;
using namespace rvz::client;
using json = nlohmann::json;

namespace {

std::string refusal(const char* text) {
  try {
    variantFromJson(json::parse(text), "arg");
  } catch (const ComError& e) {
    EXPECT_EQ(e.hresult(), E_INVALIDARG);
    return e.what();
  }
  return "(accepted)";
}

}  // namespace

TEST(QuibPacket, ADeltaWrittenInJsonIsThePacketItDescribes) {
  const char* text = R"({"packet": {
    "columns": [{"name": "ID", "fieldtype": "i4", "attrs": 0, "PROVFLAGS": 7},
                {"name": "uName", "fieldtype": "string.uni", "attrs": 0, "WIDTH": 40},
                {"name": "bm", "fieldtype": "string", "attrs": 2, "WIDTH": 10, "SUBTYPE": "FixedChar"},
                {"name": "price", "fieldtype": "fixed", "attrs": 0, "WIDTH": 18, "DECIMALS": 4},
                {"name": "rq", "fieldtype": "dateTime", "attrs": 0, "ORIGIN": "goods.rq"}],
    "attributes": {"PRIMARY_KEY": [1], "TABLE_NAME": "goods", "LCID": 2052},
    "rows": [{"status": "original", "values": [1, "甲", "A01", {"decimal": "12.5"}, {"date": "2008-08-30T14:25:00"}]},
             {"status": "modified", "values": [{"unchanged": true}, "乙", null, {"unchanged": true}, {"unchanged": true}]},
             {"status": "inserted", "values": [2, "丙", "B02", {"decimal": "3"}, null]}]}})";
  Variant v = variantFromJson(json::parse(text), "arg");
  packets::Packet p = packets::decodePacket(v);
  ASSERT_EQ(p.columnCount(), 5u);
  ASSERT_EQ(p.rowCount(), 3u);
  EXPECT_TRUE(p.attributes().delta);  // rows other than original make a delta
  EXPECT_EQ(p.attributes().tableName, "goods");
  EXPECT_EQ(p.columns()[0].provFlags, 7);
  EXPECT_EQ(p.columns()[2].subtype, "FixedChar");
  EXPECT_EQ(p.status(1), packets::RowStatus::Modified);
  EXPECT_EQ(p.state(1, 0), packets::ValueState::Unchanged);
  EXPECT_EQ(p.state(1, 2), packets::ValueState::Null);
  EXPECT_EQ(p.narrow(0, 2), text::wideToAnsi(u"A01"));
  EXPECT_EQ(p.wide(2, 1), WString(u"丙"));
  EXPECT_EQ(p.decimalValue(2, 3).toString(), "3");

  // Decoding gives the same JSON back, the delta flag now explicit.
  auto back = decodedPacket(v);
  ASSERT_TRUE(back);
  json want = json::parse(text);
  want["packet"]["attributes"]["DATASET_DELTA"] = 1;
  EXPECT_EQ(json::parse(back->dump()), want) << back->dump();
}

TEST(QuibPacket, NarrowTextKeepsItsCodePageBytes) {
  Variant v = variantFromJson(json::parse(R"({"packet": {"columns": [{"name": "s", "fieldtype": "string", "WIDTH": 4},
      {"name": "m", "fieldtype": "bin.hex", "SUBTYPE": "Text"}], "rows": [{"values": ["中文", "备注"]}]}})"),
                              "arg");
  packets::Packet p = packets::decodePacket(v);
  EXPECT_EQ(p.narrow(0, 0), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(p.narrow(0, 1), "\xB1\xB8\xD7\xA2");
  EXPECT_FALSE(p.attributes().delta);
}

TEST(QuibPacket, OnlyBytesThatHoldAPacketAreShownAsOne) {
  EXPECT_FALSE(decodedPacket(Variant::i4(1)));
  EXPECT_FALSE(decodedPacket(Variant(SafeArray::bytes({1, 2, 3}))));
  EXPECT_FALSE(decodedPacket(Variant(SafeArray::bytes({}))));
  packets::PacketWriter w({packets::Column("n", packets::FieldType::I4)}, {}, packets::Encoding::XmlUtf8);
  w.beginRow(packets::RowStatus::Original);
  w.put(Variant::i4(5));
  w.endRow();
  auto shown = decodedPacket(Variant(SafeArray::bytes(w.finish())));
  ASSERT_TRUE(shown);
  EXPECT_EQ((*shown)["packet"]["rows"][0]["values"][0], 5);
}

TEST(QuibPacket, RefusedPacketsNameThePlaceAndTheFault) {
  struct Case {
    const char* in;
    const char* why;
  } cases[] = {
      {R"({"packet": []})", "arg.packet: expected {\"columns\""},
      {R"({"packet": {"cols": []}})", "unknown key \"cols\""},
      {R"({"packet": {"rows": []}})", "arg.packet.columns: expected an array"},
      {R"({"packet": {"columns": [{"name": "a"}]}})", "columns[0]: a column needs a \"fieldtype\""},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "int"}]}})", "\"int\" is not a field type"},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "i4", "attrs": 9}]}})",
       "columns[0].attrs: expected a number from 0 to 7"},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "i4", "PROVFLAGS": 256}]}})", "PROVFLAGS"},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "i4"}], "attributes": {"PRIMARY_KEY": [0]}}})",
       "PRIMARY_KEY[0]"},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "i4"}], "attributes": {"PRIMARY_KEY": [2]}}})",
       "PRIMARY_KEY"},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "i4"}], "rows": [{"values": [1, 2]}]}})",
       "rows[0].values: has 2 values for 1 columns"},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "i4"}], "rows": [{"status": "changed", "values": [1]}]}})",
       "\"changed\" is not original"},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "i4"}], "rows": [{"values": [{"unchanged": 1}]}]}})",
       "rows[0].values[0]: write {\"unchanged\": true}"},
      {R"({"packet": {"columns": [{"name": "a", "fieldtype": "i2"}], "rows": [{"values": ["x"]}]}})", "arg.packet"},
  };
  for (const auto& c : cases) {
    std::string e = refusal(c.in);
    EXPECT_NE(e.find(c.why), std::string::npos) << c.in << " -> " << e;
  }
}
