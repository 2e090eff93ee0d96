// The body of an Invoke reply on the framed transport when its result is an
// array of bytes (a data packet, a blob): written and read without copying
// those bytes into a protobuf message on either side.
//
// The body is still the protobuf form of InvokeReply, only with the result
// field first: a protobuf message's fields may come in any order, and a
// reader that parses the whole body with the generated code gets the same
// message. The server writes the field's head, the array's bytes from where
// the variant holds them, and the other fields after; the client finds the
// result field in the body and decodes the variant from it in place.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/variant/variant.h"
#include "rovezevu/remoting/v1/remoting.pb.h"

namespace rvz::remoting::frames {

// True for a variant that is written in place: an array of VT_UI1.
bool writesInPlace(const Variant& result);

// An Invoke reply body in the three parts it is written in, one after the
// other. `bytes` points into the result variant, which must outlive it.
struct InvokeReplyParts {
  std::string head;        // the result field's tag and length, the variant's kind and bounds
  std::string_view bytes;  // the array's bytes
  std::string tail;        // the other fields of the reply
  size_t size() const { return head.size() + bytes.size() + tail.size(); }
};

// `result` must be written in place (writesInPlace); `rest` is the reply
// without its result.
InvokeReplyParts invokeReplyParts(const Variant& result, const v1::InvokeReply& rest);

// Reads an Invoke reply body, whatever the order of its fields: `rest` gets
// every field but the result, `result` the result's bytes inside `body`
// (empty when the reply has none). False for a body that does not decode.
bool splitInvokeReply(std::string_view body, v1::InvokeReply& rest, std::string_view& result);

}  // namespace rvz::remoting::frames
