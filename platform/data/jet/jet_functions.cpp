// The Jet functions as SQLite user functions, with VBA's rules for Null,
// conversions and rounding, on UTF-16 characters as Jet counts them.
#include "platform/data/jet/jet_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/calendar/calendar.h"
#include "platform/data/jet/jet_convert.h"
#include "platform/data/jet/jet_dates.h"
#include "platform/data/jet/jet_format.h"
#include "platform/data/jet/jet_store.h"
#include "platform/text/text.h"

namespace rvz::data::jet {

namespace {

using text::WString;

// A failure of a function call; the message reaches SQLite's error text.
class FnError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Call;
using Impl = void (*)(Call&);

struct FunctionDef {
  JetFunctionInfo info;
  const char* display;  // the Jet name in messages
  int minArgs, maxArgs;
  Impl impl;
};

struct Call {
  sqlite3_context* ctx;
  int argc;
  sqlite3_value** argv;
  const FunctionDef* def;

  [[noreturn]] void fail(const std::string& why) const { throw FnError(std::string(def->display) + ": " + why); }
  int type(int i) const { return sqlite3_value_type(argv[i]); }
  bool null(int i) const { return type(i) == SQLITE_NULL; }
  bool anyNull() const {
    for (int i = 0; i < argc; ++i)
      if (null(i)) return true;
    return false;
  }
  void requireNotNull(int i) const {
    if (null(i)) fail("invalid use of Null in argument " + std::to_string(i + 1));
  }
  std::string_view raw(int i) const {
    const auto* p = reinterpret_cast<const char*>(type(i) == SQLITE_BLOB ? sqlite3_value_blob(argv[i])
                                                                         : sqlite3_value_text(argv[i]));
    int n = sqlite3_value_bytes(argv[i]);
    return p ? std::string_view(p, static_cast<size_t>(n)) : std::string_view();
  }
  // The value as text, numbers in VBA's form.
  std::string text(int i) const {
    switch (type(i)) {
      case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(argv[i]));
      case SQLITE_FLOAT: return numberText(sqlite3_value_double(argv[i]));
      case SQLITE_NULL: return {};
      default: return std::string(raw(i));
    }
  }
  WString wide(int i) const { return text::utf8ToWide(text(i)); }
  double number(int i) const {
    switch (type(i)) {
      case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(argv[i]));
      case SQLITE_FLOAT: return sqlite3_value_double(argv[i]);
      case SQLITE_NULL: fail("invalid use of Null in argument " + std::to_string(i + 1));
      case SQLITE_TEXT: {
        double d = 0;
        std::string_view s = raw(i);
        if (parseNumber(s, d)) return d;
        if (auto st = parseDateText(s)) return toOleDate(*st);
        fail("type mismatch: '" + std::string(s.substr(0, 40)) + "' is not a number");
      }
      default: fail("type mismatch: argument " + std::to_string(i + 1) + " is binary data");
    }
  }
  // A whole number as CLng makes it: rounded half to even.
  int64_t whole(int i) const {
    double d = number(i);
    double r = std::nearbyint(d);
    if (!std::isfinite(r) || r < -9.2e18 || r > 9.2e18) fail("overflow");
    return static_cast<int64_t>(r);
  }
  Stamp date(int i) const {
    switch (type(i)) {
      case SQLITE_INTEGER:
      case SQLITE_FLOAT: {
        auto s = fromOleDate(sqlite3_value_double(argv[i]));
        if (!s) fail("the number " + numberText(sqlite3_value_double(argv[i])) + " is not a date");
        return *s;
      }
      case SQLITE_NULL: fail("invalid use of Null in argument " + std::to_string(i + 1));
      default: {
        std::string_view s = raw(i);
        if (auto st = parseDateText(s)) return *st;
        fail("type mismatch: '" + std::string(s.substr(0, 40)) + "' is not a date");
      }
    }
  }

  void resultNull() { sqlite3_result_null(ctx); }
  void result(int64_t v) { sqlite3_result_int64(ctx, v); }
  void result(double v) {
    if (!std::isfinite(v)) fail("overflow");
    sqlite3_result_double(ctx, v);
  }
  void result(const std::string& s) { sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8); }
  void result(const WString& s) { result(text::wideToUtf8(s)); }
  void result(const Stamp& s) { result(formatStored(s)); }
  void resultBool(bool b) { sqlite3_result_int64(ctx, b ? -1 : 0); }
  size_t maxLength() const {
    int limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
    return limit > 0 ? static_cast<size_t>(limit) : 1000000000;
  }
};

// ---- dates ----

int weekday(const Stamp& s, int firstDay) {
  int64_t day = calendar::dayNumber(s.year, s.month, s.day);  // day 0 was a Saturday (7)
  int64_t w = ((day + 6) % 7 + 7) % 7;                        // 0 = Sunday
  return static_cast<int>(((w - (firstDay - 1)) % 7 + 7) % 7) + 1;
}

int firstDayArg(Call& c, int i) {
  if (i >= c.argc || c.null(i)) return 1;
  int64_t d = c.whole(i);
  if (d == 0) return 1;  // vbUseSystem: Sunday in this locale
  if (d < 1 || d > 7) c.fail("the first day of the week must be 0 to 7");
  return static_cast<int>(d);
}

Stamp addMonths(Call& c, const Stamp& s, int64_t months) {
  int64_t total = static_cast<int64_t>(s.year) * 12 + (s.month - 1) + months;
  if (total < calendar::kMinYear * 12LL || total > calendar::kMaxYear * 12LL + 11)
    c.fail("the result is not a valid date");
  Stamp r = s;
  r.year = static_cast<int>(total / 12);
  r.month = static_cast<int>(total % 12) + 1;
  r.day = std::min(s.day, calendar::daysInMonth(r.year, r.month));
  return r;
}

