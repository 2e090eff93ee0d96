// Jet's refusal of a Null key on files whose key columns lack NOT NULL.
//
// Jet never stores Null in a primary-key column. Tables made today are
// written with NOT NULL on every key column, and the engine refuses a Null
// there itself; files made before that let SQLite accept one (it allows
// Null in any key that is not the rowid), and client SQL then stores a row
// no Jet database could hold. A connection that writes to such a file gets
// triggers of its own that refuse it, so an INSERT that gives or leaves out
// the key and an UPDATE that sets it to Null fail as on a file made today.
#pragma once

#include <string_view>

struct sqlite3;

namespace rvz::data::sqlite {

// Installs, in the connection's temporary schema (the file is left as it
// is), one insert and one update trigger for every table of `db` with a
// primary-key column that may hold Null. Each raises `kNullKeyText` with
// the engine's SQLITE_CONSTRAINT_TRIGGER code. Throws DataError when the
// schema cannot be read or a trigger cannot be made.
void guardNullKeys(sqlite3* db);

// True when an engine failure (`extendedCode`, `message`) is one of these
// triggers' refusals.
bool isNullKeyGuardRefusal(int extendedCode, std::string_view message);

}  // namespace rvz::data::sqlite
