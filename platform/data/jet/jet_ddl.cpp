// Jet DDL on SQLite and PostgreSQL: CREATE TABLE with Access types, CREATE
// INDEX, DROP and ALTER TABLE. On SQLite the declared type keeps the Access
// spelling, so that it still tells the data layer the Access kind, while
// SQLite stores values right; on PostgreSQL it becomes the column type that
// pg_types.h gives for it.
#include <algorithm>
#include <array>

#include "platform/data/jet/jet_translator.h"
#include "platform/data/jet/pg_types.h"
#include "platform/text/text.h"

namespace rvz::data::jet {

namespace {

bool oneOf(const std::string& upper, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return upper == n; });
}

struct ColumnType {
  std::string sql;
  bool counter = false;
};

// A column type as written, with its size or precision; on SQLite the type
// keeps its spelling so that the declared type still names the Access kind.
ColumnType columnType(Parser& p, Target target) {
  std::vector<std::string> words;
  const Token& first = p.peek();
  if (first.kind != TokenKind::Word) p.fail("expected a column type");
  words.push_back(p.next().text);
  std::string u = text::upperCaseAscii(words[0]);
  auto takeIf = [&](std::string_view w) {
    if (p.isWord(w)) {
      words.push_back(p.next().text);
      return true;
    }
    return false;
  };
  if (u == "NATIONAL") {
    if (!takeIf("CHARACTER") && !takeIf("CHAR")) p.fail("expected CHAR after NATIONAL");
    takeIf("VARYING");
  } else if (u == "CHARACTER" || u == "CHAR" || u == "BINARY") {
    takeIf("VARYING");
  } else if (u == "DOUBLE") {
    takeIf("PRECISION");
  }
  std::string written;
  for (const std::string& w : words) written += (written.empty() ? "" : " ") + w;
  std::string upper = text::upperCaseAscii(written);

  std::string args;
  int count = 0;
  int32_t numbers[2] = {0, 0};
  if (p.acceptSymbol("(")) {
    auto number = [&]() {
      const Token& t = p.peek();
      if (t.kind != TokenKind::Number || t.text.find_first_not_of("0123456789") != std::string::npos ||
          t.text.size() > 9)
        p.fail("expected a whole number in a column size");
      numbers[count++] = static_cast<int32_t>(std::stol(t.text));
      return p.next().text;
    };
    args = "(" + number();
    if (p.acceptSymbol(",")) args += "," + number();
    p.expectSymbol(")");
    args += ")";
  }

  if (target == Target::Postgres) {
    std::optional<PgColumnDecl> pg = pgColumnTypeOf(written, count, numbers[0], numbers[1]);
    if (!pg) p.fail("unknown column type " + written);
    return {pg->sql, pg->identity};
  }

  if (oneOf(upper, {"COUNTER", "AUTOINCREMENT", "IDENTITY"})) {
    // COUNTER(seed, increment): SQLite's AUTOINCREMENT starts at 1 by 1.
    return {"INTEGER PRIMARY KEY AUTOINCREMENT", true};
  }
  if (oneOf(upper, {"MEMO", "LONGTEXT", "NOTE", "LONGCHAR", "NTEXT"})) {
    // SQLite would give MEMO numeric affinity and turn "007" into 7.
    return {"LONGTEXT COLLATE NOCASE", false};
  }
  if (oneOf(upper, {"ALPHANUMERIC", "STRING"})) {
    // Synonyms of TEXT whose names give SQLite numeric affinity.
    return {"VARCHAR" + args + " COLLATE NOCASE", false};
  }
  if (oneOf(upper, {"TEXT", "VARCHAR", "CHAR", "ANSIVARCHAR", "ANSICHAR", "NVARCHAR", "NCHAR", "CHARACTER",
                    "CHARACTER VARYING", "CHAR VARYING", "NATIONAL CHAR", "NATIONAL CHARACTER", "NATIONAL CHAR VARYING",
                    "NATIONAL CHARACTER VARYING"})) {
    return {written + args + " COLLATE NOCASE", false};
  }
  return {written + args, false};
}

std::vector<Name> nameList(Parser& p, const Emitter& e, bool allowOrder, std::string* withOrder = nullptr) {
  p.expectSymbol("(");
  std::vector<Name> names;
  do {
    names.push_back(p.parseName("a column name"));
    if (allowOrder) {
      std::string dir;
      if (p.acceptWord("DESC"))
        dir = " DESC";
      else if (p.acceptWord("ASC"))
        dir = " ASC";
      if (withOrder) *withOrder += (withOrder->empty() ? "" : ", ") + e.quoteName(names.back()) + dir;
    }
  } while (p.acceptSymbol(","));
  p.expectSymbol(")");
  return names;
}

