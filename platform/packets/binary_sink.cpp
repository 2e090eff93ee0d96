// Wide text and the finish of the binary form.
#include "platform/packets/binary_sink.h"

#include <cstdint>

#include "platform/text/utf8_into.h"

namespace rvz::packets::detail {

namespace {

// UTF-16 units of well-formed UTF-8, or SIZE_MAX when the text is not well
// formed (overlong forms, surrogates and values past U+10FFFF included).
size_t utf16Units(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  size_t units = 0;
  while (p < end) {
    while (end - p >= 8) {  // runs of ASCII, eight bytes at a time
      uint64_t word;
      std::memcpy(&word, p, 8);
      if (word & 0x8080808080808080ull) break;
      p += 8;
      units += 8;
    }
    if (p >= end) break;
    const unsigned c = *p;
    if (c < 0x80) {
      ++p;
      ++units;
    } else if (c >= 0xC2 && c <= 0xDF) {
      if (end - p < 2 || (p[1] & 0xC0) != 0x80) return SIZE_MAX;
      p += 2;
      ++units;
    } else if (c >= 0xE0 && c <= 0xEF) {
      if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return SIZE_MAX;
      if (c == 0xE0 && p[1] < 0xA0) return SIZE_MAX;   // overlong
      if (c == 0xED && p[1] >= 0xA0) return SIZE_MAX;  // surrogate
      p += 3;
      ++units;
    } else if (c >= 0xF0 && c <= 0xF4) {
      if (end - p < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) return SIZE_MAX;
      if (c == 0xF0 && p[1] < 0x90) return SIZE_MAX;   // overlong
      if (c == 0xF4 && p[1] >= 0x90) return SIZE_MAX;  // past U+10FFFF
      p += 4;
      units += 2;
    } else {
      return SIZE_MAX;
    }
  }
  return units;
}

// Decodes well-formed UTF-8 (utf16Units said so) into UTF-16 units at out.
void decodeWellFormed(std::string_view s, uint8_t* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  auto unit = [&out](unsigned u) {
    const char16_t c = static_cast<char16_t>(u);
    std::memcpy(out, &c, 2);
    out += 2;
  };
  while (p < end) {
    const unsigned c = *p;
    if (c < 0x80) {
      unit(c);
      p += 1;
    } else if (c < 0xE0) {
      unit(((c & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
    } else if (c < 0xF0) {
      unit(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      p += 3;
    } else {
      const unsigned cp = (((c & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F)) - 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
      p += 4;
    }
  }
}

}  // namespace

uint8_t* BinarySink::wideCell(size_t n) {
  size_t lenBytes = 1;
  for (size_t m = n; m >= 0x80; m >>= 7) ++lenBytes;
  // UTF-16 units start at an even offset so that decoded packets can hand
  // out views of them in place.
  size_t pad = (out_.size() + 1 + lenBytes) & 1;
  uint8_t* p = out_.grab(1 + lenBytes + pad + 2 * n);
  *p++ = 0;
  for (size_t m = n; m >= 0x80; m >>= 7) *p++ = static_cast<uint8_t>(m | 0x80);
  *p++ = static_cast<uint8_t>(n >> (7 * (lenBytes - 1)));
  if (pad) *p++ = 0;
  return p;
}

void BinarySink::wide(size_t, WStringView w) {
  uint8_t* p = wideCell(w.size());
  if (!w.empty()) std::memcpy(p, w.data(), 2 * w.size());
}

void BinarySink::wideUtf8(size_t column, std::string_view utf8) {
  // Stored text is nearly always well formed: it is converted once, straight
  // into the packet. Malformed text takes the text layer's replacement rules.
  const size_t n = utf16Units(utf8);
  if (n != SIZE_MAX) return decodeWellFormed(utf8, wideCell(n));
  text::utf8ToWideInto(utf8, wide_);
  wide(column, wide_);
}

std::vector<uint8_t> BinarySink::finish(size_t rows) {
  uint32_t n = static_cast<uint32_t>(rows);
  std::memcpy(out_.at(rowCountAt_), &n, sizeof n);
  return out_.take();
}

}  // namespace rvz::packets::detail
