// The provider seam: a provider registered under its name serves
// connections, and everything above the seam (events, the row buffer,
// kinds from values, filters, locate, values) works on whatever it delivers.
#include <gtest/gtest.h>

#include "platform/data/driver.h"
#include "platform/data/query.h"

namespace rvz::data {
namespace {

// Rows held in memory; every command returns them.
class MemoryCursor final : public DriverCursor {
 public:
  MemoryCursor(std::vector<ColumnInfo> cols, const std::vector<std::vector<Cell>>& rows)
      : cols_(std::move(cols)), rows_(rows) {}
  const std::vector<ColumnInfo>& columns() const override { return cols_; }
  bool step() override { return ++at_ < rows_.size(); }
  Cell cell(size_t c) const override { return rows_[at_][c]; }

 private:
  std::vector<ColumnInfo> cols_;
  const std::vector<std::vector<Cell>>& rows_;
  size_t at_ = static_cast<size_t>(-1);
};

struct Log {
  std::vector<std::string> commands;
  std::vector<std::vector<BoundValue>> values;
  int connects = 0;
};

class MemoryConnection final : public DriverConnection {
 public:
  MemoryConnection(Log& log, const std::vector<std::vector<Cell>>& rows) : log_(log), rows_(rows) {}
  RunResult run(std::string_view text, std::span<const BoundValue> values) override {
    log_.commands.emplace_back(text);
    log_.values.emplace_back(values.begin(), values.end());
    RunResult r;
    if (text.rfind("select", 0) != 0) {
      r.rowsAffected = 3;
      return r;
    }
    ColumnInfo id, name, computed;
    id.name = "ID";
    id.kind = FieldKind::Integer;
    name.name = "Name";
    name.kind = FieldKind::WideString;
    name.size = 20;
    computed.name = "";
    computed.kindFromValues = true;
    r.cursor = std::make_unique<MemoryCursor>(std::vector<ColumnInfo>{id, name, computed}, rows_);
    return r;
  }
  void beginTransaction() override { inTx_ = true; }
  void commit() override { inTx_ = false; }
  void rollback() override { inTx_ = false; }
  bool inTransaction() const override { return inTx_; }
  std::vector<TableInfo> tables() override { return {{"Mem", "TABLE"}}; }
  void close() override {}

 private:
  Log& log_;
  const std::vector<std::vector<Cell>>& rows_;
  bool inTx_ = false;
};

class MemoryProvider final : public Provider {
 public:
  MemoryProvider(std::string name, Log& log, const std::vector<std::vector<Cell>>& rows)
      : name_(std::move(name)), log_(log), rows_(rows) {}
  std::string_view name() const override { return name_; }
  std::unique_ptr<DriverConnection> connect(const ConnectionString& cs, const ConnectSettings&) override {
    if (cs.value("Data Source") != "memory") throw DataError::engine(1, "no such memory: " + cs.value("Data Source"));
    ++log_.connects;
    return std::make_unique<MemoryConnection>(log_, rows_);
  }
  void compact(const ConnectionString&, const ConnectionString&) override {}

 private:
  std::string name_;
  Log& log_;
  const std::vector<std::vector<Cell>>& rows_;
};

Cell num(int64_t v) {
  Cell c;
  c.cls = StorageClass::Integer;
  c.i = v;
  return c;
}
Cell str(std::string_view s) {
  Cell c;
  c.cls = StorageClass::Text;
  c.bytes = s;
  return c;
}

TEST(ProviderSeamTest, ARegisteredProviderServesQueriesAndCommands) {
  static const std::vector<std::vector<Cell>> rows = {
      {num(1), str("one"), Cell{}}, {num(2), str("Two"), str("x")}, {num(3), str("three"), str("y")}};
  static Log log;
  registerProvider(std::make_shared<MemoryProvider>("Memory.Test.1", log, rows));

  Connection bad("Provider=memory.test.1;Data Source=disk");
  EXPECT_THROW(bad.open(), DataError);

  Connection cn("Provider=MEMORY.TEST.1;Data Source=memory");
  std::vector<std::string> events;
  cn.setWillExecute([&](std::string_view t, EventStatus&) { events.emplace_back(t); });
  Query q("Mem", &cn);
  q.setCommandText("select anything");
  q.setParameters({Parameter::of(Variant(true)), Parameter::of(Variant::date(39690.5))});
  q.open();
  EXPECT_EQ(log.connects, 1);
  ASSERT_EQ(log.values.size(), 1u);
  EXPECT_EQ(log.values[0][0].i, -1);
  EXPECT_EQ(log.values[0][1].bytes, "2008-08-30 12:00:00");
  EXPECT_EQ(q.columns()[2].name, "COLUMN1");
  EXPECT_EQ(q.columns()[2].kind, FieldKind::WideString);  // told by the second row
  EXPECT_EQ(q.recordCount(), 3);
  q.setFilter("Name LIKE 't*'");
  EXPECT_EQ(q.recordCount(), 2);
  const std::vector<std::string> f = {"name"};
  std::vector<Variant> v = {Variant(u"THREE")};
  EXPECT_TRUE(q.locate(f, v));
  EXPECT_EQ(q.field("ID").value(), Variant(3));
  EXPECT_EQ(cn.execute("delete all"), 3);
  EXPECT_EQ(events, (std::vector<std::string>{"select anything", "delete all"}));
  EXPECT_EQ(cn.tables().at(0).name, "Mem");
  {
    Transaction t(cn);
    EXPECT_TRUE(cn.inTransaction());
  }
  EXPECT_FALSE(cn.inTransaction());
}

TEST(ProviderSeamTest, StoredRowsKeepEveryValueExactly) {
  // Extremes of each storage class survive the row buffer, read forward and
  // again after a rewind (then from the buffer alone).
  static const std::string longText(300, 'x');
  static const std::string binary("\0\xff\x01", 3);
  Cell blob, real;
  blob.cls = StorageClass::Blob;
  blob.bytes = binary;
  real.cls = StorageClass::Real;
  real.r = -0.1;
  static std::vector<std::vector<Cell>> rows;
  rows = {
      {num(1), str(""), num(INT64_MIN)}, {num(2), str(longText), num(INT64_MAX)},
      {num(3), Cell{}, num(-64)},        {num(4), str("\xe4\xb8\xad"), num(-65)},
      {num(5), str("a"), num(8192)},     {num(6), str("b"), blob},
      {num(7), str("c"), real},          {num(8), str("d"), Cell{}},
  };
  static Log log;
  registerProvider(std::make_shared<MemoryProvider>("Memory.Extremes.1", log, rows));
  Connection cn("Provider=Memory.Extremes.1;Data Source=memory");
  Query q("Mem", &cn);
  q.setCommandText("select");
  q.open();
  const std::vector<Variant> expected = {Variant::i8(INT64_MIN), Variant::i8(INT64_MAX),
                                         Variant(-64),           Variant(-65),
                                         Variant(8192),          Variant(SafeArray::bytes({0, 0xff, 1})),
                                         Variant(-0.1),          Variant::null()};
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<Variant> got;
    std::vector<std::string> names;
    for (q.first(); !q.eof(); q.next()) {
      got.push_back(q.field(2).value());
      names.push_back(q.field(1).isNull() ? "<null>" : q.field(1).textUtf8());
    }
    EXPECT_EQ(got, expected) << "pass " << pass;
    EXPECT_EQ(names, (std::vector<std::string>{"", longText, "<null>", "\xe4\xb8\xad", "a", "b", "c", "d"}));
  }
}

}  // namespace
}  // namespace rvz::data
