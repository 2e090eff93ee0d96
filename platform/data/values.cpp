// Stored values to variants and back, under the storage conventions shared
// with the Jet dialect: yes/no -1/0, date-times as "YYYY-MM-DD HH:MM:SS" text.
#include "platform/data/values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/calendar/calendar.h"
#include "platform/data/data_error.h"
#include "platform/text/text.h"

namespace rvz::data {
namespace {

// UTF-8 to UTF-16 for stored text, which is nearly always well formed: a
// direct decoder that writes into a string sized once. Anything malformed
// goes through the platform's converter, whose replacement rules apply.
text::WString wideOf(std::string_view s) {
  text::WString out(s.size(), u'\0');
  char16_t* w = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    // Runs of ASCII, eight bytes at a time.
    while (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      if (word & 0x8080808080808080ull) break;
      for (int k = 0; k < 8; ++k) w[k] = static_cast<char16_t>(p[k]);
      p += 8;
      w += 8;
    }
    if (p >= end) break;
    unsigned c = *p;
    if (c < 0x80) {
      *w++ = static_cast<char16_t>(c);
      ++p;
    } else if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
      *w++ = static_cast<char16_t>(((c & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
    } else if (c >= 0xE0 && c <= 0xEF && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      unsigned cp = ((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return text::utf8ToWide(s);
      *w++ = static_cast<char16_t>(cp);
      p += 3;
    } else {
      return text::utf8ToWide(s);  // four-byte forms and malformed input
    }
  }
  out.resize(static_cast<size_t>(w - out.data()));
  return out;
}

Variant bstrOf(std::string_view utf8) { return Variant::bstr(wideOf(utf8)); }

// The stored form "YYYY-MM-DD HH:MM:SS" exactly, read without the general parser.
bool fastStoredDate(std::string_view s, double& out) {
  if (s.size() != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return false;
  auto two = [&](size_t i, int& v) {
    if (s[i] < '0' || s[i] > '9' || s[i + 1] < '0' || s[i + 1] > '9') return false;
    v = (s[i] - '0') * 10 + (s[i + 1] - '0');
    return true;
  };
  int y1, y2, mo, d, h, mi, se;
  if (!two(0, y1) || !two(2, y2) || !two(5, mo) || !two(8, d) || !two(11, h) || !two(14, mi) || !two(17, se))
    return false;
  const int y = y1 * 100 + y2;
  if (!calendar::isValidDate(y, mo, d) || h > 23 || mi > 59 || se > 59) return false;
  out = calendar::toOleDate({calendar::dayNumber(y, mo, d), h * 3600 + mi * 60 + se}, calendar::Unit::Second);
  return true;
}

std::string shortened(std::string_view s) {
  constexpr size_t kMax = 40;
  if (s.size() <= kMax) return std::string(s);
  size_t cut = kMax;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;  // keep UTF-8 whole
  return std::string(s.substr(0, cut)) + "...";
}

[[noreturn]] void badValue(const ColumnInfo& col, const std::string& what) {
  throw DataError::component(
      kErrValue, "Field '" + col.name + "': " + what + " is not a valid " + std::string(kindName(col.kind)) + " value");
}

std::string describe(const Cell& c) {
  switch (c.cls) {
    case StorageClass::Integer: return "stored number " + std::to_string(c.i);
    case StorageClass::Real: return "stored number " + formatDouble(c.r);
    case StorageClass::Text: return "stored text '" + shortened(c.bytes) + "'";
    case StorageClass::Blob: return "stored binary data";
    case StorageClass::Null: break;
  }
  return "Null";
}

bool parseInt64(std::string_view s, int64_t& out) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.empty() || s.size() > 20) return false;
  std::string buf(s);
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(buf.c_str(), &end, 10);
  if (errno != 0 || end != buf.c_str() + buf.size()) return false;
  out = v;
  return true;
}

// Whole number of the cell for an integer kind, within [lo, hi].
int64_t integerOf(const ColumnInfo& col, const Cell& c, int64_t lo, int64_t hi) {
  int64_t v = 0;
  switch (c.cls) {
    case StorageClass::Integer: v = c.i; break;
    case StorageClass::Real: {
      double r = std::nearbyint(c.r);  // half to even, as the platform rounds
      if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi))) badValue(col, describe(c));
      return static_cast<int64_t>(r);
    }
    case StorageClass::Text: {
      double r = 0;
      if (parseInt64(c.bytes, v)) break;
      if (!parseNumberText(c.bytes, r)) badValue(col, describe(c));
      r = std::nearbyint(r);
      if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi))) badValue(col, describe(c));
      return static_cast<int64_t>(r);
    }
    default: badValue(col, describe(c));
  }
  if (v < lo || v > hi) badValue(col, describe(c));
  return v;
}

