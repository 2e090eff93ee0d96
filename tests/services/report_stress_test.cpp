// Four report service objects and the data service object whose Cn they
// borrow, each on a thread of its own, fetching and applying at once; then
// the owner is released while the reports keep working. Checked: no crash
// and no data race (this binary runs under ThreadSanitizer), no statement
// of one call interleaved with another's in the activity log, nothing lost
// (every table holds exactly the applies that succeeded), and after the
// release every report call fails with the missing connection, for good.
// Also that the owner's destruction waits for a report's use in progress.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/packets/materialized.h"
#include "services/command_watch.h"
#include "services/dms_bb.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;
using packets::Cell;
using packets::RowStatus;

namespace {

constexpr int kWorkers = 4;
constexpr int kRowsPerTable = 3;
// Applies every party completes before the owner goes.
constexpr int kAppliesBeforeRelease = 15;
// Failed calls every report object sees after the release before it stops.
constexpr int kFailuresAfterRelease = 5;
// Calls after the release by which a report must have failed that often.
constexpr int kMaxCallsAfterRelease = 10000;

class CapturedLog : public ActivityLogSink {
 public:
  void addLogEntry(std::string_view entry) override {
    std::lock_guard g(m_);
    entries_.emplace_back(entry);
  }
  std::vector<std::string> entries() {
    std::lock_guard g(m_);
    return entries_;
  }

