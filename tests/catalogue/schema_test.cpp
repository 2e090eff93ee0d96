// The built-in schemas against the catalogue: both databases are created
// through the Jet dialect translator, every dataset's SQL must prepare on
// them, every declared field must find a result column whose declared type
// it binds to, and the statements the resolver writes must find their
// columns. Failures name the module, the dataset and the field.
#include "catalogue/schema.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/declaration.h"
#include "platform/data/jet/jet_dialect.h"

using namespace rvz::catalogue;
namespace jet = rvz::data::jet;

namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool sameName(std::string_view a, std::string_view b) { return upper(a) == upper(b); }

// The command text a dataset sends: every line followed by CR LF.
std::string commandText(const DatasetDecl& d) {
  std::string text;
  for (auto line : d.sql) {
    text += line;
    text += "\r\n";
  }
  return text;
}

struct Db {
  sqlite3* db = nullptr;
  Db() {
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) throw std::runtime_error("cannot open an in-memory database");
    jet::registerFunctions(db);
  }
  ~Db() { sqlite3_close(db); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;
};

using Stmt = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

// Prepares a Jet text after translation; the error names both texts.
Stmt prepareJet(sqlite3* db, const std::string& jetText, std::string& error) {
  std::string sql = jet::translate(jetText);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK) {
    error = std::string(sqlite3_errmsg(db)) + "\n  Jet text: " + jetText + "\n  translated: " + sql;
    sqlite3_finalize(st);
    return Stmt(nullptr, &sqlite3_finalize);
  }
  return Stmt(st, &sqlite3_finalize);
}

// Runs every statement of a schema; returns the failures.
std::vector<std::string> createSchema(sqlite3* db, const std::vector<std::string>& statements) {
  std::vector<std::string> failures;
  for (const auto& s : statements) {
    std::string error;
    Stmt st = prepareJet(db, s, error);
    if (!st) {
      failures.push_back(error);
      continue;
    }
    if (sqlite3_step(st.get()) != SQLITE_DONE) failures.push_back(std::string(sqlite3_errmsg(db)) + "\n  " + s);
  }
  return failures;
}

// ---- The kinds a result column's declared type gives, as the data layer reads them.

enum class Kind {
  String,
  FixedChar,
  WideString,
  Memo,
  Blob,
  SmallInt,
  Integer,
  AutoInc,
  Boolean,
  Float,
  BCD,
  Date,
  Time,
  DateTime,
  Guid
};

const char* kindName(Kind k) {
  switch (k) {
    case Kind::String: return "String";
    case Kind::FixedChar: return "FixedChar";
    case Kind::WideString: return "WideString";
    case Kind::Memo: return "Memo";
    case Kind::Blob: return "Blob";
    case Kind::SmallInt: return "SmallInt";
    case Kind::Integer: return "Integer";
    case Kind::AutoInc: return "AutoInc";
    case Kind::Boolean: return "Boolean";
    case Kind::Float: return "Float";
    case Kind::BCD: return "BCD";
    case Kind::Date: return "Date";
    case Kind::Time: return "Time";
    case Kind::DateTime: return "DateTime";
    case Kind::Guid: return "Guid";
  }
  return "?";
}

struct ColumnKind {
  Kind kind;
  int size = 0;  // characters of fixed narrow text
};