double realOf(const ColumnInfo& col, const Cell& c) {
  switch (c.cls) {
    case StorageClass::Integer: return static_cast<double>(c.i);
    case StorageClass::Real: return c.r;
    case StorageClass::Text: {
      double r = 0;
      if (!parseNumberText(c.bytes, r)) badValue(col, describe(c));
      return r;
    }
    default: badValue(col, describe(c));
  }
}

// A plain decimal text ("-12.5", "3") with exactly `scale` digits after the
// point, rounded half away from zero; empty when `s` is not such a number.
std::string withScale(std::string_view s, int scale) {
  bool neg = false;
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  std::string whole, frac;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') whole.push_back(s[i++]);
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') frac.push_back(s[i++]);
  }
  if (i != s.size() || (whole.empty() && frac.empty())) return {};
  if (whole.empty()) whole = "0";
  bool roundUp = static_cast<int>(frac.size()) > scale && frac[static_cast<size_t>(scale)] >= '5';
  frac.resize(static_cast<size_t>(scale), '0');
  std::string digits = whole + frac;
  if (roundUp) {
    size_t k = digits.size();
    while (k > 0) {
      --k;
      if (digits[k] == '9') {
        digits[k] = '0';
      } else {
        ++digits[k];
        break;
      }
      if (k == 0) digits.insert(digits.begin(), '1');
    }
  }
  std::string out = neg ? "-" : "";
  size_t point = digits.size() - static_cast<size_t>(scale);
  out += digits.substr(0, point);
  if (scale > 0) out += "." + digits.substr(point);
  return out;
}

Variant decimalOf(const ColumnInfo& col, const Cell& c) {
  int scale = std::clamp(col.scale, 0, 28);
  std::string textForm;
  switch (c.cls) {
    case StorageClass::Integer: textForm = std::to_string(c.i); break;
    case StorageClass::Real: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.*f", scale, c.r);
      textForm = buf;
      break;
    }
    case StorageClass::Text: textForm = std::string(c.bytes); break;
    default: badValue(col, describe(c));
  }
  std::string scaled = withScale(textForm, scale);
  try {
    if (!scaled.empty()) return Variant::decimal(Decimal::parse(scaled));
    return Variant::decimal(Decimal::parse(textForm));
  } catch (const VariantError&) {
    badValue(col, describe(c));
  }
}

Variant currencyOf(const ColumnInfo& col, const Cell& c) {
  try {
    switch (c.cls) {
      case StorageClass::Integer:
        if (c.i > std::numeric_limits<int64_t>::max() / 10000 || c.i < std::numeric_limits<int64_t>::min() / 10000)
          badValue(col, describe(c));
        return Variant::cy(Currency{c.i * 10000});
      case StorageClass::Real: return Variant::cy(Currency::fromDouble(c.r));
      case StorageClass::Text: return Variant::cy(Currency::parse(c.bytes));
      default: badValue(col, describe(c));
    }
  } catch (const VariantError&) {
    badValue(col, describe(c));
  }
}

Variant booleanOf(const ColumnInfo& col, const Cell& c) {
  switch (c.cls) {
    case StorageClass::Integer: return Variant::boolean(c.i != 0);
    case StorageClass::Real: return Variant::boolean(c.r != 0);
    case StorageClass::Text: {
      std::string_view t = c.bytes;
      if (text::equalsNoCaseAscii(t, "true") || text::equalsNoCaseAscii(t, "yes")) return Variant::boolean(true);
      if (text::equalsNoCaseAscii(t, "false") || text::equalsNoCaseAscii(t, "no")) return Variant::boolean(false);
      double r = 0;
      if (parseNumberText(t, r)) return Variant::boolean(r != 0);
      badValue(col, describe(c));
    }
    default: badValue(col, describe(c));
  }
}

