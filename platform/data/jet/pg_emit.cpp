// PostgreSQL SQL from the Jet and SQL Server syntax tree.
#include "platform/data/jet/pg_emit.h"

#include <algorithm>
#include <array>

#include "platform/data/jet/jet_format.h"
#include "platform/data/jet/pg_types.h"
#include "platform/text/text.h"

namespace rvz::data::jet {

namespace {

using namespace prec;

const std::string kNoCase = std::string(" COLLATE \"") + std::string(kPgWideCollation) + "\"";

Out alone(std::string sql, SqlType type) {
  Out o = atom("(" + std::move(sql) + ")", type);
  return o;
}

// The units of DateAdd, DateDiff and DatePart, as Jet ('yyyy', 'm' ...) and
// SQL Server (year, mm, dd ...) write them.
enum class Unit { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second, Millisecond };

std::optional<Unit> unitOf(const Expr& e) {
  std::string w;
  if (e.kind == ExprKind::String)
    w = text::lowerCaseAscii(e.text);
  else if (e.kind == ExprKind::Column && e.path.size() == 1)
    w = text::lowerCaseAscii(e.path[0].text);
  else
    return std::nullopt;
  static const std::pair<const char*, Unit> kUnits[] = {{"yyyy", Unit::Year},      {"yy", Unit::Year},
                                                        {"year", Unit::Year},      {"q", Unit::Quarter},
                                                        {"qq", Unit::Quarter},     {"quarter", Unit::Quarter},
                                                        {"m", Unit::Month},        {"mm", Unit::Month},
                                                        {"month", Unit::Month},    {"y", Unit::DayOfYear},
                                                        {"dy", Unit::DayOfYear},   {"dayofyear", Unit::DayOfYear},
                                                        {"d", Unit::Day},          {"dd", Unit::Day},
                                                        {"day", Unit::Day},        {"w", Unit::Weekday},
                                                        {"dw", Unit::Weekday},     {"weekday", Unit::Weekday},
                                                        {"ww", Unit::Week},        {"wk", Unit::Week},
                                                        {"week", Unit::Week},      {"h", Unit::Hour},
                                                        {"hh", Unit::Hour},        {"hour", Unit::Hour},
                                                        {"n", Unit::Minute},       {"mi", Unit::Minute},
                                                        {"minute", Unit::Minute},  {"s", Unit::Second},
                                                        {"ss", Unit::Second},      {"second", Unit::Second},
                                                        {"ms", Unit::Millisecond}, {"millisecond", Unit::Millisecond}};
  for (const auto& [name, unit] : kUnits)
    if (w == name) return unit;
  return std::nullopt;
}

std::string stamp(const Out& o) { return o.type == SqlType::Date ? o.sql : "CAST(" + o.sql + " AS timestamp)"; }

std::string field(const char* name, const Out& o) {
  return "CAST(EXTRACT(" + std::string(name) + " FROM " + stamp(o) + ") AS integer)";
}

// Jet's week of the year: week 1 holds January 1st, weeks start on Sunday.
std::string weekOfYear(const Out& o) {
  std::string d = stamp(o);
  return "((CAST(EXTRACT(DOY FROM " + d + ") AS integer) + CAST(EXTRACT(DOW FROM date_trunc('year', " + d +
         ")) AS integer) - 1) / 7 + 1)";
}

std::string regexEscape(char c) {
  static const std::string kSpecial = ".^$+(){}|\\*?[]";
  return kSpecial.find(c) != std::string::npos ? std::string("\\") + c : std::string(1, c);
}

class PgEmitter final : public Emitter {
 public:
  explicit PgEmitter(size_t limit) : Emitter(limit, Target::Postgres) {}

 protected:
  std::string tableName(const TableRef& t) override {
    std::string sql = storedTable(t.table, &t);
    // Every qualifier is written in lower case: the table's own name when it has no alias.
    std::string alias = t.alias ? t.alias->text : t.table.back().text;
    return sql + " AS " + quoteName(Name{text::lowerCaseAscii(alias), true});
  }

  std::string tableName(const std::vector<Name>& path, const std::optional<Name>& alias) override {
    std::string sql = storedTable(path, &path);
    return sql + " AS " + quoteName(Name{text::lowerCaseAscii(alias ? alias->text : path.back().text), true});
  }

  std::string columnName(const Expr& e) override {
    std::string sql;
    // A qualifier names a table by its lower-case alias; an owner ("dbo") is dropped.
    size_t first = e.path.size() >= 3 ? e.path.size() - 2 : 0;
    for (size_t i = first; i + 1 < e.path.size(); ++i)
      sql += quoteName(Name{text::lowerCaseAscii(e.path[i].text), true}) + ".";
    return sql + quoteName(Name{spelled(&e, e.path.back().text), true});
  }

  std::string starName(const Expr& e) override {
    return quoteName(Name{text::lowerCaseAscii(e.path.back().text), true}) + ".*";
  }

  std::string columnName(const Name& n) override { return quoteName(Name{spelled(&n, n.text), true}); }

  // PostgreSQL's typed columns refuse what they cannot hold themselves.
  std::string storeFunction(JetType) const override { return {}; }

  Out param(const Expr& e) override { return atom("$" + std::to_string(e.paramIndex), SqlType::Unknown); }

  Out dateLiteral(const std::string& stored) override { return atom("TIMESTAMP " + quoteText(stored), SqlType::Date); }

  Out asValue(Out o) override {
    if (!o.condition) return o;
    return alone("-CAST(" + o.sql + " AS integer)", SqlType::Boolean);
  }

  Out asCondition(Out o) override {
    if (o.condition) return o;
    // Jet's truth of a value: anything but 0 (Null stays unknown).
    return truth(operand(o, kRelational + 1) + " <> 0");
  }

  std::string withNoCase(const Out& o) override { return operand(o, kCollate) + kNoCase; }

