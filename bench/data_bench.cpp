// Benchmark of the data component's read path on one table of 100 000 rows x
// 20 columns of mixed Access types:
// - query_vs_sqlite: "select * from T" opened as a Query and every field of
//   every row read as a Variant, against the same statement stepped with the
//   SQLite C API (a connection of its own, opened once) reading every column
//   by its storage class;
// - slices_vs_whole: the Query read in slices of 100 rows with the query left
//   open between them (as a provider leaves it between fetches), against one
//   whole read.
// Each figure is the median of paired, interleaved runs (paired_timing.h).
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/paired_timing.h"
#include "platform/data/query.h"
#include "platform/files/files.h"

using namespace rvz;
using namespace rvz::data;

namespace {

constexpr int kRows = 100000;
constexpr int kPairs = 7;
constexpr int kSlice = 100;

void fill(Connection& cn) {
  cn.execute(
      "CREATE TABLE T (ID LONG, MC TEXT(40), BH TEXT(20), GG TEXT(40), DW TEXT(10), BZ TEXT(100), S1 TEXT(50), "
      "SL LONG, CKID LONG, HH SMALLINT, DJ DOUBLE, JE DOUBLE, F1 DOUBLE, F2 DOUBLE, RQ DATETIME, YXQ DATETIME, "
      "ZT YESNO, SH YESNO, N1 TEXT(20), N2 LONG)");
  Statement ins(cn, "insert into T values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  Transaction t(cn);
  for (int i = 0; i < kRows; ++i) {
    std::vector<Parameter> p;
    p.reserve(20);
    auto add = [&](Variant v) { p.push_back(Parameter::of(std::move(v))); };
    add(Variant(i));
    add(Variant(text::utf8ToWide("商品名称" + std::to_string(i))));
    add(Variant(text::utf8ToWide("HP" + std::to_string(100000 + i))));
    add(Variant(u"规格 20x30"));
    add(Variant(u"件"));
    add(Variant(text::utf8ToWide("备注 some remark text for row " + std::to_string(i))));
    add(i % 3 ? Variant(u"abc") : Variant::null());
    add(Variant(i % 1000));
    add(Variant(i % 7));
    add(Variant::i2(static_cast<int16_t>(i % 100)));
    add(Variant(i * 0.25));
    add(Variant(i * 1.5));
    add(Variant(3.14159));
    add(Variant::null());
    add(Variant::date(39690.0 + i % 3650 + 0.5));
    add(Variant::date(40000.0 + i % 365));
    add(Variant(i % 2 == 0));
    add(Variant(i % 5 == 0));
    add(Variant::null());
    add(i % 2 ? Variant(i) : Variant::null());
    ins.setParameters(std::move(p));
    ins.execute();
  }
  t.commit();
}

// Every field of the current row as a Variant; returns something of each so
// nothing is optimised away.
size_t readRow(const Query& q) {
  size_t sum = 0;
  for (size_t f = 0; f < q.fieldCount(); ++f) sum += q.field(f).value().vt();
  return sum;
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/rvz_data_bench_XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::filesystem::path dir = tmpl;
  const std::filesystem::path file = dir / "bench.mdb";
  files::writeFile(file, "");
  Connection cn("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string());
  fill(cn);

  size_t sink = 0;
  const std::string sql = "select * from T";
  auto whole = [&] {
    Query q("Bench", &cn);
    q.setCommandText(sql);
    q.open();
    for (; !q.eof(); q.next()) sink += readRow(q);
  };

  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  auto raw = [&] {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    const int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int c = 0; c < n; ++c) {
        switch (sqlite3_column_type(st, c)) {
          case SQLITE_INTEGER: sink += static_cast<size_t>(sqlite3_column_int64(st, c)); break;
          case SQLITE_FLOAT: sink += static_cast<size_t>(sqlite3_column_double(st, c)); break;
          case SQLITE_TEXT:
            sink += static_cast<size_t>(sqlite3_column_bytes(st, c)) + (sqlite3_column_text(st, c) != nullptr);
            break;
          case SQLITE_BLOB:
            sink += static_cast<size_t>(sqlite3_column_bytes(st, c)) + (sqlite3_column_blob(st, c) != nullptr);
            break;
          default: ++sink;
        }
      }
    }
    sqlite3_finalize(st);
  };

  // Slices: the query stays open between them, as a provider leaves it
  // between fetches.
  auto sliced = [&] {
    Query q("Bench", &cn);
    q.setCommandText(sql);
    q.open();
    while (!q.eof()) {
      for (int k = 0; k < kSlice && !q.eof(); ++k) {
        sink += readRow(q);
        q.next();
      }
      sink += static_cast<size_t>(q.recNo());
    }
  };

  const bench::PairedFigure query =
      bench::pairedRatio([&] { return bench::timed(whole); }, [&] { return bench::timed(raw); }, kPairs);
  const bench::PairedFigure slices =
      bench::pairedRatio([&] { return bench::timed(sliced); }, [&] { return bench::timed(whole); }, kPairs);
  sqlite3_close(db);

  cn.close();
  std::filesystem::remove_all(dir);
  std::printf("rows=%d columns=20 sink=%zu\n", kRows, sink % 10);
  std::printf("query_seconds=%.4f sqlite_seconds=%.4f slices_seconds=%.4f\n", query.oursSeconds, query.peerSeconds,
              slices.oursSeconds);
  bench::printFigure("query_vs_sqlite", query);
  bench::printFigure("slices_vs_whole", slices);
  return 0;
}
