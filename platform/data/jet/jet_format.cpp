// Jet's Format function: VBA's number, date and text formats.
#include "platform/data/jet/jet_format.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/calendar/calendar.h"
#include "platform/data/jet/jet_convert.h"
#include "platform/text/text.h"

namespace rvz::data::jet {

namespace {

bool startsNoCase(std::string_view s, size_t at, std::string_view prefix) {
  return s.size() - at >= prefix.size() && text::equalsNoCaseAscii(s.substr(at, prefix.size()), prefix);
}

// The server locale's names.
constexpr std::array<std::string_view, 12> kMonthNames = {"一月", "二月", "三月", "四月", "五月",   "六月",
                                                          "七月", "八月", "九月", "十月", "十一月", "十二月"};
constexpr std::array<std::string_view, 7> kDayAbbrev = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};
constexpr std::array<std::string_view, 7> kDayNames = {"星期日", "星期一", "星期二", "星期三",
                                                       "星期四", "星期五", "星期六"};
constexpr std::string_view kAm = "上午";
constexpr std::string_view kPm = "下午";

// Splits a format into its ;-separated sections, minding quotes and escapes.
std::vector<std::string_view> sections(std::string_view f) {
  std::vector<std::string_view> out;
  size_t start = 0;
  bool quoted = false;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c == '"')
      quoted = !quoted;
    else if (!quoted && c == '\\')
      ++i;
    else if (!quoted && c == ';') {
      out.push_back(f.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(f.substr(std::min(start, f.size())));
  return out;
}

int weekdaySunday1(const Stamp& s) {
  int64_t day = calendar::dayNumber(s.year, s.month, s.day);  // day 0 was a Saturday
  return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

int dayOfYear(const Stamp& s) {
  return static_cast<int>(calendar::dayNumber(s.year, s.month, s.day) - calendar::dayNumber(s.year, 1, 1)) + 1;
}

std::string twoDigits(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

// ---- numbers ----

struct NumItem {
  enum Kind { Zero, Hash, Point, Comma, Percent, Exp, Lit } kind;
  std::string text;      // Lit
  bool expPlus = false;  // Exp: E+ writes the sign of positive exponents
  int expDigits = 0;     // Exp: least exponent digits
};

std::vector<NumItem> numberItems(std::string_view f) {
  std::vector<NumItem> items;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c == '0')
      items.push_back({NumItem::Zero, {}});
    else if (c == '#')
      items.push_back({NumItem::Hash, {}});
    else if (c == '.')
      items.push_back({NumItem::Point, {}});
    else if (c == ',')
      items.push_back({NumItem::Comma, {}});
    else if (c == '%')
      items.push_back({NumItem::Percent, {}});
    else if ((c == 'E' || c == 'e') && i + 1 < f.size() && (f[i + 1] == '+' || f[i + 1] == '-')) {
      NumItem e{NumItem::Exp, {}};
      e.expPlus = f[i + 1] == '+';
      i += 2;
      while (i < f.size() && (f[i] == '0' || f[i] == '#')) {
        if (f[i] == '0') ++e.expDigits;
        ++i;
      }
      --i;
      items.push_back(e);
    } else if (c == '"') {
      size_t end = f.find('"', i + 1);
      if (end == std::string_view::npos) end = f.size();
      items.push_back({NumItem::Lit, std::string(f.substr(i + 1, end - i - 1))});
      i = end;
    } else if (c == '\\' && i + 1 < f.size()) {
      items.push_back({NumItem::Lit, std::string(1, f[++i])});
    } else {
      items.push_back({NumItem::Lit, std::string(1, c)});
    }
  }
  return items;
}

bool isDigitPlace(const NumItem& it) { return it.kind == NumItem::Zero || it.kind == NumItem::Hash; }

// Where a number section's parts stand and what they ask for.
struct NumberLayout {
  size_t point = 0, exp = 0;  // the decimal point and the exponent; items.size() when absent
  size_t intEnd = 0;          // the integer part's items end here
  size_t firstPlace = 0;      // the first integer digit place; items.size() when none
  int intZeros = 0, intPlaces = 0, fracZeros = 0, fracPlaces = 0;
  bool thousands = false;  // a comma among the integer places groups by thousands
  int scale = 0;           // commas right after the last digit place divide by 1000 each
  bool percent = false;
};

NumberLayout layoutOf(const std::vector<NumItem>& items) {
  NumberLayout l;
  l.point = l.exp = l.firstPlace = items.size();
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind == NumItem::Point && l.point == items.size() && l.exp == items.size()) l.point = i;
    if (items[i].kind == NumItem::Exp && l.exp == items.size()) l.exp = i;
    l.percent = l.percent || items[i].kind == NumItem::Percent;
  }
  l.intEnd = std::min(l.point, l.exp);
  size_t lastIntPlace = items.size();
  for (size_t i = 0; i < l.intEnd; ++i) {
    if (!isDigitPlace(items[i])) continue;
    ++l.intPlaces;
    if (items[i].kind == NumItem::Zero) ++l.intZeros;
    if (l.firstPlace == items.size()) l.firstPlace = i;
    lastIntPlace = i;
  }
  for (size_t i = l.point + 1; i < l.exp && i < items.size(); ++i) {
    if (!isDigitPlace(items[i])) continue;
    ++l.fracPlaces;
    if (items[i].kind == NumItem::Zero) ++l.fracZeros;
  }
  bool seenPlace = false;
  for (size_t i = 0; i < l.intEnd; ++i) {
    if (isDigitPlace(items[i])) seenPlace = true;
    if (items[i].kind == NumItem::Comma && seenPlace) {
      if (lastIntPlace != items.size() && i > lastIntPlace)
        ++l.scale;
      else
        l.thousands = true;
    }
  }
  return l;
}

