// The client library over the generated gRPC stub, or over the framed
// transport when the endpoint names it (unix:PATH, framed:HOST:PORT).
#include "client/client.h"

#include <grpcpp/grpcpp.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "client/framed_channel.h"
#include "platform/remoting/endpoint.h"
#include "platform/remoting/hresults.h"
#include "rovezevu/remoting/v1/remoting.grpc.pb.h"
#include "platform/remoting/wire_codec.h"

namespace rvz::client {

namespace v1 = ::rvz::remoting::v1;
using remoting::runtimeError;

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ComError(E_INVALIDARG, "Cannot read the TLS trust file " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

HRESULT failWith(ErrorInfo& error, ErrorInfo e) {
  error = std::move(e);
  return error.hresult;
}

}  // namespace

ClientOptions ClientOptions::fromEnvironment() {
  ClientOptions o;
  std::string endpoint = env("RVZ_ENDPOINT");
  if (!endpoint.empty()) {
    if (remoting::isFramedEndpoint(endpoint)) {
      remoting::parseFramedEndpoint(endpoint);
    } else {
      remoting::parseEndpoint(endpoint);
    }
    o.endpoint = endpoint;
  }
  o.token = env("RVZ_TOKEN");
  o.tlsCaFile = env("RVZ_TLS_CA");
  o.tls = !o.tlsCaFile.empty() || remoting::parseFlag("RVZ_TLS", env("RVZ_TLS"));
  std::string size = env("RVZ_MAX_MESSAGE");
  if (!size.empty()) o.maxMessageBytes = remoting::parseByteSize("RVZ_MAX_MESSAGE", size);
  return o;
}

struct Client::Impl {
  ClientOptions options;
  std::unique_ptr<FramedChannel> framed;  // set for the framed transport; gRPC otherwise
  std::shared_ptr<grpc::Channel> channel;
  std::unique_ptr<v1::ObjectService::Stub> stub;
  std::string session;
  std::atomic<bool> closed{false};

  // The session stream, read asynchronously on a queue of its own. gRPC
  // polls a connection only while some thread waits on it: a call's own
  // thread does while the call is under way, and the watch thread does
  // when no call has been made for a short while, so that an idle client
  // still answers the server's keep-alive pings. The watch thread keeps out
  // of the way of calls because two threads polling one connection hand
  // each reply from one to the other, a thread switch on every call.
  grpc::ClientContext sessionContext;
  grpc::CompletionQueue sessionQueue;
  std::unique_ptr<grpc::ClientAsyncReader<v1::SessionEvent>> sessionReader;
  v1::SessionEvent sessionEvent;
  grpc::Status sessionStatus;
  bool sessionFinishing = false;  // Finish asked; only the thread driving the queue touches these
  bool sessionFinished = false;
  std::thread sessionWatch;

  // Calls under way, and when the last one ended (steady clock ticks).
  std::atomic<int> callsInFlight{0};
  std::atomic<int64_t> lastCallEnd{0};
  std::mutex watchMu;
  std::condition_variable watchCv;
  bool watchStop = false;  // guarded by watchMu

  static constexpr auto kQuietBeforeWatching = std::chrono::milliseconds(100);
  static constexpr auto kWatchSlice = std::chrono::milliseconds(250);

  enum Tag : intptr_t { kStarted = 1, kRead, kFinished };
  static void* tag(Tag t) { return reinterpret_cast<void*>(t); }

  // Counts a call as under way for as long as it lives.
  class CallScope {
   public:
    explicit CallScope(Impl& c) : c_(c) { c_.callsInFlight.fetch_add(1); }
    ~CallScope() {
      c_.lastCallEnd.store(std::chrono::steady_clock::now().time_since_epoch().count());
      c_.callsInFlight.fetch_sub(1);
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

   private:
    Impl& c_;
  };

  void prepare(grpc::ClientContext& ctx) const {
    if (!options.token.empty())
      ctx.AddMetadata(remoting::kTokenMetadataKey, std::string(remoting::kBearerPrefix) + options.token);
  }