std::string joinNames(const Emitter& e, const std::vector<Name>& names) {
  std::string s;
  for (const Name& n : names) s += (s.empty() ? "" : ", ") + e.quoteName(n);
  return s;
}

std::string references(Parser& p, Emitter& e) {
  std::string sql = " REFERENCES " + e.namePath(p.parseNamePath("a table name"));
  if (p.isSymbol("(")) sql += " (" + joinNames(e, nameList(p, e, false)) + ")";
  while (p.isWord("ON") && (p.isWord("UPDATE", 1) || p.isWord("DELETE", 1))) {
    p.next();
    std::string what = text::upperCaseAscii(p.next().text);
    std::string action;
    if (p.acceptWord("CASCADE"))
      action = "CASCADE";
    else if (p.acceptWord("SET")) {
      p.expectWord("NULL");
      action = "SET NULL";
    } else if (p.acceptWord("NO")) {
      p.expectWord("ACTION");
      action = "NO ACTION";
    } else {
      p.fail("expected CASCADE, SET NULL or NO ACTION");
    }
    sql += " ON " + what + " " + action;
  }
  return sql;
}

// A default value: literals as they are, anything else parenthesised as
// SQLite requires.
std::string defaultValue(Parser& p, Emitter& e) {
  const Token& t = p.peek();
  if (t.kind == TokenKind::Word && (equalsWordNoCase(t.text, "YES") || equalsWordNoCase(t.text, "ON") ||
                                    equalsWordNoCase(t.text, "NO") || equalsWordNoCase(t.text, "OFF"))) {
    bool yes = equalsWordNoCase(t.text, "YES") || equalsWordNoCase(t.text, "ON");
    p.next();
    return yes ? "-1" : "0";
  }
  ExprPtr v = p.parseExpression();
  Out o = e.value(*v);
  bool literal = v->kind == ExprKind::Number || v->kind == ExprKind::String || v->kind == ExprKind::Date ||
                 v->kind == ExprKind::Null || v->kind == ExprKind::Bool ||
                 (v->kind == ExprKind::Negate && v->args[0]->kind == ExprKind::Number);
  return literal ? o.sql : "(" + o.sql + ")";
}

struct ColumnOut {
  std::string sql;
  bool counter = false;
  std::string name;                         // lower case, to match key columns
  size_t primaryKeyAt = std::string::npos;  // where " PRIMARY KEY" stands in sql
  bool notNull = false;                     // NOT NULL written
};

