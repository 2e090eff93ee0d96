// The framed transport's wire form: the messages of remoting.proto, each in
// one frame on a stream socket (Unix or loopback TCP), one connection per
// session. A frame is a 16-byte header, little-endian,
//
//   u32 body length | u16 method | u16 kind | u64 call id
//
// followed by the body: the method's request or reply message in its
// protobuf form, or for a refusal a Failure. The decoder here works on
// bytes only, so that both ends and the fuzz target share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rovezevu/remoting/v1/remoting.pb.h"

namespace rvz::remoting::frames {

// The methods of ObjectService, numbered in the order the .proto lists them.
enum class Method : uint16_t {
  OpenSession = 1,
  CloseSession = 2,
  CreateObject = 3,
  GetIDsOfNames = 4,
  Invoke = 5,
  AddRef = 6,
  Release = 7,
  LockServer = 8,
  GetTypeInfo = 9,
};
inline constexpr uint16_t kLastMethod = 9;
const char* methodName(Method m);

enum class Kind : uint16_t {
  Request = 0,
  Reply = 1,
  // The call failed on the way (token refused, message over the bound,
  // no session to be had); the body is a Failure with the status.
  Refusal = 2,
};

inline constexpr size_t kHeaderBytes = 16;

struct Header {
  uint32_t length = 0;
  Method method = Method::OpenSession;
  Kind kind = Kind::Request;
  uint64_t callId = 0;
};

// The whole frame: header and the message's bytes. Throws ComError
// (RPC_S_OUT_OF_RESOURCES) when the message is larger than `maxBody`.
std::string encode(Method method, Kind kind, uint64_t callId, const google::protobuf::MessageLite& body,
                   size_t maxBody);
std::string encodeRaw(Method method, Kind kind, uint64_t callId, std::string_view body);
// The header alone, for a body that is written in parts after it. Throws as
// encode() does for a body over `maxBody`.
std::string encodeHeader(Method method, Kind kind, uint64_t callId, size_t bodySize, size_t maxBody);

// The body of an OpenSession request: u32 token length, the token (empty
// when the client has none), then the OpenSessionRequest. The token is thus
// presented once, before the connection may do anything else.
std::string openSessionBody(std::string_view token, const v1::OpenSessionRequest& req);
// False, with what is wrong, for a body not of that form.
bool splitOpenSessionBody(std::string_view body, std::string& token, v1::OpenSessionRequest& req, std::string& why);

// Takes bytes as they arrive and gives back whole frames. Bounded: a body
// over `maxBody` is reported at once (Oversized, with its header) and its
// bytes are then skipped as they come, never stored, so the connection can
// go on. A header with an unknown method or kind is Damaged, after which
// the stream cannot be trusted and the decoder stays Damaged.
class Decoder {
 public:
  enum class Status { NeedMore, Frame, Oversized, Damaged };

  explicit Decoder(size_t maxBody) : maxBody_(maxBody) {}
  void feed(const char* data, size_t size);
  // The next frame, if one is whole; `why` names a damage.
  Status next(Header& header, std::string& body, std::string& why);
  // When next() needs more and the next frame's header is here (a frame in
  // the bound), hands over that frame: `body` gets its whole size and the
  // part of it that is here, `have` how long that part is. The caller reads
  // the rest of the body into place itself, so a large reply is not copied
  // through this buffer; the decoder then waits for the frame after it.
  // False, with nothing taken, in every other case.
  bool takeUnfinished(Header& header, std::string& body, size_t& have);
  // Bytes held that no frame has taken yet.
  size_t buffered() const { return buffer_.size() - start_; }

 private:
  size_t maxBody_;
  std::string buffer_;
  size_t start_ = 0;
  uint64_t skipping_ = 0;  // body bytes of an oversized frame still to drop
  std::string damage_;

  // The header at the front of the buffer; false with damage_ set for one
  // that names no method or kind.
  bool peekHeader(Header& h);
};

}  // namespace rvz::remoting::frames
