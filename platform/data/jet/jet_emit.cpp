// Re-emission of Jet syntax trees as SQL: the shared part, and what SQLite
// writes.
#include "platform/data/jet/jet_emit.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>

#include "platform/data/jet/jet_convert.h"
#include "platform/data/jet/jet_store.h"
#include "platform/data/jet/pg_emit.h"
#include "platform/text/text.h"

namespace rvz::data::jet {

namespace {

using namespace prec;

bool isPlainIdentifier(std::string_view s) {
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
    bool digit = c >= '0' && c <= '9';
    if (!(letter || (digit && i > 0))) return false;
  }
  return true;
}

SqlType merge(SqlType a, SqlType b) {
  if (a == b) return a;
  if (a == SqlType::Unknown) return b == SqlType::Unknown ? a : SqlType::Unknown;
  if (isNumeric(a) && isNumeric(b)) return SqlType::Number;
  return SqlType::Unknown;
}

const char* compareText(CompareOp op) {
  switch (op) {
    case CompareOp::Equal: return " = ";
    case CompareOp::NotEqual: return " <> ";
    case CompareOp::Less: return " < ";
    case CompareOp::Greater: return " > ";
    case CompareOp::LessEqual: return " <= ";
    case CompareOp::GreaterEqual: return " >= ";
  }
  return " = ";
}

const char* joinText(JoinKind k) {
  switch (k) {
    case JoinKind::Inner: return " INNER JOIN ";
    case JoinKind::Left: return " LEFT JOIN ";
    case JoinKind::Right: return " RIGHT JOIN ";
    case JoinKind::Cross: return " CROSS JOIN ";
  }
  return " INNER JOIN ";
}

// A Jet LIKE pattern written as a literal, in SQLite's wildcards; false when
// it uses what SQLite's LIKE cannot express (# and [..] character lists).
bool likePatternForSqlite(const std::string& jet, std::string& out) {
  out.clear();
  for (char c : jet) {
    if (c == '*')
      out.push_back('%');
    else if (c == '?')
      out.push_back('_');
    else if (c == '#' || c == '[')
      return false;
    else
      out.push_back(c);
  }
  return true;
}

std::string aliasKey(std::string_view name) { return text::lowerCaseAscii(name); }

}  // namespace

bool isNumeric(SqlType t) { return t == SqlType::Number || t == SqlType::Boolean; }

Out atom(std::string sql, SqlType type) {
  Out o;
  o.sql = std::move(sql);
  o.type = type;
  return o;
}

Out operation(std::string sql, SqlType type, int precedence) {
  Out o = atom(std::move(sql), type);
  o.precedence = precedence;
  return o;
}

Out truth(std::string sql, int precedence) {
  Out o = operation(std::move(sql), SqlType::Boolean, precedence);
  o.condition = true;
  return o;
}

Out Emitter::asValue(Out o) {
  if (!o.condition) return o;
  // Jet's true is -1: a SQLite truth value 1/0 becomes -1/0 (Null stays).
  return atom("(-(" + o.sql + "))", SqlType::Boolean);
}

Out Emitter::asCondition(Out o) { return o; }

Out Emitter::param(const Expr& e) { return atom("?" + std::to_string(e.paramIndex), SqlType::Unknown); }

Out Emitter::dateLiteral(const std::string& stored) { return atom(quoteText(stored), SqlType::Date); }

std::string Emitter::tableName(const TableRef& t) {
  std::string sql = namePath(t.table);
  if (t.alias) sql += " AS " + quoteName(*t.alias);
  return sql;
}

std::string Emitter::tableName(const std::vector<Name>& path, const std::optional<Name>& alias) {
  std::string sql = namePath(path);
  if (alias) sql += " AS " + quoteName(*alias);
  return sql;
}

std::string Emitter::unionItem(const Out& o) { return o.sql; }

std::string Emitter::storeFunction(JetType column) const { return std::string(jet::storeFunction(column)); }

std::string Emitter::written(const Out& o, size_t position) const {
  if (!writtenTypes_ || position >= writtenTypes_->size()) return o.sql;
  std::string f = storeFunction((*writtenTypes_)[position]);
  return f.empty() ? o.sql : f + "(" + o.sql + ")";
}

std::string Emitter::limitClause(const SelectCore& c) {
  if (c.topPercent) throw TranslateError("TOP ... PERCENT is not translated");
  return c.top.empty() ? "" : " LIMIT " + c.top;
}

std::string Emitter::makeTable(const Statement& s, const SelectCore& c) {
  return "CREATE TABLE " + namePath(c.into) + " AS " + makeTableSelect(s);
}

std::string Emitter::aggregateFilter(const std::string& name) const {
  // A crosstab cell aggregates the rows of its pivot value only.
  static constexpr std::string_view kAggregates[] = {"count", "sum",   "avg",    "min", "max", "first",
                                                     "last",  "stdev", "stdevp", "var", "varp"};
  if (!pivotFilter_.empty() && std::find(std::begin(kAggregates), std::end(kAggregates), name) != std::end(kAggregates))
    return " FILTER (WHERE " + pivotFilter_ + ")";
  return {};
}

std::string Emitter::sortTerm(const Out& o, bool grouping) {
  (void)grouping;
  return withNoCase(o);
}

std::string Emitter::aliasSortTerm(const Name& written, const AliasInfo& a) {
  std::string name = quoteName(written);
  return (a.column || isNumeric(a.type)) ? name : name + " COLLATE NOCASE";
}

// ---- names and literals ----

std::string Emitter::quoteName(const Name& n) const {
  if (!n.quoted && isPlainIdentifier(n.text) &&
      sqlite3_keyword_check(n.text.data(), static_cast<int>(n.text.size())) == 0)
    return n.text;
  std::string r = "\"";
  for (char c : n.text) {
    if (c == '"') r.push_back('"');
    r.push_back(c);
  }
  r.push_back('"');
  return r;
}

