// Sample packets shared by the packet tests: one column of every field type
// and records in every update status with every value state.
#pragma once

#include <string>
#include <vector>

#include "platform/packets/materialized.h"

namespace rvz::packets::testing {

inline Variant bytesVariant(std::string_view b) {
  return Variant::array(SafeArray::bytes(std::vector<uint8_t>(b.begin(), b.end())));
}

inline double oleDate(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return DateTime{y, mo, d, h, mi, s, ms}.toOleDate();
}

// One column per field type, with optional attributes spread over them.
inline std::vector<Column> allTypeColumns() {
  std::vector<Column> c;
  auto add = [&](std::string name, FieldType t) -> Column& {
    c.emplace_back(std::move(name), t);
    return c.back();
  };
  Column& id = add("ID", FieldType::I4);
  id.provFlags = 7;
  id.attrs = kAttrRequired;
  add("cName", FieldType::String).width = 20;
  Column& wide = add("uName", FieldType::WideString);
  wide.width = 40;
  wide.attrs = kAttrReadOnly;
  add("tiny", FieldType::I1);
  add("small", FieldType::I2);
  add("big", FieldType::I8);
  add("byte", FieldType::UI1);
  add("word", FieldType::UI2);
  add("dword", FieldType::UI4);
  add("flag", FieldType::Boolean).serverCalc = false;
  Column& money = add("price", FieldType::R8);
  money.subtype = "Money";
  money.minValue = "0";
  money.maxValue = "1e9";
  Column& amount = add("amount", FieldType::Fixed);
  amount.width = 18;
  amount.decimals = 4;
  add("day", FieldType::Date).origin = "Cgdd.RQ";
  add("clock", FieldType::Time);
  add("stamp", FieldType::DateTime);
  Column& memo = add("DATASELECT", FieldType::BinHex);
  memo.subtype = "Text";
  Column& blob = add("picture", FieldType::BinHex);
  blob.subtype = "Binary";
  blob.attrs = kAttrHidden | kAttrReadOnly;
  blob.extra.push_back({"FORMAT", "png"});
  blob.extra.push_back({"格式", "图片"});
  add("wmemo", FieldType::BinHex).subtype = "WideText";
  return c;
}

// Values for every column of allTypeColumns, varied by n.
inline std::vector<Cell> allTypeValues(int n) {
  return {
      Cell::of(Variant::i4(n)),
      Cell::narrow(std::string("\xD5\xC5\xC8\xFD-", 5) + std::to_string(n)),  // 张三 in code page 936
      Cell::of(Variant::bstr(u"李四 <&\"> \t\r\n" + WString(1, static_cast<char16_t>(u'0' + n % 10)))),
      Cell::of(Variant::i1(static_cast<int8_t>(-100 + n))),
      Cell::of(Variant::i2(static_cast<int16_t>(-30000 + n))),
      Cell::of(Variant::i8(-9000000000000LL * (n + 1))),
      Cell::of(Variant::ui1(static_cast<uint8_t>(200 + n))),
      Cell::of(Variant::ui2(static_cast<uint16_t>(60000 + n))),
      Cell::of(Variant::ui4(4000000000u + static_cast<uint32_t>(n))),
      Cell::of(Variant::boolean(n % 2 == 0)),
      Cell::of(Variant::r8(0.1 * n + 1e-300)),
      Cell::of(Variant::decimal(Decimal::parse("-12345678901234.567" + std::to_string(n % 10)))),
      Cell::of(Variant::date(oleDate(1898 + n, 2, 28))),
      Cell::of(Variant::date(oleDate(1899, 12, 30, 13, 5, 9, 120 + n))),
      Cell::of(Variant::date(oleDate(2008, 8, 30, 14, 25, 0, n))),
      Cell::narrow("memo \xB1\xB8\xD7\xA2 " + std::to_string(n)),  // 备注
      Cell::narrow(std::string("\x00\x01\xFF\x80 bin", 8)),
      Cell::of(Variant::bstr(u"宽备注 " + WString(1, static_cast<char16_t>(u'a' + n % 26)))),
  };
}

inline std::vector<Cell> allNull(size_t n) { return std::vector<Cell>(n, Cell::null()); }

// A delta over allTypeColumns: every status, nulls, unchanged marks, and
// memo/blob values left out.
inline MaterializedPacket sampleDelta() {
  MaterializedPacket p;
  p.columns = allTypeColumns();
  p.attributes.delta = true;
  p.attributes.tableName = "Cgdd";
  p.attributes.lcid = 2052;
  p.attributes.extra.push_back({"CUSTOM_FLAG", "yes & no"});
  p.attributes.extra.push_back({"说明", "<备注>"});
  std::vector<Cell> original = allTypeValues(1);
  original[15] = Cell::notFetched();
  original[16] = Cell::notFetched();
  std::vector<Cell> modified(original.size(), Cell::unchanged());
  modified[1] = Cell::narrow("changed");
  modified[2] = Cell::null();  // set to null
  modified[10] = Cell::of(Variant::r8(99.5));
  modified[15] = Cell::null();
  p.records.push_back({RowStatus::Original, original});
  p.records.push_back({RowStatus::Modified, modified});
  p.records.push_back({RowStatus::Inserted, allTypeValues(2)});
  p.records.push_back({RowStatus::Inserted, allNull(original.size())});
  p.records.push_back({RowStatus::Deleted, allTypeValues(3)});
  return p;
}

}  // namespace rvz::packets::testing
