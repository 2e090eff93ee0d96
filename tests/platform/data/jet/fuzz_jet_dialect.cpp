// Fuzz target of the Jet translator: any bytes go through translate() and
// through the typed translation over a schema of a few tables, for SQLite
// and for PostgreSQL; a SQLite text it changed is prepared on an in-memory
// database with those tables and the Jet functions, and stepped a few rows.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <optional>
#include <vector>

#include "platform/data/jet/jet_dialect.h"
#include "platform/data/jet/jet_result_types.h"

namespace {

using rvz::data::jet::BaseColumn;
using rvz::data::jet::ColumnType;
using rvz::data::jet::JetType;

// The tables of database(), as the typing sees them.
class FuzzSchema : public rvz::data::jet::Schema {
 public:
  std::optional<std::vector<BaseColumn>> columnsOf(std::string_view table) override {
    auto col = [](const char* name, JetType t, int32_t size = 0) {
      ColumnType c;
      c.type = t;
      c.size = size;
      return BaseColumn{name, c};
    };
    if (table == "XSDDZB" || table == "xsddzb")
      return std::vector<BaseColumn>{col("ID", JetType::Long),     col("DJBH", JetType::Text, 12),
                                     col("RQ", JetType::DateTime), col("KHID", JetType::Long),
                                     col("ZT", JetType::Boolean),  col("JE", JetType::Double)};
    if (table == "KH" || table == "kh")
      return std::vector<BaseColumn>{col("ID", JetType::Long), col("BH", JetType::Text, 20),
                                     col("MC", JetType::Text, 50), col("QMJE", JetType::Currency),
                                     col("BZ", JetType::Memo)};
    return std::nullopt;
  }
};

sqlite3* database() {
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    if (sqlite3_open(":memory:", &d) != SQLITE_OK) std::abort();
    rvz::data::jet::registerFunctions(d);
    const char* setup[] = {
        "CREATE TABLE XSDDZB (ID LONG, DJBH TEXT(12), RQ DATETIME, KHID LONG, ZT YESNO, JE DOUBLE)",
        "CREATE TABLE KH (ID COUNTER, BH TEXT(20), MC TEXT(50), QMJE CURRENCY, BZ MEMO)",
        "INSERT INTO XSDDZB VALUES (1, 'XD001', #2008-08-30#, 1, True, 12.5)",
        "INSERT INTO XSDDZB VALUES (2, 'XD002', #2008-08-31 14:25#, 2, False, Null)",
        "INSERT INTO KH (BH, MC, QMJE, BZ) VALUES ('K01', '甲公司', 100, '备注')",
        "INSERT INTO KH (BH, MC) VALUES ('K02', Null)",
    };
    for (const char* s : setup) {
      std::string sql = rvz::data::jet::translate(s);
      if (sqlite3_exec(d, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
    }
    // Statements the fuzzer composes must not grow the database without bound.
    sqlite3_limit(d, SQLITE_LIMIT_LENGTH, 1 << 20);
    return d;
  }();
  return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string sql = rvz::data::jet::translate(text);
  // The translator never grows a text beyond its bound.
  if (sql.size() > size * 16 + 65536) std::abort();
  FuzzSchema schema;
  rvz::data::jet::TypedTranslation typed = rvz::data::jet::translateTyped(text, schema);
  if (typed.pivotValuesSql) {
    // A crosstab over the values its rows could hold.
    std::vector<rvz::data::jet::PivotValue> values(3);
    values[1].kind = rvz::data::jet::PivotValue::Kind::Integer;
    values[1].i = 7;
    values[2].kind = rvz::data::jet::PivotValue::Kind::Text;
    values[2].text = "a'b";
    typed = rvz::data::jet::translateCrosstab(text, schema, values);
  }
  if (typed.sql.size() > size * 16 + 65536) std::abort();
  // The PostgreSQL back end reads SQL Server's forms too; its output stays
  // bounded alike, and a refusal gives the text back with a reason.
  rvz::data::jet::TypedTranslation pg = rvz::data::jet::translateTyped(text, schema, rvz::data::jet::Target::Postgres);
  if (pg.translated ? pg.sql.size() > size * 16 + 65536 + pg.statements.size() * 2
                    : pg.sql != text || pg.reason.empty())
    std::abort();
  sql = std::move(typed.sql);
  if (sql == text) return 0;
  sqlite3* db = database();
  sqlite3_exec(db, "SAVEPOINT fuzz", nullptr, nullptr, nullptr);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) == SQLITE_OK && stmt) {
    for (int row = 0; row < 8 && sqlite3_step(stmt) == SQLITE_ROW; ++row) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) sqlite3_column_text(stmt, c);
    }
    sqlite3_finalize(stmt);
  }
  // Whatever the statement changed is undone for the next input.
  sqlite3_exec(db, "ROLLBACK TO fuzz", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "RELEASE fuzz", nullptr, nullptr, nullptr);
  return 0;
}