Stamp addSeconds(Call& c, const Stamp& s, int64_t seconds) {
  if (seconds > 400000LL * 86400 || seconds < -400000LL * 86400) c.fail("the result is not a valid date");
  auto r = fromSeconds(toSeconds(s) + seconds);
  if (!r) c.fail("the result is not a valid date");
  return *r;
}

void fnDatePartSimple(Call& c, int which) {
  if (c.null(0)) return c.resultNull();
  Stamp s = c.date(0);
  const int parts[] = {s.year, s.month, s.day, s.hour, s.minute, s.second};
  c.result(static_cast<int64_t>(parts[which]));
}
void fnYear(Call& c) { fnDatePartSimple(c, 0); }
void fnMonth(Call& c) { fnDatePartSimple(c, 1); }
void fnDay(Call& c) { fnDatePartSimple(c, 2); }
void fnHour(Call& c) { fnDatePartSimple(c, 3); }
void fnMinute(Call& c) { fnDatePartSimple(c, 4); }
void fnSecond(Call& c) { fnDatePartSimple(c, 5); }

void fnWeekday(Call& c) {
  if (c.null(0)) return c.resultNull();
  c.result(static_cast<int64_t>(weekday(c.date(0), firstDayArg(c, 1))));
}

void fnDatePart(Call& c) {
  c.requireNotNull(0);
  if (c.null(1)) return c.resultNull();
  std::string iv = text::lowerCaseAscii(c.text(0));
  Stamp s = c.date(1);
  int fd = firstDayArg(c, 2);
  int64_t r;
  if (iv == "yyyy")
    r = s.year;
  else if (iv == "q")
    r = (s.month - 1) / 3 + 1;
  else if (iv == "m")
    r = s.month;
  else if (iv == "y")
    r = calendar::dayNumber(s.year, s.month, s.day) - calendar::dayNumber(s.year, 1, 1) + 1;
  else if (iv == "d")
    r = s.day;
  else if (iv == "w")
    r = weekday(s, fd);
  else if (iv == "ww") {
    int64_t doy = calendar::dayNumber(s.year, s.month, s.day) - calendar::dayNumber(s.year, 1, 1);
    r = (doy + weekday({s.year, 1, 1, 0, 0, 0}, fd) - 1) / 7 + 1;
  } else if (iv == "h")
    r = s.hour;
  else if (iv == "n")
    r = s.minute;
  else if (iv == "s")
    r = s.second;
  else
    c.fail("unknown interval '" + iv + "'");
  c.result(r);
}

