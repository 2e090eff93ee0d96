// The object runtime served over the framed transport (frame.h): the same
// messages as the gRPC server, each in a length-prefixed frame on a Unix
// socket or a loopback TCP connection, one connection per session.
//
// One thread per connection reads its frames. Calls that need no object
// thread are answered in place; calls of an object are queued to the
// object's thread, which writes its reply frame itself (a write lock per
// connection). So a call costs one hand-over. The session is opened by the
// connection's first frame, which carries the client token, and ends when
// the connection closes: a client that dies is released at once. A frame
// that cannot be read closes only its own connection.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/remoting/call_handler.h"
#include "platform/remoting/endpoint.h"
#include "platform/remoting/object_runtime.h"

namespace rvz::remoting {

class FramedServer {
 public:
  // Connections served at once; more are refused at their first frame.
  static constexpr size_t kMaxConnections = 1024;

  // The runtime and the configuration (config.framedEndpoint, token, size
  // bound) must outlive the server. Throws ComError (E_INVALIDARG) for an
  // endpoint that is not a Unix socket or a loopback address.
  FramedServer(ObjectRuntime& runtime, const ServerConfig& config);
  FramedServer(const FramedServer&) = delete;
  FramedServer& operator=(const FramedServer&) = delete;
  ~FramedServer();

  // Binds and starts accepting; throws ComError naming the endpoint when it
  // cannot be bound (in use, no such directory).
  void start();
  // "unix:PATH" or "framed:HOST:PORT", with the port bound.
  std::string address() const;

  // Stops accepting, closes every connection (each session ends, and its
  // client sees the close at once) and waits for the connection threads.
  // Not to be called from an object thread. Idempotent.
  void shutdown();

  size_t connectionCount() const;

 private:
  class Connection;
  void acceptLoop();
  void admit(int fd);
  void serve(const std::shared_ptr<Connection>& conn);
  void joinFinished();

  CallHandler handler_;
  const ServerConfig& config_;
  FramedEndpoint bound_;
  int listenFd_ = -1;
  int stopPipe_[2] = {-1, -1};  // its write end wakes the accept thread
  std::thread acceptThread_;

  // Guards the connections and threads below; never held while a frame is
  // written, nor together with a connection's write lock.
  mutable std::mutex mu_;
  std::condition_variable idle_;
  std::unordered_map<Connection*, std::shared_ptr<Connection>> live_;
  std::vector<std::thread> finished_;  // connection threads that ended, to be joined
  bool stopping_ = false;
};

}  // namespace rvz::remoting
