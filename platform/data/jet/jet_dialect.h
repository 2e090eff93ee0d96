// The Jet SQL dialect on SQLite: translation of Jet command texts into
// SQLite SQL, and the Jet functions that the translated texts call.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace rvz::data::jet {

// Translates one Jet SQL command text (UTF-8) to SQLite SQL. Text the translator does not
// understand is returned unchanged, so that SQLite reports its own error on it.
std::string translate(std::string_view jetSql);

// Installs the Jet functions (and anything else the translated text relies on) on a connection.
void registerFunctions(sqlite3* db);

}  // namespace rvz::data::jet
