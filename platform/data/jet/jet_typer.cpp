// Jet's typing of expressions: the rules by which a select-list expression
// gets the type Jet gives it, and the resolution of column references
// through the FROM clause.
#include "platform/data/jet/jet_typer.h"
#include "platform/text/text.h"

#include <algorithm>

namespace rvz::data::jet {
namespace {

ColumnType of(JetType t) {
  ColumnType c;
  c.type = t;
  if (t == JetType::Text) c.size = kComputedTextSize;
  return c;
}

// The same type, no longer tied to a base column.
ColumnType plain(ColumnType c) {
  c.table.clear();
  c.column.clear();
  return c;
}

bool isNumber(JetType t) {
  switch (t) {
    case JetType::Boolean:
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::Single:
    case JetType::Double:
    case JetType::Currency:
    case JetType::Decimal: return true;
    default: return false;
  }
}

bool isText(JetType t) { return t == JetType::Text || t == JetType::Memo; }

// VBA's order of precision: Byte, Integer, Long, Single, Double, Currency,
// Decimal. A yes/no value counts as an Integer in arithmetic.
int rank(JetType t) {
  switch (t) {
    case JetType::Byte: return 0;
    case JetType::Boolean:
    case JetType::Integer: return 1;
    case JetType::Long: return 2;
    case JetType::Single: return 3;
    case JetType::Double: return 4;
    case JetType::Currency: return 5;
    case JetType::Decimal: return 6;
    default: return -1;
  }
}

// The type of arithmetic on two numbers: the more precise operand's, except
// that a Single with a Long gives a Double.
ColumnType promote(const ColumnType& a, const ColumnType& b) {
  if ((a.type == JetType::Single && b.type == JetType::Long) || (a.type == JetType::Long && b.type == JetType::Single))
    return of(JetType::Double);
  ColumnType r = plain(rank(a.type) >= rank(b.type) ? a : b);
  if (r.type == JetType::Boolean) r = of(JetType::Integer);
  if (a.type == JetType::Decimal && b.type == JetType::Decimal) {
    r.precision = std::max(a.precision, b.precision);
    r.scale = std::max(a.scale, b.scale);
  }
  return r;
}

// The type that two branches share (IIf, Switch, Nz, UNION members): Null
// takes the other's type; the same type stays (tied to a base column only
// when both are that column); numbers give the more precise number; text
// and memo give memo. Anything else the text does not tell.
ColumnType merge(const ColumnType& a, const ColumnType& b) {
  if (a.type == JetType::Null) return b;
  if (b.type == JetType::Null) return a;
  if (a == b) return a;
  if (a.type == b.type && a.type != JetType::Parameter && a.type != JetType::Unknown) {
    ColumnType r = plain(a);
    r.size = std::max(a.size, b.size);
    r.precision = std::max(a.precision, b.precision);
    r.scale = std::max(a.scale, b.scale);
    return r;
  }
  if (isNumber(a.type) && isNumber(b.type)) {
    if (a.type == JetType::Boolean && b.type == JetType::Boolean) return of(JetType::Boolean);
    return promote(a, b);
  }
  if (isText(a.type) && isText(b.type)) return of(JetType::Memo);
  return of(JetType::Unknown);
}

// The numeric type an operator keeps from one operand (Int, Abs, -x ...).
ColumnType sameNumber(const ColumnType& a, JetType otherwise) {
  if (a.type == JetType::Null) return a;
  if (a.type == JetType::Boolean || a.type == JetType::Byte) return of(JetType::Integer);
  if (isNumber(a.type)) return plain(a);
  return of(otherwise);
}

ColumnType arithmetic(BinaryOp op, const ColumnType& l, const ColumnType& r) {
  if (l.type == JetType::Null && r.type == JetType::Null) return l;
  const bool lDate = l.type == JetType::DateTime, rDate = r.type == JetType::DateTime;
  const bool lNum = isNumber(l.type), rNum = isNumber(r.type);
  switch (op) {
    case BinaryOp::Add:
      if ((lDate && (rNum || r.type == JetType::Null)) || (rDate && (lNum || l.type == JetType::Null)))
        return of(JetType::DateTime);
      if (isText(l.type) && isText(r.type)) return of(JetType::Text);
      break;
    case BinaryOp::Subtract:
      if (lDate && rDate) return of(JetType::Double);
      if (lDate && (rNum || r.type == JetType::Null)) return of(JetType::DateTime);
      break;
    case BinaryOp::Multiply:
      // Currency times a floating-point number is a Double in VBA.
      if ((l.type == JetType::Currency && (r.type == JetType::Single || r.type == JetType::Double)) ||
          (r.type == JetType::Currency && (l.type == JetType::Single || l.type == JetType::Double)))
        return of(JetType::Double);
      break;
    case BinaryOp::Divide:
      if (l.type == JetType::Decimal || r.type == JetType::Decimal) return plain(l.type == JetType::Decimal ? l : r);
      return of(JetType::Double);
    case BinaryOp::IntDivide:
    case BinaryOp::Modulo: return of(JetType::Long);
    case BinaryOp::Power: return of(JetType::Double);
    case BinaryOp::Concat: return of(JetType::Text);
    case BinaryOp::Xor:
      return of(l.type == JetType::Boolean && r.type == JetType::Boolean ? JetType::Boolean : JetType::Long);
    case BinaryOp::And:
    case BinaryOp::Or: return of(JetType::Boolean);
  }
  // Null with a number: the value is Null, the column the number's.
  if (l.type == JetType::Null && rNum) return sameNumber(r, JetType::Unknown);
  if (r.type == JetType::Null && lNum) return sameNumber(l, JetType::Unknown);
  if (lNum && rNum) return promote(l, r);
  return of(JetType::Unknown);
}

ColumnType numberLiteral(const std::string& text) {
  if (text.find_first_not_of("0123456789") != std::string::npos) return of(JetType::Double);
  // Whole numbers are Longs while they fit, as Jet reads them.
  if (text.size() > 10 || (text.size() == 10 && text > "2147483647")) return of(JetType::Double);
  return of(JetType::Long);
}

SqlType emitterKind(const ColumnType& c) {
  if (c.type == JetType::DateTime) return SqlType::Date;
  if (isText(c.type)) return SqlType::Text;
  if (c.type == JetType::Boolean) return SqlType::Boolean;
  if (isNumber(c.type)) return SqlType::Number;
  return SqlType::Unknown;
}

const BaseColumn* findColumn(const std::vector<BaseColumn>& columns, const std::string& key) {
  for (const BaseColumn& c : columns)
    if (text::lowerCaseAscii(c.name) == key) return &c;
  return nullptr;
}

bool isOneOf(const std::string& word, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (equalsWordNoCase(word, n)) return true;
  return false;
}

}  // namespace

namespace {

// The type of CAST(x AS type) / CONVERT(type, ...), SQL Server's type names.
ColumnType castType(const std::string& type) {
  std::string base = type.substr(0, type.find('('));
  int32_t a = 0, b = 0;
  if (size_t open = type.find('('); open != std::string::npos) {
    a = std::atoi(type.c_str() + open + 1);
    if (size_t comma = type.find(','); comma != std::string::npos) b = std::atoi(type.c_str() + comma + 1);
  }
  auto is = [&](std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), base) != names.end();
  };
  if (is({"VARCHAR", "NVARCHAR", "CHAR", "NCHAR"})) {
    ColumnType t = of(JetType::Text);
    if (a > 0) t.size = a;
    if (type.find("MAX") != std::string::npos) return of(JetType::Memo);
    return t;
  }
  if (is({"TEXT", "NTEXT"})) return of(JetType::Memo);
  if (is({"INT", "INTEGER"})) return of(JetType::Long);
  if (is({"SMALLINT", "TINYINT"})) return of(JetType::Integer);
  if (is({"BIT"})) return of(JetType::Boolean);
  if (is({"FLOAT", "DOUBLE"})) return of(JetType::Double);
  if (is({"REAL"})) return of(JetType::Single);
  if (is({"MONEY", "SMALLMONEY", "CURRENCY"})) return of(JetType::Currency);
  if (is({"DECIMAL", "NUMERIC", "DEC"})) {
    ColumnType t = of(JetType::Decimal);
    t.precision = a > 0 ? a : 18;
    t.scale = b;
    return t;
  }
  if (is({"DATETIME", "SMALLDATETIME", "DATETIME2", "DATE", "TIME"})) return of(JetType::DateTime);
  return of(JetType::Unknown);
}

}  // namespace

