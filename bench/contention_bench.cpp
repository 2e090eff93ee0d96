// Many clients on one company database: 32 data service objects, each on
// its own thread, each round fetching one row (a partial fetch, so its
// cursor stays open) and then applying a one-row change to a row of its
// own, 10 rounds; against the same work done by the 32 objects one at a
// time on one thread. Runs alternate; prints the failed applies of all
// concurrent runs (contention_apply_failures), the median ratio of the
// concurrent wall time to the serial one (contention_vs_serial) and the
// spread of that ratio (contention_vs_serial_spread = max / min).
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/data/connection.h"
#include "platform/files/files.h"
#include "platform/packets/materialized.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"
#include "services/dms.h"
#include "tests/support/scratch_folder.h"

using namespace rvz;
using packets::Cell;
using packets::RowStatus;

namespace {

constexpr int kClients = 32;
constexpr int kRounds = 10;
constexpr int kRuns = 5;
const char* kConnection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=data\\Contention.mdb";

std::atomic<int> g_failures{0};

// One client: a data service object with its cursor open on the table.
struct Client {
  explicit Client(int id) : id(id) { d.Cn.setConnectionString(kConnection); }
  int id;
  services::TDatas d;
  std::vector<packets::Column> columns;
  int value = 0;

  void round() {
    try {
      Variant params, owner;
      int32_t out = 0;
      bool first = columns.empty();
      Variant p =
          d.host().AS_GetRecords(u"pTmp", 1, out, first ? 1 : 0, first ? u"select * from Cnt" : u"", params, owner);
      if (first) columns = packets::materialize(packets::decodePacket(p)).columns;
      packets::MaterializedPacket m;
      m.columns = columns;
      m.attributes.delta = true;
      m.records.push_back({RowStatus::Original, {Cell::of(Variant(id)), Cell::of(Variant(value))}});
      m.records.push_back({RowStatus::Modified, {Cell::unchanged(), Cell::of(Variant(value + 1))}});
      int32_t n = -1;
      Variant r = d.host().AS_ApplyUpdates(u"pTmp", packets::packetToVariant(packets::encode(m)), 0, n, owner);
      if (n != 0 || !r.isNull()) {
        ++g_failures;
        return;
      }
      ++value;
    } catch (const std::exception&) {
      ++g_failures;
    }
  }

  // Back to the start: the cursor is closed and the row reset.
  void reset(data::Connection& cn) {
    Variant params, owner;
    int32_t out = 0;
    d.host().AS_GetRecords(u"pTmp", 0, out, 2, u"", params, owner);
    columns.clear();
    value = 0;
    cn.execute("update Cnt set V = 0 where ID = " + std::to_string(id));
  }
};

double timed(const std::function<void()>& f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
  const rvz::testsupport::ScratchFolder scratch("bench");
  const std::filesystem::path home = scratch.path();
  std::filesystem::create_directories(home / "data");
  const rvz::testsupport::HomeScope homeScope(home);
  files::writeFile(home / "data" / "Contention.mdb", "");
  data::Connection cn(kConnection);
  cn.execute("create table Cnt (ID LONG, V LONG)");
  for (int i = 0; i < kClients + kRounds; ++i) cn.execute("insert into Cnt values (" + std::to_string(i) + ", 0)");

  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < kClients; ++i) clients.push_back(std::make_unique<Client>(i));
  auto resetAll = [&] {
    for (auto& c : clients) c->reset(cn);
  };

  std::vector<double> ratios;
  int concurrentFailures = 0;
  for (int run = 0; run < kRuns; ++run) {
    resetAll();
    g_failures = 0;
    double serial = timed([&] {
      for (auto& c : clients)
        for (int r = 0; r < kRounds; ++r) c->round();
    });
    resetAll();
    g_failures = 0;
    double concurrent = timed([&] {
      std::vector<std::thread> threads;
      for (auto& c : clients)
        threads.emplace_back([&c] {
          for (int r = 0; r < kRounds; ++r) c->round();
        });
      for (auto& t : threads) t.join();
    });
    concurrentFailures += g_failures.load();
    ratios.push_back(concurrent / serial);
  }
  resetAll();
  clients.clear();
  cn.close();
  std::sort(ratios.begin(), ratios.end());
  std::printf("contention_apply_failures=%d\n", concurrentFailures);
  std::printf("contention_vs_serial=%.3f\n", ratios[ratios.size() / 2]);
  std::printf("contention_vs_serial_spread=%.3f\n", ratios.back() / ratios.front());
  return 0;
}
