// What a transport does with a request once it has it: the token check,
// argument decoding, the session and object bounds (through the runtime),
// the hand-over to the object's thread or the main thread, and the mapping
// of the result into the reply message. The gRPC server and the framed
// server both answer through this one unit, so that the two transports
// keep the same rules; each only reads its requests and writes its replies.
//
// A completion (`Finish`) is called exactly once, after the reply has been
// filled in: at once when the request is refused, otherwise from the
// object's thread (calls, releases) or the main thread (creations). The
// request and the reply must live until then.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "platform/remoting/endpoint.h"
#include "platform/remoting/object_runtime.h"
#include "rovezevu/remoting/v1/remoting.pb.h"

namespace rvz::remoting {

class CallHandler {
 public:
  using Finish = std::function<void()>;

  // Both must outlive the handler.
  CallHandler(ObjectRuntime& runtime, const ServerConfig& config) : runtime_(runtime), config_(config) {}

  // True when the server has no token or `presented` is it. A refusal is
  // reported with the peer; nothing of the runtime is looked at.
  bool admits(std::string_view presented, std::string_view peer) const;

  // Opens a session and reports it. Throws ComError when the runtime
  // refuses (CO_E_SERVER_STOPPING, or the session bound), reported as a
  // refusal.
  SessionId openSession(std::string_view peer);
  // Releases everything the session holds; idempotent.
  void closeSession(const SessionId& session) { runtime_.closeSession(session); }
  void sessionEnded(const SessionId& session, std::string_view peer, std::string_view reason);

  void createObject(const SessionId& session, const v1::CreateObjectRequest& req, v1::CreateObjectReply* reply,
                    Finish finish);
  // With `inPlace`, a successful result that a transport writes from where
  // it lies (an array of bytes: frames::writesInPlace) is moved there
  // instead of being encoded into the reply; it too must live until the
  // completion.
  void invoke(const SessionId& session, const v1::InvokeRequest& req, v1::InvokeReply* reply, Finish finish,
              Variant* inPlace = nullptr);
  void release(const SessionId& session, const v1::RefRequest& req, v1::RefReply* reply, Finish finish);

  // Answered in place, on the calling thread.
  void addRef(const SessionId& session, const v1::RefRequest& req, v1::RefReply* reply);
  void idsOfNames(const SessionId& session, const v1::GetIDsOfNamesRequest& req, v1::GetIDsOfNamesReply* reply);
  void lockServer(const SessionId& session, const v1::LockServerRequest& req, v1::LockServerReply* reply);
  void typeInfo(const SessionId& session, const v1::GetTypeInfoRequest& req, v1::GetTypeInfoReply* reply);

  ObjectRuntime& runtime() const { return runtime_; }
  const ServerConfig& config() const { return config_; }

 private:
  using Clock = std::chrono::steady_clock;
  void report(const SessionId& session, uint64_t object, std::string_view method, HRESULT hr, const ErrorInfo& error,
              Clock::time_point started) const;

  ObjectRuntime& runtime_;
  const ServerConfig& config_;
};

}  // namespace rvz::remoting
