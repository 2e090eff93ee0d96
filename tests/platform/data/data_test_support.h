// Scratch home folders with Access databases (SQLite files) for the data
// component's tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

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
    return std::string(kJet) + "Data Source=" + relative + ";Persist Security Info=False;Jet OLEDB:Database Password=tarqumel";
  }

  testsupport::ScratchFolder scratch_{"data"};
  const std::filesystem::path home_ = scratch_.path();

 private:
  testsupport::HomeScope homeScope_{home_};
};

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
