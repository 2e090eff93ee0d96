// The variant: construction, exact access, and the conversions between kinds
// with the platform's rounding, overflow and text rules.
#include "platform/variant/variant.h"

#include "platform/calendar/calendar.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace rvz {

namespace {

[[noreturn]] void mismatch(uint16_t from, const char* to) {
  throw VariantError(kDispTypeMismatch,
                     "Could not convert variant of type (" + varTypeName(from) + ") into type (" + to + ")");
}

[[noreturn]] void overflow(uint16_t from, const char* to) {
  throw VariantError(kDispOverflow,
                     "Overflow while converting variant of type (" + varTypeName(from) + ") into type (" + to + ")");
}

bool isIntegerKind(uint16_t vt) {
  switch (vt) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_BOOL:
    case VT_ERROR: return true;
    default: return false;
  }
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A number written in text: [sign] digits [. digits] [E [sign] digits].
bool parseNumber(std::string_view s, double& out) {
  s = trim(s);
  if (s.empty() || s.size() > 400) return false;
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  bool digits = false;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, digits = true;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, digits = true;
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool ed = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ed = true;
    if (!ed) return false;
  }
  if (i != s.size()) return false;
  std::string z(s);
  out = std::strtod(z.c_str(), nullptr);
  return std::isfinite(out);
}

// Rounds half to even, as the platform rounds a real into an integer kind.
double roundEven(double d) { return std::nearbyint(d); }

int parseUInt(std::string_view s, size_t& i, int maxDigits) {
  int v = 0, n = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && n < maxDigits) v = v * 10 + (s[i++] - '0'), ++n;
  return n == 0 ? -1 : v;
}

// "yyyy-m-d", "yyyy/m/d", optionally followed by " h:mm[:ss]"; or "h:mm[:ss]".
bool parseDateText(std::string_view s, double& out) {
  s = trim(s);
  DateTime t;
  size_t i = 0;
  auto parseTime = [&]() -> bool {
    t.hour = parseUInt(s, i, 2);
    if (t.hour < 0 || i >= s.size() || s[i] != ':') return false;
    ++i;
    t.minute = parseUInt(s, i, 2);
    if (t.minute < 0) return false;
    t.second = 0;
    if (i < s.size() && s[i] == ':') {
      ++i;
      t.second = parseUInt(s, i, 2);
      if (t.second < 0) return false;
    }
    return true;
  };
  size_t colon = s.find(':'), dash = s.find_first_of("-/");
  if (colon != std::string_view::npos && (dash == std::string_view::npos || colon < dash)) {
    if (!parseTime() || i != s.size()) return false;
    try {
      out = DateTime{1899, 12, 30, t.hour, t.minute, t.second, 0}.toOleDate();
    } catch (const VariantError&) {
      return false;
    }
    return true;
  }
  t.year = parseUInt(s, i, 4);
  if (t.year < 0 || i >= s.size() || (s[i] != '-' && s[i] != '/')) return false;
  char sep = s[i++];
  t.month = parseUInt(s, i, 2);
  if (t.month < 0 || i >= s.size() || s[i] != sep) return false;
  ++i;
  t.day = parseUInt(s, i, 2);
  if (t.day < 0) return false;
  if (i < s.size()) {
    if (s[i] != ' ' && s[i] != 'T') return false;
    while (i < s.size() && (s[i] == ' ' || s[i] == 'T')) ++i;
    if (!parseTime()) return false;
  }
  if (i != s.size()) return false;
  try {
    out = t.toOleDate();
  } catch (const VariantError&) {
    return false;
  }
  return true;
}

}  // namespace

std::string varTypeName(uint16_t vt) {
  std::string base;
  switch (vt & ~VT_ARRAY) {
    case VT_EMPTY: base = "Empty"; break;
    case VT_NULL: base = "Null"; break;
    case VT_I1: base = "ShortInt"; break;
    case VT_I2: base = "Smallint"; break;
    case VT_I4: base = "Integer"; break;
    case VT_I8: base = "Int64"; break;
    case VT_UI1: base = "Byte"; break;
    case VT_UI2: base = "Word"; break;
    case VT_UI4: base = "LongWord"; break;
    case VT_R4: base = "Single"; break;
    case VT_R8: base = "Double"; break;
    case VT_CY: base = "Currency"; break;
    case VT_DATE: base = "Date"; break;
    case VT_BSTR: base = "OleStr"; break;
    case VT_BOOL: base = "Boolean"; break;
    case VT_ERROR: base = "Error"; break;
    case VT_DECIMAL: base = "Decimal"; break;
    case VT_VARIANT: base = "Variant"; break;
    default: base = "Unknown(" + std::to_string(vt & ~VT_ARRAY) + ")"; break;
  }
  return (vt & VT_ARRAY) ? "Array of " + base : base;
}