ColumnType declaredType(const ParameterDecl& d) {
  const std::string& w = d.type;
  ColumnType c;
  if (isOneOf(w, {"TEXT", "CHAR", "VARCHAR", "STRING", "ALPHANUMERIC", "NCHAR", "NVARCHAR", "CHARACTER"})) {
    c.type = JetType::Text;
    c.size = d.numbers >= 1 && d.size > 0 ? d.size : kComputedTextSize;
  } else if (isOneOf(w, {"MEMO", "LONGTEXT", "NOTE", "LONGCHAR", "NTEXT"})) {
    c.type = JetType::Memo;
  } else if (isOneOf(w, {"BIT", "YESNO", "LOGICAL", "LOGICAL1", "BOOLEAN"})) {
    c.type = JetType::Boolean;
  } else if (isOneOf(w, {"BYTE", "INTEGER1", "TINYINT"})) {
    c.type = JetType::Byte;
  } else if (isOneOf(w, {"SHORT", "SMALLINT", "INTEGER2"})) {
    c.type = JetType::Integer;
  } else if (isOneOf(w, {"LONG", "INT", "INTEGER", "INTEGER4", "COUNTER", "AUTOINCREMENT"})) {
    c.type = JetType::Long;
  } else if (isOneOf(w, {"SINGLE", "REAL", "FLOAT4", "IEEESINGLE"})) {
    c.type = JetType::Single;
  } else if (isOneOf(w, {"DOUBLE", "FLOAT", "FLOAT8", "IEEEDOUBLE", "NUMBER"})) {
    c.type = JetType::Double;
  } else if (isOneOf(w, {"CURRENCY", "MONEY"})) {
    c.type = JetType::Currency;
  } else if (isOneOf(w, {"DECIMAL", "NUMERIC", "DEC"})) {
    c.type = JetType::Decimal;
    c.precision = d.numbers >= 1 ? d.size : 18;
    c.scale = d.numbers >= 2 ? d.scale : 0;
  } else if (isOneOf(w, {"DATETIME", "DATE", "TIME", "TIMESTAMP"})) {
    c.type = JetType::DateTime;
  } else if (isOneOf(w, {"BINARY", "VARBINARY"})) {
    c.type = JetType::Binary;
    c.size = d.numbers >= 1 ? d.size : 255;
  } else if (isOneOf(w, {"LONGBINARY", "OLEOBJECT", "GENERAL", "IMAGE"})) {
    c.type = JetType::LongBinary;
  } else if (isOneOf(w, {"GUID", "UNIQUEIDENTIFIER"})) {
    c.type = JetType::Guid;
  } else if (isOneOf(w, {"VALUE"})) {
    c.type = JetType::Unknown;
  } else {
    throw TranslateError("parameter '" + d.name.text + "' has the unknown type '" + w + "'");
  }
  return c;
}

