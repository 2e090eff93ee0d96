// PostgreSQL SQL from the Jet and SQL Server syntax tree.
#include "platform/data/jet/pg_emit.h"

#include <algorithm>

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

Out truth(std::string sql) {
  Out o = atom(std::move(sql), SqlType::Boolean);
  o.condition = true;
  o.precedence = kEquality;
  return o;
}

// The units of DateAdd, DateDiff and DatePart, as Jet ('yyyy', 'm' ...) and
// SQL Server (year, mm, dd ...) write them.
enum class Unit { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second, Millisecond };

std::optional<Unit> unitOf(const Expr& e) {
  std::string w;
  if (e.kind == ExprKind::String) w = text::lowerCaseAscii(e.text);
  else if (e.kind == ExprKind::Column && e.path.size() == 1) w = text::lowerCaseAscii(e.path[0].text);
  else return std::nullopt;
  static const std::pair<const char*, Unit> kUnits[] = {
      {"yyyy", Unit::Year},    {"yy", Unit::Year},          {"year", Unit::Year},       {"q", Unit::Quarter},
      {"qq", Unit::Quarter},   {"quarter", Unit::Quarter},  {"m", Unit::Month},         {"mm", Unit::Month},
      {"month", Unit::Month},  {"y", Unit::DayOfYear},      {"dy", Unit::DayOfYear},    {"dayofyear", Unit::DayOfYear},
      {"d", Unit::Day},        {"dd", Unit::Day},           {"day", Unit::Day},         {"w", Unit::Weekday},
      {"dw", Unit::Weekday},   {"weekday", Unit::Weekday},  {"ww", Unit::Week},         {"wk", Unit::Week},
      {"week", Unit::Week},    {"h", Unit::Hour},           {"hh", Unit::Hour},         {"hour", Unit::Hour},
      {"n", Unit::Minute},     {"mi", Unit::Minute},        {"minute", Unit::Minute},   {"s", Unit::Second},
      {"ss", Unit::Second},    {"second", Unit::Second},    {"ms", Unit::Millisecond},  {"millisecond", Unit::Millisecond}};
  for (const auto& [name, unit] : kUnits)
    if (w == name) return unit;
  return std::nullopt;
}

std::string stamp(const Out& o) {
  return o.type == SqlType::Date ? o.sql : "CAST(" + o.sql + " AS timestamp)";
}

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

  Out dateLiteral(const std::string& stored) override {
    return atom("TIMESTAMP " + quoteText(stored), SqlType::Date);
  }

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
    std::string subject = (x.type == SqlType::Text ? operand(x, kCollate) : "CAST(" + x.sql + " AS text)") + " COLLATE \"C\"";
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
      if (b->type == SqlType::Text) text = true;
      else if (b->type != SqlType::Unknown) other = true;
    }
    if (!text || !other) return;
    for (Out* b : branches)
      if (b->type != SqlType::Text && b->type != SqlType::Unknown) *b = atom("CAST(" + b->sql + " AS text)", SqlType::Text);
  }

  std::string limitClause(const SelectCore& c) override {
    if (c.top.empty()) return {};
    if (!c.topPercent) return " LIMIT " + c.top;
    // TOP n PERCENT: that share of the rows, rounded up.
    std::string counted = countQuery(c);
    return " LIMIT (SELECT CAST(ceil(count(*) * " + c.top + " / 100.0) AS bigint) FROM (" + counted + ") AS \"rvz_rows\")";
  }

  std::string makeTable(const Statement& s, const SelectCore& c) override {
    const bool temporary = !c.into.back().text.empty() && c.into.back().text[0] == '#';
    return std::string(temporary ? "CREATE TEMP TABLE " : "CREATE TABLE ") + quoteName(Name{c.into.back().text, true}) +
           " AS " + makeTableSelect(s);
  }

  Out function(const Expr& e, const std::string& name) override;

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
  Out dateAdd(const Expr& e, Unit unit, const Out& n, const Out& d);
  Out dateDiff(Unit unit, const Out& a, const Out& b);
  Out datePart(Unit unit, const Out& d);
  Out convert(const Expr& e);
  Out formatCall(const Expr& e);
};

