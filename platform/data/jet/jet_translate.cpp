// translate() and registerFunctions(): the entry points of the Jet dialect.
#include <memory>
#include <new>
#include <optional>

#include "platform/data/jet/jet_dialect.h"
#include "platform/data/jet/jet_functions.h"
#include "platform/data/jet/jet_translator.h"
#include "platform/data/jet/jet_typer.h"

namespace rvz::data::jet {

namespace {

// A crosstab: its SQL once the pivot values are known (from its IN list or
// from the database), else the query that finds them.
void translateCrosstab(const Statement& s, Emitter& e, Typer* typer,
                       const std::optional<std::vector<BaseColumn>>& headings, const std::vector<PivotValue>* values,
                       Translation& t) {
  const CrosstabStatement& x = *s.crosstab;
  if (x.in.empty() && !values) {
    if (!typer) throw TranslateError("a crosstab without PIVOT ... IN needs the values it pivots on");
    t.pivotValuesSql = e.pivotValuesQuery(x);
    return;
  }
  std::vector<Emitter::PivotColumn> columns = x.in.empty() ? e.pivotColumns(x, *values) : e.pivotColumns(x);
  t.sql = e.crosstab(x, columns);
  if (typer && headings) {
    for (const BaseColumn& h : *headings) t.columns.push_back(h.type);
    for (size_t i = 0; i < columns.size(); ++i) t.columns.push_back(typer->crosstabValueType());
  }
}

constexpr size_t kMaxStatements = 1000;

// One statement of the text, read from `p`; its result types, made table or
// pivot query into `t`.
// The database's schema with the tables that the statements before in the
// same batch made (SELECT ... INTO #t): the database does not hold them yet.
class BatchSchema final : public Schema {
 public:
  explicit BatchSchema(Schema& db) : db_(db) {}

  void made(std::string name, std::vector<BaseColumn> columns) {
    for (BaseColumn& c : columns) {
      c.type.table.clear();
      c.type.column.clear();
    }
    made_.emplace_back(std::move(name), std::move(columns));
  }

  std::optional<std::vector<BaseColumn>> columnsOf(std::string_view table) override {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
      if (equalsWordNoCase(it->first, table)) return it->second;
    return db_.columnsOf(table);
  }

  std::string tableName(std::string_view table) override {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
      if (equalsWordNoCase(it->first, table)) return it->first;
    return db_.tableName(table);
  }

