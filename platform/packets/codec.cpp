// Building blocks shared by the binary and XML forms of packets: varints,
// strict Unicode conversions, the code page 936 tables, hex, and the exact
// text forms of numbers, decimals and dates.
#include "platform/packets/codec.h"

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
    throw PacketError(std::string(what) + " length " + std::to_string(n) + " exceeds the " +
                      std::to_string(left()) + " bytes left");
  return static_cast<size_t>(n);
}

void InCursor::truncated(const char* what) const {
  throw PacketError(std::string("truncated packet: ") + what + " at offset " + std::to_string(offset()) +
                    " needs more than the " + std::to_string(left()) + " bytes left");
}

// ---- Unicode -------------------------------------------------------------

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

namespace {

// Next code point of UTF-8 text; false on a malformed sequence.
bool nextUtf8(std::string_view s, size_t& i, char32_t& cp) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) {
    cp = c;
    ++i;
    return true;
  }
  size_t len;
  char32_t min;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (len > s.size() - i) return false;
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
  i += len;
  return true;
}

}  // namespace

std::optional<WString> utf8ToUtf16(std::string_view s) {
  WString out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    char32_t cp;
    if (!nextUtf8(s, i, cp)) return std::nullopt;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string utf16ToUtf8Lossy(WStringView s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}

bool validUtf8(std::string_view s) {
  size_t i = 0;
  char32_t cp;
  while (i < s.size())
    if (!nextUtf8(s, i, cp)) return false;
  return true;
}

size_t utf16Length(std::string_view s) {
  size_t i = 0, n = 0;
  char32_t cp;
  while (i < s.size()) {
    if (!nextUtf8(s, i, cp)) return s.size();
    n += cp >= 0x10000 ? 2 : 1;
  }
  return n;
}

// Names are written directly as ROW attribute names only when every XML
// parser in use accepts them, so the classes stay within letters every
// edition of XML 1.0 agrees on; any other name travels through a tagname.
bool xmlNameStartChar(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0xFF) || (c >= 0x4E00 && c <= 0x9FA5);
}

bool xmlNameChar(char32_t c) {
  return xmlNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// ---- Code page 936 -------------------------------------------------------

const Cp936& Cp936::get() {
  static const Cp936 table;
  return table;
}

Cp936::Cp936() : double_(126 * 191, 0), encode_(0x10000, 0xFFFF) {
  for (unsigned b = 0; b < 0x80; ++b) encode_[b] = static_cast<uint16_t>(b);
  for (unsigned b = 0x80; b < 0x100; ++b) {
    std::string one(1, static_cast<char>(b));
    WString w = text::ansiToWide(one);
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
    WString w = text::ansiToWide(pairs);
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

namespace {

void civilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

constexpr int64_t kOleEpoch = -25569;  // 1899-12-30 in days since 1970-01-01
constexpr int64_t kMsPerDay = 86400000;

int daysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return days[m - 1];
}

}  // namespace

// Every moment of 0100-01-01 to 9999-12-31: before the epoch the time of
// day moves away from zero, so the first day reaches down to -657434.999...
bool oleDateValid(double d) { return std::isfinite(d) && d > -657435.0 && d < 2958466.0; }

Civil civilFromOle(double d) {
  double whole = std::trunc(d);
  int64_t day = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(d - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {
    // The last millisecond of the range must not round into year 10000.
    if (day + 1 > 2958465) {
      ms = kMsPerDay - 1;
    } else {
      ms -= kMsPerDay;
      ++day;
    }
  }
  Civil c;
  civilFromDays(day + kOleEpoch, c.year, c.month, c.day);
  c.hour = static_cast<int>(ms / 3600000);
  c.minute = static_cast<int>(ms / 60000 % 60);
  c.second = static_cast<int>(ms / 1000 % 60);
  c.millisecond = static_cast<int>(ms % 1000);
  return c;
}

bool civilValid(const Civil& c) {
  return c.year >= 100 && c.year <= 9999 && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
         c.day <= daysInMonth(c.year, c.month) && c.hour >= 0 && c.hour < 24 && c.minute >= 0 &&
         c.minute < 60 && c.second >= 0 && c.second < 60 && c.millisecond >= 0 && c.millisecond < 1000;
}

bool dateFits(FieldType t, double d) {
  if (!oleDateValid(d)) return false;
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

bool parseDatePart(std::string_view s, Civil& c) {
  return s.size() == 8 && digitsAt(s, 0, 4, c.year) && digitsAt(s, 4, 2, c.month) && digitsAt(s, 6, 2, c.day);
}

// "HH:MM:SS", then optionally three millisecond digits, directly or after '.'.
bool parseTimePart(std::string_view s, Civil& c) {
  if (s.size() < 8 || s[2] != ':' || s[5] != ':') return false;
  if (!digitsAt(s, 0, 2, c.hour) || !digitsAt(s, 3, 2, c.minute) || !digitsAt(s, 6, 2, c.second)) return false;
  std::string_view rest = s.substr(8);
  if (!rest.empty() && rest[0] == '.') rest.remove_prefix(1);
  if (rest.empty()) return s.size() == 8;
  return rest.size() == 3 && digitsAt(rest, 0, 3, c.millisecond);
}

}  // namespace

void appendDateText(std::string& out, FieldType t, double d) {
  Civil c = civilFromOle(d);
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
  Civil c;
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
  if (!ok || !civilValid(c)) return false;
  // The platform's own conversion, so that a date read from XML is the very
  // double a client computes for the same date and time.
  try {
    out = DateTime{c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond}.toOleDate();
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
