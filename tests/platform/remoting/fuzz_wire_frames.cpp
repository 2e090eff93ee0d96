// Fuzz target: bytes as either end of the framed transport reads them off a
// connection. The first byte sets how many bytes arrive at a time and
// whether an unfinished frame's body is read straight into place, as the
// client does; the frames decoded are read as the server reads requests
// (the OpenSession body with its token, or the method's request message)
// and as the client reads an Invoke reply, and the decoder's promises are
// checked.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/remoting/frame.h"
#include "platform/remoting/invoke_reply_body.h"

using namespace rvz::remoting;
using frames::Decoder;
using frames::Method;

namespace {

constexpr size_t kMaxBody = 4096;

// The client's reading of an Invoke reply must agree with the generated
// parser whenever it accepts a body.
void readAsTheClientDoes(const std::string& body) {
  v1::InvokeReply rest;
  std::string_view result;
  if (!frames::splitInvokeReply(body, rest, result)) return;
  const auto from = reinterpret_cast<uintptr_t>(body.data()), at = reinterpret_cast<uintptr_t>(result.data());
  const bool inBody = at >= from && at + result.size() <= from + body.size();
  if (!result.empty() && !inBody && result.data() != rest.result().data())
    __builtin_trap();  // the result lies in the body, or in the message when the body has none
  v1::InvokeReply whole;
  if (!whole.ParseFromString(body)) __builtin_trap();
  if (whole.result() != result) __builtin_trap();
  whole.clear_result();
  rest.clear_result();
  if (whole.SerializeAsString() != rest.SerializeAsString()) __builtin_trap();
}

void readAsTheServerDoes(const frames::Header& h, const std::string& body) {
  if (h.kind != frames::Kind::Request) {
    if (h.method == Method::Invoke && h.kind == frames::Kind::Reply) readAsTheClientDoes(body);
    return;
  }
  switch (h.method) {
    case Method::OpenSession: {
      std::string token, why;
      v1::OpenSessionRequest req;
      if (!frames::splitOpenSessionBody(body, token, req, why) && why.empty()) __builtin_trap();
      if (token.size() > body.size()) __builtin_trap();
      return;
    }
    case Method::CloseSession: {
      v1::CloseSessionRequest r;
      (void)r.ParseFromString(body);
      return;
    }
    case Method::CreateObject: {
      v1::CreateObjectRequest r;
      (void)r.ParseFromString(body);
      return;
    }
    case Method::GetIDsOfNames: {
      v1::GetIDsOfNamesRequest r;
      (void)r.ParseFromString(body);
      return;
    }
    case Method::Invoke: {
      v1::InvokeRequest r;
      (void)r.ParseFromString(body);
      return;
    }
    case Method::AddRef:
    case Method::Release: {
      v1::RefRequest r;
      (void)r.ParseFromString(body);
      return;
    }
    case Method::LockServer: {
      v1::LockServerRequest r;
      (void)r.ParseFromString(body);
      return;
    }
    case Method::GetTypeInfo: {
      v1::GetTypeInfoRequest r;
      (void)r.ParseFromString(body);
      return;
    }
  }
  __builtin_trap();  // the decoder let an unknown method through
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t step = 1 + data[0] % 64;
  const bool inPlace = (data[0] & 0x80) != 0;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  size = size - 1;
  Decoder decoder(kMaxBody);
  bool damaged = false;
  for (size_t at = 0; at < size;) {
    const size_t n = std::min(step, size - at);
    decoder.feed(bytes + at, n);
    at += n;
    for (;;) {
      frames::Header h;
      std::string body, why;
      const auto status = decoder.next(h, body, why);
      if (status == Decoder::Status::NeedMore) {
        size_t have = 0;
        if (!inPlace || !decoder.takeUnfinished(h, body, have)) break;
        if (have >= h.length || body.size() != h.length || h.length > kMaxBody || decoder.buffered() != 0)
          __builtin_trap();
        // The rest of the body, straight from the input.
        const size_t rest = std::min(h.length - have, size - at);
        std::copy(bytes + at, bytes + at + rest, body.begin() + static_cast<std::ptrdiff_t>(have));
        at += rest;
        if (have + rest < h.length) break;  // the connection ended inside the frame
        readAsTheServerDoes(h, body);
        continue;
      }
      if (status == Decoder::Status::Damaged) {
        if (why.empty()) __builtin_trap();
        damaged = true;
        break;
      }
      if (damaged) __builtin_trap();  // nothing comes after damage
      if (status == Decoder::Status::Oversized) {
        if (h.length <= kMaxBody || !body.empty()) __builtin_trap();
        continue;
      }
      if (body.size() != h.length || body.size() > kMaxBody) __builtin_trap();
      readAsTheServerDoes(h, body);
    }
    // Held bytes stay within one frame's worth.
    if (decoder.buffered() > kMaxBody + frames::kHeaderBytes + step) __builtin_trap();
  }
  return 0;
}
