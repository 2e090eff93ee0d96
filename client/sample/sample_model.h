// The machinery behind the sample company database: the schema read back
// from its DDL, the sizes of the sample, the per-column value generators and
// the plans that say, table by table, what the rows hold. Internal to the
// sample library; sample_home.h is its public face.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/connection.h"
#include "platform/variant/variant.h"

namespace rvz::client::sample {

// The Access column types the schema uses.
enum class ColumnType {
  Long,
  SmallInt,
  Counter,
  Double,
  Decimal,
  YesNo,
  DateTime,
  Memo,
  OleObject,
  Text,
  Char,
  AnsiText,
};

struct ColumnDef {
  std::string name;
  ColumnType type = ColumnType::Long;
  int size = 0;  // characters of the text types
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;
  const ColumnDef* column(std::string_view name) const;  // letter case ignored; null when absent
};

// The tables of CREATE TABLE statements written as the schema files write
// them (one column per line, CONSTRAINT lines last). CREATE INDEX statements
// are skipped. Throws std::invalid_argument naming the table and the line
// that cannot be read.
std::vector<TableDef> readSchemaTables(const std::vector<std::string>& statements);

// Where a row stands: its index in the table and, for bill lines, the
// header it belongs to and its place among that header's lines.
struct Row {
  int i = 0;  // 0-based row of the table
  int h = 0;  // bill lines: 0-based header index
  int j = 0;  // bill lines: 0-based line within the header
};

// Makes one column's value for a row.
using Gen = std::function<Variant(const Row&)>;

// What one table holds. Columns without a generator of their own take the
// general rules of TableFiller (keys, references by name, bill line
// columns, type defaults).
struct TablePlan {
  std::string table;
  int rows = 0;        // for bill lines: headers * linesPerHeader
  std::string header;  // bill lines: the header table they belong to
  int linesPerHeader = 0;
  std::vector<std::pair<std::string, Gen>> columns;

  // Generators for columns the table may lack: used where it has them.
  std::vector<std::pair<std::string, Gen>> defaults;

  TablePlan& set(std::string column, Gen g) {
    columns.emplace_back(std::move(column), std::move(g));
    return *this;
  }
  TablePlan& maybe(std::string column, Gen g) {
    defaults.emplace_back(std::move(column), std::move(g));
    return *this;
  }
};

// The sizes of the sample and the values that several tables must agree
// on: ids of referenced rows, bill numbers and dates, goods prices and line
// quantities. Everything is a pure function of the row indexes, so the
// sample comes out the same on every run.
class SampleModel {
 public:
  // scaledRows 0 gives the small sample; more makes goods, customers and
  // the lines of every bill family about that many rows each.
  explicit SampleModel(int scaledRows);

  // Rows of a table, letter case ignored; 3 for a table the sample has no
  // size for (so a table added to the schema still gets rows).
  int count(std::string_view table) const;

  // The 1-based id of the row of `table` that row `i` of another table
  // points to; `salt` spreads different columns over different rows.
  int ref(std::string_view table, int i, int salt = 0) const;

  // Bill headers: number (prefix and sequence) and date. Dates run back
  // from 30 August 2008, the sample's working day, one day per header.
  static std::string billNumber(std::string_view prefix, int h);
  static double billDate(int h);
  static double date(int year, int month, int day);

  // Goods: the goods item (0-based HP row) of bill line (h, j) of a family
  // (salted so that families differ; salt 0 marks a family without goods),
  // its purchase and retail prices and the quantity on the line. Trading
  // bills carry the trade goods, catering orders the dishes.
  int lineGoods(int h, int j, int salt) const;
  int cateringGoods(int h, int j) const;
  static double goodsCost(int goodsIndex);       // JJ
  static double goodsSalePrice(int goodsIndex);  // JJJ
  static double lineQuantity(int h, int j);
  // The amount of bill header h of a goods family: its lines' amounts.
  double billAmount(std::string_view headerTable, int h) const;
  // The bill number prefix of a family's header or lines table.
  static std::string billPrefix(std::string_view table);

  // The goods every HP row is a variant of (row g takes entry g % 16).
  struct GoodsEntry {
    const char* name;
    const char* gg;
    const char* unit;
    int category;  // Pub_ItemType.ItemType
    double cost;
    const char* mnemonic;
    const char* origin;
    const char* color;
  };
  static const GoodsEntry& goods(int goodsIndex);
  static constexpr int kGoodsKinds = 16;
  static constexpr int kTradeGoodsKinds = 12;  // the first 12 kinds; the rest are dishes

  // Employees (YG) and departments (BM), 1-based ids.
  struct Employee {
    const char* code;
    const char* name;
    const char* sex;
    int department;
    const char* duty;
    double salary;  // monthly base pay
  };
  static const Employee& employee(int id);
  static const char* departmentName(int id);
  static int employees() { return 8; }

  static constexpr int kLinesPerHeader = 3;

 private:
  std::map<std::string, int> counts_;  // upper-cased table names
  int tradeGoods_ = 0;                 // HP rows of the trade kinds
};

// Fills the tables of a database whose schema is in place, one prepared
// INSERT per table, all inside the caller's transaction.
class TableFiller {
 public:
  TableFiller(data::Connection& cn, const SampleModel& model, const std::vector<TableDef>& tables);

  // Inserts the rows a plan describes. Throws std::logic_error when the plan
  // names a table or column the schema does not have, or when a text is
  // longer than its column; data::DataError from the database.
  void fill(const TablePlan& plan);
  // Tables that no plan has filled yet get rows by the general rules alone.
  void fillRemaining();

 private:
  Gen generalRule(const TableDef& table, const ColumnDef& column, const TablePlan& plan) const;

  data::Connection& cn_;
  const SampleModel& model_;
  const std::vector<TableDef>& tables_;
  std::vector<std::string> filled_;
};

// Generator helpers used by the plans.
namespace gen {
Gen null();
Gen id();  // i + 1
Gen integer(int v);
Gen real(double v);
Gen yes(bool v);
Gen text(std::string v);
Gen cycle(std::vector<std::string> texts);  // texts[i % n]
Gen ints(std::vector<int> values);          // values[i % n]
Gen reals(std::vector<double> values);
Gen flags(std::vector<bool> values);
Gen days(std::vector<double> oleDates);
Gen numbered(std::string prefix, int width);  // prefix + zero-padded i + 1
Gen ref(const SampleModel& m, std::string table, int salt = 0);
Gen day(double oleDate);
Gen billDate();  // SampleModel::billDate(i)
Gen bytes(std::string content);
}  // namespace gen

// A plan for all rows of a table as the model sizes it, and one for the
// lines of a header table, perHeader lines to each header.
TablePlan planFor(const SampleModel& m, std::string table);
TablePlan linesFor(const SampleModel& m, std::string table, std::string header, int perHeader);

// A group of tables of one part of the sample: adds their plans to `out`.
using PlanGroup = void (*)(const SampleModel& m, std::vector<TablePlan>& out);
// The plans of the groups, in their order.
std::vector<TablePlan> plansOf(const SampleModel& m, std::initializer_list<PlanGroup> groups);

// The plans of each part of the sample; each returns the plans of its tables.
std::vector<TablePlan> systemPlans(const SampleModel& m);
std::vector<TablePlan> masterPlans(const SampleModel& m);
std::vector<TablePlan> billPlans(const SampleModel& m);
std::vector<TablePlan> staffPlans(const SampleModel& m);
std::vector<TablePlan> otherPlans(const SampleModel& m);  // customer relations, assets, property, catering

// A 1x1 PNG picture, for the picture columns.
std::string samplePicture();

}  // namespace rvz::client::sample