// ---- construction ----

Variant Variant::null() {
  Variant v;
  v.vt_ = VT_NULL;
  return v;
}

#define RVZ_INT_CTOR(fn, type, kind)    \
  Variant Variant::fn(type x) {         \
    Variant v;                          \
    v.vt_ = kind;                       \
    v.value_ = static_cast<int64_t>(x); \
    return v;                           \
  }
RVZ_INT_CTOR(i1, int8_t, VT_I1)
RVZ_INT_CTOR(i2, int16_t, VT_I2)
RVZ_INT_CTOR(i4, int32_t, VT_I4)
RVZ_INT_CTOR(i8, int64_t, VT_I8)
RVZ_INT_CTOR(ui1, uint8_t, VT_UI1)
RVZ_INT_CTOR(ui2, uint16_t, VT_UI2)
RVZ_INT_CTOR(ui4, uint32_t, VT_UI4)
RVZ_INT_CTOR(error, int32_t, VT_ERROR)
#undef RVZ_INT_CTOR

Variant Variant::r4(float x) {
  Variant v;
  v.vt_ = VT_R4;
  v.value_ = static_cast<double>(x);
  return v;
}

Variant Variant::r8(double x) {
  Variant v;
  v.vt_ = VT_R8;
  v.value_ = x;
  return v;
}

Variant Variant::cy(Currency x) {
  Variant v;
  v.vt_ = VT_CY;
  v.value_ = x;
  return v;
}

Variant Variant::date(double oleDate) {
  Variant v;
  v.vt_ = VT_DATE;
  v.value_ = oleDate;
  return v;
}

Variant Variant::date(const DateTime& dt) { return date(dt.toOleDate()); }

Variant Variant::bstr(WString x) {
  Variant v;
  v.vt_ = VT_BSTR;
  v.value_ = std::move(x);
  return v;
}

Variant Variant::bstrUtf8(std::string_view utf8) { return bstr(text::utf8ToWide(utf8)); }

Variant Variant::boolean(bool x) {
  Variant v;
  v.vt_ = VT_BOOL;
  v.value_ = static_cast<int64_t>(x ? -1 : 0);
  return v;
}

Variant Variant::decimal(const Decimal& x) {
  Variant v;
  v.vt_ = VT_DECIMAL;
  v.value_ = x;
  return v;
}

Variant Variant::array(SafeArray a) {
  Variant v;
  v.vt_ = static_cast<uint16_t>(VT_ARRAY | a.elementType());
  v.value_ = std::make_unique<SafeArray>(std::move(a));
  return v;
}

Variant::Variant(const Variant& o) : vt_(o.vt_) {
  if (auto* p = std::get_if<std::unique_ptr<SafeArray>>(&o.value_))
    value_ = std::make_unique<SafeArray>(**p);
  else if (auto* w = std::get_if<WString>(&o.value_))
    value_ = *w;
  else if (auto* d = std::get_if<Decimal>(&o.value_))
    value_ = *d;
  else if (auto* c = std::get_if<Currency>(&o.value_))
    value_ = *c;
  else if (auto* r = std::get_if<double>(&o.value_))
    value_ = *r;
  else if (auto* i = std::get_if<int64_t>(&o.value_))
    value_ = *i;
}

Variant& Variant::operator=(const Variant& o) {
  if (this != &o) {
    Variant copy(o);
    *this = std::move(copy);
  }
  return *this;
}

// ---- exact access ----

int64_t Variant::intValue() const {
  if (!isIntegerKind(vt_)) mismatch(vt_, "Integer");
  return std::get<int64_t>(value_);
}

double Variant::realValue() const {
  if (vt_ != VT_R4 && vt_ != VT_R8 && vt_ != VT_DATE) mismatch(vt_, "Double");
  return std::get<double>(value_);
}

Currency Variant::cyValue() const {
  if (vt_ != VT_CY) mismatch(vt_, "Currency");
  return std::get<Currency>(value_);
}

const Decimal& Variant::decimalValue() const {
  if (vt_ != VT_DECIMAL) mismatch(vt_, "Decimal");
  return std::get<Decimal>(value_);
}

