// The object runtime over real gRPC on a loopback port, and over the framed
// transport: creation, calls, references, object threads, sessions that
// end, and the security bounds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <future>
#include <set>

#include <grpcpp/grpcpp.h>
#include <grpcpp/impl/codegen/client_unary_call.h>

#include "rovezevu/remoting/v1/remoting.grpc.pb.h"
#include "platform/remoting/wire_codec.h"
#include "test_objects.h"
#include "services/quib_type_library.h"

extern char** environ;

using namespace rvz;
using namespace rvz::remoting;
using namespace rvz::services;
using namespace rvz::remoting::testing;
using client::Client;
using client::ObjectRef;

namespace {

std::string describe(const ErrorInfo& e) { return formatHresult(e.hresult) + " " + text::wideToUtf8(e.description); }

constexpr HRESULT kOutOfResources = static_cast<HRESULT>(0x800706B9);

ObjectRef create(Client& c, const std::string& cls) {
  ObjectRef o;
  ErrorInfo e;
  HRESULT hr = c.create(cls, o, e);
  EXPECT_EQ(hr, S_OK) << describe(e);
  return o;
}

Variant call(Client& c, const ObjectRef& o, int32_t dispid, std::vector<Variant> args) {
  Variant r;
  ErrorInfo e;
  HRESULT hr = c.invoke(o, dispid, args, r, e);
  EXPECT_EQ(hr, S_OK) << describe(e);
  return r;
}

// The tests below run on each transport: gRPC, and the framed transport on
// loopback TCP and on a Unix socket.
class WireTest : public ::testing::TestWithParam<Wire> {
 protected:
  ServerConfig config() const { return TestServer::defaultConfig(GetParam()); }
};
class RemoteObjects : public WireTest {};
class RemoteSecurity : public WireTest {};

std::string wireParamName(const ::testing::TestParamInfo<Wire>& info) { return wireName(info.param); }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Wires, RemoteObjects, ::testing::Values(Wire::Grpc, Wire::FramedTcp, Wire::FramedUnix),
                         wireParamName);
INSTANTIATE_TEST_SUITE_P(Wires, RemoteSecurity, ::testing::Values(Wire::Grpc, Wire::FramedTcp, Wire::FramedUnix),
                         wireParamName);

TEST_P(RemoteObjects, CreateCallRelease) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o;
  ErrorInfo e;
  ASSERT_EQ(c->create("Test.Echo", o, e), S_OK) << describe(e);
  EXPECT_EQ(o.progId, "Test.Echo");
  EXPECT_EQ(o.classId, echoClass().clsid);
  EXPECT_EQ(o.interfaceId, testInterface().iid);
  EXPECT_EQ(s.live.value(), 1);

  EXPECT_EQ(call(*c, o, kAdd, {Variant(2), Variant(40)}), Variant(42));
  std::vector<Variant> args{Variant(20), Variant(1)};
  Variant r;
  ASSERT_EQ(c->invoke(o, "aDd", args, r, e), S_OK) << describe(e);
  EXPECT_EQ(r, Variant(21));

  SafeArray grid(VT_I4, {{1, 2}, {0, 3}});
  for (size_t i = 0; i < grid.size(); ++i) grid.set(i, Variant(static_cast<int32_t>(i * 7)));
  const std::vector<Variant> values = {
      Variant(u"进销存服务器 ü"),
      Variant::null(),
      Variant(),
      Variant::i8(-(int64_t{1} << 40)),
      Variant::cy(Currency::parse("12.3400")),
      Variant::decimal(Decimal::parse("-123.45")),
      Variant::date(DateTime{2008, 8, 30, 14, 25, 0, 0}),
      Variant(SafeArray::bytes({0, 1, 254, 255})),
      Variant(grid),
      Variant(SafeArray::variants({Variant(1), Variant(u"two"), Variant(SafeArray::variants({Variant(3.5)}))})),
  };
  for (const Variant& v : values) EXPECT_EQ(call(*c, o, kEcho, {v}), v) << varTypeName(v.vt());

  uint32_t left = 99;
  ASSERT_EQ(c->release(o, left, e), S_OK) << describe(e);
  EXPECT_EQ(left, 0u);
  // The last release answers once the object is gone, destroyed on its thread.
  EXPECT_EQ(s.tracker->destroyedCount(), 1);
  EXPECT_TRUE(s.tracker->destroyedOnOwnThread);
  EXPECT_EQ(s.runtime->objectThreadCount(), 0u);
  EXPECT_EQ(s.live.value(), 0);
  EXPECT_EQ(s.lastReleases.load(), 1);

  args = {Variant(1), Variant(2)};
  EXPECT_EQ(c->invoke(o, kAdd, args, r, e), RPC_E_DISCONNECTED);
  EXPECT_EQ(c->release(o, left, e), RPC_E_DISCONNECTED);
}

