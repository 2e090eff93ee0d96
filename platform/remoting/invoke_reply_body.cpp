// Invoke reply bodies with the result's bytes written and read in place.
#include "platform/remoting/invoke_reply_body.h"

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/wire_format_lite.h>

#include <cstring>

namespace rvz::remoting::frames {

namespace {

using google::protobuf::internal::WireFormatLite;

// InvokeReply.result: field 2, length-delimited.
constexpr int kResultField = v1::InvokeReply::kResultFieldNumber;
constexpr uint32_t kResultTag = (kResultField << 3) | WireFormatLite::WIRETYPE_LENGTH_DELIMITED;

void putVarint(std::string& out, uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<char>(v));
}

template <class T>
void putLe(std::string& out, T v) {
  char b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));  // the platforms we run on are little-endian, as the variant form is
  out.append(b, sizeof(T));
}

}  // namespace

bool writesInPlace(const Variant& result) { return result.isArray() && result.type() == VT_UI1; }

InvokeReplyParts invokeReplyParts(const Variant& result, const v1::InvokeReply& rest) {
  const SafeArray& a = result.arrayValue();
  // The variant's byte form up to its elements (platform/variant/variant_wire.h):
  // kind, dimension count, then each dimension's lower bound and count.
  std::string variantHead;
  putLe<uint16_t>(variantHead, result.vt());
  putLe<uint16_t>(variantHead, static_cast<uint16_t>(a.dims()));
  for (const ArrayBound& b : a.bounds()) {
    putLe<int32_t>(variantHead, b.lowerBound);
    putLe<uint32_t>(variantHead, b.count);
  }
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
