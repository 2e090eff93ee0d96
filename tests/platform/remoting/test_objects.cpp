// The test objects and the test server.
#include "test_objects.h"

#include <unistd.h>

#include "platform/remoting/type_library.h"
#include "services/quib_type_library.h"

namespace rvz::remoting::testing {

using services::datasClass;
using services::idatasInterface;

namespace {

using D = ParamDir;

constexpr ParamDesc kEchoParams[] = {{"Value", VT_VARIANT, D::In}};
constexpr ParamDesc kAddParams[] = {{"A", VT_I4, D::In}, {"B", VT_I4, D::In}};
constexpr ParamDesc kSwapParams[] = {
    {"A", VT_VARIANT, D::InOut, true}, {"B", VT_VARIANT, D::InOut, true}, {"Count", VT_I4, D::Out, true}};
constexpr ParamDesc kGateParams[] = {{"Name", VT_BSTR, D::In}, {"Peers", VT_I4, D::In}};
constexpr ParamDesc kHoldParams[] = {{"Ms", VT_I4, D::In}};
constexpr ParamDesc kFailParams[] = {{"Code", VT_I4, D::In}, {"Text", VT_BSTR, D::In}};
constexpr ParamDesc kBytesParams[] = {{"Count", VT_I4, D::In}, {"Lower", VT_I4, D::In}};

constexpr MethodDesc kTestMethods[] = {
    {"Echo", kEcho, kEchoParams, VT_VARIANT},
    {"Add", kAdd, kAddParams, VT_I4},
    {"Swap", kSwap, kSwapParams, VT_EMPTY},
    {"ThreadId", kThreadId, {}, VT_BSTR},
    {"Gate", kGate, kGateParams, VT_BOOL},
    {"Hold", kHold, kHoldParams, VT_I4},
    {"Fail", kFail, kFailParams, VT_EMPTY},
    {"Throw", kThrow, {}, VT_EMPTY},
    {"Bytes", kBytes, kBytesParams, static_cast<VarType>(VT_ARRAY | VT_UI1)},
};

constexpr InterfaceDesc kTestInterface{"ITestObject", "{5D1C2A10-4E0B-4C9A-9F3E-2B7A61C0D001}",
                                       "Dispatch interface of the runtime's test object", nullptr, kTestMethods};
constexpr ClassDesc kEchoClass{"Echo", "{5D1C2A10-4E0B-4C9A-9F3E-2B7A61C0D002}", "Echo Object", "Test.Echo",
                               &kTestInterface};
constexpr ClassDesc kBrokenClass{"Broken", "{5D1C2A10-4E0B-4C9A-9F3E-2B7A61C0D003}", "Broken Object", "Test.Broken",
                                 &kTestInterface};
constexpr ClassDesc kSlowClass{"Slow", "{5D1C2A10-4E0B-4C9A-9F3E-2B7A61C0D004}", "Slow Object", "Test.Slow",
                               &kTestInterface};

std::atomic<int> nextSerial{1};

}  // namespace

const InterfaceDesc& testInterface() { return kTestInterface; }
const ClassDesc& echoClass() { return kEchoClass; }
const ClassDesc& brokenClass() { return kBrokenClass; }
const ClassDesc& slowClass() { return kSlowClass; }

EchoObject::EchoObject(std::shared_ptr<Tracker> tracker)
    : tracker_(std::move(tracker)), serial_(nextSerial++), home_(threadText()) {
  std::lock_guard l(tracker_->mu);
  ++tracker_->constructed;
  tracker_->builtOn.push_back(home_);
}

EchoObject::~EchoObject() {
  std::lock_guard l(tracker_->mu);
  ++tracker_->destroyed;
  tracker_->destroyedOn.push_back(threadText());
  if (threadText() != home_) tracker_->destroyedOnOwnThread = false;
  tracker_->cv.notify_all();
}

HRESULT EchoObject::invoke(int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error) {
  if (threadText() != home_) {
    std::lock_guard l(tracker_->mu);
    ++tracker_->overlaps;  // a call off the object's thread counts as a fault too
  }
  switch (dispid) {
    case kEcho: result = args[0]; return S_OK;
    case kAdd: result = Variant(static_cast<int32_t>(args[0].intValue() + args[1].intValue())); return S_OK;
    case kSwap: {
      std::swap(args[0], args[1]);
      static thread_local int swaps = 0;
      args[2] = Variant(++swaps);
      return S_OK;
    }
    case kThreadId: result = Variant::bstrUtf8(threadText()); return S_OK;
    case kGate: {
      std::unique_lock l(tracker_->mu);
      std::string name = args[0].toUtf8();
      ++tracker_->gates[name];
      tracker_->cv.notify_all();
      bool met = tracker_->cv.wait_for(l, std::chrono::seconds(10),
                                       [&] { return tracker_->gates[name] >= args[1].intValue(); });
      result = Variant(met);
      return S_OK;
    }
    case kHold: {
      {
        std::lock_guard l(tracker_->mu);
        if (++tracker_->inFlight[serial_] > 1) ++tracker_->overlaps;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(args[0].intValue()));
      {
        std::lock_guard l(tracker_->mu);
        --tracker_->inFlight[serial_];
      }
      result = Variant(serial_);
      return S_OK;
    }
    case kFail: error.description = args[1].bstrValue(); return static_cast<HRESULT>(args[0].intValue());
    case kThrow: throw std::runtime_error("thrown inside the object");
    case kBytes: {
      SafeArray a = SafeArray::vector(VT_UI1, static_cast<uint32_t>(args[0].intValue()),
                                      static_cast<int32_t>(args[1].intValue()));
      for (size_t i = 0; i < a.byteData().size(); ++i) a.byteData()[i] = static_cast<uint8_t>(i % 251);
      result = Variant::array(std::move(a));
      return S_OK;
    }
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

FakeDatas::FakeDatas(std::shared_ptr<Tracker> tracker) : tracker_(std::move(tracker)) {
  std::lock_guard l(tracker_->mu);
  ++tracker_->constructed;
}

FakeDatas::~FakeDatas() {
  std::lock_guard l(tracker_->mu);
  ++tracker_->destroyed;
  tracker_->cv.notify_all();
}

HRESULT FakeDatas::invoke(int32_t dispid, std::vector<Variant>& args, Variant& result, ErrorInfo& error) {
  return guardOperation(u"Quib.datas", std::string(idatasInterface().iid), error, [&] {
    switch (dispid) {
      case kApplyUpdates:
        args[3] = Variant(static_cast<int32_t>(args[2].intValue()));
        result = Variant::null();
        return;
      case kGetRecords: {
        if (args[0].bstrValue() == u"pNone") throw std::runtime_error("Provider not exported: pNone");
        args[2] = Variant(static_cast<int32_t>(args[1].intValue()));
        args[5] = Variant(SafeArray::variants({args[0], args[4]}));
        result = Variant(u"packet:" + args[0].bstrValue());
        return;
      }
      case kGetProviderNames: result = Variant(SafeArray::variants({Variant(u"pAppUser"), Variant(u"pKh")})); return;
      case services::kSetFilter: filter_ = args[0]; return;
      case services::kConnectAct: result = Variant(static_cast<int32_t>(args[0].intValue() * 10)); return;
      case services::kGetServerDate: result = Variant(u"2008-08-30"); return;
      default: throw ComError(E_NOTIMPL, "Not served by the test object");
    }
  });
}

TestServer::TestServer(ServerConfig config, bool resume, RuntimeLimits limits) {
  limits.maxObjectsPerSession = config.maxObjectsPerClient;
  live.onLastRelease([this] { ++lastReleases; });
  runtime = std::make_unique<ObjectRuntime>(loop, live, limits);
  auto t = tracker;
  runtime->registerClassObject(echoClass(), [t] { return std::make_unique<EchoObject>(t); });
  runtime->registerClassObject(brokenClass(), []() -> std::unique_ptr<DispatchObject> {
    throw ComError(E_UNEXPECTED, "Component Cn cannot be created");
  });
  runtime->registerClassObject(datasClass(), [t] { return std::make_unique<FakeDatas>(t); });
  if (resume) runtime->resumeClassObjects();
  server = std::make_unique<RemotingServer>(*runtime, std::move(config));
  server->start();
  if (server->config().framed) {
    framed = std::make_unique<FramedServer>(*runtime, server->config());
    framed->start();
  }
  loopThread_ = std::thread([this] { loop.run(); });
}

TestServer::~TestServer() {
  server->shutdown();
  if (framed) framed->shutdown();
  loop.quit();
  loopThread_.join();
  server.reset();
  runtime.reset();
}

std::string wireName(Wire wire) {
  switch (wire) {
    case Wire::Grpc: return "Grpc";
    case Wire::FramedTcp: return "FramedTcp";
    case Wire::FramedUnix: return "FramedUnix";
  }
  return "?";
}

ServerConfig TestServer::defaultConfig(Wire wire) {
  ServerConfig c;
  c.endpoint = parseEndpoint("127.0.0.1:0");
  if (wire == Wire::FramedTcp) {
    c.framed = true;
    c.framedEndpoint = parseFramedEndpoint("framed:127.0.0.1:0");
  } else if (wire == Wire::FramedUnix) {
    static std::atomic<int> serial{0};
    c.framed = true;
    c.framedEndpoint = parseFramedEndpoint("unix:/tmp/rvz-test-" + std::to_string(::getpid()) + "-" +
                                           std::to_string(serial++) + ".sock");
  }
  return c;
}

client::ClientOptions TestServer::clientOptions() const {
  client::ClientOptions o;
  o.endpoint = framed ? framed->address() : server->address();
  o.token = server->config().token;
  return o;
}

}  // namespace rvz::remoting::testing
