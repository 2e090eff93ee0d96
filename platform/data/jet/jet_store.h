// Jet's conversion of a value that a statement writes into a column (the
// values of INSERT and of UPDATE ... SET): numeric text becomes a number in
// a numeric column, a date text or serial number the stored date text in a
// date column, "True"/"False" or a number -1/0 in a yes/no column; a value
// the column cannot hold is refused with Jet's error. SQLite itself would
// store any value in any column, and a column holding what it cannot give
// back makes every later read of its table fail.
#pragma once

#include <string_view>

#include "platform/data/jet/jet_result_types.h"

struct sqlite3;

namespace rvz::data::jet {

// Jet's refusals, as the conversion functions report them (the provider
// knows them by these texts and gives Jet's numbers, 3464 and 3349).
inline constexpr std::string_view kStoreMismatchText = "Data type mismatch in criteria expression.";
inline constexpr std::string_view kStoreOverflowText = "Numeric field overflow.";

// The registered SQLite function that converts a value written into a
// column of type `t`; empty when values of that type are stored as they come
// (text, binary and unknown columns).
std::string_view storeFunction(JetType t);

// Registers the conversion functions on `db`. Throws std::runtime_error
// naming the function that could not be installed.
void installStoreFunctions(sqlite3* db);

}  // namespace rvz::data::jet
