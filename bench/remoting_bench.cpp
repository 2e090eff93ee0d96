// Remote calls through a real RoVezevu process over loopback TCP, against
// peers measured in the same run:
//   call_vs_pg_roundtrip  one AS_DataRequest round trip over the framed
//                         transport vs a libpq SELECT 1 on a local
//                         PostgreSQL over TCP (RVZ_BENCH_PG)
//   calls64_vs_pg64       calls per second of 64 framed clients, each calling
//                         its own object for a bounded time, vs 64 libpq
//                         connections running SELECT 1 (higher is better)
//   grpc_call_vs_pg_roundtrip, grpc_calls64_vs_pg64
//                         the same two over gRPC
//   wire_vs_inprocess     a 100 000-row AS_GetRecords of pHp over the framed
//                         transport vs the same call on an in-process
//                         DatasDispatch
//   parallel4_speedup     4 x one framed client's fetch time / wall time of
//                         four framed clients (own session, object and
//                         thread) fetching at once
//   grpc_wire_vs_inprocess, grpc_parallel4_speedup
//                         the same two over gRPC
//   rss_after_load_vs_idle the server's resident memory once 32 clients that
//                         each fetched pHp at once have all gone, vs its
//                         resident memory with one idle client
// The server is the executable itself, started in a scratch home built by
// buildSampleHome, so that every layer a client crosses is in the figures.
// Standard error gets what explains them: the round trips and the CPU both
// ends spend per call, the fetch times, and how much parallel CPU the
// machine had free meanwhile.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#if RVZ_BENCH_HAVE_LIBPQ
#include <libpq-fe.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <latch>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/paired_timing.h"
#include "client/client.h"
#include "client/sample/sample_home.h"
#include "platform/text/text.h"
#include "services/datas_dispatch.h"

using namespace rvz;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 100000;
constexpr int kFetchRounds = 5;
constexpr int kClients = 4;

constexpr int32_t kGetRecords = 20000001;
constexpr int32_t kConnectAct = 301;

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

double seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int freePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) fail("cannot open a socket to find a free port");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::close(fd);
    fail("cannot bind a loopback port");
  }
  ::close(fd);
  return ntohs(a.sin_port);
}

// The server executable on the scratch home, ended (and waited for) when
// this goes out of scope, whatever the run did.
class ServerProcess {
 public:
  ServerProcess(const fs::path& home, int port, int framedPort) : log_(home / "server.log") {
    std::vector<std::string> env{"RVZ_HOME=" + home.string(), "RVZ_ENDPOINT=127.0.0.1:" + std::to_string(port),
                                 "RVZ_FRAMED_ENDPOINT=framed:127.0.0.1:" + std::to_string(framedPort),
                                 "RVZ_REGISTRY=" + (home / "registry.hive").string(), "RVZ_SCREEN_TIMEOUT=3"};
    const std::string exe = RVZ_SERVER_EXE;
    pid_ = ::fork();
    if (pid_ < 0) fail("cannot fork the server process");
    if (pid_ == 0) {
      // A bench that dies must not leave its server behind.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      for (auto& v : env) ::putenv(v.data());
      // Its output goes to the log: this program's standard output holds only the figures.
      if (!std::freopen(log_.c_str(), "w", stderr) || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) ::_exit(126);
      char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
      ::execv(exe.c_str(), argv);
      ::_exit(127);
    }
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  ~ServerProcess() {
    if (ended()) return;
    // With every object released the close check quits without asking.
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 400 && !ended(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (!ended()) {
      std::fprintf(stderr, "remoting_bench: the server did not end within 10 s of SIGTERM; killed. Its log:\n%s",
                   log().c_str());
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status_, 0);
    }
  }

  bool ended() {
    if (!done_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) done_ = true;
    return done_;
  }
  std::string log() const { return slurp(log_); }
  pid_t pid() const { return pid_; }

 private:
  fs::path log_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool done_ = false;
};

// A session with the server holding one Quib.datas on the sample account set.
struct Session {
  explicit Session(const std::string& endpoint) : client(options(endpoint)) {
    ErrorInfo e;
    if (failed(client.create("Quib.datas", object, e))) fail("CreateObject Quib.datas: " + describe(e));
    std::vector<Variant> args{Variant::i4(0), Variant(u""), Variant(u"Sample"), Variant(u""), Variant(u"")};
    Variant r;
    if (failed(client.invoke(object, kConnectAct, args, r, e))) fail("ConnectAct: " + describe(e));
    if (r.intValue() != 0) fail("ConnectAct refused the account set Sample");
  }
  ~Session() {
    uint32_t refs = 0;
    ErrorInfo e;
    client.release(object, refs, e);
  }

