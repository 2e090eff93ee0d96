// The calendar of the platform's DATE: the proleptic Gregorian calendar with
// days numbered from the OLE origin 1899-12-30, the years 100..9999 a DATE
// can hold, and the split of a DATE serial into a day and a time of that
// day. The variant's DATE, the packet forms and the Jet dialect all count
// on this one unit, so that a serial names the same moment in each.
#pragma once

#include <cstdint>
#include <optional>

namespace rvz::calendar {

inline constexpr int kMinYear = 100;
inline constexpr int kMaxYear = 9999;

// Whether a serial lies in DATE's range: every moment of 0100-01-01 to
// 9999-12-31. Before the origin the time of day counts away from zero, so
// the first day reaches down to -657434.999...; NaN and infinities are out.
bool oleDateInRange(double serial);

bool isLeapYear(int year);
// Days of a month (1..12) of a year.
int daysInMonth(int year, int month);
// Whether year-month-day is a real day of the years 100..9999.
bool isValidDate(int year, int month, int day);

struct Date {
  int year = 1899, month = 12, day = 30;
  friend bool operator==(const Date&, const Date&) = default;
};

// Days since 1899-12-30 of a date. The month must be 1..12 and the year
// within +-32767; a day past the month's end (or 0) counts on into the next
// month (back into the previous one), so callers may add days to the first.
int64_t dayNumber(int year, int month, int day);
// The date of a day number; the inverse of dayNumber.
Date dateOfDayNumber(int64_t day);

// How finely a time of day is counted: the number of units in a day.
enum class Unit : int64_t { Second = 86400, Millisecond = 86400000 };

// A moment: its day number and the time since that day's midnight, in units.
struct Moment {
  int64_t day = 0;
  int64_t time = 0;
  friend bool operator==(const Moment&, const Moment&) = default;
};

// The DATE serial of a moment: the day plus the fraction of the day, the
// fraction counting forward from midnight on negative days too (-1.25 is
// 1899-12-29 06:00).
double toOleDate(Moment m, Unit unit);
// The moment of a serial, rounded to the unit; nothing outside DATE's range.
// A time that rounds up to midnight moves to the next day, except on
// 9999-12-31, whose last unit is kept: an in-range serial always has a
// moment.
std::optional<Moment> fromOleDate(double serial, Unit unit);

}  // namespace rvz::calendar
