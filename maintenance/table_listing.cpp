// Table listing.
#include "maintenance/table_listing.h"

namespace rvz::maintenance {

std::vector<std::string> ListTableNames(data::Connection& connection) {
  std::vector<std::string> names;
  for (const auto& t : connection.tables()) {
    if (t.type != "TABLE") continue;
    if (t.name.find("MSys") != std::string::npos || t.name.find("rpt_") != std::string::npos) continue;
    names.push_back(t.name);
  }
  return names;
}

}  // namespace rvz::maintenance