std::string Emitter::quoteText(const std::string& value) {
  std::string r = "'";
  for (char c : value) {
    if (c == '\'') r.push_back('\'');
    r.push_back(c);
  }
  r.push_back('\'');
  return r;
}

std::string Emitter::namePath(const std::vector<Name>& path) {
  std::string r;
  for (size_t i = 0; i < path.size(); ++i) {
    if (i) r += ".";
    r += quoteName(path[i]);
  }
  return r;
}

void Emitter::charge(size_t bytes) {
  produced_ += bytes;
  if (produced_ > limit_) throw TranslateError("translation would exceed " + std::to_string(limit_) + " bytes");
}

std::string Emitter::operand(const Out& o, int minPrecedence) {
  return o.precedence >= minPrecedence ? o.sql : "(" + o.sql + ")";
}

std::string Emitter::withNoCase(const Out& o) { return operand(o, kCollate) + " COLLATE NOCASE"; }

// Text comparisons in Jet ignore letter case. A bare column brings its
// declared collation (NOCASE for every text column the DDL translation
// creates); when no operand is a column, SQLite would compare binary, so the
// comparison gets COLLATE NOCASE. Numbers are never affected by collation.
bool Emitter::needsNoCase(const std::vector<const Out*>& operands) const {
  bool allDates = true;
  for (const Out* o : operands) {
    if (o->column || isNumeric(o->type)) return false;
    if (o->type != SqlType::Date) allDates = false;
  }
  return !allDates;
}

// ---- expressions ----

Out Emitter::concat(const std::vector<Out>& parts) {
  std::string sql = "jet_concat(";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) sql += ", ";
    sql += parts[i].sql;
  }
  return atom(sql + ")", SqlType::Text);
}

std::optional<Out> Emitter::arithmetic(BinaryOp op, const Out& l, const Out& r) {
  auto fn = [&](const char* name, SqlType t) { return atom(std::string(name) + "(" + l.sql + ", " + r.sql + ")", t); };
  switch (op) {
    case BinaryOp::Add:
      if (l.type == SqlType::Text || r.type == SqlType::Text || l.type == SqlType::Date || r.type == SqlType::Date) {
        // Jet's + joins two texts and moves dates by days.
        SqlType t = (l.type == SqlType::Date || r.type == SqlType::Date)   ? SqlType::Date
                    : (l.type == SqlType::Text && r.type == SqlType::Text) ? SqlType::Text
                                                                           : SqlType::Unknown;
        return fn("jet_add", t);
      }
      break;
    case BinaryOp::Subtract:
      if (l.type == SqlType::Date || r.type == SqlType::Date) {
        SqlType t = (l.type == SqlType::Date && r.type != SqlType::Date) ? SqlType::Date : SqlType::Number;
        return fn("jet_sub", t);
      }
      break;
    // Jet's / always divides as floating point (SQLite's truncates
    // integers) and fails on a zero divisor (SQLite's gives Null).
    case BinaryOp::Divide: return fn("jet_div", SqlType::Number);
    case BinaryOp::IntDivide: return fn("jet_idiv", SqlType::Number);
    case BinaryOp::Modulo: return fn("jet_mod", SqlType::Number);
    case BinaryOp::Power: return fn("jet_pow", SqlType::Number);
    case BinaryOp::Xor: return fn("jet_xor", SqlType::Number);
    default: break;
  }
  return std::nullopt;
}

Out Emitter::value(const Expr& e) { return asValue(expr(e)); }

Out Emitter::condition(const Expr& e) { return asCondition(expr(e)); }

Out Emitter::column(const Expr& e) {
  if (aliases_ && e.path.size() == 1) {
    std::string key = aliasKey(e.path[0].text);
    for (const AliasInfo& a : *aliases_) {
      if (a.key == key) {
        // SQLite cannot refer to an alias of the same select list; Jet can.
        charge(a.sql.size() + 2);
        Out o = atom("(" + a.sql + ")", a.type);
        o.column = a.column;
        return o;
      }
    }
  }
  SqlType kind = SqlType::Unknown;
  if (columnKinds_) {
    auto it = columnKinds_->find(&e);
    if (it != columnKinds_->end()) kind = it->second;
  }
  Out o = atom(columnName(e), kind);
  o.column = true;
  return o;
}

Out Emitter::expr(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Number:
    case ExprKind::String:
    case ExprKind::Date:
    case ExprKind::Null:
    case ExprKind::Bool: return literal(e);
    case ExprKind::Param: return param(e);
    case ExprKind::Column: return column(e);
    case ExprKind::Star: throw TranslateError("'*' outside a select list");
    case ExprKind::Negate: return negate(e);
    case ExprKind::Not: return logicalNot(e);
    case ExprKind::Binary: return binary(e);
    case ExprKind::Compare: return compare(e);
    case ExprKind::Between: return between(e);
    case ExprKind::InList: return inList(e);
    case ExprKind::InSelect: return inSubquery(e);
    case ExprKind::Exists: return truth("EXISTS (" + select(*e.select) + ")", kAlone);
    case ExprKind::IsNull: return isNull(value(*e.args[0]), e.negated);
    case ExprKind::Like: return like(e);
    case ExprKind::Call: return call(e);
    case ExprKind::Subquery: return atom("(" + select(*e.select) + ")", SqlType::Unknown);
    case ExprKind::Case: return caseOf(e);
  }
  throw TranslateError("unknown expression");
}

Out Emitter::literal(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Number: return atom(e.text, SqlType::Number);
    case ExprKind::String: return atom(quoteText(e.text), SqlType::Text);
    case ExprKind::Date: return dateLiteral(e.text);
    case ExprKind::Bool: return e.boolValue ? operation("-1", SqlType::Boolean, kUnary) : atom("0", SqlType::Boolean);
    default: return atom("NULL", SqlType::Unknown);
  }
}

