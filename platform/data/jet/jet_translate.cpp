// translate() and registerFunctions(): the entry points of the Jet dialect.
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
      // Alias substitution repeats expressions; a text that would grow
      // beyond this is not one a client means.
      // A crosstab writes its cell once per pivot value on top of that.
      const size_t limit = jetSql.size() * 16 + 65536;
      Emitter e(pivotValues ? limit * (pivotValues->size() + 1) : limit, target);
      if (p.isWord("CREATE") || p.isWord("DROP") || p.isWord("ALTER")) {
        t.sql = translateDdl(p, e);
      } else if (target == Target::Postgres) {
        throw TranslateError("queries and statements are not yet translated for PostgreSQL");
      } else {
        Statement s = p.parseStatement();
        for (const ParameterDecl& d : s.parameters) declaredType(d);  // names a type Jet knows
        if (s.kind == StatementKind::Crosstab) {
          std::optional<Typer> typer;
          std::optional<std::vector<BaseColumn>> headings;
          if (schema) {
            typer.emplace(*schema);
            headings = typer->statement(s);
            e.useColumnKinds(&typer->columnKinds());
          }
          translateCrosstab(s, e, typer ? &*typer : nullptr, headings, pivotValues, t);
        } else if (schema) {
          Typer typer(*schema);
          auto columns = typer.statement(s);
          e.useColumnKinds(&typer.columnKinds());
          if (const SelectCore* into = makeTableOf(s)) {
            // The provider creates the table with the result's types and
            // fills it from the select.
            if (!columns) throw TranslateError("the columns of the made table cannot be told (a '*' over an unknown table)");
            MakeTable m;
            m.table = into->into.back().text;
            m.selectSql = e.makeTableSelect(s);
            m.columns = std::move(*columns);
            t.sql = m.selectSql;
            t.makeTable = std::move(m);
          } else {
            t.sql = e.statement(s);
            if (columns)
              for (BaseColumn& c : *columns) t.columns.push_back(std::move(c.type));
          }
        } else {
          t.sql = e.statement(s);
        }
      }
      t.translated = true;
      t.statements.push_back(t.sql);
      return t;
    }
  } catch (const TranslateError& e) {
    t.reason = e.what();
  } catch (const std::bad_alloc&) {
    t.reason = "out of memory";
  }
  t.sql = std::string(jetSql);
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
  return {std::move(t.sql),     t.translated,         std::move(t.reason),    std::move(t.columns),
          std::move(t.makeTable), std::move(t.pivotValuesSql), std::move(t.statements)};
}

TypedTranslation translateCrosstab(std::string_view jetSql, Schema& schema, const std::vector<PivotValue>& values,
                                   Target target) {
  Translation t = translateDetailed(jetSql, &schema, &values, target);
  return {std::move(t.sql),     t.translated,         std::move(t.reason),    std::move(t.columns),
          std::move(t.makeTable), std::move(t.pivotValuesSql), std::move(t.statements)};
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