// "TEXT(20) COLLATE NOCASE" -> TEXT and 20. nullopt for a type the data
// layer does not know.
std::optional<ColumnKind> kindOfDeclaredType(std::string_view decltype_, bool autoIncrement) {
  std::string t = upper(decltype_);
  size_t end = t.find_first_of(" (");
  std::string word = t.substr(0, end);
  std::vector<int> args;
  if (size_t open = t.find('('); open != std::string::npos) {
    size_t close = t.find(')', open);
    std::string inner = t.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    size_t pos = 0;
    while (pos < inner.size()) {
      size_t comma = inner.find(',', pos);
      args.push_back(std::atoi(inner.substr(pos, comma - pos).c_str()));
      if (comma == std::string::npos) break;
      pos = comma + 1;
    }
  }
  auto is = [&](std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return word == n; });
  };
  if (is({"TEXT", "VARCHAR", "CHAR"})) return ColumnKind{Kind::WideString};
  if (is({"ANSIVARCHAR"})) return ColumnKind{Kind::String};
  if (is({"ANSICHAR"})) return ColumnKind{Kind::FixedChar, args.empty() ? 255 : args[0]};
  if (is({"LONGTEXT", "MEMO", "NOTE"})) return ColumnKind{Kind::Memo};
  if (is({"INTEGER"})) return ColumnKind{autoIncrement ? Kind::AutoInc : Kind::Integer};
  if (is({"LONG", "INT"})) return ColumnKind{Kind::Integer};
  if (is({"SMALLINT", "SHORT", "BYTE"})) return ColumnKind{Kind::SmallInt};
  if (is({"YESNO", "BIT", "LOGICAL"})) return ColumnKind{Kind::Boolean};
  if (is({"DOUBLE", "FLOAT", "NUMBER", "REAL"})) return ColumnKind{Kind::Float};
  if (is({"CURRENCY", "MONEY", "DECIMAL"})) return ColumnKind{Kind::BCD};
  if (is({"NUMERIC"})) return ColumnKind{args.size() == 2 && args[1] == 0 && args[0] < 10 ? Kind::Integer : Kind::BCD};
  if (is({"DATETIME"})) return ColumnKind{Kind::DateTime};
  if (is({"DATE"})) return ColumnKind{Kind::Date};
  if (is({"TIME"})) return ColumnKind{Kind::Time};
  if (is({"OLEOBJECT", "LONGBINARY", "IMAGE", "BLOB"})) return ColumnKind{Kind::Blob};
  if (is({"GUID"})) return ColumnKind{Kind::Guid, 38};
  return std::nullopt;
}

// The binding rule: text fields take narrow and wide text at once, float
// and decimal fields take Float and BCD at once, otherwise field and column
// must be of one family; a string field over fixed narrow text must not be
// larger than the column. Returns the failure, or empty.
std::string bindingFailure(const FieldDecl& f, ColumnKind c) {
  FieldType t = f.type();
  bool text = t == FieldType::String || t == FieldType::WideString;
  if (text && (c.kind == Kind::String || c.kind == Kind::WideString)) return {};
  if ((t == FieldType::Float || t == FieldType::BCD) && (c.kind == Kind::Float || c.kind == Kind::BCD)) return {};
  auto family = [](int which) -> std::set<Kind> {
    switch (which) {
      case 0: return {Kind::String, Kind::FixedChar, Kind::Guid};
      case 1: return {Kind::SmallInt, Kind::Integer, Kind::AutoInc};
      case 2: return {Kind::Date, Kind::Time, Kind::DateTime};
      default: return {Kind::Memo, Kind::Blob};
    }
  };
  std::optional<int> fieldFamily;
  switch (t) {
    case FieldType::String: fieldFamily = 0; break;
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::AutoInc: fieldFamily = 1; break;
    case FieldType::Date:
    case FieldType::DateTime: fieldFamily = 2; break;
    case FieldType::Memo:
    case FieldType::Blob: fieldFamily = 3; break;
    default: break;
  }
  bool same =
      fieldFamily ? family(*fieldFamily).count(c.kind) > 0 : (t == FieldType::Boolean && c.kind == Kind::Boolean);
  if (!same)
    return std::string("type mismatch, expecting ") + std::string(fieldTypeName(t)) + " actual " + kindName(c.kind);
  if (t == FieldType::String && c.kind != Kind::String && f.typeSpec.size > c.size)
    return "size mismatch, expecting " + std::to_string(f.typeSpec.size) + " actual " + std::to_string(c.size);
  return {};
}

