// Endpoint parsing and the security rules of the server settings.
#include "platform/remoting/endpoint.h"

#include <gtest/gtest.h>

#include <map>

using namespace rvz;
using namespace rvz::remoting;

namespace {

std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hresult(), E_INVALIDARG);
    return e.what();
  }
  return "";
}

Environment envOf(std::map<std::string, std::string> vars) {
  auto shared = std::make_shared<std::map<std::string, std::string>>(std::move(vars));
  return [shared](const char* name) -> const char* {
    auto it = shared->find(name);
    return it == shared->end() ? nullptr : it->second.c_str();
  };
}

}  // namespace

TEST(Endpoint, AcceptedForms) {
  struct Case {
    const char* text;
    const char* host;
    uint16_t port;
    bool loopback;
    const char* printed;
  } cases[] = {
      {"127.0.0.1:7211", "127.0.0.1", 7211, true, "127.0.0.1:7211"},
      {"127.1.2.3:1", "127.1.2.3", 1, true, "127.1.2.3:1"},
      {"localhost:0", "localhost", 0, true, "localhost:0"},
      {"LocalHost:80", "LocalHost", 80, true, "LocalHost:80"},
      {"[::1]:7211", "::1", 7211, true, "[::1]:7211"},
      {"[::]:65535", "::", 65535, false, "[::]:65535"},
      {"0.0.0.0:7211", "0.0.0.0", 7211, false, "0.0.0.0:7211"},
      {"server-01.example:7211", "server-01.example", 7211, false, "server-01.example:7211"},
      {"128.0.0.1:7211", "128.0.0.1", 7211, false, "128.0.0.1:7211"},
      {"127.0.0.256:7211", "127.0.0.256", 7211, false, "127.0.0.256:7211"},
  };
  for (const auto& c : cases) {
    Endpoint ep = parseEndpoint(c.text);
    EXPECT_EQ(ep.host, c.host) << c.text;
    EXPECT_EQ(ep.port, c.port) << c.text;
    EXPECT_EQ(ep.loopback(), c.loopback) << c.text;
    EXPECT_EQ(ep.text(), c.printed) << c.text;
  }
}

TEST(Endpoint, RefusedFormsSayWhy) {
  struct Case {
    const char* text;
    const char* why;
  } cases[] = {
      {"", "is empty"},
      {"127.0.0.1", "has no port"},
      {":7211", "has no host"},
      {"127.0.0.1:", "port must be a number"},
      {"127.0.0.1:65536", "port must be a number"},
      {"127.0.0.1:-1", "port must be a number"},
      {"127.0.0.1:72x1", "port must be a number"},
      {"::1:7211", "IPv6 address in brackets"},
      {"[::1:7211", "lacks its ']'"},
      {"[::1]7211", "has no port"},
      {"[host]:7211", "not an IPv6 address"},
      {"bad host:7211", "a character that no host name has"},
  };
  for (const auto& c : cases) {
    std::string e = errorOf([&] { parseEndpoint(c.text); });
    EXPECT_NE(e.find(c.why), std::string::npos) << c.text << " -> " << e;
  }
}

TEST(Endpoint, SizesCountsAndFlags) {
  EXPECT_EQ(parseByteSize("RVZ_MAX_MESSAGE", "64M"), 64u << 20);
  EXPECT_EQ(parseByteSize("RVZ_MAX_MESSAGE", "512k"), 512u << 10);
  EXPECT_EQ(parseByteSize("RVZ_MAX_MESSAGE", "1G"), 1u << 30);
  EXPECT_EQ(parseByteSize("RVZ_MAX_MESSAGE", "4096"), 4096u);
  for (const char* bad : {"", "M", "1023", "2G", "64MB", "-5", "99999999999K"}) {
    std::string e = errorOf([&] { parseByteSize("RVZ_MAX_MESSAGE", bad); });
    EXPECT_NE(e.find("RVZ_MAX_MESSAGE"), std::string::npos) << bad << " -> " << e;
  }
  EXPECT_EQ(parseCount("RVZ_MAX_OBJECTS", "256", 1, 65536), 256u);
  EXPECT_NE(errorOf([] { parseCount("RVZ_MAX_OBJECTS", "0", 1, 65536); }).find("out of range"), std::string::npos);
  EXPECT_NE(errorOf([] { parseCount("RVZ_MAX_OBJECTS", "ten", 1, 65536); }).find("not a number"), std::string::npos);
  EXPECT_TRUE(parseFlag("RVZ_REMOTE", "TRUE"));
  EXPECT_FALSE(parseFlag("RVZ_REMOTE", ""));
  EXPECT_NE(errorOf([] { parseFlag("RVZ_REMOTE", "2"); }).find("RVZ_REMOTE"), std::string::npos);
}

