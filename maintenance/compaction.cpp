// In-place compaction around the data layer's compaction engine.
#include "maintenance/compaction.h"

#include <filesystem>
#include <stdexcept>

#include "platform/data/compaction.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/files/files.h"

namespace rvz::maintenance {

namespace fs = std::filesystem;

CompactionPaths compactionPaths(const std::string& databasePath, std::string_view password) {
  // The folder part of the path, with its trailing separator.
  size_t cut = databasePath.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? std::string() : databasePath.substr(0, cut + 1);
  CompactionPaths p;
  p.database = folder + "/DaZiva.mdb";
  p.copy = folder + "/db1.mdb";
  p.previous = folder + "/DaZiva.$$$";
  p.source = data::composeConnectionString({{"Provider", "Microsoft.Jet.OLEDB.4.0"},
                                            {"Data Source", databasePath},
                                            {"Jet OLEDB:Database Password", password}});
  p.destination = data::composeConnectionString(
      {{"Provider", "Microsoft.Jet.OLEDB.4.0"}, {"Password", ""}, {"User ID", "Admin"}, {"Data Source", p.copy}});
  return p;
}

bool CompactAccessDatabase(const std::string& databasePath, std::string_view password) {
  if (databasePath.empty())
    throw data::DataError::component(data::kErrBadConnectionString, "No company database file to compact");
  CompactionPaths p = compactionPaths(databasePath, password);
  fs::path live = files::resolvePath(p.database), copy = files::resolvePath(p.copy),
           previous = files::resolvePath(p.previous);
  std::error_code ec;
  auto cleanUp = [&] {
    if (fs::exists(live, ec)) {
      fs::remove(previous, ec);
      fs::remove(copy, ec);
    }
  };
  // Leftovers of an interrupted run go only while the live file is there:
  // otherwise they are the only copies of the database.
  cleanUp();
  try {
    data::compactDatabase(p.source, p.destination);
  } catch (...) {
    cleanUp();
    throw;
  }
  fs::rename(live, previous, ec);
  if (ec) {
    // The database is still there, uncompacted: the call succeeds as the
    // engine's work did, and the copy goes.
    cleanUp();
    return true;
  }
  fs::rename(copy, live, ec);
  if (ec) {
    // Put the previous database back rather than leave the account set
    // without one.
    std::string why = ec.message();
    fs::rename(previous, live, ec);
    throw std::runtime_error("The compacted database could not replace " + p.database + ": " + why);
  }
  cleanUp();
  return true;
}

}  // namespace rvz::maintenance
