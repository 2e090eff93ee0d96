// Profile files as the Windows profile functions read and write them:
// matching without case, defaults, the 2048-byte buffer, sections and files
// created on write, other lines kept, CP936 on disk; and the computer name.
#include "platform/profile/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/profile/ini_text.h"
#include "platform/text/text.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;
using rvz::profile::getPrivateProfileString;
using rvz::profile::ProfileError;
using rvz::profile::writePrivateProfileString;

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  rvz::testsupport::ScratchFolder scratch_{"profile"};
  const fs::path dir_ = scratch_.path();
  const std::string file_ = (dir_ / "RoVezevu.ini").string();
  void put(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
  std::string raw() {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string get(const char* section, const char* key, const char* def = "dflt") {
    return getPrivateProfileString(section, key, def, file_);
  }
};

TEST_F(ProfileTest, ReadsLikeTheWindowsReader) {
  put("top=before any section\r\n"
      "[Connection]\r\n"
      "ServerName=.\r\n"
      "  DatabaseName =  DaZiva  \r\n"
      "; UserId=commented\r\n"
      "Password=\r\n"
      "Quoted=\"  a b  \"\r\n"
      "Single='x'\r\n"
      "Unbalanced=\"x\r\n"
      "lonely line\r\n"
      "ServerName=second\r\n"
      "Auto Translate=0\r\n"
      "[connection]\r\n"
      "Other=from the second section\r\n"
      "   [Back]  \r\n"
      "Dir=d:\\backup\\\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"Connection", "ServerName", "."},         // the first line of a key wins
      {"CONNECTION", "servername", "."},         // names without case
      {"Connection", "DatabaseName", "DaZiva"},  // blanks around name and value
      {"Connection", "UserId", "dflt"},          // a comment is no key
      {"Connection", "Password", ""},            // present and empty: not the default
      {"Connection", "Quoted", "  a b  "},       // one pair of quotes dropped
      {"Connection", "Single", "x"},
      {"Connection", "Unbalanced", "\"x"},
      {"Connection", "lonely line", "dflt"},  // a line without "=" is no key
      {"Connection", "Auto Translate", "0"},
      {"Connection", "Other", "dflt"},  // only the first section of a name
      {"Back", "Dir", "d:\\backup\\"},  // blanks around the header, LF end
      {"", "top", "dflt"},              // keys before any section
      {"Missing", "ServerName", "dflt"},
  };
  for (const auto& c : cases) EXPECT_EQ(get(c.section, c.key), c.expected) << c.section << "/" << c.key;
}

TEST_F(ProfileTest, DefaultsWhenTheFileIsMissingOrUnreadable) {
  EXPECT_EQ(get("Back", "Dir", "d:\\backup\\"), "d:\\backup\\");
  EXPECT_EQ(get("Back", "Dir", "x  \t"), "x");  // trailing blanks of the default go
  EXPECT_EQ(get("Back", "Dir", "  x"), "  x");
  fs::create_directory(file_);  // a folder where the file should be
  EXPECT_EQ(get("Back", "Dir", "d"), "d");
  EXPECT_FALSE(fs::exists(dir_ / "RoVezevu.ini" / "x"));
}

TEST_F(ProfileTest, ValuesAreCutToTheBuffer) {
  put("[S]\nlong=" + std::string(3000, 'a') + "\nwide=" + std::string(1500 * 2, '\xB7') + "\n");
  EXPECT_EQ(get("S", "long").size(), 2047u);
  EXPECT_EQ(getPrivateProfileString("S", "long", "", file_, 10), std::string(9, 'a'));
  EXPECT_EQ(getPrivateProfileString("S", "long", "", file_, 0), "");
  // 0xB7 0xB7 is one double-byte character: 2047 bytes hold 1023 of them,
  // and the half character that would remain is not returned.
  std::string wide = get("S", "wide");
  EXPECT_EQ(rvz::text::utf8ToAnsi(wide).size(), 2046u);
  EXPECT_EQ(getPrivateProfileString("S", "none", std::string(3000, 'd'), file_).size(), 2047u);
}

TEST_F(ProfileTest, WritingCreatesTheFileAndTheSection) {
  writePrivateProfileString("Connection", "ServerName", ".", file_);
  EXPECT_EQ(raw(), "[Connection]\r\nServerName=.\r\n");
  writePrivateProfileString("Connection", "DatabaseName", "DaZiva", file_);
  writePrivateProfileString("Back", "Dir", "c:\\backup", file_);
  EXPECT_EQ(raw(), "[Connection]\r\nServerName=.\r\nDatabaseName=DaZiva\r\n[Back]\r\nDir=c:\\backup\r\n");
  EXPECT_EQ(get("connection", "databasename"), "DaZiva");
  EXPECT_EQ(get("BACK", "dir"), "c:\\backup");
}

TEST_F(ProfileTest, WritingAKeyKeepsTheRestOfTheFile) {
  const std::string before =
      "; settings by hand\n"
      "[connection]\n"
      "  servername = old  \n"
      "UserId=sa\n"
      "\n"
      "[Other]\n"
      "k=v\n"
      "no line end at the end=1";
  put(before);
  writePrivateProfileString("CONNECTION", "ServerName", "new", file_);
  EXPECT_EQ(raw(),
            "; settings by hand\n[connection]\n  servername=new\nUserId=sa\n\n[Other]\nk=v\n"
            "no line end at the end=1");
  writePrivateProfileString("Connection", "TrustConnect", "0", file_);
  EXPECT_EQ(raw(),
            "; settings by hand\n[connection]\n  servername=new\nUserId=sa\nTrustConnect=0\n\n[Other]\n"
            "k=v\nno line end at the end=1");
  writePrivateProfileString("other", "added", "2", file_);
  EXPECT_EQ(raw(),
            "; settings by hand\n[connection]\n  servername=new\nUserId=sa\nTrustConnect=0\n\n[Other]\n"
            "k=v\nno line end at the end=1\nadded=2\n");
  writePrivateProfileString("Third", "x", "y", file_);
  EXPECT_EQ(raw().substr(raw().size() - 12), "[Third]\nx=y\n");
}

TEST_F(ProfileTest, ValuesAreCp936OnDisk) {
  writePrivateProfileString("数据", "服务器", "服务器", file_);
  EXPECT_EQ(raw(), "[\xCA\xFD\xBE\xDD]\r\n\xB7\xFE\xCE\xF1\xC6\xF7=\xB7\xFE\xCE\xF1\xC6\xF7\r\n");
  EXPECT_EQ(get("数据", "服务器"), "服务器");
  // A character CP936 cannot hold is written as "?".
  writePrivateProfileString("数据", "k", "aกb", file_);
  EXPECT_EQ(get("数据", "k"), "a?b");
}

TEST_F(ProfileTest, DoubleByteTrailBytesAreNotBrackets) {
  // "乚" is 0x81 0x5D in CP936: its trail byte is "]".
  put("[\x81\x5D"
      "A]\r\nk=inside\r\n");
  EXPECT_EQ(get("乚A", "k"), "inside");
  writePrivateProfileString("乚A", "k", "changed", file_);
  EXPECT_EQ(get("乚A", "k"), "changed");
}

TEST_F(ProfileTest, WindowsPathsAreResolved) {
  fs::create_directories(dir_ / "drive_c" / "Cfg");
  const char* old = getenv("RVZ_DRIVE_C");
  std::string saved = old ? old : "";
  setenv("RVZ_DRIVE_C", (dir_ / "drive_c").c_str(), 1);
  writePrivateProfileString("Back", "Dir", "c:\\backup", "C:\\cfg\\BackInfo.ini");
  EXPECT_TRUE(fs::exists(dir_ / "drive_c" / "Cfg" / "BackInfo.ini"));
  EXPECT_EQ(getPrivateProfileString("Back", "Dir", "", "c:/CFG/backinfo.INI"), "c:\\backup");
  if (old)
    setenv("RVZ_DRIVE_C", saved.c_str(), 1);
  else
    unsetenv("RVZ_DRIVE_C");
}

TEST_F(ProfileTest, UnwritableFilesFailWithTheSystemsText) {
  auto expectFailure = [&](const std::string& file, const std::string& cause) {
    try {
      writePrivateProfileString("Connection", "ServerName", ".", file);
      ADD_FAILURE() << "wrote " << file;
    } catch (const ProfileError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
      EXPECT_NE(e.cause().find(cause), std::string::npos) << e.cause();
    }
  };
  put("[Connection]\r\nServerName=x\r\n");
  fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read);
  expectFailure(file_, "read-only");
  EXPECT_EQ(get("Connection", "ServerName"), "x");

  fs::create_directory(dir_ / "ro");
  fs::permissions(dir_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  expectFailure((dir_ / "ro" / "new.ini").string(), "read-only");
  EXPECT_FALSE(fs::exists(dir_ / "ro" / "new.ini"));

  expectFailure((dir_ / "missing" / "new.ini").string(), "No such file");
}

TEST_F(ProfileTest, NamesAndValuesThatWouldBreakTheFileAreRefused) {
  EXPECT_THROW(writePrivateProfileString("S", "k", "two\r\nlines", file_), ProfileError);
  EXPECT_THROW(writePrivateProfileString("S]", "k", "v", file_), ProfileError);
  EXPECT_THROW(writePrivateProfileString("S", "k=x", "v", file_), ProfileError);
  EXPECT_THROW(writePrivateProfileString("S", "", "v", file_), ProfileError);
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(ProfileTest, WritersOnSeveralThreadsLoseNothing) {
  constexpr int kThreads = 4, kWrites = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kWrites; ++i)
        writePrivateProfileString("T" + std::to_string(t), "k" + std::to_string(i), std::to_string(t * 1000 + i),
                                  file_);
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kWrites; ++i)
      EXPECT_EQ(getPrivateProfileString("T" + std::to_string(t), "k" + std::to_string(i), "", file_),
                std::to_string(t * 1000 + i));
}

