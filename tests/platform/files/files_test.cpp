// Windows-style path resolution against a scratch folder tree, the home
// folder, and the whole-file helpers.
#include "platform/files/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;
using rvz::files::FileError;
using rvz::files::resolvePath;

namespace {

using ScopedEnv = rvz::testsupport::EnvScope;

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "home" / "Data" / "Sample");
    std::ofstream(root_ / "home" / "Data" / "Sample" / "DaZiva.mdb") << "x";
    std::ofstream(root_ / "home" / "Data" / "DoDar.mdb") << "x";
    fs::create_directories(root_ / "home" / "drives" / "c" / "Backup");
    fs::create_directories(root_ / "srv_d" / "Dediriva" / "Server");
    home_ = std::make_unique<ScopedEnv>("RVZ_HOME", (root_ / "home").string());
  }
  void TearDown() override { home_.reset(); }
  rvz::testsupport::ScratchFolder scratch_{"files"};
  const fs::path root_ = scratch_.path();
  std::unique_ptr<ScopedEnv> home_;
};

TEST_F(PathsTest, HomeFolderComesFromTheEnvironment) { EXPECT_EQ(rvz::files::homeFolder(), root_ / "home"); }

TEST_F(PathsTest, ResolvesWindowsFormsAgainstTheTree) {
  const fs::path h = root_ / "home";
  struct Case {
    std::string in;
    fs::path out;
  } cases[] = {
      // existing components in another letter case take the disk's spelling
      {"data\\sample\\daziva.mdb", h / "Data" / "Sample" / "DaZiva.mdb"},
      {"DATA/DODAR.MDB", h / "Data" / "DoDar.mdb"},
      // runs of separators, mixed separators and a trailing one
      {"Data\\\\Sample\\/DaZiva.mdb", h / "Data" / "Sample" / "DaZiva.mdb"},
      {"data//sample//", h / "Data" / "Sample"},
      // a missing component keeps its spelling, and so does what follows
      {"data\\Sample\\db1.mdb", h / "Data" / "Sample" / "db1.mdb"},
      {"data\\NewSet\\Sub\\DaZiva.mdb", h / "Data" / "NewSet" / "Sub" / "DaZiva.mdb"},
      // "." and ".."
      {"data\\.\\sample\\..\\dodar.mdb", h / "Data" / "DoDar.mdb"},
      {"data\\missing\\..\\sample", h / "Data" / "Sample"},
      // drive letters without a mapping live under <home>/drives
      {"c:\\backup", h / "drives" / "c" / "Backup"},
      {"C:backup\\x.txt", h / "drives" / "c" / "Backup" / "x.txt"},
      {"c:\\..\\..\\backup", h / "drives" / "c" / "Backup"},
      // a leading separator is the file system root
      {(h / "Data" / "sample").string(), h / "Data" / "Sample"},
      {"\\\\" + (h / "data").relative_path().string(), h / "Data"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolvePath(c.in), c.out) << c.in;
}

TEST_F(PathsTest, DriveLettersFollowTheirVariables) {
  ScopedEnv d("RVZ_DRIVE_D", (root_ / "srv_d").string());
  EXPECT_EQ(resolvePath("D:\\DEDIRIVA\\server\\Data\\Sample\\DaZiva.mdb"),
            root_ / "srv_d" / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb");
  EXPECT_EQ(resolvePath("d:/dediriva"), root_ / "srv_d" / "Dediriva");
  // Other drives are not affected by D's mapping.
  EXPECT_EQ(resolvePath("E:\\x"), root_ / "home" / "drives" / "e" / "x");
}

TEST_F(PathsTest, RelativePathsUseTheGivenBase) {
  EXPECT_EQ(resolvePath("sample\\DAZIVA.MDB", root_ / "home" / "Data"),
            root_ / "home" / "Data" / "Sample" / "DaZiva.mdb");
  EXPECT_EQ(resolvePath("..\\Data", root_ / "home" / "Data"), root_ / "home" / "Data");
}

TEST_F(PathsTest, ExactSpellingWinsOverOtherCases) {
  fs::create_directories(root_ / "home" / "data");  // now both Data and data exist
  EXPECT_EQ(resolvePath("data"), root_ / "home" / "data");
  EXPECT_EQ(resolvePath("Data"), root_ / "home" / "Data");
  // Neither spelling given exactly: the first in name order.
  EXPECT_EQ(resolvePath("DATA"), root_ / "home" / "Data");
}

TEST_F(PathsTest, NonAsciiNamesMatchWithoutCase) {
  fs::create_directories(root_ / "home" / "Ωmega账套");
  EXPECT_EQ(resolvePath("ωMEGA账套"), root_ / "home" / "Ωmega账套");
}

TEST_F(PathsTest, EmptyPathIsRefused) { EXPECT_THROW(resolvePath(""), FileError); }

TEST_F(PathsTest, WholeFileRoundTrip) {
  fs::path f = root_ / "home" / "blob.bin";
  std::string content("a\0b\r\nc", 6);
  rvz::files::writeFile(f, content);
  EXPECT_EQ(rvz::files::readFile(f), content);
  rvz::files::writeFile(f, "");
  EXPECT_EQ(rvz::files::readFile(f), "");
}

TEST_F(PathsTest, FileErrorsNameTheFile) {
  try {
    rvz::files::readFile(root_ / "home" / "nope.txt");
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("nope.txt"), std::string::npos) << e.what();
  }
  EXPECT_THROW(rvz::files::writeFile(root_ / "home" / "no_dir" / "x.txt", "x"), FileError);
}

}  // namespace

TEST(InstalledHome, TheInstallsBinaryFolderKeepsItsDataInTheStateDirectory) {
  EXPECT_EQ(rvz::files::homeOfExecutableFolder(RVZ_INSTALL_BINDIR), std::filesystem::path("/var/lib/rovezevu"));
  EXPECT_EQ(rvz::files::homeOfExecutableFolder("/opt/rvz/bin"), std::filesystem::path("/opt/rvz/bin"));
  EXPECT_EQ(rvz::files::homeOfExecutableFolder("/work/build"), std::filesystem::path("/work/build"));
}