  // One column brings its collation (narrow and wide text have their own,
  // equal in effect); two columns may disagree and no column has none, so
  // those comparisons name the collation. Only known text takes one.
  bool needsNoCase(const std::vector<const Out*>& operands) const override {
    int columns = 0;
    bool text = false;
    for (const Out* o : operands) {
      if (isNumeric(o->type) || o->type == SqlType::Date) return false;
      if (o->type == SqlType::Text) text = true;
      if (o->column) ++columns;
    }
    return text && columns != 1;
  }

  std::string sortTerm(const Out& o, bool grouping) override {
    // GROUP BY must repeat the select list's expression as it stands.
    if (grouping || o.type != SqlType::Text) return o.sql;
    return withNoCase(o);
  }

  std::string aliasSortTerm(const Name& written, const AliasInfo& a) override {
    (void)written;
    // PostgreSQL resolves a bare output name only.
    return quoteName(Name{a.name.text, true});
  }

  // Text joined from columns names its collation: narrow and wide columns
  // have different ones, and the joined text may then be compared or sorted.
  std::string joinable(const Out& o) { return o.column && o.type == SqlType::Text ? withNoCase(o) : o.sql; }

  Out concat(const std::vector<Out>& parts) override {
    // concat() reads Null as empty text, as Jet's & does.
    std::string sql = "concat(";
    for (size_t i = 0; i < parts.size(); ++i) sql += (i ? ", " : "") + joinable(parts[i]);
    return atom(sql + ")", SqlType::Text);
  }

  std::string unionItem(const Out& o) override {
    // Members' text columns may be of different kinds: the union's column
    // takes the one collation.
    return o.type == SqlType::Text ? withNoCase(o) : o.sql;
  }

  std::optional<Out> arithmetic(BinaryOp op, const Out& l, const Out& r) override {
    const bool lDate = l.type == SqlType::Date, rDate = r.type == SqlType::Date;
    auto days = [](const Out& n) { return "CAST(" + n.sql + " AS double precision) * INTERVAL '1 day'"; };
    auto whole = [](const Out& n) { return "CAST(CAST(" + n.sql + " AS double precision) AS bigint)"; };
    switch (op) {
      case BinaryOp::Add:
        if (lDate && rDate) throw TranslateError("adding two dates is not translated");
        if (lDate) return alone(l.sql + " + " + days(r), SqlType::Date);
        if (rDate) return alone(r.sql + " + " + days(l), SqlType::Date);
        // + joins texts (Null gives Null, unlike &).
        if ((l.type == SqlType::Text && !isNumeric(r.type)) || (r.type == SqlType::Text && !isNumeric(l.type)))
          return alone(joinable(l) + " || " + joinable(r), SqlType::Text);
        return std::nullopt;
      case BinaryOp::Subtract:
        if (lDate && rDate)
          return alone("CAST(EXTRACT(EPOCH FROM (" + l.sql + " - " + r.sql + ")) AS double precision) / 86400",
                       SqlType::Number);
        if (lDate) return alone(l.sql + " - " + days(r), SqlType::Date);
        return std::nullopt;
      // Jet's / divides as floating point; \ and Mod round their operands
      // to whole numbers first (half to even, as a cast of a double does).
      case BinaryOp::Divide:
        return alone("CAST(" + l.sql + " AS double precision) / " + operand(r, kUnary), SqlType::Number);
      case BinaryOp::IntDivide: return alone(whole(l) + " / " + whole(r), SqlType::Number);
      case BinaryOp::Modulo: return alone(whole(l) + " % " + whole(r), SqlType::Number);
      case BinaryOp::Power: return atom("power(" + l.sql + ", " + r.sql + ")", SqlType::Number);
      case BinaryOp::Xor: return alone(whole(l) + " # " + whole(r), SqlType::Number);
      default: return std::nullopt;
    }
  }

  Out like(const Expr& e) override {
    Out x = value(*e.args[0]);
    const Expr& pattern = *e.args[1];
    // PostgreSQL refuses LIKE under a nondeterministic collation: the text
    // is matched under "C", without regard to case.
    std::string subject =
        (x.type == SqlType::Text ? operand(x, kCollate) : "CAST(" + x.sql + " AS text)") + " COLLATE \"C\"";
    std::string converted;
    std::string sql;
    if (pattern.kind == ExprKind::String && pgLikePattern(pattern.text, converted)) {
      sql = subject + (e.negated ? " NOT ILIKE " : " ILIKE ") + quoteText(converted);
    } else {
      std::string regex = pattern.kind == ExprKind::String ? quoteText(pgLikeRegex(pattern.text))
                                                           : "rvz_like_regex(" + value(pattern).sql + ")";
      sql = subject + (e.negated ? " !~* " : " ~* ") + regex;
    }
    return truth(sql);
  }

  void unify(std::vector<Out*> branches) override {
    // PostgreSQL wants one type for the branches; Jet mixes text with
    // anything, which then reads as text.
    bool text = false, other = false;
    for (const Out* b : branches) {
      if (b->type == SqlType::Text)
        text = true;
      else if (b->type != SqlType::Unknown)
        other = true;
    }
    if (!text || !other) return;
    for (Out* b : branches)
      if (b->type != SqlType::Text && b->type != SqlType::Unknown)
        *b = atom("CAST(" + b->sql + " AS text)", SqlType::Text);
  }

  std::string limitClause(const SelectCore& c) override {
    if (c.top.empty()) return {};
    if (!c.topPercent) return " LIMIT " + c.top;
    // TOP n PERCENT: that share of the rows, rounded up.
    std::string counted = countQuery(c);
    return " LIMIT (SELECT CAST(ceil(count(*) * " + c.top + " / 100.0) AS bigint) FROM (" + counted +
           ") AS \"rvz_rows\")";
  }