Out Emitter::negate(const Expr& e) {
  std::string inner = operand(value(*e.args[0]), kUnary);
  if (!inner.empty() && inner[0] == '-') inner = "(" + inner + ")";  // "--" would start a comment
  return operation("-" + inner, SqlType::Number, kUnary);
}

Out Emitter::logicalNot(const Expr& e) { return truth("NOT " + operand(condition(*e.args[0]), kNot), kNot); }

namespace {

// Jet's binary operators that the target's own operator writes, when
// arithmetic() has no form of its own for the operands: the operator, its
// binding strength, and whether it joins truth values. The others (& / \ Mod
// ^ Xor) always need the target's own form.
struct PlainOperator {
  BinaryOp op;
  const char* text;
  int precedence;
  bool logical;
};

constexpr PlainOperator kPlainOperators[] = {
    {BinaryOp::Or, " OR ", kOr, true},        {BinaryOp::And, " AND ", kAnd, true},
    {BinaryOp::Add, " + ", kAdd, false},      {BinaryOp::Subtract, " - ", kAdd, false},
    {BinaryOp::Multiply, " * ", kMul, false},
};

const PlainOperator* plainOperator(BinaryOp op) {
  for (const PlainOperator& p : kPlainOperators)
    if (p.op == op) return &p;
  return nullptr;
}

}  // namespace

Out Emitter::binary(const Expr& e) {
  const BinaryOp op = e.binaryOp;
  if (op == BinaryOp::Concat) return concatChain(e);
  const PlainOperator* plain = plainOperator(op);
  if (plain && plain->logical) {
    Out l = condition(*e.args[0]);
    Out r = condition(*e.args[1]);
    return truth(operand(l, plain->precedence) + plain->text + operand(r, plain->precedence + 1), plain->precedence);
  }
  Out l = value(*e.args[0]);
  Out r = value(*e.args[1]);
  if (std::optional<Out> special = arithmetic(op, l, r)) return std::move(*special);
  if (!plain) throw TranslateError("an operator without a translation for this database");
  SqlType t = isNumeric(l.type) && isNumeric(r.type) ? SqlType::Number : SqlType::Unknown;
  return operation(operand(l, plain->precedence) + plain->text + operand(r, plain->precedence + 1), t,
                   plain->precedence);
}

Out Emitter::concatChain(const Expr& e) {
  // a & b & c: one call; Jet's & reads Null as empty text.
  std::vector<const Expr*> parts;
  const Expr* cur = &e;
  while (cur->kind == ExprKind::Binary && cur->binaryOp == BinaryOp::Concat) {
    parts.push_back(cur->args[1].get());
    cur = cur->args[0].get();
  }
  parts.push_back(cur);
  std::reverse(parts.begin(), parts.end());
  std::vector<Out> outs;
  outs.reserve(parts.size());
  for (const Expr* part : parts) outs.push_back(value(*part));
  return concat(outs);
}

Out Emitter::compare(const Expr& e) {
  Out l = value(*e.args[0]);
  Out r = value(*e.args[1]);
  bool equality = e.compareOp == CompareOp::Equal || e.compareOp == CompareOp::NotEqual;
  int p = equality ? kEquality : kRelational;
  std::string left = needsNoCase({&l, &r}) ? withNoCase(l) : operand(l, p);
  return truth(left + compareText(e.compareOp) + operand(r, p + 1), p);
}

Out Emitter::between(const Expr& e) {
  Out x = value(*e.args[0]);
  Out lo = value(*e.args[1]);
  Out hi = value(*e.args[2]);
  std::string left = needsNoCase({&x, &lo, &hi}) ? withNoCase(x) : operand(x, kRelational);
  return truth(left + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + operand(lo, kRelational) + " AND " +
               operand(hi, kRelational));
}

Out Emitter::inList(const Expr& e) {
  Out x = value(*e.args[0]);
  std::vector<Out> items;
  std::vector<const Out*> all = {&x};
  items.reserve(e.args.size() - 1);
  for (size_t i = 1; i < e.args.size(); ++i) items.push_back(value(*e.args[i]));
  for (const Out& it : items) all.push_back(&it);
  std::string sql = needsNoCase(all) ? withNoCase(x) : operand(x, kRelational);
  sql += e.negated ? " NOT IN (" : " IN (";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) sql += ", ";
    sql += items[i].sql;
  }
  return truth(sql + ")");
}

bool Emitter::needsNoCaseInSubquery(const Out& x) const { return !x.column && !isNumeric(x.type); }

Out Emitter::inSubquery(const Expr& e) {
  Out x = value(*e.args[0]);
  std::string sub = select(*e.select);
  std::string left = needsNoCaseInSubquery(x) ? withNoCase(x) : operand(x, kRelational);
  return truth(left + (e.negated ? " NOT IN (" : " IN (") + sub + ")");
}

Out Emitter::isNull(const Out& x, bool negated) {
  return truth(operand(x, kRelational) + (negated ? " IS NOT NULL" : " IS NULL"));
}

