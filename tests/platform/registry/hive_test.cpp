// The registry hive: keys and values, non-recursive delete, the file form,
// persistence, concurrent writers in two processes, damaged files, and the
// registration entries of the server written and removed again.
#include "platform/registry/hive.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using rvz::registry::Hive;
using rvz::registry::Key;
using rvz::registry::RegistryError;

namespace {

class HiveTest : public ::testing::Test {
 protected:
  rvz::testsupport::ScratchFolder scratch_{"hive"};
  const fs::path dir_ = scratch_.path();
  const fs::path file_ = dir_ / "registry.hive";

  void writeRaw(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
  std::string readRaw() {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

const std::string kClass = "CLSID\\{6C1F2C2B-1E57-4B9B-9E0A-3C55B7D2A001}";

TEST_F(HiveTest, MissingFileIsAnEmptyHive) {
  Hive hive(file_);
  EXPECT_FALSE(hive.keyExists("CLSID"));
  EXPECT_EQ(hive.value("CLSID", ""), std::nullopt);
  EXPECT_TRUE(hive.subkeys("").empty());
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(HiveTest, CreateSetReadDelete) {
  Hive hive(file_);
  hive.createKey(kClass + "\\LocalServer32");
  EXPECT_TRUE(hive.keyExists("CLSID"));
  EXPECT_TRUE(hive.keyExists(kClass));
  EXPECT_EQ(hive.value(kClass + "\\LocalServer32", ""), std::nullopt);

  hive.setValue(kClass, "", "Quib Object");
  hive.setValue(kClass, "Sockets", "1");
  EXPECT_EQ(hive.value(kClass, ""), "Quib Object");
  EXPECT_EQ(hive.value(kClass, "Sockets"), "1");

  hive.setValue(kClass, "Sockets", "0");
  EXPECT_EQ(hive.value(kClass, "Sockets"), "0");

  EXPECT_TRUE(hive.deleteValue(kClass, "Sockets"));
  EXPECT_FALSE(hive.deleteValue(kClass, "Sockets"));
  EXPECT_FALSE(hive.deleteValue("NoSuchKey", "Sockets"));
  EXPECT_EQ(hive.value(kClass, "Sockets"), std::nullopt);
  EXPECT_EQ(hive.value(kClass, ""), "Quib Object");

  EXPECT_TRUE(hive.deleteKey(kClass + "\\LocalServer32"));
  EXPECT_FALSE(hive.keyExists(kClass + "\\LocalServer32"));
  EXPECT_FALSE(hive.deleteKey(kClass + "\\LocalServer32"));
}

TEST_F(HiveTest, SettingAValueCreatesItsKey) {
  Hive hive(file_);
  hive.setValue("Quib.datas\\Clsid", "", "{X}");
  EXPECT_TRUE(hive.keyExists("Quib.datas"));
  EXPECT_EQ(hive.value("Quib.datas\\Clsid", ""), "{X}");
}

TEST_F(HiveTest, NamesMatchWithoutCaseAndKeepTheirSpelling) {
  Hive hive(file_);
  hive.createKey("CLSID\\AbC");
  hive.createKey("clsid\\abc\\Child");
  EXPECT_EQ(hive.subkeys(""), std::vector<std::string>{"CLSID"});
  EXPECT_EQ(hive.subkeys("clsid"), std::vector<std::string>{"AbC"});
  hive.setValue("CLSID\\ABC", "AppID", "1");
  hive.setValue("clsid\\abc", "APPID", "2");
  auto values = hive.values("CLSID\\AbC");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "AppID");
  EXPECT_EQ(values[0].data, "2");
  EXPECT_EQ(hive.value("cLsId\\aBc", "appid"), "2");
}

TEST_F(HiveTest, DeletingAKeyWithSubkeysFailsAndLeavesIt) {
  Hive hive(file_);
  hive.createKey(kClass + "\\Implemented Categories\\{13E85B3C-9508-11D2-AB63-00C04FA35CFA}");
  hive.setValue(kClass, "", "Quib Object");
  EXPECT_THROW(hive.deleteKey(kClass), RegistryError);
  EXPECT_THROW(hive.deleteKey(kClass + "\\Implemented Categories"), RegistryError);
  EXPECT_TRUE(hive.keyExists(kClass + "\\Implemented Categories"));
  EXPECT_EQ(hive.value(kClass, ""), "Quib Object");

  EXPECT_TRUE(hive.deleteKey(kClass + "\\Implemented Categories\\{13E85B3C-9508-11D2-AB63-00C04FA35CFA}"));
  EXPECT_TRUE(hive.deleteKey(kClass + "\\Implemented Categories"));
  EXPECT_THROW(hive.deleteKey(""), RegistryError);
  EXPECT_TRUE(hive.deleteKey(kClass));
  EXPECT_TRUE(hive.keyExists("CLSID"));
}

TEST_F(HiveTest, SubkeysInNameOrderValuesInOrderSet) {
  Hive hive(file_);
  for (const char* name : {"b", "C", "a", "D"}) hive.createKey(std::string("K\\") + name);
  EXPECT_EQ(hive.subkeys("K"), (std::vector<std::string>{"a", "b", "C", "D"}));
  for (const char* name : {"Web", "", "AppID", "Sockets"}) hive.setValue("K", name, name);
  std::vector<std::string> names;
  for (const auto& v : hive.values("K")) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Web", "", "AppID", "Sockets"}));
  EXPECT_THROW(hive.subkeys("Nope"), RegistryError);
  EXPECT_THROW(hive.values("K\\Nope"), RegistryError);
}

TEST_F(HiveTest, BadPathsAndValuesAreRefusedWithTheReason) {
  Hive hive(file_);
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {"\\CLSID", "empty"},
      {"CLSID\\", "empty"},
      {"CLSID\\\\X", "empty"},
      {"CLSID\\A\nB", "control character"},
      {"CLSID\\" + std::string(256, 'x'), "longer than 255"},
      {"CLSID\\\xff\xfe", "UTF-8"},
  };
  for (const auto& c : cases) {
    try {
      hive.createKey(c.path);
      ADD_FAILURE() << "accepted " << c.path;
    } catch (const RegistryError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(hive.setValue("K", std::string("a\0b", 3), "x"), RegistryError);
  EXPECT_THROW(hive.setValue("K", "v", "\xc3"), RegistryError);
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(HiveTest, PersistsAcrossHiveObjectsAndKeepsAwkwardText) {
  const std::string awkward = "say \"hi\"\\ there\r\nline two\ttab\x01 服务器 end";
  {
    Hive writer(file_);
    writer.setValue("AppID\\{X}", "", awkward);
    writer.setValue("AppID\\{X}", "名字 \"quoted\"", "v");
    writer.setValue("", "RootValue", "at the root");
  }
  Hive reader(file_);
  EXPECT_EQ(reader.value("APPID\\{x}", ""), awkward);
  EXPECT_EQ(reader.value("AppID\\{X}", "名字 \"quoted\""), "v");
  EXPECT_EQ(reader.value("", "rootvalue"), "at the root");

  // A second object sees the first one's later changes without reopening.
  Hive writer(file_);
  writer.deleteValue("AppID\\{X}", "");
  EXPECT_EQ(reader.value("AppID\\{X}", ""), std::nullopt);

  // The file is owner-only.
  struct stat st {};
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(HiveTest, RewritingTheSameEntriesLeavesTheFileAlone) {
  Hive hive(file_);
  hive.setValue(kClass, "", "Quib Object");
  struct stat before {};
  ASSERT_EQ(stat(file_.c_str(), &before), 0);
  hive.setValue(kClass, "", "Quib Object");
  hive.createKey(kClass);
  struct stat after {};
  ASSERT_EQ(stat(file_.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  hive.setValue(kClass, "", "changed");
  ASSERT_EQ(stat(file_.c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);  // replaced by a rename
}

TEST_F(HiveTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWrites = 40;
  auto writeMany = [&](const std::string& who) {
    Hive hive(file_);
    for (int i = 0; i < kWrites; ++i) hive.setValue("Writers\\" + who, "v" + std::to_string(i), who);
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      writeMany("child");
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  writeMany("parent");
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  Hive hive(file_);
  for (const std::string who : {"parent", "child"}) {
    auto values = hive.values("Writers\\" + who);
    ASSERT_EQ(values.size(), static_cast<size_t>(kWrites)) << who;
    for (int i = 0; i < kWrites; ++i) EXPECT_EQ(values[static_cast<size_t>(i)].name, "v" + std::to_string(i));
  }
}

TEST_F(HiveTest, DamagedFilesAreRefusedNamingTheFileAndLine) {
  struct Case {
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {"", "first line"},
      {"REGEDIT4\n", "first line"},
      {"RVZ-HIVE 1\n\"x\"=\"y\"\n", "line 2: a value comes before any [key]"},
      {"RVZ-HIVE 1\n[A\n", "line 2: a key line must end"},
      {"RVZ-HIVE 1\n[A\\\\B]\n", "line 2: registry key path"},
      {"RVZ-HIVE 1\n[A]\n[a]\n", "line 3: the key is listed twice"},
      {"RVZ-HIVE 1\n[A]\n@=\"x\n", "line 3: a quoted string is not closed"},
      {"RVZ-HIVE 1\n[A]\n@=\"x\\q\"\n", "unknown escape"},
      {"RVZ-HIVE 1\n[A]\n@=\"\\x4\"\n", "two hexadecimal digits"},
      {"RVZ-HIVE 1\n[A]\n@=\"x\" trailing\n", "after the closing quote"},
      {"RVZ-HIVE 1\n[A]\n@=x\n", "double quotes"},
      {"RVZ-HIVE 1\n[A]\n\"n\" = \"x\"\n", "expected \"=\""},
      {"RVZ-HIVE 1\n[A]\n\"\"=\"x\"\n", "default value is written @"},
      {"RVZ-HIVE 1\n[A]\n@=\"1\"\n@=\"2\"\n", "listed twice in its key"},
      {"RVZ-HIVE 1\n[A]\nnonsense\n", "expected a [key] line"},
      {"RVZ-HIVE 1\n[A]\n@=\"\xc3\x28\"\n", "not UTF-8"},
  };
  for (const auto& c : cases) {
    writeRaw(c.text);
    Hive hive(file_);
    try {
      hive.value("A", "");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const RegistryError& e) {
      std::string msg = e.what();
      EXPECT_NE(msg.find(file_.string()), std::string::npos) << msg;
      EXPECT_NE(msg.find(c.reason), std::string::npos) << msg;
    }
    // A change to a damaged hive fails too and leaves the file as it was.
    EXPECT_THROW(hive.setValue("B", "", "x"), RegistryError);
    EXPECT_EQ(readRaw(), c.text);
  }
}

TEST_F(HiveTest, FileFormIsReadableText) {
  Hive hive(file_);
  hive.setValue("CLSID\\{A}", "", "Quib Object");
  hive.setValue("CLSID\\{A}", "AppID", "{A}");
  hive.createKey("CLSID\\{A}\\Implemented Categories");
  EXPECT_EQ(readRaw(),
            "RVZ-HIVE 1\n\n[CLSID]\n\n[CLSID\\{A}]\n@=\"Quib Object\"\n\"AppID\"=\"{A}\"\n\n"
            "[CLSID\\{A}\\Implemented Categories]\n");
  // Comments, blank lines, CR LF line ends and keys listed out of order
  // are read as well.
  writeRaw("RVZ-HIVE 1\r\n; by hand\r\n[X\\Y]\r\n@=\"y\"\r\n\r\n[X]\r\n\"v\"=\"x\"\r\n");
  EXPECT_EQ(hive.value("X\\Y", ""), "y");
  EXPECT_EQ(hive.value("X", "v"), "x");
}

TEST_F(HiveTest, DefaultFileComesFromTheEnvironment) {
  const char* oldReg = getenv("RVZ_REGISTRY");
  const char* oldHome = getenv("RVZ_HOME");
  std::string savedReg = oldReg ? oldReg : "", savedHome = oldHome ? oldHome : "";
  setenv("RVZ_HOME", dir_.c_str(), 1);
  unsetenv("RVZ_REGISTRY");
  EXPECT_EQ(Hive::defaultFile(), dir_ / "registry.hive");
  setenv("RVZ_REGISTRY", "/elsewhere/my.hive", 1);
  EXPECT_EQ(Hive::defaultFile(), fs::path("/elsewhere/my.hive"));
  if (oldReg)
    setenv("RVZ_REGISTRY", savedReg.c_str(), 1);
  else
    unsetenv("RVZ_REGISTRY");
  if (oldHome)
    setenv("RVZ_HOME", savedHome.c_str(), 1);
  else
    unsetenv("RVZ_HOME");
}

// The server's registration of one class, written the way it is written at
// every start, then removed in the removal order with failures ignored:
// only the category registration is left behind.
TEST_F(HiveTest, RegistrationWriteAndRemoveLeavesOnlyTheCategory) {
  const std::string cls = "{6C1F2C2B-1E57-4B9B-9E0A-3C55B7D2A001}";
  const std::string cat = "{13E85B3C-9508-11D2-AB63-00C04FA35CFA}";
  const std::string k = "CLSID\\" + cls;
  Hive hive(file_);
  auto writeRegistration = [&] {
    hive.setValue(k, "", "Quib Object");
    hive.setValue(k + "\\LocalServer32", "", "/opt/rvz/RoVezevu");
    hive.setValue("Quib.datas", "", "Quib Object");
    hive.setValue("Quib.datas\\Clsid", "", cls);
    hive.setValue(k + "\\ProgID", "", "Quib.datas");
    hive.setValue(k + "\\Version", "", "1.0");
    hive.setValue(k + "\\TypeLib", "", "{LIB}");
    hive.setValue("Component Categories\\" + cat, "409", "application servers");
    hive.createKey(k + "\\Implemented Categories\\" + cat);
    hive.setValue("AppID\\" + cls, "", *hive.value(k, ""));
    hive.setValue(k, "AppID", cls);
    hive.setValue(k, "Sockets", "1");
    hive.setValue(k, "Web", "1");
  };
  writeRegistration();
  Key once = hive.snapshot();
  writeRegistration();
  EXPECT_TRUE(hive.snapshot() == once);

  auto ignoring = [](auto f) {
    try {
      f();
    } catch (const RegistryError&) {
    }
  };
  hive.deleteValue(k, "Sockets");
  hive.deleteValue(k, "Web");
  ignoring([&] { hive.deleteKey(k + "\\Implemented Categories\\" + cat); });
  ignoring([&] { hive.deleteKey(k + "\\Implemented Categories"); });
  ignoring([&] { hive.deleteKey("AppID\\" + cls); });
  ignoring([&] { hive.deleteKey(k + "\\TypeLib"); });
  ignoring([&] { hive.deleteKey(k + "\\Version"); });
  ignoring([&] { hive.deleteKey(k + "\\ProgID"); });
  ignoring([&] { hive.deleteKey("Quib.datas\\Clsid"); });
  ignoring([&] { hive.deleteKey("Quib.datas"); });
  ignoring([&] { hive.deleteKey(k + "\\LocalServer32"); });
  ignoring([&] { hive.deleteKey(k); });

  EXPECT_FALSE(hive.keyExists(k));
  EXPECT_FALSE(hive.keyExists("Quib.datas"));
  EXPECT_FALSE(hive.keyExists("AppID\\" + cls));
  EXPECT_EQ(hive.value("Component Categories\\" + cat, "409"), "application servers");
  EXPECT_TRUE(hive.subkeys("CLSID").empty());
}

TEST_F(HiveTest, EditAppliesSeveralChangesAtOnceOrNone) {
  Hive hive(file_);
  hive.edit([](Key& root) {
    root.addChild("A").setValue("", "1");
    root.addChild("B").setValue("", "2");
  });
  EXPECT_EQ(hive.value("A", ""), "1");
  EXPECT_EQ(hive.value("B", ""), "2");
  EXPECT_THROW(hive.edit([](Key& root) {
    root.addChild("C");
    throw RegistryError("stop");
  }),
               RegistryError);
  EXPECT_FALSE(hive.keyExists("C"));
}

}  // namespace