TEST_P(RemoteObjects, OutAndInOutArgumentsComeBack) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef d = create(*c, "Quib.datas");
  std::vector<Variant> args{Variant(u"pKh"),      Variant(25), Variant::null(), Variant(1),
                            Variant(u"select 1"), Variant(),   Variant(u"mine")};
  Variant r;
  ErrorInfo e;
  ASSERT_EQ(c->invoke(d, "AS_GetRecords", args, r, e), S_OK) << describe(e);
  EXPECT_EQ(r, Variant(u"packet:pKh"));
  EXPECT_EQ(args[2], Variant::i4(25));
  EXPECT_EQ(args[5], Variant(SafeArray::variants({Variant(u"pKh"), Variant(u"select 1")})));
  EXPECT_EQ(args[6], Variant(u"mine"));

  // A failed call writes nothing back.
  std::vector<Variant> none{Variant(u"pNone"), Variant(5), Variant::null(), Variant(1),
                            Variant(u""),      Variant(),  Variant(u"mine")};
  ASSERT_EQ(c->invoke(d, "AS_GetRecords", none, r, e), E_UNEXPECTED);
  EXPECT_EQ(e.description, u"Provider not exported: pNone");
  EXPECT_EQ(e.source, u"Quib.datas");
  EXPECT_EQ(e.interfaceId, idatasInterface().iid);
  EXPECT_TRUE(none[2].isNull());

  ObjectRef o = create(*c, "Test.Echo");
  std::vector<Variant> swap{Variant(1), Variant(u"b"), Variant::null()};
  ASSERT_EQ(c->invoke(o, kSwap, swap, r, e), S_OK) << describe(e);
  EXPECT_EQ(swap[0], Variant(u"b"));
  EXPECT_EQ(swap[1], Variant(1));
  EXPECT_EQ(swap[2], Variant(1));
  EXPECT_TRUE(r.isEmpty());
}

TEST_P(RemoteObjects, NamesResolveCaseInsensitively) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef d = create(*c, "quib.DATAS");
  std::vector<int32_t> ids;
  ErrorInfo e;
  ASSERT_EQ(c->idsOfNames(d, {"as_getrecords", "COUNT", "params"}, ids, e), S_OK) << describe(e);
  EXPECT_EQ(ids, (std::vector<int32_t>{20000001, 1, 5}));
  ASSERT_EQ(c->idsOfNames(d, {"CONNECTACT", "servername", "Password"}, ids, e), S_OK) << describe(e);
  EXPECT_EQ(ids, (std::vector<int32_t>{301, 1, 4}));
  EXPECT_EQ(c->idsOfNames(d, {"GetRecords"}, ids, e), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids, (std::vector<int32_t>{-1}));
  EXPECT_EQ(e.source, u"Quib.datas");

  std::vector<Variant> args;
  Variant r;
  ASSERT_EQ(c->invoke(d, "gEtSeRvErDaTe", args, r, e), S_OK) << describe(e);
  EXPECT_EQ(r, Variant(u"2008-08-30"));
  EXPECT_EQ(c->invoke(d, "GetServerTime", args, r, e), DISP_E_UNKNOWNNAME);
}

