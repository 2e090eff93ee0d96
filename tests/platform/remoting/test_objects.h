// Dispatch objects of the runtime's tests and a server on an ephemeral
// loopback port that hosts them: the interface ITestObject (class
// Test.Echo), a class whose build fails (Test.Broken), and a stand-in for
// Quib.datas that answers the IAppServer calls with what it was given.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "client/client.h"
#include "platform/remoting/framed_server.h"
#include "platform/remoting/grpc_server.h"
#include "platform/remoting/hresults.h"
#include "platform/remoting/object_runtime.h"

namespace rvz::remoting::testing {

inline std::string threadText(std::thread::id id = std::this_thread::get_id()) {
  std::ostringstream s;
  s << id;
  return s.str();
}

// Waits up to ten seconds for a condition that another thread brings about.
inline bool eventually(const std::function<bool()>& cond) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// What the test objects saw, shared by all of them.
struct Tracker {
  std::mutex mu;
  std::condition_variable cv;
  int constructed = 0;
  int destroyed = 0;
  std::vector<std::string> builtOn, destroyedOn;
  bool destroyedOnOwnThread = true;
  // Calls in flight per object and overlaps seen.
  std::map<int, int> inFlight;
  int overlaps = 0;
  // Gates: calls waiting until enough of them are inside at once.
  std::map<std::string, int> gates;

  int destroyedCount() {
    std::lock_guard l(mu);
    return destroyed;
  }
  int constructedCount() {
    std::lock_guard l(mu);
    return constructed;
  }
};

// ITestObject.
enum TestDispId : int32_t {
  kEcho = 1,
  kAdd = 2,
  kSwap = 3,
  kThreadId = 4,
  kGate = 5,
  kHold = 6,
  kFail = 7,
  kThrow = 8,
  kBytes = 9,  // Bytes(Count, Lower): Count bytes i % 251 in an array from Lower
};

const InterfaceDesc& testInterface();
const ClassDesc& echoClass();
const ClassDesc& brokenClass();
// Test.Slow: an Echo object whose build waits at a gate the test opens.
const ClassDesc& slowClass();

class EchoObject final : public DispatchObject {
 public:
  explicit EchoObject(std::shared_ptr<Tracker> tracker);
  ~EchoObject() override;
  HRESULT invoke(int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error) override;

 private:
  std::shared_ptr<Tracker> tracker_;
  int serial_;
  std::string home_;
};

// Answers the provider calls: AS_GetRecords returns its Count in RecsOut
// and a packet-like array of what it got; AS_ApplyUpdates counts errors.
class FakeDatas final : public DispatchObject {
 public:
  explicit FakeDatas(std::shared_ptr<Tracker> tracker);
  ~FakeDatas() override;
  HRESULT invoke(int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error) override;

 private:
  std::shared_ptr<Tracker> tracker_;
  Variant filter_;
};

// A server with the test classes registered suspended, then resumed unless
// asked otherwise; its main loop runs on a thread of its own.
// The transports a test server serves its clients on: gRPC always, and the
// framed listener (loopback TCP or a Unix socket) when the test asks.
enum class Wire { Grpc, FramedTcp, FramedUnix };
std::string wireName(Wire wire);

class TestServer {
 public:
  explicit TestServer(ServerConfig config = defaultConfig(Wire::Grpc), bool resume = true, RuntimeLimits limits = {});
  ~TestServer();

  // The clients' endpoint is the framed one when the configuration has it.
  static ServerConfig defaultConfig(Wire wire = Wire::Grpc);
  client::ClientOptions clientOptions() const;
  std::unique_ptr<client::Client> connect() const { return std::make_unique<client::Client>(clientOptions()); }

  std::shared_ptr<Tracker> tracker = std::make_shared<Tracker>();
  MessageLoop loop;
  LiveCount live;
  std::atomic<int> lastReleases{0};
  std::unique_ptr<ObjectRuntime> runtime;
  std::unique_ptr<RemotingServer> server;
  std::unique_ptr<FramedServer> framed;
  std::string mainThread;

 private:
  std::thread loopThread_;
};

}  // namespace rvz::remoting::testing
