// The framed transport: its frame decoder on its own, and a server driven
// through raw sockets with frames a well-behaved client would never send.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/remoting/frame.h"
#include "platform/remoting/invoke_reply_body.h"
#include "platform/remoting/wire_codec.h"
#include "test_objects.h"

using namespace rvz;
using namespace rvz::remoting;
using namespace rvz::remoting::testing;
namespace frames = rvz::remoting::frames;
using frames::Decoder;
using frames::Kind;
using frames::Method;

namespace {

std::string invokeFrame(uint64_t callId, const std::string& session, uint64_t object) {
  v1::InvokeRequest req;
  req.set_session_id(session);
  req.set_object_id(object);
  req.set_dispid(kAdd);
  req.add_args(encodeVariant(Variant(2)));
  req.add_args(encodeVariant(Variant(3)));
  return frames::encode(Method::Invoke, Kind::Request, callId, req, 1u << 20);
}

struct Decoded {
  Decoder::Status status;
  frames::Header header;
  std::string body;
};

// Feeds `bytes` in pieces of `step` and collects what the decoder gives.
std::vector<Decoded> decodeAll(const std::string& bytes, size_t step, size_t maxBody) {
  Decoder d(maxBody);
  std::vector<Decoded> out;
  for (size_t at = 0; at < bytes.size(); at += step) {
    d.feed(bytes.data() + at, std::min(step, bytes.size() - at));
    for (;;) {
      Decoded x;
      std::string why;
      x.status = d.next(x.header, x.body, why);
      if (x.status == Decoder::Status::NeedMore) break;
      out.push_back(x);
      if (x.status == Decoder::Status::Damaged) return out;
    }
  }
  return out;
}

}  // namespace

TEST(FrameDecoder, FramesComeWholeHoweverTheBytesArrive) {
  const std::string a = invokeFrame(7, "s", 1);
  const std::string b = frames::encodeRaw(Method::Release, Kind::Reply, 1ull << 40, "");
  for (size_t step : {size_t{1}, size_t{3}, size_t{16}, a.size() + b.size()}) {
    auto got = decodeAll(a + b, step, 1024);
    ASSERT_EQ(got.size(), 2u) << "step " << step;
    EXPECT_EQ(got[0].status, Decoder::Status::Frame);
    EXPECT_EQ(got[0].header.method, Method::Invoke);
    EXPECT_EQ(got[0].header.callId, 7u);
    EXPECT_EQ(got[0].body, a.substr(frames::kHeaderBytes));
    EXPECT_EQ(got[1].header.kind, Kind::Reply);
    EXPECT_EQ(got[1].header.callId, 1ull << 40);
    EXPECT_TRUE(got[1].body.empty());
  }
}

TEST(FrameDecoder, AnOversizedBodyIsSkippedAndTheNextFrameStillComes) {
  const std::string big = frames::encodeRaw(Method::Invoke, Kind::Request, 1, std::string(5000, 'x'));
  const std::string small = frames::encodeRaw(Method::AddRef, Kind::Request, 2, "ab");
  for (size_t step : {size_t{1}, size_t{100}, big.size() + small.size()}) {
    auto got = decodeAll(big + small, step, 1000);
    ASSERT_EQ(got.size(), 2u) << "step " << step;
    EXPECT_EQ(got[0].status, Decoder::Status::Oversized);
    EXPECT_EQ(got[0].header.length, 5000u);
    EXPECT_EQ(got[0].header.callId, 1u);
    EXPECT_EQ(got[1].status, Decoder::Status::Frame);
    EXPECT_EQ(got[1].body, "ab");
  }
}

