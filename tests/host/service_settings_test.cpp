// The service settings read from the environment, the questions the
// executable answers without starting, and the stop signal watcher.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/command_line.h"
#include "host/service_settings.h"
#include "host/stop_signals.h"
#include "platform/remoting/error_info.h"

using namespace std::chrono_literals;
using rvz::host::ServiceSettings;

namespace {

ServiceSettings settingsOf(const std::map<std::string, std::string>& vars) {
  return ServiceSettings::fromEnvironment([&vars](const char* name) -> const char* {
    auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  });
}

TEST(ServiceSettings, DefaultsAndValues) {
  auto d = settingsOf({});
  EXPECT_EQ(d.drain, 10s);
  EXPECT_EQ(d.slowCall, 2s);
  EXPECT_EQ(d.logLevel, rvz::oplog::Level::Info);
  EXPECT_FALSE(d.mirrorActivity);
  auto s = settingsOf({{"RVZ_DRAIN_SECONDS", "0.25"},
                       {"RVZ_SLOW_CALL_SECONDS", "0"},
                       {"RVZ_LOG_LEVEL", "Debug"},
                       {"RVZ_LOG_ACTIVITY", "1"},
                       {"RVZ_LOG_FILE", "/var/log/x.log"}});
  EXPECT_EQ(s.drain, 250ms);
  EXPECT_EQ(s.slowCall, 0ms);
  EXPECT_EQ(s.logLevel, rvz::oplog::Level::Debug);
  EXPECT_TRUE(s.mirrorActivity);
  EXPECT_EQ(s.logFile, "/var/log/x.log");
}

TEST(ServiceSettings, BadValuesNameTheirVariable) {
  const std::pair<const char*, const char*> cases[] = {
      {"RVZ_DRAIN_SECONDS", "abc"},  {"RVZ_DRAIN_SECONDS", "-1"},   {"RVZ_DRAIN_SECONDS", "1e3"},
      {"RVZ_DRAIN_SECONDS", "3601"}, {"RVZ_DRAIN_SECONDS", "nan"},  {"RVZ_SLOW_CALL_SECONDS", "2s"},
      {"RVZ_LOG_LEVEL", "verbose"},  {"RVZ_LOG_ACTIVITY", "maybe"},
  };
  for (const auto& [name, value] : cases) {
    try {
      settingsOf({{name, value}});
      ADD_FAILURE() << name << "=" << value << " was taken";
    } catch (const rvz::ComError& e) {
      EXPECT_EQ(e.hresult(), rvz::E_INVALIDARG);
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
  }
}

TEST(Question, HelpAndVersionAreAnsweredBeforeAnyStart) {
  using rvz::host::Question;
  struct Case {
    std::vector<std::string> args;
    Question q;
  };
  const Case cases[] = {
      {{}, Question::None},
      {{"-Embedding"}, Question::None},
      {{"--help"}, Question::Help},
      {{"-h"}, Question::Help},
      {{"/regserver", "--version"}, Question::Version},
      {{"--version", "--help"}, Question::Help},
      {{"-help"}, Question::None},  // not a switch of the server: ignored, as any other word
  };
  for (const auto& c : cases) EXPECT_EQ(rvz::host::questionFromArguments(c.args), c.q) << c.args.size();
  EXPECT_NE(rvz::host::helpText().find("RVZ_DRAIN_SECONDS"), std::string::npos);
}

// The watcher's reactions, with the forced end caught instead of ending
// the test process.
class StopSignalsTest : public ::testing::Test {
 protected:
  void SetUp() override { rvz::host::blockStopSignals(); }

  bool waitUntil(const std::function<bool()>& cond) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, 10s, cond);
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<int> stops_;
  std::vector<std::string> forced_;
};

TEST_F(StopSignalsTest, FirstSignalStopsSecondEndsAtOnce) {
  rvz::host::StopSignals watch(
      1h,
      [this](int sig) {
        std::lock_guard lock(mu_);
        stops_.push_back(sig);
        cv_.notify_all();
      },
      [this](const char* reason) {
        std::lock_guard lock(mu_);
        forced_.emplace_back(reason);
        cv_.notify_all();
      });
  ::kill(::getpid(), SIGTERM);
  ASSERT_TRUE(waitUntil([&] { return !stops_.empty(); }));
  EXPECT_EQ(stops_, std::vector<int>{SIGTERM});
  {
    std::lock_guard lock(mu_);
    EXPECT_TRUE(forced_.empty()) << "the drain time is an hour";
  }
  ::kill(::getpid(), SIGINT);
  ASSERT_TRUE(waitUntil([&] { return !forced_.empty(); }));
  EXPECT_NE(forced_[0].find("second SIGINT"), std::string::npos) << forced_[0];
  EXPECT_EQ(stops_.size(), 1u);
}

TEST_F(StopSignalsTest, ATeardownLongerThanTheDrainIsCutShort) {
  rvz::host::StopSignals watch(
      0ms, [](int) {},
      [this](const char* reason) {
        std::lock_guard lock(mu_);
        forced_.emplace_back(reason);
        cv_.notify_all();
      });
  watch.startDrain();
  ASSERT_TRUE(waitUntil([&] { return !forced_.empty(); }));
  EXPECT_NE(forced_[0].find("did not end within the drain time"), std::string::npos) << forced_[0];
}

TEST_F(StopSignalsTest, AWatcherStoodDownInTimeEndsNothing) {
  {
    rvz::host::StopSignals watch(
        1h, [](int) {}, [this](const char* reason) { forced_.emplace_back(reason); });
    watch.startDrain();
  }
  EXPECT_TRUE(forced_.empty());
}

}  // namespace
