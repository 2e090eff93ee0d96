// Record filter: tokenizer, recursive-descent parser, binding to columns and
// row tests on stored values.
#include "platform/data/filter.h"

#include <cmath>
#include <cstdlib>

#include "platform/data/data_error.h"
#include "platform/data/values.h"
#include "platform/text/text.h"
#include "platform/variant/variant.h"

namespace rvz::data {

namespace {

constexpr int kMaxDepth = 100;

enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like, NotLike, IsNull, NotNull };
enum class LitType { Text, Number, Date, Null, Bool };
enum class Mode { Text, Number, Bool, Date, Dynamic };

struct Literal {
  LitType type = LitType::Null;
  std::string text;   // Text: the value; Number: as written
  double number = 0;  // Number, Date, Bool (-1/0)
};

std::string shortened(std::string_view s) {
  if (s.size() <= 80) return std::string(s);
  size_t cut = 80;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return std::string(s.substr(0, cut)) + "...";
}

bool isAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

text::WString upperWide(std::string_view utf8) { return text::upperCase(text::utf8ToWide(utf8)); }

// Case-insensitive ordering of a stored UTF-8 text against an upper-cased wide text.
int compareText(std::string_view cell, const text::WString& upperLit) {
  if (isAscii(cell)) {
    size_t n = std::min(cell.size(), upperLit.size());
    for (size_t k = 0; k < n; ++k) {
      char16_t a = text::upperChar(static_cast<unsigned char>(cell[k]));
      if (a != upperLit[k]) return a < upperLit[k] ? -1 : 1;
    }
    if (cell.size() == upperLit.size()) return 0;
    return cell.size() < upperLit.size() ? -1 : 1;
  }
  text::WString w = upperWide(cell);
  int r = w.compare(upperLit);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

struct Pattern {
  std::vector<text::WString> pieces;  // upper-cased literal runs between wildcards, none empty
  bool hasWild = false;               // without one the pattern is the whole text
  bool wildStart = false, wildEnd = false;
  text::WString whole;  // the text when there is no wildcard
};

Pattern makePattern(std::string_view utf8) {
  Pattern p;
  text::WString w = upperWide(utf8);
  text::WString cur;
  for (size_t k = 0; k < w.size(); ++k) {
    char16_t c = w[k];
    if (c == u'*' || c == u'%') {
      p.hasWild = true;
      if (k == 0) p.wildStart = true;
      if (k + 1 == w.size()) p.wildEnd = true;
      if (!cur.empty()) p.pieces.push_back(std::move(cur));
      cur.clear();
      continue;
    }
    cur.push_back(c);
  }
  if (!cur.empty()) p.pieces.push_back(std::move(cur));
  if (!p.hasWild) p.whole = std::move(w);
  return p;
}

bool matchPattern(const text::WString& s, const Pattern& p) {
  if (!p.hasWild) return s == p.whole;
  size_t pos = 0, idx = 0, end = p.pieces.size(), limit = s.size();
  if (!p.wildStart) {
    const auto& head = p.pieces[0];
    if (s.size() < head.size() || s.compare(0, head.size(), head) != 0) return false;
    pos = head.size();
    idx = 1;
  }
  if (!p.wildEnd && idx < end) {
    const auto& tail = p.pieces[end - 1];
    if (s.size() < pos + tail.size() || s.compare(s.size() - tail.size(), tail.size(), tail) != 0) return false;
    limit = s.size() - tail.size();
    --end;
  }
  for (; idx < end; ++idx) {
    size_t at = s.find(p.pieces[idx], pos);
    if (at == text::WString::npos || at + p.pieces[idx].size() > limit) return false;
    pos = at + p.pieces[idx].size();
  }
  return true;
}

std::string cellText(const Cell& c) {
  switch (c.cls) {
    case StorageClass::Integer: return std::to_string(c.i);
    case StorageClass::Real: return formatDouble(c.r);
    case StorageClass::Text:
    case StorageClass::Blob: return std::string(c.bytes);
    case StorageClass::Null: break;
  }
  return {};
}

bool cellNumber(const Cell& c, double& out) {
  switch (c.cls) {
    case StorageClass::Integer: out = static_cast<double>(c.i); return true;
    case StorageClass::Real: out = c.r; return true;
    case StorageClass::Text: return parseNumberText(c.bytes, out);
    default: return false;
  }
}

bool cellDate(const Cell& c, double& out) {
  switch (c.cls) {
    case StorageClass::Integer: out = static_cast<double>(c.i); return true;
    case StorageClass::Real: out = c.r; return true;
    case StorageClass::Text: {
      auto d = parseStoredDate(c.bytes);
      if (!d) return false;
      out = *d;
      return true;
    }
    default: return false;
  }
}

bool holds(Op op, int cmp) {
  switch (op) {
    case Op::Eq: return cmp == 0;
    case Op::Ne: return cmp != 0;
    case Op::Lt: return cmp < 0;
    case Op::Gt: return cmp > 0;
    case Op::Le: return cmp <= 0;
    case Op::Ge: return cmp >= 0;
    default: return false;
  }
}

int compareNumbers(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

const char* opText(Op op) {
  switch (op) {
    case Op::Eq: return "=";
    case Op::Ne: return "<>";
    case Op::Lt: return "<";
    case Op::Gt: return ">";
    case Op::Le: return "<=";
    case Op::Ge: return ">=";
    case Op::Like: return "LIKE";
    case Op::NotLike: return "NOT LIKE";
    case Op::IsNull: return "IS NULL";
    case Op::NotNull: return "IS NOT NULL";
  }
  return "?";
}

}  // namespace

struct Filter::Node {
  enum class Type { Or, And, Compare } type = Type::Compare;
  std::vector<std::unique_ptr<Node>> kids;
  // A comparison.
  std::string field;
  Op op = Op::Eq;
  Literal lit;
  // Set by bind().
  size_t column = 0;
  Mode mode = Mode::Text;
  double number = 0;
  text::WString upperText;
  Pattern pattern;
};

namespace {

using Node = Filter::Node;

enum class Tok { End, Name, String, Date, Number, LParen, RParen, Op };

struct Token {
  Tok type = Tok::End;
  std::string text;
  size_t pos = 0;
};

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) { advance(); }

  std::unique_ptr<Node> parseAll() {
    auto node = parseOr(0);
    if (tok_.type != Tok::End) fail(tok_.pos, "expected AND, OR or the end of the filter, found " + describe(tok_));
    return node;
  }

 private:
  [[noreturn]] void fail(size_t pos, const std::string& what) {
    throw DataError::component(
        kErrArgument, "Invalid filter \"" + shortened(s_) + "\": " + what + " at character " + std::to_string(pos + 1));
  }

  static std::string describe(const Token& t) {
    switch (t.type) {
      case Tok::End: return "the end of the filter";
      case Tok::String: return "'" + shortened(t.text) + "'";
      case Tok::Date: return "#" + shortened(t.text) + "#";
      default: return "'" + shortened(t.text) + "'";
    }
  }

  bool isWord(const Token& t, std::string_view w) const {
    return t.type == Tok::Name && !bracketed_ && text::equalsNoCaseAscii(t.text, w);
  }

  void advance() {
    size_t i = pos_;
    while (i < s_.size() && (s_[i] == ' ' || s_[i] == '\t' || s_[i] == '\r' || s_[i] == '\n')) ++i;
    tok_ = Token{};
    tok_.pos = i;
    bracketed_ = false;
    if (i >= s_.size()) {
      pos_ = i;
      return;
    }
    char c = s_[i];
    if (c == '(' || c == ')') {
      tok_.type = c == '(' ? Tok::LParen : Tok::RParen;
      tok_.text = std::string(1, c);
      pos_ = i + 1;
      return;
    }
    if (c == '\'' || c == '"') {
      size_t j = i + 1;
      std::string v;
      for (;;) {
        if (j >= s_.size()) fail(i, "text value without its closing quote");
        if (s_[j] == c) {
          if (j + 1 < s_.size() && s_[j + 1] == c) {
            v.push_back(c);
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        v.push_back(s_[j++]);
      }
      tok_.type = Tok::String;
      tok_.text = std::move(v);
      pos_ = j;
      return;
    }
    if (c == '#') {
      size_t j = s_.find('#', i + 1);
      if (j == std::string_view::npos) fail(i, "date value without its closing '#'");
      tok_.type = Tok::Date;
      tok_.text = std::string(s_.substr(i + 1, j - i - 1));
      pos_ = j + 1;
      return;
    }
    if (c == '[') {
      size_t j = s_.find(']', i + 1);
      if (j == std::string_view::npos) fail(i, "field name without its closing ']'");
      tok_.type = Tok::Name;
      tok_.text = std::string(s_.substr(i + 1, j - i - 1));
      bracketed_ = true;
      pos_ = j + 1;
      return;
    }
    if (c == '=' || c == '<' || c == '>' || c == '!') {
      size_t j = i + 1;
      if (j < s_.size() && (s_[j] == '=' || (c == '<' && s_[j] == '>'))) ++j;
      tok_.type = Tok::Op;
      tok_.text = std::string(s_.substr(i, j - i));
      if (tok_.text == "!") fail(i, "expected '=' after '!'");
      pos_ = j;
      return;
    }
    if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+') {
      size_t j = i;
      if (s_[j] == '-' || s_[j] == '+') ++j;
      size_t digitsStart = j;
      while (j < s_.size() && ((s_[j] >= '0' && s_[j] <= '9') || s_[j] == '.')) ++j;
      if (j == digitsStart) fail(i, "expected a number after '" + std::string(1, c) + "'");
      if (j < s_.size() && (s_[j] == 'e' || s_[j] == 'E')) {
        size_t k = j + 1;
        if (k < s_.size() && (s_[k] == '-' || s_[k] == '+')) ++k;
        size_t expStart = k;
        while (k < s_.size() && s_[k] >= '0' && s_[k] <= '9') ++k;
        if (k > expStart) j = k;
      }
      tok_.type = Tok::Number;
      tok_.text = std::string(s_.substr(i, j - i));
      double d = 0;
      if (!parseNumberText(tok_.text, d)) fail(i, "'" + shortened(tok_.text) + "' is not a number");
      pos_ = j;
      return;
    }
    auto nameChar = [](char ch) {
      return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_' ||
             ch == '.' || ch == '$' || static_cast<unsigned char>(ch) >= 0x80;
    };
    if (nameChar(c)) {
      size_t j = i;
      while (j < s_.size() && nameChar(s_[j])) ++j;
      tok_.type = Tok::Name;
      tok_.text = std::string(s_.substr(i, j - i));
      pos_ = j;
      return;
    }
    fail(i, std::string("unexpected character '") + c + "'");
  }

  std::unique_ptr<Node> parseOr(int depth) {
    auto left = parseAnd(depth);
    if (!isWord(tok_, "OR")) return left;
    auto node = std::make_unique<Node>();
    node->type = Node::Type::Or;
    node->kids.push_back(std::move(left));
    while (isWord(tok_, "OR")) {
      advance();
      node->kids.push_back(parseAnd(depth));
    }
    return node;
  }

  std::unique_ptr<Node> parseAnd(int depth) {
    auto left = parseFactor(depth);
    if (!isWord(tok_, "AND")) return left;
    auto node = std::make_unique<Node>();
    node->type = Node::Type::And;
    node->kids.push_back(std::move(left));
    while (isWord(tok_, "AND")) {
      advance();
      node->kids.push_back(parseFactor(depth));
    }
    return node;
  }

  std::unique_ptr<Node> parseFactor(int depth) {
    if (tok_.type == Tok::LParen) {
      if (depth >= kMaxDepth) fail(tok_.pos, "parentheses nested deeper than " + std::to_string(kMaxDepth));
      advance();
      auto inner = parseOr(depth + 1);
      if (tok_.type != Tok::RParen) fail(tok_.pos, "expected ')', found " + describe(tok_));
      advance();
      return inner;
    }
    if (tok_.type != Tok::Name || (!bracketed_ && (isWord(tok_, "AND") || isWord(tok_, "OR"))))
      fail(tok_.pos, "expected a field name, found " + describe(tok_));
    auto node = std::make_unique<Node>();
    node->field = tok_.text;
    advance();
    const size_t opPos = tok_.pos;
    if (isWord(tok_, "IS")) {
      advance();
      bool negated = false;
      if (isWord(tok_, "NOT")) {
        negated = true;
        advance();
      }
      if (!isWord(tok_, "NULL")) fail(tok_.pos, "expected NULL after IS, found " + describe(tok_));
      advance();
      node->op = negated ? Op::NotNull : Op::IsNull;
      return node;
    }
    if (isWord(tok_, "NOT")) {
      advance();
      if (!isWord(tok_, "LIKE")) fail(tok_.pos, "expected LIKE after NOT, found " + describe(tok_));
      node->op = Op::NotLike;
    } else if (isWord(tok_, "LIKE")) {
      node->op = Op::Like;
    } else if (tok_.type == Tok::Op) {
      const std::string& o = tok_.text;
      if (o == "=")
        node->op = Op::Eq;
      else if (o == "<>" || o == "!=")
        node->op = Op::Ne;
      else if (o == "<")
        node->op = Op::Lt;
      else if (o == ">")
        node->op = Op::Gt;
      else if (o == "<=")
        node->op = Op::Le;
      else if (o == ">=")
        node->op = Op::Ge;
      else
        fail(opPos, "unknown operator '" + o + "'");
    } else {
      fail(opPos, "expected an operator after '" + shortened(node->field) + "', found " + describe(tok_));
    }
    advance();
    node->lit = parseValue(node->op);
    if (node->lit.type == LitType::Null) {
      if (node->op == Op::Eq)
        node->op = Op::IsNull;
      else if (node->op == Op::Ne)
        node->op = Op::NotNull;
      else
        fail(opPos, std::string("Null can only be compared with = or <>, not ") + opText(node->op));
    }
    return node;
  }

  Literal parseValue(Op op) {
    Literal lit;
    switch (tok_.type) {
      case Tok::String:
        lit.type = LitType::Text;
        lit.text = tok_.text;
        break;
      case Tok::Number:
        lit.type = LitType::Number;
        lit.text = tok_.text;
        parseNumberText(tok_.text, lit.number);
        break;
      case Tok::Date: {
        auto d = parseDateLiteral(tok_.text);
        if (!d) fail(tok_.pos, "#" + shortened(tok_.text) + "# is not a valid date");
        lit.type = LitType::Date;
        lit.text = tok_.text;
        lit.number = *d;
        break;
      }
      case Tok::Name:
        if (isWord(tok_, "NULL")) {
          lit.type = LitType::Null;
          break;
        }
        if (isWord(tok_, "TRUE") || isWord(tok_, "FALSE")) {
          lit.type = LitType::Bool;
          lit.number = isWord(tok_, "TRUE") ? -1 : 0;
          lit.text = tok_.text;
          break;
        }
        [[fallthrough]];
      default: fail(tok_.pos, std::string("expected a value after ") + opText(op) + ", found " + describe(tok_));
    }
    advance();
    return lit;
  }

  std::string_view s_;
  size_t pos_ = 0;
  Token tok_;
  bool bracketed_ = false;
};

[[noreturn]] void bindFail(const std::string& filterText, const std::string& what) {
  throw DataError::component(kErrArgument, "Invalid filter \"" + shortened(filterText) + "\": " + what);
}

// The position of the column a comparison names, letter case ignored.
size_t columnNamed(const Node& n, const std::vector<ColumnInfo>& columns, const std::string& filterText) {
  const text::WString wanted = text::utf8ToWide(n.field);
  for (size_t c = 0; c < columns.size(); ++c)
    if (text::equalsNoCase(text::utf8ToWide(columns[c].name), wanted)) return c;
  bindFail(filterText, "there is no field '" + shortened(n.field) + "'");
}

[[noreturn]] void mismatch(const Node& n, const ColumnInfo& col, const std::string& filterText) {
  bindFail(filterText, "the value " + shortened(n.lit.text) + " cannot be compared with the " +
                           std::string(kindName(col.kind)) + " field '" + col.name + "'");
}

// The literal as text; a date in its stored form.
std::string literalText(const Literal& lit) {
  if (lit.type == LitType::Date) return formatStoredDate(lit.number);
  return lit.text;
}

// A column whose kind its values tell: the literal is kept both as text and
// as a number (NaN when it is none), and each row decides.
void bindDynamic(Node& n) {
  n.mode = Mode::Dynamic;
  n.upperText = upperWide(literalText(n.lit));
  n.number = n.lit.number;
  if (n.lit.type == LitType::Text && !parseNumberText(n.lit.text, n.number)) n.number = std::nan("");
}

void bindYesNo(Node& n, const ColumnInfo& col, const std::string& filterText) {
  n.mode = Mode::Bool;
  switch (n.lit.type) {
    case LitType::Bool: n.number = n.lit.number; break;
    case LitType::Number: n.number = n.lit.number != 0 ? -1 : 0; break;
    case LitType::Text: {
      double d = 0;
      if (text::equalsNoCaseAscii(n.lit.text, "true"))
        n.number = -1;
      else if (text::equalsNoCaseAscii(n.lit.text, "false"))
        n.number = 0;
      else if (parseNumberText(n.lit.text, d))
        n.number = d != 0 ? -1 : 0;
      else
        mismatch(n, col, filterText);
      break;
    }
    default: mismatch(n, col, filterText);
  }
}

void bindDate(Node& n, const ColumnInfo& col, const std::string& filterText) {
  n.mode = Mode::Date;
  switch (n.lit.type) {
    case LitType::Date:
    case LitType::Number: n.number = n.lit.number; break;
    case LitType::Text: {
      auto d = parseDateLiteral(n.lit.text);
      if (!d) mismatch(n, col, filterText);
      n.number = *d;
      break;
    }
    default: mismatch(n, col, filterText);
  }
}

void bindNumber(Node& n, const ColumnInfo& col, const std::string& filterText) {
  n.mode = Mode::Number;
  switch (n.lit.type) {
    case LitType::Number:
    case LitType::Bool:
    case LitType::Date: n.number = n.lit.number; break;
    case LitType::Text:
      if (!parseNumberText(n.lit.text, n.number)) mismatch(n, col, filterText);
      break;
    default: mismatch(n, col, filterText);
  }
}

// How a comparison tests its column, chosen by the column's kind.
void bindCompare(Node& n, const ColumnInfo& col, const std::string& filterText) {
  if (n.op == Op::IsNull || n.op == Op::NotNull) return;
  if (n.op == Op::Like || n.op == Op::NotLike) {
    if (isBinaryKind(col.kind) && !col.kindFromValues)
      bindFail(filterText, "LIKE cannot test the binary field '" + col.name + "'");
    n.mode = Mode::Text;
    n.pattern = makePattern(literalText(n.lit));
    return;
  }
  if (col.kindFromValues || col.kind == FieldKind::Unknown) return bindDynamic(n);
  if (isBinaryKind(col.kind)) bindFail(filterText, "the binary field '" + col.name + "' can only be tested for Null");
  if (isTextKind(col.kind)) {
    n.mode = Mode::Text;
    n.upperText = upperWide(literalText(n.lit));
    return;
  }
  if (col.kind == FieldKind::Boolean) return bindYesNo(n, col, filterText);
  if (isDateKind(col.kind)) return bindDate(n, col, filterText);
  bindNumber(n, col, filterText);  // numbers of every other kind
}

void bindNode(Node& n, const std::vector<ColumnInfo>& columns, const std::string& filterText) {
  if (n.type != Node::Type::Compare) {
    for (auto& k : n.kids) bindNode(*k, columns, filterText);
    return;
  }
  n.column = columnNamed(n, columns, filterText);
  bindCompare(n, columns[n.column], filterText);
}

bool test(const Node& n, std::span<const Cell> row) {
  switch (n.type) {
    case Node::Type::Or:
      for (const auto& k : n.kids)
        if (test(*k, row)) return true;
      return false;
    case Node::Type::And:
      for (const auto& k : n.kids)
        if (!test(*k, row)) return false;
      return true;
    case Node::Type::Compare: break;
  }
  const Cell& c = row[n.column];
  if (n.op == Op::IsNull) return c.cls == StorageClass::Null;
  if (n.op == Op::NotNull) return c.cls != StorageClass::Null;
  if (c.cls == StorageClass::Null) return false;
  if (n.op == Op::Like || n.op == Op::NotLike) {
    bool m = matchPattern(upperWide(cellText(c)), n.pattern);
    return n.op == Op::Like ? m : !m;
  }
  switch (n.mode) {
    case Mode::Text:
      if (c.cls == StorageClass::Text) return holds(n.op, compareText(c.bytes, n.upperText));
      return holds(n.op, compareText(cellText(c), n.upperText));
    case Mode::Number: {
      double v = 0;
      if (!cellNumber(c, v)) return false;
      return holds(n.op, compareNumbers(v, n.number));
    }
    case Mode::Bool: {
      double v = 0;
      if (!cellNumber(c, v)) return false;
      return holds(n.op, compareNumbers(v != 0 ? -1 : 0, n.number));
    }
    case Mode::Date: {
      double v = 0;
      if (!cellDate(c, v)) return false;
      return holds(n.op, compareNumbers(v, n.number));
    }
    case Mode::Dynamic: {
      // A computed column: the literal's kind decides. A number meets numbers
      // (and texts that read as numbers); a text meets texts, or numbers
      // when it reads as one itself.
      double v = 0;
      if (n.lit.type == LitType::Date) {
        if (!cellDate(c, v)) return false;
        return holds(n.op, compareNumbers(v, n.number));
      }
      if (n.lit.type != LitType::Text) {
        if (!cellNumber(c, v)) return false;
        return holds(n.op, compareNumbers(v, n.number));
      }
      if ((c.cls == StorageClass::Integer || c.cls == StorageClass::Real) && !std::isnan(n.number)) {
        cellNumber(c, v);
        return holds(n.op, compareNumbers(v, n.number));
      }
      return holds(n.op, compareText(cellText(c), n.upperText));
    }
  }
  return false;
}

}  // namespace

Filter::Filter() = default;
Filter::~Filter() = default;
Filter::Filter(Filter&&) noexcept = default;
Filter& Filter::operator=(Filter&&) noexcept = default;

Filter Filter::parse(std::string_view text) {
  Filter f;
  f.text_ = std::string(text);
  Parser p(f.text_);
  f.root_ = p.parseAll();
  return f;
}

void Filter::bind(const std::vector<ColumnInfo>& columns) {
  if (root_) bindNode(*root_, columns, text_);
}

bool Filter::matches(std::span<const Cell> row) const { return !root_ || test(*root_, row); }

}  // namespace rvz::data