void fnDateAdd(Call& c) {
  c.requireNotNull(0);
  if (c.null(1) || c.null(2)) return c.resultNull();
  std::string iv = text::lowerCaseAscii(c.text(0));
  int64_t n = c.whole(1);
  Stamp s = c.date(2);
  if (n > 4000000 || n < -4000000) {
    if (iv == "yyyy" || iv == "q" || iv == "m" || iv == "y" || iv == "d" || iv == "w" || iv == "ww")
      c.fail("the result is not a valid date");
  }
  if (iv == "yyyy") return c.result(addMonths(c, s, n * 12));
  if (iv == "q") return c.result(addMonths(c, s, n * 3));
  if (iv == "m") return c.result(addMonths(c, s, n));
  if (iv == "y" || iv == "d" || iv == "w") return c.result(addSeconds(c, s, n * 86400));
  if (iv == "ww") return c.result(addSeconds(c, s, n * 7 * 86400));
  if (n > 400000LL * 86400 || n < -400000LL * 86400) c.fail("the result is not a valid date");
  if (iv == "h") return c.result(addSeconds(c, s, n * 3600));
  if (iv == "n") return c.result(addSeconds(c, s, n * 60));
  if (iv == "s") return c.result(addSeconds(c, s, n));
  c.fail("unknown interval '" + iv + "'");
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

void fnDateDiff(Call& c) {
  c.requireNotNull(0);
  if (c.null(1) || c.null(2)) return c.resultNull();
  std::string iv = text::lowerCaseAscii(c.text(0));
  Stamp a = c.date(1), b = c.date(2);
  int fd = firstDayArg(c, 3);
  int64_t da = calendar::dayNumber(a.year, a.month, a.day), db = calendar::dayNumber(b.year, b.month, b.day);
  int64_t sa = toSeconds(a), sb = toSeconds(b);
  int64_t r;
  // Like VBA: calendar intervals count the boundaries crossed between the two.
  if (iv == "yyyy")
    r = b.year - a.year;
  else if (iv == "q")
    r = (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3);
  else if (iv == "m")
    r = (b.year * 12LL + b.month) - (a.year * 12LL + a.month);
  else if (iv == "y" || iv == "d")
    r = db - da;
  else if (iv == "w")
    r = (db - da) / 7;
  else if (iv == "ww") {
    // Weeks start on the first day of the week; day 0 is a Saturday.
    int64_t shift = (6 + 7 - (fd - 1)) % 7;  // days from the week start to day 0
    r = floorDiv(db + shift, 7) - floorDiv(da + shift, 7);
  } else if (iv == "h")
    r = floorDiv(sb, 3600) - floorDiv(sa, 3600);
  else if (iv == "n")
    r = floorDiv(sb, 60) - floorDiv(sa, 60);
  else if (iv == "s")
    r = sb - sa;
  else
    c.fail("unknown interval '" + iv + "'");
  c.result(r);
}

void fnDateSerial(Call& c) {
  if (c.anyNull()) return c.resultNull();
  int64_t y = c.whole(0), m = c.whole(1), d = c.whole(2);
  if (y >= 0 && y <= 99) y = expandTwoDigitYear(static_cast<int>(y));
  if (std::llabs(y) > 100000 || std::llabs(m) > 1200000 || std::llabs(d) > 40000000)
    c.fail("the result is not a valid date");
  int64_t months = y * 12 + (m - 1);
  int64_t year = floorDiv(months, 12), month = months - year * 12 + 1;
  if (year < calendar::kMinYear - 1 || year > calendar::kMaxYear + 1) c.fail("the result is not a valid date");
  int64_t days = calendar::dayNumber(static_cast<int>(year), static_cast<int>(month), 1) + (d - 1);
  auto s = fromSeconds(days * 86400);
  if (!s) c.fail("the result is not a valid date");
  c.result(*s);
}

void fnTimeSerial(Call& c) {
  if (c.anyNull()) return c.resultNull();
  int64_t h = c.whole(0), m = c.whole(1), s = c.whole(2);
  if (std::llabs(h) > 1000000 || std::llabs(m) > 60000000 || std::llabs(s) > 3600000000LL)
    c.fail("the result is not a valid time");
  auto r = fromSeconds(h * 3600 + m * 60 + s);
  if (!r) c.fail("the result is not a valid time");
  c.result(*r);
}

void fnCDate(Call& c) {
  c.requireNotNull(0);
  c.result(c.date(0));
}

void fnDateValue(Call& c) {
  if (c.null(0)) return c.resultNull();
  Stamp s = c.date(0);
  s.hour = s.minute = s.second = 0;
  c.result(s);
}

void fnTimeValue(Call& c) {
  if (c.null(0)) return c.resultNull();
  Stamp s = c.date(0);
  c.result(Stamp{1899, 12, 30, s.hour, s.minute, s.second});
}

// ---- text ----

int64_t lengthArg(Call& c, int i) {
  c.requireNotNull(i);
  int64_t n = c.whole(i);
  if (n < 0) c.fail("argument " + std::to_string(i + 1) + " must not be negative");
  return n;
}

void fnLeft(Call& c) {
  if (c.null(0)) return c.resultNull();
  int64_t n = lengthArg(c, 1);
  WString s = c.wide(0);
  c.result(s.substr(0, static_cast<size_t>(std::min<int64_t>(n, static_cast<int64_t>(s.size())))));
}

void fnRight(Call& c) {
  if (c.null(0)) return c.resultNull();
  int64_t n = lengthArg(c, 1);
  WString s = c.wide(0);
  size_t k = static_cast<size_t>(std::min<int64_t>(n, static_cast<int64_t>(s.size())));
  c.result(s.substr(s.size() - k));
}

void fnMid(Call& c) {
  if (c.null(0)) return c.resultNull();
  c.requireNotNull(1);
  int64_t start = c.whole(1);
  if (start < 1) c.fail("the start must be 1 or more");
  int64_t len = -1;
  if (c.argc > 2) {
    if (c.null(2)) c.fail("invalid use of Null in argument 3");
    len = lengthArg(c, 2);
  }
  WString s = c.wide(0);
  if (start > static_cast<int64_t>(s.size())) return c.result(std::string());
  size_t from = static_cast<size_t>(start - 1);
  c.result(len < 0 ? s.substr(from) : s.substr(from, static_cast<size_t>(len)));
}

void fnLen(Call& c) {
  if (c.null(0)) return c.resultNull();
  c.result(static_cast<int64_t>(c.wide(0).size()));
}

void trimWith(Call& c, bool left, bool right) {
  if (c.null(0)) return c.resultNull();
  std::string s = c.text(0);
  size_t b = 0, e = s.size();
  if (left)
    while (b < e && s[b] == ' ') ++b;
  if (right)
    while (e > b && s[e - 1] == ' ') --e;
  c.result(s.substr(b, e - b));
}
void fnTrim(Call& c) { trimWith(c, true, true); }
void fnLTrim(Call& c) { trimWith(c, true, false); }
void fnRTrim(Call& c) { trimWith(c, false, true); }

void fnUCase(Call& c) {
  if (c.null(0)) return c.resultNull();
  c.result(text::upperCase(c.wide(0)));
}

void fnLCase(Call& c) {
  if (c.null(0)) return c.resultNull();
  c.result(text::lowerCase(c.wide(0)));
}

// Text comparison unless the compare argument asks for binary (0).
bool textCompareArg(Call& c, int i) {
  if (i >= c.argc || c.null(i)) return true;
  int64_t mode = c.whole(i);
  if (mode < -1 || mode > 2) c.fail("the compare argument must be -1, 0, 1 or 2");
  return mode != 0;
}

size_t findWide(const WString& hay, const WString& needle, size_t from, bool noCase) {
  if (!noCase) return hay.find(needle, from);
  return text::upperCase(hay).find(text::upperCase(needle), from);
}

void fnInStr(Call& c) {
  int base = 0;
  int64_t start = 1;
  if (c.argc >= 3) {
    c.requireNotNull(0);
    start = c.whole(0);
    if (start < 1) c.fail("the start must be 1 or more");
    base = 1;
  }
  if (c.null(base) || c.null(base + 1)) return c.resultNull();
  bool noCase = textCompareArg(c, base + 2);
  WString hay = c.wide(base), needle = c.wide(base + 1);
  if (start > static_cast<int64_t>(hay.size())) return c.result(int64_t{0});
  if (needle.empty()) return c.result(start);
  size_t at = findWide(hay, needle, static_cast<size_t>(start - 1), noCase);
  c.result(at == WString::npos ? int64_t{0} : static_cast<int64_t>(at + 1));
}

void fnStrComp(Call& c) {
  if (c.null(0) || c.null(1)) return c.resultNull();
  bool noCase = textCompareArg(c, 2);
  WString a = c.wide(0), b = c.wide(1);
  if (noCase) {
    a = text::upperCase(a);
    b = text::upperCase(b);
  }
  int r = a.compare(b);
  c.result(static_cast<int64_t>(r < 0 ? -1 : r > 0 ? 1 : 0));
}

void fnSpace(Call& c) {
  int64_t n = lengthArg(c, 0);
  if (static_cast<uint64_t>(n) > c.maxLength()) c.fail("the length " + std::to_string(n) + " is too large");
  c.result(std::string(static_cast<size_t>(n), ' '));
}

// Chr: a code of the server's ANSI code page (936), as VBA's Chr gives it.
WString charOfAnsiCode(Call& c, int64_t code) {
  if (code < -32768 || code > 65535) c.fail("the code " + std::to_string(code) + " is out of range");
  if (code < 0) code += 65536;
  if (code < 0x80) return WString(1, static_cast<char16_t>(code));
  std::string bytes;
  if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
  bytes.push_back(static_cast<char>(code & 0xFF));
  WString w = text::ansiToWide(bytes);
  if (w.size() != 1 || w[0] == 0xFFFD) c.fail("no character has the code " + std::to_string(code));
  return w;
}

void fnString(Call& c) {
  if (c.null(1)) return c.resultNull();
  int64_t n = lengthArg(c, 0);
  char16_t ch;
  if (c.type(1) == SQLITE_INTEGER || c.type(1) == SQLITE_FLOAT) {
    ch = charOfAnsiCode(c, c.whole(1) % 256)[0];
  } else {
    WString s = c.wide(1);
    if (s.empty()) c.fail("the character argument is empty");
    ch = s[0];
  }
  std::string one = text::wideToUtf8(WString(1, ch));
  if (static_cast<uint64_t>(n) * one.size() > c.maxLength())
    c.fail("the length " + std::to_string(n) + " is too large");
  std::string out;
  out.reserve(static_cast<size_t>(n) * one.size());
  for (int64_t i = 0; i < n; ++i) out += one;
  c.result(out);
}

void fnReplace(Call& c) {
  if (c.null(0) || c.null(1) || c.null(2)) return c.resultNull();
  WString s = c.wide(0), find = c.wide(1), with = c.wide(2);
  int64_t start = 1, count = -1;
  if (c.argc > 3 && !c.null(3)) start = c.whole(3);
  if (c.argc > 4 && !c.null(4)) count = c.whole(4);
  if (start < 1) c.fail("the start must be 1 or more");
  if (count < -1) c.fail("the count must be -1 or more");
  bool noCase = textCompareArg(c, 5);
  // VBA's Replace returns the text from the start position on.
  if (start > static_cast<int64_t>(s.size())) return c.result(std::string());
  s = s.substr(static_cast<size_t>(start - 1));
  if (find.empty() || count == 0) return c.result(s);
  WString upper = noCase ? text::upperCase(s) : s;
  WString key = noCase ? text::upperCase(find) : find;
  WString out;
  size_t at = 0;
  int64_t done = 0;
  while (count < 0 || done < count) {
    size_t hit = upper.find(key, at);
    if (hit == WString::npos) break;
    out.append(s, at, hit - at);
    out += with;
    at = hit + find.size();
    ++done;
    if (out.size() > c.maxLength()) c.fail("the result is too long");
  }
  out.append(s, at, WString::npos);
  c.result(out);
}

void fnChr(Call& c) {
  c.requireNotNull(0);
  c.result(charOfAnsiCode(c, c.whole(0)));
}

void fnChrW(Call& c) {
  c.requireNotNull(0);
  int64_t code = c.whole(0);
  if (code < -32768 || code > 65535) c.fail("the code " + std::to_string(code) + " is out of range");
  if (code < 0) code += 65536;
  if (code >= 0xD800 && code <= 0xDFFF) c.fail("the code " + std::to_string(code) + " is half of a surrogate pair");
  c.result(WString(1, static_cast<char16_t>(code)));
}

void fnAsc(Call& c) {
  c.requireNotNull(0);
  WString s = c.wide(0);
  if (s.empty()) c.fail("the text is empty");
  if (s[0] < 0x80) return c.result(static_cast<int64_t>(s[0]));
  std::string a = text::wideToAnsi(WString(1, s[0]));
  if (a.size() == 1) return c.result(static_cast<int64_t>(static_cast<unsigned char>(a[0])));
  int v = (static_cast<unsigned char>(a[0]) << 8) | static_cast<unsigned char>(a[1]);
  c.result(static_cast<int64_t>(v >= 0x8000 ? v - 0x10000 : v));  // VBA's Asc is an Integer
}

void fnAscW(Call& c) {
  c.requireNotNull(0);
  WString s = c.wide(0);
  if (s.empty()) c.fail("the text is empty");
  int v = s[0];
  c.result(static_cast<int64_t>(v >= 0x8000 ? v - 0x10000 : v));
}

// ---- conversions ----

void fnCStr(Call& c) {
  c.requireNotNull(0);
  c.result(c.text(0));
}

void fnStr(Call& c) {
  c.requireNotNull(0);
  double d = c.number(0);
  std::string t = c.type(0) == SQLITE_INTEGER ? std::to_string(sqlite3_value_int64(c.argv[0])) : numberText(d);
  c.result(d >= 0 ? " " + t : t);
}

void fnCDbl(Call& c) {
  c.requireNotNull(0);
  c.result(c.number(0));
}

void fnCSng(Call& c) {
  c.requireNotNull(0);
  double d = c.number(0);
  if (std::fabs(d) > std::numeric_limits<float>::max()) c.fail("overflow");
  c.result(static_cast<double>(static_cast<float>(d)));
}

void fnCCur(Call& c) {
  c.requireNotNull(0);
  double d = c.number(0);
  if (std::fabs(d) > 922337203685477.0) c.fail("overflow");
  c.result(roundBankers(d, 4));
}

void wholeInRange(Call& c, int64_t lo, int64_t hi) {
  c.requireNotNull(0);
  if (c.type(0) == SQLITE_INTEGER) {
    int64_t v = sqlite3_value_int64(c.argv[0]);
    if (v < lo || v > hi) c.fail("overflow");
    return c.result(v);
  }
  double r = std::nearbyint(c.number(0));  // half to even, as VBA
  if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi))) c.fail("overflow");
  c.result(static_cast<int64_t>(r));
}
void fnCLng(Call& c) { wholeInRange(c, -2147483648LL, 2147483647LL); }
void fnCInt(Call& c) { wholeInRange(c, -32768, 32767); }

