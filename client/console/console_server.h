// `quib console`: the headless screen's face in a browser. An HTTP server
// (GNU libmicrohttpd) serves one page, its script and style, all built into
// the program; the page follows the screen through a stream of server-sent
// events and works it with small form posts.
//
// Protection: it listens on loopback unless TLS and a configured token are
// given. Every request but the page's own files must carry the token in
// the header X-Console-Token: the event stream too, since the log and the
// dialogs are the server's business. A request that changes something must
// also come from the console's own origin (Origin, Sec-Fetch-Site), and
// without TLS the Host must be a loopback name, so that a page of another
// site cannot reach the console through a name of its own. Passwords are
// never sent to the page: the screen masks a password box's text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "client/console/screen_feed.h"
#include "platform/remoting/endpoint.h"

struct MHD_Daemon;

namespace rvz::client::console {

inline constexpr std::string_view kDefaultListen = "127.0.0.1:7212";
inline constexpr std::string_view kTokenHeader = "X-Console-Token";

struct ConsoleSettings {
  remoting::Endpoint listen{"127.0.0.1", 7212};
  std::string tlsCertFile;  // PEM; with tlsKeyFile, the console speaks HTTPS
  std::string tlsKeyFile;
  std::string token;  // configured (RVZ_TOKEN, --token); empty: one is made at start
  std::filesystem::path socketPath;

  bool tls() const { return !tlsCertFile.empty(); }
  // Throws std::invalid_argument naming what is wrong: a certificate
  // without a key or the reverse, or an address that is not loopback
  // without both TLS and a configured token.
  void validate() const;
};

// 32 random bytes as 64 hex digits, from the kernel's random source.
std::string makeToken();

// One HTTP request as the console judges it; headers absent are empty.
struct HttpRequest {
  std::string method;
  std::string path;  // without the query
  std::string host;
  std::string origin;
  std::string fetchSite;  // Sec-Fetch-Site
  std::string token;      // X-Console-Token
  std::string contentType;
  std::string body;
  bool bodyTooLarge = false;
};

struct HttpAnswer {
  unsigned status = 200;
  std::string contentType;
  std::string body;
  bool events = false;  // start the event stream instead
};

class ConsoleServer {
 public:
  // Serves at settings.listen (port 0: any free port) with the token given
  // or `makeToken()`. Throws std::runtime_error when it cannot listen or
  // read the TLS files.
  explicit ConsoleServer(ConsoleSettings settings);
  ~ConsoleServer();
  ConsoleServer(const ConsoleServer&) = delete;
  ConsoleServer& operator=(const ConsoleServer&) = delete;

  uint16_t port() const { return port_; }
  const std::string& token() const { return settings_.token; }
  // The page's address; with a token made here, it carries the token in
  // its fragment (never sent over the network by a browser), so that the
  // operator who started the console opens it with one click.
  std::string url(bool withToken) const;

  // The answer to one request, without the HTTP around it.
  HttpAnswer answer(const HttpRequest& request) const;

  ScreenFeed& feed() { return feed_; }

 private:
  HttpAnswer act(const HttpRequest& request) const;

  ConsoleSettings settings_;
  ScreenFeed feed_;
  MHD_Daemon* daemon_ = nullptr;
  uint16_t port_ = 0;
};

// `quib console`: serves until SIGINT or SIGTERM. Prints the page's address
// on `out`; returns the exit code (1 when it cannot start, with the reason
// on `err`).
int runConsole(ConsoleSettings settings, std::ostream& out, std::ostream& err);

}  // namespace rvz::client::console
