// The sample home folder that `quib init DIR` writes: the account registry
// with the account set "Sample", that set's company database filled with
// consistent sample data, and a copy of it where the data service's
// declared connection string points (drive D:).
#pragma once

#include <filesystem>
#include <string>

namespace rvz::data {
class Connection;
}

namespace rvz::client {

// A SQL Server account set that `quib init --server` makes beside the
// Access one: its connection string (SQLOLEDB.1) and the name and caption
// it is registered under.
struct ServerAccountSet {
  std::string connectionString;
  std::string caption = "示例账套(服务器)";
};

// Writes a ready home folder into `dir` (created when missing):
//  - dir/data/DoDar.mdb: the registry schema, one account set "Sample"
//    (an Access set, type 0) and a version record;
//  - dir/data/Sample/DaZiva.mdb: the whole company schema with sample rows
//    in every table, so that every dataset of the catalogue whose SQL can
//    select rows serves some;
//  - D:/Dediriva/Server/Data/Sample/DaZiva.mdb: the same database again,
//    the sample that Cn's declared "D:\Dediriva\Server\Data\Sample" path
//    names, with D: where a server of this home finds it: $RVZ_DRIVE_D when
//    set, otherwise dir/drives/d.
// The data is the same on every run. `rows` > 0 scales goods (HP),
// customers (KH) and the lines of every bill family to about that many rows
// each (with headers to match), for benchmarks.
//
// A folder that already holds a home gets fresh databases: each file is
// built beside its final name and then moved over the old one, so a failed
// build leaves the old file in place. No server may have them open
// meanwhile. Other files of the home (settings, backups) are left alone.
//
// Throws files::FileError naming the folder or file that cannot be created
// or written, and data::DataError when the database engine refuses a
// statement.
void buildSampleHome(const std::filesystem::path& dir, int rows = 0);

// The same home with a SQL Server account set as well:
//  - on the server the connection string names, the database of its
//    Initial Catalog (created when missing) gets the company schema and the
//    same sample rows as the Access set, in one transaction; a database
//    that already holds tables is refused (DataError) and left alone, and
//    one made here is dropped again when filling it fails;
//  - DoDar.mdb registers it under the database's name with type 1 (a SQL
//    Server set), its caption and the server's name;
//  - dir/RoVezevu.ini gets the link settings of the connection string
//    (section "Connection", the password scrambled), which the server reads
//    when a client chooses the set.
// The server database is made first, so that a failure there leaves the
// home folder as it was.
void buildSampleHome(const std::filesystem::path& dir, int rows, const ServerAccountSet& server);

// Writes the company schema and the sample rows into the empty database of
// `cn`, inside one transaction of its own; any provider. Throws
// data::DataError from the database (nothing is left written then).
void writeSampleCompany(data::Connection& cn, int rows = 0);

// Makes the server database of `connectionString` as buildSampleHome does.
// True when the database was created here, false when an empty one was
// there already.
bool buildServerSampleDatabase(const std::string& connectionString, int rows = 0);

}  // namespace rvz::client
