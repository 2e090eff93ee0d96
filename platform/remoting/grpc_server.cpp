// The gRPC service of the object runtime, on the callback API: a handler
// never blocks a gRPC thread; calls are answered from the object's thread
// and creations from the main thread, each with one Finish.
#include "platform/remoting/grpc_server.h"

#include <fcntl.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <grpcpp/grpcpp.h>
#include <grpcpp/ext/proto_server_reflection_plugin.h>
#include <grpcpp/health_check_service_interface.h>
#include <grpcpp/security/server_credentials.h>
#include <grpcpp/server_posix.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "platform/remoting/accept_loop.h"
#include "platform/remoting/call_handler.h"
#include "platform/remoting/hresults.h"
#include "rovezevu/remoting/v1/remoting.grpc.pb.h"
#include "platform/remoting/wire_codec.h"

namespace rvz::remoting {

namespace {

std::string readFile(const std::string& what, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ComError(E_INVALIDARG, "Cannot read the " + what + " file " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The address a listening socket is bound to; an unknown one is not loopback.
Endpoint socketAddress(int fd) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  Endpoint ep{"?", 0};
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return ep;
  char host[INET6_ADDRSTRLEN] = "?";
  if (addr.ss_family == AF_INET) {
    auto* a = reinterpret_cast<sockaddr_in*>(&addr);
    ::inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
    ep.port = ntohs(a->sin_port);
  } else if (addr.ss_family == AF_INET6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
    ::inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
    ep.port = ntohs(a->sin6_port);
  }
  ep.host = host;
  return ep;
}

}  // namespace

class RemotingServer::Service final : public v1::ObjectService::CallbackService {
 public:
  Service(ObjectRuntime& runtime, const ServerConfig& config) : handler_(runtime, config) {}

  grpc::ServerWriteReactor<v1::SessionEvent>* OpenSession(grpc::CallbackServerContext* ctx,
                                                          const v1::OpenSessionRequest*) override {
    if (!authorized(ctx)) return new RefusedStream(denied());
    SessionId id;
    try {
      id = handler_.openSession(ctx->peer());
    } catch (const ComError& e) {
      return new RefusedStream(grpc::Status(
          e.hresult() == CO_E_SERVER_STOPPING ? grpc::StatusCode::UNAVAILABLE : grpc::StatusCode::RESOURCE_EXHAUSTED,
          e.what()));
    }
    auto* stream = new SessionStream(*this, id, ctx->peer());
    {
      std::lock_guard lock(mu_);
      streams_[id] = stream;
    }
    stream->start();
    return stream;
  }

  grpc::ServerUnaryReactor* CloseSession(grpc::CallbackServerContext* ctx, const v1::CloseSessionRequest* req,
                                         v1::CloseSessionReply* reply) override {
    auto* reactor = ctx->DefaultReactor();
    if (!authorized(ctx)) return refuse(reactor);
    handler_.closeSession(req->session_id());
    SessionStream* stream = nullptr;
    {
      std::lock_guard lock(mu_);
      auto it = streams_.find(req->session_id());
      if (it != streams_.end()) {
        stream = it->second;
        ++stream->pins;
      }
    }
    if (stream) {
      stream->end(grpc::Status::OK);
      unpin(stream);
    }
    putFailure(ErrorInfo{}, -1, reply->mutable_error());
    reactor->Finish(grpc::Status::OK);
    return reactor;
  }

  grpc::ServerUnaryReactor* CreateObject(grpc::CallbackServerContext* ctx, const v1::CreateObjectRequest* req,
                                         v1::CreateObjectReply* reply) override {
    auto* reactor = ctx->DefaultReactor();
    if (!authorized(ctx)) return refuse(reactor);
    handler_.createObject(req->session_id(), *req, reply, [reactor] { reactor->Finish(grpc::Status::OK); });
    return reactor;
  }

  grpc::ServerUnaryReactor* GetIDsOfNames(grpc::CallbackServerContext* ctx, const v1::GetIDsOfNamesRequest* req,
                                          v1::GetIDsOfNamesReply* reply) override {
    return inPlace(ctx, [&] { handler_.idsOfNames(req->session_id(), *req, reply); });
  }