Out Emitter::caseOf(const Expr& e) {
  // CASE [x] WHEN a THEN b ... [ELSE c] END: negated marks the operand x,
  // distinct the ELSE.
  const size_t count = e.args.size();
  const size_t first = e.negated ? 1 : 0;
  const size_t pairsEnd = e.distinct ? count - 1 : count;
  std::string sql = "CASE";
  if (e.negated) sql += " " + value(*e.args[0]).sql;
  std::vector<std::string> whens;
  std::vector<Out> results;
  for (size_t i = first; i + 1 < pairsEnd; i += 2) {
    whens.push_back(e.negated ? value(*e.args[i]).sql : condition(*e.args[i]).sql);
    results.push_back(value(*e.args[i + 1]));
  }
  if (e.distinct) results.push_back(value(*e.args[count - 1]));
  std::vector<Out*> branches;
  for (Out& r : results) branches.push_back(&r);
  unify(branches);
  SqlType t = SqlType::Unknown;
  for (size_t i = 0; i < whens.size(); ++i) {
    sql += " WHEN " + whens[i] + " THEN " + results[i].sql;
    t = i == 0 ? results[i].type : merge(t, results[i].type);
  }
  if (e.distinct) {
    sql += " ELSE " + results.back().sql;
    t = merge(t, results.back().type);
  }
  return atom(sql + " END", t);
}

Out Emitter::like(const Expr& e) {
  Out x = value(*e.args[0]);
  const Expr& pattern = *e.args[1];
  std::string converted;
  if (pattern.kind == ExprKind::String && likePatternForSqlite(pattern.text, converted)) {
    // SQLite's LIKE already ignores letter case.
    return truth(operand(x, kRelational) + (e.negated ? " NOT LIKE " : " LIKE ") + quoteText(converted));
  }
  Out p = value(pattern);
  std::string test = "jet_like(" + x.sql + ", " + p.sql + ")";
  return e.negated ? truth("NOT " + test, kNot) : truth(test, kAlone);
}

void Emitter::requireArguments(const Expr& e, size_t least, size_t most) {
  const size_t n = e.args.size();
  if (n < least || n > most || e.starArgument || e.distinct)
    throw TranslateError(e.text + " called with " + std::to_string(n) + " arguments");
}

// IIf, Switch, Nz and IsNull are written alike for every target; the other
// functions are the target's.
Out Emitter::call(const Expr& e) {
  std::string name = text::lowerCaseAscii(e.text);
  if (!name.empty() && name.back() == '$') name.pop_back();
  if (name == "iif") return iif(e);
  if (name == "switch") return switchOf(e);
  // Jet's IsNull(x); SQL Server's ISNULL(x, y) is the target's to take.
  if (name == "isnull" && e.args.size() != 2) {
    requireArguments(e, 1, 1);
    return isNull(value(*e.args[0]), false);
  }
  if (name == "nz") return nz(e);
  return function(e, name);
}

Out Emitter::iif(const Expr& e) {
  requireArguments(e, 3, 3);
  Out c = condition(*e.args[0]);
  Out a = value(*e.args[1]);
  Out b = value(*e.args[2]);
  unify({&a, &b});
  SqlType t = e.args[1]->kind == ExprKind::Null   ? b.type
              : e.args[2]->kind == ExprKind::Null ? a.type
                                                  : merge(a.type, b.type);
  return atom("CASE WHEN " + c.sql + " THEN " + a.sql + " ELSE " + b.sql + " END", t);
}

Out Emitter::switchOf(const Expr& e) {
  const size_t n = e.args.size();
  if (n < 2 || n % 2 != 0 || e.starArgument || e.distinct)
    throw TranslateError("Switch needs pairs of conditions and values");
  std::vector<Out> conditions, values;
  for (size_t i = 0; i < n; i += 2) {
    conditions.push_back(condition(*e.args[i]));
    values.push_back(value(*e.args[i + 1]));
  }
  std::vector<Out*> branches;
  for (Out& v : values) branches.push_back(&v);
  unify(branches);
  std::string sql = "CASE";
  SqlType t = SqlType::Unknown;
  for (size_t i = 0; i < values.size(); ++i) {
    t = i == 0 ? values[i].type : merge(t, values[i].type);
    sql += " WHEN " + conditions[i].sql + " THEN " + values[i].sql;
  }
  return atom(sql + " END", t);
}

Out Emitter::nz(const Expr& e) {
  requireArguments(e, 1, 2);
  Out x = value(*e.args[0]);
  // Without a default, Jet's Nz gives Empty, which a query reads as a
  // zero-length text.
  if (e.args.size() == 1) {
    Out empty = atom("''", SqlType::Text);
    unify({&x, &empty});
    return atom("coalesce(" + x.sql + ", " + empty.sql + ")", SqlType::Unknown);
  }
  Out d = value(*e.args[1]);
  unify({&x, &d});
  return atom("coalesce(" + x.sql + ", " + d.sql + ")", merge(x.type, d.type));
}

Out Emitter::function(const Expr& e, const std::string& name) {
  const size_t n = e.args.size();
  // SQL Server's ISNULL(x, y) is not Jet's.
  if (name == "isnull") requireArguments(e, 1, 1);
  if (name == "now") {
    requireArguments(e, 0, 0);
    return atom("datetime('now', 'localtime')", SqlType::Date);
  }
  if (name == "date") {
    requireArguments(e, 0, 0);
    return atom("(date('now', 'localtime') || ' 00:00:00')", SqlType::Date);
  }
  if (name == "time") {
    requireArguments(e, 0, 0);
    return atom("('1899-12-30 ' || time('now', 'localtime'))", SqlType::Date);
  }
  if (!e.castType.empty()) {
    // CAST and CONVERT: SQLite's storage classes (a style is not read).
    Out x = value(*e.args[0]);
    const std::string& t = e.castType;
    auto has = [&](const char* part) { return t.find(part) != std::string::npos; };
    if (has("CHAR") || has("TEXT")) return atom("CAST(" + x.sql + " AS TEXT)", SqlType::Text);
    if (has("DATE") || has("TIME")) return atom("jet_cdate(" + x.sql + ")", SqlType::Date);
    if (has("INT")) return atom("CAST(" + x.sql + " AS INTEGER)", SqlType::Number);
    if (has("BIT")) return atom("jet_cbool(" + x.sql + ")", SqlType::Boolean);
    return atom("CAST(" + x.sql + " AS REAL)", SqlType::Number);
  }
  std::string target;
  SqlType type = SqlType::Unknown;
  if (const JetFunctionInfo* f = findJetFunction(name)) {
    target = std::string(f->sqlName);
    type = f->result;
  } else if (name == "count" || name == "sum" || name == "avg" || name == "min" || name == "max") {
    // Jet's own aggregates, which SQLite has under the same names; with
    // more than one argument SQLite's min and max are something else.
    if (e.starArgument ? name != "count" : n != 1)
      throw TranslateError(e.text + " called with " + std::to_string(n) + " arguments");
    target = e.text;
    if (name == "count" || name == "sum" || name == "avg") type = SqlType::Number;
  } else {
    // Jet has no other functions; the engine's own (randomblob, zeroblob,
    // printf, load_extension ...) are not the dialect's.
    throw TranslateError("Undefined function '" + e.text + "' in expression.");
  }
  std::string sql = target + "(";
  if (e.starArgument) sql += "*";
  if (e.distinct) sql += "DISTINCT ";
  for (size_t i = 0; i < n; ++i) {
    if (i) sql += ", ";
    Out a = value(*e.args[i]);
    if ((name == "min" || name == "max") && n == 1) type = a.type;
    sql += a.sql;
  }
  sql += ")" + aggregateFilter(name);
  return atom(sql, type);
}

