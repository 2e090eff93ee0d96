// The parameters a command text declares for itself (Jet's "PARAMETERS p
// Long, q Text(20); SELECT ..."), as the parameters of a query: in declared
// order, with their names and types and no values yet.
#pragma once

#include <string_view>
#include <vector>

#include "platform/data/field_kind.h"

namespace rvz::data {

// Empty when the text declares none.
std::vector<Parameter> declaredParameters(std::string_view commandText);

}  // namespace rvz::data