std::string lowerName(const Name& n) {
  std::string r = n.text;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

// One column definition, its constraints translated.
ColumnOut columnDefinition(Parser& p, Emitter& e, bool forAlter) {
  ColumnOut c;
  Name name = p.parseName("a column name");
  c.name = lowerName(name);
  ColumnType type = columnType(p, e.target());
  if (type.counter && forAlter && e.target() == Target::Sqlite) p.fail("SQLite cannot add a counter column to a table");
  c.counter = type.counter;
  c.sql = e.quoteName(name) + " " + type.sql;
  for (;;) {
    if (p.isSymbol(",") || p.isSymbol(")") || p.peek().kind == TokenKind::End || p.isSymbol(";")) break;
    std::string constraintName;
    if (p.acceptWord("CONSTRAINT")) constraintName = " CONSTRAINT " + e.quoteName(p.parseName("a constraint name"));
    if (p.acceptWord("NOT")) {
      p.expectWord("NULL");
      c.sql += constraintName + " NOT NULL";
      c.notNull = true;
    } else if (p.acceptWord("NULL")) {
      c.sql += constraintName + " NULL";
    } else if (p.acceptWord("PRIMARY")) {
      p.expectWord("KEY");
      if (!c.counter || e.target() == Target::Postgres) {  // on SQLite a counter is the key already
        c.sql += constraintName;
        c.primaryKeyAt = c.sql.size();
        c.sql += " PRIMARY KEY";
      }
    } else if (p.acceptWord("UNIQUE")) {
      c.sql += constraintName + " UNIQUE";
    } else if (p.isWord("REFERENCES")) {
      p.next();
      c.sql += constraintName + references(p, e);
    } else if (p.acceptWord("DEFAULT")) {
      c.sql += constraintName + " DEFAULT " + defaultValue(p, e);
    } else if (p.acceptWord("CHECK")) {
      p.expectSymbol("(");
      ExprPtr x = p.parseExpression();
      p.expectSymbol(")");
      c.sql += constraintName + " CHECK (" + e.condition(*x).sql + ")";
    } else if (p.acceptWord("WITH")) {
      // WITH COMPRESSION (Jet's Unicode compression) has no SQLite meaning.
      if (!p.acceptWord("COMPRESSION") && !p.acceptWord("COMP")) p.fail("expected COMPRESSION after WITH");
    } else {
      p.fail("unknown column constraint");
    }
  }
  return c;
}

// A constraint of the table (not of one column), as written after the
// columns.
struct TableConstraint {
  std::string name, kind, body;
  std::vector<std::string> keyColumns;  // of a primary key, lower case
};

bool atTableConstraint(const Parser& p) {
  return p.isWord("CONSTRAINT") || p.isWord("PRIMARY") || p.isWord("UNIQUE") || p.isWord("FOREIGN") ||
         p.isWord("CHECK");
}

TableConstraint tableConstraint(Parser& p, Emitter& e) {
  TableConstraint tc;
  if (p.acceptWord("CONSTRAINT")) tc.name = "CONSTRAINT " + e.quoteName(p.parseName("a constraint name")) + " ";
  if (p.acceptWord("PRIMARY")) {
    p.expectWord("KEY");
    std::vector<Name> cols = nameList(p, e, true);
    tc.kind = "PRIMARY KEY";
    tc.body = " (" + joinNames(e, cols) + ")";
    for (const Name& n : cols) tc.keyColumns.push_back(lowerName(n));
  } else if (p.acceptWord("UNIQUE")) {
    tc.kind = "UNIQUE";
    tc.body = " (" + joinNames(e, nameList(p, e, true)) + ")";
  } else if (p.acceptWord("FOREIGN")) {
    p.expectWord("KEY");
    tc.kind = "FOREIGN KEY";
    tc.body = " (" + joinNames(e, nameList(p, e, false)) + ")";
    p.expectWord("REFERENCES");
    tc.body += references(p, e);
  } else if (p.acceptWord("CHECK")) {
    p.expectSymbol("(");
    ExprPtr x = p.parseExpression();
    p.expectSymbol(")");
    tc.kind = "CHECK";
    tc.body = " (" + e.condition(*x).sql + ")";
  } else {
    p.fail("expected PRIMARY KEY, UNIQUE, FOREIGN KEY or CHECK");
  }
  return tc;
}

// The columns and constraints of a new table as the target writes them: on
// SQLite a counter column is the table's key (the rowid), and every key
// column is NOT NULL.
std::string tableElements(Parser& p, Target target, std::vector<ColumnOut>& columns,
                          const std::vector<TableConstraint>& constraints) {
  auto counter = std::find_if(columns.begin(), columns.end(), [](const ColumnOut& c) { return c.counter; });
  if (counter != columns.end() &&
      std::count_if(columns.begin(), columns.end(), [](const ColumnOut& c) { return c.counter; }) > 1)
    p.fail("a table has at most one counter column");
  // On PostgreSQL a counter is an identity column beside the keys as
  // written; only SQLite makes it the table's key.
  if (target == Target::Postgres) counter = columns.end();

  // A key column of Jet never holds Null; SQLite lets Null into a primary
  // key that is not the rowid, so the key's columns are made NOT NULL.
  auto requireValue = [](ColumnOut& c) {
    if (!c.notNull && !c.counter) c.sql += " NOT NULL";
    c.notNull = true;
  };
  if (counter == columns.end())
    for (const TableConstraint& tc : constraints)
      if (tc.kind == "PRIMARY KEY")
        for (ColumnOut& c : columns)
          if (std::find(tc.keyColumns.begin(), tc.keyColumns.end(), c.name) != tc.keyColumns.end()) requireValue(c);

  std::string sql;
  for (ColumnOut& c : columns) {
    if (c.primaryKeyAt != std::string::npos) {
      if (counter != columns.end() && !c.counter)
        c.sql.replace(c.primaryKeyAt, 12, " UNIQUE");  // the counter holds the key
      else
        requireValue(c);
    }
    sql += (sql.empty() ? "" : ", ") + c.sql;
  }
  for (const TableConstraint& tc : constraints) {
    std::string kind = tc.kind;
    if (kind == "PRIMARY KEY" && counter != columns.end()) {
      // The counter is SQLite's rowid key; a key on it alone is that key,
      // a key over other columns stays a unique constraint.
      if (tc.keyColumns.size() == 1 && tc.keyColumns[0] == counter->name) continue;
      kind = "UNIQUE";
    }
    sql += (sql.empty() ? "" : ", ") + tc.name + kind + tc.body;
  }
  return sql;
}

std::string createTable(Parser& p, Emitter& e) {
  std::vector<Name> tableName = p.parseNamePath("a table name");
  // SQL Server's #name is a table of the session.
  const bool temporary = e.target() == Target::Postgres && tableName.back().text[0] == '#';
  std::string table = e.namePath(tableName);
  p.expectSymbol("(");
  std::vector<ColumnOut> columns;
  std::vector<TableConstraint> constraints;
  do {
    if (atTableConstraint(p))
      constraints.push_back(tableConstraint(p, e));
    else
      columns.push_back(columnDefinition(p, e, false));
  } while (p.acceptSymbol(","));
  p.expectSymbol(")");
  p.expectEnd();
  std::string elements = tableElements(p, e.target(), columns, constraints);
  return (temporary ? "CREATE TEMP TABLE " : "CREATE TABLE ") + table + " (" + elements + ")";
}

// SQLite's index names are unique in the whole database, Jet's only per
// table: the SQLite name is "table.index".
std::string indexName(const Emitter& e, const std::vector<Name>& table, const Name& index) {
  return e.quoteName({table.back().text + "." + index.text, true});
}

std::string createIndex(Parser& p, Emitter& e, bool unique) {
  Name name = p.parseName("an index name");
  p.expectWord("ON");
  std::vector<Name> table = p.parseNamePath("a table name");
  std::string cols;
  nameList(p, e, true, &cols);
  if (p.acceptWord("WITH")) {
    do {
      if (p.acceptWord("PRIMARY")) {
        unique = true;  // a primary key cannot be made after the table exists
      } else if (p.acceptWord("DISALLOW") || p.acceptWord("IGNORE")) {
        p.expectWord("NULL");
      } else {
        p.fail("expected PRIMARY, DISALLOW NULL or IGNORE NULL");
      }
    } while (p.acceptWord("WITH") || p.acceptSymbol(",") || p.isWord("PRIMARY") || p.isWord("DISALLOW") ||
             p.isWord("IGNORE"));
  }
  p.expectEnd();
  return std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + indexName(e, table, name) + " ON " +
         e.namePath(table) + " (" + cols + ")";
}

}  // namespace