// With an exponent in the format: the exponent that leaves as many integer
// digits as the format has places (at least one); x is divided by it.
int takeExponent(double& x, const NumberLayout& l) {
  int lead = std::max(l.intPlaces, 1);
  int exponent = static_cast<int>(std::floor(std::log10(x))) - (lead - 1);
  double mantissa = x / std::pow(10.0, exponent);
  DecimalDigits m = decimalDigits(mantissa, l.fracPlaces, false);
  if (static_cast<int>(m.whole.size()) > lead) ++exponent;  // 9.99 rounded up to 10.0
  x = x / std::pow(10.0, exponent);
  return exponent;
}

std::string exponentText(int exponent, const NumItem& it) {
  std::string digits = std::to_string(std::abs(exponent));
  while (static_cast<int>(digits.size()) < it.expDigits) digits.insert(digits.begin(), '0');
  return std::string("E") + (exponent < 0 ? "-" : it.expPlus ? "+" : "") + digits;
}

// The integer part: places filled from the right; digits beyond them go to
// the leftmost place.
std::string integerPart(const std::vector<NumItem>& items, const NumberLayout& l, const std::string& whole) {
  std::vector<std::string> pieces;  // right to left
  size_t used = 0;
  int written = 0;
  auto putDigit = [&](char c) {
    if (l.thousands && written > 0 && written % 3 == 0) pieces.emplace_back(",");
    pieces.emplace_back(1, c);
    ++written;
  };
  for (size_t i = l.intEnd; i-- > 0;) {
    const NumItem& it = items[i];
    if (isDigitPlace(it)) {
      if (used < whole.size()) putDigit(whole[whole.size() - 1 - used++]);
      if (i == l.firstPlace)
        while (used < whole.size()) putDigit(whole[whole.size() - 1 - used++]);
    } else if (it.kind == NumItem::Lit) {
      pieces.push_back(it.text);
    } else if (it.kind == NumItem::Percent) {
      pieces.emplace_back("%");
    }
  }
  std::string out;
  for (size_t i = pieces.size(); i-- > 0;) out += pieces[i];
  if (l.firstPlace == items.size()) out += whole;  // no integer places at all
  return out;
}

