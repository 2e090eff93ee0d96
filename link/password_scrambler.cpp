#include "link/password_scrambler.h"

#include <random>

#include "platform/text/text.h"

namespace rvz::link {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void appendHex(std::string& out, unsigned v) {
  out += kDigits[(v >> 4) & 0xF];
  out += kDigits[v & 0xF];
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A pair of digits; 0 when either is not a hexadecimal digit.
unsigned readPair(char hi, char lo) {
  int h = hexDigit(hi), l = hexDigit(lo);
  if (h < 0 || l < 0) return 0;
  return static_cast<unsigned>(h * 16 + l);
}

unsigned keyByte(std::string_view key, size_t i) {
  return key.empty() ? 0u : static_cast<unsigned char>(key[i % key.size()]);
}

}  // namespace

std::string unscrambleBytes(std::string_view digits, std::string_view key) {
  std::string plain;
  if (digits.size() < 2) return plain;
  unsigned chain = readPair(digits[0], digits[1]);
  for (size_t pos = 2, i = 0; pos + 1 < digits.size(); pos += 2, ++i) {
    unsigned c = readPair(digits[pos], digits[pos + 1]);
    unsigned d = c ^ keyByte(key, i);
    unsigned b = d >= chain ? d - chain : d + 255 - chain;
    plain += static_cast<char>(b & 0xFF);
    chain = c;
  }
  return plain;
}

std::string scrambleBytes(std::string_view bytes, std::string_view key, unsigned char seed) {
  std::string out;
  out.reserve(2 + 2 * bytes.size());
  unsigned chain = seed;
  appendHex(out, chain);
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned b = static_cast<unsigned char>(bytes[i]);
    unsigned v = ((b + chain) % 255) ^ keyByte(key, i);
    appendHex(out, v);
    chain = v;
  }
  return out;
}

std::string ScramblePassword(std::string_view text, std::string_view key, bool encode) {
  if (!encode) return text::ansiToUtf8(unscrambleBytes(text, key));
  // A fresh seed per call, so one password is stored differently each time.
  std::random_device rd;
  return scrambleBytes(text::utf8ToAnsi(text), key, static_cast<unsigned char>(rd() & 0xFF));
}

}  // namespace rvz::link
