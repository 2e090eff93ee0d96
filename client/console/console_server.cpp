// The console's HTTP side on libmicrohttpd: a thread per connection, so
// that an event stream may wait for the next state of the screen in its
// reader without holding anyone else up; connections are bounded.
#include "client/console/console_server.h"

#include <microhttpd.h>
#include <netdb.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>

#include <cstring>
#include <fstream>
#include <ostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "client/console/console_assets.h"
#include "client/console/console_request.h"
#include "platform/desktop/screen_client.h"

namespace rvz::client::console {

namespace {

using nlohmann::json;

constexpr unsigned kMaxConnections = 32;
constexpr unsigned kMaxConnectionsPerAddress = 16;
// An event stream says something at least this often, so that a browser
// that went away is noticed by the failed write.
constexpr auto kKeepAlive = std::chrono::seconds(15);

const char* const kSecurityHeaders[][2] = {
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self' data:; "
     "base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "DENY"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
};

std::string readFile(const std::string& path, const char* what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("cannot read the ") + what + " " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The host name of a Host header: "127.0.0.1:7212" -> 127.0.0.1,
// "[::1]:7212" -> ::1, "localhost" -> localhost.
std::string hostName(std::string_view host) {
  if (!host.empty() && host.front() == '[') {
    size_t close = host.find(']');
    return std::string(host.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  }
  size_t colon = host.find(':');
  if (colon != std::string_view::npos && host.find(':', colon + 1) == std::string_view::npos)
    return std::string(host.substr(0, colon));
  return std::string(host);
}

HttpAnswer jsonAnswer(unsigned status, bool ok, const std::string& error = {}) {
  json j;
  j["ok"] = ok;
  if (!ok) j["error"] = error;
  return HttpAnswer{status, "application/json; charset=utf-8", j.dump(-1, ' ', false, json::error_handler_t::replace),
                    false};
}

// --- libmicrohttpd glue ---------------------------------------------------------

struct Pending {
  std::string body;
  bool tooLarge = false;
};

struct Stream {
  ScreenFeed* feed;
  uint64_t seen = 0;
  std::string out;
  size_t pos = 0;
};

ssize_t readEvents(void* cls, uint64_t, char* buf, size_t max) {
  auto* s = static_cast<Stream*>(cls);
  if (s->pos == s->out.size()) {
    s->out.clear();
    s->pos = 0;
    ScreenFeed::State st = s->feed->newerThan(s->seen, kKeepAlive);
    if (st.json) {
      s->seen = st.serial;
      s->out = "event: state\ndata: " + *st.json + "\n\n";
    } else if (s->feed->stopping()) {
      return MHD_CONTENT_READER_END_OF_STREAM;
    } else {
      s->out = ": keep-alive\n\n";
    }
  }
  size_t n = std::min(max, s->out.size() - s->pos);
  std::memcpy(buf, s->out.data() + s->pos, n);
  s->pos += n;
  return static_cast<ssize_t>(n);
}

void freeStream(void* cls) { delete static_cast<Stream*>(cls); }

std::string header(MHD_Connection* c, const char* name) {
  const char* v = MHD_lookup_connection_value(c, MHD_HEADER_KIND, name);
  return v ? v : "";
}

MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                     const char* upload, size_t* uploadSize, void** conCls) {
  auto* server = static_cast<ConsoleServer*>(cls);
  if (!*conCls) {
    *conCls = new Pending;
    return MHD_YES;
  }
  auto* pending = static_cast<Pending*>(*conCls);
  if (*uploadSize) {
    if (pending->body.size() + *uploadSize > kMaxFormBytes)
      pending->tooLarge = true;
    else
      pending->body.append(upload, *uploadSize);
    *uploadSize = 0;
    return MHD_YES;
  }
  HttpRequest r;
  r.method = method ? method : "";
  r.path = url ? url : "";
  r.host = header(connection, MHD_HTTP_HEADER_HOST);
  r.origin = header(connection, "Origin");
  r.fetchSite = header(connection, "Sec-Fetch-Site");
  r.token = header(connection, kTokenHeader.data());
  r.contentType = header(connection, MHD_HTTP_HEADER_CONTENT_TYPE);
  r.body = std::move(pending->body);
  r.bodyTooLarge = pending->tooLarge;
  HttpAnswer a = server->answer(r);

  MHD_Response* response = nullptr;
  if (a.events) {
    response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 16 * 1024, &readEvents,
                                                 new Stream{&server->feed(), 0, {}, 0}, &freeStream);
    a.contentType = "text/event-stream; charset=utf-8";
  } else {
    response = MHD_create_response_from_buffer(a.body.size(), a.body.data(), MHD_RESPMEM_MUST_COPY);
  }
  if (!response) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, a.contentType.c_str());
  for (const auto& h : kSecurityHeaders) MHD_add_response_header(response, h[0], h[1]);
  if (a.status == 401) MHD_add_response_header(response, "WWW-Authenticate", "X-Console-Token");
  MHD_Result result = MHD_queue_response(connection, a.status, response);
  MHD_destroy_response(response);
  return result;
}

void onCompleted(void*, MHD_Connection*, void** conCls, MHD_RequestTerminationCode) {
  delete static_cast<Pending*>(*conCls);
  *conCls = nullptr;
}

}  // namespace

