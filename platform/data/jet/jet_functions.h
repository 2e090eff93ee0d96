// The Jet functions as SQLite user functions: which Jet names exist, what
// kind of value each returns (the translator's static typing uses it), and
// their registration on a connection.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace rvz::data::jet {

// The kind of value an expression has, as far as the text shows it.
enum class SqlType { Unknown, Number, Text, Date, Boolean };

struct JetFunctionInfo {
  std::string_view jetName;  // lower case, as looked up
  std::string_view sqlName;  // the registered user function
  SqlType result;
};

// The Jet function of that name (any letter case, a trailing "$" ignored),
// or nullptr. Functions the translator rewrites into SQL (IIf, Switch, Nz,
// IsNull, Now, Date, Time) are not in this table.
const JetFunctionInfo* findJetFunction(std::string_view name);

// Registers every user function the translated texts call, and makes
// double-quoted words identifiers only (never text literals) on `db`.
// Throws std::runtime_error naming the function that could not be installed.
void installJetFunctions(sqlite3* db);

}  // namespace rvz::data::jet