TEST(FrameDecoder, UnknownMethodsAndKindsAreDamage) {
  struct Case {
    uint16_t method, kind;
    const char* says;
  } cases[] = {{0, 0, "method 0"}, {10, 0, "method 10"}, {0xFFFF, 1, "method 65535"}, {5, 3, "kind 3"}};
  for (const Case& c : cases) {
    std::string bytes = frames::encodeRaw(Method::Invoke, Kind::Request, 1, "");
    bytes[4] = static_cast<char>(c.method & 0xFF);
    bytes[5] = static_cast<char>(c.method >> 8);
    bytes[6] = static_cast<char>(c.kind);
    Decoder d(100);
    d.feed(bytes.data(), bytes.size());
    frames::Header h;
    std::string body, why;
    EXPECT_EQ(d.next(h, body, why), Decoder::Status::Damaged);
    EXPECT_NE(why.find(c.says), std::string::npos) << why;
    // Nothing after damage is trusted.
    const std::string good = frames::encodeRaw(Method::AddRef, Kind::Request, 2, "");
    d.feed(good.data(), good.size());
    EXPECT_EQ(d.next(h, body, why), Decoder::Status::Damaged);
  }
}

TEST(FrameDecoder, TheOpenSessionBodyCarriesTheToken) {
  v1::OpenSessionRequest req;
  req.set_client_name("bench");
  std::string token;
  v1::OpenSessionRequest back;
  std::string why;
  ASSERT_TRUE(frames::splitOpenSessionBody(frames::openSessionBody("s3cret", req), token, back, why)) << why;
  EXPECT_EQ(token, "s3cret");
  EXPECT_EQ(back.client_name(), "bench");
  const std::string bad[] = {"", std::string("\x01\x00", 2), std::string("\x09\x00\x00\x00tok", 7)};
  for (const std::string& body : bad) EXPECT_FALSE(frames::splitOpenSessionBody(body, token, back, why)) << body.size();
}

TEST(FrameDecoder, AnUnfinishedFrameIsHandedOverAndTheNextOneStillComes) {
  const std::string body(3000, 'b');
  const std::string big = frames::encodeRaw(Method::Invoke, Kind::Reply, 4, body);
  const std::string next = frames::encodeRaw(Method::AddRef, Kind::Reply, 5, "cd");
  for (size_t here : {size_t{0}, size_t{1}, size_t{2999}}) {
    Decoder d(4096);
    frames::Header h;
    std::string got, why;
    size_t have = 0;
    d.feed(big.data(), frames::kHeaderBytes - 1);
    EXPECT_FALSE(d.takeUnfinished(h, got, have)) << "a header not yet whole";
    d.feed(big.data() + frames::kHeaderBytes - 1, 1 + here);
    ASSERT_EQ(d.next(h, got, why), Decoder::Status::NeedMore);
    ASSERT_TRUE(d.takeUnfinished(h, got, have)) << here;
    EXPECT_EQ(h.callId, 4u);
    EXPECT_EQ(h.length, body.size());
    EXPECT_EQ(have, here);
    ASSERT_EQ(got.size(), body.size());
    EXPECT_EQ(got.substr(0, have), body.substr(0, have));
    EXPECT_EQ(d.buffered(), 0u);
    // The caller has read the rest itself; the decoder goes on after it.
    d.feed(next.data(), next.size());
    ASSERT_EQ(d.next(h, got, why), Decoder::Status::Frame);
    EXPECT_EQ(h.callId, 5u);
    EXPECT_EQ(got, "cd");
  }
  // Whole, oversized and damaged frames are not handed over.
  struct Case {
    std::string bytes;
    size_t maxBody;
  } notTaken[] = {{next, 100}, {big.substr(0, 100), 1000}, {std::string(16, '\xFF'), 1 << 20}};
  for (const Case& c : notTaken) {
    Decoder d(c.maxBody);
    d.feed(c.bytes.data(), c.bytes.size());
    frames::Header h;
    std::string got;
    size_t have = 0;
    EXPECT_FALSE(d.takeUnfinished(h, got, have));
  }
}

namespace {

Variant byteArray(uint32_t count, int32_t lower) {
  SafeArray a = SafeArray::vector(VT_UI1, count, lower);
  for (size_t i = 0; i < count; ++i) a.byteData()[i] = static_cast<uint8_t>(i * 7);
  return Variant::array(std::move(a));
}

v1::InvokeReply replyWithOuts() {
  v1::InvokeReply r;
  putFailure(runtimeError(S_FALSE, "with a note"), -1, r.mutable_error());
  r.add_out_positions(2);
  r.add_out_args(encodeVariant(Variant(u"out")));
  return r;
}

}  // namespace

