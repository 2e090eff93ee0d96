// Fuzz target: bytes as the framed server reads them off a connection. The
// first byte sets how many bytes arrive at a time; the frames decoded are
// read as the server reads them (the OpenSession body with its token, or the
// method's request message), and the decoder's promises are checked.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/remoting/frame.h"

using namespace rvz::remoting;
using frames::Decoder;
using frames::Method;

namespace {

constexpr size_t kMaxBody = 4096;

void readAsTheServerDoes(const frames::Header& h, const std::string& body) {
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
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  size = size - 1;
  Decoder decoder(kMaxBody);
  bool damaged = false;
  for (size_t at = 0; at < size; at += step) {
    decoder.feed(bytes + at, std::min(step, size - at));
    for (;;) {
      frames::Header h;
      std::string body, why;
      const auto status = decoder.next(h, body, why);
      if (status == Decoder::Status::NeedMore) break;
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