// Whether a result column is a plain column of an auto-increment column.
bool isAutoIncrement(sqlite3* db, sqlite3_stmt* st, int i) {
  const char* table = sqlite3_column_table_name(st, i);
  const char* column = sqlite3_column_origin_name(st, i);
  if (!table || !column) return false;
  int autoinc = 0;
  if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(st, i), table, column, nullptr, nullptr, nullptr,
                                    nullptr, &autoinc) != SQLITE_OK)
    return false;
  return autoinc != 0;
}

// The update table: the first word after the first FROM, as the resolver
// takes it.
std::string updateTable(const std::string& text) {
  std::vector<std::string> words;
  std::string cur;
  for (char c : text) {
    if (c == ' ' || c == '\r' || c == '\n' || c == ',' || c == '(') {
      if (!cur.empty()) words.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) words.push_back(cur);
  for (size_t i = 0; i + 1 < words.size(); ++i)
    if (sameName(words[i], "from")) {
      std::string t = words[i + 1];
      if (!t.empty() && t.back() == ';') t.pop_back();
      return t;
    }
  return {};
}

std::set<std::string> columnsOf(sqlite3* db, const std::string& table) {
  std::set<std::string> cols;
  std::string sql = "select name from pragma_table_info('" + table + "')";
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
    while (sqlite3_step(st) == SQLITE_ROW)
      cols.insert(upper(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
  sqlite3_finalize(st);
  return cols;
}

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto companyFailures = createSchema(company.db, companySchemaStatements());
    auto registryFailures = createSchema(registry.db, registrySchemaStatements());
    for (const auto& f : companyFailures) ADD_FAILURE() << "company schema statement failed: " << f;
    for (const auto& f : registryFailures) ADD_FAILURE() << "registry schema statement failed: " << f;
  }
  sqlite3* dbFor(const DatasetDecl& d) const { return d.connection == Connection::Cn ? company.db : registry.db; }

  Db company, registry;
};

// Every declared field of every dataset finds its column, and the column's
// declared type binds. Also: auto-increment fields lie over counters, since
// the resolver leaves them out of every INSERT.
TEST_F(SchemaTest, EveryDatasetPreparesAndEveryDeclaredFieldBinds) {
  int prepared = 0, bound = 0, computed = 0;
  for (const auto& m : dataServiceModules()) {
    for (const auto& d : m.datasets) {
      if (d.sql.empty()) continue;
      std::string where = std::string(m.name) + "/" + std::string(d.name);
      std::string error;
      Stmt st = prepareJet(dbFor(d), commandText(d), error);
      if (!st) {
        ADD_FAILURE() << where << ": SQL does not prepare: " << error;
        continue;
      }
      ++prepared;
      int n = sqlite3_column_count(st.get());
      for (const auto& f : d.fields) {
        int col = -1;
        for (int i = 0; i < n && col < 0; ++i)
          if (sameName(sqlite3_column_name(st.get(), i), f.name)) col = i;
        if (col < 0) {
          ADD_FAILURE() << where << "." << f.name << ": no result column of that name";
          continue;
        }
        const char* decl = sqlite3_column_decltype(st.get(), col);
        if (!decl) {
          ++computed;  // its kind comes from its values
          continue;
        }
        bool autoinc = isAutoIncrement(dbFor(d), st.get(), col);
        auto kind = kindOfDeclaredType(decl, autoinc);
        if (!kind) {
          ADD_FAILURE() << where << "." << f.name << ": unknown declared type " << decl;
          continue;
        }
        std::string failure = bindingFailure(f, *kind);
        if (!failure.empty()) {
          ADD_FAILURE() << where << "." << f.name << " (" << fieldTypeName(f.type()) << ") over " << decl << ": "
                        << failure;
          continue;
        }
        if (f.type() == FieldType::AutoInc && kind->kind != Kind::AutoInc)
          ADD_FAILURE() << where << "." << f.name << ": auto-increment field over a column that is not a counter ("
                        << decl << ")";
        ++bound;
      }
    }
  }
  std::cout << prepared << " datasets prepared, " << bound << " fields bound to table columns, " << computed
            << " to computed columns\n";
}

// The other way round: a counter only where the catalogue declares
// auto-increment. Elsewhere the clients assign the ids themselves, and a
// table read without declared fields would serve a read-only AutoInc column.
TEST_F(SchemaTest, CountersAreWhereTheCatalogueDeclaresAutoIncrement) {
  std::map<std::string, std::set<std::string>> autoIncFields;  // update table -> fields
  for (const auto& m : dataServiceModules())
    for (const auto& d : m.datasets)
      for (const auto& f : d.fields)
        if (f.type() == FieldType::AutoInc) autoIncFields[upper(updateTable(commandText(d)))].insert(upper(f.name));
  for (sqlite3* db : {company.db, registry.db}) {
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select name from sqlite_master where type='table' and name not like 'sqlite%'",
                                 -1, &st, nullptr),
              SQLITE_OK);
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string table = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      for (const auto& col : columnsOf(db, table)) {
        int autoinc = 0;
        sqlite3_table_column_metadata(db, "main", table.c_str(), col.c_str(), nullptr, nullptr, nullptr, nullptr,
                                      &autoinc);
        // The account registry declares no fields: its row id is the schema's own choice.
        if (!autoinc || table == "Act_DODar") continue;
        EXPECT_TRUE(autoIncFields[upper(table)].count(col))
            << table << "." << col << " is a counter the catalogue does not declare";
      }
    }
    sqlite3_finalize(st);
  }
}