 private:
  Schema& db_;
  std::vector<std::pair<std::string, std::vector<BaseColumn>>> made_;
};

// The typing's products lent to the emitter for one statement, taken back
// when it is written (the next statement of a batch has its own).
struct TypingLent {
  TypingLent(Emitter& e, const Typer& typer) : e(e) {
    e.useColumnKinds(&typer.columnKinds());
    e.useSpellings(&typer.spellings());
    e.useWrittenTypes(&typer.writtenTypes());
  }
  ~TypingLent() {
    e.useColumnKinds(nullptr);
    e.useSpellings(nullptr);
    e.useWrittenTypes(nullptr);
  }
  TypingLent(const TypingLent&) = delete;
  TypingLent& operator=(const TypingLent&) = delete;
  Emitter& e;
};

std::string translateOne(Parser& p, Emitter& e, Schema* schema, const std::vector<PivotValue>* pivotValues,
                         Translation& t) {
  if (schema && e.target() == Target::Postgres && p.isWord("CREATE") && p.isWord("VIEW", 1)) {
    // A view's SELECT names tables and columns in their stored spelling too.
    p.next();
    p.next();
    std::string name = e.namePath(p.parseNamePath("a view name"));
    p.expectWord("AS");
    if (!p.isWord("SELECT")) p.fail("expected SELECT after AS");
    Statement view = p.parseStatement();
    Typer typer(*schema);
    typer.statement(view);
    TypingLent lent(e, typer);
    return "CREATE VIEW " + name + " AS " + e.statement(view);
  }
  if (p.isWord("CREATE") || p.isWord("DROP") || p.isWord("ALTER")) return translateDdl(p, e);
  Statement s = p.parseStatement();
  for (const ParameterDecl& d : s.parameters) declaredType(d);  // names a type Jet knows
  std::optional<Typer> typer;
  if (schema) {
    typer.emplace(*schema);
    std::optional<std::vector<BaseColumn>> columns = typer->statement(s);
    TypingLent lent(e, *typer);
    if (s.kind == StatementKind::Crosstab) {
      Translation one;
      translateCrosstab(s, e, &*typer, columns, pivotValues, one);
      t.columns = std::move(one.columns);
      t.pivotValuesSql = std::move(one.pivotValuesSql);
      return one.sql;
    }
    const SelectCore* into = makeTableOf(s);
    if (into && e.target() == Target::Sqlite) {
      // The provider creates the table with the result's types and
      // fills it from the select.
      if (!columns) throw TranslateError("the columns of the made table cannot be told (a '*' over an unknown table)");
      MakeTable m;
      m.table = into->into.back().text;
      m.selectSql = e.makeTableSelect(s);
      m.columns = std::move(*columns);
      std::string sql = m.selectSql;
      t.makeTable = std::move(m);
      return sql;
    }
    std::string sql = e.statement(s);
    if (into) {
      // PostgreSQL makes the table itself (CREATE TABLE ... AS): no result;
      // the statements after it in the batch see its columns.
      if (columns)
        if (auto* batch = dynamic_cast<BatchSchema*>(schema)) batch->made(into->into.back().text, std::move(*columns));
      return sql;
    }
    if (columns)
      for (BaseColumn& c : *columns) t.columns.push_back(std::move(c.type));
    return sql;
  }
  if (s.kind == StatementKind::Crosstab) {
    Translation one;
    translateCrosstab(s, e, nullptr, std::nullopt, pivotValues, one);
    t.pivotValuesSql = std::move(one.pivotValuesSql);
    return one.sql;
  }
  return e.statement(s);
}

}  // namespace

Translation translateDetailed(std::string_view jetSql, Schema* schema, const std::vector<PivotValue>* pivotValues,
                              Target target) {
  Translation t;
  try {
    LexResult lex = tokenize(jetSql);
    if (!lex.ok()) {
      t.reason = lex.error;
    } else if (lex.tokens.size() <= 1) {
      t.reason = "empty command text";
    } else {
      Parser p(lex.tokens);
      // A text of SQL Server's dialect may hold several statements.
      if (target == Target::Postgres) p.readSqlServerForms();
      // Alias substitution repeats expressions; a text that would grow
      // beyond this is not one a client means.
      // A crosstab writes its cell once per pivot value on top of that.
      const size_t limit = jetSql.size() * 16 + 65536;
      std::unique_ptr<Emitter> emitter = makeEmitter(pivotValues ? limit * (pivotValues->size() + 1) : limit, target);
      Emitter& e = *emitter;
      std::optional<BatchSchema> batch;
      if (schema && target == Target::Postgres) batch.emplace(*schema);
      do {
        if (t.statements.size() >= kMaxStatements) throw TranslateError("more than 1000 statements in one text");
        t.columns.clear();
        t.makeTable.reset();
        t.pivotValuesSql.reset();
        t.statements.push_back(translateOne(p, e, batch ? &*batch : schema, pivotValues, t));
      } while (target == Target::Postgres && !p.atEnd());
      for (const std::string& one : t.statements) t.sql += (t.sql.empty() ? "" : "; ") + one;
      t.translated = true;
      return t;
    }
  } catch (const TranslateError& e) {
    t.reason = e.what();
  } catch (const std::bad_alloc&) {
    t.reason = "out of memory";
  }
  t.sql = std::string(jetSql);
  t.statements.clear();
  t.columns.clear();
  t.makeTable.reset();
  t.pivotValuesSql.reset();
  return t;
}

std::string translate(std::string_view jetSql) {
  try {
    return translateDetailed(jetSql).sql;
  } catch (const std::exception&) {
    return std::string(jetSql);
  }
}

TypedTranslation translateTyped(std::string_view jetSql, Schema& schema, Target target) {
  Translation t = translateDetailed(jetSql, &schema, nullptr, target);
  return {std::move(t.sql),       t.translated,           std::move(t.reason),
          std::move(t.columns),   std::move(t.makeTable), std::move(t.pivotValuesSql),
          std::move(t.statements)};
}

TypedTranslation translateCrosstab(std::string_view jetSql, Schema& schema, const std::vector<PivotValue>& values,
                                   Target target) {
  Translation t = translateDetailed(jetSql, &schema, &values, target);
  return {std::move(t.sql),       t.translated,           std::move(t.reason),
          std::move(t.columns),   std::move(t.makeTable), std::move(t.pivotValuesSql),
          std::move(t.statements)};
}

std::vector<DeclaredParameter> declaredParameters(std::string_view jetSql) {
  std::vector<DeclaredParameter> out;
  try {
    LexResult lex = tokenize(jetSql);
    if (!lex.ok()) return out;
    Parser p(lex.tokens);
    if (!p.isWord("PARAMETERS")) return out;
    for (const ParameterDecl& d : p.parseParameterDecls()) out.push_back({d.name.text, declaredType(d)});
  } catch (const TranslateError&) {
    out.clear();
  } catch (const std::bad_alloc&) {
    out.clear();
  }
  return out;
}

void registerFunctions(sqlite3* db) { installJetFunctions(db); }

}  // namespace rvz::data::jet