void fnCBool(Call& c) {
  c.requireNotNull(0);
  if (c.type(0) == SQLITE_TEXT) {
    std::string t = text::lowerCaseAscii(c.text(0));
    if (t == "true") return c.resultBool(true);
    if (t == "false") return c.resultBool(false);
  }
  c.resultBool(c.number(0) != 0);
}

void fnVal(Call& c) {
  c.requireNotNull(0);
  if (c.type(0) == SQLITE_INTEGER || c.type(0) == SQLITE_FLOAT) return c.result(c.number(0));
  c.result(leadingNumber(c.text(0)));
}

void fnFormat(Call& c) {
  if (c.null(0)) return c.resultNull();
  FormatValue v;
  if (c.type(0) == SQLITE_INTEGER || c.type(0) == SQLITE_FLOAT) {
    v.kind = FormatValue::Kind::Number;
    v.number = c.number(0);
    v.integral = c.type(0) == SQLITE_INTEGER;
  }
  v.text = c.text(0);
  std::string f = c.argc > 1 && !c.null(1) ? c.text(1) : std::string();
  if (f.size() > 4096) c.fail("the format is longer than 4096 characters");
  c.result(jetFormat(v, f));
}

// ---- numbers ----

template <class IntOp, class RealOp>
void numeric1(Call& c, IntOp onInt, RealOp onReal) {
  if (c.null(0)) return c.resultNull();
  if (c.type(0) == SQLITE_INTEGER) return onInt(sqlite3_value_int64(c.argv[0]));
  onReal(c.number(0));
}

