// The DDL of the company database (DaZiva.mdb) and of the account registry
// (DoDar.mdb), in Access (Jet) SQL, ready to pass through the Jet dialect
// translator. The text lives in catalogue/schema/*.sql and is built in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rvz::catalogue {

// Every table the catalogue's datasets on Cn read, one CREATE statement per
// element (CREATE TABLE, and CREATE INDEX after the table it indexes), in
// the order of the script, without comments and without the closing ";".
std::vector<std::string> companySchemaStatements();

// The account registry's tables Act_DODar and VersionInfor, in the same form.
std::vector<std::string> registrySchemaStatements();

// Splits a script written like the schema files: lines starting with "--"
// are comments, a line holding only ";" (blanks around it allowed) ends a
// statement, blank lines between statements are ignored. Throws
// std::invalid_argument naming the line when a statement is not closed by
// such a line at the end of the script, or when a ";" line closes nothing.
std::vector<std::string> splitSchemaScript(std::string_view script);

}  // namespace rvz::catalogue
