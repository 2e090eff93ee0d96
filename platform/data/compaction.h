// Compaction of a database: a compacted copy of the source written to the
// destination, as the Jet engine's CompactDatabase does.
#pragma once

#include <string_view>

namespace rvz::data {

// Given the source and destination connection strings, writes a compacted
// copy of the source database to the destination file, or fails with a
// DataError and leaves the source unchanged. Fails when the destination
// exists already (kErrDatabaseExists), when the source is missing
// (kErrFileNotFound), and while any other connection, of this process or
// another, holds the source open (kErrFileInUse). The source's database
// password is accepted and not checked; the destination names none.
void compactDatabase(std::string_view sourceConnectionString, std::string_view destinationConnectionString);

}  // namespace rvz::data