Variant dateOf(const ColumnInfo& col, const Cell& c) {
  double d = 0;
  switch (c.cls) {
    case StorageClass::Integer: d = static_cast<double>(c.i); break;
    case StorageClass::Real: d = c.r; break;
    case StorageClass::Text: {
      auto parsed = parseStoredDate(c.bytes);
      if (!parsed) badValue(col, describe(c));
      d = *parsed;
      break;
    }
    default: badValue(col, describe(c));
  }
  if (!(d >= kMinOleDate && d < 2958466.0)) badValue(col, describe(c));
  if (col.kind == FieldKind::Date) {
    d = std::trunc(d);
  } else if (col.kind == FieldKind::Time) {
    d = std::fabs(d - std::trunc(d));
  }
  return Variant::date(d);
}

Variant bytesOf(const ColumnInfo& col, const Cell& c) {
  switch (c.cls) {
    case StorageClass::Blob:
    case StorageClass::Text: {
      const auto* p = reinterpret_cast<const uint8_t*>(c.bytes.data());
      return Variant::array(SafeArray::bytes(std::vector<uint8_t>(p, p + c.bytes.size())));
    }
    default: badValue(col, describe(c));
  }
}

std::string guidText(std::string_view b) {
  static const char* hex = "0123456789ABCDEF";
  // Microsoft layout: the first three groups are little-endian.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string out = "{";
  for (int k = 0; k < 16; ++k) {
    if (k == 4 || k == 6 || k == 8 || k == 10) out.push_back('-');
    auto byte = static_cast<unsigned char>(b[static_cast<size_t>(order[k])]);
    out.push_back(hex[byte >> 4]);
    out.push_back(hex[byte & 15]);
  }
  out.push_back('}');
  return out;
}

Variant textOf(const ColumnInfo& col, const Cell& c) {
  switch (c.cls) {
    case StorageClass::Text: return bstrOf(c.bytes);
    case StorageClass::Integer: return bstrOf(std::to_string(c.i));
    case StorageClass::Real: return bstrOf(formatDouble(c.r));
    case StorageClass::Blob:
      if (col.kind == FieldKind::Guid && c.bytes.size() == 16) return bstrOf(guidText(c.bytes));
      return bstrOf(c.bytes);
    case StorageClass::Null: break;
  }
  return Variant::null();
}

Variant byStorageClass(const Cell& c) {
  switch (c.cls) {
    case StorageClass::Integer:
      if (c.i >= std::numeric_limits<int32_t>::min() && c.i <= std::numeric_limits<int32_t>::max())
        return Variant::i4(static_cast<int32_t>(c.i));
      return Variant::i8(c.i);
    case StorageClass::Real: return Variant::r8(c.r);
    case StorageClass::Text: return bstrOf(c.bytes);
    case StorageClass::Blob: {
      const auto* p = reinterpret_cast<const uint8_t*>(c.bytes.data());
      return Variant::array(SafeArray::bytes(std::vector<uint8_t>(p, p + c.bytes.size())));
    }
    case StorageClass::Null: break;
  }
  return Variant::null();
}

// Reads up to maxDigits digits (at least one); -1 when there are none.
int digits(std::string_view s, size_t& i, int maxDigits) {
  int v = 0, n = 0;
  while (i < s.size() && n < maxDigits && s[i] >= '0' && s[i] <= '9') {
    v = v * 10 + (s[i] - '0');
    ++i;
    ++n;
  }
  return n == 0 ? -1 : v;
}

