// The emitter of PostgreSQL 15 SQL: what it writes differently from the
// SQLite emitter. Names are always quoted in the spelling the database
// stores (from the typing against a schema), tables carry a lower-case
// alias that every qualifier names, truth values are booleans in conditions
// and -1/0 as values, text compares under the case-insensitive collation of
// pg_types.h (explicitly where two columns or no column meet, since narrow
// and wide columns carry different collations), LIKE runs under "C" with
// ILIKE or a regular expression, and the Jet and SQL Server functions become
// PostgreSQL expressions or the functions of pg_functions.h.
#pragma once

#include <memory>

#include "platform/data/jet/jet_emit.h"

namespace rvz::data::jet {

std::unique_ptr<Emitter> makePgEmitter(size_t outputLimit);

// A Jet or SQL Server LIKE pattern as a PostgreSQL ILIKE pattern; false when
// it has a character list or a # (then pgLikeRegex).
bool pgLikePattern(const std::string& pattern, std::string& out);
// The same pattern as an anchored POSIX regular expression; throws
// TranslateError for an unclosed character list.
std::string pgLikeRegex(const std::string& pattern);

}  // namespace rvz::data::jet
