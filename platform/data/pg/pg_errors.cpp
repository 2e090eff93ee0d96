// SQLSTATE to SQL Server error numbers.
#include "platform/data/pg/pg_errors.h"

namespace rvz::data::pg {

int32_t sqlServerNumber(std::string_view s) {
  struct Entry {
    std::string_view state;
    int32_t number;
  };
  static constexpr Entry kTable[] = {
      {"23505", 2627},
      {"23503", 547},
      {"23502", 515},
      {"23514", 547},
      {"22001", 8152},
      {"22003", 8115},
      {"22P02", 245},
      {"22007", 241},
      {"22008", 241},
      {"22012", 8134},
      {"42P01", 208},
      {"42703", 207},
      {"42883", 195},
      {"42601", 102},
      {"42804", 8114},
      {"42846", 8114},
      {"42702", 209},
      {"42P07", 2714},
      {"42501", 229},
      {"40001", 1205},
      {"40P01", 1205},
      {"57014", 3617},
      {"3D000", kErrCannotOpenDatabase},
      {"28P01", kErrLoginFailed},
      {"28000", kErrLoginFailed},
  };
  for (const Entry& e : kTable)
    if (e.state == s) return e.number;
  if (isConnectionLoss(s)) return kErrConnectionLost;
  return kErrServerGeneral;
}

bool isConnectionLoss(std::string_view s) {
  return (s.size() == 5 && s.substr(0, 2) == "08") || s == "57P01" || s == "57P02" || s == "57P03";
}

}  // namespace rvz::data::pg
