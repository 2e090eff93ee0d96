// Date-time values and text forms of the Jet dialect layer, on the
// platform's calendar.
#include "platform/data/jet/jet_dates.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/calendar/calendar.h"
#include "platform/text/text.h"

namespace rvz::data::jet {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t secondsOfDay(const Stamp& s) { return s.hour * 3600 + s.minute * 60 + s.second; }

// The stamp of a moment counted in seconds.
Stamp stampOf(calendar::Moment m) {
  calendar::Date d = calendar::dateOfDayNumber(m.day);
  return {d.year,
          d.month,
          d.day,
          static_cast<int>(m.time / 3600),
          static_cast<int>(m.time / 60 % 60),
          static_cast<int>(m.time % 60)};
}

}  // namespace

bool isValidStamp(const Stamp& s) {
  return calendar::isValidDate(s.year, s.month, s.day) && s.hour >= 0 && s.hour < 24 && s.minute >= 0 &&
         s.minute < 60 && s.second >= 0 && s.second < 60;
}

int64_t toSeconds(const Stamp& s) {
  return calendar::dayNumber(s.year, s.month, s.day) * kSecondsPerDay + secondsOfDay(s);
}

std::optional<Stamp> fromSeconds(int64_t seconds) {
  // Bounds of years 100..9999, checked before any arithmetic can overflow.
  static const int64_t kLow = calendar::dayNumber(calendar::kMinYear, 1, 1) * kSecondsPerDay;
  static const int64_t kHigh = calendar::dayNumber(calendar::kMaxYear, 12, 31) * kSecondsPerDay + kSecondsPerDay - 1;
  if (seconds < kLow || seconds > kHigh) return std::nullopt;
  auto day = std::chrono::floor<std::chrono::days>(std::chrono::seconds{seconds});
  return stampOf({day.count(), seconds - std::chrono::seconds{day}.count()});
}

double toOleDate(const Stamp& s) {
  return calendar::toOleDate({calendar::dayNumber(s.year, s.month, s.day), secondsOfDay(s)}, calendar::Unit::Second);
}

std::optional<Stamp> fromOleDate(double serial) {
  std::optional<calendar::Moment> m = calendar::fromOleDate(serial, calendar::Unit::Second);
  if (!m) return std::nullopt;
  return stampOf(*m);
}

std::string formatStored(const Stamp& s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute, s.second);
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

// The Chinese date and half-day markers in UTF-8.
constexpr std::string_view kNian = "\xE5\xB9\xB4";                 // 年
constexpr std::string_view kYue = "\xE6\x9C\x88";                  // 月
constexpr std::string_view kRi = "\xE6\x97\xA5";                   // 日
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
      size_t start = i;
      while (i < text.size() && isAsciiLetter(text[i])) {
        if (i - start >= 16) return false;
        ++i;
      }
      out.push_back({Piece::Word, 0, 0, rvz::text::lowerCaseAscii(text.substr(start, i - start))});
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
  static constexpr std::array<std::string_view, 12> kNames = {"january",   "february", "march",    "april",
                                                              "may",       "june",     "july",     "august",
                                                              "september", "october",  "november", "december"};
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

bool isHalfDay(const Piece& p) { return p.kind == Piece::Word && (p.word == "am" || p.word == "pm"); }

// A time of day as written, before the half-day designator applies.
struct Clock {
  int64_t hour = 0, minute = 0, second = 0;
  bool roundUp = false;  // a fraction of a second of one half or more
};

// Reads "h:mm[:ss[.fff]]" at pieces[i], or only the hour of "2 PM" when
// withMinutes is false; returns the index past what it read.
size_t readClock(const std::vector<Piece>& pieces, size_t i, bool withMinutes, Clock& c) {
  c.hour = pieces[i].value;
  size_t j = i + 1;
  if (!withMinutes) return j;
  c.minute = pieces[i + 2].value;
  j = i + 3;
  if (j + 1 < pieces.size() && isSep(pieces[j], ':') && pieces[j + 1].kind == Piece::Number) {
    c.second = pieces[j + 1].value;
    j += 2;
    if (j + 1 < pieces.size() && isSep(pieces[j], '.') && pieces[j + 1].kind == Piece::Number) {
      // Fractions of a second are never stored: round to the second.
      const Piece& f = pieces[j + 1];
      c.roundUp = f.digits > 0 && f.value * 2 >= static_cast<int64_t>(std::pow(10, f.digits));
      j += 2;
    }
  }
  return j;
}

// An AM/PM (or A/P) designator after a time, at pieces[j] or after one
// space; returns the index past it, or j when there is none.
size_t readDesignatorAfter(const std::vector<Piece>& pieces, size_t j, int& designator) {
  size_t k = j;
  if (k < pieces.size() && isSep(pieces[k], ' ')) ++k;
  if (k >= pieces.size() || pieces[k].kind != Piece::Word) return j;
  const std::string& w = pieces[k].word;
  if (w != "am" && w != "pm" && w != "a" && w != "p") return j;
  designator = w[0] == 'p' ? 2 : 1;
  return k + 1;
}