// "HH:MM[:SS[.fff]]" with optional AM/PM when `allowAmPm`; i at its start.
bool parseTime(std::string_view s, size_t& i, DateTime& t, bool allowAmPm) {
  int h = digits(s, i, 2);
  if (h < 0 || i >= s.size() || s[i] != ':') return false;
  ++i;
  int m = digits(s, i, 2);
  if (m < 0) return false;
  int sec = 0, ms = 0;
  if (i < s.size() && s[i] == ':') {
    ++i;
    sec = digits(s, i, 2);
    if (sec < 0) return false;
    if (i < s.size() && s[i] == '.') {
      ++i;
      size_t start = i;
      int f = digits(s, i, 3);
      if (f < 0) return false;
      for (size_t k = i - start; k < 3; ++k) f *= 10;
      ms = f;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;  // finer digits are dropped
    }
  }
  if (allowAmPm) {
    size_t j = i;
    while (j < s.size() && s[j] == ' ') ++j;
    if (j + 2 <= s.size() &&
        (text::equalsNoCaseAscii(s.substr(j, 2), "AM") || text::equalsNoCaseAscii(s.substr(j, 2), "PM"))) {
      bool pm = s[j] == 'P' || s[j] == 'p';
      if (h < 1 || h > 12) return false;
      h = h % 12 + (pm ? 12 : 0);
      i = j + 2;
    }
  }
  if (h > 23 || m > 59 || sec > 59) return false;
  t.hour = h;
  t.minute = m;
  t.second = sec;
  t.millisecond = ms;
  return true;
}

std::optional<double> finish(const DateTime& t) {
  try {
    return t.toOleDate();
  } catch (const VariantError&) {
    return std::nullopt;
  }
}

std::optional<double> parseDate(std::string_view s, bool literalForms) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.empty() || s.size() > 64) return std::nullopt;
  DateTime t;
  size_t i = 0;
  // A time alone.
  {
    size_t j = 0;
    int first = digits(s, j, 4);
    if (first >= 0 && j < s.size() && s[j] == ':' && j <= 2) {
      if (!parseTime(s, i, t, literalForms) || i != s.size()) return std::nullopt;
      return finish(t);
    }
  }
  size_t start = i;
  int a = digits(s, i, 4);
  if (a < 0 || i >= s.size()) return std::nullopt;
  char sep = s[i];
  if (sep != '-' && sep != '/') return std::nullopt;
  bool yearFirst = i - start == 4;
  ++i;
  int b = digits(s, i, 2);
  if (b < 0 || i >= s.size() || s[i] != sep) return std::nullopt;
  ++i;
  size_t cStart = i;
  int c = digits(s, i, 4);
  if (c < 0) return std::nullopt;
  if (yearFirst) {
    t.year = a, t.month = b, t.day = c;
  } else {
    if (!literalForms || sep != '/' || i - cStart != 4) return std::nullopt;
    t.month = a, t.day = b, t.year = c;  // US order
  }
  if (i < s.size()) {
    if (s[i] != ' ' && s[i] != 'T') return std::nullopt;
    while (i < s.size() && (s[i] == ' ' || s[i] == 'T')) ++i;
    if (!parseTime(s, i, t, literalForms)) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  return finish(t);
}

}  // namespace

