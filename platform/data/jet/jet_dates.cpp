// Calendar arithmetic and date-time text forms of the Jet dialect layer.
#include "platform/data/jet/jet_dates.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace rvz::data::jet {

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && isLeapYear(year)) return 29;
  return kDays[static_cast<size_t>(month - 1)];
}

bool isValidStamp(const Stamp& s) {
  return s.year >= kMinYear && s.year <= kMaxYear && s.month >= 1 && s.month <= 12 && s.day >= 1 &&
         s.day <= daysInMonth(s.year, s.month) && s.hour >= 0 && s.hour < 24 && s.minute >= 0 && s.minute < 60 &&
         s.second >= 0 && s.second < 60;
}

// Days-from-civil over the proleptic Gregorian calendar, shifted so that
// 1899-12-30 is day 0.
int64_t dayNumber(int year, int month, int day) {
  int64_t y = year - (month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = (month + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5 + day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  constexpr int64_t kUnixToOle = 25569;  // 1970-01-01 is OLE day 25569
  return era * 146097 + doe - 719468 + kUnixToOle;
}

void civilFromDayNumber(int64_t days, int& year, int& month, int& day) {
  int64_t z = days - 25569 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int64_t toSeconds(const Stamp& s) {
  return dayNumber(s.year, s.month, s.day) * 86400 + s.hour * 3600 + s.minute * 60 + s.second;
}

std::optional<Stamp> fromSeconds(int64_t seconds) {
  // Bounds of years 100..9999, checked before any arithmetic can overflow.
  static const int64_t kLow = dayNumber(kMinYear, 1, 1) * 86400;
  static const int64_t kHigh = dayNumber(kMaxYear, 12, 31) * 86400 + 86399;
  if (seconds < kLow || seconds > kHigh) return std::nullopt;
  int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t rest = seconds - days * 86400;
  Stamp s;
  civilFromDayNumber(days, s.year, s.month, s.day);
  s.hour = static_cast<int>(rest / 3600);
  s.minute = static_cast<int>(rest / 60 % 60);
  s.second = static_cast<int>(rest % 60);
  return s;
}

double toOleDate(const Stamp& s) {
  int64_t days = dayNumber(s.year, s.month, s.day);
  double fraction = (s.hour * 3600 + s.minute * 60 + s.second) / 86400.0;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

std::optional<Stamp> fromOleDate(double serial) {
  if (!std::isfinite(serial) || serial < -657434.0 || serial >= 2958466.0) return std::nullopt;
  double whole = std::trunc(serial);
  double fraction = std::fabs(serial - whole);
  auto secondsOfDay = static_cast<int64_t>(std::llround(fraction * 86400.0));
  int64_t seconds = static_cast<int64_t>(whole) * 86400 + secondsOfDay;
  return fromSeconds(seconds);
}

std::string formatStored(const Stamp& s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute,
                s.second);
  return buf;
}

int expandTwoDigitYear(int year) {
  if (year < 0 || year > 99) return year;
  return year < 30 ? 2000 + year : 1900 + year;
}

namespace {

struct Piece {
  enum Kind { Number, Word, Separator } kind;
  int64_t value = 0;  // Number
  int digits = 0;     // Number
  std::string word;   // Word (lower-cased ASCII) or the separator character
};

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The Chinese date and half-day markers in UTF-8.
constexpr std::string_view kNian = "\xE5\xB9\xB4";        // 年
constexpr std::string_view kYue = "\xE6\x9C\x88";         // 月
constexpr std::string_view kRi = "\xE6\x97\xA5";          // 日
constexpr std::string_view kShangwu = "\xE4\xB8\x8A\xE5\x8D\x88";  // 上午
constexpr std::string_view kXiawu = "\xE4\xB8\x8B\xE5\x8D\x88";    // 下午

bool splitPieces(std::string_view text, std::vector<Piece>& out) {
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == ' ' || c == '\t') {
      if (!out.empty() && !(out.back().kind == Piece::Separator && out.back().word == " "))
        out.push_back({Piece::Separator, 0, 0, " "});
      ++i;
    } else if (c >= '0' && c <= '9') {
      Piece p{Piece::Number, 0, 0, {}};
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (p.digits >= 9) return false;  // no field of a date needs more
        p.value = p.value * 10 + (text[i] - '0');
        ++p.digits;
        ++i;
      }
      out.push_back(p);
    } else if (isAsciiLetter(c)) {
      Piece p{Piece::Word, 0, 0, {}};
      while (i < text.size() && isAsciiLetter(text[i])) {
        if (p.word.size() >= 16) return false;
        p.word.push_back(lowerAscii(text[i]));
        ++i;
      }
      out.push_back(p);
    } else if (c == '-' || c == '/' || c == ':' || c == ',' || c == '.') {
      out.push_back({Piece::Separator, 0, 0, std::string(1, c)});
      ++i;
    } else {
      std::string_view rest = text.substr(i);
      if (rest.starts_with(kNian) || rest.starts_with(kYue)) {
        out.push_back({Piece::Separator, 0, 0, "-"});
        i += 3;
      } else if (rest.starts_with(kRi)) {
        out.push_back({Piece::Separator, 0, 0, " "});
        i += 3;
      } else if (rest.starts_with(kShangwu)) {
        out.push_back({Piece::Word, 0, 0, "am"});
        i += kShangwu.size();
      } else if (rest.starts_with(kXiawu)) {
        out.push_back({Piece::Word, 0, 0, "pm"});
        i += kXiawu.size();
      } else {
        return false;
      }
    }
  }
  while (!out.empty() && out.back().kind == Piece::Separator && out.back().word == " ") out.pop_back();
  return true;
}

int monthFromName(const std::string& w) {
  static constexpr std::array<std::string_view, 12> kNames = {"january", "february", "march",     "april",
                                                              "may",     "june",     "july",      "august",
                                                              "september", "october", "november", "december"};
  if (w.size() < 3) return 0;
  for (size_t m = 0; m < kNames.size(); ++m) {
    std::string_view full = kNames[m];
    if (w.size() <= full.size() && full.substr(0, w.size()) == w) {
      // "Sept" is accepted; any other prefix must be the 3-letter form or the full name.
      if (w.size() == 3 || w.size() == full.size() || (m == 8 && w == "sept")) return static_cast<int>(m + 1);
    }
  }
  return 0;
}

bool isSep(const Piece& p, char c) { return p.kind == Piece::Separator && p.word[0] == c; }

}  // namespace