  std::string makeTable(const Statement& s, const SelectCore& c) override {
    const bool temporary = !c.into.back().text.empty() && c.into.back().text[0] == '#';
    return std::string(temporary ? "CREATE TEMP TABLE " : "CREATE TABLE ") + quoteName(Name{c.into.back().text, true}) +
           " AS " + makeTableSelect(s);
  }

  Out function(const Expr& e, const std::string& name) override;

  std::string quoteName(const Name& n) const override { return Emitter::quoteName(Name{n.text, true}); }

  bool needsNoCaseInSubquery(const Out& x) const override {
    // The sub-query's column may be of the other text kind.
    return x.type == SqlType::Text || needsNoCase({&x});
  }

  // Every sub-query of FROM has a name, in lower case as every qualifier.
  Name subqueryAlias(const Name& written) override { return Name{text::lowerCaseAscii(written.text), true}; }
  std::string derivedAlias() override {
    return " AS " + quoteName(Name{"rvz_q" + std::to_string(++derivedTables_), true});
  }

 private:
  std::string spelled(const void* node, const std::string& written) const {
    if (spellings_) {
      auto it = spellings_->find(node);
      if (it != spellings_->end()) return it->second;
    }
    return written;
  }

  std::string storedTable(const std::vector<Name>& path, const void* node) {
    // SQL Server's owner ("dbo.T") and database parts are dropped: the
    // tables live in the database's search path.
    return quoteName(Name{spelled(node, path.back().text), true});
  }

  std::string countQuery(const SelectCore& c);
  Out dateAdd(Unit unit, const Out& n, const Out& d);
  Out dateDiff(Unit unit, const Out& a, const Out& b);
  Out datePart(Unit unit, const Out& d);

  // Argument i of a call: 't' as text, 'i' as an integer, 'n' as a double,
  // 'd' as a timestamp, anything else as it is.
  std::string argument(const Expr& e, char as, size_t i);
  std::string expand(std::string_view pattern, const Expr& e);
  Unit unitArgument(const Expr& e, size_t i);
  // The calls that are more than a pattern (by name, which some share).
  Out weekdayCall(const Expr& e, const std::string& name);
  Out datePartCall(const Expr& e, const std::string& name);
  Out dateAddCall(const Expr& e, const std::string& name);
  Out dateDiffCall(const Expr& e, const std::string& name);
  Out inStrCall(const Expr& e, const std::string& name);
  Out strCompCall(const Expr& e, const std::string& name);
  Out strCall(const Expr& e, const std::string& name);
  Out coalesceCall(const Expr& e, const std::string& name);
  Out formatCall(const Expr& e, const std::string& name);
  Out convert(const Expr& e, const std::string& name);
  Out aggregate(const Expr& e, const std::string& name, std::string_view pgName);