  bool refuseClosed(ErrorInfo& error) const {
    if (!closed.load()) return false;
    error = runtimeError(RPC_E_DISCONNECTED, "The connection to " + options.endpoint + " is closed");
    return true;
  }

  // One unary call over whichever transport the client has: true with the
  // reply, or false with the failure of a call that failed on the way.
  template <class Request, class Reply>
  using StubCall = grpc::Status (v1::ObjectService::Stub::*)(grpc::ClientContext*, const Request&, Reply*);
  template <class Request, class Reply>
  bool unary(remoting::frames::Method method, StubCall<Request, Reply> stubCall, const Request& req, Reply& reply,
             ErrorInfo& error) {
    if (framed) return framed->call(method, req, reply, error);
    grpc::ClientContext ctx;
    prepare(ctx);
    grpc::Status s;
    {
      CallScope scope(*this);
      s = (stub.get()->*stubCall)(&ctx, req, &reply);
    }
    if (s.ok()) return true;
    error = remoting::errorFromStatus(s);
    return false;
  }

  // Handles one event of the session queue: a read keeps the next one
  // pending, a failed read (the stream ended) asks for its status.
  void onSessionEvent(void* t, bool ok) {
    if (t == tag(kFinished)) {
      sessionFinished = true;
      return;
    }
    if (sessionFinishing) return;  // a read that failed or came after the end was asked
    if (ok) {
      sessionReader->Read(&sessionEvent, tag(kRead));
      return;
    }
    sessionFinishing = true;
    sessionReader->Finish(&sessionStatus, tag(kFinished));
  }

  bool quiet() const {
    if (callsInFlight.load() > 0) return false;
    const auto last = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastCallEnd.load()));
    return std::chrono::steady_clock::now() - last >= kQuietBeforeWatching;
  }

  // The watch thread: polls the session queue in slices while the client
  // is quiet, sleeps while calls are being made, ends when told to or when
  // the stream is over.
  void watch() {
    while (!sessionFinished) {
      {
        std::unique_lock lock(watchMu);
        while (!watchStop && !quiet()) watchCv.wait_for(lock, kQuietBeforeWatching);
        if (watchStop) return;
      }
      void* t = nullptr;
      bool ok = false;
      auto got = sessionQueue.AsyncNext(&t, &ok, std::chrono::system_clock::now() + kWatchSlice);
      if (got == grpc::CompletionQueue::SHUTDOWN) return;
      if (got == grpc::CompletionQueue::GOT_EVENT) onSessionEvent(t, ok);
    }
  }

  // After the watch thread has ended: cancels the stream, waits for its
  // status, and drains the queue.
  void endSessionStream() {
    sessionContext.TryCancel();
    if (!sessionFinishing) {
      sessionFinishing = true;
      sessionReader->Finish(&sessionStatus, tag(kFinished));
    }
    void* t = nullptr;
    bool ok = false;
    while (!sessionFinished && sessionQueue.Next(&t, &ok)) onSessionEvent(t, ok);
    sessionQueue.Shutdown();
    while (sessionQueue.Next(&t, &ok)) {
    }
  }
};