// The statements the resolver builds for a dataset: an INSERT of every field
// it may write and a DELETE located by the fields its update mode chooses.
// Both must prepare on the update table, and the INSERT of nulls must pass
// the table's keys.
struct WriteCheck {
  std::string insert, locate;
};

WriteCheck resolverStatements(const DatasetDecl& d, const std::string& table) {
  std::string cols, marks, where;
  for (const auto& f : d.fields) {
    bool writable = (f.flags & kInUpdate) && f.type() != FieldType::AutoInc && !f.typeSpec.isReadOnly;
    if (writable) {
      cols += (cols.empty() ? "" : ", ") + std::string(f.name);
      marks += marks.empty() ? "?" : ", ?";
    }
    bool chosen = d.updateMode == UpdateMode::KeyOnly ? (f.flags & kInKey) != 0 : (f.flags & (kInWhere | kInKey)) != 0;
    if (chosen && f.type() != FieldType::Memo && f.type() != FieldType::Blob)
      where += (where.empty() ? " where " : " and ") + std::string(f.name) + " = ?";
  }
  WriteCheck w;
  if (!cols.empty()) w.insert = "insert into " + table + " (" + cols + ") values (" + marks + ")";
  if (!where.empty()) w.locate = "delete from " + table + where;
  return w;
}

// Datasets whose declared fields flag a joined or computed column for
// writing: their writes name a column the update table does not have (it
// cannot have it without hiding the joined value or making the name
// ambiguous), so the database refuses them.
struct JoinedWrite {
  std::vector<std::string> columns;
  const char* why;
};
const std::map<std::string, JoinedWrite> kWritesJoinedColumns = {
    {"CgddHelp", {{"aGYSBH", "aGYSMC"}, "they come from GYS"}},
    {"CgshHelp", {{"aGYSBH", "aGYSMC"}, "they come from GYS"}},
    {"XsddHelp", {{"aKHBH", "aKHMC"}, "they come from KH"}},
    {"XskdHelp", {{"aKHBH", "aKHMC"}, "they come from KH"}},
    {"CY_KD", {{"JJJ"}, "it comes from HP"}},
    {"HpCkXx", {{"JCS"}, "it comes from HPKC"}},
};

// Whether a refusal is the expected one: the database names a joined column.
bool refusesJoinedColumn(const std::string& dataset, const std::string& error) {
  auto it = kWritesJoinedColumns.find(dataset);
  if (it == kWritesJoinedColumns.end()) return false;
  return std::any_of(it->second.columns.begin(), it->second.columns.end(), [&](const std::string& c) {
    return error.find("column named " + c) != std::string::npos ||
           error.find("no such column: " + c) != std::string::npos;
  });
}