// The point, the fraction's places, the exponent and what stands after them.
std::string fractionPart(const std::vector<NumItem>& items, const NumberLayout& l, const std::string& fraction,
                         int exponent) {
  std::string out;
  if (l.point < items.size() && l.point < l.exp) out.push_back('.');
  size_t f = 0;
  for (size_t i = l.point + 1; i < items.size(); ++i) {
    const NumItem& it = items[i];
    if (i == l.exp)
      out += exponentText(exponent, it);
    else if (isDigitPlace(it) && i < l.exp) {
      if (f < fraction.size()) out.push_back(fraction[f++]);
    } else if (it.kind == NumItem::Lit)
      out += it.text;
    else if (it.kind == NumItem::Percent)
      out += "%";
    else if (it.kind == NumItem::Point && i < l.exp)
      out += ".";
  }
  if (l.point == items.size() && l.exp < items.size()) {
    // An exponent without a decimal point: its items come after the integer part.
    out += exponentText(exponent, items[l.exp]);
    for (size_t i = l.exp + 1; i < items.size(); ++i)
      if (items[i].kind == NumItem::Lit) out += items[i].text;
  }
  return out;
}

std::string userNumber(double v, std::string_view section, bool writeSign) {
  const std::vector<NumItem> items = numberItems(section);
  const NumberLayout l = layoutOf(items);
  double x = std::fabs(v);
  if (l.percent) x *= 100;
  for (int k = 0; k < l.scale; ++k) x /= 1000;
  const int exponent = l.exp < items.size() && x != 0 && std::isfinite(x) ? takeExponent(x, l) : 0;

  DecimalDigits d = decimalDigits(x, l.fracPlaces, false);
  std::string whole = d.whole == "0" && l.intZeros == 0 ? "" : d.whole;
  while (static_cast<int>(whole.size()) < l.intZeros) whole.insert(whole.begin(), '0');
  std::string fraction = d.fraction;
  while (static_cast<int>(fraction.size()) > l.fracZeros && !fraction.empty() && fraction.back() == '0')
    fraction.pop_back();

  std::string out = writeSign && v < 0 && !d.isZero() ? "-" : "";
  return out + integerPart(items, l, whole) + fractionPart(items, l, fraction, exponent);
}

std::string generalNumber(double v) { return numberText(v); }

// ---- dates ----

struct DateTok {
  enum Kind { Letters, AmPm, Lit } kind;
  char letter = 0;  // Letters: lower case
  int count = 0;
  std::string text;  // Lit; AmPm: the designator style
};

std::vector<DateTok> dateTokens(std::string_view f) {
  std::vector<DateTok> toks;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    char l = text::lowerAsciiChar(c);
    if (c == '"') {
      size_t end = f.find('"', i + 1);
      if (end == std::string_view::npos) end = f.size();
      toks.push_back({DateTok::Lit, 0, 0, std::string(f.substr(i + 1, end - i - 1))});
      i = end;
    } else if (c == '\\' && i + 1 < f.size()) {
      toks.push_back({DateTok::Lit, 0, 0, std::string(1, f[++i])});
    } else if (startsNoCase(f, i, "am/pm")) {
      toks.push_back({DateTok::AmPm, 0, 0, std::string(f.substr(i, 5))});
      i += 4;
    } else if (startsNoCase(f, i, "a/p")) {
      toks.push_back({DateTok::AmPm, 0, 0, std::string(f.substr(i, 3))});
      i += 2;
    } else if (startsNoCase(f, i, "ampm")) {
      toks.push_back({DateTok::AmPm, 0, 0, "ampm"});
      i += 3;
    } else if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 'n' || l == 's' || l == 'q' || l == 'w' ||
               l == 'c' || (l == 't' && startsNoCase(f, i, "ttttt"))) {
      DateTok t{DateTok::Letters, l, 0, {}};
      while (i < f.size() && text::lowerAsciiChar(f[i]) == l) {
        ++t.count;
        ++i;
      }
      --i;
      toks.push_back(t);
    } else if (c == '/') {
      toks.push_back({DateTok::Lit, 0, 0, "-"});  // the locale's date separator
    } else {
      toks.push_back({DateTok::Lit, 0, 0, std::string(1, c)});
    }
  }
  return toks;
}