// ---- SELECT ----

const SelectCore* makeTableOf(const Statement& s) {
  if (s.kind != StatementKind::Select || s.select->members.size() != 1) return nullptr;
  const SelectCore& c = s.select->members[0];
  return c.into.empty() ? nullptr : &c;
}

std::string Emitter::makeTableSelect(const Statement& s) {
  makeTableCore_ = makeTableOf(s);
  std::string sql = select(*s.select);
  makeTableCore_ = nullptr;
  return sql;
}

std::string Emitter::pivotValuesQuery(const CrosstabStatement& x) {
  const SelectCore& c = x.select->members[0];
  std::string sql = "SELECT DISTINCT " + value(*x.pivot).sql;
  if (!c.from.empty()) sql += " FROM " + from(c.from);
  if (c.where) sql += " WHERE " + condition(*c.where).sql;
  sql += " ORDER BY 1";
  charge(sql.size());
  return sql;
}

std::vector<Emitter::PivotColumn> Emitter::pivotColumns(const CrosstabStatement& x) {
  const std::string pivot = operand(value(*x.pivot), kEquality + 1);
  std::vector<PivotColumn> out;
  for (const ExprPtr& v : x.in) {
    PivotColumn col;
    switch (v->kind) {
      case ExprKind::Null:
        col.condition = pivot + " IS NULL";
        col.name = "<>";
        break;
      case ExprKind::Number:
      case ExprKind::String:
      case ExprKind::Date:
        col.condition = pivot + " = " + value(*v).sql;
        col.name = v->text;
        break;
      case ExprKind::Negate:
        if (v->args[0]->kind == ExprKind::Number) {
          col.condition = pivot + " = " + value(*v).sql;
          col.name = "-" + v->args[0]->text;
          break;
        }
        [[fallthrough]];
      default: throw TranslateError("PIVOT ... IN takes literal values only");
    }
    out.push_back(std::move(col));
  }
  return out;
}

std::vector<Emitter::PivotColumn> Emitter::pivotColumns(const CrosstabStatement& x,
                                                        const std::vector<PivotValue>& values) {
  const std::string pivot = operand(value(*x.pivot), kEquality + 1);
  std::vector<PivotColumn> out;
  for (const PivotValue& v : values) {
    PivotColumn col;
    switch (v.kind) {
      case PivotValue::Kind::Null:
        col.condition = pivot + " IS NULL";
        col.name = "<>";
        break;
      case PivotValue::Kind::Integer:
        col.condition = pivot + " = " + std::to_string(v.i);
        col.name = std::to_string(v.i);
        break;
      case PivotValue::Kind::Real: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.17g", v.r);
        col.condition = pivot + " = " + buf;
        col.name = numberText(v.r);
        break;
      }
      case PivotValue::Kind::Text:
        col.condition = pivot + " = " + quoteText(v.text);
        col.name = v.text;
        break;
    }
    charge(col.condition.size() + col.name.size());
    out.push_back(std::move(col));
  }
  return out;
}

std::string Emitter::crosstab(const CrosstabStatement& x, const std::vector<PivotColumn>& columns) {
  std::vector<std::string> items;
  for (const PivotColumn& col : columns) {
    pivotFilter_ = col.condition;
    std::string cell = value(*x.value).sql;
    pivotFilter_.clear();
    // A group without rows of the value has an empty cell, a Count's too.
    cell = "CASE WHEN count(*) FILTER (WHERE " + col.condition + ") > 0 THEN " + cell + " END";
    charge(cell.size());
    items.push_back(cell + " AS " + quoteName(Name{col.name, true}));
  }
  crosstabCore_ = &x.select->members[0];
  crosstabItems_ = std::move(items);
  std::string sql = select(*x.select);
  crosstabCore_ = nullptr;
  crosstabItems_.clear();
  return sql;
}

std::string Emitter::statement(const Statement& s) {
  switch (s.kind) {
    case StatementKind::Crosstab:
      if (s.crosstab->in.empty()) throw TranslateError("a crosstab without PIVOT ... IN needs the values it pivots on");
      return crosstab(*s.crosstab, pivotColumns(*s.crosstab));
    case StatementKind::Select:
      // Without the result's types, a made table takes SQLite's own.
      if (const SelectCore* c = makeTableOf(s)) return makeTable(s, *c);
      return select(*s.select);
    case StatementKind::Insert: return insert(*s.insert);
    case StatementKind::Update: return update(*s.update);
    case StatementKind::Delete: return del(*s.del);
  }
  throw TranslateError("unknown statement");
}