  // gRPC keeps the request and the reply until Finish, as the handler needs.
  grpc::ServerUnaryReactor* Invoke(grpc::CallbackServerContext* ctx, const v1::InvokeRequest* req,
                                   v1::InvokeReply* reply) override {
    auto* reactor = ctx->DefaultReactor();
    if (!authorized(ctx)) return refuse(reactor);
    handler_.invoke(req->session_id(), *req, reply, [reactor] { reactor->Finish(grpc::Status::OK); });
    return reactor;
  }

  grpc::ServerUnaryReactor* AddRef(grpc::CallbackServerContext* ctx, const v1::RefRequest* req,
                                   v1::RefReply* reply) override {
    return inPlace(ctx, [&] { handler_.addRef(req->session_id(), *req, reply); });
  }

  grpc::ServerUnaryReactor* Release(grpc::CallbackServerContext* ctx, const v1::RefRequest* req,
                                    v1::RefReply* reply) override {
    auto* reactor = ctx->DefaultReactor();
    if (!authorized(ctx)) return refuse(reactor);
    handler_.release(req->session_id(), *req, reply, [reactor] { reactor->Finish(grpc::Status::OK); });
    return reactor;
  }

  grpc::ServerUnaryReactor* LockServer(grpc::CallbackServerContext* ctx, const v1::LockServerRequest* req,
                                       v1::LockServerReply* reply) override {
    return inPlace(ctx, [&] { handler_.lockServer(req->session_id(), *req, reply); });
  }

  grpc::ServerUnaryReactor* GetTypeInfo(grpc::CallbackServerContext* ctx, const v1::GetTypeInfoRequest* req,
                                        v1::GetTypeInfoReply* reply) override {
    return inPlace(ctx, [&] { handler_.typeInfo(req->session_id(), *req, reply); });
  }

  // Ends every session stream, so that clients learn at once that the
  // server is going rather than when their keep-alive pings go unanswered.
  void endAllSessions() {
    std::vector<SessionStream*> all;
    {
      std::lock_guard lock(mu_);
      for (auto& [id, stream] : streams_) {
        ++stream->pins;
        all.push_back(stream);
      }
    }
    for (SessionStream* stream : all) {
      stream->end(grpc::Status(grpc::StatusCode::UNAVAILABLE, "The server is stopping"));
      unpin(stream);
    }
  }

 private:
  // A refused session stream: finished at once, deleted when gRPC is done.
  class RefusedStream final : public grpc::ServerWriteReactor<v1::SessionEvent> {
   public:
    explicit RefusedStream(const grpc::Status& status) { Finish(status); }
    void OnDone() override { delete this; }
  };

  // The stream of one session. It ends when the client cancels it or goes
  // away (OnCancel, which keep-alive pings bring about for a dead peer), or
  // when the client closes the session; either way the session's
  // references are released first. `pins` (guarded by the service's mu_)
  // keeps it alive while CloseSession uses it.
  class SessionStream final : public grpc::ServerWriteReactor<v1::SessionEvent> {
   public:
    SessionStream(Service& service, SessionId id, std::string peer)
        : service_(service), id_(std::move(id)), peer_(std::move(peer)) {
      event_.set_session_id(id_);
    }

    void start() {
      {
        std::lock_guard lock(mu_);
        if (finishRequested_) return;  // closed before it started
        writing_ = true;
      }
      StartWrite(&event_);
    }

    void OnWriteDone(bool ok) override {
      bool finishNow = false;
      {
        std::lock_guard lock(mu_);
        writing_ = false;
        finishNow = finishRequested_ && !finished_;
        if (finishNow) finished_ = true;
      }
      if (finishNow) {
        Finish(finishStatus_);
      } else if (!ok) {
        end(grpc::Status(grpc::StatusCode::CANCELLED, "The session stream broke"));
      }
    }

    void OnCancel() override { end(grpc::Status(grpc::StatusCode::CANCELLED, "The session was cancelled")); }

    void OnDone() override {
      service_.handler_.closeSession(id_);
      std::string reason;
      {
        std::lock_guard lock(mu_);
        reason = finishRequested_ ? finishStatus_.error_message() : "the server stopped";
      }
      service_.handler_.sessionEnded(id_, peer_, reason.empty() ? "closed by the client" : reason);
      bool destroy;
      {
        std::lock_guard lock(service_.mu_);
        auto it = service_.streams_.find(id_);
        if (it != service_.streams_.end() && it->second == this) service_.streams_.erase(it);
        done_ = true;
        destroy = pins == 0;
      }
      if (destroy) delete this;
    }