void ConsoleSettings::validate() const {
  if (tlsCertFile.empty() != tlsKeyFile.empty())
    throw std::invalid_argument("TLS needs both a certificate and a key: set RVZ_TLS_CERT and RVZ_TLS_KEY together");
  if (!listen.loopback() && (!tls() || token.empty()))
    throw std::invalid_argument("the console listens on " + listen.text() +
                                ", which is not a loopback address: serving other machines needs TLS (RVZ_TLS_CERT, "
                                "RVZ_TLS_KEY) and a configured token (RVZ_TOKEN or --token)");
}

std::string makeToken() {
  unsigned char bytes[32];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("cannot make a token: ") + std::strerror(errno));
    }
    got += static_cast<size_t>(n);
  }
  static const char* hex = "0123456789abcdef";
  std::string t;
  for (unsigned char b : bytes) t += hex[b >> 4], t += hex[b & 15];
  return t;
}

ConsoleServer::ConsoleServer(ConsoleSettings settings) : settings_(std::move(settings)), feed_(settings_.socketPath) {
  settings_.validate();
  if (settings_.token.empty()) settings_.token = makeToken();
  std::string cert, key;
  if (settings_.tls()) {
    cert = readFile(settings_.tlsCertFile, "TLS certificate");
    key = readFile(settings_.tlsKeyFile, "TLS key");
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(settings_.listen.port);
  int rc = getaddrinfo(settings_.listen.host.c_str(), port.c_str(), &hints, &found);
  if (rc != 0 || !found)
    throw std::runtime_error("cannot serve the console on " + settings_.listen.text() + ": " + gai_strerror(rc));
  unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL;
  if (found->ai_family == AF_INET6) flags |= MHD_USE_IPv6;
  if (settings_.tls()) flags |= MHD_USE_TLS;
  MHD_OptionItem tlsOptions[] = {
      {settings_.tls() ? MHD_OPTION_HTTPS_MEM_CERT : MHD_OPTION_END, 0, cert.data()},
      {MHD_OPTION_HTTPS_MEM_KEY, 0, key.data()},
      {MHD_OPTION_END, 0, nullptr},
  };
  daemon_ =
      MHD_start_daemon(flags, settings_.listen.port, nullptr, nullptr, &onRequest, this, MHD_OPTION_SOCK_ADDR,
                       found->ai_addr, MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
                       kMaxConnectionsPerAddress, MHD_OPTION_CONNECTION_TIMEOUT, 120u, MHD_OPTION_NOTIFY_COMPLETED,
                       &onCompleted, nullptr, MHD_OPTION_ARRAY, tlsOptions, MHD_OPTION_END);
  freeaddrinfo(found);
  if (!daemon_)
    throw std::runtime_error("cannot serve the console on " + settings_.listen.text() +
                             ": the address is in use or not available on this machine" +
                             (settings_.tls() ? ", or the TLS certificate and key are not usable" : ""));
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info ? info->port : settings_.listen.port;
}

ConsoleServer::~ConsoleServer() {
  // The streams end when the feed stops; then the daemon's threads join.
  feed_.stop();
  if (daemon_) MHD_stop_daemon(daemon_);
}

std::string ConsoleServer::url(bool withToken) const {
  remoting::Endpoint ep = settings_.listen;
  ep.port = port_;
  if (ep.wildcard()) ep.host = "localhost";
  std::string u = std::string(settings_.tls() ? "https://" : "http://") + ep.text() + "/";
  if (withToken) u += "#token=" + settings_.token;
  return u;
}

HttpAnswer ConsoleServer::answer(const HttpRequest& r) const {
  if (!settings_.tls() && !remoting::Endpoint{hostName(r.host), 0}.loopback())
    return HttpAnswer{403, "text/plain; charset=utf-8",
                      "the console answers only to a loopback host name, not \"" + r.host + "\"\n", false};
  if (const Asset* a = findAsset(r.path)) {
    if (r.method != "GET" && r.method != "HEAD")
      return HttpAnswer{405, "text/plain; charset=utf-8", "only GET\n", false};
    return HttpAnswer{200, std::string(a->contentType), std::string(a->body), false};
  }
  if (r.path != "/events" && r.path != "/act")
    return HttpAnswer{404, "text/plain; charset=utf-8", "not found: " + r.path + "\n", false};
  if (r.token.empty() || !remoting::tokenMatches(settings_.token, r.token))
    return jsonAnswer(401, false, "the console needs its token in the header X-Console-Token");
  if (r.path == "/events") {
    if (r.method != "GET") return jsonAnswer(405, false, "the event stream is read with GET");
    return HttpAnswer{200, "text/event-stream; charset=utf-8", {}, true};
  }
  if (r.method != "POST") return jsonAnswer(405, false, "actions are sent with POST");
  return act(r);
}

HttpAnswer ConsoleServer::act(const HttpRequest& r) const {
  const std::string self = std::string(settings_.tls() ? "https://" : "http://") + r.host;
  if (!r.origin.empty() && r.origin != self)
    return jsonAnswer(403, false, "refused: the request comes from another origin (" + r.origin + ")");
  if (!r.fetchSite.empty() && r.fetchSite != "same-origin" && r.fetchSite != "none")
    return jsonAnswer(403, false, "refused: the request comes from another site (" + r.fetchSite + ")");
  std::string_view type = r.contentType;
  type = type.substr(0, type.find(';'));
  while (!type.empty() && type.back() == ' ') type.remove_suffix(1);
  if (type != "application/x-www-form-urlencoded")
    return jsonAnswer(415, false, "an action is a form: application/x-www-form-urlencoded");
  if (r.bodyTooLarge)
    return jsonAnswer(413, false, "the form is longer than " + std::to_string(kMaxFormBytes) + " bytes");
  desktop::Request request;
  try {
    request = actionFromForm(r.body);
  } catch (const RequestError& e) {
    return jsonAnswer(400, false, e.what());
  }
  try {
    desktop::Reply reply = desktop::sendScreenRequest(request, settings_.socketPath, std::chrono::seconds(45));
    // The exchange itself succeeded: the screen's refusal (a box already
    // answered, a disabled control) is the page's to show, not an HTTP
    // failure.
    if (!reply.ok) return jsonAnswer(200, false, reply.text);
    return jsonAnswer(200, true);
  } catch (const std::exception& e) {
    return jsonAnswer(502, false, e.what());
  }
}

int runConsole(ConsoleSettings settings, std::ostream& out, std::ostream& err) {
  // The signals are taken here, by sigwait, not by the threads started
  // below, which inherit the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  try {
    const bool made = settings.token.empty();
    ConsoleServer server(std::move(settings));
    out << "quib console: the screen at " << server.feed().socketPath().string() << " is served at " << server.url(made)
        << std::endl;
    int sig = 0;
    sigwait(&signals, &sig);
    return 0;
  } catch (const std::exception& e) {
    err << "quib console: " << e.what() << std::endl;
    return 1;
  }
}

}  // namespace rvz::client::console
