// Building blocks shared by the binary and XML forms of packets: varints,
// XML name characters, hex, and the exact text forms of numbers, decimals
// and dates.
#include "platform/packets/codec.h"

#include "platform/calendar/calendar.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace rvz::packets::detail {

// ---- Cursor --------------------------------------------------------------

uint64_t InCursor::getVarint(const char* what) {
  uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    uint8_t b = get8(what);
    if (shift == 63 && b > 1) throw PacketError(std::string("corrupt ") + what + ": varint overflows 64 bits");
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return v;
  }
  throw PacketError(std::string("corrupt ") + what + ": varint longer than 10 bytes");
}

size_t InCursor::getLength(const char* what, size_t unit) {
  uint64_t n = getVarint(what);
  if (n > left() / unit)
    throw PacketError(std::string(what) + " length " + std::to_string(n) + " exceeds the " + std::to_string(left()) +
                      " bytes left");
  return static_cast<size_t>(n);
}

void InCursor::truncated(const char* what) const {
  throw PacketError(std::string("truncated packet: ") + what + " at offset " + std::to_string(offset()) +
                    " needs more than the " + std::to_string(left()) + " bytes left");
}

// ---- XML characters ------------------------------------------------------

// Names are written directly as ROW attribute names only when every XML
// parser in use accepts them, so the classes stay within letters every
// edition of XML 1.0 agrees on; any other name travels through a tagname.
bool xmlNameStartChar(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0xFF) || (c >= 0x4E00 && c <= 0x9FA5);
}