std::string shortDate(const Stamp& s) {
  return std::to_string(s.year) + "-" + std::to_string(s.month) + "-" + std::to_string(s.day);
}
std::string longDate(const Stamp& s) {
  return std::to_string(s.year) + "年" + std::to_string(s.month) + "月" + std::to_string(s.day) + "日";
}
std::string longTime(const Stamp& s) {
  return std::to_string(s.hour) + ":" + twoDigits(s.minute) + ":" + twoDigits(s.second);
}
bool isDayZero(const Stamp& s) { return s.year == 1899 && s.month == 12 && s.day == 30; }
std::string generalDate(const Stamp& s) {
  bool midnight = s.hour == 0 && s.minute == 0 && s.second == 0;
  if (isDayZero(s)) return longTime(s);
  if (midnight) return shortDate(s);
  return shortDate(s) + " " + longTime(s);
}

// The AM/PM marker of the moment, in the form the format writes it.
std::string amPmText(const Stamp& s, const DateTok& t) {
  bool pm = s.hour >= 12;
  if (t.text == "ampm") return std::string(pm ? kPm : kAm);
  if (t.text.size() == 3) return std::string(1, pm ? t.text[2] : t.text[0]);  // A/P in the case written
  return pm ? t.text.substr(3, 2) : t.text.substr(0, 2);
}

// m right after an hour, or right before seconds, is the minute.
bool meansMinute(const std::vector<DateTok>& toks, size_t i) {
  for (size_t k = i; k-- > 0;) {
    if (toks[k].kind == DateTok::Letters) {
      if (toks[k].letter == 'h') return true;
      break;
    }
  }
  for (size_t k = i + 1; k < toks.size(); ++k) {
    if (toks[k].kind == DateTok::Letters) return toks[k].letter == 's';
  }
  return false;
}

std::string userDate(const Stamp& s, std::string_view f) {
  std::vector<DateTok> toks = dateTokens(f);
  bool twelveHour = false;
  for (const DateTok& t : toks) twelveHour = twelveHour || t.kind == DateTok::AmPm;
  std::string out;
  for (size_t i = 0; i < toks.size(); ++i) {
    const DateTok& t = toks[i];
    if (t.kind == DateTok::Lit) {
      out += t.text;
      continue;
    }
    if (t.kind == DateTok::AmPm) {
      out += amPmText(s, t);
      continue;
    }
    int n = t.count;
    switch (t.letter) {
      case 'y':
        if (n == 1)
          out += std::to_string(dayOfYear(s));
        else if (n == 2)
          out += twoDigits(s.year % 100);
        else
          out += std::to_string(s.year);
        break;
      case 'm': {
        bool minute = meansMinute(toks, i);
        if (minute && n <= 2)
          out += n == 1 ? std::to_string(s.minute) : twoDigits(s.minute);
        else if (n == 1)
          out += std::to_string(s.month);
        else if (n == 2)
          out += twoDigits(s.month);
        else
          out += kMonthNames[static_cast<size_t>(s.month - 1)];
        break;
      }
      case 'd':
        if (n == 1)
          out += std::to_string(s.day);
        else if (n == 2)
          out += twoDigits(s.day);
        else if (n == 3)
          out += kDayAbbrev[static_cast<size_t>(weekdaySunday1(s) - 1)];
        else if (n == 4)
          out += kDayNames[static_cast<size_t>(weekdaySunday1(s) - 1)];
        else if (n == 5)
          out += shortDate(s);
        else
          out += longDate(s);
        break;
      case 'h': {
        int h = s.hour;
        if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
        out += n == 1 ? std::to_string(h) : twoDigits(h);
        break;
      }
      case 'n': out += n == 1 ? std::to_string(s.minute) : twoDigits(s.minute); break;
      case 's': out += n == 1 ? std::to_string(s.second) : twoDigits(s.second); break;
      case 'q': out += std::to_string((s.month - 1) / 3 + 1); break;
      case 'w':
        if (n == 1)
          out += std::to_string(weekdaySunday1(s));
        else
          out += std::to_string((dayOfYear(s) + weekdaySunday1({s.year, 1, 1, 0, 0, 0}) - 2) / 7 + 1);
        break;
      case 'c': out += generalDate(s); break;
      case 't': out += longTime(s); break;
      default: break;
    }
  }
  return out;
}

}  // namespace

