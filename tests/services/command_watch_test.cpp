// The command watch on Cn: what is refused, what the log receives, and what
// the client's call reports.
#include "services/command_watch.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>

#include "platform/data/data_error.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;

namespace {

class Captured : public ActivityLogSink {
 public:
  void addLogEntry(std::string_view e) override {
    std::lock_guard g(m);
    entries.emplace_back(e);
  }
  std::mutex m;
  std::vector<std::string> entries;
};

struct WatchCase {
  const char* text;
  bool refused;
};

void PrintTo(const WatchCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class Refusal : public ::testing::TestWithParam<WatchCase> {};

TEST_P(Refusal, UpdateWithoutSetAnywhere) { EXPECT_EQ(refusesCommand(GetParam().text), GetParam().refused); }

INSTANTIATE_TEST_SUITE_P(Texts, Refusal,
                         ::testing::Values(WatchCase{"update GOODS", true}, WatchCase{"UPDATE", true},
                                           WatchCase{"upDate", true}, WatchCase{"UPDATE GOODS SET PRICE=1", false},
                                           WatchCase{"update goods set price=1", false},
                                           WatchCase{"update ASSETS", false},
                                           WatchCase{"update T where x='reset'", false},
                                           WatchCase{" update GOODS", false}, WatchCase{"updat", false},
                                           WatchCase{"select * from T", false}, WatchCase{"delete from T", false},
                                           WatchCase{"update 货品", true}, WatchCase{"update 货品 set 价格=1", false},
                                           // the CP936 form of 乻 ends in "s": with "et" after it the
                                           // byte-wise text holds SET
                                           WatchCase{"update T 乻et", false}, WatchCase{"update T 乻", true},
                                           WatchCase{"货品 update", false}, WatchCase{"UPDATE\tX", true}));

class CommandWatch : public ServiceHome {
 protected:
  void SetUp() override {
    ServiceHome::SetUp();
    sink = std::make_shared<Captured>();
    setActivityLogSink(sink);
  }
  void TearDown() override {
    setActivityLogSink(nullptr);
    ServiceHome::TearDown();
  }
  std::shared_ptr<Captured> sink;
};

TEST_F(CommandWatch, EveryCommandOnCnIsLoggedAsSent) {
  TDatas d;
  fetch(d, u"pAppMenu", -1);
  Variant params, owner;
  d.host().AS_Execute(u"pTmp", u"update AppMenu set mLevel = 2", params, owner);
  ASSERT_EQ(sink->entries.size(), 2u);
  EXPECT_EQ(sink->entries[0], "select * from AppMenu\r\n");
  EXPECT_EQ(sink->entries[1], "update AppMenu set mLevel = 2");
  // conAccounts has no watch.
  d.RemoteDataModuleCreate();
  fetch(d, u"pVersionInfor", -1);
  EXPECT_EQ(sink->entries.size(), 2u);
}

TEST_F(CommandWatch, CrosstabMakeTableAndParameterTextsAreLoggedAsSentOnce) {
  company({"insert into BM (ID, MC) values (1, 'a')", "insert into BM (ID, MC) values (2, 'b')"});
  TDatas d;
  const std::u16string texts[] = {
      u"TRANSFORM Count(*) SELECT MC FROM BM GROUP BY MC PIVOT ID",
      u"PARAMETERS n Long; SELECT MC FROM BM WHERE ID = n",
  };
  for (const auto& t : texts) fetch(d, u"pTmp", -1, 1 | 2, t);
  Variant params, owner;
  d.host().AS_Execute(u"pTmp", u"SELECT ID, MC INTO BM2 FROM BM", params, owner);
  ASSERT_EQ(sink->entries.size(), 3u);
  EXPECT_EQ(sink->entries[0], "TRANSFORM Count(*) SELECT MC FROM BM GROUP BY MC PIVOT ID");
  EXPECT_EQ(sink->entries[1], "PARAMETERS n Long; SELECT MC FROM BM WHERE ID = n");
  EXPECT_EQ(sink->entries[2], "SELECT ID, MC INTO BM2 FROM BM");
  auto made = decoded(fetch(d, u"pTmp", -1, 1 | 2, u"select * from BM2").packet);
  EXPECT_EQ(made.rowCount(), 2u);
  // Made with the types of BM's own columns.
  auto source = decoded(fetch(d, u"pTmp", -1, 1 | 2, u"select ID, MC from BM").packet);
  for (size_t c = 0; c < 2; ++c) EXPECT_EQ(made.columns()[c].type, source.columns()[c].type) << c;
}

TEST_F(CommandWatch, ARefusedCommandFailsTheCallWithTheCancelError) {
  TDatas d;
  Variant params, owner;
  std::string failure;
  try {
    d.host().AS_Execute(u"pTmp", u"update AppMenu", params, owner);
  } catch (const data::DataError& e) {
    failure = e.what();
    EXPECT_EQ(e.number(), data::kErrOperationCancelled);
  }
  EXPECT_EQ(failure, std::string(data::kCancelledText));
  ASSERT_EQ(sink->entries.size(), 1u);
  EXPECT_EQ(sink->entries[0], "Not Execute: update AppMenu");
  // The object stays usable.
  EXPECT_EQ(fetch(d, u"pAppMenu", -1).recsOut, 0);
}

TEST_F(CommandWatch, ObjectsOnManyThreadsLoseNoEntry) {
  constexpr int kThreads = 4, kEach = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      TDatas d;
      for (int i = 0; i < kEach; ++i) {
        Variant params, owner;
        d.host().AS_Execute(u"pTmp",
                            text::utf8ToWide("delete from AppMenu where mIndex = " + std::to_string(t * 1000 + i)),
                            params, owner);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(sink->entries.size(), static_cast<size_t>(kThreads * kEach));
  // Each thread's entries keep their order.
  for (int t = 0; t < kThreads; ++t) {
    int last = -1;
    for (const auto& e : sink->entries) {
      auto pos = e.rfind(' ');
      int n = std::stoi(e.substr(pos + 1));
      if (n / 1000 != t) continue;
      EXPECT_GT(n, last);
      last = n;
    }
  }
}

// A thread keeps the sink it saw between its commands; a sink set later
// gets its next command, the replaced one nothing more and no reference
// from it, and with none set nothing is handed over.
TEST_F(CommandWatch, AThreadLogsToTheSinkSetLast) {
  auto second = std::make_shared<Captured>();
  std::promise<void> logged1, switched, logged2, cleared;
  std::thread worker([&] {
    TDatas d;
    auto run = [&](int n) {
      Variant params, owner;
      d.host().AS_Execute(u"pTmp", text::utf8ToWide("delete from AppMenu where mIndex = " + std::to_string(n)), params,
                          owner);
    };
    run(1);
    logged1.set_value();
    switched.get_future().wait();
    run(2);
    logged2.set_value();
    cleared.get_future().wait();
    run(3);
  });
  logged1.get_future().wait();
  setActivityLogSink(second);
  switched.set_value();
  logged2.get_future().wait();
  EXPECT_EQ(sink.use_count(), 1);
  setActivityLogSink(nullptr);
  cleared.set_value();
  worker.join();
  EXPECT_EQ(sink->entries, std::vector<std::string>{"delete from AppMenu where mIndex = 1"});
  EXPECT_EQ(second->entries, std::vector<std::string>{"delete from AppMenu where mIndex = 2"});
}

}  // namespace