  int derivedTables_ = 0;
};

// The named date formats, as to_char patterns.
std::optional<std::string> namedDateFormat(const std::string& lower) {
  if (lower == "short date") return "YYYY-FMMM-FMDD";
  if (lower == "long time") return "FMHH24:MI:SS";
  if (lower == "short time") return "HH24:MI";
  if (lower == "general date") return "YYYY-FMMM-FMDD FMHH24:MI:SS";
  return std::nullopt;
}

// The length of the run of `letter` (lower case; either case counts) at
// f[i]; i moves past it.
size_t letterRun(std::string_view f, size_t& i, char letter) {
  size_t k = i;
  while (k < f.size() && (f[k] == letter || f[k] == letter - 32 || f[k] == letter + 32)) ++k;
  size_t len = k - i;
  i = k;
  return len;
}

// A run of one of the letters y m d h n s as a to_char pattern; nullopt for
// what to_char cannot write. `minute`: the m stands for minutes.
std::optional<std::string> dateLetters(char letter, size_t len, bool minute) {
  switch (letter) {
    case 'y': return len >= 3 ? "YYYY" : len == 2 ? "YY" : "FMDDD";
    case 'm':
      if (minute && len <= 2) return len == 2 ? "MI" : "FMMI";
      return len >= 4 ? "FMMonth" : len == 3 ? "Mon" : len == 2 ? "MM" : "FMMM";
    case 'd':
      if (len >= 3) return std::nullopt;
      return len == 2 ? "DD" : "FMDD";
    case 'h': return len >= 2 ? "HH24" : "FMHH24";
    case 'n': return len >= 2 ? "MI" : "FMMI";
    default: return len >= 2 ? "SS" : "FMSS";
  }
}

// A literal part at f[i] ("text" or \c) in to_char's double quotes; i moves
// past it. Nullopt when it is not closed or holds what to_char cannot quote.
std::optional<std::string> literalPart(std::string_view f, size_t& i) {
  std::string lit;
  if (f[i] == '\\') {
    if (i + 1 >= f.size()) return std::nullopt;
    lit = f.substr(i + 1, 1);
    i += 2;
  } else {
    size_t close = f.find('"', i + 1);
    if (close == std::string_view::npos) return std::nullopt;
    lit = f.substr(i + 1, close - i - 1);
    i = close + 1;
  }
  if (lit.find('"') != std::string::npos || lit.find('\\') != std::string::npos) return std::nullopt;
  return "\"" + lit + "\"";
}

// A Jet date format as a to_char pattern; nullopt for what to_char cannot write.
std::optional<std::string> dateFormat(std::string_view f) {
  if (std::optional<std::string> named = namedDateFormat(text::lowerCaseAscii(f))) return named;
  std::string out;
  bool afterHour = false;  // an m right after an hour is minutes
  size_t i = 0;
  while (i < f.size()) {
    char c = f[i];
    char lc = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    std::optional<std::string> part;
    if (std::string_view("ymdhns").find(lc) != std::string_view::npos) {
      size_t len = letterRun(f, i, lc);
      // ... and so is an m right before ":s".
      bool minute =
          lc == 'm' &&
          (afterHour || (i < f.size() && f[i] == ':' && i + 1 < f.size() && (f[i + 1] == 's' || f[i + 1] == 'S')));
      part = dateLetters(lc, len, minute);
      afterHour = lc == 'h';
    } else if (lc == 'q') {
      ++i;
      part = "Q";
    } else if (c == '/') {
      ++i;
      part = "-";  // the date separator of the server's locale
    } else if (c == ':' || c == '-' || c == ' ' || c == '.' || c == ',') {
      ++i;
      part = std::string(1, c);
    } else if (c == '"' || c == '\\') {
      part = literalPart(f, i);
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      // Other letters (年, 月, 日 ...) are written as they are.
      size_t k = i;
      while (k < f.size() && static_cast<unsigned char>(f[k]) >= 0x80) ++k;
      part = "\"" + std::string(f.substr(i, k - i)) + "\"";
      i = k;
    }
    if (!part) return std::nullopt;
    out += *part;
  }
  return out;
}

// A Jet number format of digits, one point and thousands commas ("0.00",
// "#,##0.0", "0") as a to_char pattern.
std::optional<std::string> numberFormat(std::string_view f) {
  if (f.empty()) return std::nullopt;
  size_t point = f.find('.');
  std::string_view whole = f.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view() : f.substr(point + 1);
  bool grouping = false;
  for (char c : whole) {
    if (c == ',')
      grouping = true;
    else if (c != '0' && c != '#')
      return std::nullopt;
  }
  for (char c : fraction)
    if (c != '0' && c != '#') return std::nullopt;
  size_t zeros = std::count(whole.begin(), whole.end(), '0');
  std::string out = "FM";
  const int digits = 18;
  for (int k = digits; k >= 1; --k) {
    out += static_cast<size_t>(k) <= std::max<size_t>(zeros, 1) ? '0' : '9';
    if (grouping && k > 1 && (k - 1) % 3 == 0) out += ',';
  }
  if (!fraction.empty()) {
    out += '.';
    for (char c : fraction) out += c == '0' ? '0' : '9';
  }
  return out;
}

std::string PgEmitter::countQuery(const SelectCore& c) {
  // The rows the select gives, without its ORDER BY and TOP.
  std::string sql = "SELECT 1";
  if (!c.from.empty()) sql += " FROM " + from(c.from);
  if (c.where) sql += " WHERE " + condition(*c.where).sql;
  if (!c.groupBy.empty()) {
    sql += " GROUP BY ";
    for (size_t i = 0; i < c.groupBy.size(); ++i) sql += (i ? ", " : "") + value(*c.groupBy[i]).sql;
  }
  if (c.having) sql += " HAVING " + condition(*c.having).sql;
  charge(sql.size());
  return sql;
}

Out PgEmitter::dateAdd(Unit unit, const Out& n, const Out& d) {
  const char* step = nullptr;
  switch (unit) {
    case Unit::Year: step = "1 year"; break;
    case Unit::Quarter: step = "3 months"; break;
    case Unit::Month: step = "1 month"; break;
    case Unit::DayOfYear:
    case Unit::Day:
    case Unit::Weekday: step = "1 day"; break;
    case Unit::Week: step = "7 days"; break;
    case Unit::Hour: step = "1 hour"; break;
    case Unit::Minute: step = "1 minute"; break;
    case Unit::Second: step = "1 second"; break;
    case Unit::Millisecond: step = "0.001 second"; break;
  }
  // Months and years move by whole units, as Jet and SQL Server do.
  std::string count = unit == Unit::Year || unit == Unit::Quarter || unit == Unit::Month
                          ? "CAST(trunc(CAST(" + n.sql + " AS double precision)) AS integer)"
                          : "CAST(" + n.sql + " AS double precision)";
  return alone(stamp(d) + " + " + count + " * INTERVAL '" + step + "'", SqlType::Date);
}

Out PgEmitter::dateDiff(Unit unit, const Out& a, const Out& b) {
  // The number of unit boundaries between the two, as Jet and SQL Server count.
  std::string sa = stamp(a), sb = stamp(b);
  auto trunc = [&](const char* part) {
    return "CAST(EXTRACT(EPOCH FROM (date_trunc('" + std::string(part) + "', " + sb + ") - date_trunc('" + part +
           "', " + sa + "))) AS bigint)";
  };
  switch (unit) {
    case Unit::Year: return alone(field("YEAR", b) + " - " + field("YEAR", a), SqlType::Number);
    case Unit::Quarter:
      return alone("(" + field("YEAR", b) + " * 4 + " + field("QUARTER", b) + ") - (" + field("YEAR", a) + " * 4 + " +
                       field("QUARTER", a) + ")",
                   SqlType::Number);
    case Unit::Month:
      return alone("(" + field("YEAR", b) + " * 12 + " + field("MONTH", b) + ") - (" + field("YEAR", a) + " * 12 + " +
                       field("MONTH", a) + ")",
                   SqlType::Number);
    case Unit::DayOfYear:
    case Unit::Day: return alone("CAST(" + sb + " AS date) - CAST(" + sa + " AS date)", SqlType::Number);
    case Unit::Weekday: return alone("(CAST(" + sb + " AS date) - CAST(" + sa + " AS date)) / 7", SqlType::Number);
    case Unit::Week:
      // Sundays crossed.
      return alone("((CAST(" + sb + " AS date) - CAST(EXTRACT(DOW FROM " + sb + ") AS integer)) - (CAST(" + sa +
                       " AS date) - CAST(EXTRACT(DOW FROM " + sa + ") AS integer))) / 7",
                   SqlType::Number);
    case Unit::Hour: return alone(trunc("hour") + " / 3600", SqlType::Number);
    case Unit::Minute: return alone(trunc("minute") + " / 60", SqlType::Number);
    case Unit::Second: return alone(trunc("second"), SqlType::Number);
    case Unit::Millisecond:
      return alone("CAST(EXTRACT(EPOCH FROM (" + sb + " - " + sa + ")) * 1000 AS bigint)", SqlType::Number);
  }
  throw TranslateError("unknown date unit");
}

Out PgEmitter::datePart(Unit unit, const Out& d) {
  switch (unit) {
    case Unit::Year: return atom(field("YEAR", d), SqlType::Number);
    case Unit::Quarter: return atom(field("QUARTER", d), SqlType::Number);
    case Unit::Month: return atom(field("MONTH", d), SqlType::Number);
    case Unit::DayOfYear: return atom(field("DOY", d), SqlType::Number);
    case Unit::Day: return atom(field("DAY", d), SqlType::Number);
    case Unit::Weekday: return alone(field("DOW", d) + " + 1", SqlType::Number);
    case Unit::Week: return atom(weekOfYear(d), SqlType::Number);
    case Unit::Hour: return atom(field("HOUR", d), SqlType::Number);
    case Unit::Minute: return atom(field("MINUTE", d), SqlType::Number);
    case Unit::Second: return atom("CAST(floor(EXTRACT(SECOND FROM " + stamp(d) + ")) AS integer)", SqlType::Number);
    case Unit::Millisecond:
      return atom("CAST(floor(EXTRACT(MILLISECONDS FROM " + stamp(d) + ")) AS integer) % 1000", SqlType::Number);
  }
  throw TranslateError("unknown date unit");
}

Out PgEmitter::formatCall(const Expr& e, const std::string&) {
  const size_t n = e.args.size();
  if (n < 1 || n > 2 || e.starArgument || e.distinct)
    throw TranslateError(e.text + " called with " + std::to_string(n) + " arguments");
  Out x = value(*e.args[0]);
  if (n == 1) return atom(x.type == SqlType::Text ? x.sql : "CAST(" + x.sql + " AS text)", SqlType::Text);
  const Expr& f = *e.args[1];
  if (f.kind != ExprKind::String)
    throw TranslateError("Format with a format that is not a text literal is not translated for PostgreSQL");
  if (FormatKind k = formatKind(f.text); k == FormatKind::Date) {
    if (std::optional<std::string> pattern = dateFormat(f.text))
      return atom("to_char(" + stamp(x) + ", " + quoteText(*pattern) + ")", SqlType::Text);
  } else if (k == FormatKind::Number) {
    if (std::optional<std::string> pattern = numberFormat(f.text))
      return atom("to_char(CAST(" + x.sql + " AS numeric), " + quoteText(*pattern) + ")", SqlType::Text);
  }
  throw TranslateError("Format with the format '" + f.text + "' is not translated for PostgreSQL");
}

Out PgEmitter::convert(const Expr& e, const std::string&) {
  // CAST(x AS type) and CONVERT(type, x[, style]): the parser gives the
  // value first, then the style, with the type in castType.
  if (e.args.empty() || e.args.size() > 2) throw TranslateError(e.text + " needs a value and a type");
  Out x = value(*e.args[0]);
  std::string type = e.castType;
  std::string base = type.substr(0, type.find('('));
  int32_t length = -1;
  if (size_t open = type.find('('); open != std::string::npos) {
    std::string inside = type.substr(open + 1);
    length = inside.rfind("MAX", 0) == 0 ? -1 : std::atoi(inside.c_str());
  }
  std::optional<int> style;
  if (e.args.size() == 2) {
    if (e.args[1]->kind != ExprKind::Number) throw TranslateError("CONVERT's style must be a number");
    style = std::atoi(e.args[1]->text.c_str());
  }
  auto stylePattern = [&](int s) -> std::string {
    switch (s) {
      case 23: return "YYYY-MM-DD";
      case 112: return "YYYYMMDD";
      case 20:
      case 120: return "YYYY-MM-DD HH24:MI:SS";
      case 21:
      case 121: return "YYYY-MM-DD HH24:MI:SS.MS";
      case 102: return "YYYY.MM.DD";
      case 111: return "YYYY/MM/DD";
      case 108: return "HH24:MI:SS";
      case 126: return "YYYY-MM-DD\"T\"HH24:MI:SS.MS";
      default: throw TranslateError("CONVERT style " + std::to_string(s) + " is not translated for PostgreSQL");
    }
  };
  static const char* const kText[] = {"VARCHAR", "NVARCHAR", "CHAR", "NCHAR", "TEXT", "NTEXT", "STRING"};
  if (std::find(std::begin(kText), std::end(kText), base) != std::end(kText)) {
    std::string sql;
    if (style && x.type != SqlType::Number && x.type != SqlType::Text)
      sql = "to_char(" + stamp(x) + ", " + quoteText(stylePattern(*style)) + ")";
    else
      sql = x.type == SqlType::Text ? x.sql : "CAST(" + x.sql + " AS text)";
    if (length > 0) sql = "CAST(" + sql + " AS varchar(" + std::to_string(length) + "))";
    return atom(sql, SqlType::Text);
  }
  if (base == "DATETIME" || base == "SMALLDATETIME" || base == "DATETIME2" || base == "DATE" || base == "TIME") {
    std::string sql;
    if (style && x.type != SqlType::Date)
      sql = "CAST(to_timestamp(" + x.sql + ", " + quoteText(stylePattern(*style)) + ") AS timestamp)";
    else
      sql = stamp(x);
    if (base == "DATE") sql = "date_trunc('day', " + sql + ")";
    if (base == "TIME") sql = "(TIMESTAMP '1899-12-30 00:00:00' + CAST(" + sql + " AS time))";
    return atom(sql, SqlType::Date);
  }
  auto whole = [&](const char* pg) {
    // SQL Server cuts the fraction off; a cast of text reads the text.
    if (x.type == SqlType::Text || x.type == SqlType::Unknown)
      return atom("CAST(" + x.sql + " AS " + pg + ")", SqlType::Number);
    return atom("CAST(trunc(CAST(" + x.sql + " AS numeric)) AS " + pg + ")", SqlType::Number);
  };
  if (base == "INT" || base == "INTEGER") return whole("integer");
  if (base == "BIGINT") return whole("bigint");
  if (base == "SMALLINT" || base == "TINYINT") return whole("smallint");
  if (base == "BIT") return alone("-CAST(CAST(" + x.sql + " AS double precision) <> 0 AS integer)", SqlType::Boolean);
  if (base == "FLOAT" || base == "REAL" || base == "DOUBLE")
    return atom("CAST(" + x.sql + " AS " + (base == "REAL" ? "real" : "double precision") + ")", SqlType::Number);
  if (base == "MONEY" || base == "SMALLMONEY" || base == "CURRENCY")
    return atom("CAST(" + x.sql + " AS numeric(19,4))", SqlType::Number);
  if (base == "DECIMAL" || base == "NUMERIC" || base == "DEC") {
    std::string args = type.find('(') != std::string::npos ? type.substr(type.find('(')) : "(18,0)";
    return atom("CAST(" + x.sql + " AS numeric" + args + ")", SqlType::Number);
  }
  throw TranslateError("CAST to " + type + " is not translated for PostgreSQL");
}

// A Jet or SQL Server function that PostgreSQL writes by a pattern: %t0 is
// argument 0 as text, %i1 argument 1 as an integer, %n0 as a double, %d0
// as a timestamp, %v0 as it is; %,i2 is ", " and argument 2 when the call
// has one. Arguments a pattern does not name are not read.
struct PatternFunction {
  std::array<std::string_view, 4> names;
  size_t least, most;  // arguments
  std::string_view pattern;
  SqlType result;
  bool alone;  // parenthesised: the pattern is an operation, not a call
};

constexpr PatternFunction kPatternFunctions[] = {
    // ---- dates ----
    {{"now", "getdate", "current_timestamp"}, 0, 0, "LOCALTIMESTAMP(0)", SqlType::Date, false},
    {{"date"}, 0, 0, "CAST(CURRENT_DATE AS timestamp)", SqlType::Date, false},
    {{"time"}, 0, 0, "TIMESTAMP '1899-12-30 00:00:00' + LOCALTIME(0)", SqlType::Date, true},
    // Months and days beyond their range carry over, as in Jet.
    {{"dateserial"},
     3,
     3,
     "CAST(make_date(%i0, 1, 1) AS timestamp) + (%i1 - 1) * INTERVAL '1 month' + (%i2 - 1) * INTERVAL '1 day'",
     SqlType::Date,
     true},
    {{"timeserial"},
     3,
     3,
     "TIMESTAMP '1899-12-30 00:00:00' + %i0 * INTERVAL '1 hour' + %i1 * INTERVAL '1 minute' + %i2 * INTERVAL "
     "'1 second'",
     SqlType::Date,
     true},
    {{"datevalue"}, 1, 1, "date_trunc('day', %d0)", SqlType::Date, false},
    {{"timevalue"}, 1, 1, "TIMESTAMP '1899-12-30 00:00:00' + CAST(%v0 AS time)", SqlType::Date, true},
    {{"cdate"}, 1, 1, "%d0", SqlType::Date, false},
    // ---- text ----
    {{"left"}, 2, 2, "left(%t0, %i1)", SqlType::Text, false},
    {{"right"}, 2, 2, "right(%t0, %i1)", SqlType::Text, false},
    {{"mid", "substring"}, 2, 3, "substr(%t0, %i1%,i2)", SqlType::Text, false},
    {{"len", "length"}, 1, 1, "length(%t0)", SqlType::Number, false},
    {{"trim"}, 1, 1, "btrim(%t0, ' ')", SqlType::Text, false},
    {{"ltrim"}, 1, 1, "ltrim(%t0, ' ')", SqlType::Text, false},
    {{"rtrim"}, 1, 1, "rtrim(%t0, ' ')", SqlType::Text, false},
    {{"ucase", "upper"}, 1, 1, "upper(%t0)", SqlType::Text, false},
    {{"lcase", "lower"}, 1, 1, "lower(%t0)", SqlType::Text, false},
    {{"space"}, 1, 1, "repeat(' ', %i0)", SqlType::Text, false},
    {{"string"}, 2, 2, "repeat(left(%t1, 1), %i0)", SqlType::Text, false},
    {{"replicate"}, 2, 2, "repeat(%t0, %i1)", SqlType::Text, false},
    {{"replace"}, 3, 3, "rvz_replace(%t0, %t1, %t2)", SqlType::Text, false},
    {{"chr", "chrw", "char", "nchar"}, 1, 1, "chr(%i0)", SqlType::Text, false},
    {{"asc", "ascw", "ascii", "unicode"}, 1, 1, "ascii(%t0)", SqlType::Number, false},
    {{"cstr"}, 1, 1, "%t0", SqlType::Text, false},
    // ---- numbers ----
    {{"val"},
     1,
     1,
     "COALESCE(CAST(substring(ltrim(%t0) FROM '^[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?') AS double "
     "precision), 0)",
     SqlType::Number,
     false},
    {{"cdbl", "csng"}, 1, 1, "%n0", SqlType::Number, false},
    {{"ccur"}, 1, 1, "CAST(%v0 AS numeric(19,4))", SqlType::Number, false},
    // Rounded half to even, as Jet converts.
    {{"clng"}, 1, 1, "CAST(%n0 AS integer)", SqlType::Number, false},
    {{"cint"}, 1, 1, "CAST(%n0 AS smallint)", SqlType::Number, false},
    {{"cbool"}, 1, 1, "-CAST(%n0 <> 0 AS integer)", SqlType::Boolean, true},
    {{"fix"}, 1, 1, "trunc(%v0)", SqlType::Number, false},
    {{"int"}, 1, 1, "floor(%v0)", SqlType::Number, false},
    {{"abs"}, 1, 1, "abs(%v0)", SqlType::Number, false},
    {{"sgn", "sign"}, 1, 1, "CAST(sign(%v0) AS integer)", SqlType::Number, false},
    {{"sqr", "sqrt"}, 1, 1, "sqrt(%n0)", SqlType::Number, false},
    {{"round"}, 1, 3, "round(CAST(%v0 AS numeric)%,i1)", SqlType::Number, false},
    {{"@@identity", "scope_identity"}, 0, 0, "rvz_identity()", SqlType::Number, false},
};

const PatternFunction* patternFunction(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const PatternFunction& f : kPatternFunctions)
    if (std::find(f.names.begin(), f.names.end(), name) != f.names.end()) return &f;
  return nullptr;
}

// Jet's aggregates and PostgreSQL's names for them.
constexpr std::pair<std::string_view, std::string_view> kAggregates[] = {
    {"count", "count"},       {"sum", "sum"},         {"avg", "avg"},       {"min", "min"},
    {"max", "max"},           {"first", "rvz_first"}, {"last", "rvz_last"}, {"stdev", "stddev_samp"},
    {"stdevp", "stddev_pop"}, {"var", "var_samp"},    {"varp", "var_pop"},  {"stddev", "stddev_samp"}};

// The functions DatePart reads its unit from the name of.
constexpr std::pair<std::string_view, Unit> kPartFunctions[] = {{"year", Unit::Year},     {"month", Unit::Month},
                                                                {"day", Unit::Day},       {"hour", Unit::Hour},
                                                                {"minute", Unit::Minute}, {"second", Unit::Second}};

std::string PgEmitter::argument(const Expr& e, char as, size_t i) {
  Out a = value(*e.args[i]);
  switch (as) {
    case 't': return a.type == SqlType::Text ? a.sql : "CAST(" + a.sql + " AS text)";
    case 'i': return "CAST(" + a.sql + " AS integer)";
    case 'n': return "CAST(" + a.sql + " AS double precision)";
    case 'd': return stamp(a);
    default: return a.sql;
  }
}

std::string PgEmitter::expand(std::string_view pattern, const Expr& e) {
  std::string sql;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      sql.push_back(pattern[i]);
      continue;
    }
    const bool optional = pattern[i + 1] == ',';
    const size_t at = i + (optional ? 2 : 1);
    const char as = pattern[at];
    const auto index = static_cast<size_t>(pattern[at + 1] - '0');
    i = at + 1;  // the index, the last character of the placeholder
    if (optional && index >= e.args.size()) continue;
    if (optional) sql += ", ";
    sql += argument(e, as, index);
  }
  return sql;
}

