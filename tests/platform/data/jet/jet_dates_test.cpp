// Tests of the date-time forms of the Jet dialect: the texts a date
// literal or a date function may hold, and date-times to the second.
#include <gtest/gtest.h>

#include "platform/data/jet/jet_dates.h"

namespace rvz::data::jet {
namespace {

TEST(JetDates, ReadsTheFormsDatesAreWrittenIn) {
  const std::pair<const char*, const char*> cases[] = {
      {"2008-08-30", "2008-08-30 00:00:00"},
      {"2008-08-30 14:25:00", "2008-08-30 14:25:00"},
      {"2008-8-3 4:05", "2008-08-03 04:05:00"},
      {"8/30/2008", "2008-08-30 00:00:00"},
      {"2008/8/30", "2008-08-30 00:00:00"},
      {"30/8/2008", "2008-08-30 00:00:00"},  // 30 cannot be a month: d/m/y
      {"1/2/2008", "2008-01-02 00:00:00"},   // US order when both could be
      {"8/30/08", "2008-08-30 00:00:00"},
      {"8/30/45", "1945-08-30 00:00:00"},
      {"30-Aug-2008", "2008-08-30 00:00:00"},
      {"Aug 30, 2008", "2008-08-30 00:00:00"},
      {"september 1 2008", "2008-09-01 00:00:00"},
      {"8/30/2008 2:25:07 PM", "2008-08-30 14:25:07"},
      {"12:00 AM", "1899-12-30 00:00:00"},
      {"12:30 pm", "1899-12-30 12:30:00"},
      {"14:25", "1899-12-30 14:25:00"},
      {"2008-08-30T14:25:00", "2008-08-30 14:25:00"},
      {"2008-08-30 14:25:00.6", "2008-08-30 14:25:01"},
      {"2008年8月30日", "2008-08-30 00:00:00"},
      {"2008-08-30 下午 2:25:00", "2008-08-30 14:25:00"},
      {"2000-02-29", "2000-02-29 00:00:00"},
      {"  2008-08-30  ", "2008-08-30 00:00:00"},
  };
  for (const auto& [text, stored] : cases) {
    auto s = parseDateText(text);
    ASSERT_TRUE(s.has_value()) << text;
    EXPECT_EQ(formatStored(*s), stored) << text;
  }
}

TEST(JetDates, RefusesWhatIsNoDate) {
  const char* cases[] = {"",           "abc",         "2007-02-29", "1900-02-29", "13/13/2008",  "2008-08-30 24:00:00",
                         "2008-08",    "1/2/3/4",     "2008-13-01", "0099-01-01", "10000-01-01", "13:00 PM",
                         "2008-08/30", "Foo 1, 2008", "1:2:3:4",    "20080830"};
  for (const char* text : cases) EXPECT_FALSE(parseDateText(text).has_value()) << text;
}

TEST(JetDates, OleSerialsCountTimeForwardFromMidnight) {
  Stamp s{1899, 12, 29, 6, 0, 0};
  EXPECT_DOUBLE_EQ(toOleDate(s), -1.25);
  EXPECT_EQ(fromOleDate(-1.25), s);
  EXPECT_EQ(formatStored(*fromOleDate(39690.6006944444)), "2008-08-30 14:25:00");
  EXPECT_EQ(formatStored(*fromOleDate(39690.99999999)), "2008-08-31 00:00:00");  // rounds to the second
  // The first and the last day hold every second, as DATE does.
  EXPECT_EQ(formatStored(*fromOleDate(-657434.5)), "0100-01-01 12:00:00");
  EXPECT_EQ(formatStored(*fromOleDate(2958465.999999999)), "9999-12-31 23:59:59");
  EXPECT_FALSE(fromOleDate(3e6).has_value());
  EXPECT_FALSE(fromOleDate(-700000).has_value());
}

TEST(JetDates, SecondsRoundTripAndStayInRange) {
  Stamp s{2008, 8, 30, 14, 25, 7};
  EXPECT_EQ(fromSeconds(toSeconds(s)), s);
  EXPECT_EQ(formatStored(*fromSeconds(toSeconds(s) + 86400 * 2 + 3600 * 10)), "2008-09-02 00:25:07");
  EXPECT_EQ(formatStored(*fromSeconds(-1)), "1899-12-29 23:59:59");
  EXPECT_FALSE(fromSeconds(toSeconds({9999, 12, 31, 23, 59, 59}) + 1).has_value());
  EXPECT_FALSE(fromSeconds(toSeconds({100, 1, 1, 0, 0, 0}) - 1).has_value());
}

}  // namespace
}  // namespace rvz::data::jet
