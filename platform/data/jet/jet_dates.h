// The date-time values of the Jet dialect layer and their text forms:
// 'YYYY-MM-DD HH:MM:SS' in the database, Jet's #...# literals in command
// texts, OLE date serials.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rvz::data::jet {

// A date-time to the second, years 100..9999 as OLE dates allow; the
// calendar arithmetic under it is platform/calendar's.
struct Stamp {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
  friend bool operator==(const Stamp&, const Stamp&) = default;
};

bool isValidStamp(const Stamp& s);

// Seconds since 1899-12-30 00:00:00, and back. fromSeconds returns nothing
// outside years 100..9999.
int64_t toSeconds(const Stamp& s);
std::optional<Stamp> fromSeconds(int64_t seconds);

// OLE date serial: days since the origin, the fraction the time of day
// (counted forward from midnight also for negative serials).
double toOleDate(const Stamp& s);
std::optional<Stamp> fromOleDate(double serial);  // rounds to the second

// 'YYYY-MM-DD HH:MM:SS', the only form stored in the database.
std::string formatStored(const Stamp& s);

// Contents of a Jet date literal (between the # marks): ISO y-m-d, US m/d/y
// (d/m/y when the first number cannot be a month), y/m/d, month names
// ("30-Aug-2008", "Aug 30, 2008"), two-digit years (00-29 -> 20xx), an
// optional time "h:mm[:ss] [AM|PM]", or a time alone (on 1899-12-30).
std::optional<Stamp> parseDateText(std::string_view text);

// Two-digit years of dates written by people: 0..29 mean 2000..2029,
// 30..99 mean 1930..1999; others stay.
int expandTwoDigitYear(int year);

}  // namespace rvz::data::jet