Out PgEmitter::function(const Expr& e, const std::string& name) {
  if (const PatternFunction* f = patternFunction(name)) {
    requireArguments(e, f->least, f->most);
    std::string sql = expand(f->pattern, e);
    return f->alone ? alone(std::move(sql), f->result) : atom(std::move(sql), f->result);
  }
  using Form = Out (PgEmitter::*)(const Expr&, const std::string&);
  static const std::pair<std::string_view, Form> kForms[] = {
      {"weekday", &PgEmitter::weekdayCall}, {"datepart", &PgEmitter::datePartCall},
      {"dateadd", &PgEmitter::dateAddCall}, {"datediff", &PgEmitter::dateDiffCall},
      {"instr", &PgEmitter::inStrCall},     {"charindex", &PgEmitter::inStrCall},
      {"strcomp", &PgEmitter::strCompCall}, {"str", &PgEmitter::strCall},
      {"isnull", &PgEmitter::coalesceCall}, {"coalesce", &PgEmitter::coalesceCall},
      {"format", &PgEmitter::formatCall},   {"convert", &PgEmitter::convert},
      {"cast", &PgEmitter::convert}};
  for (const auto& [formName, form] : kForms)
    if (name == formName) return (this->*form)(e, name);
  for (const auto& [partName, unit] : kPartFunctions) {
    if (name != partName) continue;
    requireArguments(e, 1, 1);
    return datePart(unit, value(*e.args[0]));
  }
  for (const auto& [jetName, pgName] : kAggregates)
    if (name == jetName) return aggregate(e, name, pgName);
  throw TranslateError("function " + e.text + " is not translated for PostgreSQL");
}

