// Fuzz target: filter texts are parsed or refused with a DataError; those
// that parse are bound to a fixed set of columns and tested on a few rows.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/data/data_error.h"
#include "platform/data/filter.h"

namespace {

using namespace rvz::data;

std::vector<ColumnInfo> columns() {
  std::vector<ColumnInfo> cols;
  const std::pair<const char*, FieldKind> columns[] = {{"ID", FieldKind::Integer},  {"MC", FieldKind::WideString},
                                                       {"ZT", FieldKind::Boolean},  {"JE", FieldKind::BCD},
                                                       {"RQ", FieldKind::DateTime}, {"P", FieldKind::Blob}};
  for (const auto& [name, kind] : columns) {
    ColumnInfo c;
    c.name = name;
    c.kind = kind;
    cols.push_back(c);
  }
  ColumnInfo x;
  x.name = "X";
  x.kindFromValues = true;
  cols.push_back(x);
  return cols;
}

Cell cell(StorageClass cls, int64_t i, double r, std::string_view b) {
  Cell c;
  c.cls = cls;
  c.i = i;
  c.r = r;
  c.bytes = b;
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<ColumnInfo> cols = columns();
  static const std::vector<std::vector<Cell>> rows = {
      {cell(StorageClass::Integer, 1, 0, {}), cell(StorageClass::Text, 0, 0, "Apple"),
       cell(StorageClass::Integer, -1, 0, {}), cell(StorageClass::Real, 0, 12.5, {}),
       cell(StorageClass::Text, 0, 0, "2008-08-30 14:25:00"), cell(StorageClass::Blob, 0, 0, "\x01\x02"),
       cell(StorageClass::Text, 0, 0, "x")},
      {Cell{}, Cell{}, Cell{}, Cell{}, Cell{}, Cell{}, Cell{}},
      {cell(StorageClass::Text, 0, 0, "junk"), cell(StorageClass::Integer, 5, 0, {}),
       cell(StorageClass::Text, 0, 0, "yes"), cell(StorageClass::Text, 0, 0, "1.5"),
       cell(StorageClass::Text, 0, 0, "not a date"), Cell{}, cell(StorageClass::Real, 0, -2.5, {})},
  };
  try {
    Filter f = Filter::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    f.bind(cols);
    for (const auto& r : rows) (void)f.matches(r);
  } catch (const DataError&) {
  }
  return 0;
}