// The time of day of a clock under a designator (0 none, 1 am, 2 pm);
// false when there is no such time.
bool setTime(Clock c, int designator, Stamp& result) {
  if (designator != 0) {
    if (c.hour < 1 || c.hour > 12) return false;
    c.hour = c.hour % 12 + (designator == 2 ? 12 : 0);
  }
  if (c.hour > 23 || c.minute > 59 || c.second > 59) return false;
  int64_t total = c.hour * 3600 + c.minute * 60 + c.second + (c.roundUp ? 1 : 0);
  if (total >= kSecondsPerDay) return false;
  result.hour = static_cast<int>(total / 3600);
  result.minute = static_cast<int>(total / 60 % 60);
  result.second = static_cast<int>(total % 60);
  return true;
}

// Finds the time: number ':' number [':' number ['.' number]] [am|pm], or
// number am|pm, with the designator also before it as the Chinese locale
// writes it. The time is cut out of the pieces; what stays is the date.
// False when the text holds two times or one that is no time of day.
bool cutTime(const std::vector<Piece>& pieces, std::vector<Piece>& datePieces, Stamp& result, bool& haveTime) {
  int designator = 0;  // 1 am, 2 pm
  for (size_t i = 0; i < pieces.size(); ++i) {
    const Piece& p = pieces[i];
    if (isHalfDay(p) && !haveTime) {
      size_t k = i + 1;
      if (k < pieces.size() && isSep(pieces[k], ' ')) ++k;
      if (k < pieces.size() && pieces[k].kind == Piece::Number) {
        designator = p.word == "pm" ? 2 : 1;
        i = k - 1;
        continue;
      }
    }
    bool clock = p.kind == Piece::Number && i + 2 < pieces.size() && isSep(pieces[i + 1], ':') &&
                 pieces[i + 2].kind == Piece::Number;
    bool bareHour = p.kind == Piece::Number && i + 1 < pieces.size() && isHalfDay(pieces[i + 1]);
    if (!clock && !bareHour) {
      datePieces.push_back(p);
      continue;
    }
    if (haveTime) return false;
    haveTime = true;
    Clock c;
    size_t j = readClock(pieces, i, clock, c);
    if (designator == 0) j = readDesignatorAfter(pieces, j, designator);
    if (!setTime(c, designator, result)) return false;
    i = j - 1;
  }
  return true;
}

// What stays of a date once the time is cut out: its numbers in order and
// a month named in words (0 when none).
struct DateFields {
  std::vector<Piece> numbers;
  int month = 0;
};

// Sorts the date pieces into fields; false on a second month name, a word
// that names no month, mixed separators or a stray ':'.
bool collectDate(const std::vector<Piece>& datePieces, bool haveTime, DateFields& f) {
  char dateSeparator = 0;
  for (const Piece& p : datePieces) {
    if (p.kind == Piece::Number) {
      f.numbers.push_back(p);
    } else if (p.kind == Piece::Word) {
      if (p.word == "t" && haveTime) continue;  // ISO "2008-08-30T14:25:00"
      if (f.month != 0) return false;
      f.month = monthFromName(p.word);
      if (f.month == 0) return false;
    } else if (p.word[0] == '-' || p.word[0] == '/' || p.word[0] == '.') {
      if (dateSeparator != 0 && dateSeparator != p.word[0]) return false;
      dateSeparator = p.word[0];
    } else if (p.word[0] == ':') {
      return false;
    }
  }
  return true;
}

// The day of the fields, in the orders people write dates: year first when
// it has three or more digits, else month (or day, when the first number
// cannot be a month) first; a named month takes the day and year around it.
bool setDate(const DateFields& f, Stamp& result) {
  int64_t y = 0, m = 0, d = 0;
  int yearDigits = 0;
  const std::vector<Piece>& n = f.numbers;
  if (f.month != 0) {
    if (n.size() != 2) return false;
    m = f.month;
    bool yearFirst = n[0].digits >= 3;  // "2008 Aug 30"; else "30-Aug-2008", "Aug 30, 2008"
    const Piece& year = yearFirst ? n[0] : n[1];
    y = year.value;
    yearDigits = year.digits;
    d = yearFirst ? n[1].value : n[0].value;
  } else {
    if (n.size() != 3) return false;
    if (n[0].digits >= 3) {
      y = n[0].value, yearDigits = n[0].digits, m = n[1].value, d = n[2].value;
    } else {
      m = n[0].value, d = n[1].value, y = n[2].value, yearDigits = n[2].digits;
      if (m > 12 && d <= 12) std::swap(m, d);  // not a month: read as d/m/y
    }
  }
  if (yearDigits <= 2) y = expandTwoDigitYear(static_cast<int>(y));
  // Pieces hold at most nine digits, so each value fits an int.
  if (!calendar::isValidDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d))) return false;
  result.year = static_cast<int>(y);
  result.month = static_cast<int>(m);
  result.day = static_cast<int>(d);
  return true;
}

}  // namespace

std::optional<Stamp> parseDateText(std::string_view text) {
  if (text.size() > 64) return std::nullopt;
  std::vector<Piece> pieces;
  if (!splitPieces(text, pieces) || pieces.empty()) return std::nullopt;
  Stamp result;
  bool haveTime = false;
  std::vector<Piece> datePieces;
  if (!cutTime(pieces, datePieces, result, haveTime)) return std::nullopt;
  DateFields fields;
  if (!collectDate(datePieces, haveTime, fields)) return std::nullopt;
  if (fields.numbers.empty() && fields.month == 0) {
    if (!haveTime) return std::nullopt;
    return result;  // a time alone lies on day 0
  }
  if (!setDate(fields, result)) return std::nullopt;
  return result;
}

}  // namespace rvz::data::jet
