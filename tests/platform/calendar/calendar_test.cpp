// The calendar of the platform's DATE: day numbers from 1899-12-30, the
// days that exist, and DATE serials split into a day and a time of day at
// the edges where the variant, the packet forms and the Jet dialect used to
// answer differently.
#include "platform/calendar/calendar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace rvz::calendar {
namespace {

TEST(Calendar, DayNumbersFollowTheOleOrigin) {
  EXPECT_EQ(dayNumber(1899, 12, 30), 0);
  EXPECT_EQ(dayNumber(1900, 1, 1), 2);
  EXPECT_EQ(dayNumber(1900, 3, 1), 61);  // 1900 has no 29 February
  EXPECT_EQ(dayNumber(2008, 8, 30), 39690);
  EXPECT_EQ(dayNumber(1899, 12, 29), -1);
  EXPECT_EQ(dayNumber(100, 1, 1), -657434);
  EXPECT_EQ(dayNumber(9999, 12, 31), 2958465);
  // Every day of a long span converts back to itself, months and leap days included.
  for (int64_t d = dayNumber(1895, 1, 1); d <= dayNumber(2105, 12, 31); ++d) {
    Date date = dateOfDayNumber(d);
    ASSERT_TRUE(isValidDate(date.year, date.month, date.day)) << d;
    ASSERT_EQ(dayNumber(date.year, date.month, date.day), d);
  }
  EXPECT_EQ(dateOfDayNumber(-657434), (Date{100, 1, 1}));
  EXPECT_EQ(dateOfDayNumber(2958465), (Date{9999, 12, 31}));
}

TEST(Calendar, DaysPastTheMonthsEndCountOn) {
  EXPECT_EQ(dayNumber(2008, 2, 30), dayNumber(2008, 3, 1));
  EXPECT_EQ(dayNumber(2007, 2, 30), dayNumber(2007, 3, 2));
  EXPECT_EQ(dayNumber(2008, 3, 0), dayNumber(2008, 2, 29));
  EXPECT_EQ(dayNumber(2008, 1, 1) + 365, dayNumber(2008, 12, 31));
}

TEST(Calendar, OnlyRealDaysOfTheYears100To9999AreValid) {
  struct Case {
    int year, month, day;
    bool valid;
  };
  const Case cases[] = {
      {2008, 2, 29, true},  {2007, 2, 29, false},  {1900, 2, 29, false},  {2000, 2, 29, true},   {1600, 2, 29, true},
      {2100, 2, 29, false}, {2008, 4, 31, false},  {2008, 12, 31, true},  {100, 1, 1, true},     {99, 12, 31, false},
      {9999, 12, 31, true}, {10000, 1, 1, false},  {2008, 0, 1, false},   {2008, 13, 1, false},  {2008, 1, 0, false},
      {2008, 1, 32, false}, {2008, 257, 1, false}, {2008, 1, 257, false}, {2008, -11, 1, false}, {-2008, 1, 1, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(isValidDate(c.year, c.month, c.day), c.valid) << c.year << "-" << c.month << "-" << c.day;
  EXPECT_EQ(daysInMonth(2008, 2), 29);
  EXPECT_EQ(daysInMonth(1900, 2), 28);
  EXPECT_EQ(daysInMonth(2008, 9), 30);
  EXPECT_TRUE(isLeapYear(2000));
  EXPECT_FALSE(isLeapYear(100));
}

constexpr int64_t kMsPerDay = 86400000;

// Serials and the moments they name, at both resolutions. The edge rows are
// where the three former copies disagreed: the first day with a time (the
// Jet layer refused it), and a serial that rounds past 9999-12-31 (the
// variant threw, the Jet layer refused, the packet forms kept the last
// millisecond).
TEST(Calendar, SerialsSplitIntoADayAndATimeCountedForward) {
  struct Case {
    double serial;
    Unit unit;
    int64_t day, time;
  };
  const Case cases[] = {
      {0.0, Unit::Second, 0, 0},
      {0.5, Unit::Second, 0, 43200},
      {-0.5, Unit::Second, 0, 43200},  // day zero either side of the origin
      {-1.25, Unit::Second, -1, 21600},
      {-1.25, Unit::Millisecond, -1, 21600000},
      {39690.6006944444, Unit::Second, 39690, 51900},
      {39690.99999999, Unit::Second, 39691, 0},  // rounds up into the next day
      {39690.99999999, Unit::Millisecond, 39690, kMsPerDay - 1},
      {-1.99999999, Unit::Second, 0, 0},          // the next midnight of 1899-12-29
      {-657434.5, Unit::Second, -657434, 43200},  // 0100-01-01 12:00
      {-657434.999999999, Unit::Millisecond, -657433, 0},
      {2958465.5, Unit::Millisecond, 2958465, kMsPerDay / 2},
      {2958465.999999999, Unit::Millisecond, 2958465, kMsPerDay - 1},  // kept on 9999-12-31
      {2958465.999999999, Unit::Second, 2958465, 86399},
  };
  for (const Case& c : cases) {
    auto m = fromOleDate(c.serial, c.unit);
    ASSERT_TRUE(m.has_value()) << c.serial;
    EXPECT_EQ(*m, (Moment{c.day, c.time})) << c.serial << " per " << static_cast<int64_t>(c.unit);
  }
}

TEST(Calendar, SerialsOutsideTheRangeHaveNoMoment) {
  const double cases[] = {-657435.0,
                          -657435.5,
                          2958466.0,
                          3e6,
                          -700000.0,
                          std::nan(""),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
  for (double serial : cases) {
    EXPECT_FALSE(oleDateInRange(serial)) << serial;
    EXPECT_FALSE(fromOleDate(serial, Unit::Millisecond).has_value()) << serial;
    EXPECT_FALSE(fromOleDate(serial, Unit::Second).has_value()) << serial;
  }
  EXPECT_TRUE(oleDateInRange(-657434.99999999));
  EXPECT_TRUE(oleDateInRange(2958465.99999999));
}

TEST(Calendar, MomentsMakeSerialsThatReadBackToThem) {
  const Moment moments[] = {
      {0, 0},      {-1, 21600000},   {39690, 51900000}, {-657434, kMsPerDay - 1}, {2958465, kMsPerDay - 1},
      {-36522, 1}, {45000, 12345678}};
  for (const Moment& m : moments) {
    double serial = toOleDate(m, Unit::Millisecond);
    EXPECT_EQ(fromOleDate(serial, Unit::Millisecond), m) << serial;
  }
  EXPECT_EQ(toOleDate({-1, 21600}, Unit::Second), -1.25);
  EXPECT_EQ(toOleDate({-1, 21600000}, Unit::Millisecond), -1.25);
  // Both resolutions give the very same serial for a whole second.
  EXPECT_EQ(toOleDate({39690, 51907}, Unit::Second), toOleDate({39690, 51907000}, Unit::Millisecond));
}

}  // namespace
}  // namespace rvz::calendar