    // Releases the session and finishes the stream, once.
    void end(const grpc::Status& status) {
      service_.handler_.closeSession(id_);
      bool finishNow = false;
      {
        std::lock_guard lock(mu_);
        if (finishRequested_) return;
        finishRequested_ = true;
        finishStatus_ = status;
        finishNow = !writing_;
        if (finishNow) finished_ = true;
      }
      // A write still in flight finishes the stream from OnWriteDone.
      if (finishNow) Finish(status);
    }

    int pins = 0;
    bool done_ = false;

   private:
    Service& service_;
    SessionId id_;
    std::string peer_;
    v1::SessionEvent event_;
    std::mutex mu_;
    bool writing_ = false;
    bool finishRequested_ = false;
    bool finished_ = false;
    grpc::Status finishStatus_;
  };

  void unpin(SessionStream* stream) {
    bool destroy;
    {
      std::lock_guard lock(mu_);
      destroy = --stream->pins == 0 && stream->done_;
    }
    if (destroy) delete stream;
  }

  bool authorized(grpc::CallbackServerContext* ctx) const { return handler_.admits(presentedToken(ctx), ctx->peer()); }

  // A call answered on gRPC's thread, without an object thread.
  template <class Body>
  grpc::ServerUnaryReactor* inPlace(grpc::CallbackServerContext* ctx, Body&& body) {
    auto* reactor = ctx->DefaultReactor();
    if (!authorized(ctx)) return refuse(reactor);
    body();
    reactor->Finish(grpc::Status::OK);
    return reactor;
  }

  // The token of the call's "Bearer" metadata; empty when there is none.
  static std::string_view presentedToken(grpc::CallbackServerContext* ctx) {
    const auto& md = ctx->client_metadata();
    auto it = md.find(kTokenMetadataKey);
    if (it == md.end()) return {};
    std::string_view value(it->second.data(), it->second.size());
    if (value.substr(0, kBearerPrefix.size()) != kBearerPrefix) return {};
    return value.substr(kBearerPrefix.size());
  }

  static grpc::Status denied() {
    return grpc::Status(grpc::StatusCode::UNAUTHENTICATED, "the client token is missing or wrong");
  }

  static grpc::ServerUnaryReactor* refuse(grpc::ServerUnaryReactor* reactor) {
    reactor->Finish(denied());
    return reactor;
  }