TEST(InvokeReplyBody, TheInPlaceFormIsTheReplyAsProtobufReadsIt) {
  std::vector<uint32_t> count = {0, 1, 70000};
  for (uint32_t n : count) {
    const Variant result = byteArray(n, n == 1 ? -3 : 0);
    ASSERT_TRUE(frames::writesInPlace(result));
    const v1::InvokeReply rest = replyWithOuts();
    frames::InvokeReplyParts parts = frames::invokeReplyParts(result, rest);
    const std::string body = parts.head + std::string(parts.bytes) + parts.tail;
    EXPECT_EQ(parts.size(), body.size());
    v1::InvokeReply parsed;
    ASSERT_TRUE(parsed.ParseFromString(body)) << n;
    v1::InvokeReply want = rest;
    want.set_result(encodeVariant(result));
    EXPECT_EQ(parsed.SerializeAsString(), want.SerializeAsString()) << n;
  }
  // Two dimensions: every bound travels in the head.
  SafeArray grid(VT_UI1, {{1, 2}, {-1, 3}});
  for (size_t i = 0; i < 6; ++i) grid.byteData()[i] = static_cast<uint8_t>(i);
  const Variant result = Variant::array(std::move(grid));
  frames::InvokeReplyParts parts = frames::invokeReplyParts(result, v1::InvokeReply{});
  v1::InvokeReply parsed;
  ASSERT_TRUE(parsed.ParseFromString(parts.head + std::string(parts.bytes) + parts.tail));
  EXPECT_EQ(decodeValue(parsed.result(), "result"), result);
  EXPECT_FALSE(frames::writesInPlace(Variant(SafeArray::variants({Variant(1)}))));
  EXPECT_FALSE(frames::writesInPlace(Variant(u"text")));
}

TEST(InvokeReplyBody, TheResultIsFoundWhereverItStands) {
  const Variant result = byteArray(5000, 2);
  const v1::InvokeReply rest = replyWithOuts();
  frames::InvokeReplyParts parts = frames::invokeReplyParts(result, rest);
  v1::InvokeReply generated = rest;
  generated.set_result(encodeVariant(result));
  v1::InvokeReply noResult = rest;
  const std::string bodies[] = {parts.head + std::string(parts.bytes) + parts.tail, generated.SerializeAsString(),
                                // a result given twice: the last one counts, as in any parse
                                parts.head + std::string(parts.bytes) + generated.SerializeAsString()};
  for (const std::string& body : bodies) {
    v1::InvokeReply got;
    std::string_view bytes;
    ASSERT_TRUE(frames::splitInvokeReply(body, got, bytes));
    EXPECT_EQ(decodeValue(bytes, "result"), result);
    EXPECT_TRUE(got.result().empty());
    EXPECT_EQ(got.SerializeAsString(), rest.SerializeAsString());
  }
  v1::InvokeReply got;
  std::string_view bytes = "not yet";
  ASSERT_TRUE(frames::splitInvokeReply(noResult.SerializeAsString(), got, bytes));
  EXPECT_TRUE(bytes.empty());
  // Cut anywhere inside the result or after its tag, the body does not decode.
  const std::string whole = parts.head + std::string(parts.bytes);
  for (size_t cut : {size_t{1}, size_t{2}, parts.head.size(), whole.size() - 1})
    EXPECT_FALSE(frames::splitInvokeReply(whole.substr(0, cut), got, bytes)) << cut;
  EXPECT_FALSE(frames::splitInvokeReply(std::string("\x00\x01", 2), got, bytes)) << "field 0";
}

namespace {

// A client that speaks frames itself, so that it can also speak them wrong.
class RawClient {
 public:
  explicit RawClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    // A test never waits for ever on a server that keeps quiet.
    timeval tv{10, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  }
  ~RawClient() { ::close(fd_); }
  bool connected() const { return connected_; }

  void send(const std::string& bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
  }

  // The next frame, or false when the server closed the connection.
  bool receive(frames::Header& h, std::string& body) {
    for (;;) {
      std::string why;
      auto st = decoder_.next(h, body, why);
      if (st == Decoder::Status::Frame) return true;
      if (st != Decoder::Status::NeedMore) return false;
      char buf[4096];
      ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return false;
      decoder_.feed(buf, static_cast<size_t>(n));
    }
  }

