// The object runtime driven in-process from many threads, without the wire:
// creation on the main loop, calls on object threads, releases, sessions
// that end, disconnection and shutdown, with the invariants that must hold
// whatever the interleaving.
#include <gtest/gtest.h>

#include <future>
#include <random>

#include "test_objects.h"

using namespace rvz;
using namespace rvz::remoting;
using namespace rvz::remoting::testing;

namespace {

class InProcess {
 public:
  explicit InProcess(bool resume = true) {
    runtime = std::make_unique<ObjectRuntime>(loop, live);
    auto t = tracker;
    runtime->registerClassObject(echoClass(), [t] { return std::make_unique<EchoObject>(t); });
    slowCookie = runtime->registerClassObject(slowClass(), [this] {
      std::unique_lock l(gateMu);
      ++building;
      gateCv.notify_all();
      gateCv.wait(l, [&] { return gateOpen; });
      return std::make_unique<EchoObject>(tracker);
    });
    if (resume) runtime->resumeClassObjects();
    mainThread = std::thread([this] { loop.run(); });
  }

  ~InProcess() {
    openGate();
    runtime->shutdown();
    loop.quit();
    mainThread.join();
  }

  std::future<CreateResult> createAsync(const SessionId& s, const ClassDesc& cls) {
    auto pr = std::make_shared<std::promise<CreateResult>>();
    auto f = pr->get_future();
    runtime->createObject(s, cls.progId, false, "", [pr](CreateResult& r) { pr->set_value(r); });
    return f;
  }
  CreateResult create(const SessionId& s, const ClassDesc& cls = echoClass()) { return createAsync(s, cls).get(); }

  std::future<CallResult> callAsync(const SessionId& s, ObjectId id, int32_t dispid, std::vector<Variant> args) {
    auto pr = std::make_shared<std::promise<CallResult>>();
    auto f = pr->get_future();
    runtime->invoke(s, id, dispid, std::move(args), [pr](CallResult& r) { pr->set_value(std::move(r)); });
    return f;
  }
  CallResult call(const SessionId& s, ObjectId id, int32_t dispid, std::vector<Variant> args) {
    return callAsync(s, id, dispid, std::move(args)).get();
  }

  std::future<ReleaseResult> releaseAsync(const SessionId& s, ObjectId id) {
    auto pr = std::make_shared<std::promise<ReleaseResult>>();
    auto f = pr->get_future();
    runtime->release(s, id, [pr](ReleaseResult& r) { pr->set_value(r); });
    return f;
  }

  void waitBuilding(int n) {
    std::unique_lock l(gateMu);
    gateCv.wait(l, [&] { return building >= n; });
  }
  void openGate() {
    std::lock_guard l(gateMu);
    gateOpen = true;
    gateCv.notify_all();
  }
  // Lets calls waiting in the tracker's gate `name` go on.
  void passGate(const std::string& name, int extra) {
    std::lock_guard l(tracker->mu);
    tracker->gates[name] += extra;
    tracker->cv.notify_all();
  }
  bool gateEntered(const std::string& name, int n) {
    return eventually([&] {
      std::lock_guard l(tracker->mu);
      return tracker->gates[name] >= n;
    });
  }

  std::shared_ptr<Tracker> tracker = std::make_shared<Tracker>();
  MessageLoop loop;
  LiveCount live;
  std::unique_ptr<ObjectRuntime> runtime;
  uint32_t slowCookie = 0;

 private:
  std::thread mainThread;
  std::mutex gateMu;
  std::condition_variable gateCv;
  int building = 0;
  bool gateOpen = false;
};

}  // namespace