FormatKind formatKind(std::string_view f) {
  if (f.empty()) return FormatKind::None;
  static constexpr std::array<std::string_view, 9> kNumberNames = {
      "general number", "currency", "fixed", "standard", "percent", "scientific", "yes/no", "true/false", "on/off"};
  static constexpr std::array<std::string_view, 7> kDateNames = {
      "general date", "long date", "medium date", "short date", "long time", "medium time", "short time"};
  for (auto n : kNumberNames)
    if (text::equalsNoCaseAscii(f, n)) return FormatKind::Number;
  for (auto n : kDateNames)
    if (text::equalsNoCaseAscii(f, n)) return FormatKind::Date;
  bool number = false, date = false, text = false;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c == '"') {
      size_t end = f.find('"', i + 1);
      i = end == std::string_view::npos ? f.size() : end;
      continue;
    }
    if (c == '\\') {
      ++i;
      continue;
    }
    char l = text::lowerAsciiChar(c);
    if (c == '0' || c == '#')
      number = true;
    else if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 'n' || l == 's' || l == 'q' || l == 'w' || l == 'c' ||
             l == 't')
      date = true;
    else if (c == '@' || c == '&' || c == '<' || c == '>' || c == '!')
      text = true;
  }
  if (number) return FormatKind::Number;
  if (date) return FormatKind::Date;
  if (text) return FormatKind::Text;
  return FormatKind::None;
}

std::string formatNumber(double v, std::string_view f) {
  if (text::equalsNoCaseAscii(f, "general number")) return generalNumber(v);
  if (text::equalsNoCaseAscii(f, "currency")) return formatNumber(v, "\xC2\xA5#,##0.00;\xC2\xA5-#,##0.00");
  if (text::equalsNoCaseAscii(f, "fixed")) return formatNumber(v, "0.00");
  if (text::equalsNoCaseAscii(f, "standard")) return formatNumber(v, "#,##0.00");
  if (text::equalsNoCaseAscii(f, "percent")) return formatNumber(v, "0.00%");
  if (text::equalsNoCaseAscii(f, "scientific")) return formatNumber(v, "0.00E+00");
  if (text::equalsNoCaseAscii(f, "yes/no")) return v != 0 ? "Yes" : "No";
  if (text::equalsNoCaseAscii(f, "true/false")) return v != 0 ? "True" : "False";
  if (text::equalsNoCaseAscii(f, "on/off")) return v != 0 ? "On" : "Off";
  std::vector<std::string_view> secs = sections(f);
  if (v < 0 && secs.size() >= 2 && !secs[1].empty()) return userNumber(v, secs[1], false);
  if (v == 0 && secs.size() >= 3 && !secs[2].empty()) return userNumber(v, secs[2], false);
  return userNumber(v, secs[0], true);
}

