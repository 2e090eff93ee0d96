// In-place compaction: file names, connection strings and what is left on
// disk when something goes wrong.
#include "maintenance/compaction.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/data/connection.h"
#include "tests/support/scratch_folder.h"

using namespace rvz;
namespace fs = std::filesystem;

namespace {

class Compaction : public ::testing::Test {
 protected:
  testsupport::ScratchFolder scratch_{"compact"};
  const fs::path dir_ = scratch_.path();
  testsupport::HomeScope home_{dir_};
  void database() {
    std::ofstream(dir_ / "DaZiva.mdb").close();
    data::Connection cn("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir_ / "DaZiva.mdb").string());
    cn.execute("create table T (A LONG)");
    cn.execute("insert into T values (1)");
  }
};

TEST_F(Compaction, PathsAndConnectionStrings) {
  auto p = maintenance::compactionPaths("C:\\Server\\data\\A\\DaZiva.mdb", "tarqumel");
  EXPECT_EQ(p.database, "C:\\Server\\data\\A\\/DaZiva.mdb");
  EXPECT_EQ(p.copy, "C:\\Server\\data\\A\\/db1.mdb");
  EXPECT_EQ(p.previous, "C:\\Server\\data\\A\\/DaZiva.$$$");
  EXPECT_EQ(p.source,
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Server\\data\\A\\DaZiva.mdb;Jet OLEDB:Database "
            "Password=tarqumel");
  EXPECT_EQ(p.destination,
            "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;Data Source=C:\\Server\\data\\A\\/db1.mdb");
}

TEST_F(Compaction, LeavesOnlyTheCompactedDatabase) {
  database();
  std::ofstream(dir_ / "db1.mdb") << "old";
  EXPECT_TRUE(maintenance::CompactAccessDatabase((dir_ / "DaZiva.mdb").string(), "tarqumel"));
  EXPECT_FALSE(fs::exists(dir_ / "db1.mdb"));
  EXPECT_FALSE(fs::exists(dir_ / "DaZiva.$$$"));
  data::Connection cn("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir_ / "DaZiva.mdb").string());
  EXPECT_EQ(cn.execute("delete from T"), 1);
}

TEST_F(Compaction, WithoutTheLiveFileLeftoversAreKept) {
  std::ofstream(dir_ / "DaZiva.$$$") << "the only copy";
  EXPECT_THROW(maintenance::CompactAccessDatabase((dir_ / "DaZiva.mdb").string(), "tarqumel"), std::exception);
  EXPECT_TRUE(fs::exists(dir_ / "DaZiva.$$$"));
  EXPECT_THROW(maintenance::CompactAccessDatabase("", "tarqumel"), std::exception);
}

TEST_F(Compaction, ADatabaseOpenElsewhereIsLeftAsItWas) {
  database();
  data::Connection holder("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir_ / "DaZiva.mdb").string());
  holder.open();
  EXPECT_THROW(maintenance::CompactAccessDatabase((dir_ / "DaZiva.mdb").string(), "tarqumel"), std::exception);
  EXPECT_TRUE(fs::exists(dir_ / "DaZiva.mdb"));
  EXPECT_FALSE(fs::exists(dir_ / "db1.mdb"));
  EXPECT_EQ(holder.execute("delete from T"), 1);
}

}  // namespace
