// Re-emits the Jet syntax tree as SQL: Jet operators and functions become
// the target's expressions, truth values follow Jet's -1/0, text comparisons
// ignore letter case, and Jet's FROM forms become plain joins. The Emitter
// writes SQLite SQL (Jet functions as calls of the registered jet_*
// functions); what PostgreSQL writes differently it overrides (PgEmitter,
// pg_emit.h): the virtual hooks below are that difference.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/data/jet/jet_ast.h"
#include "platform/data/jet/jet_functions.h"
#include "platform/data/jet/jet_parser.h"
#include "platform/data/jet/jet_result_types.h"

namespace rvz::data::jet {

// Binding strengths of the written operators, weakest first; an operand
// weaker than its place needs is parenthesised.
namespace prec {
inline constexpr int kOr = 1, kAnd = 2, kNot = 3, kEquality = 4, kRelational = 5, kAdd = 8, kMul = 9, kUnary = 11,
                     kCollate = 12, kAlone = 13;
}

// One emitted expression with what its parent needs to know about it.
struct Out {
  std::string sql;
  SqlType type = SqlType::Unknown;
  int precedence = prec::kAlone;  // binding strength
  bool column = false;            // a bare column: its declared collation applies
  bool condition = false;         // a truth value of the target (SQLite 1/0, PostgreSQL boolean), where Jet has -1/0
};

Out atom(std::string sql, SqlType type);
// The result of an operator that binds at `precedence`.
Out operation(std::string sql, SqlType type, int precedence);
// A truth value of the target (a comparison, a test, IN ...), binding at
// `precedence`.
Out truth(std::string sql, int precedence = prec::kEquality);
bool isNumeric(SqlType t);

// What is known of the values of column references (by node): a date-time
// column moves by days under + and -, a text column joins under +.
using ColumnKinds = std::unordered_map<const Expr*, SqlType>;

// Names as the database spells them (by node: a column reference's Expr, a
// table's TableRef), from the typing against a schema.
using Spellings = std::unordered_map<const void*, std::string>;

// The select of a make-table query (SELECT ... INTO t), or null.
const SelectCore* makeTableOf(const Statement& s);

class Emitter {
 public:
  // Output longer than this is refused (select-list aliases are substituted
  // by their expressions, which could otherwise grow without bound).
  explicit Emitter(size_t outputLimit, Target target = Target::Sqlite) : limit_(outputLimit), target_(target) {}
  virtual ~Emitter() = default;
  Emitter(const Emitter&) = delete;
  Emitter& operator=(const Emitter&) = delete;

  Target target() const { return target_; }

  // Kinds of column references, from the typing against a schema; without
  // them a column's kind is unknown.
  void useColumnKinds(const ColumnKinds* kinds) { columnKinds_ = kinds; }
  // Stored spellings of names; without them names are written as given.
  void useSpellings(const Spellings* spellings) { spellings_ = spellings; }
  // Types of the columns an INSERT or UPDATE writes (Typer::writtenTypes);
  // without them values are written as they come.
  void useWrittenTypes(const std::vector<JetType>* types) { writtenTypes_ = types; }

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
  virtual std::string quoteName(const Name& n) const;
  static std::string quoteText(const std::string& value);
  std::string namePath(const std::vector<Name>& path);

 protected:
  struct AliasInfo {
    std::string key;
    std::string sql;
    SqlType type;
    bool column;
    Name name;  // as the select list spells it
  };

