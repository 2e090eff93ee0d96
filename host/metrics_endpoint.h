// GET /metrics over HTTP for Prometheus, at the address RVZ_METRICS names.
// Served by GNU libmicrohttpd: a small, long-kept C library made to embed
// an HTTP server in a program, with its own polling thread and connection
// limits, so a scrape never touches the server's own threads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/remoting/endpoint.h"

struct MHD_Daemon;

namespace rvz::host {

class MetricsEndpoint {
 public:
  // Serves `render()` as text/plain version 0.0.4 at /metrics; any other
  // path is 404, any other method 405. With a `token`, a request must carry
  // "Authorization: Bearer <token>" (401 otherwise). Throws ComError
  // (E_FAIL) naming the address when it cannot be bound.
  MetricsEndpoint(const remoting::Endpoint& endpoint, std::string token, std::function<std::string()> render);
  MetricsEndpoint(const MetricsEndpoint&) = delete;
  MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;
  ~MetricsEndpoint();

  uint16_t port() const { return port_; }
  std::string address() const;

  // The answer to one request, without the HTTP around it: status and body.
  struct Answer {
    unsigned status;
    std::string body;
  };
  Answer answer(std::string_view method, std::string_view path, std::string_view authorization) const;

 private:
  remoting::Endpoint endpoint_;
  std::string token_;
  std::function<std::string()> render_;
  MHD_Daemon* daemon_ = nullptr;
  uint16_t port_ = 0;
};

// RVZ_METRICS: "host:port", or nothing (no endpoint). A non-loopback
// address needs `remote` (RVZ_REMOTE=1), as the server's own endpoint does.
// Throws ComError (E_INVALIDARG) naming the variable.
std::optional<remoting::Endpoint> metricsEndpointSetting(std::string_view value, bool remote);

}  // namespace rvz::host