bool xmlNameChar(char32_t c) { return xmlNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// ---- Hex -----------------------------------------------------------------

void appendHex(std::string& out, const uint8_t* p, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  size_t base = out.size();
  out.resize(base + 2 * n);
  for (size_t i = 0; i < n; ++i) {
    out[base + 2 * i] = digits[p[i] >> 4];
    out[base + 2 * i + 1] = digits[p[i] & 15];
  }
}

namespace {
int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

bool parseHex(std::string_view s, std::string& out) {
  if (s.size() % 2) return false;
  out.resize(s.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    int h = hexDigit(s[2 * i]), l = hexDigit(s[2 * i + 1]);
    if (h < 0 || l < 0) return false;
    out[i] = static_cast<char>(h << 4 | l);
  }
  return true;
}

// ---- Numbers -------------------------------------------------------------

bool parseInt64(std::string_view s, int64_t& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
}

bool parseUint64(std::string_view s, uint64_t& out) {
  if (s.empty() || s[0] == '-') return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parseDouble(std::string_view s, double& out) {
  if (s.empty()) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

void appendInt(std::string& out, int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void appendDouble(std::string& out, double v) {
  char buf[40];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// ---- Decimals ------------------------------------------------------------

namespace {
using u128 = unsigned __int128;
constexpr u128 kMaxMantissa = (static_cast<u128>(1) << 96) - 1;
}  // namespace

void appendDecimal(std::string& out, const Decimal& d) {
  u128 m = static_cast<u128>(d.hi32) << 64 | d.lo64;
  char digits[40];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  } while (m);
  while (n <= d.scale) digits[n++] = '0';  // at least one digit before the point
  if (d.negative) out.push_back('-');
  for (size_t i = n; i-- > 0;) {
    out.push_back(digits[i]);
    if (i == d.scale && i != 0) out.push_back('.');
  }
}

bool parseDecimal(std::string_view s, Decimal& out) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  u128 m = 0;
  int scale = -1;
  bool any = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.') {
      if (scale >= 0) return false;
      scale = 0;
      continue;
    }
    if (c < '0' || c > '9') return false;
    any = true;
    m = m * 10 + static_cast<unsigned>(c - '0');
    if (m > kMaxMantissa) return false;
    if (scale >= 0 && ++scale > 28) return false;
  }
  if (!any) return false;
  out = Decimal{};
  out.scale = static_cast<uint8_t>(scale < 0 ? 0 : scale);
  out.negative = negative;
  out.hi32 = static_cast<uint32_t>(m >> 64);
  out.lo64 = static_cast<uint64_t>(m);
  return true;
}

Decimal decimalFromCurrency(Currency c) {
  Decimal d;
  d.scale = 4;
  d.negative = c.scaled < 0;
  d.lo64 = d.negative ? 0 - static_cast<uint64_t>(c.scaled) : static_cast<uint64_t>(c.scaled);
  return d;
}

// ---- Dates ---------------------------------------------------------------

bool dateFits(FieldType t, double d) {
  if (!calendar::oleDateInRange(d)) return false;
  if (t == FieldType::Date) return d == std::trunc(d);
  if (t == FieldType::Time) return d >= 0 && d < 1;
  return true;
}

namespace {

void appendDigits(std::string& out, int v, int width) {
  char buf[8];
  for (int i = width - 1; i >= 0; --i) {
    buf[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  out.append(buf, static_cast<size_t>(width));
}

bool digitsAt(std::string_view s, size_t pos, size_t width, int& out) {
  if (pos + width > s.size()) return false;
  out = 0;
  for (size_t i = pos; i < pos + width; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  return true;
}

bool parseDatePart(std::string_view s, DateTime& c) {
  return s.size() == 8 && digitsAt(s, 0, 4, c.year) && digitsAt(s, 4, 2, c.month) && digitsAt(s, 6, 2, c.day);
}

// "HH:MM:SS", then optionally three millisecond digits, directly or after '.'.
bool parseTimePart(std::string_view s, DateTime& c) {
  if (s.size() < 8 || s[2] != ':' || s[5] != ':') return false;
  if (!digitsAt(s, 0, 2, c.hour) || !digitsAt(s, 3, 2, c.minute) || !digitsAt(s, 6, 2, c.second)) return false;
  std::string_view rest = s.substr(8);
  if (!rest.empty() && rest[0] == '.') rest.remove_prefix(1);
  if (rest.empty()) return s.size() == 8;
  return rest.size() == 3 && digitsAt(rest, 0, 3, c.millisecond);
}

}  // namespace

void appendDateText(std::string& out, FieldType t, double d) {
  DateTime c = DateTime::fromOleDate(d);  // in range: the caller checked dateFits
  if (t != FieldType::Time) {
    appendDigits(out, c.year, 4);
    appendDigits(out, c.month, 2);
    appendDigits(out, c.day, 2);
  }
  if (t == FieldType::Date) return;
  if (t == FieldType::DateTime) out.push_back('T');
  appendDigits(out, c.hour, 2);
  out.push_back(':');
  appendDigits(out, c.minute, 2);
  out.push_back(':');
  appendDigits(out, c.second, 2);
  appendDigits(out, c.millisecond, 3);
}

bool parseDateText(std::string_view s, FieldType t, double& out) {
  DateTime c;
  bool ok;
  if (t == FieldType::Date) {
    ok = parseDatePart(s, c);
  } else if (t == FieldType::Time) {
    ok = parseTimePart(s, c);
  } else if (s.size() == 8) {
    ok = parseDatePart(s, c);
  } else {
    ok = s.size() > 9 && s[8] == 'T' && parseDatePart(s.substr(0, 8), c) && parseTimePart(s.substr(9), c);
  }
  if (!ok) return false;
  // The platform's own conversion, which also refuses a day the calendar
  // lacks, so that a date read from XML is the very double a client
  // computes for the same date and time.
  try {
    out = c.toOleDate();
  } catch (const VariantError&) {
    return false;
  }
  return true;
}

std::string printable(std::string_view s, size_t max) {
  std::string out;
  for (size_t i = 0; i < s.size() && i < max; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      static const char digits[] = "0123456789ABCDEF";
      out += "\\x";
      out.push_back(digits[c >> 4]);
      out.push_back(digits[c & 15]);
    }
  }
  if (s.size() > max) out += "...";
  return out;
}

}  // namespace rvz::packets::detail
