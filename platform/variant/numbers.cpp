// Currency, decimal and date arithmetic of the variant layer, and the text
// forms of numbers and dates.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

#include "platform/calendar/calendar.h"
#include "platform/variant/variant.h"

namespace rvz {

namespace {

using u128 = unsigned __int128;

constexpr u128 kMaxMantissa = (static_cast<u128>(1) << 96) - 1;

u128 mantissa(const Decimal& d) { return (static_cast<u128>(d.hi32) << 64) | d.lo64; }

void setMantissa(Decimal& d, u128 m) {
  d.hi32 = static_cast<uint32_t>(m >> 64);
  d.lo64 = static_cast<uint64_t>(m);
}

u128 pow10(int n) {
  u128 r = 1;
  while (n-- > 0) r *= 10;
  return r;
}

std::string u128ToString(u128 v) {
  if (v == 0) return "0";
  std::string s;
  while (v > 0) {
    s.push_back(static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  return std::string(s.rbegin(), s.rend());
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Parses [sign] digits [. digits] into a mantissa and scale; no exponent.
bool parseFixed(std::string_view s, bool& negative, u128& m, int& scale, int maxScale, u128 maxM) {
  s = trimBlanks(s);
  negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  m = 0;
  scale = 0;
  bool point = false, digits = false;
  for (char c : s) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return false;
    digits = true;
    if (point) {
      if (scale == maxScale) continue;  // digits past the scale are dropped
      ++scale;
    }
    m = m * 10 + static_cast<unsigned>(c - '0');
    if (m > maxM) return false;
  }
  return digits;
}

constexpr int64_t kMsPerHour = 3600000, kMsPerMinute = 60000, kMsPerSecond = 1000;

bool validDate(const DateTime& t) {
  return calendar::isValidDate(t.year, t.month, t.day) && t.hour >= 0 && t.hour < 24 && t.minute >= 0 &&
         t.minute < 60 && t.second >= 0 && t.second < 60 && t.millisecond >= 0 && t.millisecond < 1000;
}

}  // namespace

// ---- Currency ----

Currency Currency::fromDouble(double d) {
  double scaled = std::round(d * 10000.0);
  if (!std::isfinite(scaled) || scaled >= 9.2233720368547758e18 || scaled < -9.2233720368547758e18)
    throw VariantError(kDispOverflow, "Overflow while converting to Currency");
  return Currency{static_cast<int64_t>(scaled)};
}

Currency Currency::parse(std::string_view s) {
  bool neg;
  u128 m;
  int scale;
  if (!parseFixed(s, neg, m, scale, 4, static_cast<u128>(std::numeric_limits<int64_t>::max()) * 10000))
    throw VariantError(kDispTypeMismatch, "'" + std::string(s) + "' is not a valid currency value");
  m *= pow10(4 - scale);
  if (m > static_cast<u128>(std::numeric_limits<int64_t>::max()) + (neg ? 1 : 0))
    throw VariantError(kDispOverflow, "Currency value out of range: " + std::string(s));
  int64_t v = neg ? static_cast<int64_t>(0 - static_cast<uint64_t>(m)) : static_cast<int64_t>(m);
  return Currency{v};
}

std::string Currency::toString() const {
  bool neg = scaled < 0;
  uint64_t mag = neg ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string s = std::to_string(mag / 10000);
  uint64_t frac = mag % 10000;
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
    std::string f(buf);
    while (f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return neg ? "-" + s : s;
}

// ---- Decimal ----

Decimal Decimal::parse(std::string_view s) {
  Decimal d;
  u128 m;
  int scale;
  if (!parseFixed(s, d.negative, m, scale, 28, kMaxMantissa))
    throw VariantError(kDispTypeMismatch, "'" + std::string(s) + "' is not a valid decimal value");
  d.scale = static_cast<uint8_t>(scale);
  setMantissa(d, m);
  if (m == 0) d.negative = false;
  return d;
}

Decimal Decimal::fromInt64(int64_t v) {
  Decimal d;
  d.negative = v < 0;
  setMantissa(d, v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v));
  return d;
}

Decimal Decimal::fromDouble(double v) {
  if (!std::isfinite(v) || std::fabs(v) >= 7.9228162514264337e28)
    throw VariantError(kDispOverflow, "Overflow while converting to Decimal");
  // Fifteen significant digits, as the platform converts a double.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15e", v);
  std::string_view t(buf);
  size_t e = t.find('e');
  int exp = std::atoi(buf + e + 1);
  std::string digits;
  bool neg = false;
  for (char c : t.substr(0, e)) {
    if (c == '-')
      neg = true;
    else if (c >= '0' && c <= '9')
      digits.push_back(c);
  }
  // digits = d.ddddddddddddddd, value = digits * 10^(exp-15)
  int scale = 15 - exp;
  while (scale > 0 && !digits.empty() && digits.back() == '0') {
    digits.pop_back();
    --scale;
  }
  if (scale < 0) {
    digits.append(static_cast<size_t>(-scale), '0');
    scale = 0;
  }
  while (scale > 28) {
    digits.pop_back();
    --scale;
  }
  Decimal d;
  u128 m = 0;
  for (char c : digits) m = m * 10 + static_cast<unsigned>(c - '0');
  setMantissa(d, m);
  d.scale = static_cast<uint8_t>(scale);
  d.negative = neg && m != 0;
  return d;
}

double Decimal::toDouble() const {
  double v = static_cast<double>(mantissa(*this)) / std::pow(10.0, scale);
  return negative ? -v : v;
}

std::string Decimal::toString() const {
  std::string s = u128ToString(mantissa(*this));
  if (scale > 0) {
    if (s.size() <= scale) s.insert(0, scale - s.size() + 1, '0');
    s.insert(s.size() - scale, ".");
  }
  return negative && !isZero() ? "-" + s : s;
}

// ---- Dates ----

double DateTime::toOleDate() const {
  if (!validDate(*this))
    throw VariantError(kDispOverflow, "Invalid date " + std::to_string(year) + "-" + std::to_string(month) + "-" +
                                          std::to_string(day));
  int64_t ms = hour * kMsPerHour + minute * kMsPerMinute + second * kMsPerSecond + millisecond;
  return calendar::toOleDate({calendar::dayNumber(year, month, day), ms}, calendar::Unit::Millisecond);
}

DateTime DateTime::fromOleDate(double d) {
  std::optional<calendar::Moment> m = calendar::fromOleDate(d, calendar::Unit::Millisecond);
  if (!m) throw VariantError(kDispOverflow, "Date value out of range: " + formatDouble(d));
  calendar::Date date = calendar::dateOfDayNumber(m->day);
  DateTime t;
  t.year = date.year;
  t.month = date.month;
  t.day = date.day;
  t.hour = static_cast<int>(m->time / kMsPerHour);
  t.minute = static_cast<int>(m->time / kMsPerMinute % 60);
  t.second = static_cast<int>(m->time / kMsPerSecond % 60);
  t.millisecond = static_cast<int>(m->time % kMsPerSecond);
  return t;
}

DateTime DateTime::now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  DateTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

// ---- Text forms ----

std::string formatDouble(double d, int significantDigits) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "INF" : "-INF";
  if (d == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", significantDigits, d);
  return buf;
}

// The server's locale forms: short date "yyyy-M-d", long time "H:mm:ss".
std::string formatShortDate(const DateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d-%d-%d", t.year, t.month, t.day);
  return buf;
}

std::string formatLongTime(const DateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}

std::string formatOleDate(double oleDate) {
  DateTime t = DateTime::fromOleDate(oleDate);
  bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0;
  bool dayZero = std::trunc(oleDate) == 0;
  // Day zero is the platform's "no date": only the time is written.
  if (dayZero) return formatLongTime(t);
  if (midnight) return formatShortDate(t);
  return formatShortDate(t) + " " + formatLongTime(t);
}

}  // namespace rvz
