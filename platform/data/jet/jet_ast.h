// Syntax tree of the Jet SQL statements the translator understands: SELECT
// (with UNION), INSERT, UPDATE and DELETE. DDL is translated straight from
// its tokens and has no tree.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rvz::data::jet {

// An identifier as written; quoted when it came from [..] or `..`.
struct Name {
  std::string text;
  bool quoted = false;
};

struct Select;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

enum class ExprKind {
  Number,  // text: as written
  String,  // text: value
  Date,    // text: stored form
  Null,
  Bool,      // boolValue
  Param,     // paramIndex, 1-based in text order
  Column,    // path: [qualifier.]name
  Star,      // path: qualifier, empty for a bare *
  Negate,    // args[0]
  Binary,    // binaryOp, args[0], args[1]
  Compare,   // compareOp, args[0], args[1]
  Not,       // args[0]
  Between,   // args: value, low, high; negated
  InList,    // args: value, items...; negated
  InSelect,  // args[0], select; negated
  Exists,    // select
  IsNull,    // args[0]; negated for IS NOT NULL
  Like,      // args: value, pattern; negated
  Call,      // text: function name as written; args; distinct; starArgument; castType for CAST/CONVERT
  Case,      // CASE: args = [operand,] when, then, when, then ... [, else]; negated: has an operand; distinct: has ELSE
  Subquery,  // select
};

enum class BinaryOp { Add, Subtract, Multiply, Divide, IntDivide, Modulo, Power, Concat, And, Or, Xor };
enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

struct Expr {
  explicit Expr(ExprKind k) : kind(k) {}
  ~Expr();
  Expr(const Expr&) = delete;
  Expr& operator=(const Expr&) = delete;

  ExprKind kind;
  std::string text;
  std::vector<Name> path;
  std::vector<ExprPtr> args;
  std::unique_ptr<Select> select;
  BinaryOp binaryOp = BinaryOp::Add;
  CompareOp compareOp = CompareOp::Equal;
  bool negated = false;
  bool boolValue = false;
  bool distinct = false;
  bool starArgument = false;  // Count(*)
  int paramIndex = 0;
  std::string castType;  // CAST(x AS type) and CONVERT(type, x, style): the type, upper case ("VARCHAR(10)")
  int height = 1;        // of the tree below, to bound recursion over long operator chains
};

struct SelectItem {
  ExprPtr expr;
  std::optional<Name> alias;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

enum class JoinKind { Inner, Left, Right, Cross };

struct TableRef {
  enum class Kind { Table, Subquery, Join };
  explicit TableRef(Kind k) : kind(k) {}
  ~TableRef();
  TableRef(const TableRef&) = delete;
  TableRef& operator=(const TableRef&) = delete;

  Kind kind;
  std::vector<Name> table;          // Table: [owner.]name
  std::optional<Name> alias;        // Table, Subquery
  std::unique_ptr<Select> select;   // Subquery
  JoinKind join = JoinKind::Inner;  // Join
  std::unique_ptr<TableRef> left, right;
  ExprPtr on;
  int height = 1;
};
using TableRefPtr = std::unique_ptr<TableRef>;

struct SelectCore {
  bool distinct = false;
  bool distinctRow = false;
  std::string top;          // TOP n, empty when absent
  bool topPercent = false;  // TOP n PERCENT
  std::vector<SelectItem> items;
  std::vector<TableRefPtr> from;
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  ExprPtr having;
  std::vector<OrderItem> orderBy;  // only a parenthesised UNION member has its own
  std::vector<Name> into;          // SELECT ... INTO table: the table to make
};

struct Select {
  std::vector<SelectCore> members;  // more than one: a UNION
  std::vector<bool> unionAll;       // between members i and i+1
  std::vector<OrderItem> orderBy;   // of the whole (compound) select
};

struct InsertStatement {
  std::vector<Name> table;
  std::vector<Name> columns;
  std::vector<std::vector<ExprPtr>> rows;  // VALUES
  std::unique_ptr<Select> select;          // or INSERT ... SELECT
};

struct Assignment {
  std::vector<Name> target;  // [qualifier.]column
  ExprPtr value;
};

struct UpdateStatement {
  TableRefPtr target;  // a table, or an inner join chain whose first table is written
  std::vector<Assignment> assignments;
  ExprPtr where;
};

struct DeleteStatement {
  std::vector<Name> table;
  std::optional<Name> alias;
  ExprPtr where;
};

// TRANSFORM value SELECT headings ... GROUP BY ... PIVOT pivot [IN (...)]:
// one row per group, one column per pivot value.
struct CrosstabStatement {
  ExprPtr value;                   // the cell's aggregate expression
  std::unique_ptr<Select> select;  // the row headings: one select with GROUP BY
  ExprPtr pivot;
  std::vector<ExprPtr> in;  // fixed column values, in their order; empty: the values found
};

// One declaration of a PARAMETERS clause: the name and the type as written
// ("Long", "Text" with size 20, "Decimal" with 12 and 2).
struct ParameterDecl {
  Name name;
  std::string type;
  int32_t size = 0;   // the first number in parentheses, 0 without
  int32_t scale = 0;  // the second
  int numbers = 0;    // how many numbers were written
};

}  // namespace rvz::data::jet