Client::Client(ClientOptions options) : impl_(std::make_unique<Impl>()) {
  remoting::disableLockGraphChecks();
  Impl& c = *impl_;
  c.options = std::move(options);
  if (remoting::isFramedEndpoint(c.options.endpoint)) {
    // Local only, so without TLS: asking for it is a mistake to report.
    if (c.options.tls || !c.options.tlsCaFile.empty())
      throw ComError(E_INVALIDARG, "The framed transport (" + c.options.endpoint +
                                       ") serves this machine only and has no TLS: use a gRPC endpoint (host:port) "
                                       "for TLS");
    c.framed = std::make_unique<FramedChannel>(remoting::parseFramedEndpoint(c.options.endpoint), c.options.token,
                                               c.options.clientName, c.options.maxMessageBytes);
    c.session = c.framed->sessionId();
    return;
  }
  remoting::parseEndpoint(c.options.endpoint);
  std::shared_ptr<grpc::ChannelCredentials> creds;
  if (c.options.tls || !c.options.tlsCaFile.empty()) {
    grpc::SslCredentialsOptions ssl;
    if (!c.options.tlsCaFile.empty()) ssl.pem_root_certs = readFile(c.options.tlsCaFile);
    creds = grpc::SslCredentials(ssl);
  } else {
    creds = grpc::InsecureChannelCredentials();
  }
  grpc::ChannelArguments args;
  args.SetMaxReceiveMessageSize(static_cast<int>(c.options.maxMessageBytes));
  args.SetMaxSendMessageSize(static_cast<int>(c.options.maxMessageBytes));
  args.SetInt(GRPC_ARG_KEEPALIVE_TIME_MS, c.options.keepAliveMs);
  args.SetInt(GRPC_ARG_KEEPALIVE_TIMEOUT_MS, c.options.keepAliveMs);
  args.SetInt(GRPC_ARG_KEEPALIVE_PERMIT_WITHOUT_CALLS, 1);
  args.SetInt(GRPC_ARG_HTTP2_MAX_PINGS_WITHOUT_DATA, 0);
  // A channel of its own: sessions of two clients in one process must not
  // share a connection, or one's end would not be the other's.
  args.SetInt(GRPC_ARG_USE_LOCAL_SUBCHANNEL_POOL, 1);
  c.channel = grpc::CreateCustomChannel(c.options.endpoint, creds, args);
  c.stub = v1::ObjectService::NewStub(c.channel);

  v1::OpenSessionRequest req;
  req.set_client_name(c.options.clientName);
  c.prepare(c.sessionContext);
  c.sessionReader = c.stub->AsyncOpenSession(&c.sessionContext, req, &c.sessionQueue, Impl::tag(Impl::kStarted));
  // The first event names the session; anything else ends the stream first.
  void* t = nullptr;
  bool ok = false;
  bool named = false, unnamed = false;
  while (!c.sessionFinished && c.sessionQueue.Next(&t, &ok)) {
    if (t == Impl::tag(Impl::kRead) && ok) {
      named = !c.sessionEvent.session_id().empty();
      unnamed = !named;
      break;
    }
    c.onSessionEvent(t, ok);
  }
  if (!named) {
    c.closed = true;
    c.endSessionStream();
    ErrorInfo e = unnamed ? runtimeError(remoting::RPC_E_INVALID_DATA, "its first message named no session")
                          : remoting::errorFromStatus(c.sessionStatus);
    throw ComError(e.hresult,
                   "Cannot open a session with " + c.options.endpoint + ": " + text::wideToUtf8(e.description));
  }
  c.session = c.sessionEvent.session_id();
  c.onSessionEvent(t, ok);  // the next read
  try {
    c.sessionWatch = std::thread([&c] { c.watch(); });
  } catch (const std::system_error& e) {
    close();
    throw ComError(E_OUTOFMEMORY, std::string("Cannot start the thread that watches the session: ") + e.what());
  }
}

Client::~Client() { close(); }

void Client::close() {
  Impl& c = *impl_;
  if (c.closed.exchange(true)) return;
  v1::CloseSessionRequest req;
  req.set_session_id(c.session);
  v1::CloseSessionReply reply;
  if (c.framed) {
    ErrorInfo ignored;
    (void)c.framed->call(remoting::frames::Method::CloseSession, req, reply,
                         ignored);  // the close ends it all the same
    c.framed->close();
    return;
  }
  grpc::ClientContext ctx;
  c.prepare(ctx);
  ctx.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(5));
  {
    Impl::CallScope scope(c);
    (void)c.stub->CloseSession(&ctx, req, &reply);  // the stream's end releases all the same
  }
  {
    std::lock_guard lock(c.watchMu);
    c.watchStop = true;
  }
  c.watchCv.notify_all();
  // Ends a slice the watch thread may be polling at once: its read fails.
  c.sessionContext.TryCancel();
  if (c.sessionWatch.joinable()) c.sessionWatch.join();
  c.endSessionStream();
}

const std::string& Client::sessionId() const { return impl_->session; }