// A Jet date format as a to_char pattern; nullopt for what to_char cannot write.
std::optional<std::string> dateFormat(std::string_view f) {
  std::string lower = text::lowerCaseAscii(f);
  if (lower == "short date") return "YYYY-FMMM-FMDD";
  if (lower == "long time") return "FMHH24:MI:SS";
  if (lower == "short time") return "HH24:MI";
  if (lower == "general date") return "YYYY-FMMM-FMDD FMHH24:MI:SS";
  std::string out;
  bool afterHour = false;
  size_t i = 0;
  auto run = [&](char c) {
    size_t k = i;
    while (k < f.size() && (f[k] == c || f[k] == c - 32 || f[k] == c + 32)) ++k;
    size_t len = k - i;
    i = k;
    return len;
  };
  while (i < f.size()) {
    char c = f[i];
    char lc = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    if (lc == 'y') {
      size_t len = run('y');
      out += len >= 3 ? "YYYY" : len == 2 ? "YY" : "FMDDD";
      afterHour = false;
    } else if (lc == 'm') {
      size_t len = run('m');
      bool minute = afterHour || (i < f.size() && (f[i] == ':' ) && i + 1 < f.size() && (f[i + 1] == 's' || f[i + 1] == 'S'));
      if (minute && len <= 2) out += len == 2 ? "MI" : "FMMI";
      else out += len >= 4 ? "FMMonth" : len == 3 ? "Mon" : len == 2 ? "MM" : "FMMM";
      afterHour = false;
    } else if (lc == 'd') {
      size_t len = run('d');
      if (len >= 3) return std::nullopt;
      out += len == 2 ? "DD" : "FMDD";
      afterHour = false;
    } else if (lc == 'h') {
      size_t len = run('h');
      out += len >= 2 ? "HH24" : "FMHH24";
      afterHour = true;
    } else if (lc == 'n') {
      size_t len = run('n');
      out += len >= 2 ? "MI" : "FMMI";
      afterHour = false;
    } else if (lc == 's') {
      size_t len = run('s');
      out += len >= 2 ? "SS" : "FMSS";
      afterHour = false;
    } else if (lc == 'q') {
      ++i;
      out += "Q";
    } else if (c == '/') {
      ++i;
      out += "-";  // the date separator of the server's locale
    } else if (c == ':' || c == '-' || c == ' ' || c == '.' || c == ',') {
      ++i;
      out.push_back(c);
    } else if (c == '"' || c == '\\') {
      // A literal part: to_char writes text in double quotes.
      std::string lit;
      if (c == '\\') {
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
      out += "\"" + lit + "\"";
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      // Other letters (年, 月, 日 ...) are written as they are.
      size_t k = i;
      while (k < f.size() && static_cast<unsigned char>(f[k]) >= 0x80) ++k;
      out += "\"" + std::string(f.substr(i, k - i)) + "\"";
      i = k;
    } else {
      return std::nullopt;
    }
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
    if (c == ',') grouping = true;
    else if (c != '0' && c != '#') return std::nullopt;
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

Out PgEmitter::dateAdd(const Expr& e, Unit unit, const Out& n, const Out& d) {
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
  (void)e;
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

Out PgEmitter::formatCall(const Expr& e) {
  const size_t n = e.args.size();
  if (n < 1 || n > 2 || e.starArgument || e.distinct)
    throw TranslateError(e.text + " called with " + std::to_string(n) + " arguments");
  Out x = value(*e.args[0]);
  if (n == 1) return atom(x.type == SqlType::Text ? x.sql : "CAST(" + x.sql + " AS text)", SqlType::Text);
  const Expr& f = *e.args[1];
  if (f.kind != ExprKind::String) throw TranslateError("Format with a format that is not a text literal is not translated for PostgreSQL");
  if (FormatKind k = formatKind(f.text); k == FormatKind::Date) {
    if (std::optional<std::string> pattern = dateFormat(f.text))
      return atom("to_char(" + stamp(x) + ", " + quoteText(*pattern) + ")", SqlType::Text);
  } else if (k == FormatKind::Number) {
    if (std::optional<std::string> pattern = numberFormat(f.text))
      return atom("to_char(CAST(" + x.sql + " AS numeric), " + quoteText(*pattern) + ")", SqlType::Text);
  }
  throw TranslateError("Format with the format '" + f.text + "' is not translated for PostgreSQL");
}

Out PgEmitter::convert(const Expr& e) {
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
    if (x.type == SqlType::Text || x.type == SqlType::Unknown) return atom("CAST(" + x.sql + " AS " + pg + ")", SqlType::Number);
    return atom("CAST(trunc(CAST(" + x.sql + " AS numeric)) AS " + pg + ")", SqlType::Number);
  };
  if (base == "INT" || base == "INTEGER") return whole("integer");
  if (base == "BIGINT") return whole("bigint");
  if (base == "SMALLINT" || base == "TINYINT") return whole("smallint");
  if (base == "BIT") return alone("-CAST(CAST(" + x.sql + " AS double precision) <> 0 AS integer)", SqlType::Boolean);
  if (base == "FLOAT" || base == "REAL" || base == "DOUBLE")
    return atom("CAST(" + x.sql + " AS " + (base == "REAL" ? "real" : "double precision") + ")", SqlType::Number);
  if (base == "MONEY" || base == "SMALLMONEY" || base == "CURRENCY") return atom("CAST(" + x.sql + " AS numeric(19,4))", SqlType::Number);
  if (base == "DECIMAL" || base == "NUMERIC" || base == "DEC") {
    std::string args = type.find('(') != std::string::npos ? type.substr(type.find('(')) : "(18,0)";
    return atom("CAST(" + x.sql + " AS numeric" + args + ")", SqlType::Number);
  }
  throw TranslateError("CAST to " + type + " is not translated for PostgreSQL");
}

Out PgEmitter::function(const Expr& e, const std::string& name) {
  const size_t n = e.args.size();
  auto arity = [&](size_t lo, size_t hi) {
    if (n < lo || n > hi || e.starArgument || e.distinct)
      throw TranslateError(e.text + " called with " + std::to_string(n) + " arguments");
  };
  auto arg = [&](size_t i) { return value(*e.args[i]); };
  auto text = [&](size_t i) {
    Out a = arg(i);
    return a.type == SqlType::Text ? a.sql : "CAST(" + a.sql + " AS text)";
  };
  auto number = [&](size_t i) { return "CAST(" + arg(i).sql + " AS double precision)"; };
  auto integer = [&](size_t i) { return "CAST(" + arg(i).sql + " AS integer)"; };
  auto unit = [&](size_t i) {
    std::optional<Unit> u = unitOf(*e.args[i]);
    if (!u) throw TranslateError(e.text + " needs a date unit written out ('yyyy', 'm', 'd' ... or year, month, day ...)");
    return *u;
  };
  auto textResult = [](std::string sql) { return atom(std::move(sql), SqlType::Text); };
  auto numberResult = [](std::string sql) { return atom(std::move(sql), SqlType::Number); };

  // ---- dates ----
  if (name == "now" || name == "getdate" || name == "current_timestamp") {
    arity(0, 0);
    return atom("LOCALTIMESTAMP(0)", SqlType::Date);
  }
  if (name == "date") {
    arity(0, 0);
    return atom("CAST(CURRENT_DATE AS timestamp)", SqlType::Date);
  }
  if (name == "time") {
    arity(0, 0);
    return alone("TIMESTAMP '1899-12-30 00:00:00' + LOCALTIME(0)", SqlType::Date);
  }
  if (name == "year" || name == "month" || name == "day" || name == "hour" || name == "minute" || name == "second") {
    arity(1, 1);
    Unit u = name == "year"     ? Unit::Year
             : name == "month"  ? Unit::Month
             : name == "day"    ? Unit::Day
             : name == "hour"   ? Unit::Hour
             : name == "minute" ? Unit::Minute
                                : Unit::Second;
    return datePart(u, arg(0));
  }
  if (name == "weekday") {
    arity(1, 2);
    Out d = arg(0);
    if (n == 1) return datePart(Unit::Weekday, d);
    return alone("(" + field("DOW", d) + " + 7 - (" + integer(1) + " - 1)) % 7 + 1", SqlType::Number);
  }
  if (name == "datepart") {
    arity(2, 4);
    return datePart(unit(0), arg(1));
  }
  if (name == "dateadd") {
    arity(3, 3);
    return dateAdd(e, unit(0), arg(1), arg(2));
  }
  if (name == "datediff") {
    arity(3, 5);
    return dateDiff(unit(0), arg(1), arg(2));
  }
  if (name == "dateserial") {
    arity(3, 3);
    // Months and days beyond their range carry over, as in Jet.
    return alone("CAST(make_date(" + integer(0) + ", 1, 1) AS timestamp) + (" + integer(1) +
                     " - 1) * INTERVAL '1 month' + (" + integer(2) + " - 1) * INTERVAL '1 day'",
                 SqlType::Date);
  }
  if (name == "timeserial") {
    arity(3, 3);
    return alone("TIMESTAMP '1899-12-30 00:00:00' + " + integer(0) + " * INTERVAL '1 hour' + " + integer(1) +
                     " * INTERVAL '1 minute' + " + integer(2) + " * INTERVAL '1 second'",
                 SqlType::Date);
  }
  if (name == "datevalue") {
    arity(1, 1);
    return atom("date_trunc('day', " + stamp(arg(0)) + ")", SqlType::Date);
  }
  if (name == "timevalue") {
    arity(1, 1);
    return alone("TIMESTAMP '1899-12-30 00:00:00' + CAST(" + arg(0).sql + " AS time)", SqlType::Date);
  }
  if (name == "cdate") {
    arity(1, 1);
    return atom(stamp(arg(0)), SqlType::Date);
  }

  // ---- text ----
  if (name == "left" || name == "right") {
    arity(2, 2);
    return textResult(name + "(" + text(0) + ", " + integer(1) + ")");
  }
  if (name == "mid" || name == "substring") {
    arity(2, 3);
    return textResult("substr(" + text(0) + ", " + integer(1) + (n == 3 ? ", " + integer(2) : "") + ")");
  }
  if (name == "len" || name == "length") {
    arity(1, 1);
    return numberResult("length(" + text(0) + ")");
  }
  if (name == "trim") {
    arity(1, 1);
    return textResult("btrim(" + text(0) + ", ' ')");
  }
  if (name == "ltrim" || name == "rtrim") {
    arity(1, 1);
    return textResult(name + "(" + text(0) + ", ' ')");
  }
  if (name == "ucase" || name == "upper") {
    arity(1, 1);
    return textResult("upper(" + text(0) + ")");
  }
  if (name == "lcase" || name == "lower") {
    arity(1, 1);
    return textResult("lower(" + text(0) + ")");
  }
  if (name == "instr" || name == "charindex") {
    // InStr([start,] text, part[, compare]); CHARINDEX(part, text[, start]).
    arity(2, 4);
    std::string hay, needle, start;
    if (name == "charindex") {
      if (n > 3) arity(2, 3);
      needle = text(0);
      hay = text(1);
      if (n == 3) start = integer(2);
    } else if (n == 2) {
      hay = text(0);
      needle = text(1);
    } else {
      start = integer(0);
      hay = text(1);
      needle = text(2);
    }
    // Substring searches refuse a nondeterministic collation: "C" on lower-cased text.
    std::string found = "strpos(lower(" + (start.empty() ? hay : "substr(" + hay + ", " + start + ")") +
                        ") COLLATE \"C\", lower(" + needle + "))";
    if (start.empty()) return numberResult(found);
    return numberResult("CASE WHEN " + found + " > 0 THEN " + found + " + " + start + " - 1 ELSE 0 END");
  }
  if (name == "strcomp") {
    arity(2, 3);
    std::string a = text(0), b = text(1);
    std::string collate = n == 3 && e.args[2]->kind == ExprKind::Number && e.args[2]->text == "0" ? " COLLATE \"C\"" : kNoCase;
    return numberResult("CASE WHEN " + a + " IS NULL OR " + b + " IS NULL THEN NULL WHEN " + a + collate + " < " + b +
                        " THEN -1 WHEN " + a + collate + " = " + b + " THEN 0 ELSE 1 END");
  }
  if (name == "space") {
    arity(1, 1);
    return textResult("repeat(' ', " + integer(0) + ")");
  }
  if (name == "string" || name == "replicate") {
    arity(2, 2);
    if (name == "replicate") return textResult("repeat(" + text(0) + ", " + integer(1) + ")");
    return textResult("repeat(left(" + text(1) + ", 1), " + integer(0) + ")");
  }
  if (name == "replace") {
    arity(3, 3);
    return textResult("rvz_replace(" + text(0) + ", " + text(1) + ", " + text(2) + ")");
  }
  if (name == "chr" || name == "chrw" || name == "char" || name == "nchar") {
    arity(1, 1);
    return textResult("chr(" + integer(0) + ")");
  }
  if (name == "asc" || name == "ascw" || name == "ascii" || name == "unicode") {
    arity(1, 1);
    return numberResult("ascii(" + text(0) + ")");
  }
  if (name == "cstr") {
    arity(1, 1);
    return textResult(text(0));
  }
  if (name == "str") {
    arity(1, 3);
    if (n == 1) {
      // Jet's Str: a leading blank for the sign of a positive number.
      Out x = arg(0);
      return textResult("CASE WHEN " + x.sql + " >= 0 THEN ' ' || CAST(" + x.sql + " AS text) ELSE CAST(" + x.sql +
                        " AS text) END");
    }
    // SQL Server's STR(n, length[, decimals]): right-aligned in `length` characters.
    std::string decimals = n == 3 ? integer(2) : "0";
    return textResult("lpad(CAST(round(CAST(" + arg(0).sql + " AS numeric), " + decimals + ") AS text), " + integer(1) +
                      ")");
  }

  // ---- numbers ----
  if (name == "cdbl" || name == "csng" || name == "val") {
    arity(1, 1);
    if (name == "val")
      return numberResult("COALESCE(CAST(substring(ltrim(" + text(0) +
                          ") FROM '^[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?') AS double precision), 0)");
    return numberResult(number(0));
  }
  if (name == "ccur") {
    arity(1, 1);
    return numberResult("CAST(" + arg(0).sql + " AS numeric(19,4))");
  }
  if (name == "clng" || name == "cint") {
    arity(1, 1);
    // Rounded half to even, as Jet converts.
    return numberResult("CAST(" + number(0) + " AS " + (name == "clng" ? "integer" : "smallint") + ")");
  }
  if (name == "cbool") {
    arity(1, 1);
    return alone("-CAST(" + number(0) + " <> 0 AS integer)", SqlType::Boolean);
  }
  if (name == "fix" || name == "int") {
    arity(1, 1);
    return numberResult((name == "fix" ? "trunc(" : "floor(") + arg(0).sql + ")");
  }
  if (name == "abs") {
    arity(1, 1);
    return numberResult("abs(" + arg(0).sql + ")");
  }
  if (name == "sgn" || name == "sign") {
    arity(1, 1);
    return numberResult("CAST(sign(" + arg(0).sql + ") AS integer)");
  }
  if (name == "sqr" || name == "sqrt") {
    arity(1, 1);
    return numberResult("sqrt(" + number(0) + ")");
  }
  if (name == "round") {
    arity(1, 3);
    return numberResult("round(CAST(" + arg(0).sql + " AS numeric)" + (n >= 2 ? ", " + integer(1) : "") + ")");
  }
  if (name == "isnull" && n == 2) {
    // SQL Server's ISNULL(value, replacement).
    Out x = arg(0), d = arg(1);
    unify({&x, &d});
    return atom("coalesce(" + x.sql + ", " + d.sql + ")", x.type == d.type ? x.type : SqlType::Unknown);
  }
  if (name == "coalesce") {
    if (n == 0) arity(1, 1);
    std::vector<Out> outs;
    for (size_t i = 0; i < n; ++i) outs.push_back(arg(i));
    std::vector<Out*> all;
    for (Out& o : outs) all.push_back(&o);
    unify(all);
    std::string sql = "coalesce(";
    for (size_t i = 0; i < n; ++i) sql += (i ? ", " : "") + outs[i].sql;
    return atom(sql + ")", outs[0].type);
  }
  if (name == "@@identity" || name == "scope_identity") {
    arity(0, 0);
    return numberResult("rvz_identity()");
  }
  if (name == "format") return formatCall(e);
  if (name == "convert" || name == "cast") return convert(e);

  // ---- aggregates ----
  static const std::pair<const char*, const char*> kAggregates[] = {
      {"count", "count"},           {"sum", "sum"},         {"avg", "avg"},       {"min", "min"},
      {"max", "max"},               {"first", "rvz_first"}, {"last", "rvz_last"}, {"stdev", "stddev_samp"},
      {"stdevp", "stddev_pop"},     {"var", "var_samp"},    {"varp", "var_pop"},  {"stddev", "stddev_samp"}};
  for (const auto& [jet, pg] : kAggregates) {
    if (name != jet) continue;
    if (!e.starArgument) arity(1, 1);
    std::string sql = std::string(pg) + "(";
    if (e.starArgument) sql += "*";
    if (e.distinct) sql += "DISTINCT ";
    SqlType type = name == "count" || name == "sum" || name == "avg" || name.rfind("st", 0) == 0 || name.rfind("var", 0) == 0
                       ? SqlType::Number
                       : SqlType::Unknown;
    if (!e.starArgument) {
      Out a = arg(0);
      if (name == "min" || name == "max" || name == "first" || name == "last") type = a.type;
      sql += a.sql;
    }
    return atom(sql + ")" + aggregateFilter(name), type);
  }
  throw TranslateError("function " + e.text + " is not translated for PostgreSQL");
}

}  // namespace

bool pgLikePattern(const std::string& pattern, std::string& out) {
  out.clear();
  for (char c : pattern) {
    if (c == '*' || c == '%') out.push_back('%');
    else if (c == '?' || c == '_') out.push_back('_');
    else if (c == '#' || c == '[') return false;
    else if (c == '\\') out += "\\\\";
    else out.push_back(c);
  }
  return true;
}

std::string pgLikeRegex(const std::string& pattern) {
  std::string r = "^";
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '*' || c == '%') r += ".*";
    else if (c == '?' || c == '_') r += ".";
    else if (c == '#') r += "[0-9]";
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