 private:
  std::mutex m_;
  std::vector<std::string> entries_;
};

// Reads the table through `provider`, then raises V of every row by one in
// one delta: one select, then one update per row.
void fetchAndRaise(ProviderHost& host, const std::u16string& provider, const std::string& table) {
  int32_t recsOut = 0;
  Variant params, owner;
  Variant packet =
      host.AS_GetRecords(provider, -1, recsOut, 1, text::utf8ToWide("select ID, V from " + table), params, owner);
  auto m = packets::materialize(decoded(packet));
  if (m.records.size() != kRowsPerTable) throw std::runtime_error(table + ": rows went missing");
  packets::MaterializedPacket delta;
  delta.columns = m.columns;
  delta.attributes.delta = true;
  for (const auto& r : m.records) {
    packets::Record mod{
        RowStatus::Modified,
        {Cell::unchanged(), Cell::of(Variant::i4(static_cast<int32_t>(r.cells[1].value.toInt64() + 1)))}};
    delta.records.push_back(r);
    delta.records.push_back(std::move(mod));
  }
  int32_t errors = -1;
  Variant result = host.AS_ApplyUpdates(provider, packets::packetToVariant(packets::encode(delta)), 0, errors, owner);
  if (errors != 0 || !result.isNull()) throw std::runtime_error(table + ": an update failed");
}

using BorrowedConnectionUnderLoad = ServiceHome;

TEST_F(BorrowedConnectionUnderLoad, ReportsAndOwnerWorkAtOnceAndTheOwnerGoesMidUse) {
  std::vector<std::string> tables = {"O"};
  for (int k = 0; k < kWorkers; ++k) tables.push_back("R" + std::to_string(k));
  std::vector<std::string> setup;
  for (const auto& t : tables) {
    setup.push_back("create table " + t + " (ID LONG primary key, V LONG)");
    for (int id = 1; id <= kRowsPerTable; ++id)
      setup.push_back("insert into " + t + " values (" + std::to_string(id) + ", 0)");
  }
  company(setup);
  auto log = std::make_shared<CapturedLog>();
  setActivityLogSink(log);

  auto owner = std::make_unique<TDatas>();
  std::vector<std::unique_ptr<TDatasBb>> reports;
  for (int k = 0; k < kWorkers; ++k) reports.push_back(std::make_unique<TDatasBb>());

  std::mutex m;
  std::condition_variable changed;
  int ready = 0;  // parties with kAppliesBeforeRelease applies done
  bool released = false;
  auto reached = [&] {
    std::lock_guard g(m);
    ++ready;
    changed.notify_all();
  };

  std::vector<int> applied(kWorkers + 1, 0);
  std::vector<std::string> problems(kWorkers + 1);

  std::vector<std::thread> threads;
  for (int k = 0; k < kWorkers; ++k)
    threads.emplace_back([&, k] {
      ProviderHost& host = reports[k]->host();
      // Each object reads through a report provider of its own choice.
      const std::u16string provider = k % 2 ? u"pKhXsHz" : u"pBbPub";
      const std::string dataset = k % 2 ? "KhXsHz" : "adoPub";
      int failures = 0, callsAfterRelease = 0;
      while (failures < kFailuresAfterRelease && problems[k].empty()) {
        bool sawRelease;
        {
          std::lock_guard g(m);
          sawRelease = released;
        }
        if (sawRelease && ++callsAfterRelease > kMaxCallsAfterRelease) {
          problems[k] = "still reading long after the release";
          break;
        }
        try {
          fetchAndRaise(host, provider, tables[k + 1]);
          if (failures > 0)
            problems[k] = "an unbound report read again";
          else if (++applied[k] == kAppliesBeforeRelease)
            reached();
        } catch (const std::exception& e) {
          {
            std::lock_guard g(m);
            sawRelease = released;
          }
          // A call may fail only through the release; anything else is a
          // fault.
          if (!sawRelease || e.what() != dataset + ": Missing Connection or ConnectionString") problems[k] = e.what();
          ++failures;
        }
      }
      // The owner waits for every party; one that stopped early must not
      // keep it waiting.
      if (applied[k] < kAppliesBeforeRelease) reached();
    });
  threads.emplace_back([&] {
    for (int i = 0; i < kAppliesBeforeRelease; ++i) {
      try {
        fetchAndRaise(owner->host(), u"pTmp", "O");
        ++applied[kWorkers];
      } catch (const std::exception& e) {
        problems[kWorkers] = e.what();
      }
    }
    reached();
    std::unique_lock g(m);
    changed.wait(g, [&] { return ready == kWorkers + 1; });
    // The owner goes while the report objects are at work.
    released = true;
    g.unlock();
    owner.reset();
  });
  for (auto& t : threads) t.join();

  for (int k = 0; k <= kWorkers; ++k) EXPECT_EQ(problems[k], "") << tables[k == kWorkers ? 0 : k + 1];
  for (auto& r : reports) EXPECT_EQ(r->binding(), BorrowedConnection::State::Unbound);

  // Nothing lost, nothing applied twice: each table holds its party's
  // successful applies in every row.
  data::Connection cn(company_);
  for (int k = 0; k <= kWorkers; ++k) {
    const std::string& t = k == kWorkers ? tables[0] : tables[k + 1];
    data::Statement st(cn, "select count(*) from " + t + " where V = " + std::to_string(applied[k]));
    EXPECT_EQ(st.executeQuery().value(0, 0).toInt64(), kRowsPerTable) << t << " after " << applied[k] << " applies";
    EXPECT_GE(applied[k], kAppliesBeforeRelease) << t;
  }

  // One call's statements stand together in the log: the updates of one
  // apply follow each other without another call's statement in between.
  // Each apply has its select before it; only a report's last select may
  // lack its apply, which came after the release.
  const auto entries = log->entries();
  const std::string kSelect = "select ID, V from ", kUpdate = "update ";
  std::map<std::string, int> selects, applies;
  for (size_t i = 0; i < entries.size();) {
    const std::string& e = entries[i];
    if (e.rfind(kSelect, 0) == 0) {
      ++selects[e.substr(kSelect.size())];
      ++i;
      continue;
    }
    ASSERT_EQ(e.rfind(kUpdate, 0), 0u) << "entry " << i << ": " << e;
    const std::string table = e.substr(kUpdate.size(), e.find(' ', kUpdate.size()) - kUpdate.size());
    for (int row = 0; row < kRowsPerTable; ++row) {
      ASSERT_LT(i + row, entries.size());
      EXPECT_EQ(entries[i + row].rfind(kUpdate + table + "  set", 0), 0u)
          << "entry " << i + row << " within the apply to " << table << ": " << entries[i + row];
    }
    ++applies[table];
    i += kRowsPerTable;
  }
  for (int k = 0; k <= kWorkers; ++k) {
    const std::string& t = k == kWorkers ? tables[0] : tables[k + 1];
    EXPECT_EQ(applies[t], applied[k]) << t;
    EXPECT_GE(selects[t] - applies[t], 0) << t;
    EXPECT_LE(selects[t] - applies[t], k == kWorkers ? 0 : 1) << t;
  }
  setActivityLogSink(nullptr);
}

// A command watch that holds the report's use open until told to go on.
class Gate : public ActivityLogSink {
 public:
  void addLogEntry(std::string_view) override {
    std::unique_lock g(m);
    inUse = true;
    changed.notify_all();
    changed.wait(g, [&] { return go; });
    events.push_back("use ends");
  }
  std::mutex m;
  std::condition_variable changed;
  bool inUse = false, go = false;
  std::vector<std::string> events;
};

TEST_F(BorrowedConnectionUnderLoad, TheOwnerGoesOnlyAfterTheUseInProgressHasEnded) {
  company({"insert into KH (ID, MC) values (1, 'a')"});
  auto gate = std::make_shared<Gate>();
  setActivityLogSink(gate);
  auto owner = std::make_unique<TDatas>();
  TDatasBb b;
  int32_t recsOut = 0;
  std::thread report([&] {
    Variant params, ownerData;
    b.host().AS_GetRecords(u"pKhXsHz", -1, recsOut, 1, u"select * from KH", params, ownerData);
  });
  std::unique_lock g(gate->m);
  gate->changed.wait(g, [&] { return gate->inUse; });
  g.unlock();
  std::thread destroyer([&] {
    {
      std::lock_guard l(gate->m);
      gate->events.push_back("destroying");
      gate->changed.notify_all();
    }
    owner.reset();
    std::lock_guard l(gate->m);
    gate->events.push_back("destroyed");
  });
  g.lock();
  gate->changed.wait(g, [&] { return !gate->events.empty(); });
  gate->go = true;
  gate->changed.notify_all();
  g.unlock();
  report.join();
  destroyer.join();
  setActivityLogSink(nullptr);
  EXPECT_EQ(gate->events, (std::vector<std::string>{"destroying", "use ends", "destroyed"}));
  EXPECT_EQ(recsOut, 1);
  EXPECT_EQ(b.binding(), BorrowedConnection::State::Unbound);
}

}  // namespace