std::string translateDdl(Parser& p, Emitter& e) {
  if (p.acceptWord("CREATE")) {
    bool unique = p.acceptWord("UNIQUE");
    if (p.acceptWord("INDEX")) return createIndex(p, e, unique);
    if (unique) p.fail("expected INDEX after UNIQUE");
    if (p.acceptWord("VIEW")) {
      std::string name = e.namePath(p.parseNamePath("a view name"));
      p.expectWord("AS");
      if (!p.isWord("SELECT")) p.fail("expected SELECT after AS");
      Statement view = p.parseStatement();
      return "CREATE VIEW " + name + " AS " + e.statement(view);
    }
    p.expectWord("TABLE");
    return createTable(p, e);
  }
  if (p.acceptWord("DROP")) {
    if (p.acceptWord("TABLE")) {
      std::string sql = "DROP TABLE " + e.namePath(p.parseNamePath("a table name"));
      p.expectEnd();
      return sql;
    }
    if (p.acceptWord("VIEW")) {
      std::string sql = "DROP VIEW " + e.namePath(p.parseNamePath("a view name"));
      p.expectEnd();
      return sql;
    }
    if (p.acceptWord("INDEX")) {
      Name name = p.parseName("an index name");
      p.expectWord("ON");
      std::vector<Name> table = p.parseNamePath("a table name");
      p.expectEnd();
      return "DROP INDEX " + indexName(e, table, name);
    }
    p.fail("expected TABLE, VIEW or INDEX after DROP");
  }
  p.expectWord("ALTER");
  p.expectWord("TABLE");
  std::string table = e.namePath(p.parseNamePath("a table name"));
  if (p.acceptWord("ADD")) {
    if (p.isWord("CONSTRAINT") || p.isWord("PRIMARY") || p.isWord("UNIQUE") || p.isWord("FOREIGN"))
      p.fail(e.target() == Target::Sqlite ? "SQLite cannot add a constraint to a table"
                                          : "ALTER TABLE ... ADD of a constraint is not translated");
    p.acceptWord("COLUMN");
    ColumnOut c = columnDefinition(p, e, true);
    p.expectEnd();
    return "ALTER TABLE " + table + " ADD COLUMN " + c.sql;
  }
  if (p.acceptWord("DROP")) {
    if (p.isWord("CONSTRAINT"))
      p.fail(e.target() == Target::Sqlite ? "SQLite cannot drop a constraint of a table"
                                          : "ALTER TABLE ... DROP of a constraint is not translated");
    p.acceptWord("COLUMN");
    Name column = p.parseName("a column name");
    p.expectEnd();
    return "ALTER TABLE " + table + " DROP COLUMN " + e.quoteName(column);
  }
  p.fail("only ADD COLUMN and DROP COLUMN are translated for ALTER TABLE");
}

}  // namespace rvz::data::jet