  // OpenSession with a token; the session id, or "" when refused.
  std::string open(const std::string& token, HRESULT* refusal = nullptr) {
    send(frames::encodeRaw(Method::OpenSession, Kind::Request, 0, frames::openSessionBody(token, {})));
    frames::Header h;
    std::string body;
    if (!receive(h, body)) return {};
    if (h.kind == Kind::Refusal) {
      v1::Failure f;
      f.ParseFromString(body);
      if (refusal) *refusal = static_cast<HRESULT>(f.hresult());
      return {};
    }
    v1::SessionEvent e;
    e.ParseFromString(body);
    return e.session_id();
  }

  bool closedByServer() {
    frames::Header h;
    std::string body;
    return !receive(h, body);
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  Decoder decoder_{1u << 20};
};

uint16_t framedPort(const TestServer& s) { return s.framed ? parseFramedEndpoint(s.framed->address()).tcp.port : 0; }

}  // namespace

TEST(FramedServer, AWrongTokenIsRefusedBeforeAnyObjectIsTouched) {
  ServerConfig config = TestServer::defaultConfig(Wire::FramedTcp);
  config.token = "s3cret";
  TestServer s(config);
  auto good = s.connect();
  client::ObjectRef o;
  ErrorInfo e;
  ASSERT_EQ(good->create("Test.Echo", o, e), S_OK);

  for (const char* token : {"", "wrong", "s3cret "}) {
    RawClient raw(framedPort(s));
    HRESULT refused = S_OK;
    EXPECT_EQ(raw.open(token, &refused), "") << token;
    EXPECT_EQ(refused, E_ACCESSDENIED);
    EXPECT_TRUE(raw.closedByServer());
  }
  // A connection that skips OpenSession and names a live session reaches
  // nothing: its first frame must present the token.
  RawClient sneaky(framedPort(s));
  v1::CreateObjectRequest create;
  create.set_session_id(good->sessionId());
  create.set_class_name("Test.Echo");
  sneaky.send(invokeFrame(1, good->sessionId(), o.id) +
              frames::encode(Method::CreateObject, Kind::Request, 2, create, 1024));
  frames::Header h;
  std::string body;
  ASSERT_TRUE(sneaky.receive(h, body));
  EXPECT_EQ(h.kind, Kind::Refusal);
  EXPECT_TRUE(sneaky.closedByServer());
  EXPECT_EQ(s.tracker->constructedCount(), 1);
  EXPECT_EQ(s.runtime->sessionCount(), 1u);
}

TEST(FramedServer, AnOversizedFrameIsRefusedAndTheSessionGoesOn) {
  ServerConfig config = TestServer::defaultConfig(Wire::FramedTcp);
  config.maxMessageBytes = 64u << 10;
  TestServer s(config);
  RawClient raw(framedPort(s));
  const std::string session = raw.open("");
  ASSERT_FALSE(session.empty());
  raw.send(frames::encodeRaw(Method::Invoke, Kind::Request, 5, std::string(200u << 10, 'z')));
  frames::Header h;
  std::string body;
  ASSERT_TRUE(raw.receive(h, body));
  EXPECT_EQ(h.kind, Kind::Refusal);
  EXPECT_EQ(h.callId, 5u);
  v1::Failure f;
  ASSERT_TRUE(f.ParseFromString(body));
  EXPECT_EQ(f.hresult(), 0x800706B9u);
  EXPECT_NE(f.description().find("size bound"), std::string::npos) << f.description();
  // The connection and its session still serve.
  v1::CreateObjectRequest create;
  create.set_session_id(session);
  create.set_class_name("Test.Echo");
  raw.send(frames::encode(Method::CreateObject, Kind::Request, 6, create, 1024));
  ASSERT_TRUE(raw.receive(h, body));
  v1::CreateObjectReply created;
  ASSERT_TRUE(created.ParseFromString(body));
  EXPECT_EQ(h.callId, 6u);
  EXPECT_EQ(created.error().hresult(), 0u);
  raw.send(invokeFrame(7, session, created.object_id()));
  ASSERT_TRUE(raw.receive(h, body));
  v1::InvokeReply called;
  ASSERT_TRUE(called.ParseFromString(body));
  EXPECT_EQ(decodeValue(called.result(), "result"), Variant(5));
}

TEST(FramedServer, ADamagedFrameClosesOnlyItsConnectionAndReleasesItsSession) {
  TestServer s(TestServer::defaultConfig(Wire::FramedTcp));
  auto bystander = s.connect();
  client::ObjectRef kept;
  ErrorInfo e;
  ASSERT_EQ(bystander->create("Test.Echo", kept, e), S_OK);

  const std::string damages[] = {
      frames::encodeRaw(static_cast<Method>(42), Kind::Request, 1, ""),                           // no such method
      frames::encodeRaw(Method::CreateObject, Kind::Reply, 1, ""),                                // not a request
      frames::encodeRaw(Method::CreateObject, Kind::Request, 1, "\xff\xff"),                      // does not decode
      frames::encodeRaw(Method::OpenSession, Kind::Request, 1, frames::openSessionBody("", {})),  // a second open
  };
  for (const std::string& damage : damages) {
    RawClient raw(framedPort(s));
    const std::string session = raw.open("");
    ASSERT_FALSE(session.empty());
    v1::CreateObjectRequest create;
    create.set_session_id(session);
    create.set_class_name("Test.Echo");
    raw.send(frames::encode(Method::CreateObject, Kind::Request, 1, create, 1024));
    frames::Header h;
    std::string body;
    ASSERT_TRUE(raw.receive(h, body));
    EXPECT_EQ(s.runtime->objectCount(), 2u);
    raw.send(damage);
    EXPECT_TRUE(raw.closedByServer());
    EXPECT_TRUE(eventually([&] { return s.runtime->objectCount() == 1u && s.runtime->sessionCount() == 1u; }));
  }
  std::vector<Variant> args{Variant(1), Variant(2)};
  Variant r;
  ASSERT_EQ(bystander->invoke(kept, kAdd, args, r, e), S_OK);
  EXPECT_EQ(r, Variant(3));
}

TEST(FramedServer, ARequestNamingAnotherSessionReachesNothing) {
  TestServer s(TestServer::defaultConfig(Wire::FramedTcp));
  auto owner = s.connect();
  client::ObjectRef o;
  ErrorInfo e;
  ASSERT_EQ(owner->create("Test.Echo", o, e), S_OK);
  RawClient raw(framedPort(s));
  ASSERT_FALSE(raw.open("").empty());
  raw.send(invokeFrame(3, owner->sessionId(), o.id));
  frames::Header h;
  std::string body;
  ASSERT_TRUE(raw.receive(h, body));
  v1::InvokeReply reply;
  ASSERT_TRUE(reply.ParseFromString(body));
  EXPECT_EQ(static_cast<HRESULT>(reply.error().hresult()), RPC_E_DISCONNECTED);
}

TEST(FramedServer, ListensOnlyOnThisMachine) {
  for (const char* endpoint : {"framed:0.0.0.0:7212", "framed:192.0.2.1:7212", "framed:[::]:7212"}) {
    ServerConfig config = TestServer::defaultConfig();
    config.framed = true;
    config.framedEndpoint = parseFramedEndpoint(endpoint);
    try {
      config.validate();
      ADD_FAILURE() << endpoint << " was accepted";
    } catch (const ComError& e) {
      EXPECT_NE(std::string(e.what()).find("not a Unix socket or a loopback address"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(parseFramedEndpoint("unix:"), ComError);
  EXPECT_THROW(parseFramedEndpoint("unix:" + std::string(200, 'p')), ComError);
  EXPECT_THROW(parseFramedEndpoint("framed:nowhere"), ComError);
}

TEST(FramedServer, ASecondServerOnTheSameSocketFailsToStart) {
  TestServer s(TestServer::defaultConfig(Wire::FramedUnix));
  FramedServer second(*s.runtime, s.server->config());
  try {
    second.start();
    ADD_FAILURE() << "a second server started on " << s.framed->address();
  } catch (const ComError& e) {
    EXPECT_NE(std::string(e.what()).find("another server serves there"), std::string::npos) << e.what();
  }
  // The first still serves.
  auto c = s.connect();
  EXPECT_FALSE(c->sessionId().empty());
}
