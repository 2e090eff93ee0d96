// The catalogue's Jet texts on SQLite: tables made with Jet DDL, rows added
// with Jet INSERTs, every text prepared and run through the translator, and
// the rows of the hairier ones compared with those Jet gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/data/jet/jet_dialect.h"
#include "tests/platform/data/jet/jet_test_db.h"

namespace rvz::data::jet {
namespace {

using testing::Result;
using testing::TestDb;

struct QueryCase {
  std::string name;
  std::string sql;  // lines joined with CR LF after each
  bool hasExpectation = false;
  bool ordered = true;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

struct CatalogueFile {
  std::vector<std::string> ddl, inserts;
  std::vector<QueryCase> queries;
};

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(sep, start);
    parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

std::string sqlLine(const std::string& line) { return line.size() > 2 ? line.substr(2) : std::string(); }

CatalogueFile readCatalogue() {
  const char* root = std::getenv("RVZ_TEST_SOURCE_DIR");
  std::string path = std::string(root ? root : ".") + "/tests/platform/data/jet/catalogue_sql.txt";
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  CatalogueFile f;
  std::string line;
  enum { None, Ddl, Rows, Query } mode = None;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line == "@ddl")
      mode = Ddl;
    else if (line == "@rows")
      mode = Rows;
    else if (line.rfind("@query ", 0) == 0) {
      mode = Query;
      f.queries.emplace_back();
      f.queries.back().name = line.substr(7);
    } else if (line == "@end")
      mode = None;
    else if (line[0] == '|') {
      if (mode == Ddl)
        f.ddl.push_back(sqlLine(line));
      else if (mode == Rows)
        f.inserts.push_back(sqlLine(line));
      else if (mode == Query)
        f.queries.back().sql += sqlLine(line) + "\r\n";
    } else if (mode == Query && (line[0] == '=' || line[0] == '~')) {
      QueryCase& q = f.queries.back();
      q.hasExpectation = true;
      q.ordered = line[0] == '=';
      q.columns = split(line.substr(2), '|');
    } else if (mode == Query && line[0] == '-') {
      f.queries.back().rows.push_back(split(line.substr(2), '|'));
    } else {
      throw std::runtime_error("unreadable line in " + path + ": " + line);
    }
  }
  return f;
}

class CatalogueTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    file_ = new CatalogueFile(readCatalogue());
    db_ = new TestDb();
    for (const std::string& s : file_->ddl) db_->exec(s);
    for (const std::string& s : file_->inserts) db_->exec(s);
  }
  static void TearDownTestSuite() {
    delete db_;
    delete file_;
  }
  static CatalogueFile* file_;
  static TestDb* db_;
};
CatalogueFile* CatalogueTest::file_ = nullptr;
TestDb* CatalogueTest::db_ = nullptr;

TEST_F(CatalogueTest, TheFileHoldsTheCatalogueAndClientTexts) {
  // 146 declared texts of the data service plus client texts over them.
  EXPECT_GE(file_->queries.size(), 146u);
  size_t checked =
      std::count_if(file_->queries.begin(), file_->queries.end(), [](const QueryCase& q) { return q.hasExpectation; });
  EXPECT_GE(checked, 30u);
}

TEST_F(CatalogueTest, EveryTextIsTranslatedAndRuns) {
  for (const QueryCase& q : file_->queries) {
    std::string sql = translate(q.sql);
    EXPECT_NE(sql, q.sql) << q.name << ": passed on untranslated";
    try {
      db_->query(q.sql);
    } catch (const std::exception& e) {
      ADD_FAILURE() << q.name << ": " << e.what();
    }
  }
}

TEST_F(CatalogueTest, RowsAreThoseJetGives) {
  for (const QueryCase& q : file_->queries) {
    if (!q.hasExpectation) continue;
    Result r;
    try {
      r = db_->query(q.sql);
    } catch (const std::exception& e) {
      ADD_FAILURE() << q.name << ": " << e.what();
      continue;
    }
    std::vector<size_t> at;
    for (const std::string& c : q.columns) {
      auto it = std::find_if(r.columns.begin(), r.columns.end(), [&](const std::string& have) {
        return std::equal(have.begin(), have.end(), c.begin(), c.end(),
                          [](char a, char b) { return std::tolower(a) == std::tolower(b); });
      });
      if (it == r.columns.end()) {
        ADD_FAILURE() << q.name << ": no result column " << c;
        at.clear();
        break;
      }
      at.push_back(static_cast<size_t>(it - r.columns.begin()));
    }
    if (at.size() != q.columns.size()) continue;
    std::vector<std::vector<std::string>> got;
    for (const auto& row : r.rows) {
      std::vector<std::string> picked;
      for (size_t i : at) picked.push_back(row[i]);
      got.push_back(std::move(picked));
    }
    std::vector<std::vector<std::string>> want = q.rows;
    if (!q.ordered) {
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
    }
    EXPECT_EQ(got, want) << q.name << "\n  translated: " << translate(q.sql);
  }
}

TEST_F(CatalogueTest, DeclaredTypesStillNameTheAccessKinds) {
  // The data layer reads the kind of a column from its declared type.
  sqlite3_stmt* stmt = nullptr;
  std::string sql =
      translate("select KH.ID, KH.MC, KH.QMJE, ZH.YHL, YG.CSRQ, BM.BZ, hp_pict.pict from KH, ZH, YG, BM, hp_pict");
  ASSERT_EQ(sqlite3_prepare_v2(db_->handle(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  std::vector<std::string> types;
  for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
    const char* t = sqlite3_column_decltype(stmt, i);
    types.emplace_back(t ? t : "");
  }
  sqlite3_finalize(stmt);
  EXPECT_EQ(types,
            (std::vector<std::string>{"LONG", "TEXT(100)", "CURRENCY", "YESNO", "DATETIME", "LONGTEXT", "OLEOBJECT"}));
}

}  // namespace
}  // namespace rvz::data::jet