std::string formatDate(const Stamp& s, std::string_view f) {
  if (text::equalsNoCaseAscii(f, "general date")) return generalDate(s);
  if (text::equalsNoCaseAscii(f, "long date")) return longDate(s);
  if (text::equalsNoCaseAscii(f, "medium date")) return userDate(s, "yy-mm-dd");
  if (text::equalsNoCaseAscii(f, "short date")) return shortDate(s);
  if (text::equalsNoCaseAscii(f, "long time")) return longTime(s);
  if (text::equalsNoCaseAscii(f, "medium time")) return userDate(s, "hh:nn AMPM");
  if (text::equalsNoCaseAscii(f, "short time")) return userDate(s, "hh:nn");
  return userDate(s, sections(f)[0]);
}

std::string formatText(std::string_view value, std::string_view f) {
  text::WString v = text::utf8ToWide(value);
  bool leftToRight = false;
  size_t places = 0;
  for (char c : f) {
    if (c == '<')
      v = text::lowerCase(v);
    else if (c == '>')
      v = text::upperCase(v);
    else if (c == '!')
      leftToRight = true;
    else if (c == '@' || c == '&')
      ++places;
  }
  if (places == 0) return text::wideToUtf8(v);
  // Placeholders take the characters from the right (from the left with !);
  // an @ without one is a blank, an & nothing.
  size_t take = 0;
  std::vector<size_t> placeAt;
  for (size_t i = 0; i < f.size(); ++i)
    if (f[i] == '@' || f[i] == '&') placeAt.push_back(i);
  std::vector<text::WString> fill(placeAt.size());
  if (!leftToRight) {
    size_t k = v.size();
    for (size_t p = placeAt.size(); p-- > 0;) {
      if (k > 0)
        fill[p] = text::WString(1, v[--k]);
      else if (f[placeAt[p]] == '@')
        fill[p] = u" ";
    }
    if (k > 0 && !fill.empty()) fill[0] = v.substr(0, k) + fill[0];
  } else {
    for (size_t p = 0; p < placeAt.size(); ++p) {
      if (take < v.size())
        fill[p] = text::WString(1, v[take++]);
      else if (f[placeAt[p]] == '@')
        fill[p] = u" ";
    }
    if (take < v.size() && !fill.empty()) fill.back() += v.substr(take);
  }
  std::string out;
  size_t p = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c == '@' || c == '&')
      out += text::wideToUtf8(fill[p++]);
    else if (c == '<' || c == '>' || c == '!')
      continue;
    else if (c == '\\' && i + 1 < f.size())
      out.push_back(f[++i]);
    else if (c == '"') {
      size_t end = f.find('"', i + 1);
      if (end == std::string_view::npos) end = f.size();
      out += f.substr(i + 1, end - i - 1);
      i = end;
    } else
      out.push_back(c);
  }
  return out;
}

std::string jetFormat(const FormatValue& v, std::string_view f) {
  FormatKind kind = formatKind(f);
  if (kind == FormatKind::None) {
    if (f.empty()) return v.kind == FormatValue::Kind::Number && !v.integral ? numberText(v.number) : v.text;
    return std::string(f);  // only literal characters
  }
  if (kind == FormatKind::Number) {
    double x = v.number;
    if (v.kind == FormatValue::Kind::Text && !parseNumber(v.text, x)) return v.text;
    if (text::equalsNoCaseAscii(f, "general number") && v.kind == FormatValue::Kind::Number && v.integral)
      return v.text;
    return formatNumber(x, f);
  }
  if (kind == FormatKind::Date) {
    std::optional<Stamp> s;
    if (v.kind == FormatValue::Kind::Number)
      s = fromOleDate(v.number);
    else
      s = parseDateText(v.text);
    if (!s) return v.text;
    return formatDate(*s, f);
  }
  return formatText(v.text, f);
}

}  // namespace rvz::data::jet
