// The code page 936 tables, read out of the converter once: every single
// byte, then every lead byte with all its trail bytes in one conversion.
#include "platform/text/cp936.h"

#include <string>

#include "platform/text/text.h"

namespace rvz::text {

const Cp936& Cp936::get() {
  static const Cp936 table;
  return table;
}

Cp936::Cp936() : double_(126 * 191, 0), encode_(0x10000, 0xFFFF) {
  for (unsigned b = 0; b < 0x80; ++b) encode_[b] = static_cast<uint16_t>(b);
  for (unsigned b = 0x80; b < 0x100; ++b) {
    std::string one(1, static_cast<char>(b));
    WString w = ansiToWide(one);
    if (w.size() == 1 && w[0] != 0xFFFD && w[0] >= 0x80 && encode_[w[0]] == 0xFFFF) {
      single_[b - 0x80] = w[0];
      encode_[w[0]] = static_cast<uint16_t>(b);
    }
  }
  // One conversion per lead byte: each pair is followed by a line feed, which
  // is never a trail byte, so an invalid pair cannot swallow its neighbour.
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    if (single_[lead - 0x80]) continue;
    std::string pairs;
    for (unsigned t = 0x40; t <= 0xFE; ++t) {
      pairs.push_back(static_cast<char>(lead));
      pairs.push_back(static_cast<char>(t));
      pairs.push_back('\n');
    }
    WString w = ansiToWide(pairs);
    char16_t found[191] = {};
    unsigned t = 0x40;
    size_t start = 0;
    bool aligned = true;
    for (size_t k = 0; k < w.size(); ++k) {
      if (w[k] != u'\n') continue;
      if (t > 0xFE) {
        aligned = false;
        break;
      }
      if (k - start == 1 && w[start] != 0xFFFD && w[start] >= 0x80) found[t - 0x40] = w[start];
      start = k + 1;
      ++t;
    }
    if (!aligned || t != 0xFF) continue;  // the converter split the pairs unexpectedly: trust none
    for (unsigned i = 0; i < 191; ++i) {
      char16_t c = found[i];
      if (!c || encode_[c] != 0xFFFF) continue;
      double_[(lead - 0x81) * 191 + i] = c;
      encode_[c] = static_cast<uint16_t>(lead << 8 | (0x40 + i));
    }
  }
}

}  // namespace rvz::text
