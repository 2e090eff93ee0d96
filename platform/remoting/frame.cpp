// Frames of the framed transport: header layout, the OpenSession body and
// the bounded decoder.
#include "platform/remoting/frame.h"

#include <algorithm>
#include <cstring>

#include "platform/remoting/hresults.h"

namespace rvz::remoting::frames {

namespace {

void putU16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}
void putU32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void putU64(char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint64_t getLe(const char* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return v;
}

void putHeader(char* p, const Header& h) {
  putU32(p, h.length);
  putU16(p + 4, static_cast<uint16_t>(h.method));
  putU16(p + 6, static_cast<uint16_t>(h.kind));
  putU64(p + 8, h.callId);
}

}  // namespace

const char* methodName(Method m) {
  switch (m) {
    case Method::OpenSession: return "OpenSession";
    case Method::CloseSession: return "CloseSession";
    case Method::CreateObject: return "CreateObject";
    case Method::GetIDsOfNames: return "GetIDsOfNames";
    case Method::Invoke: return "Invoke";
    case Method::AddRef: return "AddRef";
    case Method::Release: return "Release";
    case Method::LockServer: return "LockServer";
    case Method::GetTypeInfo: return "GetTypeInfo";
  }
  return "?";
}

std::string encodeRaw(Method method, Kind kind, uint64_t callId, std::string_view body) {
  std::string out(kHeaderBytes + body.size(), '\0');
  putHeader(out.data(), Header{static_cast<uint32_t>(body.size()), method, kind, callId});
  if (!body.empty()) std::memcpy(out.data() + kHeaderBytes, body.data(), body.size());
  return out;
}

namespace {

void checkBound(size_t size, size_t maxBody) {
  if (size > maxBody || size > UINT32_MAX)
    throw ComError(RPC_S_OUT_OF_RESOURCES, "The message is over the size bound: " + std::to_string(size) +
                                               " bytes, at most " + std::to_string(maxBody));
}

}  // namespace

std::string encodeHeader(Method method, Kind kind, uint64_t callId, size_t bodySize, size_t maxBody) {
  checkBound(bodySize, maxBody);
  std::string out(kHeaderBytes, '\0');
  putHeader(out.data(), Header{static_cast<uint32_t>(bodySize), method, kind, callId});
  return out;
}

std::string encode(Method method, Kind kind, uint64_t callId, const google::protobuf::MessageLite& body,
                   size_t maxBody) {
  const size_t size = body.ByteSizeLong();
  checkBound(size, maxBody);
  std::string out(kHeaderBytes + size, '\0');
  putHeader(out.data(), Header{static_cast<uint32_t>(size), method, kind, callId});
  if (!body.SerializeToArray(out.data() + kHeaderBytes, static_cast<int>(size)))
    throw ComError(E_UNEXPECTED, std::string("The ") + methodName(method) + " message cannot be encoded");
  return out;
}

std::string openSessionBody(std::string_view token, const v1::OpenSessionRequest& req) {
  std::string out(4, '\0');
  putU32(out.data(), static_cast<uint32_t>(token.size()));
  out.append(token);
  out += req.SerializeAsString();
  return out;
}

bool splitOpenSessionBody(std::string_view body, std::string& token, v1::OpenSessionRequest& req, std::string& why) {
  if (body.size() < 4) {
    why = "the OpenSession body is shorter than its token length";
    return false;
  }
  const uint64_t n = getLe(body.data(), 4);
  if (n > body.size() - 4) {
    why = "the OpenSession token runs past the end of the frame";
    return false;
  }
  token.assign(body.substr(4, n));
  std::string_view rest = body.substr(4 + n);
  if (!req.ParseFromArray(rest.data(), static_cast<int>(rest.size()))) {
    why = "the OpenSessionRequest does not decode";
    return false;
  }
  return true;
}

void Decoder::feed(const char* data, size_t size) {
  if (!damage_.empty()) return;
  if (skipping_ > 0) {
    const size_t dropped = static_cast<size_t>(std::min<uint64_t>(skipping_, size));
    skipping_ -= dropped;
    data += dropped;
    size -= dropped;
  }
  if (size == 0) return;
  // Compact before growing, so that a long-lived connection's buffer stays
  // the size of one frame.
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > 65536 && start_ * 2 > buffer_.size()) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(data, size);
}

bool Decoder::peekHeader(Header& h) {
  const char* p = buffer_.data() + start_;
  h.length = static_cast<uint32_t>(getLe(p, 4));
  const uint64_t method = getLe(p + 4, 2);
  const uint64_t kind = getLe(p + 6, 2);
  h.callId = getLe(p + 8, 8);
  if (method == 0 || method > kLastMethod) {
    damage_ = "a frame names method " + std::to_string(method) + ", which does not exist";
  } else if (kind > static_cast<uint16_t>(Kind::Refusal)) {
    damage_ = "a frame is of kind " + std::to_string(kind) + ", which does not exist";
  }
  if (!damage_.empty()) {
    buffer_.clear();
    start_ = 0;
    return false;
  }
  h.method = static_cast<Method>(method);
  h.kind = static_cast<Kind>(kind);
  return true;
}

Decoder::Status Decoder::next(Header& header, std::string& body, std::string& why) {
  if (!damage_.empty()) {
    why = damage_;
    return Status::Damaged;
  }
  if (buffered() < kHeaderBytes) return Status::NeedMore;
  Header h;
  if (!peekHeader(h)) {
    why = damage_;
    return Status::Damaged;
  }
  if (h.length > maxBody_) {
    // Drop what of the body is here, and the rest as it comes.
    start_ += kHeaderBytes;
    const size_t here = std::min<size_t>(buffered(), h.length);
    start_ += here;
    skipping_ = h.length - here;
    header = h;
    body.clear();
    return Status::Oversized;
  }
  if (buffered() - kHeaderBytes < h.length) return Status::NeedMore;
  const char* p = buffer_.data() + start_;
  body.assign(p + kHeaderBytes, h.length);
  start_ += kHeaderBytes + h.length;
  header = h;
  return Status::Frame;
}

bool Decoder::takeUnfinished(Header& header, std::string& body, size_t& have) {
  if (!damage_.empty() || skipping_ > 0 || buffered() < kHeaderBytes) return false;
  Header h;
  if (!peekHeader(h)) return false;  // next() reports the damage
  const size_t here = buffered() - kHeaderBytes;
  if (h.length > maxBody_ || here >= h.length) return false;
  body.clear();
  body.resize(h.length);
  std::memcpy(body.data(), buffer_.data() + start_ + kHeaderBytes, here);
  buffer_.clear();
  start_ = 0;
  header = h;
  have = here;
  return true;
}

}  // namespace rvz::remoting::frames
