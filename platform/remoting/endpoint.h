// Where the server listens and how it is protected: the endpoint
// "host:port", loopback or remote serving, TLS files, the client token and
// the size bounds, read from the environment (RVZ_ENDPOINT, RVZ_REMOTE,
// RVZ_TLS_CERT, RVZ_TLS_KEY, RVZ_TOKEN, RVZ_MAX_MESSAGE, RVZ_MAX_OBJECTS).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/remoting/error_info.h"

namespace rvz::remoting {

inline constexpr std::string_view kDefaultEndpoint = "127.0.0.1:7211";
inline constexpr size_t kDefaultMaxMessageBytes = 64u << 20;
inline constexpr size_t kDefaultMaxObjectsPerClient = 256;

struct Endpoint {
  std::string host;          // a name, dotted IPv4, or IPv6 without brackets
  uint16_t port = 0;         // 0 asks for any free port
  std::string text() const;  // "host:port", "[::1]:port"
  // 127.0.0.0/8, ::1 and "localhost": only this machine can connect.
  bool loopback() const;
  // 0.0.0.0 or "::": every interface.
  bool wildcard() const;
};

// Where the framed transport listens or connects: a Unix socket
// ("unix:/run/rvz.sock") or a TCP address ("framed:127.0.0.1:7212"). The
// framed transport has no TLS, so a server binds it only to a Unix socket
// or a loopback address; remote clients use gRPC with TLS and the token.
struct FramedEndpoint {
  bool unixSocket = false;
  std::string path;          // of the Unix socket
  Endpoint tcp;              // otherwise
  std::string text() const;  // "unix:PATH", "framed:HOST:PORT"
};
inline constexpr std::string_view kUnixScheme = "unix:";
inline constexpr std::string_view kFramedScheme = "framed:";

// True when a client's endpoint names the framed transport (by its scheme);
// "host:port" and "[v6]:port" name gRPC.
bool isFramedEndpoint(std::string_view text);
// "unix:PATH" or "framed:HOST:PORT". Throws ComError (E_INVALIDARG) naming
// what is wrong.
FramedEndpoint parseFramedEndpoint(std::string_view text);

// Parses "host:port" or "[v6]:port". Throws ComError (E_INVALIDARG) naming
// what is wrong.
Endpoint parseEndpoint(std::string_view text);

// "64M", "1048576", "512K": a byte count between 1 KiB and 1 GiB.
size_t parseByteSize(std::string_view what, std::string_view text);
// A count between min and max.
size_t parseCount(std::string_view what, std::string_view text, size_t min, size_t max);
// "1", "0", "true", "false", "yes", "no" (any case); empty is false.
bool parseFlag(std::string_view what, std::string_view text);

using Environment = std::function<const char*(const char*)>;

struct ServerConfig {
  Endpoint endpoint{"127.0.0.1", 7211};
  bool remote = false;      // other machines may connect: TLS and a token are required
  std::string tlsCertFile;  // PEM certificate chain
  std::string tlsKeyFile;   // PEM private key
  std::string token;        // when set, every request must carry it
  size_t maxMessageBytes = kDefaultMaxMessageBytes;
  size_t maxObjectsPerClient = kDefaultMaxObjectsPerClient;
  // The framed transport's listener as well (RVZ_FRAMED_ENDPOINT): local
  // clients reach the same objects there with less cost per call.
  bool framed = false;
  FramedEndpoint framedEndpoint;
  // A connection silent this long is pinged, and dropped when the answer
  // does not come within the timeout: a hung peer's session ends within
  // their sum. A peer that dies is seen at once by its closed connection;
  // the pings are only for peers that hang or vanish from the network.
  int keepAliveMs = 10000;
  int keepAliveTimeoutMs = 10000;

  // Reads the environment and checks the result; throws ComError
  // (E_INVALIDARG) naming the variable that is wrong.
  static ServerConfig fromEnvironment(const Environment& env);
  static ServerConfig fromEnvironment();
  // Remote serving needs TLS and a token; a non-loopback endpoint is remote.
  // The framed listener must be a Unix socket or a loopback address.
  void validate() const;
};

// Compares a presented token with the expected one in time that does not
// depend on where they differ.
bool tokenMatches(std::string_view expected, std::string_view presented);

}  // namespace rvz::remoting