void fnFix(Call& c) {
  numeric1(
      c, [&](int64_t v) { c.result(v); }, [&](double d) { c.result(std::trunc(d)); });
}
void fnInt(Call& c) {
  numeric1(
      c, [&](int64_t v) { c.result(v); }, [&](double d) { c.result(std::floor(d)); });
}
void fnAbs(Call& c) {
  numeric1(
      c,
      [&](int64_t v) {
        if (v == std::numeric_limits<int64_t>::min()) return c.result(-static_cast<double>(v));
        c.result(v < 0 ? -v : v);
      },
      [&](double d) { c.result(std::fabs(d)); });
}
void fnSgn(Call& c) {
  auto sgn = [&](double d) { c.result(static_cast<int64_t>(d > 0 ? 1 : d < 0 ? -1 : 0)); };
  numeric1(
      c, [&](int64_t v) { sgn(static_cast<double>(v)); }, sgn);
}

void fnRound(Call& c) {
  if (c.null(0)) return c.resultNull();
  int64_t digits = 0;
  if (c.argc > 1) {
    c.requireNotNull(1);
    digits = c.whole(1);
    if (digits < 0) c.fail("the number of decimals must not be negative");
  }
  if (c.type(0) == SQLITE_INTEGER) return c.result(static_cast<int64_t>(sqlite3_value_int64(c.argv[0])));
  double d = c.number(0);
  if (digits == 0) return c.result(std::nearbyint(d));
  c.result(roundBankers(d, static_cast<int>(std::min<int64_t>(digits, 16))));
}

void fnSqr(Call& c) {
  if (c.null(0)) return c.resultNull();
  double d = c.number(0);
  if (d < 0) c.fail("the square root of a negative number");
  c.result(std::sqrt(d));
}

// ---- operators the translator turns into calls ----

void fnConcat(Call& c) {
  // Jet's &: Null reads as empty text, but Null & Null stays Null.
  std::string out;
  bool any = false;
  for (int i = 0; i < c.argc; ++i) {
    if (c.null(i)) continue;
    any = true;
    out += c.text(i);
    if (out.size() > c.maxLength()) c.fail("the result is too long");
  }
  if (!any) return c.resultNull();
  c.result(out);
}

// A text operand that is a date: moved by days, as Jet's + and - do.
std::optional<Stamp> dateOperand(Call& c, int i) {
  if (c.type(i) != SQLITE_TEXT) return std::nullopt;
  std::string_view s = c.raw(i);
  double ignored;
  if (parseNumber(s, ignored)) return std::nullopt;
  return parseDateText(s);
}

Stamp plusDays(Call& c, const Stamp& s, double days) {
  if (!(std::fabs(days) < 4.0e6)) c.fail("the result is not a valid date");
  return addSeconds(c, s, static_cast<int64_t>(std::llround(days * 86400.0)));
}

