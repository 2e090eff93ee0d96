// Calendar arithmetic on <chrono>: dates are year_month_day, days are
// sys_days counted from the OLE origin.
#include "platform/calendar/calendar.h"

#include <chrono>
#include <cmath>

namespace rvz::calendar {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr sys_days kOrigin{year{1899} / std::chrono::December / 30};
constexpr int64_t kFirstDay = (sys_days{year{kMinYear} / std::chrono::January / 1} - kOrigin).count();
constexpr int64_t kLastDay = (sys_days{year{kMaxYear} / std::chrono::December / 31} - kOrigin).count();

constexpr int64_t unitsPerDay(Unit unit) { return static_cast<int64_t>(unit); }

}  // namespace

bool oleDateInRange(double serial) {
  // Comparisons are false for NaN; infinities fall outside the bounds.
  return serial > static_cast<double>(kFirstDay - 1) && serial < static_cast<double>(kLastDay + 1);
}

bool isLeapYear(int y) { return year{y}.is_leap(); }

int daysInMonth(int y, int m) {
  auto last = year{y} / std::chrono::month{static_cast<unsigned>(m)} / std::chrono::last;
  return static_cast<int>(static_cast<unsigned>(last.day()));
}

bool isValidDate(int y, int m, int d) {
  // Range checks first: month and day keep only a byte of what they are given.
  if (y < kMinYear || y > kMaxYear || m < 1 || m > 12 || d < 1 || d > 31) return false;
  auto date = year{y} / std::chrono::month{static_cast<unsigned>(m)} / std::chrono::day{static_cast<unsigned>(d)};
  return date.ok();
}

int64_t dayNumber(int y, int m, int d) {
  sys_days first{year{y} / std::chrono::month{static_cast<unsigned>(m)} / 1};
  return (first - kOrigin).count() + (d - 1);
}

Date dateOfDayNumber(int64_t day) {
  year_month_day ymd{kOrigin + days{day}};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

double toOleDate(Moment m, Unit unit) {
  double day = static_cast<double>(m.day);
  double fraction = static_cast<double>(m.time) / static_cast<double>(unitsPerDay(unit));
  return m.day >= 0 ? day + fraction : day - fraction;
}

std::optional<Moment> fromOleDate(double serial, Unit unit) {
  if (!oleDateInRange(serial)) return std::nullopt;
  const int64_t perDay = unitsPerDay(unit);
  double whole = std::trunc(serial);
  Moment m{static_cast<int64_t>(whole), std::llround(std::fabs(serial - whole) * static_cast<double>(perDay))};
  if (m.time >= perDay) {
    if (m.day >= kLastDay) {
      m.time = perDay - 1;  // rounding must not carry the last day into year 10000
    } else {
      m.time -= perDay;
      ++m.day;
    }
  }
  return m;
}

}  // namespace rvz::calendar
