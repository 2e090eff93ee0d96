// Moving an Access account set up to a SQL Server one: `quib migrate`
// copies the tables of a company database file into a database on a
// server, with their rows, the positions of their counters and their
// indexes.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

namespace rvz::client {

// The password of the system's Access account set files.
inline constexpr std::string_view kAccountSetPassword = "tarqumel";

struct MigrationResult {
  int tables = 0;
  long long rows = 0;
  int indexes = 0;
  bool databaseCreated = false;  // the target database was made by the copy
};

// Copies every table of the Access database `file` into the database that
// the SQL Server connection string `target` names (its Initial Catalog,
// created when missing):
//  - each table with the same columns and Access types, its primary key,
//    its rows, and a counter that goes on where the file's stopped;
//  - the file's indexes (those of its keys come with the tables);
//  - a line per table on `progress` ("KH: 12 rows"), then the totals.
// All or nothing: the copy runs in one transaction, and a database that the
// copy made is dropped again when it fails. A target that already holds
// tables is refused before anything is written. Views are not copied (their
// text is the engine's, not the account set's), which `progress` names.
// Throws data::DataError or files::FileError naming the file, the server,
// the table and the row where the copy stopped; the password never shows.
MigrationResult migrateAccountSet(const std::filesystem::path& file, const std::string& target, std::ostream& progress);

}  // namespace rvz::client
