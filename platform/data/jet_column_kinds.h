// Jet types and column kinds, both ways, the same for every provider: the
// Jet type of a table's column as its provider describes it (for the typing
// of expressions), and the description of a result column that has the type
// of its expression (Max(RQ), Count(*), Format(...)) or of a parameter alone.
#pragma once

#include "platform/data/driver.h"
#include "platform/data/jet/jet_result_types.h"

namespace rvz::data {

// The Jet type of a column of this kind (Unknown for kind Unknown).
jet::JetType jetTypeOfColumn(const ColumnInfo& c);

// Describes `c` as a computed column of Jet type `t`; false (and `c`
// unchanged) for the types that tell no kind (Unknown, Null, Parameter).
bool describeByJetType(ColumnInfo& c, const jet::ColumnType& t);

// Describes `c` as a column that is a parameter alone, by the value bound
// to it (its type hint, else its storage class); false for a Null without
// a hint.
bool describeByParameter(ColumnInfo& c, const BoundValue& v);

}  // namespace rvz::data