bool parseNumberText(std::string_view s, double& out) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.empty() || s.size() > 64) return false;  // no number of ours is longer; spares a copy of a long text
  std::string buf(s);
  char* end = nullptr;
  double v = std::strtod(buf.c_str(), &end);
  if (end != buf.c_str() + buf.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

Variant cellToVariant(const ColumnInfo& col, const Cell& c) {
  if (c.cls == StorageClass::Null) return Variant::null();
  if (col.kindFromValues || col.kind == FieldKind::Unknown) return byStorageClass(c);
  switch (col.kind) {
    case FieldKind::String:
    case FieldKind::FixedChar:
    case FieldKind::WideString:
    case FieldKind::Memo:
    case FieldKind::Guid: return textOf(col, c);
    case FieldKind::SmallInt: return Variant::i2(static_cast<int16_t>(integerOf(col, c, INT16_MIN, INT16_MAX)));
    case FieldKind::Integer:
    case FieldKind::AutoInc: return Variant::i4(static_cast<int32_t>(integerOf(col, c, INT32_MIN, INT32_MAX)));
    case FieldKind::Word: return Variant::i4(static_cast<int32_t>(integerOf(col, c, 0, UINT16_MAX)));
    case FieldKind::LargeInt: return Variant::i8(integerOf(col, c, INT64_MIN, INT64_MAX));
    case FieldKind::Boolean: return booleanOf(col, c);
    case FieldKind::Float: return Variant::r8(realOf(col, c));
    case FieldKind::Currency: return currencyOf(col, c);
    case FieldKind::BCD: return col.currency ? currencyOf(col, c) : decimalOf(col, c);
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime: return dateOf(col, c);
    case FieldKind::Blob:
    case FieldKind::Bytes:
    case FieldKind::VarBytes: return bytesOf(col, c);
    case FieldKind::Unknown: break;
  }
  return byStorageClass(c);
}

std::string formatStoredDate(double d) {
  double whole = std::trunc(d);
  int64_t secs = std::llround(std::fabs(d - whole) * 86400.0);
  if (secs >= 86400) {
    secs -= 86400;
    whole += 1;
  }
  DateTime t = DateTime::fromOleDate(whole);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, static_cast<int>(secs / 3600),
                static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
  return buf;
}

std::optional<double> parseStoredDate(std::string_view text) {
  double d = 0;
  if (fastStoredDate(text, d)) return d;
  return parseDate(text, false);
}

std::optional<double> parseDateLiteral(std::string_view text) { return parseDate(text, true); }

namespace {

// The kind ADO would give a parameter created from this value.
FieldKind kindOfVariant(const Variant& v) {
  if (v.isArray()) return v.type() == VT_UI1 ? FieldKind::Blob : FieldKind::Unknown;
  switch (v.vt()) {
    case VT_BOOL: return FieldKind::Boolean;
    case VT_I1:
    case VT_UI1:
    case VT_I2: return FieldKind::SmallInt;
    case VT_UI2:
    case VT_I4:
    case VT_UI4: return FieldKind::Integer;
    case VT_I8: return FieldKind::LargeInt;
    case VT_R4:
    case VT_R8: return FieldKind::Float;
    case VT_CY: return FieldKind::Currency;
    case VT_DECIMAL: return FieldKind::BCD;
    case VT_DATE: return FieldKind::DateTime;
    case VT_BSTR: return FieldKind::WideString;
    default: return FieldKind::Unknown;
  }
}

BoundValue boundValueOf(const Variant& v, FieldKind hint);

}  // namespace

BoundValue toBoundValue(const Variant& v, FieldKind hint) {
  BoundValue b = boundValueOf(v, hint);
  b.kind = hint != FieldKind::Unknown ? hint : kindOfVariant(v);
  if (b.kind == FieldKind::BCD && !v.isArray() && v.vt() == VT_DECIMAL) b.scale = v.decimalValue().scale;
  return b;
}

namespace {

[[noreturn]] void typeMismatch() { throw DataError::engine(kErrTypeMismatch, std::string(kTypeMismatchText)); }
[[noreturn]] void numericOverflow() { throw DataError::engine(kErrNumericOverflow, std::string(kNumericOverflowText)); }

// The number a value gives for a numeric column; text that is no number
// does not fit.
double numberFor(const Variant& v) {
  try {
    return v.toDouble();
  } catch (const VariantError&) {
    typeMismatch();
  }
}

// The whole number a value gives for an integer column of the kind, rounded
// half to even and checked against the kind's range.
int64_t integerFor(const Variant& v, FieldKind kind) {
  if (v.vt() == VT_BSTR) numberFor(v);  // text that is no number is a mismatch, not an overflow
  int64_t n = 0;
  try {
    n = v.toInt64();
  } catch (const VariantError&) {
    numericOverflow();
  }
  int64_t lo = std::numeric_limits<int64_t>::min(), hi = std::numeric_limits<int64_t>::max();
  switch (kind) {
    case FieldKind::SmallInt: lo = std::numeric_limits<int16_t>::min(), hi = std::numeric_limits<int16_t>::max(); break;
    case FieldKind::Word: lo = 0, hi = std::numeric_limits<uint16_t>::max(); break;
    case FieldKind::Integer:
    case FieldKind::AutoInc: lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max(); break;
    default: break;
  }
  if (n < lo || n > hi) numericOverflow();
  return n;
}

// Bound values of each storage class.
BoundValue storedInteger(int64_t i) {
  BoundValue b;
  b.cls = StorageClass::Integer;
  b.i = i;
  return b;
}

BoundValue storedReal(double r) {
  BoundValue b;
  b.cls = StorageClass::Real;
  b.r = r;
  return b;
}

// Yes/no as the dialect stores it: -1 and 0.
BoundValue storedYesNo(bool yes) { return storedInteger(yes ? -1 : 0); }

// A number that is whole and exact in a double goes in as an integer.
BoundValue storedNumber(double d) {
  if (std::nearbyint(d) == d && std::fabs(d) < 9007199254740992.0) return storedInteger(static_cast<int64_t>(d));
  return storedReal(d);
}

BoundValue storedDate(double d) {
  BoundValue b;
  b.cls = StorageClass::Text;
  b.bytes = formatStoredDate(d);
  return b;
}

BoundValue storedText(std::string utf8) {
  BoundValue b;
  b.cls = StorageClass::Text;
  b.bytes = std::move(utf8);
  return b;
}

[[noreturn]] void cannotBind(const Variant& v) {
  throw DataError::component(kErrArgument, "A parameter value of kind " + varTypeName(v.vt()) + " cannot be bound");
}

// A plain value converted to the kind of its column, or nullopt when it is
// bound as it is. SQLite would store any value in any column, and a value
// its column cannot give back makes the whole table unreadable.
std::optional<BoundValue> convertedToColumn(const Variant& v, FieldKind hint) {
  if (v.isArray() || v.isEmptyOrNull() || v.vt() == VT_ERROR || v.vt() == VT_BOOL) return std::nullopt;
  if (isIntegerKind(hint)) return storedInteger(integerFor(v, hint));
  if (hint == FieldKind::Boolean && v.vt() != VT_BSTR) return storedYesNo(numberFor(v) != 0);
  if ((hint == FieldKind::Float || hint == FieldKind::BCD || hint == FieldKind::Currency) &&
      (v.vt() == VT_BSTR || v.vt() == VT_DATE)) {
    const double d = numberFor(v);
    return hint == FieldKind::Float ? storedReal(d) : storedNumber(d);
  }
  return std::nullopt;
}

// A byte array is a blob; no other array can be bound.
BoundValue boundArray(const Variant& v) {
  if (v.type() != VT_UI1) cannotBind(v);
  const auto& bytes = v.arrayValue().byteData();
  BoundValue b;
  b.cls = StorageClass::Blob;
  b.bytes.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return b;
}

// A number for a yes/no or date column, else as it is.
BoundValue boundNumber(double d, FieldKind hint, BoundValue asItIs) {
  if (hint == FieldKind::Boolean) return storedYesNo(d != 0);
  if (isDateKind(hint)) return storedDate(d);
  return asItIs;
}

// Text for a date or yes/no column must read as one.
BoundValue boundText(const Variant& v, FieldKind hint) {
  if (isDateKind(hint)) {
    auto d = parseDateLiteral(text::wideToUtf8(v.bstrValue()));
    if (!d) typeMismatch();
    return storedDate(*d);
  }
  if (hint == FieldKind::Boolean) {
    bool yes = false;
    try {
      yes = v.toBool();
    } catch (const VariantError&) {
      typeMismatch();
    }
    return storedYesNo(yes);
  }
  return storedText(text::wideToUtf8(v.bstrValue()));
}

BoundValue boundCurrency(const Currency& c) {
  if (c.scaled % 10000 == 0) return storedInteger(c.scaled / 10000);
  return storedReal(c.toDouble());
}

BoundValue boundScalar(const Variant& v, FieldKind hint) {
  switch (v.vt()) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_ERROR: return BoundValue{};
    case VT_BOOL: return storedYesNo(v.boolValue());
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4: {
      const int64_t i = v.intValue();
      return boundNumber(static_cast<double>(i), hint, storedInteger(i));
    }
    case VT_R4:
    case VT_R8: return boundNumber(v.realValue(), hint, storedReal(v.realValue()));
    case VT_CY: return boundCurrency(v.cyValue());
    case VT_DECIMAL: return storedNumber(v.decimalValue().toDouble());
    case VT_DATE: return storedDate(v.realValue());
    case VT_BSTR: return boundText(v, hint);
    default: cannotBind(v);
  }
}

BoundValue boundValueOf(const Variant& v, FieldKind hint) {
  if (auto converted = convertedToColumn(v, hint)) return std::move(*converted);
  if (v.isArray()) return boundArray(v);
  try {
    return boundScalar(v, hint);
  } catch (const VariantError& e) {
    throw DataError::component(kErrArgument, std::string("A parameter value cannot be bound: ") + e.what());
  }
}

}  // namespace

}  // namespace rvz::data