const WString& Variant::bstrValue() const {
  if (vt_ != VT_BSTR) mismatch(vt_, "OleStr");
  return std::get<WString>(value_);
}

bool Variant::boolValue() const {
  if (vt_ != VT_BOOL) mismatch(vt_, "Boolean");
  return std::get<int64_t>(value_) != 0;
}

int32_t Variant::errorValue() const {
  if (vt_ != VT_ERROR) mismatch(vt_, "Error");
  return static_cast<int32_t>(std::get<int64_t>(value_));
}

const SafeArray& Variant::arrayValue() const {
  if (!isArray()) mismatch(vt_, "Array");
  return *std::get<std::unique_ptr<SafeArray>>(value_);
}

SafeArray& Variant::arrayValue() {
  if (!isArray()) mismatch(vt_, "Array");
  return *std::get<std::unique_ptr<SafeArray>>(value_);
}

// ---- conversions ----

WString Variant::toText() const {
  if (isArray()) mismatch(vt_, "OleStr");
  switch (vt_) {
    case VT_EMPTY:
    case VT_NULL: return WString();
    case VT_BSTR: return std::get<WString>(value_);
    case VT_BOOL: return std::get<int64_t>(value_) ? u"True" : u"False";
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4: return text::utf8ToWide(std::to_string(std::get<int64_t>(value_)));
    case VT_R4: return text::utf8ToWide(formatDouble(std::get<double>(value_), 7));
    case VT_R8: return text::utf8ToWide(formatDouble(std::get<double>(value_), 15));
    case VT_CY: return text::utf8ToWide(std::get<Currency>(value_).toString());
    case VT_DATE: return text::utf8ToWide(formatOleDate(std::get<double>(value_)));
    case VT_DECIMAL: {
      std::string s = std::get<Decimal>(value_).toString();
      if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
      }
      return text::utf8ToWide(s);
    }
    default: mismatch(vt_, "OleStr");
  }
}

double Variant::toDouble() const {
  switch (vt_) {
    case VT_EMPTY: return 0;
    case VT_R4:
    case VT_R8:
    case VT_DATE: return std::get<double>(value_);
    case VT_CY: return std::get<Currency>(value_).toDouble();
    case VT_DECIMAL: return std::get<Decimal>(value_).toDouble();
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_BOOL: return static_cast<double>(std::get<int64_t>(value_));
    case VT_BSTR: {
      double d;
      if (!parseNumber(text::wideToUtf8(std::get<WString>(value_)), d)) mismatch(vt_, "Double");
      return d;
    }
    default: mismatch(vt_, "Double");
  }
}

int64_t Variant::toInt64() const {
  if (isIntegerKind(vt_) && vt_ != VT_ERROR) return std::get<int64_t>(value_);
  if (vt_ == VT_EMPTY) return 0;
  if (vt_ == VT_CY) {
    // Currency rounds half to even on its own scale.
    int64_t s = std::get<Currency>(value_).scaled;
    int64_t q = s / 10000, r = s % 10000;
    if (r > 5000 || (r == 5000 && (q & 1))) ++q;
    if (r < -5000 || (r == -5000 && (q & 1))) --q;
    return q;
  }
  double d = roundEven(toDouble());
  if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)) overflow(vt_, "Int64");
  return static_cast<int64_t>(d);
}

int32_t Variant::toInt32() const {
  int64_t v = toInt64();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) overflow(vt_, "Integer");
  return static_cast<int32_t>(v);
}

bool Variant::toBool() const {
  switch (vt_) {
    case VT_EMPTY: return false;
    case VT_BSTR: {
      const WString& s = std::get<WString>(value_);
      if (text::equalsNoCase(s, u"True")) return true;
      if (text::equalsNoCase(s, u"False")) return false;
      double d;
      if (!parseNumber(text::wideToUtf8(s), d)) mismatch(vt_, "Boolean");
      return d != 0;
    }
    case VT_NULL:
    case VT_ERROR: mismatch(vt_, "Boolean");
    default:
      if (isArray()) mismatch(vt_, "Boolean");
      return toDouble() != 0;
  }
}

Currency Variant::toCurrency() const {
  if (vt_ == VT_CY) return std::get<Currency>(value_);
  if (vt_ == VT_BSTR) return Currency::parse(text::wideToUtf8(std::get<WString>(value_)));
  if (isIntegerKind(vt_) && vt_ != VT_ERROR) {
    int64_t v = std::get<int64_t>(value_);
    if (v > std::numeric_limits<int64_t>::max() / 10000 || v < std::numeric_limits<int64_t>::min() / 10000)
      overflow(vt_, "Currency");
    return Currency{v * 10000};
  }
  if (vt_ == VT_DECIMAL) return Currency::parse(std::get<Decimal>(value_).toString());
  try {
    return Currency::fromDouble(toDouble());
  } catch (const VariantError& e) {
    if (e.status() == kDispOverflow) overflow(vt_, "Currency");
    throw;
  }
}

