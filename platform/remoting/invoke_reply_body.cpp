// Invoke reply bodies with the result's bytes written and read in place.
#include "platform/remoting/invoke_reply_body.h"

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/wire_format_lite.h>

#include "platform/variant/variant_wire.h"

namespace rvz::remoting::frames {

namespace {

using google::protobuf::internal::WireFormatLite;

// InvokeReply.result: field 2, length-delimited.
constexpr int kResultField = v1::InvokeReply::kResultFieldNumber;
constexpr uint32_t kResultTag = (kResultField << 3) | WireFormatLite::WIRETYPE_LENGTH_DELIMITED;

void putVarint(std::string& out, uint64_t v) {
  uint8_t b[10];  // a 64-bit varint takes at most 10 bytes
  const uint8_t* end = google::protobuf::io::CodedOutputStream::WriteVarint64ToArray(v, b);
  out.append(reinterpret_cast<const char*>(b), static_cast<size_t>(end - b));
}

}  // namespace

bool writesInPlace(const Variant& result) { return result.isArray() && result.type() == VT_UI1; }

InvokeReplyParts invokeReplyParts(const Variant& result, const v1::InvokeReply& rest) {
  const SafeArray& a = result.arrayValue();
  std::string variantHead;
  encodeArrayHead(result, variantHead);
  InvokeReplyParts parts;
  parts.bytes = std::string_view(reinterpret_cast<const char*>(a.byteData().data()), a.byteData().size());
  putVarint(parts.head, kResultTag);
  putVarint(parts.head, variantHead.size() + parts.bytes.size());
  parts.head += variantHead;
  parts.tail = rest.SerializeAsString();
  return parts;
}

bool splitInvokeReply(std::string_view body, v1::InvokeReply& rest, std::string_view& result) {
  google::protobuf::io::CodedInputStream in(reinterpret_cast<const uint8_t*>(body.data()),
                                            static_cast<int>(body.size()));
  // Every field but the result, in their order: they make a message of
  // their own. A result given twice is the last one, as in any parse.
  std::string others;
  bool found = false;
  std::string_view bytes;
  while (static_cast<size_t>(in.CurrentPosition()) < body.size()) {
    const int start = in.CurrentPosition();
    const uint32_t tag = in.ReadTag();
    if (tag == 0) return false;
    if (tag == kResultTag) {
      uint32_t length = 0;
      if (!in.ReadVarint32(&length)) return false;
      const size_t at = static_cast<size_t>(in.CurrentPosition());
      if (length > body.size() - at || !in.Skip(static_cast<int>(length))) return false;
      bytes = body.substr(at, length);
      found = true;
      continue;
    }
    if (!WireFormatLite::SkipField(&in, tag)) return false;
    others.append(body.substr(static_cast<size_t>(start), static_cast<size_t>(in.CurrentPosition() - start)));
  }
  if (!rest.ParseFromString(others)) return false;
  if (found) {
    rest.clear_result();
    result = bytes;
  } else {
    result = rest.result();
  }
  return true;
}

}  // namespace rvz::remoting::frames
