// The sample home folder that `quib init DIR` writes: the account registry
// with the account set "Sample", that set's company database filled with
// consistent sample data, and a copy of it where the data service's
// declared connection string points (drive D:).
#pragma once

#include <filesystem>

namespace rvz::client {

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

}  // namespace rvz::client
