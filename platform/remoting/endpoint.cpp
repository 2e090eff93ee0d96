// Endpoint and security settings of the server.
#include "platform/remoting/endpoint.h"

#include <cstdlib>

#include "platform/text/text.h"

namespace rvz::remoting {

namespace {

[[noreturn]] void bad(const std::string& text) { throw ComError(E_INVALIDARG, text); }

bool isDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool isHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

bool isV6Char(char c) {
  return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' || c == '.';
}

// Dotted IPv4 with four parts of 0..255; the first part, or -1.
int ipv4FirstOctet(std::string_view h) {
  int parts = 0, first = -1;
  size_t start = 0;
  while (true) {
    size_t dot = h.find('.', start);
    std::string_view part = h.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (!isDigits(part) || part.size() > 3) return -1;
    int v = std::atoi(std::string(part).c_str());
    if (v > 255) return -1;
    if (parts == 0) first = v;
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4 ? first : -1;
}

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s.substr(0, 80)) out += (c >= 0x20 && c < 0x7F) ? c : '?';
  if (s.size() > 80) out += "...";
  return out + "\"";
}

}  // namespace

std::string Endpoint::text() const {
  if (host.find(':') != std::string::npos) return "[" + host + "]:" + std::to_string(port);
  return host + ":" + std::to_string(port);
}

bool Endpoint::loopback() const {
  if (text::equalsNoCaseAscii(host, "localhost") || host == "::1") return true;
  return ipv4FirstOctet(host) == 127;
}

bool Endpoint::wildcard() const { return host == "0.0.0.0" || host == "::"; }

Endpoint parseEndpoint(std::string_view t) {
  std::string what = "Endpoint " + quoted(t);
  if (t.empty()) bad(what + " is empty: expected host:port");
  Endpoint ep;
  std::string_view port;
  if (t.front() == '[') {
    size_t close = t.find(']');
    if (close == std::string_view::npos) bad(what + ": an IPv6 address in brackets lacks its ']'");
    std::string_view host = t.substr(1, close - 1);
    if (host.empty() || host.find(':') == std::string_view::npos) bad(what + ": not an IPv6 address in brackets");
    for (char c : host)
      if (!isV6Char(c)) bad(what + ": not an IPv6 address in brackets");
    ep.host = std::string(host);
    if (close + 1 >= t.size() || t[close + 1] != ':') bad(what + " has no port: expected [address]:port");
    port = t.substr(close + 2);
  } else {
    size_t colon = t.rfind(':');
    if (colon == std::string_view::npos) bad(what + " has no port: expected host:port");
    std::string_view host = t.substr(0, colon);
    if (host.find(':') != std::string_view::npos) bad(what + ": write an IPv6 address in brackets, [::1]:7211");
    if (host.empty()) bad(what + " has no host: expected host:port");
    if (host.size() > 253) bad(what + ": the host name is longer than 253 characters");
    for (char c : host)
      if (!isHostChar(c)) bad(what + ": the host contains a character that no host name has");
    ep.host = std::string(host);
    port = t.substr(colon + 1);
  }
  if (!isDigits(port) || port.size() > 5) bad(what + ": the port must be a number from 0 to 65535");
  long p = std::atol(std::string(port).c_str());
  if (p > 65535) bad(what + ": the port must be a number from 0 to 65535");
  ep.port = static_cast<uint16_t>(p);
  return ep;
}

size_t parseByteSize(std::string_view what, std::string_view t) {
  std::string_view digits = t;
  size_t scale = 1;
  if (!t.empty()) {
    char last = t.back();
    if (last == 'K' || last == 'k') scale = 1u << 10;
    if (last == 'M' || last == 'm') scale = 1u << 20;
    if (last == 'G' || last == 'g') scale = 1u << 30;
    if (scale != 1) digits = t.substr(0, t.size() - 1);
  }
  if (!isDigits(digits) || digits.size() > 10)
    bad(std::string(what) + " " + quoted(t) + " is not a byte count such as 65536, 512K or 64M");
  unsigned long long v = std::strtoull(std::string(digits).c_str(), nullptr, 10) * scale;
  if (v < (1u << 10) || v > (1u << 30))
    bad(std::string(what) + " " + quoted(t) + " is out of range: from 1K to 1G bytes");
  return static_cast<size_t>(v);
}

size_t parseCount(std::string_view what, std::string_view t, size_t min, size_t max) {
  if (!isDigits(t) || t.size() > 10) bad(std::string(what) + " " + quoted(t) + " is not a number");
  unsigned long long v = std::strtoull(std::string(t).c_str(), nullptr, 10);
  if (v < min || v > max)
    bad(std::string(what) + " " + quoted(t) + " is out of range: from " + std::to_string(min) + " to " +
        std::to_string(max));
  return static_cast<size_t>(v);
}