TEST_P(RemoteObjects, DispatchStatusesReachTheClient) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  struct Case {
    const char* what;
    int32_t dispid;
    std::vector<Variant> args;
    HRESULT hr;
    int32_t argError;
    const char16_t* inDescription;
  };
  const std::vector<Case> cases = {
      {"text that is no number", kAdd, {Variant(u"abc"), Variant(1)}, DISP_E_TYPEMISMATCH, 0, u"argument 1 (A)"},
      {"second argument", kAdd, {Variant(1), Variant(u"x")}, DISP_E_TYPEMISMATCH, 1, u"argument 2 (B)"},
      {"out of range", kAdd, {Variant(1), Variant(3e10)}, DISP_E_OVERFLOW, 1, u"(B)"},
      {"too few", kAdd, {Variant(1)}, DISP_E_BADPARAMCOUNT, -1, u"Add takes 2"},
      {"no such member", 99, {}, DISP_E_MEMBERNOTFOUND, -1, u"99"},
      {"the object's own failure",
       kFail,
       {Variant(static_cast<int32_t>(E_FAIL)), Variant(u"boom")},
       E_FAIL,
       -1,
       u"boom"},
      {"a throw inside", kThrow, {}, E_UNEXPECTED, -1, u"thrown inside the object"},
      {"converted arguments", kAdd, {Variant(u"12"), Variant(3.0)}, S_OK, -1, u""},
  };
  for (const auto& k : cases) {
    std::vector<Variant> args = k.args;
    Variant r;
    ErrorInfo e;
    int32_t argError = 77;
    EXPECT_EQ(c->invoke(o, k.dispid, args, r, e, &argError), k.hr) << k.what << ": " << describe(e);
    EXPECT_EQ(argError, k.argError) << k.what;
    if (failed(k.hr)) {
      EXPECT_EQ(e.source, u"Test.Echo") << k.what;
      EXPECT_EQ(e.interfaceId, testInterface().iid) << k.what;
      EXPECT_NE(e.description.find(k.inDescription), std::u16string::npos) << k.what << ": " << describe(e);
    } else {
      EXPECT_EQ(r, Variant(15));
    }
  }
  // None of it harmed the object.
  EXPECT_EQ(call(*c, o, kAdd, {Variant(1), Variant(1)}), Variant(2));
}

TEST_P(RemoteObjects, ThreeClientsThreeObjectsThreeThreads) {
  TestServer s(config());
  std::vector<std::unique_ptr<Client>> clients;
  std::vector<ObjectRef> objects;
  std::set<std::string> threads;
  for (int i = 0; i < 3; ++i) {
    clients.push_back(s.connect());
    objects.push_back(create(*clients.back(), "Test.Echo"));
    threads.insert(call(*clients.back(), objects.back(), kThreadId, {}).toUtf8());
  }
  EXPECT_EQ(threads.size(), 3u);
  EXPECT_EQ(threads.count(threadText()), 0u);
  EXPECT_EQ(s.runtime->objectThreadCount(), 3u);
  EXPECT_EQ(s.live.value(), 3);

  // Each call waits in a gate until all three are inside at once, which only
  // objects running in parallel can bring about.
  std::vector<std::future<Variant>> gates;
  for (int i = 0; i < 3; ++i)
    gates.push_back(std::async(std::launch::async, [&, i] {
      return call(*clients[i], objects[i], kGate, {Variant(u"all"), Variant(3)});
    }));
  for (auto& g : gates) EXPECT_EQ(g.get(), Variant(true));

  uint32_t left;
  ErrorInfo e;
  std::string firstThread = call(*clients[0], objects[0], kThreadId, {}).toUtf8();
  ASSERT_EQ(clients[0]->release(objects[0], left, e), S_OK) << describe(e);
  EXPECT_EQ(s.runtime->objectThreadCount(), 2u);
  EXPECT_EQ(s.tracker->destroyedCount(), 1);
  for (int i = 1; i < 3; ++i) {
    std::string t = call(*clients[i], objects[i], kThreadId, {}).toUtf8();
    EXPECT_TRUE(threads.count(t));
    EXPECT_NE(t, firstThread);
  }
}

namespace {

Variant expectedBytes(uint32_t count, int32_t lower) {
  SafeArray a = SafeArray::vector(VT_UI1, count, lower);
  for (size_t i = 0; i < count; ++i) a.byteData()[i] = static_cast<uint8_t>(i % 251);
  return Variant::array(std::move(a));
}

}  // namespace