Unit PgEmitter::unitArgument(const Expr& e, size_t i) {
  std::optional<Unit> u = unitOf(*e.args[i]);
  if (!u)
    throw TranslateError(e.text + " needs a date unit written out ('yyyy', 'm', 'd' ... or year, month, day ...)");
  return *u;
}

Out PgEmitter::weekdayCall(const Expr& e, const std::string&) {
  requireArguments(e, 1, 2);
  Out d = value(*e.args[0]);
  if (e.args.size() == 1) return datePart(Unit::Weekday, d);
  return alone("(" + field("DOW", d) + " + 7 - (" + argument(e, 'i', 1) + " - 1)) % 7 + 1", SqlType::Number);
}

Out PgEmitter::datePartCall(const Expr& e, const std::string&) {
  requireArguments(e, 2, 4);
  Unit u = unitArgument(e, 0);
  return datePart(u, value(*e.args[1]));
}

Out PgEmitter::dateAddCall(const Expr& e, const std::string&) {
  requireArguments(e, 3, 3);
  Unit u = unitArgument(e, 0);
  Out n = value(*e.args[1]);
  return dateAdd(u, n, value(*e.args[2]));
}

Out PgEmitter::dateDiffCall(const Expr& e, const std::string&) {
  requireArguments(e, 3, 5);
  Unit u = unitArgument(e, 0);
  Out a = value(*e.args[1]);
  return dateDiff(u, a, value(*e.args[2]));
}