std::string Emitter::select(const Select& s) {
  const std::vector<AliasInfo>* saved = aliases_;
  aliases_ = nullptr;
  std::string sql;
  std::vector<AliasInfo> firstAliases;  // the result columns an outer ORDER BY may name
  if (s.members.size() == 1) {
    const SelectCore& c = s.members[0];
    if (!c.orderBy.empty() && !s.orderBy.empty()) {
      sql = "SELECT * FROM (" + member(c, &firstAliases) + ")" + derivedAlias();
    } else {
      sql = core(c, firstAliases);
      sql += orderBy(s.orderBy.empty() ? c.orderBy : s.orderBy, firstAliases);
      sql += limitClause(c);
      aliases_ = saved;
      return sql;
    }
  } else {
    for (size_t i = 0; i < s.members.size(); ++i) {
      const SelectCore& c = s.members[i];
      if (i) sql += s.unionAll[i - 1] ? " UNION ALL " : " UNION ";
      std::vector<AliasInfo> scratch;
      std::vector<AliasInfo>& aliases = i == 0 ? firstAliases : scratch;
      unionMember_ = true;  // read (and cleared) by core()
      if (!c.top.empty() || !c.orderBy.empty()) {
        // TOP and ORDER BY of one member apply to that member alone; SQLite
        // allows them only on a subquery.
        sql += "SELECT * FROM (" + member(c, &aliases) + ")" + derivedAlias();
      } else {
        sql += core(c, aliases);
      }
    }
  }
  sql += orderBy(s.orderBy, firstAliases);
  aliases_ = saved;
  return sql;
}

// A select with its own ORDER BY and TOP, to stand as a subquery.
std::string Emitter::member(const SelectCore& c, std::vector<AliasInfo>* aliases) {
  std::string sql = core(c, *aliases);
  sql += orderBy(c.orderBy, *aliases);
  sql += limitClause(c);
  return sql;
}

std::string Emitter::core(const SelectCore& c, std::vector<AliasInfo>& aliases) {
  // A make-table query is written by makeTable(); INTO anywhere else has no meaning.
  if (!c.into.empty() && &c != makeTableCore_) throw TranslateError("SELECT ... INTO inside another statement");
  aliases.clear();
  // A member of a union: its columns meet those of the other members.
  const bool inUnion = unionMember_;
  unionMember_ = false;
  std::string sql = "SELECT ";
  // DISTINCTROW (unique source rows) is dropped: the rows stay as the joins
  // give them.
  if (c.distinct) sql += "DISTINCT ";
  int unnamed = 0;
  for (size_t i = 0; i < c.items.size(); ++i) {
    const SelectItem& item = c.items[i];
    if (i) sql += ", ";
    if (item.expr->kind == ExprKind::Star) {
      sql += item.expr->path.empty() ? "*" : starName(*item.expr);
      continue;
    }
    aliases_ = &aliases;
    Out o = value(*item.expr);
    aliases_ = nullptr;
    sql += inUnion ? unionItem(o) : o.sql;
    if (item.alias) {
      sql += " AS " + quoteName(*item.alias);
      aliases.push_back({aliasKey(item.alias->text), o.sql, o.type, o.column, *item.alias});
    } else if (item.expr->kind == ExprKind::Column && item.expr->path.size() == 1 &&
               std::any_of(aliases.begin(), aliases.end(),
                           [&](const AliasInfo& a) { return a.key == aliasKey(item.expr->path[0].text); })) {
      // A bare alias of an earlier column: its expression, under the alias's name.
      sql += " AS " + quoteName(item.expr->path[0]);
    } else if (item.expr->kind != ExprKind::Column) {
      // Jet names an unnamed computed column Expr1000, Expr1001, ...
      sql += " AS " + quoteName(Name{"Expr" + std::to_string(1000 + unnamed++), false});
    }
  }
  if (&c == crosstabCore_)
    for (const std::string& item : crosstabItems_) sql += ", " + item;
  if (!c.from.empty()) sql += " FROM " + from(c.from);
  if (c.where) sql += " WHERE " + condition(*c.where).sql;
  if (!c.groupBy.empty()) {
    sql += " GROUP BY ";
    for (size_t i = 0; i < c.groupBy.size(); ++i) {
      if (i) sql += ", ";
      sql += groupTerm(*c.groupBy[i], nullptr);
    }
  }
  if (c.having) sql += " HAVING " + condition(*c.having).sql;
  charge(sql.size());
  return sql;
}

// An ORDER BY or GROUP BY term. Jet sorts and groups text without regard to
// letter case: a term that is not a bare column (whose collation applies)
// nor a number gets COLLATE NOCASE. Aliases of the select list are left to
// SQLite, which resolves them in ORDER BY; their expression decides.
std::string Emitter::groupTerm(const Expr& e, const std::vector<AliasInfo>* aliases) {
  if (e.kind == ExprKind::Number) return e.text;  // a column position
  if (aliases && e.kind == ExprKind::Column && e.path.size() == 1) {
    std::string key = aliasKey(e.path[0].text);
    for (const AliasInfo& a : *aliases)
      if (a.key == key) return aliasSortTerm(e.path[0], a);
  }
  Out o = value(e);
  if (o.column || isNumeric(o.type)) return o.sql;
  return sortTerm(o, aliases == nullptr);
}

std::string Emitter::orderBy(const std::vector<OrderItem>& items, const std::vector<AliasInfo>& aliases) {
  if (items.empty()) return {};
  std::string sql = " ORDER BY ";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) sql += ", ";
    sql += groupTerm(*items[i].expr, &aliases);
    if (items[i].descending) sql += " DESC";
  }
  return sql;
}

// ---- FROM ----