TEST(ComputerName, IsTheUpperCasedNetbiosName) {
  struct Case {
    const char* host;
    const char* name;
  };
  const Case cases[] = {
      {"srv01", "SRV01"},
      {"build-box.example.org", "BUILD-BOX"},
      {"a-rather-long-host-name", "A-RATHER-LONG-H"},
      {"exactly15chars1.lan", "EXACTLY15CHARS1"},
      {".hidden", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(rvz::profile::netbiosName(c.host), c.name) << c.host;

  auto name = rvz::profile::getComputerName();
  ASSERT_TRUE(name.has_value());
  EXPECT_FALSE(name->empty());
  EXPECT_LE(name->size(), 15u);
  EXPECT_EQ(*name, rvz::text::upperCaseAscii(*name));
}

TEST(IniText, EditsAreFoundByTheReader) {
  const char* texts[] = {"",       "[A]",          "[A]\nx=1",    "junk\n[a]\r\n\r\n[B]\nx=2\n", "[B]\n[A]\n;x=3\n",
                         "junk\r", "[A]\rx=1\r\n", "[A]\r\nx=1\r"};  // a lone CR ends no line
  for (const char* t : texts) {
    std::string edited = rvz::profile::withValue(t, "A", "X", "v");
    EXPECT_EQ(rvz::profile::findValue(edited, "a", "x"), "v") << t;
    EXPECT_EQ(edited.find("v"), edited.rfind("v")) << t;  // written once
    // A second section after it leaves the first value as it was.
    EXPECT_EQ(rvz::profile::findValue(rvz::profile::withValue(edited, "B", "y", "w"), "A", "X"), "v") << t;
  }
}

}  // namespace

// A last line ending in a lone CR keeps that CR as content when a key is
// added after it: the "[Connection\r" line is no section named Connection
// before the edit and must not become one after it, or the key written
// would be read from the wrong section.
TEST(IniText, ALoneCarriageReturnOnTheLastLineStaysContentWhenAKeyIsAdded) {
  const std::string text = "[Back]\nDir=d:\\backup\\\n  [Connection\r";
  const std::string added = rvz::profile::withValue(text, "connection", "ServerName", "v1");
  EXPECT_EQ(rvz::profile::findValue(added, "Connection", "ServerName"), "v1");
  EXPECT_EQ(rvz::profile::findValue(added, "Back", "Dir"), "d:\\backup\\");
  const std::string inBack = rvz::profile::withValue("[Back]\r", "Back", "Dir", "c:\\");
  EXPECT_EQ(rvz::profile::findValue(inBack, "Back", "Dir"), "c:\\");
}