TEST(ServerSettings, LoopbackByDefaultRemoteOnlyWithTlsAndToken) {
  ServerConfig d = ServerConfig::fromEnvironment(envOf({}));
  EXPECT_EQ(d.endpoint.text(), kDefaultEndpoint);
  EXPECT_FALSE(d.remote);
  EXPECT_TRUE(d.token.empty());

  const std::map<std::string, std::string> tls = {
      {"RVZ_TLS_CERT", "/c.pem"}, {"RVZ_TLS_KEY", "/k.pem"}, {"RVZ_TOKEN", "t"}};
  auto with = [&](std::map<std::string, std::string> extra) {
    auto all = tls;
    for (auto& [k, v] : extra) all[k] = v;
    return all;
  };

  ServerConfig r = ServerConfig::fromEnvironment(envOf(with({{"RVZ_REMOTE", "1"}})));
  EXPECT_TRUE(r.remote);
  EXPECT_EQ(r.endpoint.text(), "0.0.0.0:7211");

  ServerConfig named = ServerConfig::fromEnvironment(envOf(with({{"RVZ_ENDPOINT", "10.0.0.5:9000"}})));
  EXPECT_TRUE(named.remote);

  ServerConfig local =
      ServerConfig::fromEnvironment(envOf(with({{"RVZ_REMOTE", "1"}, {"RVZ_ENDPOINT", "127.0.0.1:0"}})));
  EXPECT_TRUE(local.remote);
  EXPECT_EQ(local.endpoint.text(), "127.0.0.1:0");

  struct Refused {
    std::map<std::string, std::string> env;
    const char* why;
  } refused[] = {
      {{{"RVZ_ENDPOINT", "0.0.0.0:7211"}}, "needs TLS"},
      {{{"RVZ_REMOTE", "1"}, {"RVZ_TLS_CERT", "/c"}, {"RVZ_TOKEN", "t"}}, "RVZ_TLS_KEY"},
      {{{"RVZ_REMOTE", "1"}, {"RVZ_TLS_CERT", "/c"}, {"RVZ_TLS_KEY", "/k"}}, "RVZ_TOKEN"},
      {{{"RVZ_ENDPOINT", "127.0.0.1"}}, "has no port"},
      {{{"RVZ_REMOTE", "maybe"}}, "RVZ_REMOTE"},
      {{{"RVZ_MAX_OBJECTS", "0"}}, "RVZ_MAX_OBJECTS"},
      {{{"RVZ_MAX_MESSAGE", "12"}}, "RVZ_MAX_MESSAGE"},
      {{{"RVZ_TLS_CERT", "/c.pem"}}, "both a certificate and a key"},
  };
  for (const auto& c : refused) {
    std::string e = errorOf([&] { ServerConfig::fromEnvironment(envOf(c.env)); });
    EXPECT_NE(e.find(c.why), std::string::npos) << e;
  }

  ServerConfig bounded =
      ServerConfig::fromEnvironment(envOf({{"RVZ_MAX_MESSAGE", "1M"}, {"RVZ_MAX_OBJECTS", "3"}, {"RVZ_TOKEN", "x"}}));
  EXPECT_EQ(bounded.maxMessageBytes, 1u << 20);
  EXPECT_EQ(bounded.maxObjectsPerClient, 3u);
  EXPECT_EQ(bounded.token, "x");
  EXPECT_FALSE(bounded.remote);
}

TEST(ServerSettings, TokenComparison) {
  EXPECT_TRUE(tokenMatches("s3cret", "s3cret"));
  EXPECT_FALSE(tokenMatches("s3cret", "s3cre"));
  EXPECT_FALSE(tokenMatches("s3cret", "s3cret!"));
  EXPECT_FALSE(tokenMatches("s3cret", "S3cret"));
  EXPECT_FALSE(tokenMatches("s3cret", ""));
  // No token configured means none matches: the check is not reached then.
  EXPECT_FALSE(tokenMatches("", ""));
}