void fnAdd(Call& c) {
  if (c.anyNull()) return c.resultNull();
  auto da = dateOperand(c, 0), db = dateOperand(c, 1);
  if (da && !db) return c.result(plusDays(c, *da, c.number(1)));
  if (db && !da) return c.result(plusDays(c, *db, c.number(0)));
  // Two texts are joined, as VBA's + does with strings.
  if (c.type(0) == SQLITE_TEXT && c.type(1) == SQLITE_TEXT) return c.result(c.text(0) + c.text(1));
  if (c.type(0) == SQLITE_INTEGER && c.type(1) == SQLITE_INTEGER) {
    int64_t r;
    if (!__builtin_add_overflow(sqlite3_value_int64(c.argv[0]), sqlite3_value_int64(c.argv[1]), &r)) return c.result(r);
  }
  c.result(c.number(0) + c.number(1));
}

void fnSub(Call& c) {
  if (c.anyNull()) return c.resultNull();
  auto da = dateOperand(c, 0), db = dateOperand(c, 1);
  if (da && db) return c.result(static_cast<double>(toSeconds(*da) - toSeconds(*db)) / 86400.0);
  if (da) return c.result(plusDays(c, *da, -c.number(1)));
  if (c.type(0) == SQLITE_INTEGER && c.type(1) == SQLITE_INTEGER) {
    int64_t r;
    if (!__builtin_sub_overflow(sqlite3_value_int64(c.argv[0]), sqlite3_value_int64(c.argv[1]), &r)) return c.result(r);
  }
  c.result(c.number(0) - c.number(1));
}

void fnDivide(Call& c) {
  if (c.anyNull()) return c.resultNull();
  double a = c.number(0), b = c.number(1);
  if (b == 0) throw FnError("Division by zero");
  c.result(a / b);
}

void fnIntDivide(Call& c) {
  if (c.anyNull()) return c.resultNull();
  int64_t a = c.whole(0), b = c.whole(1);
  if (b == 0) c.fail("division by zero");
  if (a == std::numeric_limits<int64_t>::min() && b == -1) c.fail("overflow");
  c.result(a / b);
}

void fnMod(Call& c) {
  if (c.anyNull()) return c.resultNull();
  int64_t a = c.whole(0), b = c.whole(1);
  if (b == 0) c.fail("division by zero");
  if (b == -1) return c.result(int64_t{0});
  c.result(a % b);
}

void fnPow(Call& c) {
  if (c.anyNull()) return c.resultNull();
  double a = c.number(0), b = c.number(1);
  if (a < 0 && b != std::trunc(b)) c.fail("a negative number to a fractional power");
  if (a == 0 && b < 0) c.fail("division by zero");
  c.result(std::pow(a, b));
}

void fnXor(Call& c) {
  if (c.anyNull()) return c.resultNull();
  c.result(c.whole(0) ^ c.whole(1));
}

// Jet's LIKE: * or % any run, ? or _ one character, # one digit, [a-z] and
// [!a-z] character lists; letter case ignored.
struct PatternItem {
  enum Kind { Any, One, Digit, Char, Set } kind;
  char16_t ch = 0;
  bool negated = false;
  std::vector<std::pair<char16_t, char16_t>> ranges;
  explicit PatternItem(Kind k, char16_t c = 0) : kind(k), ch(c) {}
};

std::vector<PatternItem> compilePattern(Call& c, const WString& p) {
  std::vector<PatternItem> items;
  for (size_t i = 0; i < p.size(); ++i) {
    char16_t ch = p[i];
    if (ch == u'*' || ch == u'%') {
      if (items.empty() || items.back().kind != PatternItem::Any) items.emplace_back(PatternItem::Any);
    } else if (ch == u'?' || ch == u'_') {
      items.emplace_back(PatternItem::One);
    } else if (ch == u'#') {
      items.emplace_back(PatternItem::Digit);
    } else if (ch == u'[') {
      size_t end = p.find(u']', i + 1);
      if (end == WString::npos) c.fail("the pattern has a '[' without ']'");
      PatternItem set(PatternItem::Set);
      size_t k = i + 1;
      if (k < end && p[k] == u'!') {
        set.negated = true;
        ++k;
      }
      if (k == end && !set.negated) {  // "[]" matches nothing: the empty text
        i = end;
        continue;
      }
      for (; k < end; ++k) {
        char16_t lo = text::upperChar(p[k]), hi = lo;
        if (k + 2 < end && p[k + 1] == u'-') {
          hi = text::upperChar(p[k + 2]);
          k += 2;
          if (hi < lo) c.fail("the pattern has a range in descending order");
        }
        set.ranges.emplace_back(lo, hi);
      }
      items.push_back(std::move(set));
      i = end;
    } else {
      items.emplace_back(PatternItem::Char, text::upperChar(ch));
    }
  }
  return items;
}

bool matchOne(const PatternItem& it, char16_t ch) {
  switch (it.kind) {
    case PatternItem::One: return true;
    case PatternItem::Digit: return ch >= u'0' && ch <= u'9';
    case PatternItem::Char: return text::upperChar(ch) == it.ch;
    case PatternItem::Set: {
      char16_t u = text::upperChar(ch);
      bool in = std::any_of(it.ranges.begin(), it.ranges.end(), [&](auto& r) { return u >= r.first && u <= r.second; });
      return in != it.negated;
    }
    case PatternItem::Any: return false;
  }
  return false;
}

bool likeMatch(const std::vector<PatternItem>& pat, const WString& s) {
  // Greedy matching with one backtrack point per star: O(len * pattern).
  size_t p = 0, i = 0, starP = SIZE_MAX, starI = 0;
  while (i < s.size()) {
    if (p < pat.size() && pat[p].kind == PatternItem::Any) {
      starP = p++;
      starI = i;
    } else if (p < pat.size() && matchOne(pat[p], s[i])) {
      ++p;
      ++i;
    } else if (starP != SIZE_MAX) {
      p = starP + 1;
      i = ++starI;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p].kind == PatternItem::Any) ++p;
  return p == pat.size();
}