// InStr([start,] text, part[, compare]); CHARINDEX(part, text[, start]).
Out PgEmitter::inStrCall(const Expr& e, const std::string& name) {
  requireArguments(e, 2, name == "charindex" ? 3 : 4);
  const size_t n = e.args.size();
  std::string hay, needle, start;
  if (name == "charindex") {
    needle = argument(e, 't', 0);
    hay = argument(e, 't', 1);
    if (n == 3) start = argument(e, 'i', 2);
  } else if (n == 2) {
    hay = argument(e, 't', 0);
    needle = argument(e, 't', 1);
  } else {
    start = argument(e, 'i', 0);
    hay = argument(e, 't', 1);
    needle = argument(e, 't', 2);
  }
  // Substring searches refuse a nondeterministic collation: "C" on lower-cased text.
  std::string found = "strpos(lower(" + (start.empty() ? hay : "substr(" + hay + ", " + start + ")") +
                      ") COLLATE \"C\", lower(" + needle + "))";
  if (start.empty()) return atom(found, SqlType::Number);
  return atom("CASE WHEN " + found + " > 0 THEN " + found + " + " + start + " - 1 ELSE 0 END", SqlType::Number);
}

Out PgEmitter::strCompCall(const Expr& e, const std::string&) {
  requireArguments(e, 2, 3);
  std::string a = argument(e, 't', 0), b = argument(e, 't', 1);
  const bool binary = e.args.size() == 3 && e.args[2]->kind == ExprKind::Number && e.args[2]->text == "0";
  std::string collate = binary ? " COLLATE \"C\"" : kNoCase;
  return atom("CASE WHEN " + a + " IS NULL OR " + b + " IS NULL THEN NULL WHEN " + a + collate + " < " + b +
                  " THEN -1 WHEN " + a + collate + " = " + b + " THEN 0 ELSE 1 END",
              SqlType::Number);
}