HRESULT Client::create(std::string_view className, ObjectRef& object, ErrorInfo& error, bool outer,
                       std::string_view iid) {
  Impl& c = *impl_;
  object = ObjectRef{};
  if (c.refuseClosed(error)) return error.hresult;
  v1::CreateObjectRequest req;
  req.set_session_id(c.session);
  req.set_class_name(std::string(className));
  req.set_outer(outer);
  req.set_iid(std::string(iid));
  v1::CreateObjectReply reply;
  if (!c.unary(remoting::frames::Method::CreateObject, &v1::ObjectService::Stub::CreateObject, req, reply, error))
    return error.hresult;
  error = remoting::getFailure(reply.error());
  if (failed(error.hresult)) return error.hresult;
  object.id = reply.object_id();
  object.progId = reply.prog_id();
  object.classId = reply.class_id();
  object.interfaceId = reply.interface_id();
  object.interfaceName = reply.interface_name();
  return error.hresult;
}

HRESULT Client::idsOfNames(const ObjectRef& object, const std::vector<std::string>& names, std::vector<int32_t>& ids,
                           ErrorInfo& error) {
  Impl& c = *impl_;
  ids.clear();
  if (c.refuseClosed(error)) return error.hresult;
  v1::GetIDsOfNamesRequest req;
  req.set_session_id(c.session);
  req.set_object_id(object.id);
  for (const auto& n : names) req.add_names(n);
  v1::GetIDsOfNamesReply reply;
  if (!c.unary(remoting::frames::Method::GetIDsOfNames, &v1::ObjectService::Stub::GetIDsOfNames, req, reply, error))
    return error.hresult;
  ids.assign(reply.ids().begin(), reply.ids().end());
  error = remoting::getFailure(reply.error());
  return error.hresult;
}

HRESULT Client::invokeMember(const ObjectRef& object, int32_t dispid, const std::string* name,
                             std::vector<Variant>& args, Variant& result, ErrorInfo& error, int32_t* argError,
                             std::vector<size_t>* outPositions) {
  Impl& c = *impl_;
  if (argError) *argError = -1;
  if (outPositions) outPositions->clear();
  result = Variant();
  if (c.refuseClosed(error)) return error.hresult;
  v1::InvokeRequest req;
  req.set_session_id(c.session);
  req.set_object_id(object.id);
  if (name) {
    req.set_name(*name);
  } else {
    req.set_dispid(dispid);
  }
  try {
    for (const Variant& a : args) encodeVariant(a, *req.add_args());
  } catch (const VariantError& e) {
    return failWith(error, runtimeError(E_INVALIDARG, std::string("An argument cannot be sent: ") + e.what()));
  }
  v1::InvokeReply reply;
  // The result's bytes: inside the framed reply's body, where they are
  // decoded without a copy into the message, or in the gRPC reply.
  std::string body;
  std::string_view resultBytes;
  if (c.framed) {
    if (!c.framed->invoke(req, reply, body, resultBytes, error)) return error.hresult;
  } else {
    if (!c.unary(remoting::frames::Method::Invoke, &v1::ObjectService::Stub::Invoke, req, reply, error))
      return error.hresult;
    resultBytes = reply.result();
  }
  error = remoting::getFailure(reply.error());
  if (failed(error.hresult)) {
    if (argError) *argError = reply.error().arg_error();
    return error.hresult;
  }
  try {
    if (reply.out_positions_size() != reply.out_args_size())
      throw VariantError(kEInvalidArg, "the reply's out positions and values do not pair up");
    Variant r = remoting::decodeValue(resultBytes, "result");
    std::vector<Variant> outs;
    for (int k = 0; k < reply.out_args_size(); ++k) {
      if (reply.out_positions(k) >= args.size())
        throw VariantError(kEInvalidArg, "the reply names out position " + std::to_string(reply.out_positions(k)) +
                                             " of a call with " + std::to_string(args.size()) + " arguments");
      outs.push_back(remoting::decodeValue(reply.out_args(k), "out argument"));
    }
    for (int k = 0; k < reply.out_args_size(); ++k) {
      args[reply.out_positions(k)] = std::move(outs[k]);
      if (outPositions) outPositions->push_back(reply.out_positions(k));
    }
    result = std::move(r);
  } catch (const VariantError& e) {
    return failWith(error, runtimeError(remoting::RPC_E_INVALID_DATA, e.what()));
  }
  return error.hresult;
}

