// Re-emits the Jet syntax tree as SQLite SQL: Jet operators and functions
// become SQLite expressions or calls of the registered jet_* functions,
// truth values follow Jet's -1/0, text comparisons ignore letter case, and
// Jet's FROM forms become SQLite joins.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/data/jet/jet_ast.h"
#include "platform/data/jet/jet_functions.h"
#include "platform/data/jet/jet_parser.h"
#include "platform/data/jet/jet_result_types.h"

namespace rvz::data::jet {

// One emitted expression with what its parent needs to know about it.
struct Out {
  std::string sql;
  SqlType type = SqlType::Unknown;
  int precedence = 13;     // SQLite binding strength; 13 = stands alone
  bool column = false;     // a bare column: its declared collation applies
  bool condition = false;  // a SQLite truth value 1/0, where Jet has -1/0
};

// What is known of the values of column references (by node): a date-time
// column moves by days under + and -, a text column joins under +.
using ColumnKinds = std::unordered_map<const Expr*, SqlType>;

// The select of a make-table query (SELECT ... INTO t), or null.
const SelectCore* makeTableOf(const Statement& s);

class Emitter {
 public:
  // Output longer than this is refused (select-list aliases are substituted
  // by their expressions, which could otherwise grow without bound).
  explicit Emitter(size_t outputLimit, Target target = Target::Sqlite) : limit_(outputLimit), target_(target) {}

  Target target() const { return target_; }

  // Kinds of column references, from the typing against a schema; without
  // them a column's kind is unknown.
  void useColumnKinds(const ColumnKinds* kinds) { columnKinds_ = kinds; }

  std::string statement(const Statement& s);
  // The SELECT of a make-table query (SELECT ... INTO t), without INTO.
  std::string makeTableSelect(const Statement& s);

  // A crosstab's column of one pivot value: the condition that picks its
  // rows (SQLite SQL) and its name.
  struct PivotColumn {
    std::string condition;
    std::string name;
  };
  // The pivot expression's distinct values over the crosstab's rows, in order.
  std::string pivotValuesQuery(const CrosstabStatement& x);
  // The columns of a PIVOT ... IN list, or of the values found.
  std::vector<PivotColumn> pivotColumns(const CrosstabStatement& x);
  std::vector<PivotColumn> pivotColumns(const CrosstabStatement& x, const std::vector<PivotValue>& values);
  // The crosstab itself: the headings, then one aggregate per column.
  std::string crosstab(const CrosstabStatement& x, const std::vector<PivotColumn>& columns);
  std::string select(const Select& s);

  Out value(const Expr& e);      // in a value position: truth values become -1/0
  Out condition(const Expr& e);  // in a WHERE/ON/WHEN position
  // A name as the target reads it: for SQLite quoted where needed, for
  // PostgreSQL always (so that its letter case is kept).
  std::string quoteName(const Name& n) const;
  static std::string quoteText(const std::string& value);
  std::string namePath(const std::vector<Name>& path);

 private:
  struct AliasInfo {
    std::string key;
    std::string sql;
    SqlType type;
    bool column;
  };

  Out expr(const Expr& e);
  Out call(const Expr& e);
  Out compare(const Expr& e);
  Out like(const Expr& e);
  Out column(const Expr& e);
  std::string operand(const Out& o, int minPrecedence);
  std::string withNoCase(const Out& o);
  bool needsNoCase(const std::vector<const Out*>& operands) const;

  std::string core(const SelectCore& c, std::vector<AliasInfo>& aliases);
  std::string member(const SelectCore& c, std::vector<AliasInfo>* aliases);
  std::string orderBy(const std::vector<OrderItem>& items, const std::vector<AliasInfo>& aliases);
  std::string groupTerm(const Expr& e, const std::vector<AliasInfo>* aliases);
  std::string from(const std::vector<TableRefPtr>& items);
  std::string tableRef(const TableRef& t, bool operandOfJoin);
  std::string insert(const InsertStatement& s);
  std::string update(const UpdateStatement& s);
  std::string del(const DeleteStatement& s);
  void charge(size_t bytes);

  size_t limit_;
  Target target_;
  size_t produced_ = 0;
  const std::vector<AliasInfo>* aliases_ = nullptr;  // select-list aliases in scope
  const ColumnKinds* columnKinds_ = nullptr;
  const SelectCore* makeTableCore_ = nullptr;  // the select whose INTO is being written
  const SelectCore* crosstabCore_ = nullptr;   // the select that gets crosstabItems_ after its own
  std::vector<std::string> crosstabItems_;
  std::string pivotFilter_;  // while a crosstab cell is written: aggregates count only these rows
};

}  // namespace rvz::data::jet