std::string Emitter::tableRef(const TableRef& t, bool operandOfJoin) {
  switch (t.kind) {
    case TableRef::Kind::Table: return tableName(t);
    case TableRef::Kind::Subquery: {
      std::string sql = "(" + select(*t.select) + ")";
      sql += t.alias ? " AS " + quoteName(subqueryAlias(*t.alias)) : derivedAlias();
      return sql;
    }
    case TableRef::Kind::Join: {
      // Jet's parenthesised chains nest to the left; SQLite reads a flat
      // chain the same way. A join on the right keeps its parentheses.
      std::string sql = tableRef(*t.left, false) + joinText(t.join) + tableRef(*t.right, true);
      if (t.on) sql += " ON " + condition(*t.on).sql;
      return operandOfJoin ? "(" + sql + ")" : sql;
    }
  }
  throw TranslateError("unknown table reference");
}

namespace {

// Jet's FROM form "A Z, B K, Z INNER JOIN K ON ..": the join operands name
// tables listed earlier in the same FROM by their aliases. The joins are
// rebuilt as chains over those tables; a listed table no join names stays a
// cross-joined item.
struct FromRewrite {
  struct Entry {
    std::string key;
    const TableRef* ref;
    int chain = -1;
    bool listed;  // an item of the FROM list itself
  };
  struct Step {
    JoinKind kind;
    const TableRef* ref;
    const Expr* on;
  };
  struct Chain {
    const TableRef* start;
    int firstListed = -1;  // position in the FROM list where the chain is written
    std::vector<Step> steps;
  };

  std::vector<Entry> entries;
  std::vector<Chain> chains;

  static std::string keyOf(const TableRef& t) {
    if (t.alias) return text::lowerCaseAscii(t.alias->text);
    if (t.kind == TableRef::Kind::Table) return text::lowerCaseAscii(t.table.back().text);
    return {};
  }

  int find(const std::string& key) const {
    for (size_t i = 0; i < entries.size(); ++i)
      if (!key.empty() && entries[i].key == key) return static_cast<int>(i);
    return -1;
  }

  // A join leaf that names a listed table: a bare one-part name, no alias.
  int reference(const TableRef& leaf) const {
    if (leaf.kind != TableRef::Kind::Table || leaf.alias || leaf.table.size() != 1) return -1;
    int i = find(text::lowerCaseAscii(leaf.table[0].text));
    return i >= 0 && entries[static_cast<size_t>(i)].listed ? i : -1;
  }

  // Leaves and steps of a left-deep join; false when a right operand is a join.
  static bool flatten(const TableRef& j, std::vector<const TableRef*>& leaves, std::vector<const TableRef*>& joins) {
    const TableRef* cur = &j;
    while (cur->kind == TableRef::Kind::Join) {
      if (cur->right->kind == TableRef::Kind::Join) return false;
      joins.push_back(cur);
      leaves.push_back(cur->right.get());
      cur = cur->left.get();
    }
    leaves.push_back(cur);
    std::reverse(leaves.begin(), leaves.end());
    std::reverse(joins.begin(), joins.end());
    return true;
  }

  std::vector<bool> absorbed;  // by FROM item: a join rebuilt into the chains

  // The FROM list's tables, and which of its joins name them; false when
  // none does (the list is then written as it stands).
  bool read(const std::vector<TableRefPtr>& items) {
    for (const auto& item : items)
      if (item->kind != TableRef::Kind::Join) entries.push_back({keyOf(*item), item.get(), -1, true});
    absorbed.assign(items.size(), false);
    bool any = false;
    for (size_t i = 0; i < items.size(); ++i) {
      const TableRef& t = *items[i];
      if (t.kind != TableRef::Kind::Join) continue;
      std::vector<const TableRef*> leaves, joins;
      if (!flatten(t, leaves, joins)) continue;
      bool refers = std::any_of(leaves.begin(), leaves.end(), [&](const TableRef* l) { return reference(*l) >= 0; });
      if (refers) absorbed[i] = any = true;
    }
    return any;
  }

  Entry& entry(int id) { return entries[static_cast<size_t>(id)]; }
  Chain& chain(int id) { return chains[static_cast<size_t>(id)]; }

  // The steps of one absorbed join, added to the chain of its tables.
  void absorb(const TableRef& item) {
    std::vector<const TableRef*> leaves, joins;
    flatten(item, leaves, joins);
    std::vector<int> ids;
    for (const TableRef* leaf : leaves) {
      int id = reference(*leaf);
      if (id < 0) {
        // A table joined in here for the first time.
        entries.push_back({keyOf(*leaf), leaf, -1, false});
        id = static_cast<int>(entries.size() - 1);
      }
      ids.push_back(id);
    }
    int current = entry(ids[0]).chain;
    for (size_t k = 0; k < joins.size(); ++k) {
      const TableRef& j = *joins[k];
      int id = ids[k + 1];
      Step step{j.join, entry(id).ref, j.on.get()};
      if (current < 0) {
        if (entry(id).chain >= 0) {
          // "X join Z" with Z already chained: only an inner join reads the same both ways.
          if (j.join != JoinKind::Inner && j.join != JoinKind::Cross)
            throw TranslateError("outer join onto a table already joined");
          current = entry(id).chain;
          chain(current).steps.push_back({j.join, entry(ids[0]).ref, j.on.get()});
          entry(ids[0]).chain = current;
          continue;
        }
        chains.push_back({entry(ids[0]).ref, -1, {}});
        current = static_cast<int>(chains.size() - 1);
        entry(ids[0]).chain = current;
      } else if (entry(id).chain >= 0) {
        throw TranslateError("join between two tables already joined");
      }
      chain(current).steps.push_back(step);
      entry(id).chain = current;
    }
  }
};

}  // namespace

