// A SQL Server account set from choosing it to its first rows:
// ConnectAct(1) on a fresh data service object with RoVezevu.ini naming a
// PostgreSQL database, then AS_GetRecords of a one-row dataset, against a
// plain libpq connect and the same select on the same database
// (connectact_server_vs_libpq_connect). Needs the bench cluster
// (RVZ_BENCH_PG, a libpq connection string); skipped without it.
// What is timed on each side is what the figure names: our side from
// ConnectAct to the fetched rows (the data service object is made before
// the clock starts and released after it stops), the peer from its connect
// to its rows (its disconnect after the clock stops). The two sides run in
// interleaved pairs (paired_timing.h).
#include <libpq-fe.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/paired_timing.h"
#include "catalogue/schema.h"
#include "link/password_scrambler.h"
#include "platform/data/connection.h"
#include "services/dms.h"

using namespace rvz;

namespace {

constexpr int kPairs = 15;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "link_bench: %s\n", what.c_str());
  std::exit(1);
}

// The keywords of a libpq "key=value ..." string.
std::map<std::string, std::string> keywords(const std::string& conninfo) {
  std::map<std::string, std::string> m;
  std::istringstream in(conninfo);
  for (std::string item; in >> item;) {
    auto eq = item.find('=');
    if (eq != std::string::npos) m[item.substr(0, eq)] = item.substr(eq + 1);
  }
  return m;
}

void raw(const std::string& conninfo, const std::string& sql) {
  PGconn* c = PQconnectdb(conninfo.c_str());
  if (PQstatus(c) != CONNECTION_OK) fail(PQerrorMessage(c));
  PGresult* r = PQexec(c, sql.c_str());
  if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) fail(PQresultErrorMessage(r));
  PQclear(r);
  PQfinish(c);
}

}  // namespace

int main() {
  const char* bench = std::getenv("RVZ_BENCH_PG");
  if (!bench || !*bench) {
    std::printf("connectact_server_vs_libpq_connect=skipped (no PostgreSQL)\n");
    return 0;
  }
  auto kw = keywords(bench);
  const std::string db = "rvz_link_bench_" + std::to_string(::getpid());
  raw(bench, "CREATE DATABASE " + db);
  const std::string host = kw["host"], port = kw.count("port") ? kw["port"] : "5432", user = kw["user"];
  {
    data::Connection cn("Provider=SQLOLEDB.1;Data Source=" + host + "," + port + ";User ID=" + user +
                        ";Initial Catalog=" + db);
    for (const auto& s : catalogue::companySchemaStatements()) cn.execute(s);
    cn.execute("insert into AppMenu (mName, mIndex) values ('one', 1)");
  }

  // The server's home: RoVezevu.ini naming the database on the local
  // server as libpq finds it.
  char tmpl[] = "/tmp/rvz_link_bench_XXXXXX";
  if (!mkdtemp(tmpl)) fail("no scratch folder");
  std::filesystem::path home = tmpl;
  std::ofstream(home / "RoVezevu.ini") << "[Connection]\r\nServerName=.\r\nDatabaseName=" << db << "\r\nUserId=" << user
                                       << "\r\nPassword=" << link::ScramblePassword("unused", link::kPasswordKey, true)
                                       << "\r\n";
  setenv("RVZ_HOME", home.c_str(), 1);
  setenv("PGHOST", host.c_str(), 1);
  setenv("PGPORT", port.c_str(), 1);

  auto ours = [&] {
    services::TDatas d;
    return bench::timed([&] {
      if (d.ConnectAct(1, u"", u"", u"", u"") != 0) fail("ConnectAct did not connect");
      int32_t out = -1;
      Variant params, owner;
      d.host().AS_GetRecords(u"pAppMenu", -1, out, 1, u"", params, owner);
      if (out != 1) fail("the fetch did not deliver one row");
    });
  };
  const std::string peerInfo = "host=" + host + " port=" + port + " user=" + user + " dbname=" + db;
  auto peer = [&] {
    PGconn* c = nullptr;
    const double seconds = bench::timed([&] {
      c = PQconnectdb(peerInfo.c_str());
      if (PQstatus(c) != CONNECTION_OK) fail(PQerrorMessage(c));
      PGresult* r = PQexec(c, "select * from \"AppMenu\"");
      if (PQntuples(r) != 1) fail(std::string("the peer did not read one row: ") + PQresultErrorMessage(r));
      PQclear(r);
    });
    PQfinish(c);
    return seconds;
  };
  ours();  // the first run sets the database up for this server
  peer();
  bench::printFigure("connectact_server_vs_libpq_connect", bench::pairedRatio(ours, peer, kPairs));
  raw(bench, "DROP DATABASE IF EXISTS " + db + " WITH (FORCE)");
  std::filesystem::remove_all(home);
  return 0;
}