  // ---- what the targets write differently (SQLite here) ----
  virtual std::string tableName(const TableRef& t);  // a table of FROM, UPDATE, DELETE
  // The table of INSERT and DELETE.
  virtual std::string tableName(const std::vector<Name>& path, const std::optional<Name>& alias);
  virtual std::string columnName(const Expr& e) { return namePath(e.path); }
  virtual std::string columnName(const Name& n) { return quoteName(n); }           // of INSERT's list and SET
  virtual std::string starName(const Expr& e) { return namePath(e.path) + ".*"; }  // t.*
  virtual Out param(const Expr& e);
  virtual Out dateLiteral(const std::string& stored);
  virtual Out asValue(Out o);                    // a truth value where Jet has a value: -1/0
  virtual Out asCondition(Out o);                // a value where a truth value stands
  virtual std::string withNoCase(const Out& o);  // the operand compared without regard to letter case
  virtual bool needsNoCase(const std::vector<const Out*>& operands) const;
  // The same for the operand of IN (subquery), whose column is unknown here.
  virtual bool needsNoCaseInSubquery(const Out& x) const;
  // ORDER BY (and GROUP BY) term that is not a bare column nor a number.
  virtual std::string sortTerm(const Out& o, bool grouping);
  virtual std::string aliasSortTerm(const Name& written, const AliasInfo& a);
  virtual Out concat(const std::vector<Out>& parts);  // Jet's &: Null reads as empty text
  // Jet arithmetic that the target's plain operators do not give (+ of
  // texts and dates, / \ Mod ^ Xor); nullopt: the plain operator.
  virtual std::optional<Out> arithmetic(BinaryOp op, const Out& l, const Out& r);
  virtual Out like(const Expr& e);
  // Functions other than IIf, Switch and Nz.
  virtual Out function(const Expr& e, const std::string& lowerName);
  // Branches of IIf, Switch, Nz that must share one type.
  virtual void unify(std::vector<Out*> branches) { (void)branches; }
  virtual std::string limitClause(const SelectCore& c);
  virtual std::string makeTable(const Statement& s, const SelectCore& c);
  // A select-list item of a union member.
  virtual std::string unionItem(const Out& o);
  // The alias of a sub-query of FROM as written, and the name given to one
  // that has none (" AS name", or empty where the target needs none).
  virtual Name subqueryAlias(const Name& written) { return written; }
  virtual std::string derivedAlias() { return {}; }
  // A value written into a column of that type, converted as Jet converts
  // it (SQLite stores any value in any column); empty when it is written
  // as it comes.
  virtual std::string storeFunction(JetType column) const;

  // Expressions by kind; expr() picks one.
  Out expr(const Expr& e);
  Out literal(const Expr& e);
  Out negate(const Expr& e);
  Out logicalNot(const Expr& e);
  Out binary(const Expr& e);
  Out concatChain(const Expr& e);  // a & b & c
  Out compare(const Expr& e);
  Out between(const Expr& e);
  Out inList(const Expr& e);
  Out inSubquery(const Expr& e);
  Out isNull(const Out& x, bool negated);
  Out caseOf(const Expr& e);
  Out call(const Expr& e);
  Out iif(const Expr& e);
  Out switchOf(const Expr& e);
  Out nz(const Expr& e);
  Out column(const Expr& e);
  // Fails unless the call has from `least` to `most` plain arguments.
  static void requireArguments(const Expr& e, size_t least, size_t most);
  std::string operand(const Out& o, int minPrecedence);
  // The aggregate's FILTER while a crosstab cell is written, else empty.
  std::string aggregateFilter(const std::string& lowerName) const;
  void charge(size_t bytes);

  std::string core(const SelectCore& c, std::vector<AliasInfo>& aliases);
  std::string member(const SelectCore& c, std::vector<AliasInfo>* aliases);
  std::string orderBy(const std::vector<OrderItem>& items, const std::vector<AliasInfo>& aliases);
  std::string groupTerm(const Expr& e, const std::vector<AliasInfo>* aliases);
  std::string from(const std::vector<TableRefPtr>& items);
  std::string tableRef(const TableRef& t, bool operandOfJoin);
  std::string insert(const InsertStatement& s);
  // The value written at `position` of an INSERT's columns or an UPDATE's SET.
  std::string written(const Out& o, size_t position) const;
  std::string update(const UpdateStatement& s);
  std::string del(const DeleteStatement& s);

  size_t limit_;
  Target target_;
  const ColumnKinds* columnKinds_ = nullptr;
  const Spellings* spellings_ = nullptr;
  const std::vector<JetType>* writtenTypes_ = nullptr;

 private:
  size_t produced_ = 0;
  bool unionMember_ = false;                         // the next core() is a member of a union
  const std::vector<AliasInfo>* aliases_ = nullptr;  // select-list aliases in scope
  const SelectCore* makeTableCore_ = nullptr;        // the select whose INTO is being written
  const SelectCore* crosstabCore_ = nullptr;         // the select that gets crosstabItems_ after its own
  std::vector<std::string> crosstabItems_;
  std::string pivotFilter_;  // while a crosstab cell is written: aggregates count only these rows
};

// The emitter of a target.
std::unique_ptr<Emitter> makeEmitter(size_t outputLimit, Target target);

}  // namespace rvz::data::jet