void fnLike(Call& c) {
  if (c.anyNull()) return c.resultNull();
  std::vector<PatternItem> pat = compilePattern(c, c.wide(1));
  c.result(static_cast<int64_t>(likeMatch(pat, c.wide(0)) ? 1 : 0));
}

// ---- the table ----

constexpr int kMany = 127;

const FunctionDef kFunctions[] = {
    {{"year", "jet_year", SqlType::Number}, "Year", 1, 1, fnYear},
    {{"month", "jet_month", SqlType::Number}, "Month", 1, 1, fnMonth},
    {{"day", "jet_day", SqlType::Number}, "Day", 1, 1, fnDay},
    {{"hour", "jet_hour", SqlType::Number}, "Hour", 1, 1, fnHour},
    {{"minute", "jet_minute", SqlType::Number}, "Minute", 1, 1, fnMinute},
    {{"second", "jet_second", SqlType::Number}, "Second", 1, 1, fnSecond},
    {{"weekday", "jet_weekday", SqlType::Number}, "Weekday", 1, 2, fnWeekday},
    {{"datepart", "jet_datepart", SqlType::Number}, "DatePart", 2, 4, fnDatePart},
    {{"dateadd", "jet_dateadd", SqlType::Date}, "DateAdd", 3, 3, fnDateAdd},
    {{"datediff", "jet_datediff", SqlType::Number}, "DateDiff", 3, 5, fnDateDiff},
    {{"dateserial", "jet_dateserial", SqlType::Date}, "DateSerial", 3, 3, fnDateSerial},
    {{"timeserial", "jet_timeserial", SqlType::Date}, "TimeSerial", 3, 3, fnTimeSerial},
    {{"datevalue", "jet_datevalue", SqlType::Date}, "DateValue", 1, 1, fnDateValue},
    {{"timevalue", "jet_timevalue", SqlType::Date}, "TimeValue", 1, 1, fnTimeValue},
    {{"cdate", "jet_cdate", SqlType::Date}, "CDate", 1, 1, fnCDate},
    {{"left", "jet_left", SqlType::Text}, "Left", 2, 2, fnLeft},
    {{"right", "jet_right", SqlType::Text}, "Right", 2, 2, fnRight},
    {{"mid", "jet_mid", SqlType::Text}, "Mid", 2, 3, fnMid},
    {{"len", "jet_len", SqlType::Number}, "Len", 1, 1, fnLen},
    {{"trim", "jet_trim", SqlType::Text}, "Trim", 1, 1, fnTrim},
    {{"ltrim", "jet_ltrim", SqlType::Text}, "LTrim", 1, 1, fnLTrim},
    {{"rtrim", "jet_rtrim", SqlType::Text}, "RTrim", 1, 1, fnRTrim},
    {{"ucase", "jet_ucase", SqlType::Text}, "UCase", 1, 1, fnUCase},
    {{"lcase", "jet_lcase", SqlType::Text}, "LCase", 1, 1, fnLCase},
    {{"instr", "jet_instr", SqlType::Number}, "InStr", 2, 4, fnInStr},
    {{"strcomp", "jet_strcomp", SqlType::Number}, "StrComp", 2, 3, fnStrComp},
    {{"space", "jet_space", SqlType::Text}, "Space", 1, 1, fnSpace},
    {{"string", "jet_string", SqlType::Text}, "String", 2, 2, fnString},
    {{"replace", "jet_replace", SqlType::Text}, "Replace", 3, 6, fnReplace},
    {{"chr", "jet_chr", SqlType::Text}, "Chr", 1, 1, fnChr},
    {{"chrw", "jet_chrw", SqlType::Text}, "ChrW", 1, 1, fnChrW},
    {{"asc", "jet_asc", SqlType::Number}, "Asc", 1, 1, fnAsc},
    {{"ascw", "jet_ascw", SqlType::Number}, "AscW", 1, 1, fnAscW},
    {{"cstr", "jet_cstr", SqlType::Text}, "CStr", 1, 1, fnCStr},
    {{"str", "jet_str", SqlType::Text}, "Str", 1, 1, fnStr},
    {{"cdbl", "jet_cdbl", SqlType::Number}, "CDbl", 1, 1, fnCDbl},
    {{"csng", "jet_csng", SqlType::Number}, "CSng", 1, 1, fnCSng},
    {{"ccur", "jet_ccur", SqlType::Number}, "CCur", 1, 1, fnCCur},
    {{"clng", "jet_clng", SqlType::Number}, "CLng", 1, 1, fnCLng},
    {{"cint", "jet_cint", SqlType::Number}, "CInt", 1, 1, fnCInt},
    {{"cbool", "jet_cbool", SqlType::Boolean}, "CBool", 1, 1, fnCBool},
    {{"val", "jet_val", SqlType::Number}, "Val", 1, 1, fnVal},
    {{"format", "jet_format", SqlType::Text}, "Format", 1, 2, fnFormat},
    {{"fix", "jet_fix", SqlType::Number}, "Fix", 1, 1, fnFix},
    {{"int", "jet_int", SqlType::Number}, "Int", 1, 1, fnInt},
    {{"abs", "jet_abs", SqlType::Number}, "Abs", 1, 1, fnAbs},
    {{"sgn", "jet_sgn", SqlType::Number}, "Sgn", 1, 1, fnSgn},
    {{"round", "jet_round", SqlType::Number}, "Round", 1, 2, fnRound},
    {{"sqr", "jet_sqr", SqlType::Number}, "Sqr", 1, 1, fnSqr},
    // Operators of Jet SQL, called by the translated text.
    {{"", "jet_concat", SqlType::Text}, "&", 1, kMany, fnConcat},
    {{"", "jet_add", SqlType::Unknown}, "+", 2, 2, fnAdd},
    {{"", "jet_sub", SqlType::Unknown}, "-", 2, 2, fnSub},
    {{"", "jet_div", SqlType::Number}, "/", 2, 2, fnDivide},
    {{"", "jet_idiv", SqlType::Number}, "\\", 2, 2, fnIntDivide},
    {{"", "jet_mod", SqlType::Number}, "Mod", 2, 2, fnMod},
    {{"", "jet_pow", SqlType::Number}, "^", 2, 2, fnPow},
    {{"", "jet_xor", SqlType::Number}, "Xor", 2, 2, fnXor},
    {{"", "jet_like", SqlType::Boolean}, "Like", 2, 2, fnLike},
};

