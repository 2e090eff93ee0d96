// Compaction of an Access company database in place: the compacted copy
// db1.mdb replaces DaZiva.mdb only when it is complete.
#pragma once

#include <string>
#include <string_view>

namespace rvz::maintenance {

struct CompactionPaths {
  std::string database;     // the folder + "/DaZiva.mdb"
  std::string copy;         // the folder + "/db1.mdb"
  std::string previous;     // the folder + "/DaZiva.$$$"
  std::string source;       // connection string of the database, with its password
  std::string destination;  // connection string of the copy, without a password
};

// The files and connection strings for a database path.
CompactionPaths compactionPaths(const std::string& databasePath, std::string_view password);

// Compacts the database; true when done. Throws the engine's error (the
// database unchanged). When the copy cannot be given the database's name
// after the database was moved aside, the database is moved back and the
// call fails saying so, rather than report a database that is gone.
bool CompactAccessDatabase(const std::string& databasePath, std::string_view password);

}  // namespace rvz::maintenance
