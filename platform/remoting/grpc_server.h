// The object runtime served over gRPC (remoting.proto): every request is
// checked for the client token before it reaches any object, messages are
// bounded in size, and each client's session stream is watched with
// keep-alive pings so that a client that disconnects or dies has its
// references released within a few seconds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/remoting/endpoint.h"
#include "platform/remoting/object_runtime.h"

namespace grpc {
class Server;
}

namespace rvz::remoting {

class RemotingServer {
 public:
  // The runtime must outlive the server. Throws ComError (E_INVALIDARG)
  // when the settings break the security rules (ServerConfig::validate).
  RemotingServer(ObjectRuntime& runtime, ServerConfig config);
  RemotingServer(const RemotingServer&) = delete;
  RemotingServer& operator=(const RemotingServer&) = delete;
  ~RemotingServer();

  // Serves the connections of a listening socket that the service manager
  // handed over (socket activation) instead of binding the endpoint: each
  // accepted connection is given to gRPC. Without TLS only, since gRPC
  // takes adopted connections as plain ones. Called before start(); the
  // socket stays open, it is the manager's.
  void adoptListeningSocket(int fd) { adoptedFd_ = fd; }

  // Binds the endpoint (or takes the adopted socket) and starts serving;
  // throws ComError when the endpoint cannot be bound, the TLS files cannot
  // be read, or TLS is asked of an adopted socket.
  void start();
  // The port bound (the chosen one when the endpoint asked for port 0).
  uint16_t port() const { return port_; }
  std::string address() const;
  const ServerConfig& config() const { return config_; }

  // Stops the runtime (waiting creation requests fail, every object is
  // disconnected and destroyed on its thread), then the server. Not to be
  // called from an object thread.
  void shutdown();

 private:
  class Service;
  void startAccepting();
  void stopAccepting();
  ObjectRuntime& runtime_;
  ServerConfig config_;
  std::unique_ptr<Service> service_;
  std::unique_ptr<grpc::Server> server_;
  uint16_t port_ = 0;
  int adoptedFd_ = -1;
  int acceptStop_[2] = {-1, -1};  // a pipe whose write end wakes the accept thread
  std::thread acceptThread_;
};

}  // namespace rvz::remoting
