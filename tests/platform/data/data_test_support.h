// Scratch home folders with Access databases (SQLite files) for the data
// component's tests.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/data/connection.h"
#include "platform/files/files.h"
#include "tests/support/scratch_folder.h"

namespace rvz::data::testing {

inline constexpr const char* kJet = "Provider=Microsoft.Jet.OLEDB.4.0;";

class TempHome : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(home_ / "data" / "Sample"); }

  // An empty database file (a zero-length file is an empty SQLite database)
  // and the Jet connection string naming it the Windows way.
  std::string newDatabase(const std::string& relative = "data\\Sample\\DaZiva.mdb") {
    files::writeFile(files::resolvePath(relative), "");
    return connectionStringFor(relative);
  }
  static std::string connectionStringFor(const std::string& relative) {
    return std::string(kJet) + "Data Source=" + relative +
           ";Persist Security Info=False;Jet OLEDB:Database Password=tarqumel";
  }

  testsupport::ScratchFolder scratch_{"data"};
  const std::filesystem::path home_ = scratch_.path();

 private:
  testsupport::HomeScope homeScope_{home_};
};

// Runs SQLite SQL on a database file past the provider (what damaged or
// older files hold, the stored forms); the first row's values as text, Null
// as "<null>".
inline std::vector<std::string> rawSqlite(const std::string& relative, const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::string> row;
  if (sqlite3_open_v2(files::resolvePath(relative).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << relative;
    sqlite3_close(db);
    return row;
  }
  sqlite3_busy_timeout(db, 5000);
  char* error = nullptr;
  auto first = [](void* out, int n, char** values, char**) {
    auto* r = static_cast<std::vector<std::string>*>(out);
    if (r->empty())
      for (int i = 0; i < n; ++i) r->push_back(values[i] ? values[i] : "<null>");
    return 0;
  };
  if (sqlite3_exec(db, sql.c_str(), first, &row, &error) != SQLITE_OK) ADD_FAILURE() << sql << ": " << error;
  sqlite3_free(error);
  sqlite3_close(db);
  return row;
}

// The message of the DataError `f` throws; fails the test when it throws none.
template <class F>
std::string errorOf(F&& f, int32_t* number = nullptr) {
  try {
    f();
  } catch (const DataError& e) {
    if (number) *number = e.number();
    return e.what();
  }
  ADD_FAILURE() << "no DataError";
  return {};
}

}  // namespace rvz::data::testing