std::optional<std::vector<BaseColumn>> Typer::statement(const Statement& s) {
  declared_.clear();
  written_.clear();
  for (const ParameterDecl& d : s.parameters) declared_.push_back(declaredType(d));
  switch (s.kind) {
    case StatementKind::Select: return select(*s.select, nullptr);
    case StatementKind::Crosstab: {
      const CrosstabStatement& x = *s.crosstab;
      std::vector<ColumnType> types;
      auto headings = core(x.select->members[0], nullptr, {x.value.get(), x.pivot.get()}, &types);
      crosstabValue_ = types.empty() ? ColumnType{} : types[0];
      Scope none;
      for (const OrderItem& o : x.select->orderBy) type(*o.expr, none);
      for (const ExprPtr& v : x.in) type(*v, none);
      return headings;
    }
    case StatementKind::Insert: {
      std::vector<const Name*> names;
      for (const Name& n : s.insert->columns) names.push_back(&n);
      spellColumns(s.insert->table, names);
      Scope scope;
      for (const auto& row : s.insert->rows)
        for (const auto& e : row) type(*e, scope);
      if (s.insert->select) select(*s.insert->select, nullptr);
      return std::nullopt;
    }
    case StatementKind::Update: {
      Scope scope;
      addSource(*s.update->target, scope, nullptr);
      walkOn(*s.update->target, scope);
      const TableRef* written = s.update->target.get();
      while (written->kind == TableRef::Kind::Join) written = written->left.get();
      if (written->kind == TableRef::Kind::Table) {
        std::vector<const Name*> names;
        for (const auto& a : s.update->assignments) names.push_back(&a.target.back());
        spellColumns(written->table, names);
      }
      for (const auto& a : s.update->assignments) type(*a.value, scope);
      if (s.update->where) type(*s.update->where, scope);
      return std::nullopt;
    }
    case StatementKind::Delete: {
      Scope scope;
      Source src;
      src.table = text::lowerCaseAscii(s.del->table.back().text);
      src.key = s.del->alias ? text::lowerCaseAscii(s.del->alias->text) : src.table;
      src.columns = schema_.columnsOf(s.del->table.back().text);
      spellings_[&s.del->table] = schema_.tableName(s.del->table.back().text);
      scope.sources.push_back(std::move(src));
      if (s.del->where) type(*s.del->where, scope);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

void Typer::spellColumns(const std::vector<Name>& table, const std::vector<const Name*>& columns) {
  spellings_[&table] = schema_.tableName(table.back().text);
  written_.clear();
  auto known = schema_.columnsOf(table.back().text);
  if (!known) return;
  if (columns.empty()) {
    // INSERT without a column list writes every column in order.
    for (const BaseColumn& c : *known) written_.push_back(c.type.type);
    return;
  }
  for (const Name* n : columns) {
    const BaseColumn* c = findColumn(*known, text::lowerCaseAscii(n->text));
    if (c) spellings_[n] = c->name;
    written_.push_back(c ? c->type.type : JetType::Unknown);
  }
}

std::optional<std::vector<BaseColumn>> Typer::select(const Select& s, const Scope* parent) {
  std::optional<std::vector<BaseColumn>> result;
  for (size_t i = 0; i < s.members.size(); ++i) {
    auto member = core(s.members[i], parent, {}, nullptr, s.members.size() == 1 ? &s.orderBy : nullptr);
    if (i == 0) {
      result = std::move(member);
    } else if (result && member && member->size() == result->size()) {
      for (size_t k = 0; k < result->size(); ++k) (*result)[k].type = merge((*result)[k].type, (*member)[k].type);
    } else {
      result.reset();
    }
  }
  // The ORDER BY of a union names its result columns.
  Scope scope;
  scope.parent = parent;
  if (result)
    for (const BaseColumn& c : *result) scope.aliases.push_back({text::lowerCaseAscii(c.name), c.type});
  if (s.members.size() > 1) {
    for (const OrderItem& o : s.orderBy) {
      type(*o.expr, scope);
      // A union's ORDER BY names a result column: spelled as the result does.
      if (result && o.expr->kind == ExprKind::Column && o.expr->path.size() == 1)
        for (const BaseColumn& c : *result)
          if (text::lowerCaseAscii(c.name) == text::lowerCaseAscii(o.expr->path[0].text)) {
            spellings_[o.expr.get()] = c.name;
            break;
          }
    }
  }
  return result;
}

void Typer::addSource(const TableRef& t, Scope& scope, const Scope* parent) {
  switch (t.kind) {
    case TableRef::Kind::Table: {
      const std::string& name = t.table.back().text;
      const std::string key = t.alias ? text::lowerCaseAscii(t.alias->text) : text::lowerCaseAscii(name);
      // The catalogue's FROM form joins aliases listed before it
      // ("from XSDDZB Z, KH K, Z inner join K on ..."): such a bare name is
      // the listed table again, not a table of its own.
      if (!t.alias && t.table.size() == 1 &&
          std::any_of(scope.sources.begin(), scope.sources.end(), [&](const Source& s) { return s.key == key; }))
        return;
      Source src;
      src.key = key;
      src.table = text::lowerCaseAscii(name);
      src.columns = schema_.columnsOf(name);
      spellings_[&t] = schema_.tableName(name);
      if (src.columns)
        for (BaseColumn& c : *src.columns) {
          c.type.table = name;
          c.type.column = c.name;
        }
      scope.sources.push_back(std::move(src));
      return;
    }
    case TableRef::Kind::Subquery: {
      Source src;
      src.key = t.alias ? text::lowerCaseAscii(t.alias->text) : std::string();
      src.columns = select(*t.select, parent);
      scope.sources.push_back(std::move(src));
      return;
    }
    case TableRef::Kind::Join:
      addSource(*t.left, scope, parent);
      addSource(*t.right, scope, parent);
      return;
  }
}

void Typer::walkOn(const TableRef& t, Scope& scope) {
  if (t.kind != TableRef::Kind::Join) return;
  walkOn(*t.left, scope);
  walkOn(*t.right, scope);
  if (t.on) type(*t.on, scope);
}

std::optional<std::vector<BaseColumn>> Typer::core(const SelectCore& c, const Scope* parent,
                                                   const std::vector<const Expr*>& also,
                                                   std::vector<ColumnType>* alsoTypes,
                                                   const std::vector<OrderItem>* outerOrder) {
  Scope scope;
  scope.parent = parent;
  for (const auto& t : c.from) addSource(*t, scope, parent);
  for (const auto& t : c.from) walkOn(*t, scope);

  std::vector<BaseColumn> out;
  bool complete = true;
  int unnamed = 0;
  for (const SelectItem& item : c.items) {
    const Expr& e = *item.expr;
    if (e.kind == ExprKind::Star) {
      // "*" or "t.*": the columns of the sources, in FROM order.
      const std::string qualifier = e.path.empty() ? std::string() : text::lowerCaseAscii(e.path.back().text);
      bool matched = false;
      for (const Source& s : scope.sources) {
        if (!qualifier.empty() && s.key != qualifier && s.table != qualifier) continue;
        matched = true;
        if (!s.columns) {
          complete = false;
          continue;
        }
        out.insert(out.end(), s.columns->begin(), s.columns->end());
      }
      if (!matched) complete = false;
      continue;
    }
    ColumnType t = type(e, scope);
    std::string name;
    if (item.alias) {
      name = item.alias->text;
    } else if (e.kind == ExprKind::Column) {
      // The column as its table spells it.
      auto spelled = spellings_.find(&e);
      name = spelled != spellings_.end() ? spelled->second : e.path.back().text;
    } else {
      name = "Expr" + std::to_string(1000 + unnamed++);
    }
    if (item.alias) scope.aliases.push_back({text::lowerCaseAscii(item.alias->text), t});
    out.push_back({std::move(name), std::move(t)});
  }
  for (const Expr* e : also) {
    ColumnType t = type(*e, scope);
    if (alsoTypes) alsoTypes->push_back(std::move(t));
  }
  // Later clauses see the select-list aliases only where Jet resolves them
  // the same way; their column kinds are what the emitter needs.
  std::vector<BaseColumn> aliases = std::move(scope.aliases);
  scope.aliases.clear();
  if (c.where) type(*c.where, scope);
  for (const auto& g : c.groupBy) type(*g, scope);
  if (c.having) type(*c.having, scope);
  scope.aliases = std::move(aliases);
  for (const OrderItem& o : c.orderBy) type(*o.expr, scope);
  // A lone select's ORDER BY names its sources as well as its aliases.
  if (outerOrder)
    for (const OrderItem& o : *outerOrder) type(*o.expr, scope);
  if (!complete) return std::nullopt;
  return out;
}

ColumnType Typer::columnRef(const Expr& e, const Scope& scope) {
  const std::string name = text::lowerCaseAscii(e.path.back().text);
  if (e.path.size() == 1) {
    for (const Scope* s = &scope; s; s = s->parent) {
      if (s == &scope) {
        // A select-list alias named later in the same list stands for its
        // expression (the emitter writes the expression in its place).
        for (const BaseColumn& a : s->aliases)
          if (a.name == name) return a.type;
      }
      for (const Source& src : s->sources)
        if (src.columns)
          if (const BaseColumn* c = findColumn(*src.columns, name)) {
            spellings_[&e] = c->name;
            return c->type;
          }
    }
    return of(JetType::Unknown);
  }
  const std::string qualifier = text::lowerCaseAscii(e.path[e.path.size() - 2].text);
  for (const Scope* s = &scope; s; s = s->parent) {
    for (const Source& src : s->sources) {
      if (src.key != qualifier && src.table != qualifier) continue;
      if (!src.columns) return of(JetType::Unknown);
      if (const BaseColumn* c = findColumn(*src.columns, name)) {
        spellings_[&e] = c->name;
        return c->type;
      }
      return of(JetType::Unknown);
    }
  }
  return of(JetType::Unknown);
}

ColumnType Typer::subqueryType(const Select& s, const Scope& scope) {
  auto cols = select(s, &scope);
  if (!cols || cols->empty()) return of(JetType::Unknown);
  return (*cols)[0].type;
}

ColumnType Typer::type(const Expr& e, Scope& scope) {
  switch (e.kind) {
    case ExprKind::Number: return numberLiteral(e.text);
    case ExprKind::String: return of(JetType::Text);
    case ExprKind::Date: return of(JetType::DateTime);
    case ExprKind::Null: return of(JetType::Null);
    case ExprKind::Bool: return of(JetType::Boolean);
    case ExprKind::Param: {
      if (e.paramIndex >= 1 && static_cast<size_t>(e.paramIndex) <= declared_.size() &&
          declared_[static_cast<size_t>(e.paramIndex) - 1].type != JetType::Unknown)
        return declared_[static_cast<size_t>(e.paramIndex) - 1];
      ColumnType t = of(JetType::Parameter);
      t.parameter = e.paramIndex;
      return t;
    }
    case ExprKind::Column: {
      ColumnType t = columnRef(e, scope);
      kinds_[&e] = emitterKind(t);
      return t;
    }
    case ExprKind::Star: return of(JetType::Unknown);
    case ExprKind::Negate: {
      ColumnType a = type(*e.args[0], scope);
      if (a.type == JetType::DateTime) return of(JetType::DateTime);
      return sameNumber(a, JetType::Unknown);
    }
    case ExprKind::Binary: {
      ColumnType l = type(*e.args[0], scope);
      ColumnType r = type(*e.args[1], scope);
      return arithmetic(e.binaryOp, l, r);
    }
    case ExprKind::Not:
    case ExprKind::Compare:
    case ExprKind::Between:
    case ExprKind::InList:
    case ExprKind::IsNull:
    case ExprKind::Like:
      for (const auto& a : e.args) type(*a, scope);
      return of(JetType::Boolean);
    case ExprKind::InSelect:
      type(*e.args[0], scope);
      select(*e.select, &scope);
      return of(JetType::Boolean);
    case ExprKind::Exists: select(*e.select, &scope); return of(JetType::Boolean);
    case ExprKind::Call: return call(e, scope);
    case ExprKind::Subquery: return subqueryType(*e.select, scope);
    case ExprKind::Case: {
      // The results' shared type; Null where no branch holds and no ELSE.
      std::vector<ColumnType> args;
      for (const auto& a : e.args) args.push_back(type(*a, scope));
      const size_t first = e.negated ? 1 : 0;
      const size_t end = e.distinct ? args.size() - 1 : args.size();
      ColumnType t = of(e.distinct ? JetType::Unknown : JetType::Null);
      bool any = false;
      for (size_t i = first + 1; i < end; i += 2) {
        t = any || !e.distinct ? merge(t, args[i]) : args[i];
        any = true;
      }
      if (e.distinct) t = any ? merge(t, args.back()) : args.back();
      return t;
    }
  }
  return of(JetType::Unknown);
}

ColumnType Typer::call(const Expr& e, Scope& scope) {
  std::vector<ColumnType> args;
  args.reserve(e.args.size());
  for (const auto& a : e.args) args.push_back(type(*a, scope));
  std::string name = text::lowerCaseAscii(e.text);
  if (!name.empty() && name.back() == '$') name.pop_back();
  const size_t n = args.size();
  auto is = [&](std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };

  if (!e.castType.empty()) return castType(e.castType);
  if (name == "count") return of(JetType::Long);
  if (name == "sum") {
    // Sum keeps currency and decimal; other numbers add up as doubles.
    if (n == 1 && (args[0].type == JetType::Currency || args[0].type == JetType::Decimal)) return plain(args[0]);
    return of(JetType::Double);
  }
  if (is({"avg", "stdev", "stdevp", "var", "varp"})) return of(JetType::Double);
  if (is({"min", "max", "first", "last"})) return n == 1 ? args[0] : of(JetType::Unknown);
  if (name == "iif") return n == 3 ? merge(args[1], args[2]) : of(JetType::Unknown);
  if (name == "switch") {
    // Null when no condition holds.
    ColumnType t = of(JetType::Null);
    for (size_t i = 1; i < n; i += 2) t = merge(t, args[i]);
    return t;
  }
  if (name == "nz") {
    if (n == 2) return merge(args[0], args[1]);
    // Nz without a default gives a zero-length text for Null: a text column
    // stays one; anything else mixes texts with its own values.
    if (n == 1 && (isText(args[0].type) || args[0].type == JetType::Null))
      return args[0].type == JetType::Null ? of(JetType::Text) : args[0];
    return of(JetType::Unknown);
  }
  if (name == "isnull") return of(JetType::Boolean);
  if (is({"now", "date", "time", "dateadd", "dateserial", "datevalue", "timeserial", "timevalue", "cdate"}))
    return of(JetType::DateTime);
  if (is({"int", "fix"})) {
    if (n == 1 && args[0].type == JetType::DateTime) return of(JetType::DateTime);
    return n == 1 ? sameNumber(args[0], JetType::Double) : of(JetType::Unknown);
  }
  if (is({"abs", "round"})) return n >= 1 ? sameNumber(args[0], JetType::Double) : of(JetType::Unknown);
  if (is({"sqr", "val"})) return of(JetType::Double);
  if (is({"year", "month", "day", "hour", "minute", "second", "weekday", "datepart", "sgn", "strcomp", "asc", "ascw",
          "cint"}))
    return of(JetType::Integer);
  if (is({"datediff", "len", "instr", "clng"})) return of(JetType::Long);
  if (is({"left", "right", "mid", "trim", "ltrim", "rtrim", "ucase", "lcase", "space", "string", "replace", "chr",
          "chrw", "cstr", "str", "format"}))
    return of(JetType::Text);
  if (name == "cdbl") return of(JetType::Double);
  if (name == "csng") return of(JetType::Single);
  if (name == "ccur") return of(JetType::Currency);
  if (name == "cbool") return of(JetType::Boolean);
  return of(JetType::Unknown);
}

}  // namespace rvz::data::jet