void dispatch(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto* def = static_cast<const FunctionDef*>(sqlite3_user_data(ctx));
  try {
    if (argc < def->minArgs || argc > def->maxArgs) {
      std::string want = def->minArgs == def->maxArgs
                             ? std::to_string(def->minArgs)
                             : std::to_string(def->minArgs) + " to " + std::to_string(def->maxArgs);
      throw FnError(std::string(def->display) + ": takes " + want + " arguments, not " + std::to_string(argc));
    }
    Call c{ctx, argc, argv, def};
    def->impl(c);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
}

// ---- aggregates: First, Last, StDev, StDevP, Var, VarP ----

struct Kept {
  sqlite3_value* value;
  bool seen;
};

template <bool Last>
void keepStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
  if (!k) return sqlite3_result_error_nomem(ctx);
  if (k->seen && !Last) return;
  sqlite3_value* copy = sqlite3_value_dup(argv[0]);
  if (!copy) return sqlite3_result_error_nomem(ctx);
  if (k->value) sqlite3_value_free(k->value);
  k->value = copy;
  k->seen = true;
}

void keepFinal(sqlite3_context* ctx) {
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, 0));
  if (!k || !k->value) return sqlite3_result_null(ctx);
  sqlite3_result_value(ctx, k->value);
  sqlite3_value_free(k->value);
  k->value = nullptr;
}

struct Spread {
  int64_t n;
  double mean, m2;
  bool failed;
};

void spreadStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, sizeof(Spread)));
  if (!s) return sqlite3_result_error_nomem(ctx);
  int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL) return;
  double x;
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
    x = sqlite3_value_double(argv[0]);
  } else {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (!p || !parseNumber(p, x)) {
      s->failed = true;
      return;
    }
  }
  // Welford's running mean and sum of squared deviations.
  ++s->n;
  double d = x - s->mean;
  s->mean += d / static_cast<double>(s->n);
  s->m2 += d * (x - s->mean);
}

template <bool Population, bool Root>
void spreadFinal(sqlite3_context* ctx) {
  auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, 0));
  if (s && s->failed) return sqlite3_result_error(ctx, "StDev/Var: type mismatch: a value is not a number", -1);
  int64_t need = Population ? 1 : 2;
  if (!s || s->n < need) return sqlite3_result_null(ctx);
  double v = s->m2 / static_cast<double>(Population ? s->n : s->n - 1);
  sqlite3_result_double(ctx, Root ? std::sqrt(v) : v);
}

struct AggregateDef {
  JetFunctionInfo info;
  void (*step)(sqlite3_context*, int, sqlite3_value**);
  void (*final)(sqlite3_context*);
};

const AggregateDef kAggregates[] = {
    {{"first", "jet_first", SqlType::Unknown}, keepStep<false>, keepFinal},
    {{"last", "jet_last", SqlType::Unknown}, keepStep<true>, keepFinal},
    {{"stdev", "jet_stdev", SqlType::Number}, spreadStep, spreadFinal<false, true>},
    {{"stdevp", "jet_stdevp", SqlType::Number}, spreadStep, spreadFinal<true, true>},
    {{"var", "jet_var", SqlType::Number}, spreadStep, spreadFinal<false, false>},
    {{"varp", "jet_varp", SqlType::Number}, spreadStep, spreadFinal<true, false>},
};

}  // namespace

const JetFunctionInfo* findJetFunction(std::string_view name) {
  std::string key = text::lowerCaseAscii(name);
  if (!key.empty() && key.back() == '$') key.pop_back();
  if (key.empty()) return nullptr;
  for (const FunctionDef& f : kFunctions)
    if (f.info.jetName == key) return &f.info;
  for (const AggregateDef& a : kAggregates)
    if (a.info.jetName == key) return &a.info;
  return nullptr;
}

void installJetFunctions(sqlite3* db) {
  if (!db) throw std::runtime_error("Jet functions: no database connection");
  for (const FunctionDef& f : kFunctions) {
    int rc = sqlite3_create_function_v2(db, f.info.sqlName.data(), -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                        const_cast<FunctionDef*>(&f), dispatch, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
      throw std::runtime_error("Jet functions: cannot install " + std::string(f.info.sqlName) + ": " +
                               sqlite3_errstr(rc));
  }
  for (const AggregateDef& a : kAggregates) {
    int rc = sqlite3_create_function_v2(db, a.info.sqlName.data(), 1, SQLITE_UTF8, nullptr, nullptr, a.step, a.final,
                                        nullptr);
    if (rc != SQLITE_OK)
      throw std::runtime_error("Jet functions: cannot install " + std::string(a.info.sqlName) + ": " +
                               sqlite3_errstr(rc));
  }
  installStoreFunctions(db);
  // Bracketed Jet names become "quoted" identifiers; a misspelt one must
  // fail as an unknown column, not turn silently into a text literal.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
}

}  // namespace rvz::data::jet