std::optional<Stamp> parseDateText(std::string_view text) {
  if (text.size() > 64) return std::nullopt;
  std::vector<Piece> pieces;
  if (!splitPieces(text, pieces) || pieces.empty()) return std::nullopt;

  Stamp result;
  bool haveTime = false;
  // Find the time: number ':' number [':' number ['.' number]] [am|pm], or
  // number am|pm. It is cut out of the pieces; what stays is the date.
  std::vector<Piece> datePieces;
  int designator = 0;  // 1 am, 2 pm: written before the time, as the Chinese locale does
  for (size_t i = 0; i < pieces.size(); ++i) {
    const Piece& p = pieces[i];
    if (p.kind == Piece::Word && (p.word == "am" || p.word == "pm")) {
      size_t k = i + 1;
      if (k < pieces.size() && isSep(pieces[k], ' ')) ++k;
      if (k < pieces.size() && pieces[k].kind == Piece::Number && !haveTime) {
        designator = p.word == "pm" ? 2 : 1;
        i = k - 1;
        continue;
      }
    }
    bool clock = p.kind == Piece::Number && i + 2 < pieces.size() && isSep(pieces[i + 1], ':') &&
                 pieces[i + 2].kind == Piece::Number;
    bool bareHour = p.kind == Piece::Number && i + 1 < pieces.size() && pieces[i + 1].kind == Piece::Word &&
                    (pieces[i + 1].word == "am" || pieces[i + 1].word == "pm");
    if (!clock && !bareHour) {
      datePieces.push_back(p);
      continue;
    }
    if (haveTime) return std::nullopt;
    haveTime = true;
    int64_t hour = p.value, minute = 0, second = 0;
    bool roundUp = false;
    size_t j = i + 1;
    if (clock) {
      minute = pieces[i + 2].value;
      j = i + 3;
      if (j + 1 < pieces.size() && isSep(pieces[j], ':') && pieces[j + 1].kind == Piece::Number) {
        second = pieces[j + 1].value;
        j += 2;
        if (j + 1 < pieces.size() && isSep(pieces[j], '.') && pieces[j + 1].kind == Piece::Number) {
          // Fractions of a second are never stored: round to the second.
          const Piece& f = pieces[j + 1];
          roundUp = f.digits > 0 && f.value * 2 >= static_cast<int64_t>(std::pow(10, f.digits));
          j += 2;
        }
      }
    }
    size_t k = j;
    if (k < pieces.size() && isSep(pieces[k], ' ')) ++k;
    if (designator == 0 && k < pieces.size() && pieces[k].kind == Piece::Word &&
        (pieces[k].word == "am" || pieces[k].word == "pm" || pieces[k].word == "a" || pieces[k].word == "p")) {
      designator = pieces[k].word[0] == 'p' ? 2 : 1;
      j = k + 1;
    }
    if (designator != 0) {
      if (hour < 1 || hour > 12) return std::nullopt;
      hour = hour % 12 + (designator == 2 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    result.hour = static_cast<int>(hour);
    result.minute = static_cast<int>(minute);
    result.second = static_cast<int>(second);
    if (roundUp) {
      int64_t total = result.hour * 3600 + result.minute * 60 + result.second + 1;
      if (total >= 86400) return std::nullopt;
      result.hour = static_cast<int>(total / 3600);
      result.minute = static_cast<int>(total / 60 % 60);
      result.second = static_cast<int>(total % 60);
    }
    i = j - 1;
  }

  std::vector<Piece> numbers;
  int month = 0;
  char dateSeparator = 0;
  for (const Piece& p : datePieces) {
    if (p.kind == Piece::Number) {
      numbers.push_back(p);
    } else if (p.kind == Piece::Word) {
      if (p.word == "t" && haveTime) continue;  // ISO "2008-08-30T14:25:00"
      if (month != 0) return std::nullopt;
      month = monthFromName(p.word);
      if (month == 0) return std::nullopt;
    } else if (p.word[0] == '-' || p.word[0] == '/' || p.word[0] == '.') {
      if (dateSeparator != 0 && dateSeparator != p.word[0]) return std::nullopt;
      dateSeparator = p.word[0];
    } else if (p.word[0] == ':') {
      return std::nullopt;
    }
  }

  int64_t y = 0, m = 0, d = 0;
  int yearDigits = 0;
  if (numbers.empty() && month == 0) {
    if (!haveTime) return std::nullopt;
    return result;  // a time alone lies on day 0
  }
  if (month != 0) {
    if (numbers.size() != 2) return std::nullopt;
    m = month;
    if (numbers[0].digits >= 3) {  // "2008 Aug 30"
      y = numbers[0].value;
      yearDigits = numbers[0].digits;
      d = numbers[1].value;
    } else {  // "30-Aug-2008", "Aug 30, 2008"
      d = numbers[0].value;
      y = numbers[1].value;
      yearDigits = numbers[1].digits;
    }
  } else {
    if (numbers.size() != 3) return std::nullopt;
    if (numbers[0].digits >= 3) {
      y = numbers[0].value;
      yearDigits = numbers[0].digits;
      m = numbers[1].value;
      d = numbers[2].value;
    } else {
      m = numbers[0].value;
      d = numbers[1].value;
      y = numbers[2].value;
      yearDigits = numbers[2].digits;
      if (m > 12 && d <= 12) std::swap(m, d);  // not a month: read as d/m/y
    }
  }
  if (yearDigits <= 2) y = expandTwoDigitYear(static_cast<int>(y));
  if (y < kMinYear || y > kMaxYear || m < 1 || m > 12 || d < 1) return std::nullopt;
  result.year = static_cast<int>(y);
  result.month = static_cast<int>(m);
  if (d > daysInMonth(result.year, result.month)) return std::nullopt;
  result.day = static_cast<int>(d);
  return result;
}

}  // namespace rvz::data::jet
