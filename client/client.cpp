// The client library over the generated gRPC stub.
#include "client/client.h"

#include <grpcpp/grpcpp.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

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
    remoting::parseEndpoint(endpoint);
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
  std::shared_ptr<grpc::Channel> channel;
  std::unique_ptr<v1::ObjectService::Stub> stub;
  grpc::ClientContext sessionContext;
  std::unique_ptr<grpc::ClientReader<v1::SessionEvent>> sessionReader;
  std::string session;
  std::atomic<bool> closed{false};
  // Blocks reading the session stream until it ends. gRPC's synchronous
  // client polls its connection only while a call waits, so without a
  // pending read an idle client would leave the server's pings unanswered
  // and lose its session. Ended by cancelling sessionContext; joined before
  // the stream is finished.
  std::thread sessionWatch;

  void prepare(grpc::ClientContext& ctx) const {
    if (!options.token.empty())
      ctx.AddMetadata(remoting::kTokenMetadataKey, std::string(remoting::kBearerPrefix) + options.token);
  }

  bool refuseClosed(ErrorInfo& error) const {
    if (!closed.load()) return false;
    error = runtimeError(RPC_E_DISCONNECTED, "The connection to " + options.endpoint + " is closed");
    return true;
  }
};

Client::Client(ClientOptions options) : impl_(std::make_unique<Impl>()) {
  remoting::disableLockGraphChecks();
  Impl& c = *impl_;
  c.options = std::move(options);
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
  c.sessionReader = c.stub->OpenSession(&c.sessionContext, req);
  v1::SessionEvent event;
  if (!c.sessionReader->Read(&event) || event.session_id().empty()) {
    grpc::Status status = c.sessionReader->Finish();
    c.closed = true;
    ErrorInfo e = remoting::errorFromStatus(status);
    throw ComError(e.hresult, "Cannot open a session with " + c.options.endpoint + ": " +
                                  text::wideToUtf8(e.description));
  }
  c.session = event.session_id();
  try {
    c.sessionWatch = std::thread([&c] {
      v1::SessionEvent next;
      while (c.sessionReader->Read(&next)) {
      }
    });
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
  grpc::ClientContext ctx;
  c.prepare(ctx);
  ctx.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(5));
  (void)c.stub->CloseSession(&ctx, req, &reply);  // the stream's end releases all the same
  c.sessionContext.TryCancel();
  if (c.sessionWatch.joinable()) c.sessionWatch.join();
  (void)c.sessionReader->Finish();
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
  grpc::ClientContext ctx;
  c.prepare(ctx);
  grpc::Status s = c.stub->CreateObject(&ctx, req, &reply);
  if (!s.ok()) return failWith(error, remoting::errorFromStatus(s));
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
  grpc::ClientContext ctx;
  c.prepare(ctx);
  grpc::Status s = c.stub->GetIDsOfNames(&ctx, req, &reply);
  if (!s.ok()) return failWith(error, remoting::errorFromStatus(s));
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
  grpc::ClientContext ctx;
  c.prepare(ctx);
  grpc::Status s = c.stub->Invoke(&ctx, req, &reply);
  if (!s.ok()) return failWith(error, remoting::errorFromStatus(s));
  error = remoting::getFailure(reply.error());
  if (failed(error.hresult)) {
    if (argError) *argError = reply.error().arg_error();
    return error.hresult;
  }
  try {
    if (reply.out_positions_size() != reply.out_args_size())
      throw VariantError(kEInvalidArg, "the reply's out positions and values do not pair up");
    Variant r = remoting::decodeValue(reply.result(), "result");
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
  Impl& c = *impl_;
  refCount = 0;
  if (c.refuseClosed(error)) return error.hresult;
  v1::RefRequest req;
  req.set_session_id(c.session);
  req.set_object_id(object.id);
  v1::RefReply reply;
  grpc::ClientContext ctx;
  c.prepare(ctx);
  grpc::Status s = c.stub->AddRef(&ctx, req, &reply);
  if (!s.ok()) return failWith(error, remoting::errorFromStatus(s));
  refCount = reply.ref_count();
  error = remoting::getFailure(reply.error());
  return error.hresult;
}

HRESULT Client::release(const ObjectRef& object, uint32_t& refCount, ErrorInfo& error) {
  Impl& c = *impl_;
  refCount = 0;
  if (c.refuseClosed(error)) return error.hresult;
  v1::RefRequest req;
  req.set_session_id(c.session);
  req.set_object_id(object.id);
  v1::RefReply reply;
  grpc::ClientContext ctx;
  c.prepare(ctx);
  grpc::Status s = c.stub->Release(&ctx, req, &reply);
  if (!s.ok()) return failWith(error, remoting::errorFromStatus(s));
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
  grpc::ClientContext ctx;
  c.prepare(ctx);
  grpc::Status s = c.stub->LockServer(&ctx, req, &reply);
  if (!s.ok()) return failWith(error, remoting::errorFromStatus(s));
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
  grpc::ClientContext ctx;
  c.prepare(ctx);
  grpc::Status s = c.stub->GetTypeInfo(&ctx, req, &reply);
  if (!s.ok()) return failWith(error, remoting::errorFromStatus(s));
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
