// The metrics endpoint on libmicrohttpd.
#include "host/metrics_endpoint.h"

#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>
#include <optional>

#include "platform/remoting/error_info.h"

namespace rvz::host {
namespace {

constexpr std::string_view kBearer = "Bearer ";

MHD_Result reply(MHD_Connection* connection, const MetricsEndpoint::Answer& a) {
  MHD_Response* response =
      MHD_create_response_from_buffer(a.body.size(), const_cast<char*>(a.body.data()), MHD_RESPMEM_MUST_COPY);
  if (!response) return MHD_NO;
  MHD_add_response_header(response, "Content-Type",
                          a.status == 200 ? "text/plain; version=0.0.4; charset=utf-8" : "text/plain; charset=utf-8");
  if (a.status == 401) MHD_add_response_header(response, "WWW-Authenticate", "Bearer");
  MHD_Result r = MHD_queue_response(connection, a.status, response);
  MHD_destroy_response(response);
  return r;
}

MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                     const char*, size_t* uploadSize, void**) {
  // A request body is never wanted; it is read and dropped.
  if (uploadSize && *uploadSize != 0) {
    *uploadSize = 0;
    return MHD_YES;
  }
  const auto* self = static_cast<const MetricsEndpoint*>(cls);
  const char* auth = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
  return reply(connection, self->answer(method ? method : "", url ? url : "", auth ? auth : ""));
}

}  // namespace

std::optional<remoting::Endpoint> metricsEndpointSetting(std::string_view value, bool remote) {
  if (value.empty()) return std::nullopt;
  remoting::Endpoint ep;
  try {
    ep = remoting::parseEndpoint(value);
  } catch (const ComError& e) {
    throw ComError(E_INVALIDARG, std::string("RVZ_METRICS: ") + e.what());
  }
  if (!ep.loopback() && !remote)
    throw ComError(E_INVALIDARG,
                   "RVZ_METRICS " + ep.text() +
                       " is not a loopback address: serving metrics to other machines needs RVZ_REMOTE=1");
  return ep;
}

MetricsEndpoint::MetricsEndpoint(const remoting::Endpoint& endpoint, std::string token,
                                 std::function<std::string()> render)
    : endpoint_(endpoint), token_(std::move(token)), render_(std::move(render)) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(endpoint.port);
  int rc = getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
  if (rc != 0 || !found) throw ComError(E_FAIL, "Cannot serve metrics on " + endpoint.text() + ": " + gai_strerror(rc));
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL;
  if (found->ai_family == AF_INET6) flags |= MHD_USE_IPv6;
  daemon_ =
      MHD_start_daemon(flags, endpoint.port, nullptr, nullptr, &onRequest, this, MHD_OPTION_SOCK_ADDR, found->ai_addr,
                       MHD_OPTION_CONNECTION_LIMIT, 16u, MHD_OPTION_CONNECTION_TIMEOUT, 10u, MHD_OPTION_END);
  freeaddrinfo(found);
  if (!daemon_)
    throw ComError(E_FAIL, "Cannot serve metrics on " + endpoint.text() +
                               ": the address is in use or not available on this machine");
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info ? info->port : endpoint.port;
}

MetricsEndpoint::~MetricsEndpoint() {
  if (daemon_) MHD_stop_daemon(daemon_);
}

std::string MetricsEndpoint::address() const {
  remoting::Endpoint ep = endpoint_;
  ep.port = port_;
  return ep.text();
}

MetricsEndpoint::Answer MetricsEndpoint::answer(std::string_view method, std::string_view path,
                                                std::string_view authorization) const {
  if (!token_.empty() && (authorization.substr(0, kBearer.size()) != kBearer ||
                          !remoting::tokenMatches(token_, authorization.substr(kBearer.size()))))
    return {401, "the metrics need the client token: Authorization: Bearer <token>\n"};
  if (path != "/metrics") return {404, "not found: the metrics are at /metrics\n"};
  if (method != "GET" && method != "HEAD") return {405, "only GET\n"};
  return {200, render_()};
}

}  // namespace rvz::host