  CallHandler handler_;
  std::mutex mu_;
  std::unordered_map<SessionId, SessionStream*> streams_;
};

RemotingServer::RemotingServer(ObjectRuntime& runtime, ServerConfig config)
    : runtime_(runtime), config_(std::move(config)) {
  config_.validate();
}

RemotingServer::~RemotingServer() { shutdown(); }

void RemotingServer::start() {
  if (server_) return;
  disableLockGraphChecks();
  std::shared_ptr<grpc::ServerCredentials> creds;
  const bool tls = !config_.tlsCertFile.empty() || !config_.tlsKeyFile.empty();
  if (adoptedFd_ >= 0) {
    if (tls)
      throw ComError(E_INVALIDARG,
                     "A socket handed over by the service manager is served without TLS only: "
                     "unset RVZ_TLS_CERT and RVZ_TLS_KEY or start the server without its socket unit");
    // Without TLS nothing but this machine may reach the server.
    Endpoint at = socketAddress(adoptedFd_);
    if (!at.loopback())
      throw ComError(E_INVALIDARG, "The socket handed over by the service manager listens on " + at.text() +
                                       ", not on a loopback address: serving other machines needs TLS, which a "
                                       "handed-over socket cannot have; use ListenStream=127.0.0.1:PORT");
    config_.endpoint = at;
  }
  if (tls) {
    grpc::SslServerCredentialsOptions ssl;
    ssl.pem_key_cert_pairs.push_back(
        {readFile("TLS key", config_.tlsKeyFile), readFile("TLS certificate", config_.tlsCertFile)});
    creds = grpc::SslServerCredentials(ssl);
  } else {
    creds = grpc::InsecureServerCredentials();
  }
  service_ = std::make_unique<Service>(runtime_, config_);
  // The standard health service (grpc.health.v1) and server reflection, so
  // that probes and tools such as grpcurl work without our .proto file.
  // Both are process-wide switches of gRPC, read when a server is built.
  grpc::EnableDefaultHealthCheckService(true);
  grpc::reflection::InitProtoReflectionServerBuilderPlugin();
  grpc::ServerBuilder builder;
  int selected = 0;
  if (adoptedFd_ < 0) builder.AddListeningPort(config_.endpoint.text(), creds, &selected);
  builder.RegisterService(service_.get());
  // Reflection is served by gRPC's synchronous server, whose threads poll
  // the same connections as the threads that answer our calls: every poller
  // more is one more thread a reply may land on and be handed over from.
  // Reflection is rare; one such thread is plenty.
  builder.SetSyncServerOption(grpc::ServerBuilder::SyncServerOption::NUM_CQS, 1);
  builder.SetSyncServerOption(grpc::ServerBuilder::SyncServerOption::MIN_POLLERS, 1);
  builder.SetSyncServerOption(grpc::ServerBuilder::SyncServerOption::MAX_POLLERS, 1);
  int maxMessage = static_cast<int>(config_.maxMessageBytes);
  builder.SetMaxReceiveMessageSize(maxMessage);
  builder.SetMaxSendMessageSize(maxMessage);
  // One server per endpoint: a second one must fail to bind, not share it.
  builder.AddChannelArgument(GRPC_ARG_ALLOW_REUSEPORT, 0);
  builder.AddChannelArgument(GRPC_ARG_KEEPALIVE_TIME_MS, config_.keepAliveMs);
  builder.AddChannelArgument(GRPC_ARG_KEEPALIVE_TIMEOUT_MS, config_.keepAliveTimeoutMs);
  builder.AddChannelArgument(GRPC_ARG_KEEPALIVE_PERMIT_WITHOUT_CALLS, 1);
  builder.AddChannelArgument(GRPC_ARG_HTTP2_MAX_PINGS_WITHOUT_DATA, 0);
  builder.AddChannelArgument(GRPC_ARG_HTTP2_MIN_RECV_PING_INTERVAL_WITHOUT_DATA_MS, 500);
  builder.AddChannelArgument(GRPC_ARG_HTTP2_MAX_PING_STRIKES, 0);
  server_ = builder.BuildAndStart();
  if (server_ && adoptedFd_ >= 0) {
    startAccepting();
    return;
  }
  if (!server_ || selected == 0) {
    server_.reset();
    service_.reset();
    throw ComError(E_FAIL, "Cannot listen on " + config_.endpoint.text() +
                               ": the address is in use or not available on this machine");
  }
  port_ = static_cast<uint16_t>(selected);
  if (auto* health = server_->GetHealthCheckService()) {
    health->SetServingStatus(v1::ObjectService::service_full_name(), true);
    health->SetServingStatus(true);
  }
}

std::string RemotingServer::address() const {
  Endpoint ep = config_.endpoint;
  ep.port = port_;
  return ep.text();
}

void RemotingServer::startAccepting() {
  port_ = config_.endpoint.port;
  if (::pipe2(acceptStop_, O_CLOEXEC) != 0) throw ComError(E_FAIL, "Cannot serve the handed-over socket: no pipe");
  acceptThread_ = std::thread([this] {
    acceptUntilStopped(adoptedFd_, acceptStop_[0], SOCK_CLOEXEC | SOCK_NONBLOCK, [this](int conn) {
      if (conn < 0) return;  // the peer went, or the listener is non-blocking with nothing to take
      grpc::AddInsecureChannelFromFd(server_.get(), conn);
    });
  });
}

void RemotingServer::stopAccepting() {
  if (!acceptThread_.joinable()) return;
  const char wake = 1;
  (void)!::write(acceptStop_[1], &wake, 1);
  acceptThread_.join();
  ::close(acceptStop_[0]);
  ::close(acceptStop_[1]);
}

void RemotingServer::shutdown() {
  if (!server_) return;
  stopAccepting();
  // Probes see the server go before its calls are refused.
  if (auto* health = server_->GetHealthCheckService()) health->SetServingStatus(false);
  runtime_.shutdown();
  service_->endAllSessions();
  // The runtime has answered every call by now; what gRPC still holds
  // (streams whose clients have not yet seen their end) is cancelled
  // rather than waited for.
  server_->Shutdown(std::chrono::system_clock::now() + std::chrono::milliseconds(200));
  server_->Wait();
  server_.reset();
  service_.reset();
}

}  // namespace rvz::remoting
