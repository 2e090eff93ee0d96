// The framed transport's server: accept thread, one reading thread per
// connection, replies written by whichever thread finishes the call.
#include "platform/remoting/framed_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "platform/remoting/accept_loop.h"
#include "platform/remoting/frame.h"
#include "platform/remoting/hresults.h"
#include "platform/remoting/invoke_reply_body.h"
#include "platform/remoting/wire_codec.h"

namespace rvz::remoting {

using frames::Kind;
using frames::Method;

namespace {

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// A Failure frame for a call that failed on the way.
std::string refusalFrame(Method method, uint64_t callId, HRESULT hr, const std::string& why) {
  v1::Failure f;
  putFailure(runtimeError(hr, why), -1, &f);
  return frames::encodeRaw(method, Kind::Refusal, callId, f.SerializeAsString());
}

std::string peerName(int fd, bool unixSocket) {
  if (unixSocket) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0) return "unix:pid " + std::to_string(cred.pid);
    return "unix:?";
  }
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  char host[INET6_ADDRSTRLEN] = "?";
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "framed:?";
  if (addr.ss_family == AF_INET) {
    auto* a = reinterpret_cast<sockaddr_in*>(&addr);
    ::inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
    return std::string("framed:") + host + ":" + std::to_string(ntohs(a->sin_port));
  }
  auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
  ::inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
  return std::string("framed:[") + host + "]:" + std::to_string(ntohs(a->sin6_port));
}

// A Unix socket path left by a server that is gone is taken over; one that
// a live server answers on is not.
void clearStaleSocket(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return;
  if (!S_ISSOCK(st.st_mode))
    throw ComError(E_FAIL, "Cannot listen on unix:" + path + ": the path exists and is not a socket");
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.data(), path.size());
  const bool answered = ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  const int err = errno;
  ::close(probe);
  if (answered) throw ComError(E_FAIL, "Cannot listen on unix:" + path + ": another server serves there");
  if (err == ECONNREFUSED) ::unlink(path.c_str());
}

}  // namespace