TEST(ObjectRuntime, ManyClientsAtOnceLoseNothing) {
  InProcess p;
  std::atomic<ObjectId> highest{0};
  std::atomic<int> wrongAnswers{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> clients;
  for (int w = 0; w < 6; ++w) {
    clients.emplace_back([&, w] {
      std::mt19937 rng(1234 + w);
      SessionId s = p.runtime->openSession();
      std::vector<ObjectId> mine;
      for (int step = 0; step < 60; ++step) {
        switch (rng() % 6) {
          case 0:
          case 1: {
            if (mine.size() >= 4) break;
            CreateResult r = p.create(s);
            if (r.hr == S_OK) {
              mine.push_back(r.id);
              highest = std::max(highest.load(), r.id);
            } else if (r.hr != RPC_E_DISCONNECTED) {
              ++wrongAnswers;
            }
            break;
          }
          case 2: {
            if (mine.empty()) break;
            int a = static_cast<int>(rng() % 1000);
            CallResult r = p.call(s, mine[rng() % mine.size()], kAdd, {Variant(a), Variant(1)});
            if (r.hr == S_OK ? r.result != Variant(a + 1) : r.hr != RPC_E_DISCONNECTED) ++wrongAnswers;
            break;
          }
          case 3: {
            if (mine.empty()) break;
            CallResult r = p.call(s, mine[rng() % mine.size()], kHold, {Variant(0)});
            if (r.hr != S_OK && r.hr != RPC_E_DISCONNECTED) ++wrongAnswers;
            break;
          }
          case 4: {
            if (mine.empty()) break;
            size_t k = rng() % mine.size();
            uint32_t n;
            ErrorInfo e;
            if (p.runtime->addRef(s, mine[k], n, e) == S_OK) p.releaseAsync(s, mine[k]).get();
            ReleaseResult r = p.releaseAsync(s, mine[k]).get();
            if (r.hr != S_OK && r.hr != RPC_E_DISCONNECTED) ++wrongAnswers;
            mine.erase(mine.begin() + static_cast<long>(k));
            break;
          }
          case 5:
            if (rng() % 4 == 0) {
              p.runtime->closeSession(s);
              s = p.runtime->openSession();
              mine.clear();
            }
            break;
        }
      }
      p.runtime->closeSession(s);
    });
  }
  std::thread disconnector([&] {
    std::mt19937 rng(99);
    while (!stop) {
      if (highest > 0) p.runtime->disconnectObject(1 + rng() % highest);
      std::this_thread::yield();
    }
  });
  for (auto& c : clients) c.join();
  stop = true;
  disconnector.join();

  EXPECT_EQ(wrongAnswers.load(), 0);
  EXPECT_TRUE(eventually([&] { return p.runtime->objectThreadCount() == 0; }));
  EXPECT_EQ(p.runtime->objectCount(), 0u);
  EXPECT_EQ(p.runtime->sessionCount(), 0u);
  std::lock_guard l(p.tracker->mu);
  EXPECT_GT(p.tracker->constructed, 0);
  EXPECT_EQ(p.tracker->constructed, p.tracker->destroyed);
  EXPECT_TRUE(p.tracker->destroyedOnOwnThread);
  EXPECT_EQ(p.tracker->overlaps, 0);
  EXPECT_EQ(p.live.value(), 0);
}

TEST(ObjectRuntime, QueuedCallsRunBeforeTheLastRelease) {
  InProcess p;
  SessionId s = p.runtime->openSession();
  ObjectId id = p.create(s).id;
  auto gate = p.callAsync(s, id, kGate, {Variant(u"q"), Variant(2)});
  ASSERT_TRUE(p.gateEntered("q", 1));
  // The object is busy: these wait in its queue, in order.
  auto add = p.callAsync(s, id, kAdd, {Variant(1), Variant(2)});
  auto released = p.releaseAsync(s, id);
  auto late = p.call(s, id, kAdd, {Variant(1), Variant(2)});
  EXPECT_EQ(late.hr, RPC_E_DISCONNECTED);
  p.passGate("q", 1);
  EXPECT_EQ(gate.get().result, Variant(true));
  CallResult a = add.get();
  EXPECT_EQ(a.hr, S_OK);
  EXPECT_EQ(a.result, Variant(3));
  EXPECT_EQ(released.get().hr, S_OK);
  EXPECT_EQ(p.tracker->destroyedCount(), 1);
}

TEST(ObjectRuntime, QueuedCallsOfADisconnectedObjectFail) {
  InProcess p;
  SessionId s = p.runtime->openSession();
  ObjectId id = p.create(s).id;
  auto gate = p.callAsync(s, id, kGate, {Variant(u"d"), Variant(2)});
  ASSERT_TRUE(p.gateEntered("d", 1));
  auto queued = p.callAsync(s, id, kAdd, {Variant(1), Variant(2)});
  p.runtime->disconnectObject(id);
  p.passGate("d", 1);
  EXPECT_EQ(gate.get().hr, S_OK);  // the call in progress ends normally
  CallResult q = queued.get();
  EXPECT_EQ(q.hr, RPC_E_DISCONNECTED);
  EXPECT_NE(q.error.description.find(u"disconnected"), std::u16string::npos);
  EXPECT_TRUE(eventually([&] { return p.tracker->destroyedCount() == 1; }));
  EXPECT_TRUE(p.tracker->destroyedOnOwnThread);
  EXPECT_EQ(p.releaseAsync(s, id).get().hr, RPC_E_DISCONNECTED);
  // The object's unit of the live count goes after its destructor has run.
  EXPECT_TRUE(eventually([&] { return p.live.value() == 0; }));
}

TEST(ObjectRuntime, OtherCreationsWaitForABuildInProgress) {
  InProcess p;
  SessionId s = p.runtime->openSession();
  auto slow = p.createAsync(s, slowClass());
  p.waitBuilding(1);
  auto quick = p.createAsync(s, echoClass());
  EXPECT_EQ(quick.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  EXPECT_EQ(p.tracker->constructedCount(), 0);
  p.openGate();
  EXPECT_EQ(slow.get().hr, S_OK);
  EXPECT_EQ(quick.get().hr, S_OK);
  EXPECT_EQ(p.runtime->objectThreadCount(), 2u);
}

TEST(ObjectRuntime, SessionEndingDuringCreationDestroysTheNewObject) {
  InProcess p;
  SessionId s = p.runtime->openSession();
  auto slow = p.createAsync(s, slowClass());
  p.waitBuilding(1);
  p.runtime->closeSession(s);
  p.openGate();
  CreateResult r = slow.get();
  EXPECT_EQ(r.hr, RPC_E_DISCONNECTED);
  EXPECT_TRUE(eventually([&] { return p.runtime->objectThreadCount() == 0; }));
  EXPECT_EQ(p.tracker->destroyedCount(), 1);
  EXPECT_TRUE(p.tracker->destroyedOnOwnThread);
  EXPECT_EQ(p.live.value(), 0);
}

TEST(ObjectRuntime, ShutdownAnswersWaitingCreationsAndDisconnectsObjects) {
  InProcess p(/*resume=*/false);
  SessionId s = p.runtime->openSession();
  std::vector<std::future<CreateResult>> waiting;
  for (int i = 0; i < 3; ++i) waiting.push_back(p.createAsync(s, echoClass()));
  ErrorInfo e;
  ASSERT_EQ(p.runtime->lockServer(s, "Test.Echo", true, e), S_OK);
  EXPECT_EQ(p.live.value(), 1);
  p.runtime->shutdown();
  for (auto& w : waiting) EXPECT_EQ(w.get().hr, CO_E_SERVER_STOPPING);
  EXPECT_EQ(p.tracker->constructedCount(), 0);
  EXPECT_EQ(p.live.value(), 0);
  EXPECT_EQ(p.create(s).hr, CO_E_SERVER_STOPPING);
  EXPECT_THROW(p.runtime->openSession(), ComError);
}

TEST(ObjectRuntime, RevokedClassAnswersItsWaitingRequests) {
  InProcess p(/*resume=*/false);
  SessionId s = p.runtime->openSession();
  auto waiting = p.createAsync(s, slowClass());
  p.runtime->revokeClassObject(p.slowCookie);
  CreateResult r = waiting.get();
  EXPECT_EQ(r.hr, REGDB_E_CLASSNOTREG);
  EXPECT_NE(r.error.description.find(u"Test.Slow"), std::u16string::npos);
  EXPECT_EQ(p.create(s, slowClass()).hr, CO_E_CLASSSTRING);
  EXPECT_EQ(p.runtime->objectThreadCount(), 0u);
}

TEST(ObjectRuntime, ServerLocksOnClassObjects) {
  InProcess p;
  ErrorInfo e;
  ASSERT_EQ(p.runtime->lockClassObject(p.slowCookie, true, e), S_OK);
  EXPECT_EQ(p.live.value(), 1);
  ASSERT_EQ(p.runtime->lockClassObject(p.slowCookie, false, e), S_OK);
  EXPECT_EQ(p.live.lastReleases(), 1u);
  EXPECT_EQ(p.runtime->lockClassObject(p.slowCookie, false, e), E_FAIL);
  EXPECT_EQ(p.runtime->lockClassObject(12345, true, e), REGDB_E_CLASSNOTREG);
}

// An object thread that cannot start fails its own creation request only:
// the request's hold on the live count and its place among the creations in
// progress go with it, so later creations work and shutdown does not wait.
TEST(ObjectRuntime, AThreadThatCannotStartFailsOnlyItsCreation) {
  InProcess p;
  std::atomic<int> refusals{1};
  p.runtime->setThreadStarter([&](std::function<void()> body) {
    if (refusals.fetch_sub(1) > 0)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread(std::move(body));
  });
  SessionId s = p.runtime->openSession();
  CreateResult failed = p.create(s);
  EXPECT_EQ(failed.hr, E_OUTOFMEMORY);
  EXPECT_NE(failed.error.description.find(u"could not start"), std::u16string::npos);
  EXPECT_EQ(p.live.value(), 0);
  EXPECT_EQ(p.live.lastReleases(), 1u);
  EXPECT_EQ(p.runtime->objectThreadCount(), 0u);

  CreateResult ok = p.create(s);
  ASSERT_EQ(ok.hr, S_OK);
  EXPECT_EQ(p.live.value(), 1);
  EXPECT_EQ(p.releaseAsync(s, ok.id).get().hr, S_OK);
  EXPECT_TRUE(eventually([&] { return p.live.value() == 0; }));
  p.runtime->shutdown();  // returns: nothing is left counted as in progress
  EXPECT_EQ(p.runtime->objectThreadCount(), 0u);
}
