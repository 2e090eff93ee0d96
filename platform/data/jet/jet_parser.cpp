// Recursive-descent parser of Jet SQL statements.
#include "platform/data/jet/jet_parser.h"

#include <algorithm>
#include <array>

namespace rvz::data::jet {

Expr::~Expr() = default;
TableRef::~TableRef() = default;

bool equalsWordNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

bool isReservedWord(std::string_view word) {
  // Sorted, upper case: looked up for nearly every word of a text.
  static constexpr std::array<std::string_view, 46> kReserved = {
      "ALL",   "AND",    "AS",         "BETWEEN", "BY",    "CASE",   "CROSS",  "DELETE", "DISTINCT", "DISTINCTROW",
      "EQV",   "EXISTS", "FROM",       "FULL",    "GROUP", "HAVING", "IMP",    "IN",     "INNER",    "INSERT",
      "INTO",  "IS",     "JOIN",       "LEFT",    "LIKE",  "MOD",    "NOT",    "NULL",   "ON",       "OR",
      "ORDER", "OUTER",  "PARAMETERS", "PERCENT", "PIVOT", "RIGHT",  "SELECT", "SET",    "TOP",      "TRANSFORM",
      "UNION", "UPDATE", "VALUES",     "WHERE",   "WITH",  "XOR"};
  if (word.size() < 2 || word.size() > 11) return false;
  char upper[12];
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return std::binary_search(kReserved.begin(), kReserved.end(), std::string_view(upper, word.size()));
}

Parser::DepthGuard::DepthGuard(Parser& parser) : p(parser) {
  if (++p.depth_ > kMaxNesting) {
    --p.depth_;
    p.fail("nesting deeper than " + std::to_string(kMaxNesting) + " levels");
  }
}

const Token& Parser::peek(size_t ahead) const {
  size_t i = std::min(pos_ + ahead, tokens_.size() - 1);
  return tokens_[i];
}

const Token& Parser::next() {
  const Token& t = tokens_[pos_];
  if (pos_ + 1 < tokens_.size()) ++pos_;
  return t;
}

bool Parser::isWord(std::string_view keyword, size_t ahead) const {
  const Token& t = peek(ahead);
  return t.kind == TokenKind::Word && equalsWordNoCase(t.text, keyword);
}

bool Parser::isSymbol(std::string_view symbol, size_t ahead) const {
  const Token& t = peek(ahead);
  return t.kind == TokenKind::Symbol && t.text == symbol;
}

bool Parser::acceptWord(std::string_view keyword) {
  if (!isWord(keyword)) return false;
  next();
  return true;
}

bool Parser::acceptSymbol(std::string_view symbol) {
  if (!isSymbol(symbol)) return false;
  next();
  return true;
}

void Parser::expectWord(std::string_view keyword) {
  if (!acceptWord(keyword)) fail("expected " + std::string(keyword));
}

void Parser::expectSymbol(std::string_view symbol) {
  if (!acceptSymbol(symbol)) fail("expected '" + std::string(symbol) + "'");
}

void Parser::fail(const std::string& what) const {
  const Token& t = peek();
  std::string where = t.kind == TokenKind::End
                          ? "at the end of the text"
                          : "at offset " + std::to_string(t.offset) + " ('" + t.text.substr(0, 40) + "')";
  throw TranslateError(what + " " + where);
}

void Parser::expectEnd() {
  while (acceptSymbol(";")) {
  }
  if (peek().kind == TokenKind::End) return;
  if (sqlServer_) {
    for (const char* w : {"SELECT", "INSERT", "UPDATE", "DELETE", "CREATE", "DROP", "ALTER", "TRANSFORM", "PARAMETERS"})
      if (isWord(w)) return;
  }
  fail("unexpected text after the statement");
}

Name Parser::parseName(const char* what) {
  const Token& t = peek();
  if (t.kind == TokenKind::Name) {
    next();
    return {t.text, true};
  }
  if (t.kind == TokenKind::Word && !isReservedWord(t.text)) {
    next();
    return {t.text, false};
  }
  fail(std::string("expected ") + what);
}

std::vector<Name> Parser::parseNamePath(const char* what) {
  std::vector<Name> path;
  path.push_back(parseName(what));
  while (isSymbol(".") || isSymbol("!")) {
    next();
    path.push_back(parseName(what));
    if (path.size() > 4) fail("name with too many parts");
  }
  return path;
}

// ---- statements ----

Statement Parser::parseStatement() {
  Statement s;
  if (isWord("PARAMETERS")) {
    s.parameters = parseParameterDecls();
    declared_ = &s.parameters;
  }
  if (isWord("SELECT") || isSymbol("(")) {
    s.kind = StatementKind::Select;
    s.select = parseSelect();
  } else if (isWord("INSERT")) {
    s.kind = StatementKind::Insert;
    s.insert = parseInsert();
  } else if (isWord("UPDATE")) {
    s.kind = StatementKind::Update;
    s.update = parseUpdate();
  } else if (isWord("DELETE")) {
    s.kind = StatementKind::Delete;
    s.del = parseDelete();
  } else if (isWord("TRANSFORM")) {
    s.kind = StatementKind::Crosstab;
    s.crosstab = parseCrosstab();
  } else {
    fail("not a statement the translator knows");
  }
  expectEnd();
  declared_ = nullptr;
  return s;
}

std::vector<ParameterDecl> Parser::parseParameterDecls() {
  expectWord("PARAMETERS");
  std::vector<ParameterDecl> decls;
  do {
    ParameterDecl d;
    d.name = parseName("a parameter name");
    for (const ParameterDecl& other : decls)
      if (equalsWordNoCase(other.name.text, d.name.text)) fail("parameter '" + d.name.text + "' declared twice");
    const Token& t = peek();
    if (t.kind != TokenKind::Word) fail("expected the type of parameter '" + d.name.text + "'");
    d.type = next().text;
    if (acceptSymbol("(")) {
      do {
        const Token& n = peek();
        if (n.kind != TokenKind::Number || n.text.size() > 9 ||
            n.text.find_first_not_of("0123456789") != std::string::npos)
          fail("expected a size");
        (d.numbers == 0 ? d.size : d.scale) = std::stoi(next().text);
        if (++d.numbers > 2) fail("a type takes at most two numbers");
      } while (acceptSymbol(","));
      expectSymbol(")");
    }
    decls.push_back(std::move(d));
    if (decls.size() > 1000) fail("too many parameters");
  } while (acceptSymbol(","));
  expectSymbol(";");
  return decls;
}

std::unique_ptr<Select> Parser::parseSelect() {
  DepthGuard guard(*this);
  auto s = std::make_unique<Select>();
  parseSelectMember(*s);
  while (acceptWord("UNION")) {
    s->unionAll.push_back(acceptWord("ALL"));
    parseSelectMember(*s);
  }
  if (isWord("ORDER")) s->orderBy = parseOrderBy();
  return s;
}

void Parser::parseSelectMember(Select& s) {
  if (acceptSymbol("(")) {
    expectWord("SELECT");
    SelectCore core = parseSelectCore();
    if (isWord("ORDER")) core.orderBy = parseOrderBy();
    expectSymbol(")");
    s.members.push_back(std::move(core));
    return;
  }
  expectWord("SELECT");
  s.members.push_back(parseSelectCore());
}

SelectCore Parser::parseSelectCore() {
  SelectCore c;
  // Predicate and TOP, in either order.
  for (int round = 0; round < 2; ++round) {
    if (acceptWord("DISTINCT")) {
      c.distinct = true;
    } else if (acceptWord("DISTINCTROW")) {
      c.distinctRow = true;
    } else if (acceptWord("ALL")) {
    }
    if (c.top.empty() && acceptWord("TOP")) {
      const bool parenthesised = acceptSymbol("(");  // SQL Server's TOP (n)
      const Token& n = peek();
      if (n.kind != TokenKind::Number || n.text.find_first_not_of("0123456789") != std::string::npos ||
          n.text.size() > 18)
        fail("TOP needs a whole number");
      c.top = next().text;
      if (parenthesised) expectSymbol(")");
      c.topPercent = acceptWord("PERCENT");
    }
  }
  do {
    SelectItem item;
    if (isSymbol("*")) {
      next();
      item.expr = std::make_unique<Expr>(ExprKind::Star);
    } else {
      item.expr = parseExpression();
      if (acceptWord("AS")) {
        item.alias = parseName("a column alias");
      } else if (peek().kind == TokenKind::Name || (peek().kind == TokenKind::Word && !isReservedWord(peek().text))) {
        item.alias = parseName("a column alias");
      }
    }
    c.items.push_back(std::move(item));
  } while (acceptSymbol(","));
  if (acceptWord("INTO")) {
    c.into = parseNamePath("a table name");
    // IN '' names the current database; any other is not this one.
    if (acceptWord("IN")) {
      const Token& db = peek();
      if (db.kind != TokenKind::String || !db.text.empty())
        fail("tables of other databases (IN '...') are not translated");
      next();
    }
  }
  if (acceptWord("FROM")) {
    do {
      c.from.push_back(parseTableExpression());
    } while (acceptSymbol(","));
  }
  if (acceptWord("WHERE")) c.where = parseExpression();
  if (acceptWord("GROUP")) {
    expectWord("BY");
    do {
      c.groupBy.push_back(parseExpression());
    } while (acceptSymbol(","));
  }
  if (acceptWord("HAVING")) c.having = parseExpression();
  return c;
}

std::vector<OrderItem> Parser::parseOrderBy() {
  expectWord("ORDER");
  expectWord("BY");
  std::vector<OrderItem> items;
  do {
    OrderItem o;
    o.expr = parseExpression();
    if (acceptWord("DESC")) {
      o.descending = true;
    } else {
      acceptWord("ASC");
    }
    items.push_back(std::move(o));
  } while (acceptSymbol(","));
  return items;
}

std::optional<Name> Parser::parseOptionalAlias() {
  if (acceptWord("AS")) return parseName("a table alias");
  const Token& t = peek();
  if (t.kind == TokenKind::Name || (t.kind == TokenKind::Word && !isReservedWord(t.text))) return parseName("alias");
  return std::nullopt;
}

TableRefPtr Parser::parseTableExpression() {
  DepthGuard guard(*this);
  TableRefPtr left = parseTablePrimary();
  int joins = 0;
  for (;;) {
    JoinKind kind;
    if (isWord("INNER") && isWord("JOIN", 1)) {
      kind = JoinKind::Inner;
      next();
    } else if (isWord("LEFT") || isWord("RIGHT")) {
      kind = isWord("LEFT") ? JoinKind::Left : JoinKind::Right;
      next();
      acceptWord("OUTER");
    } else if (isWord("CROSS") && isWord("JOIN", 1)) {
      kind = JoinKind::Cross;
      next();
    } else if (isWord("JOIN")) {
      kind = JoinKind::Inner;
    } else if (isWord("FULL")) {
      fail("FULL joins are not Jet SQL");
    } else {
      break;
    }
    expectWord("JOIN");
    if (++joins > 256) fail("more than 256 joins in one table expression");
    auto join = std::make_unique<TableRef>(TableRef::Kind::Join);
    join->join = kind;
    join->left = std::move(left);
    join->right = parseTablePrimary();
    if (kind != JoinKind::Cross) {
      if (acceptWord("ON")) join->on = parseExpression();
    }
    join->height = std::max({join->left->height, join->right->height, join->on ? join->on->height : 0}) + 1;
    noteHeight(join->height);
    left = std::move(join);
  }
  return left;
}

TableRefPtr Parser::parseTablePrimary() {
  if (acceptSymbol("(")) {
    if (isWord("SELECT")) {
      auto ref = std::make_unique<TableRef>(TableRef::Kind::Subquery);
      int h = 0;
      ref->select = parseNestedSelect(h);
      ref->height = h + 1;
      noteHeight(ref->height);
      expectSymbol(")");
      ref->alias = parseOptionalAlias();
      return ref;
    }
    TableRefPtr inner = parseTableExpression();
    expectSymbol(")");
    if (inner->kind != TableRef::Kind::Join && !inner->alias) inner->alias = parseOptionalAlias();
    return inner;
  }
  auto ref = std::make_unique<TableRef>(TableRef::Kind::Table);
  ref->table = parseNamePath("a table name");
  if (isWord("IN")) fail("tables of other databases (IN '...') are not translated");
  ref->alias = parseOptionalAlias();
  return ref;
}

std::unique_ptr<InsertStatement> Parser::parseInsert() {
  expectWord("INSERT");
  expectWord("INTO");
  auto ins = std::make_unique<InsertStatement>();
  ins->table = parseNamePath("a table name");
  if (isWord("IN")) fail("tables of other databases (IN '...') are not translated");
  if (isSymbol("(") && !isWord("SELECT", 1)) {
    next();
    do {
      ins->columns.push_back(parseName("a column name"));
    } while (acceptSymbol(","));
    expectSymbol(")");
  }
  if (acceptWord("VALUES")) {
    do {
      expectSymbol("(");
      std::vector<ExprPtr> row;
      do {
        row.push_back(parseExpression());
      } while (acceptSymbol(","));
      expectSymbol(")");
      ins->rows.push_back(std::move(row));
    } while (acceptSymbol(","));
  } else if (isWord("SELECT") || isSymbol("(")) {
    ins->select = parseSelect();
  } else {
    fail("expected VALUES or SELECT");
  }
  return ins;
}

std::unique_ptr<UpdateStatement> Parser::parseUpdate() {
  expectWord("UPDATE");
  auto up = std::make_unique<UpdateStatement>();
  up->target = parseTableExpression();
  expectWord("SET");
  do {
    Assignment a;
    a.target = parseNamePath("a column name");
    expectSymbol("=");
    a.value = parseExpression();
    up->assignments.push_back(std::move(a));
  } while (acceptSymbol(","));
  if (acceptWord("WHERE")) up->where = parseExpression();
  return up;
}

std::unique_ptr<CrosstabStatement> Parser::parseCrosstab() {
  expectWord("TRANSFORM");
  auto x = std::make_unique<CrosstabStatement>();
  x->value = parseExpression();
  // Access writes an alias for the value column at times; the pivot values name the columns.
  if (acceptWord("AS")) parseName("an alias");
  if (!isWord("SELECT")) fail("expected SELECT after TRANSFORM");
  x->select = parseSelect();
  if (x->select->members.size() != 1) fail("a crosstab selects from one SELECT, not a UNION");
  const SelectCore& c = x->select->members[0];
  if (c.groupBy.empty()) fail("a crosstab needs GROUP BY");
  if (!c.into.empty() || c.distinct || !c.top.empty()) fail("a crosstab's SELECT takes no INTO, DISTINCT or TOP");
  expectWord("PIVOT");
  {
    // Below comparisons: "PIVOT x IN (...)" is the list of columns, not a test.
    DepthGuard guard(*this);
    x->pivot = parseConcat();
  }
  if (acceptWord("IN")) {
    expectSymbol("(");
    do {
      x->in.push_back(parseExpression());
      if (x->in.size() > 1000) fail("too many pivot values");
    } while (acceptSymbol(","));
    expectSymbol(")");
  }
  return x;
}

std::unique_ptr<DeleteStatement> Parser::parseDelete() {
  expectWord("DELETE");
  auto del = std::make_unique<DeleteStatement>();
  // Jet names what to delete before FROM: *, or t.*; the rows always come
  // from the one table after FROM.
  if (!isWord("FROM")) {
    if (!acceptSymbol("*")) {
      parseName("a table name");
      while (acceptSymbol(".")) {
        if (acceptSymbol("*")) break;
        parseName("a table name");
      }
    }
  }
  expectWord("FROM");
  del->table = parseNamePath("a table name");
  del->alias = parseOptionalAlias();
  if (isWord("INNER") || isWord("LEFT") || isWord("RIGHT") || isWord("JOIN") || isSymbol(","))
    fail("DELETE over joined tables is not translated");
  if (acceptWord("WHERE")) del->where = parseExpression();
  return del;
}

// ---- expressions ----

ExprPtr Parser::node(ExprKind kind, std::vector<ExprPtr> children) {
  auto e = std::make_unique<Expr>(kind);
  int h = 0;
  for (auto& c : children) h = std::max(h, c->height);
  e->height = h + 1;
  noteHeight(e->height);
  e->args = std::move(children);
  return e;
}

void Parser::noteHeight(int height) {
  if (height > kMaxTreeHeight) fail("statement deeper than " + std::to_string(kMaxTreeHeight) + " levels");
  heightSeen_ = std::max(heightSeen_, height);
}

std::unique_ptr<Select> Parser::parseNestedSelect(int& height) {
  int saved = heightSeen_;
  heightSeen_ = 0;
  std::unique_ptr<Select> s = parseSelect();
  height = heightSeen_ + 1;
  heightSeen_ = saved;
  return s;
}

ExprPtr Parser::binary(BinaryOp op, ExprPtr l, ExprPtr r) {
  std::vector<ExprPtr> children;
  children.push_back(std::move(l));
  children.push_back(std::move(r));
  auto e = node(ExprKind::Binary, std::move(children));
  e->binaryOp = op;
  return e;
}

ExprPtr Parser::parseExpression() {
  DepthGuard guard(*this);
  return parseXor();
}

ExprPtr Parser::parseXor() {
  ExprPtr l = parseOr();
  while (acceptWord("XOR")) l = binary(BinaryOp::Xor, std::move(l), parseOr());
  return l;
}

ExprPtr Parser::parseOr() {
  ExprPtr l = parseAnd();
  while (acceptWord("OR")) l = binary(BinaryOp::Or, std::move(l), parseAnd());
  return l;
}

ExprPtr Parser::parseAnd() {
  ExprPtr l = parseNot();
  while (acceptWord("AND")) l = binary(BinaryOp::And, std::move(l), parseNot());
  return l;
}

ExprPtr Parser::parseNot() {
  if (acceptWord("NOT")) {
    DepthGuard guard(*this);
    std::vector<ExprPtr> c;
    c.push_back(parseNot());
    return node(ExprKind::Not, std::move(c));
  }
  return parseComparison();
}

ExprPtr Parser::parseComparison() {
  ExprPtr l = parseConcat();
  for (;;) {
    const Token& t = peek();
    if (t.kind == TokenKind::Symbol) {
      CompareOp op;
      if (t.text == "=")
        op = CompareOp::Equal;
      else if (t.text == "<>" || t.text == "!=")
        op = CompareOp::NotEqual;
      else if (t.text == "<")
        op = CompareOp::Less;
      else if (t.text == ">")
        op = CompareOp::Greater;
      else if (t.text == "<=")
        op = CompareOp::LessEqual;
      else if (t.text == ">=")
        op = CompareOp::GreaterEqual;
      else
        break;
      next();
      std::vector<ExprPtr> c;
      c.push_back(std::move(l));
      c.push_back(parseConcat());
      l = node(ExprKind::Compare, std::move(c));
      l->compareOp = op;
      continue;
    }
    bool negated = false;
    if (isWord("NOT") && (isWord("LIKE", 1) || isWord("BETWEEN", 1) || isWord("IN", 1))) {
      next();
      negated = true;
    }
    if (acceptWord("LIKE")) {
      std::vector<ExprPtr> c;
      c.push_back(std::move(l));
      c.push_back(parseConcat());
      l = node(ExprKind::Like, std::move(c));
      l->negated = negated;
    } else if (acceptWord("BETWEEN")) {
      std::vector<ExprPtr> c;
      c.push_back(std::move(l));
      c.push_back(parseConcat());
      expectWord("AND");
      c.push_back(parseConcat());
      l = node(ExprKind::Between, std::move(c));
      l->negated = negated;
    } else if (acceptWord("IN")) {
      expectSymbol("(");
      if (isWord("SELECT")) {
        std::vector<ExprPtr> c;
        c.push_back(std::move(l));
        l = node(ExprKind::InSelect, std::move(c));
        int h = 0;
        l->select = parseNestedSelect(h);
        l->height = std::max(l->height, h + 1);
        noteHeight(l->height);
      } else {
        std::vector<ExprPtr> c;
        c.push_back(std::move(l));
        do {
          c.push_back(parseExpression());
        } while (acceptSymbol(","));
        l = node(ExprKind::InList, std::move(c));
      }
      expectSymbol(")");
      l->negated = negated;
    } else if (acceptWord("IS")) {
      bool notNull = acceptWord("NOT");
      expectWord("NULL");
      std::vector<ExprPtr> c;
      c.push_back(std::move(l));
      l = node(ExprKind::IsNull, std::move(c));
      l->negated = notNull;
    } else {
      break;
    }
  }
  return l;
}

ExprPtr Parser::parseConcat() {
  ExprPtr l = parseAdditive();
  while (acceptSymbol("&")) l = binary(BinaryOp::Concat, std::move(l), parseAdditive());
  return l;
}

ExprPtr Parser::parseAdditive() {
  ExprPtr l = parseModulo();
  for (;;) {
    if (acceptSymbol("+")) {
      l = binary(BinaryOp::Add, std::move(l), parseModulo());
    } else if (acceptSymbol("-")) {
      l = binary(BinaryOp::Subtract, std::move(l), parseModulo());
    } else {
      return l;
    }
  }
}

ExprPtr Parser::parseModulo() {
  ExprPtr l = parseIntDivide();
  while (acceptWord("MOD")) l = binary(BinaryOp::Modulo, std::move(l), parseIntDivide());
  return l;
}

ExprPtr Parser::parseIntDivide() {
  ExprPtr l = parseMultiplicative();
  while (acceptSymbol("\\")) l = binary(BinaryOp::IntDivide, std::move(l), parseMultiplicative());
  return l;
}

ExprPtr Parser::parseMultiplicative() {
  ExprPtr l = parseUnary();
  for (;;) {
    if (acceptSymbol("*")) {
      l = binary(BinaryOp::Multiply, std::move(l), parseUnary());
    } else if (acceptSymbol("/")) {
      l = binary(BinaryOp::Divide, std::move(l), parseUnary());
    } else if (sqlServer_ && acceptSymbol("%")) {  // SQL Server's modulo
      l = binary(BinaryOp::Modulo, std::move(l), parseUnary());
    } else {
      return l;
    }
  }
}

ExprPtr Parser::parseUnary() {
  if (isSymbol("-") || isSymbol("+")) {
    bool minus = next().text == "-";
    DepthGuard guard(*this);
    ExprPtr operand = parseUnary();
    if (!minus) return operand;
    std::vector<ExprPtr> c;
    c.push_back(std::move(operand));
    return node(ExprKind::Negate, std::move(c));
  }
  if (isWord("NOT")) {
    // VBA allows Not as an operand: a = Not b.
    next();
    DepthGuard guard(*this);
    std::vector<ExprPtr> c;
    c.push_back(parseUnary());
    return node(ExprKind::Not, std::move(c));
  }
  return parsePower();
}

ExprPtr Parser::parsePower() {
  ExprPtr base = parsePrimary();
  while (acceptSymbol("^")) {
    ExprPtr exponent;
    if (isSymbol("-") || isSymbol("+")) {
      bool minus = next().text == "-";
      DepthGuard guard(*this);
      exponent = parsePower();
      if (minus) {
        std::vector<ExprPtr> c;
        c.push_back(std::move(exponent));
        exponent = node(ExprKind::Negate, std::move(c));
      }
    } else {
      exponent = parsePrimary();
    }
    base = binary(BinaryOp::Power, std::move(base), std::move(exponent));
  }
  return base;
}

ExprPtr Parser::parsePrimary() {
  switch (peek().kind) {
    case TokenKind::Number: return parseLiteral(ExprKind::Number);
    case TokenKind::String: return parseLiteral(ExprKind::String);
    case TokenKind::Date: return parseLiteral(ExprKind::Date);
    case TokenKind::Param: return parseMarker();
    case TokenKind::Symbol: return parseParenthesised();
    case TokenKind::Word:
      if (ExprPtr e = parseWordPrimary()) return e;
      break;
    case TokenKind::Name: break;
    case TokenKind::End: fail("expected an expression");
  }
  return parseColumnReference();
}

ExprPtr Parser::parseLiteral(ExprKind kind) {
  auto e = std::make_unique<Expr>(kind);
  e->text = next().text;
  return e;
}

ExprPtr Parser::parseMarker() {
  // Declared parameters bind in declared order; a "?" among them has no place.
  if (declared_) fail("'?' in a text that declares PARAMETERS");
  next();
  auto e = std::make_unique<Expr>(ExprKind::Param);
  e->paramIndex = ++params_;
  return e;
}

// ( expression ) or ( SELECT ... ).
ExprPtr Parser::parseParenthesised() {
  if (peek().text != "(") fail("expected an expression");
  next();
  if (isWord("SELECT")) return parseSubqueryExpr(ExprKind::Subquery);
  ExprPtr inner = parseExpression();
  if (isSymbol(",")) fail("row values are not Jet SQL");
  expectSymbol(")");
  return inner;
}

// A subquery after its "(", up to its ")", as an expression of `kind`.
ExprPtr Parser::parseSubqueryExpr(ExprKind kind) {
  int h = 0;
  auto select = parseNestedSelect(h);
  auto e = node(kind, {});
  e->select = std::move(select);
  e->height = h + 1;
  noteHeight(e->height);
  expectSymbol(")");
  return e;
}

// What a word starts: a keyword's value, EXISTS, a call; null when the word
// is a name.
ExprPtr Parser::parseWordPrimary() {
  const Token& t = peek();
  if (equalsWordNoCase(t.text, "NULL")) {
    next();
    return std::make_unique<Expr>(ExprKind::Null);
  }
  if (equalsWordNoCase(t.text, "TRUE") || equalsWordNoCase(t.text, "FALSE")) {
    auto e = std::make_unique<Expr>(ExprKind::Bool);
    e->boolValue = equalsWordNoCase(next().text, "TRUE");
    return e;
  }
  if (equalsWordNoCase(t.text, "EXISTS")) {
    next();
    expectSymbol("(");
    if (!isWord("SELECT")) fail("EXISTS needs a subquery");
    return parseSubqueryExpr(ExprKind::Exists);
  }
  if (sqlServer_ && equalsWordNoCase(t.text, "CASE")) return parseCase();
  if (sqlServer_ && (equalsWordNoCase(t.text, "CAST") || equalsWordNoCase(t.text, "CONVERT")) && isSymbol("(", 1))
    return parseCast();
  if (sqlServer_ && t.text.rfind("@@", 0) == 0) {
    // @@IDENTITY and the other session values: a call without arguments.
    auto e = std::make_unique<Expr>(ExprKind::Call);
    e->text = next().text;
    return e;
  }
  // Function names may be keywords (Left, Right); a call is a word and "(".
  if (isSymbol("(", 1)) {
    std::string name = next().text;
    return parseCall(std::move(name));
  }
  if (isReservedWord(t.text)) fail("expected an expression");
  return nullptr;
}

// A declared parameter by its name, [qualifier.]column, or qualifier.*.
ExprPtr Parser::parseColumnReference() {
  const Token& t = peek();
  // A declared parameter's name stands for its marker.
  if (declared_ && !(isSymbol(".", 1) || isSymbol("!", 1))) {
    for (size_t i = 0; i < declared_->size(); ++i) {
      if (!equalsWordNoCase((*declared_)[i].name.text, t.text)) continue;
      next();
      auto e = std::make_unique<Expr>(ExprKind::Param);
      e->paramIndex = static_cast<int>(i) + 1;
      return e;
    }
  }
  auto e = std::make_unique<Expr>(ExprKind::Column);
  e->path.push_back(parseName("a column name"));
  while (isSymbol(".") || isSymbol("!")) {
    next();
    if (acceptSymbol("*")) {
      e->kind = ExprKind::Star;
      return e;
    }
    e->path.push_back(parseName("a column name"));
    if (e->path.size() > 4) fail("name with too many parts");
  }
  return e;
}

// CASE [x] WHEN a THEN b ... [ELSE c] END (SQL Server).
ExprPtr Parser::parseCase() {
  DepthGuard guard(*this);
  expectWord("CASE");
  std::vector<ExprPtr> args;
  bool hasOperand = false;
  if (!isWord("WHEN")) {
    args.push_back(parseExpression());
    hasOperand = true;
  }
  int pairs = 0;
  while (acceptWord("WHEN")) {
    args.push_back(parseExpression());
    expectWord("THEN");
    args.push_back(parseExpression());
    if (++pairs > 1000) fail("more than 1000 WHEN branches");
  }
  if (pairs == 0) fail("CASE needs WHEN ... THEN");
  bool hasElse = false;
  if (acceptWord("ELSE")) {
    args.push_back(parseExpression());
    hasElse = true;
  }
  expectWord("END");
  ExprPtr e = node(ExprKind::Case, std::move(args));
  e->negated = hasOperand;
  e->distinct = hasElse;
  return e;
}

// CAST(x AS type) and CONVERT(type, x[, style]) (SQL Server): a call whose
// arguments are the value and the style, with the type written aside.
ExprPtr Parser::parseCast() {
  DepthGuard guard(*this);
  const std::string name = next().text;
  const bool isCast = equalsWordNoCase(name, "CAST");
  expectSymbol("(");
  auto typeName = [&]() {
    const Token& t = peek();
    if (t.kind != TokenKind::Word && t.kind != TokenKind::Name) fail("expected a type name");
    std::string type;
    for (char c : next().text) type.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
    if (acceptSymbol("(")) {
      type += "(";
      for (int k = 0; k < 2; ++k) {
        const Token& a = peek();
        if (a.kind == TokenKind::Number && a.text.find_first_not_of("0123456789") == std::string::npos &&
            a.text.size() < 10)
          type += next().text;
        else if (a.kind == TokenKind::Word && equalsWordNoCase(a.text, "MAX"))
          type += (next(), "MAX");
        else
          fail("expected a size in a type");
        if (k == 0 && acceptSymbol(",")) {
          type += ",";
          continue;
        }
        break;
      }
      expectSymbol(")");
      type += ")";
    }
    return type;
  };
  std::vector<ExprPtr> args;
  std::string type;
  if (isCast) {
    args.push_back(parseExpression());
    expectWord("AS");
    type = typeName();
  } else {
    type = typeName();
    expectSymbol(",");
    args.push_back(parseExpression());
    if (acceptSymbol(",")) args.push_back(parseExpression());
  }
  expectSymbol(")");
  ExprPtr e = node(ExprKind::Call, std::move(args));
  e->text = name;
  e->castType = std::move(type);
  return e;
}

ExprPtr Parser::parseCall(std::string name) {
  expectSymbol("(");
  std::vector<ExprPtr> args;
  bool distinct = false, star = false;
  if (acceptSymbol("*")) {
    star = true;
  } else if (!isSymbol(")")) {
    if (acceptWord("DISTINCT"))
      distinct = true;
    else
      acceptWord("ALL");
    do {
      args.push_back(parseExpression());
      if (args.size() > 1000) fail("too many arguments");
    } while (acceptSymbol(","));
  }
  expectSymbol(")");
  auto e = node(ExprKind::Call, std::move(args));
  e->text = std::move(name);
  e->distinct = distinct;
  e->starArgument = star;
  return e;
}

}  // namespace rvz::data::jet