bool parseFlag(std::string_view what, std::string_view t) {
  for (std::string_view yes : {"1", "true", "yes", "on"})
    if (text::equalsNoCaseAscii(t, yes)) return true;
  for (std::string_view no : {"", "0", "false", "no", "off"})
    if (text::equalsNoCaseAscii(t, no)) return false;
  bad(std::string(what) + " " + quoted(t) + " is neither 1 nor 0");
}

std::string FramedEndpoint::text() const {
  return unixSocket ? std::string(kUnixScheme) + path : std::string(kFramedScheme) + tcp.text();
}

bool isFramedEndpoint(std::string_view text) {
  return text.substr(0, kUnixScheme.size()) == kUnixScheme || text.substr(0, kFramedScheme.size()) == kFramedScheme;
}

FramedEndpoint parseFramedEndpoint(std::string_view text) {
  FramedEndpoint ep;
  if (text.substr(0, kUnixScheme.size()) == kUnixScheme) {
    ep.unixSocket = true;
    ep.path = std::string(text.substr(kUnixScheme.size()));
    // The room of sockaddr_un's path, with its terminating zero.
    constexpr size_t kMaxPath = 107;
    if (ep.path.empty()) bad("Endpoint " + quoted(text) + " names no socket path after unix:");
    if (ep.path.size() > kMaxPath)
      bad("Endpoint " + quoted(text) + ": a Unix socket path has at most " + std::to_string(kMaxPath) + " bytes");
    if (ep.path.find('\0') != std::string::npos)
      bad("Endpoint " + quoted(text) + ": the socket path holds a zero byte");
    return ep;
  }
  if (text.substr(0, kFramedScheme.size()) == kFramedScheme) {
    ep.tcp = parseEndpoint(text.substr(kFramedScheme.size()));
    return ep;
  }
  bad("Endpoint " + quoted(text) + " is not unix:PATH or framed:HOST:PORT");
}

ServerConfig ServerConfig::fromEnvironment(const Environment& env) {
  auto get = [&](const char* name) -> std::string {
    const char* v = env(name);
    return v ? std::string(v) : std::string();
  };
  ServerConfig c;
  std::string endpoint = get("RVZ_ENDPOINT");
  c.remote = parseFlag("RVZ_REMOTE", get("RVZ_REMOTE"));
  if (!endpoint.empty()) {
    c.endpoint = parseEndpoint(endpoint);
  } else if (c.remote) {
    // Remote serving without an endpoint listens on every interface.
    c.endpoint.host = "0.0.0.0";
  }
  if (!c.endpoint.loopback()) c.remote = true;
  c.tlsCertFile = get("RVZ_TLS_CERT");
  c.tlsKeyFile = get("RVZ_TLS_KEY");
  c.token = get("RVZ_TOKEN");
  std::string size = get("RVZ_MAX_MESSAGE");
  if (!size.empty()) c.maxMessageBytes = parseByteSize("RVZ_MAX_MESSAGE", size);
  std::string objects = get("RVZ_MAX_OBJECTS");
  if (!objects.empty()) c.maxObjectsPerClient = parseCount("RVZ_MAX_OBJECTS", objects, 1, 65536);
  std::string framed = get("RVZ_FRAMED_ENDPOINT");
  if (!framed.empty()) {
    c.framed = true;
    c.framedEndpoint = parseFramedEndpoint(framed);
  }
  c.validate();
  return c;
}

ServerConfig ServerConfig::fromEnvironment() {
  return fromEnvironment([](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}

void ServerConfig::validate() const {
  if (framed && !framedEndpoint.unixSocket && !framedEndpoint.tcp.loopback())
    bad("The framed endpoint " + framedEndpoint.text() +
        " is not a Unix socket or a loopback address: the framed transport has no TLS and serves this machine "
        "only; remote clients use gRPC (RVZ_ENDPOINT) with TLS and the token");
  if (tlsCertFile.empty() != tlsKeyFile.empty())
    bad("TLS needs both a certificate and a key: set RVZ_TLS_CERT and RVZ_TLS_KEY together");
  if (!endpoint.loopback() && !remote)
    bad("Endpoint " + endpoint.text() + " is not a loopback address: serving other machines needs RVZ_REMOTE=1");
  if (!remote) return;
  std::string why = "Serving other machines (endpoint " + endpoint.text() + ") needs ";
  if (tlsCertFile.empty() || tlsKeyFile.empty()) bad(why + "TLS: set RVZ_TLS_CERT and RVZ_TLS_KEY");
  if (token.empty()) bad(why + "a client token: set RVZ_TOKEN");
}

bool tokenMatches(std::string_view expected, std::string_view presented) {
  unsigned char diff = expected.size() == presented.size() ? 0 : 1;
  for (size_t i = 0; i < presented.size(); ++i) {
    unsigned char e = i < expected.size() ? static_cast<unsigned char>(expected[i]) : 0;
    diff |= static_cast<unsigned char>(e ^ static_cast<unsigned char>(presented[i]));
  }
  return diff == 0 && !expected.empty();
}

}  // namespace rvz::remoting
