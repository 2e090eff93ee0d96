// Provider fetches against the packet library fed straight from SQLite:
// 100 000 rows x 20 columns (an integer key, 8 texts, 4 integers, 4 doubles,
// 2 dates, a yes/no; one value in ten Null) through TDatas.AS_GetRecords
// in-process (pTmp over "select * from Big", Count -1, a binary packet: the
// connection's open, the translation, the Query's rows turned into fields
// and packet cells) vs stepping the same select with the sqlite3 API on a
// connection of its own and encoding each value with the packet writer
// (provider_vs_direct); and the same rows fetched in slices of 100 vs in
// one fetch (sliced_vs_whole). Each figure is the median of paired,
// interleaved runs with its spread (paired_timing.h).
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "bench/paired_timing.h"
#include "platform/data/values.h"
#include "platform/packets/packet_writer.h"
#include "platform/text/text.h"
#include "services/dms.h"

using namespace rvz;

namespace {

constexpr int kRows = 100000;
constexpr int kPairs = 5;
const char* kSelect = "select * from Big";

void check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

// Column kinds of the table: ID, 8 texts, 4 integers, 4 doubles, 2 dates, 1 yes/no.
enum class K { Int, Text, Real, Date, Bool };
K kindOf(int c) {
  if (c == 0 || (c >= 9 && c <= 12)) return K::Int;
  if (c <= 8) return K::Text;
  if (c <= 16) return K::Real;
  if (c <= 18) return K::Date;
  return K::Bool;
}

void fill(const std::string& file) {
  sqlite3* db;
  check(sqlite3_open(file.c_str(), &db), db);
  std::string ddl = "create table Big (";
  for (int c = 0; c < 20; ++c) {
    const char* t = "LONG";
    switch (kindOf(c)) {
      case K::Int: t = "LONG"; break;
      case K::Text: t = "TEXT(50) COLLATE NOCASE"; break;
      case K::Real: t = "DOUBLE"; break;
      case K::Date: t = "DATETIME"; break;
      case K::Bool: t = "YESNO"; break;
    }
    ddl += (c ? ", c" : "c") + std::to_string(c) + " " + t;
  }
  ddl += ")";
  check(sqlite3_exec(db, ddl.c_str(), nullptr, nullptr, nullptr), db);
  check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db);
  sqlite3_stmt* st;
  std::string ins = "insert into Big values (?";
  for (int c = 1; c < 20; ++c) ins += ",?";
  ins += ")";
  check(sqlite3_prepare_v2(db, ins.c_str(), -1, &st, nullptr), db);
  std::mt19937 rng(7);
  const char* words[] = {"张三", "李四", "办公用品", "Shanghai Trading Co.", "A4 纸 80g", "备注"};
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < 20; ++c) {
      if (c > 0 && rng() % 10 == 0) {
        sqlite3_bind_null(st, c + 1);
        continue;
      }
      switch (kindOf(c)) {
        case K::Int: sqlite3_bind_int(st, c + 1, c == 0 ? r + 1 : static_cast<int>(rng() % 100000)); break;
        case K::Text: sqlite3_bind_text(st, c + 1, words[rng() % 6], -1, SQLITE_STATIC); break;
        case K::Real: sqlite3_bind_double(st, c + 1, static_cast<double>(rng() % 1000000) / 100.0); break;
        case K::Date: {
          std::string d = data::formatStoredDate(36000.0 + rng() % 8000 + 0.25);
          sqlite3_bind_text(st, c + 1, d.c_str(), -1, SQLITE_TRANSIENT);
          break;
        }
        case K::Bool: sqlite3_bind_int(st, c + 1, rng() % 2 ? -1 : 0); break;
      }
    }
    check(sqlite3_step(st), db);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db);
  sqlite3_close(db);
}

// The peer: the same rows read with the sqlite3 API and encoded directly.
size_t direct(const std::string& file) {
  sqlite3* db;
  check(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), db);
  sqlite3_stmt* st;
  check(sqlite3_prepare_v2(db, kSelect, -1, &st, nullptr), db);
  std::vector<packets::Column> cols;
  for (int c = 0; c < 20; ++c) {
    packets::FieldType t = packets::FieldType::I4;
    switch (kindOf(c)) {
      case K::Int: t = packets::FieldType::I4; break;
      case K::Text: t = packets::FieldType::WideString; break;
      case K::Real: t = packets::FieldType::R8; break;
      case K::Date: t = packets::FieldType::DateTime; break;
      case K::Bool: t = packets::FieldType::Boolean; break;
    }
    packets::Column col("c" + std::to_string(c), t);
    if (t == packets::FieldType::WideString) col.width = 100;
    cols.push_back(col);
  }
  packets::PacketWriter w(cols, {});
  while (sqlite3_step(st) == SQLITE_ROW) {
    w.beginRow();
    for (int c = 0; c < 20; ++c) {
      if (sqlite3_column_type(st, c) == SQLITE_NULL) {
        w.putNull();
        continue;
      }
      switch (kindOf(c)) {
        case K::Int: w.putI4(sqlite3_column_int(st, c)); break;
        case K::Text: w.putWide(text::utf8ToWide(reinterpret_cast<const char*>(sqlite3_column_text(st, c)))); break;
        case K::Real: w.putR8(sqlite3_column_double(st, c)); break;
        case K::Date:
          w.putDate(*data::parseStoredDate(reinterpret_cast<const char*>(sqlite3_column_text(st, c))));
          break;
        case K::Bool: w.putBool(sqlite3_column_int(st, c) != 0); break;
      }
    }
    w.endRow();
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return w.finish().size();
}

size_t throughProvider(int32_t count) {
  services::TDatas d;
  d.Cn.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=data\\Big.mdb");
  size_t rows = 0;
  int32_t out = count;
  bool first = true;
  while (out == count) {
    Variant params, owner;
    Variant p =
        d.host().AS_GetRecords(u"pTmp", count, out, first ? 1 : 0, first ? u"select * from Big" : u"", params, owner);
    first = false;
    rows += static_cast<size_t>(out);
    if (count == -1) break;
  }
  return rows;
}

}  // namespace

int main() {
  char dir[] = "/tmp/rvz_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::filesystem::path home = dir;
  std::filesystem::create_directories(home / "data");
  setenv("RVZ_HOME", dir, 1);
  std::string file = (home / "data" / "Big.mdb").string();
  fill(file);

  size_t rows = 0, slicedRows = 0;
  const bench::PairedFigure provider =
      bench::pairedRatio([&] { return bench::timed([&] { rows = throughProvider(-1); }); },
                         [&] { return bench::timed([&] { direct(file); }); }, kPairs);
  const bench::PairedFigure sliced =
      bench::pairedRatio([&] { return bench::timed([&] { slicedRows = throughProvider(100); }); },
                         [&] { return bench::timed([&] { throughProvider(-1); }); }, kPairs);
  if (rows != static_cast<size_t>(kRows) || slicedRows != static_cast<size_t>(kRows))
    std::fprintf(stderr, "fetched %zu rows whole and %zu in slices\n", rows, slicedRows);
  std::printf("provider_seconds=%.4f direct_seconds=%.4f sliced_seconds=%.4f\n", provider.oursSeconds,
              provider.peerSeconds, sliced.oursSeconds);
  bench::printFigure("provider_vs_direct", provider);
  bench::printFigure("sliced_vs_whole", sliced);
  std::filesystem::remove_all(home);
  return 0;
}