// Arrays of bytes (data packets, blobs) are the large replies: some far
// larger than a socket's buffers, some read by one caller of a client for
// another.
TEST_P(RemoteObjects, ByteArraysComeBackWhole) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  struct Case {
    uint32_t count;
    int32_t lower;
  } cases[] = {{0, 0}, {1, -4}, {70000, 1}, {3u << 20, 0}};
  for (const Case& k : cases) {
    Variant r = call(*c, o, kBytes, {Variant(static_cast<int32_t>(k.count)), Variant(k.lower)});
    EXPECT_EQ(r, expectedBytes(k.count, k.lower)) << k.count;
    // The connection goes on after each.
    EXPECT_EQ(call(*c, o, kAdd, {Variant(2), Variant(3)}), Variant(5));
  }
  // Two callers of one client at once, on two objects.
  ObjectRef other = create(*c, "Test.Echo");
  std::vector<std::future<Variant>> both;
  for (int round = 0; round < 4; ++round) {
    both.clear();
    for (const ObjectRef* x : {&o, &other})
      both.push_back(std::async(std::launch::async, [&, x, round] {
        return call(*c, *x, kBytes, {Variant(static_cast<int32_t>((1u << 20) + round)), Variant(0)});
      }));
    for (auto& f : both) EXPECT_EQ(f.get(), expectedBytes((1u << 20) + round, 0)) << round;
  }
}

TEST_P(RemoteObjects, CallsOnOneObjectNeverOverlap) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  std::string home = call(*c, o, kThreadId, {}).toUtf8();
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t)
    callers.emplace_back([&] {
      for (int i = 0; i < 10; ++i) call(*c, o, kHold, {Variant(2)});
    });
  for (auto& t : callers) t.join();
  std::lock_guard l(s.tracker->mu);
  EXPECT_EQ(s.tracker->overlaps, 0);
  EXPECT_EQ(s.tracker->builtOn, std::vector<std::string>{home});
}

TEST_P(RemoteObjects, AggregationIsRefusedAndLeavesNoThread) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o;
  ErrorInfo e;
  EXPECT_EQ(c->create("Test.Echo", o, e, /*outer=*/true), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(e.source, u"Test.Echo");
  EXPECT_FALSE(o);
  EXPECT_EQ(s.runtime->objectThreadCount(), 0u);
  EXPECT_EQ(s.tracker->constructedCount(), 0);
  EXPECT_EQ(s.live.value(), 0);

  EXPECT_EQ(c->create("Test.Echo", o, e, true, std::string(kIidIDispatch)), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(c->create("Test.Echo", o, e, false, "{5D1C2A10-4E0B-4C9A-9F3E-2B7A61C0D0FF}"), E_NOINTERFACE);
  EXPECT_EQ(c->create("Test.Echo", o, e, false, "IDispatch"), E_INVALIDARG);
  EXPECT_EQ(s.runtime->objectThreadCount(), 0u);
  EXPECT_EQ(s.tracker->constructedCount(), 0);

  // The base interface may be asked for with an outer object; the object is
  // then an ordinary one of its own.
  ASSERT_EQ(c->create("Test.Echo", o, e, true, std::string(kIidIUnknown)), S_OK) << describe(e);
  ASSERT_EQ(c->create("Quib.datas", o, e, false, std::string(appServerInterface().iid)), S_OK) << describe(e);
  EXPECT_EQ(s.runtime->objectThreadCount(), 2u);
}

TEST_P(RemoteObjects, FailedBuildReturnsItsErrorAndLeavesNoThread) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o;
  ErrorInfo e;
  EXPECT_EQ(c->create("Test.Broken", o, e), E_UNEXPECTED);
  EXPECT_EQ(e.description, u"Component Cn cannot be created");
  EXPECT_EQ(e.source, u"Test.Broken");
  EXPECT_EQ(s.runtime->objectThreadCount(), 0u);
  // The request's own lock on the class object was the only count: its
  // release is a last release, which ends a server started for a client.
  EXPECT_EQ(s.live.value(), 0);
  EXPECT_EQ(s.lastReleases.load(), 1);
  // The class objects keep serving.
  EXPECT_TRUE(create(*c, "Test.Echo"));
}

TEST_P(RemoteObjects, UnknownClassesAreNamedInTheFailure) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o;
  ErrorInfo e;
  EXPECT_EQ(c->create("Quib.nothing", o, e), CO_E_CLASSSTRING);
  EXPECT_NE(e.description.find(u"Quib.nothing"), std::u16string::npos);
  EXPECT_EQ(c->create("{00000000-0000-0000-0000-0000000000AA}", o, e), REGDB_E_CLASSNOTREG);
  std::string bare(echoClass().clsid.substr(1, 36));
  for (auto& ch : bare) ch = static_cast<char>(std::tolower(ch));
  ASSERT_EQ(c->create(bare, o, e), S_OK) << describe(e);
  EXPECT_EQ(o.progId, "Test.Echo");
}