Out PgEmitter::strCall(const Expr& e, const std::string&) {
  requireArguments(e, 1, 3);
  if (e.args.size() == 1) {
    // Jet's Str: a leading blank for the sign of a positive number.
    Out x = value(*e.args[0]);
    return atom(
        "CASE WHEN " + x.sql + " >= 0 THEN ' ' || CAST(" + x.sql + " AS text) ELSE CAST(" + x.sql + " AS text) END",
        SqlType::Text);
  }
  // SQL Server's STR(n, length[, decimals]): right-aligned in `length` characters.
  std::string number = value(*e.args[0]).sql;
  std::string length = argument(e, 'i', 1);
  std::string decimals = e.args.size() == 3 ? argument(e, 'i', 2) : "0";
  return atom("lpad(CAST(round(CAST(" + number + " AS numeric), " + decimals + ") AS text), " + length + ")",
              SqlType::Text);
}

// COALESCE(a, b ...), and SQL Server's ISNULL(value, replacement) (Jet's
// IsNull(x) never comes here).
Out PgEmitter::coalesceCall(const Expr& e, const std::string& name) {
  const size_t n = e.args.size();
  if (n == 0) requireArguments(e, 1, 1);
  std::vector<Out> outs;
  for (size_t i = 0; i < n; ++i) outs.push_back(value(*e.args[i]));
  std::vector<Out*> all;
  for (Out& o : outs) all.push_back(&o);
  unify(all);
  std::string sql = "coalesce(";
  for (size_t i = 0; i < n; ++i) sql += (i ? ", " : "") + outs[i].sql;
  SqlType type = outs[0].type;
  if (name == "isnull" && outs[1].type != type) type = SqlType::Unknown;
  return atom(sql + ")", type);
}

Out PgEmitter::aggregate(const Expr& e, const std::string& name, std::string_view pgName) {
  // One argument, DISTINCT or not, or *.
  if (!e.starArgument && e.args.size() != 1)
    throw TranslateError(e.text + " called with " + std::to_string(e.args.size()) + " arguments");
  std::string sql = std::string(pgName) + "(";
  if (e.starArgument) sql += "*";
  if (e.distinct) sql += "DISTINCT ";
  const bool numeric =
      name == "count" || name == "sum" || name == "avg" || name.rfind("st", 0) == 0 || name.rfind("var", 0) == 0;
  SqlType type = numeric ? SqlType::Number : SqlType::Unknown;
  if (!e.starArgument) {
    Out a = value(*e.args[0]);
    if (name == "min" || name == "max" || name == "first" || name == "last") type = a.type;
    sql += a.sql;
  }
  return atom(sql + ")" + aggregateFilter(name), type);
}

}  // namespace

bool pgLikePattern(const std::string& pattern, std::string& out) {
  out.clear();
  for (char c : pattern) {
    if (c == '*' || c == '%')
      out.push_back('%');
    else if (c == '?' || c == '_')
      out.push_back('_');
    else if (c == '#' || c == '[')
      return false;
    else if (c == '\\')
      out += "\\\\";
    else
      out.push_back(c);
  }
  return true;
}

std::string pgLikeRegex(const std::string& pattern) {
  std::string r = "^";
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '*' || c == '%')
      r += ".*";
    else if (c == '?' || c == '_')
      r += ".";
    else if (c == '#')
      r += "[0-9]";
    else if (c == '[') {
      size_t close = pattern.find(']', i + 1);
      if (close == std::string::npos) throw TranslateError("a LIKE pattern's character list has no ']'");
      std::string body = pattern.substr(i + 1, close - i - 1);
      r += "[";
      size_t k = 0;
      if (!body.empty() && (body[0] == '!' || body[0] == '^')) {
        r += "^";
        k = 1;
      }
      for (; k < body.size(); ++k) r += body[k] == '\\' ? std::string("\\\\") : std::string(1, body[k]);
      r += "]";
      i = close;
    } else {
      r += regexEscape(c);
    }
  }
  return r + "$";
}

std::unique_ptr<Emitter> makePgEmitter(size_t outputLimit) { return std::make_unique<PgEmitter>(outputLimit); }

}  // namespace rvz::data::jet
