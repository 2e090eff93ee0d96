// Code page 936 as tables: byte sequences to characters and back in one
// lookup each, for encoders and XML parsers that convert a character at a
// time. Built once from the platform's converter (text.h), so the tables
// and the whole-text conversions agree on every character they both hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rvz::text {

// A byte sequence counts as valid only when it decodes to one character
// that encodes back to the very same bytes, so that text carried as Unicode
// restores the bytes exactly.
class Cp936 {
 public:
  static const Cp936& get();
  // Length (1 or 2) of the valid sequence at s[0..n), with its character;
  // 0 when the bytes there are not a valid sequence.
  size_t decode(const uint8_t* s, size_t n, char16_t& out) const {
    uint8_t b = s[0];
    if (b < 0x80) {
      out = b;
      return 1;
    }
    if (single_[b - 0x80]) {
      out = single_[b - 0x80];
      return 1;
    }
    if (n < 2 || b == 0x80 || b == 0xFF) return 0;
    uint8_t t = s[1];
    if (t < 0x40 || t == 0xFF) return 0;
    char16_t c = double_[(b - 0x81) * 191 + (t - 0x40)];
    if (!c) return 0;
    out = c;
    return 2;
  }
  // Bytes of a character: 0xFFFF when code page 936 cannot hold it, a
  // value below 0x100 for one byte, otherwise lead << 8 | trail.
  uint16_t encode(char16_t c) const { return encode_[c]; }

 private:
  Cp936();
  char16_t single_[128] = {};
  std::vector<char16_t> double_;
  std::vector<uint16_t> encode_;
};

}  // namespace rvz::text