TEST_P(RemoteObjects, ClassLocksCountAsLive) {
  TestServer s(config());
  auto a = s.connect();
  auto b = s.connect();
  ErrorInfo e;
  ASSERT_EQ(a->lockServer("Test.Echo", true, e), S_OK) << describe(e);
  EXPECT_EQ(s.live.value(), 1);
  EXPECT_EQ(s.runtime->objectCount(), 0u);
  ASSERT_EQ(b->lockServer("quib.datas", true, e), S_OK) << describe(e);
  EXPECT_EQ(s.live.value(), 2);
  ASSERT_EQ(a->lockServer("Test.Echo", false, e), S_OK) << describe(e);
  EXPECT_EQ(a->lockServer("Test.Echo", false, e), E_FAIL);
  EXPECT_NE(e.description.find(u"not locked"), std::u16string::npos);
  EXPECT_EQ(s.live.value(), 1);
  EXPECT_EQ(s.lastReleases.load(), 0);
  // A client that goes away gives its locks back.
  b.reset();
  EXPECT_TRUE(eventually([&] { return s.live.value() == 0; }));
  EXPECT_EQ(s.lastReleases.load(), 1);
  EXPECT_EQ(a->lockServer("Nothing.here", true, e), CO_E_CLASSSTRING);
}

TEST_P(RemoteObjects, ReferencesAreCounted) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  uint32_t n = 0;
  ErrorInfo e;
  ASSERT_EQ(c->addRef(o, n, e), S_OK);
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(c->release(o, n, e), S_OK);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(s.tracker->destroyedCount(), 0);
  EXPECT_EQ(call(*c, o, kAdd, {Variant(1), Variant(2)}), Variant(3));
  ASSERT_EQ(c->release(o, n, e), S_OK);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(s.tracker->destroyedCount(), 1);
  EXPECT_EQ(c->addRef(o, n, e), RPC_E_DISCONNECTED);

  // Another client cannot reach an object it was not given.
  ObjectRef mine = create(*c, "Test.Echo");
  auto other = s.connect();
  std::vector<Variant> args{Variant(1), Variant(2)};
  Variant r;
  EXPECT_EQ(other->invoke(mine, kAdd, args, r, e), RPC_E_DISCONNECTED);
  EXPECT_EQ(other->release(mine, n, e), RPC_E_DISCONNECTED);
  EXPECT_EQ(s.runtime->objectCount(), 1u);
}

TEST_P(RemoteObjects, ClosedSessionReleasesItsObjects) {
  TestServer s(config());
  auto c = s.connect();
  create(*c, "Test.Echo");
  create(*c, "Test.Echo");
  ErrorInfo e;
  ASSERT_EQ(c->lockServer("Test.Echo", true, e), S_OK);
  EXPECT_EQ(s.live.value(), 3);
  ObjectRef kept = create(*c, "Test.Echo");
  c->close();
  std::vector<Variant> args;
  Variant r;
  EXPECT_EQ(c->invoke(kept, kThreadId, args, r, e), RPC_E_DISCONNECTED);
  EXPECT_TRUE(eventually([&] { return s.runtime->objectThreadCount() == 0; }));
  EXPECT_EQ(s.tracker->destroyedCount(), 3);
  EXPECT_TRUE(s.tracker->destroyedOnOwnThread);
  EXPECT_EQ(s.live.value(), 0);
  EXPECT_EQ(s.runtime->sessionCount(), 0u);
}

TEST_P(RemoteObjects, KilledClientIsReleasedWithinSeconds) {
  TestServer s(config());
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string endpoint = s.clientOptions().endpoint;
  std::string helper = RVZ_TEST_CLIENT;
  char* argv[] = {helper.data(), endpoint.data(), const_cast<char*>("3"), nullptr};
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string line;
  char ch;
  while (read(out[0], &ch, 1) == 1 && ch != '\n') line += ch;
  close(out[0]);
  ASSERT_EQ(line, "ready");
  EXPECT_EQ(s.runtime->objectCount(), 3u);
  EXPECT_EQ(s.live.value(), 3);

  kill(pid, SIGKILL);
  int status;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(eventually([&] { return s.runtime->objectThreadCount() == 0; }));
  EXPECT_EQ(s.runtime->objectCount(), 0u);
  EXPECT_EQ(s.tracker->destroyedCount(), 3);
  EXPECT_TRUE(s.tracker->destroyedOnOwnThread);
  EXPECT_EQ(s.live.value(), 0);
  EXPECT_TRUE(eventually([&] { return s.runtime->sessionCount() == 0; }));
}

