// Many data service objects on one company database, each keeping a
// partial fetch open while it applies a change to its own row: an open
// cursor never makes a write fail, and every change is kept.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/packets/materialized.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;
using packets::Cell;
using packets::RowStatus;

namespace {

constexpr int kClients = 32;
constexpr int kRounds = 4;

class Contention : public ServiceHome {};

TEST_F(Contention, OpenCursorsNeverMakeAppliesFail) {
  std::vector<std::string> rows{"create table Cnt (ID LONG, V LONG)"};
  for (int i = 0; i < kClients * 2; ++i) rows.push_back("insert into Cnt values (" + std::to_string(i) + ", 0)");
  company(rows);

  std::atomic<int> failures{0};
  std::vector<std::string> firstFailure(kClients);
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c)
    clients.emplace_back([&, c] {
      try {
        TDatas d;
        // The cursor stays open on the rest of the table for every round.
        auto p = packets::materialize(decoded(fetch(d, u"pTmp", 1, 1, u"select * from Cnt").packet));
        for (int round = 1; round <= kRounds; ++round) {
          if (round > 1) fetch(d, u"pTmp", 1);
          packets::MaterializedPacket m;
          m.columns = p.columns;
          m.attributes.delta = true;
          m.records.push_back({RowStatus::Original, {Cell::of(Variant(c)), Cell::of(Variant(round - 1))}});
          m.records.push_back({RowStatus::Modified, {Cell::unchanged(), Cell::of(Variant(round))}});
          int32_t n = -1;
          Variant owner;
          Variant r = d.host().AS_ApplyUpdates(u"pTmp", packets::packetToVariant(packets::encode(m)), 0, n, owner);
          if (n != 0 || !r.isNull()) throw std::runtime_error("the apply reported errors");
        }
      } catch (const std::exception& e) {
        if (failures++ == 0) firstFailure[c] = e.what();
      }
    });
  for (auto& t : clients) t.join();
  std::string first;
  for (auto& f : firstFailure) first += f;
  EXPECT_EQ(failures.load(), 0) << first;

  data::Connection cn(company_);
  data::Statement st(
      cn, "select count(*) from Cnt where V = " + std::to_string(kRounds) + " and ID < " + std::to_string(kClients));
  EXPECT_EQ(st.executeQuery().value(0, 0).toInt64(), kClients);
  data::Statement rest(cn, "select count(*) from Cnt where V <> 0 and ID >= " + std::to_string(kClients));
  EXPECT_EQ(rest.executeQuery().value(0, 0).toInt64(), 0);
}

}  // namespace