TEST_F(SchemaTest, ResolverStatementsFindTheirColumns) {
  std::set<std::string> refused;
  for (const auto& m : dataServiceModules()) {
    for (const auto& d : m.datasets) {
      if (d.sql.empty() || d.fields.empty()) continue;
      std::string where = std::string(m.name) + "/" + std::string(d.name);
      sqlite3* db = dbFor(d);
      WriteCheck w = resolverStatements(d, updateTable(commandText(d)));
      for (const std::string* text : {&w.insert, &w.locate}) {
        if (text->empty()) continue;
        std::string error;
        Stmt st = prepareJet(db, *text, error);
        if (!st) {
          if (refusesJoinedColumn(std::string(d.name), error))
            refused.insert(std::string(d.name));
          else
            ADD_FAILURE() << where << ": resolver statement does not prepare: " << error;
          continue;
        }
        if (text == &w.insert) {
          ASSERT_EQ(sqlite3_exec(db, "savepoint w", nullptr, nullptr, nullptr), SQLITE_OK);
          // Only a key column, which never holds Null, may refuse the nulls.
          int rc = sqlite3_step(st.get());
          std::string msg = sqlite3_errmsg(db);
          EXPECT_TRUE(rc == SQLITE_DONE || (rc == SQLITE_CONSTRAINT && msg.rfind("NOT NULL constraint failed", 0) == 0))
              << where << ": INSERT of nulls refused: " << msg;
          st.reset();
          ASSERT_EQ(sqlite3_exec(db, "rollback to w; release w", nullptr, nullptr, nullptr), SQLITE_OK);
        }
      }
    }
  }
  for (const auto& [name, joined] : kWritesJoinedColumns)
    EXPECT_TRUE(refused.count(name)) << name << " writes joined columns (" << joined.why
                                     << ") yet its statements prepared: the update table has gained them";
}

// Keys refuse real duplicates and nothing else: a header's ID, a line's bill
// and line number or its RECID; the tables whose rows may repeat take them.
TEST_F(SchemaTest, KeysRefuseOnlyRealDuplicates) {
  struct Case {
    const char* first;
    const char* second;
    bool secondRefused;
  };
  const Case cases[] = {
      {"insert into CGSQZB (ID, DJBH) values (7, 'A')", "insert into CGSQZB (ID, DJBH) values (7, 'B')", true},
      {"insert into CGSQZB (ID, DJBH) values (7, 'A')", "insert into CGSQZB (ID, DJBH) values (8, 'A')", false},
      {"insert into CGSQ (ZBID, HH) values (1, 1)", "insert into CGSQ (ZBID, HH) values (1, 1)", true},
      {"insert into CGSQ (ZBID, HH) values (1, 1)", "insert into CGSQ (ZBID, HH) values (2, 1)", false},
      {"insert into CGDD (RECID, ZBID, HH) values ('A1', 1, 1)",
       "insert into CGDD (RECID, ZBID, HH) values ('A1', 2, 1)", true},
      // Text keys compare without regard to case, as in Jet.
      {"insert into CGDD (RECID, ZBID, HH) values ('A1', 1, 1)",
       "insert into CGDD (RECID, ZBID, HH) values ('a1', 2, 1)", true},
      // Lines with a RECID may share a line number while a bill is renumbered.
      {"insert into CGDD (RECID, ZBID, HH) values ('A1', 1, 1)",
       "insert into CGDD (RECID, ZBID, HH) values ('A2', 1, 1)", false},
      {"insert into AppGroupDesktopClass (gName, cName) values ('g', 'c')",
       "insert into AppGroupDesktopClass (gName, cName) values ('g', 'c')", false},
      {"insert into AppLog (uName, RQ) values ('u', #2008-08-30#)",
       "insert into AppLog (uName, RQ) values ('u', #2008-08-30#)", false},
      {"insert into HPKC (CKID, HPID) values (1, 1)", "insert into HPKC (CKID, HPID) values (1, 1)", false},
      {"insert into Appselect (DATASET, FIELDNAME) values ('Kh', 'MC')",
       "insert into Appselect (DATASET, FIELDNAME) values ('KH', 'mc')", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " then " + c.second);
    ASSERT_EQ(sqlite3_exec(company.db, "savepoint k", nullptr, nullptr, nullptr), SQLITE_OK);
    for (int which = 0; which < 2; ++which) {
      std::string error;
      Stmt st = prepareJet(company.db, which == 0 ? c.first : c.second, error);
      ASSERT_TRUE(st) << error;
      int rc = sqlite3_step(st.get());
      if (which == 0) {
        EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(company.db);
      } else {
        EXPECT_EQ(rc == SQLITE_CONSTRAINT, c.secondRefused) << sqlite3_errmsg(company.db);
      }
    }
    ASSERT_EQ(sqlite3_exec(company.db, "rollback to k; release k", nullptr, nullptr, nullptr), SQLITE_OK);
  }
}

