// Compaction: a compacted copy written next to the live file, refused while
// the file is open in this process or another, or when the copy exists.
#include "platform/data/compaction.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/data/query.h"
#include "tests/platform/data/data_test_support.h"

namespace rvz::data {
namespace {

using testing::errorOf;
namespace fs = std::filesystem;

class CompactionTest : public testing::TempHome {
 protected:
  void SetUp() override {
    TempHome::SetUp();
    live_ = newDatabase("data\\Sample\\DaZiva.mdb");
    Connection cn(live_);
    cn.execute("CREATE TABLE Kh (ID COUNTER, MC TEXT(200))");
    cn.beginTransaction();
    for (int i = 0; i < 2000; ++i)
      cn.execute("insert into Kh (MC) values ('" + std::string(150, static_cast<char>('a' + i % 26)) + "')");
    cn.commit();
    cn.execute("delete from Kh where ID > 10");
  }

  // The strings the compaction routine composes: folder + "/" + name.
  std::string source() const {
    return std::string(testing::kJet) + "Data Source=" + (home_ / "data" / "Sample").string() +
           "\\/DaZiva.mdb;Jet OLEDB:Database Password=tarqumel";
  }
  std::string destination() const {
    return std::string(testing::kJet) +
           "Password=\"\";User ID=Admin;Data Source=" + (home_ / "data" / "Sample").string() + "\\/db1.mdb";
  }
  fs::path livePath() const { return home_ / "data" / "Sample" / "DaZiva.mdb"; }
  fs::path copyPath() const { return home_ / "data" / "Sample" / "db1.mdb"; }

  int rowsIn(const std::string& relative) {
    Connection cn(connectionStringFor(relative));
    Query q("Tmp", &cn);
    q.setCommandText("select * from Kh");
    q.open();
    return static_cast<int>(q.recordCount());
  }

  std::string live_;
};

TEST_F(CompactionTest, WritesASmallerCopyAndLeavesTheSource) {
  const auto liveBefore = files::readFile(livePath());
  compactDatabase(source(), destination());
  ASSERT_TRUE(fs::exists(copyPath()));
  EXPECT_LT(fs::file_size(copyPath()), liveBefore.size());
  EXPECT_EQ(files::readFile(livePath()), liveBefore);
  EXPECT_EQ(rowsIn("data\\Sample\\db1.mdb"), 10);
  EXPECT_EQ(rowsIn("data\\Sample\\DaZiva.mdb"), 10);
}

TEST_F(CompactionTest, AnExistingDestinationIsRefused) {
  files::writeFile(copyPath(), "old");
  int32_t number = 0;
  std::string msg = errorOf([&] { compactDatabase(source(), destination()); }, &number);
  EXPECT_EQ(number, kErrDatabaseExists);
  EXPECT_EQ(msg.rfind("Database already exists: '", 0), 0u) << msg;
  EXPECT_NE(msg.find("db1.mdb"), std::string::npos) << msg;
  EXPECT_EQ(files::readFile(copyPath()), "old");
}

TEST_F(CompactionTest, AMissingSourceIsReported) {
  fs::remove(livePath());
  int32_t number = 0;
  std::string msg = errorOf([&] { compactDatabase(source(), destination()); }, &number);
  EXPECT_EQ(number, kErrFileNotFound);
  EXPECT_NE(msg.find("DaZiva.mdb"), std::string::npos) << msg;
  EXPECT_FALSE(fs::exists(copyPath()));
}

TEST_F(CompactionTest, FailsWhileAnotherConnectionHoldsTheFile) {
  Connection other(connectionStringFor("DATA\\SAMPLE\\daziva.mdb"));  // another spelling, the same file
  other.open();
  int32_t number = 0;
  std::string msg = errorOf([&] { compactDatabase(source(), destination()); }, &number);
  EXPECT_EQ(number, kErrFileInUse);
  EXPECT_NE(msg.find("file already in use (open in another connection of this server)"), std::string::npos) << msg;
  EXPECT_FALSE(fs::exists(copyPath()));
  other.close();
  compactDatabase(source(), destination());
  EXPECT_TRUE(fs::exists(copyPath()));
}

TEST_F(CompactionTest, FailsWhileAnotherProcessHoldsTheFile) {
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      Connection cn(live_);
      cn.open();
      char c = 'r';
      if (write(ready[1], &c, 1) != 1) status = 2;
      if (read(release[0], &c, 1) != 1) status = 3;
    } catch (...) {
      status = 1;
    }
    _exit(status);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  int32_t number = 0;
  std::string msg = errorOf([&] { compactDatabase(source(), destination()); }, &number);
  EXPECT_EQ(number, kErrFileInUse);
  EXPECT_NE(msg.find("open in another process"), std::string::npos) << msg;
  EXPECT_FALSE(fs::exists(copyPath()));
  ASSERT_EQ(write(release[1], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  compactDatabase(source(), destination());
  EXPECT_EQ(rowsIn("data\\Sample\\db1.mdb"), 10);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

TEST_F(CompactionTest, ConnectionsWaitNoLongerThanTheirTimeoutForACompaction) {
  // While a second process holds the file alone, an open gives up with the
  // in-use error after its connect timeout.
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      Connection cn(live_);
      cn.setShareMode(ShareMode::Exclusive);
      cn.open();
      char c = 'r';
      if (write(ready[1], &c, 1) != 1) status = 2;
      if (read(release[0], &c, 1) != 1) status = 3;
    } catch (...) {
      status = 1;
    }
    _exit(status);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  Connection cn(live_);
  cn.setConnectTimeout(1);
  int32_t number = 0;
  std::string msg = errorOf([&] { cn.open(); }, &number);
  EXPECT_EQ(number, kErrFileInUse);
  EXPECT_NE(msg.find("held alone by another process"), std::string::npos) << msg;
  ASSERT_EQ(write(release[1], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  cn.open();
  EXPECT_TRUE(cn.isOpen());
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

TEST_F(CompactionTest, BadConnectionStringsAreRefused) {
  EXPECT_NE(errorOf([&] { compactDatabase("Data Source=x", destination()); }).find("names no Provider"),
            std::string::npos);
  EXPECT_NE(errorOf([&] {
              compactDatabase(source(), std::string(testing::kJet) + "Password=\"\"");
            }).find("names no Data Source"),
            std::string::npos);
  EXPECT_NE(errorOf([&] {
              compactDatabase(source(), std::string(testing::kJet) + "Data Source=nofolder\\db1.mdb");
            }).find("does not exist"),
            std::string::npos);
}

}  // namespace
}  // namespace rvz::data
