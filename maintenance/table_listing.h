// The user tables of a company database, as the table list and the backup
// see them.
#pragma once

#include <string>
#include <vector>

#include "platform/data/connection.h"

namespace rvz::maintenance {

// The names of the connection's tables of type "TABLE" whose names contain
// neither "MSys" nor "rpt_", in the order of the schema rowset. Opens the
// connection when it is closed.
std::vector<std::string> ListTableNames(data::Connection& connection);

}  // namespace rvz::maintenance
