// Jet's Format(value, format): VBA's named and user-defined number, date and
// text formats, in the server's Chinese locale (short date "yyyy-M-d", date
// separator "-", long time "H:mm:ss", designators 上午/下午).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/data/jet/jet_dates.h"

namespace rvz::data::jet {

// The value being formatted, as the caller found it.
struct FormatValue {
  enum class Kind { Number, Text } kind = Kind::Text;
  double number = 0;
  bool integral = false;  // an integer value: General Number writes no fraction
  std::string text;       // Text, or the number's own text form
};

// What the format string asks for.
enum class FormatKind { Number, Date, Text, None };
FormatKind formatKind(std::string_view format);

std::string formatNumber(double v, std::string_view format);
std::string formatDate(const Stamp& s, std::string_view format);
std::string formatText(std::string_view value, std::string_view format);

// The whole of Format: a number or a numeric text under a number format, a
// date text or number under a date format; anything that does not fit is
// returned as its own text, as VBA does.
std::string jetFormat(const FormatValue& v, std::string_view format);

}  // namespace rvz::data::jet