HRESULT Client::invoke(const ObjectRef& object, int32_t dispid, std::vector<Variant>& args, Variant& result,
                       ErrorInfo& error, int32_t* argError, std::vector<size_t>* outPositions) {
  return invokeMember(object, dispid, nullptr, args, result, error, argError, outPositions);
}

HRESULT Client::invoke(const ObjectRef& object, std::string_view name, std::vector<Variant>& args, Variant& result,
                       ErrorInfo& error, int32_t* argError, std::vector<size_t>* outPositions) {
  std::string n(name);
  return invokeMember(object, 0, &n, args, result, error, argError, outPositions);
}

HRESULT Client::addRef(const ObjectRef& object, uint32_t& refCount, ErrorInfo& error) {
  return changeReference(object, true, refCount, error);
}

HRESULT Client::release(const ObjectRef& object, uint32_t& refCount, ErrorInfo& error) {
  return changeReference(object, false, refCount, error);
}

HRESULT Client::changeReference(const ObjectRef& object, bool add, uint32_t& refCount, ErrorInfo& error) {
  Impl& c = *impl_;
  refCount = 0;
  if (c.refuseClosed(error)) return error.hresult;
  v1::RefRequest req;
  req.set_session_id(c.session);
  req.set_object_id(object.id);
  v1::RefReply reply;
  const bool sent =
      add ? c.unary(remoting::frames::Method::AddRef, &v1::ObjectService::Stub::AddRef, req, reply, error)
          : c.unary(remoting::frames::Method::Release, &v1::ObjectService::Stub::Release, req, reply, error);
  if (!sent) return error.hresult;
  refCount = reply.ref_count();
  error = remoting::getFailure(reply.error());
  return error.hresult;
}

HRESULT Client::lockServer(std::string_view className, bool lock, ErrorInfo& error) {
  Impl& c = *impl_;
  if (c.refuseClosed(error)) return error.hresult;
  v1::LockServerRequest req;
  req.set_session_id(c.session);
  req.set_class_name(std::string(className));
  req.set_lock(lock);
  v1::LockServerReply reply;
  if (!c.unary(remoting::frames::Method::LockServer, &v1::ObjectService::Stub::LockServer, req, reply, error))
    return error.hresult;
  error = remoting::getFailure(reply.error());
  return error.hresult;
}

HRESULT Client::typeInfo(const ObjectRef& object, TypeInfo& info, ErrorInfo& error) {
  Impl& c = *impl_;
  info = TypeInfo{};
  if (c.refuseClosed(error)) return error.hresult;
  v1::GetTypeInfoRequest req;
  req.set_session_id(c.session);
  req.set_object_id(object.id);
  v1::GetTypeInfoReply reply;
  if (!c.unary(remoting::frames::Method::GetTypeInfo, &v1::ObjectService::Stub::GetTypeInfo, req, reply, error))
    return error.hresult;
  error = remoting::getFailure(reply.error());
  if (failed(error.hresult)) return error.hresult;
  info.interfaceName = reply.interface_name();
  info.interfaceId = reply.interface_id();
  info.documentation = reply.documentation();
  info.baseInterface = reply.base_interface();
  for (const auto& m : reply.methods()) {
    MethodInfo mi;
    mi.name = m.name();
    mi.dispid = m.dispid();
    mi.resultVt = static_cast<uint16_t>(m.result_vt());
    for (const auto& p : m.params()) {
      ParamInfo pi;
      pi.name = p.name();
      pi.vt = static_cast<uint16_t>(p.vt());
      pi.direction = p.direction() == v1::ParamInfo::OUT      ? ParamInfo::Out
                     : p.direction() == v1::ParamInfo::IN_OUT ? ParamInfo::InOut
                                                              : ParamInfo::In;
      pi.byRef = p.by_ref();
      mi.params.push_back(std::move(pi));
    }
    info.methods.push_back(std::move(mi));
  }
  return error.hresult;
}

}  // namespace rvz::client