// A key column never holds Null, as in Jet: SQLite would let Null into a
// primary key that is not the rowid.
TEST_F(SchemaTest, KeyColumnsRefuseNull) {
  for (sqlite3* db : {company.db, registry.db}) {
    const char* sql =
        "select m.name || '.' || p.name from sqlite_schema m, pragma_table_info(m.name) p "
        "where m.type = 'table' and p.pk > 0 and p.\"notnull\" = 0 and not (upper(p.type) = 'INTEGER' and "
        "(select count(*) from pragma_table_info(m.name) where pk > 0) = 1)";
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    Stmt owned(st, &sqlite3_finalize);
    while (sqlite3_step(st) == SQLITE_ROW)
      ADD_FAILURE() << "key column allows Null: " << reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  }
  for (const char* insert :
       {"insert into KH (ID, MC) values (Null, 'x')", "insert into CGSQ (ZBID, HH) values (1, Null)",
        "insert into CGDD (RECID, ZBID, HH) values (Null, 1, 1)"}) {
    std::string error;
    Stmt st = prepareJet(company.db, insert, error);
    ASSERT_TRUE(st) << error;
    EXPECT_EQ(sqlite3_step(st.get()), SQLITE_CONSTRAINT) << insert;
  }
}

TEST(SchemaScript, SplitsStatementsAtSemicolonLines) {
  struct Case {
    const char* script;
    std::vector<std::string> statements;
  };
  const Case cases[] = {
      {"-- a table\nCREATE TABLE A (\n  X LONG\n)\n;\n\n-- b\nCREATE TABLE B (Y TEXT(5))\n  ;  \n",
       {"CREATE TABLE A (\n  X LONG\n)", "CREATE TABLE B (Y TEXT(5))"}},
      {"CREATE TABLE A (X LONG)\r\n;\r\n", {"CREATE TABLE A (X LONG)"}},
      {"\n-- only comments\n\n", {}},
      {"CREATE TABLE A (\n\n  X LONG)\n;", {"CREATE TABLE A (\n  X LONG)"}},
  };
  for (const auto& c : cases) EXPECT_EQ(splitSchemaScript(c.script), c.statements) << c.script;
}

TEST(SchemaScript, RejectsUnclosedStatementsAndStraySemicolons) {
  const std::pair<const char*, const char*> cases[] = {
      {"CREATE TABLE A (X LONG)\n;\nCREATE TABLE B (Y LONG)\n", "line 3: statement not closed"},
      {"-- c\n;\n", "line 2: \";\" closes no statement"},
      {"CREATE TABLE A (X LONG);\n", "line 1: statement not closed"},
  };
  for (const auto& [script, message] : cases) {
    try {
      splitSchemaScript(script);
      ADD_FAILURE() << "accepted: " << script;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
