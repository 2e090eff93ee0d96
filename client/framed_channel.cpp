// The framed transport's client end: connect, open the session, and calls
// whose replies are read by whichever caller is waiting.
#include "client/framed_channel.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/remoting/hresults.h"
#include "platform/remoting/invoke_reply_body.h"
#include "platform/remoting/wire_codec.h"

namespace rvz::client {

namespace frames = remoting::frames;
using frames::Kind;
using frames::Method;
namespace v1 = ::rvz::remoting::v1;
using remoting::runtimeError;

namespace {

// The call id of OpenSession; a refusal the server sends before reading
// anything (too many connections) comes with it too.
constexpr uint64_t kOpenCall = 0;

int connectTo(const remoting::FramedEndpoint& at, std::string& why) {
  if (at.unixSocket) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      why = std::strerror(errno);
      return -1;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, at.path.data(), at.path.size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
    why = std::strerror(errno);
    ::close(fd);
    return -1;
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(at.tcp.port);
  if (int rc = ::getaddrinfo(at.tcp.host.c_str(), port.c_str(), &hints, &found); rc != 0) {
    why = ::gai_strerror(rc);
    return -1;
  }
  int fd = -1;
  why = "no address";
  for (addrinfo* a = found; a; a = a->ai_next) {
    fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
    why = std::strerror(errno);
    ::close(fd);
    fd = -1;
  }
  ::freeaddrinfo(found);
  if (fd >= 0) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd;
}

}  // namespace

FramedChannel::FramedChannel(const remoting::FramedEndpoint& at, const std::string& token,
                             const std::string& clientName, size_t maxMessageBytes)
    : where_(at.text()), maxBody_(maxMessageBytes), decoder_(maxMessageBytes) {
  std::string why;
  fd_ = connectTo(at, why);
  if (fd_ < 0)
    throw ComError(remoting::RPC_S_SERVER_UNAVAILABLE,
                   "Cannot open a session with " + where_ + ": the server is unavailable: " + why);
  v1::OpenSessionRequest req;
  req.set_client_name(clientName);
  v1::SessionEvent event;
  ErrorInfo error;
  Arrived got;
  bool ok =
      exchange(Method::OpenSession, kOpenCall,
               frames::encodeRaw(Method::OpenSession, Kind::Request, kOpenCall, frames::openSessionBody(token, req)),
               got, error) &&
      event.ParseFromString(got.body) && !event.session_id().empty();
  if (!ok) {
    if (!failed(error.hresult))
      error = runtimeError(remoting::RPC_E_INVALID_DATA, "its first message named no session");
    ::close(fd_);
    throw ComError(error.hresult, "Cannot open a session with " + where_ + ": " + text::wideToUtf8(error.description));
  }
  session_ = event.session_id();
}

FramedChannel::~FramedChannel() {
  close();
  ::close(fd_);
}

void FramedChannel::close() {
  {
    std::lock_guard lock(mu_);
    if (broken_.empty()) broken_ = "The connection to " + where_ + " is closed";
  }
  ::shutdown(fd_, SHUT_RDWR);
  arrivedCv_.notify_all();
}

bool FramedChannel::ask(Method method, const google::protobuf::MessageLite& request, Arrived& got, ErrorInfo& error) {
  uint64_t callId;
  {
    std::lock_guard lock(mu_);
    callId = nextCall_++;
  }
  std::string frame;
  try {
    frame = frames::encode(method, Kind::Request, callId, request, maxBody_);
  } catch (const ComError& e) {
    error = runtimeError(e.hresult(), e.what());
    return false;
  }
  return exchange(method, callId, frame, got, error);
}

ErrorInfo FramedChannel::undecodable(Method method) const {
  return runtimeError(remoting::RPC_E_INVALID_DATA,
                      std::string("The ") + frames::methodName(method) + " reply from " + where_ + " does not decode");
}

bool FramedChannel::call(Method method, const google::protobuf::MessageLite& request,
                         google::protobuf::MessageLite& reply, ErrorInfo& error) {
  Arrived got;
  if (!ask(method, request, got, error)) return false;
  if (!reply.ParseFromString(got.body)) {
    error = undecodable(method);
    return false;
  }
  return true;
}

bool FramedChannel::invoke(const v1::InvokeRequest& request, v1::InvokeReply& reply, std::string& body,
                           std::string_view& result, ErrorInfo& error) {
  Arrived got;
  if (!ask(Method::Invoke, request, got, error)) return false;
  body = std::move(got.body);
  if (!frames::splitInvokeReply(body, reply, result)) {
    error = undecodable(Method::Invoke);
    return false;
  }
  return true;
}

// Sends a request and waits for its answer; false for a refusal or a
// connection that broke.
bool FramedChannel::exchange(Method method, uint64_t callId, const std::string& frame, Arrived& got, ErrorInfo& error) {
  if (!send(frame, error) || !await(callId, got, error)) return false;
  if (got.oversized) {
    error = runtimeError(remoting::RPC_S_OUT_OF_RESOURCES, "The message is over the size bound: the reply has " +
                                                               std::to_string(got.header.length) + " bytes, at most " +
                                                               std::to_string(maxBody_));
    return false;
  }
  if (got.header.kind == Kind::Refusal) {
    v1::Failure f;
    if (f.ParseFromString(got.body)) error = remoting::getFailure(f);
    if (!failed(error.hresult))
      error = runtimeError(remoting::RPC_E_INVALID_DATA, "A refusal from " + where_ + " does not decode");
    return false;
  }
  if (got.header.kind != Kind::Reply || got.header.method != method) {
    error = runtimeError(remoting::RPC_E_INVALID_DATA, std::string("The server answered a ") +
                                                           frames::methodName(method) + " call with a " +
                                                           frames::methodName(got.header.method) + " frame");
    return false;
  }
  return true;
}

bool FramedChannel::send(const std::string& frame, ErrorInfo& error) {
  std::lock_guard lock(writeMu_);
  size_t done = 0;
  while (done < frame.size()) {
    ssize_t n = ::send(fd_, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::lock_guard state(mu_);
      if (broken_.empty()) broken_ = "The connection to " + where_ + " broke: " + std::strerror(errno);
      error = runtimeError(remoting::RPC_S_SERVER_UNAVAILABLE, broken_);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FramedChannel::await(uint64_t callId, Arrived& got, ErrorInfo& error) {
  std::unique_lock lock(mu_);
  for (;;) {
    auto it = arrived_.find(callId);
    if (it != arrived_.end()) {
      got = std::move(it->second);
      arrived_.erase(it);
      return true;
    }
    if (!broken_.empty()) {
      error = runtimeError(remoting::RPC_S_SERVER_UNAVAILABLE, broken_);
      return false;
    }
    if (reading_) {
      arrivedCv_.wait(lock);
      continue;
    }
    reading_ = true;
    lock.unlock();
    readSome();
    lock.lock();
    reading_ = false;
    arrivedCv_.notify_all();
  }
}

void FramedChannel::readSome() {
  char buf[64 * 1024];
  std::string fault;
  ssize_t n;
  do {
    n = ::recv(fd_, buf, sizeof buf, 0);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    decoder_.feed(buf, static_cast<size_t>(n));
  } else {
    fault = n == 0 ? "The server closed the connection " + where_
                   : "The connection to " + where_ + " broke: " + std::strerror(errno);
  }
  std::vector<Arrived> whole;
  for (;;) {
    Arrived a;
    std::string why;
    auto status = decoder_.next(a.header, a.body, why);
    if (status == frames::Decoder::Status::NeedMore) {
      // A frame begun: its body is read straight into place, so that a
      // large reply is not copied through the decoder's buffer.
      size_t have = 0;
      if (fault.empty() && decoder_.takeUnfinished(a.header, a.body, have) && readRest(a.body, have, fault))
        whole.push_back(std::move(a));
      break;
    }
    if (status == frames::Decoder::Status::Damaged) {
      fault = "The server at " + where_ + " sent a damaged frame: " + why;
      break;
    }
    a.oversized = status == frames::Decoder::Status::Oversized;
    whole.push_back(std::move(a));
  }
  std::lock_guard lock(mu_);
  for (auto& a : whole) arrived_[a.header.callId] = std::move(a);
  if (!fault.empty() && broken_.empty()) broken_ = fault;
}

bool FramedChannel::readRest(std::string& body, size_t have, std::string& fault) {
  while (have < body.size()) {
    ssize_t n = ::recv(fd_, body.data() + have, body.size() - have, MSG_WAITALL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fault = n == 0 ? "The server closed the connection " + where_ + " inside a frame"
                     : "The connection to " + where_ + " broke: " + std::strerror(errno);
      return false;
    }
    have += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace rvz::client