  static client::ClientOptions options(const std::string& endpoint) {
    client::ClientOptions o;
    o.endpoint = endpoint;
    o.clientName = "remoting_bench";
    return o;
  }
  static std::string describe(const ErrorInfo& e) {
    char hr[16];
    std::snprintf(hr, sizeof hr, "0x%08X", static_cast<unsigned>(e.hresult));
    return std::string(hr) + " " + text::wideToUtf8(e.description);
  }

  client::Client client;
  client::ObjectRef object;
};

// AS_GetRecords(pHp, all rows, binary packet): Count -1, Options 1.
std::vector<Variant> fetchArgs() {
  return {Variant(u"pHp"), Variant::i4(-1), Variant(), Variant::i4(1), Variant(u""), Variant(), Variant()};
}

struct Fetched {
  int64_t rows = 0;
  size_t bytes = 0;
};

Fetched checkFetch(HRESULT hr, const ErrorInfo& e, const Variant& packet, const std::vector<Variant>& args,
                   const char* where) {
  if (failed(hr)) fail(std::string(where) + " AS_GetRecords: " + Session::describe(e));
  if (!packet.isArray()) fail(std::string(where) + " AS_GetRecords returned no packet");
  return {args[2].intValue(), packet.arrayValue().byteData().size()};
}

Fetched fetchWire(Session& s) {
  std::vector<Variant> args = fetchArgs();
  Variant packet;
  ErrorInfo e;
  HRESULT hr = s.client.invoke(s.object, kGetRecords, args, packet, e);
  return checkFetch(hr, e, packet, args, "wire");
}

Fetched fetchInProcess(services::DatasDispatch& d) {
  std::vector<Variant> args = fetchArgs();
  Variant packet;
  ErrorInfo e;
  HRESULT hr = d.invoke(kGetRecords, args, packet, e);
  return checkFetch(hr, e, packet, args, "in-process");
}

std::unique_ptr<Session> connect(const std::string& endpoint, ServerProcess& server) {
  auto until = Clock::now() + std::chrono::seconds(30);
  for (;;) {
    try {
      return std::make_unique<Session>(endpoint);
    } catch (const ComError&) {
      if (server.ended()) fail("the server ended before it served:\n" + server.log());
      if (Clock::now() > until) fail("the server did not serve within 30 s:\n" + server.log());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
}

// CPU seconds (user and system) a process has used so far, from procfs;
// "self" for this one. Negative when the process cannot be read.
double cpuSeconds(const std::string& pid) {
  std::string stat = slurp("/proc/" + pid + "/stat");
  size_t close = stat.rfind(')');  // the command name may hold blanks
  if (close == std::string::npos) return -1;
  std::istringstream in(stat.substr(close + 2));
  std::string field;
  double utime = 0, stime = 0;
  // Fields after the name start at the state (3rd); utime and stime are the 14th and 15th.
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::stod(field);
    if (i == 15) stime = std::stod(field);
  }
  return (utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

#if RVZ_BENCH_HAVE_LIBPQ
constexpr int kCallBlocks = 10;  // interleaved blocks of calls, each side
constexpr int kCallsPerBlock = 1000;
constexpr int kWarmUpCalls = 2000;
constexpr int32_t kDataRequest = 20000002;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

class PgConnection {
 public:
  explicit PgConnection(const char* conninfo) : c_(PQconnectdb(conninfo)) {
    if (PQstatus(c_) != CONNECTION_OK) fail(std::string("cannot connect to PostgreSQL: ") + PQerrorMessage(c_));
  }
  ~PgConnection() { PQfinish(c_); }
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  int backendPid() const { return PQbackendPID(c_); }

  void selectOne() {
    PGresult* r = PQexec(c_, "SELECT 1");
    bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
    PQclear(r);
    if (!ok) fail(std::string("SELECT 1 failed: ") + PQerrorMessage(c_));
  }

 private:
  PGconn* c_;
};

// Median round trips of AS_DataRequest and SELECT 1, taken in alternating
// blocks so that both see the machine in the same states. GetIDsOfNames,
// answered on the server's gRPC thread without an object thread or any
// service work, is timed alongside as the floor of any call on this wire.
std::string callVsPg(Session& s, pid_t serverPid, const char* wire) {
  const char* conninfo = std::getenv("RVZ_BENCH_PG");
  if (!conninfo || !*conninfo) return "skipped (no PostgreSQL)";
  PgConnection pg(conninfo);
  auto call = [&] {
    std::vector<Variant> a{Variant(u"pHp"), Variant()};
    Variant r;
    ErrorInfo e;
    if (failed(s.client.invoke(s.object, kDataRequest, a, r, e))) fail("AS_DataRequest: " + Session::describe(e));
    if (!r.isNull()) fail("AS_DataRequest answered something other than Null");
  };
  const std::vector<std::string> names{"AS_DataRequest"};
  auto ids = [&] {
    std::vector<int32_t> out;
    ErrorInfo e;
    if (failed(s.client.idsOfNames(s.object, names, out, e))) fail("GetIDsOfNames: " + Session::describe(e));
  };
  for (int i = 0; i < kWarmUpCalls; ++i) call(), ids(), pg.selectOne();
  std::vector<double> ours, floor, theirs;
  // CPU both ends spend on the calls, which on a machine of few cores is
  // what the round trip mostly consists of.
  const std::string server = std::to_string(serverPid), backend = std::to_string(pg.backendPid());
  double ourClientCpu = 0, ourServerCpu = 0, pgClientCpu = 0, pgBackendCpu = 0;
  auto block = [](std::vector<double>& into, auto&& f, const std::string& peer, double* selfCpu, double* peerCpu) {
    double c0 = cpuSeconds("self"), p0 = cpuSeconds(peer);
    for (int i = 0; i < kCallsPerBlock; ++i) {
      auto t0 = Clock::now();
      f();
      into.push_back(seconds(t0, Clock::now()));
    }
    if (selfCpu) *selfCpu += cpuSeconds("self") - c0;
    if (peerCpu) *peerCpu += cpuSeconds(peer) - p0;
  };
  for (int b = 0; b < kCallBlocks; ++b) {
    block(ours, call, server, &ourClientCpu, &ourServerCpu);
    block(
        theirs, [&] { pg.selectOne(); }, backend, &pgClientCpu, &pgBackendCpu);
    block(floor, ids, server, nullptr, nullptr);
  }
  double mo = median(ours), mt = median(theirs);
  const double perCall = 1e6 / static_cast<double>(ours.size());
  std::fprintf(stderr,
               "remoting_bench: %s round trips (medians of %zu): AS_DataRequest %.1f us, GetIDsOfNames %.1f us, "
               "SELECT 1 %.1f us\n"
               "remoting_bench: %s CPU per round trip: AS_DataRequest client %.1f us + server %.1f us, "
               "SELECT 1 client %.1f us + backend %.1f us\n",
               wire, ours.size(), mo * 1e6, median(floor) * 1e6, mt * 1e6, wire, ourClientCpu * perCall,
               ourServerCpu * perCall, pgClientCpu * perCall, pgBackendCpu * perCall);
  char out[32];
  std::snprintf(out, sizeof out, "%.3f", mo / mt);
  return out;
}

// Seconds per call of `threads` workers that all start together and each
// call `work(i)` until `window` has passed: the inverse of their joint
// throughput. A worker's failure ends the run.
template <class Work>
double secondsPerCall(int threads, Clock::duration window, Work&& work) {
  std::latch go(threads + 1);
  std::vector<long> counts(static_cast<size_t>(threads), 0);
  std::vector<std::string> errors(static_cast<size_t>(threads));
  std::vector<std::thread> ts;
  Clock::time_point until;
  for (int i = 0; i < threads; ++i)
    ts.emplace_back([&, i] {
      go.arrive_and_wait();
      try {
        long n = 0;
        while (Clock::now() < until) work(i), ++n;
        counts[static_cast<size_t>(i)] = n;
      } catch (const std::exception& e) {
        errors[static_cast<size_t>(i)] = e.what();
      }
    });
  until = Clock::now() + window;  // written before the latch releases the workers
  auto t0 = Clock::now();
  go.arrive_and_wait();
  for (auto& t : ts) t.join();
  double elapsed = seconds(t0, Clock::now());
  for (const auto& e : errors)
    if (!e.empty()) fail("concurrent calls: " + e);
  long total = 0;
  for (long c : counts) total += c;
  if (total == 0) fail("no call completed within the window");
  return elapsed / static_cast<double>(total);
}

// 64 clients, each with its own session and object, calling AS_DataRequest
// for a bounded time, vs 64 libpq connections running SELECT 1; paired
// rounds, and the figure is our calls per second over theirs.
std::string calls64VsPg64(const std::string& endpoint, const char* wire) {
  const char* conninfo = std::getenv("RVZ_BENCH_PG");
  if (!conninfo || !*conninfo) return "skipped (no PostgreSQL)";
  constexpr int kConcurrent = 64;
  constexpr auto kWindow = std::chrono::milliseconds(1000);
  std::vector<std::unique_ptr<Session>> sessions;
  std::vector<std::unique_ptr<PgConnection>> pgs;
  for (int i = 0; i < kConcurrent; ++i) {
    sessions.push_back(std::make_unique<Session>(endpoint));
    pgs.push_back(std::make_unique<PgConnection>(conninfo));
  }
  auto call = [&](int i) {
    Session& s = *sessions[static_cast<size_t>(i)];
    std::vector<Variant> a{Variant(u"pHp"), Variant()};
    Variant r;
    ErrorInfo e;
    if (failed(s.client.invoke(s.object, kDataRequest, a, r, e))) fail("AS_DataRequest: " + Session::describe(e));
  };
  auto select = [&](int i) { pgs[static_cast<size_t>(i)]->selectOne(); };
  // Warm-up: every connection's first calls.
  secondsPerCall(kConcurrent, std::chrono::milliseconds(200), call);
  secondsPerCall(kConcurrent, std::chrono::milliseconds(200), select);
  // Seconds per call of the peer over ours: our throughput over theirs.
  bench::PairedFigure f = bench::pairedRatio([&] { return secondsPerCall(kConcurrent, kWindow, select); },
                                             [&] { return secondsPerCall(kConcurrent, kWindow, call); }, 5);
  std::fprintf(stderr,
               "remoting_bench: %s, %d clients at once: %.0f AS_DataRequest calls/s vs %.0f SELECT 1/s "
               "(medians of 5 rounds of %lld ms; spread %.2f)\n",
               wire, kConcurrent, 1 / f.peerSeconds, 1 / f.oursSeconds, static_cast<long long>(kWindow.count()),
               f.spread);
  char out[32];
  std::snprintf(out, sizeof out, "%.3f", f.median);
  return out;
}
#else
std::string callVsPg(Session&, pid_t, const char*) {
  return std::getenv("RVZ_BENCH_PG") ? "skipped (built without libpq)" : "skipped (no PostgreSQL)";
}
std::string calls64VsPg64(const std::string&, const char*) {
  return std::getenv("RVZ_BENCH_PG") ? "skipped (built without libpq)" : "skipped (no PostgreSQL)";
}
#endif

// Seconds of a fixed amount of busy work, on `threads` threads at once: the
// CPU the machine has free for this run, which bounds parallel4_speedup.
double busy(int threads) {
  auto work = [] {
    volatile uint64_t x = 0;
    for (uint64_t i = 0; i < 200000000u; ++i) x = x + i;
  };
  auto t0 = Clock::now();
  std::vector<std::thread> ts;
  for (int i = 0; i < threads; ++i) ts.emplace_back(work);
  for (auto& t : ts) t.join();
  return seconds(t0, Clock::now());
}

// Resident memory of a process in KiB, from /proc.
long residentKib(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  fail("no VmRSS for the server");
}

// 32 clients connect, each fetches pHp once, all at once, and go; then
// the server's resident memory is read again.
double rssAfterLoadVsIdle(const std::string& endpoint, pid_t server, long idleKib) {
  constexpr int kLoadClients = 32;
  {
    std::vector<std::unique_ptr<Session>> load(kLoadClients);
    std::vector<std::thread> threads;
    std::vector<std::string> errors(kLoadClients);
    for (int i = 0; i < kLoadClients; ++i)
      threads.emplace_back([&, i] {
        try {
          load[static_cast<size_t>(i)] = std::make_unique<Session>(endpoint);
          fetchWire(*load[static_cast<size_t>(i)]);
        } catch (const std::exception& e) {
          errors[static_cast<size_t>(i)] = e.what();
        }
      });
    for (auto& t : threads) t.join();
    for (const auto& e : errors)
      if (!e.empty()) fail("load client: " + e);
    std::fprintf(stderr, "remoting_bench: server resident %ld KiB with %d clients\n", residentKib(server),
                 kLoadClients);
  }
  // Released objects end on their own threads shortly after the release.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const long after = residentKib(server);
  std::fprintf(stderr, "remoting_bench: server resident %ld KiB idle, %ld KiB after the load\n", idleKib, after);
  return static_cast<double>(after) / static_cast<double>(idleKib);
}

// The fetch figures of one transport: one client alone, and kClients
// clients at once, best of the rounds; with the CPU both ends spent on the
// lone fetches, which bounds what the clients at once can gain.
struct DataPath {
  const char* wire;
  std::vector<Session*> sessions;  // the first also fetches alone
  double tWire = 1e300, tParallel = 1e300;
  double wallAlone = 0, cpuAlone = 0;  // summed over the rounds

  void round(const std::string& serverPid) {
    double c0 = cpuSeconds("self"), s0 = cpuSeconds(serverPid);
    auto t0 = Clock::now();
    fetchWire(*sessions[0]);
    const double t = seconds(t0, Clock::now());
    cpuAlone += cpuSeconds("self") - c0 + cpuSeconds(serverPid) - s0;
    wallAlone += t;
    tWire = std::min(tWire, t);

    std::latch go(1);
    std::vector<std::thread> threads;
    std::vector<std::string> errors(sessions.size());
    for (size_t i = 0; i < sessions.size(); ++i)
      threads.emplace_back([&, i] {
        go.wait();
        try {
          fetchWire(*sessions[i]);
        } catch (const std::exception& e) {
          errors[i] = e.what();
        }
      });
    t0 = Clock::now();
    go.count_down();
    for (auto& th : threads) th.join();
    tParallel = std::min(tParallel, seconds(t0, Clock::now()));
    for (const auto& e : errors)
      if (!e.empty()) fail(std::string(wire) + " parallel fetch: " + e);
  }

  // Clients at once on two free cores take at least their CPU over two:
  // 2 x wall / CPU of a lone fetch is the most parallel4_speedup can be.
  void explain() const {
    std::fprintf(stderr,
                 "remoting_bench: %s: wire %.3f s, %zu in parallel %.3f s (best of %d); a lone fetch used %.2f s "
                 "CPU (client + server) per %.2f s, so on 2 free cores at most %.2fx\n",
                 wire, tWire, sessions.size(), tParallel, kFetchRounds, cpuAlone / kFetchRounds,
                 wallAlone / kFetchRounds, 2 * wallAlone / cpuAlone);
  }
};

int run() {
  char dir[] = "/tmp/rvz_remoting_bench_XXXXXX";
  if (!::mkdtemp(dir)) fail("cannot create a scratch folder");
  const fs::path home = dir;
  struct Cleanup {
    fs::path p;
    ~Cleanup() {
      std::error_code ec;
      fs::remove_all(p, ec);
    }
  } cleanup{home};
  // The in-process object reads the same home as the server.
  ::setenv("RVZ_HOME", dir, 1);
  client::buildSampleHome(home, kRows);

  const int port = freePort();
  int framedPort = freePort();
  while (framedPort == port) framedPort = freePort();
  const std::string endpoint = "127.0.0.1:" + std::to_string(port);
  const std::string framedEndpoint = "framed:127.0.0.1:" + std::to_string(framedPort);
  ServerProcess server(home, port, framedPort);
  std::unique_ptr<Session> first = connect(endpoint, server);
  const long idleKib = residentKib(server.pid());

  {
    std::unique_ptr<Session> framed = connect(framedEndpoint, server);
    std::string callRatio = callVsPg(*framed, server.pid(), "framed");
    std::printf("call_vs_pg_roundtrip=%s\n", callRatio.c_str());
  }
  std::printf("calls64_vs_pg64=%s\n", calls64VsPg64(framedEndpoint, "framed").c_str());
  std::fflush(stdout);
  std::string grpcCallRatio = callVsPg(*first, server.pid(), "gRPC");
  std::printf("grpc_call_vs_pg_roundtrip=%s\n", grpcCallRatio.c_str());
  std::printf("grpc_calls64_vs_pg64=%s\n", calls64VsPg64(endpoint, "gRPC").c_str());
  std::fflush(stdout);
  // RVZ_BENCH_CALLS_ONLY=1 stops after the small-call figures, for quick
  // runs while working on the call path.
  if (const char* only = std::getenv("RVZ_BENCH_CALLS_ONLY"); only && std::string(only) == "1") return 0;

  // The data path over both transports, each client with its own session
  // and object; first, framed and gRPC, fetch alone.
  std::vector<std::unique_ptr<Session>> framedSessions, grpcSessions;
  for (int i = 0; i < kClients; ++i) framedSessions.push_back(std::make_unique<Session>(framedEndpoint));
  for (int i = 1; i < kClients; ++i) grpcSessions.push_back(std::make_unique<Session>(endpoint));
  DataPath framedPath{"framed", {}}, grpcPath{"gRPC", {first.get()}};
  for (auto& s : framedSessions) framedPath.sessions.push_back(s.get());
  for (auto& s : grpcSessions) grpcPath.sessions.push_back(s.get());

  services::DatasDispatch local;
  {
    std::vector<Variant> args{Variant::i4(0), Variant(u""), Variant(u"Sample"), Variant(u""), Variant(u"")};
    Variant r;
    ErrorInfo e;
    if (failed(local.invoke(kConnectAct, args, r, e)) || r.intValue() != 0)
      fail("in-process ConnectAct refused the account set Sample");
  }

  // Warm-up: every session's first fetch prepares its statements and pages.
  Fetched want = fetchInProcess(local);
  if (want.rows != kRows) fail("pHp serves " + std::to_string(want.rows) + " rows, not " + std::to_string(kRows));
  for (DataPath* path : {&framedPath, &grpcPath})
    for (Session* s : path->sessions) {
      Fetched got = fetchWire(*s);
      if (got.rows != want.rows || got.bytes != want.bytes)
        fail(std::string("the ") + path->wire + " fetch differs: " + std::to_string(got.rows) + " rows, " +
             std::to_string(got.bytes) + " bytes");
    }

  const std::string serverPid = std::to_string(server.pid());
  double tLocal = 1e300, tBusy1 = 1e300, tBusy2 = 1e300;
  for (int round = 0; round < kFetchRounds; ++round) {
    auto t0 = Clock::now();
    fetchInProcess(local);
    tLocal = std::min(tLocal, seconds(t0, Clock::now()));
    framedPath.round(serverPid);
    grpcPath.round(serverPid);
    tBusy1 = std::min(tBusy1, busy(1));
    tBusy2 = std::min(tBusy2, busy(2));
  }
  std::fprintf(stderr, "remoting_bench: %lld rows, %zu packet bytes; in-process %.3f s (best of %d)\n",
               static_cast<long long>(want.rows), want.bytes, tLocal, kFetchRounds);
  framedPath.explain();
  grpcPath.explain();
  std::fprintf(stderr, "remoting_bench: free CPU meanwhile: two busy threads ran %.2fx as fast as one\n",
               2 * tBusy1 / tBusy2);

  std::printf("wire_vs_inprocess=%.3f\n", framedPath.tWire / tLocal);
  std::printf("parallel4_speedup=%.3f\n", kClients * framedPath.tWire / framedPath.tParallel);
  std::printf("grpc_wire_vs_inprocess=%.3f\n", grpcPath.tWire / tLocal);
  std::printf("grpc_parallel4_speedup=%.3f\n", kClients * grpcPath.tWire / grpcPath.tParallel);
  std::fflush(stdout);
  framedSessions.clear();
  grpcSessions.clear();
  std::printf("rss_after_load_vs_idle=%.3f\n", rssAfterLoadVsIdle(endpoint, server.pid(), idleKib));
  first.reset();
  return 0;
}

}  // namespace

int main() {
  try {
    return run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "remoting_bench: %s\n", e.what());
    return 1;
  }
}
