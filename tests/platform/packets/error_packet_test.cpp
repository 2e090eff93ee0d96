// Error packets through the builder and back, and the columns a server
// writes for its field types.
#include <gtest/gtest.h>

#include "platform/packets/error_packet.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/server_fields.h"
#include "packet_samples.h"

namespace rvz::packets {
namespace {

class ErrorPackets : public ::testing::TestWithParam<Encoding> {};
INSTANTIATE_TEST_SUITE_P(Forms, ErrorPackets,
                         ::testing::Values(Encoding::Binary, Encoding::XmlAnsi, Encoding::XmlUtf8));

TEST_P(ErrorPackets, RecordsAreAddedOrUpdatedByRecordNumber) {
  std::vector<Column> delta = testing::allTypeColumns();
  ErrorPacketBuilder b(delta);
  ErrorRecord& first = b.record(3);
  first.message = u"Record not found or changed by another user";
  first.values[0] = Cell::of(Variant::i4(42));
  first.values[1] = Cell::narrow("\xD5\xC5");
  ErrorRecord& second = b.record(5);
  second.response = kResponseAbort;
  second.message = u"违反唯一约束";
  second.errorCode = -2147467259;
  b.record(3).context = u"again";  // the same record, not a new one
  ASSERT_EQ(b.size(), 2u);

  Packet p = decodePacket(b.encode(GetParam()));
  ASSERT_EQ(p.columnCount(), kErrorColumnCount + delta.size());
  const char* names[] = {"ERROR_RECORDNO", "ERROR_RESPONSE", "ERROR_MESSAGE",
                         "ERROR_CONTEXT",  "ERROR_CATEGORY", "ERROR_ERRORCODE"};
  for (size_t i = 0; i < kErrorColumnCount; ++i) EXPECT_EQ(p.columns()[i].name, names[i]);
  EXPECT_EQ(p.columns()[kErrorColumnCount].name, "ID");
  EXPECT_EQ(p.columns()[kErrorColumnCount].provFlags, 7);  // the delta's column attributes follow along

  std::vector<ErrorRecord> back = readErrorPacket(p);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].recordNo, 3);
  EXPECT_EQ(back[0].response, kResponseSkip);
  EXPECT_EQ(back[0].message, u"Record not found or changed by another user");
  EXPECT_EQ(back[0].context, u"again");
  EXPECT_EQ(back[0].category, 1);
  EXPECT_EQ(back[0].errorCode, 1);
  EXPECT_EQ(back[0].values[0], Cell::of(Variant::i4(42)));
  EXPECT_EQ(back[0].values[1], Cell::narrow("\xD5\xC5"));
  EXPECT_EQ(back[0].values[2], Cell::null());
  EXPECT_EQ(back[1].recordNo, 5);
  EXPECT_EQ(back[1].response, kResponseAbort);
  EXPECT_EQ(back[1].message, u"违反唯一约束");
  EXPECT_EQ(back[1].errorCode, -2147467259);
  EXPECT_EQ(back[1].values, testing::allNull(delta.size()));
}

TEST(ErrorPacketRead, RefusesOtherPackets) {
  MaterializedPacket m;
  m.columns = {{"ERROR_RECORDNO", FieldType::I4}, {"X", FieldType::I4}};
  try {
    readErrorPacket(decodePacket(encode(m)));
    ADD_FAILURE();
  } catch (const PacketError& e) {
    EXPECT_STREQ(e.what(), "not an error packet: it has 2 columns");
  }
  m.columns = errorColumns();
  m.columns[2].type = FieldType::String;
  try {
    readErrorPacket(decodePacket(encode(m)));
    ADD_FAILURE();
  } catch (const PacketError& e) {
    EXPECT_STREQ(e.what(), "not an error packet: column 3 is 'ERROR_MESSAGE' (string), expected ERROR_MESSAGE");
  }
  EXPECT_THROW(ErrorPacketBuilder({{"ERROR_CONTEXT", FieldType::I4}}), PacketError);
}

TEST(ServerColumns, FieldTypesMapToColumns) {
  struct Case {
    ServerField field;
    FieldType type;
    std::optional<std::string> subtype;
    std::optional<int32_t> width, decimals;
  };
  std::vector<Case> cases{
      {{"MC", ServerFieldType::String, 20}, FieldType::String, {}, 20, {}},
      {{"GD", ServerFieldType::String, 8, 0, kPfDefault, false, false, true}, FieldType::String, "FixedChar", 8, {}},
      {{"uName", ServerFieldType::WideString, 20}, FieldType::WideString, {}, 40, {}},
      {{"ID", ServerFieldType::Integer}, FieldType::I4, {}, {}, {}},
      {{"XH", ServerFieldType::SmallInt}, FieldType::I2, {}, {}, {}},
      {{"ID", ServerFieldType::AutoInc}, FieldType::I4, "Autoinc", {}, {}},
      {{"SL", ServerFieldType::Float}, FieldType::R8, {}, {}, {}},
      {{"JG", ServerFieldType::Currency}, FieldType::R8, "Money", {}, {}},
      {{"JE", ServerFieldType::BCD, 4, 18}, FieldType::Fixed, {}, 18, 4},
      {{"JE", ServerFieldType::BCD, 0, 0}, FieldType::Fixed, {}, 32, {}},
      {{"OK", ServerFieldType::Boolean}, FieldType::Boolean, {}, {}, {}},
      {{"RQ", ServerFieldType::Date}, FieldType::Date, {}, {}, {}},
      {{"SJ", ServerFieldType::DateTime}, FieldType::DateTime, {}, {}, {}},
      {{"BZ", ServerFieldType::Memo}, FieldType::BinHex, "Text", {}, {}},
      {{"TP", ServerFieldType::Blob, 1024}, FieldType::BinHex, "Binary", 1024, {}},
  };
  for (const Case& c : cases) {
    Column col = serverColumn(c.field);
    std::string what = std::string(serverFieldTypeName(c.field.type)) + " " + c.field.name;
    EXPECT_EQ(col.type, c.type) << what;
    EXPECT_EQ(col.subtype, c.subtype) << what;
    EXPECT_EQ(col.width, c.width) << what;
    EXPECT_EQ(col.decimals, c.decimals) << what;
  }
}

TEST(ServerColumns, FlagsBecomeAttributeBitsAndProvflags) {
  ServerField f{"ID", ServerFieldType::Integer};
  f.providerFlags = kPfInUpdate | kPfInWhere | kPfInKey;
  f.required = true;
  Column id = serverColumn(f);
  EXPECT_EQ(id.provFlags, 7);
  EXPECT_EQ(id.attrs, kAttrRequired);
  EXPECT_EQ(serverColumn({"uCode", ServerFieldType::String, 20, 0, kPfInUpdate}).provFlags, 1);
  EXPECT_EQ(serverColumn({"aYGMC", ServerFieldType::String, 20, 0, 0}).provFlags, 0);
  EXPECT_FALSE(serverColumn({"ID", ServerFieldType::Integer}).provFlags.has_value());
  ServerField ro{"ID", ServerFieldType::AutoInc, 0, 0, kPfDefault, true, true};
  EXPECT_EQ(serverColumn(ro).attrs, kAttrReadOnly);  // required does not apply to auto-increment
  ServerField hidden{"H", ServerFieldType::Integer, 0, 0, kPfDefault | kPfHidden};
  EXPECT_EQ(serverColumn(hidden).attrs, kAttrHidden | kAttrReadOnly);
  EXPECT_THROW(serverColumn({std::string(32, 'x'), ServerFieldType::Integer}), PacketError);
}

}  // namespace
}  // namespace rvz::packets
