// The SQL Server provider on PostgreSQL against libpq on the same server:
//   pg_fetch_vs_libpq   100 000 goods rows read through the provider into
//                       variants, field by field, vs libpq reading the same
//                       rows' values
//   pg_apply_vs_libpq   10 000 updates in one transaction through the
//                       provider (a savepoint per statement, as the resolver
//                       runs them) vs the same prepared update through libpq
//   pg_slices_vs_whole  the 100 000 rows read in slices of 100 with another
//                       command between slices vs read whole
// Needs RVZ_BENCH_PG (a libpq connection, set by scripts/bench); without it
// the figures are skipped. The texts are PostgreSQL SQL (the provider's
// native mode): the translation of a text happens once per session and is
// not what is measured.
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/pg/pg_provider.h"
#include "platform/data/query.h"

using namespace rvz;
using namespace rvz::data;

namespace {

constexpr int kRows = 100000;
constexpr int kUpdates = 10000;
constexpr int kSlice = 100;
constexpr int kRuns = 5;

template <class F>
double timed(F&& f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool ok(PGresult* r) {
  bool good = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
  if (!good) std::fprintf(stderr, "%s", PQresultErrorMessage(r));
  PQclear(r);
  return good;
}

size_t readRow(const Query& q) {
  size_t sum = 0;
  for (size_t f = 0; f < q.fieldCount(); ++f) sum += q.field(f).value().vt();
  return sum;
}

}  // namespace

int main() {
  const char* conninfo = std::getenv("RVZ_BENCH_PG");
  if (!conninfo) {
    std::printf("pg_fetch_vs_libpq=skipped (RVZ_BENCH_PG not set)\n");
    return 0;
  }
  PGconn* admin = PQconnectdb(conninfo);
  if (PQstatus(admin) != CONNECTION_OK) {
    std::fprintf(stderr, "%s", PQerrorMessage(admin));
    return 1;
  }
  const std::string db = "rvz_pgbench_" + std::to_string(::getpid());
  ok(PQexec(admin, ("CREATE DATABASE " + db).c_str()));

  // The same server as an OLE DB connection string.
  std::string host = "127.0.0.1", port, user;
  if (PQconninfoOption* opts = PQconninfoParse(conninfo, nullptr)) {
    for (PQconninfoOption* o = opts; o->keyword; ++o) {
      if (!o->val) continue;
      if (std::string(o->keyword) == "host") host = o->val;
      if (std::string(o->keyword) == "port") port = o->val;
      if (std::string(o->keyword) == "user") user = o->val;
    }
    PQconninfoFree(opts);
  }
  registerProvider(pg::makeSqlServerProvider(pg::SqlMode::Native, "PostgreSQL.Native.Bench"));
  Connection cn("Provider=PostgreSQL.Native.Bench;Data Source=" + host + (port.empty() ? "" : "," + port) +
                ";User ID=" + user + ";Initial Catalog=" + db);

  std::string dbinfo = std::string(conninfo) + " dbname=" + db;
  PGconn* peer = PQconnectdb(dbinfo.c_str());
  ok(PQexec(
      peer,
      "CREATE TABLE goods (\"ID\" integer PRIMARY KEY, \"SPBH\" varchar(20), \"MC\" varchar(40), \"GG\" "
      "varchar(40), \"DW\" varchar(10), \"JG\" numeric(19,4), \"SL\" integer, \"ZT\" smallint, \"RQ\" timestamp(0), "
      "\"BZ\" varchar(100))"));
  ok(PQexec(peer, ("INSERT INTO goods SELECT g, 'HP' || g, '商品名称' || g, '规格 20x30', '件', g * 0.25, g % 1000, "
                   "-(g % 2), timestamp '2020-01-01' + g * interval '1 minute', 'remark for row ' || g "
                   "FROM generate_series(1, " +
                   std::to_string(kRows) + ") g")
                      .c_str()));
  ok(PQexec(peer, "VACUUM ANALYZE goods"));

  size_t sink = 0;
  const std::string sql = "SELECT * FROM goods";
  auto ours = [&] {
    Query q("Bench", &cn);
    q.setCommandText(sql);
    q.open();
    for (; !q.eof(); q.next()) sink += readRow(q);
  };
  auto raw = [&] {
    PGresult* r = PQexec(peer, sql.c_str());
    const int rows = PQntuples(r), cols = PQnfields(r);
    for (int i = 0; i < rows; ++i)
      for (int c = 0; c < cols; ++c) sink += static_cast<size_t>(PQgetlength(r, i, c)) + (PQgetisnull(r, i, c) ? 1 : 0);
    PQclear(r);
  };
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
  auto apply = [&] {
    Transaction t(cn);
    for (int i = 1; i <= kUpdates; ++i) {
      std::vector<Parameter> p{Parameter::of(Variant(i % 97)), Parameter::of(Variant(i))};
      sink += static_cast<size_t>(cn.execute("UPDATE goods SET \"SL\" = ? WHERE \"ID\" = ?", p));
    }
    t.commit();
  };
  ok(PQprepare(peer, "upd", "UPDATE goods SET \"SL\" = $1 WHERE \"ID\" = $2", 0, nullptr));
  auto applyRaw = [&] {
    ok(PQexec(peer, "BEGIN"));
    for (int i = 1; i <= kUpdates; ++i) {
      std::string a = std::to_string(i % 97), b = std::to_string(i);
      const char* v[] = {a.c_str(), b.c_str()};
      PGresult* r = PQexecPrepared(peer, "upd", 2, v, nullptr, nullptr, 0);
      sink += static_cast<size_t>(std::atoi(PQcmdTuples(r)));
      PQclear(r);
    }
    ok(PQexec(peer, "COMMIT"));
  };

  double best[5] = {1e300, 1e300, 1e300, 1e300, 1e300};
  for (int r = 0; r < kRuns; ++r) {
    best[0] = std::min(best[0], timed(ours));
    best[1] = std::min(best[1], timed(raw));
    best[2] = std::min(best[2], timed(sliced));
    best[3] = std::min(best[3], timed(apply));
    best[4] = std::min(best[4], timed(applyRaw));
  }
  std::printf("pg_fetch_vs_libpq=%.3f\n", best[0] / best[1]);
  std::printf("pg_apply_vs_libpq=%.3f\n", best[3] / best[4]);
  std::printf("pg_slices_vs_whole=%.3f\n", best[2] / best[0]);
  std::fprintf(stderr, "(fetch %.3fs vs %.3fs, apply %.3fs vs %.3fs, slices %.3fs; %zu)\n", best[0], best[1], best[3],
               best[4], best[2], sink);

  PQfinish(peer);
  cn.close();
  ok(PQexec(admin, ("DROP DATABASE " + db + " WITH (FORCE)").c_str()));
  PQfinish(admin);
  return 0;
}
