// Number and text conversions of the Jet functions.
#include "platform/data/jet/jet_convert.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rvz::data::jet {

std::string numberText(double d) {
  if (d == 0) return "0";
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "1.#INF" : "-1.#INF";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  return buf;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// &H1F, &O17: the digits after the prefix as an integer.
bool radixNumber(std::string_view s, size_t& i, double& out) {
  if (i + 1 >= s.size() || s[i] != '&') return false;
  char kind = s[i + 1];
  int base = (kind == 'H' || kind == 'h') ? 16 : (kind == 'O' || kind == 'o') ? 8 : 0;
  if (base == 0) return false;
  size_t j = i + 2;
  uint64_t v = 0;
  size_t digits = 0;
  while (j < s.size()) {
    char c = s[j];
    int d = isDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
    if (d >= base) break;
    if (++digits > 16) return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    ++j;
  }
  if (digits == 0) return false;
  // VBA reads 4 hex digits as an Integer and 8 as a Long: the top bit is the sign.
  if (base == 16 && digits <= 4 && v >= 0x8000)
    out = static_cast<double>(static_cast<int64_t>(v) - 0x10000);
  else if (base == 16 && digits <= 8 && v >= 0x80000000ULL)
    out = static_cast<double>(static_cast<int64_t>(v) - 0x100000000LL);
  else
    out = static_cast<double>(v);
  i = j;
  return true;
}

// Reads [sign] digits [, digits] [. digits] [E|D [sign] digits] from s at i
// into a plain C number text; thousands separators only when allowed.
bool decimalNumber(std::string_view s, size_t& i, bool allowThousands, std::string& out) {
  size_t j = i;
  out.clear();
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) out.push_back(s[j++]);
  bool any = false;
  while (j < s.size() && (isDigit(s[j]) || (allowThousands && any && s[j] == ','))) {
    if (s[j] != ',') out.push_back(s[j]);
    any = any || isDigit(s[j]);
    ++j;
    if (out.size() > 400) return false;
  }
  if (j < s.size() && s[j] == '.') {
    out.push_back('.');
    ++j;
    while (j < s.size() && isDigit(s[j])) {
      out.push_back(s[j++]);
      any = true;
      if (out.size() > 400) return false;
    }
  }
  if (!any) return false;
  if (j < s.size() && (s[j] == 'e' || s[j] == 'E' || s[j] == 'd' || s[j] == 'D')) {
    size_t k = j + 1;
    std::string exp = "e";
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) exp.push_back(s[k++]);
    size_t start = k;
    while (k < s.size() && isDigit(s[k]) && k - start < 6) exp.push_back(s[k++]);
    if (k > start) {
      out += exp;
      j = k;
    }
  }
  i = j;
  return true;
}

}  // namespace

bool parseNumber(std::string_view text, double& out) {
  size_t b = 0, e = text.size();
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  std::string_view s = text.substr(b, e - b);
  if (s.empty()) return false;
  size_t i = 0;
  if (s[0] == '&') {
    if (!radixNumber(s, i, out)) return false;
    return i == s.size();
  }
  std::string c;
  if (!decimalNumber(s, i, true, c) || i != s.size()) return false;
  out = std::strtod(c.c_str(), nullptr);
  return true;
}

double leadingNumber(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (!isBlank(c)) s.push_back(c);
  size_t i = 0;
  double v = 0;
  if (!s.empty() && s[0] == '&') return radixNumber(s, i, v) ? v : 0.0;
  std::string c;
  if (!decimalNumber(s, i, false, c)) return 0.0;
  return std::strtod(c.c_str(), nullptr);
}

bool DecimalDigits::isZero() const {
  return whole.find_first_not_of('0') == std::string::npos && fraction.find_first_not_of('0') == std::string::npos;
}

DecimalDigits decimalDigits(double v, int decimals, bool bankers) {
  DecimalDigits r;
  if (decimals < 0) decimals = 0;
  r.whole = "0";
  r.fraction.assign(static_cast<size_t>(decimals), '0');
  v = std::fabs(v);
  if (v == 0 || !std::isfinite(v)) return r;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", v);  // d.dddddddddddddde±XX
  std::string digits;
  digits.push_back(buf[0]);
  digits.append(buf + 2, 14);
  const char* ePos = std::strchr(buf, 'e');
  int exponent = ePos ? std::atoi(ePos + 1) : 0;
  int pointPos = exponent + 1;  // digits before the decimal point
  int keep = pointPos + decimals;
  if (keep < 0) return r;
  std::string kept;
  bool up = false;
  if (keep < 15) {
    auto k = static_cast<size_t>(keep);
    char nextDigit = digits[k];
    bool restNonZero = digits.find_first_not_of('0', k + 1) != std::string::npos;
    if (nextDigit > '5' || (nextDigit == '5' && (restNonZero || !bankers))) {
      up = true;
    } else if (nextDigit == '5') {
      char prev = k > 0 ? digits[k - 1] : '0';
      up = (prev - '0') % 2 == 1;
    }
    kept = digits.substr(0, k);
  } else {
    kept = digits + std::string(static_cast<size_t>(keep - 15), '0');
  }
  if (up) {
    int i = static_cast<int>(kept.size()) - 1;
    while (i >= 0 && kept[static_cast<size_t>(i)] == '9') kept[static_cast<size_t>(i--)] = '0';
    if (i < 0) {
      kept.insert(kept.begin(), '1');
      ++pointPos;
    } else {
      ++kept[static_cast<size_t>(i)];
    }
  }
  if (pointPos > 0) {
    r.whole = kept.substr(0, static_cast<size_t>(pointPos));
    r.fraction = kept.substr(static_cast<size_t>(pointPos));
  } else {
    r.whole = "0";
    r.fraction = std::string(static_cast<size_t>(-pointPos), '0') + kept;
  }
  r.fraction.resize(static_cast<size_t>(decimals), '0');
  size_t nz = r.whole.find_first_not_of('0');
  r.whole = nz == std::string::npos ? "0" : r.whole.substr(nz);
  return r;
}

double roundBankers(double v, int decimals) {
  if (!std::isfinite(v) || decimals > 15) return v;
  DecimalDigits d = decimalDigits(v, decimals, true);
  std::string text = (v < 0 ? "-" : "") + d.whole + (d.fraction.empty() ? "" : "." + d.fraction);
  double r = std::strtod(text.c_str(), nullptr);
  return r == 0 ? 0.0 : r;
}

}  // namespace rvz::data::jet