// The server pings a silent connection after 200 ms and gives up after a
// second more; a client that makes no call for longer still answers (its
// session stream is being read), so its session and object stay.
TEST(RemoteObjectsGrpc, AnIdleClientAnswersPingsAndKeepsItsSession) {
  ServerConfig config = TestServer::defaultConfig();
  config.keepAliveMs = 200;
  config.keepAliveTimeoutMs = 1000;
  TestServer s(config);
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(s.runtime->sessionCount(), 1u);
  EXPECT_EQ(s.runtime->objectCount(), 1u);
  call(*c, o, kThreadId, {});
  c.reset();  // ends the stream's reader thread and the session
  EXPECT_TRUE(eventually([&] { return s.runtime->sessionCount() == 0; }));
  EXPECT_EQ(s.tracker->destroyedCount(), 1);
}

// While a program calls without pause its calls' own threads poll the
// connection (the session's watch thread stays out of the way); the server's
// pings are answered all the same and the session stays.
TEST(RemoteObjectsGrpc, AClientBusyWithCallsAnswersPingsAndKeepsItsSession) {
  ServerConfig config = TestServer::defaultConfig();
  config.keepAliveMs = 200;
  config.keepAliveTimeoutMs = 1000;
  TestServer s(config);
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  while (std::chrono::steady_clock::now() < until) ASSERT_EQ(call(*c, o, kAdd, {Variant(1), Variant(2)}), Variant(3));
  EXPECT_EQ(s.runtime->sessionCount(), 1u);
  EXPECT_EQ(s.runtime->objectCount(), 1u);
}

// A server that stops ends the session stream: the client's calls then
// fail rather than wait, and the client still closes.
TEST_P(RemoteObjects, AClientWhoseServerStoppedFailsItsCallsAndCloses) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  s.server->shutdown();
  if (s.framed) s.framed->shutdown();
  std::vector<Variant> args{Variant(1), Variant(2)};
  Variant r;
  ErrorInfo e;
  EXPECT_TRUE(failed(c->invoke(o, kAdd, args, r, e)));
  EXPECT_FALSE(e.description.empty());
  c.reset();
}

TEST_P(RemoteObjects, DisconnectedObjectFailsItsClientNotTheServer) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef gone = create(*c, "Test.Echo");
  ObjectRef stays = create(*c, "Test.Echo");
  s.runtime->disconnectObject(gone.id);
  std::vector<Variant> args{Variant(1), Variant(2)};
  Variant r;
  ErrorInfo e;
  EXPECT_EQ(c->invoke(gone, kAdd, args, r, e), RPC_E_DISCONNECTED);
  uint32_t n;
  EXPECT_EQ(c->release(gone, n, e), RPC_E_DISCONNECTED);
  EXPECT_TRUE(eventually([&] { return s.tracker->destroyedCount() == 1; }));
  EXPECT_TRUE(s.tracker->destroyedOnOwnThread);
  EXPECT_EQ(call(*c, stays, kAdd, {Variant(2), Variant(2)}), Variant(4));
}

TEST_P(RemoteObjects, CreationWaitsUntilClassObjectsAreResumed) {
  TestServer s(config(), /*resume=*/false);
  auto c = s.connect();
  auto pending = std::async(std::launch::async, [&] {
    ObjectRef o;
    ErrorInfo e;
    return c->create("Test.Echo", o, e);
  });
  EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  EXPECT_EQ(s.tracker->constructedCount(), 0);
  s.runtime->resumeClassObjects();
  EXPECT_EQ(pending.get(), S_OK);
  EXPECT_EQ(s.tracker->constructedCount(), 1);
}

