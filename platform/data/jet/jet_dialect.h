// The Jet SQL dialect on SQLite: translation of Jet command texts into
// SQLite SQL, and the Jet functions that the translated texts call.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace rvz::data::jet {

// The result of translating one command text.
struct Translation {
  std::string sql;         // the SQLite text, or the input unchanged
  bool translated = false;
  std::string reason;      // why not, when not translated ("unterminated date literal at character 8")
};

// Translates one Jet SQL command text (UTF-8) to SQLite SQL. Never throws.
// Connections run only translated text: the reason is what they report for
// the rest.
Translation translateDetailed(std::string_view jetSql);

// The SQLite text of a translation, or the input unchanged when it cannot be
// translated (tools and tests that show what a text becomes).
std::string translate(std::string_view jetSql);

// Installs the Jet functions (and anything else the translated text relies on) on a connection.
void registerFunctions(sqlite3* db);

}  // namespace rvz::data::jet
