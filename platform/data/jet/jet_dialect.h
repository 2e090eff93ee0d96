// The Jet SQL dialect on SQLite: translation of Jet command texts into
// SQLite SQL, and the Jet functions that the translated texts call.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace rvz::data::jet {

// Translates one Jet SQL command text (UTF-8) to SQLite SQL; text the
// translator does not understand is returned unchanged (tools and tests that
// show what a text becomes). Connections run only translated text and refuse
// the rest with the translator's reason (TypedTranslation).
std::string translate(std::string_view jetSql);

// Installs the Jet functions (and anything else the translated text relies on) on a connection.
void registerFunctions(sqlite3* db);

}  // namespace rvz::data::jet