TEST_P(RemoteObjects, TypeInfoTravelsAsTheLibraryHasIt) {
  TestServer s(config());
  auto c = s.connect();
  ObjectRef d = create(*c, "Quib.datas");
  client::TypeInfo info;
  ErrorInfo e;
  ASSERT_EQ(c->typeInfo(d, info, e), S_OK) << describe(e);
  EXPECT_EQ(info.interfaceName, "Idatas");
  EXPECT_EQ(info.baseInterface, "IAppServer");
  EXPECT_EQ(info.documentation, "Dispatch interface for datas Object");
  std::vector<const MethodDesc*> expected;
  for (const auto& m : appServerInterface().methods) expected.push_back(&m);
  for (const auto& m : idatasInterface().methods) expected.push_back(&m);
  ASSERT_EQ(info.methods.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const auto& got = info.methods[i];
    EXPECT_EQ(got.name, expected[i]->name);
    EXPECT_EQ(got.dispid, expected[i]->dispid);
    EXPECT_EQ(got.resultVt, expected[i]->result);
    ASSERT_EQ(got.params.size(), expected[i]->params.size());
    for (size_t p = 0; p < got.params.size(); ++p) {
      EXPECT_EQ(got.params[p].name, expected[i]->params[p].name);
      EXPECT_EQ(static_cast<int>(got.params[p].direction), static_cast<int>(expected[i]->params[p].dir));
    }
  }
}

TEST(RemoteObjectsGrpc, SecondServerOnTheSameEndpointFailsToStart) {
  TestServer s;
  MessageLoop loop;
  LiveCount live;
  ObjectRuntime runtime(loop, live);
  ServerConfig config;
  config.endpoint = parseEndpoint(s.server->address());
  RemotingServer second(runtime, config);
  try {
    second.start();
    FAIL() << "a second server bound " << config.endpoint.text();
  } catch (const ComError& e) {
    EXPECT_NE(std::string(e.what()).find(config.endpoint.text()), std::string::npos) << e.what();
  }
}

TEST(RemoteSecurityGrpc, RequestsWithoutTheTokenAreRefused) {
  ServerConfig config = TestServer::defaultConfig();
  config.token = "s3cret";
  TestServer s(config);
  for (const char* token : {"", "wrong", "s3cret "}) {
    auto options = s.clientOptions();
    options.token = token;
    try {
      Client refused(options);
      ADD_FAILURE() << "a session was opened with the token \"" << token << "\"";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hresult(), E_ACCESSDENIED) << e.what();
    }
  }
  auto good = s.connect();
  EXPECT_TRUE(create(*good, "Test.Echo"));

  // A request that knows a live session but not the token reaches nothing.
  auto channel = grpc::CreateChannel(s.server->address(), grpc::InsecureChannelCredentials());
  auto stub = v1::ObjectService::NewStub(channel);
  v1::CreateObjectRequest req;
  req.set_session_id(good->sessionId());
  req.set_class_name("Test.Echo");
  v1::CreateObjectReply reply;
  grpc::ClientContext ctx;
  grpc::Status status = stub->CreateObject(&ctx, req, &reply);
  EXPECT_EQ(status.error_code(), grpc::StatusCode::UNAUTHENTICATED);
  EXPECT_EQ(s.tracker->constructedCount(), 1);
  EXPECT_EQ(errorFromStatus(status).hresult, E_ACCESSDENIED);
}

TEST_P(RemoteSecurity, OversizedMessagesAreRefused) {
  ServerConfig config = WireTest::config();
  config.maxMessageBytes = 1u << 20;
  TestServer s(config);
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  std::vector<Variant> args{Variant(text::WString(600000, u'x'))};
  Variant r;
  ErrorInfo e;
  EXPECT_EQ(c->invoke(o, kEcho, args, r, e), kOutOfResources);
  EXPECT_NE(e.description.find(u"size bound"), std::u16string::npos) << describe(e);
  // The session and the object outlive the refused message.
  EXPECT_EQ(call(*c, o, kEcho, {Variant(text::WString(200000, u'y'))}), Variant(text::WString(200000, u'y')));
}

TEST_P(RemoteSecurity, OversizedRepliesAreRefusedAndTheSessionGoesOn) {
  ServerConfig config = WireTest::config();
  config.maxMessageBytes = 1u << 20;
  TestServer s(config);
  auto c = s.connect();
  ObjectRef o = create(*c, "Test.Echo");
  Variant r;
  ErrorInfo e;
  std::vector<Variant> args{Variant(2 << 20), Variant(0)};
  EXPECT_EQ(c->invoke(o, kBytes, args, r, e), kOutOfResources);
  EXPECT_NE(e.description.find(u"size bound"), std::u16string::npos) << describe(e);
  EXPECT_EQ(call(*c, o, kBytes, {Variant(1000), Variant(0)}), expectedBytes(1000, 0));
}

