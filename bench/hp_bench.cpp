// The goods dataset Hp on a sample home of 100 000 goods: its declared SQL
// (HP left-joined to its categories, in code order) fetched whole through
// AS_GetRecords in-process (Count -1, binary packet) vs the same SQL after
// the Jet translation stepped straight on SQLite with the sqlite3 API,
// every column of every row read. Both sides open their connection inside
// the timed part (the provider's ConnectAct, sqlite3_open_v2). The figure
// hp_fetch_vs_sqlite is the median of paired, interleaved runs
// (paired_timing.h).
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/paired_timing.h"
#include "catalogue/declaration.h"
#include "client/sample/sample_home.h"
#include "platform/data/jet/jet_dialect.h"
#include "services/dms.h"

using namespace rvz;

namespace {

constexpr int kRows = 100000;
constexpr int kPairs = 7;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "hp_bench: %s\n", what.c_str());
  std::exit(1);
}

// The declared SQL of Hp as the dataset sends it: each line and CR LF.
std::string declaredHpSql() {
  for (const auto& m : catalogue::dataServiceModules())
    for (const auto& ds : m.datasets)
      if (ds.name == std::string_view("Hp")) {
        std::string s;
        for (auto line : ds.sql) (s += line) += "\r\n";
        return s;
      }
  fail("the catalogue has no dataset Hp");
}

size_t throughProvider() {
  services::TDatas d;
  d.RemoteDataModuleCreate();
  if (d.ConnectAct(0, u"", u"Sample", u"", u"") != 0) fail("ConnectAct refused the account set Sample");
  int32_t out = 0;
  Variant params, owner;
  Variant packet = d.host().AS_GetRecords(u"pHp", -1, out, 1, u"", params, owner);
  return static_cast<size_t>(out);
}

// The peer: the translated SQL on SQLite, every column read by its storage
// class. The file is opened for writing, as the provider opens it: a
// read-only connection to a database in WAL mode reads markedly slower.
size_t direct(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) fail(sqlite3_errmsg(db));
  data::jet::registerFunctions(db);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK)
    fail(sqlite3_errmsg(db));
  const int n = sqlite3_column_count(st);
  size_t rows = 0, sink = 0;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < n; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER: sink += static_cast<size_t>(sqlite3_column_int64(st, c)); break;
        case SQLITE_FLOAT: sink += static_cast<size_t>(sqlite3_column_double(st, c)); break;
        case SQLITE_TEXT:
          sink += reinterpret_cast<const char*>(sqlite3_column_text(st, c))[0] != 0;
          sink += static_cast<size_t>(sqlite3_column_bytes(st, c));
          break;
        case SQLITE_BLOB: sink += static_cast<size_t>(sqlite3_column_bytes(st, c)); break;
        default: break;
      }
    }
    ++rows;
  }
  if (rc != SQLITE_DONE) fail(sqlite3_errmsg(db));
  sqlite3_finalize(st);
  sqlite3_close(db);
  if (sink == 0) fail("read nothing");
  return rows;
}

}  // namespace

int main() {
  char dir[] = "/tmp/rvz_hp_bench_XXXXXX";
  if (!mkdtemp(dir)) fail("cannot create a scratch folder");
  const std::filesystem::path home = dir;
  setenv("RVZ_HOME", dir, 1);
  try {
    client::buildSampleHome(home, kRows);
  } catch (const std::exception& e) {
    fail(std::string("cannot build the sample home: ") + e.what());
  }
  const std::string file = (home / "data" / "Sample" / "DaZiva.mdb").string();
  const std::string sql = data::jet::translate(declaredHpSql());

  size_t ours = 0, theirs = 0;
  bench::PairedFigure fetch;
  try {
    fetch = bench::pairedRatio([&] { return bench::timed([&] { ours = throughProvider(); }); },
                               [&] { return bench::timed([&] { theirs = direct(file, sql); }); }, kPairs);
  } catch (const std::exception& e) {
    fail(e.what());
  }
  if (ours != theirs || ours != static_cast<size_t>(kRows))
    std::fprintf(stderr, "hp_bench: fetched %zu rows, SQLite stepped %zu\n", ours, theirs);
  bench::printFigure("hp_fetch_vs_sqlite", fetch);
  std::filesystem::remove_all(home);
  return 0;
}