// One client's connection. Its thread reads; whichever thread finishes a
// call writes the reply under the write lock. The socket is closed when the
// last holder (the server's table or a call still under way) lets go.
class FramedServer::Connection {
 public:
  Connection(int fd, std::string name) : peer(std::move(name)), fd_(fd) {}
  ~Connection() { ::close(fd_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int fd() const { return fd_; }

  // Writes a whole frame; a connection that broke takes no more (its
  // reading thread sees the break and ends the session).
  void send(const std::string& frame) { sendParts({frame}); }

  // Writes a frame given in parts, one after the other, with no copy of
  // them into one buffer.
  void sendParts(std::initializer_list<std::string_view> parts) {
    constexpr size_t kMaxParts = 4;
    iovec iov[kMaxParts];
    size_t count = 0;
    for (std::string_view p : parts)
      if (!p.empty() && count < kMaxParts) iov[count++] = {const_cast<char*>(p.data()), p.size()};
    std::lock_guard lock(writeMu_);
    if (broken_.load()) return;
    size_t first = 0;
    while (first < count) {
      msghdr msg{};
      msg.msg_iov = iov + first;
      msg.msg_iovlen = count - first;
      ssize_t n = ::sendmsg(fd_, &msg, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        broken_.store(true);
        return;
      }
      // Past what went out: whole parts, then into the next one.
      auto left = static_cast<size_t>(n);
      while (first < count && left >= iov[first].iov_len) left -= iov[first++].iov_len;
      if (first < count) {
        iov[first].iov_base = static_cast<char*>(iov[first].iov_base) + left;
        iov[first].iov_len -= left;
      }
    }
  }

  template <class Reply>
  void reply(Method method, uint64_t callId, const Reply& message, size_t maxBody) {
    std::string frame;
    try {
      frame = frames::encode(method, Kind::Reply, callId, message, maxBody);
    } catch (const ComError& e) {
      frame = refusalFrame(method, callId, e.hresult(), e.what());
    }
    send(frame);
  }

  // An Invoke reply whose result is an array of bytes, written from the
  // variant itself (invoke_reply_body.h).
  void replyInPlace(uint64_t callId, const v1::InvokeReply& rest, const Variant& result, size_t maxBody) {
    frames::InvokeReplyParts parts = frames::invokeReplyParts(result, rest);
    std::string header;
    try {
      header = frames::encodeHeader(Method::Invoke, Kind::Reply, callId, parts.size(), maxBody);
    } catch (const ComError& e) {
      send(refusalFrame(Method::Invoke, callId, e.hresult(), e.what()));
      return;
    }
    sendParts({header, parts.head, parts.bytes, parts.tail});
  }

  // Ends the connection both ways: the reading thread's next read returns,
  // and later replies are dropped.
  void cut() {
    broken_.store(true);
    ::shutdown(fd_, SHUT_RDWR);
  }

  const std::string peer;
  std::thread thread;  // set under the server's mu_

 private:
  const int fd_;
  std::mutex writeMu_;
  std::atomic<bool> broken_{false};
};

namespace {

// A request and its reply, kept alive until the object's thread has
// answered.
template <class Request, class Reply>
struct PendingCall {
  Request req;
  Reply reply;
};

// An Invoke also keeps a result of bytes that is written in place.
struct PendingInvoke {
  v1::InvokeRequest req;
  v1::InvokeReply reply;
  Variant inPlace;
};

}  // namespace

FramedServer::FramedServer(ObjectRuntime& runtime, const ServerConfig& config)
    : handler_(runtime, config), config_(config) {
  config_.validate();
  if (!config_.framed) throw ComError(E_INVALIDARG, "The server has no framed endpoint (RVZ_FRAMED_ENDPOINT)");
  bound_ = config_.framedEndpoint;
}

FramedServer::~FramedServer() { shutdown(); }

void FramedServer::start() {
  if (listenFd_ >= 0) return;
  const std::string where = bound_.text();
  int fd = -1;
  if (bound_.unixSocket) {
    clearStaleSocket(bound_.path);
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw ComError(E_FAIL, systemError("Cannot listen on " + where));
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, bound_.path.data(), bound_.path.size());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      std::string why = systemError("Cannot listen on " + where);
      ::close(fd);
      throw ComError(E_FAIL, why);
    }
  } else {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(bound_.tcp.port);
    if (::getaddrinfo(bound_.tcp.host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
      throw ComError(E_FAIL, "Cannot listen on " + where + ": the host name does not resolve");
    fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool bound = fd >= 0 && ::bind(fd, found->ai_addr, found->ai_addrlen) == 0;
    const std::string why = systemError("Cannot listen on " + where);
    ::freeaddrinfo(found);
    if (!bound) {
      if (fd >= 0) ::close(fd);
      throw ComError(E_FAIL, why);
    }
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    bound_.tcp.port = ntohs(addr.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&addr)->sin_port
                                                      : reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
  }
  if (::listen(fd, 128) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
    std::string why = systemError("Cannot listen on " + where);
    ::close(fd);
    throw ComError(E_FAIL, why);
  }
  listenFd_ = fd;
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

std::string FramedServer::address() const { return bound_.text(); }

size_t FramedServer::connectionCount() const {
  std::lock_guard lock(mu_);
  return live_.size();
}

void FramedServer::acceptLoop() {
  acceptUntilStopped(listenFd_, stopPipe_[0], SOCK_CLOEXEC, [this](int fd) {
    if (fd >= 0) admit(fd);
    joinFinished();
  });
}

void FramedServer::admit(int fd) {
  if (!bound_.unixSocket) {
    // Small frames go out at once: a call waits for each of them.
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  auto conn = std::make_shared<Connection>(fd, peerName(fd, bound_.unixSocket));
  std::lock_guard lock(mu_);
  if (stopping_ || live_.size() >= kMaxConnections) {
    conn->send(refusalFrame(
        Method::OpenSession, 0, stopping_ ? RPC_S_SERVER_UNAVAILABLE : RPC_S_OUT_OF_RESOURCES,
        stopping_ ? "The server is stopping"
                  : "The server serves at most " + std::to_string(kMaxConnections) + " framed connections"));
    return;
  }
  try {
    conn->thread = std::thread([this, conn] { serve(conn); });
  } catch (const std::system_error&) {
    conn->send(refusalFrame(Method::OpenSession, 0, RPC_S_OUT_OF_RESOURCES,
                            "The server cannot start a thread for the connection"));
    return;
  }
  live_[conn.get()] = conn;
}

void FramedServer::joinFinished() {
  std::vector<std::thread> done;
  {
    std::lock_guard lock(mu_);
    done.swap(finished_);
  }
  for (auto& t : done) t.join();
}

void FramedServer::shutdown() {
  if (listenFd_ < 0) return;
  if (acceptThread_.joinable()) {
    const char wake = 1;
    (void)!::write(stopPipe_[1], &wake, 1);
    acceptThread_.join();
  }
  {
    std::unique_lock lock(mu_);
    stopping_ = true;
    for (auto& [raw, conn] : live_) conn->cut();
    idle_.wait(lock, [this] { return live_.empty(); });
  }
  joinFinished();
  ::close(listenFd_);
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
  listenFd_ = -1;
  if (bound_.unixSocket) ::unlink(bound_.path.c_str());
}

namespace {

// What one connection's thread does with each frame it reads. The session
// is this connection's: it is opened by the first frame, which must be
// OpenSession with the token, and a request that names another session
// reaches nothing.
template <class Conn>
class FrameServing {
 public:
  FrameServing(CallHandler& handler, std::shared_ptr<Conn> conn)
      : handler_(handler), conn_(std::move(conn)), maxBody_(handler.config().maxMessageBytes) {}

  // False when the connection must close; `why` says why.
  bool handle(const frames::Header& h, const std::string& body, std::string& why) {
    if (h.kind != Kind::Request) {
      why = std::string("the client sent a frame that is not a request (") + frames::methodName(h.method) + ")";
      return false;
    }
    if (h.method == Method::OpenSession) return open(h, body, why);
    if (session_.empty()) {
      conn_->send(refusalFrame(h.method, h.callId, RPC_E_DISCONNECTED,
                               "No session: the connection's first frame "
                               "must open one"));
      why = "the first frame did not open a session";
      return false;
    }
    switch (h.method) {
      case Method::CloseSession: {
        v1::CloseSessionRequest req;
        if (!parse(req, body, h, why)) return false;
        handler_.closeSession(session_);
        closedByClient_ = true;
        v1::CloseSessionReply reply;
        putFailure(ErrorInfo{}, -1, reply.mutable_error());
        conn_->reply(h.method, h.callId, reply, maxBody_);
        return true;
      }
      case Method::CreateObject:
        return later<v1::CreateObjectRequest, v1::CreateObjectReply>(h, body, why, [this](auto& p, auto finish) {
          handler_.createObject(sessionOf(p->req), p->req, &p->reply, std::move(finish));
        });
      case Method::Invoke: return invoke(h, body, why);
      case Method::Release:
        return later<v1::RefRequest, v1::RefReply>(h, body, why, [this](auto& p, auto finish) {
          handler_.release(sessionOf(p->req), p->req, &p->reply, std::move(finish));
        });
      case Method::AddRef:
        return now<v1::RefRequest, v1::RefReply>(
            h, body, why, [this](auto& req, auto* reply) { handler_.addRef(sessionOf(req), req, reply); });
      case Method::GetIDsOfNames:
        return now<v1::GetIDsOfNamesRequest, v1::GetIDsOfNamesReply>(
            h, body, why, [this](auto& req, auto* reply) { handler_.idsOfNames(sessionOf(req), req, reply); });
      case Method::LockServer:
        return now<v1::LockServerRequest, v1::LockServerReply>(
            h, body, why, [this](auto& req, auto* reply) { handler_.lockServer(sessionOf(req), req, reply); });
      case Method::GetTypeInfo:
        return now<v1::GetTypeInfoRequest, v1::GetTypeInfoReply>(
            h, body, why, [this](auto& req, auto* reply) { handler_.typeInfo(sessionOf(req), req, reply); });
      case Method::OpenSession: break;
    }
    why = "unknown method";
    return false;
  }

  // A frame over the size bound, whose body the decoder skips: refused, and
  // the connection goes on, unless it has no session yet.
  bool oversized(const frames::Header& h, std::string& why) {
    conn_->send(refusalFrame(h.method, h.callId, RPC_S_OUT_OF_RESOURCES,
                             "The message is over the size bound: " + std::to_string(h.length) + " bytes, at most " +
                                 std::to_string(maxBody_)));
    if (!session_.empty()) return true;
    why = "an oversized first frame";
    return false;
  }

  // Releases the session, once the connection is over.
  void end(const std::string& reason) {
    if (session_.empty()) return;
    handler_.closeSession(session_);
    handler_.sessionEnded(session_, conn_->peer, closedByClient_ ? "closed by the client" : reason);
  }

 private:
  bool open(const frames::Header& h, const std::string& body, std::string& why) {
    std::string token;
    v1::OpenSessionRequest req;
    if (!session_.empty()) {
      why = "a second OpenSession on one connection";
      return false;
    }
    if (!frames::splitOpenSessionBody(body, token, req, why)) return false;
    if (!handler_.admits(token, conn_->peer)) {
      conn_->send(
          refusalFrame(h.method, h.callId, E_ACCESSDENIED, "Access denied: the client token is missing or wrong"));
      why = "the client token is missing or wrong";
      return false;
    }
    try {
      session_ = handler_.openSession(conn_->peer);
    } catch (const ComError& e) {
      conn_->send(refusalFrame(h.method, h.callId,
                               e.hresult() == CO_E_SERVER_STOPPING ? RPC_S_SERVER_UNAVAILABLE : RPC_S_OUT_OF_RESOURCES,
                               e.what()));
      why = e.what();
      return false;
    }
    v1::SessionEvent event;
    event.set_session_id(session_);
    conn_->reply(h.method, h.callId, event, maxBody_);
    return true;
  }

  template <class Request>
  bool parse(Request& req, const std::string& body, const frames::Header& h, std::string& why) {
    if (req.ParseFromString(body)) return true;
    why = std::string("a ") + frames::methodName(h.method) + " request that does not decode";
    return false;
  }

  // The connection's session when the request names it; otherwise none,
  // which the runtime refuses (RPC_E_DISCONNECTED).
  template <class Request>
  const SessionId& sessionOf(const Request& req) const {
    static const SessionId none;
    return req.session_id() == session_ ? session_ : none;
  }

  template <class Request, class Reply, class Body>
  bool now(const frames::Header& h, const std::string& body, std::string& why, Body&& run) {
    Request req;
    if (!parse(req, body, h, why)) return false;
    Reply reply;
    run(req, &reply);
    conn_->reply(h.method, h.callId, reply, maxBody_);
    return true;
  }

  template <class Request, class Reply, class Body>
  bool later(const frames::Header& h, const std::string& body, std::string& why, Body&& run) {
    auto p = std::make_shared<PendingCall<Request, Reply>>();
    if (!parse(p->req, body, h, why)) return false;
    run(p, [conn = conn_, p, method = h.method, callId = h.callId, max = maxBody_] {
      conn->reply(method, callId, p->reply, max);
    });
    return true;
  }

  // The object's thread writes the reply as soon as it has it.
  bool invoke(const frames::Header& h, const std::string& body, std::string& why) {
    auto p = std::make_shared<PendingInvoke>();
    if (!parse(p->req, body, h, why)) return false;
    handler_.invoke(
        sessionOf(p->req), p->req, &p->reply,
        [conn = conn_, p, callId = h.callId, max = maxBody_] {
          if (frames::writesInPlace(p->inPlace))
            conn->replyInPlace(callId, p->reply, p->inPlace, max);
          else
            conn->reply(Method::Invoke, callId, p->reply, max);
        },
        &p->inPlace);
    return true;
  }

  CallHandler& handler_;
  std::shared_ptr<Conn> conn_;
  const size_t maxBody_;
  SessionId session_;
  bool closedByClient_ = false;
};

}  // namespace

void FramedServer::serve(const std::shared_ptr<Connection>& conn) {
  FrameServing<Connection> serving(handler_, conn);
  frames::Decoder decoder(config_.maxMessageBytes);
  frames::Header header;
  std::string body, why;
  std::string reason = "the client closed the connection";
  char buf[64 * 1024];
  bool going = true;
  while (going) {
    auto status = decoder.next(header, body, why);
    if (status == frames::Decoder::Status::Frame) {
      going = serving.handle(header, body, why);
    } else if (status == frames::Decoder::Status::Oversized) {
      going = serving.oversized(header, why);
    } else if (status == frames::Decoder::Status::Damaged) {
      going = false;
    } else {
      ssize_t n = ::recv(conn->fd(), buf, sizeof buf, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n < 0)
          why = systemError("the connection broke");
        else
          why = decoder.buffered() > 0 ? "the client closed the connection inside a frame" : "";
        break;
      }
      decoder.feed(buf, static_cast<size_t>(n));
      continue;
    }
    if (!going) reason = "the connection was closed: " + why;
  }
  if (going && !why.empty()) reason = why;
  conn->cut();
  serving.end(reason);
  std::lock_guard lock(mu_);
  finished_.push_back(std::move(conn->thread));
  live_.erase(conn.get());
  idle_.notify_all();
}

}  // namespace rvz::remoting