TEST_P(RemoteSecurity, ObjectsPerClientAreBounded) {
  ServerConfig config = WireTest::config();
  config.maxObjectsPerClient = 3;
  TestServer s(config);
  auto c = s.connect();
  std::vector<ObjectRef> held;
  for (int i = 0; i < 3; ++i) held.push_back(create(*c, "Test.Echo"));
  ObjectRef o;
  ErrorInfo e;
  EXPECT_EQ(c->create("Test.Echo", o, e), E_OUTOFMEMORY);
  EXPECT_NE(e.description.find(u"at most 3"), std::u16string::npos) << describe(e);
  auto other = s.connect();
  EXPECT_TRUE(create(*other, "Test.Echo"));
  uint32_t n;
  ASSERT_EQ(c->release(held[0], n, e), S_OK);
  EXPECT_TRUE(create(*c, "Test.Echo"));
}

namespace {

// A self-signed certificate for 127.0.0.1 made with the openssl tool.
bool makeCertificate(const std::filesystem::path& dir) {
  std::string cmd =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost"
      " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout " +
      (dir / "key.pem").string() + " -out " + (dir / "cert.pem").string() + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

}  // namespace

TEST(RemoteSecurityGrpc, RemoteServingUsesTlsAndTheToken) {
  if (std::system("command -v openssl >/dev/null 2>&1") != 0) GTEST_SKIP() << "openssl is not installed";
  auto dir = std::filesystem::temp_directory_path() / ("rvz-tls-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(makeCertificate(dir));
  ServerConfig config = TestServer::defaultConfig();
  config.remote = true;
  config.tlsCertFile = (dir / "cert.pem").string();
  config.tlsKeyFile = (dir / "key.pem").string();
  config.token = "t0ken";
  {
    TestServer s(config);
    auto options = s.clientOptions();
    options.tlsCaFile = config.tlsCertFile;
    Client secure(options);
    EXPECT_TRUE(create(secure, "Test.Echo"));

    auto plain = s.clientOptions();
    try {
      Client refused(plain);
      ADD_FAILURE() << "a plaintext client reached a TLS server";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hresult(), RPC_S_SERVER_UNAVAILABLE) << e.what();
    }
    options.token.clear();
    try {
      Client refused(options);
      ADD_FAILURE() << "a client without the token reached a remote server";
    } catch (const ComError& e) {
      EXPECT_EQ(e.hresult(), E_ACCESSDENIED) << e.what();
    }
  }
  std::filesystem::remove_all(dir);
}

namespace {

// One unary call of the standard health service, by its wire name; the
// request names the service asked about (field 1), the reply carries the
// status (field 1: 1 SERVING, 2 NOT_SERVING).
grpc::Status healthCheck(const std::string& address, const std::string& service, int& status) {
  auto channel = grpc::CreateChannel(address, grpc::InsecureChannelCredentials());
  grpc::internal::RpcMethod method("/grpc.health.v1.Health/Check", grpc::internal::RpcMethod::NORMAL_RPC, channel);
  std::string bytes;
  if (!service.empty()) {
    bytes.push_back(0x0a);
    bytes.push_back(static_cast<char>(service.size()));
    bytes += service;
  }
  grpc::Slice slice(bytes);
  grpc::ByteBuffer request(&slice, 1), reply;
  grpc::ClientContext ctx;
  ctx.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(10));
  grpc::Status st = grpc::internal::BlockingUnaryCall<grpc::ByteBuffer, grpc::ByteBuffer>(channel.get(), method, &ctx,
                                                                                          request, &reply);
  status = -1;
  std::vector<grpc::Slice> slices;
  if (st.ok() && reply.Dump(&slices).ok()) {
    std::string r;
    for (auto& s : slices) r.append(reinterpret_cast<const char*>(s.begin()), s.size());
    status = r.size() == 2 && r[0] == 0x08 ? r[1] : (r.empty() ? 0 : -1);
  }
  return st;
}

}  // namespace

TEST(RemotingServer, AnswersTheStandardHealthCheckForItselfAndItsService) {
  TestServer s;
  int status = 0;
  ASSERT_TRUE(healthCheck(s.server->address(), "", status).ok());
  EXPECT_EQ(status, 1);
  ASSERT_TRUE(healthCheck(s.server->address(), "rvz.remoting.v1.ObjectService", status).ok());
  EXPECT_EQ(status, 1);
  EXPECT_EQ(healthCheck(s.server->address(), "no.such.Service", status).error_code(), grpc::StatusCode::NOT_FOUND);
}