Decimal Variant::toDecimal() const {
  if (vt_ == VT_DECIMAL) return std::get<Decimal>(value_);
  if (vt_ == VT_BSTR) return Decimal::parse(text::wideToUtf8(std::get<WString>(value_)));
  if (vt_ == VT_CY) return Decimal::parse(std::get<Currency>(value_).toString());
  if (isIntegerKind(vt_) && vt_ != VT_ERROR) return Decimal::fromInt64(std::get<int64_t>(value_));
  return Decimal::fromDouble(toDouble());
}

double Variant::toOleDate() const {
  double d;
  if (vt_ == VT_BSTR) {
    std::string s = text::wideToUtf8(std::get<WString>(value_));
    if (parseDateText(s, d)) return d;
    if (!parseNumber(s, d)) mismatch(vt_, "Date");
  } else {
    if (vt_ == VT_NULL || vt_ == VT_ERROR || isArray()) mismatch(vt_, "Date");
    d = toDouble();
  }
  if (!calendar::oleDateInRange(d)) overflow(vt_, "Date");
  return d;
}

Variant Variant::changeType(VarType target) const {
  if (vt_ == target) return *this;
  auto checked = [&](int64_t lo, int64_t hi, const char* name) {
    int64_t v = toInt64();
    if (v < lo || v > hi) overflow(vt_, name);
    return v;
  };
  if (vt_ == VT_NULL && target != VT_VARIANT) mismatch(vt_, varTypeName(target).c_str());
  switch (target) {
    case VT_EMPTY: return Variant();
    case VT_NULL: return Variant::null();
    case VT_VARIANT: return *this;
    case VT_I1: return i1(static_cast<int8_t>(checked(-128, 127, "ShortInt")));
    case VT_I2: return i2(static_cast<int16_t>(checked(-32768, 32767, "Smallint")));
    case VT_I4: return i4(toInt32());
    case VT_I8: return i8(toInt64());
    case VT_UI1: return ui1(static_cast<uint8_t>(checked(0, 255, "Byte")));
    case VT_UI2: return ui2(static_cast<uint16_t>(checked(0, 65535, "Word")));
    case VT_UI4: return ui4(static_cast<uint32_t>(checked(0, 4294967295LL, "LongWord")));
    case VT_R4: {
      double d = toDouble();
      if (std::fabs(d) > std::numeric_limits<float>::max()) overflow(vt_, "Single");
      return r4(static_cast<float>(d));
    }
    case VT_R8: return r8(toDouble());
    case VT_CY: return cy(toCurrency());
    case VT_DATE: return date(toOleDate());
    case VT_BSTR: return bstr(toText());
    case VT_BOOL: return boolean(toBool());
    case VT_DECIMAL: return decimal(toDecimal());
    case VT_ERROR:
      if (isIntegerKind(vt_)) return error(static_cast<int32_t>(std::get<int64_t>(value_)));
      mismatch(vt_, "Error");
    default: mismatch(vt_, varTypeName(target).c_str());
  }
}

bool Variant::sameKindAndValue(const Variant& o) const {
  if (vt_ != o.vt_) return false;
  if (isArray()) return arrayValue() == o.arrayValue();
  switch (vt_) {
    case VT_EMPTY:
    case VT_NULL: return true;
    case VT_BSTR: return std::get<WString>(value_) == std::get<WString>(o.value_);
    case VT_R4:
    case VT_R8:
    case VT_DATE: return std::get<double>(value_) == std::get<double>(o.value_);
    case VT_CY: return std::get<Currency>(value_) == std::get<Currency>(o.value_);
    case VT_DECIMAL: {
      // Equal values compare equal whatever their scale (1.5 and 1.50).
      const Decimal& a = std::get<Decimal>(value_);
      const Decimal& b = std::get<Decimal>(o.value_);
      return a == b || Decimal::parse(Variant::decimal(a).toUtf8()) == Decimal::parse(Variant::decimal(b).toUtf8());
    }
    default: return std::get<int64_t>(value_) == std::get<int64_t>(o.value_);
  }
}

}  // namespace rvz
