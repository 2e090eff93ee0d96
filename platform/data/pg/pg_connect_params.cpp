// Connection strings to libpq keywords.
#include "platform/data/pg/pg_connect_params.h"

#include <algorithm>
#include <cstdlib>

#include "platform/data/data_error.h"
#include "platform/text/text.h"

namespace rvz::data::pg {
namespace {

// application_name holds at most 63 bytes of printable ASCII.
constexpr size_t kMaxApplicationName = 63;

std::string firstOf(const ConnectionString& cs, std::initializer_list<std::string_view> keys) {
  for (std::string_view k : keys)
    if (auto v = cs.find(k)) return *v;
  return {};
}

bool hasAny(const ConnectionString& cs, std::initializer_list<std::string_view> keys) {
  for (std::string_view k : keys)
    if (cs.has(k)) return true;
  return false;
}

std::string trimmed(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

bool isYes(std::string_view v) {
  for (std::string_view y : {"yes", "true", "sspi", "1", "mandatory", "strict"})
    if (text::equalsNoCaseAscii(v, y)) return true;
  return false;
}

bool isLocalName(std::string_view host) {
  for (std::string_view l : {"", ".", "(local)", "(localdb)", "localhost"})
    if (text::equalsNoCaseAscii(host, l)) return true;
  return false;
}

[[noreturn]] void badSource(const std::string& source, const std::string& why) {
  throw DataError::component(kErrBadConnectionString, "The Data Source '" + source + "' names no server: " + why + ".");
}

std::string applicationNameOf(std::string_view wanted) {
  std::string out;
  for (char c : wanted) {
    if (out.size() >= kMaxApplicationName) break;
    unsigned char u = static_cast<unsigned char>(c);
    out.push_back(u >= 0x20 && u < 0x7F ? c : '?');
  }
  return out;
}

struct Server {
  std::string host;     // empty: libpq's default
  std::string port;     // empty: libpq's default
  std::string service;  // named instance
};

Server serverOf(const std::string& source) {
  Server s;
  std::string rest = trimmed(source);
  if (!rest.empty() && rest[0] == '/') {
    s.host = rest;  // a socket folder
    return s;
  }
  // "tcp:host": a protocol prefix is letters before the only colon (an
  // IPv6 address has several).
  size_t colon = rest.find(':');
  if (colon != std::string::npos && rest.find(':', colon + 1) == std::string::npos && colon > 0 &&
      std::all_of(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(colon),
                  [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); })) {
    std::string protocol = trimmed(std::string_view(rest).substr(0, colon));
    if (text::equalsNoCaseAscii(protocol, "tcp")) {
      rest = trimmed(std::string_view(rest).substr(colon + 1));
    } else if (text::equalsNoCaseAscii(protocol, "lpc")) {
      // Shared memory reaches the local server; libpq's local socket is its
      // counterpart here.
      rest = trimmed(std::string_view(rest).substr(colon + 1));
      if (!isLocalName(trimmed(std::string_view(rest).substr(0, rest.find_first_of(",\\")))))
        badSource(source, "shared memory (lpc:) reaches only the local server");
    } else {
      badSource(source, "the protocol '" + protocol + "' is not tcp or lpc");
    }
  }
  if (size_t comma = rest.find(','); comma != std::string::npos) {
    std::string port = trimmed(std::string_view(rest).substr(comma + 1));
    rest = trimmed(std::string_view(rest).substr(0, comma));
    long value = 0;
    bool digits = !port.empty() && port.size() <= 5;
    for (char c : port) {
      if (c < '0' || c > '9')
        digits = false;
      else
        value = value * 10 + (c - '0');
    }
    if (!digits || value < 1 || value > 65535)
      badSource(source, "the port '" + port + "' is not a number from 1 to 65535");
    s.port = port;
  }
  if (size_t slash = rest.find('\\'); slash != std::string::npos) {
    s.service = trimmed(std::string_view(rest).substr(slash + 1));
    rest = trimmed(std::string_view(rest).substr(0, slash));
    if (s.service.empty()) badSource(source, "the instance name after '\\' is empty");
  }
  if (!isLocalName(rest)) s.host = rest;
  if (s.host.empty() && !s.port.empty()) {
    // "(local),5433": the local server on that port over TCP would need a
    // host; "localhost" keeps to loopback.
    s.host = "localhost";
  }
  return s;
}

}  // namespace

std::string PgConnectParams::value(const std::string& keyword) const {
  for (const auto& [k, v] : keywords)
    if (k == keyword) return v;
  return {};
}

PgConnectParams pgConnectParams(const ConnectionString& cs, int connectTimeoutSeconds,
                                const std::string& applicationName) {
  PgConnectParams p;
  auto add = [&](std::string k, std::string v) { p.keywords.emplace_back(std::move(k), std::move(v)); };

  const std::string source = firstOf(cs, {"Data Source", "Server", "Address", "Addr", "Network Address"});
  const Server server = serverOf(source);
  p.server = isLocalName(trimmed(source)) ? std::string("(local)") : trimmed(source);
  if (!server.service.empty()) add("service", server.service);
  if (!server.host.empty()) add("host", server.host);
  if (!server.port.empty()) add("port", server.port);

  std::string database = trimmed(firstOf(cs, {"Initial Catalog", "Database"}));
  if (text::equalsNoCaseAscii(database, "master")) database = "postgres";
  if (database.empty() && !std::getenv("PGDATABASE")) database = "postgres";
  p.database = database;
  if (!database.empty()) add("dbname", database);

  const bool integrated = isYes(firstOf(cs, {"Integrated Security", "Trusted_Connection"}));
  const std::string user = trimmed(firstOf(cs, {"User ID", "UID", "User"}));
  if (!integrated && !user.empty()) {
    add("user", user);
    if (hasAny(cs, {"Password", "PWD"})) {
      p.password = firstOf(cs, {"Password", "PWD"});
      add("password", p.password);
    }
  }

  if (isYes(firstOf(cs, {"Encrypt", "Use Encryption for Data"}))) add("sslmode", "require");
  add("connect_timeout", std::to_string(connectTimeoutSeconds < 0 ? 0 : connectTimeoutSeconds));
  std::string app = firstOf(cs, {"Application Name", "App"});
  add("application_name", applicationNameOf(app.empty() ? applicationName : app));
  add("client_encoding", "UTF8");
  add("options", "-c DateStyle=ISO,YMD -c IntervalStyle=postgres -c extra_float_digits=3");
  return p;
}

std::string withoutPassword(std::string text, const std::string& password) {
  if (password.empty()) return text;
  size_t at = 0;
  while ((at = text.find(password, at)) != std::string::npos) {
    text.replace(at, password.size(), "***");
    at += 3;
  }
  return text;
}

}  // namespace rvz::data::pg