std::string Emitter::from(const std::vector<TableRefPtr>& items) {
  FromRewrite fr;
  const bool rewritten = fr.read(items);
  for (size_t i = 0; i < items.size(); ++i)
    if (fr.absorbed[i]) fr.absorb(*items[i]);
  auto chainText = [&](const FromRewrite::Chain& ch) {
    std::string sql = tableRef(*ch.start, false);
    for (const auto& st : ch.steps) {
      sql += joinText(st.kind) + tableRef(*st.ref, true);
      if (st.on) sql += " ON " + condition(*st.on).sql;
    }
    return sql;
  };
  // Each chain is written where its first listed member stands.
  std::vector<std::string> pieces;
  size_t listed = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (fr.absorbed[i]) continue;
    if (!rewritten || items[i]->kind == TableRef::Kind::Join) {
      pieces.push_back(tableRef(*items[i], false));
      continue;
    }
    const FromRewrite::Entry& en = fr.entries[listed++];
    if (en.chain < 0) {
      pieces.push_back(tableRef(*items[i], false));
      continue;
    }
    FromRewrite::Chain& ch = fr.chain(en.chain);
    if (ch.firstListed >= 0) continue;
    ch.firstListed = static_cast<int>(i);
    pieces.push_back(chainText(ch));
  }
  // A chain started by a table that only a join brought in has no listed
  // member written yet.
  for (const FromRewrite::Chain& ch : fr.chains)
    if (ch.firstListed < 0) pieces.push_back(chainText(ch));
  std::string sql;
  for (size_t i = 0; i < pieces.size(); ++i) sql += (i ? ", " : "") + pieces[i];
  return sql;
}

// ---- INSERT, UPDATE, DELETE ----

std::string Emitter::insert(const InsertStatement& s) {
  std::string sql = "INSERT INTO " + tableName(s.table, std::nullopt);
  if (!s.columns.empty()) {
    sql += " (";
    for (size_t i = 0; i < s.columns.size(); ++i) {
      if (i) sql += ", ";
      sql += columnName(s.columns[i]);
    }
    sql += ")";
  }
  if (s.select) {
    // The select's rows pass through the columns' conversions: its result
    // columns are named by position, as INSERT reads them.
    std::vector<std::string> stores;
    bool any = false;
    for (size_t i = 0; writtenTypes_ && i < writtenTypes_->size(); ++i) {
      stores.push_back(storeFunction((*writtenTypes_)[i]));
      any = any || !stores.back().empty();
    }
    if (!any) return sql + " " + select(*s.select);
    const std::string rows = "\"jet$written\"";
    std::string names, items;
    for (size_t i = 0; i < stores.size(); ++i) {
      const std::string v = "v" + std::to_string(i + 1);
      names += (i ? ", " : "") + v;
      items += (i ? ", " : "") + (stores[i].empty() ? v : stores[i] + "(" + v + ")");
    }
    return sql + " WITH " + rows + "(" + names + ") AS (" + select(*s.select) + ") SELECT " + items + " FROM " + rows;
  }
  sql += " VALUES ";
  for (size_t r = 0; r < s.rows.size(); ++r) {
    if (r) sql += ", ";
    sql += "(";
    for (size_t i = 0; i < s.rows[r].size(); ++i) {
      if (i) sql += ", ";
      sql += written(value(*s.rows[r][i]), i);
    }
    sql += ")";
  }
  return sql;
}

std::string Emitter::update(const UpdateStatement& s) {
  // UPDATE A INNER JOIN B ON c SET ... becomes SQLite's UPDATE A SET ...
  // FROM B WHERE c: only inner joins, whose conditions may move to WHERE.
  const TableRef* target = s.target.get();
  std::vector<const TableRef*> others;
  std::vector<const Expr*> conditions;
  while (target->kind == TableRef::Kind::Join) {
    if (target->join != JoinKind::Inner && target->join != JoinKind::Cross)
      throw TranslateError("UPDATE over an outer join is not translated");
    others.push_back(target->right.get());
    if (target->on) conditions.push_back(target->on.get());
    target = target->left.get();
  }
  if (target->kind != TableRef::Kind::Table) throw TranslateError("UPDATE of a subquery");
  std::reverse(others.begin(), others.end());
  std::reverse(conditions.begin(), conditions.end());
  std::string key = FromRewrite::keyOf(*target);

  std::string sql = "UPDATE " + tableRef(*target, false) + " SET ";
  for (size_t i = 0; i < s.assignments.size(); ++i) {
    const Assignment& a = s.assignments[i];
    if (i) sql += ", ";
    // SQLite's SET names bare columns of the written table.
    if (a.target.size() > 2 || (a.target.size() == 2 && text::lowerCaseAscii(a.target[0].text) != key))
      throw TranslateError("SET of a column of another table");
    sql += columnName(a.target.back()) + " = " + written(value(*a.value), i);
  }
  if (!others.empty()) {
    sql += " FROM ";
    for (size_t i = 0; i < others.size(); ++i) {
      if (i) sql += ", ";
      sql += tableRef(*others[i], true);
    }
  }
  std::vector<std::string> where;
  for (const Expr* c : conditions) where.push_back(operand(condition(*c), kAnd + 1));
  if (s.where) where.push_back(operand(condition(*s.where), kAnd + 1));
  for (size_t i = 0; i < where.size(); ++i) sql += (i ? " AND " : " WHERE ") + where[i];
  return sql;
}

std::string Emitter::del(const DeleteStatement& s) {
  std::string sql = "DELETE FROM " + tableName(s.table, s.alias);
  if (s.where) sql += " WHERE " + condition(*s.where).sql;
  return sql;
}

std::unique_ptr<Emitter> makeEmitter(size_t outputLimit, Target target) {
  if (target == Target::Postgres) return makePgEmitter(outputLimit);
  return std::make_unique<Emitter>(outputLimit, target);
}

}  // namespace rvz::data::jet
